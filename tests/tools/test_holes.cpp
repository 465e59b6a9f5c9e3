// The hole check on small meadow levels drawn with the built tiles: the
// backdrop may show in open air and behind a wall of its own theme, never as a
// square inside a back wall or water, whether the cell holds a tile with
// transparent parts or is emptied in play.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "holes.h"
#include "support/levels.h"
#include "support/support.h"
#include "world/level.h"

struct Cell {
    int32_t column;
    int32_t row;
    uint8_t code;
};

struct HoleCase {
    const char* what;
    const char* backdrop;
    std::vector<Cell> cells;  // set after the walls below
    int32_t wall;             // back wall code filling columns 10..14, rows 4..8, or 0; -1: only the ceiling
    int32_t pond;             // 1: a pond in columns 10..14 (surface row 9, water row 10)
    int32_t holes;            // cells found
    int32_t first_view;       // view of the first one (-1: any)
    int32_t first_code;       // what it shows then (-1: any)
};

static const HoleCase CASES[] = {
    {"an emerald in open air", "back", {{12, 5, 41}}, 0, 0, 0, -1, -1},
    {"an emerald in a tunnel's earth wall", "back", {{12, 6, 41}}, 60, 0, 1, 0, 41},
    {"the same in a cave wall behind the cave backdrop", "back-cave", {{12, 6, 41}}, 70, 0, 1, 0, 41},
    {"a room beside a cave wall behind the cave backdrop", "back-cave", {{15, 5, 0}}, 70, 0, 0, -1, -1},
    {"a gap in a cave's ceiling", "back-cave", {{12, 0, 0}}, -1, 0, 1, 0, 0},
    {"the same under the night sky", "back", {{12, 0, 0}}, -1, 0, 0, -1, -1},
    {"a torch on a cave wall under the night sky", "back", {{12, 6, 74}}, 70, 0, 1, 0, 74},
    {"the torch painted on the wall", "back", {{12, 6, 76}}, 70, 0, 0, -1, -1},
    {"a brick in a cave wall, once it breaks", "back", {{12, 6, 40}}, 70, 0, 1, -1, -1},
    {"the hero's start in an earth wall", "back", {{12, 8, 65}}, 60, 0, 1, 0, 0},
    {"an emerald under water", "back", {{12, 10, 41}}, 0, 1, 1, 0, 41},
    {"the same in front of the lake", "back-lake", {{12, 10, 41}}, 0, 1, 1, 0, 41},
    {"an emerald in a pond's surface row", "back", {{12, 9, 41}}, 0, 1, 1, 0, 41},
    {"a steelfish leaves water behind", "back", {{12, 10, 53}}, 0, 1, 0, -1, -1},
    {"air between a ledge and the water under it", "back", {{12, 8, 171}, {12, 9, 85}}, 0, 1, 0, -1, -1},
    {"grass under water", "back", {{12, 11, 131}}, 0, 1, 1, 0, 131},
};

TEST(HoleCheck, FindsTheBackdropWhereItDoesNotBelong) {
    static TileMasks masks;
    std::string sheet = read_file(std::string(FLOOB_BINARY_DIR) + "/entries/gfx/blocks.bmp");
    ASSERT_TRUE(read_tile_masks((const uint8_t*)sheet.data(), (uint32_t)sheet.size(), &masks));
    for (const HoleCase& c : CASES) {
        TestLevel level(40);
        // A cave has its ceiling on the top row.
        if (c.wall < 0 || std::string(c.backdrop) == "back-cave") level.fill(0, 39, 0, 0, 154);
        if (c.wall > 0) {
            // Earth under the wall: grass tips would show the sky against it.
            level.fill(10, 14, 4, 8, (uint8_t)c.wall);
            level.fill(10, 14, 9, 9, TILE_EARTH);
        }
        if (c.pond) {
            level.fill(10, 14, 9, 9, CODE_WATER_SURFACE);
            level.fill(10, 14, 10, 10, CODE_WATER);
            level.fill(10, 14, 11, 11, TILE_EARTH);
        }
        for (const Cell& cell : c.cells) {
            // A start of its own replaces the level's.
            if (cell.code == 65) level.set(1, TEST_GROUND_ROW - 1, CODE_EMPTY);
            level.set(cell.column, cell.row, cell.code);
        }
        std::vector<Hole> holes = find_holes(level.data(), level.size(), 0, c.backdrop, masks);
        ASSERT_EQ((int32_t)holes.size(), c.holes) << c.what;
        if (holes.empty()) continue;
        EXPECT_EQ(holes[0].column, c.cells[0].column) << c.what;
        EXPECT_EQ(holes[0].row, c.cells[0].row) << c.what;
        EXPECT_GT(holes[0].pixels, 0) << c.what;
        EXPECT_NE(holes[0].themes, 0) << c.what;
        if (c.first_view >= 0) {
            EXPECT_EQ(holes[0].view, c.first_view) << c.what;
        }
        if (c.first_code >= 0) {
            EXPECT_EQ(holes[0].code, c.first_code) << c.what;
        }
    }
    free_map();
}

TEST(HoleCheck, RefusesWhatIsNotTheTileSheet) {
    static TileMasks masks;
    std::string junk = "BM not a bitmap";
    EXPECT_FALSE(read_tile_masks((const uint8_t*)junk.data(), (uint32_t)junk.size(), &masks));
    std::string back = read_file(std::string(FLOOB_BINARY_DIR) + "/entries/gfx/back.bmp");
    ASSERT_FALSE(back.empty());
    EXPECT_FALSE(read_tile_masks((const uint8_t*)back.data(), (uint32_t)back.size(), &masks));
}

// Backdrop water seen through a pit is water without a surface; the pond's
// own water is drawn by its tiles.
TEST(HoleCheck, BackdropWaterShowsOnlyInWater) {
    static TileMasks masks;
    std::string sheet = read_file(std::string(FLOOB_BINARY_DIR) + "/entries/gfx/blocks.bmp");
    ASSERT_TRUE(read_tile_masks((const uint8_t*)sheet.data(), (uint32_t)sheet.size(), &masks));
    BackdropLook lake = {};
    lake.water[10] = lake.water[11] = 1;
    TestLevel level(40);
    level.pit(14, 3);
    level.fill(20, 24, 9, 9, CODE_WATER_SURFACE);
    level.fill(20, 24, 10, 10, CODE_WATER);
    std::vector<Hole> holes = find_holes(level.data(), level.size(), 0, "back", masks, &lake);
    ASSERT_EQ(holes.size(), 6u);
    for (const Hole& h : holes) {
        EXPECT_TRUE(h.water);
        EXPECT_GE(h.column, 14);
        EXPECT_LE(h.column, 16);
        EXPECT_GE(h.row, 10);
    }
    EXPECT_TRUE(find_holes(level.data(), level.size(), 0, "back", masks).empty());
    free_map();
}

// No backdrop paints water where a level can leave an empty cell.
TEST(HoleCheck, NoBackdropLooksLikeWater) {
    for (const char* name : {"back", "back-dusk", "back-lake", "back-cave", "back-base", "back-mine"}) {
        std::string bmp = read_file(std::string(FLOOB_BINARY_DIR) + "/entries/gfx/" + name + ".bmp");
        BackdropLook look;
        ASSERT_TRUE(read_backdrop_look((const uint8_t*)bmp.data(), (uint32_t)bmp.size(), &look)) << name;
        for (int32_t row = 0; row < 12; row++) EXPECT_FALSE(look.water[row]) << name << ", map row " << row;
    }
}
