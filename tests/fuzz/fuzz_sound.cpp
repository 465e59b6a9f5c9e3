// Sound effect entries: decode_sound, the step of sound_load_all after the
// archive (the chunk check, a memory stream and Mix_LoadWAV_RW), on arbitrary
// bytes; a decoded chunk is played and freed.
#include <SDL_mixer.h>
#include <stdlib.h>
#include <string.h>

#include "audio/sound.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_open_audio();
    if (size > (1u << 22)) return 0;
    // sound_load_all frees the archive buffer after decoding; a copy of the
    // bytes in their own allocation lets the sanitizer see reads past its end.
    uint8_t* bytes = static_cast<uint8_t*>(malloc(size ? size : 1));
    if (size) memcpy(bytes, data, size);
    Mix_Chunk* chunk = decode_sound(bytes, (uint32_t)size);
    free(bytes);
    if (chunk) {
        int channel = Mix_PlayChannel(-1, chunk, 0);
        if (channel >= 0) Mix_HaltChannel(channel);
        Mix_FreeChunk(chunk);
    }
    return 0;
}
