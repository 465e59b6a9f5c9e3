#include "storage/bindings.h"

#include <SDL.h>

// The live bindings: the defaults here, then the configuration file and the
// options screen's capture write them; the event pump and the menus read them.
int32_t k_up = SDLK_UP, k_down = SDLK_DOWN, k_right = SDLK_RIGHT, k_left = SDLK_LEFT, k_jump = SDLK_SPACE,
        k_pause = SDLK_TAB, k_start = SDLK_RETURN;
int32_t j_jump = 0, j_pause = 3, j_start = 7, j_up = SDL_HAT_UP, j_down = SDL_HAT_DOWN, j_left = SDL_HAT_LEFT,
        j_right = SDL_HAT_RIGHT;
int32_t up2jump = 0;  // the options screen's USE UP TO JUMP, also read from the configuration

void apply_default_bindings() {
    k_up = SDLK_UP;
    k_down = SDLK_DOWN;
    k_right = SDLK_RIGHT;
    k_left = SDLK_LEFT;
    k_jump = SDLK_SPACE;
    k_pause = SDLK_TAB;
    k_start = SDLK_RETURN;
    j_jump = 0;
    j_pause = 3;
    j_start = 7;
    j_up = SDL_HAT_UP;
    j_down = SDL_HAT_DOWN;
    j_left = SDL_HAT_LEFT;
    j_right = SDL_HAT_RIGHT;
}
