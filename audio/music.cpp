#include "audio/music.h"

#include <SDL_mixer.h>
#include <libmodplug/modplug.h>
#include <stdlib.h>
#include <string.h>

#include "audio/sound.h"
#include "floob.h"
#include "storage/archive.h"
#include "storage/config.h"

int32_t music_repeat = -1;
int32_t music_current_volume = 128;
int32_t music_user_volume = 128;
int32_t music_fade_step = 1;
ModPlugFile* music_hooked = nullptr;

static const char* const SONG_NAMES[SONG_COUNT] = {
    "0.floob2-title", "1.gofloob", "2.watchout-part2", "3.stressed", "4.faster",        "5.watchout", "6.inahurry",
    "7.floob2",       "8.journey", "9.runrunrun",      "10.chaos",   "x.levelcomplete", "y.jingle"};

static const char* const SONG_TITLES[11] = {
    "Floob 2 (Intro)", "Go, Floob!", "Watchout (Pt. 2)", "Stressed",    "Faster", "Watchout",
    "In A Hurry",      "Floob 2",    "Journey",          "Run Run Run", "Chaos"};

const char* song_entry_name(int32_t id) {
    if (id < 0 || id >= SONG_COUNT) return "";
    return SONG_NAMES[id];
}

// Songs 11 and 12 have no title; they give the empty text.
const char* song_title(int32_t id) {
    if (id < 0 || id > 10) return "";
    return SONG_TITLES[id];
}

void music_apply_settings() {
    ModPlug_Settings settings;
    ModPlug_GetSettings(&settings);
    settings.mFlags = mp_flags;
    settings.mChannels = audio_channels;
    settings.mBits = 16;
    settings.mFrequency = audio_frequency;
    settings.mResamplingMode = mp_resampling_mode;
    settings.mStereoSeparation = 128;
    settings.mMaxMixChannels = 32;
    settings.mReverbDepth = mp_reverb_depth;
    settings.mReverbDelay = mp_reverb_delay;
    settings.mBassAmount = mp_bass_amount;
    settings.mBassRange = mp_bass_range;
    settings.mSurroundDepth = mp_surround_depth;
    settings.mSurroundDelay = mp_surround_delay;
    ModPlug_SetSettings(&settings);
}

ModPlugFile* music_load(int32_t id) {
    if (id < 0 || id >= SONG_COUNT) return nullptr;
    uint32_t size = 0;
    uint8_t* data = archive_load(ARCHIVE_MUSIC, SONG_NAMES[id], "mod", &size);
    music_repeat = -1;
    if (!data) return nullptr;
    music_apply_settings();
    ModPlugFile* module = ModPlug_Load(data, (int)size);
    free(data);
    return module;
}

void music_play(ModPlugFile* module, int32_t repeat) {
    if (!module) return;
    music_repeat = repeat;
    music_apply_settings();
    ModPlug_SetMasterVolume(module, (unsigned int)music_current_volume);
    ModPlug_Seek(module, 0);
    Mix_HookMusic(music_mix, module);
    music_hooked = module;
}

void music_fade_in_and_play(ModPlugFile* module, int32_t repeat) {
    if (music_user_volume <= 0) return;
    music_current_volume = 1;
    music_fade_step = 1;
    music_play(module, repeat);
}

void music_free(ModPlugFile* module) {
    if (!module) return;
    Mix_HookMusic(nullptr, nullptr);
    music_hooked = nullptr;
    ModPlug_Unload(module);
}

void music_set_volume(int32_t volume) {
    if (music_hooked) ModPlug_SetMasterVolume(music_hooked, (unsigned int)volume);
    music_current_volume = volume;
    music_user_volume = volume;
}

int music_is_playing() { return music_hooked ? 1 : 0; }

void music_mix(void* user_data, uint8_t* stream, int length) {
    ModPlugFile* module = (ModPlugFile*)user_data;
    if (music_current_volume != music_user_volume && music_current_volume > 0) {
        music_current_volume += music_fade_step;
        ModPlug_SetMasterVolume(module, (unsigned int)music_current_volume);
    }
    int produced = ModPlug_Read(module, stream, length);
    // libmodplug never goes below volume 1, so a volume of 0 is made silent here.
    if (music_current_volume <= 0 && produced > 0) memset(stream, 0, (size_t)produced);
    if (produced >= length) return;
    if (music_repeat > 0) music_repeat--;
    if (music_repeat != 0) {
        ModPlug_Seek(module, 0);
        return;
    }
    Mix_HookMusic(nullptr, nullptr);
    music_hooked = nullptr;
}
