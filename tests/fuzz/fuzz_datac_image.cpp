// The image compilers on arbitrary text (beside the real palette.inc): the
// first byte picks .xpm, .sheet or .gen. A refusal carries "file:line: what";
// an accepted source gives a BMP that SDL decodes.
#include <SDL.h>
#include <string.h>

#include <string>

#include "compile.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int ready = 0;
    fuzz_enter_workdir();
    if (!ready) ready = fuzz_copy_source_file("assets/gfx/palette.inc", "palette.inc");
    if (size < 1 || size > 65536) return 0;
    static const char* const PATHS[3] = {"fuzz.xpm", "fuzz.sheet", "fuzz.gen"};
    const char* path = PATHS[data[0] % 3];
    if (!fuzz_write_file(path, data + 1, size - 1)) return 0;
    Bytes out;
    std::string error;
    if (!compile_image(path, out, error)) {
        FUZZ_REQUIRE(error.compare(0, strlen(path), path) == 0 && error.size() > strlen(path));
        return 0;
    }
    SDL_RWops* stream = SDL_RWFromMem(out.data(), (int)out.size());
    SDL_Surface* image = SDL_LoadBMP_RW(stream, 1);
    FUZZ_REQUIRE(image != nullptr);
    SDL_FreeSurface(image);
    return 0;
}
