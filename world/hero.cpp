#include "world/hero.h"

#include <string.h>

#include "audio/sound.h"
#include "storage/messages.h"
#include "world/actors.h"
#include "world/codes.h"
#include "world/level.h"
#include "world/map.h"

// The text of the last death, written by the rules that remove the hero and
// emptied by the game flow; the play screen and game over show it.
char death_message[256] = "";

enum {
    HERO_MAP_BOTTOM = 191,
    HERO_FALL_LIMIT = 250,
    HERO_IDLE_POSE_AFTER = 500,
    HERO_FRAME_STAND_RIGHT = 65,
    HERO_FRAME_STAND_LEFT = 68,
    HERO_STANDING_VY = 7,
    HERO_JUMP_VY = -21,
    HERO_BOUNCE_VY = -7,
    HERO_HOP_VY = -16,
    HERO_MAX_LIVES = 99,
    HERO_MAX_POINTS = 9999
};

static int32_t floor_to_cell(int32_t v) { return v & ~(CELL_SIZE - 1); }

void set_death_message(const char* message) {
    if (!message) message = "";
    strncpy(death_message, message, sizeof death_message - 1);
    death_message[sizeof death_message - 1] = 0;
}

void clear_hero_latches() {
    move_right_latch = 0;
    move_left_latch = 0;
}

void kill_hero(Hero* hero, const char* message) {
    hero->dying = 1;
    hero->idle_counter = 0;
    set_death_message(message);
    sound_play(SND_AJ);
    hero->vy = HERO_HOP_VY;
}

void hero_fell(Hero* hero, const char* message) {
    hero->alive = 0;
    hero->idle_counter = DEATH_COUNTDOWN;
    set_death_message(message);
}

void extra_life() {
    sound_play(SND_TADA);
    lives++;
}

void add_points(int32_t n) {
    if (points > HERO_MAX_POINTS - 1) return;
    int32_t total = points + n;
    if (total > HERO_MAX_POINTS) total = HERO_MAX_POINTS;
    if (total / 100 > points / 100 && lives < HERO_MAX_LIVES) extra_life();
    points = total;
}

void collect_emerald(Hero* hero) {
    add_points(1);
    int32_t before = emeralds_left;
    // An emerald the loader did not count (past the last elevator it scans) must not
    // drive the counter below zero.
    if (emeralds_left > 0) emeralds_left--;
    if (before == 1) {
        sound_play(SND_KLACK);
        set_exit_tiles(EXIT_OPEN_CODES);
        hero->closed_exit_touched = 0;
    }
}

static void hop_step(Hero* hero) {
    hero->y += hero->vy / 4;
    hero->x -= 1;
    hero->vy += 1;
    if (hero->y > HOP_END_Y) hero->alive = 0;
}

// Starts an effect on the cell holding pixel (x, y) and plays its sound if it is new.
// Returns 1 when an effect now runs on the cell (new or restarted), 0 when the table was full.
static int32_t start_cell_effect(int32_t x, int32_t y, int32_t kind, int32_t sound) {
    int32_t cx = floor_to_cell(x);
    int32_t cy = floor_to_cell(y);
    if (start_tile_effect(cx, cy, kind)) {
        if (sound >= 0) sound_play(sound);
        return 1;
    }
    return tile_effect_at(cx, cy);
}

static int32_t walk_hero(Hero* hero, int32_t left, int32_t right, int32_t down, int32_t camera, int32_t* walked_left) {
    int32_t s = (down || (hero->x & 1)) ? 1 : 2;
    int32_t walked_right = 0;
    if (left && !right) move_right_latch = 0;
    if (right || (!left && move_right_latch && (hero->x & 7))) {
        walked_right = 1;
        move_right_latch = 1;
        if (right) move_left_latch = 0;
        if (!is_solid_at(hero->x + 16, hero->y + 1) && !is_solid_at(hero->x + 16, hero->y + 16 - s)) hero->x += s;
    } else {
        move_right_latch = 0;
    }
    *walked_left = 0;
    if (left || (move_left_latch && (hero->x & 7))) {
        *walked_left = 1;
        move_left_latch = 1;
        if (hero->x > camera && !is_solid_at(hero->x - 1, hero->y + 1) && !is_solid_at(hero->x - 1, hero->y + 16 - s))
            hero->x -= s;
    } else {
        move_left_latch = 0;
    }
    return walked_right;
}

static void animate_hero(Hero* hero, int32_t walked_right, int32_t walked_left) {
    if (walked_right && !walked_left) {
        hero->anim_counter++;
        hero->frame = 1 + ((hero->anim_counter / 3) & 3);
        hero->idle_counter = 0;
    } else if (walked_left && !walked_right) {
        hero->anim_counter--;
        hero->frame = 5 + ((hero->anim_counter / 3) & 3);
        hero->idle_counter = 0;
    } else if (walked_left && walked_right) {
        hero->frame = 5 + ((hero->anim_counter / 3) & 3);
        hero->idle_counter = 0;
    } else {
        hero->idle_counter++;
        if (hero->idle_counter > HERO_IDLE_POSE_AFTER) {
            hero->frame = HERO_FRAME_IDLE;
            hero->anim_counter = 0;
        } else if (hero->frame >= 1 && hero->frame <= 4) {
            hero->frame = HERO_FRAME_STAND_RIGHT;
        } else if (hero->frame >= 5 && hero->frame <= 8) {
            hero->frame = HERO_FRAME_STAND_LEFT;
        }
    }
}

static int32_t on_ground(const Hero* hero) {
    return is_solid_at(hero->x, hero->y + 16) || is_solid_at(hero->x + 15, hero->y + 16);
}

// Moves the hero up or down for one frame; returns 0 when an elevator crushed it.
static int32_t move_vertically(Hero* hero) {
    if (hero->platform >= 0 && hero->platform < platform_count) {
        const Platform* p = &platforms[hero->platform];
        hero->y = p->y - 16;
        hero->vy = HERO_STANDING_VY;
        if ((hero->y & 15) == 0) {
            if (p->dy > 0 && (is_solid_at(hero->x, p->y) || is_solid_at(hero->x + 15, p->y))) {
                hero->platform = -1;
            } else if (p->dy < 0) {
                int32_t t = p->y - 32;
                int32_t blocked = is_solid_at(hero->x, t) || is_solid_at(hero->x + 15, t);
                if (!blocked && t >= 0 && t <= MAP_HEIGHT)
                    blocked = is_deadly_at(hero->x, t) || is_deadly_at(hero->x + 15, t);
                if (blocked) {
                    kill_hero(hero, message_text(MSG_SMASHED));
                    return 0;
                }
            }
        }
        return 1;
    }
    hero->y += hero->vy / 4;
    hero->vy += 1;
    if (on_ground(hero)) {
        hero->vy = HERO_STANDING_VY;
        hero->y = floor_to_cell(hero->y);
    }
    return 1;
}

static void close_trapdoor(Hero* hero) {
    if (start_tile_effect(hero->trapdoor_x, hero->trapdoor_y, EFFECT_TRAPDOOR)) sound_play(SND_TRDOOR);
}

static void react_to_trapdoor(Hero* hero) {
    int32_t probe_x = -1;
    if (tile_at(hero->x, hero->y + 8) == CODE_TRAPDOOR_OPEN)
        probe_x = hero->x;
    else if (tile_at(hero->x + 15, hero->y + 8) == CODE_TRAPDOOR_OPEN)
        probe_x = hero->x + 15;
    if (probe_x >= 0) {
        int32_t cx = floor_to_cell(probe_x);
        int32_t cy = floor_to_cell(hero->y + 8);
        if (hero->in_trapdoor && (hero->trapdoor_x != cx || hero->trapdoor_y != cy)) close_trapdoor(hero);
        hero->in_trapdoor = 1;
        hero->trapdoor_x = cx;
        hero->trapdoor_y = cy;
    } else if (hero->in_trapdoor) {
        close_trapdoor(hero);
        hero->in_trapdoor = 0;
    }
}

static void react_to_tiles(Hero* hero) {
    int32_t x = hero->x;
    int32_t y = hero->y;
    int32_t centre = x + 8;

    int32_t code = tile_at(x, y);
    if (code == CODE_EXIT_OPEN_BOTTOM_RIGHT) hero->exit_reached = 1;
    if (code == CODE_EXIT_CLOSED_BOTTOM_RIGHT) hero->closed_exit_touched = 1;

    int32_t impaled = 0;
    if (y != HERO_MAP_BOTTOM && (is_deadly_at(x + 2, y + 2) || is_deadly_at(x + 13, y + 2))) impaled = 1;
    if (y + 13 <= MAP_HEIGHT && (is_deadly_at(x + 13, y + 13) || is_deadly_at(x + 2, y + 13))) impaled = 1;
    if (impaled) kill_hero(hero, message_text(MSG_IMPALED));

    react_to_trapdoor(hero);

    if (tile_at(centre, y + 15) == CODE_SPIKE_TRAP) start_cell_effect(centre, y + 15, EFFECT_SPIKES, SND_BOINK);

    if (tile_at(centre, y + 8) == CODE_EXTRA_LIFE) {
        if (start_tile_effect(floor_to_cell(centre), floor_to_cell(y + 8), EFFECT_CLEAR) && lives < HERO_MAX_LIVES)
            extra_life();
    }

    // An emerald counts only once its cell is being cleared, so a full effect table
    // leaves it in place for a later frame instead of counting it every frame.
    if (tile_at(centre, y + 8) == CODE_EMERALD && start_cell_effect(centre, y + 8, EFFECT_CLEAR, SND_CHEW))
        collect_emerald(hero);

    if (tile_at(centre, y + 14) == CODE_POST_LOWERED) {
        start_x = floor_to_cell(centre);
        start_y = floor_to_cell(y + 14);
        checkpoint_reached = 1;
        start_cell_effect(centre, y + 14, EFFECT_CHECKPOINT, SND_KNIRK);
    }

    if (is_solid_at(x, y) || is_solid_at(x + 15, y)) {
        int32_t head = tile_at(centre, y);
        if (head == CODE_BREAKABLE) {
            if (start_cell_effect(centre, y, EFFECT_BREAK, SND_KRACK)) add_points(1);
        } else if (head == CODE_BUMP) {
            start_cell_effect(centre, y, EFFECT_BUMP, SND_KLONK);
        }
        hero->vy = HERO_STANDING_VY;
        hero->y = floor_to_cell(y + 15);
    }

    int32_t feet = hero->y + 16;
    if (tile_at(centre, feet) == CODE_CRUMBLING) start_cell_effect(centre, feet, EFFECT_CRUMBLE, -1);
    if (!is_solid_at(centre, feet)) {
        if (tile_at(x, feet) == CODE_CRUMBLING) start_cell_effect(x, feet, EFFECT_CRUMBLE, -1);
        if (tile_at(x + 15, feet) == CODE_CRUMBLING) start_cell_effect(x + 15, feet, EFFECT_CRUMBLE, -1);
    }
}

void update_hero(Hero* hero, int32_t left, int32_t right, int32_t jump, int32_t down, int32_t camera) {
    if (hero->dying) {
        hop_step(hero);
        return;
    }
    if (!hero->alive) return;

    int32_t walked_left = 0;
    int32_t walked_right = walk_hero(hero, left, right, down, camera, &walked_left);
    animate_hero(hero, walked_right, walked_left);

    if (jump && !hero->jump_latch && (on_ground(hero) || hero->bounce || hero->platform >= 0)) {
        hero->vy = HERO_JUMP_VY;
        hero->jump_latch = 1;
        hero->bounce = 0;
        hero->platform = -1;
    } else if (hero->bounce) {
        hero->vy = HERO_BOUNCE_VY;
        hero->bounce = 0;
    }

    if (!move_vertically(hero)) return;

    if (hero->y >= 0 && hero->y <= HERO_MAP_BOTTOM) react_to_tiles(hero);

    if (!jump) hero->jump_latch = 0;
    if (hero->x > camera + 230)
        scroll_camera(2);
    else if (hero->x > camera + 200)
        scroll_camera(1);
    if (hero->dying)
        hop_step(hero);
    else if (hero->y > HERO_FALL_LIMIT)
        hero_fell(hero, message_text(MSG_FELL));
}
