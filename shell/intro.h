// Intro screens: the maker's logo with its jingle, the warning and the credits.
#ifndef SHELL_INTRO_H
#define SHELL_INTRO_H

#include <SDL.h>
#include <stdint.h>

struct IntroScreen {
    const char* name;
    int (*init)();
    int (*exit)();
    int (*update)();
    int (*draw)(SDL_Surface* surface);
};

// The screens in the order they run, ended by a record without a name.
extern const IntroScreen intro_screens[];
extern int32_t intro_test_start_index;  // 2: test mode shows only the credits; read by the start-up

// The screens' own state, written only by the screens.
struct IntroState {
    int32_t cos_table[512];  // the mascot's circling path: 1024 x cos and sin of 2 pi i / 512
    int32_t sin_table[512];
    int32_t logo_x;            // the logo's left edge
    int32_t logo_frame_count;  // frames updated since the logo screen started
    int32_t mascot_x;          // where the mascot was drawn last
    int32_t mascot_y;
    int32_t warning_blink;  // drawn frames of the warning screen, never reset
    int32_t credits_blink;  // drawn frames of the credits screen, never reset
};
// For tests: the screens' state.
IntroState& intro_state();

// Runs the intro screens from the given table index to the end of the table.
void run_intro_screens(int start_index);

// The same frame loop over any table of screens ended by a record without a name.
void run_screen_table(const IntroScreen* table, int start_index);

#endif
