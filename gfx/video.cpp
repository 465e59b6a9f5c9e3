#include "gfx/video.h"

#include <stdio.h>
#include <stdlib.h>

#include "floob.h"
#include "gfx/scale.h"

int32_t scale_mode = SCALE_SIMPLE;
int32_t colour_depth = 16;
int32_t fullscreen = 0;
int32_t zoom_factor = VIDEO_ZOOM_MIN;
int32_t fullscreen_desktop = 0;
int32_t desktop_format = 0;
SDL_Surface* frame_surface = nullptr;
SDL_Surface* display_surface = nullptr;
uint32_t colour_black = 0;
uint32_t colour_red = 0;
uint32_t colour_dark_red = 0;
uint32_t colour_blue = 0;
uint32_t colour_dark_blue = 0;

static void quit_sdl_at_exit() { SDL_Quit(); }

// SDL_Quit runs at every exit of the process, so that a fatal error still
// gives the display back; it is registered once however often the mode is set.
static void register_sdl_quit() {
    static int32_t registered = 0;
    if (registered) return;
    registered = 1;
    atexit(quit_sdl_at_exit);
}

void reset_video_settings() {
    scale_mode = SCALE_SIMPLE;
    colour_depth = 16;
    fullscreen = 0;
    zoom_factor = VIDEO_ZOOM_MIN;
    fullscreen_desktop = 0;
    desktop_format = 0;
}

// The window (or "-fs" mode) size of the zoom factor; a factor outside the
// offered ones is taken as the nearest one.
static void zoomed_size(int32_t* w, int32_t* h) {
    int32_t zoom = zoom_factor < VIDEO_ZOOM_MIN   ? VIDEO_ZOOM_MIN
                   : zoom_factor > VIDEO_ZOOM_MAX ? VIDEO_ZOOM_MAX
                                                  : zoom_factor;
    *w = FRAME_WIDTH * zoom;
    *h = FRAME_HEIGHT * zoom;
}

void choose_display_size(int32_t desktop_w, int32_t desktop_h, int32_t* w, int32_t* h) {
    // A desktop too small for a 2x picture (or one SDL could not tell) gets
    // the ordinary full screen instead: no filter enlarges by 1.
    if (fullscreen && fullscreen_desktop && desktop_w >= 2 * FRAME_WIDTH && desktop_h >= 2 * FRAME_HEIGHT) {
        *w = desktop_w;
        *h = desktop_h;
        return;
    }
    zoomed_size(w, h);
}

// Where the picture does not fill the display, its borders are made black
// once: the filters write only the picture. Both buffers of a flipping pair
// are cleared.
static void clear_borders() {
    int32_t x = 0, y = 0, factor = 0;
    picture_placement(display_surface->w, display_surface->h, &x, &y, &factor);
    if (x == 0 && y == 0) return;
    Uint32 black = SDL_MapRGB(display_surface->format, 0, 0, 0);
    SDL_FillRect(display_surface, nullptr, black);
    SDL_Flip(display_surface);
    SDL_FillRect(display_surface, nullptr, black);
}

int32_t fitting_zoom(int32_t desktop_w, int32_t desktop_h) {
    int32_t zoom = zoom_factor;
    if (fullscreen || desktop_w <= 0 || desktop_h <= 0) return zoom;
    while (zoom > VIDEO_ZOOM_MIN && (FRAME_WIDTH * zoom > desktop_w || FRAME_HEIGHT * zoom > desktop_h)) zoom--;
    return zoom;
}

int32_t choose_display_bits(int32_t desktop_bits) {
    int32_t own = fullscreen ? fullscreen_desktop : desktop_format;
    // The filters convert a 16- or 24-bit frame into 32-bit pixels only; a
    // desktop of the frame's own depth needs no conversion.
    if (own && (desktop_bits == 32 || desktop_bits == colour_depth)) return desktop_bits;
    return colour_depth;
}

// The frame surface for the display: in its exact format when the depths
// match, else in the format SDL gives a surface of the colour depth by default.
static SDL_Surface* create_frame_surface() {
    const SDL_PixelFormat* format = display_surface->format;
    if (format->BitsPerPixel != colour_depth)
        return SDL_CreateRGBSurface(SDL_SWSURFACE, FRAME_WIDTH, FRAME_HEIGHT, colour_depth, 0, 0, 0, 0);
    return SDL_CreateRGBSurface(SDL_SWSURFACE, FRAME_WIDTH, FRAME_HEIGHT, format->BitsPerPixel, format->Rmask,
                                format->Gmask, format->Bmask, format->Amask);
}

SDL_Surface* video_init() {
    register_sdl_quit();
    if (!fullscreen && scale_mode == SCALE_NONE) {
        display_surface = nullptr;
        frame_surface = SDL_SetVideoMode(FRAME_WIDTH, FRAME_HEIGHT, colour_depth, SDL_DOUBLEBUF);
        return frame_surface;
    }
    Uint32 flags = SDL_DOUBLEBUF | SDL_HWSURFACE;
    if (fullscreen) flags |= SDL_FULLSCREEN;
    // The desktop's size and format are asked before the mode is set: once a
    // mode is set SDL reports that mode instead, so a window fits itself to
    // the desktop only on the first mode of the run.
    int32_t desktop_w = 0, desktop_h = 0, desktop_bits = 0;
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (info && (fullscreen_desktop || !SDL_GetVideoSurface())) {
        desktop_w = info->current_w, desktop_h = info->current_h;
        if (info->vfmt) desktop_bits = info->vfmt->BitsPerPixel;
    }
    int32_t zoom = fitting_zoom(desktop_w, desktop_h);
    if (zoom != zoom_factor) {
        fprintf(stderr, "zoom %d does not fit the %d x %d desktop: zoom %d instead\n", (int)zoom_factor, (int)desktop_w,
                (int)desktop_h, (int)zoom);
        zoom_factor = zoom;
    }
    int32_t bits = choose_display_bits(desktop_bits);
    if (!fullscreen_desktop) desktop_w = desktop_h = 0;
    int32_t w = 0, h = 0;
    choose_display_size(desktop_w, desktop_h, &w, &h);
    display_surface = SDL_SetVideoMode(w, h, bits, flags);
    if (!display_surface && fullscreen_desktop) {
        // The desktop's own size refused: the ordinary full screen instead.
        zoomed_size(&w, &h);
        display_surface = SDL_SetVideoMode(w, h, bits, flags);
    }
    if (!display_surface) fatal_error("Unable to set video mode", SDL_GetError());
    frame_surface = create_frame_surface();
    clear_borders();
    return frame_surface;
}

void colours_init() {
    const SDL_PixelFormat* format = frame_surface->format;
    colour_black = SDL_MapRGB(format, 0, 0, 0);
    colour_red = SDL_MapRGB(format, 255, 0, 0);
    colour_dark_red = SDL_MapRGB(format, 128, 0, 0);
    colour_blue = SDL_MapRGB(format, 0, 0, 255);
    colour_dark_blue = SDL_MapRGB(format, 0, 0, 128);
}
