// The screens between lives and levels: level end, stories, game over.
#ifndef SHELL_SCREENS_H
#define SHELL_SCREENS_H

#include "floob.h"

void level_end_sequence(Hero* hero);
void opening_story();
void finale(Hero* hero);
// Game over with name entry and the continue question. Returns 1 when the
// player continues (same level), 0 for the title.
int32_t game_over(Hero* hero);

#endif
