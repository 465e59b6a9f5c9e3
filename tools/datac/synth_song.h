// What the song tools learn from a song source beyond its module: its key, form and
// bars, the roles of its channels, and the melody notes that clash with the harmony.
#ifndef DATAC_SYNTH_SONG_H
#define DATAC_SYNTH_SONG_H

#include <stdint.h>

#include <string>
#include <vector>

// A note of a melody channel (the lead, a countermelody, the bass) sounding on a strong
// beat (beats 1 and 3 of a bar) that is not a tone of the chord under it; outside_scale
// when it is not in the key either.
struct SongClash {
    int32_t bar = 0;   // 1-based, counted through the play order's first pass
    int32_t beat = 0;  // 1 or 3
    std::string channel, pattern, note, chord;
    int32_t outside_scale = 0;
};

struct SongSummary {
    std::string title, key, form;
    int32_t bpm = 0, loop = 1, bars = 0, distinct_bars = 0;
    std::vector<std::string> roles;  // in channel order, each once
    std::vector<SongClash> clashes;
};

// The role a channel plays in the mix: "drums" for drum channels, "lead" for melody
// channels named lead..., "pad" for chord channels, else the channel's own name.
std::string song_channel_role(const std::string& name, int32_t drums, int32_t chord);

// Compiles like compile_song and fills the summary. With a role given, the channels of
// every other role stay silent, so that one role can be heard and measured alone.
bool compile_song_role(const char* path, const std::string& role, std::vector<uint8_t>& out, SongSummary* summary,
                       std::string& error);

#endif
