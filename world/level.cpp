#include "world/level.h"

#include <stdlib.h>
#include <string.h>

#include "floob.h"
#include "storage/archive.h"
#include "world/actors.h"
#include "world/map.h"

int32_t* map_cells = nullptr;
int32_t map_columns = 0;
int32_t exit_cell = 0;
int32_t emeralds_left = 0;
Platform platforms[MAX_PLATFORMS];
int32_t platform_count = 0;
int32_t start_x = 16;
int32_t start_y = 100;
int32_t checkpoint_reached = 0;

enum {
    LEVEL_ROWS = 12,
    LEVEL_CELL = 16,
    LEVEL_HEADER_BYTES = 2,
    LEVEL_VIEW_WIDTH = 320,
    LEVEL_CODE_EXIT = 27,
    LEVEL_CODE_EMERALD = 41,
    LEVEL_CODE_ELEVATOR = 66,
    LEVEL_CODE_POST_LOWERED = 17,
    LEVEL_CODE_POST_RAISED = 19
};

static const char* const LEVEL_NAMES[LEVEL_COUNT] = {"floob200", "floob201", "floob202", "floob203",
                                                     "floob204", "floob205", "floob206", "floob207",
                                                     "floob208", "floob209", "floob210"};

// The map lives in one fixed block big enough for the widest level the loader accepts,
// so a load never allocates and can never fail for want of memory.
static int32_t map_storage[MAX_LEVEL_COLUMNS * LEVEL_ROWS];

const char* level_map_name(int32_t level) {
    if (level < 0 || level >= LEVEL_COUNT) return "";
    return LEVEL_NAMES[level];
}

int32_t is_start_marker(int32_t code) { return (code >= 1 && code <= 8) || code == 65 || code == 68; }

int32_t check_level_bytes(const uint8_t* bytes, int32_t size) {
    if (!bytes || size < LEVEL_HEADER_BYTES) return LEVEL_SHORT;
    int32_t columns = (bytes[0] | (bytes[1] << 8)) + 1;
    if (columns < MIN_LEVEL_COLUMNS) return LEVEL_TOO_NARROW;
    if (columns > MAX_LEVEL_COLUMNS) return LEVEL_TOO_WIDE;
    int32_t cells = columns * LEVEL_ROWS;
    if (size - LEVEL_HEADER_BYTES < cells) return LEVEL_SHORT;
    // The same scan as the loader's second pass, stopping after the last platform it takes.
    const uint8_t* cell = bytes + LEVEL_HEADER_BYTES;
    int32_t exits = 0;
    int32_t emeralds = 0;
    int32_t elevators = 0;
    for (int32_t i = 0; i < cells && elevators < MAX_PLATFORMS; i++) {
        if (cell[i] == LEVEL_CODE_EXIT) {
            if (i / LEVEL_ROWS == columns - 1 || i % LEVEL_ROWS == LEVEL_ROWS - 1) return LEVEL_EXIT_AT_EDGE;
            exits++;
        } else if (cell[i] == LEVEL_CODE_EMERALD) {
            emeralds++;
        } else if (cell[i] == LEVEL_CODE_ELEVATOR) {
            elevators++;
        }
    }
    if (emeralds > 0 && exits == 0) return LEVEL_NO_EXIT;
    return LEVEL_OK;
}

int level_bytes_valid(const uint8_t* bytes, int32_t size) { return check_level_bytes(bytes, size) == LEVEL_OK; }

int load_level_bytes(const uint8_t* bytes, int32_t size) {
    if (!level_bytes_valid(bytes, size)) return 0;
    int32_t columns = (bytes[0] | (bytes[1] << 8)) + 1;
    int32_t cells = columns * LEVEL_ROWS;
    map_cells = map_storage;
    map_columns = columns;

    const uint8_t* cell = bytes + LEVEL_HEADER_BYTES;
    for (int32_t i = 0; i < cells; i++) {
        map_cells[i] = cell[i];
        if (is_start_marker(cell[i])) {
            if (!checkpoint_reached) {
                start_x = (i / LEVEL_ROWS) * LEVEL_CELL;
                start_y = (i % LEVEL_ROWS) * LEVEL_CELL;
            }
            map_cells[i] = 0;
        }
    }

    int32_t n = 0;
    int32_t exit_index = exit_cell;
    int32_t count = 0;
    for (int32_t i = 0; i < cells && n < MAX_PLATFORMS; i++) {
        int32_t code = map_cells[i];
        if (code == LEVEL_CODE_EXIT) {
            exit_index = i;
        } else if (code == LEVEL_CODE_EMERALD) {
            // Emeralds more than one column left of the start lie behind the camera.
            if ((i / LEVEL_ROWS) * LEVEL_CELL >= start_x - LEVEL_CELL) count++;
        } else if (code == LEVEL_CODE_ELEVATOR) {
            map_cells[i] = 0;
            platforms[n].x = (i / LEVEL_ROWS) * LEVEL_CELL;
            platforms[n].y = (i % LEVEL_ROWS) * LEVEL_CELL;
            platforms[n].dy = 1;
            n++;
        }
    }
    exit_cell = exit_index;
    emeralds_left = count;
    platform_count = n;

    if (count > 0) {
        int32_t column = exit_cell / LEVEL_ROWS;
        int32_t row = exit_cell % LEVEL_ROWS;
        set_tile(column, row, 38);
        set_tile(column + 1, row, 39);
        set_tile(column, row + 1, 58);
        set_tile(column + 1, row + 1, 59);
    }

    int32_t b = start_x - LEVEL_CELL;
    if (b < 0) b = 0;
    camera_x = b - LEVEL_VIEW_WIDTH;
    if (tile_at(start_x, start_y) == LEVEL_CODE_POST_LOWERED)
        set_tile(start_x / LEVEL_CELL, start_y / LEVEL_CELL, LEVEL_CODE_POST_RAISED);
    for (int32_t x = b; x <= b + LEVEL_VIEW_WIDTH; x += LEVEL_CELL)
        if (x < columns * LEVEL_CELL) spawn_column(x);
    scroll_camera(LEVEL_VIEW_WIDTH);
    return 1;
}

void load_level(const char* name) {
    uint32_t size = 0;
    uint8_t* bytes = name ? archive_load(ARCHIVE_MAPS, name, "bin", &size) : read_whole_file("maps/test.bin", &size);
    int loaded = bytes && size <= 0x7fffffffu && load_level_bytes(bytes, (int32_t)size);
    free(bytes);
    if (!loaded) fatal_error("Can't load file", name);
}

void drop_map() {
    map_cells = nullptr;
    map_columns = 0;
    camera_x = 0;
    emeralds_left = 0;
}

void free_map() {
    map_cells = nullptr;
    map_columns = 0;
}

void place_hero(Hero* hero) {
    memset(hero, 0, sizeof *hero);
    hero->x = start_x;
    hero->y = start_y;
    // A start column without ground below stops at the bottom row; the hero then falls out.
    while (hero->y < LEVEL_ROWS * LEVEL_CELL - LEVEL_CELL && !is_solid_at(hero->x, hero->y + LEVEL_CELL)) hero->y++;
    hero->frame = 24;
    hero->alive = 1;
    hero->platform = -1;
}
