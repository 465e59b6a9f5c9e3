// The game's own settings file: what the getters make of each kind of line,
// and that a save changes only the values set, byte for byte, and never
// replaces a file it could not read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "storage/extras.h"
#include "support/support.h"

namespace {

const char EXTRAS_FILE[] = "floob2-extras.cfg";

void load(const std::string& text) {
    ASSERT_TRUE(write_file(EXTRAS_FILE, text));
    extras_load();
}

}  // namespace

TEST(Extras, ReadsValuesAndFallsBackOnBadOnes) {
    TempDir dir;
    struct Case {
        const char* text;
        const char* key;
        const char* value;  // null: no value
        int32_t number;     // extras_get_int(key, 0, 5000, -7)
    } cases[] = {
        {"fullscreen=1\n", "fullscreen", "1", 1},
        {"  window_width =  960 \r\n", "window_width", "960", 960},
        {"# window_width=960\n", "window_width", nullptr, -7},
        {"window_width\n", "window_width", nullptr, -7},
        {"window_width=960\nwindow_width=1000", "window_width", "1000", 1000},
        {"window_width=96O\n", "window_width", "96O", -7},
        {"window_width=\n", "window_width", "", -7},
        {"window_width=+12\n", "window_width", "+12", 12},
        {"window_width=-1\n", "window_width", "-1", -7},
        {"window_width=99999999999999999999\n", "window_width", "99999999999999999999", -7},
        {"window_width=5001\n", "window_width", "5001", -7},
        {"language=pt_BR # not a comment\n", "language", "pt_BR # not a comment", -7},
        {"window_widthx=3\n", "window_width", nullptr, -7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        load(c.text);
        const char* value = extras_get(c.key);
        if (c.value)
            EXPECT_STREQ(value, c.value);
        else
            EXPECT_EQ(value, nullptr);
        EXPECT_EQ(extras_get_int(c.key, 0, 5000, -7), c.number);
    }
}

TEST(Extras, SaveChangesOnlyTheValuesSet) {
    TempDir dir;
    // No file and nothing set: nothing is written.
    extras_load();
    EXPECT_EQ(extras_get(EXTRAS_FULLSCREEN), nullptr);
    EXPECT_TRUE(extras_save());
    struct stat info;
    EXPECT_NE(stat(EXTRAS_FILE, &info), 0);

    const std::string before = "# mine\r\nlanguage = de \r\nzoom_secret=9\nwindow_width=640\nwindow_width=700";
    load(before);
    EXPECT_TRUE(extras_set_int(EXTRAS_WINDOW_WIDTH, 1000));
    EXPECT_TRUE(extras_set(EXTRAS_LANGUAGE, "fr"));
    EXPECT_TRUE(extras_set_int(EXTRAS_FULLSCREEN, 1));
    EXPECT_FALSE(extras_set("bad key", "1"));
    EXPECT_FALSE(extras_set("screenshot_raw", "1\nfullscreen=0"));
    EXPECT_FALSE(extras_set("screenshot_raw", " 1"));
    EXPECT_TRUE(extras_save());
    EXPECT_EQ(read_file(EXTRAS_FILE),
              "# mine\r\nlanguage = fr \r\nzoom_secret=9\nwindow_width=640\nwindow_width=1000\nfullscreen=1\n");
    ASSERT_EQ(stat(EXTRAS_FILE, &info), 0);
    mode_t mask = umask(022);
    umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0644u & ~mask);
    extras_load();
    EXPECT_EQ(extras_get_int(EXTRAS_WINDOW_WIDTH, 1, 9999, 0), 1000);
    EXPECT_STREQ(extras_get(EXTRAS_LANGUAGE), "fr");

    // Setting a value to what it is writes nothing.
    ASSERT_TRUE(write_file(EXTRAS_FILE, "fullscreen=1"));
    extras_load();
    EXPECT_TRUE(extras_set_int(EXTRAS_FULLSCREEN, 1));
    EXPECT_TRUE(extras_save());
    EXPECT_EQ(read_file(EXTRAS_FILE), "fullscreen=1");
}

TEST(Extras, NeverReplacesAFileItCouldNotReadWhole) {
    TempDir dir;
    std::string big(64 * 1024 + 1, '#');
    load(big);
    EXPECT_TRUE(extras_set_int(EXTRAS_FULLSCREEN, 1));
    EXPECT_FALSE(extras_save());
    EXPECT_EQ(read_file(EXTRAS_FILE), big);

    ASSERT_EQ(unlink(EXTRAS_FILE), 0);
    ASSERT_EQ(mkdir(EXTRAS_FILE, 0755), 0);
    extras_load();
    EXPECT_TRUE(extras_set_int(EXTRAS_FULLSCREEN, 1));
    EXPECT_FALSE(extras_save());
    struct stat info;
    ASSERT_EQ(stat(EXTRAS_FILE, &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}
