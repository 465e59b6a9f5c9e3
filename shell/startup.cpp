#include "shell/startup.h"

#include <SDL_mixer.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "audio/music.h"
#include "audio/sound.h"
#include "floob.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/video.h"
#include "shell/cmdline.h"
#include "shell/controls.h"
#include "shell/desktop.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "shell/intro.h"
#include "shell/recorder.h"
#include "shell/replay.h"
#include "shell/signals.h"
#include "storage/archive.h"
#include "storage/config.h"
#include "storage/extras.h"
#include "storage/hiscore.h"
#include "storage/language.h"
#include "world/backdrop.h"
#include "world/level.h"

// What the start-up opens and close_game releases.
SDL_Joystick* joystick = nullptr;   // joystick 0, or null without one
SDL_Surface* logo_image = nullptr;  // the title's logo
const uint32_t* window_icon_pixels = nullptr;

enum {
    STARTUP_AUDIO_FREQUENCY = 22050,
    STARTUP_AUDIO_CHANNELS = 2,
    STARTUP_AUDIO_CHUNK = 1024,
    STARTUP_MIX_CHANNELS = 16
};

static const char* const WINDOW_CAPTION = "FLOOB 2 V1.10";

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

static bool is_text_video_driver(const char* name) {
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
    logo_image = load_image("logo", IMAGE_KEYED);
}

static void open_joystick() {
    joystick = nullptr;
    if (SDL_Init(SDL_INIT_JOYSTICK | SDL_INIT_NOPARACHUTE) < 0) return;
    if (SDL_NumJoysticks() > 0) joystick = SDL_JoystickOpen(0);
    SDL_JoystickEventState(SDL_ENABLE);
}

static void apply_volumes() {
    sound_apply_volume();
    music_set_volume(mixer_volume(mus_volume));
}

const char* open_game(const GameStart* start) {
    // The full screen and the window's size of the last run, where the command line chose neither.
    if (start->player_files) desktop_settings_load(command_line_screen, command_line_size);
    const char* failure = start_video();
    if (failure) return failure;
    if (start->player_files) open_joystick();
    failure = start_audio();
    if (failure) return failure;
    SDL_WM_SetCaption(WINDOW_CAPTION, nullptr);
    SDL_ShowCursor(SDL_DISABLE);
    load_start_resources();
    apply_default_bindings();
    if (start->player_files) {
        config_load();
        apply_volumes();
        // The texts' language, once, before the first of them is drawn.
        language = recorder_language(choose_language(language_option, extras_get(EXTRAS_LANGUAGE)));
    }
    return nullptr;
}

void open_play_resources(const GameStart* start) {
    load_default_backdrop();
    if (start->player_files)
        hiscore_load();
    else
        hiscore_reset_table();
}

void close_game() {
    desktop_settings_save();
    music_free(current_module);
    current_module = nullptr;
    if (joystick && SDL_WasInit(SDL_INIT_JOYSTICK)) SDL_JoystickClose(joystick);
    joystick = nullptr;
    free_image(logo_image);
    logo_image = nullptr;
    free_backdrop();
    tiles_free();
    fonts_free();
    for (int32_t id = 0; id < SND_COUNT; id++) sound_free(id);
    free_map();
    archive_close_all();
    // The device may have been opened more than once (a test that opened it itself).
    while (Mix_QuerySpec(nullptr, nullptr, nullptr)) Mix_CloseAudio();
    SDL_Quit();
}

int run_game(int argc, char** argv) {
    // Before anything else, so that even the help text meets a closed pipe calmly.
    prepare_process_signals();
    int parsed = parse_command_line(argc, argv);
    if (parsed) return parsed == 1 ? 0 : 1;
    const char* watched = verify_path ? verify_path : play_path;
    const char* replay_path = getenv("FLOOB2_REPLAY");
    if (watched) {
        // A playback: the recording's input, files and settings, nothing of the player's.
        if (!recorder_load(watched, verify_path != nullptr)) return 1;
        recorder_apply_settings();
        replay_start_session();
        if (!verify_path) replay_use_real_clock(1);
    } else {
        // Scripted sessions (tests, memory checks): the input comes from a replay
        // file, on a simulated clock, and the game is asked to quit when it ends.
        char error[300];
        if (replay_path && !replay_start_file(replay_path, error, sizeof error)) fatal_error("Can't load file", error);
        // Every game the player plays is kept; a scripted one only when asked.
        if (record_path || !replay_path) recorder_start(record_path, !replay_path);
    }

    const GameStart start = {1};
    const char* failure = open_game(&start);
    if (failure) fatal_error(failure, SDL_GetError());

    escape_or_close = 0;
    run_intro_screens(test_mode ? intro_test_start_index : 0);
    open_play_resources(&start);
    if (!escape_or_close) game_loop(test_mode);

    if (watched)
        recorder_stop_playback(loop_end_reason == LOOP_END_INPUT_EXHAUSTED ? PLAYBACK_LOOP_SAW_END : PLAYBACK_ENDED);
    if (record_path) recorder_print_line(session_recording.frame_count);
    session_finish(RUN_END_QUIT);
    close_game();
    return 0;
}
