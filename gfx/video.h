// Video settings, the video mode, the frame surface and the named colours.
#ifndef GFX_VIDEO_H
#define GFX_VIDEO_H

#include <SDL.h>
#include <stdint.h>

extern int32_t scale_mode;    // SCALE_*; default SCALE_SIMPLE
extern int32_t colour_depth;  // 16 or 24
extern int32_t fullscreen;
extern int32_t zoom_factor;         // 2, 3 or 4: enlargement of the window and of "-fs"
extern int32_t fullscreen_desktop;  // with fullscreen: at the desktop's own resolution
extern int32_t desktop_format;      // the enlarged window in the desktop's own pixel format
// The size of a window the player made (resized, or kept from the last run);
// 0 for the zoom factor's window.
extern int32_t window_width;
extern int32_t window_height;

// The frame every screen is drawn into, and the play area at its top, where the
// map, its backdrop and the dim panel are drawn (the status lines are below it).
enum { FRAME_WIDTH = 320, FRAME_HEIGHT = 240, PLAY_AREA_HEIGHT = 192 };

// Zoom factors the command line offers.
enum { VIDEO_ZOOM_MIN = 2, VIDEO_ZOOM_MAX = 4 };

extern SDL_Surface* frame_surface;    // 320 x 240, every frame is drawn here
extern SDL_Surface* display_surface;  // the enlarged picture's surface, or null in the unscaled window

// The named colours as pixel values of the frame's format, mapped again whenever the
// video mode is set.
extern uint32_t colour_black;
extern uint32_t colour_red;
extern uint32_t colour_dark_red;
extern uint32_t colour_blue;
extern uint32_t colour_dark_blue;

// Puts back the settings of a command line without options.
void reset_video_settings();

// The size of the display surface for the current settings. desktop_w and
// desktop_h are the desktop's size as SDL reported it before the mode was set
// (0 when unknown). Full screen at the desktop's resolution takes the desktop
// when it holds at least a 2x picture; a window the player sized (window_width,
// window_height) keeps that size; everything else is 320 x 240 times the zoom
// factor.
void choose_display_size(int32_t desktop_w, int32_t desktop_h, int32_t* w, int32_t* h);

// The zoom of an enlarged window as large as the desktop holds: the zoom
// factor, or the largest smaller one whose window fits (2 at the least).
// Full screen and an unknown desktop size (0) keep the zoom factor.
int32_t fitting_zoom(int32_t desktop_w, int32_t desktop_h);

// The bits per pixel of the display surface: the desktop's own (desktop_bits,
// as SDL reported it before the mode was set; 0 when unknown) for "-fsd" and
// "-bd" where the frame's depth converts into it, else the colour depth.
int32_t choose_display_bits(int32_t desktop_bits);

SDL_Surface* video_init();

// After video_init: switches between the window and the full screen at the
// desktop's own size (the zoom's full screen where that size is unknown),
// back to the window of the zoom or of the size the player gave it. The frame
// keeps its pixels (and, where the format allows, the surface itself). Returns
// 0 when SDL refused the mode and the old one was set again.
int video_toggle_fullscreen();
// After video_init: a window of the given size, the picture drawn in it at the
// largest whole factor that fits. 0 in full screen, for the unscaled window
// (the frame itself) and when SDL refused the size.
int video_resize_window(int32_t w, int32_t h);
void colours_init();

#endif
