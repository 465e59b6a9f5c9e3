// Safe reads and writes of the player's files: the old file survives every
// failure, no temporary file is left behind or followed, and a file that
// cannot be read (FIFO, device, directory) is neither waited on nor written over.
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "floob.h"
#include "shell/controls.h"
#include "storage/archive.h"
#include "storage/config.h"
#include "storage/hiscore.h"
#include "storage/savegame.h"
#include "storage/userfile.h"
#include "support/support.h"

namespace {

// The files in a folder, without the lock files the saves keep beside theirs.
std::vector<std::string> directory_entries(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (!dir) return names;
    while (struct dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        bool lock = name.size() > 5 && name.compare(name.size() - 5, 5, ".lock") == 0;
        if (name != "." && name != ".." && !lock) names.push_back(name);
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

// Failures the file system gives on demand: while set, rename fails with
// EBUSY (as over a file that is mounted on) and opendir with EACCES (as in a
// folder that may be written but not listed). Every rename also notes its
// source, the temporary name the writer chose.
int refuse_rename = 0;
int refuse_listing = 0;
std::string last_renamed;

}  // namespace

extern "C" int rename(const char* from, const char* to) {
    if (refuse_rename) {
        errno = EBUSY;
        return -1;
    }
    last_renamed = from;
    return renameat(AT_FDCWD, from, AT_FDCWD, to);
}

extern "C" DIR* opendir(const char* name) {
    if (refuse_listing) {
        errno = EACCES;
        return nullptr;
    }
    static DIR* (*real_opendir)(const char*) = (DIR * (*)(const char*)) dlsym(RTLD_NEXT, "opendir");
    return real_opendir(name);
}

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
    ASSERT_TRUE(write_file("blocked.dat", "keep"));
    refuse_rename = 1;
    testing::internal::CaptureStderr();
    int written = write_user_file("./blocked.dat", "abc", 3);
    std::string message = testing::internal::GetCapturedStderr();
    refuse_rename = 0;
    EXPECT_EQ(0, written);
    EXPECT_EQ("keep", read_file("blocked.dat"));
    EXPECT_EQ(std::vector<std::string>{"blocked.dat"}, directory_entries("."));
    EXPECT_EQ("Can't save ./blocked.dat: " + std::string(strerror(EBUSY)) + "\n", message);
}

// A failed save says once on standard error which file and why; a good one says nothing.
TEST(UserFile, FailedSavesNameTheFileAndTheReason) {
    TempDir dir;
    ASSERT_EQ(0, mkdir("folder.dat", 0755));
    ASSERT_EQ(0, mkfifo("pipe.dat", 0600));
    struct Case {
        const char* path;
        rlim_t size_limit;
        std::string reason;
    } cases[] = {{"./full.dat", 100, strerror(EFBIG)},
                 {"./no/such/dir.dat", 0, strerror(ENOENT)},
                 {"./folder.dat", 0, "not a regular file"},
                 {"./pipe.dat", 0, "not a regular file"},
                 {"./fine.dat", 0, ""}};
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        {
            FileSizeLimit limit(c.size_limit ? c.size_limit : RLIM_INFINITY);
            std::string bytes(200, 'b');
            write_user_file(c.path, bytes.data(), (uint32_t)bytes.size());
        }
        std::string message = testing::internal::GetCapturedStderr();
        std::string expected = c.reason.empty() ? "" : "Can't save " + std::string(c.path) + ": " + c.reason + "\n";
        EXPECT_EQ(expected, message) << c.path;
    }
}

// A temporary name already taken is never written through, even where the
// folder cannot be listed to clear leftovers first: here every name the
// writer could choose next is a hard link to another file.
TEST(UserFile, TemporaryNamesTakenAreNeverWrittenThrough) {
    TempDir dir;
    ASSERT_EQ(1, write_user_file("./score.dat", "first", 5));
    size_t dot = last_renamed.rfind('.');
    ASSERT_NE(std::string::npos, dot);
    unsigned long next = std::stoul(last_renamed.substr(dot + 1)) + 1;
    ASSERT_TRUE(write_file("victim", "not the game's"));
    for (unsigned long n = next; n < next + 100; n++)
        ASSERT_EQ(0, link("victim", (last_renamed.substr(0, dot + 1) + std::to_string(n)).c_str()));
    refuse_listing = 1;
    testing::internal::CaptureStderr();
    write_user_file("./score.dat", "second", 6);
    testing::internal::GetCapturedStderr();
    refuse_listing = 0;
    EXPECT_EQ("not the game's", read_file("victim"));
    EXPECT_EQ("first", read_file("score.dat"));
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
        saved_level = save_game_write(current_level - 1);
    }
    EXPECT_EQ("mus_volume=42\n", read_file("floob2.cfg"));
    EXPECT_EQ(std::string(160, 'h'), read_file("hiscores.dat"));
    EXPECT_EQ("SAVE", read_file("savegame.dat"));
    EXPECT_EQ(3u, directory_entries(".").size());
    // The game goes on with the values in memory.
    EXPECT_EQ(3, saved_level);
}

TEST(UserFile, TemporaryFilesAreNeverFollowedAndLeftoversNeverBlock) {
    TempDir dir;
    ASSERT_TRUE(write_file("victim", "not the game's"));
    ASSERT_EQ(0, symlink("victim", "hiscores.dat.tmp"));
    // What a game killed while saving a read-only file leaves behind.
    ASSERT_TRUE(write_file("floob2.cfg.tmp", "stale"));
    ASSERT_EQ(0, chmod("floob2.cfg.tmp", 0444));
    ASSERT_TRUE(write_file("savegame.dat.tmp.999999999.0", "stale of a process that is gone"));
    std::string live = "savegame.dat.tmp." + std::to_string(getppid()) + ".0";
    ASSERT_TRUE(write_file(live, "another game's save in progress"));

    EXPECT_EQ(1, write_user_file("./hiscores.dat", "table", 5));
    EXPECT_EQ(1, write_user_file("./floob2.cfg", "k_up=273\n", 9));
    EXPECT_EQ(1, write_user_file("./savegame.dat", "SAVE", 4));
    EXPECT_EQ("not the game's", read_file("victim"));
    struct stat info;
    ASSERT_EQ(0, lstat("hiscores.dat", &info));
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ("table", read_file("hiscores.dat"));
    EXPECT_EQ("k_up=273\n", read_file("floob2.cfg"));
    std::vector<std::string> names = directory_entries(".");
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"floob2.cfg", "hiscores.dat", "savegame.dat", live, "victim"}), names);
}

TEST(UserFile, NewAndLinkedFilesGetTheUsualModeAndOnlyFilesAndLinksAreReplaced) {
    TempDir dir;
    mode_t umask_now = umask(022);
    ASSERT_EQ(0, symlink("/dev/null", "linked.dat"));
    EXPECT_EQ(1, write_user_file("./linked.dat", "x", 1));
    EXPECT_EQ(1, write_user_file("./new.dat", "y", 1));
    ASSERT_EQ(0, mkfifo("pipe.dat", 0600));
    EXPECT_EQ(0, write_user_file("./pipe.dat", "z", 1));
    umask(umask_now);
    for (const char* name : {"linked.dat", "new.dat"}) {
        struct stat info;
        ASSERT_EQ(0, lstat(name, &info));
        EXPECT_TRUE(S_ISREG(info.st_mode)) << name;
        EXPECT_EQ(0644u, info.st_mode & 0777u) << name;
    }
    struct stat info;
    ASSERT_EQ(0, lstat("pipe.dat", &info));
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST(UserFile, ReadsOnlyRegularFilesAndOnlyUpToTheLimit) {
    TempDir dir;
    ASSERT_TRUE(write_file("long.dat", std::string(100000, 'a') + "end"));
    ASSERT_EQ(0, mkfifo("pipe.dat", 0600));
    ASSERT_EQ(0, mkdir("folder.dat", 0755));
    ASSERT_EQ(0, symlink("/dev/zero", "device.dat"));
    struct Case {
        const char* path;
        int32_t status;
        uint32_t size;
    };
    const Case cases[] = {{"long.dat", USER_FILE_READ, 64},
                          {"missing.dat", USER_FILE_MISSING, 0},
                          {"pipe.dat", USER_FILE_UNREADABLE, 0},
                          {"folder.dat", USER_FILE_UNREADABLE, 0},
                          {"device.dat", USER_FILE_UNREADABLE, 0}};
    for (const Case& c : cases) {
        uint8_t buffer[64];
        uint32_t size = 99;
        EXPECT_EQ(c.status, read_user_file(c.path, buffer, sizeof buffer, &size)) << c.path;
        EXPECT_EQ(c.size, size) << c.path;
    }
    uint32_t size = 0;
    uint8_t* start = read_file_start("long.dat", 10, &size);
    ASSERT_NE(nullptr, start);
    EXPECT_EQ(10u, size);
    free(start);
    EXPECT_EQ(nullptr, read_whole_file("pipe.dat", &size));
}

// A player's file that is there but cannot be read (here a link to a device)
// is never made afresh over: the game runs on with what it has in memory.
TEST(UserFile, GameFilesThatCannotBeReadAreLeftAlone) {
    TempDir dir;
    for (const char* name : {"floob2.cfg", "hiscores.dat", "savegame.dat"}) ASSERT_EQ(0, symlink("/dev/null", name));
    apply_default_bindings();
    config_defaults();
    config_load();
    hiscore_load();
    EXPECT_EQ(0, save_game_read());
    mus_volume = 40;
    config_save();
    EXPECT_GE(hiscore_insert(hiscore_table[0].score + 1, "PLAYER"), 0);
    current_level = 3;
    saved_level = save_game_write(current_level - 1);
    EXPECT_EQ(2, saved_level);
    EXPECT_EQ(HISCORE_ROWS, (int)std::count_if(hiscore_table, hiscore_table + HISCORE_ROWS,
                                               [](const HiscoreEntry& e) { return e.score > 0; }));
    for (const char* name : {"floob2.cfg", "hiscores.dat", "savegame.dat"}) {
        struct stat info;
        ASSERT_EQ(0, lstat(name, &info));
        EXPECT_TRUE(S_ISLNK(info.st_mode)) << name << " was written over";
    }
    // Files that can be read are written again.
    for (const char* name : {"floob2.cfg", "hiscores.dat", "savegame.dat"}) ASSERT_EQ(0, unlink(name));
    config_load();
    config_save();
    hiscore_load();
    save_game_read();
    saved_level = save_game_write(current_level - 1);
    EXPECT_EQ(3u, directory_entries(".").size());
    config_defaults();
    hiscore_reset_table();
}
