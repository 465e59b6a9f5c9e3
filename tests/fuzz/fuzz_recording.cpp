// recording_parse on arbitrary bytes, in either form: it reads them or gives a
// reason, never reads past them; what it reads is written again and read back
// the same.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fuzz_support.h"
#include "storage/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Recording recording;
    char error[200];
    if (!recording_parse(data, (uint32_t)size, &recording, error, sizeof error)) {
        FUZZ_REQUIRE(error[0] != 0);
        FUZZ_REQUIRE(recording.frames == nullptr);
        return 0;
    }
    FUZZ_REQUIRE(recording.frame_count > 0 || recording.exact);
    FUZZ_REQUIRE(recording.frame_count <= RECORDING_MAX_FRAMES);
    // A script's frames are written as a recording of them would be.
    if (!recording.exact) {
        recording.exact = 1;
        recording.colour_depth = 16;
        snprintf(recording.game_version, sizeof recording.game_version, "1.10");
    }
    uint32_t encoded_size = 0;
    uint8_t* encoded = recording_encode(&recording, &encoded_size);
    FUZZ_REQUIRE(encoded != nullptr);
    Recording back;
    FUZZ_REQUIRE(recording_parse(encoded, encoded_size, &back, error, sizeof error));
    FUZZ_REQUIRE(back.frame_count == recording.frame_count);
    FUZZ_REQUIRE(back.check_count == recording.check_count && back.answer_count == recording.answer_count);
    FUZZ_REQUIRE(memcmp(back.frames, recording.frames, sizeof(RecordedFrame) * (size_t)back.frame_count) == 0);
    free(encoded);
    recording_free(&back);
    recording_free(&recording);
    return 0;
}
