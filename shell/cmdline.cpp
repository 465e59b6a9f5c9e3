#include "shell/cmdline.h"

#include <SDL_mixer.h>
#include <dlfcn.h>
#include <libmodplug/modplug.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include "floob.h"
#include "gfx/png.h"
#include "gfx/scale.h"
#include "gfx/video.h"

int32_t test_mode = 0;  // 1 with "-t": the level test file, unscaled window
int32_t command_line_screen = 0;
int32_t command_line_size = 0;
const char* language_option = nullptr;
const char* record_path = nullptr;
const char* play_path = nullptr;
const char* verify_path = nullptr;

static const char* const HELP_LINES[] = {
    "-w : window mode (not fullscreen)",
    "-fs : fullscreen (-x2 automatically added)",
    "-x2 : zoom with no antialiasing",
    "-s2x: zoom with Scale2X algorithm",
    "-sl2: zoom with Scanline algorithm",
    "-bl2: zoom with Bilinear algorithm",
    "-aa : zoom with antialiasing",
    "-b16 : 16 bits video mode",
    "-b24 : 24 bits video mode (may be useful if fade in/fade out looks crappy)",
    "-h : help",
};

// Printed after the ten lines above by "--help": the options beyond them.
static const char* const EXTENSION_HELP_LINES[] = {
    "-z2 : zoom factor 2, 640x480 window (default)",
    "-z3 : zoom factor 3, 960x720 window",
    "-z4 : zoom factor 4, 1280x960 window",
    "-fsd : fullscreen at the desktop resolution, largest integer zoom",
    "-bd : window in the desktop's own pixel format (no conversion by SDL)",
    "--lang en|de|fr|es : language of the texts (else language= in floob2-extras.cfg, else the locale)",
    "--record FILE : record the game into FILE (the last game is always kept in replays/last.floobrec)",
    "--play FILE : watch a recording (FILE, or last); Escape ends, Tab pauses, hold F to fast-forward",
    "--verify FILE : play a recording without window or sound, as fast as possible; exit 0 when it plays through",
    "--version : the game's version and those of the libraries it runs with",
    "Alt+Enter or F11 : switch between the window and fullscreen",
    "F12 or Print Screen : save a screenshot in screenshots/",
};

// The options that take a file name: the variable each sets.
struct FileOption {
    const char* name;
    const char** path;
};
static const FileOption FILE_OPTIONS[] = {
    {"--record", &record_path}, {"--play", &play_path}, {"--verify", &verify_path}};

void print_help() {
    for (const char* line : HELP_LINES) puts(line);
    fflush(stdout);
}

void print_long_help() {
    for (const char* line : HELP_LINES) puts(line);
    for (const char* line : EXTENSION_HELP_LINES) puts(line);
    fflush(stdout);
}

// The options that each set one video setting.
struct SettingOption {
    const char* flag;
    int32_t* setting;
    int32_t value;
};

static const SettingOption SETTING_OPTIONS[] = {
    {"-z2", &zoom_factor, 2},
    {"-z3", &zoom_factor, 3},
    {"-z4", &zoom_factor, 4},
    {"-x2", &scale_mode, SCALE_SIMPLE},
    {"-s2x", &scale_mode, SCALE_SCALE2X},
    {"-sl2", &scale_mode, SCALE_SCANLINE},
    {"-bl2", &scale_mode, SCALE_BILINEAR},
    {"-aa", &scale_mode, SCALE_ANTIALIAS},
    {"-b16", &colour_depth, 16},
    {"-b24", &colour_depth, 24},
    {"-bd", &desktop_format, 1},
};

static const SettingOption* setting_option(const char* arg) {
    for (const SettingOption& option : SETTING_OPTIONS)
        if (strcmp(arg, option.flag) == 0) return &option;
    return nullptr;
}

// libmodplug has no call that tells its version: the name of the library
// file loaded into the process does ("libmodplug.so.1.0.0" is 1.0.0).
static void print_modplug_version() {
    Dl_info info;
    char real[PATH_MAX];
    const char* version = nullptr;
    if (dladdr(reinterpret_cast<void*>(&ModPlug_Load), &info) && info.dli_fname && realpath(info.dli_fname, real)) {
        const char* base = strrchr(real, '/') ? strrchr(real, '/') + 1 : real;
        static const char PREFIX[] = "libmodplug.so.";
        if (strncmp(base, PREFIX, sizeof PREFIX - 1) == 0) version = base + sizeof PREFIX - 1;
    }
    printf("libmodplug %s\n", version && version[0] ? version : "(linked into the program, version unknown)");
}

static void print_version() {
    puts("FLOOB 2 V1.10");
    const SDL_version* sdl = SDL_Linked_Version();
    printf("SDL %d.%d.%d\n", sdl->major, sdl->minor, sdl->patch);
    const SDL_version* mixer = Mix_Linked_Version();
    printf("SDL_mixer %d.%d.%d\n", mixer->major, mixer->minor, mixer->patch);
    print_modplug_version();
    printf("zlib %s\n", zlibVersion());
    printf("libpng %s\n", png_library_version());
    fflush(stdout);
}

int parse_command_line(int argc, char** argv) {
    command_line_screen = command_line_size = 0;
    language_option = nullptr;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        if (!arg) continue;
        const FileOption* file_option = nullptr;
        for (const FileOption& option : FILE_OPTIONS)
            if (strcmp(arg, option.name) == 0) file_option = &option;
        if (file_option) {
            if (i + 1 >= argc || !argv[i + 1] || !argv[i + 1][0]) {
                printf("%s needs a file name\n", arg);
                fflush(stdout);
                return 2;
            }
            *file_option->path = argv[++i];
            continue;
        }
        if (strcmp(arg, "-fs") == 0 || strcmp(arg, "-fsd") == 0 || strcmp(arg, "-w") == 0 || strcmp(arg, "-t") == 0)
            command_line_screen = 1;
        if (strcmp(arg, "-z2") == 0 || strcmp(arg, "-z3") == 0 || strcmp(arg, "-z4") == 0 || strcmp(arg, "-t") == 0)
            command_line_size = 1;
        if (strcmp(arg, "-fs") == 0) {
            fullscreen = 1;
            fullscreen_desktop = 0;
        } else if (strcmp(arg, "-fsd") == 0) {
            fullscreen = 1;
            fullscreen_desktop = 1;
        } else if (strcmp(arg, "-w") == 0) {
            fullscreen = 0;
            fullscreen_desktop = 0;
        } else if (const SettingOption* option = setting_option(arg)) {
            *option->setting = option->value;
        } else if (strcmp(arg, "-t") == 0) {
            scale_mode = SCALE_NONE;
            fullscreen = 0;
            fullscreen_desktop = 0;
            zoom_factor = 2;
            colour_depth = 16;
            desktop_format = 0;
            test_mode = 1;
        } else if (strcmp(arg, "--lang") == 0) {
            // The name is checked when the language is chosen; one that is not
            // ours leaves the choice to the settings file and the locale.
            if (i + 1 < argc) language_option = argv[++i];
        } else if (strcmp(arg, "-h") == 0) {
            print_help();
            return 1;
        } else if (strcmp(arg, "--help") == 0) {
            print_long_help();
            return 1;
        } else if (strcmp(arg, "--version") == 0) {
            print_version();
            return 1;
        }
    }
    // Full screen always enlarges.
    if (fullscreen && scale_mode == SCALE_NONE) scale_mode = SCALE_SIMPLE;
    return 0;
}
