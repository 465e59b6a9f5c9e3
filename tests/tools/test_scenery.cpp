// The scenery and join checks on a small meadow (grass 131 on row 9, earth 151
// below): scenery must stand on ground or hang from a ceiling, a torch needs a
// wall, and the terrain's edge tiles go only where it ends.
#include <gtest/gtest.h>

#include <vector>

#include "scenery.h"
#include "support/levels.h"

struct SceneryCase {
    const char* what;
    std::vector<std::vector<int32_t>> cells;  // column, row, code
    int32_t faults;
    int32_t kind;  // of the first, when there is one
};

static const SceneryCase CASES[] = {
    {"a tree on the grass", {{12, 8, 177}, {13, 8, 178}, {12, 7, 157}, {13, 7, 158}}, 0, 0},
    {"a tree over a pit", {{12, 9, 0}, {12, 10, 0}, {12, 11, 0}, {12, 8, 177}, {13, 8, 178}}, 1, FAULT_FLOATS},
    {"a crown without its trunk", {{12, 6, 157}}, 1, FAULT_FLOATS},
    {"flowers in the air", {{12, 6, 45}}, 1, FAULT_FLOATS},
    {"reeds standing in a pond", {{12, 9, 160}, {12, 8, 102}}, 0, 0},
    {"hanging leaves under a ledge", {{12, 4, 170}, {12, 5, 103}, {12, 6, 103}}, 0, 0},
    {"hanging leaves under nothing", {{12, 5, 103}}, 1, FAULT_HANGS_FREE},
    {"a torch beside a wall", {{12, 8, 21}, {12, 7, 21}, {13, 7, 74}}, 0, 0},
    {"a torch in the open", {{13, 7, 74}}, 1, FAULT_OFF_THE_WALL},
    {"a grass strip inside earth", {{12, 10, 131}}, 1, FAULT_STRAY_EDGE},
    {"a right edge where the ground goes on", {{12, 10, 152}}, 1, FAULT_STRAY_EDGE},
    {"earth open to the sky", {{12, 9, 151}}, 1, FAULT_OPEN_FILL},
    {"a step of one cell with its corner", {{12, 8, 130}, {12, 9, 151}}, 0, 0},
    {"a step of one cell without", {{12, 8, 131}, {12, 9, 151}}, 2, FAULT_OPEN_FILL},
    {"flowers on an elevator's start", {{12, 5, 66}, {12, 4, 45}}, 1, FAULT_FLOATS},
};

TEST(SceneryCheck, FindsWhatFloatsAndWhereJoinsDoNotClose) {
    for (const SceneryCase& c : CASES) {
        LevelBytes level(30);
        level.fill(0, 29, 9, 9, TILE_GRASS);
        level.fill(0, 29, 10, 11, TILE_EARTH);
        for (const std::vector<int32_t>& cell : c.cells) level.set(cell[0], cell[1], (uint8_t)cell[2]);
        std::vector<SceneryFault> faults = find_scenery_faults(level.data(), level.size());
        // A pit's own sides are the only other faults it makes: count the case's.
        int32_t found = 0;
        int32_t first_kind = -1;
        for (const SceneryFault& f : faults) {
            if (f.kind == FAULT_OPEN_FILL && f.row >= 9 && (f.column == 11 || f.column == 13)) continue;
            if (first_kind < 0) first_kind = f.kind;
            found++;
        }
        EXPECT_EQ(found, c.faults) << c.what;
        if (c.faults) {
            EXPECT_EQ(first_kind, c.kind) << c.what;
        }
    }
}

TEST(SceneryCheck, MeasuresThePlainWalkUpToTheExit) {
    LevelBytes level(60);
    level.fill(0, 59, 9, 11, TILE_EARTH);
    level.set(12, 8, CODE_BUG);            // a bug
    level.fill(30, 59, 8, 8, TILE_EARTH);  // a step up
    level.put_exit(50, 7);
    int32_t first = -1;
    // Columns 31..49 on the step (the step's own column counts as a change).
    EXPECT_EQ(longest_plain_walk(level.data(), level.size(), &first), 19);
    EXPECT_EQ(first, 31);
}
