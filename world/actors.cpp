#include "world/actors.h"

#include "world/level.h"

Enemy enemies[MAX_ENEMIES];
TileEffect tile_effects[MAX_TILE_EFFECTS];

void clear_enemies() {}
void clear_tile_effects() {}
void spawn_column(int32_t) {}
int32_t spawn_enemy(int32_t, int32_t, int32_t) { return 0; }
void update_enemy(Enemy*, Hero*, int32_t) {}
void update_enemies(Hero*, int32_t) {}
int32_t update_platform(Platform*, Hero*) { return 0; }
void update_platforms(Hero*) {}
int32_t start_tile_effect(int32_t, int32_t, int32_t) { return 0; }
void update_tile_effects() {}
