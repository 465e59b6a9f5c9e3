#include "shell/desktop.h"
#include "shell/recorder.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "floob.h"
#include "gfx/scale.h"
#include "gfx/video.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "shell/replay.h"
#include "shell/startup.h"
#include "world/world.h"

int32_t recorder_state = RECORDER_OFF;

// The version a recording names; another version's recordings are refused.
static const char GAME_VERSION[] = "1.10";

// What the checks compare, for the message of the first one that differs.
enum { DIFFERS_NOTHING, DIFFERS_PICTURE, DIFFERS_SOUND, DIFFERS_STATE };

static uint32_t picture_hash = RECORDING_HASH_START;
static int32_t presented_seen = 0;     // frames_presented at the last poll
static int32_t pictures_compared = 1;  // 0 when the frame's pixel format differs from the recording's
static int32_t next_check = 0;         // the recorded check a playback compares next
static int32_t first_difference = DIFFERS_NOTHING;
static uint32_t difference_poll = 0;
static int32_t recording_full = 0;

static void reset_hashes() {
    picture_hash = RECORDING_HASH_START;
    presented_seen = frames_presented;
    pictures_compared = 1;
    next_check = 0;
    first_difference = DIFFERS_NOTHING;
    difference_poll = 0;
    recording_full = 0;
}

// The frame's pixels as they are, 8 bytes at a time along each row (the
// padding at a row's end left out); cheap enough for every frame drawn.
static uint32_t hash_frame(const SDL_Surface* surface) {
    uint64_t hash = 0xCBF29CE484222325ull;
    size_t row_bytes = (size_t)surface->w * surface->format->BytesPerPixel;
    for (int32_t y = 0; y < surface->h; y++) {
        const uint8_t* p = (const uint8_t*)surface->pixels + (size_t)y * surface->pitch;
        size_t x = 0;
        for (; x + 8 <= row_bytes; x += 8) {
            uint64_t word;
            memcpy(&word, p + x, 8);
            hash = (hash ^ word) * 0x100000001B3ull;
        }
        for (; x < row_bytes; x++) hash = (hash ^ p[x]) * 0x100000001B3ull;
    }
    return (uint32_t)(hash ^ (hash >> 32));
}

// The pixel format the pictures are hashed in: a playback in another one
// (another depth or desktop) cannot compare them.
static uint32_t frame_format(const SDL_Surface* surface) {
    const SDL_PixelFormat* f = surface->format;
    uint32_t hash = recording_hash_step(RECORDING_HASH_START, f->BitsPerPixel);
    hash = recording_hash_step(hash, f->Rmask);
    hash = recording_hash_step(hash, f->Gmask);
    return recording_hash_step(hash, f->Bmask);
}

static uint32_t state_hash() {
    const int32_t values[] = {
        current_level,          points,     lives,        level_timer, level_frame, camera_x,         world.hero.x,
        world.hero.y,           title_menu, pause_cursor, paused,      air,         world.hero.alive, levels_finished,
        world.hero.exit_reached};
    uint32_t hash = RECORDING_HASH_START;
    for (int32_t v : values) hash = recording_hash_step(hash, (uint32_t)v);
    return hash;
}

void recorder_start(const char* path, int32_t keep_last) {
    uint32_t seed = (uint32_t)time(nullptr) ^ ((uint32_t)getpid() << 16);
    session_start_recording(seed);
    session_set_outputs(path, keep_last);
    Recording* r = &session_recording;
    snprintf(r->game_version, sizeof r->game_version, "%s", GAME_VERSION);
    for (int32_t i = 0; i < RECORDING_ARCHIVES; i++)
        if (i < RECORDING_ARCHIVES - 1 || test_mode) r->archives[i] = recording_sum_file(recording_data_path(i));
    r->options = test_mode ? RECORDED_OPTION_TEST : 0;
    r->colour_depth = colour_depth == 24 ? 24 : 16;
    levels_finished = 0;
    reset_hashes();
    recorder_state = RECORDER_RECORDING;
}

// The first difference between a recording's data and this game's, in words; null when none.
static const char* data_difference(const Recording* r, char* text, uint32_t size) {
    if (strcmp(r->game_version, GAME_VERSION) != 0) {
        snprintf(text, size, "it was made by version %s, this is version %s", r->game_version, GAME_VERSION);
        return text;
    }
    for (int32_t i = 0; i < RECORDING_ARCHIVES; i++) {
        if (i == RECORDING_ARCHIVES - 1 && !(r->options & RECORDED_OPTION_TEST)) continue;
        ArchiveSum here = recording_sum_file(recording_data_path(i));
        if (here.size == r->archives[i].size && here.crc == r->archives[i].crc) continue;
        if (here.size == 0)
            snprintf(text, size, "%s is missing", recording_data_path(i));
        else
            snprintf(text, size, "%s differs (%u bytes, CRC %08x; the recording's: %u bytes, CRC %08x)",
                     recording_data_path(i), (unsigned)here.size, (unsigned)here.crc, (unsigned)r->archives[i].size,
                     (unsigned)r->archives[i].crc);
        return text;
    }
    return nullptr;
}

int recorder_load(const char* path, int32_t verify) {
    const char* file = path && strcmp(path, "last") == 0 ? SESSION_LAST_PATH : path;
    Recording recording;
    char error[300];
    if (!recording_read_file(file, &recording, error, sizeof error)) {
        printf("Can't play the recording %s\n", error);
        fflush(stdout);
        return 0;
    }
    char difference[300];
    if (recording.exact && data_difference(&recording, difference, sizeof difference)) {
        printf("Can't play the recording %s: %s\n", file, difference);
        fflush(stdout);
        recording_free(&recording);
        return 0;
    }
    session_start_playback(&recording);
    levels_finished = 0;
    reset_hashes();
    recorder_state = verify ? RECORDER_VERIFYING : RECORDER_PLAYING;
    return 1;
}

void recorder_apply_settings() {
    if (recorder_state != RECORDER_PLAYING && recorder_state != RECORDER_VERIFYING) return;
    const Recording* r = &session_recording;
    if (r->exact) {
        test_mode = (r->options & RECORDED_OPTION_TEST) ? 1 : 0;
        colour_depth = r->colour_depth;
    }
    // A playback is watched in a window; a verification shows nothing and plays no sound.
    fullscreen = 0;
    fullscreen_desktop = 0;
    if (recorder_state == RECORDER_VERIFYING) {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        scale_mode = SCALE_NONE;
    }
}

int32_t recorder_language(int32_t chosen) {
    Recording* r = &session_recording;
    if (recorder_state == RECORDER_RECORDING) {
        r->options =
            (r->options & ~RECORDED_LANGUAGE_MASK) | ((chosen << RECORDED_LANGUAGE_SHIFT) & RECORDED_LANGUAGE_MASK);
        return chosen;
    }
    if (session_mode == SESSION_PLAY && r->exact)
        return (r->options & RECORDED_LANGUAGE_MASK) >> RECORDED_LANGUAGE_SHIFT;
    return chosen;
}

static void compare_check(const RecordedCheck* now) {
    const Recording* r = &session_recording;
    while (next_check < r->check_count && r->checks[next_check].poll < now->poll) next_check++;
    if (next_check >= r->check_count || r->checks[next_check].poll != now->poll) return;
    const RecordedCheck* then = &r->checks[next_check++];
    if (first_difference != DIFFERS_NOTHING) return;
    int32_t differs = DIFFERS_NOTHING;
    if (then->state != now->state)
        differs = DIFFERS_STATE;
    else if (then->sound != now->sound)
        differs = DIFFERS_SOUND;
    else if (pictures_compared && then->picture != now->picture)
        differs = DIFFERS_PICTURE;
    if (differs == DIFFERS_NOTHING) return;
    first_difference = differs;
    difference_poll = now->poll;
}

void recorder_note_poll(const RecordedFrame* frame) {
    if (recorder_state == RECORDER_OFF || recording_full) return;
    Recording* r = &session_recording;
    uint32_t poll = session_polls;
    if (poll == 0 && frame_surface) {
        uint32_t format = frame_format(frame_surface);
        if (recorder_state == RECORDER_RECORDING) r->frame_format = format;
        pictures_compared = r->frame_format == format;
    }
    if (frames_presented != presented_seen && frame_surface) {
        presented_seen = frames_presented;
        picture_hash = recording_hash_step(picture_hash, hash_frame(frame_surface));
    }
    if (recorder_state == RECORDER_RECORDING) {
        if (!recording_append_frame(r, frame)) {
            // The recording is full: it keeps the run up to here.
            recording_full = 1;
            r->end = RUN_END_FULL;
            return;
        }
        r->levels_finished = levels_finished;
        r->points = points;
    }
    if (poll > 0 && poll % RECORDING_CHECK_INTERVAL == 0) {
        RecordedCheck check = {poll, picture_hash, session_sound_hash, state_hash()};
        if (recorder_state == RECORDER_RECORDING)
            recording_append_check(r, &check);
        else
            compare_check(&check);
    }
    session_polls = poll + 1;
}

int32_t recorder_playback_over() {
    if (recorder_state != RECORDER_PLAYING && recorder_state != RECORDER_VERIFYING) return 0;
    return replay_exhausted();
}

static const char* difference_name(int32_t differs) {
    if (differs == DIFFERS_PICTURE) return "the pictures";
    if (differs == DIFFERS_SOUND) return "the sounds";
    return "the game's state";
}

void recorder_print_line(int32_t frames) {
    printf("%d levels finished, %d points, %d frames played\n", (int)levels_finished, (int)points, (int)frames);
    fflush(stdout);
}

int32_t recorder_end_playback(int32_t ran_out) {
    const Recording* r = &session_recording;
    int32_t played = replay_position();
    recorder_print_line(played);
    int32_t status = 1;
    if (r->exact && first_difference != DIFFERS_NOTHING) {
        printf("The playback differs from the recording in %s by frame %u\n", difference_name(first_difference),
               (unsigned)difference_poll);
    } else if (r->exact ? ran_out == PLAYBACK_POLLED_PAST_END && r->end != RUN_END_FULL : ran_out != 0) {
        printf("The game went on after the recording's last frame\n");
    } else if (r->exact && played < r->frame_count) {
        printf("The playback ended after %d of the recording's %d frames\n", (int)played, (int)r->frame_count);
    } else if (r->exact && session_answers_overrun) {
        printf("The playback asked after the music more often than the recording\n");
    } else if (r->exact && (levels_finished != r->levels_finished || points != r->points)) {
        printf("The recording ended with %d levels finished and %d points\n", (int)r->levels_finished, (int)r->points);
    } else {
        status = 0;
    }
    fflush(stdout);
    return status;
}

enum { PLAYBACK_PAUSE_POLL_MS = 20 };

static int32_t fast_forward = 0;  // 1 while F is held: the playback runs on the simulated clock

// Drains the queue; 1 for Escape or a closed window, and *tab counts the Tab presses.
// The desktop's keys (full screen, screenshots) work while watching, as while playing.
static int32_t drain_viewer_events(int32_t* tab) {
    SDL_Event event;
    int32_t end = 0;
    while (SDL_PollEvent(&event)) {
        if (desktop_event(event)) continue;
        if (event.type == SDL_QUIT) end = 1;
        if (event.type != SDL_KEYDOWN) continue;
        if (event.key.keysym.sym == SDLK_ESCAPE) end = 1;
        if (event.key.keysym.sym == SDLK_TAB) *tab += 1;
    }
    return end;
}

int32_t recorder_playback_controls() {
    int32_t tab = 0;
    int32_t end = drain_viewer_events(&tab);
    if (recorder_state != RECORDER_PLAYING) return end;
    while (!end && (tab & 1)) {
        SDL_Delay(PLAYBACK_PAUSE_POLL_MS);
        end_if_terminated();
        end = drain_viewer_events(&tab);
    }
    desktop_end_poll();
    int count = 0;
    const Uint8* keys = SDL_GetKeyState(&count);
    int32_t fast = keys && SDLK_f < count && keys[SDLK_f];
    if (fast != fast_forward) {
        fast_forward = fast;
        replay_use_real_clock(!fast);
        frame_timer_reset();
    }
    return end;
}

void recorder_stop_playback(int32_t ran_out) {
    int32_t status = recorder_end_playback(ran_out);
    replay_stop();
    close_game();
    session_stop();
    fflush(stdout);
    exit(status);
}
