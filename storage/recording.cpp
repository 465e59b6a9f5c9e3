// The recording's one reader and writer, and the live session. The binary
// layout is described field by field in docs/replay-format.md; the text form
// is the one of the scripted runs (see the comment at the top of
// shell/replay.cpp), read here so that both go through one reader.
#include "storage/recording.h"

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "floob.h"
#include "storage/archive.h"
#include "storage/bytes.h"
#include "storage/text.h"
#include "storage/userfile.h"

static const char RECORDING_MAGIC[8] = {'F', 'L', 'O', 'O', 'B', 'R', 'E', 'C'};
static const char* const DATA_PATHS[RECORDING_ARCHIVES] = {"data/gfx.qva", "data/maps.qva", "data/music.qva",
                                                           "data/sound.qva", "maps/test.bin"};

// The released button's index in the run encoding and the text form's letters, in the same order.
static const uint8_t BUTTON_BITS[7] = {BTN_UP, BTN_DOWN, BTN_RIGHT, BTN_LEFT, BTN_JUMP, BTN_PAUSE, BTN_START};
static const char BUTTON_LETTERS[7] = {'U', 'D', 'R', 'L', 'J', 'P', 'S'};

// Bits of a run's second byte and of its extension byte.
enum {
    RUN_MORE = 0x01,  // in the first byte: the second byte follows
    RUN_RELEASED_MASK = 0x07,
    RUN_QUIT = 0x08,
    RUN_CLOSE = 0x10,
    RUN_SKIP = 0x20,
    RUN_RESERVED = 0x40,
    RUN_EXTENDED = 0x80,
    EXT_KEY = 0x01,
    EXT_PAD = 0x02,
    EXT_SIGNAL_SHIFT = 2,
    EXT_SIGNAL_MASK = 0x0C,
    EXT_FOCUS = 0x10,
    EXT_RESERVED = 0xE0
};

enum { SIGNAL_CODE_TERM = 1, SIGNAL_CODE_INT = 2 };

enum { TEXT_MAX_FIELDS = 4 };

// ---------------------------------------------------------------- storage

void recording_init(Recording* recording) { memset(recording, 0, sizeof *recording); }

void recording_free(Recording* recording) {
    for (int32_t i = 0; i < recording->file_count; i++) free(recording->files[i].bytes);
    free(recording->frames);
    free(recording->answers);
    free(recording->checks);
    recording_init(recording);
}

// Makes room for one more element of an array that grows by half; 0 when it
// would pass the limit or memory runs out.
static int grow(void** data, int32_t* room, int32_t count, int32_t limit, size_t element) {
    if (count < *room) return 1;
    if (count >= limit) return 0;
    int32_t wanted = *room < 1024 ? 1024 : *room + *room / 2;
    if (wanted > limit) wanted = limit;
    void* bigger = realloc(*data, (size_t)wanted * element);
    if (!bigger) return 0;
    *data = bigger;
    *room = wanted;
    return 1;
}

int recording_append_frame(Recording* recording, const RecordedFrame* frame) {
    if (!grow((void**)&recording->frames, &recording->frame_room, recording->frame_count, RECORDING_MAX_FRAMES,
              sizeof(RecordedFrame)))
        return 0;
    recording->frames[recording->frame_count++] = *frame;
    return 1;
}

int recording_append_answer(Recording* recording, int32_t answer) {
    if (!grow((void**)&recording->answers, &recording->answer_room, recording->answer_count, RECORDING_MAX_ANSWERS, 1))
        return 0;
    recording->answers[recording->answer_count++] = answer ? 1 : 0;
    return 1;
}

int recording_append_check(Recording* recording, const RecordedCheck* check) {
    if (!grow((void**)&recording->checks, &recording->check_room, recording->check_count, RECORDING_MAX_CHECKS,
              sizeof(RecordedCheck)))
        return 0;
    recording->checks[recording->check_count++] = *check;
    return 1;
}

const RecordedFile* recording_find_file(const Recording* recording, const char* name) {
    if (!name) return nullptr;
    for (int32_t i = 0; i < recording->file_count; i++)
        if (strcmp(recording->files[i].name, name) == 0) return &recording->files[i];
    return nullptr;
}

int recording_add_file(Recording* recording, const char* name, int32_t status, const uint8_t* bytes, uint32_t size) {
    if (!name || strlen(name) < 1 || strlen(name) >= RECORDING_NAME_BYTES || size > RECORDING_MAX_FILE_BYTES) return 0;
    if (status < RECORDED_FILE_READ || status > RECORDED_FILE_UNREADABLE) return 0;
    RecordedFile* file = (RecordedFile*)recording_find_file(recording, name);
    if (!file) {
        if (recording->file_count >= RECORDING_MAX_FILES) return 0;
        file = &recording->files[recording->file_count];
        memset(file, 0, sizeof *file);
        snprintf(file->name, sizeof file->name, "%s", name);
        recording->file_count += 1;
    }
    uint8_t* copy = nullptr;
    if (size > 0) {
        copy = (uint8_t*)malloc(size);
        if (!copy) return 0;
        memcpy(copy, bytes, size);
    }
    free(file->bytes);
    file->bytes = copy;
    file->size = size;
    file->status = status;
    return 1;
}

// ---------------------------------------------------------------- writer

static_assert(sizeof(RecordedFrame) == 12, "a frame record without padding bytes");

using Output = ByteBuffer;

static void put_bytes(Output* out, const void* data, size_t count) { byte_buffer_append(out, data, count); }

static void put_u8(Output* out, uint32_t value) {
    uint8_t b = (uint8_t)value;
    put_bytes(out, &b, 1);
}

static void put_u16(Output* out, uint32_t value) {
    uint8_t b[2] = {(uint8_t)value, (uint8_t)(value >> 8)};
    put_bytes(out, b, 2);
}

static void put_u32(Output* out, uint32_t value) {
    uint8_t b[4] = {(uint8_t)value, (uint8_t)(value >> 8), (uint8_t)(value >> 16), (uint8_t)(value >> 24)};
    put_bytes(out, b, 4);
}

// Unsigned LEB128: seven bits a byte, the low ones first, the top bit set on all but the last.
static void put_varint(Output* out, uint32_t value) {
    while (value >= 0x80) {
        put_u8(out, (value & 0x7F) | 0x80);
        value >>= 7;
    }
    put_u8(out, value);
}

static int32_t released_index(uint8_t released) {
    for (int32_t k = 0; k < 7; k++)
        if (BUTTON_BITS[k] == released) return k + 1;
    return 0;
}

static uint32_t signal_code(uint8_t signal_number) {
    if (signal_number == SIGTERM) return SIGNAL_CODE_TERM;
    if (signal_number == SIGINT) return SIGNAL_CODE_INT;
    return 0;
}

static int same_frame(const RecordedFrame* a, const RecordedFrame* b) {
    return a->held == b->held && a->released == b->released && a->quit == b->quit && a->signal == b->signal &&
           a->close == b->close && a->skip == b->skip && a->focus == b->focus && a->key == b->key && a->pad == b->pad;
}

static void put_frames(Output* out, const Recording* recording) {
    int32_t runs = 0;
    size_t count_at = out->used;
    put_u32(out, (uint32_t)recording->frame_count);
    put_u32(out, 0);  // the run count, filled in below
    uint16_t key = 0;
    int16_t pad = -1;
    int32_t i = 0;
    while (i < recording->frame_count) {
        const RecordedFrame* f = &recording->frames[i];
        int32_t run = 1;
        while (i + run < recording->frame_count && same_frame(f, &recording->frames[i + run])) run++;
        uint32_t ext = (f->key != key ? EXT_KEY : 0) | (f->pad != pad ? EXT_PAD : 0) |
                       (signal_code(f->signal) << EXT_SIGNAL_SHIFT) | (f->focus ? EXT_FOCUS : 0);
        uint32_t second = (uint32_t)released_index(f->released) | (f->quit ? RUN_QUIT : 0) |
                          (f->close ? RUN_CLOSE : 0) | (f->skip ? RUN_SKIP : 0) | (ext ? RUN_EXTENDED : 0);
        put_u8(out, (f->held & 0xFE) | (second ? RUN_MORE : 0));
        if (second) put_u8(out, second);
        if (ext) put_u8(out, ext);
        if (ext & EXT_KEY) put_u16(out, f->key);
        if (ext & EXT_PAD) put_u8(out, (uint32_t)(f->pad + 1));
        put_varint(out, (uint32_t)run);
        key = f->key;
        pad = f->pad;
        runs += 1;
        i += run;
    }
    if (!out->failed) {
        uint8_t* p = out->bytes + count_at + 4;
        p[0] = (uint8_t)runs;
        p[1] = (uint8_t)(runs >> 8);
        p[2] = (uint8_t)(runs >> 16);
        p[3] = (uint8_t)(runs >> 24);
    }
}

static void put_answers(Output* out, const Recording* recording) {
    int32_t runs = 0;
    for (int32_t i = 0; i < recording->answer_count; runs++) {
        int32_t run = 1;
        while (i + run < recording->answer_count && recording->answers[i + run] == recording->answers[i]) run++;
        i += run;
    }
    put_u32(out, (uint32_t)recording->answer_count);
    put_u32(out, (uint32_t)runs);
    for (int32_t i = 0; i < recording->answer_count;) {
        int32_t run = 1;
        while (i + run < recording->answer_count && recording->answers[i + run] == recording->answers[i]) run++;
        put_varint(out, ((uint32_t)run << 1) | recording->answers[i]);
        i += run;
    }
}

uint8_t* recording_encode(const Recording* recording, uint32_t* out_size) {
    Output out = {nullptr, 0, 0, 0};
    put_bytes(&out, RECORDING_MAGIC, sizeof RECORDING_MAGIC);
    put_u16(&out, RECORDING_FORMAT_VERSION);
    size_t version_length = strnlen(recording->game_version, RECORDING_VERSION_BYTES - 1);
    put_u8(&out, (uint32_t)version_length);
    put_bytes(&out, recording->game_version, version_length);
    for (const ArchiveSum& sum : recording->archives) {
        put_u32(&out, sum.size);
        put_u32(&out, sum.crc);
    }
    put_u32(&out, recording->seed);
    put_u8(&out, (uint32_t)recording->options);
    put_u8(&out, (uint32_t)recording->colour_depth);
    put_u32(&out, recording->frame_format);
    put_u8(&out, (uint32_t)recording->file_count);
    for (int32_t i = 0; i < recording->file_count; i++) {
        const RecordedFile* file = &recording->files[i];
        size_t name_length = strlen(file->name);
        put_u8(&out, (uint32_t)name_length);
        put_bytes(&out, file->name, name_length);
        put_u8(&out, (uint32_t)file->status);
        put_u32(&out, file->size);
        if (file->size) put_bytes(&out, file->bytes, file->size);
    }
    put_frames(&out, recording);
    put_answers(&out, recording);
    put_u32(&out, (uint32_t)recording->check_count);
    uint32_t poll = 0;
    for (int32_t i = 0; i < recording->check_count; i++) {
        const RecordedCheck* check = &recording->checks[i];
        put_varint(&out, check->poll - poll);
        put_u32(&out, check->picture);
        put_u32(&out, check->sound);
        put_u32(&out, check->state);
        poll = check->poll;
    }
    put_u32(&out, (uint32_t)recording->levels_finished);
    put_u32(&out, (uint32_t)recording->points);
    put_u8(&out, (uint32_t)recording->end);
    if (!out.failed) put_u32(&out, (uint32_t)crc32(0L, out.bytes, (uInt)out.used));
    if (out.failed) {
        free(out.bytes);
        return nullptr;
    }
    *out_size = (uint32_t)out.used;
    return out.bytes;
}

int recording_write_file(const char* path, const Recording* recording) {
    uint32_t size = 0;
    uint8_t* bytes = recording_encode(recording, &size);
    if (!bytes) return 0;
    int ok = write_user_file(path, bytes, size);
    free(bytes);
    return ok;
}

// ---------------------------------------------------------------- reader

struct Input {
    const uint8_t* bytes;
    uint32_t size;
    uint32_t at;
    char* error;
    uint32_t error_size;
    int failed;
};

// The reason of the first failure is kept; later ones are not looked at.
static void fail_text(Input* in, const char* text) {
    if (in->failed) return;
    in->failed = 1;
    if (in->error && in->error_size > 0) snprintf(in->error, in->error_size, "%s", text);
}

// fail_text with the reason formatted like printf.
static char fail_buffer[200];
#define FAIL(in, ...) fail_text((in), (snprintf(fail_buffer, sizeof fail_buffer, __VA_ARGS__), fail_buffer))

static int take(Input* in, uint32_t count) {
    if (in->failed) return 0;
    if (count > in->size - in->at) {
        FAIL(in, "truncated at byte %u", (unsigned)in->size);
        return 0;
    }
    return 1;
}

static uint32_t get_u8(Input* in) {
    if (!take(in, 1)) return 0;
    return in->bytes[in->at++];
}

static uint32_t get_u16(Input* in) {
    if (!take(in, 2)) return 0;
    const uint8_t* b = in->bytes + in->at;
    in->at += 2;
    return (uint32_t)b[0] | ((uint32_t)b[1] << 8);
}

static uint32_t get_u32(Input* in) {
    if (!take(in, 4)) return 0;
    const uint8_t* b = in->bytes + in->at;
    in->at += 4;
    return (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
}

static uint32_t get_varint(Input* in) {
    uint32_t value = 0;
    for (int32_t shift = 0; shift < 35; shift += 7) {
        uint32_t b = get_u8(in);
        if (in->failed) return 0;
        if (shift == 28 && b > 0x0F) break;
        value |= (b & 0x7F) << shift;
        if (!(b & 0x80)) return value;
    }
    FAIL(in, "damaged count at byte %u", (unsigned)in->at);
    return 0;
}

// A count read from the file, refused above the limit before anything is allocated for it.
static int32_t get_count(Input* in, int32_t limit, const char* what) {
    uint32_t value = get_u32(in);
    if (!in->failed && value > (uint32_t)limit) FAIL(in, "too many %s (%u, at most %d)", what, value, (int)limit);
    return in->failed ? 0 : (int32_t)value;
}

static void get_header(Input* in, Recording* r) {
    uint32_t version = get_u16(in);
    if (!in->failed && version != RECORDING_FORMAT_VERSION) {
        FAIL(in, "format version %u, this game reads version %d", version, (int)RECORDING_FORMAT_VERSION);
        return;
    }
    uint32_t length = get_u8(in);
    if (!in->failed && (length < 1 || length >= RECORDING_VERSION_BYTES)) FAIL(in, "damaged game version");
    if (!take(in, length)) return;
    memcpy(r->game_version, in->bytes + in->at, length);
    r->game_version[length] = 0;
    in->at += length;
    for (ArchiveSum& sum : r->archives) {
        sum.size = get_u32(in);
        sum.crc = get_u32(in);
    }
    r->seed = get_u32(in);
    r->options = (int32_t)get_u8(in);
    r->colour_depth = (int32_t)get_u8(in);
    r->frame_format = get_u32(in);
    if (in->failed) return;
    if ((r->options & ~(RECORDED_OPTION_TEST | RECORDED_LANGUAGE_MASK)) ||
        (r->colour_depth != 16 && r->colour_depth != 24))
        FAIL(in, "damaged options");
}

static void get_files(Input* in, Recording* r) {
    uint32_t count = get_u8(in);
    if (!in->failed && count > RECORDING_MAX_FILES) FAIL(in, "too many player's files (%u)", count);
    for (uint32_t i = 0; i < count && !in->failed; i++) {
        uint32_t length = get_u8(in);
        if (!in->failed && (length < 1 || length >= RECORDING_NAME_BYTES)) FAIL(in, "damaged file name");
        if (!take(in, length)) return;
        char name[RECORDING_NAME_BYTES];
        memcpy(name, in->bytes + in->at, length);
        name[length] = 0;
        in->at += length;
        if (strlen(name) != length || recording_find_file(r, name)) FAIL(in, "damaged file name");
        uint32_t status = get_u8(in);
        uint32_t size = get_u32(in);
        if (in->failed) return;
        if (status > RECORDED_FILE_UNREADABLE || size > RECORDING_MAX_FILE_BYTES || (status && size)) {
            FAIL(in, "damaged player's file %s", name);
            return;
        }
        if (!take(in, size)) return;
        if (!recording_add_file(r, name, (int32_t)status, in->bytes + in->at, size)) FAIL(in, "out of memory");
        in->at += size;
    }
}

// Room for count entries of entry_size bytes, once the file is seen to hold
// the entries it counts (at least least_bytes each), so that a damaged count
// allocates nothing large; null after a failure.
static void* get_table(Input* in, int32_t entries, uint32_t least_bytes, int32_t count, size_t entry_size) {
    if (in->failed) return nullptr;
    if ((uint64_t)entries * least_bytes > in->size - in->at) {
        FAIL(in, "truncated at byte %u", (unsigned)in->size);
        return nullptr;
    }
    void* table = malloc(entry_size * (size_t)(count > 0 ? count : 1));
    if (!table) FAIL(in, "out of memory");
    return table;
}

static void get_frames(Input* in, Recording* r) {
    int32_t frames = get_count(in, RECORDING_MAX_FRAMES, "frames");
    int32_t runs = get_count(in, RECORDING_MAX_FRAMES, "runs");
    // Each run takes at least two bytes.
    r->frames = static_cast<RecordedFrame*>(get_table(in, runs, 2, frames, sizeof(RecordedFrame)));
    if (!r->frames) return;
    r->frame_room = frames;
    RecordedFrame f;
    memset(&f, 0, sizeof f);
    f.pad = -1;
    for (int32_t k = 0; k < runs && !in->failed; k++) {
        uint32_t first = get_u8(in);
        uint32_t second = (first & RUN_MORE) ? get_u8(in) : 0;
        uint32_t ext = (second & RUN_EXTENDED) ? get_u8(in) : 0;
        if ((first & RUN_MORE) && second == 0) FAIL(in, "damaged frame run %d", (int)k);
        if ((second & RUN_RESERVED) || (ext & EXT_RESERVED) || (second & RUN_EXTENDED && ext == 0))
            FAIL(in, "damaged frame run %d", (int)k);
        f.held = (uint8_t)(first & 0xFE);
        uint32_t released = second & RUN_RELEASED_MASK;
        f.released = released ? BUTTON_BITS[released - 1] : 0;
        f.quit = (second & RUN_QUIT) ? 1 : 0;
        f.close = (second & RUN_CLOSE) ? 1 : 0;
        f.skip = (second & RUN_SKIP) ? 1 : 0;
        f.focus = (ext & EXT_FOCUS) ? 1 : 0;
        uint32_t signal_value = (ext & EXT_SIGNAL_MASK) >> EXT_SIGNAL_SHIFT;
        if (signal_value > SIGNAL_CODE_INT) FAIL(in, "damaged frame run %d", (int)k);
        f.signal = signal_value == SIGNAL_CODE_TERM ? SIGTERM : signal_value == SIGNAL_CODE_INT ? SIGINT : 0;
        if (ext & EXT_KEY) f.key = (uint16_t)get_u16(in);
        if (ext & EXT_PAD) f.pad = (int16_t)((int32_t)get_u8(in) - 1);
        uint32_t count = get_varint(in);
        if (in->failed) return;
        if (count < 1 || count > (uint32_t)(frames - r->frame_count)) {
            FAIL(in, "frame runs do not add up to %d frames", (int)frames);
            return;
        }
        for (uint32_t n = 0; n < count; n++) r->frames[r->frame_count++] = f;
    }
    if (!in->failed && r->frame_count != frames) FAIL(in, "frame runs do not add up to %d frames", (int)frames);
}

static void get_answers(Input* in, Recording* r) {
    int32_t answers = get_count(in, RECORDING_MAX_ANSWERS, "music answers");
    int32_t runs = get_count(in, RECORDING_MAX_ANSWERS, "music answer runs");
    if (in->failed) return;
    if ((uint64_t)runs > in->size - in->at) {
        FAIL(in, "truncated at byte %u", (unsigned)in->size);
        return;
    }
    r->answers = (uint8_t*)malloc((size_t)(answers > 0 ? answers : 1));
    if (!r->answers) {
        FAIL(in, "out of memory");
        return;
    }
    r->answer_room = answers;
    for (int32_t k = 0; k < runs && !in->failed; k++) {
        uint32_t value = get_varint(in);
        uint32_t count = value >> 1;
        if (in->failed) return;
        if (count < 1 || count > (uint32_t)(answers - r->answer_count)) {
            FAIL(in, "music answers do not add up to %d", (int)answers);
            return;
        }
        memset(r->answers + r->answer_count, (int)(value & 1), count);
        r->answer_count += (int32_t)count;
    }
    if (!in->failed && r->answer_count != answers) FAIL(in, "music answers do not add up to %d", (int)answers);
}

static void get_checks(Input* in, Recording* r) {
    int32_t checks = get_count(in, RECORDING_MAX_CHECKS, "checks");
    r->checks = static_cast<RecordedCheck*>(get_table(in, checks, 13, checks, sizeof(RecordedCheck)));
    if (!r->checks) return;
    r->check_room = checks;
    uint32_t poll = 0;
    for (int32_t k = 0; k < checks && !in->failed; k++) {
        uint32_t step = get_varint(in);
        RecordedCheck check;
        check.picture = get_u32(in);
        check.sound = get_u32(in);
        check.state = get_u32(in);
        if (in->failed) return;
        if (step > (uint32_t)r->frame_count - poll || (k > 0 && step == 0)) {
            FAIL(in, "damaged check %d", (int)k);
            return;
        }
        poll += step;
        check.poll = poll;
        r->checks[r->check_count++] = check;
    }
}

static int parse_binary(Input* in, Recording* r) {
    r->exact = 1;
    if (in->size < sizeof RECORDING_MAGIC + 4) {
        FAIL(in, "truncated at byte %u", (unsigned)in->size);
        return 0;
    }
    in->at = sizeof RECORDING_MAGIC;
    uint32_t stored = (uint32_t)in->bytes[in->size - 4] | ((uint32_t)in->bytes[in->size - 3] << 8) |
                      ((uint32_t)in->bytes[in->size - 2] << 16) | ((uint32_t)in->bytes[in->size - 1] << 24);
    // The version is looked at before the checksum, so that a later format is named as such.
    uint32_t version = (uint32_t)in->bytes[8] | ((uint32_t)in->bytes[9] << 8);
    if (version == RECORDING_FORMAT_VERSION && stored != (uint32_t)crc32(0L, in->bytes, in->size - 4)) {
        FAIL(in, "damaged (checksum mismatch)");
        return 0;
    }
    Input body = *in;
    body.size = in->size - 4;
    get_header(&body, r);
    get_files(&body, r);
    get_frames(&body, r);
    get_answers(&body, r);
    get_checks(&body, r);
    r->levels_finished = (int32_t)get_u32(&body);
    r->points = (int32_t)get_u32(&body);
    r->end = (int32_t)get_u8(&body);
    if (!body.failed && (r->end > RUN_END_FULL || r->levels_finished < 0 || r->points < 0))
        FAIL(&body, "damaged summary");
    if (!body.failed && body.at != body.size) FAIL(&body, "%u bytes after the end", (unsigned)(body.size - body.at));
    in->failed = body.failed;
    return !body.failed;
}

// ------------------------------------------------------------ text form

static int32_t letter_bit(char c) {
    for (int32_t k = 0; k < 7; k++)
        if (BUTTON_LETTERS[k] == c) return BUTTON_BITS[k];
    return -1;
}

static int32_t parse_text_count(const char* text, int32_t length) {
    if (length < 1 || length > 7) return -1;
    int32_t value = 0;
    for (int32_t i = 0; i < length; i++) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value >= 1 ? value : -1;
}

static int32_t parse_text_held(const char* text, int32_t length) {
    if (length == 1 && text[0] == '-') return 0;
    int32_t bits = 0;
    for (int32_t i = 0; i < length; i++) {
        int32_t bit = letter_bit(text[i]);
        if (bit < 0) return -1;
        bits |= bit;
    }
    return bits;
}

static int32_t parse_text_released(const char* text, int32_t length) {
    if (length != 1) return -1;
    if (text[0] == '-') return 0;
    return letter_bit(text[0]);
}

// The optional fourth field: Q, T, I, QT or QI.
static int parse_text_events(const char* text, int32_t length, RecordedFrame* f) {
    int32_t i = 0;
    if (i < length && text[i] == 'Q') {
        f->quit = 1;
        i++;
    }
    if (i < length && (text[i] == 'T' || text[i] == 'I')) {
        f->signal = text[i] == 'T' ? SIGTERM : SIGINT;
        i++;
    }
    return i == length && i > 0;
}

// One line of the text form into f and *count; 0 for a blank or comment line,
// 1 for a frame line, -1 for a malformed one.
static int parse_text_line(const char* line, int32_t length, RecordedFrame* f, int32_t* count) {
    const char* starts[TEXT_MAX_FIELDS];
    int32_t lengths[TEXT_MAX_FIELDS];
    int32_t fields = 0;
    int32_t i = 0;
    while (i < length && is_blank(line[i])) i++;
    if (i >= length || line[i] == '#') return 0;
    while (i < length) {
        while (i < length && is_blank(line[i])) i++;
        if (i >= length) break;
        if (fields == TEXT_MAX_FIELDS) return -1;
        starts[fields] = line + i;
        int32_t begin = i;
        while (i < length && !is_blank(line[i])) i++;
        lengths[fields++] = i - begin;
    }
    if (fields < 3) return -1;
    memset(f, 0, sizeof *f);
    f->pad = -1;
    *count = parse_text_count(starts[0], lengths[0]);
    int32_t held = parse_text_held(starts[1], lengths[1]);
    int32_t released = parse_text_released(starts[2], lengths[2]);
    if (fields == 4 && !parse_text_events(starts[3], lengths[3], f)) return -1;
    if (*count < 0 || held < 0 || released < 0) return -1;
    f->held = (uint8_t)held;
    f->released = (uint8_t)released;
    return 1;
}

static int parse_text(Input* in, Recording* r) {
    r->exact = 0;
    // The frames are counted first, so that they are allocated once.
    for (int pass = 0; pass < 2; pass++) {
        int64_t total = 0;
        uint32_t at = 0;
        int32_t line_number = 0;
        while (at < in->size) {
            uint32_t end = at;
            while (end < in->size && in->bytes[end] != '\n') end++;
            line_number += 1;
            const char* line = (const char*)in->bytes + at;
            RecordedFrame f;
            int32_t count = 0;
            int found = memchr(line, 0, end - at) ? -1 : parse_text_line(line, (int32_t)(end - at), &f, &count);
            if (found < 0) {
                FAIL(in, "malformed line %d", (int)line_number);
                return 0;
            }
            if (found > 0 && total + count > RECORDING_MAX_FRAMES) {
                FAIL(in, "too many frames (more than %d)", (int)RECORDING_MAX_FRAMES);
                return 0;
            }
            if (found > 0 && pass == 1)
                for (int32_t n = 0; n < count; n++) r->frames[r->frame_count++] = f;
            if (found > 0) total += count;
            at = end + 1;
        }
        if (pass == 0) {
            r->frames = (RecordedFrame*)malloc(sizeof(RecordedFrame) * (size_t)(total > 0 ? total : 1));
            if (!r->frames) {
                FAIL(in, "out of memory");
                return 0;
            }
            r->frame_room = (int32_t)total;
        }
    }
    if (r->frame_count == 0) {
        FAIL(in, "holds no frames");
        return 0;
    }
    return 1;
}

int recording_parse(const uint8_t* bytes, uint32_t size, Recording* recording, char* error, uint32_t error_size) {
    recording_init(recording);
    if (error && error_size) error[0] = 0;
    Input in = {bytes, bytes ? size : 0, 0, error, error_size, 0};
    if (size > RECORDING_MAX_BYTES) {
        FAIL(&in, "too large (%u bytes, at most %d)", (unsigned)size, (int)RECORDING_MAX_BYTES);
        return 0;
    }
    int ok = 0;
    if (in.size >= sizeof RECORDING_MAGIC && memcmp(bytes, RECORDING_MAGIC, sizeof RECORDING_MAGIC) == 0)
        ok = parse_binary(&in, recording);
    else
        ok = parse_text(&in, recording);
    if (!ok) recording_free(recording);
    return ok;
}

int recording_read_file(const char* path, Recording* recording, char* error, uint32_t error_size) {
    recording_init(recording);
    char reason[200];
    int32_t status = USER_FILE_UNREADABLE;
    int fd = open_regular_file(path, &status);
    if (fd >= 0) close(fd);
    uint32_t size = 0;
    // One byte more than a recording may hold, so that a larger file is refused as such.
    uint8_t* bytes = fd >= 0 ? read_file_start(path, RECORDING_MAX_BYTES + 1u, &size) : nullptr;
    int ok = 0;
    if (fd < 0) {
        snprintf(reason, sizeof reason, "%s", status == USER_FILE_MISSING ? "no such file" : "cannot be read");
    } else if (!bytes && size == 0) {
        ok = recording_parse((const uint8_t*)"", 0, recording, reason, sizeof reason);
    } else {
        ok = recording_parse(bytes, size, recording, reason, sizeof reason);
    }
    free(bytes);
    if (!ok && error && error_size) snprintf(error, error_size, "%s: %s", path ? path : "", reason);
    return ok;
}

// ------------------------------------------------------------ archives

ArchiveSum recording_sum_file(const char* path) {
    ArchiveSum sum = {0, 0};
    int fd = open_regular_file(path, nullptr);
    if (fd < 0) return sum;
    uLong crc = crc32(0L, Z_NULL, 0);
    uint8_t block[65536];
    uint64_t total = 0;
    for (;;) {
        ssize_t n = read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            total = 0;
            crc = 0;
            break;
        }
        if (n == 0) break;
        crc = crc32(crc, block, (uInt)n);
        total += (uint64_t)n;
    }
    close(fd);
    if (total == 0 || total > UINT32_MAX) return sum;
    sum.size = (uint32_t)total;
    sum.crc = (uint32_t)crc;
    return sum;
}

const char* recording_data_path(int32_t index) {
    return index >= 0 && index < RECORDING_ARCHIVES ? DATA_PATHS[index] : nullptr;
}

// ---------------------------------------------------------------- session

int32_t session_mode = SESSION_NONE;
Recording session_recording;
uint32_t session_sound_hash = RECORDING_HASH_START;
uint32_t session_polls = 0;
int32_t session_answers_overrun = 0;
static int32_t session_next_answer = 0;
static int32_t session_finished = 0;  // 1 once session_finish wrote the recording

uint32_t recording_hash_step(uint32_t hash, uint32_t value) {
    for (int32_t i = 0; i < 4; i++) {
        hash ^= (value >> (8 * i)) & 0xFF;
        hash *= 16777619u;
    }
    return hash;
}

static void reset_session_counters() {
    session_sound_hash = RECORDING_HASH_START;
    session_polls = 0;
    session_next_answer = 0;
    session_answers_overrun = 0;
}

void session_start_recording(uint32_t seed) {
    recording_free(&session_recording);
    session_recording.exact = 1;
    session_recording.seed = seed;
    reset_session_counters();
    session_mode = SESSION_RECORD;
}

void session_start_playback(Recording* recording) {
    recording_free(&session_recording);
    session_recording = *recording;
    recording_init(recording);
    reset_session_counters();
    session_mode = SESSION_PLAY;
}

void session_stop() {
    session_mode = SESSION_NONE;
    recording_free(&session_recording);
    reset_session_counters();
    session_finished = 0;
}

uint32_t session_seed(uint32_t fallback) {
    return session_mode != SESSION_NONE && session_recording.exact ? session_recording.seed : fallback;
}

int32_t recording_music_answer(int32_t real_answer) {
    if (session_mode == SESSION_RECORD) {
        recording_append_answer(&session_recording, real_answer);
        return real_answer;
    }
    if (session_mode == SESSION_PLAY && session_recording.exact) {
        if (session_next_answer < session_recording.answer_count)
            return session_recording.answers[session_next_answer++];
        session_answers_overrun = 1;
        return 0;
    }
    return real_answer;
}

void recording_note_sound(int32_t kind, int32_t id) {
    if (session_mode == SESSION_NONE) return;
    session_sound_hash = recording_hash_step(session_sound_hash, session_polls);
    session_sound_hash = recording_hash_step(session_sound_hash, (uint32_t)(kind << 16) ^ (uint32_t)id);
}

const char* const SESSION_LAST_PATH = "./replays/last.floobrec";
const char* const SESSION_PREVIOUS_PATH = "./replays/previous.floobrec";
enum { SESSION_PATH_BYTES = 1024 };
static char session_output[SESSION_PATH_BYTES] = "";
static int32_t session_keep_last = 0;

void session_set_outputs(const char* path, int32_t keep_last) {
    snprintf(session_output, sizeof session_output, "%s", path ? path : "");
    session_keep_last = keep_last;
    session_finished = 0;
}

void session_finish(int32_t how) {
    if (session_mode != SESSION_RECORD || session_finished) return;
    session_finished = 1;
    if (session_recording.end != RUN_END_FULL) session_recording.end = how;
    uint32_t size = 0;
    uint8_t* bytes = recording_encode(&session_recording, &size);
    if (!bytes) {
        fprintf(stderr, "Can't save the recording: out of memory\n");
        return;
    }
    if (session_output[0]) write_user_file(session_output, bytes, size);
    // A run that ended before its first poll (a failed start) played nothing
    // and does not push the last game aside.
    if (session_keep_last && session_recording.frame_count > 0) {
        // The folder is made on the first run; the last game becomes the previous one.
        mkdir("./replays", 0755);
        int32_t status = USER_FILE_MISSING;
        int fd = open_regular_file(SESSION_LAST_PATH, &status);
        if (fd >= 0) {
            close(fd);
            rename(SESSION_LAST_PATH, SESSION_PREVIOUS_PATH);
        }
        write_user_file(SESSION_LAST_PATH, bytes, size);
    }
    free(bytes);
}
