// Every built song, rendered by libmodplug at the game's settings.
#include <gtest/gtest.h>
#include <libmodplug/modplug.h>
#include <math.h>

#include <string>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "floob.h"
#include "storage/config.h"
#include "support/support.h"

struct Rendered {
    int loaded = 0;
    double seconds = 0;  // until the module ended by itself, or the limit
    int ended = 0;
    int32_t peak = 0;
    double rms_db = -200;
    double longest_quiet = 0;  // seconds below -50 dBFS before the end
};

static Rendered render_song(int32_t id, double limit_seconds) {
    Rendered r;
    std::string path = std::string(FLOOB_BINARY_DIR) + "/entries/music/" + song_entry_name(id) + ".mod";
    std::string bytes = read_file(path);
    audio_frequency = 22050;
    audio_channels = 2;
    music_apply_settings();
    ModPlugFile* module = bytes.empty() ? nullptr : ModPlug_Load(bytes.data(), (int)bytes.size());
    if (!module) return r;
    r.loaded = 1;
    ModPlug_SetMasterVolume(module, 128);
    static int16_t buffer[2048];
    double sum = 0;
    int64_t frames = 0, quiet = 0, longest = 0;
    while (frames < limit_seconds * 22050) {
        int got = ModPlug_Read(module, buffer, sizeof buffer);
        for (int i = 0; i + 1 < got / 2; i += 2) {
            int32_t a = abs(buffer[i]) > abs(buffer[i + 1]) ? abs(buffer[i]) : abs(buffer[i + 1]);
            if (a > r.peak) r.peak = a;
            sum += (double)buffer[i] * buffer[i] + (double)buffer[i + 1] * buffer[i + 1];
            quiet = a < 100 ? quiet + 1 : 0;
            if (quiet > longest) longest = quiet;
            frames++;
        }
        if (got < (int)sizeof buffer) {
            r.ended = 1;
            break;
        }
    }
    ModPlug_Unload(module);
    r.seconds = frames / 22050.0;
    r.rms_db = 20 * log10(sqrt(sum / (2.0 * frames)) / 32768.0);
    r.longest_quiet = longest / 22050.0;
    return r;
}

TEST(Songs, LoopingSongsLastAMinuteAndStayBelowFullScale) {
    config_defaults();
    double loudest = -200, softest = 0;
    for (int32_t id = 0; id <= 10; id++) {
        SCOPED_TRACE(song_entry_name(id));
        Rendered r = render_song(id, 400);
        ASSERT_EQ(1, r.loaded);
        EXPECT_EQ(1, r.ended);
        EXPECT_GE(r.seconds, 60.0);
        EXPECT_LT(r.peak, 32000);
        // The join's own fade is allowed; a gap inside the song is not.
        EXPECT_LT(r.longest_quiet, 0.5);
        loudest = fmax(loudest, r.rms_db);
        softest = fmin(softest, r.rms_db);
    }
    EXPECT_LT(loudest - softest, 3.0);
}

TEST(Songs, FanfareAndJingleFitTheirScreens) {
    config_defaults();
    Rendered fanfare = render_song(SONG_LEVEL_COMPLETE, 30);
    ASSERT_EQ(1, fanfare.loaded);
    EXPECT_EQ(1, fanfare.ended);
    EXPECT_GE(fanfare.seconds, 4.0);
    EXPECT_LE(fanfare.seconds, 8.0);
    EXPECT_LT(fanfare.peak, 32000);
    Rendered jingle = render_song(SONG_JINGLE, 30);
    ASSERT_EQ(1, jingle.loaded);
    EXPECT_EQ(1, jingle.ended);
    EXPECT_GE(jingle.seconds, 2.0);
    EXPECT_LE(jingle.seconds, 4.0);
    EXPECT_LT(jingle.peak, 32000);
}
