#include <SDL.h>
#include <stdio.h>
#include <unistd.h>

#include "floob.h"

// Ends at once with status 1. Only the window is closed on the way, so that a
// full-screen mode is given back; the audio thread is not stopped and no exit
// handlers run, because when memory has run out stopping that thread aborts
// the process instead of ending it. Nothing is written: the player's files
// are only ever replaced whole.
void fatal_error(const char* message, const char* detail) {
    printf("%s: %s\n", message, detail ? detail : "unknown");
    fflush(stdout);
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    _exit(1);
}
