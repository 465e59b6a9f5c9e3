// One logic frame of play: the tile effects, 32 active enemies, 64 elevators and
// the hero, on a level of the full 4096 columns. The world is laid out so that it
// stays busy for ever: the enemies pace inside walled pens, the elevators shuttle
// in open shafts beyond the view, 16 bump effects are restarted every 8 frames,
// and the hero stands above the pens with the clock held full. It is the game's own
// play frame, as the game loop runs it.
#include <benchmark/benchmark.h>
#include <string.h>

#include <vector>

#include "world/actors.h"
#include "world/hero.h"
#include "world/level.h"
#include "world/map.h"
#include "world/world.h"

namespace {

enum { COLUMNS = 4096 };

std::vector<uint8_t> build_level() {
    std::vector<uint8_t> bytes(2 + 12 * COLUMNS, 0);
    bytes[0] = (COLUMNS - 1) & 0xff;
    bytes[1] = (COLUMNS - 1) >> 8;
    auto set = [&](int32_t c, int32_t r, uint8_t code) { bytes[2 + 12 * c + r] = code; };
    for (int32_t c = 0; c < COLUMNS; c++) set(c, 11, 150);
    for (int32_t c = 0; c < 25; c++)
        for (int32_t r = 2; r <= 10; r += 2) set(c, r, 130);  // the hero's floor and the pens' floors
    static const uint8_t KINDS[4] = {13, 67, 33, 9};
    for (int32_t band = 0; band < 4; band++) {
        int32_t row = 3 + band * 2;
        for (int32_t pen = 0; pen < 8; pen++) {
            set(pen * 3, row, 130);
            set(pen * 3 + 3, row, 130);
            set(pen * 3 + 1, row, KINDS[(band + pen) % 4]);
        }
    }
    for (int32_t i = 0; i < MAX_PLATFORMS; i++) set(100 + i * 2, (i % 10) + 1, 66);
    set(50, 1, 65);
    return bytes;
}

void run_frame(Hero* hero, int32_t frame) {
    if ((frame & 7) == 0)
        for (int32_t i = 0; i < MAX_TILE_EFFECTS; i++) start_tile_effect((200 + i) * CELL_SIZE, 0, EFFECT_BUMP);
    level_timer = LEVEL_TIME_LIMIT;
    world_read_controls(0);
    world_step(hero);
}

void bench_logic_frame(benchmark::State& state) {
    std::vector<uint8_t> level = build_level();
    world_new_game();
    if (!world_start_life_bytes(level.data(), (int32_t)level.size(), 0)) {
        state.SkipWithError("level refused");
        return;
    }
    // The pens lie left of the start column; bring their enemies in by hand.
    for (int32_t x = 0; x < 25 * CELL_SIZE; x += CELL_SIZE) spawn_column(x);
    camera_x = 0;
    Hero& hero = world.hero;
    start_x = 120;
    start_y = 0;
    place_hero(&hero);
    int32_t frame = 0;
    for ([[maybe_unused]] auto _ : state) {
        run_frame(&hero, frame++);
        benchmark::DoNotOptimize(hero);
    }
    int32_t active = 0;
    for (const Enemy& e : enemies) active += e.active;
    state.counters["enemies"] = active;
    state.counters["platforms"] = platform_count;
    state.counters["hero_alive"] = hero.alive && !hero.dying;
}

}  // namespace

BENCHMARK(bench_logic_frame)->Unit(benchmark::kNanosecond);

BENCHMARK_MAIN();
