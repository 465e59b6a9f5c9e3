// The options screen driven through the real title loop: moving and the held
// repeat, volumes, the pad row without a joystick, key capture, the sound
// check, reset to default and when the configuration file is written.
#include <gtest/gtest.h>
#include <libmodplug/modplug.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "audio/music.h"
#include "compile.h"
#include "floob.h"
#include "shell/controls.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "shell/replay.h"
#include "shell/title.h"
#include "storage/config.h"
#include "support/support.h"
#include "world/level.h"

namespace {

TitleState& title = title_state();

enum { MAX_SNAPS = 4000 };

// The built images, sounds and music, and plain floors for every map.
void make_data() { make_data_with_maps(plain_floor_level()); }

struct Snap {
    int32_t menu, cursor, mus, sfx, up2jump, mode, step, duplicate, changed, delay, track;
    int32_t module_length;  // ms of the loop's current module, -1 for none
    int32_t module_hooked;  // 1 when the current module is the one playing
};

Snap snaps[MAX_SNAPS];
int32_t snap_count = 0;

void observe(int32_t position) {
    if (position < 0 || position >= MAX_SNAPS) return;
    // Freed and loaded modules may share an address, so the song is told by its length.
    int32_t measured_length = current_module ? ModPlug_GetLength(current_module) : -1;
    snaps[position] = {menu_state,
                       title.options_cursor,
                       mus_volume,
                       sfx_volume,
                       up2jump,
                       config_mode,
                       config_step,
                       config_duplicate,
                       title.options_changed,
                       title.repeat_delay,
                       soundcheck_track,
                       measured_length,
                       current_module && current_module == music_hooked};
    snap_count = position + 1;
}

ReplayFrame frames[MAX_SNAPS];

// From "PRESS START" to the options screen, cursor on row 0.
const char* TO_OPTIONS = "3 - -\n1 - S\n3 - -\n1 - D\n1 - D\n1 - D\n1 - S\n2 - -\n";
// Ends the program from the title (Escape), leaving some input unused.
const char* QUIT = "1 - - Q\n20 - -\n";

// Released presses of one direction, each followed by the 10 frames of repeat delay.
std::string steps(const char* letter, int32_t count) {
    std::string text;
    for (int32_t i = 0; i < count; i++) text += std::string("1 - ") + letter + "\n10 - -\n";
    return text;
}

const char* CHOOSE = "1 - S\n2 - -\n";

class Options : public ::testing::Test {
   protected:
    TempDir dir;
    int32_t total = 0;
    void SetUp() override {
        make_data();
        apply_default_bindings();
        config_defaults();
        up2jump = 0;
    }
    void TearDown() override {
        replay_set_observer(nullptr);
        replay_stop();
        apply_default_bindings();
        config_defaults();
        quit_signal = 0;
        quit_request = 0;
    }
    // Runs the title loop on the script; before_loop changes settings after
    // the headless start-up has put the default bindings in place.
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
    // The state before the last poll of the session.
    const Snap& last() { return snaps[snap_count - 1]; }
};

bool file_exists(const char* path) { return access(path, F_OK) == 0; }

TEST_F(Options, HeldRightTakesMusicVolumeFrom0To100In20StepsOneEvery11Frames) {
    std::string script = std::string(TO_OPTIONS) + steps("D", 2) + "250 R -\n12 - -\n" + steps("U", 3) + CHOOSE + QUIT;
    // Silent from the start, as a configuration with the music volume at 0 leaves it.
    int32_t used = run(script, [] {
        mus_volume = 0;
        music_set_volume(0);
    });
    ASSERT_LT(used, total) << "the session should end on Escape";
    std::vector<int32_t> changes;
    for (int32_t i = 1; i < snap_count; i++) {
        if (snaps[i].mus != snaps[i - 1].mus) {
            changes.push_back(i);
            EXPECT_EQ(snaps[i - 1].mus + 5, snaps[i].mus) << "at poll " << i;
        }
    }
    ASSERT_EQ(20u, changes.size());
    EXPECT_EQ(0, snaps[changes[0] - 1].module_hooked) << "at volume 0 no song plays";
    EXPECT_EQ(1, snaps[changes[0]].module_hooked) << "the title song starts as the volume leaves 0";
    for (size_t k = 1; k < changes.size(); k++) EXPECT_EQ(11, changes[k] - changes[k - 1]) << "step " << k;
    EXPECT_EQ(100, last().mus) << "held on, the volume stays at 100";
    EXPECT_EQ(128, music_user_volume);
    EXPECT_EQ(4, last().menu) << "BACK TO MENU returns to the menu on OPTIONS";
    std::string config = read_file("floob2.cfg");
    EXPECT_NE(std::string::npos, config.find("mus_volume=100\n")) << config;
}

TEST_F(Options, SfxVolumeStopsAtZeroAndCursorWrapsBothWays) {
    sfx_volume = 12;
    // Up from row 0 wraps to 7 and down from 7 back to 0; then row 3, held left.
    std::string script = std::string(TO_OPTIONS) + steps("U", 1) + steps("D", 1) + steps("D", 3) + "60 L -\n" + QUIT;
    run(script);
    int32_t seen_seven = 0, wrapped_to_zero = 0;
    for (int32_t i = 1; i < snap_count; i++) {
        if (snaps[i].menu != -4) continue;
        if (snaps[i].cursor == 7) seen_seven = i;
        if (seen_seven && snaps[i].cursor == 0 && !wrapped_to_zero) wrapped_to_zero = i;
    }
    EXPECT_GT(seen_seven, 0);
    EXPECT_GT(wrapped_to_zero, seen_seven);
    EXPECT_EQ(3, last().cursor);
    EXPECT_EQ(0, last().sfx);
    std::vector<int32_t> values;
    for (int32_t i = 1; i < snap_count; i++)
        if (snaps[i].sfx != snaps[i - 1].sfx) values.push_back(snaps[i].sfx);
    EXPECT_EQ((std::vector<int32_t>{7, 2, 0}), values) << "steps of 5, never below 0";
    EXPECT_FALSE(file_exists("floob2.cfg")) << "leaving the program from the options screen writes nothing";
}

TEST_F(Options, ConfigurePadWithoutAJoystickChangesNothingAndNothingIsWritten) {
    ASSERT_EQ(nullptr, joystick);
    int32_t pad_before[3] = {j_start, j_jump, j_pause};
    std::string script = std::string(TO_OPTIONS) + steps("D", 1) + CHOOSE + "12 - -\n" + steps("U", 2) + CHOOSE + QUIT;
    run(script);
    for (int32_t i = 0; i < snap_count; i++) EXPECT_EQ(0, snaps[i].mode) << "capture started at poll " << i;
    EXPECT_EQ(pad_before[0], j_start);
    EXPECT_EQ(pad_before[1], j_jump);
    EXPECT_EQ(pad_before[2], j_pause);
    EXPECT_EQ(4, last().menu);
    EXPECT_EQ(0, last().changed);
    EXPECT_FALSE(file_exists("floob2.cfg")) << "nothing changed, nothing written";
}

TEST_F(Options, DuplicateKeyIsRefusedAndEscapeDuringCaptureEndsWithoutWriting) {
    // Every recorded press stands for the same key while nothing is bound, so
    // the second press is refused.
    std::string script =
        std::string(TO_OPTIONS) + CHOOSE + "12 - -\n1 S -\n1 - S\n3 - -\n1 D -\n1 - D\n3 - -\n" + "1 - - Q\n20 - -\n";
    int32_t used = run(script);
    EXPECT_LT(used, total) << "Escape during capture ends the program";
    EXPECT_EQ(LOOP_END_QUIT, loop_end_reason);
    int32_t first = -1, refused = -1;
    for (int32_t i = 0; i < snap_count; i++) {
        if (first < 0 && snaps[i].mode == 1 && snaps[i].step == 1) first = i;
        if (first >= 0 && snaps[i].duplicate == 1) {
            refused = i;
            break;
        }
    }
    ASSERT_GE(first, 0) << "the first key was not taken";
    ASSERT_GT(refused, first) << "the same key again was not refused";
    EXPECT_EQ(1, snaps[refused].step) << "the same prompt stays";
    EXPECT_EQ(1, last().mode);
    EXPECT_EQ(1, last().changed);
    EXPECT_EQ(SDLK_RETURN, k_start);
    EXPECT_EQ(-1, k_left);
    EXPECT_FALSE(file_exists("floob2.cfg")) << "quitting during capture writes nothing";
}

TEST_F(Options, SoundCheckIsNotWrittenButBackToMenuBringsTheTitleSongBack) {
    // Row 5, then left from track 0 wraps to 10 and right comes back to 0 and on to 1.
    std::string script =
        std::string(TO_OPTIONS) + steps("D", 5) + steps("L", 1) + steps("R", 2) + steps("D", 2) + CHOOSE + QUIT;
    run(script);
    std::vector<int32_t> tracks;
    for (int32_t i = 1; i < snap_count; i++)
        if (snaps[i].track != snaps[i - 1].track) tracks.push_back(snaps[i].track);
    EXPECT_EQ((std::vector<int32_t>{10, 0, 1, 0}), tracks);
    EXPECT_EQ(4, last().menu);
    EXPECT_EQ(0, last().changed) << "the sound check is no change of the settings";
    EXPECT_FALSE(file_exists("floob2.cfg"));
    EXPECT_EQ(1, last().module_hooked) << "the chosen song is the one playing";
    ModPlugFile* title = music_load(SONG_TITLE);
    ModPlugFile* track1 = music_load(1);
    ASSERT_NE(nullptr, title);
    ASSERT_NE(nullptr, track1);
    int32_t title_length = ModPlug_GetLength(title);
    int32_t track1_length = ModPlug_GetLength(track1);
    ModPlug_Unload(title);
    ModPlug_Unload(track1);
    ASSERT_NE(title_length, track1_length);
    int32_t on_track1 = -1;
    for (int32_t i = 0; i < snap_count; i++)
        if (snaps[i].track == 1) on_track1 = i;
    ASSERT_GE(on_track1, 0);
    EXPECT_EQ(track1_length, snaps[on_track1].module_length);
    EXPECT_EQ(title_length, last().module_length) << "back to the menu brings the title song back";
}

TEST_F(Options, ResetToDefaultKeepsTheSoundCheckTrackAndIsWrittenOnBack) {
    std::string script = std::string(TO_OPTIONS) + steps("D", 5) + steps("R", 2) + steps("D", 1) + CHOOSE + "12 - -\n" +
                         steps("D", 1) + CHOOSE + QUIT;
    run(script, [] {
        mus_volume = 40;
        sfx_volume = 55;
        up2jump = 1;
        k_jump = SDLK_x;
        j_pause = 5;
    });
    int32_t reset = -1;
    for (int32_t i = 1; i < snap_count; i++)
        if (snaps[i].mus == 100 && snaps[i - 1].mus == 40) reset = i;
    ASSERT_GT(reset, 0) << "reset never happened";
    EXPECT_EQ(6, snaps[reset].cursor);
    EXPECT_EQ(15, snaps[reset].sfx);
    EXPECT_EQ(0, snaps[reset].up2jump);
    EXPECT_EQ(2, snaps[reset].track) << "reset leaves the sound check alone";
    EXPECT_EQ(SDLK_SPACE, k_jump);
    EXPECT_EQ(3, j_pause);
    EXPECT_EQ(0, last().track) << "back to the menu returns to the title song";
    std::string config = read_file("floob2.cfg");
    EXPECT_NE(std::string::npos, config.find("mus_volume=100\n")) << config;
    EXPECT_NE(std::string::npos, config.find("sfx_volume=15\n")) << config;
    EXPECT_NE(std::string::npos, config.find("up2jump=0\n")) << config;
    // The reset gives the volumes of a fresh configuration, whatever they are.
    config_defaults();
    EXPECT_EQ(mus_volume, snaps[reset].mus);
    EXPECT_EQ(sfx_volume, snaps[reset].sfx);
}

TEST_F(Options, UseUpToJumpToggles) {
    std::string script = std::string(TO_OPTIONS) + steps("D", 4) + steps("R", 1) + steps("L", 1) + steps("R", 1) +
                         steps("D", 3) + CHOOSE + QUIT;
    run(script);
    std::vector<int32_t> values;
    for (int32_t i = 1; i < snap_count; i++)
        if (snaps[i].up2jump != snaps[i - 1].up2jump) values.push_back(snaps[i].up2jump);
    EXPECT_EQ((std::vector<int32_t>{1, 0, 1}), values);
    EXPECT_NE(std::string::npos, read_file("floob2.cfg").find("up2jump=1\n"));
}

// Key capture step by step, called the way the title loop calls it.
class KeyCapture : public Options {
   protected:
    void SetUp() override {
        Options::SetUp();
        ASSERT_TRUE(replay_open_game());
        load_level(level_map_name(0));
        menu_state = -4;
        title.options_cursor = 0;
        config_mode = 0;
        title.repeat_delay = 0;
        quit_request = 0;
        last_key = 0;
        last_pad_button = -1;
        button_released = BTN_START;
        title_menu_step(&world.hero);
        button_released = 0;
    }
    void press(int32_t key) {
        last_key = key;
        title_menu_step(&world.hero);
    }
};

TEST_F(KeyCapture, TakesTheSevenKeysInOrderRefusingDuplicatesAndEscape) {
    ASSERT_EQ(1, config_mode);
    EXPECT_EQ(-1, k_start);
    EXPECT_EQ(-1, k_pause);
    EXPECT_EQ(1, title.options_changed);
    // The first 10 frames only count the delay down, even with a key down.
    for (int32_t i = 0; i < 10; i++) press(SDLK_a);
    EXPECT_EQ(-1, k_start);
    EXPECT_EQ(0, title.repeat_delay);
    // Escape, as the event pump reports it, is never bound.
    quit_request = 1;
    press(SDLK_ESCAPE);
    EXPECT_EQ(-1, k_start);
    EXPECT_EQ(0, config_step);
    quit_request = 0;

    const int32_t keys[7] = {SDLK_s, SDLK_a, SDLK_d, SDLK_w, SDLK_x, SDLK_k, SDLK_p};
    for (int32_t i = 0; i < 7; i++) {
        if (i == 3) {
            press(SDLK_a);  // left's key, refused for up
            EXPECT_EQ(1, config_duplicate);
            EXPECT_EQ(3, config_step);
        }
        press(keys[i]);
        EXPECT_EQ(0, config_duplicate);
        EXPECT_EQ(i + 1, config_step);
    }
    EXPECT_EQ(0, config_mode) << "capture ends after the pause key";
    EXPECT_EQ(SDLK_s, k_start);
    EXPECT_EQ(SDLK_a, k_left);
    EXPECT_EQ(SDLK_d, k_right);
    EXPECT_EQ(SDLK_w, k_up);
    EXPECT_EQ(SDLK_x, k_down);
    EXPECT_EQ(SDLK_k, k_jump);
    EXPECT_EQ(SDLK_p, k_pause);
    EXPECT_EQ(0, last_key) << "each capture waits until everything is let go";
}

}  // namespace
