// The resource archive reader: lookup, retry of a failed slot, and safety on
// damaged files, on archives from our writer and on hand-made bytes.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "compile.h"
#include "floob.h"
#include "storage/archive.h"
#include "support/support.h"

namespace {

struct RawRecord {
    std::string name;  // up to 32 bytes copied as they are
    uint32_t offset;
    uint32_t unpacked;
    uint32_t packed;
};

void put_u32(std::string& out, size_t at, uint32_t v) {
    for (int k = 0; k < 4; k++) out[at + k] = (char)((v >> (8 * k)) & 0xFF);
}

std::string zpack(const std::string& data) {
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    EXPECT_EQ(Z_OK, compress((Bytef*)&out[0], &size, (const Bytef*)data.data(), data.size()));
    out.resize(size);
    return out;
}

// Header and index only; the caller appends or places the data.
std::string make_index(const std::vector<RawRecord>& records) {
    std::string out(4 + 44 * records.size(), '\0');
    out[0] = 'Q';
    out[1] = 'V';
    out[2] = 'A';
    out[3] = (char)(records.size() - 1);
    for (size_t i = 0; i < records.size(); i++) {
        size_t at = 4 + 44 * i;
        memcpy(&out[at], records[i].name.data(), std::min<size_t>(32, records[i].name.size()));
        put_u32(out, at + 32, records[i].offset);
        put_u32(out, at + 36, records[i].unpacked);
        put_u32(out, at + 40, records[i].packed);
    }
    return out;
}

std::string written_archive(const std::vector<std::pair<std::string, std::string>>& items) {
    std::vector<ArchiveInput> inputs;
    for (const auto& item : items) {
        ArchiveInput in;
        in.name = item.first;
        in.data.assign(item.second.begin(), item.second.end());
        inputs.push_back(in);
    }
    Bytes out;
    std::string error;
    EXPECT_TRUE(write_archive(inputs, out, error)) << error;
    return std::string(out.begin(), out.end());
}

// Installs bytes as ./data/<name>.qva and reopens every archive.
void install(const std::string& archive, const std::string& bytes) {
    mkdir("data", 0755);
    ASSERT_TRUE(write_file("data/" + archive + ".qva", bytes));
}

void reopen() {
    archive_close_all();
    archive_open_all();
}

// Loads an entry as a string; "<none>" when the load returns null.
std::string load(int32_t archive, const char* name, const char* ext) {
    uint32_t size = 12345;
    uint8_t* data = archive_load(archive, name, ext, &size);
    if (!data) return "<none>";
    std::string text((const char*)data, size);
    free(data);
    return text;
}

class ArchiveTest : public ::testing::Test {
   protected:
    void SetUp() override { archive_close_all(); }
    void TearDown() override { archive_close_all(); }
    TempDir dir;
};

TEST_F(ArchiveTest, SingleEntryArchiveAndEveryArchiveId) {
    install("gfx", written_archive({{"logo.bmp", "picture bytes"}}));
    install("maps", written_archive({{"floob201.bin", "level"}}));
    install("music", written_archive({{"title.mod", "song"}}));
    install("sound", written_archive({{"klonk.wav", "noise"}}));
    reopen();
    EXPECT_EQ(1, archive_entry_count(ARCHIVE_GFX));
    EXPECT_EQ("picture bytes", load(ARCHIVE_GFX, "logo", "bmp"));
    EXPECT_EQ("level", load(ARCHIVE_MAPS, "floob201", "bin"));
    EXPECT_EQ("song", load(ARCHIVE_MUSIC, "title", "mod"));
    EXPECT_EQ("noise", load(ARCHIVE_SOUND, "klonk", "wav"));
    // The entry is looked up by its full name, extension included.
    EXPECT_EQ("<none>", load(ARCHIVE_GFX, "logo", "wav"));
    EXPECT_EQ("<none>", load(ARCHIVE_SOUND, "logo", "bmp"));
    // The unnamed slots and ids outside the table never deliver anything.
    EXPECT_EQ("<none>", load(4, "logo", "bmp"));
    EXPECT_EQ("<none>", load(6, "logo", "bmp"));
    EXPECT_EQ("<none>", load(7, "logo", "bmp"));
    EXPECT_EQ("<none>", load(-1, "logo", "bmp"));
}

TEST_F(ArchiveTest, FullArchiveOf256EntriesFindsEveryOne) {
    std::vector<std::pair<std::string, std::string>> items;
    for (int i = 0; i < 256; i++)
        items.push_back({"e" + std::to_string(i) + ".bin", std::string((size_t)i * 7, (char)('a' + i % 26)) + "#"});
    install("maps", written_archive(items));
    reopen();
    EXPECT_EQ(256, archive_entry_count(ARCHIVE_MAPS));
    for (int i = 0; i < 256; i++)
        EXPECT_EQ(items[i].second, load(ARCHIVE_MAPS, ("e" + std::to_string(i)).c_str(), "bin")) << i;
}

TEST_F(ArchiveTest, EachLoadReturnsAFreshBuffer) {
    install("sound", written_archive({{"aj.wav", "ouch"}}));
    reopen();
    uint32_t size_a = 0, size_b = 0;
    uint8_t* a = archive_load(ARCHIVE_SOUND, "aj", "wav", &size_a);
    uint8_t* b = archive_load(ARCHIVE_SOUND, "aj", "wav", &size_b);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    a[0] = 'X';
    EXPECT_EQ(0, memcmp(b, "ouch", 4));
    EXPECT_EQ(4u, size_b);
    free(a);
    free(b);
}

TEST_F(ArchiveTest, NamesAreCaseSensitiveAndTheFirstDuplicateWins) {
    std::string one = zpack("lower"), two = zpack("upper"), three = zpack("second copy");
    std::vector<RawRecord> records = {{"klonk.wav", 0, 5, (uint32_t)one.size()},
                                      {"KLONK.wav", 0, 5, (uint32_t)two.size()},
                                      {"klonk.wav", 0, 11, (uint32_t)three.size()}};
    uint32_t at = 4 + 44 * 3;
    records[0].offset = at;
    records[1].offset = at + one.size();
    records[2].offset = at + one.size() + two.size();
    install("sound", make_index(records) + one + two + three);
    reopen();
    EXPECT_EQ("lower", load(ARCHIVE_SOUND, "klonk", "wav"));
    EXPECT_EQ("upper", load(ARCHIVE_SOUND, "KLONK", "wav"));
    EXPECT_EQ("<none>", load(ARCHIVE_SOUND, "Klonk", "wav"));
}

TEST_F(ArchiveTest, ThirtyOneCharacterNameIgnoresByte31AndLongerKeysAreNotFound) {
    std::string name31 = "abcdefghijklmnopqrstuvwxyz0.bmp";
    ASSERT_EQ(31u, name31.size());
    std::string data = zpack("thirty-one");
    std::vector<RawRecord> records = {{name31 + "Z", 4 + 44, 10, (uint32_t)data.size()}};
    install("gfx", make_index(records) + data);
    reopen();
    ASSERT_STREQ(name31.c_str(), archive_entry_name(ARCHIVE_GFX, 0));
    EXPECT_EQ("thirty-one", load(ARCHIVE_GFX, "abcdefghijklmnopqrstuvwxyz0", "bmp"));
    // A key of 32 characters must not be cut down to the stored 31.
    EXPECT_EQ("<none>", load(ARCHIVE_GFX, "abcdefghijklmnopqrstuvwxyz0", "bmpZ"));
}

TEST_F(ArchiveTest, FailedSlotIsRetriedOnEveryLoad) {
    std::string good = written_archive({{"blocks.bmp", "tiles"}});
    std::string bad = good;
    bad[2] = 'B';
    install("gfx", bad);
    reopen();
    EXPECT_EQ(0, archive_entry_count(ARCHIVE_GFX));
    EXPECT_EQ("<none>", load(ARCHIVE_GFX, "blocks", "bmp"));
    EXPECT_EQ("<none>", load(ARCHIVE_GFX, "blocks", "bmp"));
    install("gfx", good);
    EXPECT_EQ("tiles", load(ARCHIVE_GFX, "blocks", "bmp"));
    EXPECT_EQ(1, archive_entry_count(ARCHIVE_GFX));

    // A missing archive is also looked for again.
    EXPECT_EQ("<none>", load(ARCHIVE_MUSIC, "title", "mod"));
    install("music", written_archive({{"title.mod", "tune"}}));
    EXPECT_EQ("tune", load(ARCHIVE_MUSIC, "title", "mod"));
}

TEST_F(ArchiveTest, EntriesMayLieAnywhereInAnyOrder) {
    std::string a = zpack("first record"), b = zpack("second record"), c = zpack("third record");
    std::string body = make_index({{"a.bin", 0, 12, 0}, {"b.bin", 0, 13, 0}, {"c.bin", 0, 12, 0}});
    body += "gap";
    uint32_t at_c = body.size();
    body += c + std::string(100, '\x55');
    uint32_t at_a = body.size();
    body += a;
    uint32_t at_b = body.size();
    body += b + "trailing junk";
    put_u32(body, 4 + 32, at_a);
    put_u32(body, 4 + 40, a.size());
    put_u32(body, 48 + 32, at_b);
    put_u32(body, 48 + 40, b.size());
    put_u32(body, 92 + 32, at_c);
    put_u32(body, 92 + 40, c.size());
    install("maps", body);
    reopen();
    EXPECT_EQ("third record", load(ARCHIVE_MAPS, "c", "bin"));
    EXPECT_EQ("first record", load(ARCHIVE_MAPS, "a", "bin"));
    EXPECT_EQ("second record", load(ARCHIVE_MAPS, "b", "bin"));
}

TEST_F(ArchiveTest, DamagedOrMisdescribedEntriesAreRefused) {
    std::string data = zpack(std::string(5000, 'q') + "end");
    std::string intact = zpack("intact");
    std::vector<RawRecord> records = {{"damaged.wav", 0, 5003, (uint32_t)data.size()},
                                      {"intact.wav", 0, 6, (uint32_t)intact.size()},
                                      {"short.wav", 0, 100, (uint32_t)data.size()},
                                      {"roomy.wav", 0, 9000, (uint32_t)data.size()}};
    uint32_t at = 4 + 44 * records.size();
    std::string corrupt = data;
    corrupt[corrupt.size() / 2] ^= 0x5A;
    corrupt[corrupt.size() - 1] ^= 0x01;
    records[0].offset = at;
    records[1].offset = at + corrupt.size();
    records[2].offset = records[1].offset + intact.size();
    records[3].offset = records[2].offset;
    install("sound", make_index(records) + corrupt + intact + data);
    reopen();
    EXPECT_EQ("<none>", load(ARCHIVE_SOUND, "damaged", "wav"));
    EXPECT_EQ("intact", load(ARCHIVE_SOUND, "intact", "wav"));
    // Data that inflates to more than its record says does not fit the buffer.
    EXPECT_EQ("<none>", load(ARCHIVE_SOUND, "short", "wav"));
    // A record that promises more than the data holds delivers what was there.
    EXPECT_EQ(std::string(5000, 'q') + "end", load(ARCHIVE_SOUND, "roomy", "wav"));
}

TEST_F(ArchiveTest, RecordsPointingOutsideTheFileOrClaimingAbsurdSizes) {
    std::string data = zpack("payload");
    uint32_t at = 4 + 44 * 5;
    uint32_t end = at + data.size();
    std::vector<RawRecord> records = {{"ok.bin", at, 7, (uint32_t)data.size()},
                                      {"past.bin", end + 10, 7, (uint32_t)data.size()},
                                      {"overrun.bin", at, 7, (uint32_t)data.size() + 1},
                                      {"wrap.bin", 0xFFFFFFF0u, 7, 0x20},
                                      {"huge.bin", at, 0xFFFFFFFFu, (uint32_t)data.size()}};
    install("maps", make_index(records) + data);
    reopen();
    EXPECT_EQ("payload", load(ARCHIVE_MAPS, "ok", "bin"));
    EXPECT_EQ("<none>", load(ARCHIVE_MAPS, "past", "bin"));
    EXPECT_EQ("<none>", load(ARCHIVE_MAPS, "overrun", "bin"));
    EXPECT_EQ("<none>", load(ARCHIVE_MAPS, "wrap", "bin"));
    EXPECT_EQ("<none>", load(ARCHIVE_MAPS, "huge", "bin"));
}

TEST_F(ArchiveTest, TruncatedArchives) {
    std::string full = written_archive({{"one.bmp", std::string(300, '1')}, {"two.bmp", std::string(300, '2')}});
    // Cut inside the packed data of the last entry: the first entry still loads.
    install("gfx", full.substr(0, full.size() - 3));
    reopen();
    EXPECT_EQ(std::string(300, '1'), load(ARCHIVE_GFX, "one", "bmp"));
    EXPECT_EQ("<none>", load(ARCHIVE_GFX, "two", "bmp"));
    // Cut inside the index: no index is held, and every load tries again.
    install("gfx", full.substr(0, 4 + 44 + 20));
    reopen();
    EXPECT_EQ(0, archive_entry_count(ARCHIVE_GFX));
    EXPECT_EQ("<none>", load(ARCHIVE_GFX, "one", "bmp"));
    install("gfx", full.substr(0, 2));
    reopen();
    EXPECT_EQ("<none>", load(ARCHIVE_GFX, "one", "bmp"));
    install("gfx", "");
    reopen();
    EXPECT_EQ("<none>", load(ARCHIVE_GFX, "one", "bmp"));
    install("gfx", full);
    EXPECT_EQ(std::string(300, '2'), load(ARCHIVE_GFX, "two", "bmp"));
}

// Random damage anywhere in the file: every load either delivers bytes whose
// size its record allows or nothing. Run under the sanitizer build, this also
// shows that nothing is read or written outside a buffer.
TEST_F(ArchiveTest, RandomDamageNeverDeliversMoreThanTheRecordAllows) {
    std::string good = written_archive(
        {{"a.wav", std::string(700, 'a') + "tail"}, {"b.wav", "short"}, {"c.wav", std::string(3000, '\x7f')}});
    srand(7);
    for (int round = 0; round < 300; round++) {
        std::string bad = good;
        int flips = 1 + rand() % 4;
        for (int k = 0; k < flips; k++) bad[rand() % bad.size()] = (char)(rand() & 0xFF);
        if (round % 5 == 0) bad.resize(rand() % bad.size());
        install("sound", bad);
        reopen();
        for (int32_t i = 0; i < archive_entry_count(ARCHIVE_SOUND); i++) {
            std::string full = archive_entry_name(ARCHIVE_SOUND, i);
            size_t dot = full.rfind('.');
            if (dot == std::string::npos) continue;
            uint32_t size = 0;
            uint8_t* data =
                archive_load(ARCHIVE_SOUND, full.substr(0, dot).c_str(), full.substr(dot + 1).c_str(), &size);
            if (data) {
                EXPECT_LE(size, (uint32_t)ARCHIVE_MAX_UNPACKED);
            }
            free(data);
        }
    }
}

TEST_F(ArchiveTest, CloseAllForgetsTheIndexes) {
    install("sound", written_archive({{"tada.wav", "fanfare"}}));
    reopen();
    EXPECT_EQ(1, archive_entry_count(ARCHIVE_SOUND));
    archive_close_all();
    EXPECT_EQ(0, archive_entry_count(ARCHIVE_SOUND));
    EXPECT_EQ(nullptr, archive_entry_name(ARCHIVE_SOUND, 0));
}

TEST_F(ArchiveTest, ReadWholeFile) {
    ASSERT_TRUE(write_file("level.bin", std::string("\0\1\2level", 8)));
    uint32_t size = 0;
    uint8_t* data = read_whole_file("level.bin", &size);
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(8u, size);
    EXPECT_EQ(0, memcmp(data, "\0\1\2level", 8));
    free(data);
    data = read_whole_file("level.bin", nullptr);
    EXPECT_NE(nullptr, data);
    free(data);

    ASSERT_TRUE(write_file("empty.cfg", ""));
    size = 99;
    EXPECT_EQ(nullptr, read_whole_file("empty.cfg", &size));
    EXPECT_EQ(nullptr, read_whole_file("missing.cfg", &size));
    mkdir("folder", 0755);
    EXPECT_EQ(nullptr, read_whole_file("folder", &size));
}

TEST(UserPath, SharedBufferHoldsOnlyTheLatestPath) {
    const char* first = make_user_path("floob2", "cfg");
    EXPECT_STREQ("./floob2.cfg", first);
    const char* second = make_user_path("hiscores", "dat");
    EXPECT_EQ(first, second);
    EXPECT_STREQ("./hiscores.dat", first);
}

}  // namespace
