// The level loader on arbitrary bytes, then a few seconds of play on what it
// accepted: the bytes after the 12 W cells (which the loader ignores) steer the
// hero, one byte per frame (bit 0 left, 1 right, 2 jump, 3 down).
#include <string.h>

#include "floob.h"
#include "fuzz_support.h"
#include "shell/controls.h"
#include "world/actors.h"
#include "world/hero.h"
#include "world/level.h"
#include "world/map.h"

enum { FUZZ_LEVEL_FRAMES = 600 };

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (size_t)2 + 12 * 4096 + FUZZ_LEVEL_FRAMES) return 0;
    int32_t length = (int32_t)size;
    int32_t verdict = check_level_bytes(data, length);
    FUZZ_REQUIRE(verdict >= LEVEL_OK && verdict <= LEVEL_NO_EXIT);
    FUZZ_REQUIRE(level_bytes_valid(data, length) == (verdict == LEVEL_OK));

    clear_enemies();
    clear_tile_effects();
    clear_hero_latches();
    drop_map();
    start_x = 16;
    start_y = 100;
    checkpoint_reached = size > 0 ? data[size - 1] & 1 : 0;
    exit_cell = 0;
    int loaded = load_level_bytes(data, length);
    FUZZ_REQUIRE(loaded == (verdict == LEVEL_OK));
    if (!loaded) return 0;

    int32_t columns = map_columns;
    FUZZ_REQUIRE(columns >= MIN_LEVEL_COLUMNS && columns <= MAX_LEVEL_COLUMNS);
    FUZZ_REQUIRE(platform_count >= 0 && platform_count <= MAX_PLATFORMS);
    FUZZ_REQUIRE(camera_x >= 0 && camera_x <= columns * 16 - 320);
    if (emeralds_left > 0) FUZZ_REQUIRE(map_cells[exit_cell] == 38);

    Hero hero;
    place_hero(&hero);
    lives = 3;
    air = 500;
    level_timer = 7600;
    const uint8_t* steer = data + 2 + 12 * columns;
    size_t steps = size - (size_t)(2 + 12 * columns);
    for (size_t f = 0; f < FUZZ_LEVEL_FRAMES && hero.alive && !hero.exit_reached; f++) {
        uint8_t s = steps ? steer[f % steps] : 2;
        update_tile_effects();
        update_enemies(&hero, camera_x);
        update_platforms(&hero);
        update_hero(&hero, s & 1, (s >> 1) & 1, (s >> 2) & 1, (s >> 3) & 1, camera_x);
        FUZZ_REQUIRE(camera_x >= 0 && camera_x <= columns * 16 - 320);
    }
    return 0;
}
