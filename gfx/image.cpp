#include "gfx/image.h"

#include <stdio.h>
#include <stdlib.h>

#include "floob.h"
#include "gfx/video.h"
#include "storage/archive.h"
#include "storage/userfile.h"

enum { TILE_SIZE = 16, TILE_SHEET_COLUMNS = 20, PHASED_STRIP_Y = 128, PHASED_STRIP_WIDTH = 32 };
// The game's largest image is the 512-pixel-wide backdrop; a bitmap wider or
// taller than this is no image of the game, however small its entry.
enum { BMP_MAX_SIDE = 1024 };
enum { DIM_WIDTH = 320, DIM_HEIGHT = 192, DIM_ALPHA = 128, PLAY_AREA_ROWS = 192 };

// The 240 tiles cut from "blocks" by tiles_init (null before and after tiles_free),
// and the four pairs of water tiles the play screen animates.
SDL_Surface* tile_images[TILE_COUNT];
SDL_Surface* phased_tiles[PHASED_PAIRS][2];
static SDL_Surface* dim_panel = nullptr;  // the half-transparent panel, made by dim_panel_init

static SDL_Rect shared_rect;  // fill_rect's rectangle, filled in at each call

// Writes the bytes that would not decode to "fuu.xxx" for inspection, like a
// player's file (never through a link planted there); skipped when it cannot
// be written (read-only directory).
static void dump_undecodable(const uint8_t* bytes, uint32_t size) { write_user_file("./fuu.xxx", bytes, size); }

static uint32_t read_le(const uint8_t* b, int n) {
    uint32_t v = 0;
    for (int k = n - 1; k >= 0; k--) v = (v << 8) | b[k];
    return v;
}

// The BMP decoder trusts the header's palette size and picture size; a header
// outside what a real bitmap can hold is refused before it gets there.
static int bmp_header_sane(const uint8_t* bytes, uint32_t size) {
    if (size < 26 || bytes[0] != 'B' || bytes[1] != 'M') return 0;
    uint32_t header = read_le(bytes + 14, 4);
    if (header == 12) {
        // The old core header: 16-bit sizes, no compression.
        uint32_t core_width = read_le(bytes + 18, 2);
        uint32_t core_height = read_le(bytes + 20, 2);
        uint32_t core_bits = read_le(bytes + 24, 2);
        if (core_width < 1 || core_width > BMP_MAX_SIDE || core_height < 1 || core_height > BMP_MAX_SIDE) return 0;
        return core_bits == 1 || core_bits == 4 || core_bits == 8 || core_bits == 24;
    }
    if (header < 40 || size < 14 + 40) return 0;
    int32_t width = (int32_t)read_le(bytes + 18, 4);
    int32_t height = (int32_t)read_le(bytes + 22, 4);
    uint32_t bits = read_le(bytes + 28, 2);
    uint32_t colours = read_le(bytes + 46, 4);
    if (width < 1 || width > BMP_MAX_SIDE || height == 0 || height > BMP_MAX_SIDE || height < -BMP_MAX_SIDE) return 0;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return 0;
    if (bits <= 8 && colours > 256) return 0;
    return 1;
}

static SDL_Surface* require_frame_surface(const char* what) {
    if (!frame_surface) fatal_error(what, "no video mode");
    return frame_surface;
}

SDL_Surface* load_image(const char* name, ImageKey key) {
    uint32_t size = 0;
    uint8_t* bytes = archive_load(ARCHIVE_GFX, name, "bmp", &size);
    if (!bytes) fatal_error("Error loading gfx file", name);
    SDL_Surface* image = decode_image(name, bytes, size, key);
    free(bytes);
    return image;
}

// Decodes BMP bytes and converts them to the frame format; null when the bytes are
// not a bitmap the decoder accepts (SDL's error text says why).
static SDL_Surface* decode_and_convert(const char* name, const uint8_t* bytes, uint32_t size, ImageKey key) {
    SDL_Surface* frame = require_frame_surface("Unable to convert bitmap");
    SDL_RWops* stream = SDL_RWFromMem(const_cast<uint8_t*>(bytes), (int)size);
    if (!stream) fatal_error("Unable to load bitmap", SDL_GetError());
    SDL_Surface* decoded = nullptr;
    if (bmp_header_sane(bytes, size))
        decoded = SDL_LoadBMP_RW(stream, 0);
    else
        SDL_SetError("Malformed BMP header");
    if (!decoded) {
        SDL_FreeRW(stream);
        return nullptr;
    }
    Uint32 flags;
    if (key == IMAGE_KEYED) {
        set_colour_key(decoded, KEY_RED, KEY_GREEN, KEY_BLUE);
        flags = SDL_SRCCOLORKEY | SDL_HWSURFACE;
    } else {
        SDL_SetColorKey(decoded, 0, 0);
        flags = SDL_HWSURFACE;
    }
    SDL_Surface* converted = SDL_ConvertSurface(decoded, frame->format, flags);
    SDL_FreeSurface(decoded);
    SDL_FreeRW(stream);
    if (!converted) fatal_error("Unable to convert bitmap", name);
    return converted;
}

SDL_Surface* decode_image(const char* name, const uint8_t* bytes, uint32_t size, ImageKey key) {
    SDL_Surface* image = decode_and_convert(name, bytes, size, key);
    if (!image) {
        dump_undecodable(bytes, size);
        fatal_error("Unable to load bitmap", SDL_GetError());
    }
    return image;
}

SDL_Surface* load_optional_image(const char* name, ImageKey key) {
    if (!frame_surface) return nullptr;
    uint32_t size = 0;
    uint8_t* bytes = archive_load(ARCHIVE_GFX, name, "bmp", &size);
    if (!bytes) return nullptr;
    SDL_Surface* image = decode_and_convert(name, bytes, size, key);
    free(bytes);
    return image;
}

void set_colour_key(SDL_Surface* surface, int red, int green, int blue) {
    if (!surface) return;
    SDL_Palette* palette = surface->format->palette;
    if (palette && palette->ncolors > 0) {
        Uint32 index = 0;
        for (int i = 0; i < palette->ncolors; i++) {
            const SDL_Color* c = &palette->colors[i];
            if (c->r == red && c->g == green && c->b == blue) {
                index = (Uint32)i;
                break;
            }
        }
        SDL_SetColorKey(surface, SDL_SRCCOLORKEY, index);
        return;
    }
    Uint32 key = SDL_MapRGB(surface->format, (Uint8)red, (Uint8)green, (Uint8)blue);
    if (surface->format->BytesPerPixel != 2) {
        SDL_SetColorKey(surface, SDL_SRCCOLORKEY, key);
        return;
    }
    // In 16-bit modes a surface without any key pixel is blitted as opaque,
    // which is faster than a keyed blit that never skips a pixel.
    int found = 0;
    if (SDL_LockSurface(surface) == 0) {
        for (int y = 0; y < surface->h && !found; y++) {
            const Uint16* row =
                reinterpret_cast<const Uint16*>(static_cast<const Uint8*>(surface->pixels) + y * surface->pitch);
            for (int x = 0; x < surface->w; x++) {
                if (row[x] == key) {
                    found = 1;
                    break;
                }
            }
        }
        SDL_UnlockSurface(surface);
    }
    if (found)
        SDL_SetColorKey(surface, SDL_SRCCOLORKEY, key);
    else
        SDL_SetColorKey(surface, 0, 0);
}

SDL_Surface* create_surface(int width, int height, int keyed) {
    SDL_PixelFormat* f = require_frame_surface("Unable to create surface")->format;
    Uint32 flags = keyed ? (SDL_SRCCOLORKEY | SDL_HWSURFACE) : SDL_HWSURFACE;
    SDL_Surface* surface =
        SDL_CreateRGBSurface(flags, width, height, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, f->Amask);
    if (!surface) fatal_error("Unable to create surface", SDL_GetError());
    fill_rect(surface, 0, 0, width, height, COLOUR_BLACK);
    return surface;
}

void fill_rect(SDL_Surface* surface, int x, int y, int width, int height, uint32_t colour) {
    shared_rect.x = (Sint16)x;
    shared_rect.y = (Sint16)y;
    shared_rect.w = (Uint16)width;
    shared_rect.h = (Uint16)height;
    SDL_FillRect(surface, &shared_rect, colour);
}

void blit_at(SDL_Surface* source, int x, int y, SDL_Surface* destination) {
    if (!source || !destination) return;
    SDL_Rect from = {0, 0, (Uint16)source->w, (Uint16)source->h};
    SDL_Rect to = {(Sint16)x, (Sint16)y, 0, 0};
    SDL_BlitSurface(source, &from, destination, &to);
}

void free_image(SDL_Surface* image) {
    if (image) SDL_FreeSurface(image);
}

// Copies a w x h block of the sheet at (sx, sy) to (dx, 0) of a tile.
static void copy_block(SDL_Surface* sheet, int sx, int sy, int w, SDL_Surface* tile, int dx) {
    if (w <= 0) return;
    SDL_Rect from = {(Sint16)sx, (Sint16)sy, (Uint16)w, TILE_SIZE};
    SDL_Rect to = {(Sint16)dx, 0, 0, 0};
    SDL_BlitSurface(sheet, &from, tile, &to);
}

int tiles_init() {
    SDL_Surface* sheet = load_image("blocks", IMAGE_OPAQUE);
    for (int n = 0; n < TILE_COUNT; n++) {
        SDL_Surface* tile = create_surface(TILE_SIZE, TILE_SIZE, 1);
        copy_block(sheet, (n % TILE_SHEET_COLUMNS) * TILE_SIZE, (n / TILE_SHEET_COLUMNS) * TILE_SIZE, TILE_SIZE, tile,
                   0);
        set_colour_key(tile, KEY_RED, KEY_GREEN, KEY_BLUE);
        tile_images[n] = tile;
    }
    // Each pair shows the 32-pixel strip rotated left by a pixels, so that the
    // two halves stay seamless across their common edge.
    for (int i = 0; i < PHASED_PAIRS; i++) {
        int a = rand() % 15;
        SDL_Surface* first = create_surface(TILE_SIZE, TILE_SIZE, 1);
        SDL_Surface* second = create_surface(TILE_SIZE, TILE_SIZE, 1);
        copy_block(sheet, a, PHASED_STRIP_Y, TILE_SIZE, first, 0);
        copy_block(sheet, a + TILE_SIZE, PHASED_STRIP_Y, PHASED_STRIP_WIDTH - a - TILE_SIZE, second, 0);
        copy_block(sheet, 0, PHASED_STRIP_Y, a, second, TILE_SIZE - a);
        set_colour_key(first, KEY_RED, KEY_GREEN, KEY_BLUE);
        set_colour_key(second, KEY_RED, KEY_GREEN, KEY_BLUE);
        phased_tiles[i][0] = first;
        phased_tiles[i][1] = second;
    }
    free_image(sheet);
    return 1;
}

void tiles_free() {
    for (int n = 0; n < TILE_COUNT; n++) {
        free_image(tile_images[n]);
        tile_images[n] = nullptr;
    }
    for (int i = 0; i < PHASED_PAIRS; i++) {
        for (int k = 0; k < 2; k++) {
            free_image(phased_tiles[i][k]);
            phased_tiles[i][k] = nullptr;
        }
    }
}

// Sprites are cut off at the bottom of the play area, so that a hero falling
// out of the map never covers the bars below it.
void draw_tile(int32_t view_x, int32_t x, int32_t y, int32_t n) {
    int32_t c = view_x;
    if (x + TILE_SIZE < c || x > c + 320 || y < -15 || y >= PLAY_AREA_ROWS) return;
    if (n < 0 || n >= TILE_COUNT || !tile_images[n] || !frame_surface) return;
    int32_t rows = PLAY_AREA_ROWS - y < TILE_SIZE ? PLAY_AREA_ROWS - y : TILE_SIZE;
    SDL_Rect from = {0, 0, TILE_SIZE, (Uint16)rows};
    SDL_Rect to = {(Sint16)(x - c), (Sint16)y, 0, 0};
    SDL_BlitSurface(tile_images[n], &from, frame_surface, &to);
}

void dim_panel_init() {
    SDL_PixelFormat* f = require_frame_surface("Unable to create surface")->format;
    free_image(dim_panel);
    dim_panel = SDL_CreateRGBSurface(SDL_HWSURFACE, DIM_WIDTH, DIM_HEIGHT, f->BitsPerPixel, f->Rmask, f->Gmask,
                                     f->Bmask, f->Amask);
    if (!dim_panel) fatal_error("Unable to create surface", SDL_GetError());
    fill_rect(dim_panel, 0, 0, DIM_WIDTH, DIM_HEIGHT, COLOUR_BLACK);
    SDL_SetAlpha(dim_panel, SDL_SRCALPHA, DIM_ALPHA);
}

void draw_dim_panel() { blit_at(dim_panel, 0, 0, frame_surface); }

SDL_Surface* dim_panel_surface() { return dim_panel; }

void dim_panel_free() {
    free_image(dim_panel);
    dim_panel = nullptr;
}
