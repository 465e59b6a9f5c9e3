// Video settings, the video mode, the frame surface and the named colours.
#ifndef GFX_VIDEO_H
#define GFX_VIDEO_H

#include <SDL.h>
#include <stdint.h>

extern int32_t scale_mode;    // SCALE_*; default SCALE_SIMPLE
extern int32_t colour_depth;  // 16 or 24
extern int32_t fullscreen;

extern SDL_Surface* frame_surface;    // 320 x 240, every frame is drawn here
extern SDL_Surface* display_surface;  // 640 x 480, or null in the unscaled window

extern uint32_t COLOUR_BLACK;
extern uint32_t COLOUR_RED;
extern uint32_t COLOUR_DARK_RED;
extern uint32_t COLOUR_BLUE;
extern uint32_t COLOUR_DARK_BLUE;

// Puts back the settings of a command line without options.
void reset_video_settings();

SDL_Surface* video_init();
void colours_init();

#endif
