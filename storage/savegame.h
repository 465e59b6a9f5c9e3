// Save game: the last completed level, mixed with a random key.
#ifndef STORAGE_SAVEGAME_H
#define STORAGE_SAVEGAME_H

#include <stdint.h>

// Saves the last completed level (its low byte) and returns the level as saved.
int32_t save_game_write(int32_t completed_level);
int32_t save_game_read();

#endif
