#include "world/level.h"

#include <stdlib.h>
#include <string.h>

#include "floob.h"
#include "storage/archive.h"
#include "world/actors.h"
#include "world/codes.h"
#include "world/map.h"

// The loaded map, column by column, 12 cells each: written by the loader and by
// the rules that change cells (effects, the exit, spawn markers); null before
// the first load and after a new game.
int32_t* map_cells = nullptr;
int32_t map_columns = 0;  // its width in cells, set by the loader

static const char* const LEVEL_NAMES[LEVEL_COUNT] = {"floob200", "floob201", "floob202", "floob203",
                                                     "floob204", "floob205", "floob206", "floob207",
                                                     "floob208", "floob209", "floob210"};

// The map lives in one fixed block big enough for the widest level the loader accepts,
// so a load never allocates and can never fail for want of memory.
static int32_t map_storage[MAX_LEVEL_COLUMNS * MAP_ROWS];

const int32_t EXIT_OFFSETS[4] = {0, MAP_ROWS, 1, MAP_ROWS + 1};
const int32_t EXIT_CLOSED_CODES[4] = {CODE_EXIT_CLOSED_TOP_LEFT, CODE_EXIT_CLOSED_TOP_RIGHT,
                                      CODE_EXIT_CLOSED_BOTTOM_LEFT, CODE_EXIT_CLOSED_BOTTOM_RIGHT};
const int32_t EXIT_OPEN_CODES[4] = {CODE_EXIT_OPEN_TOP_LEFT, CODE_EXIT_OPEN_TOP_RIGHT, CODE_EXIT_OPEN_BOTTOM_LEFT,
                                    CODE_EXIT_OPEN_BOTTOM_RIGHT};

void set_exit_tiles(const int32_t codes[4]) {
    for (int32_t k = 0; k < 4; k++)
        set_tile(exit_cell / MAP_ROWS + EXIT_OFFSETS[k] / MAP_ROWS, exit_cell % MAP_ROWS + EXIT_OFFSETS[k] % MAP_ROWS,
                 codes[k]);
}

const char* level_map_name(int32_t level) {
    if (level < 0 || level >= LEVEL_COUNT) return "";
    return LEVEL_NAMES[level];
}

int32_t is_start_marker(int32_t code) {
    return (code >= CODE_START_FIRST && code <= CODE_START_LAST) || code == CODE_HERO_START ||
           code == CODE_HERO_START_LEFT;
}

int32_t check_level_bytes(const uint8_t* bytes, int32_t size) {
    if (!bytes || size < LEVEL_HEADER_BYTES) return LEVEL_SHORT;
    int32_t columns = (bytes[0] | (bytes[1] << 8)) + 1;
    if (columns < MIN_LEVEL_COLUMNS) return LEVEL_TOO_NARROW;
    if (columns > MAX_LEVEL_COLUMNS) return LEVEL_TOO_WIDE;
    int32_t cells = columns * MAP_ROWS;
    if (size - LEVEL_HEADER_BYTES < cells) return LEVEL_SHORT;
    // The same scan as the loader's second pass, stopping after the last platform it takes.
    const uint8_t* cell = bytes + LEVEL_HEADER_BYTES;
    int32_t exits = 0;
    int32_t emeralds = 0;
    int32_t elevators = 0;
    for (int32_t i = 0; i < cells && elevators < MAX_PLATFORMS; i++) {
        if (cell[i] == CODE_EXIT_OPEN_TOP_LEFT) {
            if (i / MAP_ROWS == columns - 1 || i % MAP_ROWS == MAP_ROWS - 1) return LEVEL_EXIT_AT_EDGE;
            exits++;
        } else if (cell[i] == CODE_EMERALD) {
            emeralds++;
        } else if (cell[i] == CODE_ELEVATOR) {
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
    int32_t cells = columns * MAP_ROWS;
    map_cells = map_storage;
    map_columns = columns;

    const uint8_t* cell = bytes + LEVEL_HEADER_BYTES;
    for (int32_t i = 0; i < cells; i++) {
        map_cells[i] = cell[i];
        if (is_start_marker(cell[i])) {
            if (!checkpoint_reached) {
                start_x = (i / MAP_ROWS) * CELL_SIZE;
                start_y = (i % MAP_ROWS) * CELL_SIZE;
            }
            map_cells[i] = 0;
        }
    }

    int32_t n = 0;
    int32_t exit_index = exit_cell;
    int32_t count = 0;
    for (int32_t i = 0; i < cells && n < MAX_PLATFORMS; i++) {
        int32_t code = map_cells[i];
        if (code == CODE_EXIT_OPEN_TOP_LEFT) {
            exit_index = i;
        } else if (code == CODE_EMERALD) {
            // Emeralds more than one column left of the start lie behind the camera.
            if ((i / MAP_ROWS) * CELL_SIZE >= start_x - CELL_SIZE) count++;
        } else if (code == CODE_ELEVATOR) {
            map_cells[i] = 0;
            platforms[n].x = (i / MAP_ROWS) * CELL_SIZE;
            platforms[n].y = (i % MAP_ROWS) * CELL_SIZE;
            platforms[n].dy = 1;
            n++;
        }
    }
    exit_cell = exit_index;
    emeralds_left = count;
    platform_count = n;

    if (count > 0) set_exit_tiles(EXIT_CLOSED_CODES);

    int32_t b = start_x - CELL_SIZE;
    if (b < 0) b = 0;
    camera_x = b - VIEW_WIDTH;
    if (tile_at(start_x, start_y) == CODE_POST_LOWERED)
        set_tile(start_x / CELL_SIZE, start_y / CELL_SIZE, CODE_POST_RAISED);
    for (int32_t x = b; x <= b + VIEW_WIDTH; x += CELL_SIZE)
        if (x < columns * CELL_SIZE) spawn_column(x);
    scroll_camera(VIEW_WIDTH);
    return 1;
}

void load_level(const char* name) {
    static const char* const TEST_MAP = "maps/test.bin";
    uint32_t size = 0;
    // The test file is read no further than the widest level the loader takes.
    uint8_t* bytes = name ? archive_load(ARCHIVE_MAPS, name, "bin", &size)
                          : read_file_start(TEST_MAP, LEVEL_HEADER_BYTES + MAX_LEVEL_COLUMNS * MAP_ROWS, &size);
    int loaded = bytes && size <= 0x7fffffffu && load_level_bytes(bytes, (int32_t)size);
    free(bytes);
    if (!loaded) fatal_error("Can't load file", name ? name : TEST_MAP);
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
    while (hero->y < MAP_ROWS * CELL_SIZE - CELL_SIZE && !is_solid_at(hero->x, hero->y + CELL_SIZE)) hero->y++;
    hero->frame = HERO_FRAME_IDLE;
    hero->alive = 1;
    hero->platform = -1;
}
