// One drawn play frame: a busy screen (every cell of both tile layers in view
// filled, water surface included, 32 enemies, elevators and the hero), composed
// into the 16-bit frame surface, without and with the simple filter presenting
// it; and composed and presented by every filter in a 1280 x 960 (zoom 4)
// 24-bit window.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "floob.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/scale.h"
#include "gfx/video.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "storage/archive.h"
#include "world/actors.h"
#include "world/level.h"
#include "world/playscreen.h"

enum { BENCH_COLUMNS = 64, BENCH_ROWS = 12 };

static int32_t bench_cells[BENCH_COLUMNS * BENCH_ROWS];
static Hero bench_hero;

// Start-up as the game does it, by default with the 640 x 480 simple filter,
// so that the frame surface is the 16-bit software surface the filter reads.
// Another zoom or depth starts the video again, with images in its format.
static int open_video(int32_t zoom = 2, int32_t depth = 16) {
    static int opened = 0, opened_zoom = 0, opened_depth = 0;
    if (opened && zoom == opened_zoom && depth == opened_depth) return 1;
    if (opened) {
        free_image(back_image);
        back_image = nullptr;
        tiles_free();
        fonts_free();
        archive_close_all();
        if (display_surface) SDL_FreeSurface(frame_surface);
        frame_surface = display_surface = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        opened = 0;
    }
    if (chdir(FLOOB_BINARY_DIR) != 0) return 0;
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    if (SDL_Init(SDL_INIT_VIDEO) < 0) return 0;
    scale_mode = SCALE_SIMPLE;
    colour_depth = depth;
    fullscreen = 0;
    zoom_factor = zoom;
    if (!video_init()) return 0;
    colours_init();
    dim_panel_init();
    archive_open_all();
    fonts_load();
    tiles_init();
    back_image = load_image("back", IMAGE_OPAQUE);
    opened = 1, opened_zoom = zoom, opened_depth = depth;
    return 1;
}

// A checkerboard of a back-layer and a front-layer code in every cell, a water
// strip, 32 enemies spread over the view and 8 elevators.
static void build_busy_screen() {
    for (int32_t c = 0; c < BENCH_COLUMNS; c++) {
        for (int32_t r = 0; r < BENCH_ROWS; r++) {
            int32_t code = ((c + r) & 1) ? 81 : 21;
            if (r == 8) code = 160 + (c & 1);
            bench_cells[c * BENCH_ROWS + r] = code;
        }
    }
    map_cells = bench_cells;
    map_columns = BENCH_COLUMNS;
    camera_x = 168;  // not on a cell edge: 21 columns in view
    clear_enemies();
    const int32_t types[5] = {ENEMY_UFO, ENEMY_BUG, ENEMY_STONEBAT, ENEMY_STEELFISH, ENEMY_ANDROID};
    for (int32_t k = 0; k < MAX_ENEMIES; k++) spawn_enemy(camera_x + (k % 16) * 20, 16 + (k / 16) * 64, types[k % 5]);
    platform_count = 8;
    for (int32_t p = 0; p < 8; p++) platforms[p] = {camera_x + p * 40, 120, 1};
    bench_hero = Hero();
    bench_hero.x = camera_x + 100;
    bench_hero.y = 100;
    bench_hero.frame = 1;
    bench_hero.alive = 1;
    bench_hero.platform = -1;
    current_level = 3;
    lives = 6;
    points = 1234;
    emeralds_left = 5;
    level_timer = 5000;
    air = 300;
    skip_draw = 0;
}

static void BM_DrawPlayFrame(benchmark::State& state) {
    if (!open_video()) {
        state.SkipWithError("no video");
        return;
    }
    build_busy_screen();
    int32_t frame = 200;
    for ([[maybe_unused]] auto _ : state) {
        draw_play_frame(frame, &bench_hero);
        frame = frame == 260 ? 200 : frame + 1;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawPlayFrame)->Unit(benchmark::kMicrosecond);

static void BM_DrawAndPresentSimple(benchmark::State& state) {
    if (!open_video()) {
        state.SkipWithError("no video");
        return;
    }
    if (!display_surface) {
        state.SkipWithError("no 640 x 480 display surface for the filter");
        return;
    }
    build_busy_screen();
    int32_t frame = 200;
    for ([[maybe_unused]] auto _ : state) {
        draw_play_frame(frame, &bench_hero);
        present_frame();
        frame = frame == 260 ? 200 : frame + 1;
    }
}
BENCHMARK(BM_DrawAndPresentSimple)->Unit(benchmark::kMicrosecond);

// Arg: the scale mode, in a 1280 x 960 window at 24 bits.
static void BM_DrawAndPresentZoom4Depth24(benchmark::State& state) {
    if (!open_video(4, 24) || !display_surface || display_surface->w != 1280 ||
        display_surface->format->BytesPerPixel != 3) {
        state.SkipWithError("no 1280 x 960 24-bit display surface");
        return;
    }
    build_busy_screen();
    scale_mode = (int32_t)state.range(0);
    int32_t frame = 200;
    for ([[maybe_unused]] auto _ : state) {
        draw_play_frame(frame, &bench_hero);
        present_frame();
        frame = frame == 260 ? 200 : frame + 1;
    }
    scale_mode = SCALE_SIMPLE;
}
BENCHMARK(BM_DrawAndPresentZoom4Depth24)
    ->ArgName("mode")
    ->DenseRange(SCALE_SIMPLE, SCALE_ANTIALIAS)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
