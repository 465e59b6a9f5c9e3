#include "world/actors.h"

#include <string.h>

#include "audio/sound.h"
#include "storage/messages.h"
#include "world/codes.h"
#include "world/hero.h"
#include "world/level.h"
#include "world/map.h"

enum {
    ACTOR_BOTTOM_ROW_Y = 176,
    ACTOR_UFO_LIFETIME = 120,
    ACTOR_STUN_FRAMES = 225,
    ACTOR_STOMPED_BAT_FRAMES = 11,
    ACTOR_LEFT_REACH = 250,
    ACTOR_RIGHT_REACH = 500,
    ACTOR_LOWEST_Y = 200,
    ACTOR_STOMP_POINTS = 3
};

// Death text of each enemy type; the types that never touch the hero have none (0).
static const int32_t ENEMY_DEATH_TEXT[7] = {MSG_IMPALED,          MSG_HIT_BY_UFO, MSG_POISONED_BY_BUG,
                                            MSG_BIT_BY_STONEBAT,  MSG_IMPALED,    MSG_EATEN_BY_STEELFISH,
                                            MSG_KILLED_BY_ANDROID};

static const int32_t EFFECT_BREAK_CODES[5] = {CODE_BREAKING_FIRST, CODE_BREAKING_FIRST + 1, CODE_BREAKING_FIRST + 2,
                                              CODE_BREAKING_FIRST + 3, CODE_EMPTY};
static const int32_t EFFECT_CRUMBLE_CODES[5] = {CODE_CRUMBLING_FIRST, CODE_CRUMBLING_FIRST + 1,
                                                CODE_CRUMBLING_FIRST + 2, CODE_CRUMBLING_FIRST + 3, CODE_EMPTY};
static const int32_t EFFECT_SPIKES_CODES[3] = {CODE_EMPTY, CODE_SPIKES_SPRINGING, CODE_SPIKES};
static const int32_t EFFECT_BUMP_CODES[5] = {CODE_BUMPING_FIRST, CODE_BUMPING_SECOND, CODE_BUMPING_THIRD, CODE_BUMP,
                                             CODE_BUMP};
static const int32_t EFFECT_CHECKPOINT_CODES[6] = {CODE_POST_LOWERED, CODE_POST_LOWERED, CODE_POST_RISING,
                                                   CODE_POST_RISING,  CODE_POST_RAISED,  CODE_POST_RAISED};

static int32_t on_grid(int32_t v) { return (v & (CELL_SIZE - 1)) == 0; }
static int32_t floor_to_cell(int32_t v) { return v & ~(CELL_SIZE - 1); }

void clear_enemies() { memset(enemies, 0, sizeof enemies); }

void clear_tile_effects() { memset(tile_effects, 0, sizeof tile_effects); }

int32_t spawn_enemy(int32_t x, int32_t y, int32_t type) {
    for (int32_t i = 0; i < MAX_ENEMIES; i++) {
        Enemy* e = &enemies[i];
        if (e->active) continue;
        e->active = 1;
        e->x = x;
        e->y = y;
        e->type = type;
        e->age = 0;
        e->fall_counter = 0;
        e->hits = 0;
        e->dx = -1;
        e->saved_dx = 0;
        if (type == ENEMY_ANDROID) {
            e->dx = -2;
            e->saved_dx = -2;
        }
        e->stompable = (type == ENEMY_UFO || type == ENEMY_STONEBAT || type == ENEMY_ANDROID) ? 1 : 0;
        return 1;
    }
    return 0;
}

void spawn_column(int32_t x) {
    int32_t column = x / CELL_SIZE;
    for (int32_t row = 0; row < MAP_ROWS; row++) {
        int32_t y = row * CELL_SIZE;
        int32_t type = 0;
        int32_t left_behind = 0;
        switch (tile_at(x, y)) {
            case CODE_UFO:
                type = ENEMY_UFO;
                break;
            case CODE_BUG:
                type = ENEMY_BUG;
                break;
            case CODE_STONEBAT:
                type = ENEMY_STONEBAT;
                break;
            case CODE_STEELFISH:
                type = ENEMY_STEELFISH;
                left_behind = CODE_WATER;
                break;
            case CODE_ANDROID:
            case CODE_ANDROID_WALKING:
                type = ENEMY_ANDROID;
                break;
            case CODE_SPIKES_SPRINGING:
                set_tile(column, row, CODE_SPIKE_TRAP);
                break;
            default:
                break;
        }
        if (type) {
            spawn_enemy(x, y, type);
            set_tile(column, row, left_behind);
        }
    }
}

static void walk_enemy(Enemy* e) {
    if (e->dx > 0) {
        if (is_solid_at(e->x + 16, e->y) || is_solid_at(e->x + 16, e->y + 15))
            e->dx = -e->dx;
        else
            e->x += e->dx;
    } else {
        int32_t n = e->x + e->dx;
        if (is_solid_at(n, e->y) || is_solid_at(n, e->y + 15))
            e->dx = -e->dx;
        else
            e->x = n;
    }
}

static void fall_enemy(Enemy* e) {
    int32_t stands = is_solid_at(e->x, e->y + 16) || is_solid_at(e->x + 15, e->y + 16);
    if (!stands && e->type == ENEMY_ANDROID && e->dx != 0 && on_grid(e->x) && on_grid(e->y)) {
        // An android on the grid walks over a one-cell gap when the next column has ground.
        int32_t next = e->dx < 0 ? e->x - 1 : e->x + 16;
        stands = !is_solid_at(next, e->y) && is_solid_at(next, e->y + 16);
    }
    if (stands) {
        e->fall_counter = 3;
        e->y = floor_to_cell(e->y);
    } else {
        e->y += e->fall_counter / 3;
        e->fall_counter++;
    }
}

static int32_t stomp_enemy(Enemy* e, Hero* hero) {
    if (!e->stompable || hero->vy <= 7) return 0;
    if (hero->x < e->x - 15 || hero->x > e->x + 16 || hero->y < e->y - 15 || hero->y > e->y - 1) return 0;
    if (e->type == ENEMY_UFO) {
        e->dx = 0;
        e->age = 0;
        sound_play(SND_BLUBB);
        add_points(ACTOR_STOMP_POINTS);
    } else if (e->type == ENEMY_STONEBAT) {
        sound_play(SND_BAT);
        e->age = 0;
        e->dx = 0;
        e->type = ENEMY_STONEBAT_HIT;
        add_points(ACTOR_STOMP_POINTS);
    } else if (e->type == ENEMY_ANDROID) {
        sound_play(SND_KLACK);
        e->saved_dx = e->dx;
        e->age = 0;
        e->dx = 0;
        e->hits++;
        if (e->hits == 1) add_points(ACTOR_STOMP_POINTS);
    } else {
        return 0;
    }
    hero->bounce = 1;
    return 1;
}

static void touch_enemy(Enemy* e, Hero* hero) {
    if (hero->x < e->x - 12 || hero->x > e->x + 13 || hero->y < e->y - 9 || hero->y > e->y + 10) return;
    int32_t text = (e->type >= 0 && e->type < 7) ? ENEMY_DEATH_TEXT[e->type] : 0;
    kill_hero(hero, message_text(text));
    sound_play(SND_AJ);
}

void update_enemy(Enemy* e, Hero* hero, int32_t camera) {
    if (!e->active) return;
    e->age++;
    if (e->dx != 0 && on_grid(e->y))
        walk_enemy(e);
    else if (e->type == ENEMY_UFO && e->age == ACTOR_UFO_LIFETIME)
        e->active = 0;
    if (e->type == ENEMY_UFO || e->type == ENEMY_BUG || e->type == ENEMY_ANDROID) fall_enemy(e);
    if (hero && hero->alive && !hero->dying && e->dx != 0) {
        if (!stomp_enemy(e, hero)) touch_enemy(e, hero);
    }
    if (e->age > ACTOR_STUN_FRAMES && e->type == ENEMY_ANDROID && e->dx == 0) e->dx = -e->saved_dx;
    if (e->age > ACTOR_STOMPED_BAT_FRAMES && e->type == ENEMY_STONEBAT_HIT) e->active = 0;
    if (e->x + ACTOR_LEFT_REACH < camera || camera < e->x - ACTOR_RIGHT_REACH || e->y > ACTOR_LOWEST_Y) e->active = 0;
}

void update_enemies(Hero* hero, int32_t camera) {
    for (int32_t i = 0; i < MAX_ENEMIES; i++) update_enemy(&enemies[i], hero, camera);
}

// Kind of the cell at a pixel, as elevators see it: anything but passable stops them.
static int32_t kind_at(int32_t x, int32_t y) { return tile_kind_of(tile_at(x, y)); }

int32_t update_platform(Platform* p, Hero* hero) {
    if (p->dy != 0) {
        p->y += p->dy;
        if (on_grid(p->y) &&
            (p->y == 0 || p->y == ACTOR_BOTTOM_ROW_Y || kind_at(p->x, p->y + 16 * p->dy) != TILE_PASSABLE))
            p->dy = -p->dy;
    }
    if (!hero->alive || hero->dying) return 0;
    if (hero->x < p->x - 11 || hero->x > p->x + 12) return 0;
    int32_t top = p->y - 16;
    int32_t tolerance = hero->vy / 4;
    if (hero->vy > 0 && hero->y >= top - tolerance && hero->y <= top + tolerance) return 1;
    // Coming down over the hero squeezed in the cell between the elevator and an obstacle.
    if (hero->y > p->y && hero->y < p->y + 32 && p->dy > 0 && on_grid(p->y) && p->y <= 175 &&
        kind_at(p->x, p->y + 32) != TILE_PASSABLE)
        kill_hero(hero, message_text(MSG_SMASHED));
    return 0;
}

void update_platforms(Hero* hero) {
    hero->platform = -1;
    for (int32_t i = 0; i < platform_count; i++)
        if (update_platform(&platforms[i], hero)) hero->platform = i;
}

int32_t start_tile_effect(int32_t x, int32_t y, int32_t kind) {
    for (int32_t i = 0; i < MAX_TILE_EFFECTS; i++) {
        TileEffect* t = &tile_effects[i];
        if (t->active && t->x == x && t->y == y) {
            t->counter = 0;
            t->kind = kind;
            return 0;
        }
    }
    for (int32_t i = 0; i < MAX_TILE_EFFECTS; i++) {
        TileEffect* t = &tile_effects[i];
        if (t->active) continue;
        t->x = x;
        t->y = y;
        t->counter = 0;
        t->kind = kind;
        t->active = 1;
        return 1;
    }
    return 0;
}

int32_t tile_effect_at(int32_t x, int32_t y) {
    for (int32_t i = 0; i < MAX_TILE_EFFECTS; i++)
        if (tile_effects[i].active && tile_effects[i].x == x && tile_effects[i].y == y) return 1;
    return 0;
}

// The code an effect writes for counter c, and the counter at which it ends.
static int32_t effect_code(int32_t kind, int32_t c, int32_t* end) {
    switch (kind) {
        case EFFECT_BREAK:
            *end = 40;
            return EFFECT_BREAK_CODES[c / 8 < 4 ? c / 8 : 4];
        case EFFECT_CRUMBLE:
            *end = 40;
            return EFFECT_CRUMBLE_CODES[c / 8 < 4 ? c / 8 : 4];
        case EFFECT_SPIKES:
            *end = 6;
            return EFFECT_SPIKES_CODES[c / 2 < 2 ? c / 2 : 2];
        case EFFECT_BUMP:
            *end = 8;
            return EFFECT_BUMP_CODES[c / 2 < 4 ? c / 2 : 4];
        // The closing trapdoor shows 89 and turns solid (69) in the frame it ends.
        case EFFECT_TRAPDOOR:
            *end = 4;
            return c < 3 ? CODE_TRAPDOOR_CLOSING : CODE_TRAPDOOR_CLOSED;
        case EFFECT_CHECKPOINT:
            *end = 15;
            return EFFECT_CHECKPOINT_CODES[c / 3 < 5 ? c / 3 : 5];
        default:
            *end = 1;
            return 0;
    }
}

void update_tile_effects() {
    for (int32_t i = 0; i < MAX_TILE_EFFECTS; i++) {
        TileEffect* t = &tile_effects[i];
        if (!t->active) continue;
        int32_t end = 0;
        int32_t code = effect_code(t->kind, t->counter, &end);
        t->counter++;
        if (t->counter >= end) t->active = 0;
        set_tile(t->x / CELL_SIZE, t->y / CELL_SIZE, code);
    }
}
