// The high-score table: the fresh table, the obscured file and its checks,
// the "CHEATER" answer, short and unsorted files, and sorting new entries in.
#include <gtest/gtest.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>

#include "storage/hiscore.h"
#include "support/support.h"

namespace {

const char SCORE_FILE[] = "hiscores.dat";

std::string entry_name(int i) { return std::string(hiscore_table[i].name, strnlen(hiscore_table[i].name, 8)); }

bool is_default_name(const std::string& name) {
    if (name.size() < 3 || name.size() > 7) return false;
    for (char c : name) {
        if (c < 'A' || c > 'Z') return false;
    }
    return true;
}

// The chain's start value, found from a saved table whose first byte is known.
int start_value() {
    hiscore_reset_table();
    hiscore_table[0].name[0] = 'Q';
    hiscore_save();
    std::string stored = read_file(SCORE_FILE);
    EXPECT_EQ(160u, stored.size());
    return stored.empty() ? 0 : ((uint8_t)stored[0] ^ 'Q');
}

std::string decode(const std::string& stored, int s) {
    std::string plain = stored;
    for (size_t k = stored.size(); k-- > 1;) plain[k] = (char)(stored[k] ^ stored[k - 1]);
    if (!plain.empty()) plain[0] = (char)(stored[0] ^ s);
    return plain;
}

std::string encode(const std::string& plain, int s) {
    std::string stored = plain;
    if (!stored.empty()) stored[0] = (char)(plain[0] ^ s);
    for (size_t k = 1; k < plain.size(); k++) stored[k] = (char)(plain[k] ^ stored[k - 1]);
    return stored;
}

std::string plain_entry(const char* name, int origin, int32_t score) {
    std::string e(16, '\0');
    memcpy(&e[0], name, strnlen(name, 8));
    e[9] = (char)origin;
    for (int b = 0; b < 4; b++) e[12 + b] = (char)(((uint32_t)score >> (8 * b)) & 0xFF);
    return e;
}

// A valid table of player entries: 5000, 4500, ... 500.
std::string plain_player_table() {
    const char* names[10] = {"FLOOBY", "ZAP", "GRUNT", "OINK", "MEEP", "BONK", "ZING", "PLOP", "FIZZ", "WHOOSH"};
    std::string plain;
    for (int i = 0; i < 10; i++) plain += plain_entry(names[i], 0, 5000 - 500 * i);
    return plain;
}

void expect_cheater_table() {
    for (int i = 0; i < HISCORE_ROWS; i++) {
        EXPECT_EQ("CHEATER", entry_name(i)) << i;
        EXPECT_EQ(0, hiscore_table[i].terminator);
        EXPECT_EQ(2, hiscore_table[i].origin);
        EXPECT_EQ(50000, hiscore_table[i].score);
    }
}

void load_plain(const std::string& plain, int s) {
    ASSERT_TRUE(write_file(SCORE_FILE, encode(plain, s)));
    hiscore_reset_table();
    hiscore_load();
}

}  // namespace

TEST(HiscoreTable, BuiltInTableBeforeAnyLoad) {
    hiscore_reset_table();
    for (int i = 0; i < HISCORE_ROWS; i++) {
        EXPECT_EQ("", entry_name(i));
        EXPECT_EQ(1, hiscore_table[i].origin);
        EXPECT_EQ(1000 - 100 * i, hiscore_table[i].score);
    }
    EXPECT_EQ(16u, sizeof(HiscoreEntry));
}

TEST(HiscoreLoad, NoFileMakesAFreshTableAndSavesIt) {
    TempDir dir;
    hiscore_reset_table();
    hiscore_load();
    std::set<std::string> names;
    for (int i = 0; i < HISCORE_ROWS; i++) {
        EXPECT_GE(hiscore_table[i].score, 1000 - 100 * i) << i;
        EXPECT_LE(hiscore_table[i].score, 1099 - 100 * i) << i;
        EXPECT_EQ(1, hiscore_table[i].origin);
        EXPECT_TRUE(is_default_name(entry_name(i))) << entry_name(i);
        names.insert(entry_name(i));
    }
    EXPECT_EQ(10u, names.size());
    EXPECT_EQ(160u, read_file(SCORE_FILE).size());

    // The saved file holds exactly this table.
    HiscoreEntry fresh[HISCORE_ROWS];
    memcpy(fresh, hiscore_table, sizeof fresh);
    hiscore_reset_table();
    hiscore_load();
    for (int i = 0; i < HISCORE_ROWS; i++) {
        EXPECT_EQ(fresh[i].score, hiscore_table[i].score);
        EXPECT_TRUE(is_default_name(entry_name(i)));
    }
}

TEST(HiscoreFile, IsTheTableUnderTheXorChain) {
    TempDir dir;
    int s = start_value();
    ASSERT_EQ(0, remove(SCORE_FILE));
    hiscore_reset_table();
    hiscore_insert(12345, "FLOOBY");
    std::string plain = decode(read_file(SCORE_FILE), s);
    ASSERT_EQ(160u, plain.size());
    EXPECT_EQ(plain_entry("FLOOBY", 0, 12345), plain.substr(0, 16));
    EXPECT_EQ(plain_entry("", 1, 1000), plain.substr(16, 16));
    EXPECT_EQ(plain_entry("", 1, 200), plain.substr(144, 16));
}

TEST(HiscoreLoad, PlayerEntriesKeepTheirNamesMadeUpOnesGetDefaultNames) {
    TempDir dir;
    int s = start_value();
    std::string plain = plain_player_table();
    plain.replace(16, 16, plain_entry("OLDNAME", 1, 4500));
    plain.replace(32, 16, plain_entry("", 0, 4000));
    load_plain(plain, s);
    EXPECT_EQ("FLOOBY", entry_name(0));
    EXPECT_EQ(0, hiscore_table[0].origin);
    EXPECT_EQ(5000, hiscore_table[0].score);
    EXPECT_TRUE(is_default_name(entry_name(1)));
    EXPECT_NE("OLDNAME", entry_name(1));
    EXPECT_EQ(1, hiscore_table[1].origin);
    EXPECT_EQ(4500, hiscore_table[1].score);
    EXPECT_TRUE(is_default_name(entry_name(2)));
    EXPECT_EQ(4000, hiscore_table[2].score);
    EXPECT_EQ("WHOOSH", entry_name(9));
    // A file that passes the checks is not rewritten.
    EXPECT_EQ(encode(plain, s), read_file(SCORE_FILE));
}

TEST(HiscoreLoad, ScoreOfFiftyThousandIsAccepted) {
    TempDir dir;
    int s = start_value();
    std::string plain = plain_player_table();
    plain.replace(0, 16, plain_entry("FLOOBY", 0, 50000));
    load_plain(plain, s);
    EXPECT_EQ("FLOOBY", entry_name(0));
    EXPECT_EQ(50000, hiscore_table[0].score);
    EXPECT_EQ(0, hiscore_table[0].origin);
}

TEST(HiscoreLoad, ImpossibleEntriesGiveTheCheaterTable) {
    TempDir dir;
    int s = start_value();
    std::string too_high = plain_player_table();
    too_high.replace(48, 16, plain_entry("OINK", 0, 50001));
    std::string negative = plain_player_table();
    negative.replace(144, 16, plain_entry("FIZZ", 0, -1));
    std::string bad_origin = plain_player_table();
    bad_origin[16 * 5 + 9] = 3;
    std::string bad_terminator = plain_player_table();
    bad_terminator[16 * 9 + 8] = 'X';
    for (const std::string& plain : {too_high, negative, bad_origin, bad_terminator}) {
        load_plain(plain, s);
        expect_cheater_table();
        // The answer is written back at once and stands on the next start.
        hiscore_reset_table();
        hiscore_load();
        expect_cheater_table();
    }
}

TEST(HiscoreLoad, ShortFileKeepsItsWholeEntries) {
    TempDir dir;
    int s = start_value();
    std::string plain = plain_player_table();
    // Three whole entries and part of a fourth.
    ASSERT_TRUE(write_file(SCORE_FILE, encode(plain, s).substr(0, 3 * 16 + 5)));
    hiscore_reset_table();
    hiscore_load();
    EXPECT_EQ("FLOOBY", entry_name(0));
    EXPECT_EQ("ZAP", entry_name(1));
    EXPECT_EQ("GRUNT", entry_name(2));
    EXPECT_EQ(4000, hiscore_table[2].score);
    for (int i = 3; i < HISCORE_ROWS; i++) {
        EXPECT_EQ(1, hiscore_table[i].origin) << i;
        EXPECT_TRUE(is_default_name(entry_name(i))) << i;
        EXPECT_LE(hiscore_table[i].score, hiscore_table[i - 1].score) << i;
        EXPECT_GE(hiscore_table[i].score, 0) << i;
    }
    // The file is whole again and keeps the player's entries.
    EXPECT_EQ(160u, read_file(SCORE_FILE).size());
    hiscore_reset_table();
    hiscore_load();
    EXPECT_EQ("FLOOBY", entry_name(0));
    EXPECT_EQ("GRUNT", entry_name(2));
}

// A short file's entries are kept, in score order whatever their order in the file,
// and the made-up entries that fill the table stay below them.
TEST(HiscoreLoad, ShortFileKeepsItsEntriesSortedAboveMadeUpOnes) {
    struct Case {
        const char *first, *second;
        int32_t first_score, second_score;
    };
    const Case cases[] = {{"FLOOBY", "ZAP", 150, 120}, {"LOW", "HIGH", 150, 3000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        TempDir dir;
        int s = start_value();
        std::string plain = plain_entry(c.first, 0, c.first_score) + plain_entry(c.second, 0, c.second_score);
        ASSERT_TRUE(write_file(SCORE_FILE, encode(plain, s)));
        hiscore_reset_table();
        hiscore_load();
        bool in_order = c.first_score >= c.second_score;
        EXPECT_STREQ(in_order ? c.first : c.second, hiscore_table[0].name);
        EXPECT_STREQ(in_order ? c.second : c.first, hiscore_table[1].name);
        EXPECT_EQ(std::max(c.first_score, c.second_score), hiscore_table[0].score);
        EXPECT_EQ(std::min(c.first_score, c.second_score), hiscore_table[1].score);
        for (int i = 2; i < HISCORE_ROWS; i++) EXPECT_LE(hiscore_table[i].score, hiscore_table[i - 1].score) << i;
    }
}

TEST(HiscoreLoad, EmptyFileGivesAFreshTable) {
    TempDir dir;
    ASSERT_TRUE(write_file(SCORE_FILE, ""));
    hiscore_reset_table();
    hiscore_load();
    for (int i = 0; i < HISCORE_ROWS; i++) {
        EXPECT_GE(hiscore_table[i].score, 1000 - 100 * i);
        EXPECT_LE(hiscore_table[i].score, 1099 - 100 * i);
        EXPECT_TRUE(is_default_name(entry_name(i)));
    }
    EXPECT_EQ(160u, read_file(SCORE_FILE).size());
}

TEST(HiscoreInsert, SortsInBelowEqualScoresAndSaves) {
    TempDir dir;
    hiscore_reset_table();
    EXPECT_EQ(5, hiscore_insert(550, "FIRST"));
    EXPECT_EQ(550, hiscore_table[5].score);
    EXPECT_EQ(500, hiscore_table[6].score);
    EXPECT_EQ(200, hiscore_table[9].score);

    EXPECT_EQ(6, hiscore_insert(550, "SECOND"));
    EXPECT_EQ("FIRST", entry_name(5));
    EXPECT_EQ("SECOND", entry_name(6));
    EXPECT_EQ(0, hiscore_table[6].origin);

    EXPECT_EQ(0, hiscore_insert(1001, "TOP"));
    EXPECT_EQ(1000, hiscore_table[1].score);
    EXPECT_EQ(9, hiscore_insert(hiscore_table[9].score + 1, "LAST"));
    EXPECT_EQ("LAST", entry_name(9));

    EXPECT_EQ(2, hiscore_insert(1000, "LONGNAMEXYZ"));
    EXPECT_EQ("LONGNAME", entry_name(2));
    EXPECT_EQ(0, hiscore_table[2].terminator);

    for (int i = 1; i < HISCORE_ROWS; i++) EXPECT_GE(hiscore_table[i - 1].score, hiscore_table[i].score);

    // Saved at once: a restart finds the player's entries.
    hiscore_reset_table();
    hiscore_load();
    EXPECT_EQ("TOP", entry_name(0));
    EXPECT_EQ(1001, hiscore_table[0].score);
    EXPECT_EQ("LONGNAME", entry_name(2));
}

TEST(HiscoreInsert, ScoreNotBeatingTheLastEntryIsRefused) {
    TempDir dir;
    hiscore_reset_table();
    EXPECT_EQ(-1, hiscore_insert(100, "NOPE"));
    EXPECT_EQ(-1, hiscore_insert(-5, "NOPE"));
    EXPECT_EQ(100, hiscore_table[9].score);
    EXPECT_EQ("", entry_name(9));
}

// A file whose entries are out of order (edited by hand or damaged) is read
// into a table in descending order, so that the qualifying check against
// entry 9 and the insertion still work.
TEST(HiscoreUnsortedFile, EntriesComeOutInDescendingOrderKeepingTies) {
    TempDir dir;
    int s = start_value();
    // The best score stands last, two equal scores in the middle.
    const char* names[10] = {"ANNA", "BEN", "CARL", "DORA", "EMIL", "FINN", "GRETA", "HUGO", "IDA", "MAX"};
    const int32_t scores[10] = {900, 800, 700, 600, 600, 400, 300, 200, 100, 49000};
    std::string plain;
    for (int i = 0; i < 10; i++) plain += plain_entry(names[i], 0, scores[i]);
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

// Two games in one folder, both started with the same table, both reach it:
// each process inserts its own score at the same moment, and both entries
// are in the file afterwards.
TEST(HiscoreInsert, TwoGamesAtOnceKeepBothEntries) {
    TempDir dir;
    hiscore_load();
    int gate[2];
    ASSERT_EQ(0, pipe(gate));
    const char* const names[2] = {"FIRSTGAM", "OTHERGAM"};
    pid_t children[2];
    for (int i = 0; i < 2; i++) {
        children[i] = fork();
        ASSERT_GE(children[i], 0);
        if (children[i] == 0) {
            close(gate[1]);
            char byte;
            while (read(gate[0], &byte, 1) > 0) {
            }
            _exit(hiscore_insert(2000 + i, names[i]) >= 0 ? 0 : 1);
        }
    }
    close(gate[0]);
    close(gate[1]);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    hiscore_load();
    EXPECT_EQ("OTHERGAM", entry_name(0));
    EXPECT_EQ("FIRSTGAM", entry_name(1));
}
