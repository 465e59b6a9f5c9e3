#include "levels.h"

#include <string.h>

#include "floob.h"
#include "world/actors.h"
#include "world/hero.h"
#include "world/level.h"

LevelBytes::LevelBytes(int32_t width) : columns(width), bytes(2 + 12 * (size_t)width, 0) {
    bytes[0] = (uint8_t)((width - 1) & 0xff);
    bytes[1] = (uint8_t)((width - 1) >> 8);
}

void LevelBytes::set(int32_t column, int32_t row, uint8_t code) {
    if (column >= 0 && column < columns && row >= 0 && row < 12) bytes[2 + 12 * (size_t)column + row] = code;
}

void LevelBytes::fill(int32_t first, int32_t last, int32_t top, int32_t bottom, uint8_t code) {
    for (int32_t c = first; c <= last; c++)
        for (int32_t r = top; r <= bottom; r++) set(c, r, code);
}

void LevelBytes::put_exit(int32_t column, int32_t row) {
    set(column, row - 1, 27);
    set(column + 1, row - 1, 28);
    set(column, row, 47);
    set(column + 1, row, 48);
}

int32_t LevelBytes::load() const { return load_level_bytes(bytes.data(), (int32_t)bytes.size()); }

int32_t LevelBytes::valid() const { return level_bytes_valid(bytes.data(), (int32_t)bytes.size()); }

LevelBytes ground_level(int32_t columns, uint8_t code) {
    LevelBytes level(columns);
    level.fill(0, columns - 1, 11, 11, code);
    return level;
}

LevelBytes floor_level() {
    LevelBytes level = ground_level(40, TILE_CRATE);
    level.set(2, 10, CODE_HERO_START);
    return level;
}

TestLevel::TestLevel(int32_t width) : LevelBytes(width) {
    fill(0, width - 1, TEST_GROUND_ROW, TEST_GROUND_ROW, 131);
    fill(0, width - 1, TEST_GROUND_ROW + 1, 11, 151);
    set(1, TEST_GROUND_ROW - 1, 65);
    put_exit(width - 5, TEST_GROUND_ROW - 1);
}

void TestLevel::pit(int32_t first, int32_t count) { fill(first, first + count - 1, TEST_GROUND_ROW, 11, 0); }

static int32_t test_map_cells[TEST_MAP_COLUMNS * 12];

void use_test_map(int32_t columns) {
    clear_enemies();
    clear_tile_effects();
    clear_hero_latches();
    memset(test_map_cells, 0, sizeof test_map_cells);
    map_cells = test_map_cells;
    map_columns = columns < TEST_MAP_COLUMNS ? columns : TEST_MAP_COLUMNS;
    camera_x = 0;
    platform_count = 0;
    death_message[0] = 0;
}

void put_cell(int32_t column, int32_t row, int32_t code) {
    if (column >= 0 && column < TEST_MAP_COLUMNS && row >= 0 && row < 12) test_map_cells[column * 12 + row] = code;
}

std::string shipped_level_path(int32_t level) {
    return std::string(FLOOB_BINARY_DIR) + "/entries/maps/" + level_map_name(level) + ".bin";
}

std::string shipped_route_path(int32_t level) {
    return std::string(FLOOB_SOURCE_DIR) + "/assets/maps/" + level_map_name(level) + ".replay";
}
