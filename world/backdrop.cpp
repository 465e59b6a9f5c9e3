#include "world/backdrop.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "floob.h"
#include "gfx/image.h"
#include "storage/archive.h"
#include "storage/text.h"
#include "world/codes.h"

SDL_Surface* back_image = nullptr;  // the play screen's backdrop, or null

// The backdrop of every level without one of its own, and of the title and the test map.
static const char* const BACKDROP_DEFAULT = "back";
static const char* const BACKDROP_TABLE_NAME = "backdrops";
static const char* const BACKDROP_TABLE_EXTENSION = "tab";
// The name of the image back_image holds, so a level that keeps its backdrop loads nothing.
static char backdrop_name[BACKDROP_NAME_BYTES] = "back";

void load_default_backdrop() {
    if (back_image) free_image(back_image);
    back_image = load_image(BACKDROP_DEFAULT, IMAGE_OPAQUE);
    snprintf(backdrop_name, sizeof backdrop_name, "%s", BACKDROP_DEFAULT);
}

void free_backdrop() {
    if (back_image) free_image(back_image);
    back_image = nullptr;
    snprintf(backdrop_name, sizeof backdrop_name, "%s", BACKDROP_DEFAULT);
}

static int is_name_byte(uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'; }

// Looks for the line "MAP IMAGE" of the given map in the table's text. A line that is not two
// words of letters, digits, '-' and '_' (at most BACKDROP_NAME_BYTES - 1 each) is passed over.
static int find_backdrop_line(const uint8_t* text, uint32_t size, const char* map_name, char* image_name) {
    size_t map_length = strlen(map_name);
    uint32_t i = 0;
    while (i < size) {
        uint32_t starts[2] = {0, 0};
        uint32_t lengths[2] = {0, 0};
        int32_t words = 0;
        int valid = 1;
        while (i < size && text[i] != '\n') {
            if (is_blank((char)text[i])) {
                i++;
                continue;
            }
            uint32_t start = i;
            while (i < size && text[i] != '\n' && !is_blank((char)text[i])) {
                if (!is_name_byte(text[i])) valid = 0;
                i++;
            }
            if (words < 2) {
                starts[words] = start;
                lengths[words] = i - start;
            }
            words++;
        }
        i++;
        if (!valid || words != 2 || lengths[1] >= BACKDROP_NAME_BYTES) continue;
        if (lengths[0] != map_length || memcmp(text + starts[0], map_name, map_length) != 0) continue;
        memcpy(image_name, text + starts[1], lengths[1]);
        image_name[lengths[1]] = 0;
        return 1;
    }
    return 0;
}

int find_level_backdrop(const char* map_name, char* image_name) {
    if (!map_name || !image_name) return 0;
    uint32_t size = 0;
    uint8_t* text = archive_load(ARCHIVE_MAPS, BACKDROP_TABLE_NAME, BACKDROP_TABLE_EXTENSION, &size);
    if (!text) return 0;
    int found = find_backdrop_line(text, size, map_name, image_name);
    free(text);
    return found;
}

void choose_level_backdrop(const char* map_name) {
    if (!back_image) return;
    char wanted[BACKDROP_NAME_BYTES];
    if (!find_level_backdrop(map_name, wanted)) snprintf(wanted, sizeof wanted, "%s", BACKDROP_DEFAULT);
    if (strcmp(wanted, backdrop_name) == 0) return;
    SDL_Surface* image = nullptr;
    if (strcmp(wanted, BACKDROP_DEFAULT) != 0) image = load_optional_image(wanted, IMAGE_OPAQUE);
    // A picture taller than the play area would hide the black band above nothing; treat it as damaged.
    if (image && image->h > MAP_HEIGHT) {
        free_image(image);
        image = nullptr;
    }
    if (!image) {
        if (strcmp(backdrop_name, BACKDROP_DEFAULT) != 0) load_default_backdrop();
        return;
    }
    free_image(back_image);
    back_image = image;
    snprintf(backdrop_name, sizeof backdrop_name, "%s", wanted);
}
