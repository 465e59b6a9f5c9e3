// Without a sound device: start-up goes on silently, effects and songs are
// never started, and the volumes are still kept for the options screen.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include "audio/music.h"
#include "audio/sound.h"
#include "floob.h"
#include "shell/startup.h"
#include "storage/archive.h"
#include "support/support.h"

TEST(NoSoundDevice, StartUpGoesOnAndEveryEffectAndSongCallIsANoOp) {
    TempDir dir(true);
    // The disk driver cannot create its file in a missing folder: the device does not open.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir.path + "/missing/sound.raw").c_str(), 1);
    testing::internal::CaptureStderr();
    const char* failure = start_audio();
    std::string said = testing::internal::GetCapturedStderr();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(nullptr, failure);
    EXPECT_EQ(1, audio_silent);
    EXPECT_EQ(0, Mix_QuerySpec(nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, said.rfind("no sound: ", 0)) << said;
    EXPECT_NE(std::string::npos, said.find(", playing without sound\n")) << said;

    archive_open_all();
    sound_load_all();
    sound_play(SND_TADA);
    sfx_volume = 50;
    sound_apply_volume();
    EXPECT_EQ(64, sfx_volume_scaled);

    // Songs still load (the logo screen waits on its jingle only while one plays) but never play.
    ModPlugFile* module = music_load(SONG_TITLE);
    ASSERT_NE(nullptr, module);
    music_set_volume(96);
    music_fade_in_and_play(module, -1);
    EXPECT_EQ(0, music_is_playing());
    music_play(module, -1);
    EXPECT_EQ(0, music_is_playing());
    EXPECT_EQ(96, music_user_volume);
    EXPECT_EQ(96, music_current_volume);
    music_free(module);
    for (int32_t id = 0; id < SND_COUNT; id++) sound_free(id);
    archive_close_all();
    Mix_CloseAudio();
    SDL_Quit();

    // A device that opens again ends the silence.
    ASSERT_EQ(nullptr, start_audio());
    EXPECT_EQ(0, audio_silent);
    sfx_volume = 15;
    sound_apply_volume();
    music_set_volume(128);
    Mix_CloseAudio();
    SDL_Quit();
}
