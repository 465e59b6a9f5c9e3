// Every built song, played through the game's own music player at the game's settings.
#include <gtest/gtest.h>
#include <math.h>

#include <string>
#include <vector>

#include "audio/music.h"
#include "floob.h"
#include "song_mix.h"
#include "support/support.h"
#include "synth_measure.h"

static bool play_built_song(int32_t id, PlayedSong& played) {
    std::string bytes = read_file(std::string(FLOOB_BINARY_DIR) + "/entries/music/" + song_entry_name(id) + ".mod");
    return play_song_as_game(std::vector<uint8_t>(bytes.begin(), bytes.end()), played);
}

static std::string song_source_path(int32_t id) {
    return std::string(FLOOB_SOURCE_DIR) + "/assets/music/" + song_entry_name(id) + ".song";
}

// A join is heard as the next bar: no silence and no dip deeper than 20 dB under the song.
TEST(Songs, LoopingSongsJoinWithoutAGapAndStayBelowFullScale) {
    double loudest = -200, softest = 0;
    for (int32_t id = 0; id <= 10; id++) {
        SCOPED_TRACE(song_entry_name(id));
        PlayedSong played;
        ASSERT_TRUE(play_built_song(id, played));
        ASSERT_EQ(2u, played.joins.size());
        EXPECT_GE(played.joins[0], 60 * MEASURE_RATE);
        EXPECT_LT(peak_dbfs(played.pcm), -0.1);
        LoopJoins joins = measure_loop_joins(played);
        EXPECT_LE(joins.silence_ms, 20.0);
        EXPECT_GE(joins.dip_db, -20.0);
        double lufs = integrated_lufs(played.pcm);
        loudest = fmax(loudest, lufs);
        softest = fmin(softest, lufs);
    }
    EXPECT_LT(loudest - softest, 3.0);
}

// The level end lasts 6 s and then frees the module: the fanfare, its last chord's
// release included, is over before that.
TEST(Songs, FanfareAndJingleEndWithinTheirScreens) {
    struct Case {
        int32_t id;
        double shortest, longest;
    };
    const Case cases[] = {{SONG_LEVEL_COMPLETE, 4.0, 5.7}, {SONG_JINGLE, 2.0, 4.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(song_entry_name(c.id));
        PlayedSong played;
        ASSERT_TRUE(play_built_song(c.id, played));
        EXPECT_EQ(1, played.ended);
        EXPECT_TRUE(played.joins.empty());
        double seconds = audible_end(played.pcm) / (double)MEASURE_RATE;
        EXPECT_GE(seconds, c.shortest);
        EXPECT_LE(seconds, c.longest);
        EXPECT_LT(peak_dbfs(played.pcm), -0.1);
    }
}

// Each song's mix, measured from its source as the audio report does: the lead stands over
// the chords, the kit is heard, the sound is bright and wide enough, centred, with quiet
// and loud stretches, and it plays at the level the effects are set against.
TEST(Songs, MixesMeetTheirTargets) {
    const int32_t songs[] = {
        0,   // Floob 2 (Intro)
        1,   // Go, Floob!
        2,   // Watchout (Pt. 2)
        3,   // Stressed
        4,   // Faster
        5,   // Watchout
        6,   // In A Hurry
        7,   // Floob 2
        8,   // Journey
        9,   // Run Run Run
        10,  // Chaos
    };
    for (int32_t id : songs) {
        SCOPED_TRACE(song_entry_name(id));
        SongMix mix;
        std::string error;
        ASSERT_TRUE(measure_song_mix(song_source_path(id).c_str(), mix, error)) << error;
        double lead_over_pad = mix.role_db[MIX_LEAD] - mix.role_db[MIX_PAD];
        EXPECT_GE(lead_over_pad, 2.0);
        EXPECT_LE(lead_over_pad, 6.0);
        EXPECT_GE(mix.role_db[MIX_DRUMS], -10.0);
        EXPECT_GE(mix.centroid_hz, 600.0);
        EXPECT_GE(mix.band_2_6k_db, -12.0);
        EXPECT_LE(mix.correlation, 0.90);
        EXPECT_LE(fabs(mix.balance_db), 1.0);
        EXPECT_GE(mix.range_lu, 3.0);
        EXPECT_GE(mix.level_db, -32.0);
        EXPECT_LE(mix.level_db, -30.0);
    }
}
