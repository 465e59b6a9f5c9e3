#include "shell/frame.h"

#include <signal.h>
#include <string.h>
#include <unistd.h>

#include "floob.h"
#include "shell/controls.h"
#include "shell/desktop.h"
#include "shell/recorder.h"
#include "shell/replay.h"
#include "shell/signals.h"

int32_t buttons_held = 0;       // BTN_* bits of the buttons held now
int32_t button_released = 0;    // the last button released in the current poll, 0 for none
int32_t last_key = 0;           // key symbol of the last key-down, 0 after a pad button
int32_t last_pad_button = -1;   // last pad button pressed, -1 after any key event
int32_t skip_draw = 0;          // set by frame_wait when the coming frame is updated but not drawn
int32_t escape_or_close = 0;    // Escape or the window's close button; cleared by the game flow
int32_t window_close_seen = 0;  // set by the window's close button; cleared by the screens that remember it

enum {
    FRAME_TARGET = 17,                                          // ms for the first and second frame of a group
    FRAME_GROUP_TARGET = 50,                                    // ms for a whole group of three frames
    FRAME_LAST_TARGET = FRAME_GROUP_TARGET - 2 * FRAME_TARGET,  // ms for the third frame
    FRAME_FINE_STEP_US = 250,
    FRAME_MAX_SLEEPS = 64,
    FRAME_ELAPSED_LIMIT = 60000,  // longest stretch counted at once, in ms, so that the lag cannot overflow
    STICK_DEAD_ZONE = 31000
};

// The frame clock's state, changed only by frame_timer_reset and frame_wait.
static FramePacing pacing = {0, 0, 0, 0, 0};

// How much later than asked, in ms, a sleep has been seen to end: the
// largest overshoot of the recent sleeps. It rises at once and falls by one
// millisecond after FRAME_GRAIN_HOLD sleeps that stayed under it, and starts
// again from 0 with each new clock or screen. It never counts more than the
// coarsest scheduler tick, FRAME_GRAIN_MAX: a sleep that ends much later was
// held up by a busy machine, and a grain as long as a frame would end every
// wait at once, so that the game would never sleep again and run unpaced.
enum { FRAME_GRAIN_HOLD = 60, FRAME_GRAIN_TRUSTED = 2, FRAME_GRAIN_MAX = 10 };
static uint32_t sleep_grain = 0;
static int32_t sleeps_under_grain = 0;

static void forget_sleep_grain() {
    sleep_grain = 0;
    sleeps_under_grain = 0;
}

static void note_sleep_overshoot(uint32_t overshoot) {
    if (overshoot > FRAME_GRAIN_MAX) overshoot = FRAME_GRAIN_MAX;
    if (overshoot >= sleep_grain) {
        sleep_grain = overshoot;
        sleeps_under_grain = 0;
    } else if (++sleeps_under_grain >= FRAME_GRAIN_HOLD) {
        sleep_grain -= 1;
        sleeps_under_grain = 0;
    }
}

static uint32_t default_ticks() { return SDL_GetTicks(); }
static void default_sleep(uint32_t microseconds) { usleep(microseconds); }

// The clock the pacing reads and sleeps on; set_frame_clock replaces them.
static TickFunction clock_ticks = default_ticks;
static SleepFunction clock_sleep = default_sleep;

void set_frame_clock(TickFunction ticks, SleepFunction sleep) {
    clock_ticks = ticks ? ticks : default_ticks;
    clock_sleep = sleep ? sleep : default_sleep;
    forget_sleep_grain();
}

const FramePacing& frame_pacing() { return pacing; }

void frame_timer_reset() {
    pacing.last_time = clock_ticks();
    pacing.group_start = pacing.last_time;
    skip_draw = 0;
    pacing.group_index = 0;
    pacing.lag = 0;
    pacing.consecutive_skips = 0;
    forget_sleep_grain();
}

// Sleeps until the tick counter reaches last_time + remaining.
//
// The sleep here is precise to well under a millisecond, so sleeping until ten
// milliseconds before the deadline and counting on the scheduler to overshoot
// would end every group of three frames after about 40 ms. Instead the wait
// aims at the deadline itself: one long sleep ends within the last millisecond
// before it, then short sleeps of a quarter of a millisecond each poll the
// tick counter until it shows the deadline. The wait thus ends just after the
// deadline's tick begins, well before the next one. Where the system rounds
// sleeps up to a coarse tick the wait ends later than the deadline; frame_wait
// carries that overshoot into the next frame. The process sleeps all the time;
// at most a handful of wake-ups per frame read the counter. Elapsed time is
// taken as an unsigned difference, so a counter that wraps during the wait
// still ends it at the right tick, and one that goes backwards ends it at
// once. The sleep count is bounded so that a stopped clock cannot hold the
// game.
//
// Where sleeps end later than asked by more than a millisecond (a coarse
// scheduler tick), the sleep is shortened by that grain, and once the time
// left is no longer than the grain the wait ends before the deadline: the
// frame is presented now and frame_wait carries the time left as time in
// hand, instead of oversleeping the deadline and making the next frame skip
// its drawing.
static void sleep_until(uint32_t remaining) {
    uint32_t before = clock_ticks();
    for (int32_t i = 0; i < FRAME_MAX_SLEEPS; i++) {
        uint32_t elapsed = before - pacing.last_time;
        if (elapsed >= remaining) return;
        uint32_t left = remaining - elapsed;
        uint32_t grain = sleep_grain > FRAME_GRAIN_TRUSTED ? sleep_grain : 0;
        if (grain && left <= grain) return;
        uint32_t asked_ms = grain ? left - grain : left > 1 ? left - 1 : 0;
        clock_sleep(asked_ms ? asked_ms * 1000 : (uint32_t)FRAME_FINE_STEP_US);
        uint32_t after = clock_ticks();
        uint32_t slept = after - before;
        // A counter that went backwards says nothing about the sleep.
        if ((int32_t)slept >= 0 && slept > asked_ms) note_sleep_overshoot(slept - asked_ms);
        before = after;
    }
}

// Milliseconds from since to until on the wrapping counter; 0 when the
// counter went backwards, capped so that the lag cannot overflow.
static int32_t ticks_between(uint32_t since, uint32_t until) {
    int32_t elapsed = (int32_t)(until - since);
    if (elapsed < 0) return 0;
    return elapsed < FRAME_ELAPSED_LIMIT ? elapsed : FRAME_ELAPSED_LIMIT;
}

// Every frame has a slot of 17, 17 and 16 ms in turn, three frames per 50 ms.
// The lag is how far the frame ends after the end of its slot, in ticks, and
// carries into the next frame: the frame's work, a skipped frame's whole
// length, and what the wait overslept past the deadline, all counted once. The
// long-run rate is then exactly 60 frames per second whenever the machine can
// keep up, whatever the display costs per drawing and however coarsely the
// system rounds its sleeps. A frame that ends after its slot makes the next
// one skip its drawing; after two skipped frames in a row the next one is
// drawn however late, and the lag it had is forgiven. A wait that ended early
// (a clock that stands still) is carried as time in hand, but never more than
// one frame.
void frame_wait() {
    uint32_t prev = pacing.last_time;
    uint32_t now = clock_ticks();
    int32_t target = pacing.group_index == 2 ? FRAME_LAST_TARGET : FRAME_TARGET;
    int32_t elapsed = ticks_between(prev, now);
    if ((int32_t)(now - prev) < 0) {
        // The counter went backwards: the frame counts as exactly on time.
        now = prev + (uint32_t)target;
        elapsed = target;
    }
    pacing.last_time = now;
    pacing.lag += elapsed;

    int32_t forgiven = 0;
    if (pacing.lag > target && pacing.consecutive_skips <= 1) {
        skip_draw = 1;
        pacing.consecutive_skips += 1;
    } else {
        int32_t remaining = target - pacing.lag;
        if (remaining > 0) sleep_until((uint32_t)remaining);
        forgiven = remaining < 0;
        skip_draw = 0;
        pacing.consecutive_skips = 0;
    }

    uint32_t end = clock_ticks();
    if (forgiven) {
        pacing.lag = 0;
    } else {
        pacing.lag += ticks_between(now, end) - target;
        if (pacing.lag < -FRAME_TARGET) pacing.lag = -FRAME_TARGET;
    }
    pacing.last_time = end;
    if (pacing.group_index == 2) {
        pacing.group_start = pacing.last_time;
        pacing.group_index = 0;
    } else {
        pacing.group_index += 1;
    }
}

// The termination signal that arrived (SIGTERM, SIGINT, SIGHUP when the
// terminal closes, SIGQUIT), 0 for none. The handler only notes it; the pump
// ends the program at its next poll, so that no file is being written when it
// does.
static volatile sig_atomic_t termination_signal = 0;

static void note_termination_signal(int signal_number) {
    if (termination_signal) {
        signal(signal_number, SIG_DFL);
        raise(signal_number);
        return;
    }
    termination_signal = signal_number;
}

void catch_termination_signals() {
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = note_termination_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    static const int TERMINATION_SIGNALS[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
    for (int signal_number : TERMINATION_SIGNALS) sigaction(signal_number, &action, nullptr);
}

void end_if_terminated() {
    if (termination_signal) end_on_termination(termination_signal);
}

static void press(int32_t set, int32_t clear) { buttons_held = (buttons_held & ~clear) | set; }

static void release(int32_t button) {
    buttons_held &= ~button;
    button_released = button;
}

// Releases the first held button of the pair, the first one checked first.
static void release_held(int32_t first, int32_t second) {
    if (buttons_held & first) {
        release(first);
    } else if (buttons_held & second) {
        release(second);
    }
}

// Set by the handlers while a poll drains the queue, for the recording of the poll.
static int32_t poll_saw_quit = 0;
static int32_t poll_saw_close = 0;

static void handle_key_down(int32_t key) {
    last_key = key;
    last_pad_button = -1;
    if (key == k_up) {
        press(BTN_UP, BTN_DOWN);
    } else if (key == k_down) {
        press(BTN_DOWN, BTN_UP);
    } else if (key == k_right) {
        press(BTN_RIGHT, BTN_LEFT);
    } else if (key == k_left) {
        press(BTN_LEFT, BTN_RIGHT);
    }
    if (key == k_jump) {
        press(BTN_JUMP, 0);
    } else if (key == k_pause) {
        press(BTN_PAUSE, 0);
    } else if (key == k_start) {
        press(BTN_START, 0);
    } else if (key == SDLK_ESCAPE) {
        escape_or_close = 1;
        poll_saw_quit = 1;
    }
}

static void handle_key_up(int32_t key) {
    last_pad_button = -1;
    if (key == k_up) {
        release(BTN_UP);
    } else if (key == k_down) {
        release(BTN_DOWN);
    } else if (key == k_right) {
        release(BTN_RIGHT);
    } else if (key == k_left) {
        release(BTN_LEFT);
    }
    if (key == k_jump) {
        release(BTN_JUMP);
    } else if (key == k_pause) {
        release(BTN_PAUSE);
    } else if (key == k_start) {
        release(BTN_START);
    }
}

static void handle_pad_button_down(int32_t button) {
    last_key = 0;
    last_pad_button = button;
    if (button == j_jump) {
        press(BTN_JUMP, 0);
    } else if (button == j_pause) {
        press(BTN_PAUSE, 0);
    } else if (button == j_start) {
        press(BTN_START, 0);
    }
}

static void handle_pad_button_up(int32_t button) {
    last_key = 0;
    if (button == j_jump) {
        release(BTN_JUMP);
    } else if (button == j_pause) {
        release(BTN_PAUSE);
    } else if (button == j_start) {
        release(BTN_START);
    }
}

static void handle_stick(int32_t axis, int32_t value) {
    if (axis == 0) {
        if (value > STICK_DEAD_ZONE) {
            press(BTN_RIGHT, BTN_LEFT);
        } else if (value < -STICK_DEAD_ZONE) {
            press(BTN_LEFT, BTN_RIGHT);
        } else {
            release_held(BTN_RIGHT, BTN_LEFT);
        }
    } else if (axis == 1) {
        // With no jump button bound, pushing the stick up also jumps.
        if (value > STICK_DEAD_ZONE) {
            press(BTN_DOWN, BTN_UP);
        } else if (value < -STICK_DEAD_ZONE) {
            press(BTN_UP, BTN_DOWN);
            if (j_jump == -1) press(BTN_JUMP, 0);
        } else {
            release_held(BTN_DOWN, BTN_UP);
            if (j_jump == -1 && (buttons_held & BTN_JUMP)) release(BTN_JUMP);
        }
    }
}

// Hat directions are released only when the hat comes back to the centre.
static void handle_hat(int32_t hat) {
    if (hat & j_up) {
        press(BTN_UP, BTN_DOWN);
    } else if (hat & j_down) {
        press(BTN_DOWN, BTN_UP);
    }
    if (hat & j_left) {
        press(BTN_LEFT, BTN_RIGHT);
    } else if (hat & j_right) {
        press(BTN_RIGHT, BTN_LEFT);
    } else if (hat == 0) {
        release_held(BTN_DOWN, BTN_UP);
        release_held(BTN_RIGHT, BTN_LEFT);
    }
}

// The bound key of the first button in a recorded press (start for none),
// as the key a player would have pressed.
static int32_t replay_key_for(int32_t pressed) {
    const int32_t buttons[7] = {BTN_UP, BTN_DOWN, BTN_RIGHT, BTN_LEFT, BTN_JUMP, BTN_PAUSE, BTN_START};
    const int32_t keys[7] = {k_up, k_down, k_right, k_left, k_jump, k_pause, k_start};
    for (int32_t i = 0; i < 7; i++)
        if ((pressed & buttons[i]) && keys[i] > 0) return keys[i];
    return k_start > 0 ? k_start : SDLK_RETURN;
}

// Hands the poll's outcome to the recorder: what a playback must reproduce.
static void note_poll() {
    if (recorder_state == RECORDER_OFF) return;
    RecordedFrame frame;
    memset(&frame, 0, sizeof frame);
    frame.held = (uint8_t)buttons_held;
    frame.released = (uint8_t)button_released;
    frame.quit = (uint8_t)poll_saw_quit;
    frame.close = (uint8_t)poll_saw_close;
    int32_t signal_number = termination_signal;
    frame.signal = (uint8_t)(signal_number == SIGTERM || signal_number == SIGINT ? signal_number : 0);
    frame.skip = (uint8_t)(skip_draw ? 1 : 0);
    frame.focus = (uint8_t)(focus_lost ? 1 : 0);
    frame.key = (uint16_t)(last_key > 0 && last_key < 0x10000 ? last_key : 0);
    frame.pad = (int16_t)(last_pad_button >= -1 && last_pad_button < 255 ? last_pad_button : -1);
    recorder_note_poll(&frame);
}

void poll_events() {
    button_released = 0;
    poll_saw_quit = 0;
    poll_saw_close = 0;
    focus_lost = 0;
    SDL_Event event;
    int32_t held_before = buttons_held;
    int32_t playback = recorder_state == RECORDER_PLAYING || recorder_state == RECORDER_VERIFYING;
    // A playback ends where its recording ends, not in the tail a scripted run gets.
    if (playback && recorder_playback_over()) recorder_stop_playback(PLAYBACK_POLLED_PAST_END);
    ReplayFrame recorded;
    if (replay_poll_frame(&recorded)) {
        buttons_held = recorded.held;
        button_released = recorded.released;
        poll_saw_quit = recorded.quit;
        poll_saw_close = recorded.close;
        if (replay_exact_keys()) {
            // A recording of real play brings the keys and the skipped drawings themselves.
            last_key = recorded.key;
            last_pad_button = recorded.pad;
            skip_draw = recorded.skip;
        } else {
            // A recorded press counts as a key going down, so that the screens
            // waiting for any key go on; a spent replay keeps pressing start.
            int32_t pressed = buttons_held & ~held_before;
            if (pressed || replay_exhausted()) {
                last_key = replay_key_for(pressed);
                last_pad_button = -1;
            }
        }
        if (playback) {
            // The viewer's keys steer the playback, never the game.
            if (recorder_playback_controls()) recorder_stop_playback(PLAYBACK_ENDED);
            focus_lost = recorded.focus;
        } else {
            // The recorded input stands for this frame; the queue is still drained
            // so that the player can leave; the desktop's keys work as always,
            // but a lost focus pauses nothing the recording did not.
            while (SDL_PollEvent(&event)) {
                if (desktop_event(event)) continue;
                if (event.type == SDL_QUIT) escape_or_close = window_close_seen = 1;
                if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) escape_or_close = 1;
            }
            desktop_end_poll();
            focus_lost = replay_exact_keys() ? recorded.focus : 0;
        }
        note_poll();
        if (playback && recorded.signal) recorder_stop_playback(PLAYBACK_ENDED);
        end_if_terminated();
        return;
    }
    while (SDL_PollEvent(&event)) {
        if (desktop_event(event)) continue;
        switch (event.type) {
            case SDL_KEYDOWN:
                handle_key_down((int32_t)event.key.keysym.sym);
                break;
            case SDL_KEYUP:
                handle_key_up((int32_t)event.key.keysym.sym);
                break;
            case SDL_JOYBUTTONDOWN:
                handle_pad_button_down(event.jbutton.button);
                break;
            case SDL_JOYBUTTONUP:
                handle_pad_button_up(event.jbutton.button);
                break;
            case SDL_JOYAXISMOTION:
                handle_stick(event.jaxis.axis, event.jaxis.value);
                break;
            case SDL_JOYHATMOTION:
                handle_hat(event.jhat.value);
                break;
            case SDL_QUIT:
                escape_or_close = window_close_seen = 1;
                poll_saw_close = 1;
                break;
            default:
                break;
        }
    }
    desktop_end_poll();
    note_poll();
    end_if_terminated();
}
