#include "gfx/font.h"

Font font_small = nullptr;
Font font_big = nullptr;

void fonts_load() {}
void fonts_free() {}
Font cut_glyphs(SDL_Surface*, int, int) { return nullptr; }
void free_font(Font) {}
void draw_text_n(SDL_Surface*, const char*, int, int, int, Font) {}
void draw_text(SDL_Surface*, const char*, int, int, Font) {}
void draw_text_centred(SDL_Surface*, const char*, int, Font) {}
void draw_number(SDL_Surface*, int, int, int, int, int, Font) {}
