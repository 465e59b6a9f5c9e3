// Song compiler: a .song text -> an XM tracker module with our own synthesised instruments.
//
// The song format. '#' starts a comment; blank lines are ignored. The file
// "instruments.inc" beside the song, when present, is read first, so shared
// instruments and drum letters live there.
//
//   title TEXT...              module name (at most 20 characters are kept)
//   tempo BPM                  beats per minute, 32..255; a row is a sixteenth note
//   key ROOT major|minor       the song's key (C, F#, Bb ...), for the song tools and their
//                              harmony check; it does not change the module
//   speed TICKS                ticks per row, default 6
//   gain FACTOR                scales every instrument's volume for this song (default 1);
//                              gain lines multiply, so one in instruments.inc sets the mix
//                              level of every song and a song's own line sets it against the rest
//   loop yes|no                yes (default): the last row jumps back to the restart entry,
//                              so the song repeats seamlessly; no: the song ends
//   restart N                  order entry the loop jumps back to (default 0); the same
//                              as the marker '|:' in the order line
//   instrument NAME KIND       KIND: tone, kick, snare, hat, clap, tom, crash; followed by
//                              its keys: wave SHAPE [HARMONICS], bright S, attack S, decay S,
//                              sustain 0..1, release S, vibrato DEPTH RATE, volume 0..64,
//                              pitch HZ, length S (shapes: sine saw square triangle pulse
//                              organ soft hollow)
//   drum LETTER INSTRUMENT     a letter of the drum step notation
//   channel NAME KIND INSTRUMENT [voices=N] [vol=0..64] [pan=0..255]
//                              KIND: melody (one voice, notes), chord (N voices, chord
//                              symbols), arp (one voice playing chords as arpeggios),
//                              drums (step notation; INSTRUMENT is "-")
//   pattern NAME ROWS [from OTHER] [break|climax]
//                              then lines "CHANNEL: ..." for that pattern; "from" copies
//                              another pattern, and the lines given replace its channels;
//                              break or climax marks the section for the song tools (no
//                              effect on the module)
//   order NAME[+N|-N] ...      the play order, each entry optionally transposed in semitones;
//                              a word '|:' before an entry makes it the restart entry, so
//                              "order intro |: a b" plays the intro once and then loops a b
//
// Melody lines (music-macro notation): c d e f g a b with + or # (sharp) or - (flat), then
// an optional length (1 2 4 8 16, dotted with '.'); r rest (the note is released); ^ tie
// (the note goes on); oN octave (o4 holds middle C); < and > octave down and up; lN default
// length; vN volume 0..64; @NAME instrument; [ ... ]N repeat N times; | bar lines are ignored.
// Chord and arp lines: chord symbols ROOT[#|b][QUALITY][,LENGTH] with QUALITY one of
// m 7 m7 maj7 6 m6 sus2 sus4 dim aug add9; _ holds the chord for another length; r rests;
// oN and lN as above. Drum lines: one character per row, '.' nothing, a drum letter plays
// it, the upper-case letter plays it accented; a line shorter than the pattern repeats.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <map>

#include "compile.h"
#include "synth_instrument.h"
#include "synth_song.h"
#include "synth_text.h"
#include "synth_xm.h"

enum { CHANNEL_MELODY, CHANNEL_CHORD, CHANNEL_ARP, CHANNEL_DRUMS };

static const int32_t SONG_MAX_CHANNELS = 32;
static const int32_t SONG_MAX_PATTERNS = 250;

struct SongChannel {
    std::string name;
    int32_t kind = CHANNEL_MELODY;
    int32_t instrument = 0;  // 1-based XM instrument of the channel
    int32_t voices = 1, volume = 64, pan = -1;
    int32_t first = 0;  // first XM channel
};

struct SongPattern {
    std::string name, role;  // role: "break", "climax" or empty, for the song tools
    int32_t rows = 64;
    int32_t family = 0;  // the pattern it was first copied from, through every copy; else itself
    std::map<std::string, std::vector<SourceLine>> lines;  // by channel name
};

struct SongState {
    std::string title, key_text;
    int32_t key_root = -1, key_minor = 0;
    std::vector<std::string> order_words;
    int32_t bpm = 125, speed = 6, loop = 1, restart = 0, restart_marked = 0;
    double gain = 1;
    std::vector<InstrumentDef> instruments;
    std::map<char, int32_t> drums;  // letter -> instrument index + 1
    std::vector<SongChannel> channels;
    std::vector<SongPattern> patterns;
    std::vector<std::pair<int32_t, int32_t>> order;  // pattern index, transposition
    SourceLine order_line;
};

static int32_t find_instrument(const SongState& s, const std::string& name) {
    for (size_t i = 0; i < s.instruments.size(); i++)
        if (s.instruments[i].name == name) return (int32_t)i + 1;
    return 0;
}

static int32_t find_pattern(const SongState& s, const std::string& name) {
    for (size_t i = 0; i < s.patterns.size(); i++)
        if (s.patterns[i].name == name) return (int32_t)i;
    return -1;
}

static bool number_word(const SourceLine& line, size_t index, int32_t low, int32_t high, int32_t& value,
                        std::string& error) {
    if (index < line.words.size() && parse_int(line.words[index], value) && value >= low && value <= high) return true;
    char text[128];
    snprintf(text, sizeof text, "'%s' needs a whole number from %d to %d", line.words[0].c_str(), low, high);
    error = source_error(line, text);
    return false;
}

static bool parse_channel(SongState& s, const SourceLine& line, std::string& error) {
    static const char* const kinds[] = {"melody", "chord", "arp", "drums"};
    if (line.words.size() < 4) {
        error = source_error(line, "'channel' needs NAME KIND INSTRUMENT");
        return false;
    }
    SongChannel c;
    c.name = line.words[1];
    c.kind = -1;
    for (int32_t i = 0; i < 4; i++)
        if (line.words[2] == kinds[i]) c.kind = i;
    if (c.kind < 0) {
        error = source_error(line, "unknown channel kind '" + line.words[2] + "'");
        return false;
    }
    for (const SongChannel& other : s.channels)
        if (other.name == c.name) {
            error = source_error(line, "channel '" + c.name + "' declared twice");
            return false;
        }
    if (c.kind != CHANNEL_DRUMS) {
        c.instrument = find_instrument(s, line.words[3]);
        if (!c.instrument) {
            error = source_error(line, "unknown instrument '" + line.words[3] + "'");
            return false;
        }
    }
    for (size_t i = 4; i < line.words.size(); i++) {
        const std::string& w = line.words[i];
        size_t eq = w.find('=');
        int32_t v = 0;
        std::string key = eq == std::string::npos ? w : w.substr(0, eq);
        if (eq == std::string::npos || !parse_int(w.substr(eq + 1), v)) {
            error = source_error(line, "'" + w + "' is not KEY=NUMBER");
            return false;
        }
        if (key == "voices" && c.kind == CHANNEL_CHORD && v >= 1 && v <= 4)
            c.voices = v;
        else if (key == "vol" && v >= 0 && v <= 64)
            c.volume = v;
        else if (key == "pan" && v >= 0 && v <= 255)
            c.pan = v;
        else {
            error = source_error(line, "'" + w + "' is not a valid channel option here");
            return false;
        }
    }
    int32_t used = 0;
    for (const SongChannel& other : s.channels) used += other.voices;
    c.first = used;
    if (used + c.voices > SONG_MAX_CHANNELS - 2) {
        error = source_error(line, "too many channels");
        return false;
    }
    s.channels.push_back(c);
    return true;
}

static const int32_t NOTE_STEPS[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g

// "key ROOT major|minor"
static bool parse_key(SongState& s, const SourceLine& line, std::string& error) {
    const std::string* root = line.words.size() == 3 ? &line.words[1] : nullptr;
    int32_t ok = root && root->size() <= 2 && (*root)[0] >= 'A' && (*root)[0] <= 'G' &&
                 (line.words[2] == "major" || line.words[2] == "minor");
    if (ok && root->size() == 2) ok = (*root)[1] == '#' || (*root)[1] == 'b';
    if (!ok) {
        error = source_error(line, "'key' needs ROOT (C, F#, Bb ...) and major or minor");
        return false;
    }
    int32_t pitch = NOTE_STEPS[(*root)[0] - 'A'];
    if (root->size() == 2) pitch += (*root)[1] == '#' ? 1 : -1;
    s.key_root = (pitch + 12) % 12;
    s.key_minor = line.words[2] == "minor";
    s.key_text = *root + " " + line.words[2];
    return true;
}

// What the line being read belongs to: the instrument whose keys follow, the pattern
// whose channel lines follow.
struct ParseCursor {
    InstrumentDef* instrument = nullptr;
    SongPattern* pattern = nullptr;
};

static bool fail_line(const SourceLine& line, const std::string& what, std::string& error) {
    error = source_error(line, what);
    return false;
}

// "NAME: ..." inside a pattern.
static bool parse_channel_line(SongState& s, ParseCursor& at, const SourceLine& line, std::string& error) {
    const std::string& key = line.words[0];
    if (!at.pattern) return fail_line(line, "channel line outside a pattern", error);
    std::string name = key.substr(0, key.size() - 1);
    bool known = false;
    for (const SongChannel& c : s.channels) known = known || c.name == name;
    if (!known) return fail_line(line, "unknown channel '" + name + "'", error);
    at.pattern->lines[name].push_back(line);
    return true;
}

static bool parse_title(SongState& s, ParseCursor&, const SourceLine& line, std::string&) {
    s.title.clear();
    for (size_t i = 1; i < line.words.size(); i++) s.title += (i > 1 ? " " : "") + line.words[i];
    return true;
}

static bool parse_key_line(SongState& s, ParseCursor&, const SourceLine& line, std::string& error) {
    return parse_key(s, line, error);
}

static bool parse_tempo(SongState& s, ParseCursor&, const SourceLine& line, std::string& error) {
    return number_word(line, 1, 32, 255, s.bpm, error);
}

static bool parse_speed(SongState& s, ParseCursor&, const SourceLine& line, std::string& error) {
    return number_word(line, 1, 1, 31, s.speed, error);
}

static bool parse_restart(SongState& s, ParseCursor&, const SourceLine& line, std::string& error) {
    if (s.restart_marked) return fail_line(line, "the restart is already marked with '|:' in the order", error);
    return number_word(line, 1, 0, 255, s.restart, error);
}

static bool parse_gain(SongState& s, ParseCursor&, const SourceLine& line, std::string& error) {
    double factor = 0;
    if (line.words.size() != 2 || !parse_double(line.words[1], factor) || !(factor > 0) || factor > 4)
        return fail_line(line, "'gain' needs a factor above 0 and at most 4", error);
    s.gain *= factor;
    return true;
}

static bool parse_loop(SongState& s, ParseCursor&, const SourceLine& line, std::string& error) {
    if (line.words.size() != 2 || (line.words[1] != "yes" && line.words[1] != "no"))
        return fail_line(line, "'loop' is yes or no", error);
    s.loop = line.words[1] == "yes";
    return true;
}

// "instrument NAME KIND"; its keys follow on the next lines.
static bool parse_instrument_start(SongState& s, ParseCursor& at, const SourceLine& line, std::string& error) {
    InstrumentDef def;
    if (line.words.size() != 3 || !instrument_kind_from_word(line.words[2], def.kind))
        return fail_line(line, "'instrument' needs NAME KIND (tone kick snare hat clap tom crash)", error);
    def.name = line.words[1];
    if (find_instrument(s, def.name)) return fail_line(line, "instrument '" + def.name + "' defined twice", error);
    if (s.instruments.size() >= 100) return fail_line(line, "too many instruments", error);
    s.instruments.push_back(def);
    at.instrument = &s.instruments.back();
    return true;
}

static bool parse_drum(SongState& s, ParseCursor&, const SourceLine& line, std::string& error) {
    int32_t index = line.words.size() == 3 ? find_instrument(s, line.words[2]) : 0;
    char letter = line.words.size() == 3 && line.words[1].size() == 1 ? line.words[1][0] : 0;
    if (!index || letter < 'a' || letter > 'z')
        return fail_line(line, "'drum' needs a lower-case LETTER and a known INSTRUMENT", error);
    s.drums[letter] = index;
    return true;
}

static bool parse_channel_declaration(SongState& s, ParseCursor&, const SourceLine& line, std::string& error) {
    return parse_channel(s, line, error);
}

// "pattern NAME ROWS [from OTHER] [break|climax]"; its channel lines follow.
static bool parse_pattern_start(SongState& s, ParseCursor& at, const SourceLine& line, std::string& error) {
    SongPattern p;
    size_t words = line.words.size();
    if (words == 4 || words == 6) {
        p.role = line.words.back();
        words--;
    }
    bool copied = words == 5;
    if ((words != 3 && !(copied && line.words[3] == "from")) ||
        (!p.role.empty() && p.role != "break" && p.role != "climax"))
        return fail_line(line, "'pattern' needs NAME ROWS [from OTHER] [break|climax]", error);
    if (find_pattern(s, line.words[1]) >= 0)
        return fail_line(line, "pattern '" + line.words[1] + "' defined twice", error);
    if (copied && find_pattern(s, line.words[4]) < 0)
        return fail_line(line, "unknown pattern '" + line.words[4] + "'", error);
    p.name = line.words[1];
    p.family = copied ? s.patterns[find_pattern(s, line.words[4])].family : (int32_t)s.patterns.size();
    if (!number_word(line, 2, 1, 256, p.rows, error)) return false;
    if ((int32_t)s.patterns.size() >= SONG_MAX_PATTERNS) return fail_line(line, "too many patterns", error);
    s.patterns.push_back(p);
    at.pattern = &s.patterns.back();
    // Lines given for a copied pattern replace the copied ones channel by channel. What the
    // other pattern copied in turn is copied too, so a copy of a copy plays everything.
    if (copied) {
        const SongPattern& from = s.patterns[find_pattern(s, line.words[4])];
        for (auto& entry : from.lines)
            if (entry.first[0] == '=') at.pattern->lines[entry.first] = entry.second;
        for (auto& entry : from.lines)
            if (entry.first[0] != '=') at.pattern->lines["=" + entry.first] = entry.second;
    }
    return true;
}

// One word of the order line: "|:" or NAME[+N|-N].
static bool parse_order_word(SongState& s, const SourceLine& line, const std::string& word, std::string& error) {
    if (word == "|:") {
        if (s.restart_marked || s.restart != 0) return fail_line(line, "the restart is marked twice", error);
        s.restart_marked = 1;
        s.restart = (int32_t)s.order.size();
        return true;
    }
    std::string name = word;
    int32_t shift = 0;
    size_t sign = name.find_first_of("+-");
    if (sign != std::string::npos) {
        if (!parse_int(name.substr(sign), shift) || shift < -24 || shift > 24)
            return fail_line(line, "bad transposition in '" + word + "'", error);
        name.resize(sign);
    }
    int32_t index = find_pattern(s, name);
    if (index < 0) return fail_line(line, "unknown pattern '" + name + "'", error);
    s.order.push_back({index, shift});
    s.order_words.push_back(word);
    return true;
}

static bool parse_order(SongState& s, ParseCursor&, const SourceLine& line, std::string& error) {
    s.order_line = line;
    for (size_t i = 1; i < line.words.size(); i++)
        if (!parse_order_word(s, line, line.words[i], error)) return false;
    return true;
}

struct SongKeyword {
    const char* word;
    bool (*parse)(SongState&, ParseCursor&, const SourceLine&, std::string&);
};

static const SongKeyword SONG_KEYWORDS[] = {{"title", parse_title},
                                            {"key", parse_key_line},
                                            {"tempo", parse_tempo},
                                            {"speed", parse_speed},
                                            {"restart", parse_restart},
                                            {"gain", parse_gain},
                                            {"loop", parse_loop},
                                            {"instrument", parse_instrument_start},
                                            {"drum", parse_drum},
                                            {"channel", parse_channel_declaration},
                                            {"pattern", parse_pattern_start},
                                            {"order", parse_order}};

static const SongKeyword* find_keyword(const std::string& word) {
    for (const SongKeyword& k : SONG_KEYWORDS)
        if (word == k.word) return &k;
    return nullptr;
}

// Reads the lines of the instrument file and the song into the state.
static bool parse_lines(SongState& s, const std::vector<SourceLine>& lines, std::string& error) {
    ParseCursor at;
    for (const SourceLine& line : lines) {
        const std::string& key = line.words[0];
        if (key.size() > 1 && key.back() == ':') {
            if (!parse_channel_line(s, at, line, error)) return false;
            continue;
        }
        const SongKeyword* keyword = find_keyword(key);
        // Any other line after "instrument" is one of that instrument's keys.
        if (!keyword && at.instrument) {
            if (!parse_instrument_key(line, *at.instrument, error)) return false;
            continue;
        }
        at.instrument = nullptr;
        if (key != "pattern" && key != "order") at.pattern = nullptr;
        if (!keyword) return fail_line(line, "unknown keyword '" + key + "'", error);
        if (!keyword->parse(s, at, line, error)) return false;
    }
    return true;
}

// The lines of one channel in a pattern: its own, or those it copied.
static const std::vector<SourceLine>* channel_lines(const SongPattern& p, const std::string& name) {
    auto own = p.lines.find(name);
    if (own != p.lines.end()) return &own->second;
    auto copied = p.lines.find("=" + name);
    if (copied != p.lines.end()) return &copied->second;
    return nullptr;
}

struct Writer {
    const SongState* song;
    const SongChannel* channel;
    XmPattern* pattern;
    int32_t channels, transpose;
    int32_t row = 0, octave = 4, length = 4, volume = 64, instrument = 0;
    const SourceLine* line = nullptr;  // the line being written, for the messages
    std::string* error;
};

static XmCell& cell_at(Writer& w, int32_t row, int32_t voice) {
    return w.pattern->cells[(size_t)row * w.channels + w.channel->first + voice];
}

static bool fail(Writer& w, const std::string& what) {
    *w.error = w.line ? source_error(*w.line, what) : what;
    return false;
}

// Decimal digits at text[pos]; a long run of digits saturates far above any
// value a song may use, so it is refused as out of range instead of overflowing.
static int32_t read_digits(const std::string& text, size_t& pos) {
    int32_t value = 0;
    while (pos < text.size() && isdigit((unsigned char)text[pos])) {
        if (value < 1000000) value = value * 10 + (text[pos] - '0');
        pos++;
    }
    return value;
}

// Length digits and dots at text[pos]; rows of a sixteenth.
static bool read_length(Writer& w, const std::string& text, size_t& pos, int32_t& rows) {
    size_t start = pos;
    int32_t value = read_digits(text, pos);
    if (pos == start) {
        rows = w.length;
    } else {
        if (value != 1 && value != 2 && value != 4 && value != 8 && value != 16) return fail(w, "bad length");
        rows = 16 / value;
    }
    int32_t add = rows;
    while (pos < text.size() && text[pos] == '.') {
        pos++;
        if (add % 2) return fail(w, "a dotted length that is not a whole number of rows");
        add /= 2;
        rows += add;
    }
    return true;
}

// Volume column for a note: its own volume, the channel's and the song's gain.
static uint8_t note_volume(const Writer& w, int32_t volume) {
    long v = lround(volume * w.channel->volume / 64.0 * w.song->gain);
    return (uint8_t)(0x10 + (v > 64 ? 64 : v));
}

static bool place_note(Writer& w, int32_t note, int32_t rows, int32_t voice, uint8_t effect, uint8_t param) {
    if (w.row + rows > w.pattern->rows) return fail(w, "the line runs past the end of the pattern");
    XmCell& c = cell_at(w, w.row, voice);
    if (note == 97) {
        c.note = 97;
    } else {
        note += w.transpose;
        if (note < 1 || note > 96) return fail(w, "note out of range");
        c.note = (uint8_t)note;
        c.instrument = (uint8_t)w.instrument;
        c.volume = note_volume(w, w.volume);
        if (w.channel->pan >= 0 && !effect) {
            c.effect = 8;
            c.param = (uint8_t)w.channel->pan;
        }
    }
    if (effect || param) {
        for (int32_t r = 0; r < rows; r++) {
            cell_at(w, w.row + r, voice).effect = effect;
            cell_at(w, w.row + r, voice).param = param;
        }
    }
    return true;
}

static bool write_melody(Writer& w, const std::string& text, size_t& pos, int32_t depth) {
    static const int32_t steps[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
    while (pos < text.size()) {
        char ch = text[pos++];
        if (ch == ' ' || ch == '|') continue;
        if (ch >= 'a' && ch <= 'g') {
            int32_t semitone = steps[ch - 'a'];
            if (pos < text.size() && (text[pos] == '+' || text[pos] == '#'))
                semitone++, pos++;
            else if (pos < text.size() && text[pos] == '-')
                semitone--, pos++;
            int32_t rows = 0;
            if (!read_length(w, text, pos, rows)) return false;
            if (!place_note(w, 12 * w.octave + semitone + 1, rows, 0, 0, 0)) return false;
            w.row += rows;
        } else if (ch == 'r' || ch == '^') {
            int32_t rows = 0;
            if (!read_length(w, text, pos, rows)) return false;
            if (w.row + rows > w.pattern->rows) return fail(w, "the line runs past the end of the pattern");
            if (ch == 'r') cell_at(w, w.row, 0).note = 97;
            w.row += rows;
        } else if (ch == 'o' || ch == 'l' || ch == 'v') {
            size_t start = pos;
            int32_t value = read_digits(text, pos);
            if (pos == start) return fail(w, std::string("'") + ch + "' needs a number");
            if (ch == 'o') {
                if (value > 7) return fail(w, "octave out of range 0..7");
                w.octave = value;
            } else if (ch == 'v') {
                if (value > 64) return fail(w, "volume out of range 0..64");
                w.volume = value;
            } else {
                pos = start;
                int32_t rows = 0;
                if (!read_length(w, text, pos, rows)) return false;
                w.length = rows;
            }
        } else if (ch == '<' || ch == '>') {
            w.octave += ch == '>' ? 1 : -1;
            if (w.octave < 0 || w.octave > 7) return fail(w, "octave out of range 0..7");
        } else if (ch == '@') {
            size_t start = pos;
            while (pos < text.size() && text[pos] != ' ') pos++;
            w.instrument = find_instrument(*w.song, text.substr(start, pos - start));
            if (!w.instrument) return fail(w, "unknown instrument '" + text.substr(start, pos - start) + "'");
        } else if (ch == '[') {
            if (depth > 4) return fail(w, "repeats nested too deep");
            size_t body = pos;
            size_t end = pos;
            if (!write_melody(w, text, end, depth + 1)) return false;
            int32_t times = read_digits(text, end);
            if (times < 1 || times > 64) return fail(w, "a repeat needs a count from 1 to 64 after ']'");
            for (int32_t i = 1; i < times; i++) {
                size_t again = body;
                if (!write_melody(w, text, again, depth + 1)) return false;
            }
            pos = end;
        } else if (ch == ']') {
            if (depth == 0) return fail(w, "']' without '['");
            return true;
        } else {
            return fail(w, std::string("unexpected '") + ch + "'");
        }
    }
    if (depth > 0) return fail(w, "'[' without ']'");
    return true;
}

struct ChordQuality {
    const char* name;
    int32_t count;
    int32_t tones[4];
};

static const ChordQuality CHORD_QUALITIES[] = {
    {"", 3, {0, 4, 7}},         {"m", 3, {0, 3, 7}},    {"7", 4, {0, 4, 10, 7}}, {"m7", 4, {0, 3, 10, 7}},
    {"maj7", 4, {0, 4, 11, 7}}, {"6", 4, {0, 4, 9, 7}}, {"m6", 4, {0, 3, 9, 7}}, {"sus2", 3, {0, 2, 7}},
    {"sus4", 3, {0, 5, 7}},     {"dim", 3, {0, 3, 6}},  {"aug", 3, {0, 4, 8}},   {"add9", 4, {0, 4, 14, 7}}};

static bool write_chords(Writer& w, const std::string& word) {
    static const int32_t steps[7] = {9, 11, 0, 2, 4, 5, 7};
    if (word == "|") return true;
    if (word[0] == 'o' || word[0] == 'l') {
        size_t pos = 0;
        return write_melody(w, word, pos, 0);
    }
    std::string symbol = word;
    int32_t rows = w.length;
    size_t comma = word.find(',');
    if (comma != std::string::npos) {
        symbol = word.substr(0, comma);
        std::string len = word.substr(comma + 1);
        size_t pos = 0;
        if (!read_length(w, len, pos, rows)) return false;
        if (pos != len.size()) return fail(w, "bad length in '" + word + "'");
    }
    if (w.row + rows > w.pattern->rows) return fail(w, "the line runs past the end of the pattern");
    if (symbol == "_") {
        w.row += rows;
        return true;
    }
    if (symbol == "r") {
        for (int32_t v = 0; v < w.channel->voices; v++) cell_at(w, w.row, v).note = 97;
        w.row += rows;
        return true;
    }
    if (symbol[0] < 'A' || symbol[0] > 'G') return fail(w, "unknown chord '" + word + "'");
    int32_t root = steps[symbol[0] - 'A'];
    size_t at = 1;
    if (at < symbol.size() && symbol[at] == '#')
        root++, at++;
    else if (at < symbol.size() && symbol[at] == 'b')
        root--, at++;
    std::string quality = symbol.substr(at);
    const ChordQuality* q = nullptr;
    for (const ChordQuality& candidate : CHORD_QUALITIES)
        if (quality == candidate.name) q = &candidate;
    if (!q) return fail(w, "unknown chord quality in '" + word + "'");
    root = (root + 12) % 12;
    if (w.channel->kind == CHANNEL_ARP) {
        int32_t x = q->tones[1] % 12, y = q->tones[2] > 11 ? q->tones[3] : q->tones[2];
        if (q->count == 4 && q->tones[2] <= 11) y = q->tones[2];
        if (!place_note(w, 12 * w.octave + root + 1, rows, 0, 0, (uint8_t)(x << 4 | (y & 15)))) return false;
        w.row += rows;
        return true;
    }
    // Each voice takes one chord tone, folded into the octave from a fifth below the root
    // octave's C, so the pad moves little from chord to chord.
    int32_t base = 12 * w.octave - 5 + 1;
    std::vector<int32_t> notes;
    for (int32_t i = 0; i < q->count && (int32_t)notes.size() < w.channel->voices; i++) {
        int32_t n = base + ((root + q->tones[i] - (base - 1)) % 12 + 12) % 12;
        notes.push_back(n);
    }
    std::sort(notes.begin(), notes.end());
    for (size_t v = 0; v < notes.size(); v++)
        if (!place_note(w, notes[v], rows, (int32_t)v, 0, 0)) return false;
    // A chord with fewer tones than the channel has voices releases the spare ones,
    // so they do not go on holding a tone of the chord before.
    for (int32_t v = (int32_t)notes.size(); v < w.channel->voices; v++) cell_at(w, w.row, v).note = 97;
    w.row += rows;
    return true;
}

static bool write_drums(Writer& w, const std::string& steps) {
    if (steps.empty()) return true;
    for (int32_t r = 0; r < w.pattern->rows; r++) {
        char ch = steps[r % steps.size()];
        if (ch == '.') continue;
        char lower = (char)tolower((unsigned char)ch);
        auto found = w.song->drums.find(lower);
        if (found == w.song->drums.end()) return fail(w, std::string("unknown drum letter '") + ch + "'");
        XmCell& c = cell_at(w, r, 0);
        c.note = 49;
        c.instrument = (uint8_t)found->second;
        c.volume = note_volume(w, ch == lower ? 44 : 64);
        if (w.channel->pan >= 0) {
            c.effect = 8;
            c.param = (uint8_t)w.channel->pan;
        }
    }
    return true;
}

std::string song_channel_role(const std::string& name, int32_t drums, int32_t chord) {
    if (drums) return "drums";
    if (name.compare(0, 4, "lead") == 0) return "lead";
    if (name.compare(0, 7, "counter") == 0 && !chord) return "counter";
    if (chord) return "pad";
    return name;
}

static std::string role_of(const SongChannel& c) {
    return song_channel_role(c.name, c.kind == CHANNEL_DRUMS, c.kind == CHANNEL_CHORD);
}

static bool build_pattern(const SongState& s, int32_t index, int32_t transpose, int32_t jump, int32_t channels,
                          const std::string& role, XmPattern& out, std::string& error) {
    const SongPattern& p = s.patterns[index];
    out.rows = p.rows;
    out.cells.assign((size_t)p.rows * channels, XmCell());
    for (const SongChannel& c : s.channels) {
        if (!role.empty() && role_of(c) != role) continue;
        const std::vector<SourceLine>* lines = channel_lines(p, c.name);
        if (!lines) {
            // A channel the pattern leaves out is released at its start, so a section
            // without it really is without it. Drums are one-shot and ring out.
            if (c.kind != CHANNEL_DRUMS)
                for (int32_t v = 0; v < c.voices; v++) out.cells[(size_t)c.first + v].note = 97;
            continue;
        }
        Writer w{&s, &c, &out, channels, c.kind == CHANNEL_DRUMS ? 0 : transpose};
        w.instrument = c.instrument;
        w.error = &error;
        std::string steps;
        for (const SourceLine& line : *lines) {
            w.line = &line;
            std::string joined;
            for (size_t i = 1; i < line.words.size(); i++) {
                if (c.kind == CHANNEL_DRUMS)
                    steps += line.words[i];
                else if (c.kind == CHANNEL_MELODY)
                    joined += line.words[i] + " ";
                else if (!write_chords(w, line.words[i]))
                    return false;
            }
            size_t pos = 0;
            if (c.kind == CHANNEL_MELODY && !write_melody(w, joined, pos, 0)) return false;
        }
        if (c.kind == CHANNEL_DRUMS && !write_drums(w, steps)) return false;
        // A line that stops short of the pattern's end is almost always a miscounted bar.
        if (c.kind != CHANNEL_DRUMS && w.row != p.rows) {
            w.line = &lines->back();
            return fail(w, "channel '" + c.name + "' fills " + std::to_string(w.row) + " of " + std::to_string(p.rows) +
                               " rows");
        }
    }
    if (jump >= 0) {
        // The last row jumps back to the restart entry; the player follows the
        // jump, so the join is an ordinary pattern change with nothing faded.
        XmCell& control = out.cells[(size_t)(p.rows - 1) * channels + channels - 1];
        control.effect = 0x0b;
        control.param = (uint8_t)jump;
    }
    return true;
}

// Only the instruments the patterns play go into the module, numbered in the order
// they are defined.
static void embed_used_instruments(const SongState& s, XmSong& xm) {
    std::vector<int32_t> number(s.instruments.size() + 1, 0);
    for (const XmPattern& p : xm.patterns)
        for (const XmCell& c : p.cells)
            if (c.instrument) number[c.instrument] = 1;
    int32_t next = 0;
    for (size_t i = 1; i < number.size(); i++) {
        if (!number[i]) continue;
        number[i] = ++next;
        XmInstrument ins;
        build_instrument(s.instruments[i - 1], s.bpm, s.gain, ins);
        xm.instruments.push_back(ins);
    }
    for (XmPattern& p : xm.patterns)
        for (XmCell& c : p.cells) c.instrument = (uint8_t)number[c.instrument];
}

static std::string note_name(int32_t note) {
    static const char* const names[12] = {"C", "C#", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
    return std::string(names[(note - 1) % 12]) + std::to_string((note - 1) / 12);
}

static int32_t in_scale(const SongState& s, int32_t pitch, int32_t shift) {
    static const int32_t major[7] = {0, 2, 4, 5, 7, 9, 11};
    // Minor allows the raised sixth and seventh of its melodic and harmonic forms.
    static const int32_t minor[9] = {0, 2, 3, 5, 7, 8, 9, 10, 11};
    int32_t degree = ((pitch - s.key_root - shift) % 12 + 24) % 12;
    const int32_t* tones = s.key_minor ? minor : major;
    for (int32_t i = 0; i < (s.key_minor ? 9 : 7); i++)
        if (tones[i] == degree) return 1;
    return 0;
}

// One row of the first pass as it sounds: the chord under it (pitch classes), and per
// melody channel the note sounding and whether it was struck on this row.
struct PassRow {
    int32_t entry = 0, row = 0, bar = 0, chord = 0;
    std::vector<int32_t> note, struck;
};

static int32_t chord_mask(const SongState& s, const std::vector<int32_t>& sounding, const std::vector<int32_t>& arp) {
    int32_t chord = 0;
    for (int32_t pass = 0; pass < 2 && !chord; pass++)
        for (const SongChannel& c : s.channels) {
            if (c.kind != (pass == 0 ? CHANNEL_CHORD : CHANNEL_ARP)) continue;
            for (int32_t v = 0; v < c.voices; v++) {
                int32_t n = sounding[c.first + v];
                if (!n) continue;
                chord |= 1 << ((n - 1) % 12);
                if (c.kind == CHANNEL_ARP)
                    chord |= 1 << ((n - 1 + (arp[c.first] >> 4)) % 12) | 1 << ((n - 1 + (arp[c.first] & 15)) % 12);
            }
        }
    return chord;
}

static std::string chord_text(int32_t chord) {
    std::string text;
    for (int32_t pc = 0; pc < 12; pc++)
        if (chord & 1 << pc)
            text += (text.empty() ? "" : " ") + note_name(pc + 1).substr(0, note_name(pc + 1).size() - 1);
    return text;
}

// A strong-beat note outside the chord resolves when the channel's next event, within a
// bar, is a note a semitone or a tone away that belongs to the chord sounding then.
static int32_t resolution_of(const std::vector<PassRow>& rows, size_t at, size_t channel, std::string& to) {
    int32_t note = rows[at].note[channel];
    for (size_t k = at + 1; k < rows.size() && k <= at + 16; k++) {
        int32_t next = rows[k].note[channel];
        if (!rows[k].struck[channel] && next == note) continue;
        int32_t step = abs(next - note);
        if (!next || step < 1 || step > 2 || !(rows[k].chord & 1 << ((next - 1) % 12))) return CLASH_WRONG;
        to = note_name(next);
        return rows[at].struck[channel] ? CLASH_APPOGGIATURA : CLASH_SUSPENSION;
    }
    return CLASH_WRONG;
}

// Drum hits of one bar, by channel and row, accents left out; a bar without any is empty.
static std::string drum_bar(const SongState& s, const XmSong& xm, const std::vector<PassRow>& rows, size_t first,
                            size_t count) {
    std::string hits;
    int32_t any = 0;
    for (size_t r = first; r < first + count; r++)
        for (const SongChannel& c : s.channels) {
            if (c.kind != CHANNEL_DRUMS) continue;
            const XmPattern& p = xm.patterns[xm.order[(size_t)rows[r].entry]];
            const XmCell& cell = p.cells[(size_t)rows[r].row * xm.channels + c.first];
            uint8_t hit = cell.note >= 1 && cell.note <= 96 ? cell.instrument : 0;
            any |= hit;
            hits += (char)hit;
        }
    return any ? hits : std::string();
}

// Splits each section into four-bar phrases and counts those that end with a fill.
static void count_fills(const SongState& s, const XmSong& xm, const std::vector<PassRow>& rows, SongSection& section,
                        size_t first_row, int32_t section_rows) {
    for (int32_t phrase = 0; phrase * 64 < section_rows; phrase++) {
        int32_t start = phrase * 64, length = std::min(64, section_rows - start);
        int32_t bars = (length + 15) / 16;
        if (bars < 2) continue;
        section.phrases++;
        int32_t last_start = start + (bars - 1) * 16;
        std::string last = drum_bar(s, xm, rows, first_row + last_start, (size_t)(start + length - last_start));
        if (last.empty()) continue;
        int32_t same = 0;
        for (int32_t b = 0; b < bars - 1 && !same; b++) {
            std::string earlier = drum_bar(s, xm, rows, first_row + start + 16 * b, 16);
            same = earlier.compare(0, last.size(), last) == 0;
        }
        section.fills += !same;
    }
}

static void describe_sections(const SongState& s, const XmSong& xm, const std::vector<PassRow>& rows,
                              SongSummary& out) {
    std::vector<int32_t> letter(s.patterns.size(), -1);
    int32_t letters = 0;
    size_t first_row = 0;
    for (size_t i = 0; i < s.order.size(); i++) {
        const SongPattern& p = s.patterns[s.order[i].first];
        SongSection section;
        section.name = s.order_words[i];
        section.role = p.role;
        section.order = (int32_t)i;
        section.first_bar = first_row < rows.size() ? rows[first_row].bar : 0;
        section.bars = (p.rows + 15) / 16;
        count_fills(s, xm, rows, section, first_row, p.rows);
        out.sections.push_back(section);
        if (letter[p.family] < 0) letter[p.family] = letters++;
        if (!out.shape.empty()) out.shape += " ";
        if (s.loop && (int32_t)i == s.restart) out.shape += "|: ";
        out.shape += letter[p.family] < 26 ? std::string(1, (char)('A' + letter[p.family]))
                                           : "Z" + std::to_string(letter[p.family]);
        if (s.order[i].second) out.shape += s.order[i].second > 0 ? "+" : "-";
        if (p.rows != 64) out.shape += "/" + (p.rows % 16 ? std::to_string(p.rows) + "r" : std::to_string(p.rows / 16));
        first_row += (size_t)p.rows;
    }
}

// Walks the module as the first pass plays it: counts bars and distinct bars, notes every
// strong-beat melody note that is not in the chord sounding under it (telling those that
// resolve from wrong notes), and describes the sections.
static void summarise_song(const SongState& s, const XmSong& xm, SongSummary& out) {
    out.title = s.title;
    out.key = s.key_text.empty() ? "?" : s.key_text;
    out.bpm = s.bpm;
    out.loop = s.loop;
    out.form.clear();
    for (size_t i = 0; i < s.order_words.size(); i++) {
        if (s.loop && (int32_t)i == s.restart) out.form += "|: ";
        out.form += s.order_words[i] + (i + 1 < s.order_words.size() ? " " : "");
    }
    for (const SongChannel& c : s.channels)
        if (std::find(out.roles.begin(), out.roles.end(), role_of(c)) == out.roles.end())
            out.roles.push_back(role_of(c));
    std::vector<int32_t> sounding((size_t)xm.channels, 0), arp((size_t)xm.channels, 0);
    std::vector<std::string> bars;
    std::vector<PassRow> rows;
    int32_t bar = 0;
    for (size_t i = 0; i < xm.order.size(); i++) {
        const XmPattern& p = xm.patterns[xm.order[i]];
        for (int32_t row = 0; row < p.rows; row++) {
            if (row % 16 == 0) {
                bar++;
                bars.push_back(std::string());
            }
            PassRow now;
            now.entry = (int32_t)i, now.row = row, now.bar = bar;
            for (int32_t ch = 0; ch < xm.channels; ch++) {
                const XmCell& c = p.cells[(size_t)row * xm.channels + ch];
                if (c.note >= 1 && c.note <= 96) sounding[ch] = c.note, arp[ch] = c.param;
                if (c.note == 97) sounding[ch] = 0;
                bars.back() += std::string((const char*)&c, sizeof c);
            }
            now.chord = chord_mask(s, sounding, arp);
            for (const SongChannel& c : s.channels) {
                const XmCell& cell = p.cells[(size_t)row * xm.channels + c.first];
                now.note.push_back(c.kind == CHANNEL_MELODY ? sounding[c.first] : 0);
                now.struck.push_back(cell.note >= 1 && cell.note <= 96);
            }
            rows.push_back(now);
        }
    }
    for (size_t r = 0; r < rows.size(); r++) {
        if (rows[r].row % 8 != 0 || !rows[r].chord) continue;
        for (size_t ch = 0; ch < s.channels.size(); ch++) {
            int32_t n = rows[r].note[ch];
            if (!n || rows[r].chord & 1 << ((n - 1) % 12)) continue;
            SongClash clash;
            clash.channel = s.channels[ch].name;
            clash.bar = rows[r].bar;
            clash.beat = rows[r].row % 16 == 0 ? 1 : 3;
            clash.pattern = s.order_words[(size_t)rows[r].entry];
            clash.note = note_name(n);
            clash.chord = chord_text(rows[r].chord);
            clash.outside_scale = !in_scale(s, (n - 1) % 12, s.order[(size_t)rows[r].entry].second);
            clash.kind = resolution_of(rows, r, ch, clash.resolution);
            (clash.kind == CLASH_WRONG ? out.clashes : out.resolved).push_back(clash);
        }
    }
    describe_sections(s, xm, rows, out);
    out.bars = bar;
    std::sort(bars.begin(), bars.end());
    out.distinct_bars = (int32_t)(std::unique(bars.begin(), bars.end()) - bars.begin());
}

bool compile_song(const char* path, Bytes& out, std::string& error) {
    return compile_song_role(path, std::string(), out, nullptr, error);
}

bool compile_song_role(const char* path, const std::string& role, Bytes& out, SongSummary* summary,
                       std::string& error) {
    std::string text, shared;
    if (!read_text_file(path, text, error)) return false;
    std::string folder = path;
    size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    std::string inc_path = folder + "instruments.inc";
    std::vector<SourceLine> lines;
    FILE* probe = fopen(inc_path.c_str(), "rb");
    if (probe) {
        fclose(probe);
        if (!read_text_file(inc_path.c_str(), shared, error)) return false;
        split_source(inc_path, shared, lines);
    }
    split_source(path, text, lines);
    SongState s;
    if (!parse_lines(s, lines, error)) return false;
    if (s.channels.empty()) {
        error = std::string(path) + ":1: no channel";
        return false;
    }
    if (s.order.empty()) {
        error = std::string(path) + ":1: no order";
        return false;
    }
    if (s.restart >= (int32_t)s.order.size()) {
        error = source_error(s.order_line, "the restart entry lies past the end of the order");
        return false;
    }
    XmSong xm;
    xm.name = s.title;
    xm.bpm = s.bpm;
    xm.speed = s.speed;
    xm.restart = s.restart;
    int32_t used = s.channels.back().first + s.channels.back().voices + 2;  // + two control channels
    xm.channels = used + (used % 2);
    // One module pattern per distinct (pattern, transposition); the last entry of a looping
    // song gets its own copy carrying the jump back.
    std::map<std::pair<int32_t, int32_t>, int32_t> made;
    for (size_t i = 0; i < s.order.size(); i++) {
        bool last = s.loop && i + 1 == s.order.size();
        std::pair<int32_t, int32_t> key = s.order[i];
        auto found = made.find(key);
        if (!last && found != made.end()) {
            xm.order.push_back((uint8_t)found->second);
            continue;
        }
        XmPattern pattern;
        if (!build_pattern(s, key.first, key.second, last ? s.restart : -1, xm.channels, role, pattern, error))
            return false;
        if (xm.patterns.size() >= (size_t)SONG_MAX_PATTERNS) {
            error = source_error(s.order_line, "too many distinct patterns");
            return false;
        }
        if (!last) made[key] = (int32_t)xm.patterns.size();
        xm.order.push_back((uint8_t)xm.patterns.size());
        xm.patterns.push_back(pattern);
    }
    embed_used_instruments(s, xm);
    if (summary) {
        *summary = SongSummary();
        summarise_song(s, xm, *summary);
    }
    encode_xm(xm, out);
    return true;
}
