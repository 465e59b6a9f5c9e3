// The song compiler: modules that libmodplug accepts, and refusals with file and line.
#include <gtest/gtest.h>
#include <libmodplug/modplug.h>

#include <string>

#include "audio/music.h"
#include "compile.h"
#include "floob.h"
#include "support/support.h"
#include "synth_measure.h"
#include "synth_song.h"

static const char* const SONG_HEAD =
    "tempo 120\ninstrument lead tone\nwave saw 8\ninstrument k kick\ndrum k k\n"
    "channel m melody lead\nchannel c chord lead voices=4\nchannel d drums -\n";

static bool compile_text(const std::string& body, Bytes& out, std::string& error) {
    write_file("s.song", std::string(SONG_HEAD) + body);
    return compile_song("s.song", out, error);
}

TEST(SongCompiler, WritesAModuleThatLoadsAndLastsItsRows) {
    TempDir dir;
    Bytes out;
    std::string error;
    // 2 patterns of 32 rows at 120 bpm, speed 6: 8 seconds.
    ASSERT_TRUE(
        compile_text("pattern a 32\nm: o4 l8 [c e g >c<]4\nc: o4 l1 C Am,2 F,4 G7,4\nd: k...\n"
                     "pattern b 32 from a\nm: o5 c1 ^1\norder a b-3\n",
                     out, error))
        << error;
    EXPECT_EQ(0, memcmp(out.data(), "Extended Module: ", 17));
    ModPlugFile* module = ModPlug_Load(out.data(), (int)out.size());
    ASSERT_NE(nullptr, module);
    EXPECT_GE(ModPlug_GetLength(module), 7500);
    EXPECT_LE(ModPlug_GetLength(module), 8500);
    EXPECT_EQ(2u, ModPlug_NumInstruments(module));
    ModPlug_Unload(module);
    // Only the instruments a song plays are embedded: here the lead, not the kick.
    ASSERT_TRUE(compile_text("pattern a 16\nm: c1\norder a\n", out, error)) << error;
    module = ModPlug_Load(out.data(), (int)out.size());
    ASSERT_NE(nullptr, module);
    EXPECT_EQ(1u, ModPlug_NumInstruments(module));
    ModPlug_Unload(module);
}

TEST(SongCompiler, RefusesMalformedSourcesWithFileAndLine) {
    TempDir dir;
    Bytes out;
    std::string error;
    struct Case {
        const char* body;
        const char* where;
    };
    const Case cases[] = {
        {"pattern a 16\nm: o4 c1 d4\norder a\n", "s.song:10: the line runs past"},
        {"pattern a 16\nm: o4 c2\norder a\n", "s.song:10: channel 'm' fills 8 of 16"},
        {"pattern a 16\nm: o4 c3\norder a\n", "s.song:10: bad length"},
        {"pattern a 16\nm: o4 [c4\norder a\n", "s.song:10:"},
        {"pattern a 16\nx: c1\norder a\n", "s.song:10: unknown channel"},
        {"pattern a 16\nc: Hm,1\norder a\n", "s.song:10: unknown chord"},
        {"pattern a 16\nd: kz\norder a\n", "s.song:10: unknown drum letter"},
        {"pattern a 16\nm: o9 c1\norder a\n", "s.song:10: octave"},
        {"pattern a 16\nm: c1\norder a q\n", "s.song:11: unknown pattern"},
        {"pattern a 16\nm: c1\n", "s.song:1: no order"},
        {"wobble 3\n", "s.song:9: unknown keyword"},
        {"tempo 900\n", "s.song:9:"},
        // Runs of digits far past any valid value are refused, not overflowed.
        {"pattern a 16\nm: o4 c99999999999999999999\norder a\n", "s.song:10: bad length"},
        {"pattern a 16\nm: o99999999999999999999 c1\norder a\n", "s.song:10: octave"},
        {"pattern a 16\nm: [c4]99999999999999999999\norder a\n", "s.song:10: a repeat needs a count"},
        {"pattern a 16\nm: c1\norder a |: a |: a\n", "s.song:11: the restart is marked twice"},
        {"pattern a 16\nm: c1\norder a a |:\n", "s.song:11: the restart entry lies past the end"},
        {"key H major\n", "s.song:9: 'key' needs ROOT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        EXPECT_FALSE(compile_text(c.body, out, error));
        EXPECT_NE(std::string::npos, error.find(c.where)) << error;
    }
}

// A channel that a pattern leaves out is released at the pattern's start; drums ring out.
TEST(SongCompiler, ReleasesWhatTheNextPatternDoesNotPlayAndHonoursTheRestart) {
    TempDir dir;
    Bytes out;
    std::string error;
    // Channels: m (XM 0), c (XM 1..4), d (XM 5), then the two control channels.
    ASSERT_TRUE(
        compile_text("pattern a 16\nm: o4 c1\nc: o4 l1 C7\nd: k...\n"
                     "pattern b 16\nc: o4 C,1\norder a |: b a\n",
                     out, error))
        << error;
    EXPECT_EQ(1, out[66] | out[67] << 8);  // the module's restart entry
    ModPlugFile* module = ModPlug_Load(out.data(), (int)out.size());
    ASSERT_NE(nullptr, module);
    const unsigned char KEY_OFF = 255;
    struct Cell {
        int pattern, channel;
        bool key_off;
    };
    const Cell cells[] = {
        {0, 0, false},  // a plays m
        {1, 0, true},   // b leaves m out
        {1, 1, false},  // b plays the chord
        {1, 3, false},  // a triad takes three of the voices that held the seventh chord
        {1, 4, true},   // and releases the fourth
        {1, 5, false},  // the drums are not cut
    };
    for (const Cell& c : cells) {
        SCOPED_TRACE(c.pattern * 10 + c.channel);
        unsigned int rows = 0;
        ModPlugNote* notes = ModPlug_GetPattern(module, c.pattern, &rows);
        ASSERT_NE(nullptr, notes);
        EXPECT_EQ(c.key_off, notes[c.channel].Note == KEY_OFF);
    }
    ModPlug_Unload(module);
}

// A pattern copied from a copy still plays what the first copy took over (here the chord).
TEST(SongCompiler, ACopyOfACopyKeepsEveryChannel) {
    TempDir dir;
    Bytes out;
    std::string error;
    ASSERT_TRUE(
        compile_text("pattern a 16\nm: o4 c1\nc: o4 C,1\npattern b 16 from a\nm: o4 e1\n"
                     "pattern c 16 from b\norder a b c\n",
                     out, error))
        << error;
    ModPlugFile* module = ModPlug_Load(out.data(), (int)out.size());
    ASSERT_NE(nullptr, module);
    // c changes nothing, so it plays exactly what b plays: b's own melody and a's chord.
    unsigned int rows_b = 0, rows_c = 0;
    ModPlugNote* b = ModPlug_GetPattern(module, 1, &rows_b);
    ModPlugNote* c = ModPlug_GetPattern(module, 2, &rows_c);
    ASSERT_NE(nullptr, b);
    ASSERT_NE(nullptr, c);
    for (int32_t channel = 0; channel < 4; channel++) {
        SCOPED_TRACE(channel);
        EXPECT_NE(0, b[channel].Note);
        EXPECT_EQ(b[channel].Note, c[channel].Note);
    }
    ModPlug_Unload(module);
}

// Gain lines multiply: one in instruments.inc lowers every song, a song's own sets it against the rest.
TEST(SongCompiler, GainLinesSetTheMixLevel) {
    TempDir dir;
    struct Case {
        const char* shared;
        const char* own;
        double db;  // against no gain at all
    };
    const Case cases[] = {
        {"", "", 0}, {"", "gain 0.5\n", -6.02}, {"gain 0.5\n", "", -6.02}, {"gain 0.5\n", "gain 0.5\n", -12.04}};
    double reference = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.shared) + "/" + c.own);
        write_file("instruments.inc", c.shared);
        Bytes out;
        std::string error;
        ASSERT_TRUE(compile_text(std::string(c.own) + "pattern a 64\nm: o4 l4 [c e g e]4\norder a\n", out, error))
            << error;
        ModPlugFile* module = load_module_at_game_settings(out);
        ASSERT_NE(nullptr, module);
        PlayedSong played;
        play_through_player(module, 0, 128, 10 * MEASURE_RATE, played);
        ModPlug_Unload(module);
        double level = rms_dbfs(mono_of(played.pcm));
        if (c.db == 0) reference = level;
        EXPECT_NEAR(c.db, level - reference, 0.3);
    }
}

// The song tools' view: key, form, bars, roles alone, and the strong-beat clash check.
TEST(SongCompiler, SummaryRolesAndHarmonyCheck) {
    TempDir dir;
    write_file("s.song",
               "key C major\ntempo 120\ninstrument t tone\nchannel lead melody t\nchannel pad chord t voices=3 vol=16\n"
               "pattern a 32\nlead: o5 c2 e2 | c2 c2\npad: o4 l1 C G\npattern b 16\nlead: o5 c+1\npad: o4 C,1\n"
               "order a |: a b\n");
    Bytes out;
    SongSummary summary;
    std::string error;
    ASSERT_TRUE(compile_song_role("s.song", "", out, &summary, error)) << error;
    EXPECT_EQ("C major", summary.key);
    EXPECT_EQ("a |: a b", summary.form);
    EXPECT_EQ(5, summary.bars);
    EXPECT_EQ(3, summary.distinct_bars);  // a's two bars and b's; a's second bar differs by its jump back
    // C over G on beats 1 and 3 of bar 2 and 4; C# over C on both beats of bar 5, outside the key too.
    ASSERT_EQ(6u, summary.clashes.size());
    EXPECT_EQ(2, summary.clashes[0].bar);
    EXPECT_EQ("C5", summary.clashes[0].note);
    EXPECT_EQ(0, summary.clashes[0].outside_scale);
    EXPECT_EQ(5, summary.clashes[5].bar);
    EXPECT_EQ(3, summary.clashes[5].beat);
    EXPECT_EQ(1, summary.clashes[5].outside_scale);
    // Each role alone: three pad voices at a quarter of the lead's volume sum 7.2 dB under it.
    double level[2];
    const char* const roles[2] = {"lead", "pad"};
    for (int i = 0; i < 2; i++) {
        ASSERT_TRUE(compile_song_role("s.song", roles[i], out, &summary, error)) << error;
        ModPlugFile* module = load_module_at_game_settings(out);
        ASSERT_NE(nullptr, module);
        PlayedSong played;
        play_through_player(module, 0, 128, 20 * MEASURE_RATE, played);
        ModPlug_Unload(module);
        level[i] = integrated_lufs(played.pcm);
    }
    EXPECT_NEAR(7.2, level[0] - level[1], 1.0);
}

// A strong-beat note outside the chord resolves when its next note, a step away, is a tone
// of the chord then sounding; a leap, a rest, a step to another outside note or a note
// held past the bar leaves it a wrong note.
TEST(SongCompiler, HarmonyCheckTellsResolvingNotesFromWrongNotes) {
    struct Case {
        const char *lead, *pad;
        int32_t beat, kind;
    };
    const Case cases[] = {
        {"d4 c4 e2", "C,1", 1, CLASH_APPOGGIATURA},  {"a4 b4 d2", "C,4 G,4 G,2", 1, CLASH_APPOGGIATURA},
        {"c2. <b4", "C,2 G,2", 3, CLASH_SUSPENSION}, {"d4 g4 e2", "C,1", 1, CLASH_WRONG},
        {"d4 r4 e2", "C,1", 1, CLASH_WRONG},         {"d4 c+4 e2", "C,1", 1, CLASH_WRONG},
        {"c1", "C,2 G,2", 3, CLASH_WRONG},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lead);
        write_file("s.song", std::string("key C major\ntempo 120\ninstrument t tone\nchannel lead melody t\n"
                                         "channel pad chord t voices=3\npattern a 16\nlead: o5 ") +
                                 c.lead + "\npad: o4 " + c.pad + "\norder a\n");
        Bytes out;
        SongSummary summary;
        std::string error;
        ASSERT_TRUE(compile_song_role("s.song", "", out, &summary, error)) << error;
        std::vector<SongClash> all = summary.clashes;
        all.insert(all.end(), summary.resolved.begin(), summary.resolved.end());
        ASSERT_EQ(1u, all.size());
        EXPECT_EQ(1, all[0].bar);
        EXPECT_EQ(c.beat, all[0].beat);
        EXPECT_EQ(c.kind, all[0].kind);
    }
}

// The songs as written: on beats 1 and 3 every melody channel (lead, countermelody, bass)
// plays a tone of the chord under it. Faster once kept its bass on G under E major.
// Songs 0 to 2 join the table once they are rewritten.
TEST(SongCompiler, SongsPlayChordTonesOnTheStrongBeats) {
    const int32_t songs[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, SONG_LEVEL_COMPLETE, SONG_JINGLE};
    for (int32_t id : songs) {
        std::string path = std::string(FLOOB_SOURCE_DIR) + "/assets/music/" + song_entry_name(id) + ".song";
        SCOPED_TRACE(path);
        Bytes out;
        SongSummary summary;
        std::string error;
        ASSERT_TRUE(compile_song_role(path.c_str(), "", out, &summary, error)) << error;
        EXPECT_GT(summary.bars, 0);
        for (const SongClash& c : summary.clashes)
            ADD_FAILURE() << "bar " << c.bar << " beat " << c.beat << " " << c.channel << " (" << c.pattern
                          << "): " << c.note << " over " << c.chord;
    }
}
