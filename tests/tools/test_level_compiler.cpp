// The level compiler: ASCII maps through the shared legend to level bytes the
// game loads, and the sources it refuses with their file and line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compile.h"
#include "support/support.h"
#include "world/actors.h"
#include "world/level.h"

namespace {

// Twelve rows of a map: air above a ground row, with the given rows replaced.
std::string map_rows(int32_t width, const std::vector<std::pair<int32_t, std::string>>& rows) {
    std::vector<std::string> lines(11, std::string(width, '.'));
    lines.push_back(std::string(width, '#'));
    for (const auto& r : rows) lines[r.first] = r.second;
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// Writes the shipped legend and one source into the current directory and compiles it.
bool compile_source(const std::string& source, Bytes& out, std::string& error) {
    std::string legend = read_file(std::string(FLOOB_SOURCE_DIR) + "/assets/maps/legend.inc");
    EXPECT_FALSE(legend.empty());
    write_file("legend.inc", legend);
    write_file("level.lvl", source);
    return compile_level("level.lvl", out, error);
}

std::string refusal(const std::string& source) {
    Bytes out;
    std::string error;
    EXPECT_FALSE(compile_source(source, out, error));
    return error;
}

}  // namespace

TEST(LevelCompiler, CompilesAMapColumnByColumnThroughTheLegend) {
    TempDir dir;
    std::string source =
        "; a small test level\n"
        "legend K 131\n"
        "\n"
        "map\n" +
        map_rows(24, {{1, "..........K............."},
                      {8, "...................EE..."},
                      {9, "...@........*......EE..."},
                      {10, "......U.............LL.."}}) +
        "; trailing comment\n";
    Bytes out;
    std::string error;
    ASSERT_TRUE(compile_source(source, out, error)) << error;
    ASSERT_EQ(2u + 12 * 24, out.size());
    EXPECT_EQ(23, out[0]);
    EXPECT_EQ(0, out[1]);
    auto cell = [&](int32_t c, int32_t r) { return out[2 + 12 * c + r]; };
    EXPECT_EQ(131, cell(10, 1));
    EXPECT_EQ(65, cell(3, 9));
    EXPECT_EQ(41, cell(12, 9));
    EXPECT_EQ(9, cell(6, 10));
    EXPECT_EQ(27, cell(19, 8));
    EXPECT_EQ(28, cell(20, 8));
    EXPECT_EQ(47, cell(19, 9));
    EXPECT_EQ(48, cell(20, 9));
    EXPECT_EQ(66, cell(20, 10));
    EXPECT_EQ(150, cell(0, 11));
    EXPECT_EQ(0, cell(0, 0));

    clear_enemies();
    start_x = 16;
    start_y = 100;
    checkpoint_reached = 0;
    ASSERT_EQ(1, load_level_bytes(out.data(), (int32_t)out.size()));
    EXPECT_EQ(48, start_x);
    EXPECT_EQ(144, start_y);
    EXPECT_EQ(1, emeralds_left);
    EXPECT_EQ(2, platform_count);
}

TEST(LevelCompiler, RefusesMalformedSourcesWithFileAndLine) {
    TempDir dir;
    std::string head = "; header\nmap\n";  // the rows start on line 3
    EXPECT_EQ("level.lvl:5: unknown character 'Q' in column 4",
              refusal(head + map_rows(24, {{2, "...Q...................."}})));
    EXPECT_EQ("level.lvl:7: row is 23 characters wide; the first row is 24",
              refusal(head + map_rows(24, {{4, "......................."}})));
    std::string eleven = map_rows(24, {});
    eleven.erase(0, 25);
    EXPECT_EQ("level.lvl:13: the map has 11 rows; it needs 12", refusal(head + eleven));
    EXPECT_EQ("level.lvl:15: the map has more than 12 rows", refusal(head + map_rows(24, {}) + "........\n"));
    EXPECT_EQ("level.lvl:3: the map is 20 columns wide; it must be 21 to 4096", refusal(head + map_rows(20, {})));
    EXPECT_EQ("level.lvl:3: the map is 4097 columns wide; it must be 21 to 4096", refusal(head + map_rows(4097, {})));
    EXPECT_EQ("level.lvl:2: no \"map\" line", refusal("; nothing\n"));
    EXPECT_EQ("level.lvl:1: expected a legend line or \"map\"", refusal("mpa\n" + map_rows(24, {})));
    EXPECT_EQ("level.lvl:1: cell code 300 out of range 0..255", refusal("legend K 300\nmap\n" + map_rows(24, {})));
    EXPECT_EQ("level.lvl:1: legend entry needs 1 or 4 codes", refusal("legend K 1 2\nmap\n" + map_rows(24, {})));
}

TEST(LevelCompiler, RefusesLevelsTheGameWouldRefuseOrMishandle) {
    TempDir dir;
    std::string head = "legend X 27\nmap\n";
    EXPECT_EQ("level.lvl:14: exit in column 6 lies on the last column or the bottom row",
              refusal(head + map_rows(24, {{11, "#####X##################"}})));
    EXPECT_EQ("level.lvl:8: exit in column 24 lies on the last column or the bottom row",
              refusal(head + map_rows(24, {{5, ".......................X"}})));
    EXPECT_EQ("level.lvl:7: 'E' in column 5 is not part of a complete 2 x 2 block",
              refusal(head + map_rows(24, {{4, "....EE.................."}, {5, "....E..................."}})));
    EXPECT_EQ("level.lvl:6: emeralds but no exit", refusal(head + map_rows(24, {{3, "....*..*................"}})));
    EXPECT_EQ("level.lvl:10: second exit in column 8; a level has one exit",
              refusal(head + map_rows(24, {{4, ".X......................"}, {7, ".......X................"}})));
    EXPECT_EQ("level.lvl:5: second hero start in column 9; a level has one start",
              refusal(head + map_rows(24, {{2, "..@....................."}, {2, "..@.....@..............."}})));
    std::string lifts(70, 'L');
    EXPECT_EQ("level.lvl:4: elevator in column 65 is one more than the 64 a level can have",
              refusal(head + map_rows(70, {{1, lifts}})));
}

TEST(LevelCompiler, TheCommandWritesATestLevelAnywhere) {
    TempDir dir;
    write_file("legend.inc", read_file(std::string(FLOOB_SOURCE_DIR) + "/assets/maps/legend.inc"));
    write_file("good.lvl", "map\n" + map_rows(30, {{10, "..@..........................."}}));
    write_file("bad.lvl", "map\n" + map_rows(30, {{10, "..@...........Q..............."}}));
    std::string floobdata = std::string(FLOOB_BINARY_DIR) + "/tools/floobdata";
    std::string output;
    ASSERT_EQ(0, system("mkdir -p maps"));
    EXPECT_EQ(0, run_command(floobdata + " compile good.lvl maps/test.bin 2>&1", &output)) << output;
    std::string bytes = read_file("maps/test.bin");
    ASSERT_EQ(2u + 12 * 30, bytes.size());
    EXPECT_EQ(65, (uint8_t)bytes[2 + 12 * 2 + 10]);
    EXPECT_EQ(1, run_command(floobdata + " compile bad.lvl bad.bin 2>&1", &output));
    EXPECT_EQ("floobdata: bad.lvl:12: unknown character 'Q' in column 15\n", output);
}
