// The video mode under SDL's dummy driver: which surfaces each combination of
// settings gives, the frame surface's pixel format, and the named colours.
#include <gtest/gtest.h>

#include "floob.h"
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
        expect_colour(COLOUR_BLACK, 0, 0, 0);
        expect_colour(COLOUR_RED, 255, 0, 0);
        expect_colour(COLOUR_DARK_RED, 128, 0, 0);
        expect_colour(COLOUR_BLUE, 0, 0, 255);
        expect_colour(COLOUR_DARK_BLUE, 0, 0, 128);
        EXPECT_NE(COLOUR_RED, COLOUR_DARK_RED);
        EXPECT_NE(COLOUR_BLUE, COLOUR_DARK_BLUE);
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
    EXPECT_EQ(0x0000u, COLOUR_BLACK);
    EXPECT_EQ(0xF800u, COLOUR_RED);
    EXPECT_EQ(0x8000u, COLOUR_DARK_RED);
    EXPECT_EQ(0x001Fu, COLOUR_BLUE);
    EXPECT_EQ(0x0010u, COLOUR_DARK_BLUE);
}

}  // namespace
