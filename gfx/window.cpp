#include "gfx/window.h"

#include <stdint.h>

#include "gfx/scale.h"
#include "gfx/video.h"

enum { WINDOW_FRAME_W = 320, WINDOW_FRAME_H = 240 };

int shown_picture(SDL_Rect* rect, int* factor) {
    if (!display_surface || !frame_surface) return 0;
    int32_t x = 0, y = 0, k = 0;
    picture_placement(display_surface->w, display_surface->h, &x, &y, &k);
    int32_t w = WINDOW_FRAME_W * k, h = WINDOW_FRAME_H * k;
    if (!k) {
        // Unenlarged: centred where it fits, else from the top left corner.
        x = display_surface->w > WINDOW_FRAME_W ? (display_surface->w - WINDOW_FRAME_W) / 2 : 0;
        y = display_surface->h > WINDOW_FRAME_H ? (display_surface->h - WINDOW_FRAME_H) / 2 : 0;
        w = display_surface->w < WINDOW_FRAME_W ? display_surface->w : WINDOW_FRAME_W;
        h = display_surface->h < WINDOW_FRAME_H ? display_surface->h : WINDOW_FRAME_H;
    }
    rect->x = (Sint16)x, rect->y = (Sint16)y, rect->w = (Uint16)w, rect->h = (Uint16)h;
    if (factor) *factor = k ? k : 1;
    return 1;
}

int present_small_window() {
    SDL_Rect at;
    int factor = 0;
    if (!shown_picture(&at, &factor)) return 0;
    if (at.w > WINDOW_FRAME_W || at.h > WINDOW_FRAME_H) return 0;
    // Few pixels: the border is painted anew with every frame.
    SDL_FillRect(display_surface, nullptr, SDL_MapRGB(display_surface->format, 0, 0, 0));
    SDL_Rect from = {0, 0, at.w, at.h};
    SDL_BlitSurface(frame_surface, &from, display_surface, &at);
    if (display_surface->flags & SDL_DOUBLEBUF)
        SDL_Flip(display_surface);
    else
        SDL_UpdateRect(display_surface, 0, 0, 0, 0);
    return 1;
}
