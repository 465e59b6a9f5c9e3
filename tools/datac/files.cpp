#include <stdio.h>

#include "compile.h"

bool read_text_file(const char* path, std::string& text, std::string& error) {
    FILE* f = fopen(path, "rb");
    if (!f) {
        error = std::string(path) + ":1: cannot open";
        return false;
    }
    text.clear();
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    bool bad = ferror(f) != 0;
    fclose(f);
    if (bad) {
        error = std::string(path) + ":1: read error";
        return false;
    }
    return true;
}

bool write_bytes_file(const char* path, const Bytes& data, std::string& error) {
    FILE* f = fopen(path, "wb");
    if (!f) {
        error = std::string(path) + ":1: cannot create";
        return false;
    }
    bool ok = data.empty() || fwrite(data.data(), 1, data.size(), f) == data.size();
    if (fclose(f) != 0) ok = false;
    if (!ok) {
        error = std::string(path) + ":1: write error";
        remove(path);
    }
    return ok;
}
