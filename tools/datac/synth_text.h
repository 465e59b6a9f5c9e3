// Line and token reading shared by the sound and song compilers.
#ifndef DATAC_SYNTH_TEXT_H
#define DATAC_SYNTH_TEXT_H

#include <stdint.h>

#include <string>
#include <vector>

struct SourceLine {
    std::string file;  // for messages
    int32_t number;    // 1-based line number in that file
    std::vector<std::string> words;
};

// Splits text into lines of blank-separated words; a word starting with '#' starts a comment;
// empty lines are dropped.
void split_source(const std::string& file, const std::string& text, std::vector<SourceLine>& lines);

// "file:line: what"
std::string source_error(const SourceLine& line, const std::string& what);

// Whole-word number parsing; false when the word is not entirely a number.
bool parse_double(const std::string& word, double& value);
bool parse_int(const std::string& word, int32_t& value);

// Deterministic white noise in -1..1 from a 32-bit state.
double next_noise(uint32_t& state);

// Mono 16-bit PCM WAV.
void encode_wav16(int32_t rate, const std::vector<int16_t>& samples, std::vector<uint8_t>& out);

#endif
