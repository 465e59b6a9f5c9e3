// PNG files through libpng.
#ifndef GFX_PNG_H
#define GFX_PNG_H

#include <stdint.h>

// Encodes 8-bit pixels, channels 3 (R, G, B) or 4 (R, G, B, alpha) bytes
// each, rows top-down stride bytes apart, into a PNG of the same pixels with
// zlib's given level (0 to 9). Returns the bytes (to be freed with free()) and
// their count in *size, or null when the picture is empty, too large or out of memory.
uint8_t* png_encode(const uint8_t* pixels, int32_t width, int32_t height, int32_t stride, int32_t channels,
                    int32_t level, uint32_t* size);

// The version of libpng linked at run time.
const char* png_library_version();

#endif
