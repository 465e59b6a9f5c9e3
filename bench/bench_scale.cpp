// Cost of each scaling filter per frame, in microseconds, at factors 2, 3 and
// 4 (640 x 480, 960 x 720 and 1280 x 960), at 16 and 24 bits, on a tile-like
// frame and on a random-noise frame, beside one memcpy of the same output;
// and each filter from a 16- or 24-bit frame into a 32-bit display (the
// desktop's own format), converting as it writes, beside a memcpy of that
// 32-bit output (memcpy bits=32, and the counter x_memcpy of each into32
// benchmark: its time over a memcpy's measured in the same run), e.g.
//   bench_scale --benchmark_filter='into32.*path:2'
// Every loop set this processor has is measured (path 2 AVX2, 1 SSE2, 0
// portable). On a shared machine run with repetitions, interleaved so that a
// change of load hits every benchmark alike, and compare medians of the CPU
// time, e.g.
//   bench_scale --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true
//               --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include "floob.h"
#include "gfx/scale.h"
#include "gfx/video.h"

namespace {

enum { FRAME_TILES = 0, FRAME_NOISE = 1 };

SDL_Surface* make_surface(int32_t w, int32_t h, int32_t bits) {
    if (bits == 32) return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    if (bits == 16) return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 16, 0xF800, 0x07E0, 0x001F, 0);
    return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, bits, 0xFF0000, 0xFF00, 0xFF, 0);
}

void put_pixel(SDL_Surface* s, int32_t x, int32_t y, uint32_t v) {
    uint8_t* p = (uint8_t*)s->pixels + y * s->pitch + x * s->format->BytesPerPixel;
    if (s->format->BytesPerPixel == 2) {
        uint16_t w = (uint16_t)v;
        memcpy(p, &w, 2);
    } else {
        for (int32_t k = 0; k < s->format->BytesPerPixel; k++) p[k] = (uint8_t)(v >> (8 * k));
    }
}

// Tile-like: 16 x 16 cells of a few tile patterns (flat ground, bricks with
// mortar lines, a diagonal slope, a gem with an outline) over a sky colour.
void fill_frame(SDL_Surface* s, int32_t kind) {
    srand(4242);
    SDL_PixelFormat* f = s->format;
    uint32_t sky = SDL_MapRGB(f, 40, 60, 160), ground = SDL_MapRGB(f, 120, 80, 30);
    uint32_t brick = SDL_MapRGB(f, 170, 40, 30), mortar = SDL_MapRGB(f, 200, 200, 190);
    uint32_t gem = SDL_MapRGB(f, 30, 220, 60), outline = SDL_MapRGB(f, 0, 0, 0);
    for (int32_t y = 0; y < 240; y++)
        for (int32_t x = 0; x < 320; x++) {
            uint32_t v = sky;
            if (kind == FRAME_NOISE) {
                v = (uint32_t)rand() ^ ((uint32_t)rand() << 16);
            } else {
                int32_t cell = ((x / 16) * 7 + (y / 16) * 3) % 6, cx = x % 16, cy = y % 16;
                if (y >= 192) cell = 1;
                if (cell == 1) v = ground;
                if (cell == 2) v = (cy % 8 == 0 || (cx + (cy / 8) * 8) % 16 == 0) ? mortar : brick;
                if (cell == 3) v = cx < cy ? ground : sky;
                if (cell == 4) {
                    int32_t d = abs(cx - 8) + abs(cy - 8);
                    v = d < 5 ? gem : d == 5 ? outline : sky;
                }
            }
            put_pixel(s, x, y, v);
        }
}

// into_bits: the display's depth when it differs from the frame's (the
// desktop's 32-bit format, converted into as the filter writes).
void set_up(int32_t factor, int32_t bits, int32_t kind, int32_t into_bits = 0) {
    if (!frame_surface) {
        frame_surface = make_surface(320, 240, bits);
        display_surface = make_surface(320 * factor, 240 * factor, into_bits ? into_bits : bits);
    }
    fill_frame(frame_surface, kind);
    memset(display_surface->pixels, 0, display_surface->pitch * display_surface->h);
}

void tear_down() {
    SDL_FreeSurface(frame_surface);
    SDL_FreeSurface(display_surface);
    frame_surface = nullptr;
    display_surface = nullptr;
}

// Args: factor, bits per pixel, frame kind, loops (SCALE_PATH_: 0 portable, 1 SSE2, 2 AVX2).
template <void (*FILTER)()>
void bench_filter(benchmark::State& state) {
    set_up((int32_t)state.range(0), (int32_t)state.range(1), (int32_t)state.range(2));
    int32_t saved = scale_path;
    scale_path = (int32_t)state.range(3);
    FILTER();  // warm: the benchmark measures the hot case
    for ([[maybe_unused]] auto _ : state) {
        FILTER();
        benchmark::ClobberMemory();
    }
    scale_path = saved;
    tear_down();
}

// This thread's CPU time in microseconds: a shared machine's load moves it
// less than the wall clock.
double thread_cpu_us() {
    timespec t = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec * 1e6 + (double)t.tv_nsec / 1e3;
}

// CPU microseconds of one memcpy of the whole display (the median of 21),
// from a buffer of the same size.
double memcpy_display_us() {
    size_t bytes = (size_t)display_surface->pitch * display_surface->h;
    std::vector<uint8_t> source(bytes, 1);
    std::vector<double> us;
    for (int32_t i = 0; i < 21; i++) {
        double t0 = thread_cpu_us();
        memcpy(display_surface->pixels, source.data(), bytes);
        benchmark::ClobberMemory();
        us.push_back(thread_cpu_us() - t0);
    }
    std::sort(us.begin(), us.end());
    return us[us.size() / 2];
}

// Args: factor, bits per pixel of the frame, loops; into a 32-bit display.
// The counter x_memcpy is the filter's CPU time over that of a memcpy of its
// 32-bit output measured beside it, in the same run.
template <void (*FILTER)()>
void bench_into32(benchmark::State& state) {
    set_up((int32_t)state.range(0), (int32_t)state.range(1), FRAME_TILES, 32);
    int32_t saved = scale_path;
    scale_path = (int32_t)state.range(2);
    FILTER();
    double copy_us = memcpy_display_us();
    double t0 = thread_cpu_us();
    for ([[maybe_unused]] auto _ : state) {
        FILTER();
        benchmark::ClobberMemory();
    }
    double filter_us = (thread_cpu_us() - t0) / (double)state.iterations();
    copy_us = (copy_us + memcpy_display_us()) / 2;
    state.counters["memcpy_us"] = copy_us;
    state.counters["x_memcpy"] = filter_us / copy_us;
    scale_path = saved;
    tear_down();
}

// One memcpy of the whole output of that factor and depth.
void bench_memcpy(benchmark::State& state) {
    set_up((int32_t)state.range(0), (int32_t)state.range(1), FRAME_TILES);
    size_t bytes = (size_t)display_surface->pitch * display_surface->h;
    static uint8_t source[1280 * 960 * 4];
    memset(source, 1, sizeof source);
    for ([[maybe_unused]] auto _ : state) {
        memcpy(display_surface->pixels, source, bytes);
        benchmark::ClobberMemory();
    }
    tear_down();
}

void filter_args(benchmark::internal::Benchmark* b) {
    b->ArgNames({"factor", "bits", "noise", "path"});
    for (int32_t factor = 2; factor <= 4; factor++)
        for (int32_t bits : {16, 24})
            for (int32_t kind : {FRAME_TILES, FRAME_NOISE})
                for (int32_t path = best_scale_path(); path >= SCALE_PATH_PORTABLE; path--)
                    b->Args({factor, bits, kind, path});
    b->Unit(benchmark::kMicrosecond)->MinTime(0.05);
}

void into32_args(benchmark::internal::Benchmark* b) {
    b->ArgNames({"factor", "bits", "path"});
    for (int32_t factor = 2; factor <= 4; factor++)
        for (int32_t bits : {16, 24})
            for (int32_t path = best_scale_path(); path >= SCALE_PATH_PORTABLE; path--) b->Args({factor, bits, path});
    b->Unit(benchmark::kMicrosecond)->MinTime(0.05);
}

void memcpy_args(benchmark::internal::Benchmark* b) {
    b->ArgNames({"factor", "bits"});
    for (int32_t factor = 2; factor <= 4; factor++)
        for (int32_t bits : {16, 24, 32}) b->Args({factor, bits});
    b->Unit(benchmark::kMicrosecond)->MinTime(0.05);
}

BENCHMARK(bench_memcpy)->Apply(memcpy_args);
BENCHMARK_TEMPLATE(bench_filter, scale_simple)->Apply(filter_args)->Name("simple");
BENCHMARK_TEMPLATE(bench_filter, scale_scale2x)->Apply(filter_args)->Name("scale2x");
BENCHMARK_TEMPLATE(bench_filter, scale_scanline)->Apply(filter_args)->Name("scanline");
BENCHMARK_TEMPLATE(bench_filter, scale_bilinear)->Apply(filter_args)->Name("bilinear");
BENCHMARK_TEMPLATE(bench_filter, scale_antialias)->Apply(filter_args)->Name("antialias");
BENCHMARK_TEMPLATE(bench_into32, scale_simple)->Apply(into32_args)->Name("simple_into32");
BENCHMARK_TEMPLATE(bench_into32, scale_scale2x)->Apply(into32_args)->Name("scale2x_into32");
BENCHMARK_TEMPLATE(bench_into32, scale_scanline)->Apply(into32_args)->Name("scanline_into32");
BENCHMARK_TEMPLATE(bench_into32, scale_bilinear)->Apply(into32_args)->Name("bilinear_into32");
BENCHMARK_TEMPLATE(bench_into32, scale_antialias)->Apply(into32_args)->Name("antialias_into32");

}  // namespace

BENCHMARK_MAIN();
