#include "support.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "compile.h"
#include "gfx/video.h"
#include "levels.h"
#include "world/level.h"

TempDir::TempDir(bool with_data) {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer)) previous = buffer;
    char pattern[] = "/tmp/floob2-test-XXXXXX";
    char* made = mkdtemp(pattern);
    if (made) {
        path = made;
        if (chdir(made) != 0) path.clear();
        if (with_data) {
            std::string data = built_data_dir();
            if (symlink(data.c_str(), "data") != 0) perror("symlink data");
        }
    }
}

TempDir::~TempDir() {
    if (!previous.empty() && chdir(previous.c_str()) != 0) perror("chdir");
    if (!path.empty()) {
        std::string command = "rm -rf '" + path + "'";
        if (system(command.c_str()) != 0) perror("rm");
    }
}

std::string built_data_dir() { return std::string(FLOOB_BINARY_DIR) + "/data"; }

bool write_file(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

std::string read_file(const std::string& path) {
    std::string text;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return text;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    fclose(f);
    return text;
}

int run_command(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    int status = pclose(pipe);
    if (output) *output = text;
    if (status == -1 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

void put_le16(std::string& out, uint32_t value) {
    out += (char)(value & 0xFF);
    out += (char)((value >> 8) & 0xFF);
}

void put_le32(std::string& out, uint32_t value) {
    put_le16(out, value & 0xFFFF);
    put_le16(out, value >> 16);
}

void link_built_archives(const std::vector<std::string>& names) {
    mkdir("data", 0755);
    for (const std::string& name : names) {
        std::string from = built_data_dir() + "/" + name;
        ASSERT_EQ(0, symlink(from.c_str(), ("data/" + name).c_str())) << name;
    }
}

std::vector<ArchiveInput> built_entries(const std::string& archive) {
    std::string folder = std::string(FLOOB_BINARY_DIR) + "/entries/" + archive;
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* e = readdir(dir))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::vector<ArchiveInput> entries;
    entries.reserve(names.size());
    for (const std::string& name : names) entries.push_back(archive_entry(name, read_file(folder + "/" + name)));
    EXPECT_FALSE(entries.empty()) << folder;
    return entries;
}

ArchiveInput archive_entry(const std::string& name, const std::string& bytes) {
    ArchiveInput in;
    in.name = name;
    in.data.assign(bytes.begin(), bytes.end());
    return in;
}

void write_data_archive(const std::string& archive, const std::vector<ArchiveInput>& entries) {
    mkdir("data", 0755);
    Bytes packed;
    std::string error;
    ASSERT_TRUE(write_archive(entries, packed, error)) << error;
    ASSERT_TRUE(write_file("data/" + archive + ".qva", std::string(packed.begin(), packed.end())));
}

void make_data_with_levels(const std::vector<std::string>& levels) {
    ASSERT_FALSE(levels.empty());
    ASSERT_EQ(0, mkdir("data", 0755));
    link_built_archives({"gfx.qva", "music.qva", "sound.qva"});
    std::vector<ArchiveInput> entries;
    for (int n = 0; n <= 10; n++)
        entries.push_back(
            archive_entry(std::string(level_map_name(n)) + ".bin", levels[std::min<size_t>(n, levels.size() - 1)]));
    write_data_archive("maps", entries);
}

void make_data_with_maps(const std::string& level) { make_data_with_levels({level}); }

std::string plain_floor_level() { return floor_level().text(); }

static const char* const LOCALE_NAMES[4] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

static void set_variable(const char* name, const char* value) {
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

LocaleVariables::LocaleVariables(const char* language, const char* lc_all, const char* lc_messages, const char* lang) {
    const char* values[4] = {language, lc_all, lc_messages, lang};
    for (int i = 0; i < 4; i++) {
        const char* old = getenv(LOCALE_NAMES[i]);
        had[i] = old != nullptr;
        saved[i] = old ? old : "";
        set_variable(LOCALE_NAMES[i], values[i]);
    }
}

LocaleVariables::~LocaleVariables() {
    for (int i = 0; i < 4; i++) set_variable(LOCALE_NAMES[i], had[i] ? saved[i].c_str() : nullptr);
}

std::vector<uint8_t> frame_pixels() {
    SDL_Surface* s = frame_surface;
    std::vector<uint8_t> out;
    SDL_LockSurface(s);
    for (int32_t y = 0; y < s->h; y++) {
        const uint8_t* row = (const uint8_t*)s->pixels + y * s->pitch;
        out.insert(out.end(), row, row + s->w * s->format->BytesPerPixel);
    }
    SDL_UnlockSurface(s);
    return out;
}
