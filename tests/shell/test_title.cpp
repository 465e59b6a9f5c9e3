// The title screen through the real loop: "PRESS START", the main menu's
// cursor and choices, the high-score view and the scroller.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "compile.h"
#include "floob.h"
#include "shell/controls.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "shell/replay.h"
#include "shell/title.h"
#include "storage/savegame.h"
#include "support/support.h"
#include "world/level.h"

namespace {

TitleState& title = title_state();

enum { MAX_SNAPS = 4000 };

void make_data() { make_data_with_maps(plain_floor_level()); }

struct Snap {
    int32_t level, menu, highlighted, camera, offset, pixel, frame;
};

Snap snaps[MAX_SNAPS];
int32_t snap_count = 0;

void observe(int32_t position) {
    if (position < 0 || position >= MAX_SNAPS) return;
    snaps[position] = {current_level,         menu_state,           highlighted_entry, camera_x,
                       title.scroller_offset, title.scroller_pixel, level_frame};
    snap_count = position + 1;
}

ReplayFrame frames[MAX_SNAPS];

const char* QUIT = "1 - - Q\n20 - -\n";

class Title : public ::testing::Test {
   protected:
    TempDir dir;
    int32_t total = 0;
    void SetUp() override {
        make_data();
        apply_default_bindings();
        up2jump = 0;
    }
    void TearDown() override {
        replay_set_observer(nullptr);
        replay_stop();
        apply_default_bindings();
        quit_signal = 0;
        quit_request = 0;
    }
    int32_t run(const std::string& text, void (*before_loop)() = nullptr) {
        total = replay_parse(text.c_str(), frames, MAX_SNAPS);
        EXPECT_GT(total, 0);
        if (total <= 0 || !replay_open_game()) return -1;
        if (before_loop) before_loop();
        snap_count = 0;
        quit_signal = 0;
        test_mode = 0;
        replay_set_observer(observe);
        replay_start(frames, total);
        game_loop(0);
        int32_t used = replay_position();
        replay_set_observer(nullptr);
        replay_stop();
        quit_signal = 0;
        quit_request = 0;
        return used;
    }
};

bool file_exists(const char* path) { return access(path, F_OK) == 0; }

TEST_F(Title, FirstActionPutsTheCursorOnNewGameWithoutASave) {
    run(std::string("3 - -\n1 - S\n3 - -\n") + QUIT);
    EXPECT_EQ(0, snaps[3].menu);
    EXPECT_EQ(1, snaps[6].menu);
    EXPECT_FALSE(file_exists("savegame.dat"));
}

TEST_F(Title, FirstActionPutsTheCursorOnContinueWithASave) {
    current_level = 4;
    saved_level = save_game_write(current_level - 1);
    ASSERT_TRUE(file_exists("savegame.dat"));
    run(std::string("3 - -\n1 - P\n3 - -\n") + QUIT);
    EXPECT_EQ(3, saved_level);
    EXPECT_EQ(2, snaps[6].menu);
}

TEST_F(Title, UpOnPressStartSelectsExitAndOneMoreActionEndsTheProgram) {
    int32_t used = run("3 - -\n1 - U\n3 - -\n1 - J\n30 - -\n");
    EXPECT_EQ(5, snaps[4].menu);
    EXPECT_EQ(LOOP_END_QUIT, loop_end_reason);
    EXPECT_LT(used, total) << "EXIT ends the program without waiting for more input";
    EXPECT_EQ(0, snaps[snap_count - 1].level);
}

TEST_F(Title, MainMenuCursorWrapsAndLeftAndRightMoveItToo) {
    run(std::string("3 - -\n1 - D\n1 - U\n1 - L\n1 - R\n1 - R\n1 - D\n1 - D\n1 - D\n1 - D\n1 - D\n1 - U\n2 - -\n") +
        QUIT);
    std::vector<int32_t> cursor;
    for (int32_t i = 4; i <= 14; i++) cursor.push_back(snaps[i].menu);
    EXPECT_EQ((std::vector<int32_t>{1, 5, 4, 5, 1, 2, 3, 4, 5, 1, 5}), cursor);
}

TEST_F(Title, HiscoresViewLeavesOnStartPauseOrJumpButNotOnJumpWhenItIsTheUpKey) {
    // Polls 3 and 9 choose: start opens the menu, then HISCORES (3) opens the view.
    std::string to_view = "3 - -\n1 - S\n3 - -\n1 - D\n1 - D\n1 - S\n3 - -\n";
    run(to_view + "1 - D\n1 - L\n1 - J\n3 - -\n1 - S\n3 - -\n1 - P\n3 - -\n" + QUIT);
    EXPECT_EQ(-3, snaps[10].menu);
    EXPECT_EQ(-3, snaps[15].menu) << "directions do nothing on the view";
    EXPECT_EQ(3, snaps[16].menu) << "jump goes back to the menu on HISCORES";
    EXPECT_EQ(-1, snaps[16].highlighted);
    EXPECT_EQ(-3, snaps[20].menu) << "start on HISCORES opens the view again";
    EXPECT_EQ(3, snaps[24].menu) << "pause leaves it";

    run(to_view + "1 - J\n3 - -\n1 - P\n3 - -\n" + QUIT, [] { k_jump = k_up; });
    EXPECT_EQ(-3, snaps[10].menu);
    EXPECT_EQ(-3, snaps[14].menu) << "jump on the up key is up, which the view ignores";
    EXPECT_EQ(3, snaps[18].menu);
}

TEST_F(Title, JumpOnTheUpKeyMovesTheMainMenuCursorUp) {
    run(std::string("3 - -\n1 - S\n3 - -\n1 - J\n1 - J\n3 - -\n") + QUIT, [] { k_jump = k_up; });
    EXPECT_EQ(1, snaps[7].menu);
    EXPECT_EQ(5, snaps[8].menu);
    EXPECT_EQ(4, snaps[9].menu);
}

TEST_F(Title, CameraAndScrollerAdvanceOnTheTitleButTheScrollerStopsOnTheOptions) {
    run(std::string("40 - -\n1 - S\n3 - -\n1 - U\n1 - U\n1 - S\n40 - -\n") + QUIT);
    // Every title frame moves the camera one pixel and the scroller one pixel step.
    for (int32_t i = 1; i < 40; i++) {
        EXPECT_EQ(snaps[i - 1].camera + 1, snaps[i].camera) << i;
        int32_t steps_before = snaps[i - 1].offset * 16 + snaps[i - 1].pixel;
        EXPECT_EQ(steps_before + 1, snaps[i].offset * 16 + snaps[i].pixel) << i;
    }
    EXPECT_EQ(0, snaps[0].offset);
    EXPECT_EQ(2, snaps[33].offset);
    EXPECT_EQ(1, snaps[33].pixel);
    int32_t options = -1;
    for (int32_t i = 0; i < snap_count; i++)
        if (snaps[i].menu == -4) {
            options = i;
            break;
        }
    ASSERT_GT(options, 0);
    EXPECT_EQ(snaps[options].offset, snaps[options + 30].offset);
    EXPECT_EQ(snaps[options].pixel, snaps[options + 30].pixel);
    EXPECT_EQ(snaps[options].camera + 30, snaps[options + 30].camera) << "the world still drifts behind the options";
}

TEST(TitleScroller, WrapsAtTheEndOfItsTextAndRestartsWithANewGame) {
    reset_game(-1);
    ASSERT_GT(title.scroller_length, 81) << "the scroller text starts and ends with its blank line";
    menu_state = 0;
    title.scroller_offset = title.scroller_length - 1;
    title.scroller_pixel = 14;
    title_after_draw(nullptr);
    EXPECT_EQ(title.scroller_length - 1, title.scroller_offset);
    EXPECT_EQ(15, title.scroller_pixel);
    title_after_draw(nullptr);
    EXPECT_EQ(0, title.scroller_offset);
    EXPECT_EQ(0, title.scroller_pixel);
    title.scroller_offset = 7;
    reset_game(-1);
    EXPECT_EQ(0, title.scroller_offset);
}

}  // namespace
