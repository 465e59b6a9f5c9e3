// The scenery and join checks: what a level's map says about the world at a
// glance. Scenery that stands needs ground under it, scenery that hangs needs
// a ceiling over it, a torch needs a wall beside it; the pieces of a tree, a
// boulder or a bulrush stand on their own lower part. The edge tiles of the
// meadow and cave terrain (corners, sides, undersides) go only where the
// terrain really ends, and a fill tile never meets the open air without one.
#ifndef LEVELCHECK_SCENERY_H
#define LEVELCHECK_SCENERY_H

#include <stdint.h>

#include <vector>

enum {
    FAULT_FLOATS,        // standing scenery with no ground under it
    FAULT_HANGS_FREE,    // hanging scenery with no ceiling over it
    FAULT_OFF_THE_WALL,  // a torch with no wall beside it
    FAULT_STRAY_EDGE,    // an edge tile where the terrain goes on
    FAULT_OPEN_FILL,     // a fill tile meeting the open air without an edge
    FAULT_KINDS
};

struct SceneryFault {
    int32_t column;
    int32_t row;
    int32_t code;
    int32_t kind;  // FAULT_*
    int32_t side;  // for the joins: 0 left, 1 right, 2 above, 3 below; else 0
};

// The faults of a compiled level's map as stored (header and cells), column by column.
std::vector<SceneryFault> find_scenery_faults(const uint8_t* level, int32_t size);

// The longest stretch of plain walking: columns of level ground with no
// enemy, hazard, water, pit, step or special block in them, before the
// exit. Gives its length
// and, in first, its first column (-1 when the map has none).
int32_t longest_plain_walk(const uint8_t* level, int32_t size, int32_t* first);

const char* scenery_fault_name(int32_t kind);
const char* side_name(int32_t side);

#endif
