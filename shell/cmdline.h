// The command line.
#ifndef SHELL_CMDLINE_H
#define SHELL_CMDLINE_H

#include <stdint.h>

// Reads the arguments into the video settings, test_mode and the recording
// options, left to right. Returns 1 when "-h", "--help" or "--version" was
// found (its text has been printed: for "--version" the game's version, then
// SDL's, SDL_mixer's, libmodplug's, zlib's and libpng's as linked at run time,
// one a line), 2 when an option lacks its file name (said on standard output),
// else 0.
int parse_command_line(int argc, char** argv);

// Set by parse_command_line when an option chose the window or fullscreen
// ("-w", "-fs", "-fsd", "-t"), and when one chose the window's size ("-z2",
// "-z3", "-z4", "-t"): the settings kept from the last run give way to them.
extern int32_t command_line_screen;
extern int32_t command_line_size;

// The name given with "--lang", null when the command line has none.
extern const char* language_option;
// The files of "--record FILE", "--play FILE" and "--verify FILE", or null.
extern const char* record_path;
extern const char* play_path;
extern const char* verify_path;

// Prints the ten help lines to standard output.
void print_help();
// Prints the ten help lines and then the lines of the options beyond them.
void print_long_help();

#endif
