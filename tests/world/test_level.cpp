// The level loader: both passes, the refused files, the camera start and the
// first-screen spawns, and placing the hero at the start of a life.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/levels.h"
#include "support/support.h"
#include "world/actors.h"
#include "world/hero.h"
#include "world/level.h"
#include "world/map.h"

namespace {

void reset_world() {
    clear_enemies();
    clear_tile_effects();
    drop_map();
    start_x = 16;
    start_y = 100;
    checkpoint_reached = 0;
    exit_cell = 0;
    platform_count = 0;
}

int32_t active_enemies() {
    int32_t n = 0;
    for (const Enemy& e : enemies) n += e.active;
    return n;
}

}  // namespace

TEST(LevelLoader, CopiesCellsAndTakesTheLastStartMarker) {
    reset_world();
    LevelBytes level = ground_level(40);
    level.set(3, 5, 65);
    level.set(9, 2, 5);
    level.set(9, 7, 68);  // later in column-major order than (9, 2)
    level.set(12, 4, 130);
    ASSERT_EQ(1, level.load());
    EXPECT_EQ(40, map_columns);
    EXPECT_EQ(9 * 16, start_x);
    EXPECT_EQ(7 * 16, start_y);
    EXPECT_EQ(0, tile_at(3 * 16, 5 * 16));
    EXPECT_EQ(0, tile_at(9 * 16, 2 * 16));
    EXPECT_EQ(0, tile_at(9 * 16, 7 * 16));
    EXPECT_EQ(130, tile_at(12 * 16, 4 * 16));
    EXPECT_EQ(150, tile_at(39 * 16, 176));
}

TEST(LevelLoader, WithoutMarkerKeepsThePreviousStart) {
    reset_world();
    LevelBytes level = ground_level(30);
    ASSERT_EQ(1, level.load());
    EXPECT_EQ(16, start_x);
    EXPECT_EQ(100, start_y);
    EXPECT_EQ(0, camera_x);
}

TEST(LevelLoader, CountsEmeraldsFromOneColumnLeftOfTheStartAndClosesTheExit) {
    reset_world();
    LevelBytes level = ground_level(40);
    level.set(10, 10, 65);  // start x 160
    level.set(8, 3, 41);    // x 128 < 144: behind the camera, not required
    level.set(9, 3, 41);    // x 144: counted
    level.set(30, 3, 41);
    level.set(20, 8, 27);
    ASSERT_EQ(1, level.load());
    EXPECT_EQ(2, emeralds_left);
    EXPECT_EQ(20 * 12 + 8, exit_cell);
    EXPECT_EQ(38, tile_at(320, 128));
    EXPECT_EQ(39, tile_at(336, 128));
    EXPECT_EQ(58, tile_at(320, 144));
    EXPECT_EQ(59, tile_at(336, 144));
    EXPECT_EQ(41, tile_at(128, 48));  // uncounted emeralds stay in the map
}

TEST(LevelLoader, NoEmeraldsLeavesTheExitOpen) {
    reset_world();
    LevelBytes level = ground_level(30);
    level.set(20, 8, 27);
    level.set(21, 8, 28);
    level.set(20, 9, 47);
    level.set(21, 9, 48);
    ASSERT_EQ(1, level.load());
    EXPECT_EQ(0, emeralds_left);
    EXPECT_EQ(27, tile_at(320, 128));
    EXPECT_EQ(48, tile_at(336, 144));
}

TEST(LevelLoader, CheckpointReloadIgnoresMarkersAndRaisesThePost) {
    reset_world();
    LevelBytes level = ground_level(60);
    level.set(2, 10, 65);
    level.set(25, 10, 17);
    level.set(22, 4, 41);  // x 352 < 384: left of the checkpoint column minus one
    level.set(24, 4, 41);  // x 384: counted
    level.set(40, 8, 27);
    checkpoint_reached = 1;
    start_x = 400;
    start_y = 160;
    ASSERT_EQ(1, level.load());
    EXPECT_EQ(400, start_x);
    EXPECT_EQ(160, start_y);
    EXPECT_EQ(0, tile_at(32, 160));  // the marker still becomes air
    EXPECT_EQ(19, tile_at(400, 160));
    EXPECT_EQ(1, emeralds_left);
    EXPECT_EQ(384, camera_x);
}

TEST(LevelLoader, SixtyFifthElevatorIsNotScanned) {
    reset_world();
    LevelBytes level = ground_level(100);
    for (int32_t i = 0; i < 65; i++) level.set(10 + i, 3, 66);
    level.set(80, 4, 41);  // after the 64th elevator: not counted, so no exit is needed
    ASSERT_EQ(1, level.load());
    EXPECT_EQ(64, platform_count);
    EXPECT_EQ(0, emeralds_left);
    EXPECT_EQ(160, platforms[0].x);
    EXPECT_EQ(48, platforms[0].y);
    EXPECT_EQ(1, platforms[0].dy);
    EXPECT_EQ(73 * 16, platforms[63].x);
    EXPECT_EQ(0, tile_at(73 * 16, 48));
    EXPECT_EQ(66, tile_at(74 * 16, 48));  // the 65th stays in the map as a plain cell
}

TEST(LevelLoader, CameraStartsOneColumnLeftOfTheStartWithinTheMap) {
    reset_world();
    LevelBytes level = ground_level(100);
    level.set(30, 10, 65);
    ASSERT_EQ(1, level.load());
    EXPECT_EQ(30 * 16 - 16, camera_x);

    reset_world();
    LevelBytes end = ground_level(40);
    end.set(38, 10, 65);
    ASSERT_EQ(1, end.load());
    EXPECT_EQ(40 * 16 - 321, camera_x);  // the right-hand limit
}

TEST(LevelLoader, SpawnsTheFirstScreenAndTheColumnBeyondIt) {
    reset_world();
    LevelBytes level = ground_level(60);
    level.set(10, 10, 65);  // camera at 144 = column 9
    level.set(8, 5, 13);    // left of the view: stays a spawn code
    level.set(9, 5, 13);
    level.set(29, 5, 9);
    level.set(30, 5, 33);  // x 480 = camera + 336, asked for by the last scroll step
    level.set(31, 5, 53);  // one column further: not yet
    level.set(20, 2, 87);
    ASSERT_EQ(1, level.load());
    EXPECT_EQ(3, active_enemies());
    EXPECT_EQ(13, tile_at(8 * 16, 80));
    EXPECT_EQ(0, tile_at(9 * 16, 80));
    EXPECT_EQ(0, tile_at(30 * 16, 80));
    EXPECT_EQ(53, tile_at(31 * 16, 80));
    EXPECT_EQ(86, tile_at(20 * 16, 32));
    EXPECT_EQ(ENEMY_BUG, enemies[0].type);
    EXPECT_EQ(144, enemies[0].x);
}

TEST(LevelLoader, RefusesMalformedFilesAndKeepsThePreviousMap) {
    reset_world();
    LevelBytes good = ground_level(25);
    good.set(5, 5, 130);
    ASSERT_EQ(1, good.load());

    LevelBytes one_column = ground_level(1);
    EXPECT_EQ(LEVEL_TOO_NARROW, check_level_bytes(one_column.bytes.data(), (int32_t)one_column.bytes.size()));
    LevelBytes narrow = ground_level(20);
    EXPECT_EQ(0, narrow.valid());
    LevelBytes widest = ground_level(4096);
    EXPECT_EQ(1, widest.valid());
    LevelBytes wide = ground_level(4097);
    EXPECT_EQ(LEVEL_TOO_WIDE, check_level_bytes(wide.bytes.data(), (int32_t)wide.bytes.size()));

    LevelBytes truncated = ground_level(30);
    truncated.bytes.pop_back();
    EXPECT_EQ(LEVEL_SHORT, check_level_bytes(truncated.bytes.data(), (int32_t)truncated.bytes.size()));
    EXPECT_EQ(0, level_bytes_valid(truncated.bytes.data(), 1));
    EXPECT_EQ(0, level_bytes_valid(nullptr, 0));

    LevelBytes longer = ground_level(30);
    longer.bytes.push_back(99);  // bytes after the cells are ignored
    EXPECT_EQ(1, longer.valid());

    LevelBytes last_column = ground_level(30);
    last_column.set(29, 4, 27);
    EXPECT_EQ(LEVEL_EXIT_AT_EDGE, check_level_bytes(last_column.bytes.data(), (int32_t)last_column.bytes.size()));
    LevelBytes bottom_row = ground_level(30);
    bottom_row.set(10, 11, 27);
    EXPECT_EQ(0, bottom_row.valid());
    LevelBytes no_exit = ground_level(30);
    no_exit.set(10, 4, 41);
    EXPECT_EQ(LEVEL_NO_EXIT, check_level_bytes(no_exit.bytes.data(), (int32_t)no_exit.bytes.size()));

    EXPECT_EQ(0, truncated.load());
    EXPECT_EQ(0, no_exit.load());
    EXPECT_EQ(25, map_columns);
    EXPECT_EQ(130, tile_at(80, 80));
}

TEST(LevelLoader, ReadsTheTestFileWhole) {
    reset_world();
    TempDir dir;
    LevelBytes level = ground_level(30);
    level.set(4, 10, 65);
    ASSERT_EQ(0, system("mkdir -p maps"));
    ASSERT_TRUE(write_file("maps/test.bin", std::string(level.bytes.begin(), level.bytes.end())));
    load_level(nullptr);
    EXPECT_EQ(30, map_columns);
    EXPECT_EQ(64, start_x);
}

// fatal_error prints to standard output; the child sends it to the captured stderr.
TEST(LevelLoaderDeathTest, MissingOrBrokenLevelsEndTheGameWithTheirName) {
    EXPECT_EXIT(
        {
            dup2(2, 1);
            TempDir dir;
            load_level(nullptr);
        },
        testing::ExitedWithCode(1), "Can't load file: maps/test.bin");
    EXPECT_EXIT(
        {
            dup2(2, 1);
            TempDir dir;
            LevelBytes level = ground_level(30);
            level.bytes.resize(100);
            if (system("mkdir -p maps") != 0) exit(3);
            write_file("maps/test.bin", std::string(level.bytes.begin(), level.bytes.end()));
            load_level(nullptr);
        },
        testing::ExitedWithCode(1), "Can't load file: maps/test.bin");
    EXPECT_EXIT(
        {
            dup2(2, 1);
            load_level("floob999");
        },
        testing::ExitedWithCode(1), "Can't load file: floob999");
}

TEST(PlaceHero, LowersOntoTheGroundAndResetsTheRecord) {
    reset_world();
    LevelBytes level = ground_level(30);
    level.set(5, 7, 130);
    ASSERT_EQ(1, level.load());
    Hero hero;
    memset(&hero, 0x55, sizeof hero);
    start_x = 80;
    start_y = 0;
    place_hero(&hero);
    EXPECT_EQ(80, hero.x);
    EXPECT_EQ(96, hero.y);
    EXPECT_EQ(24, hero.frame);
    EXPECT_EQ(1, hero.alive);
    EXPECT_EQ(-1, hero.platform);
    EXPECT_EQ(0, hero.vy);
    EXPECT_EQ(0, hero.dying);
    EXPECT_EQ(0, hero.jump_latch);
    EXPECT_EQ(0, hero.in_trapdoor);
}

TEST(PlaceHero, StopsAtTheBottomRowOverABottomlessColumn) {
    reset_world();
    LevelBytes level = ground_level(30);
    level.set(5, 11, 0);
    ASSERT_EQ(1, level.load());
    Hero hero;
    start_x = 80;
    start_y = 20;
    place_hero(&hero);
    EXPECT_EQ(176, hero.y);
}
