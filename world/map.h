// Tile map queries, the tile property tables and the camera.
#ifndef WORLD_MAP_H
#define WORLD_MAP_H

#include <stdint.h>

#include "gfx/image.h"

struct Hero;

// Cell codes are the tile sheet's tiles, 0 to TILE_COUNT - 1 (gfx/image.h).
enum { TILE_PASSABLE = 0, TILE_SOLID = 1, TILE_DEADLY = 2 };

// 1 for the codes drawn in front of the sprites, 0 behind them.
extern const uint8_t tile_layer[TILE_COUNT];

// Kind of a cell code: codes TILE_COUNT and above are solid, the rest come from tile_kind.
int32_t tile_kind_of(int32_t code);
int32_t tile_at(int32_t x, int32_t y);
void set_tile(int32_t column, int32_t row, int32_t code);
bool is_solid_at(int32_t x, int32_t y);
bool is_deadly_at(int32_t x, int32_t y);
bool is_water_code(int32_t code);
bool hero_in_water(const Hero* hero);
void scroll_camera(int32_t steps);

#endif
