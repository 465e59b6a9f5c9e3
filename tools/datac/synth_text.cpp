#include "synth_text.h"

#include <stdlib.h>

void split_source(const std::string& file, const std::string& text, std::vector<SourceLine>& lines) {
    int32_t number = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string row = text.substr(pos, end - pos);
        number++;
        // '#' starts a comment at the start of a word; inside one it is a sharp (F#m).
        for (size_t i = 0; i < row.size(); i++)
            if (row[i] == '#' && (i == 0 || row[i - 1] == ' ' || row[i - 1] == '\t')) {
                row.erase(i);
                break;
            }
        SourceLine line;
        line.file = file;
        line.number = number;
        std::string word;
        for (char c : row) {
            if (c == ' ' || c == '\t' || c == '\r') {
                if (!word.empty()) line.words.push_back(word);
                word.clear();
            } else {
                word += c;
            }
        }
        if (!word.empty()) line.words.push_back(word);
        if (!line.words.empty()) lines.push_back(line);
        pos = end + 1;
    }
}

std::string source_error(const SourceLine& line, const std::string& what) {
    return line.file + ":" + std::to_string(line.number) + ": " + what;
}

bool parse_double(const std::string& word, double& value) {
    if (word.empty()) return false;
    char* end = nullptr;
    value = strtod(word.c_str(), &end);
    return end && *end == 0;
}

bool parse_int(const std::string& word, int32_t& value) {
    if (word.empty()) return false;
    char* end = nullptr;
    long v = strtol(word.c_str(), &end, 10);
    if (!end || *end != 0 || v < -1000000 || v > 1000000) return false;
    value = (int32_t)v;
    return true;
}

double next_noise(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return (double)(state >> 8) / 8388608.0 - 1.0;
}

static void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; i++) out.push_back((uint8_t)(v >> (8 * i)));
}

static void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back((uint8_t)v);
    out.push_back((uint8_t)(v >> 8));
}

void encode_wav16(int32_t rate, const std::vector<int16_t>& samples, std::vector<uint8_t>& out) {
    uint32_t data_size = (uint32_t)samples.size() * 2;
    out.clear();
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 36 + data_size);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // mono
    put32(out, (uint32_t)rate);
    put32(out, (uint32_t)rate * 2);
    put16(out, 2);
    put16(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, data_size);
    for (int16_t s : samples) put16(out, (uint16_t)s);
}
