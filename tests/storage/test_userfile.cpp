// Safe writes of the player's files: the old file survives every failure, and
// no temporary file is left behind.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "floob.h"
#include "shell/controls.h"
#include "storage/config.h"
#include "storage/hiscore.h"
#include "storage/savegame.h"
#include "storage/userfile.h"
#include "support/support.h"

namespace {

std::vector<std::string> directory_entries(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (!dir) return names;
    while (struct dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

// While alive, files of this process cannot grow past the given size: a write
// beyond it fails part-way, as on a full disk.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        previous_handler = signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = saved;
        limit.rlim_cur = bytes;
        active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, previous_handler);
    }
    struct rlimit saved;
    void (*previous_handler)(int);
    bool active;
};

}  // namespace

TEST(UserFile, WritesAndReplacesWholeFiles) {
    TempDir dir;
    ASSERT_TRUE(write_file("player.dat", "old contents that are longer"));
    EXPECT_EQ(1, write_user_file("./player.dat", "new", 3));
    EXPECT_EQ("new", read_file("player.dat"));
    EXPECT_EQ(std::vector<std::string>{"player.dat"}, directory_entries("."));

    EXPECT_EQ(1, write_user_file("./fresh.dat", "", 0));
    EXPECT_EQ("", read_file("fresh.dat"));
    struct stat info;
    EXPECT_EQ(0, stat("fresh.dat", &info));
}

TEST(UserFile, KeepsThePermissionsOfTheFileItReplaces) {
    TempDir dir;
    ASSERT_TRUE(write_file("private.dat", "x"));
    ASSERT_EQ(0, chmod("private.dat", 0600));
    EXPECT_EQ(1, write_user_file("private.dat", "yy", 2));
    struct stat info;
    ASSERT_EQ(0, stat("private.dat", &info));
    EXPECT_EQ(0600u, info.st_mode & 0777u);
}

TEST(UserFile, MissingDirectoryFailsWithoutCreatingAnything) {
    TempDir dir;
    EXPECT_EQ(0, write_user_file("./no/such/dir/file.dat", "abc", 3));
    EXPECT_TRUE(directory_entries(".").empty());
}

TEST(UserFile, WriteFailingPartWayLeavesTheOldFile) {
    TempDir dir;
    std::string old_bytes(100, 'o');
    ASSERT_TRUE(write_file("scores.dat", old_bytes));
    std::string new_bytes(4000, 'n');
    {
        FileSizeLimit limit(1000);
        ASSERT_TRUE(limit.active);
        EXPECT_EQ(0, write_user_file("./scores.dat", new_bytes.data(), (uint32_t)new_bytes.size()));
    }
    EXPECT_EQ(old_bytes, read_file("scores.dat"));
    EXPECT_EQ(std::vector<std::string>{"scores.dat"}, directory_entries("."));
}

TEST(UserFile, FailedRenameLeavesTheTargetAndNoTemporaryFile) {
    TempDir dir;
    // A non-empty directory in the way cannot be replaced by a file.
    ASSERT_EQ(0, mkdir("blocked.dat", 0755));
    ASSERT_TRUE(write_file("blocked.dat/inside", "keep"));
    EXPECT_EQ(0, write_user_file("./blocked.dat", "abc", 3));
    EXPECT_EQ("keep", read_file("blocked.dat/inside"));
    EXPECT_EQ(std::vector<std::string>{"blocked.dat"}, directory_entries("."));
}

TEST(UserFile, GameFilesSurviveAFailedSave) {
    TempDir dir;
    ASSERT_TRUE(write_file("floob2.cfg", "mus_volume=42\n"));
    ASSERT_TRUE(write_file("hiscores.dat", std::string(160, 'h')));
    ASSERT_TRUE(write_file("savegame.dat", "SAVE"));
    apply_default_bindings();
    config_defaults();
    hiscore_reset_table();
    current_level = 4;
    {
        // Each save is larger than three bytes, so every one fails part-way.
        FileSizeLimit limit(3);
        ASSERT_TRUE(limit.active);
        config_save();
        hiscore_save();
        save_game_write();
    }
    EXPECT_EQ("mus_volume=42\n", read_file("floob2.cfg"));
    EXPECT_EQ(std::string(160, 'h'), read_file("hiscores.dat"));
    EXPECT_EQ("SAVE", read_file("savegame.dat"));
    EXPECT_EQ(3u, directory_entries(".").size());
    // The game goes on with the values in memory.
    EXPECT_EQ(3, saved_level);
}
