// Recorded input: per frame, the held buttons and the released button,
// played back through poll_events so that the real loop can be driven by it.
#ifndef SHELL_REPLAY_H
#define SHELL_REPLAY_H

#include <stdint.h>

#include "storage/recording.h"

enum { REPLAY_MAX_FRAMES = RECORDING_MAX_FRAMES };

// One poll: held, released, quit and signal are those of the text form; a
// recording of real play carries the key, pad button, window close and
// skipped drawing of each poll too.
typedef RecordedFrame ReplayFrame;

// Installs a replay of the given frames (copied, at most REPLAY_MAX_FRAMES)
// together with a simulated frame clock, so that frame_wait and the game's
// blocking waits never sleep. poll_events takes its input from it, one frame
// per call. After the last frame the replay is exhausted: no button is held,
// escape_or_close is raised at every poll and the released button alternates
// between BTN_START and BTN_RIGHT, so that every waiting screen lets go and
// the game loop returns (it checks replay_exhausted at each frame).
void replay_start(const ReplayFrame* frames, int32_t count);
// Installs the replay stored in a file, in the text form or a recording's
// binary one (its input only); returns 0 when it cannot be read or is
// malformed, with the reason in error.
int replay_start_file(const char* path, char* error, uint32_t error_size);
// Installs the frames of the session's recording (a playback), which stay the session's.
void replay_start_session();
// The frame clock of an installed replay: the simulated one (0, the default),
// or the real one (1, a playback watched at normal speed).
void replay_use_real_clock(int32_t real);
// 1 while an installed replay runs on the real clock: the blocking waits then
// sleep between their polls as they did when the game was recorded.
int replay_real_clock();
// 1 while the installed frames carry the exact keys of a recorded run.
int replay_exact_keys();
// Removes the replay and restores the real clock.
void replay_stop();
bool replay_active();
bool replay_exhausted();
int32_t replay_position();  // frames consumed so far

// Tests look at the game between polls: the observer, when set, is called by
// replay_poll with the number of the frame about to be handed out (the count
// of frames consumed so far), before the frame takes effect. Null removes it.
typedef void (*ReplayObserver)(int32_t position);
void replay_set_observer(ReplayObserver observer);

// Called by poll_events: 1 and the next frame's input while a replay is
// installed, 0 otherwise.
int replay_poll(int32_t* held, int32_t* released);
// The same with the whole frame; a text frame has no key (0) and pad -1.
int replay_poll_frame(ReplayFrame* frame);

// Text form (see the comment at the top of replay.cpp). Returns the number of
// frames read into frames, or -1 on a malformed text or when the text holds
// more than capacity frames. With frames null it only counts the frames.
int32_t replay_parse(const char* text, ReplayFrame* frames, int32_t capacity);
// Writes the text form (run-length lines) through a temporary file; returns 0 on failure.
int replay_write(const char* path, const ReplayFrame* frames, int32_t count);

// Headless start-up for tests and tools, the parts of the program's start-up
// that the game loop needs: SDL video in the unscaled 320 x 240 16-bit mode,
// colours, dim panel, audio device with 16 channels, the archives of ./data,
// fonts, "logo", "back", default bindings and the built-in high-score table.
// Archives are reopened at every call (the working directory may have changed),
// and everything is opened afresh when SDL was shut down since the last call.
// Returns 0 when SDL, the video mode or the audio device cannot be opened.
int replay_open_game();

struct ReplayOutcome {
    int32_t finished;       // 1 when the hero entered the open exit
    int32_t end_reason;     // LOOP_END_* of shell/game.h
    int32_t frames_used;    // replay frames consumed (one per poll)
    int32_t level_frame;    // frames of the last life when the loop ended
    int32_t emeralds_left;  // emeralds still in the map
    int32_t lives_lost;     // lives taken on the way
    int32_t points;
    int32_t lives;
    int32_t level_timer;
};

// Plays the level "maps/test.bin" of the working directory (which must also
// hold the built data/) through the real game loop in test mode, from the
// given replay at full speed, and reports how it ended. The level counts as
// finished only when the loop ended because the hero reached the open exit.
// Returns 0 when the game could not be started (see replay_open_game).
// A level the loader refuses ends the process through fatal_error, as the game would.
int replay_run_test_level(const ReplayFrame* frames, int32_t count, ReplayOutcome* outcome);

#endif
