// Save game: the last completed level, mixed with a random key.
#ifndef STORAGE_SAVEGAME_H
#define STORAGE_SAVEGAME_H

#include <stdint.h>

void save_game_write();
int32_t save_game_read();

#endif
