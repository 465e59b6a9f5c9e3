// Enemies: spawning, walking, ledges and gaps, stomps and touches, timeouts, removal.
#include <gtest/gtest.h>
#include <string.h>

#include "support/levels.h"
#include "world/actors.h"
#include "world/hero.h"
#include "world/level.h"
#include "world/map.h"

namespace {

// A 60-column map with ground on row 11.
void use_ground_map() {
    use_test_map(60);
    for (int32_t c = 0; c < 60; c++) put_cell(c, 11, TILE_EARTH_LEFT);
    points = 0;
    lives = 6;
}

Hero absent_hero() {
    Hero hero = {};
    hero.platform = -1;
    return hero;
}

Enemy* spawn(int32_t x, int32_t y, int32_t type) {
    for (int32_t i = 0; i < MAX_ENEMIES; i++)
        if (!enemies[i].active) {
            EXPECT_EQ(1, spawn_enemy(x, y, type));
            return &enemies[i];
        }
    return nullptr;
}

}  // namespace

TEST(EnemySpawn, RecordsAndAFullTable) {
    use_ground_map();
    Enemy* android = spawn(160, 144, ENEMY_ANDROID);
    EXPECT_EQ(-2, android->dx);
    EXPECT_EQ(-2, android->saved_dx);
    EXPECT_EQ(1, android->stompable);
    Enemy* bug = spawn(180, 144, ENEMY_BUG);
    EXPECT_EQ(-1, bug->dx);
    EXPECT_EQ(0, bug->stompable);
    EXPECT_EQ(1, spawn(0, 0, ENEMY_STEELFISH) ? 1 : 0);
    EXPECT_EQ(0, enemies[2].stompable);
    for (int32_t i = 3; i < MAX_ENEMIES; i++) ASSERT_EQ(1, spawn_enemy(0, 0, ENEMY_BUG));
    EXPECT_EQ(0, spawn_enemy(0, 0, ENEMY_BUG));
    put_cell(30, 4, CODE_STONEBAT);
    spawn_column(480);
    EXPECT_EQ(0, tile_at(480, 64));  // the code is used up even when no slot is free
    clear_enemies();
    EXPECT_EQ(0, enemies[31].active);
}

TEST(EnemyWalking, TurnsAtWallsAndFallsOffLedges) {
    use_ground_map();
    put_cell(10, 10, TILE_GRASS_LEFT);
    Hero hero = absent_hero();
    Enemy* bug = spawn(200, 160, ENEMY_BUG);
    int32_t leftmost = bug->x;
    for (int32_t i = 0; i < 40; i++) {
        update_enemy(bug, &hero, 0);
        if (bug->x < leftmost) leftmost = bug->x;
    }
    EXPECT_EQ(1, bug->dx);
    EXPECT_EQ(176, leftmost);  // turned at the block ending at x 175

    use_ground_map();
    put_cell(20, 11, CODE_EMPTY);
    bug = spawn(336, 160, ENEMY_BUG);
    for (int32_t i = 0; i < 15; i++) update_enemy(bug, &hero, 0);
    EXPECT_EQ(321, bug->x);
    EXPECT_EQ(160, bug->y);  // its right edge still stands on column 21
    update_enemy(bug, &hero, 0);
    EXPECT_EQ(320, bug->x);
    EXPECT_EQ(161, bug->y);  // wholly over the gap: falls in the same frame
    for (int32_t i = 0; i < 5; i++) update_enemy(bug, &hero, 0);
    EXPECT_EQ(320, bug->x);  // no walking while off the grid
    EXPECT_GT(bug->y, 165);
}

TEST(EnemyWalking, AndroidCrossesOneCellGapButNotTwo) {
    use_ground_map();
    Hero hero = absent_hero();
    put_cell(20, 11, CODE_EMPTY);
    Enemy* android = spawn(352, 160, ENEMY_ANDROID);
    for (int32_t i = 0; i < 24; i++) update_enemy(android, &hero, 0);
    EXPECT_EQ(304, android->x);
    EXPECT_EQ(160, android->y);

    use_ground_map();
    put_cell(20, 11, CODE_EMPTY);
    put_cell(21, 11, CODE_EMPTY);
    android = spawn(368, 160, ENEMY_ANDROID);
    for (int32_t i = 0; i < 24; i++) update_enemy(android, &hero, 0);
    EXPECT_GT(android->y, 160);
}

TEST(EnemyContact, StompFromAboveAndTouchOtherwise) {
    use_ground_map();
    Enemy* ufo = spawn(160, 160, ENEMY_UFO);
    Hero hero = absent_hero();
    hero.alive = 1;
    hero.x = 164;
    hero.y = 151;
    hero.vy = 7;  // standing or rising is never a stomp
    update_enemy(ufo, &hero, 0);
    EXPECT_EQ(1, hero.dying);
    EXPECT_STREQ("HIT BY UFO", death_message);

    use_ground_map();
    ufo = spawn(160, 160, ENEMY_UFO);
    hero = absent_hero();
    hero.alive = 1;
    hero.x = 175;
    hero.y = 146;
    hero.vy = 8;
    update_enemy(ufo, &hero, 0);
    EXPECT_EQ(0, hero.dying);
    EXPECT_EQ(1, hero.bounce);
    EXPECT_EQ(0, ufo->dx);
    EXPECT_EQ(3, points);

    use_ground_map();
    Enemy* bug = spawn(160, 160, ENEMY_BUG);
    hero.bounce = 0;
    hero.x = 160;
    hero.y = 151;
    hero.vy = 12;
    update_enemy(bug, &hero, 0);
    EXPECT_EQ(1, hero.dying);
    EXPECT_EQ(0, hero.bounce);
    EXPECT_STREQ("POISIONED BY BUG", death_message);
}

TEST(EnemyContact, StunnedUfoBlinksHarmlesslyAndLeavesAtAgeOneHundredTwenty) {
    use_ground_map();
    Enemy* ufo = spawn(160, 160, ENEMY_UFO);
    Hero hero = absent_hero();
    hero.alive = 1;
    hero.x = 160;
    hero.y = 145;
    hero.vy = 10;
    update_enemy(ufo, &hero, 0);
    ASSERT_EQ(0, ufo->dx);
    ASSERT_EQ(0, ufo->age);
    hero.bounce = 0;
    for (int32_t i = 0; i < 119; i++) {
        update_enemy(ufo, &hero, 0);
        hero.y = (i % 2) ? 160 : 145;  // inside both boxes in turn
    }
    EXPECT_EQ(0, hero.dying);
    EXPECT_EQ(0, hero.bounce);
    EXPECT_EQ(1, ufo->active);
    EXPECT_EQ(119, ufo->age);
    update_enemy(ufo, &hero, 0);
    EXPECT_EQ(0, ufo->active);
    EXPECT_EQ(3, points);
}

TEST(EnemyContact, AndroidStompedTwicePaysOnceAndWakesTheOtherWay) {
    use_ground_map();
    Enemy* android = spawn(160, 160, ENEMY_ANDROID);
    Hero hero = absent_hero();
    hero.alive = 1;
    hero.x = 160;
    hero.y = 150;
    hero.vy = 9;
    update_enemy(android, &hero, 0);
    EXPECT_EQ(0, android->dx);
    EXPECT_EQ(1, android->hits);
    EXPECT_EQ(3, points);
    int32_t wake = 0;
    for (int32_t i = 1; i <= 300 && !wake; i++) {
        update_enemy(android, &hero, 0);  // the stunned android ignores the hero
        if (android->dx != 0) wake = i;
    }
    EXPECT_EQ(226, wake);
    EXPECT_EQ(2, android->dx);
    EXPECT_EQ(0, hero.dying);
    hero.x = android->x;
    hero.y = 150;
    hero.vy = 9;
    update_enemy(android, &hero, 0);
    EXPECT_EQ(2, android->hits);
    EXPECT_EQ(3, points);
}

TEST(EnemyContact, StompedStonebatFadesInTwelveFrames) {
    use_ground_map();
    Enemy* bat = spawn(160, 64, ENEMY_STONEBAT);
    Hero hero = absent_hero();
    hero.alive = 1;
    hero.x = 161;
    hero.y = 50;
    hero.vy = 9;
    update_enemy(bat, &hero, 0);
    EXPECT_EQ(ENEMY_STONEBAT_HIT, bat->type);
    EXPECT_EQ(64, bat->y);  // stonebats ignore gravity
    int32_t frames = 0;
    while (bat->active && frames < 100) {
        update_enemy(bat, &hero, 0);
        frames++;
    }
    EXPECT_EQ(12, frames);
}

TEST(EnemyRemoval, DistancesFromTheCamera) {
    use_ground_map();
    Hero hero = absent_hero();
    put_cell(0, 10, TILE_GRASS_LEFT);
    put_cell(59, 10, TILE_GRASS_LEFT);
    Enemy* e = spawn(0, 0, ENEMY_STEELFISH);
    e->dx = 0;
    e->x = 100 - 251;
    update_enemy(e, &hero, 100);
    EXPECT_EQ(0, e->active);
    e = spawn(0, 0, ENEMY_STEELFISH);
    e->dx = 0;
    e->x = 100 - 250;
    update_enemy(e, &hero, 100);
    EXPECT_EQ(1, e->active);
    e->x = 600;
    update_enemy(e, &hero, 100);
    EXPECT_EQ(1, e->active);
    e->x = 601;
    update_enemy(e, &hero, 100);
    EXPECT_EQ(0, e->active);
    e = spawn(0, 0, ENEMY_STEELFISH);
    e->dx = 0;
    e->x = 200;
    e->y = 201;
    update_enemy(e, &hero, 100);
    EXPECT_EQ(0, e->active);
}
