// Level format and loader.
#ifndef WORLD_LEVEL_H
#define WORLD_LEVEL_H

#include <stdint.h>

enum { MAX_PLATFORMS = 64, MIN_LEVEL_COLUMNS = 21, MAX_LEVEL_COLUMNS = 4096, LEVEL_COUNT = 11 };

struct Platform {
    int32_t x;
    int32_t y;
    int32_t dy;
};

extern int32_t* map_cells;  // map_columns x 12 cells, column-major
extern int32_t map_columns;
// Fields of the world record (world/world.h).
extern int32_t& exit_cell;  // the exit's top-left cell
extern int32_t& emeralds_left;
extern Platform (&platforms)[MAX_PLATFORMS];
extern int32_t& platform_count;

// The exit's four cells as offsets from exit_cell (top left, top right, bottom left,
// bottom right), and their codes while it is closed and once it is open.
extern const int32_t EXIT_OFFSETS[4];
extern const int32_t EXIT_CLOSED_CODES[4];
extern const int32_t EXIT_OPEN_CODES[4];
// Draws the exit into the map with these four codes.
void set_exit_tiles(const int32_t codes[4]);

// "floob200" .. "floob210" for levels 0..10.
const char* level_map_name(int32_t level);

// Loads the named level from the maps archive, or "maps/test.bin" for null.
// A missing or malformed level ends through fatal_error("Can't load file", name),
// the test map's name being its file, "maps/test.bin".
void load_level(const char* name);

// Loads a level from bytes already in memory; returns 0 and changes nothing
// when the bytes are not a valid level. Used by load_level and the tools.
int load_level_bytes(const uint8_t* bytes, int32_t size);

// Checks level bytes without loading them; returns 0 when the loader would refuse them.
int level_bytes_valid(const uint8_t* bytes, int32_t size);

// Why level bytes are refused: LEVEL_OK, or the first problem found.
enum {
    LEVEL_OK = 0,
    LEVEL_SHORT = 1,         // fewer bytes than the header and its 12 W cells
    LEVEL_TOO_NARROW = 2,    // under MIN_LEVEL_COLUMNS
    LEVEL_TOO_WIDE = 3,      // over MAX_LEVEL_COLUMNS
    LEVEL_EXIT_AT_EDGE = 4,  // an exit cell (27) in the last column or the bottom row
    LEVEL_NO_EXIT = 5        // emeralds but no exit cell
};
int32_t check_level_bytes(const uint8_t* bytes, int32_t size);

// 1 for the codes that mark the hero's start (1..8, 65, 68).
int32_t is_start_marker(int32_t code);

// Drops the map reference without releasing it (the new-game reset).
void drop_map();
// Releases the map (shutdown).
void free_map();

// Places the hero at start_x, start_y and lowers it onto the ground.
struct Hero;
void place_hero(Hero* hero);

#endif
