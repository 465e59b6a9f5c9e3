// The save game: the four keyed bytes written on entering a level, and the
// checks that turn any damaged or foreign file into "nothing saved".
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "floob.h"
#include "storage/savegame.h"
#include "support/support.h"

namespace {

const char SAVE_FILE[] = "savegame.dat";

std::string keyed_file(int level, int key) {
    std::string bytes(4, '\0');
    bytes[0] = (char)(key >> 8);
    bytes[1] = (char)((level ^ key) & 0xFF);
    bytes[2] = (char)(key & 0xFF);
    bytes[3] = (char)((level ^ (key >> 8)) & 0xFF);
    return bytes;
}

int32_t read_bytes(const std::string& bytes) {
    EXPECT_TRUE(write_file(SAVE_FILE, bytes));
    return save_game_read();
}

}  // namespace

TEST(SaveGame, WritesTheLastCompletedLevel) {
    TempDir dir;
    saved_level = 0;
    current_level = 5;
    saved_level = save_game_write(current_level - 1);
    EXPECT_EQ(4, saved_level);
    std::string bytes = read_file(SAVE_FILE);
    ASSERT_EQ(4u, bytes.size());
    // Both halves carry the level under the key stored beside them.
    EXPECT_EQ(4, (uint8_t)bytes[1] ^ (uint8_t)bytes[2]);
    EXPECT_EQ(4, (uint8_t)bytes[3] ^ (uint8_t)bytes[0]);
    EXPECT_EQ(4, save_game_read());

    current_level = 11;
    saved_level = save_game_write(current_level - 1);
    EXPECT_EQ(10, saved_level);
    EXPECT_EQ(10, save_game_read());
}

TEST(SaveGame, TwoSavesOfOneLevelDifferButBothRead) {
    TempDir dir;
    srand(1);
    current_level = 3;
    saved_level = save_game_write(current_level - 1);
    std::string first = read_file(SAVE_FILE);
    EXPECT_EQ(2, save_game_read());
    saved_level = save_game_write(current_level - 1);
    std::string second = read_file(SAVE_FILE);
    EXPECT_EQ(2, save_game_read());
    EXPECT_NE(first, second);
    int key = (uint8_t)second[0] * 256 + (uint8_t)second[2];
    EXPECT_NE(0, key);
    EXPECT_NE(0xFFFF, key);
}

TEST(SaveGame, NoFileMeansNothingSaved) {
    TempDir dir;
    EXPECT_EQ(0, save_game_read());
}

TEST(SaveGame, InvalidKeysReadAsNothingSaved) {
    TempDir dir;
    EXPECT_EQ(0, read_bytes(std::string(4, '\0')));
    EXPECT_EQ(0, read_bytes(keyed_file(3, 0xFFFF)));
    EXPECT_EQ(0, read_bytes(keyed_file(3, 0)));
    EXPECT_EQ(3, read_bytes(keyed_file(3, 0x0001)));
    EXPECT_EQ(3, read_bytes(keyed_file(3, 0xFFFE)));
}

TEST(SaveGame, ChangingOneHalfIsNoticed) {
    TempDir dir;
    std::string good = keyed_file(6, 0x3A5C);
    EXPECT_EQ(6, read_bytes(good));
    std::string bad = good;
    bad[1] ^= 0x01;
    EXPECT_EQ(0, read_bytes(bad));
    bad = good;
    bad[3] ^= 0x40;
    EXPECT_EQ(0, read_bytes(bad));
    // Changing the key changes both halves' meaning at once.
    bad = good;
    bad[0] ^= 0x10;
    EXPECT_EQ(0, read_bytes(bad));
}

TEST(SaveGame, OnlyLevelsOneToTenAreAccepted) {
    TempDir dir;
    EXPECT_EQ(0, read_bytes(keyed_file(11, 0x1234)));
    EXPECT_EQ(0, read_bytes(keyed_file(0, 0x1234)));
    EXPECT_EQ(0, read_bytes(keyed_file(255, 0x1234)));
    EXPECT_EQ(1, read_bytes(keyed_file(1, 0x1234)));
    EXPECT_EQ(10, read_bytes(keyed_file(10, 0x1234)));
}

TEST(SaveGame, ShortOrLongFilesAreForeign) {
    TempDir dir;
    std::string good = keyed_file(7, 0x4321);
    EXPECT_EQ(0, read_bytes(good.substr(0, 3)));
    EXPECT_EQ(0, read_bytes(""));
    EXPECT_EQ(0, read_bytes(good + "x"));
    EXPECT_EQ(7, read_bytes(good));
}
