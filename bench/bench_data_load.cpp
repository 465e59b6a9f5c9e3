// Start-up data cost: opening the four built archives, inflating their entries,
// and loading and decoding every image of the graphics archive into a 16-bit
// frame format (the default depth).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "floob.h"
#include "gfx/image.h"
#include "gfx/video.h"
#include "storage/archive.h"

namespace {

const char* const KEYED_IMAGES[] = {"logo", "qv-zumo", "qv-logo"};

bool keyed_image(const std::string& name) {
    for (const char* k : KEYED_IMAGES)
        if (name == k) return true;
    return false;
}

// Splits "name.ext" into its two parts.
void split_entry(const char* full, std::string& name, std::string& ext) {
    const char* dot = strrchr(full, '.');
    name = dot ? std::string(full, dot - full) : std::string(full);
    ext = dot ? std::string(dot + 1) : std::string();
}

void setup_frame() {
    if (chdir(FLOOB_BINARY_DIR) != 0) abort();
    if (!frame_surface) {
        frame_surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 240, 16, 0xF800, 0x07E0, 0x001F, 0);
        COLOUR_BLACK = 0;
    }
}

int64_t inflate_all() {
    int64_t bytes = 0;
    std::string name, ext;
    for (int32_t id = 0; id < 4; id++) {
        for (int32_t i = 0; i < archive_entry_count(id); i++) {
            split_entry(archive_entry_name(id, i), name, ext);
            uint32_t size = 0;
            uint8_t* data = archive_load(id, name.c_str(), ext.c_str(), &size);
            bytes += data ? size : 0;
            free(data);
        }
    }
    return bytes;
}

int32_t decode_all_images() {
    int32_t images = 0;
    std::string name, ext;
    for (int32_t i = 0; i < archive_entry_count(ARCHIVE_GFX); i++) {
        split_entry(archive_entry_name(ARCHIVE_GFX, i), name, ext);
        if (ext != "bmp") continue;
        SDL_Surface* image = load_image(name.c_str(), keyed_image(name) ? IMAGE_KEYED : IMAGE_OPAQUE);
        free_image(image);
        images++;
    }
    return images;
}

void BM_OpenArchives(benchmark::State& state) {
    setup_frame();
    for ([[maybe_unused]] auto _ : state) {
        archive_close_all();
        archive_open_all();
    }
    int32_t entries = 0;
    for (int32_t id = 0; id < 4; id++) entries += archive_entry_count(id);
    state.counters["entries"] = entries;
    archive_close_all();
}
BENCHMARK(BM_OpenArchives)->Unit(benchmark::kMicrosecond);

void BM_InflateEveryEntry(benchmark::State& state) {
    setup_frame();
    archive_close_all();
    archive_open_all();
    int64_t bytes = 0;
    for ([[maybe_unused]] auto _ : state) bytes = inflate_all();
    state.counters["unpacked_bytes"] = (double)bytes;
    state.SetBytesProcessed(state.iterations() * bytes);
    archive_close_all();
}
BENCHMARK(BM_InflateEveryEntry)->Unit(benchmark::kMillisecond);

// What start-up pays for data before the first screen: open the archives,
// then load, decode and convert every image.
void BM_OpenAndDecodeEveryImage(benchmark::State& state) {
    setup_frame();
    int32_t images = 0;
    for ([[maybe_unused]] auto _ : state) {
        archive_close_all();
        archive_open_all();
        images = decode_all_images();
    }
    state.counters["images"] = images;
    archive_close_all();
}
BENCHMARK(BM_OpenAndDecodeEveryImage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
