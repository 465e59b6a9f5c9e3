#include "storage/bindings.h"

// The live bindings: the configuration file and the options screen's capture
// write them; the event pump and the menus read them. Their defaults live in
// the configuration's table (storage/config.cpp), which puts them in place
// before the program runs and defines apply_default_bindings.
int32_t k_up, k_down, k_right, k_left, k_jump, k_pause, k_start;
int32_t j_jump, j_pause, j_start, j_up, j_down, j_left, j_right;
int32_t up2jump;  // the options screen's USE UP TO JUMP, also read from the configuration
