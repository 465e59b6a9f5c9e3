// The hero: walking and its latches, the jump, stomping, tile reactions, deaths,
// points and lives.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "support/levels.h"
#include "world/actors.h"
#include "world/hero.h"
#include "world/level.h"
#include "world/map.h"
#include "world/world.h"

namespace {

// Loads the level, which has to be accepted.
void load_level(const LevelBytes& level) { ASSERT_EQ(1, level.load()); }

void reset_world() {
    world_new_game();
    death_message[0] = 0;
}

// The hero placed at x from row 9 down onto the ground (y 160 on the ground row).
Hero hero_at(int32_t x) {
    Hero hero;
    start_x = x;
    start_y = 144;
    place_hero(&hero);
    return hero;
}

// One play frame as the game runs it, with the hero's four controls held.
void play_frame(Hero* hero, int32_t left, int32_t right, int32_t jump, int32_t down = 0) {
    world_read_controls((left ? BTN_LEFT : 0) | (right ? BTN_RIGHT : 0) | (jump ? BTN_JUMP : 0) |
                        (down ? BTN_DOWN : 0));
    world_step(hero);
}

}  // namespace

TEST(HeroWalking, StepsTwoPixelsOrOneWithDownAndShowsTheWalkingFrames) {
    reset_world();
    load_level(ground_level(40));
    Hero hero = hero_at(32);
    std::vector<int32_t> frames;
    for (int32_t i = 0; i < 12; i++) {
        play_frame(&hero, 0, 1, 0);
        frames.push_back(hero.frame);
    }
    EXPECT_EQ(56, hero.x);
    EXPECT_EQ(160, hero.y);
    EXPECT_EQ((std::vector<int32_t>{1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 1}), frames);
    play_frame(&hero, 0, 1, 0, 1);
    EXPECT_EQ(57, hero.x);
    play_frame(&hero, 0, 1, 0);  // odd x: one pixel to realign
    EXPECT_EQ(58, hero.x);
    play_frame(&hero, 1, 0, 0);
    EXPECT_EQ(56, hero.x);
    EXPECT_GE(hero.frame, 5);
    EXPECT_LE(hero.frame, 8);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(68, hero.frame);
}

TEST(HeroWalking, LatchCarriesTheHeroToTheNextMultipleOfEight) {
    reset_world();
    load_level(ground_level(40));
    Hero hero = hero_at(16);
    for (int32_t i = 0; i < 5; i++) play_frame(&hero, 0, 1, 0, 1);
    ASSERT_EQ(21, hero.x);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(22, hero.x);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(24, hero.x);
    EXPECT_EQ(1, move_right_latch);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(24, hero.x);
    EXPECT_EQ(0, move_right_latch);
    EXPECT_EQ(65, hero.frame);
}

TEST(HeroWalking, WallsAndTheLeftEdgeOfTheViewStopTheHero) {
    reset_world();
    LevelBytes level = ground_level(40);
    level.set(6, 10, 130);
    load_level(level);
    Hero hero = hero_at(76);
    int32_t first_frame = 0;
    for (int32_t i = 0; i < 9; i++) {
        play_frame(&hero, 0, 1, 0);
        if (i == 2) first_frame = hero.frame;
    }
    EXPECT_EQ(80, hero.x);
    EXPECT_NE(first_frame, hero.frame);  // the walking frames keep running against the wall
    EXPECT_EQ(0, hero.idle_counter);

    Hero edge = hero_at(0);
    play_frame(&edge, 1, 0, 0);
    EXPECT_EQ(0, edge.x);
}

TEST(HeroWalking, IdlePoseAfterFiveHundredStillFrames) {
    reset_world();
    load_level(ground_level(40));
    Hero hero = hero_at(32);
    for (int32_t i = 0; i < 4; i++) play_frame(&hero, 0, 1, 0);
    ASSERT_EQ(40, hero.x);
    for (int32_t i = 0; i < 500; i++) play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(65, hero.frame);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(24, hero.frame);
}

TEST(HeroJump, RisesFiftyPixelsAndLandsAfterFortyThreeFrames) {
    reset_world();
    load_level(ground_level(40));
    Hero hero = hero_at(32);
    play_frame(&hero, 0, 0, 0);
    int32_t top = hero.y;
    int32_t frames = 0;
    do {
        play_frame(&hero, 0, 0, 1);
        frames++;
        if (hero.y < top) top = hero.y;
    } while (hero.y != 160 && frames < 200);
    EXPECT_EQ(43, frames);
    EXPECT_EQ(110, top);
    EXPECT_EQ(7, hero.vy);
    // Still holding jump: no new jump until it is released and pressed again.
    for (int32_t i = 0; i < 5; i++) play_frame(&hero, 0, 0, 1);
    EXPECT_EQ(160, hero.y);
    play_frame(&hero, 0, 0, 0);
    play_frame(&hero, 0, 0, 1);
    EXPECT_LT(hero.y, 160);
}

TEST(HeroJump, NoJumpInTheAirAndTheBounceGivesASmallHop) {
    reset_world();
    load_level(ground_level(40));
    Hero hero = hero_at(32);
    play_frame(&hero, 0, 0, 1);
    for (int32_t i = 0; i < 5; i++) play_frame(&hero, 0, 0, 0);
    int32_t vy = hero.vy;
    play_frame(&hero, 0, 0, 1);
    EXPECT_EQ(vy + 1, hero.vy);  // pressed in the air: gravity only

    EXPECT_EQ(0, hero.jump_latch);  // a press in the air is not a jump, so it does not latch

    hero.bounce = 1;
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(-6, hero.vy);  // the small hop off a stomped enemy
    EXPECT_EQ(0, hero.bounce);
    hero.bounce = 1;
    play_frame(&hero, 0, 0, 1);  // jump pressed on a stomp gives the full jump
    EXPECT_EQ(-20, hero.vy);
    EXPECT_EQ(1, hero.jump_latch);
}

TEST(HeroDeath, TheHopFromOneHundredTakesOneHundredFiftyEightFrames) {
    reset_world();
    load_level(ground_level(40));
    Hero hero = hero_at(32);
    hero.y = 100;
    kill_hero(&hero, "SUICIDE");
    EXPECT_EQ(1, hero.dying);
    EXPECT_EQ(-16, hero.vy);
    EXPECT_STREQ("SUICIDE", death_message);
    int32_t frames = 0;
    while (hero.alive && frames < 1000) {
        update_hero(&hero, 0, 0, 0, 0, camera_x);
        frames++;
    }
    EXPECT_EQ(158, frames);
    EXPECT_EQ(0, hero.idle_counter);
}

TEST(HeroDeath, CausesAndTheirTexts) {
    reset_world();
    LevelBytes level = ground_level(40);
    level.set(4, 10, 105);
    level.set(10, 11, 0);
    level.set(11, 11, 0);
    load_level(level);

    Hero spiked = hero_at(56);
    play_frame(&spiked, 1, 0, 0);
    EXPECT_EQ(1, spiked.dying);
    EXPECT_STREQ("IMPALED TO DEATH", death_message);
    EXPECT_EQ(53, spiked.x);  // stepped left to 54, then the first hop step at once

    Hero faller = hero_at(160);
    faller.y = 150;
    for (int32_t i = 0; i < 100 && faller.alive; i++) play_frame(&faller, 0, 0, 0);
    EXPECT_EQ(0, faller.alive);
    EXPECT_EQ(0, faller.dying);
    EXPECT_EQ(180, faller.idle_counter);
    EXPECT_GT(faller.y, 250);
    EXPECT_STREQ("FELL TO DEATH", death_message);
}

TEST(HeroDeath, SpikeProbesAtTheBottomOfTheMap) {
    reset_world();
    LevelBytes level = ground_level(40);
    level.set(5, 11, 105);
    load_level(level);
    Hero hero = hero_at(32);
    hero.x = 80;
    hero.y = 191;  // the upper probes are skipped, the lower ones lie below the map
    hero.vy = 0;
    update_hero(&hero, 0, 0, 0, 0, camera_x);
    EXPECT_EQ(0, hero.dying);
    hero.y = 179;  // the upper probes reach the spikes in the bottom row
    hero.vy = 0;
    update_hero(&hero, 0, 0, 0, 0, camera_x);
    EXPECT_EQ(1, hero.dying);
}

TEST(HeroTiles, ExitsTrapdoorsTrapsAndCheckpoints) {
    reset_world();
    LevelBytes level = ground_level(60);
    level.set(3, 10, 48);
    level.set(5, 10, 59);
    level.set(7, 7, 88);
    level.set(9, 10, 86);
    level.set(11, 10, 17);
    load_level(level);
    Hero hero = hero_at(48);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(1, hero.exit_reached);

    hero = hero_at(80);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(1, hero.closed_exit_touched);

    // Falling through the open trapdoor, which shuts once the hero has left its cell.
    hero = hero_at(112);
    hero.y = 96;
    int32_t was_inside = 0;
    for (int32_t i = 0; i < 40; i++) {
        play_frame(&hero, 0, 0, 0);
        if (hero.in_trapdoor) {
            was_inside = 1;
            EXPECT_EQ(112, hero.trapdoor_x);
            EXPECT_EQ(112, hero.trapdoor_y);
        }
    }
    EXPECT_EQ(1, was_inside);
    EXPECT_EQ(0, hero.in_trapdoor);
    EXPECT_EQ(160, hero.y);
    EXPECT_EQ(69, tile_at(112, 112));
    EXPECT_EQ(1, is_solid_at(112, 112));

    hero = hero_at(144);
    play_frame(&hero, 0, 0, 0);
    play_frame(&hero, 0, 0, 0);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(0, tile_at(144, 160));  // the spikes start hidden...
    EXPECT_EQ(0, hero.dying);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(87, tile_at(144, 160));  // ...and spring up
    EXPECT_EQ(1, hero.dying);
    EXPECT_STREQ("IMPALED TO DEATH", death_message);

    hero = hero_at(176);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(1, checkpoint_reached);
    EXPECT_EQ(176, start_x);
    EXPECT_EQ(160, start_y);
    for (int32_t i = 0; i < 16; i++) update_tile_effects();
    EXPECT_EQ(19, tile_at(176, 160));
}

TEST(HeroTiles, ItemsOnlyWhenTheCentreIsInTheCell) {
    reset_world();
    LevelBytes level = ground_level(40);
    level.set(4, 10, 26);
    level.set(6, 10, 41);
    level.set(20, 8, 27);
    load_level(level);
    ASSERT_EQ(1, emeralds_left);
    Hero hero = hero_at(82);  // centre at 90: not yet in the emerald's cell at 96
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(1, emeralds_left);
    hero.x = 88;  // centre at 96
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(0, emeralds_left);
    EXPECT_EQ(1, points);
    EXPECT_EQ(41, tile_at(96, 160));  // cleared by the next frame's effects
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(0, tile_at(96, 160));
    EXPECT_EQ(1, points);
    EXPECT_EQ(27, tile_at(320, 128));
    EXPECT_EQ(48, tile_at(336, 144));

    hero = hero_at(64);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(7, lives);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(0, tile_at(64, 160));
    EXPECT_EQ(7, lives);

    // Above the map no tile reacts.
    reset_world();
    LevelBytes high = ground_level(40);
    high.set(4, 0, 26);
    load_level(high);
    hero = hero_at(64);
    hero.y = -4;
    hero.vy = 0;
    update_hero(&hero, 0, 0, 0, 0, camera_x);
    EXPECT_EQ(0, tile_effect_at(64, 0));
}

TEST(HeroTiles, LastEmeraldOpensTheExitUnderTheHero) {
    reset_world();
    LevelBytes level = ground_level(40);
    level.set(5, 9, 27);
    level.set(7, 10, 41);
    load_level(level);
    ASSERT_EQ(59, tile_at(96, 160));
    Hero hero = hero_at(96);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(1, hero.closed_exit_touched);
    for (int32_t i = 0; i < 10 && emeralds_left > 0; i++) play_frame(&hero, 0, 1, 0);
    EXPECT_EQ(0, emeralds_left);
    EXPECT_EQ(104, hero.x);
    EXPECT_EQ(0, hero.closed_exit_touched);
    EXPECT_EQ(48, tile_at(96, 160));
    EXPECT_EQ(27, tile_at(80, 144));
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(1, hero.exit_reached);
}

TEST(HeroTiles, HeadBreaksAndBumpsBlocksAndFloorsCrumble) {
    reset_world();
    LevelBytes level = ground_level(40);
    level.set(4, 7, 40);
    level.set(8, 7, 20);
    level.set(12, 11, 22);
    load_level(level);
    Hero hero = hero_at(64);
    play_frame(&hero, 0, 0, 1);
    for (int32_t i = 0; i < 12 && hero.vy < 0; i++) play_frame(&hero, 0, 0, 1);
    EXPECT_EQ(1, points);
    EXPECT_EQ(1, tile_effect_at(64, 112));
    EXPECT_EQ(128, hero.y);  // pushed below the block
    EXPECT_EQ(7, hero.vy);
    for (int32_t i = 0; i < 60; i++) play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(0, tile_at(64, 112));

    hero = hero_at(128);
    play_frame(&hero, 0, 0, 0);
    play_frame(&hero, 0, 0, 1);
    for (int32_t i = 0; i < 12 && hero.vy < 0; i++) play_frame(&hero, 0, 0, 1);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(80, tile_at(128, 112));
    for (int32_t i = 0; i < 60; i++) play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(20, tile_at(128, 112));
    EXPECT_EQ(1, points);

    hero = hero_at(192);
    play_frame(&hero, 0, 0, 0);
    play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(180, tile_at(192, 176));
    for (int32_t i = 0; i < 60 && hero.alive; i++) play_frame(&hero, 0, 0, 0);
    EXPECT_EQ(0, tile_at(192, 176));
    EXPECT_EQ(0, hero.alive);  // fell through the hole
}

TEST(HeroPoints, ExtraLifeWhenTheHundredsDigitGrows) {
    reset_world();
    points = 9895;
    add_points(3);
    EXPECT_EQ(9898, points);
    EXPECT_EQ(6, lives);
    points = 9899;
    add_points(3);
    EXPECT_EQ(9902, points);
    EXPECT_EQ(7, lives);
    points = 9998;
    add_points(3);
    EXPECT_EQ(9999, points);
    EXPECT_EQ(7, lives);
    add_points(500);
    EXPECT_EQ(9999, points);
    EXPECT_EQ(7, lives);
    points = 0;
    add_points(350);  // one call gives one life at most
    EXPECT_EQ(8, lives);
    lives = 99;
    add_points(100);
    EXPECT_EQ(99, lives);
}
