#include "storage/config.h"

#include "floob.h"

int32_t mus_volume = 100;
int32_t sfx_volume = 15;
int32_t mp_flags = 3;
int32_t mp_resampling_mode = 1;
int32_t mp_reverb_depth = 0;
int32_t mp_reverb_delay = 0;
int32_t mp_bass_amount = 0;
int32_t mp_bass_range = 0;
int32_t mp_surround_depth = 0;
int32_t mp_surround_delay = 0;

void config_defaults() {}
void config_load() {}
void config_save() {}
