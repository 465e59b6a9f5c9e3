// The video mode under SDL's dummy driver: which surfaces each combination of
// settings gives, the frame surface's pixel format, and the named colours.
#include <gtest/gtest.h>

#include <vector>

#include "floob.h"
#include "gfx/scale.h"
#include "gfx/video.h"

namespace {

class Video : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_EQ(0, SDL_Init(SDL_INIT_VIDEO));
        reset_video_settings();
    }
    void TearDown() override {
        // The game never frees these; a test must, before the next mode.
        if (display_surface && frame_surface) SDL_FreeSurface(frame_surface);
        frame_surface = nullptr;
        display_surface = nullptr;
        reset_video_settings();
        SDL_Quit();
    }
    void open(int32_t mode, int32_t depth, int32_t full) {
        scale_mode = mode;
        colour_depth = depth;
        fullscreen = full;
        ASSERT_NE(nullptr, video_init()) << SDL_GetError();
    }
};

void expect_same_format(const SDL_PixelFormat* a, const SDL_PixelFormat* b) {
    EXPECT_EQ(a->BitsPerPixel, b->BitsPerPixel);
    EXPECT_EQ(a->BytesPerPixel, b->BytesPerPixel);
    EXPECT_EQ(a->Rmask, b->Rmask);
    EXPECT_EQ(a->Gmask, b->Gmask);
    EXPECT_EQ(a->Bmask, b->Bmask);
    EXPECT_EQ(a->Amask, b->Amask);
}

TEST_F(Video, DefaultsGiveAnEnlargedWindowAtSixteenBits) {
    SDL_Surface* returned = video_init();
    ASSERT_NE(nullptr, returned);
    EXPECT_EQ(frame_surface, returned);
    ASSERT_NE(nullptr, display_surface);
    EXPECT_EQ(SDL_GetVideoSurface(), display_surface);
    EXPECT_EQ(640, display_surface->w);
    EXPECT_EQ(480, display_surface->h);
    EXPECT_EQ(0u, display_surface->flags & SDL_FULLSCREEN);
    EXPECT_EQ(16, display_surface->format->BitsPerPixel);
    EXPECT_NE(display_surface, frame_surface);
    EXPECT_EQ(320, frame_surface->w);
    EXPECT_EQ(240, frame_surface->h);
    EXPECT_EQ(0u, frame_surface->flags & SDL_HWSURFACE);
}

TEST_F(Video, FullScreenIsEnlargedAndFlagged) {
    open(SCALE_SIMPLE, 16, 1);
    ASSERT_NE(nullptr, display_surface);
    EXPECT_EQ(640, display_surface->w);
    EXPECT_NE(0u, display_surface->flags & SDL_FULLSCREEN);
    EXPECT_EQ(320, frame_surface->w);
}

TEST_F(Video, FullScreenWinsOverAnUnscaledMode) {
    // Even when the settings were not tidied by the command line.
    open(SCALE_NONE, 16, 1);
    ASSERT_NE(nullptr, display_surface);
    EXPECT_EQ(640, display_surface->w);
    EXPECT_NE(display_surface, frame_surface);
}

TEST_F(Video, TheUnscaledWindowIsTheFrameItself) {
    open(SCALE_NONE, 16, 0);
    EXPECT_EQ(nullptr, display_surface);
    EXPECT_EQ(SDL_GetVideoSurface(), frame_surface);
    EXPECT_EQ(320, frame_surface->w);
    EXPECT_EQ(240, frame_surface->h);
    EXPECT_EQ(0u, frame_surface->flags & SDL_FULLSCREEN);
    EXPECT_EQ(16, frame_surface->format->BitsPerPixel);
}

TEST_F(Video, EveryEnlargedCombinationHasAFrameInTheDisplayFormat) {
    for (int32_t depth : {16, 24}) {
        for (int32_t full : {0, 1}) {
            for (int32_t mode = SCALE_SIMPLE; mode <= SCALE_ANTIALIAS; mode++) {
                SCOPED_TRACE(testing::Message() << "mode " << mode << " depth " << depth << " full " << full);
                open(mode, depth, full);
                ASSERT_NE(nullptr, display_surface);
                EXPECT_EQ(640, display_surface->w);
                EXPECT_EQ(480, display_surface->h);
                EXPECT_EQ(full ? SDL_FULLSCREEN : 0u, display_surface->flags & SDL_FULLSCREEN);
                EXPECT_EQ(depth, display_surface->format->BitsPerPixel);
                EXPECT_EQ(320, frame_surface->w);
                EXPECT_EQ(240, frame_surface->h);
                expect_same_format(display_surface->format, frame_surface->format);
                // The filters copy whole rows: the frame's pitch must hold them.
                EXPECT_GE(frame_surface->pitch, 320 * frame_surface->format->BytesPerPixel);
                SDL_FreeSurface(frame_surface);
                frame_surface = nullptr;
            }
        }
    }
    display_surface = nullptr;
}

TEST_F(Video, TwentyFourBitsInEveryMode) {
    open(SCALE_NONE, 24, 0);
    EXPECT_EQ(24, frame_surface->format->BitsPerPixel);
    EXPECT_EQ(3, frame_surface->format->BytesPerPixel);
    open(SCALE_SCANLINE, 24, 0);
    EXPECT_EQ(24, frame_surface->format->BitsPerPixel);
    EXPECT_EQ(3, frame_surface->format->BytesPerPixel);
    EXPECT_EQ(24, display_surface->format->BitsPerPixel);
}

// Within one step of the narrowest channel: 16-bit pixels keep 5 bits of red
// and blue, and SDL widens them back by repeating the top bits.
void expect_colour(uint32_t pixel, int red, int green, int blue) {
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(pixel, frame_surface->format, &r, &g, &b);
    EXPECT_NEAR(red, r, 7);
    EXPECT_NEAR(green, g, 7);
    EXPECT_NEAR(blue, b, 7);
}

TEST_F(Video, NamedColoursAreMappedInTheFrameFormat) {
    for (int32_t depth : {16, 24}) {
        SCOPED_TRACE(depth);
        open(depth == 16 ? SCALE_SIMPLE : SCALE_NONE, depth, 0);
        colours_init();
        expect_colour(colour_black, 0, 0, 0);
        expect_colour(colour_red, 255, 0, 0);
        expect_colour(colour_dark_red, 128, 0, 0);
        expect_colour(colour_blue, 0, 0, 255);
        expect_colour(colour_dark_blue, 0, 0, 128);
        EXPECT_NE(colour_red, colour_dark_red);
        EXPECT_NE(colour_blue, colour_dark_blue);
        if (display_surface) SDL_FreeSurface(frame_surface);
        frame_surface = nullptr;
        display_surface = nullptr;
    }
}

TEST_F(Video, SixteenBitColoursHaveTheirPackedValues) {
    open(SCALE_SIMPLE, 16, 0);
    colours_init();
    const SDL_PixelFormat* f = frame_surface->format;
    if (f->Rmask != 0xF800 || f->Gmask != 0x07E0 || f->Bmask != 0x001F) GTEST_SKIP() << "driver gave no 565 format";
    EXPECT_EQ(0x0000u, colour_black);
    EXPECT_EQ(0xF800u, colour_red);
    EXPECT_EQ(0x8000u, colour_dark_red);
    EXPECT_EQ(0x001Fu, colour_blue);
    EXPECT_EQ(0x0010u, colour_dark_blue);
}

// Zoom factors and full screen at the desktop's resolution.

struct SizeCase {
    int32_t zoom, full, desktop, desktop_w, desktop_h, w, h;
};

TEST(VideoSize, ZoomAndDesktopChooseTheDisplaySize) {
    const SizeCase cases[] = {
        {2, 0, 0, 0, 0, 640, 480},         {3, 0, 0, 1920, 1080, 960, 720},  {4, 0, 0, 0, 0, 1280, 960},
        {2, 1, 0, 1920, 1080, 640, 480},   {4, 1, 0, 1920, 1080, 1280, 960}, {2, 1, 1, 1920, 1080, 1920, 1080},
        {3, 1, 1, 3840, 2160, 3840, 2160}, {2, 1, 1, 800, 480, 800, 480},    {2, 1, 1, 639, 480, 640, 480},
        {3, 1, 1, 640, 479, 960, 720},     {2, 1, 1, 0, 0, 640, 480},        {4, 1, 1, -1, -1, 1280, 960},
        {2, 0, 1, 1920, 1080, 640, 480},   {9, 0, 0, 0, 0, 1280, 960},       {0, 0, 0, 0, 0, 640, 480},
    };
    for (const SizeCase& c : cases) {
        reset_video_settings();
        zoom_factor = c.zoom, fullscreen = c.full, fullscreen_desktop = c.desktop;
        int32_t w = 0, h = 0;
        choose_display_size(c.desktop_w, c.desktop_h, &w, &h);
        EXPECT_EQ(c.w, w) << "zoom " << c.zoom << " full " << c.full << " desktop " << c.desktop_w;
        EXPECT_EQ(c.h, h) << "zoom " << c.zoom << " full " << c.full << " desktop " << c.desktop_w;
    }
    reset_video_settings();
}

TEST_F(Video, EveryZoomDepthAndScreenGivesItsMode) {
    for (int32_t zoom = 2; zoom <= 4; zoom++)
        for (int32_t depth : {16, 24})
            for (int32_t full : {0, 1})
                for (int32_t mode : {SCALE_SIMPLE, SCALE_BILINEAR}) {
                    SCOPED_TRACE(testing::Message() << "zoom " << zoom << " depth " << depth << " full " << full);
                    zoom_factor = zoom;
                    open(mode, depth, full);
                    ASSERT_NE(nullptr, display_surface);
                    EXPECT_EQ(320 * zoom, display_surface->w);
                    EXPECT_EQ(240 * zoom, display_surface->h);
                    EXPECT_EQ(full ? SDL_FULLSCREEN : 0u, display_surface->flags & SDL_FULLSCREEN);
                    EXPECT_EQ(depth, display_surface->format->BitsPerPixel);
                    EXPECT_EQ(320, frame_surface->w);
                    expect_same_format(display_surface->format, frame_surface->format);
                    SDL_FreeSurface(frame_surface);
                    frame_surface = nullptr;
                }
    display_surface = nullptr;
}

TEST_F(Video, TheTestWindowIgnoresTheZoom) {
    zoom_factor = 4;
    open(SCALE_NONE, 16, 0);
    EXPECT_EQ(nullptr, display_surface);
    EXPECT_EQ(320, frame_surface->w);
    EXPECT_EQ(240, frame_surface->h);
}

// The desktop's size as SDL tells it before a mode is set (0 when it cannot).
void desktop_size(int32_t* w, int32_t* h) {
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    *w = info ? info->current_w : 0;
    *h = info ? info->current_h : 0;
}

uint32_t pixel_of(SDL_Surface* s, int32_t x, int32_t y) {
    const uint8_t* p = (const uint8_t*)s->pixels + y * s->pitch + x * s->format->BytesPerPixel;
    uint32_t v = 0;
    memcpy(&v, p, s->format->BytesPerPixel);
    return v;
}

// Full screen at the desktop: the desktop's own size when it holds a 2x
// picture (the classic library's dummy driver reports none, the SDL 2 based
// one 1024 x 768), else the ordinary full screen; the picture centred at the
// largest factor, black around it, the borders still black after frames.
TEST_F(Video, FullScreenAtTheDesktopCentresThePictureOnBlack) {
    for (int32_t depth : {16, 24}) {
        SCOPED_TRACE(depth);
        int32_t desktop_w = 0, desktop_h = 0;
        desktop_size(&desktop_w, &desktop_h);
        fullscreen_desktop = 1;
        zoom_factor = 3;
        open(SCALE_SCALE2X, depth, 1);
        ASSERT_NE(nullptr, display_surface);
        EXPECT_NE(0u, display_surface->flags & SDL_FULLSCREEN);
        int32_t known = desktop_w >= 640 && desktop_h >= 480;
        EXPECT_EQ(known ? desktop_w : 960, display_surface->w);
        EXPECT_EQ(known ? desktop_h : 720, display_surface->h);
        int32_t x = 0, y = 0, factor = 0;
        picture_placement(display_surface->w, display_surface->h, &x, &y, &factor);
        colours_init();
        SDL_FillRect(frame_surface, nullptr, colour_red);
        present_frame();
        present_frame();
        SDL_LockSurface(display_surface);
        uint32_t red = SDL_MapRGB(display_surface->format, 255, 0, 0);
        EXPECT_EQ(red, pixel_of(display_surface, x, y));
        EXPECT_EQ(red, pixel_of(display_surface, x + 320 * factor - 1, y + 240 * factor - 1));
        int32_t stray = 0;
        for (int32_t row = 0; row < display_surface->h; row++)
            for (int32_t col = 0; col < display_surface->w; col++) {
                int32_t inside = col >= x && col < x + 320 * factor && row >= y && row < y + 240 * factor;
                stray += !inside && pixel_of(display_surface, col, row) != 0;
            }
        SDL_UnlockSurface(display_surface);
        EXPECT_EQ(0, stray);
        SDL_FreeSurface(frame_surface);
        frame_surface = nullptr;
        display_surface = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_VIDEO));
    }
}

}  // namespace
