// Sound effects: ids, decoding of the built effects, volume and the sixteen channels.
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <string>

#include "audio/sound.h"
#include "floob.h"
#include "storage/archive.h"
#include "support/support.h"

TEST(SoundEffects, IdsNameTheirEntries) {
    EXPECT_STREQ("klonk", sound_entry_name(SND_KLONK));
    EXPECT_STREQ("aj", sound_entry_name(SND_AJ));
    EXPECT_STREQ("tada", sound_entry_name(SND_TADA));
    EXPECT_STREQ("trdoor", sound_entry_name(SND_TRDOOR));
    EXPECT_STREQ("klack", sound_entry_name(SND_KLACK));
    EXPECT_STREQ("splash", sound_entry_name(SND_SPLASH));
    EXPECT_STREQ("", sound_entry_name(SND_COUNT));
}

class Mixer : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_EQ(0, SDL_Init(SDL_INIT_AUDIO));
        ASSERT_EQ(0, audio_open(22050, AUDIO_S16LSB, 2, 1024));
        Mix_AllocateChannels(16);
    }
    void TearDown() override {
        Mix_HaltChannel(-1);
        for (int32_t id = 0; id < SND_COUNT; id++) sound_free(id);
        Mix_CloseAudio();
        SDL_Quit();
    }
};

TEST_F(Mixer, OpenRemembersTheDeviceFormat) {
    EXPECT_EQ(22050, audio_frequency);
    EXPECT_EQ(2, audio_channels);
}

TEST_F(Mixer, EveryBuiltEffectDecodesAndIsShort) {
    for (int32_t id = 0; id < SND_COUNT; id++) {
        SCOPED_TRACE(sound_entry_name(id));
        std::string bytes =
            read_file(std::string(FLOOB_BINARY_DIR) + "/entries/sound/" + sound_entry_name(id) + ".wav");
        ASSERT_FALSE(bytes.empty());
        SDL_RWops* stream = SDL_RWFromMem((void*)bytes.data(), (int)bytes.size());
        Mix_Chunk* chunk = Mix_LoadWAV_RW(stream, 1);
        ASSERT_NE(nullptr, chunk);
        // Device format: 4 bytes per frame.
        EXPECT_LT(chunk->alen / 4, 22050u);
        EXPECT_GT(chunk->alen / 4, 1000u);
        Mix_FreeChunk(chunk);
    }
}

TEST_F(Mixer, VolumeMapsPercentToMixerScale) {
    const int32_t percent[] = {0, 15, 50, 95, 100};
    const int32_t expected[] = {0, 19, 64, 121, 128};
    for (int i = 0; i < 5; i++) {
        sfx_volume = percent[i];
        sound_apply_volume();
        EXPECT_EQ(expected[i], sfx_volume_scaled);
        EXPECT_EQ(expected[i], Mix_Volume(3, -1));
    }
    sfx_volume = 15;
    sound_apply_volume();
}

TEST_F(Mixer, SeventeenthEffectInOneFrameIsDropped) {
    TempDir dir(true);
    archive_open_all();
    sound_load_all();
    for (int i = 0; i < 16; i++) sound_play(i % 2 ? SND_SPLASH : SND_TADA);
    EXPECT_EQ(16, Mix_Playing(-1));
    sound_play(SND_KLONK);  // no free channel: silently nothing
    EXPECT_EQ(16, Mix_Playing(-1));
    Mix_HaltChannel(-1);
    sound_play(SND_CHEW);
    sound_play(SND_CHEW);
    EXPECT_EQ(2, Mix_Playing(-1));
    archive_close_all();
}
