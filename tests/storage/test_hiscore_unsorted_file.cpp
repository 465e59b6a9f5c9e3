// A high-score file whose entries are out of order (edited by hand or damaged)
// is read into a table in descending order, so that the qualifying check
// against entry 9 and the insertion still work.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "storage/hiscore.h"
#include "support/support.h"

namespace {

const char SCORE_FILE[] = "hiscores.dat";

// The XOR chain's start value, found from a saved table whose first byte is known.
int start_value() {
    hiscore_reset_table();
    hiscore_table[0].name[0] = 'Q';
    hiscore_save();
    std::string stored = read_file(SCORE_FILE);
    return stored.empty() ? 0 : ((uint8_t)stored[0] ^ 'Q');
}

std::string encode(const std::string& plain, int s) {
    std::string stored = plain;
    stored[0] = (char)(plain[0] ^ s);
    for (size_t k = 1; k < plain.size(); k++) stored[k] = (char)(plain[k] ^ stored[k - 1]);
    return stored;
}

std::string plain_entry(const char* name, int32_t score) {
    std::string e(16, '\0');
    memcpy(&e[0], name, strlen(name));
    for (int b = 0; b < 4; b++) e[12 + b] = (char)(((uint32_t)score >> (8 * b)) & 0xFF);
    return e;
}

TEST(HiscoreUnsortedFile, EntriesComeOutInDescendingOrderKeepingTies) {
    TempDir dir;
    int s = start_value();
    // The best score stands last, two equal scores in the middle.
    const char* names[10] = {"ANNA", "BEN", "CARL", "DORA", "EMIL", "FINN", "GRETA", "HUGO", "IDA", "MAX"};
    const int32_t scores[10] = {900, 800, 700, 600, 600, 400, 300, 200, 100, 49000};
    std::string plain;
    for (int i = 0; i < 10; i++) plain += plain_entry(names[i], scores[i]);
    ASSERT_TRUE(write_file(SCORE_FILE, encode(plain, s)));

    hiscore_reset_table();
    hiscore_load();
    EXPECT_STREQ("MAX", hiscore_table[0].name);
    EXPECT_EQ(49000, hiscore_table[0].score);
    EXPECT_STREQ("ANNA", hiscore_table[1].name);
    EXPECT_STREQ("DORA", hiscore_table[4].name);
    EXPECT_STREQ("EMIL", hiscore_table[5].name);
    EXPECT_STREQ("IDA", hiscore_table[9].name);
    for (int i = 1; i < 10; i++) EXPECT_GE(hiscore_table[i - 1].score, hiscore_table[i].score) << i;

    // A score above the lowest entry (100) now qualifies and goes in at once.
    EXPECT_EQ(1, hiscore_insert(1000, "NEW"));
    EXPECT_STREQ("NEW", hiscore_table[1].name);
    EXPECT_STREQ("HUGO", hiscore_table[9].name);
}

TEST(HiscoreUnsortedFile, ShortUnsortedFileKeepsMadeUpEntriesBelowKeptOnes) {
    TempDir dir;
    int s = start_value();
    std::string plain = plain_entry("LOW", 150) + plain_entry("HIGH", 3000);
    ASSERT_TRUE(write_file(SCORE_FILE, encode(plain, s)));

    hiscore_reset_table();
    hiscore_load();
    EXPECT_STREQ("HIGH", hiscore_table[0].name);
    EXPECT_STREQ("LOW", hiscore_table[1].name);
    for (int i = 1; i < 10; i++) EXPECT_GE(hiscore_table[i - 1].score, hiscore_table[i].score) << i;
}

}  // namespace
