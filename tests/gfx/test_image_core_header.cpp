// Bitmaps with the old 12-byte core header: a sane one decodes, while one
// whose sizes or depth cannot be real is refused with "Malformed BMP header"
// before the decoder allocates a surface of the size it claims.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "floob.h"
#include "gfx/image.h"
#include "gfx/video.h"
#include "support/support.h"

namespace {

void put16(std::string& s, uint32_t v) {
    s += (char)(v & 0xFF);
    s += (char)((v >> 8) & 0xFF);
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// A core-header bitmap of 24-bit pixels, bottom row first, rows padded to 4 bytes.
std::string core_bmp(uint32_t width, uint32_t height, uint32_t bits, uint32_t pixel_bytes) {
    std::string dib;
    put32(dib, 12);
    put16(dib, width);
    put16(dib, height);
    put16(dib, 1);
    put16(dib, bits);
    std::string bmp = "BM";
    put32(bmp, 14 + 12 + pixel_bytes);
    put32(bmp, 0);
    put32(bmp, 14 + 12);
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

SDL_Surface* decode(const std::string& bytes) {
    return decode_image("core", reinterpret_cast<const uint8_t*>(bytes.data()), (uint32_t)bytes.size(), 0, 0, 0, 0);
}

void decode_to_stderr(const std::string& bytes) {
    dup2(2, 1);
    decode(bytes);
}

TEST_F(CoreHeader, SaneCoreBitmapDecodes) {
    TempDir dir;
    SDL_Surface* image = decode(core_bmp(3, 2, 24, 2 * 12));
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
    EXPECT_EXIT(decode_to_stderr(fuzzed), ::testing::ExitedWithCode(1), "Unable to load bitmap: Malformed BMP header");
    EXPECT_EQ(fuzzed, read_file("fuu.xxx"));

    EXPECT_EXIT(decode_to_stderr(core_bmp(0, 2, 24, 16)), ::testing::ExitedWithCode(1), "Malformed BMP header");
    EXPECT_EXIT(decode_to_stderr(core_bmp(4, 0, 24, 16)), ::testing::ExitedWithCode(1), "Malformed BMP header");
    EXPECT_EXIT(decode_to_stderr(core_bmp(60000, 60000, 24, 16)), ::testing::ExitedWithCode(1), "Malformed BMP header");
    EXPECT_EXIT(decode_to_stderr(core_bmp(4, 4, 16, 32)), ::testing::ExitedWithCode(1), "Malformed BMP header");
}

}  // namespace
