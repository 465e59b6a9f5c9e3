// The effect synthesiser: what it produces and what it refuses.
#include <gtest/gtest.h>
#include <math.h>

#include <string>

#include "audio/sound.h"
#include "compile.h"
#include "floob.h"
#include "support/support.h"
#include "synth_measure.h"

static bool compile_text(const std::string& text, Bytes& out, std::string& error) {
    write_file("fx.sfx", text);
    return compile_sound("fx.sfx", out, error);
}

static int32_t sample_at(const Bytes& wav, size_t i) { return (int16_t)(wav[44 + 2 * i] | wav[45 + 2 * i] << 8); }

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
    int32_t peak = 0;
    for (size_t i = 0; i < count; i++) peak = std::max(peak, abs(sample_at(out, i)));
    // A steady square wave is brought to the common loudness (-15 dBFS), well below full scale
    // (the 20 Hz high-pass tilts its flat tops a little).
    EXPECT_GT(peak, 5000);
    EXPECT_LT(peak, 8000);
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
    EXPECT_FALSE(compile_sound("missing.sfx", out, error));
}

// No effect carries an offset or rumble: under 1 % of its energy lies below 25 Hz,
// a narrow pulse and a slow glide included.
TEST(SoundCompiler, EffectsCarryNoOffset) {
    TempDir dir;
    std::vector<std::string> sources;
    for (int32_t id = 0; id < SND_COUNT; id++)
        sources.push_back(std::string(FLOOB_SOURCE_DIR) + "/assets/sound/" + sound_entry_name(id) + ".sfx");
    write_file("narrow.sfx", "voice\nwave pulse\nduty 0.1\nfreq 300 to 60\nhold 0.3\ndecay 0.2\n");
    sources.push_back("narrow.sfx");
    for (const std::string& path : sources) {
        SCOPED_TRACE(path);
        Bytes out;
        std::string error;
        ASSERT_TRUE(compile_sound(path.c_str(), out, error)) << error;
        std::vector<double> mono;
        for (size_t i = 0; i + 1 < out.size() - 44; i += 2) mono.push_back(sample_at(out, i / 2) / 32768.0);
        EXPECT_LT(energy_share_below(mono, 25), 0.01);
    }
}

// aj starts twice in one frame on an enemy touch: two at once at full volume stay under full
// scale, so it peaks at -7 dBFS at most.
TEST(SoundCompiler, TheDoubledEffectKeepsItsHeadroom) {
    Bytes out;
    std::string error;
    std::string path = std::string(FLOOB_SOURCE_DIR) + "/assets/sound/" + sound_entry_name(SND_AJ) + ".sfx";
    ASSERT_TRUE(compile_sound(path.c_str(), out, error)) << error;
    int32_t peak = 0;
    for (size_t i = 0; i + 1 < out.size() - 44; i += 2) peak = std::max(peak, abs(sample_at(out, i / 2)));
    EXPECT_LE(20 * log10(peak / 32768.0), -7.0);
}
