// Music entries: music_load's path (the renderer settings, then ModPlug_Load
// on the inflated bytes), and a few buffers rendered through the game's own
// mixing callback, as the audio thread would, with the repeat handling.
#include <libmodplug/modplug.h>
#include <stdlib.h>
#include <string.h>

#include "audio/music.h"
#include "fuzz_support.h"
#include "storage/config.h"

enum { FUZZ_MUSIC_BUFFER = 4096, FUZZ_MUSIC_BUFFERS = 8 };

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_open_audio();
    if (size > (1u << 22)) return 0;
    // The last byte picks renderer settings the configuration allows.
    config_defaults();
    if (size > 0) {
        uint8_t s = data[size - 1];
        mp_flags = 3 | ((s & 7) << 2);
        mp_resampling_mode = (s >> 3) & 3;
        mp_reverb_depth = 50;
        mp_reverb_delay = 40 + (s >> 5) * 20;
        mp_bass_amount = 60;
        mp_bass_range = 10;
        mp_surround_depth = 30;
        mp_surround_delay = 5;
    }
    uint8_t* bytes = static_cast<uint8_t*>(malloc(size ? size : 1));
    if (size) memcpy(bytes, data, size);
    music_repeat = -1;
    music_apply_settings();
    ModPlugFile* module = ModPlug_Load(bytes, (int)size);
    free(bytes);
    if (!module) return 0;
    static uint8_t buffer[FUZZ_MUSIC_BUFFER];
    music_current_volume = 1;
    music_user_volume = 128;
    music_fade_step = 1;
    music_repeat = 2;
    music_hooked = module;
    for (int32_t i = 0; i < FUZZ_MUSIC_BUFFERS && music_hooked; i++) music_mix(module, buffer, FUZZ_MUSIC_BUFFER);
    music_hooked = nullptr;
    ModPlug_Unload(module);
    return 0;
}
