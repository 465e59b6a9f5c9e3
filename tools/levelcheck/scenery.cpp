#include "scenery.h"

#include <algorithm>

#include "world/codes.h"
#include "world/map.h"

static const char* const FAULT_NAMES[FAULT_KINDS] = {"stands on nothing", "hangs from nothing", "has no wall beside it",
                                                     "is an edge where the terrain goes on",
                                                     "meets the open air without an edge"};
static const char* const SIDE_NAMES[4] = {"left", "right", "above", "below"};

const char* scenery_fault_name(int32_t kind) { return kind >= 0 && kind < FAULT_KINDS ? FAULT_NAMES[kind] : ""; }

const char* side_name(int32_t side) { return side >= 0 && side < 4 ? SIDE_NAMES[side] : ""; }

// Scenery that stands on the cell below it (front and background pieces,
// and the lower parts of the pieces of more than one cell).
static const uint8_t STANDS[] = {25,  45,  46,  49,  50,  51,  52,  73,  75,  77,  81,  82,  83,  84,  90,
                                 92,  95,  96,  99,  101, 102, 106, 107, 108, 112, 113, 114, 119, 127, 128,
                                 149, 167, 168, 173, 177, 178, 193, 197, 204, 205, 206, 207, 209};
// Scenery that hangs from the cell above it.
static const uint8_t HANGS[] = {71, 72, 78, 93, 103, 104, 109};
// The upper parts of pieces, each over the part it stands on.
static const uint8_t UPPER[][2] = {{147, 167}, {148, 168}, {157, 177}, {158, 178}, {137, 157}, {138, 158}, {129, 149}};
// Reeds and cattails may stand in water as well as on the bank.
static const uint8_t WATER_SIDE[] = {95, 102, 149};
static const uint8_t TORCH = 74;

// The meadow and cave terrain: which of its tiles are edges, and which side each edge faces.
struct Terrain {
    uint8_t code;
    uint8_t family;  // 1 meadow, 2 cave
    uint8_t edges;   // bits 1 << side: the sides that are the terrain's outside
    uint8_t fill;    // 1: a fill, whose every side but the bottom joins more terrain or solid ground
};
static const Terrain TERRAIN[] = {
    {130, 1, 1 << 0 | 1 << 2, 0}, {131, 1, 1 << 2, 0}, {132, 1, 1 << 1 | 1 << 2, 0},
    {150, 1, 1 << 0, 0},          {151, 1, 0, 1},      {152, 1, 1 << 1, 0},
    {170, 1, 1 << 0 | 1 << 3, 0}, {171, 1, 1 << 3, 0}, {172, 1, 1 << 1 | 1 << 3, 0},
    {110, 2, 1 << 0 | 1 << 2, 0}, {111, 2, 1 << 2, 0}, {115, 2, 1 << 1 | 1 << 2, 0},
    {133, 2, 1 << 0, 0},          {134, 2, 0, 1},      {116, 2, 0, 1},
    {153, 2, 1 << 1, 0},          {154, 2, 1 << 3, 0},
};

template <size_t N>
static int listed(const uint8_t (&list)[N], int32_t code) {
    return std::find(list, list + N, (uint8_t)code) != list + N;
}

static const Terrain* terrain_of(int32_t code) {
    for (const Terrain& t : TERRAIN)
        if (t.code == code) return &t;
    return nullptr;
}

static bool is_water(int32_t code) {
    // A steelfish's spawn cell turns into water.
    return code == CODE_WATER || code == CODE_STEELFISH || code == 145 || code == 146 ||
           (code >= CODE_WATER_SURFACE && code <= CODE_WATER_LAST);
}

std::vector<SceneryFault> find_scenery_faults(const uint8_t* level, int32_t size) {
    std::vector<SceneryFault> faults;
    if (size < LEVEL_HEADER_BYTES) return faults;
    int32_t columns = (size - LEVEL_HEADER_BYTES) / MAP_ROWS;
    const uint8_t* cells = level + LEVEL_HEADER_BYTES;
    // Outside the map: rock at the ends (the game's walls), nothing above, the pit below.
    auto at = [&](int32_t c, int32_t r) -> int32_t {
        if (r < 0 || r >= MAP_ROWS) return -1;
        if (c < 0 || c >= columns) return -2;
        return cells[c * MAP_ROWS + r];
    };
    // An elevator's start is no ground: the elevator moves away.
    auto solid = [&](int32_t code) {
        return code == -2 || (code >= 0 && code != CODE_ELEVATOR && tile_kind_of(code) == TILE_SOLID);
    };
    for (int32_t c = 0; c < columns; c++)
        for (int32_t r = 0; r < MAP_ROWS; r++) {
            int32_t code = at(c, r);
            int32_t below = at(c, r + 1);
            auto fault = [&](int32_t kind, int32_t side) { faults.push_back(SceneryFault{c, r, code, kind, side}); };
            if (listed(STANDS, code)) {
                int ok = solid(below) || (listed(WATER_SIDE, code) && is_water(below));
                if (!ok) fault(FAULT_FLOATS, 3);
            }
            for (const auto& u : UPPER)
                if (u[0] == code && below != u[1]) fault(FAULT_FLOATS, 3);
            if (listed(HANGS, code) && !solid(at(c, r - 1)) && at(c, r - 1) != code) fault(FAULT_HANGS_FREE, 2);
            if (code == TORCH && !solid(at(c - 1, r)) && !solid(at(c + 1, r))) fault(FAULT_OFF_THE_WALL, 0);
            const Terrain* t = terrain_of(code);
            if (!t) continue;
            const int32_t dc[4] = {-1, 1, 0, 0};
            const int32_t dr[4] = {0, 0, -1, 1};
            for (int32_t side = 0; side < 4; side++) {
                int32_t next = at(c + dc[side], r + dr[side]);
                const Terrain* n = terrain_of(next);
                int32_t same = n && n->family == t->family;
                // The side across from an edge may be open too: the terrain has no
                // pieces one cell thin, and the cave none for an underside's ends.
                int32_t across = side ^ 1;
                int32_t may_open = ((t->edges >> across) & 1) || (t->family == 2 && (t->edges >> 3) & 1);
                if ((t->edges >> side) & 1) {
                    // An edge faces the outside: the terrain must not go on there.
                    if (same) fault(FAULT_STRAY_EDGE, side);
                } else if (side != 3 && !may_open && !solid(next) && !is_water(next) && next != -1) {
                    // Every other side but the bottom joins terrain, solid ground or water.
                    fault(FAULT_OPEN_FILL, side);
                }
            }
        }
    return faults;
}

// What makes a column more than walking: enemies, pickups that need a jump do
// not count (they are on the way), but anything that asks the player to act does.
static int eventful(int32_t code) {
    static const uint8_t EVENTS[] = {CODE_UFO,           CODE_BUG,        CODE_STONEBAT,  CODE_STEELFISH,
                                     CODE_ANDROID,       CODE_BUMP,       CODE_CRUMBLING, CODE_BREAKABLE,
                                     CODE_TRAPDOOR_OPEN, CODE_SPIKE_TRAP, CODE_ELEVATOR,  CODE_EXTRA_LIFE};
    return listed(EVENTS, code) || is_water(code) || tile_kind_of(code) == TILE_DEADLY;
}

int32_t longest_plain_walk(const uint8_t* level, int32_t size, int32_t* first) {
    *first = -1;
    if (size < LEVEL_HEADER_BYTES) return 0;
    int32_t columns = (size - LEVEL_HEADER_BYTES) / MAP_ROWS;
    const uint8_t* cells = level + LEVEL_HEADER_BYTES;
    int32_t best = 0;
    int32_t run = 0;
    int32_t previous_ground = -1;
    // Only the way that is played: up to the exit.
    int32_t last = columns;
    for (int32_t i = 0; i < columns * MAP_ROWS; i++)
        if (cells[i] == CODE_EXIT_OPEN_TOP_LEFT) {
            last = i / MAP_ROWS;
            break;
        }
    for (int32_t c = 0; c < last; c++) {
        // The ground is the highest solid cell under open air, from the bottom up.
        int32_t ground = -1;
        int plain = 1;
        for (int32_t r = MAP_ROWS - 1; r >= 0; r--) {
            int32_t code = cells[c * MAP_ROWS + r];
            if (eventful(code)) plain = 0;
            if (ground < 0 || ground == r + 1) {
                if (tile_kind_of(code) == TILE_SOLID) ground = r;
            }
        }
        if (ground < 0 || ground != previous_ground) plain = 0;
        previous_ground = ground;
        run = plain ? run + 1 : 0;
        if (run > best) {
            best = run;
            *first = c - run + 1;
        }
    }
    return best;
}
