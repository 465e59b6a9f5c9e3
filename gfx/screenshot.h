// Screenshots: what the player sees, as a PNG in the player's folder.
#ifndef GFX_SCREENSHOT_H
#define GFX_SCREENSHOT_H

#include <SDL.h>
#include <stdint.h>

// The pixels of a rectangle of a surface (any format SDL maps) as 8-bit
// R, G, B, 3 bytes a pixel, rows packed. Null when out of memory or the
// rectangle does not lie in the surface; to be freed with free().
uint8_t* surface_rgb(SDL_Surface* surface, const SDL_Rect* rect);

// Saves "screenshots/floob2-YYYYMMDD-HHMMSS.png" of the current folder (the
// folder made when missing), "-2", "-3" ... after the time for a second one in
// the same second: the 320 x 240 frame when raw is set or nothing is enlarged,
// else the enlarged picture as shown (without the black around it). The file
// is written whole under a temporary name and then given its own, never over
// an existing file and never through a link; a failure says so on standard
// error. Returns 1 with the path written in path, 0 on failure.
int save_screenshot(int32_t raw, char* path, uint32_t path_size);

#endif
