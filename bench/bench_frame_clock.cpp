// The real frame clock over 600 frames of a loop that does almost nothing:
// the achieved frame rate, the 99th percentile and the longest frame period,
// the frames that skipped drawing, and the CPU time the process used while
// pacing, as a share of one core. Then the logic rate on a simulated clock,
// for a display that takes a given time per drawing, for one whose presenting
// waits for its next refresh, and for a system whose sleeps round up to a
// coarse scheduler tick.
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
    for ([[maybe_unused]] auto _ : state) {
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

// The simulated clock counts microseconds and hands out whole milliseconds. A
// sleep lasts the time asked; with a scheduler tick set it is rounded up to a
// whole number of ticks, or, like a kernel with a periodic tick, ends on the
// first tick boundary at or after the time asked.
uint64_t sim_us = 0;
uint64_t sim_tick_us = 0;
int32_t sim_wakes_on_tick = 0;
int64_t sim_sleeps = 0;

uint32_t sim_ticks() { return (uint32_t)(sim_us / 1000); }

void sim_sleep(uint32_t microseconds) {
    sim_sleeps += 1;
    if (!sim_tick_us) {
        sim_us += microseconds;
    } else if (sim_wakes_on_tick) {
        sim_us = (sim_us + microseconds + sim_tick_us - 1) / sim_tick_us * sim_tick_us;
    } else {
        sim_us += (microseconds + sim_tick_us - 1) / sim_tick_us * sim_tick_us;
    }
}

struct SimulatedCase {
    uint32_t display_ms;    // time a drawn frame spends presenting
    uint32_t refresh_mhz;   // when set, presenting waits for the display's next refresh instead
    uint32_t work_ms;       // every frame's own work
    uint32_t tick_ms;       // the scheduler tick that sleeps are rounded to, 0 for exact sleeps
    int32_t wakes_on_tick;  // sleeps end on a tick boundary rather than lasting whole ticks
};

// Runs a minute of simulated frames of the given case. Reports logic and
// drawn frames per second and the sleeps per frame.
void run_simulated(benchmark::State& state, const SimulatedCase& sim) {
    const int32_t FRAMES = 3600;
    double logic_fps = 0, drawn_fps = 0, sleeps_per_frame = 0;
    for ([[maybe_unused]] auto _ : state) {
        set_frame_clock(sim_ticks, sim_sleep);
        sim_us = 100000000ull + 370;
        sim_tick_us = (uint64_t)sim.tick_ms * 1000;
        sim_wakes_on_tick = sim.wakes_on_tick;
        sim_sleeps = 0;
        frame_timer_reset();
        uint64_t start = sim_us;
        int32_t drawn = 0;
        for (int32_t frame = 0; frame < FRAMES; frame++) {
            sim_us += (uint64_t)sim.work_ms * 1000;
            if (!skip_draw) {
                if (sim.refresh_mhz) {
                    // Refresh n begins at n * 1e9 / refresh_mhz microseconds.
                    uint64_t next = sim_us * sim.refresh_mhz / 1000000000ull + 1;
                    sim_us = (next * 1000000000ull + sim.refresh_mhz - 1) / sim.refresh_mhz;
                } else {
                    sim_us += (uint64_t)sim.display_ms * 1000;
                }
                drawn += 1;
            }
            frame_wait();
        }
        double seconds = (double)(sim_us - start) * 1e-6;
        logic_fps = FRAMES / seconds;
        drawn_fps = drawn / seconds;
        sleeps_per_frame = (double)sim_sleeps / FRAMES;
        set_frame_clock(nullptr, nullptr);
    }
    state.counters["logic_fps"] = logic_fps;
    state.counters["drawn_fps"] = drawn_fps;
    state.counters["sleeps_per_frame"] = sleeps_per_frame;
}

// Argument: the display's milliseconds per drawing.
void BM_SimulatedSlowDisplay(benchmark::State& state) { run_simulated(state, {(uint32_t)state.range(0), 0, 0, 0, 0}); }

// Argument: the refresh rate in millihertz of a display whose presenting
// waits for its next refresh; every frame works for 2 ms.
void BM_SimulatedSyncedDisplay(benchmark::State& state) {
    run_simulated(state, {0, (uint32_t)state.range(0), 2, 0, 0});
}

// Arguments: the scheduler tick and the work per frame, in milliseconds, and
// whether sleeps end on the tick's boundary (1) or last whole ticks (0).
void BM_SimulatedCoarseSleep(benchmark::State& state) {
    run_simulated(state, {0, 0, (uint32_t)state.range(1), (uint32_t)state.range(0), (int32_t)state.range(2)});
}

// Arguments: the scheduler tick and the drawing's cost, in milliseconds, and
// whether sleeps end on the tick's boundary (1) or last whole ticks (0).
void BM_SimulatedCoarseDrawing(benchmark::State& state) {
    run_simulated(state, {(uint32_t)state.range(1), 0, 0, (uint32_t)state.range(0), (int32_t)state.range(2)});
}

BENCHMARK(BM_SimulatedSlowDisplay)
    ->ArgName("display_ms")
    ->Arg(0)
    ->Arg(15)
    ->Arg(17)
    ->Arg(25)
    ->Arg(34)
    ->Arg(40)
    ->Arg(45)
    ->Arg(48)
    ->Arg(50)
    ->Arg(60)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimulatedSyncedDisplay)
    ->ArgName("refresh_mhz")
    ->Arg(50000)
    ->Arg(59940)
    ->Arg(60000)
    ->Arg(75000)
    ->Arg(144000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimulatedCoarseSleep)
    ->ArgNames({"tick_ms", "work_ms", "on_tick"})
    ->Args({4, 0, 0})
    ->Args({4, 5, 0})
    ->Args({10, 0, 0})
    ->Args({10, 2, 0})
    ->Args({10, 5, 0})
    ->Args({4, 0, 1})
    ->Args({4, 5, 1})
    ->Args({10, 0, 1})
    ->Args({10, 2, 1})
    ->Args({10, 5, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_SimulatedCoarseDrawing)
    ->ArgNames({"tick_ms", "draw_ms", "on_tick"})
    ->ArgsProduct({{1, 4, 10}, {8, 12, 14, 15, 16}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
