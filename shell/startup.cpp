#include "shell/startup.h"

#include <SDL_mixer.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <new>

#include "audio/music.h"
#include "audio/sound.h"
#include "floob.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/intro.h"
#include "gfx/scale.h"
#include "gfx/video.h"
#include "shell/controls.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "shell/replay.h"
#include "storage/archive.h"
#include "storage/config.h"
#include "storage/hiscore.h"
#include "world/level.h"

// What the start-up opens and loads (the replay driver too) and shutdown releases.
SDL_Joystick* joystick = nullptr;   // joystick 0, or null without one
SDL_Surface* logo_image = nullptr;  // the title's logo
SDL_Surface* back_image = nullptr;  // the play screen's backdrop, or null
int32_t test_mode = 0;              // 1 with "-t": the level test file, unscaled window
// The volumes on the mixer's 0..128 scale, set from the configuration's
// percentages at start-up and by the options screen.
int32_t music_volume_scaled = 128;
int32_t sfx_volume_scaled = 19;
const uint32_t* window_icon_pixels = nullptr;

enum {
    STARTUP_AUDIO_FREQUENCY = 22050,
    STARTUP_AUDIO_CHANNELS = 2,
    STARTUP_AUDIO_CHUNK = 1024,
    STARTUP_MIX_CHANNELS = 16
};

static const char* const WINDOW_CAPTION = "FLOOB 2 V1.10";

// The backdrop of every level without one of its own, and of the title and the test map.
static const char* const BACKDROP_DEFAULT = "back";
static const char* const BACKDROP_TABLE_NAME = "backdrops";
static const char* const BACKDROP_TABLE_EXTENSION = "tab";
enum { BACKDROP_PLAY_HEIGHT = 192 };

// The name of the image back_image holds, so a level that keeps its backdrop loads nothing.
static char backdrop_name[BACKDROP_NAME_BYTES] = "back";

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
};

// Ends at once with status 1. Only the window is closed on the way, so that a
// full-screen mode is given back; the audio thread is not stopped and no exit
// handlers run, because when memory has run out stopping that thread aborts
// the process instead of ending it. Nothing is written: the player's files
// are only ever replaced whole.
void fatal_error(const char* message, const char* detail) {
    printf("%s: %s\n", message, detail ? detail : "unknown");
    fflush(stdout);
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    _exit(1);
}

// The libraries allocate with new (the module player does, for one); when
// memory runs out there, the game ends like any other failure instead of
// being aborted by an exception nobody catches.
static void end_out_of_memory() { fatal_error("Out of memory", nullptr); }

void print_help() {
    for (const char* line : HELP_LINES) puts(line);
    fflush(stdout);
}

void print_long_help() {
    for (const char* line : HELP_LINES) puts(line);
    for (const char* line : EXTENSION_HELP_LINES) puts(line);
    fflush(stdout);
}

int parse_command_line(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        if (!arg) continue;
        if (strcmp(arg, "-fs") == 0) {
            fullscreen = 1;
            fullscreen_desktop = 0;
        } else if (strcmp(arg, "-fsd") == 0) {
            fullscreen = 1;
            fullscreen_desktop = 1;
        } else if (strcmp(arg, "-w") == 0) {
            fullscreen = 0;
            fullscreen_desktop = 0;
        } else if (strcmp(arg, "-z2") == 0) {
            zoom_factor = 2;
        } else if (strcmp(arg, "-z3") == 0) {
            zoom_factor = 3;
        } else if (strcmp(arg, "-z4") == 0) {
            zoom_factor = 4;
        } else if (strcmp(arg, "-x2") == 0) {
            scale_mode = SCALE_SIMPLE;
        } else if (strcmp(arg, "-s2x") == 0) {
            scale_mode = SCALE_SCALE2X;
        } else if (strcmp(arg, "-sl2") == 0) {
            scale_mode = SCALE_SCANLINE;
        } else if (strcmp(arg, "-bl2") == 0) {
            scale_mode = SCALE_BILINEAR;
        } else if (strcmp(arg, "-aa") == 0) {
            scale_mode = SCALE_ANTIALIAS;
        } else if (strcmp(arg, "-b16") == 0) {
            colour_depth = 16;
        } else if (strcmp(arg, "-b24") == 0) {
            colour_depth = 24;
        } else if (strcmp(arg, "-bd") == 0) {
            desktop_format = 1;
        } else if (strcmp(arg, "-t") == 0) {
            scale_mode = SCALE_NONE;
            fullscreen = 0;
            fullscreen_desktop = 0;
            zoom_factor = 2;
            colour_depth = 16;
            desktop_format = 0;
            test_mode = 1;
        } else if (strcmp(arg, "-h") == 0) {
            print_help();
            return 1;
        } else if (strcmp(arg, "--help") == 0) {
            print_long_help();
            return 1;
        }
    }
    // Full screen always enlarges.
    if (fullscreen && scale_mode == SCALE_NONE) scale_mode = SCALE_SIMPLE;
    return 0;
}

void run_screen_table(const IntroScreen* table, int start_index) {
    // A start index outside the table shows no screen rather than reading past its end.
    int count = 0;
    while (table[count].name) count++;
    if (start_index < 0 || start_index > count) return;
    for (int i = start_index; i < count; i++) {
        const IntroScreen* screen = &table[i];
        button_released = 0;
        screen->init();
        frame_timer_reset();
        while (!screen->update()) {
            if (!skip_draw) {
                screen->draw(frame_surface);
                present_frame();
            }
            frame_wait();
            poll_events();
        }
        screen->exit();
    }
}

void run_intro_screens(int start_index) { run_screen_table(intro_screens, start_index); }

// SDL takes the icon only before the video mode is set; its transparent pixels
// make the mask. The window caption is set later and is not affected.
static void set_window_icon() {
    if (!window_icon_pixels) return;
    SDL_Surface* icon =
        SDL_CreateRGBSurfaceFrom((void*)window_icon_pixels, WINDOW_ICON_SIDE, WINDOW_ICON_SIDE, 32,
                                 WINDOW_ICON_SIDE * 4, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u);
    if (!icon) return;
    SDL_WM_SetIcon(icon, nullptr);
    SDL_FreeSurface(icon);
}

// Drivers that draw the game as text on the terminal: without a display they
// would fill standard output with escape codes instead of showing a window.
static const char* const TEXT_VIDEO_DRIVERS[] = {"aalib", "caca"};

static int is_text_video_driver(const char* name) {
    for (const char* text_driver : TEXT_VIDEO_DRIVERS)
        if (strcmp(name, text_driver) == 0) return 1;
    return 0;
}

// Starts SDL's video. When the player names no driver, SDL tries its drivers
// in turn and, without a display, ends on a text-mode one; that one is refused.
// Its start already writes to the terminal, so standard output goes nowhere
// until the driver is known.
static int start_video_subsystem() {
    const char* named = getenv("SDL_VIDEODRIVER");
    if (named && named[0]) return SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE) < 0 ? -1 : 1;
    fflush(stdout);
    int saved_stdout = dup(STDOUT_FILENO);
    int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_stdout >= 0 && nowhere >= 0) dup2(nowhere, STDOUT_FILENO);
    int started = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE) < 0 ? -1 : 1;
    char driver[32] = "";
    if (started > 0 && SDL_VideoDriverName(driver, sizeof driver) && is_text_video_driver(driver)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        started = 0;
    }
    if (saved_stdout >= 0) {
        dup2(saved_stdout, STDOUT_FILENO);
        close(saved_stdout);
    }
    if (nowhere >= 0) close(nowhere);
    return started;
}

const char* start_video() {
    int started = start_video_subsystem();
    if (started < 0) return "Unable to init SDL";
    if (started == 0) {
        SDL_SetError("no display");
        return "Unable to set video mode";
    }
    set_window_icon();
    if (!video_init()) return "Unable to set video mode";
    colours_init();
    dim_panel_init();
    return nullptr;
}

const char* start_audio() {
    if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_NOPARACHUTE) == -1) return "SDL_Init";
    // A machine without a sound device (a remote desktop, a headless box) still
    // plays the game, silently, rather than ending before the window shows.
    if (audio_open(STARTUP_AUDIO_FREQUENCY, AUDIO_S16LSB, STARTUP_AUDIO_CHANNELS, STARTUP_AUDIO_CHUNK) == -1) {
        fprintf(stderr, "no sound: %s, playing without sound\n", SDL_GetError());
        audio_silent = 1;
        return nullptr;
    }
    audio_silent = 0;
    Mix_AllocateChannels(STARTUP_MIX_CHANNELS);
    return nullptr;
}

void load_start_resources() {
    archive_open_all();
    fonts_load();
    logo_image = load_image("logo", 1, 255, 0, 255);
}

static void open_joystick() {
    joystick = nullptr;
    if (SDL_Init(SDL_INIT_JOYSTICK | SDL_INIT_NOPARACHUTE) < 0) return;
    if (SDL_NumJoysticks() > 0) joystick = SDL_JoystickOpen(0);
    SDL_JoystickEventState(SDL_ENABLE);
}

static void apply_volumes() {
    music_volume_scaled = mus_volume * 128 / 100;
    sound_apply_volume();
    music_set_volume(music_volume_scaled);
}

void load_default_backdrop() {
    if (back_image) free_image(back_image);
    back_image = load_image(BACKDROP_DEFAULT, 0, 0, 0, 0);
    snprintf(backdrop_name, sizeof backdrop_name, "%s", BACKDROP_DEFAULT);
}

void free_backdrop() {
    if (back_image) free_image(back_image);
    back_image = nullptr;
    snprintf(backdrop_name, sizeof backdrop_name, "%s", BACKDROP_DEFAULT);
}

static int is_blank_byte(uint8_t c) { return c == ' ' || c == '\t' || c == '\r'; }

static int is_name_byte(uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'; }

// Looks for the line "MAP IMAGE" of the given map in the table's text. A line that is not two
// words of letters, digits, '-' and '_' (at most BACKDROP_NAME_BYTES - 1 each) is passed over.
static int find_backdrop_line(const uint8_t* text, uint32_t size, const char* map_name, char* image_name) {
    size_t map_length = strlen(map_name);
    uint32_t i = 0;
    while (i < size) {
        uint32_t starts[2] = {0, 0};
        uint32_t lengths[2] = {0, 0};
        int32_t words = 0;
        int valid = 1;
        while (i < size && text[i] != '\n') {
            if (is_blank_byte(text[i])) {
                i++;
                continue;
            }
            uint32_t start = i;
            while (i < size && text[i] != '\n' && !is_blank_byte(text[i])) {
                if (!is_name_byte(text[i])) valid = 0;
                i++;
            }
            if (words < 2) {
                starts[words] = start;
                lengths[words] = i - start;
            }
            words++;
        }
        i++;
        if (!valid || words != 2 || lengths[1] >= BACKDROP_NAME_BYTES) continue;
        if (lengths[0] != map_length || memcmp(text + starts[0], map_name, map_length) != 0) continue;
        memcpy(image_name, text + starts[1], lengths[1]);
        image_name[lengths[1]] = 0;
        return 1;
    }
    return 0;
}

int find_level_backdrop(const char* map_name, char* image_name) {
    if (!map_name || !image_name) return 0;
    uint32_t size = 0;
    uint8_t* text = archive_load(ARCHIVE_MAPS, BACKDROP_TABLE_NAME, BACKDROP_TABLE_EXTENSION, &size);
    if (!text) return 0;
    int found = find_backdrop_line(text, size, map_name, image_name);
    free(text);
    return found;
}

void choose_level_backdrop(const char* map_name) {
    if (!back_image) return;
    char wanted[BACKDROP_NAME_BYTES];
    if (!find_level_backdrop(map_name, wanted)) snprintf(wanted, sizeof wanted, "%s", BACKDROP_DEFAULT);
    if (strcmp(wanted, backdrop_name) == 0) return;
    SDL_Surface* image = nullptr;
    if (strcmp(wanted, BACKDROP_DEFAULT) != 0) image = load_optional_image(wanted, 0, 0, 0, 0);
    // A picture taller than the play area would hide the black band above nothing; treat it as damaged.
    if (image && image->h > BACKDROP_PLAY_HEIGHT) {
        free_image(image);
        image = nullptr;
    }
    if (!image) {
        if (strcmp(backdrop_name, BACKDROP_DEFAULT) != 0) load_default_backdrop();
        return;
    }
    free_image(back_image);
    back_image = image;
    snprintf(backdrop_name, sizeof backdrop_name, "%s", wanted);
}

static void shut_down() {
    if (joystick) SDL_JoystickClose(joystick);
    joystick = nullptr;
    free_image(logo_image);
    logo_image = nullptr;
    free_backdrop();
    tiles_free();
    fonts_free();
    for (int32_t id = 0; id < SND_COUNT; id++) sound_free(id);
    free_map();
    archive_close_all();
    Mix_CloseAudio();
    SDL_Quit();
}

void end_on_termination(int signal_number) {
    music_free(current_module);
    current_module = nullptr;
    shut_down();
    fflush(stdout);
    // Whoever sent the signal learns that it was obeyed: the process ends by it.
    signal(signal_number, SIG_DFL);
    raise(signal_number);
    _exit(128 + signal_number);
}

int run_game(int argc, char** argv) {
    // A closed pipe or terminal makes a write fail instead of killing the
    // game, the help text's too ("floob2 -h | true" ends with status 0).
    signal(SIGPIPE, SIG_IGN);
    if (parse_command_line(argc, argv)) return 0;
    // SIGTERM, SIGINT, SIGHUP and SIGQUIT end the game from any screen at the
    // event pump's next poll, through the normal shutdown: SDL starts without
    // its own fatal-signal handlers, which would shut it down inside a signal
    // handler. A file-size limit makes a write fail (the old file stays)
    // instead of killing the game.
    catch_termination_signals();
    signal(SIGXFSZ, SIG_IGN);
    std::set_new_handler(end_out_of_memory);
    // Scripted sessions (tests, memory checks): the input comes from a replay
    // file, on a simulated clock, and the game is asked to quit when it ends.
    const char* replay_path = getenv("FLOOB2_REPLAY");
    if (replay_path && !replay_start_file(replay_path)) fatal_error("Can't load file", replay_path);

    const char* failure = start_video();
    if (failure) fatal_error(failure, SDL_GetError());
    open_joystick();
    failure = start_audio();
    if (failure) fatal_error(failure, SDL_GetError());
    SDL_WM_SetCaption(WINDOW_CAPTION, nullptr);
    SDL_ShowCursor(SDL_DISABLE);

    load_start_resources();
    apply_default_bindings();
    config_load();
    apply_volumes();

    quit_signal = 0;
    run_intro_screens(test_mode ? intro_test_start_index : 0);
    load_default_backdrop();
    hiscore_load();
    if (!quit_signal) game_loop(test_mode);

    shut_down();
    return 0;
}
