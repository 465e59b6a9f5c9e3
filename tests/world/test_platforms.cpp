// Elevators: shuttling and reversal, carrying the hero, and crushing it.
#include <gtest/gtest.h>
#include <string.h>

#include "support/levels.h"
#include "world/actors.h"
#include "world/hero.h"
#include "world/level.h"
#include "world/map.h"

namespace {

void use_map() { use_test_map(40); }

void add_platform(int32_t x, int32_t y) {
    platforms[platform_count].x = x;
    platforms[platform_count].y = y;
    platforms[platform_count].dy = 1;
    platform_count++;
}

// Frames until the platform turns, and the y at which it did.
int32_t run_until_reversal(Platform* p, int32_t* turned_at) {
    Hero hero = {};
    int32_t start = p->dy;
    for (int32_t frame = 1; frame <= 400; frame++) {
        update_platform(p, &hero);
        if (p->dy != start) {
            *turned_at = p->y;
            return frame;
        }
    }
    return -1;
}

}  // namespace

TEST(Elevator, ReversesAboveSolidDeadlyAndTheBottomRow) {
    use_map();
    int32_t y = 0;
    Platform p = {64, 0, 1};
    put_cell(4, 6, TILE_EARTH_LEFT);
    EXPECT_EQ(80, run_until_reversal(&p, &y));
    EXPECT_EQ(80, y);
    Platform spikes = {96, 0, 1};
    put_cell(6, 4, CODE_SPIKES);
    run_until_reversal(&spikes, &y);
    EXPECT_EQ(48, y);
    Platform shaft = {128, 0, 1};
    run_until_reversal(&shaft, &y);
    EXPECT_EQ(176, y);
    run_until_reversal(&shaft, &y);
    EXPECT_EQ(0, y);
    Platform code250 = {160, 0, 1};
    put_cell(10, 2, 250);
    run_until_reversal(&code250, &y);
    EXPECT_EQ(16, y);
}

TEST(Elevator, CarriesTheHeroUpAndDown) {
    use_map();
    put_cell(2, 11, TILE_EARTH_LEFT);
    add_platform(64, 96);
    Hero hero = {};
    hero.alive = 1;
    hero.platform = -1;
    hero.x = 70;
    hero.y = 70;
    hero.vy = 7;
    for (int32_t i = 0; i < 200; i++) {
        update_platforms(&hero);
        update_hero(&hero, 0, 0, 0, 0, camera_x);
        if (hero.platform == 0) break;
    }
    ASSERT_EQ(0, hero.platform);
    for (int32_t i = 0; i < 30; i++) {
        update_platforms(&hero);
        update_hero(&hero, 0, 0, 0, 0, camera_x);
        ASSERT_EQ(platforms[0].y - 16, hero.y);
        ASSERT_EQ(0, hero.platform);
    }
    // Walking off the side leaves the elevator.
    for (int32_t i = 0; i < 20; i++) {
        update_platforms(&hero);
        update_hero(&hero, 0, 1, 0, 0, camera_x);
    }
    EXPECT_EQ(-1, hero.platform);
}

TEST(Elevator, RidingIntoACeilingCrushesTheHero) {
    use_map();
    put_cell(4, 2, TILE_GRASS_LEFT);
    add_platform(64, 128);
    platforms[0].dy = -1;
    Hero hero = {};
    hero.alive = 1;
    hero.x = 64;
    hero.y = 112;
    hero.vy = 7;
    int32_t frames = 0;
    while (!hero.dying && frames < 200) {
        update_platforms(&hero);
        update_hero(&hero, 0, 0, 0, 0, camera_x);
        frames++;
    }
    EXPECT_EQ(1, hero.dying);
    EXPECT_EQ(64, platforms[0].y);  // the hero's head reached the ceiling's cell boundary
    EXPECT_STREQ("SMASHED", death_message);
}

TEST(Elevator, ComingDownOverTheHeroCrushesIt) {
    use_map();
    put_cell(4, 11, TILE_EARTH_LEFT);
    put_cell(10, 11, TILE_EARTH_LEFT);
    Hero hero = {};
    hero.alive = 1;
    hero.x = 70;
    hero.y = 160;
    hero.vy = 7;
    Platform p = {64, 100, 1};
    int32_t frames = 0;
    while (!hero.dying && frames < 200) {
        update_platform(&p, &hero);
        frames++;
    }
    EXPECT_EQ(1, hero.dying);
    EXPECT_EQ(144, p.y);
    EXPECT_STREQ("SMASHED", death_message);

    // Under a floor that stands between them, the hero is safe.
    Hero below = {};
    below.alive = 1;
    below.x = 160;
    below.y = 160;
    below.vy = 7;
    put_cell(10, 9, TILE_EARTH_LEFT);
    Platform high = {160, 100, 1};
    for (int32_t i = 0; i < 100; i++) update_platform(&high, &below);
    EXPECT_EQ(0, below.dying);
}
