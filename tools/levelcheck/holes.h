// The hole check: finds every map cell that can show the level's backdrop where
// it does not belong, in the level as loaded and at every step of everything
// the game empties or animates in a cell (the rules are in assets/maps/README.md).
#ifndef LEVELCHECK_HOLES_H
#define LEVELCHECK_HOLES_H

#include <stdint.h>

#include <vector>

// What a backdrop or an enclosure shows, as bits.
enum {
    THEME_SKY = 1 << 0,
    THEME_CAVE = 1 << 1,
    THEME_BASE = 1 << 2,
    THEME_EARTH = 1 << 3,
    THEME_WATER = 1 << 4,
    THEME_NAMES = 5
};

// The theme of a back wall or water code (the cells that make an enclosure), 0 for any other code.
int32_t cell_theme(int32_t code);

// What the named backdrop shows in map row 0..11; unknown names are the night sky.
int32_t backdrop_theme(const char* backdrop_name, int32_t row);

// Opaque pixels of every cell code as the play screen draws it: bit x of rows[code][y].
// Code 0 and the codes without an image are fully transparent; the rippling water
// surface counts a pixel as opaque only when its row of the ripple strip is opaque
// everywhere, as the game shows the strip at any offset.
struct TileMasks {
    uint16_t rows[256][16];
};

// Reads the tile sheet (the "blocks" bitmap, as the graphics archive holds it).
// Returns 0 when the bytes are not a bitmap of the sheet's size.
int read_tile_masks(const uint8_t* bmp, uint32_t size, TileMasks* masks);

// The same from the built graphics archive in ./data (the game's own data folder).
int load_tile_masks(TileMasks* masks);

// Which map rows of a backdrop look like water: every pixel row behind the map
// row is nearly all of the palette's blues (the sky's blue bands are dithered
// with other colours, a painted lake is not).
struct BackdropLook {
    uint8_t water[12];
};

// Reads a backdrop picture (a bitmap as the graphics archive holds it, drawn
// with its bottom on the play area's last row). Returns 0 when the bytes are not a bitmap.
int read_backdrop_look(const uint8_t* bmp, uint32_t size, BackdropLook* look);

// The same for the named picture of the graphics archive in ./data (open).
int load_backdrop_look(const char* backdrop_name, BackdropLook* look);

struct Hole {
    int32_t column;
    int32_t row;
    int32_t code;    // what the cell shows at that moment
    int32_t view;    // 0 as loaded, 1.. the steps of emptying; HOLE_VIEWS - 1 all emptied
    int32_t themes;  // THEME_* of the enclosure around it
    int32_t pixels;  // how many of its pixels show the backdrop there
    int32_t water;   // 1: not a hole in a wall but backdrop water showing outside any water
};

enum { HOLE_VIEWS = 6 };

// Every cell that shows a hole in any view, each cell once (its first view).
// With a look of the backdrop, also every cell where the backdrop's water shows
// through a pixel that is not in water (a pit, air, an emptied cell): water is
// drawn only by water cells, with their surface.
// Loads the level through the game's loader (the world and the map are left
// holding it, the title level without a hero); an empty list when the loader refuses it.
std::vector<Hole> find_holes(const uint8_t* level, int32_t size, int32_t title, const char* backdrop_name,
                             const TileMasks& masks, const BackdropLook* look = nullptr);

// The backdrop the game shows behind the named map: its line in the backdrop
// table of the maps archive (open), or "back" (always for the title). Writes at most BACKDROP_NAME_BYTES bytes.
void level_backdrop_name(const char* map_name, char* out);

const char* theme_name(int32_t bit_index);

#endif
