#include "shell/controls.h"

int32_t k_up = 273, k_down = 274, k_right = 275, k_left = 276, k_jump = 32, k_pause = 9, k_start = 13;
int32_t j_jump = 0, j_pause = 3, j_start = 7, j_up = 1, j_down = 4, j_left = 8, j_right = 2;
int32_t up2jump = 0;
int32_t control_left = 0, control_right = 0, control_jump = 0, control_down = 0, control_start = 0;
int32_t config_mode = 0;
int32_t config_step = 0;
int32_t config_duplicate = 0;

void apply_default_bindings() {}
void read_controls(int32_t, int32_t) {}
void wait_all_released() {}
void capture_key(int32_t*) {}
void capture_pad_button(int32_t*) {}
void clear_controls() {}
