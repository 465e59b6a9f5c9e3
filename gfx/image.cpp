#include "gfx/image.h"

SDL_Surface* tile_images[TILE_COUNT];
SDL_Surface* phased_tiles[PHASED_PAIRS][2];
SDL_Surface* dim_panel = nullptr;

SDL_Surface* load_image(const char*, int, int, int, int) { return nullptr; }
SDL_Surface* decode_image(const char*, const uint8_t*, uint32_t, int, int, int, int) { return nullptr; }
void set_colour_key(SDL_Surface*, int, int, int) {}
SDL_Surface* create_surface(int, int, int) { return nullptr; }
void fill_rect(SDL_Surface*, int, int, int, int, uint32_t) {}
void blit_at(SDL_Surface*, int, int, SDL_Surface*) {}
void free_image(SDL_Surface*) {}
int tiles_init() { return 1; }
void tiles_free() {}
void draw_tile(int32_t, int32_t, int32_t) {}
void dim_panel_init() {}
void draw_dim_panel() {}
