// A byte buffer that grows as bytes are appended, for files built in memory.
#ifndef STORAGE_BYTES_H
#define STORAGE_BYTES_H

#include <stddef.h>
#include <stdint.h>

// Starts as {nullptr, 0, 0, 0}; the caller frees bytes. Once growing it has
// failed, failed is 1 and nothing more is appended.
struct ByteBuffer {
    uint8_t* bytes;
    size_t used;
    size_t room;
    int failed;
};

void byte_buffer_append(ByteBuffer* buffer, const void* data, size_t count);

#endif
