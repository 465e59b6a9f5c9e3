// Safe writing of the player's files.
#ifndef STORAGE_USERFILE_H
#define STORAGE_USERFILE_H

#include <stdint.h>

// Writes a user file whole through a temporary file in the same directory and a
// rename, so that the old file stays intact on any failure. Returns 1 on success.
int write_user_file(const char* path, const void* data, uint32_t size);

#endif
