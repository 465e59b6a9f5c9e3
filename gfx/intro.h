// Intro screens: the maker's logo with its jingle, the warning and the credits.
#ifndef GFX_INTRO_H
#define GFX_INTRO_H

#include <SDL.h>
#include <stdint.h>

struct IntroScreen {
    const char* name;
    int (*init)();
    int (*exit)();
    int (*update)();
    int (*draw)(SDL_Surface* surface);
};

extern const IntroScreen intro_screens[];
extern int32_t intro_test_start_index;  // 2: test mode shows only the credits

extern int32_t cos_table[512];
extern int32_t sin_table[512];

// The logo screen's state and the two blink counters, exposed for tests.
extern int32_t logo_x;            // the logo's left edge
extern int32_t logo_frame_count;  // frames updated since the logo screen started
extern int32_t mascot_x;          // where the mascot was drawn last
extern int32_t mascot_y;
extern int32_t warning_blink;  // drawn frames of the warning screen, never reset
extern int32_t credits_blink;  // drawn frames of the credits screen, never reset

#endif
