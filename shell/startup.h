// Start-up and shut-down: the one sequence that opens the game's devices and
// resources, and the one that frees them, used by the program and the replay driver.
#ifndef SHELL_STARTUP_H
#define SHELL_STARTUP_H

#include <stdint.h>

// What differs between the program's start and a scripted run's.
struct GameStart {
    // 1: the joystick, the player's configuration (bindings and volumes) and high scores;
    // 0: default bindings and an empty high-score table, so nothing of the player's is read.
    int32_t player_files;
};

// SDL video, the video mode of the current settings, the named colours and the dim panel,
// then the joystick, SDL audio and the device, the window's caption, the four archives,
// the fonts and the logo, and the bindings and volumes. Returns null when it worked, else
// the fixed message of the failure, for fatal_error with SDL_GetError() as the detail;
// whatever was opened before a failure is freed by close_game.
const char* open_game(const GameStart* start);
// What play needs beyond the title: the default backdrop and the high-score table.
void open_play_resources(const GameStart* start);
// Frees everything open_game and the game opened (the music playing, sounds, images, the
// map, the archives, the audio device, SDL). Safe after a partial start, twice, and
// after SDL was shut down under it.
void close_game();

// The steps of open_game, for tests that start one device alone.
// SDL video, the video mode of the current settings, the named colours and the dim panel.
const char* start_video();
// SDL audio and the device: 22050 Hz, 16-bit stereo, 1024-sample chunks, 16 mixing channels.
// A device that cannot be opened is no failure: one line on standard error,
// and the game plays without sound (audio_silent).
const char* start_audio();
// The four archives of ./data, the fonts and the "logo" image.
void load_start_resources();

enum { WINDOW_ICON_SIDE = 32 };
// The window's icon, WINDOW_ICON_SIDE x WINDOW_ICON_SIDE pixels as 0xAARRGGBB,
// set by the game's main before run_game; none leaves the window without one.
extern const uint32_t* window_icon_pixels;

// The whole program: start-up, intro, game loop, shutdown. Returns the exit status.
int run_game(int argc, char** argv);

#endif
