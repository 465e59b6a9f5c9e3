// The master loop: title, levels, pause, quit question, lives and transitions.
#ifndef SHELL_GAME_H
#define SHELL_GAME_H

#include <libmodplug/modplug.h>

#include "floob.h"

extern ModPlugFile* current_module;  // the music module owned by the loop, or null

void game_loop(int32_t test_mode_flag);

// How the last game_loop run ended, for the replay driver and tests.
enum {
    LOOP_END_QUIT = 0,            // left from the title or the test map, or EXIT chosen
    LOOP_END_EXIT_REACHED = 1,    // the hero entered the open exit of the test map
    LOOP_END_INPUT_EXHAUSTED = 2  // an installed replay ran out of frames
};
extern int32_t loop_end_reason;
extern int32_t loop_lives_lost;  // lives taken by "life over" during the last run

// points 0, lives 6, level 0, menu 0, highlighted row, scroller restarted, message emptied.
void reset_game(int32_t highlight);

// 1 when the last released button is BTN_START, BTN_JUMP or BTN_PAUSE.
int action_released();

// While an action is released: read_controls (level -1, no pause) and sleep 100 ms.
void wait_for_release();

// The play screen of the frame as the game's state says (the level, the pause menu and its
// cursor, a quit under way) into the frame surface, unless the frame is skipped.
void draw_play_frame(int32_t frame, const Hero* hero);

// The play screen of a frame as the loops show it: composed, with the title's
// elements over it on the title while its menus show (menu_state 0 or more),
// and with present 1 then shown by show_frame.
void show_play_screen(int32_t frame, const Hero* hero, int32_t present);

// The end of a drawn frame: presents it unless it is skipped, then holds the
// frame rate with frame_wait.
void show_frame();

#endif
