#include "levels.h"

#include "world/level.h"

TestLevel::TestLevel(int32_t width) : columns(width), bytes(2 + 12 * (size_t)width, 0) {
    bytes[0] = (uint8_t)((width - 1) & 0xff);
    bytes[1] = (uint8_t)((width - 1) >> 8);
    fill(0, width - 1, TEST_GROUND_ROW, TEST_GROUND_ROW, 131);
    fill(0, width - 1, TEST_GROUND_ROW + 1, 11, 151);
    set(1, TEST_GROUND_ROW - 1, 65);
    int32_t exit_column = width - 5;
    set(exit_column, TEST_GROUND_ROW - 2, 27);
    set(exit_column + 1, TEST_GROUND_ROW - 2, 28);
    set(exit_column, TEST_GROUND_ROW - 1, 47);
    set(exit_column + 1, TEST_GROUND_ROW - 1, 48);
}

void TestLevel::set(int32_t column, int32_t row, uint8_t code) {
    if (column >= 0 && column < columns && row >= 0 && row < 12) bytes[2 + 12 * (size_t)column + row] = code;
}

void TestLevel::fill(int32_t first, int32_t last, int32_t top, int32_t bottom, uint8_t code) {
    for (int32_t c = first; c <= last; c++)
        for (int32_t r = top; r <= bottom; r++) set(c, r, code);
}

void TestLevel::pit(int32_t first, int32_t count) { fill(first, first + count - 1, TEST_GROUND_ROW, 11, 0); }

std::string shipped_level_path(int32_t level) {
    return std::string(FLOOB_BINARY_DIR) + "/entries/maps/" + level_map_name(level) + ".bin";
}

std::string shipped_route_path(int32_t level) {
    return std::string(FLOOB_SOURCE_DIR) + "/assets/maps/" + level_map_name(level) + ".replay";
}
