// Key and pad bindings, the hero's control flags and the capture steps.
#ifndef SHELL_CONTROLS_H
#define SHELL_CONTROLS_H

#include <stdint.h>

// Live bindings; -1 means unbound.
extern int32_t k_up, k_down, k_right, k_left, k_jump, k_pause, k_start;
extern int32_t j_jump, j_pause, j_start, j_up, j_down, j_left, j_right;
extern int32_t up2jump;

// Hero control flags, recomputed by read_controls.
extern int32_t control_left, control_right, control_jump, control_down, control_start;

// Capture state of the options screen's key and pad configuration.
extern int32_t config_mode;
extern int32_t config_step;
extern int32_t config_duplicate;

void apply_default_bindings();
void read_controls(int32_t level, int32_t pause_allowed);
void wait_all_released();
void capture_key(int32_t* binding);
void capture_pad_button(int32_t* binding);

// Clears the five control flags (part of the world reset of the game loop).
void clear_controls();

#endif
