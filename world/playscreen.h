// The play screen: backdrop, tile layers, sprites, bars, status line, messages.
#ifndef WORLD_PLAYSCREEN_H
#define WORLD_PLAYSCREEN_H

#include "floob.h"

struct Enemy;

void draw_play_screen(int32_t frame, const Hero* hero, int32_t present);
void draw_tile_layer(int32_t frame, int32_t layer);
void draw_enemy(const Enemy* e);
void draw_background_strip(SDL_Surface* image, int32_t y, int32_t height, int32_t offset, int32_t source_y);

#endif
