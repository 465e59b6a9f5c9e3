#include "gfx/scale.h"

void present_frame() {}
void scale_simple() {}
void scale_scale2x() {}
void scale_scanline() {}
void scale_bilinear() {}
void scale_antialias() {}
