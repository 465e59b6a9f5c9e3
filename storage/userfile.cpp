#include "storage/userfile.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "storage/recording.h"

enum { USERFILE_PATH_MAX = 1100, USERFILE_NEW_MODE = 0644, USERFILE_NAME_TRIES = 100 };

// Temporary files are named "<file>.tmp.<process id>.<count>"; ".tmp" alone
// is what earlier versions of the game used.
static const char USERFILE_TEMP_SUFFIX[] = ".tmp";

static uint32_t temp_counter = 0;  // makes each temporary name of this process new

int open_regular_file(const char* path, int32_t* status) {
    int32_t found = USER_FILE_UNREADABLE;
    int fd = -1;
    struct stat info;
    // A FIFO or a device is never opened at all: opening one can block or act on the device.
    if (!path || !path[0]) {
        found = USER_FILE_MISSING;
    } else if (stat(path, &info) != 0) {
        if (errno == ENOENT) found = USER_FILE_MISSING;
    } else if (S_ISREG(info.st_mode)) {
        // Non-blocking, in case the path was swapped for a FIFO since the check.
        fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
            close(fd);
            fd = -1;
        } else if (fd < 0 && errno == ENOENT) {
            found = USER_FILE_MISSING;
        }
    }
    if (fd >= 0) {
        int flags = fcntl(fd, F_GETFL);
        if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        found = USER_FILE_READ;
    }
    if (status) *status = found;
    return fd;
}

// A playback serves the player's files from the recording: the bytes the
// recorded run first read, or what the playback itself wrote since.
static int32_t read_recorded_file(const char* path, uint8_t* buffer, uint32_t limit, uint32_t* out_size) {
    const RecordedFile* file = recording_find_file(&session_recording, path);
    if (!file) return USER_FILE_MISSING;
    if (file->status != RECORDED_FILE_READ) return file->status;
    uint32_t size = file->size < limit ? file->size : limit;
    if (size) memcpy(buffer, file->bytes, size);
    if (out_size) *out_size = size;
    return USER_FILE_READ;
}

static int32_t read_disk_file(const char* path, uint8_t* buffer, uint32_t limit, uint32_t* out_size);

int32_t read_user_file(const char* path, uint8_t* buffer, uint32_t limit, uint32_t* out_size) {
    if (out_size) *out_size = 0;
    if (session_mode == SESSION_PLAY) return read_recorded_file(path, buffer, limit, out_size);
    uint32_t size = 0;
    int32_t status = read_disk_file(path, buffer, limit, &size);
    if (out_size) *out_size = size;
    // A recording keeps each file as the run first read it.
    if (session_mode == SESSION_RECORD && !recording_find_file(&session_recording, path))
        recording_add_file(&session_recording, path, status, buffer, status == USER_FILE_READ ? size : 0);
    return status;
}

static int32_t read_disk_file(const char* path, uint8_t* buffer, uint32_t limit, uint32_t* out_size) {
    *out_size = 0;
    int32_t status = USER_FILE_UNREADABLE;
    int fd = open_regular_file(path, &status);
    if (fd < 0) return status;
    uint32_t done = 0;
    while (done < limit) {
        ssize_t n = read(fd, buffer + done, limit - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return USER_FILE_UNREADABLE;
        }
        if (n == 0) break;
        done += (uint32_t)n;
    }
    close(fd);
    *out_size = done;
    return USER_FILE_READ;
}

int write_all(int fd, const uint8_t* data, uint32_t size) {
    uint32_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return 0;
        done += (uint32_t)n;
    }
    return 1;
}

// The directory part of a path ("." when it has none) and its last part.
static void split_path(const char* path, char* directory, uint32_t size, const char** base) {
    snprintf(directory, size, "%s", path);
    char* slash = strrchr(directory, '/');
    *base = strrchr(path, '/') ? strrchr(path, '/') + 1 : path;
    if (slash == directory) {
        directory[1] = 0;
    } else if (slash) {
        *slash = 0;
    } else {
        snprintf(directory, size, ".");
    }
}

// Makes the rename itself durable; a directory that cannot be synced is not an error.
static void sync_directory(const char* directory) {
    int fd = open(directory, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Digits only, at least one; returns the number, or -1.
static long parse_digits(const char* text, const char** end) {
    long value = 0;
    const char* p = text;
    while (*p >= '0' && *p <= '9' && value < 100000000L) value = value * 10 + (*p++ - '0');
    *end = p;
    return p == text ? -1 : value;
}

// A leftover of this game's naming for the file `base`: "<base>.tmp" of an
// earlier version, or "<base>.tmp.<pid>.<n>" of a process that is gone (or of
// this one, which has no write in progress). A live process's temporary file
// is left alone, so that two games in one folder do not spoil each other's save.
static bool is_stale_temp(const char* name, const char* base) {
    size_t base_length = strlen(base);
    if (strncmp(name, base, base_length) != 0) return 0;
    const char* rest = name + base_length;
    if (strncmp(rest, USERFILE_TEMP_SUFFIX, sizeof USERFILE_TEMP_SUFFIX - 1) != 0) return 0;
    rest += sizeof USERFILE_TEMP_SUFFIX - 1;
    if (*rest == 0) return 1;
    const char* end = rest;
    if (*rest != '.') return 0;
    long pid = parse_digits(rest + 1, &end);
    if (pid <= 0 || *end != '.' || parse_digits(end + 1, &end) < 0 || *end != 0) return 0;
    if ((pid_t)pid == getpid()) return 1;
    return kill((pid_t)pid, 0) != 0 && errno == ESRCH;
}

// Removes the temporary files that a game killed while saving left behind.
// Unlinking never follows a link, so a planted link only loses itself.
static void remove_stale_temps(const char* directory, const char* base) {
    DIR* dir = opendir(directory);
    if (!dir) return;
    while (struct dirent* entry = readdir(dir)) {
        if (!is_stale_temp(entry->d_name, base)) continue;
        char stale[USERFILE_PATH_MAX];
        int length = snprintf(stale, sizeof stale, "%s/%s", directory, entry->d_name);
        if (length > 0 && length < (int)sizeof stale) unlink(stale);
    }
    closedir(dir);
}

// Creates a temporary file of a name not used before, never through an
// existing file or link. Returns the descriptor, or -1.
static int create_temp(const char* path, char* temp, uint32_t size) {
    for (int32_t tries = 0; tries < USERFILE_NAME_TRIES; tries++) {
        int length = snprintf(temp, size, "%s%s.%ld.%u", path, USERFILE_TEMP_SUFFIX, (long)getpid(), temp_counter++);
        if (length < 0 || length >= (int)size) {
            errno = ENAMETOOLONG;
            return -1;
        }
        int fd = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, USERFILE_NEW_MODE);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

int lock_user_file(const char* path) {
    if (session_mode == SESSION_PLAY) return -1;
    char lock_path[USERFILE_PATH_MAX];
    int length = snprintf(lock_path, sizeof lock_path, "%s.lock", path ? path : "");
    if (!path || !path[0] || length < 0 || length >= (int)sizeof lock_path) return -1;
    int fd = open(lock_path, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, USERFILE_NEW_MODE);
    if (fd < 0) return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(fd);
            return -1;
        }
    }
    return fd;
}

void unlock_user_file(int lock) {
    if (lock >= 0) close(lock);
}

// Says on standard error which file could not be saved and why; the old
// file is still there.
static int report_failed_write(const char* path, int error) {
    fprintf(stderr, "Can't save %s: %s\n", path, error ? strerror(error) : "not a regular file");
    return 0;
}

// The write itself: 1 on success, 0 when the file could not be written (errno
// holds the reason, 0 when the path is not a regular file or a link), -1 for a
// path or data that is no file at all.
static int try_write_user_file(const char* path, const void* data, uint32_t size) {
    if (!path || !path[0] || (!data && size > 0)) return -1;
    char directory[USERFILE_PATH_MAX];
    const char* base = path;
    if (strlen(path) >= sizeof directory) return -1;
    split_path(path, directory, sizeof directory, &base);
    if (!base[0]) return -1;

    // A regular file keeps its permissions; a link or a new file gets the
    // usual mode, never the mode of whatever a link points to.
    mode_t mode = USERFILE_NEW_MODE;
    int keep_mode = 0;
    struct stat old_stat;
    if (lstat(path, &old_stat) == 0) {
        if (S_ISREG(old_stat.st_mode)) {
            mode = old_stat.st_mode & 0777;
            keep_mode = 1;
        } else if (!S_ISLNK(old_stat.st_mode)) {
            errno = 0;
            return 0;
        }
    }

    remove_stale_temps(directory, base);
    char temp[USERFILE_PATH_MAX];
    int fd = create_temp(path, temp, sizeof temp);
    if (fd < 0) return 0;
    int ok = write_all(fd, static_cast<const uint8_t*>(data), size);
    // A file system without permissions (FAT) refuses the change; the save still stands.
    int error = ok ? 0 : errno;
    if (ok && keep_mode) fchmod(fd, mode);
    if (ok && fsync(fd) != 0) {
        ok = 0;
        error = errno;
    }
    if (close(fd) != 0 && ok) {
        ok = 0;
        error = errno;
    }
    if (ok && rename(temp, path) != 0) {
        ok = 0;
        error = errno;
    }
    if (!ok) {
        unlink(temp);
        errno = error;
        return 0;
    }
    sync_directory(directory);
    return 1;
}

int write_user_file(const char* path, const void* data, uint32_t size) {
    // A playback keeps what the game writes in the recording's copy, so that
    // a later read in the same playback finds it; the disk is not touched.
    if (session_mode == SESSION_PLAY)
        return recording_add_file(&session_recording, path, RECORDED_FILE_READ, (const uint8_t*)data, size);
    int written = try_write_user_file(path, data, size);
    if (written < 0) return 0;
    if (written == 0) return report_failed_write(path, errno);
    return 1;
}
