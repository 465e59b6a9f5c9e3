// Bindings, the control flags of a frame, the pause opening and the capture steps.
#include <gtest/gtest.h>
#include <unistd.h>

#include "floob.h"
#include "shell/controls.h"
#include "shell/frame.h"
#include "shell/replay.h"

namespace {

class Controls : public ::testing::Test {
   protected:
    void SetUp() override {
        apply_default_bindings();
        up2jump = 0;
        world_read_controls(0);  // nothing held: every control flag clear
        paused = 0;
        menu_state = 0;
        quit_signal = 0;
        quit_request = 0;
        buttons_held = 0;
        button_released = 0;
    }
    void TearDown() override {
        replay_stop();
        apply_default_bindings();
        up2jump = 0;
        paused = 0;
        menu_state = 0;
        quit_signal = 0;
        quit_request = 0;
        config_mode = 0;
        config_step = 0;
        config_duplicate = 0;
    }
    // Feeds one poll's input through the replay and runs one input step.
    void step(int32_t held, int32_t released, int32_t level = 1, int32_t pause_allowed = 1) {
        ReplayFrame f = {(uint8_t)held, (uint8_t)released, 0};
        replay_start(&f, 1);
        read_controls(level, pause_allowed);
        replay_stop();
    }
};

TEST_F(Controls, DefaultsAreTheFourteenBindings) {
    k_up = k_down = k_left = k_right = k_jump = k_pause = k_start = -1;
    j_jump = j_pause = j_start = j_up = j_down = j_left = j_right = -1;
    up2jump = 1;
    apply_default_bindings();
    EXPECT_EQ(273, k_up);
    EXPECT_EQ(274, k_down);
    EXPECT_EQ(275, k_right);
    EXPECT_EQ(276, k_left);
    EXPECT_EQ(32, k_jump);
    EXPECT_EQ(9, k_pause);
    EXPECT_EQ(13, k_start);
    EXPECT_EQ(0, j_jump);
    EXPECT_EQ(3, j_pause);
    EXPECT_EQ(7, j_start);
    EXPECT_EQ(1, j_up);
    EXPECT_EQ(4, j_down);
    EXPECT_EQ(8, j_left);
    EXPECT_EQ(2, j_right);
    EXPECT_EQ(1, up2jump) << "the defaults leave up2jump alone";
}

TEST_F(Controls, JumpLastsWhileJumpOrUpIsHeld) {
    step(BTN_UP, 0);
    EXPECT_EQ(0, control_jump) << "up alone is no jump without up2jump";
    step(BTN_UP | BTN_JUMP, 0);
    EXPECT_EQ(1, control_jump);
    step(BTN_UP, 0);
    EXPECT_EQ(1, control_jump) << "letting go of jump while up is held keeps the jump";
    step(0, BTN_UP);
    EXPECT_EQ(0, control_jump);
    up2jump = 1;
    step(BTN_UP, 0);
    EXPECT_EQ(1, control_jump) << "with up2jump, up alone jumps";
}

TEST_F(Controls, DirectionsAndDownFollowTheHeldButtons) {
    step(BTN_RIGHT | BTN_DOWN | BTN_START, 0, 1, 0);
    EXPECT_EQ(1, control_right);
    EXPECT_EQ(0, control_left);
    EXPECT_EQ(1, control_down);
    step(BTN_RIGHT | BTN_LEFT, 0);
    EXPECT_EQ(1, control_left) << "left added while right is held";
    EXPECT_EQ(1, control_right) << "right stays on from the frame before";
    EXPECT_EQ(0, control_down);
    step(BTN_LEFT | BTN_RIGHT, 0);
    step(BTN_LEFT, 0);
    EXPECT_EQ(0, control_right);
    step(BTN_LEFT | BTN_RIGHT, 0);
    EXPECT_EQ(0, control_right) << "a fresh right under a held left is not taken";
    EXPECT_EQ(1, control_left);
}

TEST_F(Controls, PauseOrStartReleaseOpensThePauseMenuOnlyWhereAllowed) {
    step(0, BTN_PAUSE, 0, 1);
    EXPECT_EQ(0, paused) << "not on the title";
    step(0, BTN_START, -1, 1);
    EXPECT_EQ(0, paused) << "not in the test map";
    step(0, BTN_PAUSE, 3, 0);
    EXPECT_EQ(0, paused) << "not when pause is not allowed";
    EXPECT_EQ(BTN_PAUSE, button_released);
    step(0, BTN_START, 3, 1);
    EXPECT_EQ(1, paused);
    EXPECT_EQ(2, menu_state) << "the menu opens on GO ON";
    EXPECT_EQ(0, button_released) << "the release is used up";
    menu_state = 1;
    step(0, BTN_PAUSE, 3, 1);
    EXPECT_EQ(BTN_PAUSE, button_released) << "an open menu keeps the release for itself";
    EXPECT_EQ(1, menu_state);
}

TEST_F(Controls, QuitSignalBecomesAQuitRequest) {
    quit_signal = 1;
    step(0, 0, 0, 0);
    EXPECT_EQ(1, quit_request);
}

TEST_F(Controls, LockKeysDoNotKeepWaitAllReleasedWaiting) {
    int count = 0;
    Uint8* keys = SDL_GetKeyState(&count);
    ASSERT_NE(nullptr, keys);
    ASSERT_GT(count, (int)SDLK_SCROLLOCK);
    keys[SDLK_NUMLOCK] = 1;
    keys[SDLK_CAPSLOCK] = 1;
    keys[SDLK_SCROLLOCK] = 1;
    last_key = SDLK_a;
    last_pad_button = 4;
    buttons_held = BTN_LEFT;
    button_released = BTN_JUMP;
    alarm(20);  // a wait that never ends fails the program instead of hanging it
    wait_all_released();
    alarm(0);
    keys[SDLK_NUMLOCK] = keys[SDLK_CAPSLOCK] = keys[SDLK_SCROLLOCK] = 0;
    EXPECT_EQ(0, last_key);
    EXPECT_EQ(-1, last_pad_button);
    EXPECT_EQ(0, buttons_held);
    EXPECT_EQ(0, button_released);
}

TEST_F(Controls, KeyCaptureRefusesAKeyAlreadyTakenInThisPass) {
    k_start = k_left = k_right = k_up = k_down = k_jump = k_pause = -1;
    config_mode = 1;
    config_step = 0;
    last_key = SDLK_RETURN;
    capture_key(&k_start);
    EXPECT_EQ(SDLK_RETURN, k_start);
    EXPECT_EQ(1, config_step);
    EXPECT_EQ(0, config_duplicate);
    last_key = SDLK_RETURN;
    capture_key(&k_left);
    EXPECT_EQ(1, config_duplicate);
    EXPECT_EQ(1, config_step) << "the step does not advance";
    EXPECT_EQ(-1, k_left);
    const int32_t keys[6] = {SDLK_a, SDLK_d, SDLK_w, SDLK_s, SDLK_SPACE, SDLK_p};
    int32_t* bindings[6] = {&k_left, &k_right, &k_up, &k_down, &k_jump, &k_pause};
    for (int i = 0; i < 6; i++) {
        last_key = keys[i];
        capture_key(bindings[i]);
        EXPECT_EQ(0, config_duplicate);
        EXPECT_EQ(keys[i], *bindings[i]);
    }
    EXPECT_EQ(7, config_step);
    EXPECT_EQ(0, config_mode) << "capture ends after the seventh key";
    EXPECT_EQ(0, last_key) << "the capture waits for release and clears the input";
    capture_key(&k_pause);
    EXPECT_EQ(SDLK_p, k_pause) << "no key pressed, nothing captured";
}

TEST_F(Controls, PadCaptureIgnoresKeysAndRefusesDuplicates) {
    j_start = j_jump = j_pause = -1;
    config_mode = 1;
    config_step = 0;
    last_key = SDLK_a;
    last_pad_button = -1;
    capture_pad_button(&j_start);
    EXPECT_EQ(-1, j_start) << "a key is not a pad button";
    EXPECT_EQ(0, config_step);
    last_pad_button = 5;
    capture_pad_button(&j_start);
    EXPECT_EQ(5, j_start);
    EXPECT_EQ(1, config_step);
    last_pad_button = 5;
    capture_pad_button(&j_jump);
    EXPECT_EQ(1, config_duplicate);
    EXPECT_EQ(-1, j_jump);
    last_pad_button = 1;
    capture_pad_button(&j_jump);
    EXPECT_EQ(0, config_duplicate);
    last_pad_button = 2;
    capture_pad_button(&j_pause);
    EXPECT_EQ(3, config_step);
    EXPECT_EQ(0, config_mode);
    EXPECT_EQ(2, j_pause);
}

}  // namespace
