#include "holes.h"

#include <SDL.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "floob.h"
#include "world/backdrop.h"
#include "storage/archive.h"
#include "world/actors.h"
#include "world/level.h"
#include "world/map.h"
#include "world/world.h"

enum { SHEET_COLUMNS = 20, SHEET_WIDTH = SHEET_COLUMNS * CELL_SIZE, SHEET_HEIGHT = 12 * CELL_SIZE };

static const char* const THEME_NAMES_TEXT[THEME_NAMES] = {"sky", "cave wall", "base wall", "earth wall", "water"};

const char* theme_name(int32_t bit_index) {
    return bit_index >= 0 && bit_index < THEME_NAMES ? THEME_NAMES_TEXT[bit_index] : "";
}

// The back walls, the scenery painted on them, and the water: what a cell
// that shows the backdrop can be enclosed by.
struct ThemeRange {
    int32_t first;
    int32_t last;
    int32_t theme;
};
static const ThemeRange THEME_CODES[] = {
    {60, 60, THEME_EARTH},  {70, 71, THEME_CAVE},    {75, 78, THEME_CAVE},
    {85, 85, THEME_WATER},  {145, 146, THEME_WATER}, {CODE_WATER_SURFACE, CODE_WATER_LAST, THEME_WATER},
    {190, 199, THEME_BASE}, {204, 207, THEME_BASE},  {208, 209, THEME_EARTH},
};

int32_t cell_theme(int32_t code) {
    for (const ThemeRange& t : THEME_CODES)
        if (code >= t.first && code <= t.last) return t.theme;
    return 0;
}

// What each backdrop shows, from map row 0 down: a wall of a theme, or open air.
struct BackdropTheme {
    const char* name;
    int32_t upper;  // rows 0 .. split - 1
    int32_t lower;  // rows split .. 11
    int32_t split;
};
static const BackdropTheme BACKDROP_THEMES[] = {
    {"back", THEME_SKY, THEME_SKY, MAP_ROWS},
    {"back-dusk", THEME_SKY, THEME_SKY, MAP_ROWS},
    {"back-lake", THEME_SKY, THEME_SKY, MAP_ROWS},
    {"back-cave", THEME_CAVE, THEME_CAVE, MAP_ROWS},
    {"back-base", THEME_BASE, THEME_BASE, MAP_ROWS},
    {"back-mine", THEME_CAVE | THEME_BASE, THEME_CAVE | THEME_BASE, MAP_ROWS},
};

int32_t backdrop_theme(const char* backdrop_name, int32_t row) {
    for (const BackdropTheme& b : BACKDROP_THEMES)
        if (backdrop_name && strcmp(backdrop_name, b.name) == 0) return row < b.split ? b.upper : b.lower;
    return THEME_SKY;
}

int read_tile_masks(const uint8_t* bmp, uint32_t size, TileMasks* masks) {
    memset(masks, 0, sizeof *masks);
    SDL_RWops* stream = SDL_RWFromMem(const_cast<uint8_t*>(bmp), (int)size);
    if (!stream) return 0;
    SDL_Surface* sheet = SDL_LoadBMP_RW(stream, 1);
    if (!sheet) return 0;
    int ok = sheet->w == SHEET_WIDTH && sheet->h == SHEET_HEIGHT && SDL_LockSurface(sheet) == 0;
    if (ok) {
        int bpp = sheet->format->BytesPerPixel;
        for (int32_t code = 1; code < TILE_CODES; code++) {
            int32_t sx = (code % SHEET_COLUMNS) * CELL_SIZE;
            int32_t sy = (code / SHEET_COLUMNS) * CELL_SIZE;
            for (int32_t y = 0; y < CELL_SIZE; y++) {
                const uint8_t* row = static_cast<const uint8_t*>(sheet->pixels) + (sy + y) * sheet->pitch;
                uint16_t bits = 0;
                for (int32_t x = 0; x < CELL_SIZE; x++) {
                    Uint32 pixel = 0;
                    memcpy(&pixel, row + (sx + x) * bpp, (size_t)bpp);
                    Uint8 r, g, b;
                    SDL_GetRGB(pixel, sheet->format, &r, &g, &b);
                    if (!(r == 255 && g == 0 && b == 255)) bits = (uint16_t)(bits | (1u << x));
                }
                masks->rows[code][y] = bits;
            }
        }
        SDL_UnlockSurface(sheet);
        // The ripple pair is drawn rotated by any offset: a row is only as opaque as its least opaque pixel.
        for (int32_t y = 0; y < CELL_SIZE; y++) {
            uint16_t* left = &masks->rows[CODE_WATER_SURFACE][y];
            uint16_t* right = &masks->rows[CODE_WATER_SURFACE + 1][y];
            uint16_t whole = (*left == 0xffff && *right == 0xffff) ? 0xffff : 0;
            *left = whole;
            *right = whole;
        }
    }
    SDL_FreeSurface(sheet);
    return ok;
}

int load_tile_masks(TileMasks* masks) {
    uint32_t size = 0;
    uint8_t* bytes = archive_load(ARCHIVE_GFX, "blocks", "bmp", &size);
    if (!bytes) return 0;
    int ok = read_tile_masks(bytes, size, masks);
    free(bytes);
    return ok;
}

int read_backdrop_look(const uint8_t* bmp, uint32_t size, BackdropLook* look) {
    memset(look, 0, sizeof *look);
    SDL_RWops* stream = SDL_RWFromMem(const_cast<uint8_t*>(bmp), (int)size);
    if (!stream) return 0;
    SDL_Surface* picture = SDL_LoadBMP_RW(stream, 1);
    if (!picture) return 0;
    static const Uint8 BLUES[][3] = {
        {0x0e, 0x2a, 0x4a}, {0x1d, 0x4f, 0x8a}, {0x3a, 0x86, 0xc8}, {0x7a, 0xc4, 0xf0}, {0xc0, 0xec, 0xff}};
    int ok = picture->w > 0 && picture->h > 0 && SDL_LockSurface(picture) == 0;
    if (ok) {
        int bpp = picture->format->BytesPerPixel;
        // The picture's bottom row is behind the map's last pixel row.
        int32_t top = MAP_HEIGHT - picture->h;
        int32_t least[MAP_ROWS];
        for (int32_t r = 0; r < MAP_ROWS; r++) least[r] = 100;
        for (int32_t y = 0; y < MAP_HEIGHT; y++) {
            int32_t row = y / CELL_SIZE;
            if (y < top) {
                least[row] = 0;  // above the picture: the black above it
                continue;
            }
            const uint8_t* line = static_cast<const uint8_t*>(picture->pixels) + (y - top) * picture->pitch;
            int32_t blue = 0;
            for (int32_t x = 0; x < picture->w; x++) {
                Uint32 pixel = 0;
                memcpy(&pixel, line + x * bpp, (size_t)bpp);
                Uint8 c[3];
                SDL_GetRGB(pixel, picture->format, &c[0], &c[1], &c[2]);
                for (const auto& b : BLUES)
                    if (c[0] == b[0] && c[1] == b[1] && c[2] == b[2]) blue++;
            }
            least[row] = std::min(least[row], blue * 100 / picture->w);
        }
        for (int32_t r = 0; r < MAP_ROWS; r++) look->water[r] = least[r] >= 90;
        SDL_UnlockSurface(picture);
    }
    SDL_FreeSurface(picture);
    return ok;
}

int load_backdrop_look(const char* backdrop_name, BackdropLook* look) {
    uint32_t size = 0;
    uint8_t* bytes = archive_load(ARCHIVE_GFX, backdrop_name, "bmp", &size);
    if (!bytes) return 0;
    int ok = read_backdrop_look(bytes, size, look);
    free(bytes);
    return ok;
}

// The codes a cell goes through once the hero has set it off, as the game's
// own tile effects write them; empty for a cell that never changes.
static std::vector<int32_t> effect_codes(int32_t code) {
    static const int32_t CODE_EFFECTS[][2] = {
        {CODE_EMERALD, EFFECT_CLEAR},
        {CODE_EXTRA_LIFE, EFFECT_CLEAR},
        {CODE_BREAKABLE, EFFECT_BREAK},
        {CODE_CRUMBLING, EFFECT_CRUMBLE},
        {CODE_BUMP, EFFECT_BUMP},
        {CODE_SPIKE_TRAP, EFFECT_SPIKES},
        {CODE_TRAPDOOR_OPEN, EFFECT_TRAPDOOR},
        {CODE_POST_LOWERED, EFFECT_CHECKPOINT},
    };
    std::vector<int32_t> codes;
    int32_t kind = 0;
    for (const auto& ce : CODE_EFFECTS)
        if (ce[0] == code) kind = ce[1];
    if (!kind) return codes;
    // Played on cell 0 of the loaded map, which is put back afterwards.
    int32_t kept = map_cells[0];
    map_cells[0] = code;
    clear_tile_effects();
    start_tile_effect(0, 0, kind);
    for (int32_t frame = 0; frame < 100 && tile_effect_at(0, 0); frame++) {
        update_tile_effects();
        if (codes.empty() || codes.back() != map_cells[0]) codes.push_back(map_cells[0]);
    }
    clear_tile_effects();
    map_cells[0] = kept;
    return codes;
}

// The cells of every view: as loaded with every column's enemies spawned (the
// camera spawns each column before it comes into view), then each step of the
// effects, the exit open from the first step on.
static std::vector<std::vector<int32_t>> make_views() {
    int32_t cells = map_columns * MAP_ROWS;
    for (int32_t c = 0; c < map_columns; c++) {
        spawn_column(c * CELL_SIZE);
        clear_enemies();
    }
    std::vector<std::vector<int32_t>> views(HOLE_VIEWS, std::vector<int32_t>(map_cells, map_cells + cells));
    std::vector<int32_t> sequence[TILE_CODES];
    for (int32_t code = 0; code < TILE_CODES; code++) sequence[code] = effect_codes(code);
    for (int32_t i = 0; i < cells; i++) {
        int32_t code = views[0][(size_t)i];
        if (code < 0 || code >= TILE_CODES || sequence[code].empty()) continue;
        const std::vector<int32_t>& s = sequence[code];
        for (int32_t v = 1; v < HOLE_VIEWS; v++) views[(size_t)v][(size_t)i] = s[std::min((size_t)v - 1, s.size() - 1)];
    }
    for (int32_t v = 1; v < HOLE_VIEWS; v++)
        for (int32_t k = 0; k < 4; k++) {
            int32_t at = exit_cell + EXIT_OFFSETS[k];
            if (at >= 0 && at < cells) views[(size_t)v][(size_t)at] = EXIT_OPEN_CODES[k];
        }
    return views;
}

// Whether the backdrop may show through a region enclosed by these themes in
// this map row. A backdrop of the wall's own theme excuses a region only where
// the region opens onto a room (less than half of its rim is back wall): a
// square of it inside a back wall still reads as a hole, as the backdrop is
// another picture (another shade and pattern, scrolled at half speed). Water
// alone may show a backdrop that is water there.
static int backdrop_excuses(const char* backdrop, int32_t row, int32_t themes, int32_t enclosed) {
    if (!(backdrop_theme(backdrop, row) & themes)) return 0;
    return themes == THEME_WATER || !enclosed;
}

// Whether the backdrop fills the play area in every row with a theme of walls
// (a cave, the base): then the top of the map is the ceiling, not open air.
static int backdrop_fills(const char* backdrop) {
    for (int32_t row = 0; row < MAP_ROWS; row++)
        if (!(backdrop_theme(backdrop, row) & (THEME_CAVE | THEME_BASE))) return 0;
    return 1;
}

// One view being searched for holes: its cells as the tiles cover them, and the
// holes found so far in every view (a cell is kept once, in its first view).
struct HoleSearch {
    const std::vector<int32_t>& cells;
    int32_t view;
    const char* backdrop;
    const TileMasks& masks;
    std::vector<Hole>& holes;
    std::vector<int32_t>& hole_view;  // per cell, the index of its hole or -1
    int32_t width, height;
    std::vector<int32_t> cell_pixels;  // per cell, its pixels that show the backdrop in this view

    int32_t code_at(int32_t x, int32_t y) const { return cells[(size_t)(x / CELL_SIZE) * MAP_ROWS + y / CELL_SIZE]; }
    int32_t opaque(int32_t x, int32_t y) const {
        int32_t code = code_at(x, y);
        if (code < 0 || code > 255) return 0;
        return (masks.rows[code][y % CELL_SIZE] >> (x % CELL_SIZE)) & 1;
    }
    // Keeps the hole unless its cell has one already; whether the cell's hole is this view's.
    bool note(int32_t cell, const Hole& hole) {
        if (hole_view[(size_t)cell] < 0) {
            hole_view[(size_t)cell] = (int32_t)holes.size();
            holes.push_back(hole);
        }
        return holes[(size_t)hole_view[(size_t)cell]].view == view;
    }
    // The see-through pixels of a tile.
    int32_t open_pixels(int32_t code) const {
        int32_t open = 0;
        for (int32_t y = 0; y < CELL_SIZE; y++) open += CELL_SIZE - __builtin_popcount(masks.rows[code][y]);
        return open;
    }
};

// The region of connected see-through pixels from start, marked in seen: the themes
// around it (water only below it is a surface seen from the air above, not an
// enclosure), whether it reaches the top of the map, and whether back walls make up
// at least half of its rim.
struct Region {
    std::vector<int32_t> pixels;
    int32_t themes = 0;
    int reaches_top = 0;
    int32_t enclosed = 0;
};

static void fill_region(const HoleSearch& h, int32_t start, std::vector<uint8_t>& seen, Region& r) {
    r.pixels.clear();
    r.pixels.push_back(start);
    seen[(size_t)start] = 1;
    r.themes = 0;
    r.reaches_top = 0;
    int32_t wall_rim = 0, other_rim = 0;
    for (size_t k = 0; k < r.pixels.size(); k++) {
        int32_t x = r.pixels[k] % h.width;
        int32_t y = r.pixels[k] / h.width;
        if (y == 0) r.reaches_top = 1;
        const int32_t nx[4] = {x - 1, x + 1, x, x};
        const int32_t ny[4] = {y, y, y - 1, y + 1};
        for (int32_t d = 0; d < 4; d++) {
            if (nx[d] < 0 || nx[d] >= h.width || ny[d] < 0 || ny[d] >= h.height) continue;
            int32_t at = ny[d] * h.width + nx[d];
            if (h.opaque(nx[d], ny[d])) {
                int32_t theme = cell_theme(h.code_at(nx[d], ny[d]));
                if (d != 3 || theme != THEME_WATER) r.themes |= theme;
                if (theme & ~THEME_WATER)
                    wall_rim++;
                else
                    other_rim++;
            } else if (!seen[(size_t)at]) {
                seen[(size_t)at] = 1;
                r.pixels.push_back(at);
            }
        }
    }
    r.enclosed = wall_rim >= other_rim;
}

// The regions of connected see-through pixels that do not reach the top of the map,
// that touch a back wall or water, and where the backdrop shows none of their themes.
static void enclosed_holes(HoleSearch& h) {
    std::vector<uint8_t> seen((size_t)h.width * h.height, 0);
    Region r;
    for (int32_t start = 0; start < h.width * h.height; start++) {
        if (seen[(size_t)start] || h.opaque(start % h.width, start / h.width)) continue;
        fill_region(h, start, seen, r);
        if (r.reaches_top || !r.themes) continue;
        for (int32_t p : r.pixels) {
            int32_t x = p % h.width;
            int32_t y = p / h.width;
            if (backdrop_excuses(h.backdrop, y / CELL_SIZE, r.themes, r.enclosed)) continue;
            int32_t cell = (x / CELL_SIZE) * MAP_ROWS + y / CELL_SIZE;
            h.cell_pixels[(size_t)cell]++;
            if (h.hole_view[(size_t)cell] >= 0) continue;
            h.note(cell, Hole{x / CELL_SIZE, y / CELL_SIZE, h.cells[(size_t)cell], h.view, r.themes, 0, 0});
        }
    }
}

// Where the backdrop is water, a see-through pixel must lie in water: water at both
// ends of its run of see-through pixels along the row, or right above it. Anywhere
// else it shows water without a surface.
static void water_without_surface(HoleSearch& h, const BackdropLook& look) {
    std::vector<int32_t> above((size_t)h.width, 0);  // theme of the nearest opaque pixel above
    for (int32_t y = 0; y < h.height; y++) {
        int water_row = look.water[y / CELL_SIZE];
        for (int32_t x = 0; x < h.width;) {
            if (h.opaque(x, y)) {
                above[(size_t)x] = cell_theme(h.code_at(x, y));
                x++;
                continue;
            }
            int32_t end = x;
            while (end < h.width && !h.opaque(end, y)) end++;
            if (water_row) {
                int32_t left = x > 0 ? cell_theme(h.code_at(x - 1, y)) : 0;
                int32_t right = end < h.width ? cell_theme(h.code_at(end, y)) : 0;
                int run_in_water = (left & right & THEME_WATER) != 0;
                for (int32_t px = x; px < end; px++) {
                    if (run_in_water || (above[(size_t)px] & THEME_WATER)) continue;
                    int32_t cell = (px / CELL_SIZE) * MAP_ROWS + y / CELL_SIZE;
                    if (h.note(cell,
                               Hole{px / CELL_SIZE, y / CELL_SIZE, h.cells[(size_t)cell], h.view, THEME_WATER, 0, 1}))
                        h.cell_pixels[(size_t)cell]++;
                }
            }
            x = end;
        }
    }
}

// Behind a cave or the base the top edge of the map is the ceiling: a cell that
// shows the backdrop along it is a gap cut into the ceiling.
static void ceiling_gaps(HoleSearch& h) {
    if (!backdrop_fills(h.backdrop)) return;
    for (int32_t c = 0; c < map_columns; c++) {
        int32_t cell = c * MAP_ROWS;
        int32_t code = h.cells[(size_t)cell];
        if (code < 0 || code > 255 || h.masks.rows[code][0] == 0xffff) continue;
        int32_t open = h.open_pixels(code);
        if (!open) continue;
        if (h.note(cell, Hole{c, 0, code, h.view, backdrop_theme(h.backdrop, 0), 0, 0}))
            h.cell_pixels[(size_t)cell] = open;
    }
}

// A cell between two cells of one theme, over that theme or the ground, lies in it
// even where its pixels join the open sky above (an emerald in the surface row of a
// pond, a shaft down into a tunnel).
static void gaps_between_walls(HoleSearch& h) {
    for (int32_t c = 1; c + 1 < map_columns; c++)
        for (int32_t r = 0; r + 1 < MAP_ROWS; r++) {
            int32_t cell = c * MAP_ROWS + r;
            int32_t code = h.cells[(size_t)cell];
            if (code < 0 || code > 255 || cell_theme(code)) continue;
            int32_t left = cell - MAP_ROWS, right = cell + MAP_ROWS, under = cell + 1;
            int32_t sides = cell_theme(h.cells[(size_t)left]) & cell_theme(h.cells[(size_t)right]);
            int32_t below = h.cells[(size_t)under];
            if (!sides || (!(cell_theme(below) & sides) && tile_kind_of(below) != TILE_SOLID)) continue;
            if (backdrop_excuses(h.backdrop, r, sides, 1)) continue;
            int32_t open = h.open_pixels(code);
            if (!open) continue;
            if (h.note(cell, Hole{c, r, code, h.view, sides, 0, 0})) h.cell_pixels[(size_t)cell] = open;
        }
}

// One view's holes, of every kind above, each with the pixels it shows the backdrop by.
static void view_holes(const std::vector<int32_t>& cells, int32_t view, const char* backdrop, const TileMasks& masks,
                       const BackdropLook* look, std::vector<Hole>& holes, std::vector<int32_t>& hole_view) {
    HoleSearch h = {cells,
                    view,
                    backdrop,
                    masks,
                    holes,
                    hole_view,
                    map_columns * CELL_SIZE,
                    MAP_HEIGHT,
                    std::vector<int32_t>((size_t)map_columns * MAP_ROWS, 0)};
    enclosed_holes(h);
    if (look) water_without_surface(h, *look);
    ceiling_gaps(h);
    gaps_between_walls(h);
    for (Hole& hole : holes)
        if (hole.view == view) hole.pixels = h.cell_pixels[(size_t)(hole.column * MAP_ROWS + hole.row)];
}

std::vector<Hole> find_holes(const uint8_t* level, int32_t size, int32_t title, const char* backdrop_name,
                             const TileMasks& masks, const BackdropLook* look) {
    std::vector<Hole> holes;
    world_new_game();
    if (!world_start_life_bytes(level, size, title)) return holes;
    std::vector<std::vector<int32_t>> views = make_views();
    std::vector<int32_t> hole_view((size_t)map_columns * MAP_ROWS, -1);
    for (int32_t v = 0; v < HOLE_VIEWS; v++)
        view_holes(views[(size_t)v], v, backdrop_name, masks, look, holes, hole_view);
    std::sort(holes.begin(), holes.end(),
              [](const Hole& a, const Hole& b) { return a.column != b.column ? a.column < b.column : a.row < b.row; });
    return holes;
}

void level_backdrop_name(const char* map_name, char* out) {
    // The title always shows "back", whatever the table says.
    if (strcmp(map_name, level_map_name(0)) == 0 || !find_level_backdrop(map_name, out))
        memcpy(out, "back", sizeof "back");
}
