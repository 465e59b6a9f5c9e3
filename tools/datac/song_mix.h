// The figures of a song's mix as the game plays it: each role alone against the whole mix,
// loudness and its range, spectrum, stereo image and the level the effects are set against.
// The audio report prints them and the song tests hold them to the mix targets.
#ifndef DATAC_SONG_MIX_H
#define DATAC_SONG_MIX_H

#include <string>

#include "synth_measure.h"
#include "synth_song.h"

enum { MIX_LEAD, MIX_PAD, MIX_BASS, MIX_DRUMS, MIX_ROLES };

// The role names of compile_song_role, in the order of the MIX_ roles.
extern const char* const MIX_ROLE_NAMES[MIX_ROLES];

struct SongMix {
    SongSummary summary;
    PlayedSong played;
    LoopJoins joins;
    double role_db[MIX_ROLES];  // the role alone over the same stretch, LUFS against the mix; NAN when silent
    double lufs = 0, range_lu = 0, centroid_hz = 0, band_2_6k_db = 0, correlation = 0, balance_db = 0;
    double level_db = 0;  // song_level_db of the whole render
};

// Compiles the song source, plays it and each of its roles alone as the game does, and
// measures them; false with the compiler's or player's complaint in error.
bool measure_song_mix(const char* path, SongMix& mix, std::string& error);

#endif
