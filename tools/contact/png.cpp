#include "png.h"

#include <stdio.h>
#include <zlib.h>

static void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((uint8_t)(v >> shift));
}

static void put_chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    put_u32(out, (uint32_t)data.size());
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0L, out.data() + start, (uInt)(out.size() - start));
    put_u32(out, (uint32_t)crc);
}

bool write_png(const std::string& path, int32_t width, int32_t height, const std::vector<uint32_t>& rgb) {
    if (width <= 0 || height <= 0 || rgb.size() != (size_t)width * (size_t)height) return false;
    // Every row starts with filter type 0 (none).
    std::vector<uint8_t> raw;
    raw.reserve((size_t)height * ((size_t)width * 3 + 1));
    for (int32_t y = 0; y < height; y++) {
        raw.push_back(0);
        for (int32_t x = 0; x < width; x++) {
            uint32_t p = rgb[(size_t)y * (size_t)width + (size_t)x];
            raw.push_back((uint8_t)(p >> 16));
            raw.push_back((uint8_t)(p >> 8));
            raw.push_back((uint8_t)p);
        }
    }
    uLongf packed_size = compressBound((uLong)raw.size());
    std::vector<uint8_t> packed(packed_size);
    if (compress2(packed.data(), &packed_size, raw.data(), (uLong)raw.size(), 9) != Z_OK) return false;
    packed.resize(packed_size);

    static const uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> out(SIGNATURE, SIGNATURE + 8);
    std::vector<uint8_t> header;
    put_u32(header, (uint32_t)width);
    put_u32(header, (uint32_t)height);
    header.push_back(8);  // bits per sample
    header.push_back(2);  // RGB
    header.push_back(0);
    header.push_back(0);
    header.push_back(0);
    put_chunk(out, "IHDR", header);
    put_chunk(out, "IDAT", packed);
    put_chunk(out, "IEND", std::vector<uint8_t>());

    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
    return fclose(f) == 0 && ok;
}
