// config_load on an arbitrary floob2.cfg: every setting must land in its range,
// and what config_save then writes must read back as the same settings.
#include <string.h>

#include "floob.h"
#include "fuzz_support.h"
#include "shell/controls.h"
#include "storage/config.h"

enum { FUZZ_CONFIG_VALUES = 27 };

static void snapshot(int32_t* v) {
    int32_t* const all[FUZZ_CONFIG_VALUES] = {&mus_volume,
                                              &sfx_volume,
                                              &mp_flags,
                                              &mp_resampling_mode,
                                              &mp_reverb_depth,
                                              &mp_reverb_delay,
                                              &mp_bass_amount,
                                              &mp_bass_range,
                                              &mp_surround_depth,
                                              &mp_surround_delay,
                                              &up2jump,
                                              &k_up,
                                              &k_down,
                                              &k_right,
                                              &k_left,
                                              &k_jump,
                                              &k_pause,
                                              &k_start,
                                              &j_jump,
                                              &j_pause,
                                              &j_start,
                                              &j_up,
                                              &j_down,
                                              &j_left,
                                              &j_right,
                                              &mp_flags,
                                              &up2jump};
    for (int32_t i = 0; i < FUZZ_CONFIG_VALUES; i++) v[i] = *all[i];
}

static void load_fresh() {
    config_defaults();
    apply_default_bindings();
    up2jump = 0;
    config_load();
}

static void require_ranges() {
    FUZZ_REQUIRE(mus_volume >= 0 && mus_volume <= 100);
    FUZZ_REQUIRE(sfx_volume >= 0 && sfx_volume <= 100);
    FUZZ_REQUIRE(mp_flags >= 0 && mp_flags <= 31 && (mp_flags & 3) == 3);
    FUZZ_REQUIRE(mp_resampling_mode >= 0 && mp_resampling_mode <= 3);
    FUZZ_REQUIRE(mp_reverb_depth >= 0 && mp_reverb_depth <= 100);
    FUZZ_REQUIRE(mp_reverb_delay == 0 || (mp_reverb_delay >= 40 && mp_reverb_delay <= 200));
    FUZZ_REQUIRE(mp_bass_amount >= 0 && mp_bass_amount <= 100);
    FUZZ_REQUIRE(mp_bass_range == 0 || (mp_bass_range >= 10 && mp_bass_range <= 100));
    FUZZ_REQUIRE(mp_surround_depth >= 0 && mp_surround_depth <= 100);
    FUZZ_REQUIRE(mp_surround_delay == 0 || (mp_surround_delay >= 5 && mp_surround_delay <= 40));
    FUZZ_REQUIRE(up2jump == 0 || up2jump == 1);
    const int32_t keys[7] = {k_up, k_down, k_right, k_left, k_jump, k_pause, k_start};
    for (int32_t k : keys) FUZZ_REQUIRE(k >= -1 && k < SDLK_LAST);
    const int32_t pads[7] = {j_jump, j_pause, j_start, j_up, j_down, j_left, j_right};
    for (int32_t j : pads) FUZZ_REQUIRE(j >= 0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_enter_workdir();
    if (!fuzz_write_file("floob2.cfg", data, size)) return 0;
    load_fresh();
    require_ranges();
    int32_t first[FUZZ_CONFIG_VALUES];
    snapshot(first);

    config_save();
    load_fresh();
    require_ranges();
    int32_t second[FUZZ_CONFIG_VALUES];
    snapshot(second);
    // The three delays that still hold their below-range default read back clamped.
    int32_t clamped[3] = {5, 7, 9};
    for (int32_t c : clamped)
        if (first[c] == 0) first[c] = second[c];
    FUZZ_REQUIRE(memcmp(first, second, sizeof first) == 0);
    return 0;
}
