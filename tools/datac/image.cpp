// Image sources to Windows BMP. An .xpm source is an XPM3 picture (the C-array
// form GIMP reads and writes) whose colours must all come from the shared
// palette, palette.inc in the source's folder; .sheet and .gen sources go to
// their own compilers.
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <set>
#include <unordered_map>

#include "compile.h"

enum { XPM_MAX_SIDE = 8192, XPM_MAX_CPP = 16, XPM_MAX_COLOURS = 65536 };

static const uint32_t XPM_MAGENTA = 0xFF00FF;

struct XpmString {
    std::string text;
    int line;
};

static std::string where(const std::string& file, int line) { return file + ":" + std::to_string(line) + ": "; }

static std::string folder_of(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

static int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Six hex digits to 0xRRGGBB; false when the text is anything else.
static bool parse_hex6(const std::string& text, uint32_t& rgb) {
    if (text.size() != 6) return false;
    rgb = 0;
    for (char c : text) {
        int v = hex_value(c);
        if (v < 0) return false;
        rgb = (rgb << 4) | (uint32_t)v;
    }
    return true;
}

static bool load_palette(const std::string& folder, std::set<uint32_t>& palette, std::string& error) {
    std::string path = folder + "/palette.inc";
    std::string text;
    if (!read_text_file(path.c_str(), text, error)) return false;
    int line = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string row = text.substr(start, end - start);
        start = end + 1;
        line++;
        size_t hash = row.find('#');
        if (hash != std::string::npos) row.erase(hash);
        size_t first = row.find_first_not_of(" \t\r");
        if (first == std::string::npos) continue;
        size_t gap = row.find_first_of(" \t\r", first);
        std::string hex = row.substr(first, gap == std::string::npos ? std::string::npos : gap - first);
        uint32_t rgb;
        if (!parse_hex6(hex, rgb)) {
            error = where(path, line) + "\"" + hex + "\" is not a colour of six hex digits";
            return false;
        }
        if (gap == std::string::npos || row.find_first_not_of(" \t\r", gap) == std::string::npos) {
            error = where(path, line) + "colour " + hex + " has no name";
            return false;
        }
        palette.insert(rgb);
    }
    if (palette.empty()) {
        error = where(path, line ? line : 1) + "the palette holds no colours";
        return false;
    }
    return true;
}

// The quoted strings of a C source, with the line each starts on. Comments are
// skipped; everything else outside strings (declaration, braces, commas) is not
// examined. The first comment must be the XPM marker.
static bool lex_xpm(const std::string& file, const std::string& text, std::vector<XpmString>& strings,
                    std::string& error) {
    size_t i = 0;
    int line = 1;
    bool marker = false;
    bool any_token = false;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\n') {
            line++;
            i++;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            size_t close = text.find("*/", i + 2);
            if (close == std::string::npos) {
                error = where(file, line) + "comment is not closed";
                return false;
            }
            std::string body = text.substr(i + 2, close - i - 2);
            if (!any_token && !marker) {
                size_t a = body.find_first_not_of(" \t");
                size_t b = body.find_last_not_of(" \t");
                if (a != std::string::npos && body.substr(a, b - a + 1) == "XPM") marker = true;
            }
            for (char d : body)
                if (d == '\n') line++;
            i = close + 2;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            while (i < text.size() && text[i] != '\n') i++;
        } else if (c == '"') {
            if (!marker) {
                error = where(file, 1) + "not an XPM file (it must begin with /* XPM */)";
                return false;
            }
            XpmString s;
            s.line = line;
            i++;
            while (true) {
                if (i >= text.size() || text[i] == '\n') {
                    error = where(file, s.line) + "string is not closed on its line";
                    return false;
                }
                if (text[i] == '"') break;
                if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] != '\n') i++;
                s.text.push_back(text[i]);
                i++;
            }
            i++;
            strings.push_back(s);
            any_token = true;
        } else {
            if (!isspace((unsigned char)c)) any_token = true;
            i++;
        }
    }
    if (!marker) {
        error = where(file, 1) + "not an XPM file (it must begin with /* XPM */)";
        return false;
    }
    return true;
}

// "w h ncolors cpp" with an optional hotspot; every value must be a whole number.
static bool parse_values(const std::string& file, const XpmString& s, int values[4], std::string& error) {
    std::vector<long> numbers;
    const char* p = s.text.c_str();
    while (*p) {
        while (*p == ' ' || *p == '\t') p++;
        if (!*p) break;
        char* end;
        long v = strtol(p, &end, 10);
        if (end == p || (*end && *end != ' ' && *end != '\t')) {
            error = where(file, s.line) + "values line must be \"width height colours chars-per-pixel\"";
            return false;
        }
        numbers.push_back(v);
        p = end;
    }
    if (numbers.size() != 4 && numbers.size() != 6) {
        error = where(file, s.line) + "values line must be \"width height colours chars-per-pixel\"";
        return false;
    }
    if (numbers[0] < 1 || numbers[0] > XPM_MAX_SIDE || numbers[1] < 1 || numbers[1] > XPM_MAX_SIDE) {
        error = where(file, s.line) + "size " + std::to_string(numbers[0]) + " x " + std::to_string(numbers[1]) +
                " is out of range (1 to 8192)";
        return false;
    }
    if (numbers[2] < 1 || numbers[2] > XPM_MAX_COLOURS) {
        error = where(file, s.line) + "colour count " + std::to_string(numbers[2]) + " is out of range";
        return false;
    }
    if (numbers[3] < 1 || numbers[3] > XPM_MAX_CPP) {
        error = where(file, s.line) + "chars per pixel " + std::to_string(numbers[3]) + " is out of range (1 to 16)";
        return false;
    }
    for (int k = 0; k < 4; k++) values[k] = (int)numbers[k];
    return true;
}

static bool is_colour_key(const std::string& word) {
    return word == "c" || word == "m" || word == "g" || word == "g4" || word == "s";
}

// One colour line: the pixel characters, then key/value pairs of which the
// "c" value is used: "#RRGGBB" or "None" (transparent, drawn as magenta).
static bool parse_colour(const std::string& file, const XpmString& s, int cpp, const std::set<uint32_t>& palette,
                         std::string& chars, uint32_t& rgb, std::string& error) {
    if ((int)s.text.size() < cpp) {
        error = where(file, s.line) + "colour line is shorter than its " + std::to_string(cpp) + " pixel characters";
        return false;
    }
    chars = s.text.substr(0, cpp);
    std::vector<std::string> words;
    size_t i = cpp;
    while (i < s.text.size()) {
        while (i < s.text.size() && isspace((unsigned char)s.text[i])) i++;
        size_t start = i;
        while (i < s.text.size() && !isspace((unsigned char)s.text[i])) i++;
        if (i > start) words.push_back(s.text.substr(start, i - start));
    }
    std::string value;
    bool found = false;
    for (size_t k = 0; k < words.size(); k++) {
        if (words[k] != "c") continue;
        for (size_t m = k + 1; m < words.size() && !is_colour_key(words[m]); m++)
            value += (m > k + 1 ? " " : "") + words[m];
        found = true;
        break;
    }
    if (!found || value.empty()) {
        error = where(file, s.line) + "colour line for \"" + chars + "\" has no \"c\" colour";
        return false;
    }
    std::string lower = value;
    for (char& c : lower) c = (char)tolower((unsigned char)c);
    if (lower == "none") {
        rgb = XPM_MAGENTA;
        return true;
    }
    if (value[0] != '#' || !parse_hex6(value.substr(1), rgb)) {
        error = where(file, s.line) + "colour \"" + value + "\" is not #RRGGBB or None";
        return false;
    }
    if (!palette.count(rgb)) {
        error = where(file, s.line) + "colour " + value + " is not in the palette (palette.inc)";
        return false;
    }
    return true;
}

static bool compile_xpm(const char* path, Bytes& out, std::string& error) {
    std::string file = path;
    std::set<uint32_t> palette;
    if (!load_palette(folder_of(file), palette, error)) return false;
    std::string text;
    if (!read_text_file(path, text, error)) return false;
    std::vector<XpmString> strings;
    if (!lex_xpm(file, text, strings, error)) return false;
    if (strings.empty()) {
        error = where(file, 1) + "no values line";
        return false;
    }
    int values[4];
    if (!parse_values(file, strings[0], values, error)) return false;
    int width = values[0], height = values[1], colours = values[2], cpp = values[3];
    if (!check_picture_size(path, strings[0].line, width, height, error)) return false;
    std::unordered_map<std::string, uint32_t> legend;
    size_t next = 1;
    for (int k = 0; k < colours; k++, next++) {
        if (next >= strings.size()) {
            error = where(file, strings.back().line) + "expected " + std::to_string(colours) + " colour lines, found " +
                    std::to_string(k);
            return false;
        }
        std::string chars;
        uint32_t rgb;
        if (!parse_colour(file, strings[next], cpp, palette, chars, rgb, error)) return false;
        if (!legend.emplace(chars, rgb).second) {
            error = where(file, strings[next].line) + "pixel characters \"" + chars + "\" are defined twice";
            return false;
        }
    }
    std::vector<uint32_t> pixels((size_t)width * height);
    for (int y = 0; y < height; y++, next++) {
        if (next >= strings.size()) {
            error = where(file, strings.back().line) + "expected " + std::to_string(height) + " pixel rows, found " +
                    std::to_string(y);
            return false;
        }
        const XpmString& row = strings[next];
        if (row.text.size() != (size_t)width * cpp) {
            error = where(file, row.line) + "pixel row is " + std::to_string(row.text.size()) +
                    " characters, expected " + std::to_string(width * cpp);
            return false;
        }
        for (int x = 0; x < width; x++) {
            auto it = legend.find(row.text.substr((size_t)x * cpp, cpp));
            if (it == legend.end()) {
                error = where(file, row.line) + "undefined pixel characters \"" +
                        row.text.substr((size_t)x * cpp, cpp) + "\" in column " + std::to_string(x + 1);
                return false;
            }
            pixels[(size_t)y * width + x] = it->second;
        }
    }
    if (next < strings.size()) {
        error = where(file, strings[next].line) + "unexpected text after the " + std::to_string(height) + " pixel rows";
        return false;
    }
    encode_bmp24(width, height, pixels, out);
    return true;
}

// The pictures the game places by their size, by entry name: a name ending in '*' stands
// for every name that begins so.
struct PictureRule {
    const char* name;
    int32_t min_width, max_width, min_height, max_height;
    int32_t width_step;   // the width is a multiple of this
    int32_t centre_step;  // (FRAME_WIDTH - width) / 2 is a multiple of this
    const char* why;
};

enum { FRAME_WIDTH = 320, PLAY_HEIGHT = 192, UNLIMITED = 1 << 30 };

static const PictureRule PICTURE_RULES[] = {
    {"blocks", FRAME_WIDTH, FRAME_WIDTH, PLAY_HEIGHT, PLAY_HEIGHT, 1, 1,
     "the tile sheet is 20 x 12 tiles of 16 pixels"},
    {"back", 16, UNLIMITED, 1, PLAY_HEIGHT, 16, 1, "a backdrop repeats in whole tiles and fits the play area"},
    {"back-*", 16, UNLIMITED, 1, PLAY_HEIGHT, 16, 1, "a backdrop repeats in whole tiles and fits the play area"},
    {"logo", 1, FRAME_WIDTH, 1, 103, 1, 1, "the title logo fits the screen and ends above the first menu line"},
    {"qv-zumo", 48, 96, 48, 96, 1, 1, "the mascot circles the logo screen at 48 to 96 pixels a side"},
    {"qv-logo", 1, FRAME_WIDTH - 1, 1, 180, 1, 2,
     "the maker's logo slides in two pixels a frame and stops centred only when (320 - width) / 2 is even"},
};

bool check_picture_size(const char* path, int32_t line, int32_t width, int32_t height, std::string& error) {
    std::string name = path;
    size_t slash = name.rfind('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    name = name.substr(0, name.rfind('.'));
    for (const PictureRule& rule : PICTURE_RULES) {
        std::string pattern = rule.name;
        bool prefix = pattern.back() == '*';
        if (prefix ? name.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) != 0 : name != pattern)
            continue;
        if (width >= rule.min_width && width <= rule.max_width && height >= rule.min_height &&
            height <= rule.max_height && width % rule.width_step == 0 &&
            (FRAME_WIDTH - width) / 2 % rule.centre_step == 0)
            return true;
        error = where(path, line) + std::to_string(width) + " x " + std::to_string(height) +
                " pixels will not do: " + rule.why;
        return false;
    }
    return true;
}

bool compile_image(const char* path, Bytes& out, std::string& error) {
    const char* dot = strrchr(path, '.');
    std::string ext = dot ? dot + 1 : "";
    if (ext == "xpm") return compile_xpm(path, out, error);
    if (ext == "sheet") return compile_sheet(path, out, error);
    if (ext == "gen") return compile_generated(path, out, error);
    error = std::string(path) + ":1: not an image source (.xpm, .sheet or .gen)";
    return false;
}
