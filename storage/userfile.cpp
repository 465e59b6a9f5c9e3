#include "storage/userfile.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { USERFILE_PATH_MAX = 1100 };

static const char USERFILE_TEMP_SUFFIX[] = ".tmp";

// Writes all bytes, going on after short writes and interrupted calls.
static int write_all(int fd, const uint8_t* data, uint32_t size) {
    uint32_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 0;
        done += (uint32_t)n;
    }
    return 1;
}

// Makes the rename itself durable; a directory that cannot be synced is not an error.
static void sync_parent_directory(const char* path) {
    char directory[USERFILE_PATH_MAX];
    snprintf(directory, sizeof directory, "%s", path);
    char* slash = strrchr(directory, '/');
    if (slash == directory) {
        directory[1] = 0;
    } else if (slash) {
        *slash = 0;
    } else {
        snprintf(directory, sizeof directory, ".");
    }
    int fd = open(directory, O_RDONLY);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

int write_user_file(const char* path, const void* data, uint32_t size) {
    if (!path || !path[0] || (!data && size > 0)) return 0;
    char temp[USERFILE_PATH_MAX];
    int length = snprintf(temp, sizeof temp, "%s%s", path, USERFILE_TEMP_SUFFIX);
    if (length < 0 || length >= (int)sizeof temp) return 0;

    // A file that replaces an old one keeps the old one's permissions.
    mode_t mode = 0666;
    struct stat old_stat;
    int had_old = stat(path, &old_stat) == 0;
    if (had_old) mode = old_stat.st_mode & 07777;

    int fd = open(temp, O_WRONLY | O_CREAT | O_TRUNC, mode);
    if (fd < 0) return 0;
    int ok = write_all(fd, static_cast<const uint8_t*>(data), size);
    if (ok && had_old) fchmod(fd, mode);
    if (ok && fsync(fd) != 0) ok = 0;
    if (close(fd) != 0) ok = 0;
    if (ok && rename(temp, path) != 0) ok = 0;
    if (!ok) {
        unlink(temp);
        return 0;
    }
    sync_parent_directory(path);
    return 1;
}
