// The key and pad bindings and the up-to-jump setting: written by the defaults,
// the configuration file and the options screen's capture, read by the event
// pump, the menus and the hero's controls.
#ifndef STORAGE_BINDINGS_H
#define STORAGE_BINDINGS_H

#include <stdint.h>

// SDL key symbols of the seven actions; -1 means unbound.
extern int32_t k_up, k_down, k_right, k_left, k_jump, k_pause, k_start;
// Pad button numbers of jump, pause and start, and the hat bits of the four directions; -1 means unbound.
extern int32_t j_jump, j_pause, j_start, j_up, j_down, j_left, j_right;
// 1 when up also jumps.
extern int32_t up2jump;

// Puts back the default keys and pad buttons (up2jump is left as it is).
void apply_default_bindings();

#endif
