// Title screen: main menu, high-score view, options screen and the scroller.
#ifndef SHELL_TITLE_H
#define SHELL_TITLE_H

#include "floob.h"

extern const char* scroller_text;
extern int32_t scroller_length;
extern int32_t scroller_offset;
extern int32_t scroller_pixel;

extern int32_t options_cursor;
extern int32_t options_changed;
extern int32_t repeat_delay;
extern int32_t soundcheck_track;

// Fetches the scroller text once and sets offset and pixel to 0.
void reset_scroller();

// One title frame's menu logic, run by the game loop after the world update and
// one discarded rand() call. It moves the title camera one pixel itself (except
// during key capture). Returns 0, or the main-menu entry chosen for the game
// loop's start game: 1 NEW GAME, 2 CONTINUE, 5 EXIT.
int32_t title_menu_step(Hero* hero);

// After the play screen on the title: draws the high-score view (-3) or the
// options screen (-4) over it (unless the frame is skipped) and returns 1, for
// the loop to show the frame; otherwise advances the scroller and returns 0.
int32_t title_after_draw(Hero* hero);

// The title's elements over the play screen while menu_state >= 0: logo,
// version line, scroller, and PRESS START or the main menu.
void draw_title_overlay(int32_t frame);

#endif
