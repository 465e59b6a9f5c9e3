// The play screen composed into the real 16-bit frame surface, checked at the
// pixels that matter. Tiles, the backdrop and the water phases are replaced by
// plain colour squares so that the checks do not depend on the artwork.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "floob.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/video.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "shell/replay.h"
#include "support/support.h"
#include "world/actors.h"
#include "world/level.h"
#include "world/playscreen.h"

namespace {

enum { COLUMNS = 30, ROWS = 12, BACK_TILE = 21, FRONT_TILE = 81 };

struct Rgb {
    int r, g, b;
};

Rgb pixel(int x, int y) {
    SDL_LockSurface(frame_surface);
    Uint8* row = (Uint8*)frame_surface->pixels + y * frame_surface->pitch;
    Uint32 value = frame_surface->format->BytesPerPixel == 2 ? ((Uint16*)row)[x] : ((Uint32*)row)[x];
    SDL_UnlockSurface(frame_surface);
    Uint8 r, g, b;
    SDL_GetRGB(value, frame_surface->format, &r, &g, &b);
    return {r, g, b};
}

bool near(Rgb p, int r, int g, int b) { return abs(p.r - r) <= 8 && abs(p.g - g) <= 8 && abs(p.b - b) <= 8; }

SDL_Surface* plain_surface(int w, int h, int r, int g, int b) {
    SDL_PixelFormat* f = frame_surface->format;
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, 0);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, (Uint8)r, (Uint8)g, (Uint8)b));
    return s;
}

// Region checksum, to tell whether something was drawn there.
uint32_t region_sum(int x0, int y0, int w, int h) {
    uint32_t sum = 0;
    for (int y = y0; y < y0 + h; y++)
        for (int x = x0; x < x0 + w; x++) {
            Rgb p = pixel(x, y);
            sum = sum * 31 + (uint32_t)(p.r * 65536 + p.g * 256 + p.b);
        }
    return sum;
}

int32_t cells[(COLUMNS + 8) * ROWS];

class PlayScreen : public ::testing::Test {
   protected:
    TempDir dir{true};
    SDL_Surface* saved_tiles[TILE_COUNT];
    SDL_Surface* saved_phased[PHASED_PAIRS][2];
    SDL_Surface* saved_back = nullptr;
    SDL_Surface* made[TILE_COUNT + 8] = {};
    Hero hero;

    void SetUp() override {
        ASSERT_EQ(1, replay_open_game());
        if (!tile_images[1]) tiles_init();
        memcpy(saved_tiles, tile_images, sizeof saved_tiles);
        memcpy(saved_phased, phased_tiles, sizeof saved_phased);
        saved_back = back_image;
        back_image = nullptr;
        // Every tile gets its own colour, exact in 16 bits, so it can be recognised.
        for (int n = 1; n < TILE_COUNT; n++)
            made[n] = tile_images[n] = plain_surface(16, 16, (n & 31) * 8, (n >> 5) * 32, 128);
        for (int v = 0; v < PHASED_PAIRS; v++) {
            made[TILE_COUNT + v * 2] = phased_tiles[v][0] = plain_surface(16, 16, 40 * v + 40, 0, 0);
            made[TILE_COUNT + v * 2 + 1] = phased_tiles[v][1] = plain_surface(16, 16, 0, 40 * v + 40, 0);
        }
        memset(cells, 0, sizeof cells);
        map_cells = cells;
        map_columns = COLUMNS;
        platform_count = 0;
        clear_enemies();
        camera_x = 0;
        current_level = 1;
        lives = 6;
        points = 0;
        emeralds_left = 0;
        level_timer = 7600;
        air = 500;
        paused = 0;
        quit_request = 0;
        menu_state = 0;
        death_message[0] = 0;
        skip_draw = 0;
        memset(&hero, 0, sizeof hero);
        hero.x = 64;
        hero.y = 64;
        hero.frame = 24;
        hero.alive = 1;
        hero.platform = -1;
    }
    void TearDown() override {
        memcpy(tile_images, saved_tiles, sizeof saved_tiles);
        memcpy(phased_tiles, saved_phased, sizeof saved_phased);
        for (SDL_Surface* s : made)
            if (s) SDL_FreeSurface(s);
        back_image = saved_back;
        drop_map();
        platform_count = 0;
        clear_enemies();
        skip_draw = 0;
        current_level = 0;
    }
    void draw(int32_t frame) { draw_play_frame(frame, &hero); }
    void set_cell(int c, int r, int code) { cells[c * ROWS + r] = code; }
};

bool is_tile(Rgb p, int n) { return near(p, (n & 31) * 8, (n >> 5) * 32, 128); }

TEST_F(PlayScreen, BackdropSitsOnRow191AndRepeatsEveryTwoImageWidths) {
    SDL_Surface* back = plain_surface(100, 100, 0, 0, 200);
    SDL_Rect stripe = {0, 0, 10, 100};
    SDL_FillRect(back, &stripe, SDL_MapRGB(back->format, 200, 200, 0));
    back_image = back;
    draw(200);
    EXPECT_TRUE(near(pixel(50, 91), 0, 0, 0)) << "rows above the image are black";
    EXPECT_TRUE(near(pixel(50, 92), 0, 0, 200));
    EXPECT_TRUE(near(pixel(50, 191), 0, 0, 200));
    EXPECT_TRUE(near(pixel(50, 192), 0, 0, 0)) << "the status area is black";
    EXPECT_TRUE(near(pixel(5, 150), 200, 200, 0));
    EXPECT_TRUE(near(pixel(105, 150), 200, 200, 0)) << "the image repeats across the width";
    EXPECT_TRUE(near(pixel(305, 150), 200, 200, 0));
    uint32_t at_zero = region_sum(0, 92, 320, 4);
    camera_x = 20;  // half speed: the stripe moves 10 pixels
    draw(200);
    EXPECT_TRUE(near(pixel(5, 150), 0, 0, 200));
    EXPECT_TRUE(near(pixel(95, 150), 200, 200, 0));
    camera_x = 200;
    draw(200);
    EXPECT_EQ(at_zero, region_sum(0, 92, 320, 4));
    back_image = nullptr;
    SDL_FreeSurface(back);
}

TEST_F(PlayScreen, BarsShowTimeAndAirOnPlayLevelsOnly) {
    level_timer = 3800;
    air = 125;
    draw(200);
    EXPECT_TRUE(near(pixel(64, 200), 255, 0, 0));
    EXPECT_TRUE(near(pixel(64 + 123, 200), 255, 0, 0));
    EXPECT_TRUE(near(pixel(64 + 124, 200), 128, 0, 0)) << "half the time is 124 pixels";
    EXPECT_TRUE(near(pixel(311, 200), 128, 0, 0));
    EXPECT_TRUE(near(pixel(64 + 61, 210), 0, 0, 255));
    EXPECT_TRUE(near(pixel(64 + 62, 210), 0, 0, 128)) << "a quarter of the air is 62 pixels";
    EXPECT_NE(region_sum(4, 196, 56, 8), region_sum(4, 186, 56, 8)) << "the TIME label";
    current_level = -1;
    draw(200);
    EXPECT_TRUE(near(pixel(100, 200), 0, 0, 0)) << "no bars in the test map";
    EXPECT_TRUE(is_tile(pixel(20, 225), 24)) << "but the status line is there";
}

TEST_F(PlayScreen, StatusLineShowsIconsDigitsAndTheExitFlag) {
    emeralds_left = 2;
    draw(200);
    EXPECT_TRUE(is_tile(pixel(16, 220), 24));
    EXPECT_TRUE(is_tile(pixel(104 + 15, 235), 42));
    EXPECT_TRUE(is_tile(pixel(196, 228), 41));
    EXPECT_TRUE(is_tile(pixel(256, 228), 17));
    uint32_t lives_six = region_sum(64, 220, 32, 16);
    uint32_t points_zero = region_sum(124, 220, 64, 16);
    uint32_t level_one = region_sum(276, 220, 32, 16);
    emeralds_left = 1;
    lives = 7;
    points = 1234;
    current_level = 2;
    draw(200);
    EXPECT_TRUE(is_tile(pixel(256, 228), 18));
    EXPECT_NE(lives_six, region_sum(64, 220, 32, 16));
    EXPECT_NE(points_zero, region_sum(124, 220, 64, 16));
    EXPECT_NE(level_one, region_sum(276, 220, 32, 16));
    emeralds_left = 0;
    lives = 6;
    points = 0;
    current_level = 1;
    draw(200);
    EXPECT_TRUE(is_tile(pixel(256, 228), 19));
    EXPECT_EQ(lives_six, region_sum(64, 220, 32, 16));
    EXPECT_EQ(points_zero, region_sum(124, 220, 64, 16));
    EXPECT_NE(region_sum(40, 220, 16, 16), region_sum(40, 200, 16, 16)) << "the X glyph";
}

TEST_F(PlayScreen, LayersAroundTheSpritesAndWaterRipples) {
    set_cell(4, 4, BACK_TILE);  // behind the hero at 64, 64
    set_cell(6, 4, FRONT_TILE);
    set_cell(8, 2, 160);
    set_cell(9, 2, 161);
    set_cell(10, 2, 250);  // no image: skipped
    hero.frame = 5;
    draw(200);
    EXPECT_TRUE(is_tile(pixel(70, 70), 5)) << "the hero covers the back layer";
    EXPECT_TRUE(is_tile(pixel(100, 70), FRONT_TILE));
    hero.x = 96;
    draw(200);
    EXPECT_TRUE(is_tile(pixel(100, 70), FRONT_TILE)) << "the front layer covers the hero";
    EXPECT_TRUE(is_tile(pixel(70, 70), BACK_TILE));
    EXPECT_TRUE(near(pixel(130, 40), 80, 0, 0)) << "(200 / 8) mod 4 = 1";
    EXPECT_TRUE(near(pixel(150, 40), 0, 80, 0));
    EXPECT_TRUE(near(pixel(170, 40), 0, 0, 0)) << "code 250 draws nothing";
    draw(208);  // (208 / 8) mod 4 = 2
    EXPECT_TRUE(near(pixel(130, 40), 120, 0, 0));
    draw(215);
    EXPECT_TRUE(near(pixel(130, 40), 120, 0, 0));
    draw(216);
    EXPECT_TRUE(near(pixel(130, 40), 160, 0, 0));
    camera_x = 8;  // half a cell: 21 columns are needed
    draw(200);
    EXPECT_TRUE(is_tile(pixel(70 - 8, 70), BACK_TILE));
}

TEST_F(PlayScreen, NarrowMapIsNotReadPastItsEnd) {
    for (int c = 0; c < COLUMNS + 8; c++) set_cell(c, 5, BACK_TILE);
    map_columns = 5;
    draw(200);
    EXPECT_TRUE(is_tile(pixel(72, 85), BACK_TILE));
    EXPECT_TRUE(near(pixel(88, 85), 0, 0, 0)) << "column 5 lies outside a 5-column map";
}

TEST_F(PlayScreen, SpritesElevatorsAndEnemyFrames) {
    platforms[0] = {160, 32, 1};
    platform_count = 1;
    spawn_enemy(200, 100, ENEMY_BUG);
    enemies[0].age = 8;  // going left, second frame: 14
    spawn_enemy(240, 100, ENEMY_UFO);
    enemies[1].dx = 0;  // stunned, in its hidden blink phase
    enemies[1].age = 64;
    spawn_enemy(280, 100, ENEMY_ANDROID);
    enemies[2].dx = 2;
    enemies[2].age = 4;  // going right, second frame: 122
    draw(200);
    EXPECT_TRUE(is_tile(pixel(165, 40), 66));
    EXPECT_TRUE(is_tile(pixel(205, 105), 14));
    EXPECT_TRUE(near(pixel(245, 105), 0, 0, 0)) << "a blinking UFO is hidden";
    EXPECT_TRUE(is_tile(pixel(285, 105), 122));
    enemies[1].age = 72;
    draw(200);
    EXPECT_TRUE(is_tile(pixel(245, 105), 12));
}

TEST_F(PlayScreen, GetReadyCallHidesTheHeroAndDimsUntilFrame181) {
    set_cell(2, 6, BACK_TILE);
    draw(180);
    EXPECT_FALSE(is_tile(pixel(70, 70), 24)) << "hidden at frame 180";
    Rgb dimmed = pixel(40, 100);
    EXPECT_LT(dimmed.r + dimmed.g + dimmed.b, (21 & 31) * 8 + 128 - 60) << "the play area is dimmed";
    draw(181);
    EXPECT_TRUE(is_tile(pixel(70, 70), 24)) << "shown at frame 181";
    EXPECT_TRUE(is_tile(pixel(40, 100), BACK_TILE)) << "no dimming in play";
    draw(150);  // bit 5 clear: the call is shown
    uint32_t shown = region_sum(60, 96, 200, 16);
    draw(160);  // bit 5 set: blinked out
    uint32_t hidden = region_sum(60, 96, 200, 16);
    EXPECT_NE(shown, hidden) << "FLOOB, RUN! blinks";
    draw(1);
    Rgb second = pixel(40, 100);
    draw(0);
    Rgb first = pixel(40, 100);
    EXPECT_TRUE(first.r == second.r && first.g == second.g && first.b == second.b)
        << "the first frame of a life is dimmed like the next, so nothing flashes";
}

TEST_F(PlayScreen, SpritesNeverReachBelowThePlayArea) {
    current_level = 1;
    hero.y = 500;
    draw(200);
    uint32_t bars = region_sum(0, 192, 320, 16);
    spawn_enemy(120, 184, ENEMY_BUG);
    platforms[0] = {160, 190, 1};
    platform_count = 1;
    for (int y : {180, 186, 191}) {
        hero.y = y;
        draw(200);
        EXPECT_EQ(bars, region_sum(0, 192, 320, 16)) << "hero at y " << y;
        EXPECT_TRUE(is_tile(pixel(70, 191), 24)) << "the part above row 192 is drawn, hero at y " << y;
    }
}

TEST_F(PlayScreen, DeathMessageOverTheDimmedAreaAndThePauseMenu) {
    set_cell(2, 6, BACK_TILE);
    hero.dying = 1;
    strcpy(death_message, "SMASHED");
    draw(200);
    EXPECT_FALSE(is_tile(pixel(40, 100), BACK_TILE)) << "dimmed during the hop";
    Rgb hopping = pixel(70, 70);
    EXPECT_GT(hopping.r + hopping.g + hopping.b, 40) << "the hopping hero is drawn (dimmed)";
    uint32_t with_text = region_sum(60, 96, 200, 16);
    draw(224);
    EXPECT_NE(with_text, region_sum(60, 96, 200, 16));
    quit_request = 1;
    draw(200);
    uint32_t quiet = region_sum(60, 96, 200, 16);
    EXPECT_NE(with_text, quiet) << "no message while the quit question is up";
    quit_request = 0;
    hero.dying = 0;
    death_message[0] = 0;
    paused = 1;
    menu_state = 2;
    draw(200);
    EXPECT_FALSE(is_tile(pixel(40, 100), BACK_TILE)) << "the pause menu dims";
    uint32_t go_on_shown = region_sum(60, 142, 200, 16);
    uint32_t suicide_shown = region_sum(60, 124, 200, 16);
    draw(224);
    EXPECT_NE(go_on_shown, region_sum(60, 142, 200, 16)) << "the selected entry blinks";
    EXPECT_EQ(suicide_shown, region_sum(60, 124, 200, 16)) << "the others do not";
}

TEST_F(PlayScreen, ForgottenEmeraldsWarningIsSteady) {
    hero.closed_exit_touched = 1;
    draw(200);
    uint32_t a = region_sum(40, 120, 240, 8);
    draw(224);
    EXPECT_EQ(a, region_sum(40, 120, 240, 8));
    hero.closed_exit_touched = 0;
    draw(224);
    EXPECT_NE(a, region_sum(40, 120, 240, 8));
}

TEST_F(PlayScreen, SkipDrawDrawsNothingButStillWaitsForTheFrame) {
    SDL_FillRect(frame_surface, nullptr, SDL_MapRGB(frame_surface->format, 10, 200, 30));
    skip_draw = 1;
    replay_start(nullptr, 0);  // the simulated clock: frame_wait returns at once
    frame_timer_reset();
    skip_draw = 1;
    int32_t before = frame_pacing().group_index;
    show_play_screen(200, &hero, 1);
    EXPECT_NE(before, frame_pacing().group_index) << "frame_wait ran";
    replay_stop();
    skip_draw = 1;
    draw_play_frame(200, &hero);
    EXPECT_TRUE(near(pixel(0, 0), 10, 200, 30));
    EXPECT_TRUE(near(pixel(160, 230), 10, 200, 30));
    EXPECT_TRUE(near(pixel(319, 239), 10, 200, 30));
}

}  // namespace
