// The level checker on tiny levels made here: it finds a route where there is
// one, the route also finishes through the real game loop, it finds none where
// the level cannot be finished, and its slack measure sees a change that has
// to be hit to the frame.
#include <gtest/gtest.h>
#include <stdint.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "floob.h"
#include "route.h"
#include "shell/replay.h"
#include "support/levels.h"
#include "support/support.h"
#include "world/level.h"

static int load(const TestLevel& level) { return route_load_level(level.data(), level.size()); }

TEST(LevelCheck, FindsARouteThatTheRealLoopAlsoFinishes) {
    TestLevel level(40);
    level.set(8, 8, CODE_EMERALD);   // on the ground
    level.set(16, 5, CODE_EMERALD);  // at the top of a jump
    level.set(20, 8, TILE_GRASS);    // a step to climb
    level.pit(25, 2);
    level.set(29, 8, CODE_EMERALD);
    ASSERT_TRUE(load(level));
    SearchStats stats;
    std::vector<uint8_t> held = route_search(60, &stats);
    ASSERT_FALSE(held.empty());
    EXPECT_GT(stats.frames_simulated, 0);
    route_relax(held, 6);
    RouteResult r = route_play(held);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.emeralds_total, 3);
    EXPECT_EQ(r.emeralds_left, 0);
    EXPECT_FALSE(r.died);
    for (const ChangeSlack& s : route_slack(held, 2)) {
        EXPECT_GE(s.slack_early, 2) << "change at play frame " << s.frame;
        EXPECT_GE(s.slack_late, 2) << "change at play frame " << s.frame;
    }
    std::vector<ReplayFrame> replay = route_to_replay(held);
    free_map();

    TempDir dir(true);
    ASSERT_EQ(mkdir("maps", 0755), 0);
    ASSERT_TRUE(write_file("maps/test.bin", std::string(level.bytes.begin(), level.bytes.end())));
    ReplayOutcome outcome;
    ASSERT_TRUE(replay_run_test_level(replay.data(), (int32_t)replay.size(), &outcome));
    EXPECT_TRUE(outcome.finished) << "ended with reason " << outcome.end_reason;
    EXPECT_EQ(outcome.emeralds_left, 0);
    EXPECT_EQ(outcome.lives_lost, 0);
    EXPECT_EQ(LEVEL_TIME_LIMIT - outcome.level_timer, r.frames);
}

TEST(LevelCheck, FindsNoRouteWhereNoneExists) {
    // A pit far wider than a jump.
    TestLevel wide(40);
    wide.pit(10, 9);
    ASSERT_TRUE(load(wide));
    EXPECT_TRUE(route_search(10, nullptr).empty());
    // An emerald four cells above the ground, out of reach of any jump.
    TestLevel high(30);
    high.set(12, 4, CODE_EMERALD);
    ASSERT_TRUE(load(high));
    SearchStats stats;
    EXPECT_TRUE(route_search(10, &stats).empty());
    EXPECT_EQ(stats.best_emeralds, 0);
    free_map();
}

TEST(LevelCheck, RefusesWhatTheGameRefuses) {
    TestLevel narrow(21);
    narrow.bytes[0] = 19;  // 20 columns
    narrow.bytes.resize(2 + 12 * 20);
    EXPECT_FALSE(load(narrow));
    TestLevel truncated(30);
    truncated.bytes.resize(truncated.bytes.size() - 5);
    EXPECT_FALSE(load(truncated));
}

// Running right all the way, with one jump press at the given play frame.
static std::vector<uint8_t> run_and_jump(int32_t frames, int32_t jump_frame) {
    std::vector<uint8_t> held((size_t)frames, BTN_RIGHT);
    held[jump_frame] |= BTN_JUMP;
    held[jump_frame + 1] |= BTN_JUMP;
    return held;
}

TEST(LevelCheck, SlackMeasuresTheWindowOfAJump) {
    // Try pits of growing width until the jump over it has a window of only a
    // few frames; the measure must then report exactly that window.
    int32_t tested = 0;
    for (int32_t width = 4; width <= 7 && !tested; width++) {
        TestLevel level(40);
        level.pit(12, width);
        ASSERT_TRUE(load(level));
        std::vector<int32_t> good;
        for (int32_t j = 0; j < 160; j++)
            if (route_play(run_and_jump(400, j)).finished) good.push_back(j);
        if (good.empty() || good.size() > 3) continue;
        // The frames that work are one unbroken run.
        ASSERT_EQ(good.back() - good.front() + 1, (int32_t)good.size());
        for (int32_t j : good) {
            std::vector<ChangeSlack> slack = route_slack(run_and_jump(400, j), 6);
            int found = 0;
            for (const ChangeSlack& s : slack) {
                if (!s.jump) continue;
                found = 1;
                EXPECT_EQ(s.frame, j);
                EXPECT_EQ(s.slack_early, j - good.front()) << "pit " << width << ", jump at " << j;
                EXPECT_EQ(s.slack_late, good.back() - j) << "pit " << width << ", jump at " << j;
                EXPECT_TRUE(s.slack_early < 2 || s.slack_late < 2) << "a window of 3 frames has no room either side";
                if (s.slack_early < 2) {
                    EXPECT_TRUE(s.early_fail.died) << "a jump made too early ends in the pit";
                }
            }
            EXPECT_TRUE(found);
        }
        tested = 1;
    }
    EXPECT_TRUE(tested) << "no pit width gave a jump window of 3 frames or less";
    free_map();
}

TEST(LevelCheck, RelaxMovesAnEdgeChangeIntoTheMiddleOfItsWindow) {
    TestLevel level(40);
    level.pit(12, 3);
    ASSERT_TRUE(load(level));
    std::vector<int32_t> good;
    for (int32_t j = 0; j < 160; j++)
        if (route_play(run_and_jump(400, j)).finished) good.push_back(j);
    ASSERT_GE(good.size(), 5u);
    std::vector<uint8_t> held = run_and_jump(400, good.front());
    route_relax(held, 6);
    ASSERT_TRUE(route_play(held).finished);
    for (const ChangeSlack& s : route_slack(held, 6)) {
        if (!s.jump) continue;
        EXPECT_GE(s.slack_early, 2);
        EXPECT_GE(s.slack_late, 2);
    }
    free_map();
}
