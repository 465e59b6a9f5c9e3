// Frame pacing and the event pump.
#ifndef SHELL_FRAME_H
#define SHELL_FRAME_H

#include <stdint.h>

#include "floob.h"  // the pump's input state and skip_draw

void frame_timer_reset();
void frame_wait();
void poll_events();

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
