// Shared helpers of the test programs.
#ifndef TEST_SUPPORT_H
#define TEST_SUPPORT_H

#include <stdint.h>

#include <string>
#include <vector>

#include "compile.h"

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

// Appends a little-endian 16- or 32-bit value.
void put_le16(std::string& out, uint32_t value);
void put_le32(std::string& out, uint32_t value);

// A 40-column level: solid ground on the bottom row and the hero's start
// (the bytes of floor_level() in levels.h).
std::string plain_floor_level();

// Links the named built archives ("gfx.qva", ...) into ./data, made when missing.
void link_built_archives(const std::vector<std::string>& names);
// The entries of one built archive folder (build/entries/<archive>/), in name order.
std::vector<ArchiveInput> built_entries(const std::string& archive);
// Packs the entries into ./data/<archive>.qva, ./data made when missing.
void write_data_archive(const std::string& archive, const std::vector<ArchiveInput>& entries);
// An archive entry holding the given bytes.
ArchiveInput archive_entry(const std::string& name, const std::string& bytes);

// Makes ./data in the current directory: the built images, sounds and music,
// and a maps archive that holds levels[n] as level n, the last one given for
// the levels after it.
void make_data_with_levels(const std::vector<std::string>& levels);
// The same with one level's bytes under every map name.
void make_data_with_maps(const std::string& level);

// Runs a command through the shell and captures its standard output.
// Returns the exit status (-1 when it did not exit normally).
int run_command(const std::string& command, std::string* output);

// Sets LANGUAGE, LC_ALL, LC_MESSAGES and LANG (null: unset) for as long as it
// lives, and then puts back what they were.
struct LocaleVariables {
    LocaleVariables(const char* language, const char* lc_all, const char* lc_messages, const char* lang);
    ~LocaleVariables();
    std::string saved[4];
    bool had[4] = {};
};

// The pixels of the frame surface, row after row without the padding.
std::vector<uint8_t> frame_pixels();

#endif
