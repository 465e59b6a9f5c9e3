// Images: decoding with colour keys in 16-bit, 24-bit and paletted formats, the
// failure messages, cutting the tile sheet and its phased pairs, the visibility
// window of draw_tile, the dim panel, and the refusal of impossible core headers.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "compile.h"
#include "floob.h"
#include "gfx/image.h"
#include "gfx/video.h"
#include "storage/archive.h"
#include "support/support.h"

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream& operator<<(std::ostream& os, const Rgb& c) { return os << "(" << c.r << "," << c.g << "," << c.b << ")"; }

Rgb pixel_at(SDL_Surface* s, int x, int y) {
    SDL_LockSurface(s);
    const Uint8* p = (const Uint8*)s->pixels + y * s->pitch + x * s->format->BytesPerPixel;
    Uint32 v = 0;
    switch (s->format->BytesPerPixel) {
        case 1:
            v = *p;
            break;
        case 2:
            v = *(const Uint16*)p;
            break;
        case 3:
            v = (Uint32)p[0] | ((Uint32)p[1] << 8) | ((Uint32)p[2] << 16);
            break;
        default:
            v = *(const Uint32*)p;
            break;
    }
    SDL_UnlockSurface(s);
    Uint8 r, g, b;
    SDL_GetRGB(v, s->format, &r, &g, &b);
    return Rgb{r, g, b};
}

// A colour as it comes back from a surface of this format (16-bit loses low bits).
Rgb in_format(SDL_Surface* s, int r, int g, int b) {
    Uint8 rr, gg, bb;
    SDL_GetRGB(SDL_MapRGB(s->format, (Uint8)r, (Uint8)g, (Uint8)b), s->format, &rr, &gg, &bb);
    return Rgb{rr, gg, bb};
}

void put_pixel(SDL_Surface* s, int x, int y, int r, int g, int b) {
    SDL_Rect rect = {(Sint16)x, (Sint16)y, 1, 1};
    SDL_FillRect(s, &rect, SDL_MapRGB(s->format, (Uint8)r, (Uint8)g, (Uint8)b));
}

void fill(SDL_Surface* s, int r, int g, int b) { SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, r, g, b)); }

std::string bmp24(int w, int h, const std::vector<uint32_t>& rgb) {
    Bytes out;
    encode_bmp24(w, h, rgb, out);
    return std::string(out.begin(), out.end());
}

// An 8-bit paletted BMP, rows given top-down as palette indices.
std::string bmp8(int w, int h, const std::vector<uint32_t>& palette, const std::vector<uint8_t>& indices) {
    int row = (w + 3) & ~3;
    uint32_t offset = 54 + 4 * palette.size();
    std::string s = "BM";
    put_le32(s, offset + row * h);
    put_le32(s, 0);
    put_le32(s, offset);
    put_le32(s, 40);
    put_le32(s, w);
    put_le32(s, h);
    put_le16(s, 1);
    put_le16(s, 8);
    put_le32(s, 0);
    put_le32(s, row * h);
    put_le32(s, 2835);
    put_le32(s, 2835);
    put_le32(s, palette.size());
    put_le32(s, 0);
    for (uint32_t c : palette) {
        s += (char)(c & 0xFF);
        s += (char)((c >> 8) & 0xFF);
        s += (char)((c >> 16) & 0xFF);
        s += '\0';
    }
    for (int y = h - 1; y >= 0; y--) {
        for (int x = 0; x < w; x++) s += (char)indices[y * w + x];
        for (int x = w; x < row; x++) s += '\0';
    }
    return s;
}

SDL_Surface* decode(const std::string& bytes, int keyed) {
    return decode_image("test", (const uint8_t*)bytes.data(), bytes.size(), keyed ? IMAGE_KEYED : IMAGE_OPAQUE);
}

int has_key(SDL_Surface* s) { return (s->flags & SDL_SRCCOLORKEY) ? 1 : 0; }

// Installs a frame surface of the given depth (and size) as the game's own and
// puts the previous one back afterwards.
class FrameTest : public ::testing::Test {
   protected:
    void use_frame(int bpp, int w = 320, int h = 240) {
        if (frame_surface != saved_frame) SDL_FreeSurface(frame_surface);
        if (bpp == 16)
            frame_surface = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 16, 0xF800, 0x07E0, 0x001F, 0);
        else
            frame_surface = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, bpp, 0xFF0000, 0x00FF00, 0x0000FF, 0);
        ASSERT_NE(nullptr, frame_surface);
        COLOUR_BLACK = SDL_MapRGB(frame_surface->format, 0, 0, 0);
        fill(frame_surface, 0, 0, 0);
    }
    void SetUp() override {
        saved_frame = frame_surface;
        saved_black = COLOUR_BLACK;
        saved_camera = camera_x;
        archive_close_all();
    }
    void TearDown() override {
        tiles_free();
        dim_panel_free();
        if (frame_surface != saved_frame) SDL_FreeSurface(frame_surface);
        frame_surface = saved_frame;
        COLOUR_BLACK = saved_black;
        camera_x = saved_camera;
        archive_close_all();
    }
    SDL_Surface* saved_frame = nullptr;
    uint32_t saved_black = 0;
    int32_t saved_camera = 0;
    TempDir dir;
};

class ImageFormats : public FrameTest, public ::testing::WithParamInterface<int> {};

TEST_P(ImageFormats, KeyedImagesBlitTransparentMagentaAndUnkeyedOnesDoNot) {
    use_frame(GetParam());
    std::string bytes = bmp24(3, 1, {0xFF00FF, 0xFFFFFF, 0xFF0000});
    SDL_Surface* keyed = decode(bytes, 1);
    SDL_Surface* plain = decode(bytes, 0);
    ASSERT_TRUE(keyed && plain);
    EXPECT_EQ(frame_surface->format->BitsPerPixel, keyed->format->BitsPerPixel);
    EXPECT_EQ(frame_surface->format->Rmask, keyed->format->Rmask);
    EXPECT_EQ(1, has_key(keyed));
    EXPECT_EQ(SDL_MapRGB(keyed->format, 255, 0, 255), keyed->format->colorkey);
    EXPECT_EQ(0, has_key(plain));

    fill(frame_surface, 0, 0, 255);
    blit_at(keyed, 10, 20, frame_surface);
    EXPECT_EQ(in_format(frame_surface, 0, 0, 255), pixel_at(frame_surface, 10, 20));
    EXPECT_EQ(in_format(frame_surface, 255, 255, 255), pixel_at(frame_surface, 11, 20));
    EXPECT_EQ(in_format(frame_surface, 255, 0, 0), pixel_at(frame_surface, 12, 20));
    blit_at(plain, 10, 21, frame_surface);
    EXPECT_EQ(in_format(frame_surface, 255, 0, 255), pixel_at(frame_surface, 10, 21));
    free_image(keyed);
    free_image(plain);
}

TEST_P(ImageFormats, CreatedSurfacesAreBlackInTheFrameFormat) {
    use_frame(GetParam());
    SDL_Surface* s = create_surface(5, 3, 1);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(5, s->w);
    EXPECT_EQ(3, s->h);
    EXPECT_EQ(frame_surface->format->BitsPerPixel, s->format->BitsPerPixel);
    EXPECT_EQ((Rgb{0, 0, 0}), pixel_at(s, 4, 2));
    fill_rect(s, 1, 1, 2, 1, SDL_MapRGB(s->format, 255, 255, 255));
    EXPECT_EQ(in_format(s, 255, 255, 255), pixel_at(s, 2, 1));
    EXPECT_EQ((Rgb{0, 0, 0}), pixel_at(s, 3, 1));
    free_image(s);
}

INSTANTIATE_TEST_SUITE_P(Depths, ImageFormats, ::testing::Values(16, 24, 32));

TEST_F(FrameTest, SixteenBitKeyIsSetOnlyWhenMagentaOccurs) {
    use_frame(16);
    SDL_Surface* s = create_surface(16, 16, 1);
    fill(s, 255, 255, 255);
    set_colour_key(s, 255, 0, 255);
    EXPECT_EQ(0, has_key(s)) << "a 16-bit surface without magenta blits as opaque";
    put_pixel(s, 15, 15, 255, 0, 255);
    set_colour_key(s, 255, 0, 255);
    EXPECT_EQ(1, has_key(s));
    EXPECT_EQ(SDL_MapRGB(s->format, 255, 0, 255), s->format->colorkey);
    // An earlier key goes away when the colour is no longer there.
    put_pixel(s, 15, 15, 0, 0, 0);
    set_colour_key(s, 255, 0, 255);
    EXPECT_EQ(0, has_key(s));
    free_image(s);

    use_frame(24);
    s = create_surface(4, 4, 1);
    set_colour_key(s, 255, 0, 255);
    EXPECT_EQ(1, has_key(s)) << "other depths take the key without looking";
    free_image(s);
}

TEST_F(FrameTest, PalettedImagesKeyTheMatchingIndexOrIndexZero) {
    use_frame(16);
    std::string with_magenta = bmp8(4, 1, {0xFF0000, 0x00FF00, 0xFF00FF, 0x0000FF}, {0, 1, 2, 3});
    std::string without = bmp8(4, 1, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, {0, 1, 2, 3});
    SDL_RWops* rw = SDL_RWFromMem((void*)with_magenta.data(), with_magenta.size());
    SDL_Surface* s = SDL_LoadBMP_RW(rw, 1);
    ASSERT_NE(nullptr, s);
    ASSERT_EQ(8, s->format->BitsPerPixel);
    set_colour_key(s, 255, 0, 255);
    EXPECT_EQ(1, has_key(s));
    EXPECT_EQ(2u, s->format->colorkey);
    SDL_FreeSurface(s);

    rw = SDL_RWFromMem((void*)without.data(), without.size());
    s = SDL_LoadBMP_RW(rw, 1);
    ASSERT_NE(nullptr, s);
    set_colour_key(s, 255, 0, 255);
    EXPECT_EQ(1, has_key(s));
    EXPECT_EQ(0u, s->format->colorkey);
    SDL_FreeSurface(s);

    // Loaded keyed into the frame format, the colour of index 0 is transparent.
    SDL_Surface* image = decode(without, 1);
    fill(frame_surface, 10, 10, 10);
    blit_at(image, 0, 0, frame_surface);
    EXPECT_EQ(in_format(frame_surface, 10, 10, 10), pixel_at(frame_surface, 0, 0));
    EXPECT_EQ(in_format(frame_surface, 0, 255, 0), pixel_at(frame_surface, 1, 0));
    EXPECT_EQ(in_format(frame_surface, 0, 0, 255), pixel_at(frame_surface, 2, 0));
    free_image(image);
}

TEST_F(FrameTest, LoadImageReadsTheGraphicsArchive) {
    use_frame(24);
    write_data_archive("gfx", {archive_entry("logo.bmp", bmp24(2, 2, {0x112233, 0x445566, 0x778899, 0xAABBCC}))});
    archive_open_all();
    SDL_Surface* logo = load_image("logo", IMAGE_KEYED);
    ASSERT_NE(nullptr, logo);
    EXPECT_EQ(2, logo->w);
    EXPECT_EQ((Rgb{0x77, 0x88, 0x99}), pixel_at(logo, 0, 1));
    free_image(logo);
}

// fatal_error prints to standard output; death tests read standard error.
void tiles_to_stderr() {
    dup2(2, 1);
    tiles_init();
}

void decode_to_stderr(const std::string& bytes, int keyed = 1) {
    dup2(2, 1);
    decode(bytes, keyed);
}

TEST_F(FrameTest, FailuresEndWithTheirMessages) {
    use_frame(16);
    EXPECT_EXIT(tiles_to_stderr(), ::testing::ExitedWithCode(1), "Error loading gfx file: blocks");

    std::string junk = "BM this is not a bitmap at all";
    EXPECT_EXIT(decode_to_stderr(junk), ::testing::ExitedWithCode(1), "Unable to load bitmap: ");
    EXPECT_EQ(junk, read_file("fuu.xxx")) << "the undecodable bytes are kept for inspection";

    // A header promising more palette entries than a bitmap can have.
    std::string greedy = bmp8(2, 1, {0xFFFFFF, 0x000000}, {0, 1});
    greedy[46] = (char)0xE8;
    greedy[47] = 0x03;
    EXPECT_EXIT(decode_to_stderr(greedy), ::testing::ExitedWithCode(1), "Unable to load bitmap: Malformed BMP header");

    // No image of the game is wider or taller than 1024 pixels, however small its bytes.
    EXPECT_EXIT(decode_to_stderr(bmp24(1025, 1, std::vector<uint32_t>(1025, 0x102030))), ::testing::ExitedWithCode(1),
                "Unable to load bitmap: Malformed BMP header");

    // The dump is written like a player's file, never through a link planted in its place.
    remove("fuu.xxx");
    ASSERT_TRUE(write_file("victim", "keep"));
    ASSERT_EQ(0, symlink("victim", "fuu.xxx"));
    EXPECT_EXIT(decode_to_stderr(junk), ::testing::ExitedWithCode(1), "Unable to load bitmap: ");
    EXPECT_EQ("keep", read_file("victim"));
    EXPECT_EQ(junk, read_file("fuu.xxx"));

    // When the dump cannot be written the message still comes, without a crash.
    remove("fuu.xxx");
    mkdir("fuu.xxx", 0755);
    EXPECT_EXIT(decode_to_stderr(junk), ::testing::ExitedWithCode(1), "Unable to load bitmap: ");
}

// A sheet whose pixel (x, y) is (x mod 256, y, 64 + x / 256), never magenta.
std::vector<uint32_t> coded_sheet(int w, int h) {
    std::vector<uint32_t> rgb((size_t)w * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) rgb[(size_t)y * w + x] = ((uint32_t)(x & 0xFF) << 16) | (y << 8) | (64 + x / 256);
    return rgb;
}

Rgb sheet_colour(int x, int y) { return Rgb{x & 0xFF, y, 64 + x / 256}; }

void install_blocks(const std::string& bmp) {
    write_data_archive("gfx", {archive_entry("blocks.bmp", bmp)});
    archive_close_all();
    archive_open_all();
}

TEST_F(FrameTest, TilesAreCutRowByRowFromTheSheet) {
    use_frame(24);
    install_blocks(bmp24(320, 192, coded_sheet(320, 192)));
    EXPECT_EQ(1, tiles_init());
    for (int n : {0, 1, 19, 20, 77, 160, 239}) {
        SDL_Surface* t = tile_images[n];
        ASSERT_NE(nullptr, t) << n;
        EXPECT_EQ(16, t->w);
        EXPECT_EQ(16, t->h);
        int cx = (n % 20) * 16, cy = (n / 20) * 16;
        EXPECT_EQ(sheet_colour(cx, cy), pixel_at(t, 0, 0)) << "tile " << n;
        EXPECT_EQ(sheet_colour(cx + 15, cy + 15), pixel_at(t, 15, 15)) << "tile " << n;
        EXPECT_EQ(sheet_colour(cx + 3, cy + 9), pixel_at(t, 3, 9)) << "tile " << n;
    }
    tiles_free();
    for (int n = 0; n < TILE_COUNT; n++) EXPECT_EQ(nullptr, tile_images[n]);
    for (int i = 0; i < PHASED_PAIRS; i++) EXPECT_EQ(nullptr, phased_tiles[i][1]);
}

TEST_F(FrameTest, CellsOutsideASmallSheetStayBlack) {
    use_frame(24);
    install_blocks(bmp24(160, 96, coded_sheet(160, 96)));
    tiles_init();
    EXPECT_EQ(sheet_colour(144, 80), pixel_at(tile_images[5 * 20 + 9], 0, 0));
    EXPECT_EQ((Rgb{0, 0, 0}), pixel_at(tile_images[10], 0, 0));
    EXPECT_EQ((Rgb{0, 0, 0}), pixel_at(tile_images[6 * 20], 8, 8));
}

TEST_F(FrameTest, TilesInSixteenBitKeepAKeyOnlyWhenTheyHoldMagenta) {
    use_frame(16);
    std::vector<uint32_t> rgb = coded_sheet(320, 192);
    rgb[(size_t)5 * 320 + 5 * 16 + 5] = 0xFF00FF;  // one magenta pixel in tile 5
    install_blocks(bmp24(320, 192, rgb));
    tiles_init();
    EXPECT_EQ(1, has_key(tile_images[5]));
    EXPECT_EQ(0, has_key(tile_images[4]));
    EXPECT_EQ(0, has_key(tile_images[6]));
}

// Checks pair i against the strip rotated left by a.
void expect_pair(int i, int a) {
    for (int x = 0; x < 16; x++) {
        for (int y : {0, 7, 15}) {
            EXPECT_EQ(sheet_colour(a + x, 128 + y), pixel_at(phased_tiles[i][0], x, y))
                << "pair " << i << " offset " << a << " first, x " << x;
            EXPECT_EQ(sheet_colour((a + 16 + x) % 32, 128 + y), pixel_at(phased_tiles[i][1], x, y))
                << "pair " << i << " offset " << a << " second, x " << x;
        }
    }
}

unsigned seed_for_first_offset(int a) {
    for (unsigned seed = 1; seed < 100000; seed++) {
        srand(seed);
        if (rand() % 15 == a) return seed;
    }
    return 0;
}

TEST_F(FrameTest, PhasedPairsHoldTheRotatedStrip) {
    use_frame(24);
    install_blocks(bmp24(320, 192, coded_sheet(320, 192)));
    for (int a : {0, 14}) {
        unsigned seed = seed_for_first_offset(a);
        ASSERT_NE(0u, seed);
        srand(seed);
        int offsets[PHASED_PAIRS];
        for (int i = 0; i < PHASED_PAIRS; i++) offsets[i] = rand() % 15;
        srand(seed);
        tiles_init();
        for (int i = 0; i < PHASED_PAIRS; i++) expect_pair(i, offsets[i]);
        tiles_free();
    }
}

TEST_F(FrameTest, DrawTileVisibilityWindow) {
    use_frame(24, 400, 240);  // wider than the view, so that a draw at x = 320 shows
    tile_images[3] = create_surface(16, 16, 0);
    fill(tile_images[3], 255, 255, 255);
    const int32_t view_x = 1000;
    struct Case {
        int x, y;
        int px, py;  // a pixel the tile covers when drawn, or px < 0 when nothing may be drawn
    };
    // Sprites stop at the play area's last row, 191.
    const Case cases[] = {{1000, -15, 0, 0}, {1000, 191, 0, 191},  {1000, 192, -1, 0}, {1000, -16, -1, 0},
                          {985, 0, 0, 0},    {1319, 0, 319, 0},    {1320, 0, 320, 0},  {1321, 0, -1, 0},
                          {983, 0, -1, 0},   {1100, 100, 115, 115}};
    const Rgb white{255, 255, 255}, black{0, 0, 0};
    for (const Case& c : cases) {
        fill(frame_surface, 0, 0, 0);
        draw_tile(view_x, c.x, c.y, 3);
        int drawn = 0;
        for (int y = 0; y < 240 && !drawn; y++)
            for (int x = 0; x < 400; x++)
                if (!(pixel_at(frame_surface, x, y) == black)) drawn = 1;
        if (c.px < 0)
            EXPECT_EQ(0, drawn) << "tile at " << c.x << "," << c.y;
        else
            EXPECT_EQ(white, pixel_at(frame_surface, c.px, c.py)) << "tile at " << c.x << "," << c.y;
    }
    fill(frame_surface, 0, 0, 0);
    draw_tile(view_x, 1000, -15, 3);
    EXPECT_EQ(black, pixel_at(frame_surface, 0, 1)) << "only the tile's last row shows";
    fill(frame_surface, 0, 0, 0);
    draw_tile(view_x, 1000, 186, 3);
    EXPECT_EQ(white, pixel_at(frame_surface, 0, 191));
    EXPECT_EQ(black, pixel_at(frame_surface, 0, 192)) << "nothing below the play area";
}

TEST_P(ImageFormats, DimPanelHalvesThePlayAreaAndLeavesTheStatusLine) {
    use_frame(GetParam());
    dim_panel_init();
    SDL_Surface* dim_panel = dim_panel_surface();
    ASSERT_NE(nullptr, dim_panel);
    EXPECT_EQ(320, dim_panel->w);
    EXPECT_EQ(192, dim_panel->h);
    fill(frame_surface, 200, 160, 80);
    Rgb before = pixel_at(frame_surface, 0, 0);
    draw_dim_panel();
    for (int y : {0, 100, 191}) {
        for (int x : {0, 319}) {
            Rgb c = pixel_at(frame_surface, x, y);
            EXPECT_NEAR(before.r / 2, c.r, 8) << x << "," << y;
            EXPECT_NEAR(before.g / 2, c.g, 8) << x << "," << y;
            EXPECT_NEAR(before.b / 2, c.b, 8) << x << "," << y;
        }
    }
    EXPECT_EQ(before, pixel_at(frame_surface, 0, 192));
    EXPECT_EQ(before, pixel_at(frame_surface, 319, 239));
}

// Bitmaps with the old 12-byte core header: a sane one decodes, while one
// whose sizes or depth cannot be real is refused with "Malformed BMP header"
// before the decoder allocates a surface of the size it claims.

// A core-header bitmap of 24-bit pixels, bottom row first, rows padded to 4 bytes.
std::string core_bmp(uint32_t width, uint32_t height, uint32_t bits, uint32_t pixel_bytes) {
    std::string dib;
    put_le32(dib, 12);
    put_le16(dib, width);
    put_le16(dib, height);
    put_le16(dib, 1);
    put_le16(dib, bits);
    std::string bmp = "BM";
    put_le32(bmp, 14 + 12 + pixel_bytes);
    put_le32(bmp, 0);
    put_le32(bmp, 14 + 12);
    return bmp + dib + std::string(pixel_bytes, '\x40');
}

class CoreHeader : public ::testing::Test {
   protected:
    void SetUp() override {
        saved_frame = frame_surface;
        frame_surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 240, 16, 0xF800, 0x07E0, 0x001F, 0);
        ASSERT_NE(nullptr, frame_surface);
    }
    void TearDown() override {
        SDL_FreeSurface(frame_surface);
        frame_surface = saved_frame;
    }
    SDL_Surface* saved_frame = nullptr;
};

TEST_F(CoreHeader, SaneCoreBitmapDecodes) {
    TempDir dir;
    SDL_Surface* image = decode(core_bmp(3, 2, 24, 2 * 12), 0);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(3, image->w);
    EXPECT_EQ(2, image->h);
    free_image(image);
}

TEST_F(CoreHeader, ImpossibleSizesAndDepthsAreRefused) {
    TempDir dir;
    // Found by fuzzing: 258 x 65535 at a depth no bitmap has.
    const unsigned char found[] = {0x42, 0x4d, 0x2a, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1a, 0x00, 0x00, 0x00,
                                   0x0c, 0x00, 0x00, 0x00, 0x02, 0x01, 0xff, 0xff, 0x61, 0x50, 0x00, 0x05, 0x01, 0x19};
    std::string fuzzed(reinterpret_cast<const char*>(found), sizeof found);
    EXPECT_EXIT(decode_to_stderr(fuzzed, 0), ::testing::ExitedWithCode(1),
                "Unable to load bitmap: Malformed BMP header");
    EXPECT_EQ(fuzzed, read_file("fuu.xxx"));

    EXPECT_EXIT(decode_to_stderr(core_bmp(0, 2, 24, 16), 0), ::testing::ExitedWithCode(1), "Malformed BMP header");
    EXPECT_EXIT(decode_to_stderr(core_bmp(4, 0, 24, 16), 0), ::testing::ExitedWithCode(1), "Malformed BMP header");
    EXPECT_EXIT(decode_to_stderr(core_bmp(60000, 60000, 24, 16), 0), ::testing::ExitedWithCode(1),
                "Malformed BMP header");
    EXPECT_EXIT(decode_to_stderr(core_bmp(4, 4, 16, 32), 0), ::testing::ExitedWithCode(1), "Malformed BMP header");
}

}  // namespace
