// Title screen: main menu, high-score view, options screen and the scroller.
#ifndef SHELL_TITLE_H
#define SHELL_TITLE_H

#include "floob.h"

// The title's title_menu: PRESS START, the five main-menu entries (also what
// title_menu_step hands to the game loop), the high-score view and the options screen.
enum {
    MENU_PRESS_START = 0,
    MENU_NEW_GAME = 1,
    MENU_CONTINUE = 2,
    MENU_HISCORES = 3,
    MENU_OPTIONS = 4,
    MENU_EXIT = 5,
    MENU_HISCORE_VIEW = -3,
    MENU_OPTIONS_SCREEN = -4
};

// The sound check's track on the options screen, 0 for the title song; set by
// the options screen, cleared by the game loop's entry.
extern int32_t soundcheck_track;

// The title's own state, written only by the title and its menus.
struct TitleState {
    const char* scroller_text;  // the scroller line, fetched once
    int32_t scroller_length;
    int32_t scroller_offset;  // first character shown
    int32_t scroller_pixel;   // 0..15: how far that character has moved out, in half pixels
    int32_t options_cursor;   // row of the options screen
    int32_t options_changed;  // 1 when leaving the options screen must write the configuration
    int32_t repeat_delay;     // frames until a held button acts again
};
// For tests: the title's state.
TitleState& title_state();

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

// The title's elements over the play screen while title_menu >= 0: logo,
// version line, scroller, and PRESS START or the main menu.
void draw_title_overlay(int32_t frame);

#endif
