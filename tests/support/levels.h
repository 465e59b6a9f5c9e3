// Shared set-up of the level tests: small levels built in memory, and the
// shipped levels as the build compiles them.
#ifndef TEST_SUPPORT_LEVELS_H
#define TEST_SUPPORT_LEVELS_H

#include <stdint.h>

#include <string>
#include <vector>

enum { TEST_GROUND_ROW = 9 };

// A flat meadow level of the given width: grass (131) on row 9, earth (151) below, the
// hero's start in column 1, the exit standing on the ground 5 columns from the
// right end. Cells are set and cut out before the level is loaded.
struct TestLevel {
    explicit TestLevel(int32_t columns);
    void set(int32_t column, int32_t row, uint8_t code);
    // Every cell of columns first..last, rows top..bottom (inclusive).
    void fill(int32_t first, int32_t last, int32_t top, int32_t bottom, uint8_t code);
    // A pit of count columns through the ground.
    void pit(int32_t first, int32_t count);
    const uint8_t* data() const { return bytes.data(); }
    int32_t size() const { return (int32_t)bytes.size(); }
    int32_t columns;
    std::vector<uint8_t> bytes;
};

// The built level file of level 0..10 (build/entries/maps/floob2NN.bin), and its stored route.
std::string shipped_level_path(int32_t level);
std::string shipped_route_path(int32_t level);

#endif
