// The module player: the mixing callback with real modules through libmodplug.
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <libmodplug/modplug.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "compile.h"
#include "floob.h"
#include "storage/archive.h"
#include "support/support.h"
#include "synth_measure.h"

static const int MIX_BYTES = 1024 * 4;  // one 1024-frame stereo 16-bit buffer

// A one-bar module that ends by itself, built by our own song compiler.
static ModPlugFile* load_short_module() {
    TempDir dir;
    write_file("short.song",
               "tempo 125\nloop no\ninstrument s tone\nwave square 5\nchannel m melody s\n"
               "pattern a 16\nm: o4 l4 c e g >c\norder a\n");
    Bytes bytes;
    std::string error;
    if (!compile_song("short.song", bytes, error)) return nullptr;
    music_apply_settings();
    return ModPlug_Load(bytes.data(), (int)bytes.size());
}

class MusicPlayer : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_EQ(0, SDL_Init(SDL_INIT_AUDIO));
        ASSERT_EQ(0, audio_open(22050, AUDIO_S16LSB, 2, 1024));
        // The tests are the only caller of the callback: the device's own thread would
        // otherwise read the same module between their calls.
        SDL_PauseAudio(1);
        music_set_volume(128);
        module = load_short_module();
        ASSERT_NE(nullptr, module);
    }
    void TearDown() override {
        music_free(module);
        Mix_CloseAudio();
        SDL_Quit();
    }
    // Buffers the callback fills until the module is no longer hooked (at most limit).
    int buffers_until_detached(int limit) {
        std::vector<uint8_t> buffer(MIX_BYTES);
        for (int i = 0; i < limit; i++) {
            if (!music_hooked) return i;
            music_mix(module, buffer.data(), MIX_BYTES);
        }
        return limit;
    }
    ModPlugFile* module = nullptr;
};

// One pass of the 2-second module is about 43 buffers.
TEST_F(MusicPlayer, RepeatCountsEndAfterTheStatedPasses) {
    music_play(module, 0);
    int once = buffers_until_detached(1000);
    EXPECT_GT(once, 35);
    EXPECT_LT(once, 50);
    EXPECT_EQ(0, music_is_playing());

    music_play(module, 1);
    EXPECT_EQ(once, buffers_until_detached(1000));

    // The second pass follows the first without a gap: one pass of 16 rows later.
    music_play(module, 2);
    int twice = buffers_until_detached(1000);
    EXPECT_NEAR(twice - once, 16 * 6 * 441 / 1024.0, 1.0);

    music_play(module, -1);
    EXPECT_EQ(1000, buffers_until_detached(1000));
    EXPECT_EQ(1, music_is_playing());
    EXPECT_EQ(-1, music_repeat);
}

TEST_F(MusicPlayer, RestartedPassSoundsAgain) {
    music_play(module, 2);
    std::vector<uint8_t> buffer(MIX_BYTES);
    buffers_until_detached(43);  // near the end of the first pass
    int loud = 0;
    for (int i = 0; i < 10 && music_hooked; i++) {
        std::fill(buffer.begin(), buffer.end(), 0);
        music_mix(module, buffer.data(), MIX_BYTES);
        for (int j = 0; j < MIX_BYTES; j += 2) loud |= abs((int16_t)(buffer[j] | buffer[j + 1] << 8)) > 1000;
    }
    EXPECT_EQ(1, loud);
    EXPECT_EQ(1, music_is_playing());
}

TEST_F(MusicPlayer, FadeRisesOneStepPerBufferToTheUserVolume) {
    music_set_volume(20);
    music_fade_in_and_play(module, -1);
    EXPECT_EQ(1, music_current_volume);
    std::vector<uint8_t> buffer(MIX_BYTES);
    for (int expected = 2; expected <= 20; expected++) {
        music_mix(module, buffer.data(), MIX_BYTES);
        ASSERT_EQ(expected, music_current_volume);
    }
    for (int i = 0; i < 5; i++) music_mix(module, buffer.data(), MIX_BYTES);
    EXPECT_EQ(20, music_current_volume);
}

// The fade counts rendered frames, one step per 1024, so whatever buffers the device asks
// for it lasts what 1024-frame buffers give (126 buffers before the one reaching 128).
TEST_F(MusicPlayer, FadeLastsTheSameOnEveryBufferSize) {
    for (int32_t frames : {256, 512, 1024, 2048}) {
        SCOPED_TRACE(frames);
        std::vector<int32_t> steps;
        EXPECT_NEAR(126 * 1024, fade_in_frames(module, frames, &steps), frames);
        for (size_t i = 0; i < steps.size(); i++)
            ASSERT_EQ(std::min<int64_t>(128, 2 + (int64_t)i * frames / 1024), steps[i]) << "buffer " << i;
    }
}

TEST_F(MusicPlayer, SetVolumeEndsAFade) {
    music_fade_in_and_play(module, -1);
    std::vector<uint8_t> buffer(MIX_BYTES);
    for (int i = 0; i < 5; i++) music_mix(module, buffer.data(), MIX_BYTES);
    EXPECT_EQ(6, music_current_volume);
    music_set_volume(64);
    music_mix(module, buffer.data(), MIX_BYTES);
    EXPECT_EQ(64, music_current_volume);
    EXPECT_EQ(64, music_user_volume);
}

TEST_F(MusicPlayer, ZeroVolumeSkipsTheFadeInButNotPlay) {
    music_set_volume(0);
    music_fade_in_and_play(module, -1);
    EXPECT_EQ(0, music_is_playing());
    music_play(module, -1);
    EXPECT_EQ(1, music_is_playing());
    std::vector<uint8_t> buffer(MIX_BYTES, 0x55);
    music_mix(module, buffer.data(), MIX_BYTES);
    for (uint8_t b : buffer) ASSERT_EQ(0, b);
}

TEST_F(MusicPlayer, FreeingAnotherModuleSilencesTheHookedOne) {
    ModPlugFile* other = load_short_module();
    ASSERT_NE(nullptr, other);
    music_play(module, -1);
    music_free(other);
    EXPECT_EQ(0, music_is_playing());
    EXPECT_EQ(nullptr, music_hooked);
    music_free(nullptr);
}

TEST_F(MusicPlayer, LoadResetsTheSharedRepeatCounter) {
    TempDir dir(true);
    archive_open_all();
    music_play(module, 2);
    ModPlugFile* title = music_load(SONG_TITLE);
    EXPECT_NE(nullptr, title);
    EXPECT_EQ(-1, music_repeat);
    // The hooked module now repeats for ever.
    EXPECT_EQ(1000, buffers_until_detached(1000));
    music_free(title);
    archive_close_all();
}

TEST(SongTable, EntryNamesAndTitles) {
    EXPECT_STREQ("0.floob2-title", song_entry_name(0));
    EXPECT_STREQ("10.chaos", song_entry_name(10));
    EXPECT_STREQ("x.levelcomplete", song_entry_name(SONG_LEVEL_COMPLETE));
    EXPECT_STREQ("y.jingle", song_entry_name(SONG_JINGLE));
    EXPECT_STREQ("Floob 2 (Intro)", song_title(0));
    EXPECT_STREQ("Go, Floob!", song_title(1));
    EXPECT_STREQ("Watchout (Pt. 2)", song_title(2));
    EXPECT_STREQ("In A Hurry", song_title(6));
    EXPECT_STREQ("Chaos", song_title(10));
    EXPECT_STREQ("", song_title(11));
    EXPECT_STREQ("", song_title(-1));
    EXPECT_EQ(nullptr, music_load(13));
}

// Loop joins through the real callback, without an audio device: a module compiled
// from the given text, played for the given frames.
static PlayedSong play_song_text(const std::string& text, int32_t repeat, int64_t frames) {
    PlayedSong played;
    TempDir dir;
    write_file("loop.song", text);
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(compile_song("loop.song", bytes, error)) << error;
    ModPlugFile* module = load_module_at_game_settings(bytes);
    EXPECT_NE(nullptr, module);
    play_through_player(module, repeat, 128, frames, played);
    ModPlug_Unload(module);
    return played;
}

// Frames where a note starts after a stretch of silence.
static std::vector<int64_t> note_onsets(const StereoPcm& pcm) {
    std::vector<int64_t> onsets;
    int64_t quiet = 1000;
    for (int64_t i = 0; i < pcm.frames(); i++) {
        if (abs(pcm.samples[i * 2]) < 300) {
            quiet++;
            continue;
        }
        if (quiet >= 600) onsets.push_back(i);
        quiet = 0;
    }
    return onsets;
}

TEST(MusicLoop, EveryPassStartsOnTheBeatAtItsRestartEntry) {
    const std::string head =
        "tempo 125\ninstrument s tone\nwave square 5\nattack 0\nrelease 0\nchannel m melody s\n"
        "pattern i 32\nm: o4 c2 r2 r1\npattern a 16\nm: o5 c2 r2\n";
    const int64_t row = 6 * 441;
    struct Case {
        const char* order;
        int32_t repeat;
        std::vector<int64_t> rows;  // where notes start
        int32_t ends;
    };
    const Case cases[] = {
        {"order i |: a\n", -1, {0, 32, 48, 64, 80, 96}, 0},
        {"restart 1\norder i a\n", -1, {0, 32, 48, 64, 80, 96}, 0},
        {"order i a\n", -1, {0, 32, 48, 80, 96}, 0},
        // A song that plays once, repeated: the next pass starts where the last row ends.
        {"loop no\norder i a\n", -1, {0, 32, 48, 80, 96}, 0},
        {"order i |: a\n", 2, {0, 32, 48}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.order);
        PlayedSong played = play_song_text(head + c.order, c.repeat, 100 * row);
        std::vector<int64_t> onsets = note_onsets(played.pcm);
        ASSERT_EQ(c.rows.size(), onsets.size());
        for (size_t i = 0; i < onsets.size(); i++) EXPECT_NEAR(c.rows[i] * row, onsets[i] - onsets[0], 30) << i;
        EXPECT_EQ(c.ends, played.ended);
        if (c.ends) {
            EXPECT_LE(played.pcm.frames(), 64 * row + 1024);
        }
    }
}

TEST(MusicLoop, AHeldNoteGoesOnThroughTheJoin) {
    const std::string head = "tempo 125\ninstrument s tone\nwave sine\nchannel m melody s\npattern a 16\nm: o4 c1\n";
    for (const char* tail : {"order a\n", "loop no\norder a\n"}) {
        SCOPED_TRACE(tail);
        PlayedSong played = play_song_text(head + tail, -1, 3 * 16 * 6 * 441);
        ASSERT_GE(played.joins.size(), 2u);
        EXPECT_LE(longest_silence(played.pcm, 2000), MEASURE_RATE / 50);
    }
}
