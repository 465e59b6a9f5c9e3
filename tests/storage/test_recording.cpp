// Recordings: the binary form read back as written, every damaged form
// refused with its reason, the text form read by the same reader, and the
// session's player's files (captured while recording, kept off the disk
// while playing back).
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include <string>

#include "floob.h"
#include "storage/recording.h"
#include "storage/userfile.h"
#include "support/support.h"

namespace {

RecordedFrame frame(uint8_t held, uint8_t released, uint16_t key = 0, int16_t pad = -1) {
    RecordedFrame f;
    memset(&f, 0, sizeof f);
    f.held = held;
    f.released = released;
    f.key = key;
    f.pad = pad;
    return f;
}

// A recording with a field of every kind set away from its default.
void make_sample(Recording* r) {
    recording_init(r);
    r->exact = 1;
    snprintf(r->game_version, sizeof r->game_version, "1.10");
    for (int32_t i = 0; i < RECORDING_ARCHIVES; i++) r->archives[i] = {1000u + (uint32_t)i, 0xDEADBEEFu ^ (uint32_t)i};
    r->seed = 0x12345678u;
    r->options = RECORDED_OPTION_TEST;
    r->colour_depth = 24;
    r->frame_format = 0xABCD1234u;
    recording_add_file(r, "./floob2.cfg", RECORDED_FILE_READ, (const uint8_t*)"k_jump=97\n", 10);
    recording_add_file(r, "./hiscores.dat", RECORDED_FILE_MISSING, nullptr, 0);
    recording_add_file(r, "./savegame.dat", RECORDED_FILE_UNREADABLE, nullptr, 0);
    RecordedFrame f = frame(0, 0);
    for (int32_t i = 0; i < 300; i++) recording_append_frame(r, &f);
    f = frame(BTN_RIGHT | BTN_JUMP, BTN_UP, 97, 3);
    f.skip = 1;
    for (int32_t i = 0; i < 200; i++) recording_append_frame(r, &f);
    f = frame(0, BTN_START, 13, -1);
    f.quit = 1;
    f.close = 1;
    f.signal = SIGTERM;
    recording_append_frame(r, &f);
    for (int32_t i = 0; i < 70; i++) recording_append_answer(r, i > 40);
    for (uint32_t i = 1; i <= 8; i++) {
        RecordedCheck check = {60 * i, i * 7u, i * 11u, i * 13u};
        recording_append_check(r, &check);
    }
    r->levels_finished = 2;
    r->points = 4321;
    r->end = RUN_END_SIGNAL;
}

std::string encode(const Recording* r) {
    uint32_t size = 0;
    uint8_t* bytes = recording_encode(r, &size);
    std::string out(bytes ? (const char*)bytes : "", bytes ? size : 0);
    free(bytes);
    return out;
}

// Parses bytes; returns the reason ("" when it was read).
std::string parse(const std::string& bytes, Recording* r) {
    char error[200];
    if (recording_parse((const uint8_t*)bytes.data(), (uint32_t)bytes.size(), r, error, sizeof error)) return "";
    EXPECT_NE(error[0], 0);
    return error;
}

// The stored CRC made right again after a change to the bytes before it.
std::string resealed(std::string bytes) {
    uint32_t crc = (uint32_t)crc32(0L, (const Bytef*)bytes.data(), (uInt)(bytes.size() - 4));
    for (int i = 0; i < 4; i++) bytes[bytes.size() - 4 + (size_t)i] = (char)(crc >> (8 * i));
    return bytes;
}

}  // namespace

TEST(Recording, BinaryFormReadsBackAsWritten) {
    Recording sample;
    make_sample(&sample);
    std::string bytes = encode(&sample);
    ASSERT_FALSE(bytes.empty());
    Recording back;
    ASSERT_EQ(parse(bytes, &back), "");
    EXPECT_EQ(back.exact, 1);
    EXPECT_STREQ(back.game_version, "1.10");
    for (int32_t i = 0; i < RECORDING_ARCHIVES; i++) {
        EXPECT_EQ(back.archives[i].size, sample.archives[i].size);
        EXPECT_EQ(back.archives[i].crc, sample.archives[i].crc);
    }
    EXPECT_EQ(back.seed, sample.seed);
    EXPECT_EQ(back.options, sample.options);
    EXPECT_EQ(back.colour_depth, 24);
    EXPECT_EQ(back.frame_format, 0xABCD1234u);
    ASSERT_EQ(back.file_count, 3);
    const RecordedFile* cfg = recording_find_file(&back, "./floob2.cfg");
    ASSERT_NE(cfg, nullptr);
    EXPECT_EQ(std::string((const char*)cfg->bytes, cfg->size), "k_jump=97\n");
    EXPECT_EQ(recording_find_file(&back, "./savegame.dat")->status, RECORDED_FILE_UNREADABLE);
    ASSERT_EQ(back.frame_count, sample.frame_count);
    EXPECT_EQ(memcmp(back.frames, sample.frames, sizeof(RecordedFrame) * (size_t)sample.frame_count), 0);
    ASSERT_EQ(back.answer_count, sample.answer_count);
    EXPECT_EQ(memcmp(back.answers, sample.answers, (size_t)sample.answer_count), 0);
    ASSERT_EQ(back.check_count, sample.check_count);
    EXPECT_EQ(back.checks[7].poll, 480u);
    EXPECT_EQ(back.checks[7].state, 8u * 13u);
    EXPECT_EQ(back.levels_finished, 2);
    EXPECT_EQ(back.points, 4321);
    EXPECT_EQ(back.end, RUN_END_SIGNAL);
    // Three runs of frames and two of answers: the whole recording stays small.
    EXPECT_LT(bytes.size(), 300u);
    recording_free(&sample);
    recording_free(&back);
}

TEST(Recording, DamagedFormsAreRefusedWithTheirReason) {
    Recording sample;
    make_sample(&sample);
    std::string good = encode(&sample);
    recording_free(&sample);
    std::string flipped = good;
    flipped[40] ^= 0x10;
    std::string later = good;
    later[8] = 2;
    std::string many_frames = good;
    // The frame count follows the header and the files; found by its value.
    size_t at = many_frames.find(std::string("\xF5\x01\x00\x00", 4));
    ASSERT_NE(at, std::string::npos);
    many_frames[at + 3] = 0x7F;
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"flipped byte", flipped, "checksum"},
        {"later format", later, "format version 2"},
        {"huge frame count", resealed(many_frames), "too many frames"},
        {"trailing bytes", resealed(good.substr(0, good.size() - 4) + "xx" + good.substr(good.size() - 4)),
         "bytes after the end"},
        {"too large", std::string(RECORDING_MAX_BYTES + 1u, '#'), "too large"},
        {"bad text line", "# fine\n10 R -\n5 X -\n", "malformed line 3"},
        {"text past the frame limit", "900000 R -\n", "too many frames"},
    };
    for (const Case& c : cases) {
        Recording r;
        std::string reason = parse(c.bytes, &r);
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.name << ": " << reason;
        EXPECT_EQ(r.frames, nullptr) << c.name;
    }
    // Every cut-off recording is refused, none read past its end.
    for (size_t length = 0; length < good.size(); length++) {
        Recording r;
        EXPECT_NE(parse(good.substr(0, length), &r), "") << "cut at " << length;
    }
}

TEST(Recording, TextFormGoesThroughTheSameReader) {
    Recording r;
    ASSERT_EQ(parse("# route\n\n3 RJ -\n  1 R J\t\n2 - - QT\n", &r), "");
    EXPECT_EQ(r.exact, 0);
    ASSERT_EQ(r.frame_count, 6);
    EXPECT_EQ(r.frames[0].held, BTN_RIGHT | BTN_JUMP);
    EXPECT_EQ(r.frames[3].released, BTN_JUMP);
    EXPECT_EQ(r.frames[5].quit, 1);
    EXPECT_EQ(r.frames[5].signal, SIGTERM);
    EXPECT_EQ(r.frames[5].pad, -1);
    recording_free(&r);
}

TEST(Recording, SessionKeepsThePlayersFilesOffTheDisk) {
    TempDir dir;
    ASSERT_TRUE(write_file("floob2.cfg", "mus_volume=40\n"));
    // Recording: each file as first read, a later change on disk not taken.
    session_start_recording(99);
    uint8_t buffer[64];
    uint32_t size = 0;
    EXPECT_EQ(read_user_file("./floob2.cfg", buffer, sizeof buffer, &size), USER_FILE_READ);
    EXPECT_EQ(read_user_file("./hiscores.dat", buffer, sizeof buffer, &size), USER_FILE_MISSING);
    ASSERT_TRUE(write_file("floob2.cfg", "mus_volume=90\n"));
    EXPECT_EQ(read_user_file("./floob2.cfg", buffer, sizeof buffer, &size), USER_FILE_READ);
    Recording made = session_recording;
    recording_init(&session_recording);
    session_stop();
    ASSERT_EQ(made.file_count, 2);
    EXPECT_EQ(std::string((const char*)made.files[0].bytes, made.files[0].size), "mus_volume=40\n");
    EXPECT_EQ(made.files[1].status, RECORDED_FILE_MISSING);
    EXPECT_EQ(made.seed, 99u);

    // Playback: the recorded bytes, writes kept in memory, the disk untouched.
    session_start_playback(&made);
    EXPECT_EQ(session_seed(5), 99u);
    EXPECT_EQ(read_user_file("./floob2.cfg", buffer, sizeof buffer, &size), USER_FILE_READ);
    EXPECT_EQ(std::string((const char*)buffer, size), "mus_volume=40\n");
    EXPECT_EQ(read_user_file("./hiscores.dat", buffer, sizeof buffer, &size), USER_FILE_MISSING);
    EXPECT_TRUE(write_user_file("./hiscores.dat", "abc", 3));
    EXPECT_EQ(read_user_file("./hiscores.dat", buffer, sizeof buffer, &size), USER_FILE_READ);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(lock_user_file("./hiscores.dat"), -1);
    session_stop();
    EXPECT_EQ(read_file("floob2.cfg"), "mus_volume=90\n");
    EXPECT_EQ(read_file("hiscores.dat"), "");
    EXPECT_EQ(read_file("hiscores.dat.lock"), "");
    EXPECT_EQ(session_seed(5), 5u);
}
