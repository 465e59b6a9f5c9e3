// Procedural pictures (.gen): a short list of drawing commands run in order
// over a picture that starts magenta, with the generator's own random numbers
// (xorshift, so the picture is the same on every machine) and integer
// arithmetic only. Colours are names from palette.inc in the source's folder.
// Everything wraps around horizontally, so the picture tiles seamlessly
// across its own width.
//
//   # a comment
//   size W H                        picture size; W a multiple of 16, both 1 to 1024; first
//   seed N                          restarts the random numbers from N (1 to 2147483647)
//   fill Y0 Y1 C                    rows Y0 to Y1 in colour C
//   sky Y0 Y1 C1 C2 ... Cn          rows Y0 to Y1 fade from C1 to Cn through the colours
//                                   between, with an ordered 4 x 4 dither at each step
//   stars Y0 Y1 COUNT C             COUNT single pixels of C at random in rows Y0 to Y1
//   ridge BASE RISE STEP ROUGH C E  a wrapping skyline: random heights 0 to RISE above row
//                                   BASE every STEP pixels (a power of two dividing W),
//                                   refined by midpoint displacement starting at +-ROUGH;
//                                   filled with C down to the bottom, its top pixel in E
//                                   where the slope faces the light (up and to the left)
//   trees BASE COUNT MINH MAXH C    COUNT fir silhouettes of MINH to MAXH rows standing on
//                                   row BASE, at random places
//
// Anything else is refused with "file:line: what is wrong".
#include <stdint.h>
#include <string.h>

#include "compile.h"

enum { GEN_MAX_SIZE = 1024, GEN_MAX_COLOURS = 16, GEN_MAX_NUMBERS = 8 };

static const int32_t GEN_BAYER[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

struct GenState {
    const char* path;
    int32_t width;
    int32_t height;
    uint32_t random;
    std::vector<uint32_t> pixels;
    std::vector<std::string> names;
    std::vector<uint32_t> colours;
};

static bool gen_fail(const GenState& g, int32_t line, const std::string& what, std::string& error) {
    error = std::string(g.path) + ":" + std::to_string(line) + ": " + what;
    return false;
}

static uint32_t next_random(GenState& g) {
    uint32_t x = g.random;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    g.random = x;
    return x;
}

// 0 to n - 1.
static int32_t random_below(GenState& g, int32_t n) { return n > 0 ? (int32_t)(next_random(g) % (uint32_t)n) : 0; }

static bool parse_number(const std::string& word, int32_t& value) {
    size_t i = 0;
    int32_t sign = 1;
    if (!word.empty() && word[0] == '-') {
        sign = -1;
        i = 1;
    }
    if (i >= word.size() || word.size() - i > 10) return false;
    int64_t v = 0;
    for (; i < word.size(); i++) {
        if (word[i] < '0' || word[i] > '9') return false;
        v = v * 10 + (word[i] - '0');
    }
    if (v > 2147483647) return false;
    value = (int32_t)v * sign;
    return true;
}

static void split_gen_words(const std::string& line, std::vector<std::string>& words) {
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) i++;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') i++;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
}

static bool find_colour(const GenState& g, const std::string& name, uint32_t& rgb) {
    for (size_t i = 0; i < g.names.size(); i++)
        if (g.names[i] == name) {
            rgb = g.colours[i];
            return true;
        }
    return false;
}

static void put_pixel(GenState& g, int32_t x, int32_t y, uint32_t rgb) {
    if (y < 0 || y >= g.height) return;
    x %= g.width;
    if (x < 0) x += g.width;
    g.pixels[(size_t)y * (size_t)g.width + (size_t)x] = rgb;
}

static void run_fill(GenState& g, int32_t y0, int32_t y1, uint32_t rgb) {
    for (int32_t y = y0; y <= y1; y++)
        for (int32_t x = 0; x < g.width; x++) put_pixel(g, x, y, rgb);
}

static void run_sky(GenState& g, int32_t y0, int32_t y1, const uint32_t* rgb, int32_t count) {
    int32_t span = y1 - y0 > 0 ? y1 - y0 : 1;
    for (int32_t y = y0; y <= y1; y++) {
        int32_t t = (y - y0) * (count - 1) * 16 / span;
        int32_t band = t / 16, fraction = t % 16;
        for (int32_t x = 0; x < g.width; x++) {
            int32_t index = band;
            if (band < count - 1 && GEN_BAYER[y & 3][x & 3] < fraction) index = band + 1;
            if (index > count - 1) index = count - 1;
            put_pixel(g, x, y, rgb[index]);
        }
    }
}

static void run_stars(GenState& g, int32_t y0, int32_t y1, int32_t count, uint32_t rgb) {
    for (int32_t i = 0; i < count; i++) {
        int32_t x = random_below(g, g.width);
        int32_t y = y0 + random_below(g, y1 - y0 + 1);
        put_pixel(g, x, y, rgb);
    }
}

static void run_ridge(GenState& g, int32_t base, int32_t rise, int32_t step, int32_t rough, uint32_t fill,
                      uint32_t edge) {
    std::vector<int32_t> h((size_t)g.width, 0);
    for (int32_t x = 0; x < g.width; x += step) h[(size_t)x] = random_below(g, rise + 1);
    int32_t amplitude = rough;
    for (int32_t s = step; s > 1; s /= 2) {
        for (int32_t x = 0; x < g.width; x += s) {
            int32_t mid = (h[(size_t)x] + h[(size_t)((x + s) % g.width)]) / 2;
            mid += random_below(g, 2 * amplitude + 1) - amplitude;
            if (mid < 0) mid = 0;
            if (mid > rise) mid = rise;
            h[(size_t)(x + s / 2)] = mid;
        }
        amplitude /= 2;
    }
    for (int32_t x = 0; x < g.width; x++) {
        int32_t top = base - h[(size_t)x];
        int32_t left = h[(size_t)((x + g.width - 1) % g.width)];
        for (int32_t y = top; y < g.height; y++) put_pixel(g, x, y, fill);
        if (h[(size_t)x] >= left) put_pixel(g, x, top, edge);
    }
}

static void run_trees(GenState& g, int32_t base, int32_t count, int32_t min_height, int32_t max_height, uint32_t rgb) {
    for (int32_t i = 0; i < count; i++) {
        int32_t x = random_below(g, g.width);
        int32_t height = min_height + random_below(g, max_height - min_height + 1);
        for (int32_t r = 0; r < height; r++) {
            // Tiers: the outline widens down each tier of five rows, then steps back in.
            int32_t half = r / 4 + (r % 5) / 2;
            for (int32_t dx = -half; dx <= half; dx++) put_pixel(g, x + dx, base - height + 1 + r, rgb);
        }
    }
}

// Reads the numbers of words[first..] into values; false when one is not a number.
static bool parse_numbers(const std::vector<std::string>& words, size_t first, size_t count, int32_t* values) {
    for (size_t i = 0; i < count; i++)
        if (!parse_number(words[first + i], values[i])) return false;
    return true;
}

static bool check_rows(const GenState& g, int32_t line, int32_t y0, int32_t y1, std::string& error) {
    if (y0 < 0 || y1 >= g.height || y0 > y1)
        return gen_fail(g, line, "rows " + std::to_string(y0) + " to " + std::to_string(y1) + " are not in the picture",
                        error);
    return true;
}

// One command's parsed words: its numbers, its colours and where it stands.
struct GenArgs {
    int32_t line;
    const int32_t* v;
    const uint32_t* rgb;
    int32_t colours;
};

static bool do_seed(GenState& g, const GenArgs& a, std::string& error) {
    if (a.v[0] < 1) return gen_fail(g, a.line, "the seed must be 1 or more", error);
    g.random = (uint32_t)a.v[0];
    return true;
}

static bool do_fill(GenState& g, const GenArgs& a, std::string& error) {
    if (!check_rows(g, a.line, a.v[0], a.v[1], error)) return false;
    run_fill(g, a.v[0], a.v[1], a.rgb[0]);
    return true;
}

static bool do_sky(GenState& g, const GenArgs& a, std::string& error) {
    if (!check_rows(g, a.line, a.v[0], a.v[1], error)) return false;
    run_sky(g, a.v[0], a.v[1], a.rgb, a.colours);
    return true;
}

static bool do_stars(GenState& g, const GenArgs& a, std::string& error) {
    if (!check_rows(g, a.line, a.v[0], a.v[1], error)) return false;
    if (a.v[2] < 0 || a.v[2] > 100000) return gen_fail(g, a.line, "star count must be 0 to 100000", error);
    run_stars(g, a.v[0], a.v[1], a.v[2], a.rgb[0]);
    return true;
}

static bool do_ridge(GenState& g, const GenArgs& a, std::string& error) {
    const int32_t* v = a.v;
    if (v[0] < 0 || v[0] >= g.height) return gen_fail(g, a.line, "ridge base is not a row of the picture", error);
    if (v[1] < 0 || v[1] > v[0]) return gen_fail(g, a.line, "ridge rise must be 0 to its base row", error);
    if (v[2] < 1 || (v[2] & (v[2] - 1)) != 0 || g.width % v[2] != 0)
        return gen_fail(g, a.line, "ridge step must be a power of two that divides the width", error);
    if (v[3] < 0 || v[3] > GEN_MAX_SIZE) return gen_fail(g, a.line, "ridge roughness must be 0 to 1024", error);
    run_ridge(g, v[0], v[1], v[2], v[3], a.rgb[0], a.rgb[1]);
    return true;
}

static bool do_trees(GenState& g, const GenArgs& a, std::string& error) {
    const int32_t* v = a.v;
    if (v[0] < 0 || v[0] >= g.height) return gen_fail(g, a.line, "tree base is not a row of the picture", error);
    if (v[1] < 0 || v[1] > 10000) return gen_fail(g, a.line, "tree count must be 0 to 10000", error);
    if (v[2] < 1 || v[3] < v[2] || v[3] > GEN_MAX_SIZE)
        return gen_fail(g, a.line, "tree heights must satisfy 1 <= MINH <= MAXH <= 1024", error);
    run_trees(g, v[0], v[1], v[2], v[3], a.rgb[0]);
    return true;
}

// The commands: how many numbers and colours each takes (colours -1: 2 to 16), and what it does.
struct GenCommand {
    const char* name;
    size_t numbers;
    int32_t colours;
    bool (*run)(GenState& g, const GenArgs& a, std::string& error);
};

static const GenCommand GEN_COMMANDS[] = {
    {"seed", 1, 0, do_seed},   {"fill", 2, 1, do_fill},   {"sky", 2, -1, do_sky},
    {"stars", 3, 1, do_stars}, {"ridge", 4, 2, do_ridge}, {"trees", 4, 1, do_trees},
};

static bool run_command(GenState& g, const std::vector<std::string>& w, int32_t line, std::string& error) {
    const std::string& name = w[0];
    const GenCommand* command = nullptr;
    for (const GenCommand& c : GEN_COMMANDS)
        if (name == c.name) command = &c;
    if (!command) return gen_fail(g, line, "unknown command \"" + name + "\"", error);
    size_t numbers = command->numbers;
    size_t names = (size_t)command->colours;
    if (command->colours < 0) {
        if (w.size() < numbers + 3 || w.size() > numbers + 1 + GEN_MAX_COLOURS)
            return gen_fail(g, line, "\"" + name + "\" takes two rows and 2 to 16 colours", error);
        names = w.size() - 1 - numbers;
    }
    if (w.size() != 1 + numbers + names)
        return gen_fail(g, line,
                        "\"" + name + "\" takes " + std::to_string(numbers) + " numbers and " + std::to_string(names) +
                            (names == 1 ? " colour" : " colours"),
                        error);
    int32_t v[GEN_MAX_NUMBERS];
    uint32_t rgb[GEN_MAX_COLOURS];
    if (!parse_numbers(w, 1, numbers, v)) return gen_fail(g, line, "\"" + name + "\" expects whole numbers", error);
    for (size_t i = 0; i < names; i++)
        if (!find_colour(g, w[1 + numbers + i], rgb[i]))
            return gen_fail(g, line, "colour \"" + w[1 + numbers + i] + "\" is not in the palette", error);
    GenArgs args = {line, v, rgb, (int32_t)names};
    return command->run(g, args, error);
}

bool compile_generated(const char* path, Bytes& out, std::string& error) {
    GenState g;
    g.path = path;
    g.width = 0;
    g.height = 0;
    g.random = 1;
    if (!read_palette_file(path, g.names, g.colours, error)) return false;
    std::string text;
    if (!read_text_file(path, text, error)) return false;

    std::vector<std::string> words;
    size_t start = 0;
    int32_t line = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        line++;
        split_gen_words(text.substr(start, end - start), words);
        start = end + 1;
        if (words.empty() || words[0][0] == '#') continue;
        if (words[0] == "size") {
            if (g.width) return gen_fail(g, line, "the size is given twice", error);
            int32_t v[2];
            if (words.size() != 3 || !parse_numbers(words, 1, 2, v))
                return gen_fail(g, line, "expected \"size W H\"", error);
            if (v[0] < 16 || v[0] > GEN_MAX_SIZE || v[0] % 16 != 0 || v[1] < 1 || v[1] > GEN_MAX_SIZE)
                return gen_fail(g, line, "size must be a width of 16 to 1024 in steps of 16 and a height of 1 to 1024",
                                error);
            g.width = v[0];
            g.height = v[1];
            g.pixels.assign((size_t)g.width * (size_t)g.height, 0xFF00FF);
            continue;
        }
        if (!g.width) return gen_fail(g, line, "\"size W H\" must come first", error);
        if (!run_command(g, words, line, error)) return false;
    }
    if (!g.width) return gen_fail(g, line > 0 ? line : 1, "no \"size W H\" given", error);
    encode_bmp24(g.width, g.height, g.pixels, out);
    return true;
}
