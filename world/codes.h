// The world's shared facts: the map's geometry, the frame counts of a life and
// the cell codes that play a part in the rules, named as the tile sheet
// (assets/gfx/blocks.sheet) and the level legend (assets/maps/legend.inc) name
// them. The game, the level compiler and the level checker all take them from here.
#ifndef WORLD_CODES_H
#define WORLD_CODES_H

#include "gfx/video.h"

// Geometry, in map pixels: the map fills the frame's play area.
enum {
    CELL_SIZE = 16,                 // a map cell, and every tile, is 16 x 16
    MAP_ROWS = 12,                  // every map is exactly 12 cells high
    MAP_HEIGHT = PLAY_AREA_HEIGHT,  // the play area; there is no vertical scrolling
    VIEW_WIDTH = FRAME_WIDTH,       // what the camera shows of the map
    LEVEL_HEADER_BYTES = 2,         // the level file's column count before its cells
    LEVEL_START_X = 16,             // the start of a new level before the map's own marker
    LEVEL_START_Y = 100
};
static_assert(MAP_ROWS * CELL_SIZE == MAP_HEIGHT, "the map's rows fill the play area");

// A life, in frames of 1/60 s.
enum {
    LEVEL_TIME_LIMIT = 7600,     // level_timer at the start of every life
    AIR_SUPPLY = 500,            // air at the start of every life
    AIR_REFILL_LIMIT = 498,      // out of the water, air grows by 2 while at or below this
    GET_READY_LAST_FRAME = 180,  // the world stands still during frames 0..180 of a life
    GET_READY_FRAMES = GET_READY_LAST_FRAME + 1,
    DEATH_COUNTDOWN = 180,  // frames a removed hero waits before the life is over
    HOP_END_Y = 2500,       // the death hop ends once the hero has fallen below this y
    START_LIVES = 6
};

// Cell codes (0..255) with a role in the rules.
enum {
    CODE_EMPTY = 0,
    CODE_START_FIRST = 1,  // 1..8: hero start markers
    CODE_START_LAST = 8,
    CODE_HERO_START = 65,  // hero start facing right
    CODE_HERO_START_LEFT = 68,
    CODE_UFO = 9,  // enemy spawn markers
    CODE_BUG = 13,
    CODE_STONEBAT = 33,
    CODE_STEELFISH = 53,
    CODE_ANDROID = 67,
    CODE_ANDROID_WALKING = 121,
    CODE_POST_LOWERED = 17,  // checkpoint post, before and after the hero passed it
    CODE_POST_RISING = 18,
    CODE_POST_RAISED = 19,
    CODE_BUMP = 20,  // bump block, bounces when hit from below
    CODE_CRUMBLING = 22,
    CODE_EXTRA_LIFE = 26,
    CODE_EXIT_OPEN_TOP_LEFT = 27,  // the open exit, a 2 x 2 block
    CODE_EXIT_OPEN_TOP_RIGHT = 28,
    CODE_EXIT_OPEN_BOTTOM_LEFT = 47,
    CODE_EXIT_OPEN_BOTTOM_RIGHT = 48,
    CODE_EXIT_CLOSED_TOP_LEFT = 38,  // the closed exit the loader writes while emeralds are left
    CODE_EXIT_CLOSED_TOP_RIGHT = 39,
    CODE_EXIT_CLOSED_BOTTOM_LEFT = 58,
    CODE_EXIT_CLOSED_BOTTOM_RIGHT = 59,
    CODE_BREAKABLE = 40,
    CODE_EMERALD = 41,
    CODE_ELEVATOR = 66,
    CODE_TRAPDOOR_CLOSED = 69,
    CODE_TRAPDOOR_OPEN = 88,
    CODE_TRAPDOOR_CLOSING = 89,
    CODE_WATER = 85,
    CODE_SPIKE_TRAP = 86,  // hidden spike trap, looks like the pebbles 25
    CODE_SPIKES_SPRINGING = 87,
    CODE_WATER_DEEP = 145,
    CODE_WATER_BUBBLES = 146,
    CODE_WATER_SURFACE = 160,  // 160 and 161 ripple; 160..166 are all water
    CODE_WATER_LAST = 166,
    CODE_PEBBLES = 25,        // scenery; a hidden spike trap looks like it
    CODE_SPIKES = 105,        // floor spikes, sprung from a trap
    CODE_BUMPING_FIRST = 80,  // a bump block's bump: 80, 100, 120 (a row of the sheet apart)
    CODE_BUMPING_SECOND = 100,
    CODE_BUMPING_THIRD = 120,
    CODE_CRUMBLING_FIRST = 180,  // 180..183: the crumbling floor's stages
    CODE_BREAKING_FIRST = 200    // 200..203: a breakable block's stages
};

// Sprite tiles: the enemies' frames besides their spawn markers (a spawn marker is
// each enemy's first frame), and the hero's idle pose.
enum {
    TILE_UFO_STUNNED = 12,          // flying, CODE_UFO to CODE_UFO + 2
    TILE_STONEBAT_WINGS_DOWN = 34,  // wings up is CODE_STONEBAT
    TILE_STONEBAT_WINGS_LEVEL = 57,
    TILE_STONEBAT_BREAKING = 35,      // 35..37: stomped
    TILE_ANDROID_WALKING_LEFT = 144,  // 144..141; going right, CODE_ANDROID_WALKING to + 3
    TILE_ANDROID_STUNNED = 125,       // and 126, just before it wakes
    HERO_FRAME_IDLE = 24              // Floob facing the player: idle pose, start pose, life icon
};

#endif
