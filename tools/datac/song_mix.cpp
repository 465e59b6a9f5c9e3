#include "song_mix.h"

#include <libmodplug/modplug.h>
#include <math.h>

const char* const MIX_ROLE_NAMES[MIX_ROLES] = {"lead", "pad", "bass", "drums"};

// Plays a module as the game does for at most the given number of frames.
static bool play_module_frames(const std::vector<uint8_t>& bytes, int64_t limit, PlayedSong& played) {
    ModPlugFile* module = load_module_at_game_settings(bytes);
    if (!module) return false;
    play_through_player(module, -1, 128, limit, played);
    ModPlug_Unload(module);
    return true;
}

bool measure_song_mix(const char* path, SongMix& mix, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!compile_song_role(path, std::string(), bytes, &mix.summary, error)) return false;
    if (!play_song_as_game(bytes, mix.played)) {
        error = std::string(path) + ": the player does not load the module";
        return false;
    }
    const StereoPcm& pcm = mix.played.pcm;
    std::vector<double> mono = mono_of(pcm);
    mix.lufs = integrated_lufs(pcm);
    for (int32_t r = 0; r < MIX_ROLES; r++) {
        mix.role_db[r] = NAN;
        std::vector<uint8_t> alone;
        std::string ignored;
        PlayedSong part;
        if (!compile_song_role(path, MIX_ROLE_NAMES[r], alone, nullptr, ignored)) continue;
        if (!play_module_frames(alone, pcm.frames(), part)) continue;
        if (part.pcm.frames() > 0 && peak_dbfs(part.pcm) > -90) mix.role_db[r] = integrated_lufs(part.pcm) - mix.lufs;
    }
    mix.joins = measure_loop_joins(mix.played);
    mix.range_lu = loudness_range_lu(pcm);
    mix.centroid_hz = spectral_centroid(mono);
    mix.band_2_6k_db = 10 * log10(fmax(energy_share_band(mono, 2000, 6000), 1e-12));
    mix.correlation = stereo_correlation(pcm);
    mix.balance_db = stereo_balance_db(pcm);
    mix.level_db = song_level_db(mono);
    return true;
}
