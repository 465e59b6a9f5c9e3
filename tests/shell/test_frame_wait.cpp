// Frame pacing driven by a clock the test controls: the clock counts
// microseconds, hands out whole milliseconds like SDL_GetTicks, and a sleep
// advances it by the time asked plus a small oversleep.
#include <gtest/gtest.h>

#include "shell/frame.h"

namespace {

uint64_t clock_us = 0;
uint32_t clock_oversleep_us = 0;
int32_t clock_advances_on_sleep = 1;
int32_t sleep_calls = 0;
uint64_t slept_us = 0;

uint32_t test_ticks() { return (uint32_t)(clock_us / 1000); }

void test_sleep(uint32_t microseconds) {
    sleep_calls += 1;
    slept_us += microseconds;
    if (clock_advances_on_sleep) clock_us += microseconds + clock_oversleep_us;
}

void work_ms(uint32_t ms) { clock_us += (uint64_t)ms * 1000; }

// Puts the clock at the given tick plus a fraction of a millisecond.
void set_clock(uint32_t ticks, uint32_t extra_us) { clock_us = (uint64_t)ticks * 1000 + extra_us; }

class FrameWait : public ::testing::Test {
   protected:
    void SetUp() override {
        clock_oversleep_us = 60;
        clock_advances_on_sleep = 1;
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
    EXPECT_EQ(777777u, last_time);
    EXPECT_EQ(777777u, group_start);
    EXPECT_EQ(0, skip_draw);
    EXPECT_EQ(0, group_index);
    EXPECT_EQ(0, lag);
    EXPECT_EQ(0, consecutive_skips);
}

TEST_F(FrameWait, IdleFramesKeepTheSeventeenSeventeenSixteenRhythm) {
    static const uint32_t RHYTHM[3] = {17, 17, 16};
    // Start in the middle of a millisecond so rounding of the counter shows.
    set_clock(100000, 730);
    frame_timer_reset();
    uint32_t start = last_time;
    uint32_t previous = start;
    for (int32_t frame = 0; frame < 600; frame++) {
        frame_wait();
        ASSERT_EQ(RHYTHM[frame % 3], last_time - previous) << "frame " << frame;
        ASSERT_EQ(0, skip_draw) << "frame " << frame;
        previous = last_time;
    }
    // 600 frames are exactly 10 seconds: no drift from oversleeping.
    EXPECT_EQ(10000u, last_time - start);
}

TEST_F(FrameWait, WorkInsideTheBudgetDoesNotChangeTheRhythm) {
    uint32_t start = last_time;
    for (int32_t frame = 0; frame < 300; frame++) {
        work_ms((uint32_t)(frame * 7) % 16);
        frame_wait();
        ASSERT_EQ(0, skip_draw) << "frame " << frame;
        if (group_index == 0) {
            ASSERT_EQ(0u, (last_time - start) % 50) << "frame " << frame;
        }
    }
    EXPECT_EQ(5000u, last_time - start);
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
        uint32_t start = group_start;
        for (int32_t frame = 0; frame < 3; frame++) {
            frame_wait();
            ASSERT_EQ(0, skip_draw);
        }
        uint32_t length = group_start - start;
        EXPECT_GE(length, 50u) << "group " << group;
        EXPECT_LE(length, 51u) << "group " << group;
    }
}

TEST_F(FrameWait, AStoppedClockDoesNotHoldTheGame) {
    clock_advances_on_sleep = 0;
    frame_wait();
    EXPECT_GT(sleep_calls, 0);
    EXPECT_LE(sleep_calls, 64);
    EXPECT_EQ(1, group_index);
}

TEST_F(FrameWait, ALongFrameSkipsTwoDrawingsThenDrawsHoweverLate) {
    uint32_t t0 = last_time;
    work_ms(30);
    frame_wait();
    EXPECT_EQ(1, skip_draw);
    EXPECT_EQ(13, lag);
    EXPECT_EQ(1, consecutive_skips);
    EXPECT_EQ(0, sleep_calls);

    work_ms(20);
    frame_wait();
    EXPECT_EQ(1, skip_draw);
    EXPECT_EQ(16, lag);
    EXPECT_EQ(2, consecutive_skips);

    work_ms(20);
    frame_wait();
    EXPECT_EQ(0, skip_draw);
    EXPECT_EQ(0, lag);
    EXPECT_EQ(0, consecutive_skips);
    EXPECT_EQ(0, sleep_calls);
    EXPECT_EQ(t0 + 70, last_time);
    EXPECT_EQ(last_time, group_start);

    // The next group starts afresh: an idle frame waits its 17 ms again.
    frame_wait();
    EXPECT_EQ(0, skip_draw);
    EXPECT_EQ(t0 + 87, last_time);
}

TEST_F(FrameWait, LagIsCarriedIntoTheNextFrameAndThenCleared) {
    uint32_t t0 = last_time;
    work_ms(20);
    frame_wait();
    EXPECT_EQ(1, skip_draw);
    EXPECT_EQ(3, lag);
    EXPECT_EQ(t0 + 20, last_time);

    // 5 ms of work plus 3 carried: the frame waits only 9 ms and ends on
    // the second frame's slot as if the first had been on time.
    work_ms(5);
    frame_wait();
    EXPECT_EQ(0, skip_draw);
    EXPECT_EQ(0, lag);
    EXPECT_EQ(0, consecutive_skips);
    EXPECT_EQ(t0 + 34, last_time);

    // The third frame fills the group to 50 ms.
    frame_wait();
    EXPECT_EQ(t0 + 50, last_time);
    EXPECT_EQ(t0 + 50, group_start);
    EXPECT_EQ(0, group_index);
}

TEST_F(FrameWait, AThirdFrameLateAgainstTheGroupIsSkippedOnce) {
    uint32_t t0 = last_time;
    frame_wait();
    frame_wait();
    ASSERT_EQ(t0 + 34, last_time);
    work_ms(20);
    frame_wait();
    EXPECT_EQ(1, skip_draw);
    EXPECT_EQ(4, lag);
    EXPECT_EQ(t0 + 54, group_start);
    frame_wait();
    EXPECT_EQ(0, skip_draw);
    EXPECT_EQ(t0 + 54 + 13, last_time);
}

TEST_F(FrameWait, ACounterGoingBackwardsCountsAsExactlyOnTime) {
    work_ms(5);
    frame_wait();
    ASSERT_EQ(1, group_index);
    sleep_calls = 0;
    set_clock(last_time - 5000, 0);
    frame_wait();
    EXPECT_EQ(0, skip_draw);
    EXPECT_EQ(0, lag);
    EXPECT_EQ(0, sleep_calls);
    EXPECT_EQ(2, group_index);

    // Third frame, counter now before the group's start.
    uint32_t back = last_time;
    set_clock(back, 0);
    frame_wait();
    EXPECT_EQ(0, skip_draw);
    EXPECT_EQ(0, lag);
    EXPECT_EQ(0, group_index);

    // Pacing goes on from the new time.
    uint32_t restart = last_time;
    frame_wait();
    EXPECT_EQ(restart + 17, last_time);
    EXPECT_EQ(0, skip_draw);
}

TEST_F(FrameWait, TheCounterWrappingAroundNeitherSkipsNorStalls) {
    set_clock(0xFFFFFFFFu - 400, 0);
    frame_timer_reset();
    // test_ticks truncates to 32 bits, so the counter wraps as SDL's does.
    uint32_t previous = last_time;
    int32_t crossed = 0;
    for (int32_t frame = 0; frame < 90; frame++) {
        frame_wait();
        uint32_t period = last_time - previous;
        ASSERT_EQ(0, skip_draw) << "frame " << frame;
        ASSERT_LE(period, 17u) << "frame " << frame;
        if (last_time < previous) crossed = 1;
        previous = last_time;
    }
    EXPECT_EQ(1, crossed);
    // Well past the wrap the rhythm is the usual one again.
    frame_timer_reset();
    uint32_t start = last_time;
    for (int32_t frame = 0; frame < 30; frame++) frame_wait();
    EXPECT_EQ(500u, last_time - start);
}

}  // namespace
