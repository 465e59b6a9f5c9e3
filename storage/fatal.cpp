#include <SDL.h>
#include <stdio.h>
#include <unistd.h>

#include "floob.h"
#include "storage/recording.h"

// Ends at once with status 1. Only the window is closed on the way, so that a
// full-screen mode is given back; the audio thread is not stopped and no exit
// handlers run, because when memory has run out stopping that thread aborts
// the process instead of ending it. Only the run's recording is written (whole,
// like the player's files, which are only ever replaced whole).
void fatal_error(const char* message, const char* detail) {
    printf("%s: %s\n", message, detail ? detail : "unknown");
    fflush(stdout);
    // The run's recording is kept whole up to the failure (its own write reports a failure of its own).
    session_finish(RUN_END_FATAL);
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    _exit(1);
}
