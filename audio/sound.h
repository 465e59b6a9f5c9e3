// The audio device and the sound effects.
#ifndef AUDIO_SOUND_H
#define AUDIO_SOUND_H

#include <stdint.h>

extern int32_t audio_frequency;  // as given to audio_open
extern int32_t audio_channels;
// 1 while the game plays without sound because the device could not be opened:
// effects and songs are then never started, and volumes are only remembered.
extern int32_t audio_silent;

int audio_open(int frequency, uint16_t format, int channels, int chunk_size);
const char* sound_entry_name(int32_t id);
void sound_load_all();
// Decodes WAV bytes into a chunk as sound_load_all does, or null (SDL_GetError says why).
struct Mix_Chunk;
Mix_Chunk* decode_sound(const uint8_t* bytes, uint32_t size);
void sound_play(int32_t id);
void sound_free(int32_t id);
// A volume in percent (0..100) on the mixer's 0..128 scale.
int32_t mixer_volume(int32_t percent);
// The effects' volume on the mixer's scale, set from sfx_volume by sound_apply_volume.
extern int32_t sfx_volume_scaled;
// sfx_volume_scaled from sfx_volume, applied to all channels (only kept while silent).
void sound_apply_volume();

#endif
