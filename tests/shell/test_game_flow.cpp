// The master loop driven through its real frames by replays: get-ready, the
// pause menu, the quit question, deaths, game over and quitting.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "compile.h"
#include "floob.h"
#include "gfx/video.h"
#include "shell/controls.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "shell/replay.h"
#include "support/levels.h"
#include "support/support.h"
#include "world/level.h"

namespace {

enum { SPIKES = 105, POST = 17, MAX_SNAPS = 20000 };

// A data directory with the built images, sounds and music and our own maps:
// floob200 (the title) and floob201 are given, the other levels are plain floors;
// maps/test.bin holds level 1 too.
void make_data(const std::string& title, const std::string& level1) {
    make_data_with_levels({title, level1, plain_floor_level()});
    ASSERT_EQ(0, mkdir("maps", 0755));
    ASSERT_TRUE(write_file("maps/test.bin", level1));
}

struct Snap {
    int32_t level, frame, x, y, alive, dying, paused, menu, quit, lives, points, checkpoint;
};

Snap snaps[MAX_SNAPS];
int32_t snap_count = 0;

void observe(int32_t position) {
    if (position < 0 || position >= MAX_SNAPS) return;
    snaps[position] = {current_level, level_frame,  world.hero.x, world.hero.y, world.hero.alive, world.hero.dying,
                       paused,        pause_cursor, quit_request, lives,        points,           checkpoint_reached};
    if (position + 1 > snap_count) snap_count = position + 1;
}

ReplayFrame frames[MAX_SNAPS];

// From the title: start, NEW GAME, through the opening story into level 1.
const char* TITLE_TO_LEVEL1 = "2 - -\n1 - S\n2 - -\n1 - S\n2 - -\n1 - S\n3 - -\n";

int32_t run_script(const std::string& text, int32_t test) {
    int32_t n = replay_parse(text.c_str(), frames, MAX_SNAPS);
    EXPECT_GT(n, 0);
    if (n <= 0 || !replay_open_game()) return -1;
    snap_count = 0;
    escape_or_close = 0;
    test_mode = test;
    replay_set_observer(observe);
    replay_start(frames, n);
    game_loop(test);
    int32_t used = replay_position();
    replay_set_observer(nullptr);
    replay_stop();
    escape_or_close = 0;
    quit_request = 0;
    return used;
}

// First observed poll at or after from in which the condition holds, or -1.
template <typename F>
int32_t find_snap(int32_t from, F condition) {
    for (int32_t i = from; i < snap_count; i++)
        if (condition(snaps[i])) return i;
    return -1;
}

int32_t first_play_frame(int32_t level) {
    return find_snap(0, [level](const Snap& s) { return s.level == level && s.frame == 0 && s.alive == 1; });
}

class GameFlow : public ::testing::Test {
   protected:
    TempDir dir;
    void SetUp() override {
        apply_default_bindings();
        up2jump = 0;
        LevelBytes level = floor_level();
        level.put_exit(30, 10);
        make_data(plain_floor_level(), level.text());
    }
    void TearDown() override { apply_default_bindings(); }
};

TEST_F(GameFlow, StartSkipsGetReadyOnPlayLevelAndWorldStandsStillBefore) {
    run_script(std::string(TITLE_TO_LEVEL1) + "10 R -\n1 R S\n30 R -\n", 0);
    int32_t p0 = first_play_frame(1);
    ASSERT_GE(p0, 0) << "level 1 never started";
    int32_t skip = find_snap(p0, [](const Snap& s) { return s.frame == 181; });
    ASSERT_GT(skip, p0);
    EXPECT_LT(skip - p0, 20) << "start did not cut the get-ready phase short";
    EXPECT_EQ(32, snaps[skip].x) << "the hero moved during get-ready";
    EXPECT_EQ(36, snaps[skip + 2].x);
}

TEST_F(GameFlow, StartDoesNotSkipGetReadyInTestMode) {
    run_script("10 R -\n1 R S\n180 R -\n5 R -\n", 1);
    ASSERT_GT(snap_count, 190);
    EXPECT_EQ(-1, snaps[0].level);
    EXPECT_EQ(11, snaps[11].frame);
    EXPECT_EQ(32, snaps[181].x) << "input during get-ready must be thrown away";
    EXPECT_EQ(181, snaps[181].frame);
    EXPECT_EQ(34, snaps[182].x);
}

TEST_F(GameFlow, PauseMenuMovesChoosesAndFreezesTheWorld) {
    run_script(
        std::string(TITLE_TO_LEVEL1) + "1 - S\n5 R -\n1 R P\n3 R -\n1 - D\n1 - D\n1 - U\n1 - L\n1 - P\n1 - J\n3 R -\n",
        0);
    int32_t p = find_snap(0, [](const Snap& s) { return s.level == 1 && s.paused == 1; });
    ASSERT_GE(p, 0) << "pause never opened";
    EXPECT_EQ(2, snaps[p].menu) << "the menu opens on GO ON";
    EXPECT_EQ(snaps[p].x, snaps[p + 3].x) << "the world moved while paused";
    EXPECT_EQ(3, snaps[p + 4].menu);
    EXPECT_EQ(1, snaps[p + 5].menu) << "down from EXIT wraps to SUICIDE";
    EXPECT_EQ(3, snaps[p + 6].menu) << "up from SUICIDE wraps to EXIT";
    EXPECT_EQ(2, snaps[p + 7].menu);
    EXPECT_EQ(1, snaps[p + 8].paused) << "pause does not close the menu";
    EXPECT_EQ(0, snaps[p + 9].paused) << "jump chooses when it is not the up key";
    EXPECT_EQ(0, snaps[p + 9].menu);
    EXPECT_EQ(1, snaps[p + 9].alive);
    EXPECT_GT(snaps[p + 11].x, snaps[p + 9].x);
}

TEST_F(GameFlow, JumpOnTheUpKeyMovesThePauseCursorAndExitAsksToQuit) {
    // The first start-up of the process puts the default bindings in place.
    ASSERT_TRUE(replay_open_game());
    k_jump = k_up;
    run_script(std::string(TITLE_TO_LEVEL1) + "1 - S\n2 - -\n1 - P\n1 - J\n1 - J\n1 - S\n2 - -\n1 - R\n3 - -\n", 0);
    int32_t p = find_snap(0, [](const Snap& s) { return s.level == 1 && s.paused == 1; });
    ASSERT_GE(p, 0);
    EXPECT_EQ(1, snaps[p + 1].menu) << "jump moves up like the up key";
    EXPECT_EQ(1, snaps[p + 1].paused);
    EXPECT_EQ(3, snaps[p + 2].menu);
    EXPECT_EQ(1, snaps[p + 3].quit) << "EXIT raises the quit question";
    int32_t back = find_snap(p + 3, [](const Snap& s) { return s.quit == 0; });
    ASSERT_GT(back, 0);
    EXPECT_EQ(1, snaps[back].level) << "answering no keeps the level going";
    EXPECT_EQ(1, snaps[back].alive);
}

TEST_F(GameFlow, QuitQuestionNoResumesYesGoesToTitleAndEscapeThereEndsTheProgram) {
    std::string script = std::string(TITLE_TO_LEVEL1) + "1 - S\n5 R -\n1 R - Q\n3 R -\n1 - R\n3 R -\n1 - - Q\n2 - -\n" +
                         "1 - L\n10 - -\n1 - - Q\n5 - -\n";
    int32_t total = replay_parse(script.c_str(), nullptr, 0);
    int32_t used = run_script(script, 0);
    int32_t q = find_snap(0, [](const Snap& s) { return s.level == 1 && s.quit == 1; });
    ASSERT_GE(q, 0);
    EXPECT_EQ(snaps[q].x, snaps[q + 3].x) << "nothing moves while the question waits";
    EXPECT_EQ(snaps[q].frame, snaps[q + 3].frame);
    EXPECT_EQ(0, snaps[q + 4].quit) << "right answers no";
    EXPECT_EQ(1, snaps[q + 4].level);
    int32_t q2 = find_snap(q + 4, [](const Snap& s) { return s.quit == 1; });
    ASSERT_GT(q2, q);
    int32_t title = find_snap(q2, [](const Snap& s) { return s.level == 0; });
    ASSERT_GT(title, q2) << "left answers yes and brings up the title";
    EXPECT_EQ(0, snaps[title].points);
    EXPECT_EQ(6, snaps[title].lives);
    EXPECT_EQ(LOOP_END_QUIT, loop_end_reason);
    EXPECT_LT(used, total) << "the loop should end on Escape, not by running out of input";
}

// The play area (rows 0 to 191) of each quit question as it was shown.
std::vector<std::string> questions;
int32_t question_up = 0;

void observe_questions(int32_t position) {
    observe(position);
    if (quit_request && !question_up && frame_surface) {
        const char* pixels = static_cast<const char*>(frame_surface->pixels);
        questions.emplace_back(pixels, (size_t)frame_surface->pitch * 192);
    }
    question_up = quit_request;
}

TEST_F(GameFlow, ASecondQuitRequestAnswersTheQuitQuestionYes) {
    // LEFT unbound (a damaged configuration line) must not leave the question unanswerable.
    std::string script = std::string(TITLE_TO_LEVEL1) + "1 - S\n5 R -\n1 R - Q\n3 - -\n1 - - Q\n3 - -\n";
    int32_t total = replay_parse(script.c_str(), nullptr, 0);
    int32_t used = run_script(script + "1 - - Q\n200 - -\n", 0);
    int32_t q = find_snap(0, [](const Snap& s) { return s.level == 1 && s.quit == 1; });
    ASSERT_GE(q, 0);
    int32_t title = find_snap(q, [](const Snap& s) { return s.level == 0; });
    ASSERT_GT(title, q) << "the second Escape did not answer yes";
    EXPECT_LE(title, total) << "the question was answered only when the input ran out";
    EXPECT_LT(used, total + 10) << "Escape on the title ends the program";
}

TEST_F(GameFlow, QuitQuestionHidesThePauseMenuAndNoGoesBackToIt) {
    questions.clear();
    question_up = 0;
    std::string script =
        std::string(TITLE_TO_LEVEL1) +
        "1 - S\n5 - -\n1 - P\n3 - -\n1 - - Q\n3 - -\n1 - R\n3 - -\n1 - S\n1 - - Q\n3 - -\n1 - R\n5 - -\n";
    int32_t frames_read = replay_parse(script.c_str(), frames, MAX_SNAPS);
    ASSERT_GT(frames_read, 0);
    ASSERT_TRUE(replay_open_game());
    snap_count = 0;
    escape_or_close = 0;
    test_mode = 0;
    replay_set_observer(observe_questions);
    replay_start(frames, frames_read);
    game_loop(0);
    replay_set_observer(nullptr);
    replay_stop();
    escape_or_close = 0;
    quit_request = 0;

    int32_t asked = find_snap(0, [](const Snap& s) { return s.paused == 1 && s.quit == 1; });
    ASSERT_GE(asked, 0) << "the question never came up over the pause menu";
    int32_t back = find_snap(asked, [](const Snap& s) { return s.quit == 0; });
    ASSERT_GT(back, asked);
    EXPECT_EQ(1, snaps[back].paused) << "no must go back to the pause menu";
    EXPECT_EQ(2, snaps[back].menu);
    // The world stood still, so the question over the pause menu must look
    // exactly like the one asked in play right after it.
    ASSERT_EQ(2u, questions.size());
    EXPECT_TRUE(questions[0] == questions[1]) << "the pause menu shows through the quit question";
}

TEST_F(GameFlow, EscapeDuringGetReadyIsNoticedAtFrame181AfterOneUpdate) {
    run_script(std::string(TITLE_TO_LEVEL1) + "50 R -\n1 R - Q\n200 R -\n1 - L\n", 0);
    int32_t p0 = first_play_frame(1);
    ASSERT_GE(p0, 0);
    int32_t q = find_snap(p0, [](const Snap& s) { return s.quit == 1; });
    ASSERT_GT(q, p0);
    EXPECT_EQ(181, snaps[q].frame);
    EXPECT_EQ(34, snaps[q].x) << "frame 181 still runs one world update";
}

TEST_F(GameFlow, DeathRestartsAtTheCheckpoint) {
    LevelBytes level = floor_level();
    level.set(10, 10, POST);
    level.set(16, 10, SPIKES);
    ASSERT_TRUE(write_file("maps/test.bin", level.text()));
    run_script("181 - -\n600 R -\n", 1);
    int32_t hop = find_snap(0, [](const Snap& s) { return s.dying == 1; });
    ASSERT_GE(hop, 0) << "the spikes never killed the hero";
    EXPECT_EQ(1, snaps[hop].checkpoint);
    int32_t again = find_snap(hop, [](const Snap& s) { return s.lives == 5 && s.frame == 0 && s.alive == 1; });
    ASSERT_GT(again, hop);
    EXPECT_EQ(160, snaps[again].x) << "the life restarts at the post";
    EXPECT_EQ(160, snaps[again].y);
}

TEST_F(GameFlow, SuicideSixTimesEndsInGameOverThenTheTitle) {
    // Start cuts get-ready short, pause, up to SUICIDE, choose, then start again
    // to hurry the hop, which then still takes some 33 frames from y 2500.
    std::string life = "1 - -\n1 - S\n1 - P\n1 - U\n1 - S\n1 - S\n40 - -\n";
    std::string script = std::string(TITLE_TO_LEVEL1);
    for (int i = 0; i < 6; i++) script += life;
    script += "3 - -\n1 - S\n3 - -\n1 - R\n5 - -\n1 - - Q\n";
    run_script(script, 0);
    EXPECT_EQ(6, loop_lives_lost);
    int32_t over = find_snap(0, [](const Snap& s) { return s.level == 1 && s.lives == 0; });
    ASSERT_GE(over, 0) << "game over never came";
    int32_t title = find_snap(over, [](const Snap& s) { return s.level == 0; });
    EXPECT_GT(title, over) << "no on the continue question goes to the title";
    if (title > 0) {
        EXPECT_EQ(6, snaps[title].lives);
    }
}

TEST_F(GameFlow, NoPauseMenuInTestMode) {
    run_script("181 - -\n1 - P\n1 - S\n20 R -\n", 1);
    ASSERT_GT(snap_count, 190);
    EXPECT_EQ(0, snaps[183].paused) << "pause needs a level above 0";
    EXPECT_GT(snaps[190].x, snaps[183].x);
}

}  // namespace
