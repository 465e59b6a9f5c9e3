#include "shell/desktop.h"

#include "gfx/scale.h"
#include "gfx/screenshot.h"
#include "gfx/video.h"
#include "shell/frame.h"
#include "storage/extras.h"

int32_t focus_lost = 0;

enum { DESKTOP_SIZE_MAX = 16384 };
static const int DESKTOP_KEYS = (int)SDLK_LAST;

// Keys whose last press was the desktop's: their releases are the desktop's
// too until the game sees the key pressed. A mode change can make SDL report
// the keys held as released before the real release comes, so one press may
// be followed by two releases.
static uint8_t taken_keys[DESKTOP_KEYS];
static int32_t resize_w = 0, resize_h = 0;  // the last resize of the poll, 0 for none
static int32_t toggled = 0, resized = 0;    // what the run changed, for the extras file
static int32_t settings_loaded = 0;         // 1 once the player's settings were read: only then are they saved

// After a new mode the frame is shown at once (a screen that waits for a key
// draws nothing until then) and the frame clock starts afresh, so that the
// time the mode took makes no frame skip its drawing.
static void after_mode_change() {
    present_frame();
    frame_timer_reset();
}

static int is_desktop_key(const SDL_keysym& key) {
    if (key.sym == SDLK_F11 || key.sym == SDLK_F12 || key.sym == SDLK_PRINT) return 1;
    return (key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER) && (key.mod & KMOD_ALT);
}

static void press_desktop_key(SDLKey sym) {
    if (sym == SDLK_F12 || sym == SDLK_PRINT) {
        save_screenshot(extras_get_int(EXTRAS_SCREENSHOT_RAW, 0, 1, 0), nullptr, 0);
        return;
    }
    if (video_toggle_fullscreen()) toggled = 1;
    after_mode_change();
}

int desktop_event(const SDL_Event& event) {
    switch (event.type) {
        case SDL_KEYDOWN:
            if ((int)event.key.keysym.sym >= DESKTOP_KEYS) return 0;
            taken_keys[event.key.keysym.sym] = (uint8_t)is_desktop_key(event.key.keysym);
            if (!taken_keys[event.key.keysym.sym]) return 0;
            press_desktop_key(event.key.keysym.sym);
            return 1;
        case SDL_KEYUP:
            return (int)event.key.keysym.sym < DESKTOP_KEYS && taken_keys[event.key.keysym.sym];
        case SDL_VIDEORESIZE:
            resize_w = event.resize.w;
            resize_h = event.resize.h;
            return 1;
        case SDL_ACTIVEEVENT:
            if (!event.active.gain && (event.active.state & (SDL_APPINPUTFOCUS | SDL_APPACTIVE))) focus_lost = 1;
            return 1;
        default:
            return 0;
    }
}

void desktop_end_poll() {
    if (!resize_w) return;
    int32_t w = resize_w, h = resize_h;
    resize_w = resize_h = 0;
    // The window manager's echo of the size the game set is no change.
    if (!display_surface || fullscreen || (w == display_surface->w && h == display_surface->h)) return;
    if (video_resize_window(w, h)) resized = 1;
    after_mode_change();
}

void desktop_settings_load(int32_t keep_fullscreen, int32_t keep_window_size) {
    extras_load();
    settings_loaded = 1;
    toggled = resized = 0;
    if (!keep_fullscreen && extras_get_int(EXTRAS_FULLSCREEN, 0, 1, 0)) {
        fullscreen = 1;
        fullscreen_desktop = 1;
    }
    int32_t w = extras_get_int(EXTRAS_WINDOW_WIDTH, 1, DESKTOP_SIZE_MAX, 0);
    int32_t h = extras_get_int(EXTRAS_WINDOW_HEIGHT, 1, DESKTOP_SIZE_MAX, 0);
    if (!keep_window_size && w && h) {
        window_width = w;
        window_height = h;
    }
}

void desktop_settings_save() {
    if (!settings_loaded) return;
    settings_loaded = 0;
    if (toggled) extras_set_int(EXTRAS_FULLSCREEN, fullscreen ? 1 : 0);
    if (resized && window_width > 0 && window_height > 0) {
        extras_set_int(EXTRAS_WINDOW_WIDTH, window_width);
        extras_set_int(EXTRAS_WINDOW_HEIGHT, window_height);
    }
    extras_save();
}
