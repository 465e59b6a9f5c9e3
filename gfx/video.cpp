#include "gfx/video.h"

#include <stdlib.h>

#include "floob.h"

int32_t scale_mode = SCALE_SIMPLE;
int32_t colour_depth = 16;
int32_t fullscreen = 0;
SDL_Surface* frame_surface = nullptr;
SDL_Surface* display_surface = nullptr;
uint32_t COLOUR_BLACK = 0;
uint32_t COLOUR_RED = 0;
uint32_t COLOUR_DARK_RED = 0;
uint32_t COLOUR_BLUE = 0;
uint32_t COLOUR_DARK_BLUE = 0;

enum { VIDEO_FRAME_WIDTH = 320, VIDEO_FRAME_HEIGHT = 240, VIDEO_DISPLAY_WIDTH = 640, VIDEO_DISPLAY_HEIGHT = 480 };

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
    display_surface = SDL_SetVideoMode(VIDEO_DISPLAY_WIDTH, VIDEO_DISPLAY_HEIGHT, colour_depth, flags);
    if (!display_surface) fatal_error("Unable to set video mode", SDL_GetError());
    const SDL_PixelFormat* format = display_surface->format;
    frame_surface = SDL_CreateRGBSurface(SDL_SWSURFACE, VIDEO_FRAME_WIDTH, VIDEO_FRAME_HEIGHT, format->BitsPerPixel,
                                         format->Rmask, format->Gmask, format->Bmask, format->Amask);
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
