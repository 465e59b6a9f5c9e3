// Icons (.icon): one picture in several square sizes, for the desktop and the
// window, with the colours of palette.inc in the source's folder.
//
//   # a comment                 comment lines and blank lines are ignored
//   colour C NAME               legend: the character C stands for the colour
//                               NAME of palette.inc; "key" is transparent
//   size N                      followed by exactly N rows of N legend characters
//   size N = scale M            size N is size M enlarged N / M times, each
//                               pixel a block (M drawn above, N a multiple of M)
//
// Sizes are 1 to 512, each given once. The small sizes (the game's are 16, 32
// and 48) are drawn pixel by pixel at their own size so that they stay sharp;
// a scaled size never blurs, but it is only as fine as the size it enlarges. Anything else is refused
// with "file:line: what is wrong".
#include <string.h>

#include <map>

#include "compile.h"

enum { ICON_MAX_SIDE = 512 };

static const uint32_t ICON_OPAQUE = 0xFF000000u;

static bool icon_fail(const char* path, int32_t line, const std::string& what, std::string& error) {
    error = std::string(path) + ":" + std::to_string(line) + ": " + what;
    return false;
}

static void icon_words(const std::string& line, std::vector<std::string>& words) {
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) i++;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') i++;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
}

// A whole decimal number in 1..ICON_MAX_SIDE, or -1.
static int32_t icon_side(const std::string& word) {
    if (word.empty() || word.size() > 3) return -1;
    int32_t value = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= ICON_MAX_SIDE ? value : -1;
}

// What an icon source has given so far: its palette, legend and pictures by size.
struct IconState {
    const char* path;
    std::vector<std::string> names;
    std::vector<uint32_t> colours;
    int32_t legend_set[128] = {0};
    uint32_t legend[128] = {0};
    std::map<int32_t, std::vector<uint32_t>> pictures;
};

static std::vector<std::string> split_icon_lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// "colour C NAME": the legend character C stands for the palette's colour NAME.
static bool define_icon_colour(IconState& s, const std::vector<std::string>& words, int32_t line, std::string& error) {
    if (words.size() != 3 || words[1].size() != 1)
        return icon_fail(s.path, line, "expected \"colour C NAME\" with one character C", error);
    unsigned char c = (unsigned char)words[1][0];
    if (c < 33 || c > 126 || c == '#')
        return icon_fail(s.path, line, "legend character must be printable, not space or '#'", error);
    if (s.legend_set[c])
        return icon_fail(s.path, line, std::string("legend character '") + (char)c + "' defined twice", error);
    size_t i = 0;
    while (i < s.names.size() && s.names[i] != words[2]) i++;
    if (i == s.names.size()) return icon_fail(s.path, line, "colour \"" + words[2] + "\" is not in the palette", error);
    s.legend_set[c] = 1;
    s.legend[c] = s.names[i] == "key" ? 0u : (s.colours[i] | ICON_OPAQUE);
    return true;
}

// The side rows of a "size N" picture drawn on the lines after lines[at].
static bool draw_icon_rows(IconState& s, const std::vector<std::string>& lines, size_t at, int32_t side,
                           std::vector<uint32_t>& picture, std::string& error) {
    int32_t line = (int32_t)at + 1;
    for (int32_t y = 0; y < side; y++) {
        size_t index = at + 1 + (size_t)y;
        if (index >= lines.size())
            return icon_fail(s.path, line + y,
                             "the file ends after " + std::to_string(y) + " of " + std::to_string(side) + " rows",
                             error);
        std::string row = lines[index];
        while (!row.empty() && (row.back() == '\r' || row.back() == ' ' || row.back() == '\t')) row.pop_back();
        if ((int32_t)row.size() != side)
            return icon_fail(s.path, line + y + 1,
                             "row has " + std::to_string(row.size()) + " pixels, not " + std::to_string(side), error);
        for (int32_t x = 0; x < side; x++) {
            unsigned char c = (unsigned char)row[(size_t)x];
            if (c >= 128 || !s.legend_set[c])
                return icon_fail(s.path, line + y + 1, std::string("character '") + (char)c + "' is not in the legend",
                                 error);
            picture[(size_t)y * (size_t)side + (size_t)x] = s.legend[c];
        }
    }
    return true;
}

// "size N = scale M": the picture of size M drawn above, each pixel made N / M pixels square.
static bool scale_icon(IconState& s, const std::vector<std::string>& words, int32_t line, int32_t side,
                       std::vector<uint32_t>& picture, std::string& error) {
    int32_t from = words.size() == 5 && words[2] == "=" && words[3] == "scale" ? icon_side(words[4]) : -1;
    if (from < 0) return icon_fail(s.path, line, "expected \"size N = scale M\"", error);
    if (!s.pictures.count(from) || from == side)
        return icon_fail(s.path, line, "size " + words[4] + " is not drawn above", error);
    if (side % from != 0)
        return icon_fail(s.path, line, "size " + words[1] + " is not a multiple of " + words[4], error);
    const std::vector<uint32_t>& source = s.pictures[from];
    int32_t factor = side / from;
    for (int32_t y = 0; y < side; y++)
        for (int32_t x = 0; x < side; x++)
            picture[(size_t)y * (size_t)side + (size_t)x] =
                source[(size_t)(y / factor) * (size_t)from + (size_t)(x / factor)];
    return true;
}

bool compile_icon(const char* path, int32_t size, std::vector<uint32_t>& argb, std::string& error) {
    IconState s;
    s.path = path;
    if (!read_palette_file(path, s.names, s.colours, error)) return false;
    std::string text;
    if (!read_text_file(path, text, error)) return false;
    std::vector<std::string> lines = split_icon_lines(text);
    std::vector<std::string> words;
    for (size_t at = 0; at < lines.size(); at++) {
        int32_t line = (int32_t)at + 1;
        icon_words(lines[at], words);
        if (words.empty() || words[0][0] == '#') continue;
        if (words[0] == "colour") {
            if (!define_icon_colour(s, words, line, error)) return false;
            continue;
        }
        if (words[0] != "size")
            return icon_fail(path, line, "unknown line \"" + words[0] + "\" (colour or size expected)", error);
        int32_t side = words.size() >= 2 ? icon_side(words[1]) : -1;
        if (side < 0) return icon_fail(path, line, "expected \"size N\" with N from 1 to 512", error);
        if (s.pictures.count(side)) return icon_fail(path, line, "size " + words[1] + " is given twice", error);
        std::vector<uint32_t>& picture = s.pictures[side];
        picture.assign((size_t)side * (size_t)side, 0);
        if (words.size() == 2) {
            if (!draw_icon_rows(s, lines, at, side, picture, error)) return false;
            at += (size_t)side;
        } else if (!scale_icon(s, words, line, side, picture, error)) {
            return false;
        }
    }
    if (!s.pictures.count(size)) return icon_fail(path, 1, "has no size " + std::to_string(size), error);
    argb = s.pictures[size];
    return true;
}
