// The data compiler's parts. Each compiler reads one text source and produces
// the bytes of one archive entry. On failure it returns false and sets error to
// "file:line: what is wrong".
#ifndef DATAC_COMPILE_H
#define DATAC_COMPILE_H

#include <stdint.h>

#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

struct ArchiveInput {
    std::string name;  // full entry name with extension, at most 31 characters
    Bytes data;        // unpacked bytes
};

// Archive writer: the index, then every entry packed with compress2.
bool write_archive(const std::vector<ArchiveInput>& entries, Bytes& out, std::string& error);

// Images: .xpm (whole picture), .sheet (tile sheet), .gen (procedural picture) -> Windows BMP.
bool compile_image(const char* path, Bytes& out, std::string& error);

// Whether the game can place a picture of this size under the source's name (the tile
// sheet, the backdrops, the logos and the mascot have sizes the screens depend on); else
// false with "file:line: what is wrong", the line being the one that gives the size.
bool check_picture_size(const char* path, int32_t line, int32_t width, int32_t height, std::string& error);

// The image kinds behind compile_image: tile sheets and procedural pictures,
// both to the pixel grid that encode_bmp24 takes.
bool compile_sheet(const char* path, Bytes& out, std::string& error);
bool compile_generated(const char* path, Bytes& out, std::string& error);
// The palette.inc beside an image source: names and 0xRRGGBB colours in file
// order ("key" is magenta). Defined in sheet.cpp.
bool read_palette_file(const char* source_path, std::vector<std::string>& names, std::vector<uint32_t>& colours,
                       std::string& error);

// Levels: .lvl ASCII map -> level format.
bool compile_level(const char* path, Bytes& out, std::string& error);

// Backdrop tables: .tab lines "MAP IMAGE" -> the same lines, checked and without comments.
bool compile_table(const char* path, Bytes& out, std::string& error);

// Sound effects: .sfx parameter set -> 16-bit WAV.
bool compile_sound(const char* path, Bytes& out, std::string& error);

// Songs: .song text -> tracker module that libmodplug plays.
bool compile_song(const char* path, Bytes& out, std::string& error);

// Icons (.icon): pixel grids of a few square sizes, each drawn or scaled up
// from a smaller one. Gives the size x size picture as 0xAARRGGBB pixels, row
// by row from the top; the palette's "key" is fully transparent, every other
// colour opaque.
bool compile_icon(const char* path, int32_t size, std::vector<uint32_t>& argb, std::string& error);

enum { PNG_MAX_SIDE = 4096 };
// 8-bit RGBA PNG from 0xAARRGGBB pixels, row-major top-down (png.cpp).
bool encode_png_rgba(int32_t width, int32_t height, const std::vector<uint32_t>& argb, Bytes& out, std::string& error);

// Shared helpers (bmp.cpp, files.cpp).
bool read_text_file(const char* path, std::string& text, std::string& error);
bool write_bytes_file(const char* path, const Bytes& data, std::string& error);
// 24-bit bottom-up Windows BMP from 0xRRGGBB pixels, row-major top-down.
void encode_bmp24(int width, int height, const std::vector<uint32_t>& rgb, Bytes& out);

#endif
