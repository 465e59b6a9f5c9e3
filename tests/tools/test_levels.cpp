// The shipped levels: every play level is finished by its stored route through
// the real game loop, within its share of the time limit and without needing
// frame-perfect timing; the title level keeps the title alive.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "floob.h"
#include "route.h"
#include "shell/replay.h"
#include "shell/title.h"
#include "support/support.h"
#include "world/actors.h"
#include "world/level.h"
#include "world/map.h"
#include "world/world.h"

static std::string level_entry_path(int32_t level) {
    return std::string(FLOOB_BINARY_DIR) + "/entries/maps/" + level_map_name(level) + ".bin";
}

static std::string level_route_path(int32_t level) {
    return std::string(FLOOB_SOURCE_DIR) + "/assets/maps/" + level_map_name(level) + ".replay";
}

static std::vector<ReplayFrame> read_replay(const std::string& path) {
    std::string text = read_file(path);
    std::vector<ReplayFrame> frames;
    if (text.empty()) return frames;
    int32_t count = replay_parse(text.c_str(), nullptr, 0);
    if (count <= 0) return frames;
    frames.resize(count);
    replay_parse(text.c_str(), frames.data(), count);
    return frames;
}

class PlayLevel : public ::testing::TestWithParam<int32_t> {};

TEST_P(PlayLevel, StoredRouteFinishesThroughTheRealLoop) {
    int32_t level = GetParam();
    std::string bytes = read_file(level_entry_path(level));
    ASSERT_FALSE(bytes.empty()) << level_entry_path(level);
    std::vector<ReplayFrame> route = read_replay(level_route_path(level));
    ASSERT_GT(route.size(), (size_t)GET_READY_FRAMES) << level_route_path(level);

    TempDir dir(true);
    ASSERT_EQ(mkdir("maps", 0755), 0);
    ASSERT_TRUE(write_file("maps/test.bin", bytes));
    ReplayOutcome outcome;
    ASSERT_TRUE(replay_run_test_level(route.data(), (int32_t)route.size(), &outcome));
    EXPECT_TRUE(outcome.finished) << "ended with reason " << outcome.end_reason;
    EXPECT_EQ(outcome.emeralds_left, 0);
    EXPECT_EQ(outcome.lives_lost, 0);
    int32_t used = LEVEL_TIME_LIMIT - outcome.level_timer;
    int32_t share = level <= 5 ? 70 : 85;
    EXPECT_LE(used * 100, share * LEVEL_TIME_LIMIT) << "frames used: " << used;
}

TEST_P(PlayLevel, RouteNeedsNoFramePerfectTiming) {
    int32_t level = GetParam();
    std::string bytes = read_file(level_entry_path(level));
    ASSERT_TRUE(route_load_level((const uint8_t*)bytes.data(), (int32_t)bytes.size()));
    std::vector<ReplayFrame> route = read_replay(level_route_path(level));
    ASSERT_GT(route.size(), (size_t)GET_READY_FRAMES);
    std::vector<uint8_t> held;
    for (size_t f = GET_READY_FRAMES; f < route.size(); f++) held.push_back(route[f].held);
    ASSERT_TRUE(route_play(held).finished);
    for (const ChangeSlack& s : route_slack(held, 2)) {
        EXPECT_GE(s.slack_early, 2) << "input change at play frame " << s.frame;
        EXPECT_GE(s.slack_late, 2) << "input change at play frame " << s.frame;
    }
    free_map();
}

INSTANTIATE_TEST_SUITE_P(Levels, PlayLevel, ::testing::Range(1, 11));

TEST(TitleLevel, DriftsTenThousandFramesWithRoomForEveryEnemy) {
    std::string bytes = read_file(level_entry_path(0));
    ASSERT_FALSE(bytes.empty());
    world_new_game();
    ASSERT_TRUE(world_start_life_bytes((const uint8_t*)bytes.data(), (int32_t)bytes.size(), 1));
    Hero& hero = world.hero;
    menu_state = 0;
    int32_t limit = 16 * map_columns - 321;
    int32_t most_active = 0;
    int32_t enemies_seen = 0;
    for (int32_t frame = 0; frame < 10000; frame++) {
        int32_t before = camera_x;
        world_step(&hero, 0);
        title_menu_step(&hero);
        int32_t active = 0;
        for (const Enemy& e : enemies) active += e.active;
        if (active > most_active) most_active = active;
        if (active > 0) enemies_seen++;
        if (before < limit) {
            ASSERT_EQ(camera_x, before + 1) << "camera stalled at frame " << frame;
        }
    }
    EXPECT_LT(most_active, MAX_ENEMIES) << "the enemy table filled up";
    EXPECT_GT(enemies_seen, 5000) << "enemies should be moving behind the title most of the time";
    free_map();
}
