// PNG files for the review pictures: 8-bit RGB, no interlace.
#ifndef CONTACT_PNG_H
#define CONTACT_PNG_H

#include <stdint.h>

#include <string>
#include <vector>

// Writes width x height pixels of 0xRRGGBB, row-major top-down; false when the file cannot be written.
bool write_png(const std::string& path, int32_t width, int32_t height, const std::vector<uint32_t>& rgb);

#endif
