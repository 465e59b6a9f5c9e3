// The world of the play: one record of everything a play frame reads and
// writes besides the map cells, and the two entry points of the rules, the
// start of a life and one frame. The game loop, the level checker, the tests,
// the fuzzer and the benchmark all play through them, so a rule changed here
// changes everywhere.
#ifndef WORLD_WORLD_H
#define WORLD_WORLD_H

#include <vector>

#include "floob.h"
#include "world/actors.h"
#include "world/codes.h"
#include "world/level.h"

// The state of the world. It can be copied whole (the level checker resumes
// search branches from copies); the map cells live in the loader's fixed block,
// and the death message, which only the screens read, lives with the hero's rules.
// The names declared beside each unit (camera_x, lives, enemies, ...) are the
// same storage.
struct WorldState {
    Hero hero = {};  // the hero of the play; the game loop, screens and the checker use this one
    int32_t camera_x = 0;
    int32_t lives = START_LIVES;
    int32_t points = 0;
    int32_t level_timer = LEVEL_TIME_LIMIT;
    int32_t air = AIR_SUPPLY;
    int32_t start_x = LEVEL_START_X;  // where the next life starts: the level's marker or the last checkpoint
    int32_t start_y = LEVEL_START_Y;
    int32_t checkpoint_reached = 0;
    int32_t exit_cell = 0;  // cell index of the exit's top-left cell
    int32_t emeralds_left = 0;
    int32_t move_right_latch = 0;  // the walking latches that carry the hero to a multiple of 8
    int32_t move_left_latch = 0;
    // The hero's control flags, recomputed from the held buttons at every read.
    int32_t control_left = 0;
    int32_t control_right = 0;
    int32_t control_jump = 0;
    int32_t control_down = 0;
    int32_t water_sound_played = 0;  // 1 after the splash of the current dive
    int32_t platform_count = 0;
    Platform platforms[MAX_PLATFORMS] = {};
    Enemy enemies[MAX_ENEMIES] = {};
    TileEffect tile_effects[MAX_TILE_EFFECTS] = {};
};

extern WorldState world;

// The hero's control flags (world.control_*).
extern int32_t &control_left, &control_right, &control_jump, &control_down;

// A new game: every field back to its start value (six lives, no points, the
// start at 16, 100 without a checkpoint, empty tables, no controls), and the map dropped.
void world_new_game();

// The start of every level and every life: the timer and the air full, the
// enemy table empty, the level loaded (placing the start at the map's marker
// unless a checkpoint was reached), the hero placed on the ground at the start,
// or, on the title, left out of play. The named level comes from the maps
// archive, null is the test file; a level that cannot be loaded ends through
// fatal_error("Can't load file", name).
void world_start_life(const char* map_name, int32_t title);
// The same from level bytes in memory; returns 0 and changes nothing when the
// loader refuses them.
int world_start_life_bytes(const uint8_t* bytes, int32_t size, int32_t title);

// The world's input: the hero's control flags from the held buttons (BTN_*), left
// before right, jump from jump or, with up2jump, up; a flag whose buttons are all let
// go clears. The game reads them once a frame from the event pump (read_controls,
// on every screen, so that a flag held through a pause or a screen is as the buttons
// left it); the tools give their own buttons before each world_step.
void world_read_controls(int32_t held);

// A copy of the world to go back to, for the level checker's searches and predictions:
// the record, the map cells of a window of columns (all that a branch of play can have
// changed) and the exit's cells, which the last emerald opens wherever they are.
struct WorldSnapshot {
    WorldState state;
    int32_t cells_first = 0;  // the index of the first cell held in cells
    std::vector<int32_t> cells;
    int32_t exit_codes[4] = {};
};

// Saves the world with the cells of columns first_column to last_column - 1, clamped to
// the map.
void world_save(WorldSnapshot& s, int32_t first_column, int32_t last_column);
// Puts a saved world back: the record, the window's cells and the exit's cells. When base
// is given (a snapshot of the whole map), the cells right of the window up to the cell
// index reach are taken from it.
void world_restore(const WorldSnapshot& s, const WorldSnapshot* base = nullptr, int32_t reach = 0);

// The scenery's part of a play frame: the tile effects and the enemies run on, the
// elevators stand still. The title's press-start wait, the game-over screen and the
// continue question show the level going on behind them with it.
void world_step_scenery(Hero* hero);

// One play frame, in the game's order, on the control flags as world_read_controls
// left them: the tile effects, the enemies, the elevators, then, while the hero
// is alive, the hero, the level timer and the air supply. Running out of time
// or air removes the hero with DEATH_COUNTDOWN frames to wait.
void world_step(Hero* hero);

#endif
