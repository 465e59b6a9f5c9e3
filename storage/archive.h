// Resource archives and the small file routines.
#ifndef STORAGE_ARCHIVE_H
#define STORAGE_ARCHIVE_H

#include <stdint.h>

void archive_open_all();
// Inflated entry "name.extension" of the archive, owned by the caller (free()), or null.
uint8_t* archive_load(int32_t archive, const char* name, const char* extension, uint32_t* out_size);
void archive_close_all();

// Whole disk file, owned by the caller (free()), or null when missing or empty.
uint8_t* read_whole_file(const char* path, uint32_t* out_size);

// "./name.extension" in one shared static buffer.
const char* make_user_path(const char* name, const char* extension);

#endif
