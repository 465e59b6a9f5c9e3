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
//   disc X Y R XSTEP C              a filled circle of radius R centred on (X, Y), repeated
//                                   every XSTEP pixels across (0: once; else it divides W)
//   veil Y0 Y1 FROM TO C            C laid over rows Y0 to Y1 in an ordered dither whose
//                                   density goes from FROM to TO sixteenths
//   rocks Y0 Y1 COUNT C1 C2 L D     rows Y0 to Y1 broken into COUNT flat stones (each the
//                                   nearest of COUNT random points, rows counting double),
//                                   shaded from C1 at the upper left to C2 at the lower right,
//                                   with lit edges L up and left and cracks D
//   drips TOP COUNT MIN MAX C       COUNT tapering spikes of MIN to MAX rows hanging from TOP
//   spires BASE COUNT MIN MAX C     the same standing on row BASE
//   panels Y0 Y1 W H C L D          rows Y0 to Y1 as a grid of W x H panels of C with lit top
//                                   and left edges L and dark bottom and right edges D (W
//                                   divides the width)
//   rect X Y W H XSTEP YSTEP C      a W x H rectangle at (X, Y), repeated every XSTEP pixels
//                                   across (dividing the width) and every YSTEP rows down to
//                                   the bottom (0: no repeat that way)
//   reflect Y0 Y1 FROM TO C         rows Y0 to Y1 mirror the rows above Y0, each shifted by up
//                                   to 2 pixels like rippling water, under a veil of C (FROM
//                                   to TO as in "veil")
//   dashes X0 X1 Y0 Y1 COUNT LEN C  COUNT horizontal dashes of 1 to LEN pixels starting in
//                                   columns X0 to X1 and rows Y0 to Y1
//   lattice Y0 Y1 STEP C            a truss: lines along rows Y0 and Y1 and zigzag struts
//                                   between them, STEP pixels a bay (even, divides the width)
//
// Anything else is refused with "file:line: what is wrong".
#include <stdint.h>
#include <string.h>

#include "compile.h"

enum { GEN_MAX_SIZE = 1024, GEN_MAX_COLOURS = 16, GEN_MAX_NUMBERS = 8 };
// The most pixel visits one command may make, so that no source keeps the build busy for long.
static const int64_t GEN_MAX_WORK = 64 * 1024 * 1024;

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
            int32_t next = (x + s) % g.width, half = x + s / 2;
            int32_t mid = (h[(size_t)x] + h[(size_t)next]) / 2;
            mid += random_below(g, 2 * amplitude + 1) - amplitude;
            if (mid < 0) mid = 0;
            if (mid > rise) mid = rise;
            h[(size_t)half] = mid;
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

static uint32_t get_pixel(const GenState& g, int32_t x, int32_t y) {
    x %= g.width;
    if (x < 0) x += g.width;
    return g.pixels[(size_t)y * (size_t)g.width + (size_t)x];
}

// An ordered-dither density of 0 to 16 at (x, y): true where a colour laid at that density shows.
static bool dither_on(int32_t x, int32_t y, int32_t density) { return GEN_BAYER[y & 3][x & 3] < density; }

// Density from `from` at row y0 to `to` at row y1.
static int32_t ramp(int32_t y, int32_t y0, int32_t y1, int32_t from, int32_t to) {
    int32_t span = y1 - y0 > 0 ? y1 - y0 : 1;
    return from + (to - from) * (y - y0) / span;
}

static void run_disc(GenState& g, int32_t cx, int32_t cy, int32_t r, int32_t step, uint32_t rgb) {
    for (int32_t x = cx; x<cx + g.width; x += step> 0 ? step : g.width)
        for (int32_t dy = -r; dy <= r; dy++)
            for (int32_t dx = -r; dx <= r; dx++)
                if (dx * dx + dy * dy <= r * r + r) put_pixel(g, x + dx, cy + dy, rgb);
}

static void run_veil(GenState& g, int32_t y0, int32_t y1, int32_t from, int32_t to, uint32_t rgb) {
    for (int32_t y = y0; y <= y1; y++) {
        int32_t density = ramp(y, y0, y1, from, to);
        for (int32_t x = 0; x < g.width; x++)
            if (dither_on(x, y, density)) put_pixel(g, x, y, rgb);
    }
}

// Signed horizontal offset from column b to column a the short way round the wrapping picture.
static int32_t wrapped_offset(const GenState& g, int32_t a, int32_t b) {
    int32_t d = (a - b) % g.width;
    if (d < 0) d += g.width;
    return d <= g.width / 2 ? d : d - g.width;
}

static void run_rocks(GenState& g, int32_t y0, int32_t y1, int32_t count, const uint32_t* rgb) {
    std::vector<int32_t> seed_x((size_t)count), seed_y((size_t)count);
    for (int32_t i = 0; i < count; i++) {
        seed_x[(size_t)i] = random_below(g, g.width);
        seed_y[(size_t)i] = y0 + random_below(g, y1 - y0 + 1);
    }
    // Each pixel belongs to its nearest point; rows count double, so the stones lie flat like strata.
    int32_t rows = y1 - y0 + 1;
    std::vector<int32_t> owner((size_t)rows * (size_t)g.width);
    for (int32_t y = y0; y <= y1; y++)
        for (int32_t x = 0; x < g.width; x++) {
            int32_t best = 0, best_distance = 0x7fffffff;
            for (int32_t i = 0; i < count; i++) {
                int32_t dx = wrapped_offset(g, x, seed_x[(size_t)i]), dy = 2 * (y - seed_y[(size_t)i]);
                int32_t d = dx * dx + dy * dy;
                if (d < best_distance) best_distance = d, best = i;
            }
            owner[(size_t)(y - y0) * (size_t)g.width + (size_t)x] = best;
        }
    auto owner_at = [&](int32_t x, int32_t y) {
        if (y < y0) y = y0;
        if (y > y1) y = y1;
        x %= g.width;
        if (x < 0) x += g.width;
        return owner[(size_t)(y - y0) * (size_t)g.width + (size_t)x];
    };
    for (int32_t y = y0; y <= y1; y++)
        for (int32_t x = 0; x < g.width; x++) {
            int32_t me = owner_at(x, y);
            // Light from the upper left: each stone turns from C1 to C2 towards its lower right.
            int32_t slope = wrapped_offset(g, x, seed_x[(size_t)me]) + 2 * (y - seed_y[(size_t)me]);
            int32_t density = 8 + slope / 2;
            uint32_t colour = dither_on(x, y, density) ? rgb[1] : rgb[0];
            if (owner_at(x + 1, y) != me || owner_at(x, y + 1) != me)
                colour = rgb[3];
            else if (owner_at(x - 1, y) != me || owner_at(x, y - 1) != me)
                colour = rgb[2];
            put_pixel(g, x, y, colour);
        }
}

// Tapering spikes of `length` rows from row `start`, downwards (step 1) or upwards (step -1).
static void run_spikes(GenState& g, int32_t start, int32_t step, int32_t count, int32_t min_length, int32_t max_length,
                       uint32_t rgb) {
    for (int32_t i = 0; i < count; i++) {
        int32_t x = random_below(g, g.width);
        int32_t length = min_length + random_below(g, max_length - min_length + 1);
        int32_t base_half = length / 6 + 1;
        for (int32_t r = 0; r < length; r++) {
            int32_t half = base_half * (length - r) / length;
            for (int32_t dx = -half; dx <= half; dx++) put_pixel(g, x + dx, start + step * r, rgb);
        }
    }
}

static void run_panels(GenState& g, int32_t y0, int32_t y1, int32_t w, int32_t h, const uint32_t* rgb) {
    for (int32_t y = y0; y <= y1; y++)
        for (int32_t x = 0; x < g.width; x++) {
            int32_t px = x % w, py = (y - y0) % h;
            uint32_t colour = rgb[0];
            if (px == w - 1 || py == h - 1)
                colour = rgb[2];
            else if (px == 0 || py == 0)
                colour = rgb[1];
            put_pixel(g, x, y, colour);
        }
}

static void run_rect(GenState& g, const int32_t* v, uint32_t rgb) {
    int32_t x_step = v[4] > 0 ? v[4] : g.width, y_step = v[5] > 0 ? v[5] : g.height;
    for (int32_t top = v[1]; top < g.height; top += y_step)
        for (int32_t left = v[0]; left < v[0] + g.width; left += x_step)
            for (int32_t y = top; y < top + v[3]; y++)
                for (int32_t x = left; x < left + v[2]; x++) put_pixel(g, x, y, rgb);
}

// Mirrors the rows above y0 into rows y0 to y1, each row shifted a little as by ripples,
// under a veil of the water colour that thickens from `from` to `to`.
static void run_reflect(GenState& g, int32_t y0, int32_t y1, int32_t from, int32_t to, uint32_t rgb) {
    for (int32_t y = y0; y <= y1; y++) {
        int32_t source = y0 - 1 - (y - y0);
        int32_t shift = random_below(g, 5) - 2;
        int32_t density = ramp(y, y0, y1, from, to);
        for (int32_t x = 0; x < g.width; x++) {
            uint32_t colour = dither_on(x, y, density) ? rgb : get_pixel(g, x + shift, source);
            put_pixel(g, x, y, colour);
        }
    }
}

static void run_dashes(GenState& g, int32_t x0, int32_t x1, int32_t y0, int32_t y1, int32_t count, int32_t max_length,
                       uint32_t rgb) {
    for (int32_t i = 0; i < count; i++) {
        int32_t x = x0 + random_below(g, x1 - x0 + 1);
        int32_t y = y0 + random_below(g, y1 - y0 + 1);
        int32_t length = 1 + random_below(g, max_length);
        for (int32_t k = 0; k < length; k++) put_pixel(g, x + k, y, rgb);
    }
}

// A truss: chords on rows y0 and y1 and a zigzag of struts between them, STEP pixels a bay.
static void run_lattice(GenState& g, int32_t y0, int32_t y1, int32_t step, uint32_t rgb) {
    for (int32_t x = 0; x < g.width; x++) {
        put_pixel(g, x, y0, rgb);
        put_pixel(g, x, y1, rgb);
    }
    for (int32_t left = 0; left < g.width; left += step)
        for (int32_t y = y0; y <= y1; y++) {
            int32_t offset = (y - y0) * (step / 2) / (y1 - y0);
            put_pixel(g, left + offset, y, rgb);
            put_pixel(g, left + step - offset, y, rgb);
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

static bool check_count(const GenState& g, int32_t line, int32_t count, int32_t most, std::string& error) {
    if (count < 0 || count > most) return gen_fail(g, line, "count must be 0 to " + std::to_string(most), error);
    return true;
}

static bool check_density(const GenState& g, int32_t line, int32_t from, int32_t to, std::string& error) {
    if (from < 0 || from > 16 || to < 0 || to > 16) return gen_fail(g, line, "densities must be 0 to 16", error);
    return true;
}

static bool divides_width(const GenState& g, int32_t step) { return step > 0 && g.width % step == 0; }

// A column may lie up to a picture's width outside it on either side (it wraps).
static bool check_column(const GenState& g, int32_t line, int32_t x, std::string& error) {
    if (x < -g.width || x >= 2 * g.width)
        return gen_fail(g, line, "column " + std::to_string(x) + " is too far outside the picture", error);
    return true;
}

static bool do_disc(GenState& g, const GenArgs& a, std::string& error) {
    if (a.v[2] < 1 || a.v[2] > 256) return gen_fail(g, a.line, "disc radius must be 1 to 256", error);
    if (!check_column(g, a.line, a.v[0], error)) return false;
    if (a.v[1] < -256 || a.v[1] >= g.height + 256)
        return gen_fail(g, a.line, "the disc is not near the picture", error);
    if (a.v[3] != 0 && !divides_width(g, a.v[3]))
        return gen_fail(g, a.line, "the repeat must be 0 or divide the width", error);
    run_disc(g, a.v[0], a.v[1], a.v[2], a.v[3], a.rgb[0]);
    return true;
}

static bool do_veil(GenState& g, const GenArgs& a, std::string& error) {
    if (!check_rows(g, a.line, a.v[0], a.v[1], error) || !check_density(g, a.line, a.v[2], a.v[3], error)) return false;
    run_veil(g, a.v[0], a.v[1], a.v[2], a.v[3], a.rgb[0]);
    return true;
}

static bool do_rocks(GenState& g, const GenArgs& a, std::string& error) {
    if (!check_rows(g, a.line, a.v[0], a.v[1], error)) return false;
    if (a.v[2] < 1 || a.v[2] > 2000) return gen_fail(g, a.line, "rock count must be 1 to 2000", error);
    if ((int64_t)a.v[2] * g.width * (a.v[1] - a.v[0] + 1) > GEN_MAX_WORK)
        return gen_fail(g, a.line, "too many rocks for so many rows", error);
    run_rocks(g, a.v[0], a.v[1], a.v[2], a.rgb);
    return true;
}

static bool check_spikes(const GenState& g, const GenArgs& a, std::string& error) {
    if (a.v[0] < 0 || a.v[0] >= g.height) return gen_fail(g, a.line, "the row is not in the picture", error);
    if (!check_count(g, a.line, a.v[1], 10000, error)) return false;
    if (a.v[2] < 1 || a.v[3] < a.v[2] || a.v[3] > GEN_MAX_SIZE)
        return gen_fail(g, a.line, "lengths must satisfy 1 <= MIN <= MAX <= 1024", error);
    return true;
}

static bool do_drips(GenState& g, const GenArgs& a, std::string& error) {
    if (!check_spikes(g, a, error)) return false;
    run_spikes(g, a.v[0], 1, a.v[1], a.v[2], a.v[3], a.rgb[0]);
    return true;
}

static bool do_spires(GenState& g, const GenArgs& a, std::string& error) {
    if (!check_spikes(g, a, error)) return false;
    run_spikes(g, a.v[0], -1, a.v[1], a.v[2], a.v[3], a.rgb[0]);
    return true;
}

static bool do_panels(GenState& g, const GenArgs& a, std::string& error) {
    if (!check_rows(g, a.line, a.v[0], a.v[1], error)) return false;
    if (a.v[2] < 3 || !divides_width(g, a.v[2]) || a.v[3] < 3 || a.v[3] > GEN_MAX_SIZE)
        return gen_fail(g, a.line, "panels must be at least 3 x 3, their width dividing the picture's", error);
    run_panels(g, a.v[0], a.v[1], a.v[2], a.v[3], a.rgb);
    return true;
}

static bool do_rect(GenState& g, const GenArgs& a, std::string& error) {
    const int32_t* v = a.v;
    if (!check_column(g, a.line, v[0], error)) return false;
    if (v[2] < 1 || v[2] > g.width || v[3] < 1 || v[1] < 0 || v[3] > g.height - v[1])
        return gen_fail(g, a.line, "the rectangle is not in the picture", error);
    if ((v[4] != 0 && !divides_width(g, v[4])) || v[5] < 0)
        return gen_fail(g, a.line, "the across repeat must be 0 or divide the width, the down repeat 0 or more", error);
    int64_t copies = (int64_t)(v[4] ? g.width / v[4] : 1) * (v[5] ? g.height / v[5] + 1 : 1);
    if (copies * v[2] * v[3] > GEN_MAX_WORK) return gen_fail(g, a.line, "the rectangles cover too much", error);
    run_rect(g, v, a.rgb[0]);
    return true;
}

static bool do_reflect(GenState& g, const GenArgs& a, std::string& error) {
    if (!check_rows(g, a.line, a.v[0], a.v[1], error) || !check_density(g, a.line, a.v[2], a.v[3], error)) return false;
    if (a.v[0] - (a.v[1] - a.v[0]) - 1 < 0)
        return gen_fail(g, a.line, "there are not enough rows above the water to reflect", error);
    run_reflect(g, a.v[0], a.v[1], a.v[2], a.v[3], a.rgb[0]);
    return true;
}

static bool do_dashes(GenState& g, const GenArgs& a, std::string& error) {
    const int32_t* v = a.v;
    if (!check_column(g, a.line, v[0], error) || !check_column(g, a.line, v[1], error)) return false;
    if (v[0] > v[1]) return gen_fail(g, a.line, "the columns must run left to right", error);
    if (!check_rows(g, a.line, v[2], v[3], error) || !check_count(g, a.line, v[4], 100000, error)) return false;
    if (v[5] < 1 || v[5] > g.width) return gen_fail(g, a.line, "dash length must be 1 to the width", error);
    run_dashes(g, v[0], v[1], v[2], v[3], v[4], v[5], a.rgb[0]);
    return true;
}

static bool do_lattice(GenState& g, const GenArgs& a, std::string& error) {
    if (!check_rows(g, a.line, a.v[0], a.v[1], error)) return false;
    if (a.v[1] == a.v[0]) return gen_fail(g, a.line, "a lattice needs two different rows", error);
    if (!divides_width(g, a.v[2]) || a.v[2] % 2 != 0)
        return gen_fail(g, a.line, "the bay must be even and divide the picture's width", error);
    run_lattice(g, a.v[0], a.v[1], a.v[2], a.rgb[0]);
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
    {"seed", 1, 0, do_seed},       {"fill", 2, 1, do_fill},       {"sky", 2, -1, do_sky},
    {"stars", 3, 1, do_stars},     {"ridge", 4, 2, do_ridge},     {"trees", 4, 1, do_trees},
    {"disc", 4, 1, do_disc},       {"veil", 4, 1, do_veil},       {"rocks", 3, 4, do_rocks},
    {"drips", 4, 1, do_drips},     {"spires", 4, 1, do_spires},   {"panels", 4, 3, do_panels},
    {"rect", 6, 1, do_rect},       {"reflect", 4, 1, do_reflect}, {"dashes", 6, 1, do_dashes},
    {"lattice", 3, 1, do_lattice},
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
            if (!check_picture_size(path, line, v[0], v[1], error)) return false;
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
