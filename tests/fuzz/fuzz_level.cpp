// The level loader on arbitrary bytes, then a few seconds of play on what it
// accepted: the bytes after the 12 W cells (which the loader ignores) steer the
// hero, one byte per frame (bit 0 left, 1 right, 2 jump, 3 down), through the
// game's own play frame.
#include <string.h>

#include "floob.h"
#include "fuzz_support.h"
#include "world/actors.h"
#include "world/hero.h"
#include "world/level.h"
#include "world/map.h"
#include "world/world.h"

enum { FUZZ_LEVEL_FRAMES = 600 };

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (size_t)LEVEL_HEADER_BYTES + MAP_ROWS * MAX_LEVEL_COLUMNS + FUZZ_LEVEL_FRAMES) return 0;
    int32_t length = (int32_t)size;
    int32_t verdict = check_level_bytes(data, length);
    FUZZ_REQUIRE(verdict >= LEVEL_OK && verdict <= LEVEL_NO_EXIT);
    FUZZ_REQUIRE(level_bytes_valid(data, length) == (verdict == LEVEL_OK));

    world_new_game();
    checkpoint_reached = size > 0 ? data[size - 1] & 1 : 0;
    int loaded = world_start_life_bytes(data, length, 0);
    FUZZ_REQUIRE(loaded == (verdict == LEVEL_OK));
    if (!loaded) return 0;

    int32_t columns = map_columns;
    FUZZ_REQUIRE(columns >= MIN_LEVEL_COLUMNS && columns <= MAX_LEVEL_COLUMNS);
    FUZZ_REQUIRE(platform_count >= 0 && platform_count <= MAX_PLATFORMS);
    FUZZ_REQUIRE(camera_x >= 0 && camera_x <= columns * CELL_SIZE - VIEW_WIDTH);
    if (emeralds_left > 0) FUZZ_REQUIRE(map_cells[exit_cell] == CODE_EXIT_CLOSED_TOP_LEFT);

    Hero& hero = world.hero;
    lives = 3;
    const uint8_t* steer = data + LEVEL_HEADER_BYTES + MAP_ROWS * columns;
    size_t steps = size - (size_t)(LEVEL_HEADER_BYTES + MAP_ROWS * columns);
    for (size_t f = 0; f < FUZZ_LEVEL_FRAMES && hero.alive && !hero.exit_reached; f++) {
        uint8_t s = steps ? steer[f % steps] : 2;
        int32_t held =
            ((s & 1) ? BTN_LEFT : 0) | ((s & 2) ? BTN_RIGHT : 0) | ((s & 4) ? BTN_JUMP : 0) | ((s & 8) ? BTN_DOWN : 0);
        world_read_controls(held);
        world_step(&hero);
        FUZZ_REQUIRE(camera_x >= 0 && camera_x <= columns * CELL_SIZE - VIEW_WIDTH);
    }
    return 0;
}
