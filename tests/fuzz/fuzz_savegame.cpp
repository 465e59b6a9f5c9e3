// save_game_read on an arbitrary savegame.dat: always a level 0..10, and a
// save written over it reads back as the level written.
#include "floob.h"
#include "fuzz_support.h"
#include "storage/savegame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_enter_workdir();
    if (!fuzz_write_file("savegame.dat", data, size)) return 0;
    int32_t level = save_game_read();
    FUZZ_REQUIRE(level >= 0 && level <= 10);
    if (size != 4) FUZZ_REQUIRE(level == 0);
    current_level = 2 + (size ? data[0] % 9 : 0);
    saved_level = save_game_write(current_level - 1);
    FUZZ_REQUIRE(save_game_read() == current_level - 1);
    return 0;
}
