// Scale3x, Scale4x and the antialias filter at factors 3 and 4.
//
// Scale3x gives every source pixel E a 3 x 3 block from its eight
// neighbours, A B C above, D F beside, G H I below:
//
//   when B != H and D != F:                     otherwise all nine are E.
//     E0 = D if D == B                        else E
//     E1 = B if (D == B and E != C) or (B == F and E != A)
//     E2 = F if B == F
//     E3 = D if (D == B and E != G) or (D == H and E != A)
//     E4 = E
//     E5 = F if (B == F and E != I) or (H == F and E != C)
//     E6 = D if D == H
//     E7 = H if (D == H and E != I) or (H == F and E != G)
//     E8 = F if H == F
//
// Neighbours beyond the frame are the nearest pixel of the frame (the frame
// continues with copies of its edge), as Scale2X does. Scale4x is Scale2X
// applied to the 640 x 480 result of Scale2X.
//
// Antialias at 3: the Scale3x shape, where a cell that Scale3x hands to a
// neighbour's colour N gets the half-way shade avg(E, N) instead, as the
// factor-2 filter does with its quarters. Antialias at 4: Scale2X first, then
// the factor-2 antialias on that; the edge is shaped at the coarse step and
// shaded only at the finest, where its notches are. (Shading already in the
// first step would leave the second step nothing to match, so the notches
// would come out as 2 x 2 blocks of the shade.)
#include <string.h>

#include "floob.h"
#include "gfx/scale_core.h"
#include "gfx/video.h"

enum { EDGE_ROW = SCALE_SRC_W + 2 * SCALE_PAD, EDGE_MID_ROW = 2 * SCALE_SRC_W + 2 * SCALE_PAD };
enum { BLEND_NONE = 0, BLEND_16 = 1, BLEND_BYTES = 2 };

alignas(32) static uint16_t ring16[3][EDGE_ROW];
alignas(32) static uint32_t ring32[3][EDGE_ROW];
alignas(32) static uint16_t mid16[6][EDGE_MID_ROW];
alignas(32) static uint32_t mid32[6][EDGE_MID_ROW];
alignas(32) static uint32_t out32[3][4 * SCALE_SRC_W];

// Source row y into its ring slot, the ends repeated one place outwards.
// A 16-bit row goes to ring16 as it is, or widened to ring32 with widen set.
static void load_ring(int32_t y, int32_t bpp, int32_t widen) {
    const uint8_t* s = source_row(frame_surface, y);
    if (bpp == 2 && !widen) {
        uint16_t* r = ring16[y % 3] + SCALE_PAD;
        memcpy(r, s, SCALE_SRC_W * 2);
        r[-1] = r[0];
        r[SCALE_SRC_W] = r[SCALE_SRC_W - 1];
        return;
    }
    uint32_t* r = ring32[y % 3] + SCALE_PAD;
    if (bpp == 3) {
        unpack_row24(s, r);
    } else if (bpp == 4) {
        memcpy(r, s, SCALE_SRC_W * 4);
    } else {
        const uint16_t* w = (const uint16_t*)s;
        for (int32_t x = 0; x < SCALE_SRC_W; x++) r[x] = w[x];
    }
    r[-1] = r[0];
    r[SCALE_SRC_W] = r[SCALE_SRC_W - 1];
}

// The nine cells of one pixel by the rule above; blend picks the shade.
template <typename T, int BLEND>
static inline void scale3x_cells(const T* a, const T* p, const T* d, int32_t x, T e[9]) {
    T A = a[x - 1], B = a[x], C = a[x + 1], D = p[x - 1], E = p[x], F = p[x + 1], G = d[x - 1], H = d[x], I = d[x + 1];
    for (int32_t i = 0; i < 9; i++) e[i] = E;
    if (B == H || D == F) return;
    T nb = B, nd = D, nf = F, nh = H;
    if (BLEND == BLEND_16) nb = avg16(E, B), nd = avg16(E, D), nf = avg16(E, F), nh = avg16(E, H);
    if (BLEND == BLEND_BYTES) nb = avg32(E, B), nd = avg32(E, D), nf = avg32(E, F), nh = avg32(E, H);
    if (D == B) e[0] = nd;
    if ((D == B && E != C) || (B == F && E != A)) e[1] = nb;
    if (B == F) e[2] = nf;
    if ((D == B && E != G) || (D == H && E != A)) e[3] = nd;
    if ((B == F && E != I) || (H == F && E != C)) e[5] = nf;
    if (D == H) e[6] = nd;
    if ((D == H && E != I) || (H == F && E != G)) e[7] = nh;
    if (H == F) e[8] = nf;
}

// Output rows of T, or with CONV of display pixels converted from the 16-bit cells.
template <typename T, int BLEND, int CONV = 0>
static void scale3x_row_portable(const T* a, const T* p, const T* d, void* o0, void* o1, void* o2) {
    void* rows[3] = {o0, o1, o2};
    for (int32_t x = 0; x < SCALE_SRC_W; x++) {
        T e[9];
        scale3x_cells<T, BLEND>(a, p, d, x, e);
        for (int32_t j = 0; j < 3; j++)
            for (int32_t i = 0; i < 3; i++) {
                if (CONV)
                    ((uint32_t*)rows[j])[3 * x + i] = convert16(e[3 * j + i]);
                else
                    ((T*)rows[j])[3 * x + i] = e[3 * j + i];
            }
    }
}

#ifdef __SSE2__
static inline __m128i avg16_lanes32_sse(__m128i a, __m128i b, __m128i m) {
    return _mm_srli_epi32(_mm_add_epi32(_mm_and_si128(a, m), _mm_and_si128(b, m)), 1);
}

// Writes x0 y0 z0 x1 y1 z1 ... x3 y3 z3 (32-bit values) to o.
static inline void store_triples32_sse(uint32_t* o, __m128i x, __m128i y, __m128i z) {
    __m128 xy_lo = _mm_castsi128_ps(_mm_unpacklo_epi32(x, y)), zx_lo = _mm_castsi128_ps(_mm_unpacklo_epi32(z, x));
    __m128 yz_lo = _mm_castsi128_ps(_mm_unpacklo_epi32(y, z)), xy_hi = _mm_castsi128_ps(_mm_unpackhi_epi32(x, y));
    __m128 zx_hi = _mm_castsi128_ps(_mm_unpackhi_epi32(z, x)), yz_hi = _mm_castsi128_ps(_mm_unpackhi_epi32(y, z));
    store128(o, _mm_castps_si128(_mm_shuffle_ps(xy_lo, zx_lo, _MM_SHUFFLE(3, 0, 1, 0))));
    store128(o + 4, _mm_castps_si128(_mm_shuffle_ps(yz_lo, xy_hi, _MM_SHUFFLE(1, 0, 3, 2))));
    store128(o + 8, _mm_castps_si128(_mm_shuffle_ps(zx_hi, yz_hi, _MM_SHUFFLE(3, 2, 3, 0))));
}

// Scale3x on 32-bit rows, four pixels a step; 16-bit pixels come widened
// (BLEND_16 then averages them with the 16-bit rule).
template <int BLEND>
static void scale3x32_sse(const uint32_t* a, const uint32_t* p, const uint32_t* d, uint32_t* o0, uint32_t* o1,
                          uint32_t* o2) {
    const __m128i m16 = _mm_set1_epi32(avg_mask16);
    for (int32_t x = 0; x < SCALE_SRC_W; x += 4) {
        __m128i vA = load128(a + x - 1), vB = load128(a + x), vC = load128(a + x + 1);
        __m128i vD = load128(p + x - 1), vE = load128(p + x), vF = load128(p + x + 1);
        __m128i vG = load128(d + x - 1), vH = load128(d + x), vI = load128(d + x + 1);
        __m128i keep = _mm_or_si128(_mm_cmpeq_epi32(vB, vH), _mm_cmpeq_epi32(vD, vF));
        __m128i db = _mm_andnot_si128(keep, _mm_cmpeq_epi32(vD, vB));
        __m128i bf = _mm_andnot_si128(keep, _mm_cmpeq_epi32(vB, vF));
        __m128i dh = _mm_andnot_si128(keep, _mm_cmpeq_epi32(vD, vH));
        __m128i hf = _mm_andnot_si128(keep, _mm_cmpeq_epi32(vH, vF));
        // A step in which no cell takes a neighbour only replicates its pixels.
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(db, bf), _mm_or_si128(dh, hf))) == 0) {
            store_triples32_sse(o0 + 3 * x, vE, vE, vE);
            store_triples32_sse(o1 + 3 * x, vE, vE, vE);
            store_triples32_sse(o2 + 3 * x, vE, vE, vE);
            continue;
        }
        __m128i ec = _mm_cmpeq_epi32(vE, vC), ea = _mm_cmpeq_epi32(vE, vA);
        __m128i eg = _mm_cmpeq_epi32(vE, vG), ei = _mm_cmpeq_epi32(vE, vI);
        __m128i nb = vB, nd = vD, nf = vF, nh = vH;
        if (BLEND == BLEND_16) {
            nb = avg16_lanes32_sse(vE, vB, m16), nd = avg16_lanes32_sse(vE, vD, m16);
            nf = avg16_lanes32_sse(vE, vF, m16), nh = avg16_lanes32_sse(vE, vH, m16);
        }
        if (BLEND == BLEND_BYTES)
            nb = avg32_sse(vE, vB), nd = avg32_sse(vE, vD), nf = avg32_sse(vE, vF), nh = avg32_sse(vE, vH);
        __m128i e0 = select128(db, nd, vE);
        __m128i e1 = select128(_mm_or_si128(_mm_andnot_si128(ec, db), _mm_andnot_si128(ea, bf)), nb, vE);
        __m128i e2 = select128(bf, nf, vE);
        __m128i e3 = select128(_mm_or_si128(_mm_andnot_si128(eg, db), _mm_andnot_si128(ea, dh)), nd, vE);
        __m128i e5 = select128(_mm_or_si128(_mm_andnot_si128(ei, bf), _mm_andnot_si128(ec, hf)), nf, vE);
        __m128i e6 = select128(dh, nd, vE);
        __m128i e7 = select128(_mm_or_si128(_mm_andnot_si128(ei, dh), _mm_andnot_si128(eg, hf)), nh, vE);
        __m128i e8 = select128(hf, nf, vE);
        store_triples32_sse(o0 + 3 * x, e0, e1, e2);
        store_triples32_sse(o1 + 3 * x, e3, vE, e5);
        store_triples32_sse(o2 + 3 * x, e6, e7, e8);
    }
}

// Widened 16-bit values back into 16-bit pixels, n a multiple of 8; with k
// given, into the display pixels converted from them.
static void narrow_row16_sse(const uint32_t* r, void* d, int32_t n, const Convert16Sse* k) {
    for (int32_t x = 0; x < n; x += 8) {
        __m128i lo = _mm_srai_epi32(_mm_slli_epi32(load128(r + x), 16), 16);
        __m128i hi = _mm_srai_epi32(_mm_slli_epi32(load128(r + x + 4), 16), 16);
        if (k)
            store_converted16_sse((uint32_t*)d + x, _mm_packs_epi32(lo, hi), *k);
        else
            store128((uint16_t*)d + x, _mm_packs_epi32(lo, hi));
    }
}
#endif

#ifdef SCALE_HAVE_AVX2
alignas(32) uint8_t triple16[3][3][32];
alignas(32) static uint8_t replicate16[3][32];
// For 32-bit values: the element index of each output place, and which places take source s.
alignas(32) static int32_t triple32_index[3][8];
alignas(32) static int32_t triple32_from[3][3][8];

void make_triple_tables() {
    static int32_t made = 0;
    if (made) return;
    made = 1;
    for (int32_t k = 0; k < 3; k++) {
        for (int32_t lane = 0; lane < 2; lane++) {
            int32_t base = k == 0 ? 0 : k == 2 ? 8 : 8 * lane;
            for (int32_t w = 0; w < 8; w++) {
                int32_t g = 16 * k + 8 * lane + w, element = g / 3 - base;
                for (int32_t s = 0; s < 3; s++) {
                    int32_t mine = g % 3 == s;
                    triple16[k][s][16 * lane + 2 * w] = mine ? (uint8_t)(2 * element) : 0x80;
                    triple16[k][s][16 * lane + 2 * w + 1] = mine ? (uint8_t)(2 * element + 1) : 0x80;
                }
                replicate16[k][16 * lane + 2 * w] = (uint8_t)(2 * element);
                replicate16[k][16 * lane + 2 * w + 1] = (uint8_t)(2 * element + 1);
            }
        }
        for (int32_t q = 0; q < 8; q++) {
            int32_t g = 8 * k + q;
            triple32_index[k][q] = g / 3;
            for (int32_t s = 0; s < 3; s++) triple32_from[k][s][q] = g % 3 == s ? -1 : 0;
        }
    }
}

// Stores the 48 values of v at o: as 16-bit values or, with conv set, as display pixels.
AVX2_INLINE void store48_16_avx2(uint8_t* o, const __m256i v[3], int32_t conv, const Convert16Avx2& k) {
    for (int32_t i = 0; i < 3; i++) {
        if (conv)
            store_converted16_avx2((uint32_t*)o + 16 * i, v[i], k);
        else
            store256(o + 32 * i, v[i]);
    }
}

// Three copies of each value of e, in three output rows alike (converted once).
AVX2_INLINE void store_thrice16_avx2(uint8_t* o0, uint8_t* o1, uint8_t* o2, __m256i e, int32_t conv,
                                     const Convert16Avx2& k) {
    __m256i lo = low_half_twice(e), hi = high_half_twice(e);
    __m256i v[3] = {_mm256_shuffle_epi8(lo, load256(replicate16[0])), _mm256_shuffle_epi8(e, load256(replicate16[1])),
                    _mm256_shuffle_epi8(hi, load256(replicate16[2]))};
    if (!conv) {
        store48_16_avx2(o0, v, 0, k), store48_16_avx2(o1, v, 0, k), store48_16_avx2(o2, v, 0, k);
        return;
    }
    for (int32_t i = 0; i < 3; i++) {
        __m256i c[2];
        converted16_avx2(v[i], k, c);
        store256(o0 + 64 * i, c[0]), store256(o0 + 64 * i + 32, c[1]);
        store256(o1 + 64 * i, c[0]), store256(o1 + 64 * i + 32, c[1]);
        store256(o2 + 64 * i, c[0]), store256(o2 + 64 * i + 32, c[1]);
    }
}

AVX2_INLINE __m256i avg16_avx2(__m256i a, __m256i b, __m256i m) {
    a = _mm256_and_si256(a, m);
    b = _mm256_and_si256(b, m);
    return _mm256_add_epi16(_mm256_and_si256(a, b), _mm256_srli_epi16(_mm256_xor_si256(a, b), 1));
}

AVX2_INLINE __m256i avg8_avx2(__m256i a, __m256i b) {
    return _mm256_sub_epi8(_mm256_avg_epu8(a, b), _mm256_and_si256(_mm256_xor_si256(a, b), _mm256_set1_epi8(1)));
}

// The masks of a Scale3x step: which neighbours match (db: D equals B, and so
// on, each cleared where B equals H or D equals F) and which corners equal the
// centre (ea: E equals A, ...). Lanes are all ones or all zeros, so one rule
// serves 16- and 32-bit pixels.
struct Scale3xMasks {
    __m256i db, bf, dh, hf, ea, ec, eg, ei;
};

// The nine cells of each pixel's 3 x 3 block, row by row, from the masks, the
// centre and the neighbours (blended or not) that the cells may take.
AVX2_INLINE void scale3x_rule_avx2(const Scale3xMasks& k, __m256i vE, __m256i nb, __m256i nd, __m256i nf, __m256i nh,
                                   __m256i e[9]) {
    e[0] = select256(k.db, nd, vE);
    e[1] = select256(_mm256_or_si256(_mm256_andnot_si256(k.ec, k.db), _mm256_andnot_si256(k.ea, k.bf)), nb, vE);
    e[2] = select256(k.bf, nf, vE);
    e[3] = select256(_mm256_or_si256(_mm256_andnot_si256(k.eg, k.db), _mm256_andnot_si256(k.ea, k.dh)), nd, vE);
    e[4] = vE;
    e[5] = select256(_mm256_or_si256(_mm256_andnot_si256(k.ei, k.bf), _mm256_andnot_si256(k.ec, k.hf)), nf, vE);
    e[6] = select256(k.dh, nd, vE);
    e[7] = select256(_mm256_or_si256(_mm256_andnot_si256(k.ei, k.dh), _mm256_andnot_si256(k.eg, k.hf)), nh, vE);
    e[8] = select256(k.hf, nf, vE);
}

// Scale3x on 16 pixels of 16 bits a step. A step in which no cell takes a
// neighbour (flat areas, straight edges, noise) only replicates its pixels.
template <int BLEND, int CONV>
AVX2_INLINE void scale3x16_avx2(const uint16_t* a, const uint16_t* p, const uint16_t* d, uint8_t* o0, uint8_t* o1,
                                uint8_t* o2, const Convert16Rule& rule) {
    const __m256i m = _mm256_set1_epi16((int16_t)avg_mask16);
    const Convert16Avx2 k = convert16_avx2(rule);
    const int32_t step = CONV ? 192 : 96;  // output bytes of a row of 16 source pixels
    for (int32_t x = 0; x < SCALE_SRC_W; x += 16, o0 += step, o1 += step, o2 += step) {
        __m256i vB = load256(a + x), vD = load256(p + x - 1), vE = load256(p + x), vF = load256(p + x + 1);
        __m256i vH = load256(d + x);
        __m256i keep = _mm256_or_si256(_mm256_cmpeq_epi16(vB, vH), _mm256_cmpeq_epi16(vD, vF));
        __m256i db = _mm256_andnot_si256(keep, _mm256_cmpeq_epi16(vD, vB));
        __m256i bf = _mm256_andnot_si256(keep, _mm256_cmpeq_epi16(vB, vF));
        __m256i dh = _mm256_andnot_si256(keep, _mm256_cmpeq_epi16(vD, vH));
        __m256i hf = _mm256_andnot_si256(keep, _mm256_cmpeq_epi16(vH, vF));
        __m256i any = _mm256_or_si256(_mm256_or_si256(db, bf), _mm256_or_si256(dh, hf));
        if (_mm256_testz_si256(any, any)) {
            store_thrice16_avx2(o0, o1, o2, vE, CONV, k);
            continue;
        }
        __m256i vA = load256(a + x - 1), vC = load256(a + x + 1), vG = load256(d + x - 1), vI = load256(d + x + 1);
        __m256i ec = _mm256_cmpeq_epi16(vE, vC), ea = _mm256_cmpeq_epi16(vE, vA);
        __m256i eg = _mm256_cmpeq_epi16(vE, vG), ei = _mm256_cmpeq_epi16(vE, vI);
        __m256i nb = vB, nd = vD, nf = vF, nh = vH;
        if (BLEND) {
            nb = avg16_avx2(vE, vB, m), nd = avg16_avx2(vE, vD, m);
            nf = avg16_avx2(vE, vF, m), nh = avg16_avx2(vE, vH, m);
        }
        __m256i e[9];
        scale3x_rule_avx2(Scale3xMasks{db, bf, dh, hf, ea, ec, eg, ei}, vE, nb, nd, nf, nh, e);
        uint8_t* rows[3] = {o0, o1, o2};
        for (int32_t j = 0; j < 3; j++) {
            __m256i v[3];
            triples16_avx2(e[3 * j], e[3 * j + 1], e[3 * j + 2], v);
            store48_16_avx2(rows[j], v, CONV, k);
        }
    }
}

AVX2_ROW void scale3x16_row_avx2(const uint16_t* a, const uint16_t* p, const uint16_t* d, uint8_t* o0, uint8_t* o1,
                                 uint8_t* o2, int32_t blend, int32_t conv, const Convert16Rule& rule) {
    if (blend && conv)
        scale3x16_avx2<1, 1>(a, p, d, o0, o1, o2, rule);
    else if (blend)
        scale3x16_avx2<1, 0>(a, p, d, o0, o1, o2, rule);
    else if (conv)
        scale3x16_avx2<0, 1>(a, p, d, o0, o1, o2, rule);
    else
        scale3x16_avx2<0, 0>(a, p, d, o0, o1, o2, rule);
}

AVX2_INLINE void store_triples32_avx2(uint32_t* o, __m256i x, __m256i y, __m256i z) {
    for (int32_t k = 0; k < 3; k++) {
        __m256i index = load256(triple32_index[k]);
        __m256i v = _mm256_and_si256(_mm256_permutevar8x32_epi32(x, index), load256(triple32_from[k][0]));
        v = _mm256_or_si256(v, _mm256_and_si256(_mm256_permutevar8x32_epi32(y, index), load256(triple32_from[k][1])));
        v = _mm256_or_si256(v, _mm256_and_si256(_mm256_permutevar8x32_epi32(z, index), load256(triple32_from[k][2])));
        store256(o + 8 * k, v);
    }
}

AVX2_INLINE void store_thrice32_avx2(uint32_t* o0, uint32_t* o1, uint32_t* o2, __m256i e) {
    for (int32_t k = 0; k < 3; k++) {
        __m256i v = _mm256_permutevar8x32_epi32(e, load256(triple32_index[k]));
        store256(o0 + 8 * k, v), store256(o1 + 8 * k, v), store256(o2 + 8 * k, v);
    }
}

// Scale3x on 8 pixels of 32 bits a step, as scale3x16_avx2.
template <int BLEND>
AVX2_INLINE void scale3x32_avx2(const uint32_t* a, const uint32_t* p, const uint32_t* d, uint32_t* o0, uint32_t* o1,
                                uint32_t* o2) {
    for (int32_t x = 0; x < SCALE_SRC_W; x += 8) {
        __m256i vB = load256(a + x), vD = load256(p + x - 1), vE = load256(p + x), vF = load256(p + x + 1);
        __m256i vH = load256(d + x);
        __m256i keep = _mm256_or_si256(_mm256_cmpeq_epi32(vB, vH), _mm256_cmpeq_epi32(vD, vF));
        __m256i db = _mm256_andnot_si256(keep, _mm256_cmpeq_epi32(vD, vB));
        __m256i bf = _mm256_andnot_si256(keep, _mm256_cmpeq_epi32(vB, vF));
        __m256i dh = _mm256_andnot_si256(keep, _mm256_cmpeq_epi32(vD, vH));
        __m256i hf = _mm256_andnot_si256(keep, _mm256_cmpeq_epi32(vH, vF));
        __m256i any = _mm256_or_si256(_mm256_or_si256(db, bf), _mm256_or_si256(dh, hf));
        if (_mm256_testz_si256(any, any)) {
            store_thrice32_avx2(o0 + 3 * x, o1 + 3 * x, o2 + 3 * x, vE);
            continue;
        }
        __m256i vA = load256(a + x - 1), vC = load256(a + x + 1), vG = load256(d + x - 1), vI = load256(d + x + 1);
        __m256i ec = _mm256_cmpeq_epi32(vE, vC), ea = _mm256_cmpeq_epi32(vE, vA);
        __m256i eg = _mm256_cmpeq_epi32(vE, vG), ei = _mm256_cmpeq_epi32(vE, vI);
        __m256i nb = vB, nd = vD, nf = vF, nh = vH;
        if (BLEND) nb = avg8_avx2(vE, vB), nd = avg8_avx2(vE, vD), nf = avg8_avx2(vE, vF), nh = avg8_avx2(vE, vH);
        __m256i e[9];
        scale3x_rule_avx2(Scale3xMasks{db, bf, dh, hf, ea, ec, eg, ei}, vE, nb, nd, nf, nh, e);
        store_triples32_avx2(o0 + 3 * x, e[0], e[1], e[2]);
        store_triples32_avx2(o1 + 3 * x, e[3], e[4], e[5]);
        store_triples32_avx2(o2 + 3 * x, e[6], e[7], e[8]);
    }
}

AVX2_ROW void scale3x32_row_avx2(const uint32_t* a, const uint32_t* p, const uint32_t* d, uint32_t* o0, uint32_t* o1,
                                 uint32_t* o2, int32_t blend) {
    if (blend)
        scale3x32_avx2<1>(a, p, d, o0, o1, o2);
    else
        scale3x32_avx2<0>(a, p, d, o0, o1, o2);
}
#endif

static void edges16_x3(int32_t blend) {
    int32_t conv = scale_picture.convert;
    Convert16Rule rule = {};
    if (conv && active_path != SCALE_PATH_PORTABLE) convert16_rule(&rule);
#ifdef __SSE2__
    // SSE2 has no 16-bit shuffle to spread three rows into one, so its loops
    // run on the rows widened to 32 bits and narrow the result.
    int32_t wide = active_path == SCALE_PATH_SSE2;
#else
    int32_t wide = 0;
#endif
    load_ring(0, 2, wide);
    for (int32_t y = 0; y < SCALE_SRC_H; y++) {
        if (y + 1 < SCALE_SRC_H) load_ring(y + 1, 2, wide);
        int32_t above = (y > 0 ? y - 1 : 0) % 3, here = y % 3, below = (y + 1 < SCALE_SRC_H ? y + 1 : y) % 3;
        uint8_t* o[3];
        for (int32_t j = 0; j < 3; j++) o[j] = picture_row(3 * y + j);
#ifdef __SSE2__
        if (wide) {
            const uint32_t *a = ring32[above] + SCALE_PAD, *p = ring32[here] + SCALE_PAD,
                           *d = ring32[below] + SCALE_PAD;
            if (blend)
                scale3x32_sse<BLEND_16>(a, p, d, out32[0], out32[1], out32[2]);
            else
                scale3x32_sse<BLEND_NONE>(a, p, d, out32[0], out32[1], out32[2]);
            const Convert16Sse k = convert16_sse(rule);
            for (int32_t j = 0; j < 3; j++) narrow_row16_sse(out32[j], o[j], 3 * SCALE_SRC_W, conv ? &k : nullptr);
            continue;
        }
#endif
        const uint16_t *a = ring16[above] + SCALE_PAD, *p = ring16[here] + SCALE_PAD, *d = ring16[below] + SCALE_PAD;
#ifdef SCALE_HAVE_AVX2
        if (active_path == SCALE_PATH_AVX2) {
            scale3x16_row_avx2(a, p, d, o[0], o[1], o[2], blend, conv, rule);
            continue;
        }
#endif
        if (blend && conv)
            scale3x_row_portable<uint16_t, BLEND_16, 1>(a, p, d, o[0], o[1], o[2]);
        else if (blend)
            scale3x_row_portable<uint16_t, BLEND_16>(a, p, d, o[0], o[1], o[2]);
        else if (conv)
            scale3x_row_portable<uint16_t, BLEND_NONE, 1>(a, p, d, o[0], o[1], o[2]);
        else
            scale3x_row_portable<uint16_t, BLEND_NONE>(a, p, d, o[0], o[1], o[2]);
    }
}

static void scale3x32_row(const uint32_t* a, const uint32_t* p, const uint32_t* d, uint32_t* o0, uint32_t* o1,
                          uint32_t* o2, int32_t blend) {
#ifdef SCALE_HAVE_AVX2
    if (active_path == SCALE_PATH_AVX2) {
        scale3x32_row_avx2(a, p, d, o0, o1, o2, blend);
        return;
    }
#endif
#ifdef __SSE2__
    if (active_path >= SCALE_PATH_SSE2) {
        if (blend)
            scale3x32_sse<BLEND_BYTES>(a, p, d, o0, o1, o2);
        else
            scale3x32_sse<BLEND_NONE>(a, p, d, o0, o1, o2);
        return;
    }
#endif
    if (blend)
        scale3x_row_portable<uint32_t, BLEND_BYTES>(a, p, d, o0, o1, o2);
    else
        scale3x_row_portable<uint32_t, BLEND_NONE>(a, p, d, o0, o1, o2);
}

static void edges32_x3(int32_t blend, int32_t bpp) {
    load_ring(0, bpp, 1);
    for (int32_t y = 0; y < SCALE_SRC_H; y++) {
        if (y + 1 < SCALE_SRC_H) load_ring(y + 1, bpp, 1);
        const uint32_t* a = ring32[(y > 0 ? y - 1 : 0) % 3] + SCALE_PAD;
        const uint32_t* p = ring32[y % 3] + SCALE_PAD;
        const uint32_t* d = ring32[(y + 1 < SCALE_SRC_H ? y + 1 : y) % 3] + SCALE_PAD;
        uint32_t* o[3];
        for (int32_t j = 0; j < 3; j++) o[j] = bpp == 4 ? (uint32_t*)picture_row(3 * y + j) : out32[j];
        scale3x32_row(a, p, d, o[0], o[1], o[2], blend);
        if (bpp == 3)
            for (int32_t j = 0; j < 3; j++) pack_row24(out32[j], picture_row(3 * y + j), 3 * SCALE_SRC_W);
    }
}

// Scale2X over a row of the 640-pixel intermediate picture, its ends repeated outwards.
static void pad_mid16(uint16_t* r) {
    r[-1] = r[0];
    r[2 * SCALE_SRC_W] = r[2 * SCALE_SRC_W - 1];
}
static void pad_mid32(uint32_t* r) {
    r[-1] = r[0];
    r[2 * SCALE_SRC_W] = r[2 * SCALE_SRC_W - 1];
}

// The two intermediate rows of source row y (Scale2X of rows y-1, y, y+1).
static void make_mid(int32_t y, int32_t bpp) {
    int32_t above = (y > 0 ? y - 1 : 0) % 3, here = y % 3, below = (y + 1 < SCALE_SRC_H ? y + 1 : y) % 3;
    if (bpp == 2) {
        uint16_t* m0 = mid16[(2 * y) % 6] + SCALE_PAD;
        uint16_t* m1 = mid16[(2 * y + 1) % 6] + SCALE_PAD;
        row16_scale2x(ring16[above] + SCALE_PAD, ring16[here] + SCALE_PAD, ring16[below] + SCALE_PAD, m0, m1, 0,
                      SCALE_SRC_W, 0);
        pad_mid16(m0), pad_mid16(m1);
        return;
    }
    uint32_t* m0 = mid32[(2 * y) % 6] + SCALE_PAD;
    uint32_t* m1 = mid32[(2 * y + 1) % 6] + SCALE_PAD;
    row32_scale2x(ring32[above] + SCALE_PAD, ring32[here] + SCALE_PAD, ring32[below] + SCALE_PAD, m0, m1, 0,
                  SCALE_SRC_W);
    pad_mid32(m0), pad_mid32(m1);
}

// Output rows 2r and 2r+1 of the picture from intermediate row r.
static void edges_x4_rows(int32_t r, int32_t bpp, int32_t blend) {
    int32_t last = 2 * SCALE_SRC_H - 1;
    int32_t above = (r > 0 ? r - 1 : 0) % 6, here = r % 6, below = (r < last ? r + 1 : r) % 6;
    uint8_t* o0 = picture_row(2 * r);
    uint8_t* o1 = picture_row(2 * r + 1);
    if (bpp == 2) {
        row16_scale2x(mid16[above] + SCALE_PAD, mid16[here] + SCALE_PAD, mid16[below] + SCALE_PAD, o0, o1, blend,
                      2 * SCALE_SRC_W, scale_picture.convert);
        return;
    }
    const uint32_t *a = mid32[above] + SCALE_PAD, *p = mid32[here] + SCALE_PAD, *d = mid32[below] + SCALE_PAD;
    if (bpp == 4) {
        row32_scale2x(a, p, d, (uint32_t*)o0, (uint32_t*)o1, blend, 2 * SCALE_SRC_W);
        return;
    }
#ifdef SCALE_HAVE_AVX2
    if (active_path == SCALE_PATH_AVX2) {
        row24_scale2x_avx2(a, p, d, o0, o1, blend, 2 * SCALE_SRC_W);
        return;
    }
#endif
    row32_scale2x(a, p, d, out32[0], out32[1], blend, 2 * SCALE_SRC_W);
    pack_row24(out32[0], o0, 4 * SCALE_SRC_W);
    pack_row24(out32[1], o1, 4 * SCALE_SRC_W);
}

// Scale2X twice, row by row: the intermediate rows of source row y+1 are made
// just before the output of source row y needs the first of them.
static void edges_x4(int32_t blend, int32_t bpp) {
    load_ring(0, bpp, bpp != 2);
    if (SCALE_SRC_H > 1) load_ring(1, bpp, bpp != 2);
    make_mid(0, bpp);
    for (int32_t y = 0; y < SCALE_SRC_H; y++) {
        if (y + 1 < SCALE_SRC_H) {
            if (y + 2 < SCALE_SRC_H) load_ring(y + 2, bpp, bpp != 2);
            make_mid(y + 1, bpp);
        }
        edges_x4_rows(2 * y, bpp, blend);
        edges_x4_rows(2 * y + 1, bpp, blend);
    }
}

void filter_edges(int32_t kind) {
    int32_t blend = kind == FILTER_ANTIALIAS, bpp = scale_picture.bpp;
#ifdef SCALE_HAVE_AVX2
    make_triple_tables();
#endif
    if (scale_picture.factor == 4)
        edges_x4(blend, bpp);
    else if (bpp == 2)
        edges16_x3(blend);
    else
        edges32_x3(blend, bpp);
}
