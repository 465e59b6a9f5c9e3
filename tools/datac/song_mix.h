// The figures of a song's mix as the game plays it: each role alone against the whole mix,
// loudness and its range, spectrum, stereo image and the level the effects are set against.
// The audio report prints them and the song tests hold them to the mix targets.
#ifndef DATAC_SONG_MIX_H
#define DATAC_SONG_MIX_H

#include <math.h>

#include <string>
#include <vector>

#include "synth_measure.h"
#include "synth_song.h"

enum { MIX_LEAD, MIX_PAD, MIX_BASS, MIX_DRUMS, MIX_COUNTER, MIX_ROLES };

// The role names of compile_song_role, in the order of the MIX_ roles.
extern const char* const MIX_ROLE_NAMES[MIX_ROLES];

struct SongMix {
    SongSummary summary;
    PlayedSong played;
    LoopJoins joins;
    double role_db[MIX_ROLES];  // the role alone over the same stretch, LUFS against the mix; NAN when silent
    double lufs = 0, range_lu = 0, centroid_hz = 0, band_2_6k_db = 0, correlation = 0, balance_db = 0;
    double level_db = 0;  // song_level_db of the whole render
    // The lead over the counter-melody where both play: the median difference of their
    // stems' 400 ms A-weighted levels, and the share (0..1) of those windows where the
    // counter-melody is the louder; NAN and 0 when the song has no counter role or they
    // never play together. together: the number of such windows.
    double lead_over_counter_db = NAN, counter_louder_share = 0;
    int32_t together = 0;
    // Per section of the first pass (as summary.sections): the median of its 100 ms
    // A-weighted levels against level_db.
    std::vector<double> section_db;
};

// A song's phrases over its first pass: how many, how many end with a fill, and whether
// every one is four bars long.
struct SongPhrases {
    int32_t phrases = 0, fills = 0, all_four_bars = 1;
    std::string lengths;  // the sections' lengths in bars, in play order
};
SongPhrases song_phrases(const SongSummary& summary);

// Windows where a stem plays: within 20 dB of its own loud windows (the 90th percentile)
// and above -60 dB.
std::vector<int32_t> stem_plays(const std::vector<double>& levels);

// Compiles the song source, plays it as the game does and each of its roles alone over the
// first pass, and measures them; false with the compiler's or player's complaint in error.
bool measure_song_mix(const char* path, SongMix& mix, std::string& error);

#endif
