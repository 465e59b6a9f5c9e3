// Presenting the frame, enlarged by the chosen filter.
#ifndef GFX_SCALE_H
#define GFX_SCALE_H

void present_frame();
void scale_simple();
void scale_scale2x();
void scale_scanline();
void scale_bilinear();
void scale_antialias();

#endif
