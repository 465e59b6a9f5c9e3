// Shared helpers of the test programs.
#ifndef TEST_SUPPORT_H
#define TEST_SUPPORT_H

#include <string>

// A fresh empty directory under the system's temporary directory, made the
// current directory; the previous directory comes back when it goes out of scope.
// With_data links the built data/ into it, so that the archives open.
struct TempDir {
    explicit TempDir(bool with_data = false);
    ~TempDir();
    std::string path;
    std::string previous;
};

// Path of the built data directory (holds gfx.qva, maps.qva, music.qva, sound.qva).
std::string built_data_dir();

// Writes bytes to a file; returns false on failure.
bool write_file(const std::string& path, const std::string& bytes);
// Reads a whole file; empty when missing.
std::string read_file(const std::string& path);

// A 40-column level: solid ground on the bottom row and the hero's start.
std::string plain_floor_level();

// Makes ./data in the current directory: the built images, sounds and music,
// and a maps archive that holds the given level bytes under every map name.
void make_data_with_maps(const std::string& level);

// Runs a command through the shell and captures its standard output.
// Returns the exit status (-1 when it did not exit normally).
int run_command(const std::string& command, std::string* output);

#endif
