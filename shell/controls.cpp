#include "shell/controls.h"

#include "floob.h"
#include "shell/desktop.h"
#include "shell/frame.h"
#include "storage/extras.h"

enum { CONTROLS_KEY_STEPS = 7, CONTROLS_PAD_STEPS = 3, CONTROLS_RELEASE_POLL_MS = 10 };

// The capture state of the options screen, written by it and by the capture steps below.
int32_t config_mode = 0;
int32_t config_step = 0;
int32_t config_duplicate = 0;

void read_controls(int32_t level, int32_t pause_allowed) {
    poll_events();
    world_read_controls(buttons_held);
    if (escape_or_close) quit_request = 1;
    // A window that loses the focus in play pauses the game as PAUSE would.
    int32_t asked = button_released == BTN_PAUSE || button_released == BTN_START ||
                    (focus_lost && extras_get_int(EXTRAS_PAUSE_ON_FOCUS_LOSS, 0, 1, 1));
    if (pause_allowed && level > 0 && asked && paused == 0) {
        paused = 1;
        pause_cursor = 2;
        button_released = 0;
    }
}

// Sum of the keys that are down, leaving out the three lock keys, which read
// as down for as long as their lock is on.
static int32_t count_keys_down() {
    int count = 0;
    Uint8* keys = SDL_GetKeyState(&count);
    int32_t sum = 0;
    if (!keys) return 0;
    for (int k = 0; k < count; k++) {
        if (k == SDLK_NUMLOCK || k == SDLK_CAPSLOCK || k == SDLK_SCROLLOCK) continue;
        sum += keys[k];
    }
    return sum;
}

void wait_all_released() {
    int32_t pad_buttons = joystick ? SDL_JoystickNumButtons(joystick) : 0;
    for (;;) {
        SDL_Delay(CONTROLS_RELEASE_POLL_MS);
        SDL_PumpEvents();
        end_if_terminated();
        int32_t keys = count_keys_down();
        int32_t pads = 0;
        for (int32_t b = 0; b < pad_buttons; b++) pads += SDL_JoystickGetButton(joystick, b);
        if (keys == 0 && pads == 0) break;
    }
    last_pad_button = -1;
    last_key = 0;
    button_released = 0;
    buttons_held = 0;
}

void capture_key(int32_t* binding) {
    if (last_key > 0) {
        if (last_key == k_start || last_key == k_down || last_key == k_left || last_key == k_right ||
            last_key == k_up || last_key == k_jump || last_key == k_pause) {
            config_duplicate = 1;
        } else {
            if (binding) *binding = last_key;
            config_step += 1;
            if (config_step >= CONTROLS_KEY_STEPS) config_mode = 0;
            config_duplicate = 0;
        }
    }
    wait_all_released();
}

void capture_pad_button(int32_t* binding) {
    config_duplicate = 0;
    if (last_pad_button != -1) {
        if (last_pad_button == j_start || last_pad_button == j_jump || last_pad_button == j_pause) {
            config_duplicate = 1;
        } else {
            if (binding) *binding = last_pad_button;
            config_step += 1;
            if (config_step >= CONTROLS_PAD_STEPS) config_mode = 0;
        }
    }
    wait_all_released();
}
