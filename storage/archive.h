// Resource archives and the small file routines.
#ifndef STORAGE_ARCHIVE_H
#define STORAGE_ARCHIVE_H

#include <stdint.h>

// Largest unpacked size an entry may claim (64 MiB); the biggest real entry is a
// few hundred KiB. A record claiming more, or more than deflate can expand its
// packed bytes to, is treated as damaged.
enum { ARCHIVE_MAX_UNPACKED = 64 * 1024 * 1024, ARCHIVE_MAX_RATIO = 1032 };

void archive_open_all();
// Inflated entry "name.extension" of the archive, owned by the caller (free()), or null.
uint8_t* archive_load(int32_t archive, const char* name, const char* extension, uint32_t* out_size);
void archive_close_all();

// Number of index records held for an archive (0 while it has no index), and
// the full name of record i ("name.ext"), or null; for tools and benchmarks.
int32_t archive_entry_count(int32_t archive);
const char* archive_entry_name(int32_t archive, int32_t index);

// Whole disk file, owned by the caller (free()), or null when missing, empty,
// not a regular file (a FIFO or device is never waited on) or not read whole.
uint8_t* read_whole_file(const char* path, uint32_t* out_size);
// The same for at most the first limit bytes; the rest of a longer file is left unread.
uint8_t* read_file_start(const char* path, uint32_t limit, uint32_t* out_size);

// "./name.extension" in one shared static buffer.
const char* make_user_path(const char* name, const char* extension);

#endif
