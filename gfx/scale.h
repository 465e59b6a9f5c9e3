// Presenting the frame, enlarged by the chosen filter.
#ifndef GFX_SCALE_H
#define GFX_SCALE_H

#include <stdint.h>

void present_frame();
void scale_simple();
void scale_scale2x();
void scale_scanline();
void scale_bilinear();
void scale_antialias();

// 1: the filters use their SSE2 loops where the build has them; 0: the portable
// loops. Both give the identical picture; tests and benchmarks switch it.
extern int32_t scale_use_sse2;

#endif
