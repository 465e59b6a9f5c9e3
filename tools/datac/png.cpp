// PNG writer for the desktop icons: 8-bit RGBA, no interlace, every row with
// filter 0, the pixel rows packed with compress2.
#include <zlib.h>

#include "compile.h"

static void put32_be(Bytes& out, uint32_t v) {
    out.push_back((uint8_t)(v >> 24));
    out.push_back((uint8_t)(v >> 16));
    out.push_back((uint8_t)(v >> 8));
    out.push_back((uint8_t)v);
}

// Length, type, data, and the CRC of type and data.
static void put_chunk(Bytes& out, const char type[4], const Bytes& data) {
    put32_be(out, (uint32_t)data.size());
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, &out[start], (uInt)(out.size() - start));
    put32_be(out, (uint32_t)crc);
}

bool encode_png_rgba(int32_t width, int32_t height, const std::vector<uint32_t>& argb, Bytes& out, std::string& error) {
    if (width < 1 || height < 1 || width > PNG_MAX_SIDE || height > PNG_MAX_SIDE ||
        argb.size() != (size_t)width * (size_t)height) {
        error = "a PNG needs 1 to " + std::to_string(PNG_MAX_SIDE) + " pixels a side and one colour per pixel";
        return false;
    }
    Bytes raw;
    raw.reserve((size_t)height * ((size_t)width * 4 + 1));
    for (int32_t y = 0; y < height; y++) {
        raw.push_back(0);
        for (int32_t x = 0; x < width; x++) {
            uint32_t p = argb[(size_t)y * (size_t)width + (size_t)x];
            raw.push_back((uint8_t)(p >> 16));
            raw.push_back((uint8_t)(p >> 8));
            raw.push_back((uint8_t)p);
            raw.push_back((uint8_t)(p >> 24));
        }
    }
    uLongf packed_size = compressBound((uLong)raw.size());
    Bytes packed(packed_size);
    if (compress2(packed.data(), &packed_size, raw.data(), (uLong)raw.size(), 9) != Z_OK) {
        error = "zlib could not pack the pixels";
        return false;
    }
    packed.resize(packed_size);

    static const uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    out.assign(SIGNATURE, SIGNATURE + 8);
    Bytes header;
    put32_be(header, (uint32_t)width);
    put32_be(header, (uint32_t)height);
    header.push_back(8);  // bits per channel
    header.push_back(6);  // colour type: RGB with alpha
    header.push_back(0);  // deflate
    header.push_back(0);  // adaptive filtering (every row uses filter 0)
    header.push_back(0);  // no interlace
    put_chunk(out, "IHDR", header);
    put_chunk(out, "IDAT", packed);
    put_chunk(out, "IEND", Bytes());
    return true;
}
