#include "fuzz_support.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "audio/sound.h"
#include "floob.h"
#include "gfx/video.h"

jmp_buf fuzz_fatal_jump;
volatile int fuzz_fatal_armed = 0;
static char fatal_text[512];
static char workdir[256];

// Stands in for fatal_error (the fuzz targets link with --wrap): a fatal end
// is a legitimate answer to bad data, so the run goes on with the next input.
extern "C" [[noreturn]] void __wrap__Z11fatal_errorPKcS0_(const char* message, const char* detail) {
    snprintf(fatal_text, sizeof fatal_text, "%s: %s", message ? message : "", detail ? detail : "unknown");
    if (!fuzz_fatal_armed) {
        fprintf(stderr, "fatal_error outside a guarded call: %s\n", fatal_text);
        abort();
    }
    fuzz_fatal_armed = 0;
    longjmp(fuzz_fatal_jump, 1);
}

const char* fuzz_fatal_message() { return fatal_text; }

static int remove_entry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

static void remove_workdir() {
    if (!workdir[0]) return;
    if (chdir("/") == 0) nftw(workdir, remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

const char* fuzz_enter_workdir() {
    if (workdir[0]) return workdir;
    // Memory-backed when there is one: the user files are synced at every save.
    const char* tmp = getenv("TMPDIR");
    if (!tmp || !tmp[0]) tmp = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    snprintf(workdir, sizeof workdir, "%s/floob-fuzz-XXXXXX", tmp);
    if (!mkdtemp(workdir) || chdir(workdir) != 0) {
        perror("fuzz work directory");
        abort();
    }
    atexit(remove_workdir);
    return workdir;
}

int fuzz_write_file(const char* path, const uint8_t* data, size_t size) {
    FILE* f = fopen(path, "wb");
    if (!f) return 0;
    size_t written = size ? fwrite(data, 1, size, f) : 0;
    int ok = fclose(f) == 0 && written == size;
    return ok;
}

int fuzz_copy_source_file(const char* source_relative, const char* destination) {
    char path[1024];
    snprintf(path, sizeof path, "%s/%s", FLOOB_SOURCE_DIR, source_relative);
    FILE* in = fopen(path, "rb");
    if (!in) return 0;
    static uint8_t buffer[1 << 16];
    size_t n = fread(buffer, 1, sizeof buffer, in);
    fclose(in);
    return fuzz_write_file(destination, buffer, n);
}

void fuzz_open_video() {
    if (frame_surface) return;
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    reset_video_settings();
    scale_mode = SCALE_NONE;
    if (SDL_Init(SDL_INIT_VIDEO) < 0 || !video_init()) {
        fprintf(stderr, "no video: %s\n", SDL_GetError());
        abort();
    }
    colours_init();
}

void fuzz_open_audio() {
    static int open = 0;
    if (open) return;
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (SDL_Init(SDL_INIT_AUDIO) < 0 || audio_open(22050, AUDIO_S16LSB, 2, 1024) == -1) {
        fprintf(stderr, "no audio: %s\n", SDL_GetError());
        abort();
    }
    Mix_AllocateChannels(16);
    open = 1;
}

void fuzz_fail(const char* what, const char* file, int line) {
    fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, what);
    abort();
}
