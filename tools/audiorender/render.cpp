// floobaudio: renders songs through the game's own music player and measures what the
// composers and the sound designer check.
//   floobaudio render MODULE OUTPUT.wav      one song as the game plays it (loops included)
//   floobaudio report MUSIC_DIR SOUND_DIR    the song table (from the .song sources) and the
//                                           effect table (from the built .wav effects)
//   floobaudio harmony [-v] SONG.song...     strong-beat melody notes outside the chord under them
//                                           that do not resolve (-v: and those that do)
//   floobaudio measure FILE.wav              loudness, range, spectrum and stereo figures of a WAV
//   floobaudio compare A.wav B.wav           two renders of one song (say, by two module players)
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "compile.h"
#include "floob.h"
#include "song_mix.h"
#include "synth_measure.h"
#include "synth_song.h"

static const int32_t DEFAULT_EFFECT_VOLUME = 19;  // 15 % of the mixer's 128
static const int32_t LEVEL_SONGS = 10;

static std::vector<uint8_t> read_all(const std::string& path) {
    std::vector<uint8_t> data;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return data;
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
    fclose(f);
    return data;
}

static void put32(FILE* f, uint32_t v) {
    uint8_t b[4] = {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
    fwrite(b, 1, 4, f);
}

static void put16(FILE* f, uint32_t v) {
    uint8_t b[2] = {(uint8_t)v, (uint8_t)(v >> 8)};
    fwrite(b, 1, 2, f);
}

static bool write_wav(const char* path, const StereoPcm& pcm) {
    FILE* out = fopen(path, "wb");
    if (!out) return false;
    uint32_t bytes = (uint32_t)pcm.samples.size() * 2;
    fwrite("RIFF", 1, 4, out);
    put32(out, 36 + bytes);
    fwrite("WAVEfmt ", 1, 8, out);
    put32(out, 16);
    put16(out, 1);
    put16(out, 2);
    put32(out, MEASURE_RATE);
    put32(out, MEASURE_RATE * 4);
    put16(out, 4);
    put16(out, 16);
    fwrite("data", 1, 4, out);
    put32(out, bytes);
    fwrite(pcm.samples.data(), 2, pcm.samples.size(), out);
    return fclose(out) == 0;
}

static int render_one(const char* module_path, const char* wav_path) {
    std::vector<uint8_t> bytes = read_all(module_path);
    PlayedSong played;
    if (!play_song_as_game(bytes, played)) {
        fprintf(stderr, "floobaudio: %s: libmodplug does not load it\n", module_path);
        return 1;
    }
    LoopJoins joins = measure_loop_joins(played);
    double seconds = played.pcm.frames() / (double)MEASURE_RATE;
    if (played.joins.empty())
        printf("%s: ends, length %.2f s, audible until %.2f s", module_path, seconds,
               audible_end(played.pcm) / (double)MEASURE_RATE);
    else
        printf("%s: loops, first pass %.2f s, %zu joins", module_path, played.joins[0] / (double)MEASURE_RATE,
               played.joins.size());
    printf(", peak %.1f dBFS, %.1f LUFS, longest quiet stretch %.0f ms", peak_dbfs(played.pcm),
           integrated_lufs(played.pcm), longest_silence(played.pcm) * 1000.0 / MEASURE_RATE);
    if (!played.joins.empty())
        printf(", at the joins: silence %.0f ms, quietest 50 ms %.1f dB under the median", joins.silence_ms,
               -joins.dip_db);
    printf("\n");
    if (!write_wav(wav_path, played.pcm)) {
        fprintf(stderr, "floobaudio: %s: cannot write\n", wav_path);
        return 1;
    }
    return 0;
}

static std::string song_source(const std::string& dir, int32_t id) { return dir + "/" + song_entry_name(id) + ".song"; }

// Breaks and climaxes of a song against its median, as "-5.2 -4.8" (each entry of the pass).
static std::string section_levels(const SongMix& mix, const char* role) {
    std::string text;
    for (size_t i = 0; i < mix.summary.sections.size() && i < mix.section_db.size(); i++) {
        if (mix.summary.sections[i].role != role) continue;
        char one[32];
        snprintf(one, sizeof one, "%s%+.1f", text.empty() ? "" : " ", mix.section_db[i]);
        text += one;
    }
    return text.empty() ? "-" : text;
}

// The measures of the songs' writing: form, lead over counter-melody, breaks and climaxes,
// fills and phrases, and the rules they are held to.
static void print_song_measures(const std::vector<SongMix>& mixes) {
    printf("Song measures (first pass; rules: no form shared by more than two songs, lead over counter >= 4 dB\n");
    printf("with the counter louder in <= 5 %% of windows, break <= -4 dB, climax >= +1.5 dB, fills on at most\n");
    printf("half the phrases, not every section a multiple of four bars)\n");
    printf("%-18s %6s %6s %5s %-14s %-14s %7s  %-28s %s\n", "song", "lead/c", "c>lead", "both", "break dB", "climax dB",
           "fills", "phrase lengths (bars)", "form (shape, sharing songs)");
    int32_t broken = 0;
    for (const SongMix& mix : mixes) {
        int32_t sharing = 0;
        for (const SongMix& other : mixes) sharing += other.summary.shape == mix.summary.shape;
        SongPhrases phrases = song_phrases(mix.summary);
        char fills[16];
        snprintf(fills, sizeof fills, "%d/%d", phrases.fills, phrases.phrases);
        printf("%-18s", mix.summary.title.c_str());
        if (isnan(mix.lead_over_counter_db))
            printf(" %6s %6s %5d", "-", "-", mix.together);
        else
            printf(" %6.1f %5.0f%% %5d", mix.lead_over_counter_db, 100 * mix.counter_louder_share, mix.together);
        printf(" %-14s %-14s %7s  %-28s %s (%d)\n", section_levels(mix, "break").c_str(),
               section_levels(mix, "climax").c_str(), fills, phrases.lengths.c_str(), mix.summary.shape.c_str(),
               sharing);
        std::string faults;
        if (sharing > 2) faults += " form shared by " + std::to_string(sharing) + " songs;";
        if (!isnan(mix.lead_over_counter_db) && (mix.lead_over_counter_db < 4 || mix.counter_louder_share > 0.05))
            faults += " lead not over the counter-melody;";
        int32_t breaks = 0, climaxes = 0;
        for (size_t i = 0; i < mix.summary.sections.size() && i < mix.section_db.size(); i++) {
            const SongSection& section = mix.summary.sections[i];
            breaks += section.role == "break", climaxes += section.role == "climax";
            if (section.role == "break" && !(mix.section_db[i] <= -4))
                faults += " break " + section.name + " too loud;";
            if (section.role == "climax" && !(mix.section_db[i] >= 1.5))
                faults += " climax " + section.name + " too soft;";
        }
        if (!breaks) faults += " no break marked;";
        if (!climaxes) faults += " no climax marked;";
        if (2 * phrases.fills > phrases.phrases) faults += " fills on more than half the phrases;";
        if (phrases.all_four_bars) faults += " every section a multiple of four bars;";
        if (!faults.empty()) printf("  %s:%s\n", mix.summary.title.c_str(), faults.c_str()), broken++;
    }
    printf("lead/c: median of the lead's 400 ms A-weighted levels over the counter-melody's where both play;\n");
    printf("c>lead: share of those windows with the counter-melody louder; both: their number.\n");
    printf("break, climax: median 100 ms A-weighted level of each marked section against the song's median.\n");
    printf("fills: four-bar phrases whose last bar's drums differ from every bar before it in the phrase.\n");
    printf("%d of %zu songs break a rule.\n\n", broken, mixes.size());
}

static void print_song_table(const std::string& music_dir, std::vector<double>& level_medians) {
    printf("Songs (rendered through the game's player at the default settings, music at 100 %%)\n");
    printf("%-18s %-9s %5s %7s %6s %6s %6s %6s %6s %6s %5s %6s %6s %7s %6s %5s %6s  %s\n", "song", "key", "bpm", "bars",
           "lead", "pad", "bass", "drums", "ctr", "LUFS", "LRA", "join", "dip", "centr.", "2-6k", "corr", "bal.",
           "form");
    printf("%-18s %-9s %5s %7s %6s %6s %6s %6s %6s %6s %5s %6s %6s %7s %6s %5s %6s\n", "", "", "", "dist/all", "dB",
           "dB", "dB", "dB", "dB", "", "LU", "ms", "dB", "Hz", "dB", "", "dB");
    level_medians.assign(LEVEL_SONGS + 1, -200);
    std::vector<SongMix> measured;
    for (int32_t id = 0; id < SONG_COUNT; id++) {
        std::string path = song_source(music_dir, id);
        SongMix mix;
        std::string error;
        if (!measure_song_mix(path.c_str(), mix, error)) {
            printf("%-18s %s\n", song_entry_name(id), error.c_str());
            continue;
        }
        if (id >= 1 && id <= LEVEL_SONGS) level_medians[id] = mix.level_db;
        char bars[32];
        snprintf(bars, sizeof bars, "%d/%d", mix.summary.distinct_bars, mix.summary.bars);
        printf("%-18s %-9s %5d %7s", song_entry_name(id), mix.summary.key.c_str(), mix.summary.bpm, bars);
        for (double v : mix.role_db) {
            if (isnan(v))
                printf(" %6s", "-");
            else
                printf(" %6.1f", v);
        }
        printf(" %6.1f %5.1f", mix.lufs, mix.range_lu);
        if (mix.played.joins.empty())
            printf(" %6s %6s", "ends", "-");
        else
            printf(" %6.0f %6.1f", mix.joins.silence_ms, mix.joins.dip_db);
        printf(" %7.0f %6.1f %5.2f %6.1f  %s\n", mix.centroid_hz, mix.band_2_6k_db, mix.correlation, mix.balance_db,
               mix.summary.form.c_str());
        if (id > LEVEL_SONGS) continue;
        mix.played = PlayedSong();
        measured.push_back(mix);
    }
    printf(
        "lead/pad/bass/drums/ctr: the role's channels alone against the mix over the first pass (LUFS difference);\n");
    printf("ctr: the counter-melody, the melody channels named counter...\n");
    printf("join: longest silence within 1 s of a loop join; dip: quietest 50 ms there against the song's median.\n");
    printf("2-6k: share of the energy from 2 to 6 kHz; corr: left/right correlation; bal.: left over right.\n\n");
    print_song_measures(measured);
}

// Mono samples of a 16-bit PCM WAV, as doubles in -1..1.
static bool read_wav_mono(const std::string& path, std::vector<double>& mono) {
    std::vector<uint8_t> b = read_all(path);
    mono.clear();
    if (b.size() < 44 || memcmp(b.data(), "RIFF", 4) != 0) return false;
    int32_t channels = b[22] | b[23] << 8;
    size_t at = 12;
    while (at + 8 <= b.size()) {
        uint32_t size = (uint32_t)(b[at + 4] | b[at + 5] << 8 | b[at + 6] << 16 | (uint32_t)b[at + 7] << 24);
        if (memcmp(&b[at], "data", 4) == 0) {
            size_t end = std::min(b.size(), at + 8 + (size_t)size);
            for (size_t i = at + 8; i + 2 * (size_t)channels <= end; i += 2 * (size_t)channels)
                mono.push_back((int16_t)(b[i] | b[i + 1] << 8) / 32768.0);
            return channels >= 1;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

// A 16-bit PCM WAV at the measuring rate as stereo (a mono file is heard on both sides).
static bool read_wav_stereo(const std::string& path, StereoPcm& pcm) {
    std::vector<uint8_t> b = read_all(path);
    pcm.samples.clear();
    if (b.size() < 44 || memcmp(b.data(), "RIFF", 4) != 0 || memcmp(b.data() + 8, "WAVE", 4) != 0) return false;
    int32_t channels = b[22] | b[23] << 8, bits = b[34] | b[35] << 8;
    uint32_t rate = (uint32_t)(b[24] | b[25] << 8 | b[26] << 16 | (uint32_t)b[27] << 24);
    if (channels < 1 || channels > 2 || bits != 16 || rate != (uint32_t)MEASURE_RATE) return false;
    for (size_t at = 12; at + 8 <= b.size();) {
        uint32_t size = (uint32_t)(b[at + 4] | b[at + 5] << 8 | b[at + 6] << 16 | (uint32_t)b[at + 7] << 24);
        if (memcmp(&b[at], "data", 4) == 0) {
            size_t end = std::min(b.size(), at + 8 + (size_t)size);
            for (size_t i = at + 8; i + 2 * (size_t)channels <= end; i += 2 * (size_t)channels) {
                int16_t left = (int16_t)(b[i] | b[i + 1] << 8);
                pcm.samples.push_back(left);
                pcm.samples.push_back(channels == 2 ? (int16_t)(b[i + 2] | b[i + 3] << 8) : left);
            }
            return true;
        }
        at += 8 + (size_t)size + (size & 1);
    }
    return false;
}

static int measure_file(const char* path) {
    StereoPcm pcm;
    if (!read_wav_stereo(path, pcm)) {
        fprintf(stderr, "floobaudio: %s: not a 16-bit PCM WAV at %d Hz\n", path, (int)MEASURE_RATE);
        return 1;
    }
    std::vector<double> mono = mono_of(pcm);
    printf(
        "%s: %.2f s, %.1f LUFS, LRA %.1f LU, peak %.1f dBFS, RMS %.1f dBFS, centroid %.0f Hz, 2-6 kHz %.1f dB, "
        "correlation %.2f, balance %.1f dB, median A-weighted 100 ms %.1f dBFS\n",
        path, (double)pcm.frames() / MEASURE_RATE, integrated_lufs(pcm), loudness_range_lu(pcm), peak_dbfs(pcm),
        rms_dbfs(mono), spectral_centroid(mono), 10 * log10(energy_share_band(mono, 2000, 6000) + 1e-12),
        stereo_correlation(pcm), stereo_balance_db(pcm), song_level_db(mono));
    return 0;
}

// Two renders of one song side by side: their lengths, and how far their 100 ms levels part
// once the constant offset between two players' mix levels is taken out (where the louder
// of the two is above -50 dB).
static int compare_renders(const char* a_path, const char* b_path) {
    StereoPcm a, b;
    if (!read_wav_stereo(a_path, a) || !read_wav_stereo(b_path, b)) {
        fprintf(stderr, "floobaudio: %s, %s: need two 16-bit PCM WAV files at %d Hz\n", a_path, b_path,
                (int)MEASURE_RATE);
        return 1;
    }
    std::vector<double> ea = window_levels_db(mono_of(a), MEASURE_RATE / 10);
    std::vector<double> eb = window_levels_db(mono_of(b), MEASURE_RATE / 10), differences;
    size_t n = std::min(ea.size(), eb.size()), counted = 0, apart = 0;
    for (size_t i = 0; i < n; i++)
        if (std::max(ea[i], eb[i]) >= -50) differences.push_back(ea[i] - eb[i]);
    double offset = median_of(differences), sum = 0, worst = 0;
    for (size_t i = 0; i < n; i++) {
        if (std::max(ea[i], eb[i]) < -50) continue;
        double d = fabs(ea[i] - eb[i] - offset);
        sum += d, counted++;
        worst = std::max(worst, d);
        if (d > 6) apart++;
    }
    printf(
        "%s: %.2f s, %s: %.2f s; level offset %.1f dB; beyond it the 100 ms levels differ by %.2f dB on average, "
        "at most %.1f dB, by more than 6 dB in %zu of %zu\n",
        a_path, (double)a.frames() / MEASURE_RATE, b_path, (double)b.frames() / MEASURE_RATE, offset,
        counted ? sum / counted : 0, worst, apart, counted);
    return 0;
}

static void print_effect_table(const std::string& sound_dir, const std::vector<double>& level_medians) {
    printf("Effects (level: the loudest 100 ms, A-weighted, at the default effect volume of %d/128,\n",
           DEFAULT_EFFECT_VOLUME);
    printf("against the median A-weighted 100 ms level of each level song at the default music volume)\n");
    printf("%-8s %6s %6s %6s %6s %6s %6s %7s %7s |", "effect", "length", "peak", "RMS", "crest", "DC", "<150",
           "loudest", "2x peak");
    for (int32_t id = 1; id <= LEVEL_SONGS; id++) printf(" %5s%d", "s", id);
    printf("\n%-8s %6s %6s %6s %6s %6s %6s %7s %7s |\n", "", "s", "dBFS", "dBFS", "dB", "%", "%", "dBFS", "dBFS");
    std::vector<double> differences;
    for (int32_t id = 0; id < SND_COUNT; id++) {
        std::vector<double> mono;
        std::string path = sound_dir + "/" + sound_entry_name(id) + ".wav";
        if (!read_wav_mono(path, mono)) {
            printf("%-8s cannot read %s\n", sound_entry_name(id), path.c_str());
            continue;
        }
        double peak = 0;
        for (double v : mono) peak = fmax(peak, fabs(v));
        printf("%-8s %6.2f %6.1f %6.1f %6.1f %6.1f %6.1f %7.1f %7.1f |", sound_entry_name(id),
               mono.size() / (double)MEASURE_RATE, 20 * log10(fmax(peak, 1e-9)), rms_dbfs(mono), crest_factor_db(mono),
               100 * energy_share_below(mono, 25), 100 * energy_share_below(mono, 150),
               effect_against_song_db(mono, DEFAULT_EFFECT_VOLUME, 0), 20 * log10(fmax(2 * peak, 1e-9)));
        for (int32_t song = 1; song <= LEVEL_SONGS; song++) {
            double against = effect_against_song_db(mono, DEFAULT_EFFECT_VOLUME, level_medians[song]);
            printf(" %6.1f", against);
            differences.push_back(against);
        }
        printf("\n");
    }
    if (!differences.empty()) {
        std::vector<double> sorted = differences;
        std::sort(sorted.begin(), sorted.end());
        printf(
            "Effect against song: median %.1f dB, from %.1f to %.1f dB. Lowering every song by %.1f dB centres\n"
            "the effects on the music; all within 3 dB also needs a spread of at most 6 dB (now %.1f dB).\n",
            median_of(differences), sorted.front(), sorted.back(), -median_of(differences),
            sorted.back() - sorted.front());
    }
    printf("crest: peak over RMS of the whole effect.\n");
    printf("DC, <150: share of the energy below 25 and 150 Hz. loudest: the loudest 100 ms, A-weighted, at %d/128.\n",
           DEFAULT_EFFECT_VOLUME);
    printf("2x peak: the effect started twice in one frame at 100 %%.\n");
}

// The harmony check; with -v first, also every appoggiatura and suspension.
static int print_harmony(int argc, char** argv) {
    int status = 0, verbose = argc > 2 && strcmp(argv[2], "-v") == 0;
    for (int i = 2 + verbose; i < argc; i++) {
        std::vector<uint8_t> bytes;
        SongSummary summary;
        std::string error;
        if (!compile_song_role(argv[i], std::string(), bytes, &summary, error)) {
            fprintf(stderr, "floobaudio: %s\n", error.c_str());
            status = 1;
            continue;
        }
        int32_t lead = 0, outside = 0, kinds[3] = {0, 0, 0};
        for (const SongClash& c : summary.clashes) {
            lead += c.channel.compare(0, 4, "lead") == 0;
            outside += c.outside_scale;
        }
        for (const SongClash& c : summary.resolved) kinds[c.kind]++;
        printf(
            "%s (%s): %zu strong-beat melody notes outside the chord that do not resolve (%d of the lead), %d outside "
            "the scale; %d appoggiaturas and %d suspensions resolve\n",
            argv[i], summary.key.c_str(), summary.clashes.size(), lead, outside, kinds[CLASH_APPOGGIATURA],
            kinds[CLASH_SUSPENSION]);
        for (const SongClash& c : summary.clashes)
            printf("  bar %3d beat %d %-7s (%s): %-4s over %s%s\n", c.bar, c.beat, c.channel.c_str(), c.pattern.c_str(),
                   c.note.c_str(), c.chord.c_str(), c.outside_scale ? "  outside the scale" : "");
        if (verbose)
            for (const SongClash& c : summary.resolved)
                printf("  bar %3d beat %d %-7s (%s): %-4s over %s, %s resolving to %s\n", c.bar, c.beat,
                       c.channel.c_str(), c.pattern.c_str(), c.note.c_str(), c.chord.c_str(),
                       c.kind == CLASH_APPOGGIATURA ? "appoggiatura" : "suspension", c.resolution.c_str());
    }
    return status;
}

static std::string pitch_class_names(int32_t classes) {
    static const char* const names[12] = {"C", "C#", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
    std::string text;
    for (int32_t pc = 0; pc < 12; pc++)
        if (classes & 1 << pc) text += (text.empty() ? "" : " ") + std::string(names[pc]);
    return text.empty() ? "-" : text;
}

// What plays together when a level ends: the fanfare (music at 100 %) and the cheer (at
// the default effect volume), over their first half second.
static void print_level_end(const std::string& music_dir, const std::string& sound_dir) {
    std::vector<uint8_t> bytes;
    std::string error;
    std::string path = song_source(music_dir, SONG_LEVEL_COMPLETE);
    PlayedSong fanfare;
    std::vector<double> cheer;
    if (!compile_song_role(path.c_str(), std::string(), bytes, nullptr, error) || !play_song_as_game(bytes, fanfare) ||
        !read_wav_mono(sound_dir + "/" + sound_entry_name(SND_JIPIE) + ".wav", cheer)) {
        printf("Level end: cannot measure the fanfare and jipie\n\n");
        return;
    }
    const int64_t half = MEASURE_RATE / 2;
    std::vector<double> music = mono_of(fanfare.pcm, 0, half);
    cheer.resize((size_t)half, 0.0);
    for (double& v : cheer) v = v * DEFAULT_EFFECT_VOLUME / 128;
    int32_t in_music = strong_pitch_classes(music, half, 10), in_cheer = strong_pitch_classes(cheer, half, 10);
    double music_db = median_of(a_weighted_windows_db(music, (int32_t)half, (int32_t)half));
    double cheer_db = median_of(a_weighted_windows_db(cheer, (int32_t)half, (int32_t)half));
    printf("Level end, first 0.5 s (pitch classes within 10 dB of the strongest): fanfare %s; jipie %s",
           pitch_class_names(in_music).c_str(), pitch_class_names(in_cheer).c_str());
    printf("; jipie's not in the fanfare: %s; jipie %.1f dB against the fanfare (A-weighted)\n\n",
           pitch_class_names(in_cheer & ~in_music).c_str(), cheer_db - music_db);
}

// How long a level song's fade-in lasts for the buffer sizes sound devices ask for.
static void print_fade(const std::string& music_dir) {
    std::vector<uint8_t> bytes;
    std::string error;
    std::string path = song_source(music_dir, 1);
    ModPlugFile* module = nullptr;
    if (compile_song_role(path.c_str(), std::string(), bytes, nullptr, error))
        module = load_module_at_game_settings(bytes);
    if (!module) {
        printf("Fade-in: %s\n", error.empty() ? "the player does not load the module" : error.c_str());
        return;
    }
    printf("Fade-in from 1 to 128 (music at 100 %%), by the frames of the device's buffers:");
    for (int32_t frames : {256, 512, 1024, 2048}) {
        int64_t reached = fade_in_frames(module, frames);
        printf(" %d: %.2f s%s", frames, reached / (double)MEASURE_RATE, frames < 2048 ? "," : "\n\n");
    }
    ModPlug_Unload(module);
}

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "render") == 0) return render_one(argv[2], argv[3]);
    if (argc == 4 && strcmp(argv[1], "report") == 0) {
        std::vector<double> medians;
        print_song_table(argv[2], medians);
        print_fade(argv[2]);
        print_level_end(argv[2], argv[3]);
        print_effect_table(argv[3], medians);
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "harmony") == 0) return print_harmony(argc, argv);
    if (argc == 3 && strcmp(argv[1], "measure") == 0) return measure_file(argv[2]);
    if (argc == 4 && strcmp(argv[1], "compare") == 0) return compare_renders(argv[2], argv[3]);
    fprintf(stderr,
            "usage: floobaudio render MODULE OUTPUT.wav\n"
            "       floobaudio report MUSIC_DIR SOUND_DIR\n"
            "       floobaudio harmony [-v] SONG.song...\n"
            "       floobaudio measure FILE.wav\n"
            "       floobaudio compare A.wav B.wav\n");
    return 2;
}
