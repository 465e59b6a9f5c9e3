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
#include "shell/startup.h"
#include "storage/archive.h"
#include "storage/hiscore.h"
#include "storage/text.h"
#include "storage/userfile.h"
#include "world/level.h"

static const char REPLAY_LETTERS[7] = {'U', 'D', 'R', 'L', 'J', 'P', 'S'};
static const uint8_t REPLAY_BITS[7] = {BTN_UP, BTN_DOWN, BTN_RIGHT, BTN_LEFT, BTN_JUMP, BTN_PAUSE, BTN_START};

enum { REPLAY_LINE_MAX = 32 };

// The installed replay, written by replay_start and replay_stop and consumed by replay_poll.
static ReplayFrame replay_frames[REPLAY_MAX_FRAMES];
static int32_t replay_count = 0;
static int32_t replay_next = 0;        // the frame handed out by the next poll
static int32_t replay_installed = 0;   // 1 while a replay drives the input and the clock
static int32_t replay_tail_polls = 0;  // polls since the replay ran out
static uint32_t replay_clock_ms = 0;   // the simulated clock
static int32_t replay_game_open = 0;   // 1 after replay_open_game opened SDL, video and audio
static ReplayObserver replay_observer = nullptr;

// The simulated clock: time passes only by sleeping, so every frame is on time
// and nothing is skipped, however fast the machine runs the frames.
static uint32_t replay_ticks() { return replay_clock_ms; }
static void replay_sleep(uint32_t microseconds) { replay_clock_ms += microseconds / 1000; }

void replay_start(const ReplayFrame* frames, int32_t count) {
    if (!frames || count < 0) count = 0;
    if (count > REPLAY_MAX_FRAMES) count = REPLAY_MAX_FRAMES;
    if (count > 0) memcpy(replay_frames, frames, sizeof(ReplayFrame) * (size_t)count);
    replay_count = count;
    replay_next = 0;
    replay_tail_polls = 0;
    replay_installed = 1;
    replay_clock_ms = 1000;
    set_frame_clock(replay_ticks, replay_sleep);
}

void replay_stop() {
    replay_installed = 0;
    replay_count = 0;
    replay_next = 0;
    replay_tail_polls = 0;
    set_frame_clock(nullptr, nullptr);
}

int replay_start_file(const char* path) {
    uint32_t size = 0;
    uint8_t* bytes = read_whole_file(path, &size);
    if (!bytes) return 0;
    char* text = (char*)realloc(bytes, size + 1);
    if (!text) {
        free(bytes);
        return 0;
    }
    text[size] = 0;
    int32_t count = replay_parse(text, nullptr, 0);
    ReplayFrame* frames = count > 0 ? (ReplayFrame*)malloc(sizeof(ReplayFrame) * (size_t)count) : nullptr;
    int ok = frames && replay_parse(text, frames, count) == count;
    if (ok) replay_start(frames, count);
    free(frames);
    free(text);
    return ok;
}

int replay_active() { return replay_installed; }

int replay_exhausted() { return replay_installed && replay_next >= replay_count; }

int32_t replay_position() { return replay_next; }

void replay_set_observer(ReplayObserver observer) { replay_observer = observer; }

int replay_poll(int32_t* held, int32_t* released) {
    if (!replay_installed) return 0;
    if (replay_observer) replay_observer(replay_next);
    int32_t h = 0;
    int32_t r = 0;
    if (replay_next < replay_count) {
        const ReplayFrame* f = &replay_frames[replay_next];
        replay_next += 1;
        h = f->held;
        r = f->released;
        if (f->quit) quit_signal = 1;
        if (f->signal == SIGTERM || f->signal == SIGINT) raise(f->signal);
    } else {
        quit_signal = 1;
        r = (replay_tail_polls & 1) ? BTN_RIGHT : BTN_START;
        replay_tail_polls += 1;
    }
    if (held) *held = h;
    if (released) *released = r;
    return 1;
}

static int32_t letter_bit(char c) {
    for (int32_t k = 0; k < 7; k++) {
        if (REPLAY_LETTERS[k] == c) return REPLAY_BITS[k];
    }
    return -1;
}

// Splits one line into at most max_fields fields; returns the count, or -1 for too many.
static int32_t split_fields(const char* line, int32_t length, const char** starts, int32_t* lengths,
                            int32_t max_fields) {
    int32_t n = 0;
    int32_t i = 0;
    while (i < length) {
        while (i < length && is_blank(line[i])) i++;
        if (i >= length) break;
        if (n == max_fields) return -1;
        starts[n] = line + i;
        int32_t begin = i;
        while (i < length && !is_blank(line[i])) i++;
        lengths[n] = i - begin;
        n++;
    }
    return n;
}

static int32_t parse_count(const char* text, int32_t length) {
    if (length < 1 || length > 7) return -1;
    int32_t value = 0;
    for (int32_t i = 0; i < length; i++) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value >= 1 ? value : -1;
}

static int32_t parse_held(const char* text, int32_t length) {
    if (length == 1 && text[0] == '-') return 0;
    int32_t bits = 0;
    for (int32_t i = 0; i < length; i++) {
        int32_t bit = letter_bit(text[i]);
        if (bit < 0) return -1;
        bits |= bit;
    }
    return bits;
}

static int32_t parse_released(const char* text, int32_t length) {
    if (length != 1) return -1;
    if (text[0] == '-') return 0;
    return letter_bit(text[0]);
}

// The optional fourth field: Q, T, I, QT or QI. Returns -1 when it is none of them.
static int32_t parse_events(const char* text, int32_t length, int32_t* quit, int32_t* signal_number) {
    int32_t i = 0;
    if (i < length && text[i] == 'Q') {
        *quit = 1;
        i++;
    }
    if (i < length && (text[i] == 'T' || text[i] == 'I')) {
        *signal_number = text[i] == 'T' ? SIGTERM : SIGINT;
        i++;
    }
    return i == length && i > 0 ? 0 : -1;
}

int32_t replay_parse(const char* text, ReplayFrame* frames, int32_t capacity) {
    if (!text) return -1;
    int32_t total = 0;
    const char* line = text;
    while (*line) {
        const char* end = strchr(line, '\n');
        int32_t length = end ? (int32_t)(end - line) : (int32_t)strlen(line);
        int32_t first = 0;
        while (first < length && is_blank(line[first])) first++;
        const char* starts[4];
        int32_t lengths[4];
        int32_t fields = 0;
        if (first < length && line[first] != '#') fields = split_fields(line, length, starts, lengths, 4);
        if (fields < 0) return -1;
        if (fields > 0) {
            if (fields < 3) return -1;
            int32_t count = parse_count(starts[0], lengths[0]);
            int32_t held = parse_held(starts[1], lengths[1]);
            int32_t released = parse_released(starts[2], lengths[2]);
            int32_t quit = 0;
            int32_t signal_number = 0;
            if (fields == 4 && parse_events(starts[3], lengths[3], &quit, &signal_number) < 0) return -1;
            if (count < 0 || held < 0 || released < 0) return -1;
            if (count > REPLAY_MAX_FRAMES - total) return -1;
            if (frames) {
                if (count > capacity - total) return -1;
                for (int32_t k = 0; k < count; k++) {
                    frames[total + k].held = (uint8_t)held;
                    frames[total + k].released = (uint8_t)released;
                    frames[total + k].quit = (uint8_t)quit;
                    frames[total + k].signal = (uint8_t)signal_number;
                }
            }
            total += count;
        }
        if (!end) break;
        line = end + 1;
    }
    return total;
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
    quit_signal = 0;
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
    quit_signal = 0;
    return 1;
}
