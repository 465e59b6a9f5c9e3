#include "gfx/video.h"

#include <stdlib.h>

#include "floob.h"
#include "gfx/scale.h"

int32_t scale_mode = SCALE_SIMPLE;
int32_t colour_depth = 16;
int32_t fullscreen = 0;
int32_t zoom_factor = VIDEO_ZOOM_MIN;
int32_t fullscreen_desktop = 0;
SDL_Surface* frame_surface = nullptr;
SDL_Surface* display_surface = nullptr;
uint32_t COLOUR_BLACK = 0;
uint32_t COLOUR_RED = 0;
uint32_t COLOUR_DARK_RED = 0;
uint32_t COLOUR_BLUE = 0;
uint32_t COLOUR_DARK_BLUE = 0;

enum { VIDEO_FRAME_WIDTH = 320, VIDEO_FRAME_HEIGHT = 240 };

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
}

// The window (or "-fs" mode) size of the zoom factor; a factor outside the
// offered ones is taken as the nearest one.
static void zoomed_size(int32_t* w, int32_t* h) {
    int32_t zoom = zoom_factor < VIDEO_ZOOM_MIN   ? VIDEO_ZOOM_MIN
                   : zoom_factor > VIDEO_ZOOM_MAX ? VIDEO_ZOOM_MAX
                                                  : zoom_factor;
    *w = VIDEO_FRAME_WIDTH * zoom;
    *h = VIDEO_FRAME_HEIGHT * zoom;
}

void choose_display_size(int32_t desktop_w, int32_t desktop_h, int32_t* w, int32_t* h) {
    // A desktop too small for a 2x picture (or one SDL could not tell) gets
    // the ordinary full screen instead: no filter enlarges by 1.
    if (fullscreen && fullscreen_desktop && desktop_w >= 2 * VIDEO_FRAME_WIDTH && desktop_h >= 2 * VIDEO_FRAME_HEIGHT) {
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

SDL_Surface* video_init() {
    register_sdl_quit();
    if (!fullscreen && scale_mode == SCALE_NONE) {
        display_surface = nullptr;
        frame_surface = SDL_SetVideoMode(VIDEO_FRAME_WIDTH, VIDEO_FRAME_HEIGHT, colour_depth, SDL_DOUBLEBUF);
        return frame_surface;
    }
    Uint32 flags = SDL_DOUBLEBUF | SDL_HWSURFACE;
    if (fullscreen) flags |= SDL_FULLSCREEN;
    // The desktop's size is asked before the mode is set: afterwards SDL
    // reports the game's own mode.
    int32_t desktop_w = 0, desktop_h = 0;
    if (fullscreen && fullscreen_desktop) {
        const SDL_VideoInfo* info = SDL_GetVideoInfo();
        if (info) desktop_w = info->current_w, desktop_h = info->current_h;
    }
    int32_t w = 0, h = 0;
    choose_display_size(desktop_w, desktop_h, &w, &h);
    display_surface = SDL_SetVideoMode(w, h, colour_depth, flags);
    if (!display_surface && fullscreen_desktop) {
        // The desktop's own size refused: the ordinary full screen instead.
        zoomed_size(&w, &h);
        display_surface = SDL_SetVideoMode(w, h, colour_depth, flags);
    }
    if (!display_surface) fatal_error("Unable to set video mode", SDL_GetError());
    const SDL_PixelFormat* format = display_surface->format;
    frame_surface = SDL_CreateRGBSurface(SDL_SWSURFACE, VIDEO_FRAME_WIDTH, VIDEO_FRAME_HEIGHT, format->BitsPerPixel,
                                         format->Rmask, format->Gmask, format->Bmask, format->Amask);
    clear_borders();
    return frame_surface;
}

void colours_init() {
    const SDL_PixelFormat* format = frame_surface->format;
    COLOUR_BLACK = SDL_MapRGB(format, 0, 0, 0);
    COLOUR_RED = SDL_MapRGB(format, 255, 0, 0);
    COLOUR_DARK_RED = SDL_MapRGB(format, 128, 0, 0);
    COLOUR_BLUE = SDL_MapRGB(format, 0, 0, 255);
    COLOUR_DARK_BLUE = SDL_MapRGB(format, 0, 0, 128);
}
