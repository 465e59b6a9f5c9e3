// The command line.
#ifndef SHELL_CMDLINE_H
#define SHELL_CMDLINE_H

// Reads the arguments into the video settings, test_mode and the recording
// options, left to right. Returns 1 when "-h" or "--help" was found (the help
// text has been printed), 2 when an option lacks its file name (said on
// standard output), else 0.
int parse_command_line(int argc, char** argv);

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
