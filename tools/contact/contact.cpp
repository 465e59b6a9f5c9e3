// floobcontact SOURCE_DIR OUT_DIR: compiles every image source of SOURCE_DIR
// and writes review pictures into OUT_DIR: blocks-contact.png (every tile
// enlarged three times, numbered, on a checkerboard so that magenta shows as
// transparent), <image>-contact.png for each other image, and mockup.png,
// mockup-cave.png and mockup-base.png, play screens of the meadow, cave and
// base themes composed from each theme's backdrop and the tiles, one code a cell.
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "compile.h"

enum { CONTACT_SCALE = 3, CONTACT_CELL_W = 16 * CONTACT_SCALE + 4, CONTACT_CELL_H = 16 * CONTACT_SCALE + 12 };

struct Picture {
    int32_t width;
    int32_t height;
    std::vector<uint32_t> rgb;
};

static const char* CONTACT_DIGITS[10] = {"111101101101111", "010110010010111", "111001111100111", "111001111001111",
                                         "101101111001001", "111100111001111", "111100111101111", "111001001001001",
                                         "111101111101111", "111101111001111"};

// Play-screen mock-ups of the three themes: 20 columns by 12 rows of tile codes, 0 = empty, over the
// theme's backdrop. A cell holds one code, as in the game, so scenery on a back wall uses the
// variants with the wall painted in, and an empty cell shows the backdrop.
struct Scene {
    const char* file;
    const char* backdrop;
    uint8_t cells[12][20];
};

static const Scene CONTACT_SCENES[] = {
    {"mockup.png",
     "back",
     {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 33, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 0, 20, 40, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 41, 41, 0, 0, 0, 0},
      {0, 137, 138, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 130, 131, 131, 132, 0, 0, 0},
      {0, 157, 158, 0, 0, 0, 26, 0, 0, 0, 0, 0, 0, 170, 171, 171, 172, 0, 27, 28},
      {0, 177, 178, 0, 0, 22, 22, 22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 47, 48},
      {130, 131, 131, 131, 132, 0, 0, 0, 0, 90, 0, 1, 82, 9, 0, 25, 105, 0, 130, 131},
      {150, 151, 151, 151, 152, 160, 161, 160, 161, 130, 131, 131, 131, 131, 131, 131, 131, 131, 151, 151},
      {150, 151, 151, 151, 152, 85, 53, 41, 85, 150, 151, 151, 151, 151, 151, 151, 151, 151, 151, 151},
      {150, 151, 151, 151, 152, 163, 145, 164, 165, 150, 151, 151, 151, 151, 151, 151, 151, 151, 151, 151}}},
    {"mockup-cave.png",
     "back-cave",
     {{134, 134, 134, 134, 134, 134, 134, 134, 134, 134, 134, 134, 134, 134, 134, 134, 134, 134, 134, 134},
      {154, 154, 154, 154, 154, 154, 140, 140, 154, 154, 154, 154, 154, 154, 154, 154, 154, 154, 154, 154},
      {70, 71, 70, 78, 70, 70, 0, 0, 0, 0, 72, 0, 0, 93, 0, 0, 0, 0, 0, 0},
      {70, 70, 70, 70, 70, 70, 0, 0, 33, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {70, 70, 70, 70, 70, 70, 0, 0, 0, 0, 0, 0, 0, 0, 41, 41, 0, 0, 0, 0},
      {70, 70, 70, 70, 70, 70, 0, 0, 0, 0, 0, 0, 0, 110, 111, 111, 115, 0, 0, 0},
      {70, 70, 76, 70, 70, 70, 0, 40, 40, 0, 0, 0, 0, 133, 134, 116, 153, 0, 74, 0},
      {70, 70, 70, 70, 70, 70, 0, 0, 0, 0, 0, 0, 0, 154, 116, 154, 154, 0, 0, 0},
      {70, 70, 70, 70, 70, 77, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {70, 75, 24, 41, 70, 70, 25, 86, 25, 105, 105, 0, 22, 180, 181, 182, 0, 0, 25, 73},
      {110, 111, 111, 111, 111, 111, 111, 111, 111, 111, 111, 115, 0, 0, 0, 0, 0, 110, 111, 111},
      {133, 134, 116, 134, 134, 116, 134, 134, 116, 134, 134, 153, 162, 162, 162, 162, 162, 133, 134, 116}}},
    {"mockup-base.png",
     "back-base",
     {{31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31},
      {195, 195, 196, 195, 195, 195, 195, 117, 0, 0, 0, 140, 140, 0, 0, 0, 0, 118, 97, 97},
      {190, 190, 190, 190, 190, 190, 190, 99, 0, 0, 0, 0, 0, 0, 0, 0, 0, 99, 0, 0},
      {190, 191, 190, 190, 192, 190, 190, 119, 0, 0, 0, 0, 0, 0, 0, 0, 0, 119, 0, 0},
      {190, 190, 190, 190, 190, 190, 190, 99, 0, 0, 0, 0, 41, 41, 0, 0, 0, 99, 0, 0},
      {190, 194, 190, 190, 190, 197, 190, 99, 0, 0, 0, 23, 23, 23, 23, 0, 0, 99, 0, 0},
      {190, 190, 193, 190, 190, 197, 190, 99, 0, 0, 0, 0, 0, 0, 0, 0, 0, 99, 38, 39},
      {190, 190, 190, 190, 190, 204, 190, 99, 0, 0, 0, 0, 0, 0, 0, 0, 0, 99, 58, 59},
      {190, 65, 205, 206, 206, 207, 190, 99, 0, 0, 0, 0, 121, 0, 0, 0, 173, 43, 30, 30},
      {30, 30, 30, 30, 30, 30, 30, 30, 30, 0, 0, 105, 105, 0, 30, 30, 30, 63, 64, 31},
      {31, 31, 31, 31, 31, 31, 31, 31, 31, 30, 30, 30, 30, 30, 30, 31, 31, 31, 31, 31},
      {31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31}}},
};

static bool decode_bmp24(const Bytes& b, Picture& p) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
    auto u32 = [&](size_t at) {
        return (uint32_t)b[at] | (uint32_t)b[at + 1] << 8 | (uint32_t)b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
    };
    uint32_t offset = u32(10);
    p.width = (int32_t)u32(18);
    p.height = (int32_t)u32(22);
    if (b[28] != 24 || p.width <= 0 || p.height <= 0 || p.width > 8192 || p.height > 8192) return false;
    size_t row = ((size_t)p.width * 3 + 3) & ~(size_t)3;
    if (offset + row * (size_t)p.height > b.size()) return false;
    p.rgb.assign((size_t)p.width * (size_t)p.height, 0);
    for (int32_t y = 0; y < p.height; y++)
        for (int32_t x = 0; x < p.width; x++) {
            size_t at = offset + row * (size_t)(p.height - 1 - y) + (size_t)x * 3;
            p.rgb[(size_t)y * p.width + x] = (uint32_t)b[at] | (uint32_t)b[at + 1] << 8 | (uint32_t)b[at + 2] << 16;
        }
    return true;
}

static void make_canvas(Picture& c, int32_t width, int32_t height) {
    c.width = width;
    c.height = height;
    c.rgb.assign((size_t)width * (size_t)height, 0x202020);
}

static void put(Picture& c, int32_t x, int32_t y, uint32_t rgb) {
    if (x >= 0 && y >= 0 && x < c.width && y < c.height) c.rgb[(size_t)y * c.width + x] = rgb;
}

// Draws a region of src enlarged by scale at (dx, dy), magenta as a checkerboard.
static void draw_region(Picture& c, const Picture& src, int32_t sx, int32_t sy, int32_t w, int32_t h, int32_t dx,
                        int32_t dy, int32_t scale) {
    for (int32_t y = 0; y < h * scale; y++)
        for (int32_t x = 0; x < w * scale; x++) {
            uint32_t p = src.rgb[(size_t)(sy + y / scale) * src.width + sx + x / scale];
            if (p == 0xFF00FF) p = (((x / 6) + (y / 6)) & 1) ? 0x9a9a9a : 0x6a6a6a;
            put(c, dx + x, dy + y, p);
        }
}

static void draw_number(Picture& c, int32_t n, int32_t x, int32_t y) {
    std::string s = std::to_string(n);
    for (size_t i = 0; i < s.size(); i++) {
        const char* d = CONTACT_DIGITS[s[i] - '0'];
        for (int32_t j = 0; j < 15; j++)
            if (d[j] == '1') put(c, x + (int32_t)i * 4 + j % 3, y + j / 3, 0xFFFFFF);
    }
}

static void write_picture(const std::string& path, const Picture& p) {
    std::vector<uint32_t> argb(p.rgb.size());
    for (size_t i = 0; i < argb.size(); i++) argb[i] = 0xFF000000u | p.rgb[i];
    Bytes out;
    std::string error;
    if (!encode_png_rgba(p.width, p.height, argb, out, error) || !write_bytes_file(path.c_str(), out, error))
        fprintf(stderr, "floobcontact: %s: %s\n", path.c_str(), error.c_str());
}

// Copies tile n of the sheet onto the canvas at (x, y), skipping magenta.
static void blit_tile(Picture& c, const Picture& sheet, int32_t n, int32_t x, int32_t y) {
    for (int32_t j = 0; j < 16; j++)
        for (int32_t i = 0; i < 16; i++) {
            uint32_t p = sheet.rgb[(size_t)((n / 20) * 16 + j) * sheet.width + (n % 20) * 16 + i];
            if (p != 0xFF00FF) put(c, x + i, y + j, p);
        }
}

static void write_mockup(const std::string& path, const Scene& scene, const Picture& sheet, const Picture* back) {
    Picture c;
    make_canvas(c, 320, 240);
    for (uint32_t& p : c.rgb) p = 0;
    if (back) {
        int32_t top = 192 - back->height;
        for (int32_t y = 0; y < back->height; y++)
            for (int32_t x = 0; x < 320; x++) put(c, x, top + y, back->rgb[(size_t)y * back->width + x % back->width]);
    }
    for (int32_t r = 0; r < 12; r++)
        for (int32_t col = 0; col < 20; col++)
            if (scene.cells[r][col]) blit_tile(c, sheet, scene.cells[r][col], col * 16, r * 16);
    blit_tile(c, sheet, 24, 16, 220);
    blit_tile(c, sheet, 42, 104, 220);
    blit_tile(c, sheet, 41, 196, 220);
    blit_tile(c, sheet, 17, 256, 220);
    Picture big;
    make_canvas(big, 640, 480);
    draw_region(big, c, 0, 0, 320, 240, 0, 0, 2);
    write_picture(path, big);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: floobcontact SOURCE_DIR OUT_DIR\n");
        return 2;
    }
    std::string in = argv[1], out = argv[2];
    DIR* dir = opendir(in.c_str());
    if (!dir) {
        fprintf(stderr, "floobcontact: %s: cannot open\n", in.c_str());
        return 1;
    }
    std::vector<std::string> names;
    while (struct dirent* e = readdir(dir)) {
        std::string n = e->d_name;
        size_t dot = n.rfind('.');
        if (dot == std::string::npos) continue;
        std::string ext = n.substr(dot + 1);
        if (ext == "xpm" || ext == "sheet" || ext == "gen") names.push_back(n);
    }
    closedir(dir);
    int status = 0;
    Picture sheet;
    int32_t have_sheet = 0;
    std::map<std::string, Picture> pictures;
    for (const std::string& n : names) {
        std::string path = in + "/" + n, error, base = n.substr(0, n.rfind('.'));
        Bytes bytes;
        Picture p;
        if (!compile_image(path.c_str(), bytes, error) || !decode_bmp24(bytes, p)) {
            fprintf(stderr, "floobcontact: %s\n",
                    error.empty() ? (path + ": not a 24-bit BMP").c_str() : error.c_str());
            status = 1;
            continue;
        }
        Picture c;
        if (base == "blocks") {
            make_canvas(c, 20 * CONTACT_CELL_W, 12 * CONTACT_CELL_H);
            for (int32_t t = 0; t < 240 && (t / 20 + 1) * 16 <= p.height; t++) {
                int32_t x = (t % 20) * CONTACT_CELL_W + 2, y = (t / 20) * CONTACT_CELL_H + 2;
                draw_number(c, t, x, y);
                draw_region(c, p, (t % 20) * 16, (t / 20) * 16, 16, 16, x, y + 8, CONTACT_SCALE);
            }
            sheet = p;
            have_sheet = 1;
        } else {
            int32_t scale = p.width > 400 ? 1 : 2;
            make_canvas(c, p.width * scale + 8, p.height * scale + 8);
            draw_region(c, p, 0, 0, p.width, p.height, 4, 4, scale);
            pictures[base] = p;
        }
        write_picture(out + "/" + base + "-contact.png", c);
    }
    if (have_sheet && sheet.width >= 320 && sheet.height >= 192)
        for (const Scene& scene : CONTACT_SCENES)
            write_mockup(out + "/" + scene.file, scene, sheet,
                         pictures.count(scene.backdrop) ? &pictures[scene.backdrop] : nullptr);
    return status;
}
