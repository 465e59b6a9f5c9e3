#include "synth_instrument.h"

#include <math.h>
#include <stdio.h>

static const double TONE_ROOT_HZ = 261.6255653;  // C in octave 4, what note 49 plays
static const int32_t TONE_CYCLE = 64;            // samples in one cycle of a tone
static const int32_t DRUM_RATE = 22050;
static const int32_t DRUM_FADE_IN = DRUM_RATE / 2000;  // samples of the click-free start, about 0.5 ms
static const int32_t DRUM_FADE_OUT = DRUM_RATE / 200;  // samples of the click-free end, about 5 ms
static const double HARMONIC_FLOOR = 0.12;

static const char* const TONE_WAVES[] = {"sine", "saw", "square", "triangle", "pulse", "organ", "soft", "hollow"};
static const int32_t TONE_WAVE_COUNT = 8;

static const char* const KIND_WORDS[] = {"tone", "kick", "snare", "hat", "clap", "tom", "crash"};

bool instrument_kind_from_word(const std::string& word, int32_t& kind) {
    for (int32_t i = 0; i < 7; i++)
        if (word == KIND_WORDS[i]) {
            kind = i;
            return true;
        }
    return false;
}

static bool read_number(const SourceLine& line, size_t index, double low, double high, double& value,
                        std::string& error) {
    if (index >= line.words.size() || !parse_double(line.words[index], value) || !(value >= low && value <= high)) {
        char text[128];
        snprintf(text, sizeof text, "'%s' needs a number from %g to %g", line.words[0].c_str(), low, high);
        error = source_error(line, text);
        return false;
    }
    return true;
}

bool parse_instrument_key(const SourceLine& line, InstrumentDef& def, std::string& error) {
    const std::string& key = line.words[0];
    double v = 0, w = 0;
    if (key == "wave") {
        if (line.words.size() < 2) {
            error = source_error(line, "'wave' needs a shape");
            return false;
        }
        for (int32_t i = 0; i < TONE_WAVE_COUNT; i++)
            if (line.words[1] == TONE_WAVES[i]) def.wave = i;
        if (line.words[1] != TONE_WAVES[def.wave]) {
            error = source_error(line, "unknown wave '" + line.words[1] + "'");
            return false;
        }
        if (line.words.size() > 2) {
            SourceLine rest = line;
            rest.words.erase(rest.words.begin() + 1);
            if (!read_number(rest, 1, 1, 31, v, error)) return false;
            def.harmonics = (int32_t)v;
        }
        return true;
    }
    if (key == "vibrato") {
        if (!read_number(line, 1, 0, 15, v, error) || !read_number(line, 2, 0, 63, w, error)) return false;
        def.vibrato_depth = (int32_t)v;
        def.vibrato_rate = (int32_t)w;
        return true;
    }
    struct Field {
        const char* name;
        double* value;
        double low, high;
    };
    const Field fields[] = {{"bright", &def.bright, 0, 4},    {"attack", &def.attack, 0, 4},
                            {"decay", &def.decay, 0.001, 8},  {"sustain", &def.sustain, 0, 1},
                            {"release", &def.release, 0, 8},  {"pitch", &def.pitch, 20, 2000},
                            {"length", &def.length, 0.01, 3}, {"volume", &def.volume, 0, 64}};
    for (const Field& f : fields)
        if (key == f.name) {
            if (line.words.size() != 2) {
                error = source_error(line, "'" + key + "' takes one number");
                return false;
            }
            return read_number(line, 1, f.low, f.high, *f.value, error);
        }
    error = source_error(line, "unknown instrument key '" + key + "'");
    return false;
}

static double harmonic_weight(int32_t wave, int32_t k) {
    switch (wave) {
        case 1:
            return 1.0 / k;
        case 2:
            return k % 2 ? 1.0 / k : 0;
        case 3:
            return k % 2 ? ((k / 2) % 2 ? -1.0 : 1.0) / (k * k) : 0;
        case 4:
            return sin(M_PI * k * 0.25) / k;
        case 5: {
            static const double organ[9] = {0, 1, 0.7, 0.45, 0.35, 0, 0.2, 0, 0.15};
            return k <= 8 ? organ[k] : 0;
        }
        case 6:
            return 1.0 / (k * k);
        case 7:
            return k % 2 ? 1.0 / (k * sqrt((double)k)) : 0.15 / k;
        default:
            return k == 1 ? 1 : 0;
    }
}

// Additive synthesis on a fixed cycle length, so every cycle is exactly periodic and the
// last one loops without a seam once the upper harmonics have settled on their floor.
static void render_tone(const InstrumentDef& def, XmInstrument& out) {
    int32_t cycles = 1;
    if (def.bright > 0) cycles = (int32_t)ceil(log(1.0 / HARMONIC_FLOOR) * def.bright * TONE_ROOT_HZ) + 1;
    std::vector<double> wave((size_t)cycles * TONE_CYCLE);
    int32_t top = def.harmonics < TONE_CYCLE / 2 ? def.harmonics : TONE_CYCLE / 2 - 1;
    for (int32_t c = 0; c < cycles; c++) {
        double t = (double)c / TONE_ROOT_HZ;
        for (int32_t k = 1; k <= top; k++) {
            double a = harmonic_weight(def.wave, k);
            if (a == 0) continue;
            if (def.bright > 0 && c < cycles - 1) a *= fmax(exp(-(k - 1) * t / def.bright), HARMONIC_FLOOR);
            if (def.bright > 0 && c == cycles - 1 && k > 1) a *= HARMONIC_FLOOR;
            for (int32_t i = 0; i < TONE_CYCLE; i++)
                wave[(size_t)c * TONE_CYCLE + i] += a * sin(2 * M_PI * k * i / TONE_CYCLE);
        }
    }
    double peak = 0;
    for (double s : wave) peak = fmax(peak, fabs(s));
    out.sample.resize(wave.size());
    for (size_t i = 0; i < wave.size(); i++) out.sample[i] = (int16_t)lrint(wave[i] / peak * 30000.0);
    out.loop_start = (cycles - 1) * TONE_CYCLE;
    out.loop_length = TONE_CYCLE;
    tune_for_rate(TONE_ROOT_HZ * TONE_CYCLE, out.relative_note, out.finetune);
}

static void render_drum(const InstrumentDef& def, XmInstrument& out) {
    static const double default_length[] = {0, 0.35, 0.2, 0.05, 0.18, 0.35, 1.2};
    static const double default_pitch[] = {0, 52, 190, 8000, 1200, 110, 5000};
    double length = def.length > 0 ? def.length : default_length[def.kind];
    double pitch = def.pitch > 0 ? def.pitch : default_pitch[def.kind];
    int32_t count = (int32_t)(length * DRUM_RATE);
    std::vector<double> s((size_t)count);
    uint32_t noise = 0x9e3779b9u + (uint32_t)def.kind;
    double phase = 0, low = 0, band_low = 0, band = 0, hp_in = 0, hp_out = 0;
    for (int32_t i = 0; i < count; i++) {
        double t = (double)i / DRUM_RATE;
        double fall = pow(1.0 - (double)i / count, 2.0);
        double n = next_noise(noise);
        double v = 0;
        switch (def.kind) {
            case INSTRUMENT_KICK: {
                double f = pitch + pitch * 2.2 * exp(-t / 0.025);
                phase += f / DRUM_RATE;
                v = sin(2 * M_PI * phase) * exp(-t / (length * 0.45)) + (t < 0.004 ? n * 0.25 * (1 - t / 0.004) : 0);
                break;
            }
            case INSTRUMENT_TOM: {
                double f = pitch * (1 + 0.5 * exp(-t / 0.04));
                phase += f / DRUM_RATE;
                v = sin(2 * M_PI * phase) * exp(-t / (length * 0.35));
                break;
            }
            case INSTRUMENT_SNARE: {
                double f = pitch * (1 + 0.3 * exp(-t / 0.02));
                phase += f / DRUM_RATE;
                hp_out = 0.8 * (hp_out + n - hp_in);
                hp_in = n;
                v = 0.55 * sin(2 * M_PI * phase) * exp(-t / 0.04) + 0.7 * hp_out * exp(-t / (length * 0.3));
                break;
            }
            case INSTRUMENT_CLAP: {
                double burst = fmod(t, 0.011);
                double env = t < 0.033 ? exp(-burst / 0.003) : exp(-(t - 0.033) / (length * 0.3));
                double k = 2 * sin(M_PI * pitch / DRUM_RATE);
                band_low += k * band;
                band += k * (n - band_low - 0.6 * band);
                v = band * env * 1.4;
                break;
            }
            default: {  // hats and crash: high-passed noise
                double a = exp(-2 * M_PI * pitch / DRUM_RATE);
                hp_out = a * (hp_out + n - hp_in);
                hp_in = n;
                low += 0.7 * (hp_out - low);
                double tau = def.kind == INSTRUMENT_CRASH ? length * 0.3 : length * 0.25;
                v = low * exp(-t / tau);
                break;
            }
        }
        if (i < DRUM_FADE_IN) v *= (double)i / DRUM_FADE_IN;
        s[i] = v * (0.2 + 0.8 * fall) * (i > count - DRUM_FADE_OUT ? (double)(count - i) / DRUM_FADE_OUT : 1);
    }
    double peak = 1e-9;
    for (double v : s) peak = fmax(peak, fabs(v));
    out.sample.resize(s.size());
    for (size_t i = 0; i < s.size(); i++) out.sample[i] = (int16_t)lrint(s[i] / peak * 30000.0);
    tune_for_rate(DRUM_RATE, out.relative_note, out.finetune);
}

void build_instrument(const InstrumentDef& def, int32_t bpm, double gain, XmInstrument& out) {
    out = XmInstrument();
    out.name = def.name;
    if (def.kind == INSTRUMENT_TONE)
        render_tone(def, out);
    else
        render_drum(def, out);
    double v = def.volume * gain;
    out.volume = (uint8_t)(v > 64 ? 64 : lrint(v));
    if (def.kind != INSTRUMENT_TONE) return;
    // One tick lasts 2.5 / bpm seconds.
    double ticks_per_second = bpm * 0.4;
    uint16_t a = (uint16_t)lrint(def.attack * ticks_per_second);
    uint16_t d = (uint16_t)(a + 1 + lrint(def.decay * ticks_per_second));
    uint16_t s = (uint16_t)lrint(def.sustain * 64);
    uint16_t r = (uint16_t)(d + 1 + lrint(def.release * ticks_per_second));
    out.envelope.push_back({0, (uint16_t)(a == 0 ? 64 : 0)});
    if (a > 0) out.envelope.push_back({a, 64});
    out.envelope.push_back({d, s});
    out.sustain_point = (int32_t)out.envelope.size() - 1;
    out.envelope.push_back({r, 0});
    out.fadeout = 0;
    out.vibrato_depth = (uint8_t)def.vibrato_depth;
    out.vibrato_rate = (uint8_t)def.vibrato_rate;
    out.vibrato_sweep = def.vibrato_depth ? 20 : 0;
}
