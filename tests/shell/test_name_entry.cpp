// The name-entry screen, driven by replayed input: letter stepping, the
// cursor, accepting and start, and who gets to enter a name at all.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "floob.h"
#include "gfx/video.h"
#include "shell/controls.h"
#include "shell/frame.h"
#include "shell/nameentry.h"
#include "shell/replay.h"
#include "storage/hiscore.h"
#include "support/support.h"

namespace {

uint32_t fake_now = 0;
int32_t clock_reads = 0;

// Time moves only when the pacing sleeps, so the screen runs as fast as it can.
uint32_t fake_ticks() {
    // A screen that never ends would hang the test run: after far more frames
    // than any script needs, start is forced so that the loop comes out.
    if (++clock_reads > 200000) buttons_held |= BTN_START;
    return fake_now;
}

void fake_sleep(uint32_t microseconds) { fake_now += microseconds / 1000 + 1; }

struct NameEntryScreen {
    NameEntryScreen() {
        SDL_Init(SDL_INIT_VIDEO);
        if (!frame_surface) frame_surface = SDL_SetVideoMode(320, 240, 16, SDL_SWSURFACE);
        fake_now = 1000;
        clock_reads = 0;
        set_frame_clock(fake_ticks, fake_sleep);
        apply_default_bindings();
        up2jump = 0;
        buttons_held = 0;
        button_released = 0;
        quit_signal = 0;
        current_level = 0;
        hiscore_reset_table();
    }
    ~NameEntryScreen() {
        replay_stop();
        set_frame_clock(nullptr, nullptr);
        buttons_held = 0;
    }
};

// One replayed poll per letter: the screen takes input once and then waits
// out its repeat delay, so consecutive polls are consecutive steps.
std::vector<ReplayFrame> script(const char* steps) {
    std::vector<ReplayFrame> frames;
    for (const char* c = steps; *c; c++) {
        uint8_t held = 0;
        switch (*c) {
            case 'U':
                held = BTN_UP;
                break;
            case 'D':
                held = BTN_DOWN;
                break;
            case 'L':
                held = BTN_LEFT;
                break;
            case 'R':
                held = BTN_RIGHT;
                break;
            case 'J':
                held = BTN_JUMP;
                break;
            case 'P':
                held = BTN_PAUSE;
                break;
            case 'S':
                held = BTN_START;
                break;
            default:
                break;
        }
        frames.push_back(ReplayFrame{held, 0});
    }
    // Start is let go after the script.
    frames.push_back(ReplayFrame{0, BTN_START});
    return frames;
}

int32_t run_entry(const char* steps, int32_t score) {
    std::vector<ReplayFrame> frames = script(steps);
    replay_start(frames.data(), (int32_t)frames.size());
    points = score;
    return name_entry(nullptr);
}

std::string entry_name(int i) { return std::string(hiscore_table[i].name, strnlen(hiscore_table[i].name, 8)); }

// The pieces the screen relies on answer as it expects.
void require_replayed_input() {
    ReplayFrame probe = {BTN_UP, 0};
    replay_start(&probe, 1);
    read_controls(0, 0);
    ASSERT_EQ(BTN_UP, buttons_held) << "replayed input does not reach read_controls";
    replay_stop();
    buttons_held = 0;
}

}  // namespace

TEST(NameEntry, ScoreNotBeatingTheLastEntryShowsNothing) {
    TempDir dir;
    NameEntryScreen screen;
    std::vector<ReplayFrame> frames = script("US");
    replay_start(frames.data(), (int32_t)frames.size());
    points = 100;
    EXPECT_EQ(-1, name_entry(nullptr));
    EXPECT_EQ(0, replay_position());
    EXPECT_EQ("", entry_name(9));
}

TEST(NameEntry, OnePointMoreLandsLast) {
    TempDir dir;
    NameEntryScreen screen;
    require_replayed_input();
    EXPECT_EQ(9, run_entry("S", 101));
    EXPECT_EQ("A", entry_name(9));
    EXPECT_EQ(101, hiscore_table[9].score);
    EXPECT_EQ(0, hiscore_table[9].origin);
}

TEST(NameEntry, StartAfterChangingTheFirstLetterStoresOneLetter) {
    TempDir dir;
    NameEntryScreen screen;
    require_replayed_input();
    EXPECT_EQ(0, run_entry("UUS", 5000));
    EXPECT_EQ("C", entry_name(0));
    EXPECT_EQ(5000, hiscore_table[0].score);
    // Saved at once.
    hiscore_reset_table();
    hiscore_load();
    EXPECT_EQ("C", entry_name(0));
}

TEST(NameEntry, LettersWrapThroughTheSpace) {
    TempDir dir;
    NameEntryScreen screen;
    require_replayed_input();
    // Place 0: down twice reaches Z, up from Z gives a space.
    // Place 1: down, down, up, up comes back to A. Place 2: down twice is Z.
    EXPECT_EQ(0, run_entry("DDUR"
                           "DDUUR"
                           "DDS",
                           3000));
    EXPECT_EQ(" AZ", entry_name(0));
}

TEST(NameEntry, EighthAcceptedLetterCompletesTheName) {
    TempDir dir;
    NameEntryScreen screen;
    require_replayed_input();
    // Accepting moves right and turns an unvisited place into A; pause accepts too.
    EXPECT_EQ(0, run_entry("URRPRRRRR", 2000));
    EXPECT_EQ("BAAAAAAA", entry_name(0));
    EXPECT_EQ(0, hiscore_table[0].terminator);
    // The screen ended on the eighth accept, before the start that follows.
    EXPECT_EQ(9, replay_position());
}

TEST(NameEntry, LeftMovesBackAndStartCutsAfterTheCursor) {
    TempDir dir;
    NameEntryScreen screen;
    require_replayed_input();
    // Left at the first place does nothing; later it steps back one place.
    EXPECT_EQ(0, run_entry("LRURLS", 2000));
    EXPECT_EQ("AB", entry_name(0));
    // Stepping right onto a place already visited keeps its letter.
    EXPECT_EQ(1, run_entry("RURULRS", 1500));
    EXPECT_EQ("ABB", entry_name(1));
}

TEST(NameEntry, JumpAcceptsOnlyWhenItIsNotTheUpKey) {
    TempDir dir;
    NameEntryScreen screen;
    require_replayed_input();
    EXPECT_EQ(0, run_entry("JJS", 2000));
    EXPECT_EQ("AAA", entry_name(0));

    k_jump = k_up;
    EXPECT_EQ(0, run_entry("JJS", 3000));
    EXPECT_EQ("A", entry_name(0));
}

TEST(NameEntry, StartHeldWhenTheScreenOpensStoresTheFirstLetter) {
    TempDir dir;
    NameEntryScreen screen;
    require_replayed_input();
    buttons_held = BTN_START;
    EXPECT_EQ(0, run_entry("UUU", 4000));
    EXPECT_EQ("A", entry_name(0));
}
