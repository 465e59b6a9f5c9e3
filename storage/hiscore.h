// The high-score table and its file.
#ifndef STORAGE_HISCORE_H
#define STORAGE_HISCORE_H

#include "floob.h"

struct HiscoreEntry {
    char name[8];
    uint8_t terminator;
    uint8_t origin;  // 0 player, 1 made up by the game, 2 cheat marker
    uint8_t reserved[2];
    int32_t score;  // little-endian in the file
};

enum { HISCORE_ROWS = 10, HISCORE_NAME_SIZE = 8 };

extern HiscoreEntry hiscore_table[HISCORE_ROWS];

// Puts back the built-in table (empty names, 1000 down to 100).
void hiscore_reset_table();
void hiscore_load();
void hiscore_save();
// Puts a qualifying score into its place and saves the table; returns the
// position, or -1 (nothing changed) when the score does not beat the last entry.
int32_t hiscore_insert(int32_t score, const char* name);

#endif
