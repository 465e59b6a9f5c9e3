// The command line: options read left to right into the video settings and
// test mode, the help text of the real binary, and fatal_error's message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "floob.h"
#include "gfx/video.h"
#include "shell/cmdline.h"
#include "support/support.h"

namespace {

const char* const EXPECTED_HELP =
    "-w : window mode (not fullscreen)\n"
    "-fs : fullscreen (-x2 automatically added)\n"
    "-x2 : zoom with no antialiasing\n"
    "-s2x: zoom with Scale2X algorithm\n"
    "-sl2: zoom with Scanline algorithm\n"
    "-bl2: zoom with Bilinear algorithm\n"
    "-aa : zoom with antialiasing\n"
    "-b16 : 16 bits video mode\n"
    "-b24 : 24 bits video mode (may be useful if fade in/fade out looks crappy)\n"
    "-h : help\n";

const char* const EXTENSION_HELP =
    "-z2 : zoom factor 2, 640x480 window (default)\n"
    "-z3 : zoom factor 3, 960x720 window\n"
    "-z4 : zoom factor 4, 1280x960 window\n"
    "-fsd : fullscreen at the desktop resolution, largest integer zoom\n"
    "-bd : window in the desktop's own pixel format (no conversion by SDL)\n"
    "--lang en|de|fr|es : language of the texts (else language= in floob2-extras.cfg, else the locale)\n"
    "--record FILE : record the game into FILE (the last game is always kept in replays/last.floobrec)\n"
    "--play FILE : watch a recording (FILE, or last); Escape ends, Tab pauses, hold F to fast-forward\n"
    "--verify FILE : play a recording without window or sound, as fast as possible; exit 0 when it plays through\n"
    "--version : the game's version and those of the libraries it runs with\n"
    "Alt+Enter or F11 : switch between the window and fullscreen\n"
    "F12 or Print Screen : save a screenshot in screenshots/\n";

struct Settings {
    int32_t scale;
    int32_t depth;
    int32_t full;
    int32_t test;
};

// Parses the given arguments from the defaults; help is set when "-h" ended it.
// The arguments live until the next parse, as a program's do, because options
// such as "--lang" keep a pointer to the word that follows them.
Settings parse(std::vector<std::string> args, int* help = nullptr) {
    reset_video_settings();
    test_mode = 0;
    static std::vector<std::string> kept;
    kept = std::move(args);
    std::vector<char*> argv;
    static std::string program = "floob2";
    argv.push_back(&program[0]);
    for (std::string& arg : kept) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    int result = parse_command_line((int)kept.size() + 1, argv.data());
    std::string printed = testing::internal::GetCapturedStdout();
    if (help) *help = result;
    bool long_help = false;
    for (const std::string& arg : kept) {
        if (arg == "-h") break;
        if (arg == "--help") long_help = true;
        if (long_help) break;
    }
    std::string want = result ? std::string(EXPECTED_HELP) + (long_help ? EXTENSION_HELP : "") : std::string();
    EXPECT_EQ(want, printed);
    return Settings{scale_mode, colour_depth, fullscreen, test_mode};
}

void expect_settings(const Settings& got, int32_t scale, int32_t depth, int32_t full, int32_t test) {
    EXPECT_EQ(scale, got.scale);
    EXPECT_EQ(depth, got.depth);
    EXPECT_EQ(full, got.full);
    EXPECT_EQ(test, got.test);
}

TEST(CommandLine, EachOptionOnItsOwn) {
    expect_settings(parse({}), SCALE_SIMPLE, 16, 0, 0);
    expect_settings(parse({"-fs"}), SCALE_SIMPLE, 16, 1, 0);
    expect_settings(parse({"-w"}), SCALE_SIMPLE, 16, 0, 0);
    expect_settings(parse({"-x2"}), SCALE_SIMPLE, 16, 0, 0);
    expect_settings(parse({"-s2x"}), SCALE_SCALE2X, 16, 0, 0);
    expect_settings(parse({"-sl2"}), SCALE_SCANLINE, 16, 0, 0);
    expect_settings(parse({"-bl2"}), SCALE_BILINEAR, 16, 0, 0);
    expect_settings(parse({"-aa"}), SCALE_ANTIALIAS, 16, 0, 0);
    expect_settings(parse({"-b24"}), SCALE_SIMPLE, 24, 0, 0);
    expect_settings(parse({"-b24", "-b16"}), SCALE_SIMPLE, 16, 0, 0);
    expect_settings(parse({"-t"}), SCALE_NONE, 16, 0, 1);
}

TEST(CommandLine, LaterOptionsOverrideEarlierOnes) {
    // "-t" clears full screen and the depth when it comes later...
    expect_settings(parse({"-fs", "-b24", "-t"}), SCALE_NONE, 16, 0, 1);
    // ...and full screen read after it still enlarges, test mode staying on.
    expect_settings(parse({"-t", "-fs"}), SCALE_SIMPLE, 16, 1, 1);
    expect_settings(parse({"-t", "-s2x"}), SCALE_SCALE2X, 16, 0, 1);
    expect_settings(parse({"-t", "-b24"}), SCALE_NONE, 24, 0, 1);
    // Window after full screen keeps the chosen filter.
    expect_settings(parse({"-fs", "-sl2", "-w"}), SCALE_SCANLINE, 16, 0, 0);
    expect_settings(parse({"-aa", "-bl2", "-x2"}), SCALE_SIMPLE, 16, 0, 0);
    expect_settings(parse({"-fs", "-t", "-fs", "-aa", "-w"}), SCALE_ANTIALIAS, 16, 0, 1);
}

TEST(CommandLine, LookAlikeAndUnknownArgumentsAreIgnored) {
    expect_settings(parse({"-FS", "-fs2", "fs", "-x3", "-B24", "-b24 ", " -t", "-T", "--fs", "", "-"}), SCALE_SIMPLE,
                    16, 0, 0);
    expect_settings(parse({"-bl2x", "-s2x", "-aaa"}), SCALE_SCALE2X, 16, 0, 0);
    int help = 1;
    parse({"-H", "-help", "-HELP", "--h", "-hh", "h", "--Help", "-z", "-z1", "-z5", "-z33", "-Z3", "-fsd2", "--fsd"},
          &help);
    EXPECT_EQ(0, help);
}

TEST(CommandLine, TheLanguageOptionTakesTheNextArgument) {
    const struct {
        std::vector<std::string> args;
        const char* name;
    } cases[] = {
        {{}, nullptr},
        {{"--lang", "de"}, "de"},
        {{"--lang", "fr", "--lang", "es"}, "es"},
        {{"--lang", "-b24", "-fs"}, "-b24"},  // the next argument is the name, whatever it says
        {{"-fs", "--lang"}, nullptr},
        {{"-lang", "de", "--LANG", "fr", "--lang=es"}, nullptr},
    };
    for (const auto& c : cases) {
        parse(c.args);
        if (c.name)
            EXPECT_STREQ(c.name, language_option);
        else
            EXPECT_EQ(nullptr, language_option);
    }
    EXPECT_EQ(16, parse({"--lang", "-b24"}).depth) << "taken as the name, not as -b24";
}

TEST(CommandLine, HelpEndsTheParseWhereverItComes) {
    int help = 0;
    Settings got = parse({"-x2", "-h"}, &help);
    EXPECT_EQ(1, help);
    // Arguments after "-h" are never read.
    got = parse({"-b16", "-h", "-b24", "-t"}, &help);
    EXPECT_EQ(1, help);
    EXPECT_EQ(16, got.depth);
    EXPECT_EQ(0, got.test);
}

TEST(CommandLine, TheTestSwitchIsNotInTheHelp) {
    EXPECT_EQ(std::string::npos, std::string(EXPECTED_HELP).find("-t"));
    testing::internal::CaptureStdout();
    print_help();
    EXPECT_EQ(std::string(EXPECTED_HELP), testing::internal::GetCapturedStdout());
}

TEST(CommandLine, TheBinaryPrintsTheHelpAndEndsWithStatusZero) {
    // No window may open: a video driver that cannot work proves it.
    const char* runs[] = {"-h", "-x2 -h", "-fs -b24 -h -t", "-H -h"};
    for (const char* args : runs) {
        std::string output;
        int status =
            run_command(std::string("SDL_VIDEODRIVER=none_such_driver ") + FLOOB_GAME_BINARY + " " + args, &output);
        EXPECT_EQ(0, status) << args;
        EXPECT_EQ(std::string(EXPECTED_HELP), output) << args;
    }
}

TEST(CommandLine, ALookAlikeOfHelpStartsTheGame) {
    std::string output;
    int status =
        run_command(std::string("SDL_VIDEODRIVER=none_such_driver ") + FLOOB_GAME_BINARY + " -help -H", &output);
    EXPECT_EQ(1, status);
    EXPECT_EQ(0u, output.find("Unable to init SDL: ")) << output;
}

struct BigScreenCase {
    std::vector<std::string> args;
    int32_t zoom, full, desktop, scale;
    int32_t own_format = 0;
};

TEST(CommandLine, ZoomAndDesktopOptionsReadLeftToRight) {
    const BigScreenCase cases[] = {
        {{}, 2, 0, 0, SCALE_SIMPLE},
        {{"-z3"}, 3, 0, 0, SCALE_SIMPLE},
        {{"-z4", "-s2x"}, 4, 0, 0, SCALE_SCALE2X},
        {{"-z4", "-z2"}, 2, 0, 0, SCALE_SIMPLE},
        {{"-fsd"}, 2, 1, 1, SCALE_SIMPLE},
        {{"-fsd", "-fs"}, 2, 1, 0, SCALE_SIMPLE},
        {{"-fs", "-fsd", "-bl2"}, 2, 1, 1, SCALE_BILINEAR},
        {{"-fsd", "-w"}, 2, 0, 0, SCALE_SIMPLE},
        {{"-z3", "-fs"}, 3, 1, 0, SCALE_SIMPLE},
        // The test switch puts back the plain window, zoom included...
        {{"-z4", "-fsd", "-t"}, 2, 0, 0, SCALE_NONE},
        {{"-z4", "-t", "-z3"}, 3, 0, 0, SCALE_NONE},
        // ...and full screen read after it still enlarges.
        {{"-t", "-fsd"}, 2, 1, 1, SCALE_SIMPLE},
        // The desktop's format is a setting of its own, beside the depth; the test switch drops it.
        {{"-bd", "-b24", "-z3"}, 3, 0, 0, SCALE_SIMPLE, 1},
        {{"-bd", "-t"}, 2, 0, 0, SCALE_NONE, 0},
    };
    for (const BigScreenCase& c : cases) {
        std::string line;
        for (const std::string& arg : c.args) line += arg + " ";
        parse(c.args);
        EXPECT_EQ(c.zoom, zoom_factor) << line;
        EXPECT_EQ(c.full, fullscreen) << line;
        EXPECT_EQ(c.desktop, fullscreen_desktop) << line;
        EXPECT_EQ(c.scale, scale_mode) << line;
        EXPECT_EQ(c.own_format, desktop_format) << line;
    }
}

TEST(CommandLine, LongHelpAddsTheExtensionsAndEndsTheParse) {
    int help = 0;
    Settings got = parse({"-b24", "--help", "-b16", "-h"}, &help);
    EXPECT_EQ(1, help);
    EXPECT_EQ(24, got.depth);
    std::string output;
    int status =
        run_command(std::string("SDL_VIDEODRIVER=none_such_driver ") + FLOOB_GAME_BINARY + " -z4 --help -t", &output);
    EXPECT_EQ(0, status);
    EXPECT_EQ(std::string(EXPECTED_HELP) + EXTENSION_HELP, output);
    // A recording option takes the next word as its file, whatever it looks like; without one the parse fails.
    EXPECT_EQ(1, run_command(std::string(FLOOB_GAME_BINARY) + " -w --verify", &output));
    EXPECT_EQ("--verify needs a file name\n", output);
    parse({"--record", "-h"}, &help);
    EXPECT_EQ(0, help);
    record_path = nullptr;
}

TEST(CommandLine, VersionPrintsTheGameAndItsLibrariesAndEnds) {
    std::string output;
    int status = run_command(std::string("SDL_VIDEODRIVER=none_such_driver ") + FLOOB_GAME_BINARY + " -z3 --version -h",
                             &output);
    EXPECT_EQ(0, status);
    const SDL_version* sdl = SDL_Linked_Version();
    std::string sdl_line = "SDL " + std::to_string(sdl->major) + "." + std::to_string(sdl->minor) + "." +
                           std::to_string(sdl->patch) + "\n";
    const char* prefixes[] = {"FLOOB 2 V1.10\n", sdl_line.c_str(), "SDL_mixer 1.2.",
                              "libmodplug ",     "zlib 1.",        "libpng 1."};
    size_t at = 0;
    for (const char* prefix : prefixes) {
        EXPECT_EQ(0u, output.compare(at, strlen(prefix), prefix)) << output;
        at = output.find('\n', at);
        ASSERT_NE(std::string::npos, at) << output;
        at += 1;
    }
    EXPECT_EQ(output.size(), at) << "six lines and nothing else";
    // Only the options that choose them make the last run's screen and size give way.
    struct Case {
        std::vector<std::string> args;
        int32_t screen, size;
    } cases[] = {{{"-x2", "-b24", "-bd"}, 0, 0}, {{"-w"}, 1, 0}, {{"-fsd"}, 1, 0}, {{"-z3"}, 0, 1}, {{"-t"}, 1, 1}};
    for (const Case& c : cases) {
        parse(c.args);
        EXPECT_EQ(c.screen, command_line_screen) << c.args[0];
        EXPECT_EQ(c.size, command_line_size) << c.args[0];
    }
}

TEST(FatalError, PrintsMessageAndDetailAndEndsWithStatusOne) {
    TempDir dir;
    EXPECT_EXIT(
        {
            if (!freopen("out.txt", "w", stdout)) _exit(3);
            fatal_error("Unable to load bitmap", "logo");
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ("Unable to load bitmap: logo\n", read_file("out.txt"));
    EXPECT_EXIT(
        {
            if (!freopen("out.txt", "w", stdout)) _exit(3);
            fatal_error("Can't load file", nullptr);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ("Can't load file: unknown\n", read_file("out.txt"));
}

TEST(FatalError, AnUnknownVideoDriverEndsStartUpWithSdlsText) {
    std::string output;
    int status = run_command(std::string("SDL_VIDEODRIVER=none_such_driver ") + FLOOB_GAME_BINARY, &output);
    EXPECT_EQ(1, status);
    const std::string prefix = "Unable to init SDL: ";
    ASSERT_EQ(0u, output.find(prefix)) << output;
    // The detail is SDL's own text: present, on one line.
    EXPECT_GT(output.size(), prefix.size() + 1);
    EXPECT_EQ('\n', output.back());
    EXPECT_EQ(output.size() - 1, output.find('\n'));
}

}  // namespace
