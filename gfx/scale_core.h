// Shared by the units of the scaling filters and by nothing else: the picture
// being written, the loops in use, the channel rules and the row kernels that
// several factors run. scale.cpp holds the dispatch and factor 2;
// scale_replicate.cpp simple and scanline at factors 3 and up and everything
// beyond 4; scale_edges.cpp Scale3x, Scale4x and antialias at 3 and 4;
// scale_bilinear.cpp bilinear at 3 and 4; scale_convert.cpp the colour conversion
// into a display of another pixel format.
#ifndef GFX_SCALE_CORE_H
#define GFX_SCALE_CORE_H

#include <SDL.h>
#include <stdint.h>
#include <string.h>

#include "gfx/scale.h"
#include "gfx/video.h"

#ifdef __SSE2__
#include <emmintrin.h>
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define SCALE_HAVE_AVX2 1
#endif
#endif

enum {
    SCALE_SRC_W = FRAME_WIDTH,
    SCALE_SRC_H = FRAME_HEIGHT,
    SCALE_PAD = 16,        // spare pixels on each side of a working row, keeps rows 32-byte aligned
    SCALE_MAX_FACTOR = 32  // a larger display gets this factor, centred
};

enum { FILTER_SIMPLE = 0, FILTER_SCALE2X = 1, FILTER_SCANLINE = 2, FILTER_BILINEAR = 3, FILTER_ANTIALIAS = 4 };

// The picture the running filter writes: its top-left pixel in the display
// (or in a work buffer), the row stride, the factor and the bytes per pixel
// of the frame. With convert set, the filter writes 32-bit display pixels
// instead, converting each of its 16-bit values as it stores it (the fused
// loops; see prepare_conversion).
struct ScalePicture {
    uint8_t* origin;
    int32_t pitch;
    int32_t factor;
    int32_t bpp;
    int32_t convert;
};
extern ScalePicture scale_picture;

// The path of the filter that is running, resolved from scale_path.
extern int32_t active_path;

// Channel masks of the 16-bit format in use, taken from the frame's shifts:
// scanline darkening, the halving average of the factor-2 rule, and the
// lowest bit of every channel (for the exact per-channel average).
extern uint16_t dark_mask16;
extern uint16_t avg_mask16;
extern uint16_t low_bits16;
// Bits of a 32-bit pixel that scanline darkening leaves alone (alpha).
extern uint32_t keep_mask32;

static inline uint8_t* picture_row(int32_t r) { return scale_picture.origin + r * scale_picture.pitch; }
static inline uint8_t* source_row(SDL_Surface* s, int32_t y) { return (uint8_t*)s->pixels + y * s->pitch; }

static inline uint16_t avg16(uint32_t a, uint32_t b) { return (uint16_t)(((a & avg_mask16) + (b & avg_mask16)) >> 1); }
static inline uint16_t dark16(uint32_t p) { return (uint16_t)((p & dark_mask16) >> 2); }
// Per byte floor((a + b) / 2) without carries between bytes.
static inline uint32_t avg32(uint32_t a, uint32_t b) { return (a & b) + (((a ^ b) & 0xFEFEFEFEu) >> 1); }
static inline uint32_t dark32(uint32_t p) { return ((p & (0x80808080u & ~keep_mask32)) >> 2) | (p & keep_mask32); }

#ifdef __SSE2__
static inline __m128i load128(const void* p) { return _mm_loadu_si128((const __m128i*)p); }
static inline void store128(void* p, __m128i v) { _mm_storeu_si128((__m128i*)p, v); }
static inline __m128i select128(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}
static inline __m128i avg32_sse(__m128i a, __m128i b) {
    return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}
#endif

#ifdef SCALE_HAVE_AVX2
// The AVX2 loops are compiled for AVX2 alone and run only where the processor has it.
#define AVX2_INLINE static inline __attribute__((target("avx2"), always_inline))
#define AVX2_ROW static __attribute__((target("avx2")))

AVX2_INLINE __m256i load256(const void* p) { return _mm256_loadu_si256((const __m256i*)p); }
AVX2_INLINE void store256(void* p, __m256i v) { _mm256_storeu_si256((__m256i*)p, v); }
AVX2_INLINE __m256i select256(__m256i mask, __m256i yes, __m256i no) { return _mm256_blendv_epi8(no, yes, mask); }
#endif

// Row kernels of factor 2 over rows of n source pixels (a multiple of 16)
// whose ends are repeated one place outwards: Scale2X (blend set: the
// antialias rule) into two output rows of 2n pixels.
// With conv set the output rows take display pixels converted from the results.
void row16_scale2x(const uint16_t* a, const uint16_t* p, const uint16_t* d, void* o0, void* o1, int32_t blend,
                   int32_t n, int32_t conv);
void row32_scale2x(const uint32_t* a, const uint32_t* p, const uint32_t* d, uint32_t* o0, uint32_t* o1, int32_t blend,
                   int32_t n);
#ifdef SCALE_HAVE_AVX2
// The same on 32-bit rows, packed straight into two 3-byte rows (AVX2 only).
void row24_scale2x_avx2(const uint32_t* a, const uint32_t* p, const uint32_t* d, uint8_t* o0, uint8_t* o1,
                        int32_t blend, int32_t n);
#endif

// Widens a 320-pixel 3-byte row into words whose fourth byte is 0.
void unpack_row24(const uint8_t* s, uint32_t* r);
// Narrows n such words (a multiple of 16) back into 3-byte pixels.
void pack_row24(const uint32_t* r, uint8_t* d, int32_t n);

#ifdef SCALE_HAVE_AVX2
enum { REPLICATE_TABLE_CHUNKS = SCALE_SRC_W * 4 * 4 / 16 };  // 16-byte pieces of a row at factor 4, 4 bytes a pixel

// At factors 3 and 4 every 16-byte piece of an enlarged row is one byte
// shuffle of 16 bytes of the source row, for every pixel size. The table
// holds, for each piece, where its 16 source bytes start and the shuffle;
// the last pieces read the row's last 16 bytes, never past them.
struct ReplicateTable {
    int32_t factor, bpp, chunks;
    int32_t from[REPLICATE_TABLE_CHUNKS];
    alignas(16) uint8_t shuffle[REPLICATE_TABLE_CHUNKS][16];
};
const ReplicateTable* replicate_table_for(int32_t k, int32_t bpp);
#endif

#ifdef SCALE_HAVE_AVX2
// Byte shuffles that spread three vectors of 16 16-bit values into 48 values
// in the order x0 y0 z0 x1 ...: output vector k takes from each source a
// shuffle of its low half (k = 0), of itself (k = 1) or of its high half
// (k = 2), which keeps every shuffle inside 128-bit lanes. triple16[k][s] is
// the shuffle for source s; made by make_triple_tables.
extern uint8_t triple16[3][3][32];
void make_triple_tables();

AVX2_INLINE __m256i low_half_twice(__m256i v) { return _mm256_permute2x128_si256(v, v, 0x00); }
AVX2_INLINE __m256i high_half_twice(__m256i v) { return _mm256_permute2x128_si256(v, v, 0x11); }

// The three vectors of 16 values each that x0 y0 z0 x1 ... fills, in order.
AVX2_INLINE void triples16_avx2(__m256i x, __m256i y, __m256i z, __m256i out[3]) {
    __m256i src[3][3] = {{low_half_twice(x), low_half_twice(y), low_half_twice(z)},
                         {x, y, z},
                         {high_half_twice(x), high_half_twice(y), high_half_twice(z)}};
    for (int32_t k = 0; k < 3; k++) {
        __m256i v = _mm256_shuffle_epi8(src[k][0], load256(triple16[k][0]));
        v = _mm256_or_si256(v, _mm256_shuffle_epi8(src[k][1], load256(triple16[k][1])));
        out[k] = _mm256_or_si256(v, _mm256_shuffle_epi8(src[k][2], load256(triple16[k][2])));
    }
}

AVX2_INLINE void store_triples16_avx2(uint16_t* o, __m256i x, __m256i y, __m256i z) {
    __m256i v[3];
    triples16_avx2(x, y, z, v);
    for (int32_t k = 0; k < 3; k++) store256(o + 16 * k, v[k]);
}

// Writes w0 x0 y0 z0 w1 x1 y1 z1 ... (16 16-bit values of each) to o.
AVX2_INLINE void store_quads16_avx2(uint16_t* o, __m256i w, __m256i x, __m256i y, __m256i z) {
    __m256i wx_lo = _mm256_unpacklo_epi16(w, x), wx_hi = _mm256_unpackhi_epi16(w, x);
    __m256i yz_lo = _mm256_unpacklo_epi16(y, z), yz_hi = _mm256_unpackhi_epi16(y, z);
    __m256i v0 = _mm256_unpacklo_epi32(wx_lo, yz_lo), v1 = _mm256_unpackhi_epi32(wx_lo, yz_lo);
    __m256i v2 = _mm256_unpacklo_epi32(wx_hi, yz_hi), v3 = _mm256_unpackhi_epi32(wx_hi, yz_hi);
    store256(o, _mm256_permute2x128_si256(v0, v1, 0x20));
    store256(o + 16, _mm256_permute2x128_si256(v2, v3, 0x20));
    store256(o + 32, _mm256_permute2x128_si256(v0, v1, 0x31));
    store256(o + 48, _mm256_permute2x128_si256(v2, v3, 0x31));
}
#endif

// The dark form of a row of bytes / bpp pixels (the scanline filter's darkening).
void darken_row(const uint8_t* from, uint8_t* to, int32_t bytes, int32_t bpp);

// One row enlarged k times (k >= 3), every pixel repeated k times.
void replicate_into(const uint8_t* s, uint8_t* o, int32_t k, int32_t bpp);

// Readies the conversion of pictures from the frame's pixel format (16 or
// 3-byte 24 bits) into a 32-bit display's; 0 when these formats do not convert.
int32_t prepare_conversion(const SDL_PixelFormat* from, const SDL_PixelFormat* to);
// Whether the prepared conversion gives different frame pixels different
// display pixels, so that comparing converted pixels is comparing the originals.
int32_t conversion_keeps_pixels_apart();
// Whether the prepared conversion moves each byte of a 3-byte pixel whole into a display byte.
int32_t conversion_moves_bytes();
// Converts a w x h picture in the prepared frame format into the display's.
void convert_picture(const uint8_t* from, int32_t from_pitch, uint8_t* to, int32_t to_pitch, int32_t w, int32_t h);

// The fused loops' conversion of 16-bit values: the display pixel of every
// value (SDL's own), and, where each frame field alone decides one of
// display bytes 0 to 2, the same in vector registers: for each of those
// bytes, the left and right shifts that put its frame field at its place in
// a 16-bit lane, the mask of that field there, and the multiplier whose high
// product is the display byte; the bits every pixel has, split into the low
// and high 16 bits.
extern const uint32_t* convert16_table;
static inline uint32_t convert16(uint32_t v) { return convert16_table[v]; }
struct Convert16Rule {
    int32_t up[3], down[3];
    uint16_t mask[3], mul[3];
    uint16_t fixed_lo, fixed_hi;
};
// 0 when the vector loops cannot convert 16-bit values in their registers.
int32_t convert16_rule(Convert16Rule* rule);

#ifdef __SSE2__
struct Convert16Sse {
    __m128i up[3], down[3], mask[3], mul[3], fixed_lo, fixed_hi;
};
static inline Convert16Sse convert16_sse(const Convert16Rule& r) {
    Convert16Sse k;
    for (int32_t i = 0; i < 3; i++) {
        k.up[i] = _mm_cvtsi32_si128(r.up[i]);
        k.down[i] = _mm_cvtsi32_si128(r.down[i]);
        k.mask[i] = _mm_set1_epi16((int16_t)r.mask[i]);
        k.mul[i] = _mm_set1_epi16((int16_t)r.mul[i]);
    }
    k.fixed_lo = _mm_set1_epi16((int16_t)r.fixed_lo);
    k.fixed_hi = _mm_set1_epi16((int16_t)r.fixed_hi);
    return k;
}
static inline __m128i convert16_byte_sse(__m128i v, const Convert16Sse& k, int32_t i) {
    return _mm_mulhi_epu16(_mm_and_si128(_mm_srl_epi16(_mm_sll_epi16(v, k.up[i]), k.down[i]), k.mask[i]), k.mul[i]);
}
// Eight 16-bit frame values into eight display pixels at o.
static inline void store_converted16_sse(uint32_t* o, __m128i v, const Convert16Sse& k) {
    __m128i lo = _mm_or_si128(_mm_or_si128(convert16_byte_sse(v, k, 0), _mm_slli_epi16(convert16_byte_sse(v, k, 1), 8)),
                              k.fixed_lo);
    __m128i hi = _mm_or_si128(convert16_byte_sse(v, k, 2), k.fixed_hi);
    store128(o, _mm_unpacklo_epi16(lo, hi));
    store128(o + 4, _mm_unpackhi_epi16(lo, hi));
}
#endif

#ifdef SCALE_HAVE_AVX2
struct Convert16Avx2 {
    __m128i up[3], down[3];
    __m256i mask[3], mul[3], fixed_lo, fixed_hi;
};
AVX2_INLINE Convert16Avx2 convert16_avx2(const Convert16Rule& r) {
    Convert16Avx2 k;
    for (int32_t i = 0; i < 3; i++) {
        k.up[i] = _mm_cvtsi32_si128(r.up[i]);
        k.down[i] = _mm_cvtsi32_si128(r.down[i]);
        k.mask[i] = _mm256_set1_epi16((int16_t)r.mask[i]);
        k.mul[i] = _mm256_set1_epi16((int16_t)r.mul[i]);
    }
    k.fixed_lo = _mm256_set1_epi16((int16_t)r.fixed_lo);
    k.fixed_hi = _mm256_set1_epi16((int16_t)r.fixed_hi);
    return k;
}
AVX2_INLINE __m256i convert16_byte_avx2(__m256i v, const Convert16Avx2& k, int32_t i) {
    return _mm256_mulhi_epu16(_mm256_and_si256(_mm256_srl_epi16(_mm256_sll_epi16(v, k.up[i]), k.down[i]), k.mask[i]),
                              k.mul[i]);
}
// Sixteen 16-bit frame values as sixteen display pixels, in two vectors.
AVX2_INLINE void converted16_avx2(__m256i v, const Convert16Avx2& k, __m256i out[2]) {
    __m256i lo = _mm256_or_si256(
        _mm256_or_si256(convert16_byte_avx2(v, k, 0), _mm256_slli_epi16(convert16_byte_avx2(v, k, 1), 8)), k.fixed_lo);
    __m256i hi = _mm256_or_si256(convert16_byte_avx2(v, k, 2), k.fixed_hi);
    __m256i a = _mm256_unpacklo_epi16(lo, hi), b = _mm256_unpackhi_epi16(lo, hi);
    out[0] = _mm256_permute2x128_si256(a, b, 0x20);
    out[1] = _mm256_permute2x128_si256(a, b, 0x31);
}
AVX2_INLINE void store_converted16_avx2(uint32_t* o, __m256i v, const Convert16Avx2& k) {
    __m256i c[2];
    converted16_avx2(v, k, c);
    store256(o, c[0]);
    store256(o + 8, c[1]);
}
#endif

// When set, the scanline filter's dark rows are this frame's rows enlarged
// (the frame darkened and converted, made by run_filter) instead of the
// picture's rows darkened.
extern SDL_Surface* scale_dark_frame;

// Simple and scanline at factors 3 and up.
void filter_replicate(int32_t kind);
// Scale3x, Scale4x and antialias at factors 3 and 4.
void filter_edges(int32_t kind);
// Bilinear at factors 3 and 4.
void filter_bilinear(int32_t kind);
// Beyond factor 4: the factor-4 picture, each of its cells widened to the factor.
void filter_beyond4(int32_t kind);

#endif
