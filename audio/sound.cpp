#include "audio/sound.h"

int32_t audio_frequency = 22050;
int32_t audio_channels = 2;

int audio_open(int, uint16_t, int, int) { return 0; }
const char* sound_entry_name(int32_t) { return ""; }
void sound_load_all() {}
void sound_play(int32_t) {}
void sound_free(int32_t) {}
void sound_apply_volume() {}
