#include "gfx/intro.h"

const IntroScreen intro_screens[] = {{nullptr, nullptr, nullptr, nullptr, nullptr}};
int32_t intro_test_start_index = 2;
int32_t cos_table[512];
int32_t sin_table[512];
