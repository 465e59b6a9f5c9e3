#include "gfx/png.h"

#include <png.h>
#include <stdlib.h>
#include <string.h>

#include "storage/bytes.h"

enum { PNG_SIDE_MAX = 16384 };

// The encoded bytes, appended as libpng hands them over.
static void append_bytes(png_structp png, png_bytep data, png_size_t length) {
    byte_buffer_append(static_cast<ByteBuffer*>(png_get_io_ptr(png)), data, length);
}

static void flush_nothing(png_structp) {}

// libpng reports its errors by a long jump out of the call in progress.
static void encode_rows(png_structp png, png_infop info, const uint8_t* pixels, int32_t width, int32_t height,
                        int32_t stride, int32_t channels, int32_t level) {
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Pictures of flat colour pack best unfiltered, and unfiltered rows are the quickest to write.
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_set_compression_level(png, level);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; y++) png_write_row(png, const_cast<png_bytep>(pixels + (size_t)y * (size_t)stride));
    png_write_end(png, info);
}

uint8_t* png_encode(const uint8_t* pixels, int32_t width, int32_t height, int32_t stride, int32_t channels,
                    int32_t level, uint32_t* size) {
    if (size) *size = 0;
    if (!pixels || width < 1 || height < 1 || width > PNG_SIDE_MAX || height > PNG_SIDE_MAX) return nullptr;
    if ((channels != 3 && channels != 4) || stride < width * channels || level < 0 || level > 9) return nullptr;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return nullptr;
    }
    // Volatile: the long jump of an error must see the buffer as it is then.
    ByteBuffer out = {nullptr, 0, 0, 0};
    ByteBuffer* volatile target = &out;
    if (setjmp(png_jmpbuf(png))) {
        target->failed = 1;
    } else {
        png_set_write_fn(png, target, append_bytes, flush_nothing);
        encode_rows(png, info, pixels, width, height, stride, channels, level);
    }
    png_destroy_write_struct(&png, &info);
    if (target->failed || target->used > UINT32_MAX) {
        free(target->bytes);
        return nullptr;
    }
    if (size) *size = (uint32_t)target->used;
    return target->bytes;
}

const char* png_library_version() { return png_get_libpng_ver(nullptr); }
