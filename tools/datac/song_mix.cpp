#include "song_mix.h"

#include <libmodplug/modplug.h>
#include <math.h>

#include <algorithm>

const char* const MIX_ROLE_NAMES[MIX_ROLES] = {"lead", "pad", "bass", "drums", "counter"};

static const int32_t STEM_WINDOW = MEASURE_RATE * 2 / 5;  // 400 ms

std::vector<int32_t> stem_plays(const std::vector<double>& levels) {
    std::vector<double> sorted = levels;
    std::sort(sorted.begin(), sorted.end());
    double loud = sorted.empty() ? -200 : sorted[sorted.size() * 9 / 10];
    std::vector<int32_t> plays;
    plays.reserve(levels.size());
    for (double l : levels) plays.push_back(l >= loud - 20 && l > -60);
    return plays;
}

SongPhrases song_phrases(const SongSummary& summary) {
    SongPhrases p;
    for (const SongSection& s : summary.sections) {
        p.phrases += s.phrases;
        p.fills += s.fills;
        p.all_four_bars &= s.bars % 4 == 0;
        p.lengths += (p.lengths.empty() ? "" : " ") + std::to_string(s.bars);
    }
    return p;
}

static void measure_lead_over_counter(const StereoPcm& lead, const StereoPcm& counter, SongMix& mix) {
    std::vector<double> a = a_weighted_windows_db(mono_of(lead), STEM_WINDOW, STEM_WINDOW);
    std::vector<double> b = a_weighted_windows_db(mono_of(counter), STEM_WINDOW, STEM_WINDOW);
    std::vector<int32_t> a_plays = stem_plays(a), b_plays = stem_plays(b);
    std::vector<double> differences;
    int32_t louder = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); i++) {
        if (!a_plays[i] || !b_plays[i]) continue;
        differences.push_back(a[i] - b[i]);
        louder += b[i] > a[i];
    }
    mix.together = (int32_t)differences.size();
    if (differences.empty()) return;
    mix.lead_over_counter_db = median_of(differences);
    mix.counter_louder_share = louder / (double)differences.size();
}

// The frames each section of the first pass spans, from the order entry the player was
// at after each buffer.
static void measure_sections(const PlayedSong& played, const std::vector<double>& mono, SongMix& mix) {
    int64_t pass_end = played.joins.empty() ? played.pcm.frames() : played.joins[0];
    for (const SongSection& section : mix.summary.sections) {
        int64_t first = -1, last = -1;
        for (size_t b = 0; b < played.orders.size() && (int64_t)b * PLAYER_BUFFER_FRAMES < pass_end; b++)
            if (played.orders[b] == section.order) {
                if (first < 0) first = (int64_t)b * PLAYER_BUFFER_FRAMES;
                last = std::min(pass_end, (int64_t)(b + 1) * PLAYER_BUFFER_FRAMES);
            }
        std::vector<double> part;
        if (first >= 0) part.assign(mono.begin() + first, mono.begin() + last);
        mix.section_db.push_back(part.empty() ? NAN : song_level_db(part) - mix.level_db);
    }
}

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
    if (!play_song_as_game(bytes, mix.played, mix.summary.loop)) {
        error = std::string(path) + ": the player does not load the module";
        return false;
    }
    const StereoPcm& pcm = mix.played.pcm;
    std::vector<double> mono = mono_of(pcm);
    // The roles alone are played over the first pass and set against the same stretch of
    // the mix: the passes after it repeat it.
    int64_t pass = mix.played.joins.empty() ? pcm.frames() : mix.played.joins[0];
    KWeighted weighted = k_weighted(pcm);
    mix.lufs = integrated_lufs(weighted, pcm.frames());
    double pass_lufs = integrated_lufs(weighted, pass);
    PlayedSong stems[MIX_ROLES];
    for (int32_t r = 0; r < MIX_ROLES; r++) {
        mix.role_db[r] = NAN;
        std::vector<uint8_t> alone;
        std::string ignored;
        if (std::find(mix.summary.roles.begin(), mix.summary.roles.end(), MIX_ROLE_NAMES[r]) == mix.summary.roles.end())
            continue;
        if (!compile_song_role(path, MIX_ROLE_NAMES[r], alone, nullptr, ignored)) continue;
        if (!play_module_frames(alone, pass, stems[r])) continue;
        if (stems[r].pcm.frames() > 0 && peak_dbfs(stems[r].pcm) > -90)
            mix.role_db[r] = integrated_lufs(stems[r].pcm) - pass_lufs;
    }
    if (!isnan(mix.role_db[MIX_LEAD]) && !isnan(mix.role_db[MIX_COUNTER]))
        measure_lead_over_counter(stems[MIX_LEAD].pcm, stems[MIX_COUNTER].pcm, mix);
    mix.joins = measure_loop_joins(mix.played);
    mix.range_lu = loudness_range_lu(weighted);
    Spectrum spectrum = power_spectrum(mono);
    mix.centroid_hz = spectral_centroid(spectrum);
    mix.band_2_6k_db = 10 * log10(fmax(energy_share_band(spectrum, 2000, 6000), 1e-12));
    mix.correlation = stereo_correlation(pcm);
    mix.balance_db = stereo_balance_db(pcm);
    mix.level_db = song_level_db(mono);
    measure_sections(mix.played, mono, mix);
    return true;
}
