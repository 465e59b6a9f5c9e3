// The archive reader on a crafted ./data: the input is written as
// data/gfx.qva, the indexes are read as at start-up, and every record is
// loaded by its name, plus names that are not there. Whatever it delivers must
// be a buffer of the size it reports (the sanitizer checks every byte of it).
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "floob.h"
#include "fuzz_support.h"
#include "storage/archive.h"

// Loads one record by its full name, split at the last dot as callers pass it.
static void load_record(const char* full) {
    char name[64];
    snprintf(name, sizeof name, "%s", full);
    char* dot = strrchr(name, '.');
    const char* extension = "";
    if (dot) {
        *dot = 0;
        extension = dot + 1;
    }
    uint32_t size = 0xDEADBEEF;
    uint8_t* bytes = archive_load(ARCHIVE_GFX, name, extension, &size);
    if (!bytes) return;
    FUZZ_REQUIRE(size <= ARCHIVE_MAX_UNPACKED);
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i < size; i++) sum = sum + bytes[i];
    free(bytes);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_enter_workdir();
    mkdir("data", 0755);
    if (!fuzz_write_file("data/gfx.qva", data, size)) return 0;
    archive_open_all();
    int32_t count = archive_entry_count(ARCHIVE_GFX);
    FUZZ_REQUIRE(count >= 0 && count <= 256);
    FUZZ_REQUIRE(count == 0 || size >= 4 + 44 * (size_t)count);
    for (int32_t i = 0; i < count; i++) {
        const char* full = archive_entry_name(ARCHIVE_GFX, i);
        FUZZ_REQUIRE(full && strlen(full) < 32);
        load_record(full);
    }
    load_record("logo.bmp");
    load_record("a-name-far-too-long-for-any-entry.bmp");
    FUZZ_REQUIRE(archive_load(ARCHIVE_MAPS, "floob201", "bin", nullptr) == nullptr);
    archive_close_all();
    // A slot that failed retries the open on every load.
    load_record("blocks.bmp");
    archive_close_all();
    return 0;
}
