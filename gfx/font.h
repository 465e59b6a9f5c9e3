// Bitmap fonts and text.
#ifndef GFX_FONT_H
#define GFX_FONT_H

#include <SDL.h>
#include <stdint.h>

typedef SDL_Surface** Font;  // null-terminated glyph array, glyph k = character 32 + k

extern Font font_small;  // 8 x 8, image "font"
extern Font font_big;    // 16 x 16, image "fontbig"

void fonts_load();
void fonts_free();
Font cut_glyphs(SDL_Surface* sheet, int w, int h);
void free_font(Font font);
void draw_text_n(SDL_Surface* destination, const char* text, int n, int x, int y, Font font);
void draw_text(SDL_Surface* destination, const char* text, int x, int y, Font font);
void draw_text_centred(SDL_Surface* destination, const char* text, int y, Font font);
// A line of a text screen: its message (storage/messages.h), centred at row y.
struct TextLine {
    int32_t y;
    int32_t message;
};
void draw_text_lines(SDL_Surface* destination, const TextLine* lines, int32_t count, Font font);
void draw_number(SDL_Surface* destination, int value, int x, int y, int digits, int zero_pad, Font font);

#endif
