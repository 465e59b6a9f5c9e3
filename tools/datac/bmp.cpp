#include "compile.h"

static void put16(Bytes& out, uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}

static void put32(Bytes& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void encode_bmp24(int width, int height, const std::vector<uint32_t>& rgb, Bytes& out) {
    int row_bytes = (width * 3 + 3) & ~3;
    uint32_t image_size = (uint32_t)row_bytes * (uint32_t)height;
    out.clear();
    out.reserve(54 + image_size);
    out.push_back('B');
    out.push_back('M');
    put32(out, 54 + image_size);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, (uint32_t)width);
    put32(out, (uint32_t)height);
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, image_size);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int y = height - 1; y >= 0; y--) {
        for (int x = 0; x < width; x++) {
            uint32_t p = rgb[(size_t)y * width + x];
            out.push_back(p & 0xFF);
            out.push_back((p >> 8) & 0xFF);
            out.push_back((p >> 16) & 0xFF);
        }
        for (int pad = width * 3; pad < row_bytes; pad++) out.push_back(0);
    }
}
