#include "support.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "compile.h"
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

void make_data_with_maps(const std::string& level) {
    ASSERT_EQ(0, mkdir("data", 0755));
    for (const char* name : {"gfx.qva", "music.qva", "sound.qva"}) {
        std::string from = built_data_dir() + "/" + name;
        ASSERT_EQ(0, symlink(from.c_str(), (std::string("data/") + name).c_str()));
    }
    std::vector<ArchiveInput> entries;
    for (int n = 0; n <= 10; n++) {
        ArchiveInput in;
        in.name = std::string(level_map_name(n)) + ".bin";
        in.data.assign(level.begin(), level.end());
        entries.push_back(in);
    }
    Bytes packed;
    std::string error;
    ASSERT_TRUE(write_archive(entries, packed, error)) << error;
    ASSERT_TRUE(write_file("data/maps.qva", std::string(packed.begin(), packed.end())));
}

std::string plain_floor_level() {
    std::string bytes;
    bytes.push_back((char)39);
    bytes.push_back((char)0);
    for (int c = 0; c < 40; c++)
        for (int r = 0; r < 12; r++) bytes.push_back((char)(r == 11 ? 21 : c == 2 && r == 10 ? 65 : 0));
    return bytes;
}
