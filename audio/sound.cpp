#include "audio/sound.h"

#include <SDL_mixer.h>
#include <stdlib.h>
#include <string.h>

#include "floob.h"
#include "storage/archive.h"

int32_t audio_frequency = 22050;
int32_t audio_channels = 2;
int32_t audio_silent = 0;

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

// The library's WAV decoder trusts what it reads: it allocates whatever a
// chunk header claims before it finds that the bytes are not there (up to
// 4 GiB for a damaged length), and its compressed-format decoders overrun
// their buffers on crafted headers. Our effects are plain PCM WAV files, so
// only those go to the decoder: a RIFF/WAVE file, every chunk inside the
// bytes (walked as the decoder walks them, without pad bytes), a format chunk
// of uncompressed 8- or 16-bit samples in one or two channels at a sane rate,
// and a data chunk.
static int wav_is_plain_pcm(const uint8_t* bytes, uint32_t size) {
    if (size < 12 || memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVE", 4) != 0) return 0;
    int format_ok = 0;
    int data_found = 0;
    uint32_t p = 12;
    while (size - p >= 8) {
        uint32_t length = read_u32_le(bytes + p + 4);
        if (length > size - p - 8) return 0;
        const uint8_t* body = bytes + p + 8;
        if (memcmp(bytes + p, "fmt ", 4) == 0 && !format_ok) {
            if (length < 16) return 0;
            uint32_t tag = body[0] | (body[1] << 8);
            uint32_t channels = body[2] | (body[3] << 8);
            uint32_t rate = read_u32_le(body + 4);
            uint32_t align = body[12] | (body[13] << 8);
            uint32_t bits = body[14] | (body[15] << 8);
            if (tag != 1 || channels < 1 || channels > 2 || (bits != 8 && bits != 16)) return 0;
            if (rate < 1000 || rate > 192000 || align != channels * bits / 8) return 0;
            format_ok = 1;
        } else if (memcmp(bytes + p, "data", 4) == 0) {
            // The decoder stops at the data chunk.
            data_found = 1;
            break;
        }
        p += 8 + length;
    }
    return format_ok && data_found;
}

Mix_Chunk* decode_sound(const uint8_t* bytes, uint32_t size) {
    if (!bytes || size > 0x7fffffffu || !wav_is_plain_pcm(bytes, size)) {
        SDL_SetError("Not a plain PCM WAV file");
        return nullptr;
    }
    SDL_RWops* stream = SDL_RWFromMem(const_cast<uint8_t*>(bytes), (int)size);
    Mix_Chunk* chunk = stream ? Mix_LoadWAV_RW(stream, 0) : nullptr;
    if (stream) SDL_FreeRW(stream);
    return chunk;
}

void sound_load_all() {
    // Decoding converts to the device's format, which does not exist without a device.
    if (audio_silent) return;
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
    if (audio_silent || id < 0 || id >= SND_COUNT || !sound_chunks[id]) return;
    Mix_PlayChannel(-1, sound_chunks[id], 0);
}

void sound_free(int32_t id) {
    if (id < 0 || id >= SND_COUNT || !sound_chunks[id]) return;
    Mix_FreeChunk(sound_chunks[id]);
    sound_chunks[id] = nullptr;
}

int32_t sfx_volume_scaled = 19;

int32_t mixer_volume(int32_t percent) { return percent * MIX_MAX_VOLUME / 100; }

void sound_apply_volume() {
    sfx_volume_scaled = mixer_volume(sfx_volume);
    // Without a device there are no channels to apply it to; the percentage is still kept.
    if (!audio_silent) Mix_Volume(-1, sfx_volume_scaled);
}
