#include "shell/frame.h"

#include "floob.h"

int32_t buttons_held = 0;
int32_t button_released = 0;
int32_t last_key = 0;
int32_t last_pad_button = -1;
int32_t skip_draw = 0;
int32_t quit_signal = 0;
uint32_t last_time = 0;
uint32_t group_start = 0;
int32_t group_index = 0;
int32_t lag = 0;
int32_t consecutive_skips = 0;

void frame_timer_reset() {}
void frame_wait() {}
void poll_events() {}
void set_frame_clock(TickFunction, SleepFunction) {}
