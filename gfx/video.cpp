#include "gfx/video.h"

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

SDL_Surface* video_init() { return nullptr; }
void colours_init() {}
