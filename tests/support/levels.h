// Shared set-up of the level tests: small levels built in memory, and the
// shipped levels as the build compiles them.
#ifndef TEST_SUPPORT_LEVELS_H
#define TEST_SUPPORT_LEVELS_H

#include <stdint.h>

#include <string>
#include <vector>

#include "world/codes.h"

enum { TEST_GROUND_ROW = 9 };

// Terrain the tests build with, as the tile sheet draws it: the meadow's grass and
// earth (each also as its left edge), a steel crate, the ceiling spikes and seaweed.
enum {
    TILE_GRASS_LEFT = 130,
    TILE_GRASS = 131,
    TILE_EARTH_LEFT = 150,
    TILE_EARTH = 151,
    TILE_CRATE = 21,
    TILE_CEILING_SPIKES = 140,
    TILE_SEAWEED = 163
};

// A level file in memory: the width header, then columns of 12 cells, all air
// until set. Cells outside the level are ignored.
struct LevelBytes {
    explicit LevelBytes(int32_t columns);
    void set(int32_t column, int32_t row, uint8_t code);
    // Every cell of columns first..last, rows top..bottom (inclusive).
    void fill(int32_t first, int32_t last, int32_t top, int32_t bottom, uint8_t code);
    // The exit's four cells, its lower half on the given row.
    void put_exit(int32_t column, int32_t row);
    const uint8_t* data() const { return bytes.data(); }
    int32_t size() const { return (int32_t)bytes.size(); }
    std::string text() const { return std::string(bytes.begin(), bytes.end()); }
    // The loader's answers on these bytes.
    int32_t load() const;
    int32_t valid() const;
    int32_t columns;
    std::vector<uint8_t> bytes;
};

// Columns of air over a ground row (row 11) of the given cell code.
LevelBytes ground_level(int32_t columns, uint8_t code = TILE_EARTH_LEFT);

// The 40-column floor the game-loop tests play on: crates on row 11 and the
// hero's start in column 2 (x 32, y 160), no exit.
LevelBytes floor_level();

// A flat meadow level of the given width: grass on row 9, earth below, the
// hero's start in column 1, the exit standing on the ground 5 columns from the
// right end. Cells are set and cut out before the level is loaded.
struct TestLevel : LevelBytes {
    explicit TestLevel(int32_t columns);
    // A pit of count columns through the ground.
    void pit(int32_t first, int32_t count);
};

// The world's map set up directly, without the loader, so that any width up to
// TEST_MAP_COLUMNS can be used: columns of air, with the enemies, tile effects,
// elevators, hero latches, camera and death message cleared.
enum { TEST_MAP_COLUMNS = 100 };
void use_test_map(int32_t columns);
// One cell of that map.
void put_cell(int32_t column, int32_t row, int32_t code);

// The built level file of level 0..10 (build/entries/maps/floob2NN.bin), and its stored route.
std::string shipped_level_path(int32_t level);
std::string shipped_route_path(int32_t level);

#endif
