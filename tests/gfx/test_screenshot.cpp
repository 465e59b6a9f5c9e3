// Screenshots and the PNG encoder: the file holds exactly the pixels shown
// (the frame, or the enlarged picture), a second shot in the same second gets
// the next free name, and no existing name or link is ever written through.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "floob.h"
#include "gfx/png.h"
#include "gfx/scale.h"
#include "gfx/screenshot.h"
#include "gfx/video.h"
#include "support/support.h"

namespace {

// Decodes a PNG file into 8-bit RGB; empty on failure.
std::vector<uint8_t> decode_rgb(const std::string& path, int32_t* w, int32_t* h) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    std::vector<uint8_t> rgb;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return rgb;
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) rgb.clear();
    *w = (int32_t)image.width;
    *h = (int32_t)image.height;
    return rgb;
}

// The frame painted with a pattern whose every pixel differs from its neighbours.
void paint_frame() {
    SDL_LockSurface(frame_surface);
    for (int32_t y = 0; y < 240; y++)
        for (int32_t x = 0; x < 320; x++) {
            Uint32 c = SDL_MapRGB(frame_surface->format, (Uint8)(x * 7 + y), (Uint8)(y * 5), (Uint8)(x ^ y));
            uint16_t v = (uint16_t)c;
            memcpy(static_cast<uint8_t*>(frame_surface->pixels) + y * frame_surface->pitch + x * 2, &v, 2);
        }
    SDL_UnlockSurface(frame_surface);
}

class Screenshot : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_EQ(0, SDL_Init(SDL_INIT_VIDEO));
        reset_video_settings();
        ASSERT_NE(nullptr, video_init());
        ASSERT_EQ(2, frame_surface->format->BytesPerPixel);
        paint_frame();
        present_frame();
    }
    void TearDown() override {
        if (display_surface) SDL_FreeSurface(frame_surface);
        frame_surface = display_surface = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

}  // namespace

TEST_F(Screenshot, HoldsThePixelsShown) {
    TempDir dir;
    SDL_Rect whole = {0, 0, 320, 240};
    uint8_t* frame = surface_rgb(frame_surface, &whole);
    ASSERT_NE(nullptr, frame);
    for (int32_t raw = 0; raw <= 1; raw++) {
        SCOPED_TRACE(raw);
        char path[128];
        ASSERT_EQ(1, save_screenshot(raw, path, sizeof path));
        struct stat info;
        ASSERT_EQ(0, lstat(path, &info));
        mode_t mask = umask(022);
        umask(mask);
        EXPECT_EQ(0644u & ~mask, info.st_mode & 0777);
        int32_t w = 0, h = 0;
        std::vector<uint8_t> rgb = decode_rgb(path, &w, &h);
        int32_t k = raw ? 1 : 2;
        ASSERT_EQ(320 * k, w);
        ASSERT_EQ(240 * k, h);
        ASSERT_EQ((size_t)w * h * 3, rgb.size());
        int32_t wrong = 0;
        for (int32_t y = 0; y < h; y++)
            for (int32_t x = 0; x < w; x++)
                wrong += memcmp(&rgb[((size_t)y * w + x) * 3], &frame[((y / k) * 320 + x / k) * 3], 3) != 0;
        EXPECT_EQ(0, wrong);
    }
    free(frame);
    // Nothing but the two pictures is left in the folder.
    std::string listing;
    run_command("ls -A screenshots | grep -vc '^floob2-[0-9]\\{8\\}-[0-9]\\{6\\}\\(-[0-9]*\\)\\?\\.png$'", &listing);
    EXPECT_EQ("0\n", listing);
}

TEST_F(Screenshot, TakesTheNextFreeNameAndNeverFollowsALink) {
    TempDir dir;
    // Two shots within one second; a second that turns over meanwhile is tried again.
    for (int32_t attempt = 0; attempt < 3; attempt++) {
        char first[128], second[128];
        ASSERT_EQ(1, save_screenshot(1, first, sizeof first));
        std::string stem(first, strlen(first) - 4);
        ASSERT_EQ(0, symlink("../victim", (stem + "-2.png").c_str()));
        ASSERT_EQ(1, save_screenshot(1, second, sizeof second));
        if (std::string(second).compare(0, stem.size(), stem) != 0) continue;
        EXPECT_EQ(stem + "-3.png", second);
        struct stat info;
        EXPECT_NE(0, lstat("victim", &info)) << "the link was written through";
        return;
    }
    ADD_FAILURE() << "no two shots fell in one second";
}

TEST_F(Screenshot, AFailedWriteChangesNothing) {
    TempDir dir;
    ASSERT_TRUE(write_file("screenshots", "not a folder"));
    EXPECT_EQ(0, save_screenshot(0, nullptr, 0));
    EXPECT_EQ("not a folder", read_file("screenshots"));
    // The encoder refuses what it cannot encode.
    uint8_t pixel[4] = {1, 2, 3, 4};
    uint32_t size = 7;
    EXPECT_EQ(nullptr, png_encode(pixel, 0, 1, 3, 3, 6, &size));
    EXPECT_EQ(nullptr, png_encode(pixel, 1, 1, 2, 3, 6, &size));
    EXPECT_EQ(nullptr, png_encode(pixel, 1, 1, 4, 2, 6, &size));
    EXPECT_EQ(0u, size);
}
