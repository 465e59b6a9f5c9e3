// Whole runs recorded and played back: "--record FILE", "--play FILE",
// "--verify FILE", and the last game kept in replays/ of the player's folder.
// The recording itself (format, reader, writer, the live session) is
// storage/recording; this unit ties it to the event pump and the frame.
#ifndef SHELL_RECORDER_H
#define SHELL_RECORDER_H

#include <stdint.h>

#include "storage/recording.h"

enum { RECORDER_OFF = 0, RECORDER_RECORDING = 1, RECORDER_PLAYING = 2, RECORDER_VERIFYING = 3 };
extern int32_t recorder_state;

// Starts recording the run, before anything reads the player's files. The
// recording is written whole to path (null: none) and, when keep_last is
// set, to replays/last.floobrec (the one before becoming previous.floobrec)
// when the run ends in any way (session_finish).
void recorder_start(const char* path, int32_t keep_last);

// Reads a recording for "--play" or "--verify" ("last" names the kept last
// game) and checks it against this game's version and data. Prints the
// reason and returns 0 when it cannot be played; else installs it as the
// session's playback (recorder_install_playback puts it into the pump).
int recorder_load(const char* path, int32_t verify);

// The settings the recording asks for, put in force before the video starts.
void recorder_apply_settings();
// The language of the texts: while recording the chosen one, which is kept;
// while playing back a recording the recorded one.
int32_t recorder_language(int32_t chosen);

// Called by the event pump after every poll with the poll's input (live or
// played back): appends it while recording, and while recording or playing
// back hashes the picture shown since the last poll and keeps or compares
// the checks.
void recorder_note_poll(const RecordedFrame* frame);

// The closing line of a playback, and of a "--record" run at its end.
void recorder_print_line(int32_t frames);

// Ends a playback: prints the closing line ("N levels finished, P points, F
// frames played") and returns the exit status, 0 when it played through, else
// 1 with the reason on a second line. A recording of a run plays through when
// the game used every frame of it, no more, and every check matched; a text
// script when the game came to its end before the script ran out.
enum {
    PLAYBACK_ENDED = 0,           // the game ended, or the viewer ended the playback
    PLAYBACK_LOOP_SAW_END = 1,    // the game loop found the input used up and returned
    PLAYBACK_POLLED_PAST_END = 2  // the game asked for input after the last frame
};
int32_t recorder_end_playback(int32_t ran_out);

// 1 when a playback's recorded input is used up.
int32_t recorder_playback_over();

// The viewer's keys during a playback, read by the event pump at each poll:
// Tab pauses until Tab again, holding F plays as fast as the machine can.
// Returns 1 when the viewer ends the playback (Escape, or closing the window).
int32_t recorder_playback_controls();

// Ends the program at the end of a playback: the closing line, the normal
// shut-down, and the status of recorder_end_playback.
[[noreturn]] void recorder_stop_playback(int32_t ran_out);

#endif
