// Tile sheets (.sheet): the 320 x 192 picture of 240 tiles of 16 x 16 pixels,
// tile n at column n mod 20, row n / 20, written one tile (or a few tiles side
// by side) at a time.
//
//   # a comment                 comment lines and blank lines are ignored
//   colour C NAME               legend: the character C stands for the colour
//                               NAME of palette.inc (in the source's folder);
//                               NAME "key" is the transparent magenta
//   tile N [N ...]              followed by exactly 16 rows; each row holds 16
//                               legend characters per tile named, the tiles'
//                               parts separated by spaces
//   tile N = mirror M           tile N is tile M flipped left to right
//   tile N = flip M             tile N is tile M turned upside down
//   tile N = copy M             tile N is tile M unchanged
//   tile N = over B T           tile N is tile T laid over tile B (B shows where T
//                               is transparent): scenery with its back wall painted in
//
// A legend character is any printable character but space and '#', defined
// once, before the rows that use it. Every tile is drawn at most once, and a
// derived tile needs its sources drawn above it. Tiles never drawn stay magenta.
// Anything else is refused with "file:line: what is wrong".
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "compile.h"

enum { SHEET_COLUMNS = 20, SHEET_ROWS = 12, SHEET_TILE = 16, SHEET_TILES = SHEET_COLUMNS * SHEET_ROWS };
enum { SHEET_WIDTH = SHEET_COLUMNS * SHEET_TILE, SHEET_HEIGHT = SHEET_ROWS * SHEET_TILE };
enum { SHEET_MAX_ACROSS = 20 };

static const uint32_t SHEET_MAGENTA = 0xFF00FF;

struct SheetState {
    const char* path;
    int32_t legend_set[128];
    uint32_t legend[128];
    int32_t drawn[SHEET_TILES];
    std::vector<uint32_t> pixels;
};

static bool fail_at(const char* path, int32_t line, const std::string& what, std::string& error) {
    error = std::string(path) + ":" + std::to_string(line) + ": " + what;
    return false;
}

static std::string folder_of(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash ? std::string(path, (size_t)(slash - path) + 1) : std::string();
}

static void split_lines(const std::string& text, std::vector<std::string>& lines) {
    lines.clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (end == text.size() && line.empty()) break;  // nothing after the last newline
        lines.push_back(line);
        if (end == text.size()) break;
        start = end + 1;
    }
}

static void split_words(const std::string& line, std::vector<std::string>& words) {
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) i++;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') i++;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
}

// A whole decimal number in 0..limit-1, or -1.
static int32_t parse_index(const std::string& word, int32_t limit) {
    if (word.empty() || word.size() > 6) return -1;
    int32_t value = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value < limit ? value : -1;
}

bool read_palette_file(const char* source_path, std::vector<std::string>& names, std::vector<uint32_t>& colours,
                       std::string& error) {
    std::string path = folder_of(source_path) + "palette.inc";
    std::string text;
    if (!read_text_file(path.c_str(), text, error)) return false;
    std::vector<std::string> lines, words;
    split_lines(text, lines);
    names.clear();
    colours.clear();
    for (size_t i = 0; i < lines.size(); i++) {
        int32_t line = (int32_t)i + 1;
        split_words(lines[i], words);
        if (words.empty() || words[0][0] == '#') continue;
        if (words.size() != 2 || words[0].size() != 6)
            return fail_at(path.c_str(), line, "expected a colour as RRGGBB and a name", error);
        uint32_t rgb = 0;
        for (char c : words[0]) {
            int32_t digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
            if (digit < 0) return fail_at(path.c_str(), line, "bad hex colour \"" + words[0] + "\"", error);
            rgb = rgb * 16 + (uint32_t)digit;
        }
        for (const std::string& name : names)
            if (name == words[1]) return fail_at(path.c_str(), line, "colour \"" + name + "\" named twice", error);
        names.push_back(words[1]);
        colours.push_back(rgb);
    }
    return true;
}

static bool define_colour(SheetState& s, const std::vector<std::string>& words, int32_t line,
                          const std::vector<std::string>& names, const std::vector<uint32_t>& colours,
                          std::string& error) {
    if (words.size() != 3 || words[1].size() != 1)
        return fail_at(s.path, line, "expected \"colour C NAME\" with one character C", error);
    unsigned char c = (unsigned char)words[1][0];
    if (c < 33 || c > 126 || c == '#')
        return fail_at(s.path, line, "legend character must be printable, not space or '#'", error);
    if (s.legend_set[c])
        return fail_at(s.path, line, std::string("legend character '") + (char)c + "' defined twice", error);
    for (size_t i = 0; i < names.size(); i++) {
        if (names[i] == words[2]) {
            s.legend_set[c] = 1;
            s.legend[c] = colours[i];
            return true;
        }
    }
    return fail_at(s.path, line, "colour \"" + words[2] + "\" is not in the palette", error);
}

static void copy_tile(SheetState& s, int32_t to, int32_t from, int32_t mirror, int32_t flip) {
    uint32_t block[SHEET_TILE * SHEET_TILE];
    int32_t fx = (from % SHEET_COLUMNS) * SHEET_TILE, fy = (from / SHEET_COLUMNS) * SHEET_TILE;
    for (int32_t y = 0; y < SHEET_TILE; y++)
        for (int32_t x = 0; x < SHEET_TILE; x++) {
            int32_t sx = mirror ? SHEET_TILE - 1 - x : x;
            int32_t sy = flip ? SHEET_TILE - 1 - y : y;
            block[y * SHEET_TILE + x] = s.pixels[(size_t)(fy + sy) * SHEET_WIDTH + fx + sx];
        }
    int32_t tx = (to % SHEET_COLUMNS) * SHEET_TILE, ty = (to / SHEET_COLUMNS) * SHEET_TILE;
    for (int32_t y = 0; y < SHEET_TILE; y++)
        for (int32_t x = 0; x < SHEET_TILE; x++)
            s.pixels[(size_t)(ty + y) * SHEET_WIDTH + tx + x] = block[y * SHEET_TILE + x];
}

// Lays tile top over tile base into tile to: base shows where top is magenta.
static void overlay_tile(SheetState& s, int32_t to, int32_t base, int32_t top) {
    int32_t bx = (base % SHEET_COLUMNS) * SHEET_TILE, by = (base / SHEET_COLUMNS) * SHEET_TILE;
    int32_t ux = (top % SHEET_COLUMNS) * SHEET_TILE, uy = (top / SHEET_COLUMNS) * SHEET_TILE;
    int32_t tx = (to % SHEET_COLUMNS) * SHEET_TILE, ty = (to / SHEET_COLUMNS) * SHEET_TILE;
    for (int32_t y = 0; y < SHEET_TILE; y++)
        for (int32_t x = 0; x < SHEET_TILE; x++) {
            uint32_t p = s.pixels[(size_t)(uy + y) * SHEET_WIDTH + ux + x];
            if (p == SHEET_MAGENTA) p = s.pixels[(size_t)(by + y) * SHEET_WIDTH + bx + x];
            s.pixels[(size_t)(ty + y) * SHEET_WIDTH + tx + x] = p;
        }
}

static bool derive_tile(SheetState& s, const std::vector<std::string>& words, int32_t line, std::string& error) {
    bool over = words.size() == 6 && words[3] == "over";
    if (words.size() != 5 && !over)
        return fail_at(s.path, line, "expected \"tile N = mirror|flip|copy M\" or \"tile N = over B T\"", error);
    int32_t to = parse_index(words[1], SHEET_TILES);
    if (to < 0) return fail_at(s.path, line, "tile number \"" + words[1] + "\" is not 0 to 239", error);
    int32_t sources[2] = {-1, -1};
    for (size_t k = 4; k < words.size(); k++) {
        sources[k - 4] = parse_index(words[k], SHEET_TILES);
        if (sources[k - 4] < 0) return fail_at(s.path, line, "tile number \"" + words[k] + "\" is not 0 to 239", error);
        if (!s.drawn[sources[k - 4]]) return fail_at(s.path, line, "tile " + words[k] + " is not drawn above", error);
    }
    const std::string& how = words[3];
    if (!over && how != "mirror" && how != "flip" && how != "copy")
        return fail_at(s.path, line, "unknown derivation \"" + how + "\" (mirror, flip, copy or over)", error);
    if (s.drawn[to]) return fail_at(s.path, line, "tile " + words[1] + " is drawn twice", error);
    if (over)
        overlay_tile(s, to, sources[0], sources[1]);
    else
        copy_tile(s, to, sources[0], how == "mirror", how == "flip");
    s.drawn[to] = 1;
    return true;
}

// Reads the 16 rows after a "tile N ..." header at lines[at]; advances at past them.
static bool draw_tiles(SheetState& s, const std::vector<std::string>& lines, size_t& at, std::string& error) {
    std::vector<std::string> words;
    split_words(lines[at], words);
    int32_t header = (int32_t)at + 1;
    int32_t tiles[SHEET_MAX_ACROSS];
    int32_t count = (int32_t)words.size() - 1;
    if (count < 1) return fail_at(s.path, header, "\"tile\" needs a tile number", error);
    if (count > SHEET_MAX_ACROSS) return fail_at(s.path, header, "at most 20 tiles side by side", error);
    for (int32_t i = 0; i < count; i++) {
        tiles[i] = parse_index(words[(size_t)i + 1], SHEET_TILES);
        if (tiles[i] < 0)
            return fail_at(s.path, header, "tile number \"" + words[(size_t)i + 1] + "\" is not 0 to 239", error);
        if (s.drawn[tiles[i]])
            return fail_at(s.path, header, "tile " + words[(size_t)i + 1] + " is drawn twice", error);
        for (int32_t j = 0; j < i; j++)
            if (tiles[j] == tiles[i])
                return fail_at(s.path, header, "tile " + words[(size_t)i + 1] + " is drawn twice", error);
    }
    for (int32_t row = 0; row < SHEET_TILE; row++) {
        size_t index = at + 1 + (size_t)row;
        int32_t line = (int32_t)index + 1;
        if (index >= lines.size())
            return fail_at(s.path, line - 1, "the file ends after " + std::to_string(row) + " of 16 rows", error);
        split_words(lines[index], words);
        if ((int32_t)words.size() != count)
            return fail_at(
                s.path, line,
                "expected " + std::to_string(count) + " parts of 16 pixels, found " + std::to_string(words.size()),
                error);
        for (int32_t i = 0; i < count; i++) {
            const std::string& part = words[(size_t)i];
            if (part.size() != SHEET_TILE)
                return fail_at(s.path, line,
                               "row of tile " + std::to_string(tiles[i]) + " has " + std::to_string(part.size()) +
                                   " pixels, not 16",
                               error);
            int32_t tx = (tiles[i] % SHEET_COLUMNS) * SHEET_TILE, ty = (tiles[i] / SHEET_COLUMNS) * SHEET_TILE;
            for (int32_t x = 0; x < SHEET_TILE; x++) {
                unsigned char c = (unsigned char)part[(size_t)x];
                if (c >= 128 || !s.legend_set[c])
                    return fail_at(s.path, line, std::string("character '") + (char)c + "' is not in the legend",
                                   error);
                s.pixels[(size_t)(ty + row) * SHEET_WIDTH + tx + x] = s.legend[c];
            }
        }
    }
    for (int32_t i = 0; i < count; i++) s.drawn[tiles[i]] = 1;
    at += SHEET_TILE;
    return true;
}

bool compile_sheet(const char* path, Bytes& out, std::string& error) {
    std::vector<std::string> names;
    std::vector<uint32_t> colours;
    if (!read_palette_file(path, names, colours, error)) return false;
    std::string text;
    if (!read_text_file(path, text, error)) return false;

    SheetState s;
    s.path = path;
    memset(s.legend_set, 0, sizeof s.legend_set);
    memset(s.legend, 0, sizeof s.legend);
    memset(s.drawn, 0, sizeof s.drawn);
    s.pixels.assign((size_t)SHEET_WIDTH * SHEET_HEIGHT, SHEET_MAGENTA);

    std::vector<std::string> lines, words;
    split_lines(text, lines);
    for (size_t at = 0; at < lines.size(); at++) {
        int32_t line = (int32_t)at + 1;
        split_words(lines[at], words);
        if (words.empty() || words[0][0] == '#') continue;
        if (words[0] == "colour") {
            if (!define_colour(s, words, line, names, colours, error)) return false;
        } else if (words[0] == "tile") {
            if (words.size() >= 3 && words[2] == "=") {
                if (!derive_tile(s, words, line, error)) return false;
            } else if (!draw_tiles(s, lines, at, error)) {
                return false;
            }
        } else {
            return fail_at(path, line, "unknown line \"" + words[0] + "\" (colour or tile expected)", error);
        }
    }
    if (!check_picture_size(path, 1, SHEET_WIDTH, SHEET_HEIGHT, error)) return false;
    encode_bmp24(SHEET_WIDTH, SHEET_HEIGHT, s.pixels, out);
    return true;
}
