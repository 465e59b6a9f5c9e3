// Measuring rendered audio: songs played through the game's own music player,
// loudness, levels, spectrum and stereo figures. Used by the audio report tool
// and by the tests that hold the songs and effects to their targets.
#ifndef DATAC_SYNTH_MEASURE_H
#define DATAC_SYNTH_MEASURE_H

#include <libmodplug/modplug.h>
#include <stddef.h>
#include <stdint.h>

#include <vector>

static const int32_t MEASURE_RATE = 22050;
static const int32_t PLAYER_BUFFER_FRAMES = 1024;  // the buffers the player is measured with

// A second-order filter section in direct form I; the default passes its input
// through unchanged. The effect synthesiser's filters and the loudness
// weighting are made of these.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double step(double x) {
        double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Interleaved stereo 16-bit frames at MEASURE_RATE.
struct StereoPcm {
    std::vector<int16_t> samples;
    int64_t frames() const { return (int64_t)samples.size() / 2; }
};

// A module loaded from its bytes with the game's renderer settings (default configuration).
ModPlugFile* load_module_at_game_settings(const std::vector<uint8_t>& bytes);

// Plays a module through the game's mixing callback in 1024-frame buffers, as the audio
// thread does, at the given player volume (0..128) and repeat count, until it detaches or
// max_frames. joins: the first frame of each buffer in which a new pass began.
struct PlayedSong {
    StereoPcm pcm;
    std::vector<int64_t> joins;
    std::vector<int32_t> orders;  // the order entry playing at the end of each buffer
    int32_t ended = 0;            // the player detached by itself
};
void play_through_player(ModPlugFile* module, int32_t repeat, int32_t volume, int64_t max_frames, PlayedSong& out);

// Fades a module in through the game's mixing callback in buffers of the given size, with
// the music at full volume: the frames rendered before the buffer in which the volume
// reached it, or -1 when it had not after a minute. steps: the volume after each buffer.
int64_t fade_in_frames(ModPlugFile* module, int32_t buffer_frames, std::vector<int32_t>* steps = nullptr);

// Plays a song as the game does: one that plays once to its end, a looping one through
// two joins and three seconds more. loops: 1 or 0 when the caller knows whether the song
// loops (its compiler's summary says so), -1 to find out by playing it once first.
bool play_song_as_game(const std::vector<uint8_t>& bytes, PlayedSong& out, int32_t loops = -1);

// The loop joins of a played song: the longest silence within a second of a join (ms), and
// the quietest 50 ms window there against the median of the whole song's (dB, 0 or below).
struct LoopJoins {
    double silence_ms = 0;
    double dip_db = 0;
};
LoopJoins measure_loop_joins(const PlayedSong& played);

// Mono signal (mean of the two channels) as doubles in -1..1.
std::vector<double> mono_of(const StereoPcm& pcm, int64_t first = 0, int64_t count = -1);

double peak_dbfs(const StereoPcm& pcm);
double rms_dbfs(const std::vector<double>& mono);
// Peak over RMS of the whole signal, in dB: 0 for a square wave, 3 for a sine.
double crest_factor_db(const std::vector<double>& mono);

// Longest run of frames whose louder channel stays under -50 dBFS, in frames.
int64_t longest_silence(const StereoPcm& pcm, int64_t first = 0, int64_t count = -1);

// One past the last frame whose louder channel reaches -50 dBFS (0 for silence).
int64_t audible_end(const StereoPcm& pcm);

// RMS levels (dB) of consecutive windows of the given length; the last partial window is left out.
std::vector<double> window_levels_db(const std::vector<double>& mono, int32_t window);
double median_of(std::vector<double> values);

// Integrated loudness (LUFS, K-weighted, gated as broadcast meters do) and loudness range (LU).
double integrated_lufs(const StereoPcm& pcm);
double loudness_range_lu(const StereoPcm& pcm);
// The K-weighted power of a render (both channels summed) as running sums from its first
// frame: the weighting is causal, so one filtering serves the loudness of the whole and of
// any stretch from the start, and the loudness range.
struct KWeighted {
    std::vector<double> prefix;  // prefix[i]: the sum over frames 0 to i - 1
    int64_t frames() const { return prefix.empty() ? 0 : (int64_t)prefix.size() - 1; }
};
KWeighted k_weighted(const StereoPcm& pcm);
// The loudness of the first `frames` frames.
double integrated_lufs(const KWeighted& k, int64_t frames);
double loudness_range_lu(const KWeighted& k);

// A-weighted RMS (dB) of each window of `window` samples, stepping by `step`.
std::vector<double> a_weighted_windows_db(const std::vector<double>& mono, int32_t window, int32_t step);

// The level a song plays at, for comparing effects with it: the median A-weighted RMS
// (dB) of its 100 ms windows.
double song_level_db(const std::vector<double>& mono);
// An effect's loudest 100 ms, A-weighted (dB), at a mixer volume (0..128), against a song's
// level from song_level_db: 0 when the effect is as loud as the music.
double effect_against_song_db(const std::vector<double>& effect, int32_t volume, double song_level);

// Power per bin from 0 to the Nyquist frequency; bin k lies at k * MEASURE_RATE / size.
struct Spectrum {
    std::vector<double> power;
    size_t size = 0;
};
Spectrum power_spectrum(const std::vector<double>& mono);

// Share (0..1) of the signal's energy below the given frequency, and in a band.
double energy_share_below(const std::vector<double>& mono, double hz);
double energy_share_band(const std::vector<double>& mono, double low_hz, double high_hz);
double energy_share_band(const Spectrum& spectrum, double low_hz, double high_hz);
// Power-weighted mean frequency of the spectrum, in Hz.
double spectral_centroid(const std::vector<double>& mono);
double spectral_centroid(const Spectrum& spectrum);

// The pitch classes (bit 0 C, 1 C#, ... 11 B) whose energy over the first `frames`
// frames, from 100 Hz to 5 kHz, lies within `within_db` of the strongest one.
int32_t strong_pitch_classes(const std::vector<double>& mono, int64_t frames, double within_db);

// Left/right correlation (-1..1) and balance (dB, left over right).
double stereo_correlation(const StereoPcm& pcm);
double stereo_balance_db(const StereoPcm& pcm);

#endif
