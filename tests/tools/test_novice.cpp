// The novice and reflex players on small levels: what a margin of a reaction
// time costs at a pit, that the novice learns a spot and a hidden trap, restarts
// at its checkpoint, jumps for emeralds it can reach and stops when a life would
// only come again.
#include <gtest/gtest.h>

#include "novice.h"
#include "support/levels.h"
#include "world/level.h"

struct NoviceCase {
    const char* what;
    int32_t pit;       // width of a pit at column 14, 0 for none
    int32_t trap;      // 1: a hidden spike trap at column 14
    int32_t wall;      // height of a wall at column 14, 0 for none
    int32_t emerald;   // row of an emerald above column 14, 0 for none
    int32_t reaction;  // the player's margin
    int32_t finished;
    int32_t lives;      // lives used (exactly, or at least when finished is 0)
    int32_t first_end;  // LIFE_* of the first life
};

static const NoviceCase CASES[] = {
    {"a 3-wide pit leaves room for a reaction", 3, 0, 0, 0, NOVICE_REACTION, 1, 1, LIFE_EXIT},
    {"a 5-wide pit costs the novice a life", 5, 0, 0, 0, NOVICE_REACTION, 1, 2, LIFE_DIED},
    {"the reflex player clears it at once", 5, 0, 0, 0, REFLEX_REACTION, 1, 1, LIFE_EXIT},
    {"a pit no jump clears is not jumped into", 9, 0, 0, 0, NOVICE_REACTION, 0, 1, LIFE_STUCK},
    {"a hidden trap kills once, then is jumped", 0, 1, 0, 0, NOVICE_REACTION, 1, 2, LIFE_DIED},
    {"a 3-high wall is climbed", 0, 0, 3, 0, NOVICE_REACTION, 1, 1, LIFE_EXIT},
    {"a 4-high wall is not", 0, 0, 4, 0, NOVICE_REACTION, 0, 1, LIFE_STUCK},
    {"an emerald two cells up is jumped for", 0, 0, 0, 6, NOVICE_REACTION, 1, 1, LIFE_EXIT},
    {"an emerald out of reach is missed", 0, 0, 0, 4, NOVICE_REACTION, 0, 1, LIFE_MISSED_EMERALDS},
};

TEST(Novice, PlaysSmallLevelsAsAFirstTimePlayer) {
    for (const NoviceCase& c : CASES) {
        TestLevel level(40);
        if (c.pit) level.pit(14, c.pit);
        if (c.trap) level.set(14, TEST_GROUND_ROW - 1, CODE_SPIKES_SPRINGING);
        if (c.wall) level.fill(14, 15, TEST_GROUND_ROW - c.wall, TEST_GROUND_ROW - 1, TILE_GRASS);
        if (c.emerald) level.set(14, c.emerald, CODE_EMERALD);
        NoviceResult r = novice_play(level.data(), level.size(), c.reaction, NOVICE_LIFE_CAP);
        ASSERT_FALSE(r.lives.empty()) << c.what;
        EXPECT_EQ(r.finished, c.finished) << c.what;
        EXPECT_EQ(r.lives[0].end, c.first_end) << c.what;
        if (c.finished) {
            EXPECT_EQ(r.lives_used, c.lives) << c.what;
        } else {
            // Without anything to learn it does not play the same life again and again.
            EXPECT_TRUE(r.repeats) << c.what;
            EXPECT_LT(r.lives_used, NOVICE_LIFE_CAP) << c.what;
        }
        if (c.first_end == LIFE_DIED || c.first_end == LIFE_STUCK) {
            EXPECT_GE(r.lives[0].end_column, 12) << c.what;
            EXPECT_LE(r.lives[0].end_column, 14 + c.pit) << c.what;
            EXPECT_LT(novice_share(r, r.lives[0]), 100) << c.what;
        }
        if (c.first_end == LIFE_MISSED_EMERALDS) {
            ASSERT_EQ(r.lives[0].missed.size(), 1u) << c.what;
            EXPECT_EQ(r.lives[0].missed[0], 14 * 12 + c.emerald) << c.what;
        }
        // The same level and player always play the same.
        NoviceResult again = novice_play(level.data(), level.size(), c.reaction, NOVICE_LIFE_CAP);
        EXPECT_EQ(again.lives_used, r.lives_used) << c.what;
        EXPECT_EQ(again.lives.back().frames, r.lives.back().frames) << c.what;
    }
    free_map();
}

TEST(Novice, RestartsAtTheCheckpointItTouched) {
    TestLevel level(60);
    level.set(20, TEST_GROUND_ROW - 1, CODE_POST_LOWERED);
    level.pit(30, 5);
    NoviceResult r = novice_play(level.data(), level.size(), NOVICE_REACTION, NOVICE_LIFE_CAP);
    ASSERT_GE(r.lives.size(), 2u);
    EXPECT_EQ(r.lives[0].start_column, 1);
    EXPECT_EQ(r.lives[1].start_column, 20);
    EXPECT_TRUE(r.finished);
    free_map();
}
