// Simple and scanline at factors 3 and up, palette pixels at every factor but
// 2, and the filters that look at neighbours beyond factor 4.
//
// Simple: every pixel becomes a k x k block of itself. Scanline: the same,
// with the last row of every block dark (the factor-2 darkening).
//
// Beyond factor 4, Scale2X, bilinear and antialias draw their factor-4
// picture into a work buffer, and each 4 x 4 block of it becomes the k x k
// block of its source pixel: cell (i, j) of the block takes cell
// (4i / k, 4j / k) of the factor-4 block. Their shapes and shades are thus
// kept at every size, the source pixels keep their even grid, and the cost
// stays that of a copy.
#include <string.h>

#include "floob.h"
#include "gfx/scale_core.h"
#include "gfx/video.h"

enum { WIDE_BASE = 4 };  // the factor whose picture is widened beyond it

alignas(32) static uint32_t wide32[5 * SCALE_SRC_W];
alignas(32) static uint32_t wide_converted[WIDE_BASE * SCALE_SRC_W];
static uint8_t wide_picture[4 * SCALE_SRC_W * 4 * SCALE_SRC_H * 4];

// One enlarged row: each pixel k times.
static void replicate_row_portable(const uint8_t* s, uint8_t* o, int32_t k, int32_t bpp) {
    if (bpp == 2) {
        const uint16_t* p = (const uint16_t*)s;
        uint16_t* d = (uint16_t*)o;
        for (int32_t x = 0; x < SCALE_SRC_W; x++)
            for (int32_t i = 0; i < k; i++) *d++ = p[x];
    } else if (bpp == 4) {
        const uint32_t* p = (const uint32_t*)s;
        uint32_t* d = (uint32_t*)o;
        for (int32_t x = 0; x < SCALE_SRC_W; x++)
            for (int32_t i = 0; i < k; i++) *d++ = p[x];
    } else {
        for (int32_t x = 0; x < SCALE_SRC_W; x++, s += bpp)
            for (int32_t i = 0; i < k; i++, o += bpp) memcpy(o, s, bpp);
    }
}

// The dark form of n bytes of a row, every pixel on its own.
static void darken_row_portable(const uint8_t* from, uint8_t* to, int32_t bytes, int32_t bpp) {
    if (bpp == 2) {
        const uint16_t* p = (const uint16_t*)from;
        uint16_t* d = (uint16_t*)to;
        for (int32_t i = 0; i < bytes / 2; i++) d[i] = dark16(p[i]);
    } else if (bpp == 4) {
        const uint32_t* p = (const uint32_t*)from;
        uint32_t* d = (uint32_t*)to;
        for (int32_t i = 0; i < bytes / 4; i++) d[i] = dark32(p[i]);
    } else {
        for (int32_t i = 0; i < bytes; i++) to[i] = (uint8_t)((from[i] & 0x80) >> 2);
    }
}

#ifdef __SSE2__
// 16 bytes of pixels in their dark form: the darkened bits are the top bit of
// a byte, so a 16-bit shift never moves one into another byte.
static inline __m128i dark_sse(__m128i v, __m128i dark, __m128i keep) {
    return _mm_or_si128(_mm_srli_epi16(_mm_and_si128(v, dark), 2), _mm_and_si128(v, keep));
}

// The 16-byte pattern of the bits that darkening keeps (dark) and leaves (keep) for this depth.
static void dark_patterns(int32_t bpp, __m128i* dark, __m128i* keep) {
    if (bpp == 2) {
        *dark = _mm_set1_epi16((int16_t)dark_mask16);
        *keep = _mm_setzero_si128();
    } else if (bpp == 4) {
        *dark = _mm_set1_epi32((int32_t)(0x80808080u & ~keep_mask32));
        *keep = _mm_set1_epi32((int32_t)keep_mask32);
    } else {
        *dark = _mm_set1_epi8((char)0x80);
        *keep = _mm_setzero_si128();
    }
}

static void darken_row_sse(const uint8_t* from, uint8_t* to, int32_t bytes, int32_t bpp) {
    __m128i dark, keep;
    dark_patterns(bpp, &dark, &keep);
    for (int32_t i = 0; i < bytes; i += 16) store128(to + i, dark_sse(load128(from + i), dark, keep));
}

// Factors 3 and 4 of 16-bit and 32-bit pixels with unpacks and dword
// shuffles; 3-byte pixels through their widened form.
static int32_t replicate_row_sse(const uint8_t* s, uint8_t* o, int32_t k, int32_t bpp) {
    if (k == 4 && bpp == 2) {
        for (int32_t x = 0; x < SCALE_SRC_W; x += 8, o += 64) {
            __m128i v = load128(s + 2 * x);
            __m128i lo = _mm_unpacklo_epi16(v, v), hi = _mm_unpackhi_epi16(v, v);
            store128(o, _mm_unpacklo_epi32(lo, lo));
            store128(o + 16, _mm_unpackhi_epi32(lo, lo));
            store128(o + 32, _mm_unpacklo_epi32(hi, hi));
            store128(o + 48, _mm_unpackhi_epi32(hi, hi));
        }
        return 1;
    }
    if ((k == 3 || k == 4) && bpp >= 3) {
        const uint32_t* p = (const uint32_t*)s;
        if (bpp == 3) {
            unpack_row24(s, wide32);
            p = wide32;
        }
        uint32_t* d = bpp == 3 ? wide32 + SCALE_SRC_W : (uint32_t*)o;
        for (int32_t x = 0; x < SCALE_SRC_W; x += 4, d += 4 * k) {
            __m128i v = load128(p + x);
            if (k == 3) {
                store128(d, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 0, 0)));
                store128(d + 4, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 2, 1, 1)));
                store128(d + 8, _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 2)));
            } else {
                store128(d, _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 0, 0, 0)));
                store128(d + 4, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 1, 1, 1)));
                store128(d + 8, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 2, 2, 2)));
                store128(d + 12, _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 3)));
            }
        }
        if (bpp == 3) pack_row24(wide32 + SCALE_SRC_W, o, k * SCALE_SRC_W);
        return 1;
    }
    return 0;
}
#endif

#ifdef SCALE_HAVE_AVX2
static ReplicateTable replicate_table;

static void make_replicate_table(int32_t k, int32_t bpp) {
    ReplicateTable* t = &replicate_table;
    if (t->factor == k && t->bpp == bpp) return;
    t->factor = k, t->bpp = bpp, t->chunks = SCALE_SRC_W * k * bpp / 16;
    int32_t row_bytes = SCALE_SRC_W * bpp;
    for (int32_t c = 0; c < t->chunks; c++) {
        int32_t first = ((16 * c / bpp) / k) * bpp;
        if (first > row_bytes - 16) first = row_bytes - 16;
        t->from[c] = first;
        for (int32_t b = 0; b < 16; b++) {
            int32_t out = 16 * c + b;
            t->shuffle[c][b] = (uint8_t)(((out / bpp) / k) * bpp + out % bpp - first);
        }
    }
}

const ReplicateTable* replicate_table_for(int32_t k, int32_t bpp) {
    make_replicate_table(k, bpp);
    return &replicate_table;
}

// One enlarged row with the table of its factor and pixel size.
AVX2_ROW void replicate_row_avx2(const uint8_t* s, uint8_t* o) {
    const ReplicateTable* t = &replicate_table;
    for (int32_t c = 0; c < t->chunks; c++)
        store128(o + 16 * c, _mm_shuffle_epi8(load128(s + t->from[c]), _mm_load_si128((const __m128i*)t->shuffle[c])));
}
#endif

static void replicate_row(const uint8_t* s, uint8_t* o, int32_t k, int32_t bpp) {
#ifdef __SSE2__
    if (active_path >= SCALE_PATH_SSE2 && replicate_row_sse(s, o, k, bpp)) return;
#endif
    replicate_row_portable(s, o, k, bpp);
}

void darken_row(const uint8_t* from, uint8_t* to, int32_t bytes, int32_t bpp) {
#ifdef __SSE2__
    if (active_path >= SCALE_PATH_SSE2 && bytes % 16 == 0) {
        darken_row_sse(from, to, bytes, bpp);
        return;
    }
#endif
    darken_row_portable(from, to, bytes, bpp);
}

void replicate_into(const uint8_t* s, uint8_t* o, int32_t k, int32_t bpp) {
#ifdef SCALE_HAVE_AVX2
    if (active_path == SCALE_PATH_AVX2 && k <= 4) {
        make_replicate_table(k, bpp);
        replicate_row_avx2(s, o);
        return;
    }
#endif
    replicate_row(s, o, k, bpp);
}

void filter_replicate(int32_t kind) {
    int32_t k = scale_picture.factor, bpp = scale_picture.bpp;
    // Palette pixels have no channels to darken: every filter replicates them.
    int32_t dark = kind == FILTER_SCANLINE && bpp > 1;
    int32_t bytes = SCALE_SRC_W * k * bpp;
    // One enlarged row, then copies: faster than storing each piece k times.
    for (int32_t y = 0; y < SCALE_SRC_H; y++) {
        uint8_t* first = picture_row(k * y);
        replicate_into(source_row(frame_surface, y), first, k, bpp);
        for (int32_t j = 1; j < k - 1; j++) memcpy(picture_row(k * y + j), first, bytes);
        if (dark && scale_dark_frame)
            replicate_into(source_row(scale_dark_frame, y), picture_row(k * y + k - 1), k, bpp);
        else if (dark)
            darken_row(first, picture_row(k * y + k - 1), bytes, bpp);
        else
            memcpy(picture_row(k * y + k - 1), first, bytes);
    }
}

// One row of the picture from a row of the factor-4 picture: within each
// block, cell i takes cell 4i / k.
static void widen_row(const uint8_t* from, uint8_t* to, int32_t k, int32_t bpp) {
    int32_t cell[SCALE_MAX_FACTOR];
    for (int32_t i = 0; i < k; i++) cell[i] = WIDE_BASE * i / k;
    if (bpp == 2) {
        const uint16_t* p = (const uint16_t*)from;
        uint16_t* d = (uint16_t*)to;
        for (int32_t x = 0; x < SCALE_SRC_W; x++, p += WIDE_BASE)
            for (int32_t i = 0; i < k; i++) *d++ = p[cell[i]];
    } else if (bpp == 4) {
        const uint32_t* p = (const uint32_t*)from;
        uint32_t* d = (uint32_t*)to;
        for (int32_t x = 0; x < SCALE_SRC_W; x++, p += WIDE_BASE)
            for (int32_t i = 0; i < k; i++) *d++ = p[cell[i]];
    } else {
        for (int32_t x = 0; x < SCALE_SRC_W; x++, from += WIDE_BASE * bpp)
            for (int32_t i = 0; i < k; i++, to += bpp) memcpy(to, from + cell[i] * bpp, bpp);
    }
}

// A converting picture widens each factor-4 row converted once into display
// pixels, every row of it in use being converted exactly once.
void filter_beyond4(int32_t kind) {
    ScalePicture target = scale_picture;
    int32_t k = target.factor, bpp = target.bpp, wide_pitch = WIDE_BASE * SCALE_SRC_W * bpp;
    scale_picture.origin = wide_picture;
    scale_picture.pitch = wide_pitch;
    scale_picture.factor = WIDE_BASE;
    scale_picture.convert = 0;
    if (kind == FILTER_BILINEAR)
        filter_bilinear(kind);
    else
        filter_edges(kind);
    scale_picture = target;
    int32_t out_bpp = target.convert ? 4 : bpp;
    int32_t bytes = SCALE_SRC_W * k * out_bpp;
    for (int32_t y = 0; y < SCALE_SRC_H; y++) {
        for (int32_t j = 0; j < k; j++) {
            int32_t from = WIDE_BASE * j / k;
            uint8_t* row = picture_row(k * y + j);
            const uint8_t* wide = wide_picture + (WIDE_BASE * y + from) * wide_pitch;
            if (j > 0 && from == WIDE_BASE * (j - 1) / k) {
                memcpy(row, picture_row(k * y + j - 1), bytes);
            } else if (target.convert) {
                convert_picture(wide, wide_pitch, (uint8_t*)wide_converted, 0, WIDE_BASE * SCALE_SRC_W, 1);
                widen_row((const uint8_t*)wide_converted, row, k, 4);
            } else {
                widen_row(wide, row, k, bpp);
            }
        }
    }
}
