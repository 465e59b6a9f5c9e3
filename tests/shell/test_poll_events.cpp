// The event pump: SDL events pushed into the queue of the dummy video driver
// become logical buttons, the last key or pad button, and the quit signal.
#include <gtest/gtest.h>

#include <vector>

#include "floob.h"
#include "shell/controls.h"
#include "shell/frame.h"
#include "shell/recorder.h"
#include "shell/replay.h"

namespace {

void push_key(Uint8 type, SDLKey key) {
    SDL_Event event = {};
    event.type = type;
    event.key.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    ASSERT_EQ(0, SDL_PushEvent(&event));
}

void key_down(SDLKey key) { push_key(SDL_KEYDOWN, key); }
void key_up(SDLKey key) { push_key(SDL_KEYUP, key); }

void pad_button(Uint8 type, int button) {
    SDL_Event event = {};
    event.type = type;
    event.jbutton.type = type;
    event.jbutton.button = (Uint8)button;
    event.jbutton.state = type == SDL_JOYBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    ASSERT_EQ(0, SDL_PushEvent(&event));
}

void stick(int axis, int value) {
    SDL_Event event = {};
    event.type = SDL_JOYAXISMOTION;
    event.jaxis.type = SDL_JOYAXISMOTION;
    event.jaxis.axis = (Uint8)axis;
    event.jaxis.value = (Sint16)value;
    ASSERT_EQ(0, SDL_PushEvent(&event));
}

void hat(int value) {
    SDL_Event event = {};
    event.type = SDL_JOYHATMOTION;
    event.jhat.type = SDL_JOYHATMOTION;
    event.jhat.value = (Uint8)value;
    ASSERT_EQ(0, SDL_PushEvent(&event));
}

class PollEvents : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_EQ(0, SDL_Init(SDL_INIT_VIDEO));
        replay_stop();
        apply_default_bindings();
        wait_free_input();
    }
    void TearDown() override {
        replay_stop();
        apply_default_bindings();
        SDL_Quit();
    }
    // Empties the queue and the input state without waiting on a device.
    static void wait_free_input() {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
        }
        buttons_held = 0;
        button_released = 0;
        last_key = 0;
        last_pad_button = -1;
        escape_or_close = 0;
    }
};

TEST_F(PollEvents, ArrowKeysHoldAndReleaseDirections) {
    key_down(SDLK_RIGHT);
    poll_events();
    EXPECT_EQ(BTN_RIGHT, buttons_held);
    EXPECT_EQ(0, button_released);
    EXPECT_EQ(SDLK_RIGHT, last_key);

    // Held buttons alone are no release.
    poll_events();
    EXPECT_EQ(BTN_RIGHT, buttons_held);
    EXPECT_EQ(0, button_released);

    key_down(SDLK_LEFT);
    poll_events();
    EXPECT_EQ(BTN_LEFT, buttons_held);

    key_up(SDLK_LEFT);
    poll_events();
    EXPECT_EQ(0, buttons_held);
    EXPECT_EQ(BTN_LEFT, button_released);

    // The released button describes one poll only.
    poll_events();
    EXPECT_EQ(0, button_released);
}

TEST_F(PollEvents, UpThenDownLeavesOnlyDownAndReleasingDownLeavesNeither) {
    key_down(SDLK_UP);
    key_down(SDLK_DOWN);
    poll_events();
    EXPECT_EQ(BTN_DOWN, buttons_held);
    key_up(SDLK_DOWN);
    poll_events();
    EXPECT_EQ(0, buttons_held & (BTN_UP | BTN_DOWN));
    EXPECT_EQ(BTN_DOWN, button_released);
}

TEST_F(PollEvents, ActionKeysAndTheLastReleaseOfAPollWins) {
    key_down(SDLK_SPACE);
    key_down(SDLK_TAB);
    key_down(SDLK_RETURN);
    key_down(SDLK_RIGHT);
    poll_events();
    EXPECT_EQ(BTN_JUMP | BTN_PAUSE | BTN_START | BTN_RIGHT, buttons_held);
    EXPECT_EQ(SDLK_RIGHT, last_key);

    key_up(SDLK_TAB);
    key_up(SDLK_SPACE);
    poll_events();
    EXPECT_EQ(BTN_START | BTN_RIGHT, buttons_held);
    EXPECT_EQ(BTN_JUMP, button_released);

    key_up(SDLK_RETURN);
    poll_events();
    EXPECT_EQ(BTN_START, button_released);
    EXPECT_EQ(BTN_RIGHT, buttons_held);
}

TEST_F(PollEvents, RebindingMovesTheButtonToTheNewKey) {
    k_jump = SDLK_a;
    key_down(SDLK_SPACE);
    poll_events();
    EXPECT_EQ(0, buttons_held);
    EXPECT_EQ(SDLK_SPACE, last_key);
    key_down(SDLK_a);
    poll_events();
    EXPECT_EQ(BTN_JUMP, buttons_held);
}

TEST_F(PollEvents, AKeyBoundAsDirectionAndActionReportsTheActionReleased) {
    k_jump = SDLK_UP;
    key_down(SDLK_UP);
    poll_events();
    EXPECT_EQ(BTN_UP | BTN_JUMP, buttons_held);
    key_up(SDLK_UP);
    poll_events();
    EXPECT_EQ(0, buttons_held);
    EXPECT_EQ(BTN_JUMP, button_released);
}

TEST_F(PollEvents, EscapeAndTheCloseButtonSignalQuit) {
    key_down(SDLK_ESCAPE);
    poll_events();
    EXPECT_EQ(1, escape_or_close);
    EXPECT_EQ(0, buttons_held);

    escape_or_close = 0;
    SDL_Event event = {};
    event.type = SDL_QUIT;
    ASSERT_EQ(0, SDL_PushEvent(&event));
    poll_events();
    EXPECT_EQ(1, escape_or_close);

    // Escape bound as an action acts as that action and does not quit.
    escape_or_close = 0;
    k_pause = SDLK_ESCAPE;
    key_down(SDLK_ESCAPE);
    poll_events();
    EXPECT_EQ(0, escape_or_close);
    EXPECT_EQ(BTN_PAUSE, buttons_held);
}

TEST_F(PollEvents, PadButtonsAndTheLastDeviceUsed) {
    key_down(SDLK_LEFT);
    pad_button(SDL_JOYBUTTONDOWN, 0);
    pad_button(SDL_JOYBUTTONDOWN, 3);
    pad_button(SDL_JOYBUTTONDOWN, 7);
    poll_events();
    EXPECT_EQ(BTN_LEFT | BTN_JUMP | BTN_PAUSE | BTN_START, buttons_held);
    EXPECT_EQ(0, last_key);
    EXPECT_EQ(7, last_pad_button);

    pad_button(SDL_JOYBUTTONUP, 3);
    poll_events();
    EXPECT_EQ(BTN_PAUSE, button_released);
    EXPECT_EQ(BTN_LEFT | BTN_JUMP | BTN_START, buttons_held);
    EXPECT_EQ(7, last_pad_button);

    // Any key event forgets the pad button; a key-up keeps the last key.
    key_down(SDLK_x);
    key_up(SDLK_LEFT);
    poll_events();
    EXPECT_EQ(-1, last_pad_button);
    EXPECT_EQ(SDLK_x, last_key);
}

TEST_F(PollEvents, AnUnboundPadButtonStillSetsTheLastPadButton) {
    pad_button(SDL_JOYBUTTONDOWN, 5);
    poll_events();
    EXPECT_EQ(0, buttons_held);
    EXPECT_EQ(5, last_pad_button);
    pad_button(SDL_JOYBUTTONUP, 5);
    poll_events();
    EXPECT_EQ(0, buttons_held);
    EXPECT_EQ(0, button_released);
}

TEST_F(PollEvents, StickOutsideTheDeadZoneOnly) {
    stick(0, 31000);
    poll_events();
    EXPECT_EQ(0, buttons_held);
    stick(0, -31000);
    poll_events();
    EXPECT_EQ(0, buttons_held);

    stick(0, 31001);
    poll_events();
    EXPECT_EQ(BTN_RIGHT, buttons_held);
    stick(0, -32768);
    poll_events();
    EXPECT_EQ(BTN_LEFT, buttons_held);
    stick(0, 31000);
    poll_events();
    EXPECT_EQ(0, buttons_held);
    EXPECT_EQ(BTN_LEFT, button_released);

    stick(1, 32767);
    poll_events();
    EXPECT_EQ(BTN_DOWN, buttons_held);
    stick(1, -31001);
    poll_events();
    EXPECT_EQ(BTN_UP, buttons_held);
    stick(1, 0);
    poll_events();
    EXPECT_EQ(0, buttons_held);
    EXPECT_EQ(BTN_UP, button_released);

    // Other axes are ignored.
    stick(2, 32767);
    stick(3, -32768);
    poll_events();
    EXPECT_EQ(0, buttons_held);
}

TEST_F(PollEvents, CentringTheStickReleasesRightBeforeLeftAndDownBeforeUp) {
    buttons_held = BTN_RIGHT | BTN_LEFT | BTN_UP | BTN_DOWN;
    stick(0, 0);
    poll_events();
    EXPECT_EQ(BTN_RIGHT, button_released);
    EXPECT_EQ(BTN_LEFT | BTN_UP | BTN_DOWN, buttons_held);
    stick(1, 0);
    poll_events();
    EXPECT_EQ(BTN_DOWN, button_released);
    EXPECT_EQ(BTN_LEFT | BTN_UP, buttons_held);
}

TEST_F(PollEvents, StickUpJumpsOnlyWithoutAJumpButton) {
    stick(1, -32768);
    poll_events();
    EXPECT_EQ(BTN_UP, buttons_held);
    stick(1, 0);
    poll_events();

    j_jump = -1;
    stick(1, -32768);
    poll_events();
    EXPECT_EQ(BTN_UP | BTN_JUMP, buttons_held);
    stick(1, 0);
    poll_events();
    EXPECT_EQ(0, buttons_held);
    EXPECT_EQ(BTN_JUMP, button_released);

    // Centring with no jump held reports the direction.
    stick(1, -32768);
    poll_events();
    buttons_held &= ~BTN_JUMP;
    stick(1, 0);
    poll_events();
    EXPECT_EQ(BTN_UP, button_released);
}

TEST_F(PollEvents, HatDiagonalsHoldBothAndOnlyTheCentreReleases) {
    hat(SDL_HAT_RIGHTUP);
    poll_events();
    EXPECT_EQ(BTN_UP | BTN_RIGHT, buttons_held);

    // From the diagonal to straight up: right stays held.
    hat(SDL_HAT_UP);
    poll_events();
    EXPECT_EQ(BTN_UP | BTN_RIGHT, buttons_held);
    EXPECT_EQ(0, button_released);

    hat(SDL_HAT_LEFTDOWN);
    poll_events();
    EXPECT_EQ(BTN_DOWN | BTN_LEFT, buttons_held);

    hat(SDL_HAT_CENTERED);
    poll_events();
    EXPECT_EQ(0, buttons_held);
    // Down is released first, then left, and the last release wins.
    EXPECT_EQ(BTN_LEFT, button_released);

    hat(SDL_HAT_UP);
    poll_events();
    hat(SDL_HAT_CENTERED);
    poll_events();
    EXPECT_EQ(BTN_UP, button_released);
}

TEST_F(PollEvents, HatUsesTheBoundMasks) {
    // Swap up and down on the hat.
    j_up = SDL_HAT_DOWN;
    j_down = SDL_HAT_UP;
    hat(SDL_HAT_UP);
    poll_events();
    EXPECT_EQ(BTN_DOWN, buttons_held);
}

TEST_F(PollEvents, AReplaySuppliesTheInputButEscapeStillQuits) {
    ReplayFrame frames[2] = {};
    frames[0].held = BTN_RIGHT | BTN_JUMP;
    frames[1].held = BTN_RIGHT;
    frames[1].released = BTN_JUMP;
    replay_start(frames, 2);

    key_down(SDLK_LEFT);
    pad_button(SDL_JOYBUTTONDOWN, 3);
    poll_events();
    EXPECT_EQ(BTN_RIGHT | BTN_JUMP, buttons_held);
    EXPECT_EQ(0, button_released);
    EXPECT_EQ(-1, last_pad_button);
    EXPECT_EQ(0, escape_or_close);

    key_down(SDLK_ESCAPE);
    poll_events();
    EXPECT_EQ(BTN_RIGHT, buttons_held);
    EXPECT_EQ(BTN_JUMP, button_released);
    EXPECT_EQ(1, escape_or_close);

    // The queue was drained while the replay ran.
    replay_stop();
    escape_or_close = 0;
    buttons_held = 0;
    poll_events();
    EXPECT_EQ(0, buttons_held);
    EXPECT_EQ(0, escape_or_close);
}

// What a poll leaves for the game, compared between a live poll and its playback.
struct PollState {
    int32_t held, released, key, pad, quit, close, skip;
    bool operator==(const PollState& o) const {
        return held == o.held && released == o.released && key == o.key && pad == o.pad && quit == o.quit &&
               close == o.close && skip == o.skip;
    }
};

PollState poll_state() {
    return {buttons_held, button_released, last_key, last_pad_button, escape_or_close, window_close_seen, skip_draw};
}

// Live polls recorded by the pump, played back through the replay driver:
// every poll leaves the same buttons, keys, pad button, quit, close and
// skipped drawing, though the queue holds other events during the playback.
TEST_F(PollEvents, RecordedPollsPlayBackExactly) {
    struct Step {
        void (*events)();
        int32_t skip;
    };
    const Step steps[] = {
        {[] { key_down(SDLK_a); }, 0},
        {[] { key_down(SDLK_RIGHT); }, 1},
        {[] { key_up(SDLK_RIGHT); }, 0},
        {[] { pad_button(SDL_JOYBUTTONDOWN, 5); }, 0},
        {[] {}, 1},
        {[] { key_down(SDLK_ESCAPE); }, 0},
        {[] {
             SDL_Event event = {};
             event.type = SDL_QUIT;
             SDL_PushEvent(&event);
         },
         0},
    };
    recorder_start(nullptr, 0);
    std::vector<PollState> live;
    for (const Step& step : steps) {
        escape_or_close = window_close_seen = 0;
        step.events();
        skip_draw = step.skip;
        poll_events();
        live.push_back(poll_state());
    }
    Recording made = session_recording;
    recording_init(&session_recording);
    ASSERT_EQ(made.frame_count, (int32_t)live.size());

    wait_free_input();
    skip_draw = 0;
    session_start_playback(&made);
    recorder_state = RECORDER_VERIFYING;
    replay_start_session();
    for (size_t i = 0; i < live.size(); i++) {
        escape_or_close = window_close_seen = 0;
        key_down(SDLK_b);
        poll_events();
        EXPECT_TRUE(poll_state() == live[i]) << "poll " << i;
    }
    replay_stop();
    session_stop();
    recorder_state = RECORDER_OFF;
    EXPECT_EQ(live[0].key, SDLK_a);
    EXPECT_EQ(live[3].pad, 5);
    EXPECT_EQ(live[6].close, 1);
}

}  // namespace
