// The tile sheet, procedural picture and backdrop table compilers: good sources give the right
// pixels, bad ones are refused with the file and the line at fault.
#include <gtest/gtest.h>

#include <string>

#include "compile.h"
#include "support/support.h"

namespace {

const uint32_t MAGENTA = 0xFF00FF;

// Pixel (x, y) of a 24-bit bottom-up BMP as written by encode_bmp24.
uint32_t pixel_of(const Bytes& bmp, int x, int y) {
    int width = bmp[18] | bmp[19] << 8;
    int height = bmp[22] | bmp[23] << 8;
    int row = (width * 3 + 3) & ~3;
    size_t at = 54 + (size_t)row * (height - 1 - y) + (size_t)x * 3;
    return (uint32_t)bmp[at] | (uint32_t)bmp[at + 1] << 8 | (uint32_t)bmp[at + 2] << 16;
}

int width_of(const Bytes& bmp) { return bmp[18] | bmp[19] << 8; }
int height_of(const Bytes& bmp) { return bmp[22] | bmp[23] << 8; }

const char* PALETTE = "ff00ff key\n000000 black\n14101e ink\nffffff white\nff0000 red\n00ff00 green\n";

std::string rows_of(const std::string& row, int count) {
    std::string s;
    for (int i = 0; i < count; i++) s += row + "\n";
    return s;
}

struct Source {
    TempDir dir;
    std::string path;
    Source(const std::string& name, const std::string& text) {
        write_file("palette.inc", PALETTE);
        path = dir.path + "/" + name;
        write_file(path, text);
    }
};

// Expects compilation to fail with "path:line: ..." and returns the message.
std::string refused(bool (*compile)(const char*, Bytes&, std::string&), const std::string& name,
                    const std::string& text, int line) {
    Source s(name, text);
    Bytes out;
    std::string error;
    EXPECT_FALSE(compile(s.path.c_str(), out, error)) << text;
    std::string where = s.path + ":" + std::to_string(line) + ": ";
    EXPECT_EQ(error.compare(0, where.size(), where), 0) << "error: " << error << "\nexpected at: " << where;
    return error;
}

const std::string LEGEND = "colour . key\ncolour k ink\ncolour w white\ncolour r red\n";

}  // namespace

TEST(SheetCompiler, DrawsTilesAtTheirGridPlaceAndLeavesTheRestMagenta) {
    // tile 41 sits at column 1, row 2: pixels 16..31, 32..47
    std::string text = LEGEND + "tile 41 239\n" + "r..............k w..............w\n" +
                       rows_of("kkkkkkkkkkkkkkkk ................", 15);
    Source s("a.sheet", text);
    Bytes out;
    std::string error;
    ASSERT_TRUE(compile_sheet(s.path.c_str(), out, error)) << error;
    EXPECT_EQ(width_of(out), 320);
    EXPECT_EQ(height_of(out), 192);
    EXPECT_EQ(pixel_of(out, 16, 32), 0xFF0000u);
    EXPECT_EQ(pixel_of(out, 17, 32), MAGENTA);
    EXPECT_EQ(pixel_of(out, 31, 32), 0x14101Eu);
    EXPECT_EQ(pixel_of(out, 16, 47), 0x14101Eu);
    EXPECT_EQ(pixel_of(out, 304, 176), 0xFFFFFFu);  // tile 239: last column, last row
    EXPECT_EQ(pixel_of(out, 319, 176), 0xFFFFFFu);
    EXPECT_EQ(pixel_of(out, 0, 0), MAGENTA);
    EXPECT_EQ(pixel_of(out, 15, 32), MAGENTA);  // tile 40 untouched
}

TEST(SheetCompiler, DerivedTilesAreReallyMirroredFlippedAndCopied) {
    // tile 1: red column 0 and white row 0 at column 3
    std::string art = "r..w............\n" + rows_of("r...............", 14) + "r..............k\n";
    std::string text = LEGEND + "tile 1\n" + art + "tile 2\n" + rows_of("wwwwwwwwwwwwwwww", 16) +
                       "tile 5 = mirror 1\ntile 6 = flip 1\ntile 7 = copy 1\ntile 8 = over 2 1\n";
    Source s("b.sheet", text);
    Bytes out;
    std::string error;
    ASSERT_TRUE(compile_sheet(s.path.c_str(), out, error)) << error;
    for (int y = 0; y < 16; y++) {
        for (int x = 0; x < 16; x++) {
            uint32_t original = pixel_of(out, 16 + x, y);
            EXPECT_EQ(pixel_of(out, 80 + 15 - x, y), original) << "mirror at " << x << "," << y;
            EXPECT_EQ(pixel_of(out, 96 + x, 15 - y), original) << "flip at " << x << "," << y;
            EXPECT_EQ(pixel_of(out, 112 + x, y), original) << "copy at " << x << "," << y;
            EXPECT_EQ(pixel_of(out, 128 + x, y), original == MAGENTA ? 0xFFFFFFu : original) << "over at " << x;
        }
    }
    EXPECT_EQ(pixel_of(out, 95, 0), 0xFF0000u);
    EXPECT_EQ(pixel_of(out, 92, 0), 0xFFFFFFu);
    EXPECT_EQ(pixel_of(out, 80, 15), 0x14101Eu);
}

TEST(SheetCompiler, MalformedSheetsAreRefusedWithFileAndLine) {
    std::string full = rows_of("................", 16);
    EXPECT_NE(refused(compile_sheet, "c.sheet", LEGEND + "tile 240\n" + full, 5).find("0 to 239"), std::string::npos);
    refused(compile_sheet, "c.sheet", LEGEND + "tile x\n" + full, 5);
    refused(compile_sheet, "c.sheet", LEGEND + "tile\n", 5);
    // a row one pixel short, on the header's third row
    refused(
        compile_sheet, "c.sheet",
        LEGEND + "tile 3\n" + rows_of("................", 2) + "...............\n" + rows_of("................", 13),
        8);
    // too few rows before the end of the file
    refused(compile_sheet, "c.sheet", LEGEND + "\ntile 3\n" + rows_of("................", 4), 10);
    // a character missing from the legend
    std::string bad =
        LEGEND + "tile 3\n" + rows_of("................", 6) + "......Z.........\n" + rows_of("................", 9);
    EXPECT_NE(refused(compile_sheet, "c.sheet", bad, 12).find("'Z'"), std::string::npos);
    // two parts expected, one given
    refused(compile_sheet, "c.sheet", LEGEND + "tile 3 4\n" + full, 6);
    // a tile drawn twice, also through a derivation
    refused(compile_sheet, "c.sheet", LEGEND + "tile 3\n" + full + "tile 3\n" + full, 22);
    refused(compile_sheet, "c.sheet", LEGEND + "tile 3\n" + full + "tile 3 = mirror 3\n", 22);
    // a derivation whose source is not drawn above, or of an unknown kind
    refused(compile_sheet, "c.sheet", LEGEND + "tile 5 = mirror 1\n", 5);
    refused(compile_sheet, "c.sheet", LEGEND + "tile 3\n" + full + "tile 5 = rotate 3\n", 22);
    refused(compile_sheet, "c.sheet", LEGEND + "tile 3\n" + full + "tile 5 = over 3\n", 22);
    refused(compile_sheet, "c.sheet", LEGEND + "tile 3\n" + full + "tile 5 = over 3 4\n", 22);
    // legend faults
    refused(compile_sheet, "c.sheet", "colour . key\ncolour . ink\n", 2);
    refused(compile_sheet, "c.sheet", "colour q purple\n", 1);
    refused(compile_sheet, "c.sheet", "colour # ink\n", 1);
    refused(compile_sheet, "c.sheet", "# fine\n\npicture 3\n", 3);
}

TEST(SheetCompiler, MissingPaletteIsAnError) {
    TempDir dir;
    write_file("lonely.sheet", "colour . key\n");
    Bytes out;
    std::string error;
    EXPECT_FALSE(compile_sheet((dir.path + "/lonely.sheet").c_str(), out, error));
    EXPECT_NE(error.find("palette.inc:1:"), std::string::npos) << error;
}

TEST(GeneratedPicture, SizeSkyAndRidgeGivePaletteColoursAndWrapSeamlessly) {
    std::string text =
        "# test\nsize 64 40\nseed 7\nsky 0 39 black white\nstars 0 10 20 red\nridge 35 20 16 8 green ink\n";
    Source s("p.gen", text);
    Bytes out;
    std::string error;
    ASSERT_TRUE(compile_generated(s.path.c_str(), out, error)) << error;
    EXPECT_EQ(width_of(out), 64);
    EXPECT_EQ(height_of(out), 40);
    EXPECT_EQ(pixel_of(out, 5, 0), 0x000000u);   // the fade starts with its first colour
    EXPECT_EQ(pixel_of(out, 5, 39), 0x00FF00u);  // the ridge reaches the bottom
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 64; x++) {
            uint32_t p = pixel_of(out, x, y);
            EXPECT_TRUE(p == 0 || p == 0xFFFFFF || p == 0xFF0000 || p == 0x00FF00 || p == 0x14101E)
                << std::hex << p << " at " << std::dec << x << "," << y;
        }
    // the same source gives the same picture every time
    Bytes again;
    ASSERT_TRUE(compile_generated(s.path.c_str(), again, error));
    EXPECT_EQ(out, again);
}

TEST(GeneratedPicture, MalformedSourcesAreRefusedWithFileAndLine) {
    refused(compile_generated, "g.gen", "# nothing\n", 1);
    refused(compile_generated, "g.gen", "sky 0 3 black white\n", 1);
    refused(compile_generated, "g.gen", "size 63 10\n", 1);
    refused(compile_generated, "g.gen", "size 64 10\nsize 64 10\n", 2);
    refused(compile_generated, "g.gen", "size 64 10\n\nfill 0 10 black\n", 3);
    refused(compile_generated, "g.gen", "size 64 10\nfill 0 9 purple\n", 2);
    refused(compile_generated, "g.gen", "size 64 10\nfill 0 x black\n", 2);
    refused(compile_generated, "g.gen", "size 64 10\nfill 0 9\n", 2);
    refused(compile_generated, "g.gen", "size 64 10\nridge 9 5 24 3 black white\n", 2);
    refused(compile_generated, "g.gen", "size 64 10\nridge 9 12 16 3 black white\n", 2);
    refused(compile_generated, "g.gen", "size 64 10\nseed 0\n", 2);
    refused(compile_generated, "g.gen", "size 64 10\ntrees 9 3 5 2 black\n", 2);
    refused(compile_generated, "g.gen", "size 64 10\nclouds 3\n", 2);
    // the painting commands check their numbers
    for (const char* bad :
         {"disc 5 5 0 0 red", "disc 5 5 3 24 red", "veil 0 9 0 17 red", "rocks 0 9 0 red red red red",
          "drips 10 3 2 4 red", "spires 0 3 5 4 red", "panels 0 9 24 4 red red red", "rect 0 8 4 4 0 0 red",
          "rect 0 0 4 4 0 -1 red", "reflect 2 9 0 8 red", "dashes 9 3 0 9 5 2 red", "lattice 0 9 6 red",
          "lattice 4 4 8 red", "disc 9999 5 3 0 red", "rect 2147483647 0 4 4 0 0 red"})
        refused(compile_generated, "g.gen", std::string("size 64 10\n") + bad + "\n", 2);
}

TEST(GeneratedPicture, PaintingCommandsWrapAroundTheRightEdge) {
    std::string text =
        "size 64 20\nfill 0 19 black\nrect 62 0 4 2 0 0 red\ndisc 63 9 2 0 green\nrect 30 16 2 1 32 2 white\n"
        "reflect 12 15 0 0 ink\n";
    Source s("w.gen", text);
    Bytes out;
    std::string error;
    ASSERT_TRUE(compile_generated(s.path.c_str(), out, error)) << error;
    EXPECT_EQ(pixel_of(out, 1, 1), 0xFF0000u);  // the rectangle goes on from column 63 into column 0
    EXPECT_EQ(pixel_of(out, 2, 1), 0u);
    EXPECT_EQ(pixel_of(out, 1, 9), 0x00FF00u);  // so does the disc
    EXPECT_EQ(pixel_of(out, 62, 0), 0xFF0000u);
    // repeated across every 32 pixels and down every 2 rows to the bottom
    for (int x : {30, 31, 62, 63})
        for (int y : {16, 18}) EXPECT_EQ(pixel_of(out, x, y), 0xFFFFFFu) << x << "," << y;
    EXPECT_EQ(pixel_of(out, 30, 17), 0u);
    // the water mirrors the rows above it: row 12 shows row 11, where the disc ends (shifted by ripples)
    int green = 0;
    for (int x = 0; x < 64; x++) green += pixel_of(out, x, 12) == 0x00FF00u;
    EXPECT_GE(green, 3);
}

TEST(BackdropTable, LinesAreCheckedAndWrittenWithoutComments) {
    Source s("t.tab", "; which backdrop\n\nfloob203   back-cave ; a cave\r\nfloob205\tback_base\n");
    Bytes out;
    std::string error;
    ASSERT_TRUE(compile_table(s.path.c_str(), out, error)) << error;
    EXPECT_EQ(std::string(out.begin(), out.end()), "floob203 back-cave\nfloob205 back_base\n");
    refused(compile_table, "t.tab", "floob203\n", 1);
    refused(compile_table, "t.tab", "; ok\nfloob203 back cave\n", 2);
    refused(compile_table, "t.tab", "floob203 Back\n", 1);
    refused(compile_table, "t.tab", "floob203 a-name-of-sixteen\n", 1);
    refused(compile_table, "t.tab", "floob203 a\nfloob203 b\n", 2);
}
