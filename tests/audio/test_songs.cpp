// Every built song, played through the game's own music player at the game's settings.
#include <gtest/gtest.h>
#include <math.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "floob.h"
#include "song_mix.h"
#include "support/support.h"
#include "synth_measure.h"

static bool play_built_song(int32_t id, PlayedSong& played) {
    std::string bytes = read_file(std::string(FLOOB_BINARY_DIR) + "/entries/music/" + song_entry_name(id) + ".mod");
    return play_song_as_game(std::vector<uint8_t>(bytes.begin(), bytes.end()), played);
}

// A built effect's samples (mono, 16 bits, after the 44-byte header).
static std::vector<double> effect_samples(int32_t id) {
    std::string wav = read_file(std::string(FLOOB_BINARY_DIR) + "/entries/sound/" + sound_entry_name(id) + ".wav");
    std::vector<double> mono;
    for (size_t i = 44; i + 1 < wav.size(); i += 2)
        mono.push_back((int16_t)((uint8_t)wav[i] | (uint8_t)wav[i + 1] << 8) / 32768.0);
    return mono;
}

static std::string song_source_path(int32_t id) {
    return std::string(FLOOB_SOURCE_DIR) + "/assets/music/" + song_entry_name(id) + ".song";
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

// The cheer starts in the frame the fanfare does: over their first half second it plays
// only pitch classes the fanfare plays strongly.
TEST(Songs, TheLevelEndCheerIsInTheFanfaresKey) {
    PlayedSong fanfare;
    ASSERT_TRUE(play_built_song(SONG_LEVEL_COMPLETE, fanfare));
    std::vector<double> cheer = effect_samples(SND_JIPIE);
    int32_t music = strong_pitch_classes(mono_of(fanfare.pcm), MEASURE_RATE / 2, 10);
    int32_t cheer_classes = strong_pitch_classes(cheer, MEASURE_RATE / 2, 10);
    EXPECT_NE(0, cheer_classes);
    EXPECT_EQ(0, cheer_classes & ~music) << std::hex << cheer_classes << " against " << music;
}

// Each song, measured from its source once as the audio report does. Its loop joins are
// heard as the next bar (no silence, no dip deeper than 20 dB) and it stays under full
// scale. The lead stands over the chords and over the counter-melody, the kit is heard,
// the sound is bright and wide enough, centred, with quiet and loud stretches; breaks
// fall and climaxes rise against the song; fills end at most half the phrases, not every
// section is four bars, and no two songs but a pair share one form. The songs play at the
// level the effects are set against, and aj, the effect an enemy's touch starts twice in
// one frame, is a cry (not a clipped buzz) as loud as the music and still under full scale.
TEST(Songs, MixesMeetTheirTargets) {
    std::vector<double> levels;
    std::vector<std::string> shapes;
    double loudest = -200, softest = 0;
    for (int32_t id = 0; id <= 10; id++) {
        SCOPED_TRACE(song_entry_name(id));
        SongMix mix;
        std::string error;
        ASSERT_TRUE(measure_song_mix(song_source_path(id).c_str(), mix, error)) << error;
        ASSERT_EQ(2u, mix.played.joins.size());
        EXPECT_GE(mix.played.joins[0], 60 * MEASURE_RATE);
        EXPECT_LT(peak_dbfs(mix.played.pcm), -0.1);
        EXPECT_LE(mix.joins.silence_ms, 20.0);
        EXPECT_GE(mix.joins.dip_db, -20.0);
        loudest = fmax(loudest, mix.lufs);
        softest = fmin(softest, mix.lufs);
        double lead_over_pad = mix.role_db[MIX_LEAD] - mix.role_db[MIX_PAD];
        EXPECT_GE(lead_over_pad, 2.0);
        EXPECT_LE(lead_over_pad, 6.0);
        if (mix.together > 0) {
            EXPECT_GE(mix.lead_over_counter_db, 4.0);
            EXPECT_LE(mix.counter_louder_share, 0.05);
        }
        EXPECT_GE(mix.role_db[MIX_DRUMS], -10.0);
        EXPECT_GE(mix.centroid_hz, 600.0);
        EXPECT_GE(mix.band_2_6k_db, -12.0);
        EXPECT_LE(mix.correlation, 0.90);
        EXPECT_LE(fabs(mix.balance_db), 1.0);
        EXPECT_GE(mix.range_lu, 3.0);
        EXPECT_GE(mix.level_db, -32.0);
        EXPECT_LE(mix.level_db, -30.0);
        int32_t marked[2] = {0, 0};
        for (size_t i = 0; i < mix.summary.sections.size(); i++) {
            const SongSection& section = mix.summary.sections[i];
            SCOPED_TRACE(section.name);
            marked[0] += section.role == "break";
            marked[1] += section.role == "climax";
            if (section.role == "break") {
                EXPECT_LE(mix.section_db[i], -4.0);
            }
            if (section.role == "climax") {
                EXPECT_GE(mix.section_db[i], 1.5);
            }
        }
        EXPECT_GT(marked[0], 0) << "no break";
        EXPECT_GT(marked[1], 0) << "no climax";
        SongPhrases phrases = song_phrases(mix.summary);
        EXPECT_LE(2 * phrases.fills, phrases.phrases);
        EXPECT_EQ(0, phrases.all_four_bars) << phrases.lengths;
        shapes.push_back(mix.summary.shape);
        levels.push_back(mix.level_db);
    }
    EXPECT_LT(loudest - softest, 3.0);
    for (const std::string& shape : shapes) EXPECT_LE(std::count(shapes.begin(), shapes.end(), shape), 2) << shape;
    std::vector<double> aj = effect_samples(SND_AJ);
    ASSERT_FALSE(aj.empty());
    EXPECT_GE(crest_factor_db(aj), 6.0);
    EXPECT_LT(20 * log10(2 * fabs(*std::max_element(aj.begin(), aj.end(),
                                                    [](double a, double b) { return fabs(a) < fabs(b); }))),
              -0.1);
    for (size_t song = 1; song < levels.size(); song++)
        EXPECT_NEAR(0.0, effect_against_song_db(aj, 19, levels[song]), 2.0) << song_entry_name((int32_t)song);
}
