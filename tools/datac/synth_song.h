// What the song tools learn from a song source beyond its module: its key, form and
// bars, the roles of its channels, and the melody notes that clash with the harmony.
#ifndef DATAC_SYNTH_SONG_H
#define DATAC_SYNTH_SONG_H

#include <stdint.h>

#include <string>
#include <vector>

// How a strong-beat note outside the chord is heard: a wrong note, or one that resolves
// by step to a chord tone on the channel's next note (within a bar, under the chord then
// sounding): an appoggiatura when it is struck on the beat, a suspension when it is held
// into the beat from before.
enum { CLASH_WRONG, CLASH_APPOGGIATURA, CLASH_SUSPENSION };

// A note of a melody channel (the lead, a countermelody, the bass) sounding on a strong
// beat (beats 1 and 3 of a bar) that is not a tone of the chord under it; outside_scale
// when it is not in the key either.
struct SongClash {
    int32_t bar = 0;   // 1-based, counted through the play order's first pass
    int32_t beat = 0;  // 1 or 3
    std::string channel, pattern, note, chord;
    int32_t outside_scale = 0;
    int32_t kind = CLASH_WRONG;
    std::string resolution;  // the chord tone it resolves to, for the resolving kinds
};

// One entry of the play order's first pass. role: "break" or "climax" when its pattern
// is marked so, else empty. phrases: its four-bar phrases of at least two bars (a
// section's last phrase may be shorter); fills: those whose last bar's drums differ from
// every bar before it in the phrase.
struct SongSection {
    std::string name, role;
    int32_t order = 0, first_bar = 0, bars = 0, phrases = 0, fills = 0;
};

struct SongSummary {
    std::string title, key, form;
    int32_t bpm = 0, loop = 1, bars = 0, distinct_bars = 0;
    std::vector<std::string> roles;   // in channel order, each once
    std::vector<SongClash> clashes;   // the wrong notes
    std::vector<SongClash> resolved;  // the appoggiaturas and suspensions
    std::vector<SongSection> sections;
    // The form with the names taken out, for telling whether two songs share one: each
    // entry is its pattern's family (a pattern and those copied from it) lettered by first
    // appearance, '+' or '-' when transposed, "/N" when it is not four bars long.
    std::string shape;
};

// The role a channel plays in the mix: "drums" for drum channels, "lead" for melody
// channels named lead..., "counter" for melody channels named counter..., "pad" for chord
// channels, else the channel's own name.
std::string song_channel_role(const std::string& name, int32_t drums, int32_t chord);

// Compiles like compile_song and fills the summary. With a role given, the channels of
// every other role stay silent, so that one role can be heard and measured alone.
bool compile_song_role(const char* path, const std::string& role, std::vector<uint8_t>& out, SongSummary* summary,
                       std::string& error);

#endif
