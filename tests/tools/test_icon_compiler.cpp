// The icon compiler and the PNG writer: drawn sizes keep every pixel, scaled
// sizes enlarge without blurring, the key colour is transparent, the PNG's
// chunks, CRCs and packed rows decode to the same pixels, and bad sources are
// refused with the file and the line at fault. The game's own icon keeps
// Floob's idle tile at 16 pixels.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "compile.h"
#include "support/support.h"

namespace {

const char* PALETTE = "ff00ff key\n14101e ink\nffffff white\nff0000 red\n";
const std::string LEGEND = "colour . key\ncolour k ink\ncolour w white\ncolour r red\n";
const std::string SIZE2 = "size 2\nkw\nr.\n";

uint32_t be32(const Bytes& b, size_t at) {
    return (uint32_t)b[at] << 24 | (uint32_t)b[at + 1] << 16 | (uint32_t)b[at + 2] << 8 | b[at + 3];
}

// Decodes what encode_png_rgba writes (IHDR, one IDAT, IEND, filter 0 rows)
// back to 0xAARRGGBB pixels, checking every chunk's CRC on the way.
bool decode_png(const Bytes& png, int32_t& width, int32_t& height, std::vector<uint32_t>& argb) {
    static const uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 8 || memcmp(png.data(), SIGNATURE, 8) != 0) return false;
    Bytes packed;
    std::string order;
    for (size_t at = 8; at + 12 <= png.size();) {
        uint32_t length = be32(png, at);
        if (at + 12 + length > png.size()) return false;
        std::string type(png.begin() + (long)at + 4, png.begin() + (long)at + 8);
        uLong crc = crc32(crc32(0L, Z_NULL, 0), &png[at + 4], length + 4);
        if (crc != be32(png, at + 8 + length)) return false;
        if (type == "IHDR") {
            width = (int32_t)be32(png, at + 8);
            height = (int32_t)be32(png, at + 12);
            if (png[at + 16] != 8 || png[at + 17] != 6) return false;
        }
        if (type == "IDAT")
            packed.insert(packed.end(), png.begin() + (long)at + 8, png.begin() + (long)at + 8 + length);
        order += type + " ";
        at += 12 + length;
    }
    if (order != "IHDR IDAT IEND ") return false;
    uLongf raw_size = (uLongf)height * ((uLongf)width * 4 + 1);
    Bytes raw(raw_size);
    if (uncompress(raw.data(), &raw_size, packed.data(), (uLong)packed.size()) != Z_OK) return false;
    argb.clear();
    for (int32_t y = 0; y < height; y++) {
        const uint8_t* row = &raw[(size_t)y * ((size_t)width * 4 + 1)];
        if (row[0] != 0) return false;
        for (int32_t x = 0; x < width; x++) {
            const uint8_t* p = row + 1 + x * 4;
            argb.push_back((uint32_t)p[3] << 24 | (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2]);
        }
    }
    return true;
}

struct IconSource {
    TempDir dir;
    std::string path;
    explicit IconSource(const std::string& text) {
        write_file("palette.inc", PALETTE);
        path = dir.path + "/a.icon";
        write_file(path, text);
    }
};

}  // namespace

TEST(IconCompiler, DrawnAndScaledSizesKeepEveryPixelAndTheKeyIsTransparent) {
    IconSource s(LEGEND + "# a comment\n\n" + SIZE2 + "size 6 = scale 2\n");
    std::vector<uint32_t> small, big;
    std::string error;
    ASSERT_TRUE(compile_icon(s.path.c_str(), 2, small, error)) << error;
    EXPECT_EQ(small, (std::vector<uint32_t>{0xFF14101Eu, 0xFFFFFFFFu, 0xFFFF0000u, 0u}));
    ASSERT_TRUE(compile_icon(s.path.c_str(), 6, big, error)) << error;
    ASSERT_EQ(big.size(), 36u);
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 6; x++)
            EXPECT_EQ(big[(size_t)(y * 6 + x)], small[(size_t)(y / 3 * 2 + x / 3)]) << x << "," << y;
}

TEST(IconCompiler, PngDecodesToTheSamePixels) {
    std::vector<uint32_t> pixels;
    for (uint32_t i = 0; i < 5 * 3; i++) pixels.push_back(i * 0x01020304u + (i % 2 ? 0u : 0xFF000000u));
    Bytes png;
    std::string error;
    ASSERT_TRUE(encode_png_rgba(5, 3, pixels, png, error)) << error;
    int32_t width = 0, height = 0;
    std::vector<uint32_t> back;
    ASSERT_TRUE(decode_png(png, width, height, back));
    EXPECT_EQ(width, 5);
    EXPECT_EQ(height, 3);
    EXPECT_EQ(back, pixels);
    EXPECT_FALSE(encode_png_rgba(4, 4, pixels, png, error)) << "pixel count differs from the size";
    EXPECT_FALSE(encode_png_rgba(0, 0, std::vector<uint32_t>(), png, error));
}

TEST(IconCompiler, BadSourcesAreRefusedAtTheirLine) {
    struct Case {
        std::string text;
        int32_t size;
        int line;
    };
    const Case cases[] = {
        {LEGEND + "size 2\nkw\n", 2, 6},                // the file ends inside the grid
        {LEGEND + "size 2\nkw\nr..\n", 2, 7},           // a row too long
        {LEGEND + "size 2\nkw\nrx\n", 2, 7},            // a character not in the legend
        {LEGEND + SIZE2 + "size 2\nkw\nr.\n", 2, 8},    // a size given twice
        {LEGEND + SIZE2 + "size 5 = scale 2\n", 5, 8},  // not a multiple
        {LEGEND + SIZE2 + "size 8 = scale 4\n", 8, 8},  // scaled from a size not drawn
        {LEGEND + SIZE2 + "size 2 = scale 2\n", 2, 8},  // scaled from itself
        {LEGEND + "size 0\n", 0, 5},                    // out of range
        {LEGEND + "size 513\n", 513, 5},                // out of range
        {LEGEND + "colour k ink\n", 2, 5},              // legend character twice
        {"colour z purple\n", 2, 1},                    // not in the palette
        {LEGEND + "pixel 2\n", 2, 5},                   // unknown line
        {LEGEND + SIZE2, 32, 1},                        // the size asked for is missing
    };
    for (const Case& c : cases) {
        IconSource s(c.text);
        std::vector<uint32_t> argb;
        std::string error;
        EXPECT_FALSE(compile_icon(s.path.c_str(), c.size, argb, error)) << c.text;
        std::string where = s.path + ":" + std::to_string(c.line) + ": ";
        EXPECT_EQ(error.compare(0, where.size(), where), 0) << "error: " << error << "\nexpected at: " << where;
    }
}

TEST(IconCompiler, TheGameIconAt16IsFloobsIdleTile) {
    std::string source = std::string(FLOOB_SOURCE_DIR) + "/assets/gfx/";
    std::vector<uint32_t> icon;
    Bytes sheet;
    std::string error;
    ASSERT_TRUE(compile_icon((source + "floob2.icon").c_str(), 16, icon, error)) << error;
    ASSERT_TRUE(compile_sheet((source + "blocks.sheet").c_str(), sheet, error)) << error;
    // Tile 24 sits at column 4, row 1 of the bottom-up 320 x 192 sheet.
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) {
            size_t at = 54 + (size_t)320 * 3 * (191 - (16 + y)) + (size_t)(64 + x) * 3;
            uint32_t rgb = (uint32_t)sheet[at] | (uint32_t)sheet[at + 1] << 8 | (uint32_t)sheet[at + 2] << 16;
            uint32_t want = rgb == 0xFF00FFu ? 0u : (rgb | 0xFF000000u);
            EXPECT_EQ(icon[(size_t)(y * 16 + x)], want) << x << "," << y;
        }
    for (int32_t size : {32, 48, 64, 128, 256}) {
        EXPECT_TRUE(compile_icon((source + "floob2.icon").c_str(), size, icon, error)) << error;
        EXPECT_EQ(icon.size(), (size_t)(size * size));
    }
}
