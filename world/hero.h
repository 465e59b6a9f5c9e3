// The hero: per-frame update, deaths, points and lives.
#ifndef WORLD_HERO_H
#define WORLD_HERO_H

#include "floob.h"

// Fields of the world record (world/world.h).
extern int32_t& move_right_latch;
extern int32_t& move_left_latch;

void update_hero(Hero* hero, int32_t left, int32_t right, int32_t jump, int32_t down, int32_t camera);
void kill_hero(Hero* hero, const char* message);
void hero_fell(Hero* hero, const char* message);
// Copies a death text (null for none) into death_message, cut to fit.
void set_death_message(const char* message);
void add_points(int32_t n);
void extra_life();
void collect_emerald(Hero* hero);

// Clears the walking latches (part of the world reset).
void clear_hero_latches();

#endif
