// Recorded input: per frame, the held buttons and the released button,
// played back through poll_events so that the real loop can be driven by it.
#ifndef SHELL_REPLAY_H
#define SHELL_REPLAY_H

#include <stdint.h>

struct ReplayFrame {
    uint8_t held;
    uint8_t released;
};

// Installs a replay of the given frames (copied); poll_events takes its input
// from it, one frame per call, until it runs out (then no button is held).
void replay_start(const ReplayFrame* frames, int32_t count);
void replay_stop();
int replay_active();
int32_t replay_position();  // frames consumed so far

// Called by poll_events: 1 and the next frame's input while a replay is
// installed, 0 otherwise.
int replay_poll(int32_t* held, int32_t* released);

// Text form (see the comment at the top of replay.cpp). Returns the number of
// frames read into frames (at most capacity), or -1 on a malformed text.
int32_t replay_parse(const char* text, ReplayFrame* frames, int32_t capacity);
// Writes the text form; returns 0 on failure.
int replay_write(const char* path, const ReplayFrame* frames, int32_t count);

#endif
