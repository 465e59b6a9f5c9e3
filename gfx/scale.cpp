#include "gfx/scale.h"

#include <stdlib.h>
#include <string.h>

#include "floob.h"
#include "gfx/scale_core.h"
#include "gfx/video.h"
#include "gfx/window.h"

// The picture goes into the display enlarged by the largest integer factor
// that fits, centred; the filters write that rectangle and nothing else. This
// unit picks the filter and holds factor 2; the other factors are in the units
// named in scale_core.h.
//
// At factor 2 every filter turns the 320 x 240 frame into a 640 x 480 picture,
// one 2 x 2 output block per source pixel. The 16-bit filters work on the surfaces' own
// rows; the 24-bit and 32-bit filters work on rows widened to one 32-bit word
// per pixel (each byte an independent channel), so that both depths share one
// set of rules and a 3-byte pixel is never read or written as 4 bytes outside
// its row. The filters that look at neighbours read from a ring of three
// copied source rows whose first and last pixels are repeated one place
// outwards: a missing neighbour at the left or right edge is thus the pixel
// itself without a test in the inner loop.
//
// Each rule has three sets of loops giving the same bytes: portable C, SSE2
// (the x86-64 baseline) and AVX2, which run_filter picks when the processor
// has it. On AVX2 the 3-byte filters move pixels with byte shuffles: the
// doubling filters go straight from the frame's bytes to the display's, and
// the others pack their 32-bit results straight into the display rows.

enum { SCALE_DST_W = 640, SCALE_DST_H = 480 };

int32_t scale_path = SCALE_PATH_AUTO;
int32_t active_path = SCALE_PATH_PORTABLE;
ScalePicture scale_picture = {nullptr, 0, 0, 0, 0};

alignas(32) static uint16_t ring16[3][SCALE_SRC_W + 2 * SCALE_PAD];
alignas(32) static uint32_t ring32[3][SCALE_SRC_W + 2 * SCALE_PAD];
alignas(32) static uint32_t out32[2][SCALE_DST_W];

uint16_t dark_mask16 = 0x8410;
uint16_t avg_mask16 = 0xF7DF;
uint16_t low_bits16 = 0x0821;
uint32_t keep_mask32 = 0;

static inline uint16_t avg4_16(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return avg16(avg16(a, b), avg16(c, d));
}
// Per-byte floor((a + b + c + d) / 4): even and odd bytes summed in 16-bit lanes.
static inline uint32_t avg4_32(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    uint32_t even = (a & 0x00FF00FFu) + (b & 0x00FF00FFu) + (c & 0x00FF00FFu) + (d & 0x00FF00FFu);
    uint32_t odd =
        ((a >> 8) & 0x00FF00FFu) + ((b >> 8) & 0x00FF00FFu) + ((c >> 8) & 0x00FF00FFu) + ((d >> 8) & 0x00FF00FFu);
    return ((even >> 2) & 0x00FF00FFu) | (((odd >> 2) & 0x00FF00FFu) << 8);
}

#ifdef __SSE2__
static inline __m128i avg16_sse(__m128i a, __m128i b, __m128i m) {
    a = _mm_and_si128(a, m);
    b = _mm_and_si128(b, m);
    return _mm_add_epi16(_mm_and_si128(a, b), _mm_srli_epi16(_mm_xor_si128(a, b), 1));
}
// Per byte floor((a + b + c + d) / 4) from the pair means: with f = floor of
// a pair's mean and o its lost bit, it is floor((f_ab + f_cd + (o_ab AND
// o_cd)) / 2), which stays within 8 bits.
static inline __m128i avg4_32_sse(__m128i a, __m128i b, __m128i c, __m128i d) {
    __m128i one = _mm_set1_epi8(1);
    __m128i ab = avg32_sse(a, b), cd = avg32_sse(c, d);
    __m128i lost = _mm_and_si128(_mm_and_si128(_mm_xor_si128(a, b), _mm_xor_si128(c, d)), one);
    return _mm_add_epi8(avg32_sse(ab, cd), _mm_and_si128(_mm_xor_si128(ab, cd), lost));
}
#endif

#ifdef SCALE_HAVE_AVX2
// The AVX2 loops: 16 pixels of 16 bits or 8 pixels of 32 bits per step, and
// byte shuffles that move 3-byte pixels without widening them one by one.

// Writes x0 y0 x1 y1 ... x15 y15 (16-bit values) to o.
AVX2_INLINE void store_pairs16(uint16_t* o, __m256i x, __m256i y) {
    x = _mm256_permute4x64_epi64(x, 0xD8);
    y = _mm256_permute4x64_epi64(y, 0xD8);
    store256(o, _mm256_unpacklo_epi16(x, y));
    store256(o + 16, _mm256_unpackhi_epi16(x, y));
}

// Writes x0 y0 x1 y1 ... x7 y7 (32-bit values) to o.
AVX2_INLINE void store_pairs32(uint32_t* o, __m256i x, __m256i y) {
    x = _mm256_permute4x64_epi64(x, 0xD8);
    y = _mm256_permute4x64_epi64(y, 0xD8);
    store256(o, _mm256_unpacklo_epi32(x, y));
    store256(o + 8, _mm256_unpackhi_epi32(x, y));
}

// Writes x0 y0 x1 y1 ... x15 y15 to o: as 16-bit values, or with conv set as
// the display pixels converted from them.
AVX2_INLINE void store_pairs16_out(uint8_t* o, __m256i x, __m256i y, int32_t conv, const Convert16Avx2& k) {
    if (!conv) {
        store_pairs16((uint16_t*)o, x, y);
        return;
    }
    x = _mm256_permute4x64_epi64(x, 0xD8);
    y = _mm256_permute4x64_epi64(y, 0xD8);
    store_converted16_avx2((uint32_t*)o, _mm256_unpacklo_epi16(x, y), k);
    store_converted16_avx2((uint32_t*)o + 16, _mm256_unpackhi_epi16(x, y), k);
}

AVX2_INLINE __m256i avg16_avx2(__m256i a, __m256i b, __m256i m) {
    a = _mm256_and_si256(a, m);
    b = _mm256_and_si256(b, m);
    return _mm256_add_epi16(_mm256_and_si256(a, b), _mm256_srli_epi16(_mm256_xor_si256(a, b), 1));
}

// Per byte floor((a + b) / 2), and in *odd the bit lost to the rounding.
AVX2_INLINE __m256i avg8_avx2(__m256i a, __m256i b, __m256i* odd) {
    *odd = _mm256_and_si256(_mm256_xor_si256(a, b), _mm256_set1_epi8(1));
    return _mm256_sub_epi8(_mm256_avg_epu8(a, b), *odd);
}

AVX2_ROW void row16_double_avx2(const uint16_t* p, uint16_t* o0, uint16_t* o1, int32_t dark) {
    __m256i m = _mm256_set1_epi16((int16_t)dark_mask16);
    for (int32_t x = 0; x < SCALE_SRC_W; x += 16) {
        __m256i v = load256(p + x);
        store_pairs16(o0 + 2 * x, v, v);
        if (dark) v = _mm256_srli_epi16(_mm256_and_si256(v, m), 2);
        store_pairs16(o1 + 2 * x, v, v);
    }
}

// Output rows of 16-bit values, or with conv set of display pixels (4 bytes each).
AVX2_INLINE void scale2x16_avx2(const uint16_t* a, const uint16_t* p, const uint16_t* d, uint8_t* o0, uint8_t* o1,
                                int32_t blend, int32_t n, int32_t conv, const Convert16Rule& rule) {
    __m256i m = _mm256_set1_epi16((int16_t)avg_mask16);
    const Convert16Avx2 k = convert16_avx2(rule);
    int32_t step = conv ? 128 : 64;  // output bytes of 16 source pixels
    for (int32_t x = 0; x < n; x += 16, o0 += step, o1 += step) {
        __m256i vp = load256(p + x), va = load256(a + x), vd = load256(d + x);
        __m256i vl = load256(p + x - 1), vr = load256(p + x + 1);
        __m256i keep = _mm256_or_si256(_mm256_cmpeq_epi16(va, vd), _mm256_cmpeq_epi16(vl, vr));
        if (conv) {
            // A step of plain 2 x 2 blocks (no corner takes a neighbour) converts its pixels once.
            __m256i any = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi16(vl, va), _mm256_cmpeq_epi16(va, vr)),
                                          _mm256_or_si256(_mm256_cmpeq_epi16(vl, vd), _mm256_cmpeq_epi16(vr, vd)));
            any = _mm256_andnot_si256(keep, any);
            if (_mm256_testz_si256(any, any)) {
                __m256i c[2];
                converted16_avx2(vp, k, c);
                for (int32_t h = 0; h < 2; h++) {
                    __m256i lo = _mm256_unpacklo_epi32(c[h], c[h]), hi = _mm256_unpackhi_epi32(c[h], c[h]);
                    __m256i w0 = _mm256_permute2x128_si256(lo, hi, 0x20), w1 = _mm256_permute2x128_si256(lo, hi, 0x31);
                    store256(o0 + 64 * h, w0), store256(o0 + 64 * h + 32, w1);
                    store256(o1 + 64 * h, w0), store256(o1 + 64 * h + 32, w1);
                }
                continue;
            }
        }
        __m256i e0 = va, e1 = vr, e2 = vl, e3 = vd;
        if (blend) {
            e0 = avg16_avx2(vp, va, m);
            e1 = avg16_avx2(vp, vr, m);
            e2 = avg16_avx2(vp, vl, m);
            e3 = avg16_avx2(vp, vd, m);
        }
        e0 = select256(_mm256_andnot_si256(keep, _mm256_cmpeq_epi16(vl, va)), e0, vp);
        e1 = select256(_mm256_andnot_si256(keep, _mm256_cmpeq_epi16(va, vr)), e1, vp);
        e2 = select256(_mm256_andnot_si256(keep, _mm256_cmpeq_epi16(vl, vd)), e2, vp);
        e3 = select256(_mm256_andnot_si256(keep, _mm256_cmpeq_epi16(vr, vd)), e3, vp);
        store_pairs16_out(o0, e0, e1, conv, k);
        store_pairs16_out(o1, e2, e3, conv, k);
    }
}

AVX2_ROW void row16_scale2x_avx2(const uint16_t* a, const uint16_t* p, const uint16_t* d, uint8_t* o0, uint8_t* o1,
                                 int32_t blend, int32_t n, int32_t conv, const Convert16Rule& rule) {
    if (blend && conv)
        scale2x16_avx2(a, p, d, o0, o1, 1, n, 1, rule);
    else if (blend)
        scale2x16_avx2(a, p, d, o0, o1, 1, n, 0, rule);
    else if (conv)
        scale2x16_avx2(a, p, d, o0, o1, 0, n, 1, rule);
    else
        scale2x16_avx2(a, p, d, o0, o1, 0, n, 0, rule);
}

AVX2_INLINE void bilinear16_avx2(const uint16_t* p, const uint16_t* d, uint8_t* o0, uint8_t* o1, int32_t conv,
                                 const Convert16Rule& rule) {
    __m256i m = _mm256_set1_epi16((int16_t)avg_mask16);
    const Convert16Avx2 k = convert16_avx2(rule);
    int32_t step = conv ? 128 : 64;
    for (int32_t x = 0; x < SCALE_SRC_W; x += 16, o0 += step, o1 += step) {
        __m256i vp = load256(p + x), vr = load256(p + x + 1), vd = load256(d + x), vdr = load256(d + x + 1);
        __m256i e1 = avg16_avx2(vp, vr, m);
        __m256i e2 = avg16_avx2(vp, vd, m);
        __m256i e3 = avg16_avx2(e1, avg16_avx2(vd, vdr, m), m);
        store_pairs16_out(o0, vp, e1, conv, k);
        store_pairs16_out(o1, e2, e3, conv, k);
    }
}

AVX2_ROW void row16_bilinear_avx2(const uint16_t* p, const uint16_t* d, uint8_t* o0, uint8_t* o1, int32_t conv,
                                  const Convert16Rule& rule) {
    if (conv)
        bilinear16_avx2(p, d, o0, o1, 1, rule);
    else
        bilinear16_avx2(p, d, o0, o1, 0, rule);
}

// Doubles a 3-byte row straight from the frame into two display rows: the 48
// output bytes of 8 source pixels are three byte shuffles of three overlapping
// loads, which end exactly at the row's last byte.
AVX2_ROW void row24_double_avx2(const uint8_t* s, uint8_t* o0, uint8_t* o1, int32_t dark) {
    const __m128i k0 = _mm_setr_epi8(0, 1, 2, 0, 1, 2, 3, 4, 5, 3, 4, 5, 6, 7, 8, 6);
    const __m128i k1 = _mm_setr_epi8(3, 4, 5, 6, 7, 5, 6, 7, 8, 9, 10, 8, 9, 10, 11, 12);
    const __m128i k2 = _mm_setr_epi8(9, 7, 8, 9, 10, 11, 12, 10, 11, 12, 13, 14, 15, 13, 14, 15);
    const __m128i m = _mm_set1_epi8((char)0x80);
    for (int32_t x = 0; x < SCALE_SRC_W; x += 8, s += 24, o0 += 48, o1 += 48) {
        __m128i v0 = _mm_shuffle_epi8(load128(s), k0);
        __m128i v1 = _mm_shuffle_epi8(load128(s + 4), k1);
        __m128i v2 = _mm_shuffle_epi8(load128(s + 8), k2);
        store128(o0, v0);
        store128(o0 + 16, v1);
        store128(o0 + 32, v2);
        if (dark) {
            v0 = _mm_srli_epi16(_mm_and_si128(v0, m), 2);
            v1 = _mm_srli_epi16(_mm_and_si128(v1, m), 2);
            v2 = _mm_srli_epi16(_mm_and_si128(v2, m), 2);
        }
        store128(o1, v0);
        store128(o1 + 16, v1);
        store128(o1 + 32, v2);
    }
}

// Widens one 3-byte row into words whose fourth byte is 0, 8 pixels a step;
// the last step loads 8 bytes earlier so that no load passes the row's end.
AVX2_ROW void unpack_row24_avx2(const uint8_t* s, uint32_t* r) {
    const __m256i k = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4, 5, -1,
                                       6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i spread = _mm256_setr_epi32(0, 1, 2, 2, 3, 4, 5, 5);
    int32_t x = 0;
    for (; x < SCALE_SRC_W - 8; x += 8)
        store256(r + x, _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(load256(s + 3 * x), spread), k));
    const __m256i spread_last = _mm256_setr_epi32(2, 3, 4, 4, 5, 6, 7, 7);
    store256(r + x, _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(load256(s + 3 * x - 8), spread_last), k));
}

// Writes x0 y0 x1 y1 ... x7 y7 to o: as 32-bit words, or with packed set as
// 3-byte pixels. Packed, each 32-byte store leaves 8 bytes that the next one
// overwrites, and the row's last step (last set) stores exactly its 48 bytes.
AVX2_INLINE void store_pairs_out(uint8_t* o, __m256i x, __m256i y, int32_t packed, int32_t last) {
    if (!packed) {
        store_pairs32((uint32_t*)o, x, y);
        return;
    }
    const __m256i k = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8, 9,
                                       10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
    x = _mm256_permute4x64_epi64(x, 0xD8);
    y = _mm256_permute4x64_epi64(y, 0xD8);
    __m256i lo = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(_mm256_unpacklo_epi32(x, y), k), join);
    __m256i hi = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(_mm256_unpackhi_epi32(x, y), k), join);
    store256(o, lo);
    if (!last) {
        store256(o + 24, hi);
        return;
    }
    store128(o + 24, _mm256_castsi256_si128(hi));
    _mm_storel_epi64((__m128i*)(o + 40), _mm256_extracti128_si256(hi, 1));
}

// One step of Scale2X (blend set: antialias) on 8 pixels from column x.
AVX2_INLINE void scale2x32_step(const uint32_t* a, const uint32_t* p, const uint32_t* d, uint8_t* o0, uint8_t* o1,
                                int32_t blend, int32_t packed, int32_t last) {
    __m256i odd;
    __m256i vp = load256(p), va = load256(a), vd = load256(d);
    __m256i vl = load256(p - 1), vr = load256(p + 1);
    __m256i keep = _mm256_or_si256(_mm256_cmpeq_epi32(va, vd), _mm256_cmpeq_epi32(vl, vr));
    __m256i e0 = va, e1 = vr, e2 = vl, e3 = vd;
    if (blend) {
        e0 = avg8_avx2(vp, va, &odd);
        e1 = avg8_avx2(vp, vr, &odd);
        e2 = avg8_avx2(vp, vl, &odd);
        e3 = avg8_avx2(vp, vd, &odd);
    }
    e0 = select256(_mm256_andnot_si256(keep, _mm256_cmpeq_epi32(vl, va)), e0, vp);
    e1 = select256(_mm256_andnot_si256(keep, _mm256_cmpeq_epi32(va, vr)), e1, vp);
    e2 = select256(_mm256_andnot_si256(keep, _mm256_cmpeq_epi32(vl, vd)), e2, vp);
    e3 = select256(_mm256_andnot_si256(keep, _mm256_cmpeq_epi32(vr, vd)), e3, vp);
    store_pairs_out(o0, e0, e1, packed, last);
    store_pairs_out(o1, e2, e3, packed, last);
}

// The four-pixel average per byte from two pair averages, as in avg4_32_sse.
AVX2_INLINE void bilinear32_step(const uint32_t* p, const uint32_t* d, uint8_t* o0, uint8_t* o1, int32_t packed,
                                 int32_t last) {
    __m256i odd_pr, odd_ddr, odd_pd, odd_sum;
    __m256i vp = load256(p), vr = load256(p + 1), vd = load256(d), vdr = load256(d + 1);
    __m256i e1 = avg8_avx2(vp, vr, &odd_pr);
    __m256i e2 = avg8_avx2(vp, vd, &odd_pd);
    __m256i below = avg8_avx2(vd, vdr, &odd_ddr);
    __m256i e3 = avg8_avx2(e1, below, &odd_sum);
    e3 = _mm256_add_epi8(e3, _mm256_and_si256(_mm256_and_si256(odd_sum, odd_pr), odd_ddr));
    store_pairs_out(o0, vp, e1, packed, last);
    store_pairs_out(o1, e2, e3, packed, last);
}

// Whole rows of the 32-bit rules into 32-bit (packed 0) or 3-byte (packed 1)
// output rows; kind is FILTER_SCALE2X, FILTER_ANTIALIAS or FILTER_BILINEAR.
AVX2_INLINE void rows32_avx2(const uint32_t* a, const uint32_t* p, const uint32_t* d, uint8_t* o0, uint8_t* o1,
                             int32_t kind, int32_t packed, int32_t n) {
    int32_t out_step = packed ? 48 : 64;  // output bytes of 8 source pixels
    for (int32_t x = 0; x < n; x += 8, o0 += out_step, o1 += out_step) {
        int32_t last = x == n - 8;
        if (kind == FILTER_BILINEAR)
            bilinear32_step(p + x, d + x, o0, o1, packed, last);
        else
            scale2x32_step(a + x, p + x, d + x, o0, o1, kind == FILTER_ANTIALIAS, packed, last);
    }
}

AVX2_ROW void row32_scale2x_avx2(const uint32_t* a, const uint32_t* p, const uint32_t* d, uint32_t* o0, uint32_t* o1,
                                 int32_t blend, int32_t n) {
    if (blend)
        rows32_avx2(a, p, d, (uint8_t*)o0, (uint8_t*)o1, FILTER_ANTIALIAS, 0, n);
    else
        rows32_avx2(a, p, d, (uint8_t*)o0, (uint8_t*)o1, FILTER_SCALE2X, 0, n);
}

AVX2_ROW void row32_bilinear_avx2(const uint32_t* p, const uint32_t* d, uint32_t* o0, uint32_t* o1) {
    rows32_avx2(p, p, d, (uint8_t*)o0, (uint8_t*)o1, FILTER_BILINEAR, 0, SCALE_SRC_W);
}

// The neighbour filters on widened rows, packed straight into two 3-byte
// display rows. No edge mending is needed: the ring rows repeat their end
// pixels and the last row is its own row below, and per byte avg(P, P) = P.
AVX2_ROW void row24_neighbours_avx2(const uint32_t* a, const uint32_t* p, const uint32_t* d, uint8_t* o0, uint8_t* o1,
                                    int32_t kind) {
    if (kind == FILTER_BILINEAR)
        rows32_avx2(a, p, d, o0, o1, FILTER_BILINEAR, 1, SCALE_SRC_W);
    else if (kind == FILTER_ANTIALIAS)
        rows32_avx2(a, p, d, o0, o1, FILTER_ANTIALIAS, 1, SCALE_SRC_W);
    else
        rows32_avx2(a, p, d, o0, o1, FILTER_SCALE2X, 1, SCALE_SRC_W);
}

__attribute__((target("avx2"))) void row24_scale2x_avx2(const uint32_t* a, const uint32_t* p, const uint32_t* d,
                                                        uint8_t* o0, uint8_t* o1, int32_t blend, int32_t n) {
    if (blend)
        rows32_avx2(a, p, d, o0, o1, FILTER_ANTIALIAS, 1, n);
    else
        rows32_avx2(a, p, d, o0, o1, FILTER_SCALE2X, 1, n);
}
#endif

// 16-bit rows: p is the source row, o0 and o1 the two output rows.

static void row16_double(const uint16_t* p, uint16_t* o0, uint16_t* o1, int32_t dark) {
#ifdef SCALE_HAVE_AVX2
    if (active_path == SCALE_PATH_AVX2) {
        row16_double_avx2(p, o0, o1, dark);
        return;
    }
#endif
#ifdef __SSE2__
    if (active_path >= SCALE_PATH_SSE2) {
        __m128i m = _mm_set1_epi16((int16_t)dark_mask16);
        for (int32_t x = 0; x < SCALE_SRC_W; x += 8) {
            __m128i v = load128(p + x);
            store128(o0 + 2 * x, _mm_unpacklo_epi16(v, v));
            store128(o0 + 2 * x + 8, _mm_unpackhi_epi16(v, v));
            if (dark) v = _mm_srli_epi16(_mm_and_si128(v, m), 2);
            store128(o1 + 2 * x, _mm_unpacklo_epi16(v, v));
            store128(o1 + 2 * x + 8, _mm_unpackhi_epi16(v, v));
        }
        return;
    }
#endif
    for (int32_t x = 0; x < SCALE_SRC_W; x++) o0[2 * x] = o0[2 * x + 1] = p[x];
    if (!dark) {
        memcpy(o1, o0, SCALE_DST_W * 2);
        return;
    }
    for (int32_t x = 0; x < SCALE_SRC_W; x++) o1[2 * x] = o1[2 * x + 1] = dark16(p[x]);
}

#ifdef __SSE2__
// Inlined twice, with blend a constant, so the loop carries no test of it.
// Writes x0 y0 ... x7 y7 to o as 16-bit values or, with conv set, as display pixels.
static inline __attribute__((always_inline)) void store_pairs16_sse(uint8_t* o, __m128i x, __m128i y, int32_t conv,
                                                                    const Convert16Sse& k) {
    if (!conv) {
        store128(o, _mm_unpacklo_epi16(x, y));
        store128(o + 16, _mm_unpackhi_epi16(x, y));
        return;
    }
    store_converted16_sse((uint32_t*)o, _mm_unpacklo_epi16(x, y), k);
    store_converted16_sse((uint32_t*)o + 8, _mm_unpackhi_epi16(x, y), k);
}

static inline __attribute__((always_inline)) void scale2x16_sse(const uint16_t* a, const uint16_t* p, const uint16_t* d,
                                                                uint8_t* o0, uint8_t* o1, int32_t blend, int32_t n,
                                                                int32_t conv, const Convert16Rule& rule) {
    __m128i m = _mm_set1_epi16((int16_t)avg_mask16);
    const Convert16Sse k = convert16_sse(rule);
    int32_t step = conv ? 64 : 32;  // output bytes of 8 source pixels
    for (int32_t x = 0; x < n; x += 8, o0 += step, o1 += step) {
        __m128i vp = load128(p + x), va = load128(a + x), vd = load128(d + x);
        __m128i vl = load128(p + x - 1), vr = load128(p + x + 1);
        __m128i keep = _mm_or_si128(_mm_cmpeq_epi16(va, vd), _mm_cmpeq_epi16(vl, vr));
        if (conv) {
            // A step of plain 2 x 2 blocks (no corner takes a neighbour) converts its pixels once.
            __m128i any = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(vl, va), _mm_cmpeq_epi16(va, vr)),
                                       _mm_or_si128(_mm_cmpeq_epi16(vl, vd), _mm_cmpeq_epi16(vr, vd)));
            if (_mm_movemask_epi8(_mm_andnot_si128(keep, any)) == 0) {
                uint32_t c[8];
                store_converted16_sse(c, vp, k);
                for (int32_t h = 0; h < 2; h++) {
                    __m128i v = load128(c + 4 * h);
                    __m128i w0 = _mm_unpacklo_epi32(v, v), w1 = _mm_unpackhi_epi32(v, v);
                    store128(o0 + 32 * h, w0), store128(o0 + 32 * h + 16, w1);
                    store128(o1 + 32 * h, w0), store128(o1 + 32 * h + 16, w1);
                }
                continue;
            }
        }
        __m128i e0 = va, e1 = vr, e2 = vl, e3 = vd;
        if (blend) {
            e0 = avg16_sse(vp, va, m);
            e1 = avg16_sse(vp, vr, m);
            e2 = avg16_sse(vp, vl, m);
            e3 = avg16_sse(vp, vd, m);
        }
        e0 = select128(_mm_andnot_si128(keep, _mm_cmpeq_epi16(vl, va)), e0, vp);
        e1 = select128(_mm_andnot_si128(keep, _mm_cmpeq_epi16(va, vr)), e1, vp);
        e2 = select128(_mm_andnot_si128(keep, _mm_cmpeq_epi16(vl, vd)), e2, vp);
        e3 = select128(_mm_andnot_si128(keep, _mm_cmpeq_epi16(vr, vd)), e3, vp);
        store_pairs16_sse(o0, e0, e1, conv, k);
        store_pairs16_sse(o1, e2, e3, conv, k);
    }
}

static inline __attribute__((always_inline)) void bilinear16_sse(const uint16_t* p, const uint16_t* d, uint8_t* o0,
                                                                 uint8_t* o1, int32_t conv, const Convert16Rule& rule) {
    __m128i m = _mm_set1_epi16((int16_t)avg_mask16);
    const Convert16Sse k = convert16_sse(rule);
    int32_t step = conv ? 64 : 32;
    for (int32_t x = 0; x < SCALE_SRC_W; x += 8, o0 += step, o1 += step) {
        __m128i vp = load128(p + x), vr = load128(p + x + 1), vd = load128(d + x), vdr = load128(d + x + 1);
        __m128i e1 = avg16_sse(vp, vr, m);
        __m128i e2 = avg16_sse(vp, vd, m);
        __m128i e3 = avg16_sse(e1, avg16_sse(vd, vdr, m), m);
        store_pairs16_sse(o0, vp, e1, conv, k);
        store_pairs16_sse(o1, e2, e3, conv, k);
    }
}
#endif

// A 16-bit output value at place i of a row: as it is, or converted.
static inline void put16(uint8_t* row, int32_t i, uint32_t v, int32_t conv) {
    if (conv)
        ((uint32_t*)row)[i] = convert16(v);
    else
        ((uint16_t*)row)[i] = (uint16_t)v;
}

// Scale2X on one row; with blend set, the antialias rule (see scale_antialias).
void row16_scale2x(const uint16_t* a, const uint16_t* p, const uint16_t* d, void* out0, void* out1, int32_t blend,
                   int32_t n, int32_t conv) {
    uint8_t *o0 = (uint8_t*)out0, *o1 = (uint8_t*)out1;
    Convert16Rule rule = {};
    if (conv && active_path != SCALE_PATH_PORTABLE) convert16_rule(&rule);
#ifdef SCALE_HAVE_AVX2
    if (active_path == SCALE_PATH_AVX2) {
        row16_scale2x_avx2(a, p, d, o0, o1, blend, n, conv, rule);
        return;
    }
#endif
#ifdef __SSE2__
    if (active_path >= SCALE_PATH_SSE2) {
        if (blend && conv)
            scale2x16_sse(a, p, d, o0, o1, 1, n, 1, rule);
        else if (blend)
            scale2x16_sse(a, p, d, o0, o1, 1, n, 0, rule);
        else if (conv)
            scale2x16_sse(a, p, d, o0, o1, 0, n, 1, rule);
        else
            scale2x16_sse(a, p, d, o0, o1, 0, n, 0, rule);
        return;
    }
#endif
    for (int32_t x = 0; x < n; x++) {
        uint16_t vp = p[x], va = a[x], vd = d[x], vl = p[x - 1], vr = p[x + 1];
        int32_t change = !(va == vd || vl == vr);
        uint16_t e0 = blend ? avg16(vp, va) : va, e1 = blend ? avg16(vp, vr) : vr;
        uint16_t e2 = blend ? avg16(vp, vl) : vl, e3 = blend ? avg16(vp, vd) : vd;
        put16(o0, 2 * x, (change && vl == va) ? e0 : vp, conv);
        put16(o0, 2 * x + 1, (change && va == vr) ? e1 : vp, conv);
        put16(o1, 2 * x, (change && vl == vd) ? e2 : vp, conv);
        put16(o1, 2 * x + 1, (change && vr == vd) ? e3 : vp, conv);
    }
}

// Bilinear on one row with d the row below; the caller mends column 319 and the last row.
static void row16_bilinear(const uint16_t* p, const uint16_t* d, uint8_t* o0, uint8_t* o1, int32_t conv) {
    Convert16Rule rule = {};
    if (conv && active_path != SCALE_PATH_PORTABLE) convert16_rule(&rule);
#ifdef SCALE_HAVE_AVX2
    if (active_path == SCALE_PATH_AVX2) {
        row16_bilinear_avx2(p, d, o0, o1, conv, rule);
        return;
    }
#endif
#ifdef __SSE2__
    if (active_path >= SCALE_PATH_SSE2) {
        if (conv)
            bilinear16_sse(p, d, o0, o1, 1, rule);
        else
            bilinear16_sse(p, d, o0, o1, 0, rule);
        return;
    }
#endif
    for (int32_t x = 0; x < SCALE_SRC_W; x++) {
        put16(o0, 2 * x, p[x], conv);
        put16(o0, 2 * x + 1, avg16(p[x], p[x + 1]), conv);
        put16(o1, 2 * x, avg16(p[x], d[x]), conv);
        put16(o1, 2 * x + 1, avg4_16(p[x], p[x + 1], d[x], d[x + 1]), conv);
    }
}

// 32-bit rows (24-bit and 32-bit surfaces), the same rules per byte.

// Row o0 doubles p; row o1 doubles q (p itself, or the row of the dark
// frame), darkened with dark set.
static void row32_double(const uint32_t* p, const uint32_t* q, uint32_t* o0, uint32_t* o1, int32_t dark) {
#ifdef __SSE2__
    if (active_path >= SCALE_PATH_SSE2) {
        __m128i m = _mm_set1_epi32((int32_t)(0x80808080u & ~keep_mask32));
        __m128i k = _mm_set1_epi32((int32_t)keep_mask32);
        for (int32_t x = 0; x < SCALE_SRC_W; x += 4) {
            __m128i v = load128(p + x);
            store128(o0 + 2 * x, _mm_unpacklo_epi32(v, v));
            store128(o0 + 2 * x + 4, _mm_unpackhi_epi32(v, v));
            v = load128(q + x);
            if (dark) v = _mm_or_si128(_mm_srli_epi32(_mm_and_si128(v, m), 2), _mm_and_si128(v, k));
            store128(o1 + 2 * x, _mm_unpacklo_epi32(v, v));
            store128(o1 + 2 * x + 4, _mm_unpackhi_epi32(v, v));
        }
        return;
    }
#endif
    for (int32_t x = 0; x < SCALE_SRC_W; x++) {
        uint32_t v = p[x];
        o0[2 * x] = o0[2 * x + 1] = v;
        v = q[x];
        if (dark) v = dark32(v);
        o1[2 * x] = o1[2 * x + 1] = v;
    }
}

#ifdef __SSE2__
// Inlined twice, with blend a constant, so the loop carries no test of it.
static inline __attribute__((always_inline)) void scale2x32_sse(const uint32_t* a, const uint32_t* p, const uint32_t* d,
                                                                uint32_t* o0, uint32_t* o1, int32_t blend, int32_t n) {
    for (int32_t x = 0; x < n; x += 4) {
        __m128i vp = load128(p + x), va = load128(a + x), vd = load128(d + x);
        __m128i vl = load128(p + x - 1), vr = load128(p + x + 1);
        __m128i keep = _mm_or_si128(_mm_cmpeq_epi32(va, vd), _mm_cmpeq_epi32(vl, vr));
        __m128i e0 = va, e1 = vr, e2 = vl, e3 = vd;
        if (blend) {
            e0 = avg32_sse(vp, va);
            e1 = avg32_sse(vp, vr);
            e2 = avg32_sse(vp, vl);
            e3 = avg32_sse(vp, vd);
        }
        e0 = select128(_mm_andnot_si128(keep, _mm_cmpeq_epi32(vl, va)), e0, vp);
        e1 = select128(_mm_andnot_si128(keep, _mm_cmpeq_epi32(va, vr)), e1, vp);
        e2 = select128(_mm_andnot_si128(keep, _mm_cmpeq_epi32(vl, vd)), e2, vp);
        e3 = select128(_mm_andnot_si128(keep, _mm_cmpeq_epi32(vr, vd)), e3, vp);
        store128(o0 + 2 * x, _mm_unpacklo_epi32(e0, e1));
        store128(o0 + 2 * x + 4, _mm_unpackhi_epi32(e0, e1));
        store128(o1 + 2 * x, _mm_unpacklo_epi32(e2, e3));
        store128(o1 + 2 * x + 4, _mm_unpackhi_epi32(e2, e3));
    }
}
#endif

void row32_scale2x(const uint32_t* a, const uint32_t* p, const uint32_t* d, uint32_t* o0, uint32_t* o1, int32_t blend,
                   int32_t n) {
#ifdef SCALE_HAVE_AVX2
    if (active_path == SCALE_PATH_AVX2) {
        row32_scale2x_avx2(a, p, d, o0, o1, blend, n);
        return;
    }
#endif
#ifdef __SSE2__
    if (active_path >= SCALE_PATH_SSE2) {
        if (blend)
            scale2x32_sse(a, p, d, o0, o1, 1, n);
        else
            scale2x32_sse(a, p, d, o0, o1, 0, n);
        return;
    }
#endif
    for (int32_t x = 0; x < n; x++) {
        uint32_t vp = p[x], va = a[x], vd = d[x], vl = p[x - 1], vr = p[x + 1];
        int32_t change = !(va == vd || vl == vr);
        uint32_t e0 = blend ? avg32(vp, va) : va, e1 = blend ? avg32(vp, vr) : vr;
        uint32_t e2 = blend ? avg32(vp, vl) : vl, e3 = blend ? avg32(vp, vd) : vd;
        o0[2 * x] = (change && vl == va) ? e0 : vp;
        o0[2 * x + 1] = (change && va == vr) ? e1 : vp;
        o1[2 * x] = (change && vl == vd) ? e2 : vp;
        o1[2 * x + 1] = (change && vr == vd) ? e3 : vp;
    }
}

static void row32_bilinear(const uint32_t* p, const uint32_t* d, uint32_t* o0, uint32_t* o1) {
#ifdef SCALE_HAVE_AVX2
    if (active_path == SCALE_PATH_AVX2) {
        row32_bilinear_avx2(p, d, o0, o1);
        return;
    }
#endif
#ifdef __SSE2__
    if (active_path >= SCALE_PATH_SSE2) {
        for (int32_t x = 0; x < SCALE_SRC_W; x += 4) {
            __m128i vp = load128(p + x), vr = load128(p + x + 1), vd = load128(d + x), vdr = load128(d + x + 1);
            __m128i e1 = avg32_sse(vp, vr);
            __m128i e2 = avg32_sse(vp, vd);
            __m128i e3 = avg4_32_sse(vp, vr, vd, vdr);
            store128(o0 + 2 * x, _mm_unpacklo_epi32(vp, e1));
            store128(o0 + 2 * x + 4, _mm_unpackhi_epi32(vp, e1));
            store128(o1 + 2 * x, _mm_unpacklo_epi32(e2, e3));
            store128(o1 + 2 * x + 4, _mm_unpackhi_epi32(e2, e3));
        }
        return;
    }
#endif
    for (int32_t x = 0; x < SCALE_SRC_W; x++) {
        o0[2 * x] = p[x];
        o0[2 * x + 1] = avg32(p[x], p[x + 1]);
        o1[2 * x] = avg32(p[x], d[x]);
        o1[2 * x + 1] = avg4_32(p[x], p[x + 1], d[x], d[x + 1]);
    }
}

// Moving rows between the surfaces and the 32-bit working rows.

void unpack_row24(const uint8_t* s, uint32_t* r) {
#ifdef SCALE_HAVE_AVX2
    if (active_path == SCALE_PATH_AVX2) {
        unpack_row24_avx2(s, r);
        return;
    }
#endif
#ifdef __SSE2__
    if (active_path >= SCALE_PATH_SSE2) {
        // 48 bytes (16 pixels) at a time: 960 bytes a row, no read past it.
        __m128i m0 = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF), m1 = _mm_slli_epi64(m0, 32);
        for (int32_t x = 0; x < SCALE_SRC_W; x += 16, s += 48, r += 16) {
            __m128i b0 = load128(s), b1 = load128(s + 16), b2 = load128(s + 32);
            __m128i c[4] = {b0, _mm_or_si128(_mm_srli_si128(b0, 12), _mm_slli_si128(b1, 4)),
                            _mm_or_si128(_mm_srli_si128(b1, 8), _mm_slli_si128(b2, 8)), _mm_srli_si128(b2, 4)};
            for (int32_t i = 0; i < 4; i++) {
                __m128i t = _mm_unpacklo_epi64(c[i], _mm_srli_si128(c[i], 6));
                store128(r + 4 * i, _mm_or_si128(_mm_and_si128(t, m0), _mm_and_si128(_mm_slli_epi64(t, 8), m1)));
            }
        }
        return;
    }
#endif
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
    for (int32_t x = 0; x < SCALE_SRC_W; x += 4, s += 12) {
        uint32_t w[3];
        memcpy(w, s, 12);
        r[x] = w[0] & 0x00FFFFFFu;
        r[x + 1] = ((w[0] >> 24) | (w[1] << 8)) & 0x00FFFFFFu;
        r[x + 2] = ((w[1] >> 16) | (w[2] << 16)) & 0x00FFFFFFu;
        r[x + 3] = w[2] >> 8;
    }
#else
    for (int32_t x = 0; x < SCALE_SRC_W; x++, s += 3)
        r[x] = (uint32_t)s[0] | ((uint32_t)s[1] << 8) | ((uint32_t)s[2] << 16);
#endif
}

#ifdef SCALE_HAVE_AVX2
// 8 words a step into 24 bytes; each 32-byte store leaves 8 bytes that the
// next one overwrites, and the last step stores exactly its 24.
AVX2_ROW void pack_row24_avx2(const uint32_t* r, uint8_t* d, int32_t n) {
    const __m256i k = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8, 9,
                                       10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
    int32_t x = 0;
    for (; x < n - 8; x += 8, d += 24)
        store256(d, _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(load256(r + x), k), join));
    __m256i v = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(load256(r + x), k), join);
    store128(d, _mm256_castsi256_si128(v));
    _mm_storel_epi64((__m128i*)(d + 16), _mm256_extracti128_si256(v, 1));
}
#endif

void pack_row24(const uint32_t* r, uint8_t* d, int32_t n) {
#ifdef SCALE_HAVE_AVX2
    if (active_path == SCALE_PATH_AVX2) {
        pack_row24_avx2(r, d, n);
        return;
    }
#endif
#ifdef __SSE2__
    if (active_path >= SCALE_PATH_SSE2) {
        __m128i m0 = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF), m1 = _mm_slli_epi64(m0, 32);
        for (int32_t x = 0; x < n; x += 16, r += 16, d += 48) {
            __m128i c[4];
            for (int32_t i = 0; i < 4; i++) {
                __m128i v = load128(r + 4 * i);
                __m128i q = _mm_or_si128(_mm_and_si128(v, m0), _mm_srli_epi64(_mm_and_si128(v, m1), 8));
                c[i] = _mm_or_si128(_mm_move_epi64(q), _mm_slli_si128(_mm_srli_si128(q, 8), 6));
            }
            store128(d, _mm_or_si128(c[0], _mm_slli_si128(c[1], 12)));
            store128(d + 16, _mm_or_si128(_mm_srli_si128(c[1], 4), _mm_slli_si128(c[2], 8)));
            store128(d + 32, _mm_or_si128(_mm_srli_si128(c[2], 8), _mm_slli_si128(c[3], 4)));
        }
        return;
    }
#endif
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
    for (int32_t x = 0; x < n; x += 4, d += 12) {
        uint32_t w[3] = {r[x] | (r[x + 1] << 24), (r[x + 1] >> 8) | (r[x + 2] << 16),
                         (r[x + 2] >> 16) | (r[x + 3] << 8)};
        memcpy(d, w, 12);
    }
#else
    for (int32_t x = 0; x < n; x++, d += 3) {
        d[0] = (uint8_t)r[x];
        d[1] = (uint8_t)(r[x] >> 8);
        d[2] = (uint8_t)(r[x] >> 16);
    }
#endif
}

static void load_ring16(int32_t y) {
    uint16_t* r = ring16[y % 3] + SCALE_PAD;
    memcpy(r, source_row(frame_surface, y), SCALE_SRC_W * 2);
    r[-1] = r[0];
    r[SCALE_SRC_W] = r[SCALE_SRC_W - 1];
}

static void load_ring32(int32_t y, int32_t bpp) {
    uint32_t* r = ring32[y % 3] + SCALE_PAD;
    if (bpp == 3)
        unpack_row24(source_row(frame_surface, y), r);
    else
        memcpy(r, source_row(frame_surface, y), SCALE_SRC_W * 4);
    r[-1] = r[0];
    r[SCALE_SRC_W] = r[SCALE_SRC_W - 1];
}

// Copies a 3-byte output row, with dark set darkening every byte on its own.
static void copy_row24(const uint8_t* row, uint8_t* to, int32_t dark) {
    if (!dark) {
        memcpy(to, row, SCALE_DST_W * 3);
        return;
    }
#ifdef __SSE2__
    if (active_path >= SCALE_PATH_SSE2) {
        __m128i m = _mm_set1_epi8((char)0x80);
        for (int32_t i = 0; i < SCALE_DST_W * 3; i += 16)
            store128(to + i, _mm_srli_epi16(_mm_and_si128(load128(row + i), m), 2));
        return;
    }
#endif
    for (int32_t i = 0; i < SCALE_DST_W * 3; i += 8) {
        uint64_t w;
        memcpy(&w, row + i, 8);
        w = (w & 0x8080808080808080ull) >> 2;
        memcpy(to + i, &w, 8);
    }
}

// Packs the working rows into output rows 2y and 2y+1 of 3-byte pixels.
// Packing is the costly part, so the doubling filters pack their upper row
// only and derive the lower one from it.
static void pack_out24(int32_t y, int32_t kind) {
    uint8_t* d0 = picture_row(2 * y);
    uint8_t* d1 = picture_row(2 * y + 1);
    pack_row24(out32[0], d0, SCALE_DST_W);
    if (kind == FILTER_SIMPLE || kind == FILTER_SCANLINE)
        copy_row24(d0, d1, kind == FILTER_SCANLINE);
    else
        pack_row24(out32[1], d1, SCALE_DST_W);
}

// The filters over the whole frame, per depth.

static void filter16(int32_t kind) {
    if (kind == FILTER_SIMPLE || kind == FILTER_SCANLINE) {
        for (int32_t y = 0; y < SCALE_SRC_H; y++)
            row16_double((const uint16_t*)source_row(frame_surface, y), (uint16_t*)picture_row(2 * y),
                         (uint16_t*)picture_row(2 * y + 1), kind == FILTER_SCANLINE);
        return;
    }
    load_ring16(0);
    for (int32_t y = 0; y < SCALE_SRC_H; y++) {
        int32_t last = y == SCALE_SRC_H - 1;
        if (!last) load_ring16(y + 1);
        const uint16_t* a = ring16[(y > 0 ? y - 1 : 0) % 3] + SCALE_PAD;
        const uint16_t* p = ring16[y % 3] + SCALE_PAD;
        const uint16_t* d = ring16[(last ? y : y + 1) % 3] + SCALE_PAD;
        uint8_t* o0 = picture_row(2 * y);
        uint8_t* o1 = picture_row(2 * y + 1);
        int32_t conv = scale_picture.convert;
        if (kind != FILTER_BILINEAR) {
            row16_scale2x(a, p, d, o0, o1, kind == FILTER_ANTIALIAS, SCALE_SRC_W, conv);
            continue;
        }
        // Column 319 has no right neighbour and keeps P beside itself; the
        // last row has none below and repeats its upper output row.
        row16_bilinear(p, d, o0, o1, conv);
        put16(o0, SCALE_DST_W - 1, p[SCALE_SRC_W - 1], conv);
        if (last) memcpy(o1, o0, (size_t)SCALE_DST_W * (conv ? 4 : 2));
    }
}

static void filter32(int32_t kind, int32_t bpp) {
#ifdef SCALE_HAVE_AVX2
    if (bpp == 3 && active_path == SCALE_PATH_AVX2 && (kind == FILTER_SIMPLE || kind == FILTER_SCANLINE)) {
        for (int32_t y = 0; y < SCALE_SRC_H; y++)
            row24_double_avx2(source_row(frame_surface, y), picture_row(2 * y), picture_row(2 * y + 1),
                              kind == FILTER_SCANLINE);
        return;
    }
#endif
    load_ring32(0, bpp);
    for (int32_t y = 0; y < SCALE_SRC_H; y++) {
        int32_t last = y == SCALE_SRC_H - 1;
        if (!last) load_ring32(y + 1, bpp);
        const uint32_t* a = ring32[(y > 0 ? y - 1 : 0) % 3] + SCALE_PAD;
        const uint32_t* p = ring32[y % 3] + SCALE_PAD;
        const uint32_t* d = ring32[(last ? y : y + 1) % 3] + SCALE_PAD;
#ifdef SCALE_HAVE_AVX2
        if (bpp == 3 && active_path == SCALE_PATH_AVX2) {
            row24_neighbours_avx2(a, p, d, picture_row(2 * y), picture_row(2 * y + 1), kind);
            continue;
        }
#endif
        // 32-bit pixels go straight into the display, 3-byte ones through the working rows.
        uint32_t* o0 = bpp == 4 ? (uint32_t*)picture_row(2 * y) : out32[0];
        uint32_t* o1 = bpp == 4 ? (uint32_t*)picture_row(2 * y + 1) : out32[1];
        if (kind == FILTER_SIMPLE || kind == FILTER_SCANLINE) {
            int32_t dark = kind == FILTER_SCANLINE;
            const uint32_t* q = dark && scale_dark_frame ? (const uint32_t*)source_row(scale_dark_frame, y) : p;
            row32_double(p, q, o0, o1, dark && q == p);
        } else if (kind != FILTER_BILINEAR) {
            row32_scale2x(a, p, d, o0, o1, kind == FILTER_ANTIALIAS, SCALE_SRC_W);
        } else {
            row32_bilinear(p, d, o0, o1);
            o0[SCALE_DST_W - 1] = p[SCALE_SRC_W - 1];
            if (last) memcpy(o1, o0, SCALE_DST_W * 4);
        }
        if (bpp == 3) pack_out24(y, kind);
    }
}

// Palette pixels cannot be blended: every filter doubles them.
static void filter8() {
    for (int32_t y = 0; y < SCALE_SRC_H; y++) {
        const uint8_t* p = source_row(frame_surface, y);
        uint8_t* o0 = picture_row(2 * y);
        for (int32_t x = 0; x < SCALE_SRC_W; x++) o0[2 * x] = o0[2 * x + 1] = p[x];
        memcpy(picture_row(2 * y + 1), o0, SCALE_DST_W);
    }
}

void picture_placement(int32_t display_w, int32_t display_h, int32_t* x, int32_t* y, int32_t* factor) {
    int32_t across = display_w / SCALE_SRC_W, down = display_h / SCALE_SRC_H;
    int32_t k = across < down ? across : down;
    if (k > SCALE_MAX_FACTOR) k = SCALE_MAX_FACTOR;
    if (k < 2) k = 0;
    *factor = k;
    *x = k ? (display_w - SCALE_SRC_W * k) / 2 : 0;
    *y = k ? (display_h - SCALE_SRC_H * k) / 2 : 0;
}

// Bytes per pixel of the frame, or 0 when the surfaces cannot be filtered
// safely (missing, too small, or of pixel sizes that neither match nor
// convert: a 16- or 24-bit frame goes into a 32-bit display converted).
static int32_t usable_bytes_per_pixel() {
    if (!frame_surface || !display_surface || frame_surface == display_surface) return 0;
    int32_t bpp = frame_surface->format->BytesPerPixel, to = display_surface->format->BytesPerPixel;
    if (bpp < 1 || bpp > 4) return 0;
    if (to != bpp && !(to == 4 && (bpp == 2 || bpp == 3))) return 0;
    if (frame_surface->w < SCALE_SRC_W || frame_surface->h < SCALE_SRC_H) return 0;
    if (display_surface->w < SCALE_DST_W || display_surface->h < SCALE_DST_H) return 0;
    return bpp;
}

static void set_channel_masks(int32_t bpp) {
    const SDL_PixelFormat* f = frame_surface->format;
    if (bpp == 2) {
        dark_mask16 = (uint16_t)((0x20u << f->Gshift) | (0x10u << f->Rshift) | (0x10u << f->Bshift));
        avg_mask16 = (uint16_t)(~((1u << f->Rshift) | (1u << f->Gshift) | (1u << f->Bshift)) | 1u);
        // Bits outside the three channels count as channels of their own.
        low_bits16 = (uint16_t)((1u << f->Rshift) | (1u << f->Gshift) | (1u << f->Bshift) |
                                (~(f->Rmask | f->Gmask | f->Bmask) & 0xFFFFu));
    }
    keep_mask32 = bpp == 4 ? display_surface->format->Amask : 0;
}

// The picture in the frame's format when the display's differs: made once
// for the largest picture asked for, kept for every later frame.
static uint8_t* staging = nullptr;
static size_t staging_bytes = 0;

// The picture's rectangle in the display, for the filter about to run; a
// converting filter writes into the staging picture instead. Returns 0 when
// there is no memory for that picture.
static int32_t place_picture(int32_t bpp, int32_t converting) {
    int32_t x = 0, y = 0, factor = 0;
    picture_placement(display_surface->w, display_surface->h, &x, &y, &factor);
    scale_picture.factor = factor;
    scale_picture.bpp = bpp;
    int32_t to_bpp = display_surface->format->BytesPerPixel;
    scale_picture.pitch = display_surface->pitch;
    scale_picture.origin = (uint8_t*)display_surface->pixels + y * display_surface->pitch + x * to_bpp;
    if (!converting) return 1;
    int32_t pitch = (SCALE_SRC_W * factor * bpp + 63) & ~63;
    size_t bytes = (size_t)pitch * SCALE_SRC_H * factor;
    if (bytes > staging_bytes) {
        free(staging);
        staging = (uint8_t*)malloc(bytes);
        staging_bytes = staging ? bytes : 0;
        if (!staging) return 0;
    }
    scale_picture.origin = staging;
    scale_picture.pitch = pitch;
    return 1;
}

int32_t best_scale_path() {
    static int32_t best = SCALE_PATH_AUTO;
    if (best != SCALE_PATH_AUTO) return best;
    best = SCALE_PATH_PORTABLE;
#ifdef __SSE2__
    best = SCALE_PATH_SSE2;
#endif
#ifdef SCALE_HAVE_AVX2
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) best = SCALE_PATH_AVX2;
#endif
    return best;
}

// How a filter draws into a display of another pixel format. Where every
// output pixel of the filter is a frame pixel, or a frame pixel's dark form,
// or where the conversion moves whole bytes (which every 3-byte rule, being
// per byte or comparing whole pixels, commutes with), the frame is
// converted once (76,800 pixels; the scanline filter's dark forms too) and
// the filter's 32-bit loops enlarge it straight into the display. The other
// 16-bit filters blend: their fused loops convert each value as they store
// it. Anything else draws the picture in the frame's format into a staging
// picture, converted afterwards.
enum { ROUTE_STAGED = 0, ROUTE_FRAME_FIRST = 1, ROUTE_FUSED = 2 };

static int32_t conversion_route(int32_t kind, int32_t bpp) {
    if (kind == FILTER_SIMPLE || kind == FILTER_SCANLINE || conversion_moves_bytes()) return ROUTE_FRAME_FIRST;
    if (kind == FILTER_SCALE2X && conversion_keeps_pixels_apart()) return ROUTE_FRAME_FIRST;
    Convert16Rule rule = {};
    if (bpp == 2 && (active_path == SCALE_PATH_PORTABLE || convert16_rule(&rule))) return ROUTE_FUSED;
    return ROUTE_STAGED;
}

static SDL_Surface* converted_frame = nullptr;
static SDL_Surface* converted_dark = nullptr;
SDL_Surface* scale_dark_frame = nullptr;
// The frame's pixels in their dark form, in the frame's own format.
static uint8_t dark_pixels[SCALE_SRC_W * SCALE_SRC_H * 3];

// A 320 x 240 surface in the display's format, made again when that format changed.
static SDL_Surface* in_display_format(SDL_Surface** s) {
    const SDL_PixelFormat* to = display_surface->format;
    if (*s) {
        const SDL_PixelFormat* f = (*s)->format;
        if (f->Rmask != to->Rmask || f->Gmask != to->Gmask || f->Bmask != to->Bmask || f->Amask != to->Amask) {
            SDL_FreeSurface(*s);
            *s = nullptr;
        }
    }
    if (!*s)
        *s = SDL_CreateRGBSurface(SDL_SWSURFACE, SCALE_SRC_W, SCALE_SRC_H, 32, to->Rmask, to->Gmask, to->Bmask,
                                  to->Amask);
    return *s;
}

// The frame's dark form, in its own format, into dark_pixels.
static void darken_frame(int32_t bpp) {
    for (int32_t y = 0; y < SCALE_SRC_H; y++)
        darken_row(source_row(frame_surface, y), dark_pixels + y * SCALE_SRC_W * bpp, SCALE_SRC_W * bpp, bpp);
}

// Converts the frame (and with dark set its dark form) into the display's
// format; 0 when a surface cannot be made.
static int32_t convert_frame(int32_t bpp, int32_t dark) {
    if (!in_display_format(&converted_frame)) return 0;
    if (dark && !in_display_format(&converted_dark)) return 0;
    convert_picture((const uint8_t*)frame_surface->pixels, frame_surface->pitch, (uint8_t*)converted_frame->pixels,
                    converted_frame->pitch, SCALE_SRC_W, SCALE_SRC_H);
    if (dark) {
        darken_frame(bpp);
        convert_picture(dark_pixels, SCALE_SRC_W * bpp, (uint8_t*)converted_dark->pixels, converted_dark->pitch,
                        SCALE_SRC_W, SCALE_SRC_H);
    }
    return 1;
}

static void run_filter(int32_t kind) {
    int32_t bpp = usable_bytes_per_pixel();
    if (!bpp) return;
    int32_t best = best_scale_path();
    active_path = scale_path < SCALE_PATH_PORTABLE || scale_path > best ? best : scale_path;
    SDL_LockSurface(display_surface);
    SDL_LockSurface(frame_surface);
    int32_t converting = display_surface->format->BytesPerPixel != bpp, fused = 0;
    SDL_Surface* drawn_frame = frame_surface;
    scale_dark_frame = nullptr;
    if (converting && frame_surface->pixels && prepare_conversion(frame_surface->format, display_surface->format)) {
        set_channel_masks(bpp);  // the dark form is the frame format's
        int32_t route = conversion_route(kind, bpp);
        if (route == ROUTE_FRAME_FIRST && convert_frame(bpp, kind == FILTER_SCANLINE)) {
            frame_surface = converted_frame;
            if (kind == FILTER_SCANLINE) scale_dark_frame = converted_dark;
            converting = 0;
            bpp = 4;
        } else if (route == ROUTE_FUSED) {
            converting = 0;
            fused = 1;
        }
    }
    if (frame_surface->pixels && display_surface->pixels &&
        (!converting || prepare_conversion(frame_surface->format, display_surface->format)) &&
        place_picture(bpp, converting)) {
        set_channel_masks(bpp);
        scale_picture.convert = fused;
        uint8_t* screen = (uint8_t*)display_surface->pixels;
        ScalePicture target = scale_picture;
        int32_t factor = scale_picture.factor;
        if (factor != 2 && (bpp == 1 || kind == FILTER_SIMPLE || kind == FILTER_SCANLINE))
            filter_replicate(kind);
        else if (factor > 4)
            filter_beyond4(kind);
        else if (factor > 2 && kind == FILTER_BILINEAR)
            filter_bilinear(kind);
        else if (factor > 2)
            filter_edges(kind);
        else if (bpp == 2)
            filter16(kind);
        else if (bpp == 1)
            filter8();
        else
            filter32(kind, bpp);
        if (converting) {
            int32_t x = 0, y = 0;
            picture_placement(display_surface->w, display_surface->h, &x, &y, &factor);
            convert_picture(target.origin, target.pitch, screen + y * display_surface->pitch + x * 4,
                            display_surface->pitch, SCALE_SRC_W * factor, SCALE_SRC_H * factor);
        }
    }
    scale_picture.convert = 0;
    scale_dark_frame = nullptr;
    frame_surface = drawn_frame;
    SDL_UnlockSurface(frame_surface);
    SDL_UnlockSurface(display_surface);
}

// A display with two buffers in hardware is flipped. Any other display shows
// only the picture's rectangle anew: its borders were made black once, when
// the mode was set, and SDL itself repaints the whole screen from its surface
// when the window is exposed. Updating the borders of a big desktop on every
// frame (and with a shadow surface, converting them) cost more than the picture.
static void show_picture() {
    if (display_surface->flags & SDL_DOUBLEBUF) {
        SDL_Flip(display_surface);
        return;
    }
    int32_t x = 0, y = 0, factor = 0;
    picture_placement(display_surface->w, display_surface->h, &x, &y, &factor);
    if (!factor) {
        SDL_UpdateRect(display_surface, 0, 0, 0, 0);
        return;
    }
    SDL_UpdateRect(display_surface, x, y, (Uint32)(SCALE_SRC_W * factor), (Uint32)(SCALE_SRC_H * factor));
}

int32_t frames_presented = 0;

void present_frame() {
    frames_presented += 1;
    if (!display_surface) {
        if (frame_surface) SDL_Flip(frame_surface);
        return;
    }
    if (present_small_window()) return;
    switch (scale_mode) {
        case SCALE_SCALE2X:
            scale_scale2x();
            break;
        case SCALE_SCANLINE:
            scale_scanline();
            break;
        case SCALE_BILINEAR:
            scale_bilinear();
            break;
        case SCALE_ANTIALIAS:
            scale_antialias();
            break;
        default:
            scale_simple();
            break;
    }
    show_picture();
}

void scale_simple() { run_filter(FILTER_SIMPLE); }
void scale_scale2x() { run_filter(FILTER_SCALE2X); }
void scale_scanline() { run_filter(FILTER_SCANLINE); }
void scale_bilinear() { run_filter(FILTER_BILINEAR); }

// Antialiasing: Scale2X finds the corners of a staircase edge (a pixel whose
// neighbours on two adjacent sides share one colour, while the opposite sides
// differ); instead of handing that output quarter wholly to the neighbours'
// colour, this filter gives it the average of the pixel and that colour. A
// diagonal edge thus gets an intermediate shade in its notches, while flat
// areas, straight edges and isolated pixels come out as plain 2 x 2 blocks.
void scale_antialias() { run_filter(FILTER_ANTIALIAS); }
