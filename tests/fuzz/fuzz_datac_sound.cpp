// The sound compiler on arbitrary .sfx text: a refusal carries
// "file:line: what"; an accepted effect is a WAV that the mixer decodes.
#include <SDL_mixer.h>

#include <string>

#include "compile.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_enter_workdir();
    fuzz_open_audio();
    if (size > 16384 || !fuzz_write_file("fuzz.sfx", data, size)) return 0;
    Bytes out;
    std::string error;
    if (!compile_sound("fuzz.sfx", out, error)) {
        FUZZ_REQUIRE(error.compare(0, 9, "fuzz.sfx:") == 0);
        return 0;
    }
    SDL_RWops* stream = SDL_RWFromMem(out.data(), (int)out.size());
    Mix_Chunk* chunk = Mix_LoadWAV_RW(stream, 1);
    FUZZ_REQUIRE(chunk != nullptr);
    Mix_FreeChunk(chunk);
    return 0;
}
