#include "gfx/font.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "floob.h"
#include "gfx/image.h"

// Characters 32 to 255 have glyphs; a sheet with more cells gives no more.
// Code 127 has no character: its cell holds the box that stands for a
// character the font lacks.
enum {
    FONT_FIRST_CODE = 32,
    FONT_MAX_GLYPHS = 256 - FONT_FIRST_CODE,
    FONT_BOX_GLYPH = 127 - FONT_FIRST_CODE,
    FONT_CENTRE_X = 160,
    FONT_NUMBER_BYTES = 16
};

// The two fonts, loaded by fonts_load and released by fonts_free.
Font font_small = nullptr;
Font font_big = nullptr;

static char number_text[FONT_NUMBER_BYTES];  // draw_number's digits, written at each call

static int32_t count_glyphs(Font font) {
    int32_t n = 0;
    while (font[n]) n++;
    return n;
}

void fonts_load() {
    SDL_Surface* sheet = load_image("font", IMAGE_OPAQUE);
    font_small = cut_glyphs(sheet, 8, 8);
    free_image(sheet);
    sheet = load_image("fontbig", IMAGE_OPAQUE);
    font_big = cut_glyphs(sheet, 16, 16);
    free_image(sheet);
}

void fonts_free() {
    free_font(font_small);
    free_font(font_big);
    font_small = nullptr;
    font_big = nullptr;
}

Font cut_glyphs(SDL_Surface* sheet, int w, int h) {
    int columns = (sheet && w > 0) ? sheet->w / w : 0;
    int rows = (sheet && h > 0) ? sheet->h / h : 0;
    int count = columns * rows < FONT_MAX_GLYPHS ? columns * rows : FONT_MAX_GLYPHS;
    Font font = static_cast<Font>(calloc((size_t)count + 1, sizeof(SDL_Surface*)));
    if (!font) fatal_error("Unable to create surface", "font");
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < columns && i * columns + j < count; j++) {
            SDL_Surface* glyph = create_surface(w, h, 1);
            SDL_Rect from = {(Sint16)(j * w), (Sint16)(i * h), (Uint16)w, (Uint16)h};
            SDL_Rect to = {0, 0, 0, 0};
            SDL_BlitSurface(sheet, &from, glyph, &to);
            set_colour_key(glyph, KEY_RED, KEY_GREEN, KEY_BLUE);
            font[i * columns + j] = glyph;
        }
    }
    return font;
}

void free_font(Font font) {
    if (!font) return;
    for (int32_t k = 0; font[k]; k++) free_image(font[k]);
    free(font);
}

// The outline of a cell, for a character that a font without a box glyph lacks.
static void draw_missing_cell(SDL_Surface* destination, int x, int y, int w, int h) {
    Uint32 colour = SDL_MapRGB(destination->format, 255, 255, 255);
    SDL_Rect edges[4] = {{(Sint16)(x + 1), (Sint16)y, (Uint16)(w - 2), 1},
                         {(Sint16)(x + 1), (Sint16)(y + h - 2), (Uint16)(w - 2), 1},
                         {(Sint16)(x + 1), (Sint16)y, 1, (Uint16)(h - 1)},
                         {(Sint16)(x + w - 2), (Sint16)y, 1, (Uint16)(h - 1)}};
    for (SDL_Rect& edge : edges) SDL_FillRect(destination, &edge, colour);
}

void draw_text_n(SDL_Surface* destination, const char* text, int n, int x, int y, Font font) {
    if (!text || !text[0] || n <= 0 || !font || !font[0]) return;
    int w = font[0]->w;
    int h = font[0]->h;
    int32_t glyphs = count_glyphs(font);
    for (int k = 0; k < n && text[k]; k++) {
        // A character without a glyph shows a box, so that a missing letter is
        // seen on the screen instead of leaving a gap in the word.
        int code = (unsigned char)text[k] - FONT_FIRST_CODE;
        if (code < 0 || code >= glyphs) code = FONT_BOX_GLYPH < glyphs ? FONT_BOX_GLYPH : -1;
        if (x > -w && code >= 0) {
            SDL_Rect from = {0, 0, (Uint16)w, (Uint16)h};
            SDL_Rect to = {(Sint16)x, (Sint16)y, 0, 0};
            SDL_BlitSurface(font[code], &from, destination, &to);
        } else if (x > -w && destination) {
            draw_missing_cell(destination, x, y, w, h);
        }
        x += w;
    }
}

void draw_text(SDL_Surface* destination, const char* text, int x, int y, Font font) {
    if (!text) return;
    draw_text_n(destination, text, (int)strlen(text), x, y, font);
}

void draw_text_centred(SDL_Surface* destination, const char* text, int y, Font font) {
    if (!text || !font || !font[0]) return;
    int length = (int)strlen(text);
    draw_text_n(destination, text, length, FONT_CENTRE_X - (font[0]->w / 2) * length, y, font);
}

void draw_number(SDL_Surface* destination, int value, int x, int y, int digits, int zero_pad, Font font) {
    if (!font || !font[0]) return;
    int w = font[0]->w;
    snprintf(number_text, sizeof number_text, "%d", value);
    int n = (int)strlen(number_text);
    if (zero_pad && n < digits) draw_text_n(destination, "00000000", digits - n, x, y, font);
    draw_text_n(destination, number_text, n, digits > 0 ? x + (digits - n) * w : x, y, font);
}
