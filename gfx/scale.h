// Presenting the frame, enlarged by the chosen filter.
#ifndef GFX_SCALE_H
#define GFX_SCALE_H

#include <stdint.h>

void present_frame();
// How many times present_frame has run; a recording hashes each picture shown.
extern int32_t frames_presented;

// Where present_frame puts the 320 x 240 picture in a display surface of the
// given size: enlarged by the largest integer factor that fits and centred,
// (x, y) its top-left pixel; factor 0 when not even twice the frame fits.
void picture_placement(int32_t display_w, int32_t display_h, int32_t* x, int32_t* y, int32_t* factor);
void scale_simple();
void scale_scale2x();
void scale_scanline();
void scale_bilinear();
void scale_antialias();

// Which loops the filters run. Every path gives the identical picture; the
// game leaves the choice to the filters (SCALE_PATH_AUTO: the fastest one this
// processor has), tests and benchmarks ask for each path in turn. A path the
// build or the processor lacks falls back to the best one available.
enum { SCALE_PATH_AUTO = -1, SCALE_PATH_PORTABLE = 0, SCALE_PATH_SSE2 = 1, SCALE_PATH_AVX2 = 2 };
extern int32_t scale_path;

// The fastest path the build and this processor support.
int32_t best_scale_path();

#endif
