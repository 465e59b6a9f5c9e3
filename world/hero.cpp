#include "world/hero.h"

int32_t lives = 6;
int32_t points = 0;
int32_t level_timer = 7600;
int32_t air = 500;
char death_message[256] = "";
int32_t move_right_latch = 0;
int32_t move_left_latch = 0;

void update_hero(Hero*, int32_t, int32_t, int32_t, int32_t, int32_t) {}
void kill_hero(Hero*, const char*) {}
void hero_fell(Hero*, const char*) {}
void add_points(int32_t) {}
void extra_life() {}
void collect_emerald(Hero*) {}
void clear_hero_latches() {}
