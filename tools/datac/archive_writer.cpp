#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <set>

#include "compile.h"
#include "storage/archive.h"

enum { WRITER_MAX_ENTRIES = 256, WRITER_MAX_NAME = 31, WRITER_RECORD_BYTES = 44, WRITER_HEADER_BYTES = 4 };

static const Bytef WRITER_NOTHING[1] = {0};

static void put_u32_le(uint8_t* at, uint32_t v) {
    at[0] = v & 0xFF;
    at[1] = (v >> 8) & 0xFF;
    at[2] = (v >> 16) & 0xFF;
    at[3] = (v >> 24) & 0xFF;
}

static bool check_entries(const std::vector<ArchiveInput>& entries, std::string& error) {
    if (entries.size() > WRITER_MAX_ENTRIES) {
        error = std::to_string(entries.size()) + " entries to pack, at most 256 fit in an archive";
        return false;
    }
    std::set<std::string> seen;
    for (const ArchiveInput& entry : entries) {
        if (entry.name.empty()) {
            error = "an entry has an empty name";
            return false;
        }
        if (entry.name.size() > WRITER_MAX_NAME) {
            error = "entry name \"" + entry.name + "\" is " + std::to_string(entry.name.size()) +
                    " characters long, at most 31 are allowed";
            return false;
        }
        if (entry.name.find('\0') != std::string::npos) {
            error = "entry name \"" + std::string(entry.name.c_str()) + "\" holds a NUL byte";
            return false;
        }
        if (!seen.insert(entry.name).second) {
            error = "entry name \"" + entry.name + "\" appears twice";
            return false;
        }
        if (entry.data.size() > ARCHIVE_MAX_UNPACKED) {
            error = "entry \"" + entry.name + "\" is " + std::to_string(entry.data.size()) +
                    " bytes, more than the game reads (64 MiB)";
            return false;
        }
    }
    return true;
}

bool write_archive(const std::vector<ArchiveInput>& entries, Bytes& out, std::string& error) {
    out.clear();
    // The index's count byte holds the number of entries minus one, so an
    // archive needs at least one entry.
    if (entries.empty()) {
        error = "no entries to pack: an archive holds 1 to 256 entries";
        return false;
    }
    if (!check_entries(entries, error)) return false;
    std::vector<Bytes> packed(entries.size());
    for (size_t i = 0; i < entries.size(); i++) {
        const Bytes& data = entries[i].data;
        uLongf packed_size = compressBound(data.size());
        packed[i].resize(packed_size);
        int status = compress2(packed[i].data(), &packed_size, data.empty() ? WRITER_NOTHING : data.data(), data.size(),
                               Z_BEST_COMPRESSION);
        if (status != Z_OK) {
            error = "cannot pack entry \"" + entries[i].name + "\" (zlib status " + std::to_string(status) + ")";
            return false;
        }
        packed[i].resize(packed_size);
    }
    size_t offset = WRITER_HEADER_BYTES + WRITER_RECORD_BYTES * entries.size();
    size_t total = offset;
    for (const Bytes& p : packed) total += p.size();
    if (total > 0xFFFFFFFFu) {
        error = "archive would exceed 4 GiB";
        return false;
    }
    out.assign(offset, 0);
    out[0] = 'Q';
    out[1] = 'V';
    out[2] = 'A';
    out[3] = (uint8_t)(entries.size() - 1);
    for (size_t i = 0; i < entries.size(); i++) {
        uint8_t* record = out.data() + WRITER_HEADER_BYTES + WRITER_RECORD_BYTES * i;
        std::copy(entries[i].name.begin(), entries[i].name.end(), record);  // zero-padded, no terminator
        put_u32_le(record + 32, (uint32_t)offset);
        put_u32_le(record + 36, (uint32_t)entries[i].data.size());
        put_u32_le(record + 40, (uint32_t)packed[i].size());
        offset += packed[i].size();
    }
    for (const Bytes& p : packed) out.insert(out.end(), p.begin(), p.end());
    return true;
}
