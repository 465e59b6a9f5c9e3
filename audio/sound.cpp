#include "audio/sound.h"

#include <SDL_mixer.h>
#include <stdlib.h>
#include <string.h>

#include "floob.h"
#include "storage/archive.h"

int32_t audio_frequency = 22050;
int32_t audio_channels = 2;

static const char* const SOUND_NAMES[SND_COUNT] = {"klonk", "krack",  "aj",    "blubb", "jipie", "chew",  "knirk",
                                                   "tada",  "trdoor", "boink", "bat",   "klack", "splash"};

static Mix_Chunk* sound_chunks[SND_COUNT];

int audio_open(int frequency, uint16_t format, int channels, int chunk_size) {
    int status = Mix_OpenAudio(frequency, format, channels, chunk_size);
    // The module renderer follows the requested format even when opening failed.
    audio_frequency = frequency;
    audio_channels = channels;
    return status;
}

const char* sound_entry_name(int32_t id) {
    if (id < 0 || id >= SND_COUNT) return "";
    return SOUND_NAMES[id];
}

static uint32_t read_u32_le(const uint8_t* b) {
    return (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
}

// The WAV decoder allocates whatever a chunk header claims before it finds
// that the bytes are not there (up to 4 GiB for a damaged length), so a RIFF
// file whose chunks do not fit in its bytes is refused before it gets there.
// The walk is the decoder's own: chunk after chunk, without RIFF's pad bytes.
static int riff_chunks_fit(const uint8_t* bytes, uint32_t size) {
    if (size < 12 || memcmp(bytes, "RIFF", 4) != 0) return 1;
    uint32_t p = 12;
    while (size - p >= 8) {
        uint32_t length = read_u32_le(bytes + p + 4);
        if (length > size - p - 8) return 0;
        p += 8 + length;
    }
    return 1;
}

Mix_Chunk* decode_sound(const uint8_t* bytes, uint32_t size) {
    if (!bytes || size > 0x7fffffffu || !riff_chunks_fit(bytes, size)) {
        SDL_SetError("Malformed WAV chunk");
        return nullptr;
    }
    SDL_RWops* stream = SDL_RWFromMem(const_cast<uint8_t*>(bytes), (int)size);
    Mix_Chunk* chunk = stream ? Mix_LoadWAV_RW(stream, 0) : nullptr;
    if (stream) SDL_FreeRW(stream);
    return chunk;
}

void sound_load_all() {
    for (int32_t id = 0; id < SND_COUNT; id++) {
        uint32_t size = 0;
        uint8_t* data = archive_load(ARCHIVE_SOUND, SOUND_NAMES[id], "wav", &size);
        if (!data) fatal_error("Can't load sound file", SOUND_NAMES[id]);
        Mix_Chunk* chunk = decode_sound(data, size);
        free(data);
        if (!chunk) fatal_error("Unable to load sound", SDL_GetError());
        sound_chunks[id] = chunk;
    }
}

void sound_play(int32_t id) {
    if (id < 0 || id >= SND_COUNT || !sound_chunks[id]) return;
    Mix_PlayChannel(-1, sound_chunks[id], 0);
}

void sound_free(int32_t id) {
    if (id < 0 || id >= SND_COUNT || !sound_chunks[id]) return;
    Mix_FreeChunk(sound_chunks[id]);
    sound_chunks[id] = nullptr;
}

void sound_apply_volume() {
    sfx_volume_scaled = sfx_volume * 128 / 100;
    Mix_Volume(-1, sfx_volume_scaled);
}
