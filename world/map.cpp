#include "world/map.h"

#include "floob.h"
#include "world/actors.h"
#include "world/codes.h"
#include "world/level.h"

enum { SPAWN_DISTANCE = 336 };  // enemies of a column appear this far right of the camera

// Codes 0..239: 0 passable, 1 solid, 2 deadly.
static const uint8_t tile_kind[TILE_COUNT] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0..19
    1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0,  // 20..39
    1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 40..59
    0, 0, 0, 1, 1, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 60..79
    1, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 80..99
    1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 1, 0, 0, 0, 1, 1, 0, 0, 0,  // 100..119
    1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0,  // 120..139
    2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0,  // 140..159
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0,  // 160..179
    1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 180..199
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 200..219
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 220..239
};

// Codes 0..239: 1 drawn in front of the sprites, 0 behind them.
const uint8_t tile_layer[TILE_COUNT] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0..19
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 20..39
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 40..59
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 60..79
    0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 1,  // 80..99
    0, 1, 1, 1, 1, 0, 1, 1, 1, 1, 0, 0, 1, 1, 1, 0, 0, 1, 1, 1,  // 100..119
    0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 120..139
    0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 140..159
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 160..179
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 180..199
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 200..219
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 220..239
};

int32_t tile_at(int32_t x, int32_t y) {
    if (x < 0 || y < 0 || y >= MAP_HEIGHT || !map_cells) return 0;
    int32_t column = x / CELL_SIZE;
    if (column >= map_columns) return 0;
    return map_cells[column * MAP_ROWS + y / CELL_SIZE];
}

void set_tile(int32_t column, int32_t row, int32_t code) {
    if (row < 0 || row >= MAP_ROWS || column < 0 || column >= map_columns || !map_cells) return;
    map_cells[column * MAP_ROWS + row] = code;
}

int32_t tile_kind_of(int32_t code) {
    if (code >= TILE_COUNT) return TILE_SOLID;
    if (code < 0) return TILE_PASSABLE;
    return tile_kind[code];
}

bool is_solid_at(int32_t x, int32_t y) {
    // The two ends of the level are walls of unlimited height; the top row reaches upwards.
    if (x < 0 || x >= map_columns * CELL_SIZE) return 1;
    if (y < 0) y = 0;
    if (y >= MAP_HEIGHT) return 0;
    return tile_kind_of(tile_at(x, y)) == TILE_SOLID;
}

bool is_deadly_at(int32_t x, int32_t y) {
    int32_t code = tile_at(x, y);
    return code >= 0 && code < TILE_COUNT && tile_kind[code] == TILE_DEADLY;
}

bool is_water_code(int32_t code) {
    return code == CODE_WATER || code == CODE_WATER_DEEP || code == CODE_WATER_BUBBLES ||
           (code >= CODE_WATER_SURFACE && code <= CODE_WATER_LAST);
}

bool hero_in_water(const Hero* hero) { return is_water_code(tile_at(hero->x + 8, hero->y + 8)); }

void scroll_camera(int32_t steps) {
    int32_t map_width = map_columns * CELL_SIZE;
    for (int32_t i = 0; i < steps; i++) {
        if (camera_x + VIEW_WIDTH < map_width - 1) camera_x++;
        int32_t x = camera_x + SPAWN_DISTANCE;
        if (x >= 0 && x < map_width) spawn_column(x);
    }
}
