// PNG writer for the desktop icons and the review pictures: 8-bit RGBA
// through the game's own PNG encoder, packed with zlib's best level.
#include "gfx/png.h"

#include <stdlib.h>

#include "compile.h"

enum { PNG_BEST_LEVEL = 9 };

bool encode_png_rgba(int32_t width, int32_t height, const std::vector<uint32_t>& argb, Bytes& out, std::string& error) {
    if (width < 1 || height < 1 || width > PNG_MAX_SIDE || height > PNG_MAX_SIDE ||
        argb.size() != (size_t)width * (size_t)height) {
        error = "a PNG needs 1 to " + std::to_string(PNG_MAX_SIDE) + " pixels a side and one colour per pixel";
        return false;
    }
    Bytes rgba;
    rgba.reserve(argb.size() * 4);
    for (uint32_t p : argb) {
        rgba.push_back((uint8_t)(p >> 16));
        rgba.push_back((uint8_t)(p >> 8));
        rgba.push_back((uint8_t)p);
        rgba.push_back((uint8_t)(p >> 24));
    }
    uint32_t size = 0;
    uint8_t* png = png_encode(rgba.data(), width, height, width * 4, 4, PNG_BEST_LEVEL, &size);
    if (!png) {
        error = "libpng could not encode the picture";
        return false;
    }
    out.assign(png, png + size);
    free(png);
    return true;
}
