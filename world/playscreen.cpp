#include "world/playscreen.h"

#include "world/actors.h"

void draw_play_screen(int32_t, const Hero*, int32_t) {}
void draw_tile_layer(int32_t, int32_t) {}
void draw_enemy(const Enemy*) {}
void draw_background_strip(SDL_Surface*, int32_t, int32_t, int32_t, int32_t) {}
