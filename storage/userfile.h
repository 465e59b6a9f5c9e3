// Safe reading and writing of the player's files (and the game's data files).
#ifndef STORAGE_USERFILE_H
#define STORAGE_USERFILE_H

#include <stdint.h>

// What a read found: the file's bytes, nothing at all at the path, or
// something there that could not be read (no permission, a read error, a
// FIFO, a device, a directory). Only a missing file may be made afresh.
enum { USER_FILE_READ = 0, USER_FILE_MISSING = 1, USER_FILE_UNREADABLE = 2 };

// Opens a file for reading only when it is a regular file, without blocking on
// a FIFO or a device. Returns the descriptor, or -1 with the status
// (USER_FILE_MISSING or USER_FILE_UNREADABLE) in *status when one is given.
int open_regular_file(const char* path, int32_t* status);

// Reads at most limit bytes from the start of a regular file into buffer; the
// rest of a longer file is left unread. Returns USER_FILE_*; *out_size gets
// the number of bytes read (0 unless USER_FILE_READ).
int32_t read_user_file(const char* path, uint8_t* buffer, uint32_t limit, uint32_t* out_size);

// Writes a user file whole through a temporary file of its own in the same
// directory and a rename, so that the old file stays intact on any failure.
// Only a regular file or a symbolic link is replaced (never a FIFO, device or
// directory); the new file keeps the mode of the regular file it replaces, or
// gets 0644 under the umask. Returns 1 on success.
// A write that fails prints one line on standard error naming the file and the reason.
int write_user_file(const char* path, const void* data, uint32_t size);

// Writes all bytes to fd, going on after short writes and interrupted calls;
// 0 with errno on failure.
int write_all(int fd, const uint8_t* data, uint32_t size);

// Takes an exclusive lock on "<path>.lock" beside the file, waiting for
// another game that holds it, so that a read, change and write of the file
// is not interleaved with another game's. Returns the lock, or -1 when none
// could be taken (the caller goes on without it).
int lock_user_file(const char* path);
void unlock_user_file(int lock);

#endif
