// Sound effect compiler: a .sfx parameter set -> mono 16-bit WAV at 22050 Hz.
//
// A source is a list of voices mixed together. Lines are "key value..."; '#'
// starts a comment. Keys for the whole effect, anywhere in the source:
//   level DB      loudness against the common target (default 0)
//   ceiling DB    highest peak allowed, dBFS (default -8); the loudness gives way to it
//   drive DB      soft clipper on the mix: how far its peak is pushed into saturation
//   lowcut HZ     steep high-pass on the mix, before the clipper
// "voice" starts a voice; the keys after it set it up:
//   wave sine|triangle|square|saw|pulse|noise   start SECONDS
//   attack S  hold S  decay S  curve N          (envelope: linear rise, hold, fall as (1-x)^N)
//   freq HZ [to HZ]  glide SECONDS              (exponential pitch slide over the glide time)
//   vibrato RATE_HZ DEPTH_SEMITONES  tremolo RATE_HZ DEPTH(0..1)
//   duty 0..1  fm RATIO INDEX  arp STEP_SECONDS SEMITONES...
//   lowpass HZ  highpass HZ  bandpass HZ Q  volume 0..1  repeat COUNT GAP_SECONDS
// The mix is cut below the lowcut, driven through the clipper, high-passed at 20 Hz,
// faded in over 1 ms and out over 4 ms so that it starts and ends without a click, then
// scaled so that its loudest 100 ms (A-weighted, as a listener hears it) meets the common
// target, unless its peak would pass the ceiling. The lowcut comes before the clipper
// only: a steep filter after it would shift the phases of what it squared off and bring
// the peaks back.
#include <math.h>
#include <stdio.h>

#include "compile.h"
#include "synth_measure.h"
#include "synth_text.h"

static const int32_t SFX_RATE = 22050;
static const double SFX_MAX_SECONDS = 3.0;
// The loudest 100 ms of every effect, A-weighted, at full volume. At the default effect
// volume (19 of 128, -16.6 dB) that is -31 dBFS, the level the level songs play at.
static const double SFX_TARGET_DB = -14.5;
static const double SFX_DEFAULT_CEILING_DB = -8.0;
static const double SFX_HIGHPASS_HZ = 20.0;
static const int32_t SFX_WINDOW = SFX_RATE / 10;  // 100 ms
static const int32_t SFX_WINDOW_STEP = SFX_RATE / 100;

enum { WAVE_SINE, WAVE_TRIANGLE, WAVE_SQUARE, WAVE_SAW, WAVE_PULSE, WAVE_NOISE };

struct SfxVoice {
    int32_t wave = WAVE_SINE;
    double start = 0, attack = 0.002, hold = 0, decay = 0.1, curve = 2;
    double freq = 440, freq_to = -1, glide = -1;
    double vib_rate = 0, vib_depth = 0, trem_rate = 0, trem_depth = 0;
    double duty = 0.5, fm_ratio = 0, fm_index = 0;
    double arp_step = 0;
    std::vector<double> arp;
    double lowpass = 0, highpass = 0, volume = 1;
    double band_hz = 0, band_q = 1;
    int32_t repeat = 1;
    double repeat_gap = 0;
};

// Settings of the whole effect.
struct SfxMix {
    double level = 0, ceiling = SFX_DEFAULT_CEILING_DB, drive = -1, lowcut = 0;
};

static Biquad high_pass_at(double hz, double q) {
    double k = tan(M_PI * hz / SFX_RATE), norm = 1 / (1 + k / q + k * k);
    Biquad f;
    f.b0 = norm;
    f.b1 = -2 * norm;
    f.b2 = norm;
    f.a1 = 2 * (k * k - 1) * norm;
    f.a2 = (1 - k / q + k * k) * norm;
    return f;
}

// Band-pass with a gain of 1 at its centre.
static Biquad band_pass_at(double hz, double q) {
    double k = tan(M_PI * hz / SFX_RATE), norm = 1 / (1 + k / q + k * k);
    Biquad f;
    f.b0 = k / q * norm;
    f.b1 = 0;
    f.b2 = -f.b0;
    f.a1 = 2 * (k * k - 1) * norm;
    f.a2 = (1 - k / q + k * k) * norm;
    return f;
}

static bool want_numbers(const SourceLine& line, size_t count, std::vector<double>& values, std::string& error) {
    values.clear();
    if (line.words.size() < count + 1) {
        error = source_error(line, "'" + line.words[0] + "' needs " + std::to_string(count) + " number(s)");
        return false;
    }
    for (size_t i = 1; i < line.words.size(); i++) {
        double v;
        if (!parse_double(line.words[i], v) || !isfinite(v)) {
            error = source_error(line, "'" + line.words[i] + "' is not a number");
            return false;
        }
        values.push_back(v);
    }
    return true;
}

static bool in_range(const SourceLine& line, double v, double low, double high, std::string& error) {
    if (v >= low && v <= high) return true;
    error =
        source_error(line, "'" + line.words[0] + "' out of range " + std::to_string(low) + ".." + std::to_string(high));
    return false;
}

static bool parse_wave(const SourceLine& line, SfxVoice& v, std::string& error) {
    static const char* const names[] = {"sine", "triangle", "square", "saw", "pulse", "noise"};
    if (line.words.size() != 2) {
        error = source_error(line, "'wave' needs one shape");
        return false;
    }
    for (int32_t i = 0; i < 6; i++)
        if (line.words[1] == names[i]) {
            v.wave = i;
            return true;
        }
    error = source_error(line, "unknown wave '" + line.words[1] + "'");
    return false;
}

// "freq HZ" or "freq HZ to HZ".
static bool parse_freq(const SourceLine& line, SfxVoice& v, std::string& error) {
    if (line.words.size() == 4 && line.words[2] == "to") {
        double a, b;
        if (!parse_double(line.words[1], a) || !parse_double(line.words[3], b)) {
            error = source_error(line, "'freq' needs HZ [to HZ]");
            return false;
        }
        if (!in_range(line, a, 20, 22050, error) || !in_range(line, b, 20, 22050, error)) return false;
        v.freq = a;
        v.freq_to = b;
        return true;
    }
    std::vector<double> n;
    if (!want_numbers(line, 1, n, error) || n.size() != 1) {
        if (error.empty()) error = source_error(line, "'freq' needs HZ [to HZ]");
        return false;
    }
    if (!in_range(line, n[0], 20, 22050, error)) return false;
    v.freq = n[0];
    return true;
}

// Keys of one number each; true in `found` when the key is one of them.
static bool parse_single(const SourceLine& line, const std::vector<double>& n, SfxVoice& v, bool& found,
                         std::string& error) {
    struct Single {
        const char* name;
        double* field;
        double low, high;
    };
    const Single singles[] = {{"start", &v.start, 0, SFX_MAX_SECONDS},
                              {"attack", &v.attack, 0, 2},
                              {"hold", &v.hold, 0, 2},
                              {"decay", &v.decay, 0.001, 3},
                              {"curve", &v.curve, 0.2, 8},
                              {"glide", &v.glide, 0.001, 3},
                              {"duty", &v.duty, 0.05, 0.95},
                              {"lowpass", &v.lowpass, 50, 11000},
                              {"highpass", &v.highpass, 20, 11000},
                              {"volume", &v.volume, 0, 1}};
    const std::string& key = line.words[0];
    found = false;
    for (const Single& s : singles) {
        if (key != s.name) continue;
        found = true;
        if (n.size() != 1) {
            error = source_error(line, "'" + key + "' takes one number");
            return false;
        }
        if (!in_range(line, n[0], s.low, s.high, error)) return false;
        *s.field = n[0];
        return true;
    }
    return true;
}

// Keys of two numbers: vibrato, tremolo, fm, bandpass, repeat.
static bool parse_pair(const SourceLine& line, const std::vector<double>& n, SfxVoice& v, std::string& error) {
    const std::string& key = line.words[0];
    if (n.size() != 2) {
        error = source_error(line, "'" + key + "' takes two numbers");
        return false;
    }
    if (key == "vibrato") {
        if (!in_range(line, n[0], 0, 60, error) || !in_range(line, n[1], 0, 12, error)) return false;
        v.vib_rate = n[0];
        v.vib_depth = n[1];
    } else if (key == "tremolo") {
        if (!in_range(line, n[0], 0, 200, error) || !in_range(line, n[1], 0, 1, error)) return false;
        v.trem_rate = n[0];
        v.trem_depth = n[1];
    } else if (key == "fm") {
        if (!in_range(line, n[0], 0, 16, error) || !in_range(line, n[1], 0, 20, error)) return false;
        v.fm_ratio = n[0];
        v.fm_index = n[1];
    } else if (key == "bandpass") {
        if (!in_range(line, n[0], 50, 10000, error) || !in_range(line, n[1], 0.3, 40, error)) return false;
        v.band_hz = n[0];
        v.band_q = n[1];
    } else {
        if (!in_range(line, n[0], 1, 32, error) || !in_range(line, n[1], 0.005, 1, error)) return false;
        v.repeat = (int32_t)n[0];
        v.repeat_gap = n[1];
    }
    return true;
}

static bool parse_arp(const SourceLine& line, const std::vector<double>& n, SfxVoice& v, std::string& error) {
    if (n.size() < 2) {
        error = source_error(line, "'arp' needs a step time and at least one semitone offset");
        return false;
    }
    if (!in_range(line, n[0], 0.005, 1, error)) return false;
    v.arp_step = n[0];
    v.arp.assign(n.begin() + 1, n.end());
    for (double s : v.arp)
        if (!in_range(line, s, -36, 36, error)) return false;
    return true;
}

static bool parse_voice_key(const SourceLine& line, SfxVoice& v, std::string& error) {
    const std::string& key = line.words[0];
    if (key == "wave") return parse_wave(line, v, error);
    if (key == "freq") return parse_freq(line, v, error);
    std::vector<double> n;
    if (!want_numbers(line, 1, n, error)) return false;
    bool found = false;
    if (!parse_single(line, n, v, found, error)) return false;
    if (found) return true;
    if (key == "vibrato" || key == "tremolo" || key == "fm" || key == "bandpass" || key == "repeat")
        return parse_pair(line, n, v, error);
    if (key == "arp") return parse_arp(line, n, v, error);
    error = source_error(line, "unknown key '" + key + "'");
    return false;
}

static double voice_length(const SfxVoice& v) { return v.attack + v.hold + v.decay + (v.repeat - 1) * v.repeat_gap; }

static double envelope_at(const SfxVoice& v, double t) {
    double best = 0;
    for (int32_t r = 0; r < v.repeat; r++) {
        double u = t - r * v.repeat_gap;
        double e = 0;
        if (u < 0) continue;
        if (u < v.attack)
            e = u / v.attack;
        else if (u < v.attack + v.hold)
            e = 1;
        else if (u < v.attack + v.hold + v.decay)
            e = pow(1.0 - (u - v.attack - v.hold) / v.decay, v.curve);
        if (e > best) best = e;
    }
    return best;
}

static void render_voice(const SfxVoice& v, uint32_t seed, std::vector<double>& mix) {
    double length = voice_length(v);
    int32_t first = (int32_t)(v.start * SFX_RATE);
    int32_t count = (int32_t)(length * SFX_RATE);
    double glide = v.glide > 0 ? v.glide : length;
    double phase = 0, fm_phase = 0, low = 0, high_in = 0, high_out = 0;
    double lp_a = v.lowpass > 0 ? 1.0 - exp(-2.0 * M_PI * v.lowpass / SFX_RATE) : 1.0;
    double hp_a = v.highpass > 0 ? exp(-2.0 * M_PI * v.highpass / SFX_RATE) : 0.0;
    uint32_t noise = seed;
    double held_noise = 0, noise_phase = 1;
    Biquad band = v.band_hz > 0 ? band_pass_at(v.band_hz, v.band_q) : Biquad();
    for (int32_t i = 0; i < count && first + i < (int32_t)mix.size(); i++) {
        double t = (double)i / SFX_RATE;
        double f = v.freq;
        if (v.freq_to > 0) f = v.freq * pow(v.freq_to / v.freq, fmin(t / glide, 1.0));
        if (!v.arp.empty()) {
            size_t step = (size_t)(t / v.arp_step);
            if (step >= v.arp.size()) step = v.arp.size() - 1;
            f *= pow(2.0, v.arp[step] / 12.0);
        }
        if (v.vib_rate > 0) f *= pow(2.0, v.vib_depth / 12.0 * sin(2 * M_PI * v.vib_rate * t));
        double inc = f / SFX_RATE;
        double mod = 0;
        if (v.fm_ratio > 0) {
            fm_phase += inc * v.fm_ratio;
            mod = v.fm_index * sin(2 * M_PI * fm_phase);
        }
        phase += inc;
        phase -= floor(phase);
        double p = phase + mod / (2 * M_PI);
        p -= floor(p);
        double s;
        switch (v.wave) {
            case WAVE_TRIANGLE:
                s = p < 0.5 ? 4 * p - 1 : 3 - 4 * p;
                break;
            case WAVE_SQUARE:
                s = p < 0.5 ? 0.8 : -0.8;
                break;
            case WAVE_SAW:
                s = 1.6 * p - 0.8;
                break;
            case WAVE_PULSE:
                // Centred on zero whatever the duty, so a narrow pulse carries no offset.
                s = (p < v.duty ? 0.8 : -0.8) - 0.8 * (2 * v.duty - 1);
                break;
            case WAVE_NOISE:
                // Noise is sampled and held at the voice's frequency, so "freq" colours it.
                noise_phase += inc;
                if (noise_phase >= 1 || f >= SFX_RATE / 2.0) {
                    noise_phase -= floor(noise_phase);
                    held_noise = next_noise(noise);
                }
                s = held_noise;
                break;
            default:
                s = sin(2 * M_PI * p);
                break;
        }
        low += lp_a * (s - low);
        s = low;
        if (v.highpass > 0) {
            high_out = hp_a * (high_out + s - high_in);
            high_in = s;
            s = high_out;
        }
        s = band.step(s);
        double amp = envelope_at(v, t) * v.volume;
        if (v.trem_rate > 0) amp *= 1.0 - v.trem_depth * 0.5 * (1 + sin(2 * M_PI * v.trem_rate * t));
        mix[first + i] += s * amp;
    }
}

// A second-order high-pass at 20 Hz over the mix: what is left below that (envelopes,
// glides, uneven waves, the clipper's asymmetry) is a thump on headphones and loudness
// lost on speakers.
static void remove_rumble(std::vector<double>& mix) {
    Biquad f = high_pass_at(SFX_HIGHPASS_HZ, M_SQRT1_2);
    for (double& s : mix) s = f.step(s);
}

// Fourth-order high-pass: small speakers do not play what lies below it, and there it
// would only take the clipper's headroom.
static void cut_lows(std::vector<double>& mix, double hz) {
    Biquad first = high_pass_at(hz, M_SQRT1_2), second = high_pass_at(hz, M_SQRT1_2);
    for (double& s : mix) s = second.step(first.step(s));
}

static double peak_of(const std::vector<double>& mix) {
    double peak = 0;
    for (double s : mix) peak = fmax(peak, fabs(s));
    return peak;
}

// Soft clipper: the peak is pushed `drive_db` into a tanh curve, so quieter parts rise
// against the loudest and the effect sounds denser.
static void saturate(std::vector<double>& mix, double drive_db) {
    double peak = peak_of(mix);
    if (peak <= 0) return;
    double g = pow(10.0, drive_db / 20.0) / peak, norm = peak / tanh(g * peak);
    for (double& s : mix) s = tanh(g * s) * norm;
}

// The loudest 100 ms of the mix, A-weighted, in dB.
static double loudest_window_db(const std::vector<double>& mix) {
    double loudest = -200;
    for (double w : a_weighted_windows_db(mix, SFX_WINDOW, SFX_WINDOW_STEP)) loudest = fmax(loudest, w);
    return loudest;
}

// Keys of the whole effect; false in `found` when the key is not one of them.
static bool parse_mix_key(const SourceLine& line, SfxMix& mix, bool& found, std::string& error) {
    struct Key {
        const char* name;
        double* field;
        double low, high;
    };
    const Key keys[] = {{"level", &mix.level, -24, 12},
                        {"ceiling", &mix.ceiling, -30, -1},
                        {"drive", &mix.drive, 0, 30},
                        {"lowcut", &mix.lowcut, 20, 1000}};
    found = false;
    for (const Key& k : keys) {
        if (line.words[0] != k.name) continue;
        found = true;
        std::vector<double> n;
        if (!want_numbers(line, 1, n, error)) return false;
        if (n.size() != 1) {
            error = source_error(line, "'" + line.words[0] + "' takes one number");
            return false;
        }
        if (!in_range(line, n[0], k.low, k.high, error)) return false;
        *k.field = n[0];
        return true;
    }
    return true;
}

bool compile_sound(const char* path, Bytes& out, std::string& error) {
    std::string text;
    if (!read_text_file(path, text, error)) return false;
    std::vector<SourceLine> lines;
    split_source(path, text, lines);
    std::vector<SfxVoice> voices;
    SfxMix settings;
    for (const SourceLine& line : lines) {
        const std::string& key = line.words[0];
        bool mix_key = false;
        if (!parse_mix_key(line, settings, mix_key, error)) return false;
        if (mix_key) continue;
        if (key == "voice") {
            if (line.words.size() != 1) {
                error = source_error(line, "'voice' takes nothing");
                return false;
            }
            if (voices.size() >= 16) {
                error = source_error(line, "more than 16 voices");
                return false;
            }
            voices.push_back(SfxVoice());
        } else if (voices.empty()) {
            error = source_error(line, "'" + key + "' before the first 'voice'");
            return false;
        } else if (!parse_voice_key(line, voices.back(), error)) {
            return false;
        }
    }
    if (voices.empty()) {
        error = std::string(path) + ":1: no voice";
        return false;
    }
    double length = 0;
    for (const SfxVoice& v : voices) length = fmax(length, v.start + voice_length(v));
    if (length > SFX_MAX_SECONDS) {
        error = std::string(path) + ":1: longer than " + std::to_string((int)SFX_MAX_SECONDS) + " seconds";
        return false;
    }
    // At least one whole 100 ms window, so that a short effect is measured with the
    // silence that follows it.
    size_t size = (size_t)(length * SFX_RATE) + SFX_RATE / 100;
    std::vector<double> mix(size < (size_t)SFX_WINDOW ? (size_t)SFX_WINDOW : size, 0.0);
    for (size_t i = 0; i < voices.size(); i++) render_voice(voices[i], 12345u + 7919u * (uint32_t)i, mix);
    if (settings.lowcut > 0) cut_lows(mix, settings.lowcut);
    if (settings.drive >= 0) saturate(mix, settings.drive);
    remove_rumble(mix);
    size_t fade_in = SFX_RATE / 1000, fade_out = SFX_RATE / 250;
    for (size_t i = 0; i < fade_in && i < mix.size(); i++) mix[i] *= (double)i / fade_in;
    for (size_t i = 0; i < fade_out && i < mix.size(); i++) mix[mix.size() - 1 - i] *= (double)i / fade_out;
    double peak = peak_of(mix), loudest = loudest_window_db(mix);
    if (peak <= 1e-9 || loudest < -150) {
        error = std::string(path) + ":1: the effect is silent";
        return false;
    }
    double gain = pow(10.0, (SFX_TARGET_DB + settings.level - loudest) / 20.0);
    double ceiling = pow(10.0, settings.ceiling / 20.0);
    if (peak * gain > ceiling) gain = ceiling / peak;
    std::vector<int16_t> samples(mix.size());
    for (size_t i = 0; i < mix.size(); i++) samples[i] = (int16_t)lrint(mix[i] * gain * 32767.0);
    encode_wav16(SFX_RATE, samples, out);
    return true;
}
