// The archive writer: the layout the game's reader expects, its refusals, and a
// round trip of every built entry through the built archives.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "compile.h"
#include "storage/archive.h"
#include "support/support.h"

namespace {

uint32_t u32_at(const Bytes& b, size_t at) {
    return (uint32_t)b[at] | ((uint32_t)b[at + 1] << 8) | ((uint32_t)b[at + 2] << 16) | ((uint32_t)b[at + 3] << 24);
}

ArchiveInput entry(const std::string& name, const std::string& data) {
    ArchiveInput in;
    in.name = name;
    in.data.assign(data.begin(), data.end());
    return in;
}

std::string refusal(const std::vector<ArchiveInput>& entries) {
    Bytes out;
    std::string error;
    EXPECT_FALSE(write_archive(entries, out, error));
    return error;
}

TEST(ArchiveWriter, LayoutIsHeaderIndexThenZlibStreams) {
    std::string big(20000, 'x');
    for (size_t i = 0; i < big.size(); i += 7) big[i] = (char)(i * 31);
    std::vector<ArchiveInput> entries = {entry("empty.bin", ""), entry("a.wav", "A"), entry("big.bmp", big)};
    Bytes out;
    std::string error;
    ASSERT_TRUE(write_archive(entries, out, error)) << error;
    ASSERT_GE(out.size(), 4u + 44 * 3);
    EXPECT_EQ(0, memcmp(out.data(), "QVA", 3));
    EXPECT_EQ(2, out[3]);
    uint32_t expected_offset = 4 + 44 * 3;
    for (size_t i = 0; i < entries.size(); i++) {
        size_t at = 4 + 44 * i;
        char name[33] = {0};
        memcpy(name, &out[at], 32);
        EXPECT_STREQ(entries[i].name.c_str(), name);
        for (size_t k = entries[i].name.size(); k < 32; k++) EXPECT_EQ(0, out[at + k]) << "padding of " << name;
        uint32_t offset = u32_at(out, at + 32), unpacked = u32_at(out, at + 36), packed = u32_at(out, at + 40);
        EXPECT_EQ(expected_offset, offset);
        EXPECT_EQ(entries[i].data.size(), unpacked);
        ASSERT_LE((size_t)offset + packed, out.size());
        Bytes inflated(unpacked + 1);
        uLongf size = inflated.size();
        ASSERT_EQ(Z_OK, uncompress(inflated.data(), &size, &out[offset], packed)) << name;
        inflated.resize(size);
        EXPECT_EQ(entries[i].data, inflated) << name;
        expected_offset += packed;
    }
    EXPECT_EQ(expected_offset, out.size());
    EXPECT_LT(u32_at(out, 4 + 88 + 40), 20000u / 2) << "entries are packed";
}

TEST(ArchiveWriter, RefusesWhatTheReaderCannotHold) {
    Bytes out;
    std::string error;
    EXPECT_FALSE(write_archive({}, out, error));
    EXPECT_NE(std::string::npos, error.find("no entries")) << error;

    std::vector<ArchiveInput> many;
    for (int i = 0; i < 257; i++) many.push_back(entry("e" + std::to_string(i), "x"));
    EXPECT_NE(std::string::npos, refusal(many).find("257"));
    many.pop_back();
    EXPECT_TRUE(write_archive(many, out, error)) << error;
    EXPECT_EQ(255, out[3]);

    std::string name31(27, 'n');
    name31 += ".bmp";
    EXPECT_TRUE(write_archive({entry(name31, "ok")}, out, error)) << error;
    std::string long_error = refusal({entry(name31 + "p", "x")});
    EXPECT_NE(std::string::npos, long_error.find(name31 + "p"));
    EXPECT_NE(std::string::npos, long_error.find("32 characters"));

    EXPECT_NE(std::string::npos, refusal({entry("", "x")}).find("empty name"));
    EXPECT_NE(std::string::npos, refusal({entry(std::string("a\0b", 3), "x")}).find("NUL"));
    EXPECT_NE(std::string::npos,
              refusal({entry("klonk.wav", "1"), entry("aj.wav", "2"), entry("klonk.wav", "3")}).find("twice"));
}

TEST(ArchiveWriter, PackCommandFailsClearly) {
    TempDir dir;
    std::string tool = std::string(FLOOB_BINARY_DIR) + "/tools/floobdata";
    std::string output;
    ASSERT_TRUE(write_file("this-entry-name-is-far-too-long.bmp", "x"));
    EXPECT_NE(0, run_command(tool + " pack long.qva this-entry-name-is-far-too-long.bmp 2>&1", &output));
    EXPECT_NE(std::string::npos, output.find("at most 31")) << output;

    EXPECT_NE(0, run_command(tool + " pack missing.qva nothing-here.bin 2>&1", &output));
    EXPECT_NE(std::string::npos, output.find("nothing-here.bin")) << output;

    EXPECT_NE(0, run_command(tool + " pack empty.qva 2>&1", &output));
    EXPECT_NE(std::string::npos, output.find("no entries")) << output;
    EXPECT_NE(0, access("empty.qva", F_OK)) << "a refused archive is not written";
}

// Every compiled entry of the build comes back byte for byte from its archive.
TEST(ArchiveWriter, BuiltArchivesDeliverEveryEntry) {
    TempDir dir(true);
    archive_close_all();
    archive_open_all();
    const char* archives[4] = {"gfx", "maps", "music", "sound"};
    int checked = 0;
    for (int32_t id = 0; id < 4; id++) {
        std::string folder = std::string(FLOOB_BINARY_DIR) + "/entries/" + archives[id];
        DIR* d = opendir(folder.c_str());
        if (!d) continue;
        while (struct dirent* e = readdir(d)) {
            std::string file = e->d_name;
            size_t dot = file.rfind('.');
            if (file[0] == '.' || dot == std::string::npos) continue;
            std::string expected = read_file(folder + "/" + file);
            uint32_t size = 0;
            uint8_t* data = archive_load(id, file.substr(0, dot).c_str(), file.substr(dot + 1).c_str(), &size);
            ASSERT_NE(nullptr, data) << archives[id] << "/" << file;
            EXPECT_EQ(expected, std::string((const char*)data, size)) << archives[id] << "/" << file;
            free(data);
            checked++;
        }
        closedir(d);
    }
    archive_close_all();
    // The fonts at least are built from this repository's own sources.
    EXPECT_GE(checked, 2);
}

}  // namespace
