#include "synth_measure.h"

#include <libmodplug/modplug.h>
#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <complex>

#include "audio/music.h"
#include "audio/sound.h"
#include "storage/config.h"

static const double SILENCE_LEVEL = 100;  // of 32768: -50 dBFS

ModPlugFile* load_module_at_game_settings(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return nullptr;
    config_defaults();
    audio_frequency = MEASURE_RATE;
    audio_channels = 2;
    music_apply_settings();
    return ModPlug_Load(bytes.data(), (int)bytes.size());
}

void play_through_player(ModPlugFile* module, int32_t repeat, int32_t volume, int64_t max_frames, PlayedSong& out) {
    out = PlayedSong();
    if (!module) return;
    music_set_volume(volume);
    music_play(module, repeat);
    std::vector<int16_t> buffer(PLAYER_BUFFER_FRAMES * 2);
    int32_t order = 0, row = 0;
    while (out.pcm.frames() < max_frames) {
        if (!music_hooked) {
            out.ended = 1;
            break;
        }
        std::fill(buffer.begin(), buffer.end(), 0);
        int64_t start = out.pcm.frames();
        music_mix(module, (uint8_t*)buffer.data(), (int)(buffer.size() * 2));
        out.pcm.samples.insert(out.pcm.samples.end(), buffer.begin(), buffer.end());
        int32_t now_order = ModPlug_GetCurrentOrder(module), now_row = ModPlug_GetCurrentRow(module);
        if (now_order < order || (now_order == order && now_row < row)) out.joins.push_back(start);
        out.orders.push_back(now_order);
        order = now_order;
        row = now_row;
    }
    music_hooked = nullptr;
}

int64_t fade_in_frames(ModPlugFile* module, int32_t buffer_frames, std::vector<int32_t>* steps) {
    music_set_volume(128);
    music_fade_in_and_play(module, -1);
    std::vector<int16_t> buffer((size_t)buffer_frames * 2);
    int64_t rendered = 0, reached = -1;
    while (reached < 0 && rendered < (int64_t)MEASURE_RATE * 60 && music_hooked) {
        music_mix(module, (uint8_t*)buffer.data(), (int)(buffer.size() * 2));
        if (steps) steps->push_back(music_current_volume);
        if (music_current_volume == 128) reached = rendered;
        rendered += buffer_frames;
    }
    music_hooked = nullptr;
    return reached;
}

bool play_song_as_game(const std::vector<uint8_t>& bytes, PlayedSong& out, int32_t loops) {
    const int64_t limit = (int64_t)MEASURE_RATE * 400, after_last_join = MEASURE_RATE * 3;
    ModPlugFile* module = load_module_at_game_settings(bytes);
    if (!module) return false;
    if (loops <= 0) {
        play_through_player(module, 0, 128, limit, out);
        // A song that plays once reaches its end; a looping one stops at its first join.
        if (loops < 0) loops = ModPlug_GetCurrentPattern(module) != 255;
    }
    if (loops) {
        play_through_player(module, -1, 128, limit, out);
        if (out.joins.size() >= 2) {
            int64_t end = out.joins[1] + after_last_join;
            if (end < out.pcm.frames()) {
                out.pcm.samples.resize((size_t)end * 2);
                out.orders.resize((size_t)((end + PLAYER_BUFFER_FRAMES - 1) / PLAYER_BUFFER_FRAMES));
            }
            out.joins.resize(2);
        }
    }
    ModPlug_Unload(module);
    return true;
}

LoopJoins measure_loop_joins(const PlayedSong& played) {
    LoopJoins f;
    const int32_t window = MEASURE_RATE / 20;
    double median = median_of(window_levels_db(mono_of(played.pcm), window));
    for (int64_t join : played.joins) {
        int64_t first = join - MEASURE_RATE;
        int64_t silence = longest_silence(played.pcm, first, 2 * MEASURE_RATE);
        f.silence_ms = fmax(f.silence_ms, silence * 1000.0 / MEASURE_RATE);
        for (double l : window_levels_db(mono_of(played.pcm, first, 2 * MEASURE_RATE), window))
            f.dip_db = fmin(f.dip_db, l - median);
    }
    return f;
}

std::vector<double> mono_of(const StereoPcm& pcm, int64_t first, int64_t count) {
    int64_t frames = pcm.frames();
    if (first < 0) first = 0;
    if (count < 0 || first + count > frames) count = frames - first;
    std::vector<double> mono(count > 0 ? (size_t)count : 0);
    for (size_t i = 0; i < mono.size(); i++) {
        size_t at = (size_t)(first + (int64_t)i) * 2;
        mono[i] = (pcm.samples[at] + pcm.samples[at + 1]) / 65536.0;
    }
    return mono;
}

static double to_db(double power) { return 10 * log10(fmax(power, 1e-20)); }

double peak_dbfs(const StereoPcm& pcm) {
    int32_t peak = 0;
    for (int16_t s : pcm.samples) peak = std::max(peak, abs((int32_t)s));
    return 20 * log10(fmax(peak, 1) / 32768.0);
}

double rms_dbfs(const std::vector<double>& mono) {
    double sum = 0;
    for (double v : mono) sum += v * v;
    return to_db(mono.empty() ? 0 : sum / mono.size());
}

double crest_factor_db(const std::vector<double>& mono) {
    double peak = 0;
    for (double v : mono) peak = fmax(peak, fabs(v));
    return 20 * log10(fmax(peak, 1e-9)) - rms_dbfs(mono);
}

int64_t longest_silence(const StereoPcm& pcm, int64_t first, int64_t count) {
    int64_t frames = pcm.frames();
    if (first < 0) first = 0;
    if (count < 0 || first + count > frames) count = frames - first;
    int64_t run = 0, longest = 0;
    for (int64_t i = first; i < first + count; i++) {
        int32_t a = std::max(abs((int32_t)pcm.samples[i * 2]), abs((int32_t)pcm.samples[i * 2 + 1]));
        run = a < SILENCE_LEVEL ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

int64_t audible_end(const StereoPcm& pcm) {
    for (int64_t i = pcm.frames(); i > 0; i--)
        if (abs((int32_t)pcm.samples[(i - 1) * 2]) >= SILENCE_LEVEL ||
            abs((int32_t)pcm.samples[(i - 1) * 2 + 1]) >= SILENCE_LEVEL)
            return i;
    return 0;
}

std::vector<double> window_levels_db(const std::vector<double>& mono, int32_t window) {
    std::vector<double> levels;
    for (size_t i = 0; window > 0 && i + (size_t)window <= mono.size(); i += (size_t)window) {
        double sum = 0;
        for (int32_t j = 0; j < window; j++) sum += mono[i + j] * mono[i + j];
        levels.push_back(to_db(sum / window));
    }
    return levels;
}

double median_of(std::vector<double> values) {
    if (values.empty()) return -200;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The two stages of the K-weighting (a high shelf for the head, then a high-pass),
// designed for the given rate from their analogue prototypes.
static void k_weighting(double rate, Biquad& shelf, Biquad& high_pass) {
    double f0 = 1681.974450955533, gain_db = 3.999843853973347, q = 0.7071752369554196;
    double k = tan(M_PI * f0 / rate);
    double vh = pow(10.0, gain_db / 20.0), vb = pow(vh, 0.4996667741545416);
    double a0 = 1.0 + k / q + k * k;
    shelf = Biquad{(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
                   2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    f0 = 38.13547087602444;
    q = 0.5003270373238773;
    k = tan(M_PI * f0 / rate);
    a0 = 1.0 + k / q + k * k;
    high_pass = Biquad{1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

KWeighted k_weighted(const StereoPcm& pcm) {
    int64_t frames = pcm.frames();
    std::vector<double> weighted((size_t)frames);
    for (int32_t ch = 0; ch < 2; ch++) {
        Biquad shelf, high_pass;
        k_weighting(MEASURE_RATE, shelf, high_pass);
        for (int64_t i = 0; i < frames; i++) {
            double v = high_pass.step(shelf.step(pcm.samples[i * 2 + ch] / 32768.0));
            weighted[i] += v * v;
        }
    }
    KWeighted k;
    k.prefix.assign((size_t)frames + 1, 0.0);
    for (int64_t i = 0; i < frames; i++) k.prefix[i + 1] = k.prefix[i] + weighted[i];
    return k;
}

// Mean square of the K-weighted signal (both channels summed) over windows of `window`
// frames stepping by `step`, within its first `frames` frames.
static std::vector<double> k_weighted_powers(const KWeighted& k, int64_t frames, int64_t window, int64_t step) {
    std::vector<double> powers;
    for (int64_t at = 0; at + window <= frames; at += step)
        powers.push_back((k.prefix[at + window] - k.prefix[at]) / window);
    return powers;
}

static double lufs_of(double power) { return -0.691 + to_db(power); }

double integrated_lufs(const StereoPcm& pcm) { return integrated_lufs(k_weighted(pcm), pcm.frames()); }

double integrated_lufs(const KWeighted& k, int64_t frames) {
    std::vector<double> blocks = k_weighted_powers(k, frames, MEASURE_RATE * 4 / 10, MEASURE_RATE / 10);
    double sum = 0;
    int64_t count = 0;
    for (double p : blocks)
        if (lufs_of(p) > -70) sum += p, count++;
    if (!count) return -70;
    double relative_gate = lufs_of(sum / count) - 10;
    sum = 0;
    count = 0;
    for (double p : blocks)
        if (lufs_of(p) > -70 && lufs_of(p) > relative_gate) sum += p, count++;
    return count ? lufs_of(sum / count) : -70;
}

double loudness_range_lu(const StereoPcm& pcm) { return loudness_range_lu(k_weighted(pcm)); }

double loudness_range_lu(const KWeighted& k) {
    std::vector<double> windows = k_weighted_powers(k, k.frames(), MEASURE_RATE * 3, MEASURE_RATE / 10);
    std::vector<double> kept;
    double sum = 0;
    for (double p : windows)
        if (lufs_of(p) > -70) kept.push_back(p), sum += p;
    if (kept.empty()) return 0;
    double relative_gate = lufs_of(sum / kept.size()) - 20;
    std::vector<double> levels;
    for (double p : kept)
        if (lufs_of(p) > relative_gate) levels.push_back(lufs_of(p));
    if (levels.empty()) return 0;
    std::sort(levels.begin(), levels.end());
    double low = levels[(size_t)lround((double)(levels.size() - 1) * 0.10)];
    double high = levels[(size_t)lround((double)(levels.size() - 1) * 0.95)];
    return high - low;
}

static void fft(std::vector<std::complex<double>>& a) {
    size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; i++) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    // The twiddle factors of the largest stage, kept while the measures take one size after
    // another; a stage of length len takes every (n / len)th of them.
    static thread_local std::vector<std::complex<double>> twiddles;
    if (twiddles.size() != n / 2) {
        twiddles.resize(n / 2);
        for (size_t k = 0; k < n / 2; k++) twiddles[k] = std::polar(1.0, -2 * M_PI * (double)k / (double)n);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        size_t stride = n / len;
        for (size_t i = 0; i < n; i += len) {
            for (size_t k = 0; k < len / 2; k++) {
                // Written out: the library's product also checks for infinities, which these never are.
                const std::complex<double>&b = a[i + k + len / 2], &w = twiddles[k * stride];
                std::complex<double> u = a[i + k], v(b.real() * w.real() - b.imag() * w.imag(),
                                                     b.real() * w.imag() + b.imag() * w.real());
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

static size_t power_of_two_at_least(size_t n) {
    size_t size = 1;
    while (size < n) size <<= 1;
    return size;
}

// A short signal is taken whole (zero-padded, so the energy is exact); a long one is
// averaged over Hann-windowed stretches.
Spectrum power_spectrum(const std::vector<double>& mono) {
    const size_t whole_limit = 1 << 16, stretch = 8192;
    Spectrum s;
    std::vector<double>& power = s.power;
    if (mono.size() <= whole_limit) {
        s.size = power_of_two_at_least(std::max<size_t>(mono.size(), 2));
        std::vector<std::complex<double>> a(s.size);
        for (size_t i = 0; i < mono.size(); i++) a[i] = mono[i];
        fft(a);
        power.resize(s.size / 2 + 1);
        for (size_t k = 0; k <= s.size / 2; k++) power[k] = std::norm(a[k]) * (k == 0 || k == s.size / 2 ? 1 : 2);
        return s;
    }
    s.size = stretch;
    power.assign(stretch / 2 + 1, 0.0);
    std::vector<double> hann(stretch);
    for (size_t i = 0; i < stretch; i++) hann[i] = 0.5 - 0.5 * cos(2 * M_PI * i / stretch);
    std::vector<std::complex<double>> a(stretch);
    for (size_t at = 0; at + stretch <= mono.size(); at += stretch / 2) {
        for (size_t i = 0; i < stretch; i++) a[i] = mono[at + i] * hann[i];
        fft(a);
        for (size_t k = 0; k <= stretch / 2; k++) power[k] += std::norm(a[k]) * (k == 0 || k == stretch / 2 ? 1 : 2);
    }
    return s;
}

double energy_share_band(const std::vector<double>& mono, double low_hz, double high_hz) {
    return energy_share_band(power_spectrum(mono), low_hz, high_hz);
}

double energy_share_band(const Spectrum& s, double low_hz, double high_hz) {
    double total = 0, band = 0;
    for (size_t k = 0; k < s.power.size(); k++) {
        double hz = (double)k * MEASURE_RATE / s.size;
        total += s.power[k];
        if (hz >= low_hz && hz < high_hz) band += s.power[k];
    }
    return total > 0 ? band / total : 0;
}

double energy_share_below(const std::vector<double>& mono, double hz) { return energy_share_band(mono, -1, hz); }

double spectral_centroid(const std::vector<double>& mono) { return spectral_centroid(power_spectrum(mono)); }

double spectral_centroid(const Spectrum& s) {
    double total = 0, moment = 0;
    for (size_t k = 0; k < s.power.size(); k++) {
        total += s.power[k];
        moment += s.power[k] * k * MEASURE_RATE / s.size;
    }
    return total > 0 ? moment / total : 0;
}

// Gain of the A-weighting curve at a frequency, 1 at 1 kHz.
static double a_weight(double f) {
    double f2 = f * f;
    double r = 12194.0 * 12194.0 * f2 * f2 /
               ((f2 + 20.6 * 20.6) * sqrt((f2 + 107.7 * 107.7) * (f2 + 737.9 * 737.9)) * (f2 + 12194.0 * 12194.0));
    return r * pow(10.0, 2.0 / 20.0);
}

std::vector<double> a_weighted_windows_db(const std::vector<double>& mono, int32_t window, int32_t step) {
    std::vector<double> levels;
    if (window <= 0 || step <= 0) return levels;
    size_t size = power_of_two_at_least((size_t)window);
    std::vector<double> weights(size / 2 + 1);
    for (size_t k = 0; k <= size / 2; k++) weights[k] = pow(a_weight((double)k * MEASURE_RATE / size), 2);
    std::vector<std::complex<double>> a(size);
    for (size_t at = 0; at + (size_t)window <= mono.size(); at += (size_t)step) {
        std::fill(a.begin(), a.end(), 0.0);
        for (int32_t i = 0; i < window; i++) a[i] = mono[at + i];
        fft(a);
        double sum = 0;
        for (size_t k = 0; k <= size / 2; k++) sum += std::norm(a[k]) * weights[k] * (k == 0 || k == size / 2 ? 1 : 2);
        levels.push_back(to_db(sum / size / window));
    }
    return levels;
}

int32_t strong_pitch_classes(const std::vector<double>& mono, int64_t frames, double within_db) {
    size_t count = std::min(mono.size(), (size_t)std::max<int64_t>(frames, 0));
    size_t size = power_of_two_at_least(count);
    std::vector<std::complex<double>> a(size);
    for (size_t i = 0; i < count; i++) a[i] = mono[i];
    fft(a);
    double energy[12] = {0}, strongest = 0;
    for (size_t k = 1; k < size / 2; k++) {
        double hz = (double)k * MEASURE_RATE / size;
        if (hz < 100 || hz > 5000) continue;
        int32_t pc = ((int32_t)lround(12 * log2(hz / 440.0)) + 9 + 1200) % 12;
        energy[pc] += std::norm(a[k]);
    }
    for (double e : energy) strongest = fmax(strongest, e);
    int32_t classes = 0;
    for (int32_t pc = 0; pc < 12; pc++)
        if (strongest > 0 && to_db(energy[pc]) >= to_db(strongest) - within_db) classes |= 1 << pc;
    return classes;
}

double stereo_correlation(const StereoPcm& pcm) {
    double lr = 0, ll = 0, rr = 0;
    for (size_t i = 0; i + 1 < pcm.samples.size(); i += 2) {
        double l = pcm.samples[i], r = pcm.samples[i + 1];
        lr += l * r;
        ll += l * l;
        rr += r * r;
    }
    return ll > 0 && rr > 0 ? lr / sqrt(ll * rr) : 0;
}

double stereo_balance_db(const StereoPcm& pcm) {
    double ll = 0, rr = 0;
    for (size_t i = 0; i + 1 < pcm.samples.size(); i += 2) {
        ll += (double)pcm.samples[i] * pcm.samples[i];
        rr += (double)pcm.samples[i + 1] * pcm.samples[i + 1];
    }
    return to_db(ll) - to_db(rr);
}

double song_level_db(const std::vector<double>& mono) {
    return median_of(a_weighted_windows_db(mono, MEASURE_RATE / 10, MEASURE_RATE / 10));
}

double effect_against_song_db(const std::vector<double>& effect, int32_t volume, double song_level) {
    std::vector<double> scaled = effect;
    for (double& v : scaled) v = v * volume / 128.0;
    // A 10 ms step finds the loudest window of a short effect closely enough.
    std::vector<double> windows = a_weighted_windows_db(scaled, MEASURE_RATE / 10, MEASURE_RATE / 100);
    double loudest = -200;
    for (double w : windows) loudest = fmax(loudest, w);
    return loudest - song_level;
}
