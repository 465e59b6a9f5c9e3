// Configuration file: volumes, bindings, up-to-jump and the module renderer settings.
#ifndef STORAGE_CONFIG_H
#define STORAGE_CONFIG_H

#include <stdint.h>

// Module renderer settings (defaults as in a fresh configuration).
extern int32_t mp_flags;  // bit 0 oversampling, 1 noise reduction, 2 reverb, 3 mega bass, 4 surround
extern int32_t mp_resampling_mode;
extern int32_t mp_reverb_depth;
extern int32_t mp_reverb_delay;
extern int32_t mp_bass_amount;
extern int32_t mp_bass_range;
extern int32_t mp_surround_depth;
extern int32_t mp_surround_delay;

// Restores the built-in defaults of the values above and of the volumes.
void config_defaults();
// The built-in default of the setting kept in value, 0 for a variable that is no setting.
int32_t config_default(const int32_t* value);
void config_load();
void config_save();

#endif
