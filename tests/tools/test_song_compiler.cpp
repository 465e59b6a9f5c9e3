// The song compiler: modules that libmodplug accepts, and refusals with file and line.
#include <gtest/gtest.h>
#include <libmodplug/modplug.h>

#include <string>

#include "compile.h"
#include "support/support.h"

static const char* const SONG_HEAD =
    "tempo 120\ninstrument lead tone\nwave saw 8\ninstrument k kick\ndrum k k\n"
    "channel m melody lead\nchannel c chord lead voices=3\nchannel d drums -\n";

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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        EXPECT_FALSE(compile_text(c.body, out, error));
        EXPECT_NE(std::string::npos, error.find(c.where)) << error;
    }
}
