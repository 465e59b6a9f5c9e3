// Tile effects: the codes they write frame by frame, the restart rule and a full table.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "support/levels.h"
#include "world/actors.h"
#include "world/level.h"
#include "world/map.h"

namespace {

void use_map() { use_test_map(30); }

// The code in the cell after each frame until the effect ends.
std::vector<int32_t> run_effect(int32_t kind, int32_t start_code) {
    use_map();
    put_cell(3, 4, start_code);
    EXPECT_EQ(1, start_tile_effect(48, 64, kind));
    std::vector<int32_t> codes;
    while (tile_effect_at(48, 64) && codes.size() < 100) {
        update_tile_effects();
        codes.push_back(tile_at(48, 64));
    }
    return codes;
}

std::vector<int32_t> repeat(int32_t code, int32_t count) { return std::vector<int32_t>(count, code); }

std::vector<int32_t> join(std::vector<std::vector<int32_t>> parts) {
    std::vector<int32_t> all;
    for (const std::vector<int32_t>& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace

TEST(TileEffects, EachKindWritesItsCodesAndEndsOnItsFinalCell) {
    EXPECT_EQ(join({repeat(200, 8), repeat(201, 8), repeat(202, 8), repeat(203, 8), repeat(0, 8)}),
              run_effect(EFFECT_BREAK, 40));
    EXPECT_EQ(join({repeat(180, 8), repeat(181, 8), repeat(182, 8), repeat(183, 8), repeat(0, 8)}),
              run_effect(EFFECT_CRUMBLE, 22));
    EXPECT_EQ(join({repeat(0, 2), repeat(87, 2), repeat(105, 2)}), run_effect(EFFECT_SPIKES, 86));
    EXPECT_EQ(join({repeat(80, 2), repeat(100, 2), repeat(120, 2), repeat(20, 2)}), run_effect(EFFECT_BUMP, 20));
    EXPECT_EQ(join({repeat(89, 3), repeat(69, 1)}), run_effect(EFFECT_TRAPDOOR, 88));
    EXPECT_EQ(join({repeat(17, 6), repeat(18, 6), repeat(19, 3)}), run_effect(EFFECT_CHECKPOINT, 17));
    EXPECT_EQ(repeat(0, 1), run_effect(EFFECT_CLEAR, 41));
}

TEST(TileEffects, StartingOnARunningCellRestartsItWithoutASecondSound) {
    use_map();
    EXPECT_EQ(1, start_tile_effect(48, 64, EFFECT_BREAK));
    for (int32_t i = 0; i < 20; i++) update_tile_effects();
    EXPECT_EQ(202, tile_at(48, 64));
    EXPECT_EQ(0, start_tile_effect(48, 64, EFFECT_BUMP));
    update_tile_effects();
    EXPECT_EQ(80, tile_at(48, 64));
    int32_t running = 0;
    for (const TileEffect& t : tile_effects) running += t.active;
    EXPECT_EQ(1, running);
}

TEST(TileEffects, SeventeenthEffectIsNotStarted) {
    use_map();
    for (int32_t i = 0; i < MAX_TILE_EFFECTS; i++) ASSERT_EQ(1, start_tile_effect(i * 16, 0, EFFECT_BREAK));
    put_cell(20, 0, CODE_EMERALD);
    EXPECT_EQ(0, start_tile_effect(320, 0, EFFECT_CLEAR));
    EXPECT_EQ(0, tile_effect_at(320, 0));
    update_tile_effects();
    EXPECT_EQ(41, tile_at(320, 0));
    clear_tile_effects();
    EXPECT_EQ(1, start_tile_effect(320, 0, EFFECT_CLEAR));
}

TEST(TileEffects, EmeraldStaysUntilTheNextUpdate) {
    use_map();
    put_cell(3, 4, CODE_EMERALD);
    ASSERT_EQ(1, start_tile_effect(48, 64, EFFECT_CLEAR));
    EXPECT_EQ(41, tile_at(48, 64));
    update_tile_effects();
    EXPECT_EQ(0, tile_at(48, 64));
    EXPECT_EQ(0, tile_effect_at(48, 64));
}
