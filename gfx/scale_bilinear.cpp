// Bilinear at factors 3 and 4.
//
// Cell (i, j) of the block of source pixel P lies i/k of the way across to
// its right neighbour R and j/k of the way down to the row below, like the
// factor-2 rule (cell (0, 0) is P itself). Each weight is a fraction w/2^n:
// at factor 4 the exact quarters 0, 1/4, 2/4, 3/4; at factor 3 the thirds
// taken as the nearest eighths, 0, 3/8 and 5/8. Across first: H_i = ((2^n - w_i) P + w_i R) / 2^n,
// then down: cell = ((2^n - w_j) H_i + w_j H_i(row below)) / 2^n, each
// rounded down in every channel. Such a weighted mean is a chain of n
// halving means rounded down, one per bit of w from the lowest, each mean
// of the chain so far and P (bit 0) or R (bit 1); the loops compute it so.
// Beyond the frame's right column R is P, below its last row the row below
// is the row itself: no cell takes a pixel from outside the frame, and a
// flat colour stays exactly that colour.
//
// The halving mean is exact per channel: per byte in 24- and 32-bit pixels,
// per colour field in 16-bit ones (the factor-2 filter's 16-bit mean drops
// the low bit of two channels first; this one does not).
//
// The vector loops work on rows already enlarged k times (so the cells of
// a row are one vector operation with a per-lane choice of weight). Bytes
// are kept complemented: the processor's rounding-up byte mean of two
// complements is the complement of the rounded-down mean.
#include <string.h>

#include "floob.h"
#include "gfx/scale_core.h"
#include "gfx/video.h"

enum {
    BILINEAR_ROW_BYTES = SCALE_SRC_W * 4 * 4,  // an enlarged row at factor 4, 4 bytes a pixel
    BILINEAR_BLOCK = 4 * 4                     // one pixel's block of that row
};

// The weights of the cells, w of 2^n: factor 3 (n = 3) and factor 4 (n = 2).
static const int32_t WEIGHTS_X3[3] = {0, 3, 5};
static const int32_t WEIGHTS_X4[4] = {0, 1, 2, 3};

// A source row as the vector loops read it: complemented for bytes, its last
// pixel once more after it (the right neighbour of the last pixel is itself).
alignas(32) static uint8_t flipped[SCALE_SRC_W * 4 + 16];
alignas(32) static uint8_t enlarged[2][BILINEAR_ROW_BYTES + BILINEAR_BLOCK];
alignas(32) static uint8_t across[2][BILINEAR_ROW_BYTES];
// Per byte of an enlarged row, from its offset modulo the block: 0xFF where
// the cell index is odd (odd) or at least 2 (high) at factor 4; where it is
// 1 (odd) or 2 (high) at factor 3.
alignas(32) static uint8_t lane_odd[BILINEAR_BLOCK + 32];
alignas(32) static uint8_t lane_high[BILINEAR_BLOCK + 32];

static inline uint32_t half16(uint32_t a, uint32_t b) {
    return (a & b) + (((a ^ b) & (uint32_t)(uint16_t)~low_bits16) >> 1);
}
static inline uint32_t half8(uint32_t a, uint32_t b) { return (a + b) >> 1; }

// The chain of halving means from p towards r for weight w of 2^n.
template <uint32_t (*HALF)(uint32_t, uint32_t)>
static inline uint32_t chain(uint32_t p, uint32_t r, int32_t w, int32_t n) {
    uint32_t x = p;
    for (int32_t b = 0; b < n; b++) x = HALF(x, (w >> b) & 1 ? r : p);
    return x;
}

// Portable: each source pixel's block straight from P, R and the row below.
template <uint32_t (*HALF)(uint32_t, uint32_t)>
static void bilinear_block_rows(const uint32_t* p, const uint32_t* d, int32_t k, uint8_t** rows, int32_t bpp) {
    const int32_t* w = k == 3 ? WEIGHTS_X3 : WEIGHTS_X4;
    int32_t n = k == 3 ? 3 : 2;
    for (int32_t x = 0; x < SCALE_SRC_W; x++) {
        int32_t xr = x + 1 < SCALE_SRC_W ? x + 1 : x;
        for (int32_t i = 0; i < k; i++) {
            uint32_t top = chain<HALF>(p[x], p[xr], w[i], n), bottom = chain<HALF>(d[x], d[xr], w[i], n);
            for (int32_t j = 0; j < k; j++) {
                uint32_t v = chain<HALF>(top, bottom, w[j], n);
                uint8_t* o = rows[j] + (k * x + i) * (scale_picture.convert ? 4 : bpp);
                if (scale_picture.convert) {
                    uint32_t v32 = convert16(v);
                    memcpy(o, &v32, 4);
                } else if (bpp == 2) {
                    uint16_t v16 = (uint16_t)v;
                    memcpy(o, &v16, 2);
                } else {
                    *o = (uint8_t)v;
                }
            }
        }
    }
}

static void bilinear_portable(int32_t k, int32_t bpp) {
    static uint32_t values[2][SCALE_SRC_W];
    for (int32_t y = 0; y < SCALE_SRC_H; y++) {
        uint8_t* rows[4];
        for (int32_t j = 0; j < k; j++) rows[j] = picture_row(k * y + j);
        const uint8_t* s = source_row(frame_surface, y);
        const uint8_t* t = source_row(frame_surface, y + 1 < SCALE_SRC_H ? y + 1 : y);
        if (bpp == 2) {
            for (int32_t x = 0; x < SCALE_SRC_W; x++) values[0][x] = ((const uint16_t*)s)[x];
            for (int32_t x = 0; x < SCALE_SRC_W; x++) values[1][x] = ((const uint16_t*)t)[x];
            bilinear_block_rows<half16>(values[0], values[1], k, rows, 2);
            continue;
        }
        // Every byte a channel of its own: one pass per byte of the pixel.
        for (int32_t c = 0; c < bpp; c++) {
            for (int32_t x = 0; x < SCALE_SRC_W; x++) values[0][x] = s[x * bpp + c];
            for (int32_t x = 0; x < SCALE_SRC_W; x++) values[1][x] = t[x * bpp + c];
            uint8_t* shifted[4];
            for (int32_t j = 0; j < k; j++) shifted[j] = rows[j] + c;
            bilinear_block_rows<half8>(values[0], values[1], k, shifted, bpp);
        }
    }
}

// The offset within the block of the byte step bytes further on.
static inline int32_t next_phase(int32_t phase, int32_t step, int32_t block) {
    phase += step;
    while (phase >= block) phase -= block;
    return phase;
}

static void make_lane_masks(int32_t k, int32_t bpp) {
    int32_t block = k * bpp;
    for (int32_t o = 0; o < block + 32; o++) {
        int32_t i = (o % block) / bpp;
        lane_odd[o] = (k == 4 ? i % 2 == 1 : i == 1) ? 0xFF : 0;
        lane_high[o] = (k == 4 ? i >= 2 : i == 2) ? 0xFF : 0;
    }
}

static void flip_row(int32_t y, int32_t bpp) {
    const uint8_t* s = source_row(frame_surface, y);
    int32_t bytes = SCALE_SRC_W * bpp;
    uint64_t flip = bpp == 2 ? 0 : ~(uint64_t)0;
    for (int32_t i = 0; i < bytes; i += 8) {
        uint64_t w;
        memcpy(&w, s + i, 8);
        w ^= flip;
        memcpy(flipped + i, &w, 8);
    }
    memcpy(flipped + bytes, flipped + bytes - bpp, bpp);
}

// Source row y enlarged into its slot, one block longer.
static void enlarge_row(int32_t y, int32_t k, int32_t bpp) {
    int32_t row = SCALE_SRC_W * k * bpp, block = k * bpp;
    flip_row(y, bpp);
    uint8_t* e = enlarged[y % 2];
    replicate_into(flipped, e, k, bpp);
    memcpy(e + row, e + row - block, block);
}

#ifdef __SSE2__
static inline __m128i half16_sse(__m128i a, __m128i b, __m128i high) {
    return _mm_add_epi16(_mm_and_si128(a, b), _mm_srli_epi16(_mm_and_si128(_mm_xor_si128(a, b), high), 1));
}

// One cell row (or, across, one enlarged row) of weight choice per lane: for
// factor 4 the chain values q (2/4), s (1/4), t (3/4); for factor 3 c1 (3/8), c2 (5/8).
template <int K, int WIDE16>
static inline __m128i across_sse(__m128i p, __m128i r, __m128i odd, __m128i high, __m128i fields) {
#define HALF(a, b) (WIDE16 ? half16_sse(a, b, fields) : _mm_avg_epu8(a, b))
    __m128i q = HALF(p, r);
    if (K == 4) {
        __m128i s = HALF(q, p), t = HALF(q, r);
        return select128(odd, select128(high, t, s), select128(high, q, p));
    }
    __m128i c1 = HALF(HALF(q, r), p);
    __m128i c2 = HALF(HALF(q, p), r);
    return select128(odd, c1, select128(high, c2, p));
#undef HALF
}

// Stores 16 bytes of an output row at byte o of the enlarged row: as they
// are, or (CONV, 16-bit pixels) as the display pixels converted from them.
template <int CONV>
static inline void store_cells_sse(uint8_t* row, int32_t o, __m128i v, const Convert16Sse& k) {
    if (CONV)
        store_converted16_sse((uint32_t*)(row + 2 * o), v, k);
    else
        store128(row + o, v);
}

template <int K, int WIDE16, int CONV>
static void bilinear_sse(int32_t bpp, const Convert16Rule& rule) {
    int32_t row = SCALE_SRC_W * K * bpp, block = K * bpp;
    __m128i fields = _mm_set1_epi16((int16_t)(uint16_t)~low_bits16), flip = _mm_set1_epi8(WIDE16 ? 0 : -1);
    const Convert16Sse k = convert16_sse(rule);
    enlarge_row(0, K, bpp);
    for (int32_t y = 0; y <= SCALE_SRC_H; y++) {
        // Row y+1's cross means are made before row y's output needs them.
        if (y < SCALE_SRC_H) {
            if (y > 0) enlarge_row(y, K, bpp);
            const uint8_t* e = enlarged[y % 2];
            uint8_t* h = across[y % 2];
            for (int32_t o = 0, phase = 0; o < row; o += 16, phase = next_phase(phase, 16, block)) {
                __m128i odd = load128(lane_odd + phase), high = load128(lane_high + phase);
                store128(h + o, across_sse<K, WIDE16>(load128(e + o), load128(e + o + block), odd, high, fields));
            }
        }
        if (y == 0) continue;
        int32_t up = y - 1;
        const uint8_t* top = across[up % 2];
        const uint8_t* bottom = across[(y < SCALE_SRC_H ? y : up) % 2];
        uint8_t* out[4];
        for (int32_t j = 0; j < K; j++) out[j] = picture_row(K * up + j);
#define HALF(a, b) (WIDE16 ? half16_sse(a, b, fields) : _mm_avg_epu8(a, b))
        for (int32_t o = 0; o < row; o += 16) {
            __m128i a = load128(top + o), b = load128(bottom + o), q = HALF(a, b);
            store_cells_sse<CONV>(out[0], o, _mm_xor_si128(a, flip), k);
            if (K == 4) {
                store_cells_sse<CONV>(out[1], o, _mm_xor_si128(HALF(q, a), flip), k);
                store_cells_sse<CONV>(out[2], o, _mm_xor_si128(q, flip), k);
                store_cells_sse<CONV>(out[3], o, _mm_xor_si128(HALF(q, b), flip), k);
            } else {
                store_cells_sse<CONV>(out[1], o, _mm_xor_si128(HALF(HALF(q, b), a), flip), k);
                store_cells_sse<CONV>(out[2], o, _mm_xor_si128(HALF(HALF(q, a), b), flip), k);
            }
        }
#undef HALF
    }
}
#endif

#ifdef SCALE_HAVE_AVX2
AVX2_INLINE __m256i half16_avx2(__m256i a, __m256i b, __m256i high) {
    return _mm256_add_epi16(_mm256_and_si256(a, b),
                            _mm256_srli_epi16(_mm256_and_si256(_mm256_xor_si256(a, b), high), 1));
}

template <int K, int WIDE16>
AVX2_INLINE __m256i across_avx2(__m256i p, __m256i r, __m256i odd, __m256i high, __m256i fields) {
#define HALF(a, b) (WIDE16 ? half16_avx2(a, b, fields) : _mm256_avg_epu8(a, b))
    __m256i q = HALF(p, r);
    if (K == 4) {
        __m256i s = HALF(q, p), t = HALF(q, r);
        return select256(odd, select256(high, t, s), select256(high, q, p));
    }
    __m256i c1 = HALF(HALF(q, r), p);
    __m256i c2 = HALF(HALF(q, p), r);
    return select256(odd, c1, select256(high, c2, p));
#undef HALF
}

// Two 16-byte pieces of the enlarged row from 16-byte windows of the source.
AVX2_INLINE __m256i enlarged_pair(const uint8_t* s, const ReplicateTable* t, int32_t c, __m256i shuffle) {
    __m256i v =
        _mm256_inserti128_si256(_mm256_castsi128_si256(load128(s + t->from[c])), load128(s + t->from[c + 1]), 1);
    return _mm256_shuffle_epi8(v, shuffle);
}

// The cross means of a source row straight from it: P and R are the same
// shuffles of windows one pixel apart.
template <int K, int WIDE16>
AVX2_INLINE void across_row_avx2(const uint8_t* s, uint8_t* h, int32_t bpp) {
    const ReplicateTable* t = replicate_table_for(K, bpp);
    int32_t row = SCALE_SRC_W * K * bpp, block = K * bpp;
    __m256i fields = _mm256_set1_epi16((int16_t)(uint16_t)~low_bits16);
    for (int32_t o = 0, phase = 0; o < row; o += 32, phase = next_phase(phase, 32, block)) {
        int32_t c = o / 16;
        __m256i shuffle = load256(t->shuffle[c]);
        __m256i p = enlarged_pair(s, t, c, shuffle), r = enlarged_pair(s + bpp, t, c, shuffle);
        __m256i odd = load256(lane_odd + phase), high = load256(lane_high + phase);
        store256(h + o, across_avx2<K, WIDE16>(p, r, odd, high, fields));
    }
}

// As store_cells_sse, 32 bytes.
template <int CONV>
AVX2_INLINE void store_cells_avx2(uint8_t* row, int32_t o, __m256i v, const Convert16Avx2& k) {
    if (CONV)
        store_converted16_avx2((uint32_t*)(row + 2 * o), v, k);
    else
        store256(row + o, v);
}

template <int K, int WIDE16, int CONV>
AVX2_INLINE void down_rows_avx2(const uint8_t* top, const uint8_t* bottom, uint8_t* const* out, int32_t row,
                                const Convert16Rule& rule) {
    __m256i fields = _mm256_set1_epi16((int16_t)(uint16_t)~low_bits16), flip = _mm256_set1_epi8(WIDE16 ? 0 : -1);
    const Convert16Avx2 k = convert16_avx2(rule);
#define HALF(a, b) (WIDE16 ? half16_avx2(a, b, fields) : _mm256_avg_epu8(a, b))
    for (int32_t o = 0; o < row; o += 32) {
        __m256i a = load256(top + o), b = load256(bottom + o), q = HALF(a, b);
        store_cells_avx2<CONV>(out[0], o, _mm256_xor_si256(a, flip), k);
        if (K == 4) {
            store_cells_avx2<CONV>(out[1], o, _mm256_xor_si256(HALF(q, a), flip), k);
            store_cells_avx2<CONV>(out[2], o, _mm256_xor_si256(q, flip), k);
            store_cells_avx2<CONV>(out[3], o, _mm256_xor_si256(HALF(q, b), flip), k);
        } else {
            store_cells_avx2<CONV>(out[1], o, _mm256_xor_si256(HALF(HALF(q, b), a), flip), k);
            store_cells_avx2<CONV>(out[2], o, _mm256_xor_si256(HALF(HALF(q, a), b), flip), k);
        }
    }
#undef HALF
}

// 16-bit cross means at the source's resolution, then spread into place: the
// per-field mean is dear, and this way it runs once per source pixel.
template <int K>
AVX2_INLINE void across_row16_avx2(const uint16_t* s, uint16_t* h) {
    __m256i fields = _mm256_set1_epi16((int16_t)(uint16_t)~low_bits16);
    for (int32_t x = 0; x < SCALE_SRC_W; x += 16) {
        __m256i p = load256(s + x), r = load256(s + x + 1), q = half16_avx2(p, r, fields);
        if (K == 4) {
            store_quads16_avx2(h + 4 * x, p, half16_avx2(q, p, fields), q, half16_avx2(q, r, fields));
        } else {
            __m256i c1 = half16_avx2(half16_avx2(q, r, fields), p, fields);
            __m256i c2 = half16_avx2(half16_avx2(q, p, fields), r, fields);
            store_triples16_avx2(h + 3 * x, p, c1, c2);
        }
    }
}

AVX2_ROW void across_avx2_row(const uint8_t* s, uint8_t* h, int32_t k, int32_t bpp) {
    if (k == 4 && bpp == 2)
        across_row16_avx2<4>((const uint16_t*)s, (uint16_t*)h);
    else if (bpp == 2)
        across_row16_avx2<3>((const uint16_t*)s, (uint16_t*)h);
    else if (k == 4)
        across_row_avx2<4, 0>(s, h, bpp);
    else
        across_row_avx2<3, 0>(s, h, bpp);
}

// conv: 16-bit cells converted into display pixels.
AVX2_ROW void down_avx2_rows(const uint8_t* top, const uint8_t* bottom, uint8_t* const* out, int32_t row, int32_t k,
                             int32_t wide16, int32_t conv, const Convert16Rule& rule) {
    if (k == 4 && conv)
        down_rows_avx2<4, 1, 1>(top, bottom, out, row, rule);
    else if (k == 4 && wide16)
        down_rows_avx2<4, 1, 0>(top, bottom, out, row, rule);
    else if (k == 4)
        down_rows_avx2<4, 0, 0>(top, bottom, out, row, rule);
    else if (conv)
        down_rows_avx2<3, 1, 1>(top, bottom, out, row, rule);
    else if (wide16)
        down_rows_avx2<3, 1, 0>(top, bottom, out, row, rule);
    else
        down_rows_avx2<3, 0, 0>(top, bottom, out, row, rule);
}

static void bilinear_avx2(int32_t k, int32_t bpp, int32_t conv, const Convert16Rule& rule) {
    int32_t row = SCALE_SRC_W * k * bpp, wide16 = bpp == 2;
    for (int32_t y = 0; y <= SCALE_SRC_H; y++) {
        if (y < SCALE_SRC_H) {
            flip_row(y, bpp);
            across_avx2_row(flipped, across[y % 2], k, bpp);
        }
        if (y == 0) continue;
        int32_t up = y - 1;
        // The kernels write three rows or, at factor 4, four.
        int32_t rows = k == 4 ? 4 : 3;
        uint8_t* out[4];
        for (int32_t j = 0; j < rows; j++) out[j] = picture_row(k * up + j);
        down_avx2_rows(across[up % 2], across[(y < SCALE_SRC_H ? y : up) % 2], out, row, k, wide16, conv, rule);
    }
}
#endif

void filter_bilinear(int32_t kind) {
    (void)kind;
    int32_t k = scale_picture.factor, bpp = scale_picture.bpp, conv = scale_picture.convert;
    Convert16Rule rule = {};
    if (conv && active_path != SCALE_PATH_PORTABLE) convert16_rule(&rule);
    make_lane_masks(k, bpp);
#ifdef SCALE_HAVE_AVX2
    if (active_path == SCALE_PATH_AVX2) {
        make_triple_tables();
        bilinear_avx2(k, bpp, conv, rule);
        return;
    }
#endif
#ifdef __SSE2__
    if (active_path >= SCALE_PATH_SSE2) {
        if (k == 4 && conv)
            bilinear_sse<4, 1, 1>(bpp, rule);
        else if (k == 4 && bpp == 2)
            bilinear_sse<4, 1, 0>(bpp, rule);
        else if (k == 4)
            bilinear_sse<4, 0, 0>(bpp, rule);
        else if (conv)
            bilinear_sse<3, 1, 1>(bpp, rule);
        else if (bpp == 2)
            bilinear_sse<3, 1, 0>(bpp, rule);
        else
            bilinear_sse<3, 0, 0>(bpp, rule);
        return;
    }
#endif
    bilinear_portable(k, bpp);
}
