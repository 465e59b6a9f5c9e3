// High-score table and name entry.
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

enum { HISCORE_ROWS = 10 };

extern HiscoreEntry hiscore_table[HISCORE_ROWS];

// Puts back the built-in table (empty names, 1000 down to 100).
void hiscore_reset_table();
void hiscore_load();
void hiscore_save();
int32_t hiscore_insert(int32_t score, const char* name);
int32_t name_entry(Hero* hero);

#endif
