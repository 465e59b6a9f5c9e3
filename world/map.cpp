#include "world/map.h"

#include "floob.h"

int32_t camera_x = 0;
const uint8_t tile_kind[TILE_CODES] = {0};
const uint8_t tile_layer[TILE_CODES] = {0};

int32_t tile_at(int32_t, int32_t) { return 0; }
void set_tile(int32_t, int32_t, int32_t) {}
int32_t is_solid_at(int32_t, int32_t) { return 0; }
int32_t is_deadly_at(int32_t, int32_t) { return 0; }
int32_t is_water_code(int32_t) { return 0; }
int32_t hero_in_water(const Hero*) { return 0; }
void scroll_camera(int32_t) {}
