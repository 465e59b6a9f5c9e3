// Cost of presenting one frame, in microseconds: the simple filter at the
// largest factor the display holds, plus the colour conversion a depth-24
// desktop needs, for a 640 x 480 window and for full screens of 1920 x 1080
// and 3840 x 2160. Three ways, by the "how" argument:
//   0: a 16-bit display of which SDL converts the whole surface into the
//      desktop's 32-bit pixels (the shadow surface behind a flip),
//   1: the same, SDL converting only the picture's rectangle,
//   2: a display in the desktop's own 32-bit format, the filter converting
//      as it writes the picture.
// The X server's own work is not in these figures. On a shared machine run
// with repetitions and compare medians, e.g.
//   bench_present --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <string.h>

#include "floob.h"
#include "gfx/scale.h"
#include "gfx/video.h"

namespace {

enum { HOW_SDL_WHOLE = 0, HOW_SDL_PICTURE = 1, HOW_DESKTOP_FORMAT = 2 };

void bench_present(benchmark::State& state) {
    int32_t w = (int32_t)state.range(0), h = (int32_t)state.range(1), how = (int32_t)state.range(2);
    // present_frame ends with SDL's update call, which needs SDL video started.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        state.SkipWithError("SDL video did not start");
        return;
    }
    SDL_Surface* desktop = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_Surface* shadow = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 16, 0xF800, 0x07E0, 0x001F, 0);
    frame_surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 240, 16, 0xF800, 0x07E0, 0x001F, 0);
    display_surface = how == HOW_DESKTOP_FORMAT ? desktop : shadow;
    for (int32_t y = 0; y < 240; y++)
        for (int32_t x = 0; x < 320; x++)
            ((uint16_t*)((uint8_t*)frame_surface->pixels + y * frame_surface->pitch))[x] =
                (uint16_t)(((x / 16 + y / 16) % 3) * 0x5A5A + (x % 16 > y % 16) * 0x0821);
    int32_t px = 0, py = 0, factor = 0;
    picture_placement(w, h, &px, &py, &factor);
    SDL_Rect picture = {(Sint16)px, (Sint16)py, (Uint16)(320 * factor), (Uint16)(240 * factor)};
    scale_mode = SCALE_SIMPLE;
    for ([[maybe_unused]] auto _ : state) {
        present_frame();
        if (how == HOW_SDL_WHOLE) SDL_BlitSurface(shadow, nullptr, desktop, nullptr);
        if (how == HOW_SDL_PICTURE) {
            SDL_Rect to = picture;
            SDL_BlitSurface(shadow, &picture, desktop, &to);
        }
        benchmark::ClobberMemory();
    }
    SDL_FreeSurface(frame_surface);
    SDL_FreeSurface(shadow);
    SDL_FreeSurface(desktop);
    frame_surface = nullptr;
    display_surface = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void present_args(benchmark::internal::Benchmark* b) {
    b->ArgNames({"w", "h", "how"});
    const int32_t sizes[][2] = {{640, 480}, {1920, 1080}, {3840, 2160}};
    for (const auto& size : sizes)
        for (int32_t how : {HOW_SDL_WHOLE, HOW_SDL_PICTURE, HOW_DESKTOP_FORMAT}) {
            if (size[0] == 640 && how == HOW_SDL_PICTURE) continue;  // the picture is the whole window
            b->Args({size[0], size[1], how});
        }
    b->Unit(benchmark::kMicrosecond)->MinTime(0.1);
}

BENCHMARK(bench_present)->Apply(present_args)->Name("present");

}  // namespace

BENCHMARK_MAIN();
