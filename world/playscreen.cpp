#include "world/playscreen.h"

#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/video.h"
#include "storage/messages.h"
#include "world/actors.h"
#include "world/codes.h"
#include "world/level.h"
#include "world/map.h"

enum {
    SCREEN_WIDTH = 320,
    SCREEN_HEIGHT = 240,
    LAYER_COLUMNS = 21,
    BAR_X = 64,
    BAR_WIDTH = 248,
    BLINK_BIT = 32,
    STATUS_Y = 220,
    TILE_POINTS = 42,
    // The exit flag of the status line shows the checkpoint post's three stages.
    TILE_FLAG_CLOSED = CODE_POST_LOWERED,
    TILE_FLAG_LAST = CODE_POST_RISING,
    TILE_FLAG_OPEN = CODE_POST_RAISED,
    TILE_WATER_LEFT = CODE_WATER_SURFACE,
    TILE_WATER_RIGHT = CODE_WATER_SURFACE + 1,
    TILE_UNKNOWN_ENEMY = 20,
    GLYPH_X = 56
};

static const int32_t UFO_FRAMES[4] = {9, 10, 11, 10};
static const int32_t STONEBAT_FRAMES[4] = {33, 57, 34, 57};

static int32_t clamp_int(int32_t value, int32_t low, int32_t high) {
    if (value < low) return low;
    if (value > high) return high;
    return value;
}

void draw_background_strip(SDL_Surface* image, int32_t y, int32_t height, int32_t offset, int32_t source_y) {
    if (!image || !frame_surface || image->w <= 0 || height <= 0) return;
    int32_t width = image->w;
    offset %= width;
    if (offset < 0) offset += width;
    SDL_Rect source;
    SDL_Rect target;
    source.y = (Sint16)source_y;
    source.h = (Uint16)height;
    target.y = (Sint16)y;
    if (offset + SCREEN_WIDTH - 1 < width) {
        source.x = (Sint16)offset;
        source.w = SCREEN_WIDTH;
        target.x = 0;
        SDL_BlitSurface(image, &source, frame_surface, &target);
        return;
    }
    source.x = (Sint16)offset;
    source.w = (Uint16)(width - offset);
    target.x = 0;
    SDL_BlitSurface(image, &source, frame_surface, &target);
    for (int32_t x = width - offset; x < SCREEN_WIDTH; x += width) {
        source.x = 0;
        source.w = (Uint16)width;
        source.y = (Sint16)source_y;
        source.h = (Uint16)height;
        target.x = (Sint16)x;
        target.y = (Sint16)y;
        SDL_BlitSurface(image, &source, frame_surface, &target);
    }
}

static void draw_backdrop() {
    if (!back_image) {
        fill_rect(frame_surface, 0, 0, SCREEN_WIDTH, SCREEN_HEIGHT, COLOUR_BLACK);
        return;
    }
    int32_t h = back_image->h;
    if (h < MAP_HEIGHT) fill_rect(frame_surface, 0, 0, SCREEN_WIDTH, MAP_HEIGHT - h, COLOUR_BLACK);
    draw_background_strip(back_image, MAP_HEIGHT - h, h, camera_x / 2, 0);
    fill_rect(frame_surface, 0, MAP_HEIGHT, SCREEN_WIDTH, SCREEN_HEIGHT - MAP_HEIGHT, COLOUR_BLACK);
}

static void draw_bars() {
    draw_text(frame_surface, message_text(MSG_TIME), 4, 196, font_small);
    int32_t t = clamp_int(level_timer, 0, LEVEL_TIME_LIMIT) * BAR_WIDTH / LEVEL_TIME_LIMIT;
    fill_rect(frame_surface, BAR_X, 198, t, 5, COLOUR_RED);
    fill_rect(frame_surface, BAR_X + t, 198, BAR_WIDTH - t, 5, COLOUR_DARK_RED);
    draw_text(frame_surface, message_text(MSG_AIR), 4, 206, font_small);
    int32_t a = clamp_int(air, 0, AIR_SUPPLY) * BAR_WIDTH / AIR_SUPPLY;
    fill_rect(frame_surface, BAR_X, 208, a, 5, COLOUR_BLUE);
    fill_rect(frame_surface, BAR_X + a, 208, BAR_WIDTH - a, 5, COLOUR_DARK_BLUE);
}

// Status icons sit below the play area, where draw_tile (which works in map
// space and stops at row 192) cannot reach, so they are blitted directly.
static void draw_status_tile(int32_t n, int32_t x) {
    if (tile_images[n]) blit_at(tile_images[n], x, STATUS_Y, frame_surface);
}

static SDL_Surface* font_glyph(Font font, int32_t index) {
    if (!font) return nullptr;
    for (int32_t k = 0; k <= index; k++) {
        if (!font[k]) return nullptr;
    }
    return font[index];
}

static void draw_status_line(int32_t level) {
    draw_status_tile(HERO_FRAME_IDLE, 16);
    SDL_Surface* cross = font_glyph(font_big, GLYPH_X);
    if (cross) blit_at(cross, 40, STATUS_Y, frame_surface);
    draw_number(frame_surface, lives, 64, STATUS_Y, 2, 1, font_big);
    draw_status_tile(TILE_POINTS, 104);
    draw_number(frame_surface, points, 124, STATUS_Y, 4, 1, font_big);
    draw_status_tile(CODE_EMERALD, 196);
    draw_number(frame_surface, emeralds_left, 216, STATUS_Y, 2, 1, font_big);
    int32_t flag = TILE_FLAG_OPEN;
    if (emeralds_left >= 2)
        flag = TILE_FLAG_CLOSED;
    else if (emeralds_left == 1)
        flag = TILE_FLAG_LAST;
    draw_status_tile(flag, 256);
    draw_number(frame_surface, level, 276, STATUS_Y, 2, 1, font_big);
}

void draw_tile_layer(int32_t frame, int32_t layer) {
    if (!map_cells || map_columns <= 0 || !frame_surface) return;
    int32_t c0 = camera_x / CELL_SIZE;
    int32_t x0 = c0 * CELL_SIZE;
    int32_t phase = (frame / 8) & 3;
    for (int32_t i = 0; i < LAYER_COLUMNS; i++) {
        int32_t column = c0 + i;
        if (column < 0) continue;
        if (column >= map_columns) break;
        int32_t sx = x0 + CELL_SIZE * i - camera_x;
        if (sx < -15 || sx > SCREEN_WIDTH - 1) continue;
        const int32_t* cells = map_cells + column * MAP_ROWS;
        for (int32_t j = 0; j < MAP_ROWS; j++) {
            int32_t n = cells[j];
            // Codes 240 and above count as back layer but have no image.
            if (n <= 0 || n >= TILE_CODES) continue;
            if (tile_layer[n] != layer) continue;
            SDL_Surface* image;
            if (n == TILE_WATER_LEFT || n == TILE_WATER_RIGHT)
                image = phased_tiles[phase][n - TILE_WATER_LEFT];
            else
                image = tile_images[n];
            if (image) blit_at(image, sx, CELL_SIZE * j, frame_surface);
        }
    }
}

static int32_t enemy_frame(const Enemy* e) {
    int32_t age = e->age;
    switch (e->type) {
        case ENEMY_UFO:
            if (e->dx != 0) return UFO_FRAMES[(age / 6) & 3];
            if (age < 64 || (age & 8)) return 12;
            return -1;
        case ENEMY_BUG:
            return 14 + e->dx + ((age / 8) & 1);
        case ENEMY_STONEBAT:
            return STONEBAT_FRAMES[(age / 6) & 3];
        case ENEMY_STONEBAT_HIT:
            return 35 + age / 4;
        case ENEMY_STEELFISH:
            return 54 + e->dx + ((age / 15) & 1);
        case ENEMY_ANDROID:
            if (e->dx == 0) return age < 186 ? 125 : 126;
            if (e->dx > 0) return 121 + ((age / 4) & 3);
            return 144 - ((age / 4) & 3);
        default:
            return TILE_UNKNOWN_ENEMY;
    }
}

void draw_enemy(const Enemy* e) {
    if (!e || !e->active) return;
    int32_t n = enemy_frame(e);
    if (n < 0 || n >= TILE_COUNT) return;
    draw_tile(camera_x, e->x, e->y, n);
}

// A blinking entry is left out while bit 5 of the frame counter is set.
static void draw_blinking(int32_t message, int32_t y, int32_t selected, int32_t frame) {
    if (selected && (frame & BLINK_BIT)) return;
    draw_text_centred(frame_surface, message_text(message), y, font_big);
}

static void draw_pause_menu(int32_t frame, int32_t cursor) {
    draw_text_centred(frame_surface, message_text(MSG_PAUSE), 96, font_big);
    draw_blinking(MSG_SUICIDE, 124, cursor == 1, frame);
    draw_blinking(MSG_GO_ON, 142, cursor == 2, frame);
    draw_blinking(MSG_EXIT, 160, cursor == 3, frame);
}

static void draw_messages(int32_t frame, const Hero* hero, int32_t quiet, const PlayView* view) {
    if (view->quitting) return;
    if (!(frame & BLINK_BIT)) {
        if (quiet && frame <= GET_READY_LAST_FRAME)
            draw_text_centred(frame_surface, message_text(MSG_RUN), 96, font_big);
        else if (!quiet)
            draw_text_centred(frame_surface, death_message, 96, font_big);
    }
    if (hero->closed_exit_touched && hero->alive && !hero->dying) {
        draw_text_centred(frame_surface, message_text(MSG_FORGOT_EMERALDS), 96, font_big);
        draw_text_centred(frame_surface, message_text(MSG_GO_SUICIDE), 120, font_small);
    }
}

static void draw_play_overlay(int32_t frame, const Hero* hero, const PlayView* view) {
    draw_status_line(view->level);
    // Frame 0, the first of a life, is dimmed like the get-ready frames after
    // it, so that no bright frame flashes between a death and the next life.
    if (frame < 0) return;
    int32_t quiet = lives < 1 || (hero->alive && !hero->dying) || death_message[0] == 0;
    if (quiet && frame > GET_READY_LAST_FRAME && !view->paused) {
        draw_messages(frame, hero, quiet, view);
        return;
    }
    draw_dim_panel();
    if (view->paused)
        draw_pause_menu(frame, view->pause_cursor);
    else
        draw_messages(frame, hero, quiet, view);
}

void draw_play_screen(int32_t frame, const Hero* hero, const PlayView* view) {
    if (!frame_surface || !hero || !view) return;
    draw_backdrop();
    if (view->level > 0) draw_bars();
    draw_tile_layer(frame, 0);
    int32_t count = clamp_int(platform_count, 0, MAX_PLATFORMS);
    for (int32_t p = 0; p < count; p++) draw_tile(camera_x, platforms[p].x, platforms[p].y, CODE_ELEVATOR);
    for (int32_t k = 0; k < MAX_ENEMIES; k++) draw_enemy(&enemies[k]);
    if (frame > GET_READY_LAST_FRAME && hero->alive && hero->frame >= 0 && hero->frame < TILE_COUNT)
        draw_tile(camera_x, hero->x, hero->y, hero->frame);
    draw_tile_layer(frame, 1);
    if (view->level != 0) draw_play_overlay(frame, hero, view);
}
