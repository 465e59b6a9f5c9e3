// The song compiler on arbitrary .song text (beside the real instruments.inc):
// a refusal carries "file:line: what"; an accepted song is a module that the
// module library loads.
#include <libmodplug/modplug.h>

#include <string>

#include "compile.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int ready = 0;
    fuzz_enter_workdir();
    if (!ready) ready = fuzz_copy_source_file("assets/music/instruments.inc", "instruments.inc");
    if (size > 16384 || !fuzz_write_file("fuzz.song", data, size)) return 0;
    Bytes out;
    std::string error;
    if (!compile_song("fuzz.song", out, error)) {
        FUZZ_REQUIRE(error.compare(0, 10, "fuzz.song:") == 0);
        return 0;
    }
    ModPlugFile* module = ModPlug_Load(out.data(), (int)out.size());
    FUZZ_REQUIRE(module != nullptr);
    ModPlug_Unload(module);
    return 0;
}
