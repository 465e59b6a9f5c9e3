// The music callback's cost for one 1024-frame buffer of the busiest song.
// At 22050 Hz a buffer lasts 46.4 ms; the "share" counter is the cost as a percentage of it.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <libmodplug/modplug.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "floob.h"

static const int BENCH_FRAMES = 1024;
static const double BENCH_BUFFER_SECONDS = 1024.0 / 22050.0;

static std::vector<uint8_t> read_entry(const char* name) {
    std::vector<uint8_t> data;
    std::string path = std::string(FLOOB_BINARY_DIR) + "/entries/music/" + name + ".mod";
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return data;
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
    fclose(f);
    return data;
}

static void BM_MusicMix(benchmark::State& state) {
    int32_t id = (int32_t)state.range(0);
    std::vector<uint8_t> data = read_entry(song_entry_name(id));
    audio_frequency = 22050;
    audio_channels = 2;
    music_apply_settings();
    ModPlugFile* module = data.empty() ? nullptr : ModPlug_Load(data.data(), (int)data.size());
    if (!module) {
        state.SkipWithError("song not built");
        return;
    }
    music_repeat = -1;
    music_current_volume = music_user_volume = 128;
    ModPlug_SetMasterVolume(module, 128);
    std::vector<uint8_t> buffer(BENCH_FRAMES * 4);
    for ([[maybe_unused]] auto _ : state) {
        music_mix(module, buffer.data(), (int)buffer.size());
        benchmark::DoNotOptimize(buffer.data());
    }
    state.counters["share_percent"] = benchmark::Counter((double)state.iterations() * BENCH_BUFFER_SECONDS / 100.0,
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    ModPlug_Unload(module);
}
BENCHMARK(BM_MusicMix)->DenseRange(0, 12)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
