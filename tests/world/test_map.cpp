// Map queries at the edges of the map and the camera with its spawning column.
#include <gtest/gtest.h>
#include <string.h>

#include "support/levels.h"
#include "world/actors.h"
#include "world/level.h"
#include "world/map.h"

TEST(MapQueries, OutsideTheMapReadsAsAir) {
    use_test_map(30);
    for (int32_t c = 0; c < 30; c++)
        for (int32_t r = 0; r < 12; r++) put_cell(c, r, TILE_EARTH_LEFT);
    EXPECT_EQ(0, tile_at(-1, 0));
    EXPECT_EQ(0, tile_at(30 * 16, 0));
    EXPECT_EQ(0, tile_at(0, -1));
    EXPECT_EQ(0, tile_at(0, 192));
    EXPECT_EQ(150, tile_at(0, 0));
    EXPECT_EQ(150, tile_at(30 * 16 - 1, 191));

    set_tile(-1, 0, 7);
    set_tile(30, 0, 7);
    set_tile(0, -1, 7);
    set_tile(0, 12, 7);
    for (int32_t c = 0; c < 30; c++)
        for (int32_t r = 0; r < 12; r++) ASSERT_EQ(150, tile_at(c * 16, r * 16));
    set_tile(29, 11, 7);
    EXPECT_EQ(7, tile_at(29 * 16 + 15, 191));
}

TEST(MapQueries, EndsAreWallsAndTheTopRowReachesUp) {
    use_test_map(30);
    put_cell(3, 0, TILE_GRASS_LEFT);
    put_cell(4, 11, TILE_EARTH_LEFT);
    for (int32_t y = -100; y < 600; y += 50) {
        EXPECT_EQ(1, is_solid_at(-1, y));
        EXPECT_EQ(1, is_solid_at(30 * 16, y));
    }
    EXPECT_EQ(1, is_solid_at(48, -40));
    EXPECT_EQ(0, is_solid_at(64, -40));
    EXPECT_EQ(1, is_solid_at(64, 191));
    EXPECT_EQ(0, is_solid_at(64, 192));
    EXPECT_EQ(0, is_solid_at(64, 500));
    EXPECT_EQ(0, is_deadly_at(-1, 0));
}

TEST(MapQueries, KindsOfCodes) {
    use_test_map(30);
    put_cell(1, 1, 250);
    put_cell(2, 1, CODE_SPIKES);
    put_cell(3, 1, TILE_CEILING_SPIKES);
    put_cell(4, 1, CODE_SPIKES_SPRINGING);
    put_cell(5, 1, CODE_EMERALD);
    put_cell(6, 1, CODE_TRAPDOOR_CLOSED);
    EXPECT_EQ(1, is_solid_at(16, 16));
    EXPECT_EQ(0, is_deadly_at(16, 16));
    EXPECT_EQ(1, is_deadly_at(32, 16));
    EXPECT_EQ(1, is_deadly_at(48, 16));
    EXPECT_EQ(1, is_deadly_at(64, 16));
    EXPECT_EQ(0, is_solid_at(64, 16));
    EXPECT_EQ(0, is_solid_at(80, 16));
    EXPECT_EQ(1, is_solid_at(96, 16));
    EXPECT_EQ(1, tile_layer[81]);
    EXPECT_EQ(1, tile_layer[149]);
    EXPECT_EQ(0, tile_layer[150]);
    EXPECT_EQ(0, tile_layer[105]);
}

TEST(MapQueries, WaterAtTheHerosCentre) {
    use_test_map(30);
    put_cell(2, 5, CODE_WATER);
    put_cell(3, 5, TILE_SEAWEED);
    Hero hero = {};
    hero.x = 23;
    hero.y = 80;
    EXPECT_EQ(0, hero_in_water(&hero));  // centre at x 31: still column 1
    hero.x = 25;
    hero.y = 73;
    EXPECT_EQ(1, hero_in_water(&hero));
    hero.x = 40;
    EXPECT_EQ(1, hero_in_water(&hero));
    EXPECT_EQ(1, is_water_code(145));
    EXPECT_EQ(1, is_water_code(166));
    EXPECT_EQ(0, is_water_code(167));
    EXPECT_EQ(0, is_water_code(86));
}

TEST(Camera, TwentyColumnMapNeverScrolls) {
    use_test_map(20);
    put_cell(19, 3, CODE_BUG);
    scroll_camera(100);
    EXPECT_EQ(0, camera_x);
    EXPECT_EQ(13, tile_at(19 * 16, 48));  // inside the view but never asked for
}

TEST(Camera, StopsOnePixelShortOfTheRightEdge) {
    use_test_map(30);
    scroll_camera(1000);
    EXPECT_EQ(30 * 16 - 321, camera_x);
    EXPECT_EQ(30 * 16 - 1, camera_x + 320);
    scroll_camera(0);
    scroll_camera(-5);
    EXPECT_EQ(30 * 16 - 321, camera_x);
}

TEST(Camera, SpawnsEachColumnAsItComesWithinOneCellOfTheView) {
    use_test_map(60);
    put_cell(25, 2, CODE_UFO);
    put_cell(25, 7, CODE_STEELFISH);
    put_cell(26, 4, CODE_ANDROID_WALKING);
    scroll_camera(63);
    EXPECT_EQ(0, enemies[0].active);
    scroll_camera(1);  // camera 64: 64 + 336 = 400 is column 25's left edge
    EXPECT_EQ(64, camera_x);
    ASSERT_EQ(1, enemies[0].active);
    EXPECT_EQ(ENEMY_UFO, enemies[0].type);
    EXPECT_EQ(400, enemies[0].x);
    EXPECT_EQ(32, enemies[0].y);
    EXPECT_EQ(ENEMY_STEELFISH, enemies[1].type);
    EXPECT_EQ(85, tile_at(400, 112));  // the steelfish leaves water
    EXPECT_EQ(0, tile_at(400, 32));
    scroll_camera(15);
    EXPECT_EQ(0, enemies[2].active);  // asked for again on each step, created once
    scroll_camera(1);
    EXPECT_EQ(ENEMY_ANDROID, enemies[2].type);
    EXPECT_EQ(0, enemies[3].active);
}
