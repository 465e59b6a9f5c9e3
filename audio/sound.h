// The audio device and the sound effects.
#ifndef AUDIO_SOUND_H
#define AUDIO_SOUND_H

#include <stdint.h>

extern int32_t audio_frequency;  // as given to audio_open
extern int32_t audio_channels;

int audio_open(int frequency, uint16_t format, int channels, int chunk_size);
const char* sound_entry_name(int32_t id);
void sound_load_all();
void sound_play(int32_t id);
void sound_free(int32_t id);
// sfx_volume_scaled from sfx_volume, applied to all channels.
void sound_apply_volume();

#endif
