// The replay text form and the headless level runner.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "floob.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "shell/replay.h"
#include "support/levels.h"
#include "support/support.h"

namespace {

TEST(ReplayText, ParsesRunsLettersQuitMarksAndComments) {
    const char* text =
        "# a comment\n"
        "\n"
        "3 R -\n"
        "  2 UJ J\n"
        "1 - S Q\r\n"
        "1 DLPS P";
    ReplayFrame frames[16];
    ASSERT_EQ(7, replay_parse(text, frames, 16));
    EXPECT_EQ(BTN_RIGHT, frames[0].held);
    EXPECT_EQ(0, frames[2].released);
    EXPECT_EQ(BTN_UP | BTN_JUMP, frames[3].held);
    EXPECT_EQ(BTN_JUMP, frames[4].released);
    EXPECT_EQ(0, frames[4].quit);
    EXPECT_EQ(0, frames[5].held);
    EXPECT_EQ(BTN_START, frames[5].released);
    EXPECT_EQ(1, frames[5].quit);
    EXPECT_EQ(BTN_DOWN | BTN_LEFT | BTN_PAUSE | BTN_START, frames[6].held);
    EXPECT_EQ(BTN_PAUSE, frames[6].released);
    EXPECT_EQ(7, replay_parse(text, nullptr, 0)) << "null frames only counts";
}

TEST(ReplayText, RefusesMalformedLinesAndOverflow) {
    ReplayFrame frames[4];
    const char* bad[] = {"0 R -\n",         "x R -\n",   "3 X -\n",  "3 R RL\n",       "3 R\n",
                         "3 R - Q extra\n", "3 R - q\n", "-1 R -\n", "99999999 R -\n", "2 R -\n3 - -\n"};
    for (const char* text : bad) EXPECT_EQ(-1, replay_parse(text, frames, 4)) << text;
    EXPECT_EQ(-1, replay_parse(nullptr, frames, 4));
    EXPECT_EQ(0, replay_parse("# nothing\n\n", frames, 4));
}

TEST(ReplayText, WriteThenParseGivesTheSameFramesInFewLines) {
    TempDir dir;
    static ReplayFrame original[600];
    for (int i = 0; i < 600; i++) {
        original[i].held = (uint8_t)(i < 300 ? BTN_RIGHT : BTN_RIGHT | BTN_JUMP);
        original[i].released = (uint8_t)(i == 450 ? BTN_PAUSE : 0);
        original[i].quit = (uint8_t)(i == 599);
    }
    ASSERT_EQ(1, replay_write("run.txt", original, 600));
    std::string text = read_file("run.txt");
    int lines = 0;
    for (char c : text) lines += c == '\n';
    EXPECT_LE(lines, 6) << text;
    static ReplayFrame back[600];
    ASSERT_EQ(600, replay_parse(text.c_str(), back, 600));
    for (int i = 0; i < 600; i++) {
        ASSERT_EQ(original[i].held, back[i].held) << i;
        ASSERT_EQ(original[i].released, back[i].released) << i;
        ASSERT_EQ(original[i].quit, back[i].quit) << i;
    }
    EXPECT_EQ(0, replay_write("no-such-dir/run.txt", original, 600));
}

TEST(ReplayPlayback, HandsOutFramesThenLetsEveryScreenGo) {
    ReplayFrame frames[2] = {{BTN_LEFT, 0, 0}, {0, BTN_JUMP, 1}};
    escape_or_close = 0;
    replay_start(frames, 2);
    int32_t held = -1, released = -1;
    ASSERT_EQ(1, replay_poll(&held, &released));
    EXPECT_EQ(BTN_LEFT, held);
    EXPECT_EQ(0, released);
    EXPECT_EQ(0, escape_or_close);
    EXPECT_EQ(0, replay_exhausted());
    ASSERT_EQ(1, replay_poll(&held, &released));
    EXPECT_EQ(BTN_JUMP, released);
    EXPECT_EQ(1, escape_or_close);
    EXPECT_EQ(1, replay_exhausted());
    escape_or_close = 0;
    ASSERT_EQ(1, replay_poll(&held, &released));
    EXPECT_EQ(0, held);
    EXPECT_EQ(1, escape_or_close);
    int32_t first = released;
    replay_poll(&held, &released);
    EXPECT_NE(first, released);
    EXPECT_TRUE((first == BTN_START && released == BTN_RIGHT) || (first == BTN_RIGHT && released == BTN_START));
    EXPECT_EQ(2, replay_position());
    replay_stop();
    escape_or_close = 0;
    EXPECT_EQ(0, replay_poll(&held, &released));
}

TEST(ReplayPlayback, SimulatedClockNeverSkipsDrawing) {
    replay_start(nullptr, 0);
    frame_timer_reset();
    for (int i = 0; i < 30; i++) {
        frame_wait();
        ASSERT_EQ(0, skip_draw) << i;
    }
    replay_stop();
}

// A level of 40 columns: floor, start at x 32, the exit at column 30, and
// optionally one emerald on the way.
std::string runner_level(int emerald) {
    LevelBytes level = floor_level();
    if (emerald) level.set(12, 10, CODE_EMERALD);
    level.put_exit(30, 10);
    return level.text();
}

TEST(ReplayRunner, ProvesTheExitIsReachedAndReportsWhatWasLeft) {
    TempDir dir(true);
    ASSERT_EQ(0, mkdir("maps", 0755));
    ASSERT_TRUE(write_file("maps/test.bin", runner_level(1)));
    static ReplayFrame frames[800];
    int32_t n = replay_parse("181 - -\n600 R -\n", frames, 800);
    ReplayOutcome out = {};
    ASSERT_EQ(1, replay_run_test_level(frames, n, &out));
    EXPECT_EQ(1, out.finished);
    EXPECT_EQ(LOOP_END_EXIT_REACHED, out.end_reason);
    EXPECT_EQ(0, out.emeralds_left);
    EXPECT_EQ(0, out.lives_lost);
    EXPECT_EQ(1, out.points);
    EXPECT_LT(out.frames_used, n);
    EXPECT_GT(out.frames_used, 181 + 140);
    EXPECT_EQ(0, replay_active()) << "the runner removes its replay";

    n = replay_parse("181 - -\n100 - -\n", frames, 800);
    ASSERT_EQ(1, replay_run_test_level(frames, n, &out));
    EXPECT_EQ(0, out.finished);
    EXPECT_EQ(LOOP_END_INPUT_EXHAUSTED, out.end_reason);
    EXPECT_EQ(1, out.emeralds_left);
    EXPECT_EQ(n, out.frames_used);
}

}  // namespace
