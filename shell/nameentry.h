// The name-entry screen after game over and after the finale.
#ifndef SHELL_NAMEENTRY_H
#define SHELL_NAMEENTRY_H

#include "floob.h"

// Lets the player enter a name for points when they beat the last entry of the
// high-score table, over the play screen of the hero; returns the new entry's
// position, or -1 when the score does not qualify or start was held at once.
int32_t name_entry(Hero* hero);

#endif
