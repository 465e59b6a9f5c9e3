// The play screen: backdrop, tile layers, sprites, bars, status line, messages.
#ifndef WORLD_PLAYSCREEN_H
#define WORLD_PLAYSCREEN_H

#include "floob.h"

struct Enemy;

// What the play screen shows beyond the world: the level (0: the title's scenery, without
// bars, status line or messages), the pause menu and its highlighted entry (1 SUICIDE,
// 2 GO ON, 3 EXIT), and a quit under way, which hides the messages.
struct PlayView {
    int32_t level;
    int32_t paused;
    int32_t pause_cursor;
    int32_t quitting;
};

// Composes the play screen of the frame into the frame surface: backdrop, bars, the back
// tiles, elevators, enemies, the hero, the front tiles and, on a play level, the status
// line and the messages. The title draws its own elements over it.
void draw_play_screen(int32_t frame, const Hero* hero, const PlayView* view);
void draw_tile_layer(int32_t frame, int32_t layer);
void draw_enemy(const Enemy* e);
void draw_background_strip(SDL_Surface* image, int32_t y, int32_t height, int32_t offset, int32_t source_y);

#endif
