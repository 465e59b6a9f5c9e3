// The screens between levels through the real loop: the level end with its
// bonuses, the finale after level 10, game over with the name entry and the
// continue question, and leaving the opening story.
#include <gtest/gtest.h>
#include <libmodplug/modplug.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "audio/music.h"
#include "compile.h"
#include "floob.h"
#include "gfx/video.h"
#include "shell/controls.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "shell/replay.h"
#include "storage/hiscore.h"
#include "storage/savegame.h"
#include "support/levels.h"
#include "support/support.h"
#include "world/actors.h"
#include "world/level.h"

namespace {

enum { MAX_SNAPS = 6000 };

// A floor with the start in column 2 and an open exit in columns 6 and 7.
std::string exit_level() {
    LevelBytes level = floor_level();
    level.put_exit(6, 10);
    return level.text();
}

void make_data() { make_data_with_maps(exit_level()); }

struct Snap {
    int32_t level, alive, points, lives, timer, menu, highlighted, frame, quit_signal;
    uint32_t band;     // hash of frame rows 160..191, where "NEXT STAGE" and "COMING UP" go
    std::string song;  // the name of the module playing
};

Snap snaps[MAX_SNAPS];
int32_t snap_count = 0;

uint32_t hash_band() {
    SDL_Surface* s = frame_surface;
    uint32_t hash = 2166136261u;
    SDL_LockSurface(s);
    for (int32_t y = 160; y < 192; y++) {
        const uint8_t* row = (const uint8_t*)s->pixels + y * s->pitch;
        for (int32_t x = 0; x < s->w * s->format->BytesPerPixel; x++) hash = (hash ^ row[x]) * 16777619u;
    }
    SDL_UnlockSurface(s);
    return hash;
}

// The replay position at which the window's close button is pressed, -1 for none.
int32_t close_window_at = -1;

// An effect started on a cell at one replay position, and how far it has run
// at a later one (-1 until then).
int32_t effect_start_at = -1;
int32_t effect_check_at = -1;
int32_t effect_progress = -1;
const int32_t EFFECT_CELL_X = 6 * CELL_SIZE;
const int32_t EFFECT_CELL_Y = 5 * CELL_SIZE;

void follow_effect(int32_t position) {
    if (position == effect_start_at) start_tile_effect(EFFECT_CELL_X, EFFECT_CELL_Y, EFFECT_BREAK);
    if (position != effect_check_at) return;
    for (const TileEffect& t : tile_effects)
        if (t.active && t.x == EFFECT_CELL_X && t.y == EFFECT_CELL_Y) effect_progress = t.counter;
}

void observe(int32_t position) {
    follow_effect(position);
    if (position == close_window_at) {
        SDL_Event event;
        memset(&event, 0, sizeof event);
        event.type = SDL_QUIT;
        SDL_PushEvent(&event);
    }
    if (position < 0 || position >= MAX_SNAPS) return;
    snaps[position] = {current_level,
                       world.hero.alive,
                       points,
                       lives,
                       level_timer,
                       menu_state,
                       highlighted_entry,
                       level_frame,
                       quit_signal,
                       hash_band(),
                       music_hooked ? ModPlug_GetName(music_hooked) : ""};
    snap_count = position + 1;
}

ReplayFrame frames[MAX_SNAPS];

const char* TITLE_TO_LEVEL1 = "2 - -\n1 - S\n2 - -\n1 - S\n2 - -\n1 - S\n3 - -\n";
// From "PRESS START" with a save: CONTINUE.
const char* TITLE_CONTINUE = "3 - -\n1 - S\n3 - -\n1 - S\n3 - -\n";
// Start skips get-ready, then run right into the exit and sit out the level end.
const char* RUN_TO_EXIT = "1 - S\n60 R -\n400 - -\n";
// One life taken through the pause menu's SUICIDE, the hop hurried by start.
const char* SUICIDE = "1 - -\n1 - S\n1 - P\n1 - U\n1 - S\n1 - S\n40 - -\n";
// Leaves the game-over screen.
const char* LEAVE_GAME_OVER = "3 - -\n1 - S\n3 - -\n";
// Holding start ends the name entry with the first letter.
const char* NAME = "10 S -\n1 - S\n5 - -\n";
const char* QUIT = "1 - - Q\n20 - -\n";

std::string suicides(int32_t count) {
    std::string text;
    for (int32_t i = 0; i < count; i++) text += SUICIDE;
    return text;
}

class Screens : public ::testing::Test {
   public:
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
        quit_signal = 0;
        quit_request = 0;
    }
    int32_t run(const std::string& text) {
        total = replay_parse(text.c_str(), frames, MAX_SNAPS);
        EXPECT_GT(total, 0);
        if (total <= 0 || !replay_open_game()) return -1;
        // An earlier test's entries must not decide whether this score qualifies.
        hiscore_reset_table();
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
    template <typename F>
    int32_t find(int32_t from, F condition) {
        for (int32_t i = from; i < snap_count; i++)
            if (condition(snaps[i])) return i;
        return -1;
    }
    // First poll of the level end on the given level: the hero, alive in play
    // at the poll before, is taken off there.
    int32_t level_end_start(int32_t level) {
        for (int32_t i = 1; i < snap_count; i++)
            if (snaps[i].level == level && snaps[i - 1].level == level && snaps[i - 1].alive && !snaps[i].alive)
                return i;
        return -1;
    }
};

TEST_F(Screens, LevelEndAddsTimeBonusWithItsExtraLifeThenTheRaisedLifeBonus) {
    run(std::string(TITLE_TO_LEVEL1) + RUN_TO_EXIT + "5 - -\n");
    int32_t s = level_end_start(1);
    ASSERT_GE(s, 0) << "the exit was never reached";
    int32_t timer = snaps[s].timer;
    int32_t bonus = timer / 60;
    ASSERT_GE(bonus, 100) << "the time bonus should cross a hundred from 0 points";
    EXPECT_EQ(0, snaps[s].points);
    EXPECT_EQ(6, snaps[s].lives);
    // Frame 282 is the 91st of the sequence, 342 the 151st.
    EXPECT_EQ(0, snaps[s + 90].points);
    EXPECT_EQ(bonus, snaps[s + 91].points);
    EXPECT_EQ(7, snaps[s + 91].lives) << "crossing a hundred gives a life before the life bonus";
    EXPECT_EQ(bonus, snaps[s + 150].points);
    EXPECT_EQ(bonus + 7, snaps[s + 151].points) << "the life bonus counts the life just won";
    EXPECT_EQ(timer, snaps[s + 359].timer) << "the timer stands still";
    EXPECT_EQ(1, snaps[s + 359].level);
    EXPECT_EQ(2, snaps[s + 360].level) << "360 frames, then the next level";
    EXPECT_EQ(1, snaps[s + 360].alive);
    EXPECT_EQ(1, save_game_read()) << "entering level 2 saves level 1 as done";
}

TEST_F(Screens, EscapeDuringTheLevelEndWaitsForTheNextLevel) {
    run(std::string(TITLE_TO_LEVEL1) + "1 - S\n60 R -\n100 - -\n1 - - Q\n600 - -\n");
    int32_t s = level_end_start(1);
    ASSERT_GE(s, 0);
    EXPECT_EQ(1, snaps[s + 200].quit_signal);
    EXPECT_EQ(2, snaps[s + 360].level) << "the level end runs its whole length";
    int32_t asked = find(s + 360, [](const Snap& x) { return x.level == 2 && x.frame > 180; });
    ASSERT_GT(asked, 0) << "level 2 never got past its get-ready";
    // The quit question waits, so the level's frames stop at 181.
    EXPECT_EQ(181, snaps[snap_count - 1].frame);
}

TEST_F(Screens, LevelTenShowsNoNextStageAndTheFinaleLeadsToTheHighScoreView) {
    current_level = 9;
    saved_level = save_game_write(current_level - 1);
    run(std::string(TITLE_CONTINUE) + RUN_TO_EXIT + "5 - -\n");
    int32_t s9 = level_end_start(9);
    ASSERT_GE(s9, 0);
    std::vector<uint32_t> band9;
    for (int32_t k = 0; k < 360; k++) band9.push_back(snaps[s9 + k].band);

    current_level = 10;
    saved_level = save_game_write(current_level - 1);
    std::string script = std::string(TITLE_CONTINUE) + RUN_TO_EXIT + "5 - -\n1 - S\n5 - -\n" + NAME + QUIT;
    int32_t used = run(script);
    int32_t s10 = level_end_start(10);
    ASSERT_GE(s10, 0);
    // Poll k shows the frame drawn at 192 + k - 1: "NEXT STAGE" blinks on at 256.
    for (int32_t k = 33; k <= 64; k++) EXPECT_EQ(band9[k], snaps[s10 + k].band) << "hidden phase, poll " << k;
    int32_t differ = 0;
    for (int32_t k = 65; k <= 96; k++) differ += band9[k] != snaps[s10 + k].band;
    EXPECT_EQ(32, differ) << "level 9 shows NEXT STAGE where level 10 does not";

    int32_t finale = find(s10, [](const Snap& x) { return x.level == 11; });
    ASSERT_GT(finale, s10) << "the finale follows level 10";
    // The fanfare ends by itself after the level end; the finale does not wait in its silence.
    EXPECT_EQ("Floob 2 (Intro)", snaps[finale].song) << "the finale plays the title song";
    int32_t title = find(finale, [](const Snap& x) { return x.level == 0; });
    ASSERT_GT(title, finale);
    EXPECT_EQ(-3, snaps[snap_count - 1].menu) << "the entered score opens the high-score view";
    EXPECT_EQ(9, snaps[snap_count - 1].highlighted);
    EXPECT_EQ(0, snaps[snap_count - 1].points);
    EXPECT_EQ(snaps[s10 + 359].points, hiscore_table[9].score);
    EXPECT_EQ(160u, read_file("hiscores.dat").size());
    EXPECT_LT(used, total);
}

TEST_F(Screens, GameOverWithAQualifyingScoreOffersTheNameAndNoGoesToTheHighScores) {
    std::string script =
        std::string(TITLE_TO_LEVEL1) + RUN_TO_EXIT + suicides(7) + LEAVE_GAME_OVER + NAME + "1 - R\n5 - -\n" + QUIT;
    int32_t used = run(script);
    // Level 1's time bonus crossed a hundred: seven lives to lose.
    EXPECT_EQ(7, loop_lives_lost);
    int32_t over = find(0, [](const Snap& x) { return x.level == 2 && x.lives == 0; });
    ASSERT_GE(over, 0) << "game over never came on level 2";
    int32_t score = snaps[over].points;
    EXPECT_GT(score, 100);
    int32_t title = find(over, [](const Snap& x) { return x.level == 0; });
    ASSERT_GT(title, over) << "no goes to the title";
    EXPECT_EQ(-3, snaps[title].menu);
    EXPECT_EQ(9, snaps[title].highlighted);
    EXPECT_EQ(6, snaps[title].lives);
    EXPECT_EQ(0, snaps[title].points);
    EXPECT_EQ(score, hiscore_table[9].score);
    EXPECT_EQ('A', hiscore_table[9].name[0]);
    EXPECT_LT(used, total);
}

TEST_F(Screens, AFullNameEndedWithRightLeavesTheContinueQuestionToThePlayer) {
    // Eight letters, each accepted with a RIGHT press; the last one is let go
    // only once the question shows, and then the player answers yes.
    std::string name;
    for (int32_t letter = 0; letter < 8; letter++) name += "1 R -\n1 - R\n";
    std::string script =
        std::string(TITLE_TO_LEVEL1) + RUN_TO_EXIT + suicides(7) + LEAVE_GAME_OVER + name + "3 - -\n1 - L\n30 - -\n";
    run(script);
    int32_t over = find(0, [](const Snap& x) { return x.level == 2 && x.lives == 0; });
    ASSERT_GE(over, 0) << "game over never came on level 2";
    EXPECT_EQ(0, memcmp(hiscore_table[9].name, "AAAAAAAA", 8)) << "all eight letters were entered";
    int32_t after = find(over, [](const Snap& x) { return x.lives == 6; });
    ASSERT_GT(after, over);
    EXPECT_EQ(2, snaps[after].level) << "the held RIGHT did not answer no: yes restarted level 2";
    EXPECT_EQ(-1, find(over, [](const Snap& x) { return x.level == 0; })) << "never back on the title";
}

TEST_F(Screens, ScoreBelowTheTableSkipsTheNameEntryAndYesRestartsTheLevel) {
    std::string script = std::string(TITLE_TO_LEVEL1) + suicides(6) + LEAVE_GAME_OVER + "1 - L\n30 - -\n";
    run(script);
    int32_t over = find(0, [](const Snap& x) { return x.level == 1 && x.lives == 0; });
    ASSERT_GE(over, 0) << "game over never came";
    // The left release right after game over is the answer: no name entry took it.
    int32_t again = find(over, [](const Snap& x) { return x.lives == 6 && x.alive == 1; });
    ASSERT_GT(again, over) << "yes did not restart the level";
    EXPECT_EQ(1, snaps[again].level);
    EXPECT_EQ(0, snaps[again].points);
    EXPECT_EQ(0, snaps[again].frame) << "the level starts again from its get-ready";
    EXPECT_EQ(-1, snaps[again].highlighted);
    EXPECT_FALSE(access("hiscores.dat", F_OK) == 0) << "nothing was entered, nothing written";
    EXPECT_EQ(1, snaps[snap_count - 1].level);
}

TEST_F(Screens, EscapeOnTheOpeningStoryGoesBackToTheTitle) {
    int32_t used = run("2 - -\n1 - S\n2 - -\n1 - S\n3 - -\n1 - - Q\n5 - -\n" + std::string(QUIT));
    int32_t title = find(6, [](const Snap& x) { return x.level == 0; });
    ASSERT_GE(title, 0);
    EXPECT_EQ(0, snaps[title].menu);
    EXPECT_EQ(0, snaps[title].quit_signal);
    EXPECT_EQ(0, snaps[title + 3].level) << "the title runs on";
    EXPECT_LT(used, total) << "the second Escape, on the title, ends the program";
}

// A window closed on game over (0), in the name entry (1) or on CONTINUE? (2)
// changes nothing there; the title after "no" then ends the program at once.
void expect_close_ends_the_program_on_the_title(Screens* test, int32_t screen) {
    std::string before_over = std::string(TITLE_TO_LEVEL1) + RUN_TO_EXIT + suicides(7);
    std::string script = before_over + LEAVE_GAME_OVER + NAME + "1 - R\n300 - -\n";
    const std::string prefixes[3] = {before_over, before_over + LEAVE_GAME_OVER, before_over + LEAVE_GAME_OVER + NAME};
    const int32_t offsets[3] = {1, 4, -1};
    close_window_at = replay_parse(prefixes[screen].c_str(), frames, MAX_SNAPS) + offsets[screen];
    int32_t used = test->run(script);
    close_window_at = -1;
    int32_t title = test->find(0, [](const Snap& x) { return x.level == 0 && x.menu == -3; });
    ASSERT_GT(title, 0) << "no went to the high-score view";
    EXPECT_EQ(9, snaps[title].highlighted) << "the name was entered";
    EXPECT_EQ(LOOP_END_QUIT, loop_end_reason);
    EXPECT_LT(used, title + 5) << "the title ran on";
}

TEST_F(Screens, AWindowClosedOnGameOverEndsTheProgramOnTheTitle) {
    expect_close_ends_the_program_on_the_title(this, 0);
}
TEST_F(Screens, AWindowClosedInTheNameEntryEndsTheProgramOnTheTitle) {
    expect_close_ends_the_program_on_the_title(this, 1);
}
TEST_F(Screens, AWindowClosedOnContinueEndsTheProgramOnTheTitle) {
    expect_close_ends_the_program_on_the_title(this, 2);
}

// The world goes on under game over and CONTINUE?: a breaking block started
// there keeps breaking.
TEST_F(Screens, TileEffectsRunOnUnderGameOverAndTheContinueQuestion) {
    std::string before_over = std::string(TITLE_TO_LEVEL1) + RUN_TO_EXIT + suicides(7);
    std::string over_screen = before_over + "30 - -\n1 - S\n3 - -\n";
    std::string script = over_screen + NAME + "30 - -\n1 - R\n30 - -\n";
    const int32_t starts[2] = {replay_parse(before_over.c_str(), frames, MAX_SNAPS),
                               replay_parse((over_screen + NAME).c_str(), frames, MAX_SNAPS)};
    for (int32_t start : starts) {
        effect_start_at = start + 1;
        effect_check_at = start + 21;
        effect_progress = -1;
        remove("hiscores.dat");
        run(script);
        effect_start_at = effect_check_at = -1;
        EXPECT_GE(effect_progress, 15) << "the effect started at " << start << " stood still";
    }
}

// A score that tops the table is entered as row 0, and "no" shows it in the high-score view.
TEST_F(Screens, ANewBestScoreIsShownOnTheHighScoreViewAfterNo) {
    hiscore_reset_table();
    for (int32_t i = 0; i < HISCORE_ROWS; i++) hiscore_table[i].score = 10 - i;
    hiscore_save();
    std::string script =
        std::string(TITLE_TO_LEVEL1) + RUN_TO_EXIT + suicides(7) + LEAVE_GAME_OVER + NAME + "1 - R\n5 - -\n" + QUIT;
    run(script);
    int32_t title = find(0, [](const Snap& x) { return x.level == 0 && x.menu == -3; });
    ASSERT_GT(title, 0) << "no did not go to the high-score view";
    EXPECT_EQ(0, snaps[title].highlighted);
}

}  // namespace
