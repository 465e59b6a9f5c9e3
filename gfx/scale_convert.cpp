#include <stdlib.h>
#include <string.h>

#include "gfx/scale_core.h"

// Colour conversion of the enlarged picture from the frame's pixel format (16
// or 3-byte 24 bits) into a 32-bit display, so that a display in the
// desktop's own format costs no conversion of SDL's on every update. The
// values are SDL's own: the tables are filled by one SDL blit of every 16-bit
// value (or of every byte value in each 3-byte position) between surfaces of
// the two formats, so the screen shows exactly what SDL's conversion of the
// same picture would. Where SDL's rule turns out to be one of the usual
// shapes (each 16-bit channel shifted up, with or without its top bits
// repeated below; each 3-byte channel moved whole), the SSE2 and AVX2 loops
// compute it; otherwise every path looks the values up.

enum { CONVERT_NONE = 0, CONVERT_SHIFT16 = 1, CONVERT_TABLE16 = 2, CONVERT_MOVE24 = 3, CONVERT_TABLE24 = 4 };

// The 16-bit rule as shifts: field (p >> from_shift) & field_mask, of bits
// bits, is moved up to (8 - bits) below the top of its display channel at
// to_shift; with repeat set, its top (2 bits - 8) bits fill the rest.
struct Channel16 {
    int32_t from_shift, bits, to_shift;
    uint32_t field_mask;
};

struct Conversion {
    int32_t kind;
    int32_t from_bpp;
    uint32_t from_masks[3], to_masks[4];
    int32_t repeat;        // CONVERT_SHIFT16: top bits repeated
    uint32_t fixed;        // bits every converted pixel has (an opaque alpha)
    Channel16 channel[3];  // CONVERT_SHIFT16
    int32_t to_byte[3];    // CONVERT_MOVE24: the display byte of each source byte
    uint32_t table24[3][256];
    int32_t distinct;  // different frame pixels always give different display pixels
    int32_t has_bytes_rule;
    Convert16Rule bytes_rule;  // see find_bytes_rule16
};

static Conversion conversion = {};
static uint32_t* table16 = nullptr;  // 65536 values, made once
const uint32_t* convert16_table = nullptr;

static SDL_Surface* make_table_surface(int32_t w, int32_t h, int32_t bits, const uint32_t* m, uint32_t alpha) {
    return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, bits, m[0], m[1], m[2], alpha);
}

// Pixel (x, y) of a table surface as a native value.
static uint32_t read_value(SDL_Surface* s, int32_t x, int32_t y) {
    const uint8_t* p = (const uint8_t*)s->pixels + y * s->pitch + x * s->format->BytesPerPixel;
    uint32_t v = 0;
    memcpy(&v, p, 4);
    return v;
}

// SDL's conversion of the w x h pixels that fill() wrote into a surface of
// the frame's format, read back from a surface of the display's format.
static int32_t blit_table(int32_t w, int32_t h, void (*fill)(SDL_Surface*), SDL_Surface** out) {
    SDL_Surface* from = make_table_surface(w, h, conversion.from_bpp * 8, conversion.from_masks, 0);
    SDL_Surface* to = make_table_surface(w, h, 32, conversion.to_masks, conversion.to_masks[3]);
    int32_t ok = from && to;
    if (ok) {
        fill(from);
        SDL_SetAlpha(from, 0, 255);
        SDL_SetColorKey(from, 0, 0);
        ok = SDL_BlitSurface(from, nullptr, to, nullptr) == 0;
    }
    if (from) SDL_FreeSurface(from);
    if (!ok && to) SDL_FreeSurface(to);
    *out = ok ? to : nullptr;
    return ok;
}

static void fill_all16(SDL_Surface* s) {
    for (int32_t y = 0; y < 256; y++) {
        uint16_t* row = (uint16_t*)((uint8_t*)s->pixels + y * s->pitch);
        for (int32_t x = 0; x < 256; x++) row[x] = (uint16_t)(y * 256 + x);
    }
}

// Row i holds byte value x at byte i of pixel x, the other two bytes 0.
static void fill_bytes24(SDL_Surface* s) {
    for (int32_t i = 0; i < 3; i++) {
        uint8_t* row = (uint8_t*)s->pixels + i * s->pitch;
        memset(row, 0, 256 * 3);
        for (int32_t x = 0; x < 256; x++) row[3 * x + i] = (uint8_t)x;
    }
}

static uint32_t shift_rule16(uint32_t p, int32_t repeat) {
    uint32_t v = conversion.fixed;
    for (const Channel16& c : conversion.channel) {
        uint32_t f = (p >> c.from_shift) & c.field_mask;
        uint32_t e = f << (8 - c.bits);
        if (repeat) e |= f >> (2 * c.bits - 8);
        v |= e << c.to_shift;
    }
    return v;
}

// Whether SDL's 16-bit values follow the shift rule, and with which filling.
static void find_shift_rule16(const SDL_PixelFormat* from, const SDL_PixelFormat* to) {
    const uint32_t from_shift[3] = {from->Rshift, from->Gshift, from->Bshift};
    const uint32_t from_loss[3] = {from->Rloss, from->Gloss, from->Bloss};
    const uint32_t to_shift[3] = {to->Rshift, to->Gshift, to->Bshift};
    const uint32_t to_loss[3] = {to->Rloss, to->Gloss, to->Bloss};
    conversion.fixed = table16[0];
    for (int32_t i = 0; i < 3; i++) {
        int32_t bits = 8 - (int32_t)from_loss[i];
        if (bits < 4 || to_loss[i] != 0) return;
        conversion.channel[i] = {(int32_t)from_shift[i], bits, (int32_t)to_shift[i], (1u << bits) - 1};
    }
    for (int32_t repeat = 0; repeat <= 1; repeat++) {
        int32_t same = 1;
        for (uint32_t p = 0; p < 65536 && same; p++) same = shift_rule16(p, repeat) == table16[p];
        if (same) {
            conversion.repeat = repeat;
            conversion.kind = CONVERT_SHIFT16;
            return;
        }
    }
}

static void find_move_rule24() {
    uint32_t fixed = conversion.table24[0][0];
    for (int32_t i = 0; i < 3; i++) {
        conversion.to_byte[i] = -1;
        for (int32_t j = 0; j < 4 && conversion.to_byte[i] < 0; j++) {
            int32_t same = 1;
            for (uint32_t b = 0; b < 256 && same; b++) same = conversion.table24[i][b] == (fixed | (b << (8 * j)));
            if (same) conversion.to_byte[i] = j;
        }
        if (conversion.to_byte[i] < 0) return;
    }
    conversion.fixed = fixed;
    conversion.kind = CONVERT_MOVE24;
}

// Whether every display channel starts with the bits of its frame channel:
// then no two frame pixels share a display pixel.
static int32_t keeps_top_bits16(const SDL_PixelFormat* from, const SDL_PixelFormat* to) {
    const uint32_t from_mask[3] = {from->Rmask, from->Gmask, from->Bmask};
    const uint32_t from_shift[3] = {from->Rshift, from->Gshift, from->Bshift};
    const uint32_t from_loss[3] = {from->Rloss, from->Gloss, from->Bloss};
    const uint32_t to_shift[3] = {to->Rshift, to->Gshift, to->Bshift};
    const uint32_t to_loss[3] = {to->Rloss, to->Gloss, to->Bloss};
    for (int32_t i = 0; i < 3; i++)
        if (to_loss[i] != 0 || from_loss[i] > 4) return 0;
    for (uint32_t p = 0; p < 65536; p++)
        for (int32_t i = 0; i < 3; i++) {
            uint32_t field = (p & from_mask[i]) >> from_shift[i];
            if (((table16[p] >> to_shift[i]) & 0xFF) >> from_loss[i] != field) return 0;
        }
    return 1;
}

int32_t conversion_keeps_pixels_apart() { return conversion.distinct; }
int32_t conversion_moves_bytes() { return conversion.kind == CONVERT_MOVE24; }

int32_t convert16_rule(Convert16Rule* rule) {
    if (conversion.kind == CONVERT_NONE || conversion.from_bpp != 2 || !conversion.has_bytes_rule) return 0;
    *rule = conversion.bytes_rule;
    return 1;
}

// The multiplier whose high product with f << s is value[f] for every field
// value f below count; 0 when there is none. Each f asks for a range of
// multipliers: floor(f 2^s K / 2^16) = v holds for K from ceil(v 2^16 / (f 2^s))
// up to ceil((v + 1) 2^16 / (f 2^s)) - 1.
static uint32_t field_multiplier(const uint32_t* value, int32_t count, int32_t s) {
    uint64_t low = 1, high = 65535;
    if (value[0] != 0) return 0;
    for (int32_t f = 1; f < count; f++) {
        uint64_t step = (uint64_t)f << s;
        uint64_t from = ((uint64_t)value[f] * 65536 + step - 1) / step;
        uint64_t to = (((uint64_t)value[f] + 1) * 65536 + step - 1) / step - 1;
        if (from > low) low = from;
        if (to < high) high = to;
        if (low > high) return 0;
    }
    return (uint32_t)low;
}

// Whether the 16-bit table is, in vector registers, one high product per
// display byte: each frame field alone decides one of display bytes 0 to 2
// (the rest being the bits every pixel has), and that byte is the high
// product of the field moved to some place s of the lane with one
// multiplier. SDL's plain shifts, shifts with the top bits repeated and its
// rounding tables all take that shape.
static void find_bytes_rule16(const SDL_PixelFormat* from) {
    conversion.has_bytes_rule = 0;
    const uint32_t from_shift[3] = {from->Rshift, from->Gshift, from->Bshift};
    const uint32_t from_loss[3] = {from->Rloss, from->Gloss, from->Bloss};
    uint32_t fixed = table16[0], part[3][256] = {};
    int32_t filled[3] = {0, 0, 0};
    Convert16Rule rule = {};
    for (int32_t i = 0; i < 3; i++) {
        int32_t bits = 8 - (int32_t)from_loss[i], count = 1 << bits;
        if (bits < 1 || from_shift[i] + bits > 16) return;
        uint32_t all = 0;
        for (int32_t f = 0; f < count; f++) {
            part[i][f] = table16[f << from_shift[i]] & ~fixed;
            all |= part[i][f];
        }
        int32_t byte = 0;
        while (byte < 3 && (all & ~(0xFFu << (8 * byte))) != 0) byte++;
        if (byte > 2 || filled[byte]) return;
        filled[byte] = 1;
        uint32_t value[256] = {};
        for (int32_t f = 0; f < count; f++) value[f] = part[i][f] >> (8 * byte);
        // From the top of the lane down: the first place with a multiplier.
        uint32_t mul = 0;
        int32_t s = 16 - bits;
        for (; s >= 0 && !mul; s--) mul = field_multiplier(value, count, s);
        if (!mul) return;
        s++;
        rule.up[byte] = s > (int32_t)from_shift[i] ? s - (int32_t)from_shift[i] : 0;
        rule.down[byte] = s < (int32_t)from_shift[i] ? (int32_t)from_shift[i] - s : 0;
        rule.mask[byte] = (uint16_t)(((1u << bits) - 1) << s);
        rule.mul[byte] = (uint16_t)mul;
    }
    // Every value must be the fixed bits and its three fields' parts.
    for (uint32_t p = 0; p < 65536; p++) {
        uint32_t v = fixed;
        for (int32_t i = 0; i < 3; i++) v |= part[i][(p >> from_shift[i]) & ((1u << (8 - from_loss[i])) - 1)];
        if (v != table16[p]) return;
    }
    rule.fixed_lo = (uint16_t)fixed;
    rule.fixed_hi = (uint16_t)(fixed >> 16);
    conversion.bytes_rule = rule;
    conversion.has_bytes_rule = 1;
}

int32_t prepare_conversion(const SDL_PixelFormat* from, const SDL_PixelFormat* to) {
    int32_t bpp = from->BytesPerPixel;
    if ((bpp != 2 && bpp != 3) || to->BytesPerPixel != 4) return 0;
    const uint32_t from_masks[3] = {from->Rmask, from->Gmask, from->Bmask};
    const uint32_t to_masks[4] = {to->Rmask, to->Gmask, to->Bmask, to->Amask};
    if (conversion.kind != CONVERT_NONE && conversion.from_bpp == bpp &&
        memcmp(conversion.from_masks, from_masks, sizeof from_masks) == 0 &&
        memcmp(conversion.to_masks, to_masks, sizeof to_masks) == 0)
        return 1;
    conversion.kind = CONVERT_NONE;
    conversion.from_bpp = bpp;
    memcpy(conversion.from_masks, from_masks, sizeof from_masks);
    memcpy(conversion.to_masks, to_masks, sizeof to_masks);
    // Bits outside the display's channels are not shown; some blitters fill
    // them, SDL_MapRGB leaves them 0, and so does the conversion.
    uint32_t shown = to->Rmask | to->Gmask | to->Bmask | to->Amask;
    SDL_Surface* result = nullptr;
    if (bpp == 2) {
        if (!table16) table16 = (uint32_t*)malloc(65536 * sizeof(uint32_t));
        if (!table16 || !blit_table(256, 256, fill_all16, &result)) return 0;
        for (int32_t y = 0; y < 256; y++)
            for (int32_t x = 0; x < 256; x++) table16[y * 256 + x] = read_value(result, x, y) & shown;
        convert16_table = table16;
        conversion.kind = CONVERT_TABLE16;
        find_shift_rule16(from, to);
        find_bytes_rule16(from);
        conversion.distinct = keeps_top_bits16(from, to);
    } else {
        if (!blit_table(256, 3, fill_bytes24, &result)) return 0;
        uint32_t zero = read_value(result, 0, 0);
        // Each position's table keeps the bits common to all (alpha) once.
        for (int32_t i = 0; i < 3; i++)
            for (int32_t b = 0; b < 256; b++) conversion.table24[i][b] = (read_value(result, b, i) | zero) & shown;
        conversion.kind = CONVERT_TABLE24;
        find_move_rule24();
        conversion.distinct = conversion.kind == CONVERT_MOVE24;
    }
    SDL_FreeSurface(result);
    return 1;
}

// Portable rows: the value of each pixel looked up, a run of equal pixels
// (the enlarged picture is mostly runs) looked up once.
static void row_table16(const uint16_t* s, uint32_t* d, int32_t n) {
    uint32_t last = s[0], value = table16[last];
    for (int32_t x = 0; x < n; x++) {
        if (s[x] != last) last = s[x], value = table16[last];
        d[x] = value;
    }
}

static void row_table24(const uint8_t* s, uint32_t* d, int32_t n) {
    const uint32_t(*t)[256] = conversion.table24;
    for (int32_t x = 0; x < n; x++, s += 3) d[x] = t[0][s[0]] | t[1][s[1]] | t[2][s[2]];
}

// The shift rule's constants, loaded once a row: the stores of a row could
// otherwise alias the rule and make every step read it again.
struct ShiftConstants {
    uint32_t fixed;
    int32_t repeat;
    int32_t from_shift[3], up[3], down[3], to_shift[3];
    uint32_t field_mask[3];
};

static ShiftConstants shift_constants() {
    ShiftConstants k = {conversion.fixed, conversion.repeat, {}, {}, {}, {}, {}};
    for (int32_t i = 0; i < 3; i++) {
        const Channel16& c = conversion.channel[i];
        k.from_shift[i] = c.from_shift;
        k.up[i] = 8 - c.bits;
        k.down[i] = 2 * c.bits - 8;
        k.to_shift[i] = c.to_shift;
        k.field_mask[i] = c.field_mask;
    }
    return k;
}

#ifdef __SSE2__
static void row_shift16_sse(const uint16_t* s, uint32_t* d, int32_t n) {
    const ShiftConstants k = shift_constants();
    const __m128i zero = _mm_setzero_si128(), fixed = _mm_set1_epi32((int32_t)k.fixed);
    __m128i from[3], up[3], down[3], to[3], mask[3];
    for (int32_t i = 0; i < 3; i++) {
        from[i] = _mm_cvtsi32_si128(k.from_shift[i]);
        up[i] = _mm_cvtsi32_si128(k.up[i]);
        down[i] = _mm_cvtsi32_si128(k.down[i]);
        to[i] = _mm_cvtsi32_si128(k.to_shift[i]);
        mask[i] = _mm_set1_epi32((int32_t)k.field_mask[i]);
    }
    int32_t x = 0;
    for (; x + 8 <= n; x += 8) {
        __m128i v = load128(s + x);
        __m128i half[2] = {_mm_unpacklo_epi16(v, zero), _mm_unpackhi_epi16(v, zero)};
        for (int32_t h = 0; h < 2; h++) {
            __m128i out = fixed;
            for (int32_t i = 0; i < 3; i++) {
                __m128i f = _mm_and_si128(_mm_srl_epi32(half[h], from[i]), mask[i]);
                __m128i e = _mm_sll_epi32(f, up[i]);
                if (k.repeat) e = _mm_or_si128(e, _mm_srl_epi32(f, down[i]));
                out = _mm_or_si128(out, _mm_sll_epi32(e, to[i]));
            }
            store128(d + x + 4 * h, out);
        }
    }
    for (; x < n; x++) d[x] = table16[s[x]];
}

// Four 3-byte pixels from 12 bytes, each widened to a word, bytes moved to
// their display places.
static void row_move24_sse(const uint8_t* s, uint32_t* d, int32_t n) {
    __m128i fixed = _mm_set1_epi32((int32_t)conversion.fixed), byte = _mm_set1_epi32(0xFF);
    const __m128i to[3] = {_mm_cvtsi32_si128(8 * conversion.to_byte[0]), _mm_cvtsi32_si128(8 * conversion.to_byte[1]),
                           _mm_cvtsi32_si128(8 * conversion.to_byte[2])};
    int32_t x = 0;
    // Loads of 16 bytes for 12: the last four pixels of the row go the portable way.
    for (; x + 6 <= n; x += 4, s += 12) {
        __m128i v = load128(s);
        // Pixel i's bytes at 3i .. 3i+2: spread to 4i .. 4i+2.
        __m128i lo = _mm_unpacklo_epi64(v, _mm_srli_si128(v, 6));  // pixels 0, 1 | 2, 3 in each half
        __m128i w = _mm_or_si128(_mm_and_si128(lo, _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF)),
                                 _mm_and_si128(_mm_slli_epi64(lo, 8), _mm_set_epi32(0x00FFFFFF, 0, 0x00FFFFFF, 0)));
        __m128i out = fixed;
        for (int32_t i = 0; i < 3; i++) {
            __m128i b = _mm_and_si128(_mm_srli_epi32(w, 8 * i), byte);
            out = _mm_or_si128(out, _mm_sll_epi32(b, to[i]));
        }
        store128(d + x, out);
    }
    row_table24(s, d + x, n - x);
}
#endif

#ifdef SCALE_HAVE_AVX2
AVX2_ROW void row_shift16_avx2(const uint16_t* s, uint32_t* d, int32_t n) {
    const ShiftConstants k = shift_constants();
    const __m256i fixed = _mm256_set1_epi32((int32_t)k.fixed);
    __m128i from[3], up[3], down[3], to[3];
    __m256i mask[3];
    for (int32_t i = 0; i < 3; i++) {
        from[i] = _mm_cvtsi32_si128(k.from_shift[i]);
        up[i] = _mm_cvtsi32_si128(k.up[i]);
        down[i] = _mm_cvtsi32_si128(k.down[i]);
        to[i] = _mm_cvtsi32_si128(k.to_shift[i]);
        mask[i] = _mm256_set1_epi32((int32_t)k.field_mask[i]);
    }
    int32_t x = 0;
    for (; x + 16 <= n; x += 16) {
        __m256i v = load256(s + x);
        __m256i half[2] = {_mm256_cvtepu16_epi32(_mm256_castsi256_si128(v)),
                           _mm256_cvtepu16_epi32(_mm256_extracti128_si256(v, 1))};
        for (int32_t h = 0; h < 2; h++) {
            __m256i out = fixed;
            for (int32_t i = 0; i < 3; i++) {
                __m256i f = _mm256_and_si256(_mm256_srl_epi32(half[h], from[i]), mask[i]);
                __m256i e = _mm256_sll_epi32(f, up[i]);
                if (k.repeat) e = _mm256_or_si256(e, _mm256_srl_epi32(f, down[i]));
                out = _mm256_or_si256(out, _mm256_sll_epi32(e, to[i]));
            }
            store256(d + x + 8 * h, out);
        }
    }
    for (; x < n; x++) d[x] = table16[s[x]];
}

// Eight 3-byte pixels a step: 24 bytes spread over the two lanes, then one
// byte shuffle puts every source byte at its display place.
AVX2_ROW void row_move24_avx2(const uint8_t* s, uint32_t* d, int32_t n) {
    alignas(32) int8_t k[32];
    for (int32_t i = 0; i < 32; i++) k[i] = -1;
    for (int32_t lane = 0; lane < 2; lane++)
        for (int32_t p = 0; p < 4; p++)
            for (int32_t i = 0; i < 3; i++) k[16 * lane + 4 * p + conversion.to_byte[i]] = (int8_t)(3 * p + i);
    const __m256i shuffle = load256(k);
    const __m256i spread = _mm256_setr_epi32(0, 1, 2, 2, 3, 4, 5, 5);
    const __m256i fixed = _mm256_set1_epi32((int32_t)conversion.fixed);
    int32_t x = 0;
    // Loads of 32 bytes for 24: the last pixels of the row go the portable way.
    for (; x + 11 <= n; x += 8, s += 24) {
        __m256i v = _mm256_permutevar8x32_epi32(load256(s), spread);
        store256(d + x, _mm256_or_si256(_mm256_shuffle_epi8(v, shuffle), fixed));
    }
    row_table24(s, d + x, n - x);
}
#endif

#ifdef __SSE2__
// The shift rule into display bytes 0 to 2 by high products, as the fused loops convert.
static void row_bytes16_sse(const uint16_t* s, uint32_t* d, int32_t n, const Convert16Rule& rule) {
    const Convert16Sse k = convert16_sse(rule);
    int32_t x = 0;
    for (; x + 8 <= n; x += 8) store_converted16_sse(d + x, load128(s + x), k);
    for (; x < n; x++) d[x] = table16[s[x]];
}
#endif

#ifdef SCALE_HAVE_AVX2
AVX2_ROW void row_bytes16_avx2(const uint16_t* s, uint32_t* d, int32_t n, const Convert16Rule& rule) {
    const Convert16Avx2 k = convert16_avx2(rule);
    int32_t x = 0;
    for (; x + 16 <= n; x += 16) store_converted16_avx2(d + x, load256(s + x), k);
    for (; x < n; x++) d[x] = table16[s[x]];
}
#endif

static void convert_row(const uint8_t* s, uint32_t* d, int32_t n) {
    if (conversion.from_bpp == 2 && conversion.has_bytes_rule) {
#ifdef SCALE_HAVE_AVX2
        if (active_path == SCALE_PATH_AVX2) return row_bytes16_avx2((const uint16_t*)s, d, n, conversion.bytes_rule);
#endif
#ifdef __SSE2__
        if (active_path >= SCALE_PATH_SSE2) return row_bytes16_sse((const uint16_t*)s, d, n, conversion.bytes_rule);
#endif
    }
    if (conversion.kind == CONVERT_SHIFT16) {
#ifdef SCALE_HAVE_AVX2
        if (active_path == SCALE_PATH_AVX2) return row_shift16_avx2((const uint16_t*)s, d, n);
#endif
#ifdef __SSE2__
        if (active_path >= SCALE_PATH_SSE2) return row_shift16_sse((const uint16_t*)s, d, n);
#endif
    }
    if (conversion.kind == CONVERT_MOVE24) {
#ifdef SCALE_HAVE_AVX2
        if (active_path == SCALE_PATH_AVX2) return row_move24_avx2(s, d, n);
#endif
#ifdef __SSE2__
        if (active_path >= SCALE_PATH_SSE2) return row_move24_sse(s, d, n);
#endif
    }
    if (conversion.from_bpp == 2)
        row_table16((const uint16_t*)s, d, n);
    else
        row_table24(s, d, n);
}

void convert_picture(const uint8_t* from, int32_t from_pitch, uint8_t* to, int32_t to_pitch, int32_t w, int32_t h) {
    int32_t row_bytes = w * conversion.from_bpp;
    for (int32_t y = 0; y < h; y++) {
        const uint8_t* s = from + y * from_pitch;
        uint8_t* d = to + y * to_pitch;
        // Most rows of an enlarged picture repeat the one above: copied, not converted again.
        if (y > 0 && memcmp(s, s - from_pitch, row_bytes) == 0)
            memcpy(d, d - to_pitch, (size_t)w * 4);
        else
            convert_row(s, (uint32_t*)d, w);
    }
}
