// Reading the controls each frame, and the capture steps of the options screen.
// The bindings are in storage/bindings.h, the hero's control flags in the world record.
#ifndef SHELL_CONTROLS_H
#define SHELL_CONTROLS_H

#include <stdint.h>

#include "storage/bindings.h"
#include "world/world.h"

// Capture state of the options screen's key and pad configuration, written by
// the options screen and the capture steps below.
extern int32_t config_mode;       // 1 while bindings are being captured
extern int32_t config_step;       // the binding captured next
extern int32_t config_duplicate;  // 1 after a key or button that is already bound was pressed

// Polls the events, gives the held buttons to the world (its control flags),
// turns the quit signal into a quit request and, on a play level with pause
// allowed, opens the pause menu on a released pause or start.
void read_controls(int32_t level, int32_t pause_allowed);
void wait_all_released();
void capture_key(int32_t* binding);
void capture_pad_button(int32_t* binding);

#endif
