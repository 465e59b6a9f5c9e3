#include "audio/sound.h"

#include <SDL_mixer.h>
#include <stdlib.h>

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

void sound_load_all() {
    for (int32_t id = 0; id < SND_COUNT; id++) {
        uint32_t size = 0;
        uint8_t* data = archive_load(ARCHIVE_SOUND, SOUND_NAMES[id], "wav", &size);
        if (!data) fatal_error("Can't load sound file", SOUND_NAMES[id]);
        SDL_RWops* stream = SDL_RWFromMem(data, (int)size);
        Mix_Chunk* chunk = stream ? Mix_LoadWAV_RW(stream, 0) : nullptr;
        if (stream) SDL_FreeRW(stream);
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
