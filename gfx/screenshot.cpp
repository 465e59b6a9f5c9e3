#include "gfx/screenshot.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "gfx/png.h"
#include "gfx/video.h"
#include "gfx/window.h"
#include "storage/userfile.h"

enum {
    SHOT_NAME_MAX = 64,
    SHOT_SUFFIX_MAX = 999,  // names tried within one second
    SHOT_LEVEL = 6,         // zlib's level: quick, and flat colours pack well at any
    SHOT_MODE = 0644
};

static const char SHOT_FOLDER[] = "screenshots";

uint8_t* surface_rgb(SDL_Surface* surface, const SDL_Rect* rect) {
    if (!surface || !rect || rect->w == 0 || rect->h == 0) return nullptr;
    if (rect->x < 0 || rect->y < 0 || rect->x + rect->w > surface->w || rect->y + rect->h > surface->h) return nullptr;
    // SDL's own blit into the desktop's usual 32-bit pixels: the conversion
    // its drivers show a 16-bit picture on a 24-bit desktop with, so that the
    // file holds the colours the player saw.
    SDL_Surface* rgb = SDL_CreateRGBSurface(SDL_SWSURFACE, rect->w, rect->h, 32, 0xFF0000u, 0x00FF00u, 0x0000FFu, 0);
    if (!rgb) return nullptr;
    uint8_t* out = static_cast<uint8_t*>(malloc((size_t)rect->w * rect->h * 3));
    SDL_Rect from = *rect;
    Uint32 alpha_flags = surface->flags & SDL_SRCALPHA, key_flags = surface->flags & SDL_SRCCOLORKEY;
    Uint8 alpha = surface->format->alpha;
    Uint32 key = surface->format->colorkey;
    SDL_SetAlpha(surface, 0, 0);
    SDL_SetColorKey(surface, 0, 0);
    int ok = out && SDL_BlitSurface(surface, &from, rgb, nullptr) == 0 && SDL_LockSurface(rgb) == 0;
    if (alpha_flags) SDL_SetAlpha(surface, alpha_flags, alpha);
    if (key_flags) SDL_SetColorKey(surface, key_flags, key);
    if (ok) {
        uint8_t* to = out;
        for (int32_t y = 0; y < rect->h; y++) {
            const uint8_t* row = static_cast<const uint8_t*>(rgb->pixels) + (size_t)y * rgb->pitch;
            for (int32_t x = 0; x < rect->w; x++, to += 3) {
                uint32_t p;
                memcpy(&p, row + (size_t)x * 4, 4);
                to[0] = (uint8_t)(p >> 16), to[1] = (uint8_t)(p >> 8), to[2] = (uint8_t)p;
            }
        }
        SDL_UnlockSurface(rgb);
    }
    SDL_FreeSurface(rgb);
    if (!ok) {
        free(out);
        return nullptr;
    }
    return out;
}

// Gives the written temporary file the first free name of the second: a hard
// link fails on any name that exists, a dangling link too, so nothing is ever
// replaced or written through. Returns 0 with errno on failure.
static int link_free_name(int folder, const char* temp, const char* stamp, char* name) {
    for (int32_t n = 1; n <= SHOT_SUFFIX_MAX; n++) {
        if (n == 1)
            snprintf(name, SHOT_NAME_MAX, "floob2-%s.png", stamp);
        else
            snprintf(name, SHOT_NAME_MAX, "floob2-%s-%d.png", stamp, (int)n);
        if (linkat(folder, temp, folder, name, 0) == 0) return 1;
        if (errno != EEXIST) return 0;
    }
    errno = EEXIST;
    return 0;
}

// Writes the PNG bytes into the folder under a new name; 0 with errno on failure.
static int store_png(const uint8_t* png, uint32_t size, char* path, uint32_t path_size) {
    if (mkdir(SHOT_FOLDER, 0755) != 0 && errno != EEXIST) return 0;
    int folder = open(SHOT_FOLDER, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return 0;
    char temp[SHOT_NAME_MAX];
    snprintf(temp, sizeof temp, ".floob2-shot.tmp.%ld", (long)getpid());
    unlinkat(folder, temp, 0);
    int fd = openat(folder, temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, SHOT_MODE);
    int ok = fd >= 0;
    if (ok) {
        ok = write_all(fd, png, size) && fsync(fd) == 0;
        int error = errno;
        if (close(fd) != 0 && ok) ok = 0, error = errno;
        errno = error;
    }
    char name[SHOT_NAME_MAX];
    if (ok) {
        time_t now = time(nullptr);
        struct tm local;
        char stamp[32];
        ok = localtime_r(&now, &local) && strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local) > 0 &&
             link_free_name(folder, temp, stamp, name);
    }
    int error = errno;
    if (fd >= 0) unlinkat(folder, temp, 0);
    if (ok) fsync(folder);
    close(folder);
    errno = error;
    if (ok) snprintf(path, path_size, "%s/%s", SHOT_FOLDER, name);
    return ok;
}

int save_screenshot(int32_t raw, char* path, uint32_t path_size) {
    char ignored[SHOT_NAME_MAX + sizeof SHOT_FOLDER];
    if (!path || path_size == 0) path = ignored, path_size = sizeof ignored;
    path[0] = 0;
    SDL_Surface* source = frame_surface;
    SDL_Rect rect = {0, 0, 320, 240};
    int factor = 1;
    if (!raw && display_surface && shown_picture(&rect, &factor) && factor > 1)
        source = display_surface;
    else
        rect.x = rect.y = 0, rect.w = 320, rect.h = 240;
    uint8_t* rgb = surface_rgb(source, &rect);
    uint32_t size = 0;
    uint8_t* png = rgb ? png_encode(rgb, rect.w, rect.h, rect.w * 3, 3, SHOT_LEVEL, &size) : nullptr;
    free(rgb);
    int ok = png && store_png(png, size, path, path_size);
    int error = png ? errno : ENOMEM;
    free(png);
    if (!ok) fprintf(stderr, "Can't save a screenshot in %s/: %s\n", SHOT_FOLDER, strerror(error));
    return ok;
}
