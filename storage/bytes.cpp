#include "storage/bytes.h"

#include <stdlib.h>
#include <string.h>

void byte_buffer_append(ByteBuffer* buffer, const void* data, size_t count) {
    if (buffer->failed || count == 0) return;
    if (buffer->used + count > buffer->room) {
        size_t wanted = buffer->room * 2 + count + 256;
        uint8_t* bigger = static_cast<uint8_t*>(realloc(buffer->bytes, wanted));
        if (!bigger) {
            buffer->failed = 1;
            return;
        }
        buffer->bytes = bigger;
        buffer->room = wanted;
    }
    memcpy(buffer->bytes + buffer->used, data, count);
    buffer->used += count;
}
