#include "storage/archive.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "floob.h"
#include "storage/userfile.h"

enum { ARCHIVE_NAME_BYTES = 32, ARCHIVE_RECORD_BYTES = 44, ARCHIVE_HEADER_BYTES = 4, ARCHIVE_PATH_BYTES = 1024 };

struct ArchiveEntry {
    char name[ARCHIVE_NAME_BYTES];
    uint32_t offset;
    uint32_t unpacked_size;
    uint32_t packed_size;
};

struct ArchiveSlot {
    FILE* file;
    ArchiveEntry* index;
    uint32_t entry_count;
    uint32_t file_size;  // bytes in the open file, to keep every read inside it
};

static const char* const ARCHIVE_NAMES[ARCHIVE_SLOTS] = {"gfx", "maps", "music", "sound", nullptr, nullptr, nullptr};

static ArchiveSlot archive_slots[ARCHIVE_SLOTS];  // the open archives, by id; opened and closed here only
static char user_path[ARCHIVE_PATH_BYTES];        // make_user_path's result, rewritten at each call

static uint32_t read_u32_le(const uint8_t* b) {
    return (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
}

static void close_slot(ArchiveSlot* slot) {
    if (slot->file) fclose(slot->file);
    free(slot->index);
    slot->file = nullptr;
    slot->index = nullptr;
    slot->entry_count = 0;
    slot->file_size = 0;
}

// Size of an open file, or -1; leaves the position at the start.
static long measure_file(FILE* f) {
    rewind(f);
    if (fseek(f, 0, SEEK_END) != 0) return -1;
    long size = ftell(f);
    if (fseek(f, 0, SEEK_SET) != 0) return -1;
    return size;
}

// Opens the slot's archive if needed and reads its index. A file that is too
// short for the index it announces counts as a wrong file: it is closed, so the
// next load tries again from the start.
static int read_index(int32_t id) {
    ArchiveSlot* slot = &archive_slots[id];
    if (!slot->file) {
        if (!ARCHIVE_NAMES[id]) return 0;
        char path[ARCHIVE_PATH_BYTES];
        snprintf(path, sizeof path, "%s%c%s.qva", "./data", '/', ARCHIVE_NAMES[id]);
        // A FIFO or a device in place of an archive is refused at once instead of blocking the game.
        int fd = open_regular_file(path, nullptr);
        if (fd < 0) return 0;
        slot->file = fdopen(fd, "rb");
        if (!slot->file) {
            close(fd);
            return 0;
        }
    }
    long size = measure_file(slot->file);
    uint8_t header[ARCHIVE_HEADER_BYTES];
    if (size < ARCHIVE_HEADER_BYTES || size > (long)UINT32_MAX ||
        fread(header, 1, sizeof header, slot->file) != sizeof header || header[0] != 'Q' || header[1] != 'V' ||
        header[2] != 'A') {
        close_slot(slot);
        return 0;
    }
    uint32_t count = (uint32_t)header[3] + 1;
    if ((long)ARCHIVE_HEADER_BYTES + (long)count * ARCHIVE_RECORD_BYTES > size) {
        close_slot(slot);
        return 0;
    }
    slot->file_size = (uint32_t)size;
    ArchiveEntry* index = static_cast<ArchiveEntry*>(malloc(count * sizeof(ArchiveEntry)));
    if (!index) return 0;
    for (uint32_t i = 0; i < count; i++) {
        uint8_t record[ARCHIVE_RECORD_BYTES];
        if (fread(record, 1, sizeof record, slot->file) != sizeof record) {
            free(index);
            close_slot(slot);
            return 0;
        }
        memcpy(index[i].name, record, ARCHIVE_NAME_BYTES);
        index[i].name[ARCHIVE_NAME_BYTES - 1] = 0;
        index[i].offset = read_u32_le(record + 32);
        index[i].unpacked_size = read_u32_le(record + 36);
        index[i].packed_size = read_u32_le(record + 40);
    }
    slot->index = index;
    slot->entry_count = count;
    return 1;
}

// A record is usable when its packed bytes lie inside the file and its unpacked
// size is one that those bytes can really inflate to.
static int record_fits(const ArchiveSlot* slot, const ArchiveEntry* entry) {
    uint64_t end = (uint64_t)entry->offset + entry->packed_size;
    if (end > slot->file_size) return 0;
    if (entry->unpacked_size > ARCHIVE_MAX_UNPACKED) return 0;
    if ((uint64_t)entry->unpacked_size > (uint64_t)entry->packed_size * ARCHIVE_MAX_RATIO + 64) return 0;
    return 1;
}

void archive_open_all() {
    for (int32_t i = 0; i < ARCHIVE_SLOTS; i++) {
        close_slot(&archive_slots[i]);
        read_index(i);
    }
}

uint8_t* archive_load(int32_t archive, const char* name, const char* extension, uint32_t* out_size) {
    if (archive < 0 || archive >= ARCHIVE_SLOTS || !name || !extension) return nullptr;
    char key[ARCHIVE_NAME_BYTES];
    // A key that does not fit would be cut short and could match another entry.
    if (snprintf(key, sizeof key, "%s.%s", name, extension) >= (int)sizeof key) return nullptr;
    ArchiveSlot* slot = &archive_slots[archive];
    if (!slot->index && !read_index(archive)) return nullptr;
    if (slot->entry_count == 0) return nullptr;
    const ArchiveEntry* entry = nullptr;
    for (uint32_t i = 0; i < slot->entry_count; i++) {
        if (strcmp(key, slot->index[i].name) == 0) {
            entry = &slot->index[i];
            break;
        }
    }
    if (!entry || !record_fits(slot, entry)) return nullptr;
    if (fseek(slot->file, (long)entry->offset, SEEK_SET) != 0) return nullptr;
    uint8_t* packed = static_cast<uint8_t*>(malloc(entry->packed_size ? entry->packed_size : 1));
    uint8_t* unpacked = static_cast<uint8_t*>(malloc(entry->unpacked_size ? entry->unpacked_size : 1));
    if (!packed || !unpacked) {
        free(packed);
        free(unpacked);
        return nullptr;
    }
    uLongf produced = entry->unpacked_size;
    int status = Z_DATA_ERROR;
    if (fread(packed, 1, entry->packed_size, slot->file) == entry->packed_size)
        status = uncompress(unpacked, &produced, packed, entry->packed_size);
    free(packed);
    if (status != Z_OK) {
        free(unpacked);
        return nullptr;
    }
    if (out_size) *out_size = (uint32_t)produced;
    return unpacked;
}

void archive_close_all() {
    for (int32_t i = 0; i < ARCHIVE_SLOTS; i++) close_slot(&archive_slots[i]);
}

int32_t archive_entry_count(int32_t archive) {
    if (archive < 0 || archive >= ARCHIVE_SLOTS) return 0;
    return (int32_t)archive_slots[archive].entry_count;
}

const char* archive_entry_name(int32_t archive, int32_t index) {
    if (index < 0 || index >= archive_entry_count(archive)) return nullptr;
    return archive_slots[archive].index[index].name;
}

// The first bytes of a regular file, at most limit of them; whole_only refuses
// a file larger than that instead of cutting it.
static uint8_t* read_file_bytes(const char* path, uint32_t limit, int whole_only, uint32_t* out_size) {
    int fd = open_regular_file(path, nullptr);
    if (fd < 0) return nullptr;
    struct stat info;
    uint64_t size = fstat(fd, &info) == 0 && info.st_size > 0 ? (uint64_t)info.st_size : 0;
    if (size > limit) size = whole_only ? 0 : limit;
    uint8_t* buffer = size > 0 ? static_cast<uint8_t*>(malloc((size_t)size)) : nullptr;
    uint64_t done = 0;
    while (buffer && done < size) {
        ssize_t n = read(fd, buffer + done, (size_t)(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += (uint64_t)n;
    }
    close(fd);
    if (!buffer || done != size) {
        free(buffer);
        return nullptr;
    }
    if (out_size) *out_size = (uint32_t)size;
    return buffer;
}

uint8_t* read_whole_file(const char* path, uint32_t* out_size) {
    return read_file_bytes(path, UINT32_MAX, 1, out_size);
}

uint8_t* read_file_start(const char* path, uint32_t limit, uint32_t* out_size) {
    return read_file_bytes(path, limit, 0, out_size);
}

const char* make_user_path(const char* name, const char* extension) {
    snprintf(user_path, sizeof user_path, "%s%s.%s", "./", name, extension);
    return user_path;
}
