// Frame pacing and the event pump.
#ifndef SHELL_FRAME_H
#define SHELL_FRAME_H

#include <stdint.h>

#include "floob.h"  // the pump's input state and skip_draw

void frame_timer_reset();
void frame_wait();
// Drains the event queue into the input state; after a termination signal it
// ends the program instead (end_on_termination, shell/signals).
void poll_events();

// Set with quit_signal by a window close request, and kept when a screen that
// takes no quit clears quit_signal: such a screen clears this one when it
// starts and raises quit_signal again from it when it ends, so that the next
// screen that takes a quit honours the close.
extern int32_t window_close_seen;

// From now on SIGTERM, SIGINT, SIGHUP and SIGQUIT are noted for the event pump; a second one
// before the first is answered ends the process at once.
void catch_termination_signals();
// Ends the program through end_on_termination when a termination signal has
// arrived; for the waits that do not go through poll_events.
void end_if_terminated();

// The state of the frame clock. Only frame_wait and frame_timer_reset change it.
struct FramePacing {
    uint32_t last_time;         // tick at which the previous frame_wait returned
    uint32_t group_start;       // tick at which the current group of three frames began
    int32_t group_index;        // 0, 1, 2: place of the next frame in its group
    int32_t lag;                // ms the frames run behind their slots (ahead when negative)
    int32_t consecutive_skips;  // frames in a row that skipped their drawing, 0 to 2
};

// A read-only view of the frame clock, for tests.
const FramePacing& frame_pacing();

// The clock used by the pacing: by default SDL_GetTicks and a real sleep.
// Tests and the replay driver install their own; null restores the defaults.
typedef uint32_t (*TickFunction)();
typedef void (*SleepFunction)(uint32_t microseconds);
void set_frame_clock(TickFunction ticks, SleepFunction sleep);

#endif
