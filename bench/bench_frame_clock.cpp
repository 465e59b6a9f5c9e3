// The real frame clock over 600 frames of a loop that does almost nothing:
// the achieved frame rate, the 99th percentile and the longest frame period,
// the frames that skipped drawing, and the CPU time the process used while
// pacing, as a share of one core.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include "shell/frame.h"

namespace {

const int FRAMES = 600;

double monotonic_seconds() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

double cpu_seconds() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return (double)usage.ru_utime.tv_sec + (double)usage.ru_utime.tv_usec * 1e-6 + (double)usage.ru_stime.tv_sec +
           (double)usage.ru_stime.tv_usec * 1e-6;
}

void BM_FrameClock600(benchmark::State& state) {
    // No subsystem: the game paces without SDL's timer thread, which wakes every millisecond.
    if (SDL_Init(0) < 0) {
        state.SkipWithError("SDL_Init failed");
        return;
    }
    set_frame_clock(nullptr, nullptr);
    std::vector<double> periods((size_t)FRAMES);
    double fps = 0, p99 = 0, longest = 0, cpu_share = 0;
    int32_t skipped = 0;
    for (auto _ : state) {
        volatile int32_t sink = 0;
        skipped = 0;
        frame_timer_reset();
        double cpu_start = cpu_seconds();
        double start = monotonic_seconds();
        double previous = start;
        for (int frame = 0; frame < FRAMES; frame++) {
            for (int32_t i = 0; i < 1000; i++) sink = sink + i;
            frame_wait();
            skipped += skip_draw;
            double now = monotonic_seconds();
            periods[(size_t)frame] = now - previous;
            previous = now;
        }
        double wall = previous - start;
        double cpu = cpu_seconds() - cpu_start;
        fps = FRAMES / wall;
        cpu_share = cpu / wall * 100.0;
        std::vector<double> sorted = periods;
        std::sort(sorted.begin(), sorted.end());
        p99 = sorted[(size_t)(FRAMES * 99 / 100)] * 1000.0;
        longest = sorted.back() * 1000.0;
        state.SetIterationTime(wall);
    }
    state.counters["fps"] = fps;
    state.counters["p99_period_ms"] = p99;
    state.counters["max_period_ms"] = longest;
    state.counters["cpu_percent_of_core"] = cpu_share;
    state.counters["skipped_draws"] = skipped;
    SDL_Quit();
}

BENCHMARK(BM_FrameClock600)->Iterations(1)->Repetitions(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
