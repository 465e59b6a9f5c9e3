#include "support.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

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
