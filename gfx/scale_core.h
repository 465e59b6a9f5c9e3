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
// (or in a work buffer), the row stride, the factor and the bytes per pixel.
struct ScalePicture {
    uint8_t* origin;
    int32_t pitch;
    int32_t factor;
    int32_t bpp;
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
void row16_scale2x(const uint16_t* a, const uint16_t* p, const uint16_t* d, uint16_t* o0, uint16_t* o1, int32_t blend,
                   int32_t n);
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

AVX2_INLINE void store_triples16_avx2(uint16_t* o, __m256i x, __m256i y, __m256i z) {
    __m256i src[3][3] = {{low_half_twice(x), low_half_twice(y), low_half_twice(z)},
                         {x, y, z},
                         {high_half_twice(x), high_half_twice(y), high_half_twice(z)}};
    for (int32_t k = 0; k < 3; k++) {
        __m256i v = _mm256_shuffle_epi8(src[k][0], load256(triple16[k][0]));
        v = _mm256_or_si256(v, _mm256_shuffle_epi8(src[k][1], load256(triple16[k][1])));
        v = _mm256_or_si256(v, _mm256_shuffle_epi8(src[k][2], load256(triple16[k][2])));
        store256(o + 16 * k, v);
    }
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

// One row enlarged k times (k >= 3), every pixel repeated k times.
void replicate_into(const uint8_t* s, uint8_t* o, int32_t k, int32_t bpp);

// Readies the conversion of pictures from the frame's pixel format (16 or
// 3-byte 24 bits) into a 32-bit display's; 0 when these formats do not convert.
int32_t prepare_conversion(const SDL_PixelFormat* from, const SDL_PixelFormat* to);
// Whether the prepared conversion gives different frame pixels different
// display pixels, so that comparing converted pixels is comparing the originals.
int32_t conversion_keeps_pixels_apart();
// Converts a w x h picture in the prepared frame format into the display's.
void convert_picture(const uint8_t* from, int32_t from_pitch, uint8_t* to, int32_t to_pitch, int32_t w, int32_t h);

// Simple and scanline at factors 3 and up.
void filter_replicate(int32_t kind);
// Scale3x, Scale4x and antialias at factors 3 and 4.
void filter_edges(int32_t kind);
// Bilinear at factors 3 and 4.
void filter_bilinear(int32_t kind);
// Beyond factor 4: the factor-4 picture, each of its cells widened to the factor.
void filter_beyond4(int32_t kind);

#endif
