// The audio measures behind the song and effect tables, on signals whose figures are known.
#include <gtest/gtest.h>
#include <math.h>

#include <vector>

#include "synth_measure.h"

// A sine in both channels, with the right channel scaled and a constant added.
static StereoPcm sine(double hz, double amplitude, double seconds, double right = 1, double offset = 0) {
    StereoPcm pcm;
    int64_t frames = (int64_t)(seconds * MEASURE_RATE);
    for (int64_t i = 0; i < frames; i++) {
        double v = amplitude * sin(2 * M_PI * hz * i / MEASURE_RATE) + offset;
        pcm.samples.push_back((int16_t)lrint(v * 32767));
        pcm.samples.push_back((int16_t)lrint(v * right * 32767));
    }
    return pcm;
}

TEST(AudioMeasures, LoudnessOfReferenceTones) {
    // A 1 kHz tone at -20 dBFS in both channels reads -20 LUFS.
    EXPECT_NEAR(-20.0, integrated_lufs(sine(1000, 0.1, 10)), 0.2);
    // Low tones weigh less: 100 Hz sits about 1.8 dB under 1 kHz on the K curve.
    EXPECT_NEAR(-21.8, integrated_lufs(sine(100, 0.1, 10)), 0.3);
    // Twenty seconds at -20 then twenty at -30: a loudness range of 10 LU.
    StereoPcm steps = sine(1000, 0.1, 20);
    StereoPcm softer = sine(1000, 0.1 / sqrt(10.0), 20);
    steps.samples.insert(steps.samples.end(), softer.samples.begin(), softer.samples.end());
    EXPECT_NEAR(10.0, loudness_range_lu(steps), 1.0);
    EXPECT_NEAR(0.0, loudness_range_lu(sine(1000, 0.1, 10)), 0.1);
}

TEST(AudioMeasures, WeightedWindowsSpectrumAndStereo) {
    std::vector<double> kilo = mono_of(sine(1000, 1.0, 1));
    std::vector<double> hundred = mono_of(sine(100, 1.0, 1));
    // A full-scale sine has a mean square of one half; A-weighting passes 1 kHz and cuts 100 Hz by 19.1 dB.
    EXPECT_NEAR(-3.0, median_of(a_weighted_windows_db(kilo, MEASURE_RATE / 10, MEASURE_RATE / 10)), 0.3);
    EXPECT_NEAR(-22.1, median_of(a_weighted_windows_db(hundred, MEASURE_RATE / 10, MEASURE_RATE / 10)), 0.5);
    EXPECT_NEAR(1000, spectral_centroid(kilo), 30);
    // An offset of 0.5 beside a sine of amplitude 0.5 holds two thirds of the energy.
    std::vector<double> offset = mono_of(sine(1000, 0.5, 0.5, 1, 0.5));
    EXPECT_NEAR(2.0 / 3.0, energy_share_below(offset, 25), 0.02);
    EXPECT_LT(energy_share_below(kilo, 25), 0.001);
    EXPECT_GT(energy_share_band(kilo, 900, 1100), 0.95);
    EXPECT_NEAR(1.0, stereo_correlation(sine(440, 0.5, 1)), 1e-6);
    EXPECT_NEAR(-1.0, stereo_correlation(sine(440, 0.5, 1, -1)), 1e-6);
    EXPECT_NEAR(6.02, stereo_balance_db(sine(440, 0.5, 1, 0.5)), 0.05);
}

TEST(AudioMeasures, SilenceAndTheAudibleEnd) {
    StereoPcm pcm = sine(440, 0.5, 1);
    pcm.samples.resize(pcm.samples.size() + 2 * 4410, 0);  // 200 ms of silence
    StereoPcm more = sine(440, 0.5, 0.5);
    pcm.samples.insert(pcm.samples.end(), more.samples.begin(), more.samples.end());
    EXPECT_NEAR(4410, longest_silence(pcm), 3);
    EXPECT_NEAR(pcm.frames(), audible_end(pcm), 30);
    EXPECT_LT(longest_silence(pcm, 0, MEASURE_RATE), 3);
}

// An effect as loud as the song at full volume sits 16.6 dB under it at the default 19 of 128.
TEST(AudioMeasures, EffectAgainstSong) {
    std::vector<double> song = mono_of(sine(1000, 0.25, 5));
    std::vector<double> effect = mono_of(sine(1000, 0.25, 0.3));
    double level = song_level_db(song);
    EXPECT_NEAR(-3.0 - 12.04, level, 0.3);
    EXPECT_NEAR(0.0, effect_against_song_db(effect, 128, level), 0.2);
    EXPECT_NEAR(20 * log10(19 / 128.0), effect_against_song_db(effect, 19, level), 0.2);
    // A low thump counts for little against the same song.
    EXPECT_LT(effect_against_song_db(mono_of(sine(60, 0.25, 0.3)), 128, level), -20);
}
