// Shared helpers of the fuzz targets.
#ifndef FUZZ_SUPPORT_H
#define FUZZ_SUPPORT_H

#include <setjmp.h>
#include <stddef.h>
#include <stdint.h>

#include <string>

// Where fatal_error returns to during a fuzz run (the link wraps fatal_error):
//     FUZZ_TRY { fuzz_fatal_armed = 1; call(); fuzz_fatal_armed = 0; } else { ended in fatal_error }
// A fatal_error outside an armed block aborts the run.
extern jmp_buf fuzz_fatal_jump;
extern volatile int fuzz_fatal_armed;
#define FUZZ_TRY if (setjmp(fuzz_fatal_jump) == 0)
const char* fuzz_fatal_message();

// Makes a private temporary directory the current one (once per process);
// it and its files are removed at exit. Returns its path.
const char* fuzz_enter_workdir();

// Writes bytes to a file of the current directory (or any path); 0 on failure.
int fuzz_write_file(const char* path, const uint8_t* data, size_t size);

// Copies a file of the source tree (path relative to its top) to a path.
int fuzz_copy_source_file(const char* source_relative, const char* destination);

// SDL video (dummy driver, the unscaled 16-bit mode) and the audio device at
// the game's format; once per process. Abort when they cannot be opened.
void fuzz_open_video();
void fuzz_open_audio();

// Stops the run with a message when a property of the game does not hold.
#define FUZZ_REQUIRE(cond)                                 \
    do {                                                   \
        if (!(cond)) fuzz_fail(#cond, __FILE__, __LINE__); \
    } while (0)
[[noreturn]] void fuzz_fail(const char* what, const char* file, int line);

#endif
