// The level compiler on arbitrary .lvl text (beside the real legend.inc):
// a refusal carries "file:line: what", and every level it accepts is one the
// game's loader accepts too.
#include <string>

#include "compile.h"
#include "fuzz_support.h"
#include "world/level.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int ready = 0;
    fuzz_enter_workdir();
    if (!ready) ready = fuzz_copy_source_file("assets/maps/legend.inc", "legend.inc");
    if (size > 65536 || !fuzz_write_file("fuzz.lvl", data, size)) return 0;
    Bytes out;
    std::string error;
    if (!compile_level("fuzz.lvl", out, error)) {
        FUZZ_REQUIRE(error.compare(0, 9, "fuzz.lvl:") == 0);
        return 0;
    }
    FUZZ_REQUIRE(out.size() <= 0x7fffffff);
    FUZZ_REQUIRE(check_level_bytes(out.data(), (int32_t)out.size()) == LEVEL_OK);
    return 0;
}
