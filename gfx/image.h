// Images, colour keys, tiles and the dim panel.
#ifndef GFX_IMAGE_H
#define GFX_IMAGE_H

#include <SDL.h>
#include <stdint.h>

enum { TILE_COUNT = 240, PHASED_PAIRS = 4 };

extern SDL_Surface* tile_images[TILE_COUNT];
extern SDL_Surface* phased_tiles[PHASED_PAIRS][2];

// The colour the art marks see-through: magenta.
enum { KEY_RED = 255, KEY_GREEN = 0, KEY_BLUE = 255 };
// Whether a picture is drawn with its magenta transparent.
enum ImageKey { IMAGE_OPAQUE = 0, IMAGE_KEYED = 1 };

SDL_Surface* load_image(const char* name, ImageKey key);
// Decodes BMP bytes as load_image does (name is used in messages only).
SDL_Surface* decode_image(const char* name, const uint8_t* bytes, uint32_t size, ImageKey key);
// As load_image, but an image that is missing or does not decode gives null instead of ending the game.
SDL_Surface* load_optional_image(const char* name, ImageKey key);
void set_colour_key(SDL_Surface* surface, int red, int green, int blue);
SDL_Surface* create_surface(int width, int height, int keyed);
void fill_rect(SDL_Surface* surface, int x, int y, int width, int height, uint32_t colour);
void blit_at(SDL_Surface* source, int x, int y, SDL_Surface* destination);
void free_image(SDL_Surface* image);
int tiles_init();
void tiles_free();
// Draws tile n at map position x, y into the frame, seen from a view whose left edge is view_x.
void draw_tile(int32_t view_x, int32_t x, int32_t y, int32_t n);
void dim_panel_init();
void draw_dim_panel();
// For tests: the panel made by dim_panel_init (null before), and its release.
SDL_Surface* dim_panel_surface();
void dim_panel_free();

#endif
