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

// Called by the event pump after every poll with the poll's input (live or
// played back): appends it while recording, and while recording or playing
// back hashes the picture shown since the last poll and keeps or compares
// the checks.
void recorder_note_poll(const RecordedFrame* frame);

// Ends a playback: prints the closing line ("N levels finished, P points, F
// frames played"), and returns the exit status: 0 when the recording played
// through to its end with every check matching, else 1 (with the reason).
int32_t recorder_end_playback();

// 1 while a playback's recorded input is used up or it ended by a recorded signal.
int32_t recorder_playback_over();

#endif
