// Enemies, elevator platforms and tile effects.
#ifndef WORLD_ACTORS_H
#define WORLD_ACTORS_H

#include "floob.h"

enum { MAX_ENEMIES = 32, MAX_TILE_EFFECTS = 16 };

struct Enemy {
    int32_t x;
    int32_t y;
    int32_t dx;
    int32_t saved_dx;
    int32_t fall_counter;
    int32_t age;
    int32_t type;
    int32_t active;
    int32_t stompable;
    int32_t hits;
};

struct TileEffect {
    int32_t x;
    int32_t y;
    int32_t counter;
    int32_t kind;
    int32_t active;
};

// Fields of the world record (world/world.h).
extern Enemy (&enemies)[MAX_ENEMIES];
extern TileEffect (&tile_effects)[MAX_TILE_EFFECTS];

void clear_enemies();
void clear_tile_effects();
void spawn_column(int32_t x);
int32_t spawn_enemy(int32_t x, int32_t y, int32_t type);
void update_enemy(Enemy* e, Hero* hero, int32_t camera);
void update_enemies(Hero* hero, int32_t camera);
int32_t update_platform(struct Platform* p, Hero* hero);
void update_platforms(Hero* hero);
int32_t start_tile_effect(int32_t x, int32_t y, int32_t kind);
void update_tile_effects();
// 1 while an effect is running on the cell at pixel (x, y).
int32_t tile_effect_at(int32_t x, int32_t y);

#endif
