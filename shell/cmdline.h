// The command line.
#ifndef SHELL_CMDLINE_H
#define SHELL_CMDLINE_H

// Reads the arguments into the video settings and test_mode, left to right.
// Returns 1 when "-h" or "--help" was found (the help text has been printed), else 0.
int parse_command_line(int argc, char** argv);

// Prints the ten help lines to standard output.
void print_help();
// Prints the ten help lines and then the lines of the options beyond them.
void print_long_help();

#endif
