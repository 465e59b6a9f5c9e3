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

#endif
