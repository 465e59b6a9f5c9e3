// The image compiler: XPM sources to BMP, refusals with file and line, and the
// two font sheets that ship with the game.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>
#include <string>
#include <vector>

#include "compile.h"
#include "support/support.h"

namespace {

const char* PALETTE = "# test palette\nff00ff key\n000000 black   # trailing comment\nffffff white\n1d4f8a blue\n";

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgb;  // top-down rows
};

uint32_t le(const Bytes& b, size_t at, int n) {
    uint32_t v = 0;
    for (int k = n - 1; k >= 0; k--) v = (v << 8) | b[at + k];
    return v;
}

// Reads back the 24-bit bottom-up BMP that the compiler writes.
Picture decode_bmp24(const Bytes& b) {
    Picture p;
    EXPECT_GE(b.size(), 54u);
    if (b.size() < 54) return p;
    EXPECT_EQ('B', b[0]);
    EXPECT_EQ('M', b[1]);
    EXPECT_EQ(24u, le(b, 28, 2));
    p.width = (int)le(b, 18, 4);
    p.height = (int)le(b, 22, 4);
    size_t data = le(b, 10, 4);
    size_t row = ((size_t)p.width * 3 + 3) & ~(size_t)3;
    EXPECT_EQ(data + row * p.height, b.size());
    p.rgb.resize((size_t)p.width * p.height);
    for (int y = 0; y < p.height; y++) {
        for (int x = 0; x < p.width; x++) {
            size_t at = data + row * (p.height - 1 - y) + 3 * x;
            p.rgb[(size_t)y * p.width + x] = ((uint32_t)b[at + 2] << 16) | ((uint32_t)b[at + 1] << 8) | b[at];
        }
    }
    return p;
}

class ImageCompiler : public ::testing::Test {
   protected:
    void SetUp() override { ASSERT_TRUE(write_file("palette.inc", PALETTE)); }

    // Compiles source text written to name; returns the error (empty on success).
    std::string compile(const std::string& name, const std::string& text, Bytes* out = nullptr) {
        EXPECT_TRUE(write_file(name, text));
        Bytes bytes;
        std::string error;
        bool ok = compile_image(name.c_str(), bytes, error);
        if (out) *out = bytes;
        if (ok) return "";
        EXPECT_FALSE(error.empty());
        return error;
    }
    TempDir dir;
};

TEST_F(ImageCompiler, OneCharPerPixelWithTransparentNone) {
    std::string src =
        "/* XPM */\n"
        "static char * test_xpm[] = {\n"
        "\"3 2 3 1\",\n"
        "\"  c None\",\n"
        "\". c #FFFFFF\",\n"
        "\"x c #1d4f8a\",\n"
        "\" .x\",\n"
        "\"x. \"};\n";
    Bytes out;
    ASSERT_EQ("", compile("pic.xpm", src, &out));
    Picture p = decode_bmp24(out);
    ASSERT_EQ(3, p.width);
    ASSERT_EQ(2, p.height);
    std::vector<uint32_t> expected = {0xFF00FF, 0xFFFFFF, 0x1D4F8A, 0x1D4F8A, 0xFFFFFF, 0xFF00FF};
    EXPECT_EQ(expected, p.rgb);
}

TEST_F(ImageCompiler, TwoCharsPerPixelCommentsAndHotspotAsGimpWritesThem) {
    std::string src =
        "/* XPM */\n"
        "static char * wide_xpm[] = {\n"
        "/* columns rows colors chars-per-pixel */\n"
        "\"2 2 3 2 0 0\",\n"
        "\"a. c #000000\",\n"
        "\"a# c #ffffff\",\n"
        "\"b  s key c None\",\n"
        "/* pixels */\n"
        "\"a.a#\",\n"
        "\"b a.\"\n"
        "};\n";
    Bytes out;
    ASSERT_EQ("", compile("wide.xpm", src, &out));
    Picture p = decode_bmp24(out);
    std::vector<uint32_t> expected = {0x000000, 0xFFFFFF, 0xFF00FF, 0x000000};
    EXPECT_EQ(expected, p.rgb);
}

TEST_F(ImageCompiler, MalformedSourcesNameTheirFileAndLine) {
    const std::string head = "/* XPM */\nstatic char * t[] = {\n";
    struct Case {
        const char* what;
        std::string text;
        const char* where;
        const char* says;
    };
    std::vector<Case> cases = {
        {"no marker", "static char * t[] = {\n\"1 1 1 1\",\n\". c None\",\n\".\"};\n", "bad.xpm:1:", "XPM"},
        {"values", head + "\"1 one 1 1\",\n\". c None\",\n\".\"};\n", "bad.xpm:3:", "values"},
        {"zero size", head + "\"0 1 1 1\",\n\". c None\",\n\"\"};\n", "bad.xpm:3:", "size"},
        {"no c key", head + "\"1 1 1 1\",\n\". s thing\",\n\".\"};\n", "bad.xpm:4:", "\"c\""},
        {"named colour", head + "\"1 1 1 1\",\n\". c white\",\n\".\"};\n", "bad.xpm:4:", "#RRGGBB"},
        {"off palette", head + "\"1 1 2 1\",\n\". c None\",\n\"x c #FF0000\",\n\".\"};\n",
         "bad.xpm:5:", "not in the palette"},
        {"twice", head + "\"1 1 2 1\",\n\". c None\",\n\". c #000000\",\n\".\"};\n", "bad.xpm:5:", "twice"},
        {"few colours", head + "\"1 1 3 1\",\n\". c None\",\n\"x c #000000\"};\n", "bad.xpm:5:", "colour lines"},
        {"short row", head + "\"3 2 1 1\",\n\". c None\",\n\"...\",\n\"..\"};\n", "bad.xpm:6:", "expected 3"},
        {"undefined", head + "\"2 2 1 1\",\n\". c None\",\n\"..\",\n\".?\"};\n", "bad.xpm:6:", "\"?\""},
        {"few rows", head + "\"1 3 1 1\",\n\". c None\",\n\".\",\n\".\"};\n", "bad.xpm:6:", "pixel rows"},
        {"extra row", head + "\"1 1 1 1\",\n\". c None\",\n\".\",\n\".\"};\n", "bad.xpm:6:", "after"},
        {"open string", head + "\"1 1 1 1\",\n\". c None,\n\".\"};\n", "bad.xpm:4:", "not closed"},
        {"open comment", head + "/* left open\n\"1 1 1 1\"\n", "bad.xpm:3:", "comment"},
        {"empty", "/* XPM */\n", "bad.xpm:1:", "values"},
    };
    for (const Case& c : cases) {
        std::string error = compile("bad.xpm", c.text);
        EXPECT_EQ(0u, error.find(c.where)) << c.what << ": " << error;
        EXPECT_NE(std::string::npos, error.find(c.says)) << c.what << ": " << error;
    }
}

TEST_F(ImageCompiler, PaletteAndSourceKindProblems) {
    std::string ok = "/* XPM */\nstatic char * t[] = {\n\"1 1 1 1\",\n\". c #000000\",\n\".\"};\n";
    ASSERT_TRUE(write_file("palette.inc", "ff00ff key\n\n00000 black\n"));
    std::string error = compile("pic.xpm", ok);
    EXPECT_EQ(0u, error.find("./palette.inc:3:")) << error;
    ASSERT_TRUE(write_file("palette.inc", "000000\n"));
    EXPECT_NE(std::string::npos, compile("pic.xpm", ok).find("palette.inc:1: colour 000000 has no name"));

    // The palette is read from the source's own folder.
    mkdir("art", 0755);
    ASSERT_TRUE(write_file("art/palette.inc", PALETTE));
    EXPECT_EQ("", compile("art/pic.xpm", ok));
    remove("palette.inc");
    EXPECT_NE(std::string::npos, compile("pic.xpm", ok).find("palette.inc:1: cannot open"));

    EXPECT_EQ(0u, compile("pic.png", ok).find("pic.png:1:"));
    Bytes out;
    EXPECT_FALSE(compile_image("missing.xpm", out, error));
}

// A picture the screens place by its size is refused when it is built at a size they
// cannot place; other names take any size.
TEST_F(ImageCompiler, PicturesTheScreensPlaceAreRefusedAtSizesTheyCannotPlace) {
    auto xpm = [](int width, int height) {
        std::string text = "/* XPM */\nstatic char * t[] = {\n\"" + std::to_string(width) + " " +
                           std::to_string(height) + " 1 1\",\n\". c None\",\n";
        for (int y = 0; y < height; y++) text += "\"" + std::string((size_t)width, '.') + "\",\n";
        return text + "};\n";
    };
    struct Case {
        const char* name;
        int width, height;
        bool fits;
    };
    const Case cases[] = {
        {"blocks.xpm", 320, 192, true},   {"blocks.xpm", 320, 176, false}, {"back-x.xpm", 512, 192, true},
        {"back-x.xpm", 512, 193, false},  {"back.xpm", 40, 176, false},    {"logo.xpm", 256, 103, true},
        {"logo.xpm", 256, 104, false},    {"logo.xpm", 321, 50, false},    {"qv-zumo.xpm", 47, 64, false},
        {"qv-zumo.xpm", 96, 96, true},    {"qv-logo.xpm", 172, 40, true},  {"qv-logo.xpm", 174, 40, false},
        {"qv-logo.xpm", 172, 181, false}, {"other.xpm", 400, 300, true}};
    for (const Case& c : cases) {
        std::string error = compile(c.name, xpm(c.width, c.height));
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.width) + " x " + std::to_string(c.height));
        if (c.fits) {
            EXPECT_EQ("", error);
        } else {
            EXPECT_EQ(0u, error.find(std::string(c.name) + ":3: ")) << error;
            EXPECT_NE(std::string::npos, error.find("will not do")) << error;
        }
    }
    // A procedural picture names its size line; the program says who refused it.
    std::string output;
    ASSERT_TRUE(write_file("palette.inc", "ff00ff key\n000000 black\n"));
    ASSERT_TRUE(write_file("back-tall.gen", "# a backdrop taller than the play area\nsize 512 200\n"));
    std::string tool = std::string(FLOOB_BINARY_DIR) + "/tools/floobdata";
    EXPECT_EQ(1, run_command(tool + " compile back-tall.gen out.bmp 2>&1", &output));
    EXPECT_EQ(0u, output.find("floobdata: back-tall.gen:2: 512 x 200 pixels will not do: a backdrop")) << output;
}

// The font sheets: 95 cells (codes 32 to 126) of the given cell size.
struct SheetCheck {
    const char* file;
    int cell;
    int margin_left;   // columns left of the glyphs that every cell leaves transparent
    int margin_right;  // likewise at the right
};

class FontSheets : public ::testing::TestWithParam<SheetCheck> {};

TEST_P(FontSheets, EveryPrintableCharacterHasItsOwnKeyedGlyph) {
    const SheetCheck& check = GetParam();
    std::string path = std::string(FLOOB_SOURCE_DIR) + "/assets/gfx/" + check.file;
    Bytes out;
    std::string error;
    ASSERT_TRUE(compile_image(path.c_str(), out, error)) << error;
    Picture p = decode_bmp24(out);
    int c = check.cell;
    int columns = p.width / c, rows = p.height / c;
    ASSERT_GE(columns * rows, 95);
    std::set<std::vector<uint32_t>> seen;
    for (int k = 0; k < 95; k++) {
        int ox = (k % columns) * c, oy = (k / columns) * c;
        std::vector<uint32_t> cell;
        int opaque = 0, margin_opaque = 0;
        for (int y = 0; y < c; y++) {
            for (int x = 0; x < c; x++) {
                uint32_t v = p.rgb[(size_t)(oy + y) * p.width + ox + x];
                cell.push_back(v);
                if (v == 0xFF00FF) continue;
                opaque++;
                if (x < check.margin_left || x >= c - check.margin_right) margin_opaque++;
            }
        }
        char ch = (char)(32 + k);
        if (k == 0)
            EXPECT_EQ(0, opaque) << "the space must be fully transparent";
        else
            EXPECT_GT(opaque, 0) << "glyph '" << ch << "' is empty";
        EXPECT_LT(opaque, c * c * 3 / 4) << "glyph '" << ch << "' fills its cell: is its background magenta?";
        EXPECT_EQ(0, margin_opaque) << "glyph '" << ch << "' touches the spacing between characters";
        EXPECT_TRUE(seen.insert(cell).second) << "glyph '" << ch << "' repeats an earlier glyph";
    }
}

INSTANTIATE_TEST_SUITE_P(Fonts, FontSheets,
                         ::testing::Values(SheetCheck{"font.xpm", 8, 1, 1}, SheetCheck{"fontbig.xpm", 16, 2, 2}));

}  // namespace
