// The effect synthesiser: what it produces and what it refuses.
#include <gtest/gtest.h>
#include <math.h>

#include <string>
#include <vector>

#include "compile.h"
#include "support/support.h"
#include "synth_measure.h"

static bool compile_text(const std::string& text, Bytes& out, std::string& error) {
    write_file("fx.sfx", text);
    return compile_sound("fx.sfx", out, error);
}

static int32_t sample_at(const Bytes& wav, size_t i) { return (int16_t)(wav[44 + 2 * i] | wav[45 + 2 * i] << 8); }

static std::vector<double> mono_of_wav(const Bytes& wav) {
    std::vector<double> mono;
    for (size_t i = 0; 44 + 2 * i + 1 < wav.size(); i++) mono.push_back(sample_at(wav, i) / 32768.0);
    return mono;
}

static double peak_db(const std::vector<double>& mono) {
    double peak = 0;
    for (double v : mono) peak = fmax(peak, fabs(v));
    return 20 * log10(peak);
}

// The loudest 100 ms, A-weighted, at full volume.
static double loudest_db(const std::vector<double>& mono) { return effect_against_song_db(mono, 128, 0); }

TEST(SoundCompiler, WritesQuietEdgedMono16BitWav) {
    TempDir dir;
    Bytes out;
    std::string error;
    ASSERT_TRUE(compile_text("voice\nwave square\nfreq 440\nattack 0\nhold 0.1\ndecay 0.001\n", out, error)) << error;
    ASSERT_GT(out.size(), 44u);
    EXPECT_EQ(0, memcmp(out.data(), "RIFF", 4));
    EXPECT_EQ(1, out[22]);                     // mono
    EXPECT_EQ(22050, out[24] | out[25] << 8);  // rate
    EXPECT_EQ(16, out[34]);                    // bits
    size_t count = (out.size() - 44) / 2;
    EXPECT_EQ(0, sample_at(out, 0));                 // faded in
    EXPECT_LT(abs(sample_at(out, count - 1)), 200);  // faded out
}

// Every effect is brought to one loudness, its loudest 100 ms as a listener hears it,
// unless that would lift its peak over the ceiling; a click shorter than the window is
// measured with the silence after it.
TEST(SoundCompiler, BringsEffectsToOneLoudnessUnderTheirCeiling) {
    TempDir dir;
    const std::string tone = "voice\nwave square\nfreq 440\nattack 0\nhold 0.3\ndecay 0.001\n";
    const std::string click = "voice\nwave noise\nfreq 11000\nattack 0\ndecay 0.01\n";
    struct Case {
        std::string text;
        double loudest_low, loudest_high, peak_high;
    };
    const Case cases[] = {
        {tone, -14.7, -14.3, -8.0}, {"ceiling -20\n" + tone, -40, -20, -20.0}, {click, -40, -14.3, -8.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Bytes out;
        std::string error;
        ASSERT_TRUE(compile_text(c.text, out, error)) << error;
        std::vector<double> mono = mono_of_wav(out);
        EXPECT_GE(mono.size(), 2205u);
        EXPECT_GE(loudest_db(mono), c.loudest_low);
        EXPECT_LE(loudest_db(mono), c.loudest_high);
        EXPECT_LE(peak_db(mono), c.peak_high + 0.01);
    }
}

// The clipper lowers the peak against the loudness; the lowcut empties the low end and
// the band-pass keeps a noise to its band.
TEST(SoundCompiler, ClipperAndFiltersShapeTheMix) {
    TempDir dir;
    auto compiled = [](const std::string& text) {
        Bytes out;
        std::string error;
        EXPECT_TRUE(compile_text(text, out, error)) << error;
        return mono_of_wav(out);
    };
    const std::string knock = "voice\nwave saw\nfreq 700\nattack 0.001\ndecay 0.2\ncurve 3\n";
    std::vector<double> plain = compiled(knock), driven = compiled("drive 12\n" + knock);
    EXPECT_LT(peak_db(driven) - loudest_db(driven), peak_db(plain) - loudest_db(plain) - 3);
    const std::string two = "voice\nfreq 100\nhold 0.2\nvoice\nfreq 1000\nhold 0.2\n";
    EXPECT_GT(energy_share_below(compiled(two), 150), 0.3);
    EXPECT_LT(energy_share_below(compiled("lowcut 300\n" + two), 150), 0.01);
    const std::string noise = "voice\nwave noise\nfreq 11000\nhold 0.2\n";
    EXPECT_LT(energy_share_band(compiled(noise), 1500, 3000), 0.35);
    EXPECT_GT(energy_share_band(compiled(noise + "bandpass 2000 2\n"), 1500, 3000), 0.6);
}

TEST(SoundCompiler, RefusesMalformedSourcesWithFileAndLine) {
    TempDir dir;
    Bytes out;
    std::string error;
    EXPECT_FALSE(compile_text("# nothing\n", out, error));
    EXPECT_NE(std::string::npos, error.find("fx.sfx:1:"));
    EXPECT_FALSE(compile_text("freq 300\n", out, error));
    EXPECT_NE(std::string::npos, error.find("fx.sfx:1:"));
    EXPECT_FALSE(compile_text("voice\n\nwave wobble\n", out, error));
    EXPECT_NE(std::string::npos, error.find("fx.sfx:3: unknown wave"));
    EXPECT_FALSE(compile_text("voice\nfreq 1e9\n", out, error));
    EXPECT_NE(std::string::npos, error.find("fx.sfx:2:"));
    EXPECT_FALSE(compile_text("voice\ndecay abc\n", out, error));
    EXPECT_NE(std::string::npos, error.find("fx.sfx:2:"));
    EXPECT_FALSE(compile_text("voice\nvolume 0\n", out, error));
    EXPECT_NE(std::string::npos, error.find("silent"));
    EXPECT_FALSE(compile_text("voice\nstart 2.9\ndecay 1\n", out, error));
    EXPECT_FALSE(compile_text("drive 40\nvoice\n", out, error));
    EXPECT_NE(std::string::npos, error.find("fx.sfx:1: 'drive' out of range"));
    EXPECT_FALSE(compile_text("voice\nbandpass 1000\n", out, error));
    EXPECT_NE(std::string::npos, error.find("fx.sfx:2: 'bandpass' takes two numbers"));
    EXPECT_FALSE(compile_sound("missing.sfx", out, error));
}

// No effect carries an offset or rumble: under 1 % of its energy lies below 25 Hz, a
// narrow pulse, a slow glide and a lopsided wave driven hard into the clipper included
// (the built effects are held to it with their other measures).
TEST(SoundCompiler, EffectsCarryNoOffset) {
    TempDir dir;
    const char* const sources[] = {"voice\nwave pulse\nduty 0.1\nfreq 300 to 60\nhold 0.3\ndecay 0.2\n",
                                   "drive 24\nvoice\nwave pulse\nduty 0.1\nfreq 500\nhold 0.3\nvoice\nfreq 1000\n"
                                   "hold 0.3\nvolume 0.3\n"};
    for (const char* text : sources) {
        SCOPED_TRACE(text);
        Bytes out;
        std::string error;
        ASSERT_TRUE(compile_text(text, out, error)) << error;
        EXPECT_LT(energy_share_below(mono_of_wav(out), 25), 0.01);
    }
}
