// Frame pacing driven by a clock the test controls: the clock counts
// microseconds, hands out whole milliseconds like SDL_GetTicks, and a sleep
// advances it by the time asked plus a small oversleep, rounded up to whole
// scheduler ticks where one is set, or ending on the first tick boundary after
// it, as a kernel with a periodic tick wakes its sleepers.
#include <gtest/gtest.h>

#include <string>

#include "floob.h"
#include "gfx/video.h"
#include "shell/frame.h"
#include "shell/intro.h"
#include "shell/replay.h"

namespace {

const FramePacing& pacing = frame_pacing();

uint64_t clock_us = 0;
uint32_t clock_oversleep_us = 0;
int32_t clock_advances_on_sleep = 1;
uint32_t clock_granularity_us = 0;
int32_t clock_wakes_on_tick = 0;
int32_t sleep_calls = 0;
uint64_t slept_us = 0;

uint32_t test_ticks() { return (uint32_t)(clock_us / 1000); }

void test_sleep(uint32_t microseconds) {
    sleep_calls += 1;
    slept_us += microseconds;
    uint64_t length = microseconds + clock_oversleep_us;
    uint64_t tick = clock_granularity_us;
    if (!clock_advances_on_sleep) return;
    if (tick && clock_wakes_on_tick) {
        clock_us = (clock_us + length + tick - 1) / tick * tick;
    } else {
        clock_us += tick ? (length + tick - 1) / tick * tick : length;
    }
}

void work_ms(uint32_t ms) { clock_us += (uint64_t)ms * 1000; }

// Puts the clock at the given tick plus a fraction of a millisecond.
void set_clock(uint32_t ticks, uint32_t extra_us) { clock_us = (uint64_t)ticks * 1000 + extra_us; }

class FrameWait : public ::testing::Test {
   protected:
    void SetUp() override {
        clock_oversleep_us = 60;
        clock_advances_on_sleep = 1;
        clock_granularity_us = 0;
        clock_wakes_on_tick = 0;
        sleep_calls = 0;
        slept_us = 0;
        set_clock(100000, 0);
        set_frame_clock(test_ticks, test_sleep);
        frame_timer_reset();
    }
    void TearDown() override { set_frame_clock(nullptr, nullptr); }
};

TEST_F(FrameWait, ResetTakesTheClockAndClearsThePacingState) {
    set_clock(5000, 0);
    frame_wait();
    work_ms(40);
    frame_wait();
    ASSERT_EQ(1, skip_draw);
    set_clock(777777, 300);
    frame_timer_reset();
    EXPECT_EQ(777777u, pacing.last_time);
    EXPECT_EQ(777777u, pacing.group_start);
    EXPECT_EQ(0, skip_draw);
    EXPECT_EQ(0, pacing.group_index);
    EXPECT_EQ(0, pacing.lag);
    EXPECT_EQ(0, pacing.consecutive_skips);
}

TEST_F(FrameWait, IdleFramesKeepTheSeventeenSeventeenSixteenRhythm) {
    static const uint32_t RHYTHM[3] = {17, 17, 16};
    // Start in the middle of a millisecond so rounding of the counter shows.
    set_clock(100000, 730);
    frame_timer_reset();
    uint32_t start = pacing.last_time;
    uint32_t previous = start;
    for (int32_t frame = 0; frame < 600; frame++) {
        frame_wait();
        ASSERT_EQ(RHYTHM[frame % 3], pacing.last_time - previous) << "frame " << frame;
        ASSERT_EQ(0, skip_draw) << "frame " << frame;
        previous = pacing.last_time;
    }
    // 600 frames are exactly 10 seconds: no drift from oversleeping.
    EXPECT_EQ(10000u, pacing.last_time - start);
}

TEST_F(FrameWait, WorkInsideTheBudgetDoesNotChangeTheRhythm) {
    uint32_t start = pacing.last_time;
    for (int32_t frame = 0; frame < 300; frame++) {
        work_ms((uint32_t)(frame * 7) % 16);
        frame_wait();
        ASSERT_EQ(0, skip_draw) << "frame " << frame;
        if (pacing.group_index == 0) {
            ASSERT_EQ(0u, (pacing.last_time - start) % 50) << "frame " << frame;
        }
    }
    EXPECT_EQ(5000u, pacing.last_time - start);
}

TEST_F(FrameWait, TheWaitSleepsAFewTimesAndNeverSpins) {
    for (int32_t frame = 0; frame < 60; frame++) {
        sleep_calls = 0;
        work_ms(3);
        frame_wait();
        // One long sleep, then a few quarter-millisecond steps at most.
        EXPECT_GE(sleep_calls, 1);
        EXPECT_LE(sleep_calls, 6);
    }
}

TEST_F(FrameWait, ALargeOversleepCostsAtMostOneMillisecondPerGroup) {
    // The third frame takes back what the first two overslept.
    clock_oversleep_us = 900;
    for (int32_t group = 0; group < 20; group++) {
        uint32_t start = pacing.group_start;
        for (int32_t frame = 0; frame < 3; frame++) {
            frame_wait();
            ASSERT_EQ(0, skip_draw);
        }
        uint32_t length = pacing.group_start - start;
        EXPECT_GE(length, 50u) << "group " << group;
        EXPECT_LE(length, 51u) << "group " << group;
    }
}

TEST_F(FrameWait, AStoppedClockDoesNotHoldTheGame) {
    clock_advances_on_sleep = 0;
    frame_wait();
    EXPECT_GT(sleep_calls, 0);
    EXPECT_LE(sleep_calls, 64);
    EXPECT_EQ(1, pacing.group_index);
}

TEST_F(FrameWait, ALongFrameSkipsTwoDrawingsThenDrawsHoweverLate) {
    uint32_t t0 = pacing.last_time;
    work_ms(30);
    frame_wait();
    EXPECT_EQ(1, skip_draw);
    EXPECT_EQ(13, pacing.lag);
    EXPECT_EQ(1, pacing.consecutive_skips);
    EXPECT_EQ(0, sleep_calls);

    work_ms(20);
    frame_wait();
    EXPECT_EQ(1, skip_draw);
    EXPECT_EQ(16, pacing.lag);
    EXPECT_EQ(2, pacing.consecutive_skips);

    work_ms(20);
    frame_wait();
    EXPECT_EQ(0, skip_draw);
    EXPECT_EQ(0, pacing.lag);
    EXPECT_EQ(0, pacing.consecutive_skips);
    EXPECT_EQ(0, sleep_calls);
    EXPECT_EQ(t0 + 70, pacing.last_time);
    EXPECT_EQ(pacing.last_time, pacing.group_start);

    // The next group starts afresh: an idle frame waits its 17 ms again.
    frame_wait();
    EXPECT_EQ(0, skip_draw);
    EXPECT_EQ(t0 + 87, pacing.last_time);
}

TEST_F(FrameWait, LagIsCarriedIntoTheNextFrameAndThenCleared) {
    uint32_t t0 = pacing.last_time;
    work_ms(20);
    frame_wait();
    EXPECT_EQ(1, skip_draw);
    EXPECT_EQ(3, pacing.lag);
    EXPECT_EQ(t0 + 20, pacing.last_time);

    // 5 ms of work plus 3 carried: the frame waits only 9 ms and ends on
    // the second frame's slot as if the first had been on time.
    work_ms(5);
    frame_wait();
    EXPECT_EQ(0, skip_draw);
    EXPECT_EQ(0, pacing.lag);
    EXPECT_EQ(0, pacing.consecutive_skips);
    EXPECT_EQ(t0 + 34, pacing.last_time);

    // The third frame fills the group to 50 ms.
    frame_wait();
    EXPECT_EQ(t0 + 50, pacing.last_time);
    EXPECT_EQ(t0 + 50, pacing.group_start);
    EXPECT_EQ(0, pacing.group_index);
}

TEST_F(FrameWait, AThirdFrameLateAgainstTheGroupIsSkippedOnce) {
    uint32_t t0 = pacing.last_time;
    frame_wait();
    frame_wait();
    ASSERT_EQ(t0 + 34, pacing.last_time);
    work_ms(20);
    frame_wait();
    EXPECT_EQ(1, skip_draw);
    EXPECT_EQ(4, pacing.lag);
    EXPECT_EQ(t0 + 54, pacing.group_start);
    frame_wait();
    EXPECT_EQ(0, skip_draw);
    EXPECT_EQ(t0 + 54 + 13, pacing.last_time);
}

TEST_F(FrameWait, ACounterGoingBackwardsCountsAsExactlyOnTime) {
    work_ms(5);
    frame_wait();
    ASSERT_EQ(1, pacing.group_index);
    sleep_calls = 0;
    set_clock(pacing.last_time - 5000, 0);
    frame_wait();
    EXPECT_EQ(0, skip_draw);
    EXPECT_EQ(0, pacing.lag);
    EXPECT_EQ(0, sleep_calls);
    EXPECT_EQ(2, pacing.group_index);

    // Third frame, counter now before the group's start.
    uint32_t back = pacing.last_time;
    set_clock(back, 0);
    frame_wait();
    EXPECT_EQ(0, skip_draw);
    EXPECT_EQ(0, pacing.lag);
    EXPECT_EQ(0, pacing.group_index);

    // Pacing goes on from the new time.
    uint32_t restart = pacing.last_time;
    frame_wait();
    EXPECT_EQ(restart + 17, pacing.last_time);
    EXPECT_EQ(0, skip_draw);
}

TEST_F(FrameWait, TheCounterWrappingAroundNeitherSkipsNorStalls) {
    set_clock(0xFFFFFFFFu - 400, 0);
    frame_timer_reset();
    // test_ticks truncates to 32 bits, so the counter wraps as SDL's does.
    uint32_t previous = pacing.last_time;
    int32_t crossed = 0;
    for (int32_t frame = 0; frame < 90; frame++) {
        frame_wait();
        uint32_t period = pacing.last_time - previous;
        ASSERT_EQ(0, skip_draw) << "frame " << frame;
        ASSERT_LE(period, 17u) << "frame " << frame;
        if (pacing.last_time < previous) crossed = 1;
        previous = pacing.last_time;
    }
    EXPECT_EQ(1, crossed);
    // Well past the wrap the rhythm is the usual one again.
    frame_timer_reset();
    uint32_t start = pacing.last_time;
    for (int32_t frame = 0; frame < 30; frame++) frame_wait();
    EXPECT_EQ(500u, pacing.last_time - start);
}

// Runs 20 simulated seconds of frames that each work for work_ms and, when
// drawn, spend display_ms presenting; returns the logic frames per second and
// counts the drawings skipped.
double logic_rate(uint32_t display_ms, uint32_t work, int32_t* skipped) {
    const int32_t FRAMES = 1200;
    *skipped = 0;
    uint64_t start = clock_us;
    for (int32_t frame = 0; frame < FRAMES; frame++) {
        work_ms(work + (skip_draw ? 0 : display_ms));
        frame_wait();
        *skipped += skip_draw;
    }
    return FRAMES * 1e6 / (double)(clock_us - start);
}

TEST_F(FrameWait, ASlowDisplayKeepsTheGameAtSixtyFramesASecond) {
    // Up to 50 ms a drawing, two skipped drawings per drawn one keep up; past
    // it every third frame is drawn, and the game slows down with the display.
    for (uint32_t display = 0; display <= 70; display++) {
        frame_timer_reset();
        int32_t skipped = 0;
        double rate = logic_rate(display, 0, &skipped);
        double expected = display <= 50 ? 60.0 : 3000.0 / display;
        EXPECT_NEAR(expected, rate, expected * 0.01) << display << " ms per drawing";
        if (display < 17) {
            EXPECT_EQ(0, skipped) << display << " ms per drawing";
        }
    }
}

TEST_F(FrameWait, CoarseSleepsKeepTheGameAtSixtyFramesASecond) {
    for (int32_t on_tick = 0; on_tick <= 1; on_tick++) {
        for (uint32_t tick = 1; tick <= 10; tick++) {
            for (uint32_t work = 0; work <= 5; work++) {
                clock_granularity_us = tick * 1000;
                clock_wakes_on_tick = on_tick;
                frame_timer_reset();
                sleep_calls = 0;
                int32_t skipped = 0;
                double rate = logic_rate(0, work, &skipped);
                std::string what = "tick " + std::to_string(tick) + " ms, work " + std::to_string(work) +
                                   (on_tick ? " ms, waking on the tick" : " ms, whole ticks");
                EXPECT_NEAR(60.0, rate, 0.6) << what;
                // The overshoot is made up by shorter waits, not by skipped drawings.
                EXPECT_EQ(0, skipped) << what;
                EXPECT_LE(sleep_calls, 1200 * 3) << what;
            }
        }
    }
}

// One sleep held up far past its frame by a busy machine leaves the pacing as it was.
TEST_F(FrameWait, OneLongOversleepDoesNotStopThePacing) {
    for (uint32_t stall_ms : {20u, 40u, 200u}) {
        frame_timer_reset();
        clock_oversleep_us = stall_ms * 1000;
        frame_wait();
        clock_oversleep_us = 0;
        sleep_calls = 0;
        int32_t skipped = 0;
        EXPECT_NEAR(60.0, logic_rate(0, 0, &skipped), 0.6) << stall_ms << " ms stall";
        EXPECT_GE(sleep_calls, 1150) << "the frames still sleep after a " << stall_ms << " ms stall";
    }
}

// Drawings that fit the slot stay drawn however coarsely sleeps are rounded:
// the wait ends early rather than oversleeping into the next frame's slot.
TEST_F(FrameWait, CoarseSleepsDoNotCostDrawingsThatFitTheSlot) {
    const int32_t FRAMES = 1200;
    for (int32_t on_tick = 0; on_tick <= 1; on_tick++) {
        for (uint32_t tick = 1; tick <= 10; tick++) {
            for (uint32_t drawing = 0; drawing <= 12; drawing += 2) {
                clock_granularity_us = tick * 1000;
                clock_wakes_on_tick = on_tick;
                frame_timer_reset();
                sleep_calls = 0;
                int32_t skipped = 0;
                double rate = logic_rate(drawing, 0, &skipped);
                std::string what = "tick " + std::to_string(tick) + " ms, drawing " + std::to_string(drawing) +
                                   (on_tick ? " ms, waking on the tick" : " ms, whole ticks");
                EXPECT_NEAR(60.0, rate, 0.6) << what;
                EXPECT_GE(rate * (FRAMES - skipped) / FRAMES, 57.0) << what;
                EXPECT_LE(sleep_calls, FRAMES * 3) << what;
            }
        }
    }
}

TEST_F(FrameWait, AClockThatStoodStillOwesAtMostOneFrame) {
    clock_advances_on_sleep = 0;
    for (int32_t frame = 0; frame < 100; frame++) frame_wait();
    clock_advances_on_sleep = 1;
    uint32_t before = test_ticks();
    frame_wait();
    EXPECT_LE(test_ticks() - before, 34u);
}

// The intro runner: a table of screens of the test's own, run frame by frame
// on the test clock.
std::string runner_log;
int32_t updates_a = 0, draws_a = 0, updates_b = 0, draws_b = 0;
int32_t released_at_init = -1;
int32_t drawn_while_skipping = 0;
int32_t key_seen_after_poll = 0;

int init_a() {
    runner_log += "A.init ";
    released_at_init = button_released;
    work_ms(500);  // loading time must not count as lag
    return 0;
}
int exit_a() {
    runner_log += "A.exit ";
    return 0;
}
int update_a() {
    updates_a += 1;
    if (updates_a == 2) {
        SDL_Event event = {};
        event.type = SDL_QUIT;
        SDL_PushEvent(&event);
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = SDLK_x;
        SDL_PushEvent(&event);
    }
    if (updates_a == 3 && last_key == SDLK_x) key_seen_after_poll = 1;
    return updates_a >= 5;
}
int draw_a(SDL_Surface* surface) {
    if (surface == frame_surface) draws_a += 1;
    if (skip_draw) drawn_while_skipping += 1;
    return 0;
}
int init_b() {
    runner_log += "B.init ";
    return 0;
}
int exit_b() {
    runner_log += "B.exit ";
    return 0;
}
int update_b() {
    updates_b += 1;
    return updates_b >= 9;
}
int draw_b(SDL_Surface*) {
    draws_b += 1;
    if (skip_draw) drawn_while_skipping += 1;
    work_ms(30);  // a slow drawing: the frame after it is not drawn
    return 0;
}

const IntroScreen RUNNER_TABLE[] = {
    {"a", init_a, exit_a, update_a, draw_a},
    {"b", init_b, exit_b, update_b, draw_b},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

class IntroRunner : public FrameWait {
   protected:
    void SetUp() override {
        // Stopping a replay puts back the real clock: do it before installing the test's.
        replay_stop();
        FrameWait::SetUp();
        ASSERT_EQ(0, SDL_Init(SDL_INIT_VIDEO));
        reset_video_settings();
        scale_mode = SCALE_NONE;
        ASSERT_NE(nullptr, video_init());
        runner_log.clear();
        updates_a = draws_a = updates_b = draws_b = 0;
        released_at_init = -1;
        drawn_while_skipping = 0;
        key_seen_after_poll = 0;
        escape_or_close = 0;
        buttons_held = 0;
        button_released = BTN_START;
    }
    void TearDown() override {
        frame_surface = nullptr;
        display_surface = nullptr;
        reset_video_settings();
        escape_or_close = 0;
        SDL_Quit();
        FrameWait::TearDown();
    }
};

TEST_F(IntroRunner, RunsEachScreenToItsOwnEndInTableOrder) {
    run_screen_table(RUNNER_TABLE, 0);
    EXPECT_EQ("A.init A.exit B.init B.exit ", runner_log);
    EXPECT_EQ(0, released_at_init);
    // The frame that finishes a screen is not drawn; the loading time in
    // init is not counted against the first frames.
    EXPECT_EQ(5, updates_a);
    EXPECT_EQ(4, draws_a);
    // Events are polled after each frame, and the quit request did not
    // shorten either screen.
    EXPECT_EQ(1, key_seen_after_poll);
    EXPECT_EQ(1, escape_or_close);
    EXPECT_EQ(9, updates_b);
    // Each slow drawing makes the next frame skip its drawing.
    EXPECT_EQ(4, draws_b);
    EXPECT_EQ(0, drawn_while_skipping);
}

TEST_F(IntroRunner, StartsAtTheGivenIndexAndIgnoresOneOutsideTheTable) {
    run_screen_table(RUNNER_TABLE, 1);
    EXPECT_EQ("B.init B.exit ", runner_log);
    EXPECT_EQ(0, updates_a);
    runner_log.clear();
    run_screen_table(RUNNER_TABLE, 2);
    run_screen_table(RUNNER_TABLE, 3);
    run_screen_table(RUNNER_TABLE, -1);
    EXPECT_EQ("", runner_log);
}

}  // namespace
