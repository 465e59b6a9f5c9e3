// hiscore_load on an arbitrary hiscores.dat: the table that results is always
// one the HISCORES screen can show (terminated names, possible scores and
// origins, in descending order), and it survives a save and a reload unchanged but for made-up names.
#include <string.h>

#include "floob.h"
#include "fuzz_support.h"
#include "storage/hiscore.h"

static void require_table() {
    for (int32_t i = 0; i < HISCORE_ROWS; i++) {
        const HiscoreEntry* e = &hiscore_table[i];
        FUZZ_REQUIRE(e->terminator == 0);
        FUZZ_REQUIRE(e->origin <= 2);
        FUZZ_REQUIRE(e->score >= 0 && e->score <= 50000);
        FUZZ_REQUIRE(memchr(e->name, 0, 9) != nullptr);
        if (i > 0) FUZZ_REQUIRE(e->score <= hiscore_table[i - 1].score);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_enter_workdir();
    if (!fuzz_write_file("hiscores.dat", data, size)) return 0;
    hiscore_reset_table();
    hiscore_load();
    require_table();
    HiscoreEntry first[HISCORE_ROWS];
    memcpy(first, hiscore_table, sizeof first);

    hiscore_save();
    hiscore_reset_table();
    hiscore_load();
    require_table();
    for (int32_t i = 0; i < HISCORE_ROWS; i++) {
        FUZZ_REQUIRE(hiscore_table[i].score == first[i].score);
        FUZZ_REQUIRE(hiscore_table[i].origin == first[i].origin);
        if (first[i].origin != 1 && first[i].name[0])
            FUZZ_REQUIRE(memcmp(hiscore_table[i].name, first[i].name, 8) == 0);
    }
    // A new best score goes in at the top and the file stays readable.
    if (hiscore_table[0].score < 50000) {
        FUZZ_REQUIRE(hiscore_insert(50000, "FUZZ") == 0);
        hiscore_reset_table();
        hiscore_load();
        require_table();
        FUZZ_REQUIRE(hiscore_table[0].score == 50000 && strcmp(hiscore_table[0].name, "FUZZ") == 0);
    }
    return 0;
}
