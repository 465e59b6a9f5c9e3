#include "world/world.h"

#include <string.h>

#include <algorithm>

#include "audio/sound.h"
#include "storage/bindings.h"
#include "storage/messages.h"
#include "world/hero.h"
#include "world/map.h"

// The world of the play, written by the rules, the world's entry points and the
// game flow; the level checker copies it whole to resume its search branches.
WorldState world;

// The fields under the names the rest of the game knows them by.
int32_t& camera_x = world.camera_x;
int32_t& lives = world.lives;
int32_t& points = world.points;
int32_t& level_timer = world.level_timer;
int32_t& air = world.air;
int32_t& start_x = world.start_x;
int32_t& start_y = world.start_y;
int32_t& checkpoint_reached = world.checkpoint_reached;
int32_t& exit_cell = world.exit_cell;
int32_t& emeralds_left = world.emeralds_left;
int32_t& move_right_latch = world.move_right_latch;
int32_t& move_left_latch = world.move_left_latch;
int32_t& control_left = world.control_left;
int32_t& control_right = world.control_right;
int32_t& control_jump = world.control_jump;
int32_t& control_down = world.control_down;
int32_t& platform_count = world.platform_count;
Platform (&platforms)[MAX_PLATFORMS] = world.platforms;
Enemy (&enemies)[MAX_ENEMIES] = world.enemies;
TileEffect (&tile_effects)[MAX_TILE_EFFECTS] = world.tile_effects;

void world_new_game() {
    world = WorldState();
    drop_map();
}

static void begin_life() {
    world.level_timer = LEVEL_TIME_LIMIT;
    clear_enemies();
}

// The hero of the new life; on the title it stays out of play, with the
// countdown the title's loop never lets run out.
static void finish_life(int32_t title) {
    Hero* hero = &world.hero;
    if (title) {
        memset(hero, 0, sizeof *hero);
        hero->idle_counter = DEATH_COUNTDOWN;
        hero->platform = -1;
        death_message[0] = 0;
    } else {
        place_hero(hero);
    }
    world.air = AIR_SUPPLY;
    world.water_sound_played = 0;
}

void world_start_life(const char* map_name, int32_t title) {
    begin_life();
    load_level(map_name);
    finish_life(title);
}

int world_start_life_bytes(const uint8_t* bytes, int32_t size, int32_t title) {
    if (!level_bytes_valid(bytes, size)) return 0;
    begin_life();
    load_level_bytes(bytes, size);
    finish_life(title);
    return 1;
}

void world_save(WorldSnapshot& s, int32_t first_column, int32_t last_column) {
    int32_t first = std::max(0, first_column), last = std::min(map_columns, last_column);
    s.state = world;
    s.cells_first = first * MAP_ROWS;
    s.cells.assign(map_cells + (size_t)first * MAP_ROWS, map_cells + (size_t)std::max(first, last) * MAP_ROWS);
    for (int32_t k = 0; k < 4; k++) s.exit_codes[k] = map_cells[world.exit_cell + EXIT_OFFSETS[k]];
}

void world_restore(const WorldSnapshot& s, const WorldSnapshot* base, int32_t reach) {
    world = s.state;
    memcpy(map_cells + s.cells_first, s.cells.data(), s.cells.size() * sizeof(int32_t));
    int32_t end = s.cells_first + (int32_t)s.cells.size();
    if (base && end < reach) memcpy(map_cells + end, base->cells.data() + end, (size_t)(reach - end) * sizeof(int32_t));
    for (int32_t k = 0; k < 4; k++) map_cells[world.exit_cell + EXIT_OFFSETS[k]] = s.exit_codes[k];
}

void world_read_controls(int32_t held) {
    // Holding left and right together keeps right as it was.
    if (held & BTN_LEFT)
        world.control_left = 1;
    else if (held & BTN_RIGHT)
        world.control_right = 1;
    if (!(held & BTN_LEFT)) world.control_left = 0;
    if (!(held & BTN_RIGHT)) world.control_right = 0;
    if ((held & BTN_JUMP) || ((held & BTN_UP) && up2jump == 1)) world.control_jump = 1;
    // A jump lasts while either jump or up is held, whatever up2jump says.
    if (!(held & (BTN_JUMP | BTN_UP))) world.control_jump = 0;
    world.control_down = (held & BTN_DOWN) ? 1 : 0;
}

static void remove_hero(Hero* hero, int32_t message) {
    hero->alive = 0;
    hero->idle_counter = DEATH_COUNTDOWN;
    set_death_message(message_text(message));
}

// The timer and the air supply of a frame in which the hero is in play.
static void step_timer_and_air(Hero* hero) {
    world.level_timer -= 1;
    if (world.level_timer <= 0) remove_hero(hero, MSG_TIME_UP);
    if (hero_in_water(hero)) {
        world.air -= 1;
        if (world.air <= 0) remove_hero(hero, MSG_DROWNED);
        if (world.water_sound_played == 0 && hero->alive && !hero->dying) {
            sound_play(SND_SPLASH);
            world.water_sound_played = 1;
        }
    } else {
        if (world.air <= AIR_REFILL_LIMIT) world.air += 2;
        world.water_sound_played = 0;
    }
}

void world_step_scenery(Hero* hero) {
    update_tile_effects();
    update_enemies(hero, world.camera_x);
}

void world_step(Hero* hero) {
    world_step_scenery(hero);
    update_platforms(hero);
    if (!hero->alive) return;
    update_hero(hero, world.control_left, world.control_right, world.control_jump, world.control_down, world.camera_x);
    step_timer_and_air(hero);
}
