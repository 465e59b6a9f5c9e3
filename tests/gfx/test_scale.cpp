// The scaling filters and present_frame: every filter in every pixel size
// against a per-pixel model of its rule, the exact channel values, the SSE2
// and portable loops against each other, and no write outside the surfaces.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

#include "floob.h"
#include "gfx/scale.h"
#include "gfx/video.h"

namespace {

const int32_t GUARD = 64;      // sentinel bytes before and after each surface's memory
const int32_t ROW_SPARE = 12;  // extra bytes at the end of each row (padded pitch)
const uint8_t SENTINEL = 0xA5;

// A surface over memory the test owns, with sentinels around it and in the row padding.
struct TestSurface {
    std::vector<uint8_t> mem;
    SDL_Surface* s = nullptr;
    int32_t w = 0, h = 0, bpp = 0, pitch = 0;
};

void make_surface(TestSurface* t, int32_t w, int32_t h, int32_t bpp) {
    uint32_t r = 0xFF0000, g = 0xFF00, b = 0xFF;
    if (bpp == 2) r = 0xF800, g = 0x07E0, b = 0x001F;
    t->w = w, t->h = h, t->bpp = bpp, t->pitch = w * bpp + ROW_SPARE;
    t->mem.assign(GUARD * 2 + t->pitch * h, SENTINEL);
    t->s = SDL_CreateRGBSurfaceFrom(t->mem.data() + GUARD, w, h, bpp * 8, t->pitch, r, g, b, 0);
}

void free_surface(TestSurface* t) {
    if (t->s) SDL_FreeSurface(t->s);
    t->s = nullptr;
}

uint8_t* pixel_at(const TestSurface& t, int32_t x, int32_t y) {
    return (uint8_t*)t.mem.data() + GUARD + y * t.pitch + x * t.bpp;
}

// Pixel value with byte k of memory as byte k of the value (native word for 16 bits).
uint32_t get_px(const TestSurface& t, int32_t x, int32_t y) {
    const uint8_t* p = pixel_at(t, x, y);
    if (t.bpp == 2) {
        uint16_t v;
        memcpy(&v, p, 2);
        return v;
    }
    uint32_t v = 0;
    for (int32_t k = 0; k < t.bpp; k++) v |= (uint32_t)p[k] << (8 * k);
    return v;
}

void set_px(TestSurface* t, int32_t x, int32_t y, uint32_t v) {
    uint8_t* p = pixel_at(*t, x, y);
    if (t->bpp == 2) {
        uint16_t w = (uint16_t)v;
        memcpy(p, &w, 2);
        return;
    }
    for (int32_t k = 0; k < t->bpp; k++) p[k] = (uint8_t)(v >> (8 * k));
}

// The filters' channel rules, written per channel.
uint32_t ref_avg(int32_t bpp, uint32_t a, uint32_t b) {
    if (bpp == 2) return ((a & 0xF7DF) + (b & 0xF7DF)) >> 1;
    uint32_t r = 0;
    for (int32_t k = 0; k < bpp; k++) r |= ((((a >> (8 * k)) & 255) + ((b >> (8 * k)) & 255)) >> 1) << (8 * k);
    return r;
}

uint32_t ref_avg4(int32_t bpp, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    if (bpp == 2) return ref_avg(2, ref_avg(2, a, b) & 0xF7DF, ref_avg(2, c, d) & 0xF7DF);
    uint32_t r = 0;
    for (int32_t k = 0; k < bpp; k++) {
        uint32_t sum =
            ((a >> (8 * k)) & 255) + ((b >> (8 * k)) & 255) + ((c >> (8 * k)) & 255) + ((d >> (8 * k)) & 255);
        r |= (sum >> 2) << (8 * k);
    }
    return r;
}

uint32_t ref_dark(int32_t bpp, uint32_t p) {
    if (bpp == 2) return (p & 0x8410) >> 2;
    uint32_t r = 0;
    for (int32_t k = 0; k < bpp; k++) r |= ((((p >> (8 * k)) & 255) & 0x80) >> 2) << (8 * k);
    return r;
}

// The expected output block of source pixel (x, y): e[0..3] = E0, E1, E2, E3.
void ref_block(const TestSurface& f, int32_t mode, int32_t x, int32_t y, uint32_t e[4]) {
    int32_t bpp = f.bpp;
    uint32_t p = get_px(f, x, y);
    if (mode == SCALE_SIMPLE || mode == SCALE_SCANLINE) {
        e[0] = e[1] = p;
        e[2] = e[3] = mode == SCALE_SCANLINE ? ref_dark(bpp, p) : p;
        return;
    }
    if (mode == SCALE_BILINEAR) {
        int32_t right = x < 319, below = y < 239;
        uint32_t r = right ? get_px(f, x + 1, y) : 0;
        uint32_t d = below ? get_px(f, x, y + 1) : 0;
        if (right && below) {
            e[0] = p, e[1] = ref_avg(bpp, p, r), e[2] = ref_avg(bpp, p, d);
            e[3] = ref_avg4(bpp, p, r, d, get_px(f, x + 1, y + 1));
        } else if (below) {
            e[0] = e[1] = p, e[2] = e[3] = ref_avg(bpp, p, d);
        } else if (right) {
            e[0] = e[2] = p, e[1] = e[3] = ref_avg(bpp, p, r);
        } else {
            e[0] = e[1] = e[2] = e[3] = p;
        }
        return;
    }
    uint32_t a = y > 0 ? get_px(f, x, y - 1) : p, d = y < 239 ? get_px(f, x, y + 1) : p;
    uint32_t l = x > 0 ? get_px(f, x - 1, y) : p, r = x < 319 ? get_px(f, x + 1, y) : p;
    e[0] = e[1] = e[2] = e[3] = p;
    if (a == d || l == r) return;
    int32_t aa = mode == SCALE_ANTIALIAS;
    if (l == a) e[0] = aa ? ref_avg(bpp, p, a) : a;
    if (a == r) e[1] = aa ? ref_avg(bpp, p, r) : r;
    if (l == d) e[2] = aa ? ref_avg(bpp, p, l) : l;
    if (r == d) e[3] = aa ? ref_avg(bpp, p, d) : d;
}

void run_mode(int32_t mode) {
    switch (mode) {
        case SCALE_SIMPLE:
            scale_simple();
            break;
        case SCALE_SCALE2X:
            scale_scale2x();
            break;
        case SCALE_SCANLINE:
            scale_scanline();
            break;
        case SCALE_BILINEAR:
            scale_bilinear();
            break;
        default:
            scale_antialias();
            break;
    }
}

uint32_t lcg_state = 1;
uint32_t next_random() {
    lcg_state = lcg_state * 1103515245u + 12345u;
    return lcg_state >> 8;
}

uint32_t value_mask(int32_t bpp) { return bpp == 4 ? 0xFFFFFFFFu : (1u << (8 * bpp)) - 1; }

enum { FRAME_FLAT, FRAME_TILES, FRAME_FEW_COLOURS, FRAME_NOISE, FRAME_KINDS };

// Flat colour; tile-like blocks with a staircase diagonal and lone pixels;
// noise over three colours (every Scale2X case); full-range noise.
void fill_frame(TestSurface* f, int32_t kind) {
    lcg_state = 12345 + kind;
    uint32_t m = value_mask(f->bpp);
    uint32_t colours[4] = {0x12345678u & m, 0xFFFFFFFFu & m, 0, 0x9ABCDEF0u & m};
    for (int32_t y = 0; y < 240; y++) {
        for (int32_t x = 0; x < 320; x++) {
            uint32_t v = colours[0];
            if (kind == FRAME_TILES) {
                v = colours[((x / 16) + (y / 16)) % 3];
                if (x % 16 > y % 16) v = colours[3];
                if (x % 37 == 5 && y % 29 == 7) v = colours[1];
            } else if (kind == FRAME_FEW_COLOURS) {
                v = colours[next_random() % 3];
            } else if (kind == FRAME_NOISE) {
                v = (next_random() ^ (next_random() << 16)) & m;
            }
            set_px(f, x, y, v);
        }
    }
}

bool sentinels_intact(const TestSurface& t) {
    for (int32_t i = 0; i < GUARD; i++)
        if (t.mem[i] != SENTINEL || t.mem[t.mem.size() - 1 - i] != SENTINEL) return false;
    for (int32_t y = 0; y < t.h; y++)
        for (int32_t i = t.w * t.bpp; i < t.pitch; i++)
            if (t.mem[GUARD + y * t.pitch + i] != SENTINEL) return false;
    return true;
}

class ScaleFilters : public ::testing::Test {
   protected:
    TestSurface frame, display;
    int32_t saved_path = scale_path;
    void use(int32_t bpp) {
        free_surface(&frame);
        free_surface(&display);
        make_surface(&frame, 320, 240, bpp);
        make_surface(&display, 640, 480, bpp);
        frame_surface = frame.s;
        display_surface = display.s;
    }
    // Number of output pixels that differ from the model.
    int32_t count_wrong(int32_t mode) {
        int32_t wrong = 0;
        for (int32_t y = 0; y < 240; y++)
            for (int32_t x = 0; x < 320; x++) {
                uint32_t e[4];
                ref_block(frame, mode, x, y, e);
                wrong += get_px(display, 2 * x, 2 * y) != e[0];
                wrong += get_px(display, 2 * x + 1, 2 * y) != e[1];
                wrong += get_px(display, 2 * x, 2 * y + 1) != e[2];
                wrong += get_px(display, 2 * x + 1, 2 * y + 1) != e[3];
            }
        return wrong;
    }
    void TearDown() override {
        frame_surface = nullptr;
        display_surface = nullptr;
        free_surface(&frame);
        free_surface(&display);
        scale_path = saved_path;
    }
};

TEST_F(ScaleFilters, EveryFilterMatchesItsRuleInEveryPixelSize) {
    for (int32_t bpp = 2; bpp <= 4; bpp++) {
        use(bpp);
        for (int32_t kind = 0; kind < FRAME_KINDS; kind++) {
            fill_frame(&frame, kind);
            for (int32_t mode = SCALE_SIMPLE; mode <= SCALE_ANTIALIAS; mode++)
                for (int32_t path = SCALE_PATH_PORTABLE; path <= best_scale_path(); path++) {
                    scale_path = path;
                    memset(display.mem.data() + GUARD, 0x3C, display.pitch * 480);
                    for (int32_t y = 0; y < 480; y++)
                        memset(display.mem.data() + GUARD + y * display.pitch + 640 * bpp, SENTINEL, ROW_SPARE);
                    run_mode(mode);
                    EXPECT_EQ(count_wrong(mode), 0)
                        << "bpp " << bpp << " frame " << kind << " mode " << mode << " path " << path;
                    EXPECT_TRUE(sentinels_intact(display)) << "bpp " << bpp << " mode " << mode;
                    EXPECT_TRUE(sentinels_intact(frame));
                }
        }
    }
}

// Every loop this processor can run writes the same bytes as the portable
// loops, and nothing else: the row padding and the guards keep their sentinels.
TEST_F(ScaleFilters, EveryPathGivesThePortableBytes) {
    if (best_scale_path() == SCALE_PATH_PORTABLE) GTEST_SKIP() << "no vector path in this build";
    for (int32_t bpp = 2; bpp <= 4; bpp++) {
        use(bpp);
        for (int32_t kind = FRAME_TILES; kind < FRAME_KINDS; kind++) {
            fill_frame(&frame, kind);
            for (int32_t mode = SCALE_SIMPLE; mode <= SCALE_ANTIALIAS; mode++) {
                std::vector<uint8_t> before = display.mem;
                scale_path = SCALE_PATH_PORTABLE;
                run_mode(mode);
                std::vector<uint8_t> portable = display.mem;
                for (int32_t path = SCALE_PATH_SSE2; path <= best_scale_path(); path++) {
                    memcpy(display.mem.data(), before.data(), before.size());
                    scale_path = path;
                    run_mode(mode);
                    EXPECT_TRUE(portable == display.mem)
                        << "bpp " << bpp << " frame " << kind << " mode " << mode << " path " << path;
                }
                // A path asked for that the processor lacks falls back to one it has.
                memcpy(display.mem.data(), before.data(), before.size());
                scale_path = SCALE_PATH_AVX2 + 1;
                run_mode(mode);
                EXPECT_TRUE(portable == display.mem) << "bpp " << bpp << " mode " << mode << " unknown path";
            }
        }
    }
}

TEST_F(ScaleFilters, ScanlineDarkValues) {
    use(2);
    fill_frame(&frame, FRAME_FLAT);
    for (int32_t x = 0; x < 320; x++) set_px(&frame, x, 10, 0xFFFF);
    for (int32_t x = 0; x < 320; x++) set_px(&frame, x, 11, 0x7BEF);  // every channel just below half
    scale_scanline();
    EXPECT_EQ(get_px(display, 7, 20), 0xFFFFu);
    EXPECT_EQ(get_px(display, 7, 21), 0x2104u);
    EXPECT_EQ(get_px(display, 639, 21), 0x2104u);
    EXPECT_EQ(get_px(display, 7, 23), 0u);

    use(3);
    for (int32_t y = 0; y < 240; y++)
        for (int32_t x = 0; x < 320; x++) set_px(&frame, x, y, 200 | (100 << 8) | (128 << 16));
    scale_scanline();
    const uint8_t* even = pixel_at(display, 639, 478);
    const uint8_t* odd = pixel_at(display, 639, 479);
    EXPECT_EQ(even[0], 200);
    EXPECT_EQ(even[1], 100);
    EXPECT_EQ(even[2], 128);
    EXPECT_EQ(odd[0], 32);
    EXPECT_EQ(odd[1], 0);
    EXPECT_EQ(odd[2], 32);
}

TEST_F(ScaleFilters, BilinearAveragesAndFrameEdges) {
    use(2);
    // White left half, black right half, one red last column, a blue last row.
    for (int32_t y = 0; y < 240; y++)
        for (int32_t x = 0; x < 320; x++) set_px(&frame, x, y, x < 160 ? 0xFFFF : 0);
    for (int32_t y = 0; y < 240; y++) set_px(&frame, 319, y, 0xF000);
    for (int32_t x = 0; x < 320; x++) set_px(&frame, x, 239, 0x001F);
    scale_bilinear();
    EXPECT_EQ(get_px(display, 318, 0), 0xFFFFu);
    EXPECT_EQ(get_px(display, 319, 0), 0x7BEFu);
    EXPECT_EQ(get_px(display, 320, 0), 0u);
    // The last column pair repeats the frame's last column; below it, the
    // average with the row under it, never with anything beyond the frame.
    for (int32_t y = 0; y < 476; y++) {
        EXPECT_EQ(get_px(display, 638, y), 0xF000u) << y;
        EXPECT_EQ(get_px(display, 639, y), 0xF000u) << y;
    }
    EXPECT_EQ(get_px(display, 638, 477), 0x780Fu);
    EXPECT_EQ(get_px(display, 639, 477), 0x780Fu);
    for (int32_t x = 0; x < 640; x++) {
        EXPECT_EQ(get_px(display, x, 478), get_px(display, x, 479)) << x;
        EXPECT_EQ(get_px(display, x, 478), 0x001Fu) << x;
    }
}

TEST_F(ScaleFilters, Scale2xLonePixelsAndBorders) {
    use(2);
    fill_frame(&frame, FRAME_FLAT);
    uint32_t bg = get_px(frame, 0, 0);
    set_px(&frame, 100, 100, 0xFFFF);
    set_px(&frame, 0, 0, 0xFFFF);
    set_px(&frame, 319, 239, 0xFFFF);
    scale_scale2x();
    // A lone pixel stays a 2 x 2 block.
    EXPECT_EQ(get_px(display, 200, 200), 0xFFFFu);
    EXPECT_EQ(get_px(display, 201, 200), 0xFFFFu);
    EXPECT_EQ(get_px(display, 200, 201), 0xFFFFu);
    EXPECT_EQ(get_px(display, 201, 201), 0xFFFFu);
    EXPECT_EQ(get_px(display, 202, 200), bg);
    // In a corner the missing neighbours are the pixel itself: above and left
    // match it, so only the quarter facing the background takes the background.
    EXPECT_EQ(get_px(display, 0, 0), 0xFFFFu);
    EXPECT_EQ(get_px(display, 1, 0), 0xFFFFu);
    EXPECT_EQ(get_px(display, 0, 1), 0xFFFFu);
    EXPECT_EQ(get_px(display, 1, 1), bg);
    EXPECT_EQ(get_px(display, 638, 478), bg);
    EXPECT_EQ(get_px(display, 639, 479), 0xFFFFu);
}

TEST_F(ScaleFilters, AntialiasShadesDiagonalsAndKeepsFlatAreas) {
    use(2);
    // White below a staircase diagonal, black above it.
    for (int32_t y = 0; y < 240; y++)
        for (int32_t x = 0; x < 320; x++) set_px(&frame, x, y, x <= y ? 0xFFFF : 0);
    scale_antialias();
    // Black pixel (11, 10): left and below are white, so its lower-left quarter is half-way.
    EXPECT_EQ(get_px(display, 22, 21), 0x7BEFu);
    EXPECT_EQ(get_px(display, 23, 20), 0u);
    // Far from the edge nothing changes.
    EXPECT_EQ(get_px(display, 40, 200), 0xFFFFu);
    EXPECT_EQ(get_px(display, 400, 20), 0u);
}

TEST_F(ScaleFilters, UnusableSurfacesAreLeftAlone) {
    use(2);
    fill_frame(&frame, FRAME_NOISE);
    TestSurface small, other;
    make_surface(&small, 320, 240, 2);
    make_surface(&other, 640, 480, 3);
    std::vector<uint8_t> before = small.mem;
    display_surface = small.s;  // too small to receive the enlargement
    for (int32_t mode = SCALE_SIMPLE; mode <= SCALE_ANTIALIAS; mode++) run_mode(mode);
    EXPECT_TRUE(before == small.mem);
    before = other.mem;
    display_surface = other.s;  // different pixel size
    for (int32_t mode = SCALE_SIMPLE; mode <= SCALE_ANTIALIAS; mode++) run_mode(mode);
    EXPECT_TRUE(before == other.mem);
    frame_surface = nullptr;
    display_surface = display.s;
    scale_simple();
    free_surface(&small);
    free_surface(&other);
}

// A surface with tight rows whose memory ends exactly where an inaccessible
// page begins, with another such page before it: any read or write outside
// the pixels kills the test program instead of passing unnoticed.
struct FencedSurface {
    uint8_t* map = nullptr;
    size_t map_bytes = 0;
    SDL_Surface* s = nullptr;
};

void make_fenced(FencedSurface* f, int32_t w, int32_t h, int32_t bpp) {
    size_t page = (size_t)sysconf(_SC_PAGESIZE), bytes = (size_t)w * bpp * h;
    size_t body = (bytes + page - 1) / page * page;
    f->map_bytes = body + 2 * page;
    f->map = (uint8_t*)mmap(nullptr, f->map_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(f->map, MAP_FAILED);
    mprotect(f->map, page, PROT_NONE);
    mprotect(f->map + page + body, page, PROT_NONE);
    uint8_t* pixels = f->map + page + body - bytes;
    uint32_t r = bpp == 2 ? 0xF800 : 0xFF0000, g = bpp == 2 ? 0x07E0 : 0xFF00, b = bpp == 2 ? 0x001F : 0xFF;
    f->s = SDL_CreateRGBSurfaceFrom(pixels, w, h, bpp * 8, w * bpp, r, g, b, 0);
    for (size_t i = 0; i < bytes; i++) pixels[i] = (uint8_t)(i * 131 + (i >> 9));
}

void free_fenced(FencedSurface* f) {
    if (f->s) SDL_FreeSurface(f->s);
    if (f->map) munmap(f->map, f->map_bytes);
    *f = FencedSurface();
}

TEST(ScaleFences, NoFilterReachesOutsideTightSurfaces) {
    int32_t saved = scale_path;
    for (int32_t bpp = 2; bpp <= 4; bpp++) {
        FencedSurface frame, display;
        make_fenced(&frame, 320, 240, bpp);
        make_fenced(&display, 640, 480, bpp);
        frame_surface = frame.s;
        display_surface = display.s;
        for (int32_t path = SCALE_PATH_PORTABLE; path <= best_scale_path(); path++) {
            scale_path = path;
            for (int32_t mode = SCALE_SIMPLE; mode <= SCALE_ANTIALIAS; mode++) run_mode(mode);
            // The last pixel of the display is the frame's last pixel in every filter but scanline.
            scale_simple();
            const uint8_t* src = (const uint8_t*)frame.s->pixels + 240 * 320 * bpp - bpp;
            const uint8_t* dst = (const uint8_t*)display.s->pixels + 480 * 640 * bpp - bpp;
            EXPECT_EQ(memcmp(src, dst, bpp), 0) << "bpp " << bpp << " path " << path;
        }
        frame_surface = nullptr;
        display_surface = nullptr;
        free_fenced(&frame);
        free_fenced(&display);
    }
    scale_path = saved;
}

// present_frame on real video surfaces of the dummy driver.
class PresentFrame : public ::testing::Test {
   protected:
    int32_t saved_mode = scale_mode;
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    }
    void TearDown() override {
        if (display_surface && frame_surface) SDL_FreeSurface(frame_surface);
        frame_surface = nullptr;
        display_surface = nullptr;
        scale_mode = saved_mode;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

TEST_F(PresentFrame, DispatchesOnScaleModeAndFlips) {
    display_surface = SDL_SetVideoMode(640, 480, 16, SDL_DOUBLEBUF | SDL_HWSURFACE);
    ASSERT_NE(display_surface, nullptr);
    SDL_PixelFormat* f = display_surface->format;
    frame_surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 240, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, 0);
    ASSERT_NE(frame_surface, nullptr);
    for (int32_t y = 0; y < 240; y++)
        for (int32_t x = 0; x < 320; x++)
            ((uint16_t*)((uint8_t*)frame_surface->pixels + y * frame_surface->pitch))[x] =
                (x * 7 + y * 13) % 5 * 0x3333;
    std::vector<uint8_t> direct(display_surface->pitch * 480);
    int32_t modes[6] = {SCALE_SIMPLE, SCALE_SCALE2X, SCALE_SCANLINE, SCALE_BILINEAR, SCALE_ANTIALIAS, 9};
    for (int32_t mode : modes) {
        run_mode(mode == 9 ? SCALE_SIMPLE : mode);
        memcpy(direct.data(), display_surface->pixels, direct.size());
        memset(display_surface->pixels, 0, direct.size());
        scale_mode = mode;
        present_frame();
        EXPECT_EQ(memcmp(direct.data(), display_surface->pixels, direct.size()), 0) << mode;
    }
}

TEST_F(PresentFrame, UnscaledModeOnlyFlipsTheFrame) {
    frame_surface = SDL_SetVideoMode(320, 240, 16, SDL_DOUBLEBUF);
    ASSERT_NE(frame_surface, nullptr);
    display_surface = nullptr;
    scale_mode = SCALE_NONE;
    memset(frame_surface->pixels, 0x5A, frame_surface->pitch * 240);
    present_frame();
    EXPECT_EQ(((uint8_t*)frame_surface->pixels)[frame_surface->pitch * 240 - 1], 0x5A);
    EXPECT_EQ(display_surface, nullptr);
}

// Factors 3 and up: a per-pixel model of each rule, the picture placed in a
// display larger than itself, every path, and nothing written outside it.

typedef std::vector<uint32_t> Picture;  // w x h values, row by row

uint32_t clamped(const Picture& img, int32_t w, int32_t h, int32_t x, int32_t y) {
    x = x < 0 ? 0 : x >= w ? w - 1 : x;
    y = y < 0 ? 0 : y >= h ? h - 1 : y;
    return img[y * w + x];
}

// Floor of the mean per channel: 5-6-5 fields, or bytes.
uint32_t ref_half(int32_t bpp, uint32_t a, uint32_t b) {
    if (bpp != 2) return ref_avg(bpp, a, b);
    uint32_t r = 0;
    for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) r |= (((a & mask) + (b & mask)) >> 1) & mask;
    return r;
}

// The weighted mean with weight w of 2^n towards r, as a chain of halvings.
uint32_t ref_chain(int32_t bpp, uint32_t p, uint32_t r, int32_t w, int32_t n) {
    uint32_t x = p;
    for (int32_t b = 0; b < n; b++) x = ref_half(bpp, x, (w >> b) & 1 ? r : p);
    return x;
}

Picture scale2x_model(const Picture& in, int32_t w, int32_t h, int32_t bpp, int32_t blend) {
    Picture out(4 * w * h);
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) {
            uint32_t p = in[y * w + x], a = clamped(in, w, h, x, y - 1), d = clamped(in, w, h, x, y + 1);
            uint32_t l = clamped(in, w, h, x - 1, y), r = clamped(in, w, h, x + 1, y);
            uint32_t e[4] = {p, p, p, p};
            if (a != d && l != r) {
                if (l == a) e[0] = blend ? ref_avg(bpp, p, a) : a;
                if (a == r) e[1] = blend ? ref_avg(bpp, p, r) : r;
                if (l == d) e[2] = blend ? ref_avg(bpp, p, l) : l;
                if (r == d) e[3] = blend ? ref_avg(bpp, p, d) : d;
            }
            for (int32_t i = 0; i < 4; i++) out[(2 * y + i / 2) * 2 * w + 2 * x + i % 2] = e[i];
        }
    return out;
}

Picture scale3x_model(const Picture& in, int32_t bpp, int32_t blend) {
    const int32_t w = 320, h = 240;
    Picture out(9 * w * h);
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) {
            uint32_t A = clamped(in, w, h, x - 1, y - 1), B = clamped(in, w, h, x, y - 1);
            uint32_t C = clamped(in, w, h, x + 1, y - 1), D = clamped(in, w, h, x - 1, y), E = in[y * w + x];
            uint32_t F = clamped(in, w, h, x + 1, y), G = clamped(in, w, h, x - 1, y + 1);
            uint32_t H = clamped(in, w, h, x, y + 1), I = clamped(in, w, h, x + 1, y + 1);
            uint32_t e[9] = {E, E, E, E, E, E, E, E, E};
            auto take = [&](uint32_t n) { return blend ? ref_avg(bpp, E, n) : n; };
            if (B != H && D != F) {
                if (D == B) e[0] = take(D);
                if ((D == B && E != C) || (B == F && E != A)) e[1] = take(B);
                if (B == F) e[2] = take(F);
                if ((D == B && E != G) || (D == H && E != A)) e[3] = take(D);
                if ((B == F && E != I) || (H == F && E != C)) e[5] = take(F);
                if (D == H) e[6] = take(D);
                if ((D == H && E != I) || (H == F && E != G)) e[7] = take(H);
                if (H == F) e[8] = take(F);
            }
            for (int32_t i = 0; i < 9; i++) out[(3 * y + i / 3) * 3 * w + 3 * x + i % 3] = e[i];
        }
    return out;
}

Picture bilinear_model(const Picture& in, int32_t bpp, int32_t k) {
    const int32_t w = 320, h = 240, n = k == 3 ? 3 : 2;
    const int32_t weights3[3] = {0, 3, 5}, weights4[4] = {0, 1, 2, 3};
    const int32_t* wt = k == 3 ? weights3 : weights4;
    Picture out(k * k * w * h);
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++)
            for (int32_t i = 0; i < k; i++) {
                uint32_t top = ref_chain(bpp, in[y * w + x], clamped(in, w, h, x + 1, y), wt[i], n);
                uint32_t bottom =
                    ref_chain(bpp, clamped(in, w, h, x, y + 1), clamped(in, w, h, x + 1, y + 1), wt[i], n);
                for (int32_t j = 0; j < k; j++)
                    out[(k * y + j) * k * w + k * x + i] = ref_chain(bpp, top, bottom, wt[j], n);
            }
    return out;
}

Picture frame_picture(const TestSurface& f) {
    Picture img(320 * 240);
    for (int32_t y = 0; y < 240; y++)
        for (int32_t x = 0; x < 320; x++) img[y * 320 + x] = get_px(f, x, y);
    return img;
}

// The picture of a filter at factor k, 320k x 240k.
Picture model_picture(const TestSurface& f, int32_t mode, int32_t k) {
    Picture in = frame_picture(f), out(k * k * 320 * 240);
    int32_t bpp = f.bpp, W = 320 * k;
    if (mode == SCALE_SIMPLE || mode == SCALE_SCANLINE) {
        for (int32_t Y = 0; Y < 240 * k; Y++)
            for (int32_t X = 0; X < W; X++) {
                uint32_t p = in[(Y / k) * 320 + X / k];
                out[Y * W + X] = mode == SCALE_SCANLINE && Y % k == k - 1 ? ref_dark(bpp, p) : p;
            }
        return out;
    }
    if (k > 4) {
        Picture four = model_picture(f, mode, 4);
        for (int32_t Y = 0; Y < 240 * k; Y++)
            for (int32_t X = 0; X < W; X++)
                out[Y * W + X] = four[(4 * (Y / k) + 4 * (Y % k) / k) * 1280 + 4 * (X / k) + 4 * (X % k) / k];
        return out;
    }
    if (mode == SCALE_BILINEAR) return bilinear_model(in, bpp, k);
    int32_t blend = mode == SCALE_ANTIALIAS;
    if (k == 3) return scale3x_model(in, bpp, blend);
    return scale2x_model(scale2x_model(in, 320, 240, bpp, 0), 640, 480, bpp, blend);
}

struct Placement {
    int32_t display_w, display_h, factor, x, y;
};

// Displays of each factor, the picture centred with borders (or exactly filling one).
const Placement BIG_DISPLAYS[] = {
    {1000, 760, 3, 20, 20},
    {1291, 971, 4, 5, 5},
    {1610, 1330, 5, 5, 65},
    {1920, 1440, 6, 0, 0},
};

TEST(PicturePlacement, LargestIntegerFactorCentred) {
    const Placement cases[] = {
        {640, 480, 2, 0, 0},     {960, 720, 3, 0, 0},
        {1280, 960, 4, 0, 0},    {1920, 1080, 4, 320, 60},
        {1024, 768, 3, 32, 24},  {800, 600, 2, 80, 60},
        {2560, 1440, 6, 320, 0}, {3840, 2160, 9, 480, 0},
        {1280, 1024, 4, 0, 32},  {959, 720, 2, 159, 120},
        {639, 480, 0, 0, 0},     {640, 479, 0, 0, 0},
        {0, 0, 0, 0, 0},         {20000, 20000, 32, 4880, 6160},
    };
    for (const Placement& c : cases) {
        int32_t x = -1, y = -1, factor = -1;
        picture_placement(c.display_w, c.display_h, &x, &y, &factor);
        EXPECT_EQ(c.factor, factor) << c.display_w << " x " << c.display_h;
        EXPECT_EQ(c.x, x) << c.display_w << " x " << c.display_h;
        EXPECT_EQ(c.y, y) << c.display_w << " x " << c.display_h;
    }
}

class BigScreens : public ScaleFilters {
   protected:
    Placement at{};
    void use_big(int32_t bpp, const Placement& where) {
        free_surface(&frame);
        free_surface(&display);
        make_surface(&frame, 320, 240, bpp);
        make_surface(&display, where.display_w, where.display_h, bpp);
        frame_surface = frame.s;
        display_surface = display.s;
        at = where;
    }
    // Output pixels that differ from the model, and bytes outside the picture
    // that lost their sentinel.
    // (A 32-bit row equal to its model as a whole is not compared pixel by pixel.)
    void check(const Picture& want, int32_t* wrong, int32_t* outside) {
        int32_t k = at.factor, W = 320 * k, H = 240 * k;
        *wrong = *outside = 0;
        for (int32_t Y = 0; Y < H; Y++) {
            if (display.bpp == 4 && memcmp(pixel_at(display, at.x, at.y + Y), &want[Y * W], W * 4) == 0) continue;
            for (int32_t X = 0; X < W; X++) *wrong += get_px(display, at.x + X, at.y + Y) != want[Y * W + X];
        }
        auto count = [outside](const uint8_t* from, int32_t bytes) {
            for (int32_t i = 0; i < bytes; i++) *outside += from[i] != SENTINEL;
        };
        count(display.mem.data(), GUARD);
        count(display.mem.data() + display.mem.size() - GUARD, GUARD);
        for (int32_t y = 0; y < display.h; y++) {
            const uint8_t* row = display.mem.data() + GUARD + y * display.pitch;
            if (y < at.y || y >= at.y + H) {
                count(row, display.pitch);
                continue;
            }
            int32_t left = at.x * display.bpp, right = (at.x + W) * display.bpp;
            count(row, left);
            count(row + right, display.pitch - right);
        }
    }
};

TEST_F(BigScreens, EveryFilterAtEveryFactorMatchesItsRuleOnEveryPath) {
    for (int32_t bpp = 2; bpp <= 4; bpp++) {
        for (const Placement& where : BIG_DISPLAYS) {
            use_big(bpp, where);
            for (int32_t kind = FRAME_TILES; kind < FRAME_KINDS; kind++) {
                if (where.factor > 4 && kind != FRAME_TILES) continue;  // the widening is the same for every picture
                fill_frame(&frame, kind);
                for (int32_t mode = SCALE_SIMPLE; mode <= SCALE_ANTIALIAS; mode++) {
                    Picture want = model_picture(frame, mode, where.factor);
                    for (int32_t path = SCALE_PATH_PORTABLE; path <= best_scale_path(); path++) {
                        scale_path = path;
                        memset(display.mem.data(), SENTINEL, display.mem.size());
                        run_mode(mode);
                        int32_t wrong = 0, outside = 0;
                        check(want, &wrong, &outside);
                        EXPECT_EQ(0, wrong) << "bpp " << bpp << " factor " << where.factor << " frame " << kind
                                            << " mode " << mode << " path " << path;
                        EXPECT_EQ(0, outside)
                            << "bpp " << bpp << " factor " << where.factor << " mode " << mode << " path " << path;
                    }
                }
            }
        }
    }
}

// Values a player sees: a flat colour stays flat (scanline aside) at every
// factor and depth, 16-bit included; scanline darkens the last row of each block.
TEST_F(BigScreens, FlatColoursStayFlatAndScanlineDimsTheLastRow) {
    for (int32_t bpp : {2, 3}) {
        use_big(bpp, BIG_DISPLAYS[1]);
        uint32_t colour = bpp == 2 ? 0xFFFFu : 0xC87F31u;
        for (int32_t y = 0; y < 240; y++)
            for (int32_t x = 0; x < 320; x++) set_px(&frame, x, y, colour);
        for (int32_t mode = SCALE_SIMPLE; mode <= SCALE_ANTIALIAS; mode++) {
            run_mode(mode);
            for (int32_t Y = 0; Y < 960; Y += 7)
                for (int32_t X = 0; X < 1280; X += 5) {
                    uint32_t want = mode == SCALE_SCANLINE && Y % 4 == 3 ? ref_dark(bpp, colour) : colour;
                    ASSERT_EQ(want, get_px(display, 5 + X, 5 + Y)) << "mode " << mode << " at " << X << "," << Y;
                }
        }
    }
    EXPECT_EQ(0x2104u, ref_dark(2, 0xFFFF));
}

// Tight surfaces between inaccessible pages: no path reads or writes beyond
// the frame or the display at factors 3 and 4, nor beyond 4.
TEST(ScaleFences, NoFilterReachesOutsideTightBigSurfaces) {
    int32_t saved = scale_path;
    const int32_t sizes[][2] = {{960, 720}, {1280, 960}, {1600, 1200}};
    for (int32_t bpp = 2; bpp <= 4; bpp++)
        for (const auto& size : sizes) {
            FencedSurface frame, display;
            make_fenced(&frame, 320, 240, bpp);
            make_fenced(&display, size[0], size[1], bpp);
            frame_surface = frame.s;
            display_surface = display.s;
            for (int32_t path = SCALE_PATH_PORTABLE; path <= best_scale_path(); path++) {
                scale_path = path;
                for (int32_t mode = SCALE_SIMPLE; mode <= SCALE_ANTIALIAS; mode++) run_mode(mode);
                scale_simple();
                const uint8_t* src = (const uint8_t*)frame.s->pixels + 240 * 320 * bpp - bpp;
                const uint8_t* dst = (const uint8_t*)display.s->pixels + size[0] * size[1] * bpp - bpp;
                EXPECT_EQ(memcmp(src, dst, bpp), 0) << "bpp " << bpp << " width " << size[0] << " path " << path;
            }
            frame_surface = nullptr;
            display_surface = nullptr;
            free_fenced(&frame);
            free_fenced(&display);
        }
    scale_path = saved;
}

// A 16- or 24-bit frame into a 32-bit display (the desktop's own format):
// every filter at every factor shows SDL's own conversion of its picture, on
// every path, in either channel order of the common visuals (and in one with
// the channels in the top three bytes, which the vector loops cannot convert
// in their registers), and writes nothing beside the picture.
const uint32_t MASKS_RGB[3] = {0xFF0000, 0xFF00, 0xFF}, MASKS_BGR[3] = {0xFF, 0xFF00, 0xFF0000};
const uint32_t MASKS_HIGH[3] = {0xFF000000, 0xFF0000, 0xFF00};

// SDL's blit of a w x h picture in the frame's format into the display's.
Picture sdl_converted(const Picture& in, int32_t w, int32_t h, const TestSurface& frame, const SDL_PixelFormat* to) {
    const SDL_PixelFormat* f = frame.s->format;
    SDL_Surface* a = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, 0);
    SDL_Surface* b = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, to->Rmask, to->Gmask, to->Bmask, 0);
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++)
            memcpy((uint8_t*)a->pixels + y * a->pitch + x * frame.bpp, &in[y * w + x], frame.bpp);
    SDL_BlitSurface(a, nullptr, b, nullptr);
    Picture out(in.size());
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++)
            out[y * w + x] = ((uint32_t*)((uint8_t*)b->pixels + y * b->pitch))[x] & (to->Rmask | to->Gmask | to->Bmask);
    SDL_FreeSurface(a);
    SDL_FreeSurface(b);
    return out;
}

// The factor-2 picture of a filter, from its block rule.
Picture factor2_picture(const TestSurface& f, int32_t mode) {
    Picture out(640 * 480);
    for (int32_t y = 0; y < 240; y++)
        for (int32_t x = 0; x < 320; x++) {
            uint32_t e[4];
            ref_block(f, mode, x, y, e);
            for (int32_t i = 0; i < 4; i++) out[(2 * y + i / 2) * 640 + 2 * x + i % 2] = e[i];
        }
    return out;
}

TEST_F(BigScreens, IntoTheDesktopFormatEveryFilterShowsSdlsConversion) {
    // FRAME_KINDS stands for every 16-bit value in turn along the rows (the
    // 24-bit frame is noise then).
    struct Case {
        Placement where;
        const uint32_t* masks;
        int32_t frame;
    };
    const Placement factor2 = {640, 480, 2, 0, 0};
    // Beyond 4 every factor widens the same factor-4 picture: 6 stands for them.
    const Case cases[] = {
        {factor2, MASKS_RGB, FRAME_KINDS},         {factor2, MASKS_BGR, FRAME_FEW_COLOURS},
        {factor2, MASKS_HIGH, FRAME_NOISE},        {BIG_DISPLAYS[0], MASKS_RGB, FRAME_TILES},
        {BIG_DISPLAYS[0], MASKS_BGR, FRAME_NOISE}, {BIG_DISPLAYS[1], MASKS_RGB, FRAME_FEW_COLOURS},
        {BIG_DISPLAYS[1], MASKS_BGR, FRAME_TILES}, {BIG_DISPLAYS[3], MASKS_BGR, FRAME_TILES},
    };
    for (int32_t bpp : {2, 3})
        for (const Case& c : cases) {
            const Placement& where = c.where;
            free_surface(&frame);
            free_surface(&display);
            make_surface(&frame, 320, 240, bpp);
            make_surface(&display, where.display_w, where.display_h, 4);
            SDL_FreeSurface(display.s);
            display.s = SDL_CreateRGBSurfaceFrom(display.mem.data() + GUARD, where.display_w, where.display_h, 32,
                                                 display.pitch, c.masks[0], c.masks[1], c.masks[2], 0);
            frame_surface = frame.s;
            display_surface = display.s;
            at = where;
            int32_t k = where.factor;
            fill_frame(&frame, c.frame == FRAME_KINDS ? FRAME_NOISE : c.frame);
            if (c.frame == FRAME_KINDS && bpp == 2)
                for (int32_t i = 0; i < 320 * 240; i++) set_px(&frame, i % 320, i / 320, (uint32_t)i & 0xFFFF);
            for (int32_t mode = SCALE_SIMPLE; mode <= SCALE_ANTIALIAS; mode++) {
                Picture model = k == 2 ? factor2_picture(frame, mode) : model_picture(frame, mode, k);
                Picture want = sdl_converted(model, 320 * k, 240 * k, frame, display.s->format);
                for (int32_t path = SCALE_PATH_PORTABLE; path <= best_scale_path(); path++) {
                    scale_path = path;
                    memset(display.mem.data(), SENTINEL, display.mem.size());
                    run_mode(mode);
                    int32_t wrong = 0, outside = 0;
                    check(want, &wrong, &outside);
                    EXPECT_EQ(0, wrong + outside) << "bpp " << bpp << " red at " << c.masks[0] << " factor " << k
                                                  << " mode " << mode << " path " << path << " outside " << outside;
                }
            }
        }
}

// Tight 32-bit displays: converting reads and writes nothing beyond the
// frame or the display, at the smallest size of a factor and beyond 4.
TEST(ScaleFences, ConvertingReachesNothingOutsideTightSurfaces) {
    int32_t saved = scale_path;
    const int32_t sizes[][2] = {{640, 480}, {960, 720}, {1280, 960}, {1600, 1200}};
    for (int32_t bpp : {2, 3})
        for (const auto& size : sizes) {
            FencedSurface frame, display;
            make_fenced(&frame, 320, 240, bpp);
            make_fenced(&display, size[0], size[1], 4);
            frame_surface = frame.s;
            display_surface = display.s;
            for (int32_t path = SCALE_PATH_PORTABLE; path <= best_scale_path(); path++) {
                scale_path = path;
                for (int32_t mode = SCALE_SIMPLE; mode <= SCALE_ANTIALIAS; mode++) run_mode(mode);
                scale_simple();
                uint32_t last = ((const uint32_t*)display.s->pixels)[size[0] * size[1] - 1];
                uint8_t r = 0, g = 0, b = 0, r2 = 0, g2 = 0, b2 = 0;
                SDL_GetRGB(last, display.s->format, &r, &g, &b);
                uint32_t src = 0;
                memcpy(&src, (const uint8_t*)frame.s->pixels + 240 * 320 * bpp - bpp, bpp);
                SDL_GetRGB(src, frame.s->format, &r2, &g2, &b2);
                EXPECT_EQ(r >> 3, r2 >> 3) << "bpp " << bpp << " width " << size[0] << " path " << path;
                EXPECT_EQ(b >> 3, b2 >> 3) << "bpp " << bpp << " width " << size[0] << " path " << path;
            }
            frame_surface = nullptr;
            display_surface = nullptr;
            free_fenced(&frame);
            free_fenced(&display);
        }
    scale_path = saved;
}

}  // namespace
