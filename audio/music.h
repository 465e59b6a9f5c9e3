// Module music through the mixer's music hook.
#ifndef AUDIO_MUSIC_H
#define AUDIO_MUSIC_H

#include <libmodplug/modplug.h>
#include <stdint.h>

const char* song_entry_name(int32_t id);
const char* song_title(int32_t id);
void music_apply_settings();
ModPlugFile* music_load(int32_t id);
void music_play(ModPlugFile* module, int32_t repeat);
void music_fade_in_and_play(ModPlugFile* module, int32_t repeat);
void music_free(ModPlugFile* module);
void music_set_volume(int32_t volume);
bool music_is_playing();

// The mixing callback and the player state, exposed for tests.
void music_mix(void* module, uint8_t* stream, int length);
extern int32_t music_repeat;
extern int32_t music_current_volume;
extern int32_t music_user_volume;
extern int32_t music_fade_step;
extern ModPlugFile* music_hooked;

#endif
