// decode_image (the path of load_image after the archive) on arbitrary entry
// bytes, keyed and not keyed, then the glyph cutting that the fonts do with
// what it decoded. A refusal must end in "Unable to load bitmap" (with the
// bytes dumped to fuu.xxx) or "Unable to convert bitmap", nothing else.
#include <string.h>

#include "floob.h"
#include "fuzz_support.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/video.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_enter_workdir();
    fuzz_open_video();
    if (size > (1u << 22)) return 0;
    int keyed = (int)(size & 1);
    SDL_Surface* volatile image = nullptr;
    FUZZ_TRY {
        fuzz_fatal_armed = 1;
        image = decode_image("fuzz", data, (uint32_t)size, keyed ? IMAGE_KEYED : IMAGE_OPAQUE);
        fuzz_fatal_armed = 0;
    }
    else {
        const char* message = fuzz_fatal_message();
        FUZZ_REQUIRE(strncmp(message, "Unable to load bitmap: ", 23) == 0 ||
                     strncmp(message, "Unable to convert bitmap: ", 26) == 0);
        return 0;
    }
    FUZZ_REQUIRE(image != nullptr);
    FUZZ_REQUIRE(image->format->BitsPerPixel == frame_surface->format->BitsPerPixel);
    if (image->w <= 512 && image->h <= 512) {
        Font font = cut_glyphs(image, 16, 16);
        draw_text(frame_surface, "FLOOB 2", 0, 0, font);
        free_font(font);
    }
    blit_at(image, -3, -3, frame_surface);
    free_image(image);
    return 0;
}
