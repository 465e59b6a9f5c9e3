// Replays: recorded input played back through the event pump.
//
// Text form, one run of identical polls per line:
//
//     # any comment
//     COUNT HELD RELEASED [Q]
//
//   COUNT     how many consecutive polls (frames) the line stands for, 1 or more
//   HELD      the buttons held, any of the letters U D R L J P S (up, down,
//             right, left, jump, pause, start) in any order, or "-" for none
//   RELEASED  the one button released in each of those polls, one of the same
//             letters, or "-" for none
//   Q         optional: Escape was pressed or the window closed in each poll;
//             T or I instead: the game is sent SIGTERM or SIGINT in that poll
//             (QT and QI: both)
//
// Blank lines and lines whose first non-blank character is "#" are ignored;
// fields are separated by blanks or tabs. Example: two seconds of running
// right, then a jump press held for 20 frames and let go:
//
//     120 R -
//     20 RJ -
//     1 R J
//
// replay_write produces exactly this form, merging equal neighbouring polls.
#include "shell/replay.h"

#include <SDL_mixer.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "floob.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/video.h"
#include "shell/controls.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "shell/recorder.h"
#include "shell/startup.h"
#include "storage/archive.h"
#include "storage/hiscore.h"
#include "storage/userfile.h"
#include "world/level.h"

static const char REPLAY_LETTERS[7] = {'U', 'D', 'R', 'L', 'J', 'P', 'S'};
static const uint8_t REPLAY_BITS[7] = {BTN_UP, BTN_DOWN, BTN_RIGHT, BTN_LEFT, BTN_JUMP, BTN_PAUSE, BTN_START};

enum { REPLAY_LINE_MAX = 32 };

// The installed replay, written by replay_start and replay_stop and consumed
// by replay_poll: a copy of its own, or the session's recording while one is
// played back.
static ReplayFrame* replay_owned = nullptr;
static const ReplayFrame* replay_frames = nullptr;
static int32_t replay_count = 0;
static int32_t replay_exact = 0;          // 1: the frames carry the keys, the skipped drawings and the window's close
static int32_t replay_next = 0;           // the frame handed out by the next poll
static int32_t replay_installed = 0;      // 1 while a replay drives the input and the clock
static int32_t replay_tail_polls = 0;     // polls since the replay ran out
static uint32_t replay_clock_ms = 0;      // the simulated clock
static int32_t replay_on_real_clock = 0;  // 1: a playback watched at normal speed
static int32_t replay_game_open = 0;      // 1 after replay_open_game opened SDL, video and audio
static ReplayObserver replay_observer = nullptr;

// The simulated clock: time passes only by sleeping, so every frame is on time
// and nothing is skipped, however fast the machine runs the frames.
static uint32_t replay_ticks() { return replay_clock_ms; }
static void replay_sleep(uint32_t microseconds) { replay_clock_ms += microseconds / 1000; }

static void install(const ReplayFrame* frames, int32_t count, int32_t exact) {
    replay_frames = frames;
    replay_count = count;
    replay_exact = exact;
    replay_next = 0;
    replay_tail_polls = 0;
    replay_installed = 1;
    replay_use_real_clock(0);
}

int replay_real_clock() { return replay_installed && replay_on_real_clock; }

void replay_use_real_clock(int32_t real) {
    replay_on_real_clock = real ? 1 : 0;
    replay_clock_ms = 1000;
    if (real)
        set_frame_clock(nullptr, nullptr);
    else
        set_frame_clock(replay_ticks, replay_sleep);
}

static void release_owned() {
    free(replay_owned);
    replay_owned = nullptr;
}

static void start_copy(const ReplayFrame* frames, int32_t count, int32_t exact) {
    release_owned();
    if (!frames || count < 0) count = 0;
    if (count > REPLAY_MAX_FRAMES) count = REPLAY_MAX_FRAMES;
    if (count > 0) replay_owned = (ReplayFrame*)malloc(sizeof(ReplayFrame) * (size_t)count);
    if (!replay_owned) count = 0;
    if (count > 0) memcpy(replay_owned, frames, sizeof(ReplayFrame) * (size_t)count);
    install(replay_owned, count, exact);
}

void replay_start(const ReplayFrame* frames, int32_t count) { start_copy(frames, count, 0); }

void replay_start_session() {
    release_owned();
    install(session_recording.frames, session_recording.frame_count, session_recording.exact);
}

void replay_stop() {
    release_owned();
    replay_frames = nullptr;
    replay_installed = 0;
    replay_count = 0;
    replay_exact = 0;
    replay_next = 0;
    replay_tail_polls = 0;
    set_frame_clock(nullptr, nullptr);
}

int replay_start_file(const char* path, char* error, uint32_t error_size) {
    Recording recording;
    if (!recording_read_file(path, &recording, error, error_size)) return 0;
    start_copy(recording.frames, recording.frame_count, recording.exact);
    recording_free(&recording);
    return 1;
}

bool replay_active() { return replay_installed; }

bool replay_exhausted() { return replay_installed && replay_next >= replay_count; }

int replay_exact_keys() { return replay_installed && replay_exact; }

int32_t replay_position() { return replay_next; }

void replay_set_observer(ReplayObserver observer) { replay_observer = observer; }

int replay_poll_frame(ReplayFrame* frame) {
    if (!replay_installed) return 0;
    if (replay_observer) replay_observer(replay_next);
    memset(frame, 0, sizeof *frame);
    frame->pad = -1;
    if (replay_next < replay_count) {
        *frame = replay_frames[replay_next];
        replay_next += 1;
        if (frame->quit || frame->close) escape_or_close = 1;
        if (frame->close) window_close_seen = 1;
        // A playback ends at a recorded signal instead of taking it itself.
        if ((frame->signal == SIGTERM || frame->signal == SIGINT) && recorder_state == RECORDER_OFF)
            raise(frame->signal);
    } else {
        escape_or_close = 1;
        frame->released = (replay_tail_polls & 1) ? BTN_RIGHT : BTN_START;
        replay_tail_polls += 1;
    }
    return 1;
}

int replay_poll(int32_t* held, int32_t* released) {
    ReplayFrame frame;
    if (!replay_poll_frame(&frame)) return 0;
    if (held) *held = frame.held;
    if (released) *released = frame.released;
    return 1;
}

int32_t replay_parse(const char* text, ReplayFrame* frames, int32_t capacity) {
    if (!text) return -1;
    Recording recording;
    char error[128];
    if (!recording_parse((const uint8_t*)text, (uint32_t)strlen(text), &recording, error, sizeof error)) {
        // Nothing but comments and blank lines is an empty replay, not a malformed one.
        return strstr(error, "holds no frames") ? 0 : -1;
    }
    int32_t count = recording.frame_count;
    if (frames && count > capacity) count = -1;
    if (frames && count > 0) memcpy(frames, recording.frames, sizeof(ReplayFrame) * (size_t)count);
    recording_free(&recording);
    return count;
}

static int32_t format_line(char* out, int32_t count, const ReplayFrame* f) {
    char held[8];
    int32_t n = 0;
    for (int32_t k = 0; k < 7; k++) {
        if (f->held & REPLAY_BITS[k]) held[n++] = REPLAY_LETTERS[k];
    }
    if (n == 0) held[n++] = '-';
    held[n] = 0;
    char released = '-';
    for (int32_t k = 0; k < 7; k++) {
        if (f->released == REPLAY_BITS[k]) released = REPLAY_LETTERS[k];
    }
    const char* signal_letter = f->signal == SIGTERM ? "T" : f->signal == SIGINT ? "I" : "";
    const char* events = f->quit || signal_letter[0] ? " " : "";
    return snprintf(out, REPLAY_LINE_MAX, "%d %s %c%s%s%s\n", (int)count, held, released, events, f->quit ? "Q" : "",
                    signal_letter);
}

static int same_frame(const ReplayFrame* a, const ReplayFrame* b) {
    return a->held == b->held && a->released == b->released && (a->quit != 0) == (b->quit != 0) &&
           a->signal == b->signal;
}

int replay_write(const char* path, const ReplayFrame* frames, int32_t count) {
    if (!path || count < 0 || (count > 0 && !frames) || count > REPLAY_MAX_FRAMES) return 0;
    static const char HEADER[] = "# FLOOB 2 replay: COUNT HELD RELEASED [Q] per line\n";
    size_t capacity = sizeof HEADER + (size_t)count * REPLAY_LINE_MAX;
    char* text = (char*)malloc(capacity);
    if (!text) return 0;
    size_t used = sizeof HEADER - 1;
    memcpy(text, HEADER, used);
    int32_t i = 0;
    while (i < count) {
        int32_t run = 1;
        while (i + run < count && same_frame(&frames[i], &frames[i + run])) run++;
        int32_t written = format_line(text + used, run, &frames[i]);
        if (written <= 0 || written >= REPLAY_LINE_MAX) {
            free(text);
            return 0;
        }
        used += (size_t)written;
        i += run;
    }
    int ok = write_user_file(path, text, (uint32_t)used);
    free(text);
    return ok ? 1 : 0;
}

// 1 while the video mode opened by replay_open_game is still the live one
// (another part of the same process may have shut SDL down since).
static int video_still_open() {
    SDL_Surface* screen = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetVideoSurface() : nullptr;
    return screen && frame_surface && (screen == frame_surface || screen == display_surface);
}

int replay_open_game() {
    if (replay_game_open && video_still_open()) {
        archive_close_all();
        archive_open_all();
        return 1;
    }
    if (replay_game_open) close_game();
    replay_game_open = 0;
    scale_mode = SCALE_NONE;
    colour_depth = 16;
    fullscreen = 0;
    const GameStart start = {0};
    if (open_game(&start)) return 0;
    replay_game_open = 1;
    open_play_resources(&start);
    return 1;
}

int replay_run_test_level(const ReplayFrame* frames, int32_t count, ReplayOutcome* outcome) {
    if (!replay_open_game()) return 0;
    test_mode = 1;
    escape_or_close = 0;
    replay_start(frames, count);
    game_loop(1);
    if (outcome) {
        outcome->end_reason = loop_end_reason;
        outcome->finished = loop_end_reason == LOOP_END_EXIT_REACHED;
        outcome->frames_used = replay_next < replay_count ? replay_next : replay_count;
        outcome->level_frame = level_frame;
        outcome->emeralds_left = emeralds_left;
        outcome->lives_lost = loop_lives_lost;
        outcome->points = points;
        outcome->lives = lives;
        outcome->level_timer = level_timer;
    }
    replay_stop();
    escape_or_close = 0;
    return 1;
}
