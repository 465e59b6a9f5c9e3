// Start-up, command line and shutdown.
#ifndef SHELL_STARTUP_H
#define SHELL_STARTUP_H

#include <stdint.h>

// Reads the arguments into the video settings and test_mode, left to right.
// Returns 1 when "-h" or "--help" was found (the help text has been printed), else 0.
int parse_command_line(int argc, char** argv);

// Prints the ten help lines to standard output.
void print_help();
// Prints the ten help lines and then the lines of the options beyond them.
void print_long_help();

struct IntroScreen;

// Runs the intro screens from the given table index to the end of the table.
void run_intro_screens(int start_index);

// The same frame loop over any table of screens ended by a record without a name.
void run_screen_table(const IntroScreen* table, int start_index);

// The start-up steps that the program and the replay driver share. Each
// returns null when it worked, else the fixed message of the failure, for
// fatal_error with SDL_GetError() as the detail.
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

// Backdrops. back_image starts as "back"; a level may name another image in the maps
// archive's table "backdrops.tab" (lines "MAP IMAGE"), which is loaded when the level loads.
enum { BACKDROP_NAME_BYTES = 16 };

// Loads "back" into back_image (ends the game when it is missing, as every image the game needs).
void load_default_backdrop();
// Frees back_image.
void free_backdrop();
// The image the table names for the map, into image_name (BACKDROP_NAME_BYTES); 0 when the
// table is missing or has no well-formed line for the map.
int find_level_backdrop(const char* map_name, char* image_name);
// Makes back_image the map's backdrop: the table's image, or "back" when the map (null for the
// title and the test map) has none or its image is missing, damaged or taller than the play area.
// Loads only when the backdrop changes; does nothing before back_image is first loaded.
void choose_level_backdrop(const char* map_name);

// After a termination signal: the normal shutdown, then the process ends by
// that signal. Called by the event pump; nothing is saved on the way.
[[noreturn]] void end_on_termination(int signal_number);

// The whole program: start-up, intro, game loop, shutdown. Returns the exit status.
int run_game(int argc, char** argv);

#endif
