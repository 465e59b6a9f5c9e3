// Recordings of a run of the game: everything a later run needs to play it
// again exactly (the data and version it was made with, the player's files as
// the run first read them, the random seed, and every poll of the event pump),
// their one reader and writer, and the live session that records or plays one.
// The file layout is described in docs/replay-format.md.
#ifndef STORAGE_RECORDING_H
#define STORAGE_RECORDING_H

#include <stdint.h>

enum {
    RECORDING_FORMAT_VERSION = 1,
    // Four hours of polls at 60 a second; a longer run is recorded up to here.
    RECORDING_MAX_FRAMES = 4 * 60 * 60 * 60,
    // The music answers (see recording_music_answer): a few per frame at most.
    RECORDING_MAX_ANSWERS = 4 * RECORDING_MAX_FRAMES,
    RECORDING_MAX_CHECKS = RECORDING_MAX_FRAMES / 30 + 2,
    RECORDING_MAX_FILES = 8,
    RECORDING_NAME_BYTES = 32,
    RECORDING_VERSION_BYTES = 16,
    RECORDING_MAX_FILE_BYTES = 64 * 1024,
    // No valid recording is larger; a larger file is refused unread.
    RECORDING_MAX_BYTES = 16 * 1024 * 1024,
    // The four data archives, and the test map of a run in test mode.
    RECORDING_ARCHIVES = 5,
    // A check of pictures, sounds and state is stored every this many polls.
    RECORDING_CHECK_INTERVAL = 60
};

// One poll of the event pump. The first four fields are those of the text form.
struct RecordedFrame {
    uint8_t held;      // BTN_* bits held after the poll
    uint8_t released;  // the one BTN_* released in the poll, or 0
    uint8_t quit;      // 1: Escape was pressed in the poll
    uint8_t signal;    // SIGTERM or SIGINT arrived in the poll, 0 for none
    uint8_t close;     // 1: the window's close button was used in the poll
    uint8_t skip;      // 1: the frame after the poll was not drawn
    uint8_t focus;     // 1: the window lost the input focus in the poll
    uint8_t spare;     // always 0: the record has no padding, so records compare whole
    uint16_t key;      // last_key after the poll (recordings of real play only)
    int16_t pad;       // last_pad_button after the poll (the same)
};

// A player's file as the recorded run first read it.
enum { RECORDED_FILE_READ = 0, RECORDED_FILE_MISSING = 1, RECORDED_FILE_UNREADABLE = 2 };
struct RecordedFile {
    char name[RECORDING_NAME_BYTES];  // as the game names it, e.g. "./floob2.cfg"
    int32_t status;                   // RECORDED_FILE_*
    uint32_t size;
    uint8_t* bytes;  // owned by the recording (malloc); null when size is 0
};

// Size and CRC-32 of one data archive (both 0: the archive was missing).
struct ArchiveSum {
    uint32_t size;
    uint32_t crc;
};

// Running hashes after a poll: of every picture drawn, every sound and song
// started, and the game's state, all since the run began.
struct RecordedCheck {
    uint32_t poll;  // polls done when the check was taken
    uint32_t picture;
    uint32_t sound;
    uint32_t state;
};

// How the recorded run ended.
enum { RUN_END_QUIT = 0, RUN_END_SIGNAL = 1, RUN_END_FATAL = 2, RUN_END_FULL = 3 };

// The options of the recorded run that change play: test mode, and the
// language of the texts (0..3) in bits 1 and 2.
enum { RECORDED_OPTION_TEST = 1, RECORDED_LANGUAGE_SHIFT = 1, RECORDED_LANGUAGE_MASK = 6 };

struct Recording {
    int32_t exact;  // 1: a recording of a run; 0: the text form (input only, see replay.cpp)
    char game_version[RECORDING_VERSION_BYTES];
    ArchiveSum archives[RECORDING_ARCHIVES];  // data/gfx.qva, maps, music, sound, maps/test.bin
    uint32_t seed;
    int32_t options;        // RECORDED_OPTION_* bits
    int32_t colour_depth;   // 16 or 24
    uint32_t frame_format;  // hash of the pixel format the pictures were hashed in
    int32_t file_count;
    RecordedFile files[RECORDING_MAX_FILES];
    RecordedFrame* frames;
    int32_t frame_count;
    uint8_t* answers;  // 0 or 1 each
    int32_t answer_count;
    RecordedCheck* checks;
    int32_t check_count;
    // The end of the run: levels finished, points, and how it ended.
    int32_t levels_finished;
    int32_t points;
    int32_t end;
    // Room allocated (recording_append_* grow it).
    int32_t frame_room;
    int32_t answer_room;
    int32_t check_room;
};

// An empty recording, or one whose storage is released.
void recording_init(Recording* recording);
void recording_free(Recording* recording);

// Appends a frame, a music answer or a check; 0 when the recording is full.
int recording_append_frame(Recording* recording, const RecordedFrame* frame);
int recording_append_answer(Recording* recording, int32_t answer);
int recording_append_check(Recording* recording, const RecordedCheck* check);
// Stores a copy of a file's first read; 0 when the table is full or the file too large.
int recording_add_file(Recording* recording, const char* name, int32_t status, const uint8_t* bytes, uint32_t size);
// The file of that name, or null.
const RecordedFile* recording_find_file(const Recording* recording, const char* name);

// The one reader: the binary form (starting with "FLOOBREC") or the text form.
// Fills recording (which it first initialises) and returns 1; on damaged,
// truncated, oversized or malformed input returns 0 with a one-line reason in
// error (error_size bytes) and leaves recording empty.
int recording_parse(const uint8_t* bytes, uint32_t size, Recording* recording, char* error, uint32_t error_size);
// Reads a file through recording_parse; the reason names the file.
int recording_read_file(const char* path, Recording* recording, char* error, uint32_t error_size);

// The binary form of an exact recording, in a buffer owned by the caller
// (free()); null when memory runs out.
uint8_t* recording_encode(const Recording* recording, uint32_t* out_size);
// Encodes and writes the recording whole through write_user_file; 1 on success.
int recording_write_file(const char* path, const Recording* recording);

// CRC-32 and size of a data file; both 0 when it cannot be read.
ArchiveSum recording_sum_file(const char* path);
// The paths of the data files, in the order of Recording::archives
// ("data/gfx.qva", ..., "maps/test.bin"), relative to the game's folder.
const char* recording_data_path(int32_t index);

// The live session. While recording, the player's files first read, the
// seed, the music answers and the sound events go into the session's
// recording; while playing back, the files are served from the recording and
// never touched on disk, and the seed and the answers are the recorded ones.
enum { SESSION_NONE = 0, SESSION_RECORD = 1, SESSION_PLAY = 2 };
extern int32_t session_mode;
extern Recording session_recording;
// The running hash of sound events and the number of polls so far, kept by the session.
extern uint32_t session_sound_hash;
extern uint32_t session_polls;

// Starts recording into an empty session recording with the given seed, or
// playing back the given recording (which the session takes over; its
// storage is then the session's).
void session_start_recording(uint32_t seed);
void session_start_playback(Recording* recording);
// Ends either and frees the session recording.
void session_stop();

// Where a recording session writes its recording when the run ends: the
// named file (null: none) and, with keep_last, "./replays/last.floobrec",
// the one before renamed to "previous.floobrec".
void session_set_outputs(const char* path, int32_t keep_last);
// Writes the session's recording whole to its outputs, ended as how
// (RUN_END_*), once; later calls and calls outside a recording do nothing.
// Called at the end of the run, after a termination signal and by fatal_error.
void session_finish(int32_t how);
extern const char* const SESSION_LAST_PATH;
extern const char* const SESSION_PREVIOUS_PATH;

// The seed for srand: the session's while one runs, else the given one.
uint32_t session_seed(uint32_t fallback);
// Whether the music is playing, as the game asks it: while recording, the
// real answer is stored; while playing back, the recorded one is returned
// instead (the real one depends on the sound device's timing); 0 once the
// recorded answers are used up.
int32_t recording_music_answer(int32_t real_answer);
// Folds a started sound (kind 0, its id), a song started (kind 1, its repeat count)
// or a song loaded (kind 2, its id) into the session's sound hash.
void recording_note_sound(int32_t kind, int32_t id);
// 1 when the playback asked for more music answers than were recorded.
extern int32_t session_answers_overrun;

// A 32-bit hash step (FNV-1a over the value's four bytes).
uint32_t recording_hash_step(uint32_t hash, uint32_t value);
enum { RECORDING_HASH_START = 2166136261u };

#endif
