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
int32_t window_width = 0;
int32_t window_height = 0;
SDL_Surface* frame_surface = nullptr;
SDL_Surface* display_surface = nullptr;
uint32_t colour_black = 0;
uint32_t colour_red = 0;
uint32_t colour_dark_red = 0;
uint32_t colour_blue = 0;
uint32_t colour_dark_blue = 0;

enum { VIDEO_WINDOW_MAX = 16384 };

// The desktop's size and depth as SDL told them before the first mode of the
// run was set (0 when unknown), for the modes set later on.
static int32_t first_desktop_w = 0, first_desktop_h = 0, first_desktop_bits = 0;

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
    window_width = 0;
    window_height = 0;
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
    if (!fullscreen && window_width > 0 && window_height > 0 && window_width <= VIDEO_WINDOW_MAX &&
        window_height <= VIDEO_WINDOW_MAX) {
        *w = window_width;
        *h = window_height;
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

// The format of the frame for the display: its exact format when the depths
// match, else the one SDL gives a surface of the colour depth by default.
static void frame_masks(const SDL_PixelFormat* format, uint32_t masks[4]) {
    if (format->BitsPerPixel != colour_depth) {
        masks[0] = masks[1] = masks[2] = masks[3] = 0;
        return;
    }
    masks[0] = format->Rmask, masks[1] = format->Gmask, masks[2] = format->Bmask, masks[3] = format->Amask;
}

static SDL_Surface* create_frame_surface() {
    uint32_t m[4];
    frame_masks(display_surface->format, m);
    return SDL_CreateRGBSurface(SDL_SWSURFACE, FRAME_WIDTH, FRAME_HEIGHT, colour_depth, m[0], m[1], m[2],
                                m[3]);
}

// 1 when a frame surface kept from an earlier mode has the format a new
// frame for the display would get, so that it (and every image converted to
// its format) can stay.
static int frame_fits_display(const SDL_Surface* frame) {
    uint32_t m[4];
    frame_masks(display_surface->format, m);
    const SDL_PixelFormat* f = frame->format;
    if (f->BitsPerPixel != colour_depth) return 0;
    if (!m[0] && !m[1] && !m[2]) return 1;
    return f->Rmask == m[0] && f->Gmask == m[1] && f->Bmask == m[2] && f->Amask == m[3];
}

// Sets the display for the current settings; the desktop's size and depth as
// given (0 when unknown). Returns the display surface, or null.
static SDL_Surface* set_display_mode(int32_t desktop_w, int32_t desktop_h, int32_t desktop_bits) {
    Uint32 flags = SDL_DOUBLEBUF | SDL_HWSURFACE;
    if (fullscreen)
        flags |= SDL_FULLSCREEN;
    else
        flags |= SDL_RESIZABLE;
    int32_t bits = choose_display_bits(desktop_bits);
    if (!fullscreen_desktop) desktop_w = desktop_h = 0;
    int32_t w = 0, h = 0;
    choose_display_size(desktop_w, desktop_h, &w, &h);
    SDL_Surface* display = SDL_SetVideoMode(w, h, bits, flags);
    if (!display && fullscreen && fullscreen_desktop) {
        // The desktop's own size refused: the ordinary full screen instead.
        zoomed_size(&w, &h);
        display = SDL_SetVideoMode(w, h, bits, flags);
    }
    return display;
}

SDL_Surface* video_init() {
    register_sdl_quit();
    if (!SDL_GetVideoSurface()) {
        const SDL_VideoInfo* first = SDL_GetVideoInfo();
        first_desktop_w = first ? first->current_w : 0;
        first_desktop_h = first ? first->current_h : 0;
        first_desktop_bits = first && first->vfmt ? first->vfmt->BitsPerPixel : 0;
    }
    if (!fullscreen && scale_mode == SCALE_NONE) {
        display_surface = nullptr;
        frame_surface = SDL_SetVideoMode(FRAME_WIDTH, FRAME_HEIGHT, colour_depth, SDL_DOUBLEBUF);
        return frame_surface;
    }
    // The desktop's size and format are asked before the mode is set: once a
    // mode is set SDL reports that mode instead, so a window fits itself to
    // the desktop only on the first mode of the run.
    int32_t desktop_w = 0, desktop_h = 0, desktop_bits = 0;
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (info && (fullscreen_desktop || !SDL_GetVideoSurface())) {
        desktop_w = info->current_w, desktop_h = info->current_h;
        if (info->vfmt) desktop_bits = info->vfmt->BitsPerPixel;
    }
    // A window size kept from a larger desktop gives way to the zoom's window.
    if (desktop_w > 0 && desktop_h > 0 && (window_width > desktop_w || window_height > desktop_h))
        window_width = window_height = 0;
    int32_t zoom = fitting_zoom(desktop_w, desktop_h);
    if (zoom != zoom_factor) {
        fprintf(stderr, "zoom %d does not fit the %d x %d desktop: zoom %d instead\n", (int)zoom_factor, (int)desktop_w,
                (int)desktop_h, (int)zoom);
        zoom_factor = zoom;
    }
    display_surface = set_display_mode(desktop_w, desktop_h, desktop_bits);
    if (!display_surface) fatal_error("Unable to set video mode", SDL_GetError());
    frame_surface = create_frame_surface();
    clear_borders();
    return frame_surface;
}

// The display of the current settings after the first mode: the desktop as it was before that one.
static SDL_Surface* open_display() {
    if (!fullscreen && scale_mode == SCALE_NONE)
        return SDL_SetVideoMode(FRAME_WIDTH, FRAME_HEIGHT, colour_depth, SDL_DOUBLEBUF);
    return set_display_mode(first_desktop_w, first_desktop_h, first_desktop_bits);
}

// Sets the mode of the given settings and puts the frame into it. When SDL
// refuses it, the settings and the mode before it come back and 0 is
// returned. A separate frame of the right format is kept as it is (with it
// every image converted to its format); otherwise its pixels are copied into
// the new frame.
static int apply_mode(int32_t full, int32_t desktop, int32_t w, int32_t h) {
    int32_t before[4] = {fullscreen, fullscreen_desktop, window_width, window_height};
    SDL_Surface* old_frame = frame_surface;
    int32_t old_was_display = !display_surface;
    // The unscaled window's frame is the display itself, which the new mode frees.
    SDL_Surface* copy = nullptr;
    if (old_frame && old_was_display) copy = SDL_ConvertSurface(old_frame, old_frame->format, SDL_SWSURFACE);
    fullscreen = full, fullscreen_desktop = desktop, window_width = w, window_height = h;
    SDL_Surface* display = open_display();
    int ok = display != nullptr;
    if (!ok) {
        fprintf(stderr, "Can't change the video mode: %s\n", SDL_GetError());
        fullscreen = before[0], fullscreen_desktop = before[1], window_width = before[2], window_height = before[3];
        display = open_display();
        if (!display) fatal_error("Unable to set video mode", SDL_GetError());
    }
    if (!fullscreen && scale_mode == SCALE_NONE) {
        display_surface = nullptr;
        frame_surface = display;
    } else {
        display_surface = display;
        frame_surface =
            !old_was_display && old_frame && frame_fits_display(old_frame) ? old_frame : create_frame_surface();
        if (!frame_surface) fatal_error("Unable to set video mode", SDL_GetError());
    }
    SDL_Surface* picture = old_was_display ? copy : old_frame;
    if (picture && picture != frame_surface) {
        SDL_SetAlpha(picture, 0, 0);
        SDL_SetColorKey(picture, 0, 0);
        SDL_BlitSurface(picture, nullptr, frame_surface, nullptr);
    }
    if (copy) SDL_FreeSurface(copy);
    if (old_frame && !old_was_display && old_frame != frame_surface) SDL_FreeSurface(old_frame);
    colours_init();
    if (display_surface) clear_borders();
    return ok;
}

int video_toggle_fullscreen() {
    // Full screen takes the desktop's size where it is known; SDL falls back on the zoom's.
    if (fullscreen) return apply_mode(0, 0, window_width, window_height);
    return apply_mode(1, 1, window_width, window_height);
}

int video_resize_window(int32_t w, int32_t h) {
    if (fullscreen || w < 1 || h < 1 || w > VIDEO_WINDOW_MAX || h > VIDEO_WINDOW_MAX) return 0;
    if (!display_surface) return 0;  // the unscaled window is the frame itself and keeps its size
    return apply_mode(0, 0, w, h);
}

void colours_init() {
    const SDL_PixelFormat* format = frame_surface->format;
    colour_black = SDL_MapRGB(format, 0, 0, 0);
    colour_red = SDL_MapRGB(format, 255, 0, 0);
    colour_dark_red = SDL_MapRGB(format, 128, 0, 0);
    colour_blue = SDL_MapRGB(format, 0, 0, 255);
    colour_dark_blue = SDL_MapRGB(format, 0, 0, 128);
}
