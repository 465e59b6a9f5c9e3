// The built pictures (the data compiler checks their sizes): which tiles of
// "blocks" hold art, the water strip, the hero and UFO frames, the backdrops and
// how a level's backdrop is chosen, and the images of the title and logo screens.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "compile.h"
#include "floob.h"
#include "gfx/image.h"
#include "shell/replay.h"
#include "storage/archive.h"
#include "support/support.h"
#include "world/backdrop.h"
#include "world/level.h"
#include "world/map.h"

namespace {

const uint32_t MAGENTA = 0xFF00FF;

// Relative luminance of an sRGB colour and the contrast ratio of two colours (1 to 21).
double luminance(uint32_t rgb) {
    auto lin = [](uint32_t c) {
        double v = c / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(rgb >> 16 & 255) + 0.7152 * lin(rgb >> 8 & 255) + 0.0722 * lin(rgb & 255);
}

double contrast(uint32_t a, uint32_t b) {
    double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

const uint32_t INK = 0x14101E;

struct Picture {
    int width = 0;
    int height = 0;
    int bits = 0;
    std::vector<uint32_t> rgb;
    uint32_t at(int x, int y) const { return rgb[(size_t)y * width + x]; }
};

// Decodes an uncompressed 24-bit Windows BMP; width 0 when it is anything else.
Picture decode(const std::string& bytes) {
    Picture p;
    const unsigned char* b = (const unsigned char*)bytes.data();
    if (bytes.size() < 54 || b[0] != 'B' || b[1] != 'M') return p;
    auto u32 = [&](size_t i) {
        return (uint32_t)b[i] | (uint32_t)b[i + 1] << 8 | (uint32_t)b[i + 2] << 16 | (uint32_t)b[i + 3] << 24;
    };
    uint32_t offset = u32(10);
    int width = (int)u32(18), height = (int)u32(22);
    p.bits = b[28] | b[29] << 8;
    if (p.bits != 24 || u32(30) != 0 || width <= 0 || height <= 0) return p;
    size_t row = ((size_t)width * 3 + 3) & ~(size_t)3;
    if (offset + row * height > bytes.size()) return p;
    p.width = width;
    p.height = height;
    p.rgb.resize((size_t)width * height);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            size_t i = offset + row * (height - 1 - y) + (size_t)x * 3;
            p.rgb[(size_t)y * width + x] = (uint32_t)b[i] | (uint32_t)b[i + 1] << 8 | (uint32_t)b[i + 2] << 16;
        }
    return p;
}

Picture entry(const char* name) {
    return decode(read_file(std::string(FLOOB_BINARY_DIR) + "/entries/gfx/" + name + ".bmp"));
}

// Opaque pixels of tile n.
int opaque_in_tile(const Picture& sheet, int n) {
    int count = 0;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++)
            if (sheet.at((n % 20) * 16 + x, (n / 20) * 16 + y) != MAGENTA) count++;
    return count;
}

uint32_t tile_pixel(const Picture& sheet, int n, int x, int y) {
    return sheet.at((n % 20) * 16 + x, (n / 20) * 16 + y);
}

// Every code the game gives a role (hero, enemies and spawn markers, items, exits,
// special blocks, traps, water, solid terrain, front layer) and the scenery that
// level designers are given; every other code stays empty.
const int CODES_WITH_ART[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 26,
                              27, 28, 30, 31, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 47, 48, 53, 54, 55, 56,
                              57, 58, 59, 63, 64, 65, 66, 67, 68, 69, 80, 81, 82, 83, 84, 85, 86, 87, 88, 89, 92, 93,
                              95, 96, 97, 98, 99, 100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113,
                              114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 129, 130, 131, 132, 133,
                              134, 140, 141, 142, 143, 144, 145, 146, 149, 150, 151, 152, 153, 154, 160, 161, 162, 163,
                              164, 165, 166, 170, 171, 172, 180, 181, 182, 183, 200, 201, 202, 203,
                              // scenery
                              25, 45, 46, 49, 50, 51, 52, 60, 70, 72, 73, 74, 127, 128, 135, 136, 137, 138, 147, 148,
                              155, 156, 157, 158, 167, 168, 173, 175, 176, 177, 178, 190, 191, 192, 193, 90,
                              // scenery on a back wall
                              71, 75, 76, 77, 78, 194, 195, 196, 197, 198, 199, 204, 205, 206, 207, 208, 209};

// Scenery with its back wall painted in: code, wall, scenery.
const int WALL_VARIANTS[][3] = {{71, 70, 72},    {75, 70, 73},    {76, 70, 74},    {77, 70, 92},    {78, 70, 93},
                                {194, 190, 173}, {195, 190, 97},  {196, 190, 98},  {197, 190, 99},  {198, 190, 117},
                                {199, 190, 118}, {204, 190, 119}, {205, 190, 112}, {206, 190, 113}, {207, 190, 114},
                                {208, 60, 52},   {209, 60, 46}};

// Codes the game acts on (start markers, spawns, items, exits, blocks, traps, water, effects):
// a scenery variant must be none of these.
const int ROLE_CODES[] = {1,   2,   3,   4,   5,   6,   7,   8,   9,   13,  17,  18,  19,  20,  22,
                          24,  26,  27,  28,  33,  38,  39,  40,  41,  47,  48,  53,  58,  59,  65,
                          66,  67,  68,  69,  85,  86,  87,  88,  89,  105, 121, 140, 145, 146, 160,
                          161, 162, 163, 164, 165, 166, 180, 181, 182, 183, 200, 201, 202, 203};

const uint32_t DEEP_WATER = 0x0E2A4A;

const int FRONT_LAYER[] = {81,  82,  83,  84,  92,  93,  95,  96,  97,  98,  99,  101, 102, 103,
                           104, 106, 107, 108, 109, 112, 113, 114, 117, 118, 119, 129, 149};

}  // namespace

TEST(Art, KeyedImagesAreTransparentAroundTheirShapes) {
    for (const char* name : {"logo", "qv-zumo", "qv-logo"}) {
        Picture p = entry(name);
        ASSERT_GT(p.width, 0) << name;
        EXPECT_EQ(p.at(0, p.height - 1), MAGENTA) << name;
        EXPECT_EQ(p.at(p.width - 1, 0), MAGENTA) << name;
        int opaque = 0;
        for (uint32_t c : p.rgb) opaque += c != MAGENTA;
        EXPECT_GT(opaque, (int)p.rgb.size() / 5) << name;
    }
}

TEST(Art, EveryCodeWithARoleHasArtAndTheOthersAreEmpty) {
    Picture blocks = entry("blocks");
    ASSERT_EQ(blocks.width, 320);
    std::set<int> art(std::begin(CODES_WITH_ART), std::end(CODES_WITH_ART));
    for (int n = 0; n < 240; n++) {
        if (art.count(n))
            EXPECT_GT(opaque_in_tile(blocks, n), 8) << "tile " << n << " has no art";
        else
            EXPECT_EQ(opaque_in_tile(blocks, n), 0) << "tile " << n << " has no role but is not empty";
    }
}

TEST(Art, HeroFramesStandOnTheBottomRowAndFaceBothWays) {
    Picture blocks = entry("blocks");
    ASSERT_EQ(blocks.width, 320);
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 24, 65, 68}) {
        int feet = 0, widest = 0;
        for (int x = 0; x < 16; x++) feet += tile_pixel(blocks, n, x, 15) != MAGENTA;
        for (int y = 0; y < 16; y++) {
            int row = 0;
            for (int x = 0; x < 16; x++) row += tile_pixel(blocks, n, x, y) != MAGENTA;
            if (row > widest) widest = row;
        }
        EXPECT_GT(feet, 0) << "frame " << n << " floats above the ground";
        EXPECT_GE(widest, 12) << "frame " << n << " does not fill its box";
    }
    // every frame turned the other way keeps the mirrored outline, mask, eyes and
    // feet (so the hit box is the mirror too), but its body is shaded again so the
    // light still comes from the upper left: in both frames the highlight sits left
    // of the middle of the shaded body
    struct Turned {
        std::vector<std::pair<int, int>> frames;
        std::vector<uint32_t> body;  // the shading ramp, highlight first
    };
    const std::vector<uint32_t> STEEL = {0xD3CDE0, 0x9A8FA8, 0x6B5A7A, 0x4A3A5C, 0x2E2540};
    const Turned turned[] = {
        {{{1, 5}, {2, 6}, {3, 7}, {4, 8}, {65, 68}}, {0xFFD93D, 0xFF9A5A, 0xE84A4A}},  // the hero
        {{{13, 15}, {14, 16}}, {0xE84A4A, 0xA8243A, 0x5A1020, 0xFFD93D}},              // the bug's shell
        {{{53, 55}, {54, 56}}, STEEL},                                                 // the steelfish
        {{{121, 144}, {122, 143}, {123, 142}, {124, 141}}, STEEL},                     // the android
    };
    for (const Turned& t : turned) {
        auto is_body = [&](uint32_t c) { return std::find(t.body.begin(), t.body.end(), c) != t.body.end(); };
        for (const auto& p : t.frames) {
            for (int n : {p.first, p.second}) {
                long lit = 0, lit_x = 0, body = 0, body_x = 0;
                for (int y = 0; y < 16; y++)
                    for (int x = 0; x < 16; x++) {
                        uint32_t c = tile_pixel(blocks, n, x, y);
                        if (c == t.body[0]) lit++, lit_x += x;
                        if (is_body(c)) body++, body_x += x;
                    }
                ASSERT_GT(lit, 0) << "frame " << n << " has no highlight";
                EXPECT_LT(lit_x * body, body_x * lit) << "frame " << n << " is lit from the right";
            }
            for (int y = 0; y < 16; y++)
                for (int x = 0; x < 16; x++) {
                    uint32_t one = tile_pixel(blocks, p.first, x, y), other = tile_pixel(blocks, p.second, 15 - x, y);
                    if (is_body(one) && is_body(other)) continue;
                    ASSERT_EQ(one, other) << p.first << " and " << p.second << " at " << x << "," << y;
                }
        }
    }
    // the walk cycle really moves
    int changed = 0;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) changed += tile_pixel(blocks, 1, x, y) != tile_pixel(blocks, 2, x, y);
    EXPECT_GT(changed, 10);
}

TEST(Art, WaterStripJoinsSeamlesslyAcrossItsWidth) {
    Picture blocks = entry("blocks");
    ASSERT_EQ(blocks.width, 320);
    // strip = tiles 160 and 161: x 0..31, y 128..143; it is shown rotated by any amount
    auto surface = [&](int x) {
        for (int y = 0; y < 16; y++)
            if (blocks.at(x, 128 + y) != MAGENTA) return y;
        return 16;
    };
    for (int x = 0; x < 32; x++) {
        int next = (x + 1) % 32;
        EXPECT_LE(abs(surface(x) - surface(next)), 1) << "surface jumps between columns " << x << " and " << next;
        EXPECT_LT(surface(x), 8) << "column " << x << " has no water";
        for (int y = surface(x); y < 16; y++) EXPECT_NE(blocks.at(x, 128 + y), MAGENTA) << "hole at " << x << "," << y;
    }
    // below the waves the strip continues into the plain water tile 85
    for (int x = 0; x < 16; x++) EXPECT_EQ(tile_pixel(blocks, 160, x, 15), tile_pixel(blocks, 85, x, 15));
}

TEST(Art, TrapsAndLayersLookAsTheyBehave) {
    Picture blocks = entry("blocks");
    ASSERT_EQ(blocks.width, 320);
    // the hidden spike trap is the harmless pebbles, pixel for pixel
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) ASSERT_EQ(tile_pixel(blocks, 86, x, y), tile_pixel(blocks, 25, x, y));
    // deadly tiles never share a picture with a passable one
    for (int deadly : {87, 105, 140})
        for (int n = 1; n < 240; n++) {
            if (n == 87 || n == 105 || n == 140) continue;
            int same = 1;
            for (int i = 0; i < 256 && same; i++)
                same = tile_pixel(blocks, deadly, i % 16, i / 16) == tile_pixel(blocks, n, i % 16, i / 16);
            EXPECT_FALSE(same) << "tile " << n << " looks like deadly tile " << deadly;
        }
    // things drawn in front of the sprites leave the sprites partly visible
    for (int n : FRONT_LAYER) {
        int opaque = opaque_in_tile(blocks, n);
        EXPECT_LT(opaque, 256 * 3 / 4) << "front tile " << n << " would hide the hero";
    }
    // terrain fills are opaque so that they join without holes
    for (int n : {151, 134, 116, 31, 43, 44, 63, 64, 21}) EXPECT_EQ(opaque_in_tile(blocks, n), 256) << "tile " << n;
}

// Pixel column x of tile a equals pixel column y of tile b (y as a column index too).
bool columns_match(const Picture& sheet, int a, int xa, int b, int xb) {
    for (int y = 0; y < 16; y++)
        if (tile_pixel(sheet, a, xa, y) != tile_pixel(sheet, b, xb, y)) return false;
    return true;
}

bool rows_match(const Picture& sheet, int a, int ya, int b, int yb) {
    for (int x = 0; x < 16; x++)
        if (tile_pixel(sheet, a, x, ya) != tile_pixel(sheet, b, x, yb)) return false;
    return true;
}

bool same_picture(const Picture& sheet, int a, int b) {
    for (int i = 0; i < 256; i++)
        if (tile_pixel(sheet, a, i % 16, i / 16) != tile_pixel(sheet, b, i % 16, i / 16)) return false;
    return true;
}

TEST(Art, PipesAndRailingsJoinWhereTheyMeet) {
    Picture blocks = entry("blocks");
    ASSERT_EQ(blocks.width, 320);
    // the elbows take the straight pipe in from the side and hand it on downwards
    EXPECT_TRUE(columns_match(blocks, 117, 0, 97, 0)) << "117 does not continue the pipe 97 on its left";
    EXPECT_TRUE(columns_match(blocks, 118, 15, 97, 15)) << "118 does not continue the pipe 97 on its right";
    EXPECT_TRUE(rows_match(blocks, 117, 15, 99, 0)) << "117 does not lead into the upright pipe 99 below";
    EXPECT_TRUE(rows_match(blocks, 118, 15, 99, 0)) << "118 does not lead into the upright pipe 99 below";
    EXPECT_TRUE(rows_match(blocks, 99, 15, 99, 0)) << "the upright pipe does not stack";
    EXPECT_TRUE(columns_match(blocks, 97, 15, 97, 0)) << "the straight pipe does not repeat";
    // a railing is built as 112, any number of 113, 114: each seam continues the next tile
    EXPECT_TRUE(columns_match(blocks, 112, 15, 113, 15)) << "left end does not meet the middle";
    EXPECT_TRUE(columns_match(blocks, 114, 0, 113, 0)) << "right end does not meet the middle";
    for (int y = 0; y < 16; y++) {
        // the handrail runs unbroken from one middle piece into the next
        bool rail_right = tile_pixel(blocks, 113, 15, y) != MAGENTA,
             rail_left = tile_pixel(blocks, 113, 0, y) != MAGENTA;
        EXPECT_EQ(rail_right, rail_left) << "railing middle breaks at row " << y;
    }
    // the ends are not the middle piece
    EXPECT_FALSE(same_picture(blocks, 112, 113));
    EXPECT_FALSE(same_picture(blocks, 114, 113));
}

TEST(Art, CrumblingFloorAndClosedExitAreTheirOwnPictures) {
    Picture blocks = entry("blocks");
    ASSERT_EQ(blocks.width, 320);
    // the crumbling floor is recognisable: no other solid tile looks like it
    for (int n : {20,  21,  23,  30,  31,  40,  43,  44,  63,  64,  66,  69,  110, 111, 115,
                  116, 130, 131, 132, 133, 134, 150, 151, 152, 153, 154, 170, 171, 172})
        EXPECT_FALSE(same_picture(blocks, 22, n)) << "solid tile " << n << " looks like the crumbling floor";
    // each stage of the crumble keeps less of the slab (the top 12 rows; crumbs fall below it) than the one
    // before, and the last one still shows dust
    auto slab = [&](int n) {
        int count = 0;
        for (int i = 0; i < 16 * 12; i++) count += tile_pixel(blocks, n, i % 16, i / 16) != MAGENTA;
        return count;
    };
    const int stages[] = {22, 180, 181, 182, 183};
    for (int i = 1; i < 5; i++) {
        EXPECT_FALSE(same_picture(blocks, stages[i - 1], stages[i])) << "stage " << stages[i] << " shows no change";
        if (i > 1) {
            EXPECT_LT(slab(stages[i]), slab(stages[i - 1])) << "stage " << stages[i] << " keeps as much slab";
        }
    }
    EXPECT_EQ(slab(180), slab(22)) << "the first stage cracks the slab but holds it whole";
    EXPECT_GT(opaque_in_tile(blocks, 183), 0);
    // the closed exit never looks like the open one, cell for cell
    const int closed[] = {38, 39, 58, 59}, open[] = {27, 28, 47, 48};
    for (int i = 0; i < 4; i++) EXPECT_FALSE(same_picture(blocks, closed[i], open[i])) << closed[i];
    // both doors sit in the same stone frame, so opening the exit only changes what is inside it
    EXPECT_TRUE(columns_match(blocks, 58, 0, 47, 0));
    EXPECT_TRUE(columns_match(blocks, 59, 15, 48, 15));
}

// The backdrop table as built: map name -> image name.
std::vector<std::pair<std::string, std::string>> backdrop_table() {
    std::vector<std::pair<std::string, std::string>> table;
    std::string text = read_file(std::string(FLOOB_BINARY_DIR) + "/entries/maps/backdrops.tab");
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start), space = text.find(' ', start);
        if (end == std::string::npos || space > end) break;
        table.emplace_back(text.substr(start, space - start), text.substr(space + 1, end - space - 1));
        start = end + 1;
    }
    return table;
}

// Rows in which column a and column b of the picture differ.
int column_change(const Picture& p, int a, int b) {
    int rows = 0;
    for (int y = 0; y < p.height; y++) rows += p.at(a, y) != p.at(b, y);
    return rows;
}

TEST(Art, EveryBackdropFitsThePlayAreaAndWrapsAround) {
    std::set<std::string> images = {"back"};
    std::set<std::string> maps;
    for (const auto& line : backdrop_table()) {
        images.insert(line.second);
        maps.insert(line.first);
    }
    for (int level = 1; level <= 10; level++) EXPECT_TRUE(maps.count(level_map_name(level))) << level;
    EXPECT_GE(images.size(), 5u);
    for (const std::string& name : images) {
        // the data compiler holds pictures named so to the play area's height and whole tiles
        EXPECT_TRUE(name == "back" || name.compare(0, 5, "back-") == 0) << name;
        Picture p = entry(name.c_str());
        ASSERT_GT(p.width, 0) << name << " is missing or not a 24-bit BMP";
        // a backdrop lower than the play area meets the black above it without a seam
        if (p.height < 192) {
            for (int x = 0; x < p.width; x++) ASSERT_EQ(p.at(x, 0), 0u) << name << " top row at " << x;
        }
        int inside = 0;
        for (int x = 0; x + 1 < p.width; x++) inside = std::max(inside, column_change(p, x, x + 1));
        EXPECT_LE(column_change(p, p.width - 1, 0), inside) << name << " breaks where it repeats";
    }
    // from map row 8 down (where the levels keep their ground, pits and ponds) the
    // lake is its near bank: no water there without the water tiles' surface
    Picture lake = entry("back-lake");
    int deep = 0, cells = 0;
    for (int y = 128 - (192 - lake.height); y < lake.height; y++)
        for (int x = 0; x < lake.width; x++, cells++) deep += lake.at(x, y) == DEEP_WATER;
    EXPECT_LT(deep, cells / 5);
}

TEST(Art, WalkHasFourPosesAndTheUfoBobs) {
    Picture blocks = entry("blocks");
    ASSERT_EQ(blocks.width, 320);
    auto differ = [&](int a, int b) {
        int n = 0;
        for (int i = 0; i < 256; i++)
            n += tile_pixel(blocks, a, i % 16, i / 16) != tile_pixel(blocks, b, i % 16, i / 16);
        return n;
    };
    for (int a = 1; a <= 4; a++)
        for (int b = a + 1; b <= 4; b++) EXPECT_GE(differ(a, b), 20) << "frames " << a << " and " << b;
    // feet apart at the contacts (1, 3), under the body when passing (2, 4)
    auto stride = [&](int n) {
        int low = 16, high = -1;
        for (int y = 13; y < 16; y++)
            for (int x = 0; x < 16; x++)
                if (tile_pixel(blocks, n, x, y) != MAGENTA) low = std::min(low, x), high = std::max(high, x);
        return high - low;
    };
    EXPECT_GT(stride(1), stride(2) + 3);
    EXPECT_GT(stride(3), stride(4) + 3);
    // the UFO shown as 9 10 11 10 sinks a pixel a frame on legs that stay on the ground
    auto top = [&](int n) {
        for (int i = 0; i < 256; i++)
            if (tile_pixel(blocks, n, i % 16, i / 16) != MAGENTA) return i / 16;
        return 16;
    };
    EXPECT_EQ(top(10), top(9) + 1);
    EXPECT_EQ(top(11), top(10) + 1);
    for (int n : {9, 10, 11}) EXPECT_NE(tile_pixel(blocks, n, 3, 15), MAGENTA) << n;
}

TEST(Art, WaterBelowTheSurfaceMeetsInOneDeepTone) {
    Picture blocks = entry("blocks");
    ASSERT_EQ(blocks.width, 320);
    // any of these may stand next to or under any other, and a steelfish leaves 85 among them
    for (int n : {85, 145, 146, 166, 163, 164, 165}) {
        int water_rows = n >= 163 ? 12 : 16;  // the beds end in sand and pebbles
        for (int i = 0; i < 16; i++) EXPECT_EQ(tile_pixel(blocks, n, i, 0), DEEP_WATER) << n << " top " << i;
        for (int y = 0; y < water_rows; y++) {
            EXPECT_EQ(tile_pixel(blocks, n, 0, y), DEEP_WATER) << n << " left " << y;
            EXPECT_EQ(tile_pixel(blocks, n, 15, y), DEEP_WATER) << n << " right " << y;
        }
        if (water_rows == 16) {
            for (int i = 0; i < 16; i++) EXPECT_EQ(tile_pixel(blocks, n, i, 15), DEEP_WATER) << n << " bottom " << i;
        }
    }
    for (int n : {160, 161, 162})
        for (int x = 0; x < 16; x++) EXPECT_EQ(tile_pixel(blocks, n, x, 15), DEEP_WATER) << n;
    // the steelfish is drawn over whatever water it swims through
    for (int n : {53, 54, 55, 56}) EXPECT_EQ(tile_pixel(blocks, n, 0, 0), MAGENTA) << n;
}

TEST(Art, WallVariantsAreTheSceneryOverItsWallAndDoNothing) {
    Picture blocks = entry("blocks");
    ASSERT_EQ(blocks.width, 320);
    std::set<int> roles(std::begin(ROLE_CODES), std::end(ROLE_CODES));
    for (const auto& v : WALL_VARIANTS) {
        for (int i = 0; i < 256; i++) {
            uint32_t top = tile_pixel(blocks, v[2], i % 16, i / 16);
            uint32_t want = top != MAGENTA ? top : tile_pixel(blocks, v[1], i % 16, i / 16);
            ASSERT_EQ(tile_pixel(blocks, v[0], i % 16, i / 16), want) << v[0] << " at " << i;
        }
        EXPECT_EQ(opaque_in_tile(blocks, v[0]), 256) << v[0];
        EXPECT_EQ(tile_kind_of(v[0]), TILE_PASSABLE) << v[0];
        EXPECT_EQ(tile_layer[v[0]], 0) << v[0];
        EXPECT_FALSE(roles.count(v[0])) << v[0];
    }
}

TEST(Art, EveryCodeOfTheSharedLegendDrawsSomething) {
    Picture blocks = entry("blocks");
    ASSERT_EQ(blocks.width, 320);
    std::string text = read_file(std::string(FLOOB_SOURCE_DIR) + "/assets/maps/legend.inc");
    ASSERT_FALSE(text.empty());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == ';') continue;
        std::istringstream codes(line.substr(1, line.find(';', 1) - 1));
        int code;
        while (codes >> code) EXPECT_TRUE(code == 0 || opaque_in_tile(blocks, code) > 8) << "'" << line[0] << "'";
    }
}

TEST(Art, ArchiveHoldsTheSameImages) {
    TempDir dir(true);
    archive_open_all();
    for (const char* name : {"blocks", "back", "logo", "qv-zumo", "qv-logo"}) {
        uint32_t size = 0;
        uint8_t* bytes = archive_load(ARCHIVE_GFX, name, "bmp", &size);
        ASSERT_NE(bytes, nullptr) << name;
        std::string packed((const char*)bytes, size);
        free(bytes);
        EXPECT_EQ(packed, read_file(std::string(FLOOB_BINARY_DIR) + "/entries/gfx/" + name + ".bmp")) << name;
    }
    archive_close_all();
}

namespace {

// Packs the built entries of one archive folder, plus extra ones, into data/NAME.qva.
void pack_built(const std::string& folder, const std::vector<ArchiveInput>& extra) {
    std::vector<ArchiveInput> entries;
    for (const ArchiveInput& in : built_entries(folder))
        if (in.name != "backdrops.tab") entries.push_back(in);
    entries.insert(entries.end(), extra.begin(), extra.end());
    write_data_archive(folder, entries);
}

// Opens the game on ./data holding the built images and levels, with the given backdrop
// table (none when empty) and extra images; back_image starts as "back".
void open_with_backdrop_data(const std::string& table, const std::vector<ArchiveInput>& images) {
    ASSERT_EQ(0, system("mkdir data"));
    pack_built("gfx", images);
    std::vector<ArchiveInput> maps;
    if (!table.empty()) maps.push_back({"backdrops.tab", Bytes(table.begin(), table.end())});
    pack_built("maps", maps);
    link_built_archives({"music.qva", "sound.qva"});
    ASSERT_EQ(1, replay_open_game());
    load_default_backdrop();
}

bool shows_back(const SDL_Surface* image) {
    Picture back = entry("back");
    return image && image->w == back.width && image->h == back.height;
}

}  // namespace

TEST(Backdrop, WithoutTheTableEveryLevelKeepsBackAndNothingIsLoaded) {
    TempDir dir;
    open_with_backdrop_data("", {});
    SDL_Surface* back = back_image;
    for (int level = 0; level < LEVEL_COUNT; level++) choose_level_backdrop(level_map_name(level));
    choose_level_backdrop(nullptr);
    EXPECT_EQ(back_image, back);
}

TEST(Backdrop, ALevelShowsTheImageItsLineNamesAndBackWhenThatCannotBeShown) {
    TempDir dir;
    Bytes tall;
    encode_bmp24(16, 200, std::vector<uint32_t>(16 * 200, 0), tall);
    std::string garbage = "BM this is not a bitmap";
    open_with_backdrop_data(
        "floob207 back-cave\nfloob203 nosuch\nfloob204 back-broken\nfloob205 back-tall\nfloob206 Back!\n"
        "floob208 back-cave extra\n\x01\xff\n",
        {{"back-broken.bmp", Bytes(garbage.begin(), garbage.end())}, {"back-tall.bmp", tall}});
    choose_level_backdrop("floob207");
    SDL_Surface* cave = back_image;
    ASSERT_EQ(cave->h, 192);
    choose_level_backdrop("floob207");
    EXPECT_EQ(back_image, cave) << "the same backdrop is not loaded again";
    for (const char* level : {"floob203", "floob204", "floob205", "floob206", "floob208", "floob209"}) {
        choose_level_backdrop("floob207");
        choose_level_backdrop(level);
        EXPECT_TRUE(shows_back(back_image)) << level;
    }
    choose_level_backdrop("floob207");
    choose_level_backdrop(nullptr);
    EXPECT_TRUE(shows_back(back_image)) << "the title and the test map keep back";
}

// Text stays readable over any scenery: every lit pixel of a glyph is edged in ink
// where the text is drawn (all round in the big font, right and below in the small
// one, inside the glyph's own columns), and every lit colour stands out from that ink.
TEST(Art, FontGlyphsAreEdgedInInkThatTheirColoursStandOutFrom) {
    struct FontEdge {
        const char* name;
        int cell, margin;
        std::vector<std::pair<int, int>> sides;
    };
    const FontEdge fonts[] = {
        {"font", 8, 1, {{1, 0}, {0, 1}, {1, 1}}},
        {"fontbig", 16, 2, {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}}}};
    for (const FontEdge& f : fonts) {
        Picture p = entry(f.name);
        ASSERT_GT(p.width, 0) << f.name;
        int bare = 0;
        double weakest = 21;
        for (int y = 0; y < p.height / f.cell * f.cell; y++)
            for (int x = 0; x < p.width / f.cell * f.cell; x++) {
                uint32_t c = p.at(x, y);
                if (c == MAGENTA || c == INK) continue;
                weakest = std::min(weakest, contrast(c, INK));
                for (auto side : f.sides) {
                    int nx = x + side.first, ny = y + side.second;
                    int col = nx - x / f.cell * f.cell;
                    if (col < f.margin || col >= f.cell - f.margin || ny / f.cell != y / f.cell || ny < 0) continue;
                    if (p.at(nx, ny) == MAGENTA) bare++;
                }
            }
        EXPECT_EQ(0, bare) << f.name << ": lit pixels without ink beside them";
        EXPECT_GE(weakest, 4.5) << f.name << ": a lit colour too close to the ink";
        printf("%s: weakest lit colour against the ink %.2f:1\n", f.name, weakest);
    }
}

// A capital with an accent above reads as a capital beside the plain ones: its
// letter stands on the same bottom row and, counting up from there through rows
// as full as the plain letter's thinnest, is at least six sevenths as tall as the
// plain letter (a shorter one under an accent reads as lower case).
TEST(Art, AccentedCapitalsStandAsTallAsThePlainOnes) {
    // Each accented capital (by its ISO-8859-1 code) and its plain letter.
    const int pairs[][2] = {{0xC0, 'A'}, {0xC1, 'A'}, {0xC2, 'A'}, {0xC4, 'A'}, {0xC8, 'E'}, {0xC9, 'E'}, {0xCA, 'E'},
                            {0xCB, 'E'}, {0xCD, 'I'}, {0xCE, 'I'}, {0xCF, 'I'}, {0xD1, 'N'}, {0xD3, 'O'}, {0xD4, 'O'},
                            {0xD6, 'O'}, {0xD9, 'U'}, {0xDA, 'U'}, {0xDB, 'U'}, {0xDC, 'U'}};
    for (const auto& f : {std::make_pair("font", 8), std::make_pair("fontbig", 16)}) {
        Picture p = entry(f.first);
        ASSERT_GT(p.width, 0) << f.first;
        const int cell = f.second;
        auto lit = [&](int c, int y) {
            int x0 = (c - 32) % 19 * cell, y0 = (c - 32) / 19 * cell, n = 0;
            for (int x = 0; x < cell; x++) n += p.at(x0 + x, y0 + y) != MAGENTA && p.at(x0 + x, y0 + y) != INK;
            return n;
        };
        for (const auto& pair : pairs) {
            int accented = pair[0], plain = pair[1];
            int top = 0, bottom = cell - 1;
            while (!lit(plain, top)) top++;
            while (!lit(plain, bottom)) bottom--;
            int thinnest = cell;
            for (int y = top; y <= bottom; y++) thinnest = std::min(thinnest, lit(plain, y));
            int run = 0;
            while (run <= bottom && lit(accented, bottom - run) >= thinnest) run++;
            EXPECT_GE(run * 7, (bottom - top + 1) * 6)
                << f.first << " code " << accented << ": " << run << " rows against " << bottom - top + 1;
        }
    }
}

// The hero stays readable in front of every backdrop: his body colour (the commonest
// lit colour of his frames) stands out from at least nine tenths of the pixels of
// every backdrop row he can be drawn over. His ink outline is no help there, being
// the same ink as the night sky at the top of every backdrop.
TEST(Art, HeroBodyStandsOutFromEveryBackdropRow) {
    Picture blocks = entry("blocks");
    ASSERT_EQ(blocks.width, 320);
    std::map<uint32_t, int> colours;
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 65, 68})
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 16; x++) {
                uint32_t c = tile_pixel(blocks, n, x, y);
                if (c != MAGENTA && c != INK) colours[c]++;
            }
    ASSERT_FALSE(colours.empty());
    uint32_t body = std::max_element(colours.begin(), colours.end(), [](const auto& a, const auto& b) {
                        return a.second < b.second;
                    })->first;
    std::set<std::string> images = {"back"};
    for (const auto& line : backdrop_table()) images.insert(line.second);
    for (const std::string& name : images) {
        Picture p = entry(name.c_str());
        ASSERT_GT(p.width, 0) << name;
        double weakest = 21;
        int weakest_row = 0;
        for (int y = 0; y < p.height; y++) {
            std::vector<double> row((size_t)p.width);
            for (int x = 0; x < p.width; x++) row[(size_t)x] = contrast(body, p.at(x, y));
            std::nth_element(row.begin(), row.begin() + p.width / 10, row.end());
            EXPECT_GE(row[p.width / 10], 2.5) << name << " row " << y << " (screen row " << y + 192 - p.height << ")";
            if (row[p.width / 10] < weakest) weakest = row[p.width / 10], weakest_row = y + 192 - p.height;
        }
        printf("%s: the hero's body against its weakest row (screen row %d) %.2f:1\n", name.c_str(), weakest_row,
               weakest);
    }
}
