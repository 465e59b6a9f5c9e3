// The picture in a window too small for the enlarging filters.
#ifndef GFX_WINDOW_H
#define GFX_WINDOW_H

#include <SDL.h>

// Where the picture the player sees lies in the display surface: the
// filters' enlarged picture, or in a window smaller than twice the frame the
// frame itself, centred where it fits and cut at the right and bottom where it
// does not. Null when there is no separate display surface.
int shown_picture(SDL_Rect* rect, int* factor);

// Draws the frame unenlarged into a display smaller than twice its size,
// black around it, and shows it; returns 0 (drawing nothing) for a display
// the filters enlarge into.
int present_small_window();

#endif
