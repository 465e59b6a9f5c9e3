// Bitmap text: glyph cutting, placement of text, centred text and numbers, the
// left-edge rule, characters without a glyph, and the game's two fonts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "floob.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/video.h"
#include "storage/archive.h"
#include "support/support.h"

namespace {

const int BG_B = 99;

// Glyph k of a test font is filled with (40 + k, 200, 100), with one magenta
// pixel in its bottom-right corner.
SDL_Surface* make_sheet(int cell, int columns, int rows, int extra_w = 0, int extra_h = 0) {
    SDL_PixelFormat* f = frame_surface->format;
    SDL_Surface* sheet = SDL_CreateRGBSurface(SDL_SWSURFACE, columns * cell + extra_w, rows * cell + extra_h,
                                              f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, 0);
    for (int k = 0; k < columns * rows; k++) {
        SDL_Rect r = {(Sint16)((k % columns) * cell), (Sint16)((k / columns) * cell), (Uint16)cell, (Uint16)cell};
        SDL_FillRect(sheet, &r, SDL_MapRGB(sheet->format, 40 + k, 200, 100));
        SDL_Rect corner = {(Sint16)(r.x + cell - 1), (Sint16)(r.y + cell - 1), 1, 1};
        SDL_FillRect(sheet, &corner, SDL_MapRGB(sheet->format, 255, 0, 255));
    }
    return sheet;
}

Font make_font(int cell, int glyphs) {
    int columns = 16;
    int rows = (glyphs + columns - 1) / columns;
    SDL_Surface* sheet = make_sheet(cell, columns, rows);
    Font font = cut_glyphs(sheet, cell, cell);
    SDL_FreeSurface(sheet);
    // Drop the cells past the wanted count, so the font ends where asked.
    for (int k = glyphs; font[k]; k++) {
        free_image(font[k]);
        font[k] = nullptr;
    }
    return font;
}

void read_rgb(SDL_Surface* s, int x, int y, Uint8* r, Uint8* g, Uint8* b) {
    SDL_LockSurface(s);
    const Uint8* p = (const Uint8*)s->pixels + y * s->pitch + x * s->format->BytesPerPixel;
    Uint32 v = (Uint32)p[0] | ((Uint32)p[1] << 8) | ((Uint32)p[2] << 16);
    SDL_UnlockSurface(s);
    SDL_GetRGB(v, s->format, r, g, b);
}

// Which test glyph covers the pixel, -1 for the background.
int glyph_at(int x, int y) {
    Uint8 r, g, b;
    read_rgb(frame_surface, x, y, &r, &g, &b);
    if (g == 200 && b == 100) return r - 40;
    EXPECT_EQ(BG_B, b) << "pixel " << x << "," << y << " is neither background nor glyph";
    return -1;
}

// Glyph per cell along a row of text: the code (character - 32) or -1.
std::vector<int> cells(int x0, int y, int cell, int count) {
    std::vector<int> out;
    for (int i = 0; i < count; i++) out.push_back(glyph_at(x0 + i * cell, y));
    return out;
}

int code(char c) { return c - 32; }

class TextTest : public ::testing::Test {
   protected:
    void SetUp() override {
        saved_frame = frame_surface;
        saved_black = COLOUR_BLACK;
        frame_surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 240, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
        COLOUR_BLACK = SDL_MapRGB(frame_surface->format, 0, 0, 0);
        small = make_font(8, 59);
        big = make_font(16, 59);
        clear();
    }
    void TearDown() override {
        free_font(small);
        free_font(big);
        SDL_FreeSurface(frame_surface);
        frame_surface = saved_frame;
        COLOUR_BLACK = saved_black;
    }
    void clear() { SDL_FillRect(frame_surface, nullptr, SDL_MapRGB(frame_surface->format, 0, 0, BG_B)); }
    int untouched() {
        for (int y = 0; y < 240; y++)
            for (int x = 0; x < 320; x++)
                if (glyph_at(x, y) != -1) return 0;
        return 1;
    }
    SDL_Surface* saved_frame = nullptr;
    uint32_t saved_black = 0;
    Font small = nullptr;
    Font big = nullptr;
};

TEST_F(TextTest, CutGlyphsReadsCellsRowByRowAndIgnoresPartialCells) {
    SDL_Surface* sheet = make_sheet(8, 3, 2, 5, 3);
    Font font = cut_glyphs(sheet, 8, 8);
    ASSERT_NE(nullptr, font);
    int n = 0;
    while (font[n]) n++;
    EXPECT_EQ(6, n);
    for (int k = 0; k < 6; k++) {
        EXPECT_EQ(8, font[k]->w);
        EXPECT_EQ(8, font[k]->h);
        EXPECT_TRUE(font[k]->flags & SDL_SRCCOLORKEY);
    }
    draw_text(frame_surface, "!\"#$%", 0, 0, font);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), cells(0, 0, 8, 5)) << "cell (1, 1) is glyph 4";
    EXPECT_EQ(-1, glyph_at(7, 7)) << "magenta is transparent";
    free_font(font);
    SDL_FreeSurface(sheet);

    // Characters 32 to 255 can be drawn: a bigger sheet gives no more glyphs.
    sheet = make_sheet(8, 16, 15);
    font = cut_glyphs(sheet, 8, 8);
    for (n = 0; font[n];) n++;
    EXPECT_EQ(224, n);
    free_font(font);
    SDL_FreeSurface(sheet);

    sheet = make_sheet(8, 0, 0, 7, 30);
    font = cut_glyphs(sheet, 8, 8);
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(nullptr, font[0]);
    draw_text(frame_surface, "ABC", 0, 0, font);
    free_font(font);
    SDL_FreeSurface(sheet);
}

TEST_F(TextTest, TextIsOneCellPerCharacterUpToTheCount) {
    draw_text(frame_surface, "FLOOB 2", 10, 20, small);
    std::vector<int> expected;
    for (char c : std::string("FLOOB 2")) expected.push_back(code(c));
    EXPECT_EQ(expected, cells(10, 20, 8, 7));
    EXPECT_EQ(-1, glyph_at(66, 20));

    clear();
    draw_text_n(frame_surface, "ABCD", 2, 0, 0, small);
    EXPECT_EQ((std::vector<int>{code('A'), code('B'), -1, -1}), cells(0, 0, 8, 4));
    clear();
    draw_text_n(frame_surface, "AB", 50, 0, 0, small);
    EXPECT_EQ((std::vector<int>{code('A'), code('B'), -1}), cells(0, 0, 8, 3));

    clear();
    draw_text(frame_surface, "", 0, 0, small);
    draw_text_n(frame_surface, "ABC", 0, 0, 0, small);
    draw_text_n(frame_surface, "ABC", -3, 0, 0, small);
    draw_text_centred(frame_surface, "", 0, big);
    EXPECT_TRUE(untouched());
}

TEST_F(TextTest, CentredTextStartsAtHalfItsWidthLeftOfColumn160) {
    draw_text_centred(frame_surface, "CREDITS", 100, big);
    EXPECT_EQ(-1, glyph_at(103, 100));
    EXPECT_EQ(code('C'), glyph_at(104, 100));
    EXPECT_EQ(code('S'), glyph_at(104 + 6 * 16, 100));
    EXPECT_EQ(-1, glyph_at(104 + 7 * 16, 100));

    clear();
    draw_text_centred(frame_surface, "GAME OVER", 10, small);
    EXPECT_EQ(code('G'), glyph_at(160 - 4 * 9, 10));
    EXPECT_EQ(-1, glyph_at(160 - 4 * 9 - 1, 10));
}

TEST_F(TextTest, NumbersAreRightAlignedInTheirField) {
    const int Z = code('0');
    draw_number(frame_surface, 42, 16, 0, 6, 1, small);
    EXPECT_EQ((std::vector<int>{-1, Z, Z, Z, Z, code('4'), code('2'), -1}), cells(8, 0, 8, 8));
    draw_number(frame_surface, 42, 16, 16, 6, 0, small);
    EXPECT_EQ((std::vector<int>{-1, -1, -1, -1, -1, code('4'), code('2'), -1}), cells(8, 16, 8, 8));
    draw_number(frame_surface, 1234567, 16, 32, 6, 1, small);
    EXPECT_EQ((std::vector<int>{code('1'), code('2'), code('3'), code('4'), code('5'), code('6'), code('7'), -1}),
              cells(8, 32, 8, 8));
    draw_number(frame_surface, 305, 16, 48, 0, 1, small);
    EXPECT_EQ((std::vector<int>{-1, code('3'), code('0'), code('5'), -1}), cells(8, 48, 8, 5));
    draw_number(frame_surface, -7, 16, 64, 3, 0, small);
    EXPECT_EQ((std::vector<int>{-1, -1, code('-'), code('7'), -1}), cells(8, 64, 8, 5));
    // At most eight padding zeros exist.
    draw_number(frame_surface, 5, 0, 80, 12, 1, small);
    EXPECT_EQ((std::vector<int>{Z, Z, Z, Z, Z, Z, Z, Z, -1, -1, -1, code('5')}), cells(0, 80, 8, 12));
}

TEST_F(TextTest, LeftEdgeSkipsOnlyCellsEntirelyOffScreen) {
    draw_text(frame_surface, "AB", -7, 0, small);
    EXPECT_EQ(code('A'), glyph_at(0, 0)) << "the last column of A shows";
    EXPECT_EQ(code('B'), glyph_at(1, 0));
    clear();
    draw_text(frame_surface, "AB", -8, 0, small);
    EXPECT_EQ(code('B'), glyph_at(0, 0));
    EXPECT_EQ(-1, glyph_at(8, 0));
    clear();
    draw_text(frame_surface, "ABC", -40, 0, big);
    EXPECT_EQ(code('C'), glyph_at(0, 0));
    EXPECT_EQ(-1, glyph_at(8, 0));
}

// The outline a font without a box glyph draws for a character it lacks: lit on
// the cell's edge, the background inside.
bool boxed_cell(int x0, int y0, int cell) {
    Uint8 r, g, b;
    read_rgb(frame_surface, x0 + 1, y0, &r, &g, &b);
    bool edge = r == 255 && g == 255 && b == 255;
    read_rgb(frame_surface, x0 + cell / 2, y0 + cell / 2, &r, &g, &b);
    return edge && b == BG_B;
}

TEST_F(TextTest, CharactersWithoutAGlyphShowABox) {
    // The test fonts end at 'Z' (code 90), as the game's English text needs.
    draw_text(frame_surface,
              "AzB\x05"
              "C\xC8"
              "D",
              0, 0, small);
    for (int k : {1, 3, 5}) EXPECT_TRUE(boxed_cell(8 * k, 0, 8)) << k;
    EXPECT_EQ(code('B'), glyph_at(16, 0));
    EXPECT_EQ(code('D'), glyph_at(48, 0));
    clear();
    draw_text(frame_surface, "Z[", 0, 0, big);
    EXPECT_EQ(code('Z'), glyph_at(0, 0));
    EXPECT_TRUE(boxed_cell(16, 0, 16));
    clear();
    draw_text(frame_surface, "A", 0, 0, nullptr);
    EXPECT_TRUE(untouched());

    // A font that has the box glyph (code 127) shows it instead.
    Font boxed = make_font(8, 100);
    draw_text(frame_surface, "A\x05\xE9", 0, 8, boxed);
    EXPECT_EQ((std::vector<int>{code('A'), 127 - 32, 127 - 32}), cells(0, 8, 8, 3));
    free_font(boxed);
}

// The game's own fonts from the built graphics archive.
TEST(GameFonts, LoadHoldEveryPrintableCharacterAndSpaceIsTransparent) {
    TempDir dir(true);
    SDL_Surface* saved_frame = frame_surface;
    uint32_t saved_black = COLOUR_BLACK;
    frame_surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 240, 16, 0xF800, 0x07E0, 0x001F, 0);
    COLOUR_BLACK = 0;
    archive_close_all();
    archive_open_all();
    fonts_load();
    ASSERT_TRUE(font_small && font_big);
    int n_small = 0, n_big = 0;
    while (font_small[n_small]) n_small++;
    while (font_big[n_big]) n_big++;
    EXPECT_EQ(224, n_small) << "codes 32 to 255";
    EXPECT_EQ(224, n_big);
    EXPECT_EQ(8, font_small[0]->w);
    EXPECT_EQ(16, font_big[0]->h);

    Uint32 grey = SDL_MapRGB(frame_surface->format, 90, 90, 90);
    for (Font font : {font_small, font_big}) {
        int cell = font[0]->w;
        SDL_FillRect(frame_surface, nullptr, grey);
        draw_text(frame_surface, " A", 0, 0, font);
        int space_changed = 0, a_changed = 0, a_kept = 0;
        SDL_LockSurface(frame_surface);
        for (int y = 0; y < cell; y++) {
            const Uint16* row = (const Uint16*)((const Uint8*)frame_surface->pixels + y * frame_surface->pitch);
            for (int x = 0; x < cell; x++) space_changed += row[x] != grey;
            for (int x = cell; x < 2 * cell; x++) (row[x] != grey ? a_changed : a_kept)++;
        }
        SDL_UnlockSurface(frame_surface);
        EXPECT_EQ(0, space_changed) << cell;
        EXPECT_GT(a_changed, cell) << cell;
        EXPECT_GT(a_kept, cell) << "the background around a glyph is transparent";
    }
    fonts_free();
    EXPECT_EQ(nullptr, font_small);
    EXPECT_EQ(nullptr, font_big);
    archive_close_all();
    SDL_FreeSurface(frame_surface);
    frame_surface = saved_frame;
    COLOUR_BLACK = saved_black;
}

}  // namespace
