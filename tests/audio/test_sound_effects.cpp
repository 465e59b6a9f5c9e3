// Sound effects: ids, decoding of the built effects and the refusal of damaged
// ones, volume and the sixteen channels.
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "audio/sound.h"
#include "floob.h"
#include "storage/archive.h"
#include "support/support.h"
#include "synth_measure.h"

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

// Heard over the music at the default volumes (effects 19/128): each effect's loudest
// 100 ms, A-weighted, lies where the level songs play (-32 to -30 dBFS), within 3 dB;
// at full volume it does not clip, aj included, which an enemy's touch starts twice in
// one frame; its energy lies where small speakers play it; and the
// effects heard often stay short.
TEST(SoundEffects, BuiltEffectsAreHeardOverTheMusicWithoutClipping) {
    struct Case {
        int32_t id;
        int32_t copies;  // started in one frame
        double longest;  // seconds
        double highest;  // the copies' peak together, dBFS
    };
    const Case cases[] = {{SND_KLONK, 1, 0.2, -7},  {SND_KRACK, 1, 0.4, -7}, {SND_AJ, 2, 0.4, -1},
                          {SND_BLUBB, 1, 0.3, -7},  {SND_JIPIE, 1, 0.6, -7}, {SND_CHEW, 1, 0.3, -7},
                          {SND_KNIRK, 1, 0.5, -7},  {SND_TADA, 1, 0.9, -7},  {SND_TRDOOR, 1, 0.3, -7},
                          {SND_BOINK, 1, 0.35, -7}, {SND_BAT, 1, 0.3, -7},   {SND_KLACK, 1, 0.4, -7},
                          {SND_SPLASH, 1, 0.6, -7}};
    ASSERT_EQ((size_t)SND_COUNT, sizeof cases / sizeof cases[0]);
    for (const Case& c : cases) {
        SCOPED_TRACE(sound_entry_name(c.id));
        std::string wav =
            read_file(std::string(FLOOB_BINARY_DIR) + "/entries/sound/" + sound_entry_name(c.id) + ".wav");
        ASSERT_GT(wav.size(), 44u);
        std::vector<double> mono;
        double peak = 0;
        for (size_t i = 44; i + 1 < wav.size(); i += 2) {
            mono.push_back((int16_t)((uint8_t)wav[i] | (uint8_t)wav[i + 1] << 8) / 32768.0);
            peak = fmax(peak, fabs(mono.back()));
        }
        double loudest = effect_against_song_db(mono, 19, 0);
        EXPECT_GE(loudest, -33.0);
        EXPECT_LE(loudest, -29.0);
        EXPECT_LE(20 * log10(c.copies * peak), c.highest);
        EXPECT_LT(energy_share_below(mono, 25), 0.01);
        EXPECT_LT(energy_share_below(mono, 150), 0.03);
        EXPECT_LE(mono.size() / 22050.0, c.longest);
    }
}

namespace {

// A mono 16-bit 22050 Hz WAV holding the given samples, with an optional
// odd-sized extra chunk before the data (the decoder walks chunks without pad
// bytes), and a data length that may claim more than is there.
std::string make_wav(int samples, int odd_chunk, uint32_t claimed_data, uint32_t tag = 1) {
    std::string body = "WAVE";
    body += "fmt ";
    put_le32(body, 16);
    put_le16(body, tag);
    put_le16(body, 1);
    put_le32(body, 22050);
    put_le32(body, 44100);
    put_le16(body, 2);
    put_le16(body, 16);
    if (odd_chunk) {
        body += "note";
        put_le32(body, 3);
        body += "abc";
    }
    body += "data";
    put_le32(body, claimed_data ? claimed_data : (uint32_t)samples * 2);
    for (int i = 0; i < samples; i++) put_le16(body, (uint32_t)(i * 300) & 0xFFFF);
    std::string wav = "RIFF";
    put_le32(wav, (uint32_t)body.size());
    return wav + body;
}

Mix_Chunk* decode(const std::string& bytes) {
    return decode_sound(reinterpret_cast<const uint8_t*>(bytes.data()), (uint32_t)bytes.size());
}

}  // namespace

// Damaged or foreign entries: only plain PCM WAV files reach the library's
// decoder. A chunk that claims more bytes than the entry holds, a compressed
// sample format, or a file that is not RIFF/WAVE at all is refused with a
// message; PCM files whose chunks fit, an extra chunk included, decode.
using BadSoundChunk = Mixer;

TEST_F(BadSoundChunk, LengthsBeyondTheEntryAreRefusedWithAMessage) {
    // The data chunk claims 4 GiB - 1 where 400 bytes are present.
    Mix_Chunk* chunk = decode(make_wav(200, 0, 0xFFFFFFFFu));
    EXPECT_EQ(nullptr, chunk);
    EXPECT_STREQ("Not a plain PCM WAV file", SDL_GetError());
    // One byte too many claimed is just as wrong.
    EXPECT_EQ(nullptr, decode(make_wav(200, 0, 401)));
    // The format chunk itself overrunning a cut-off entry.
    std::string cut = make_wav(200, 0, 0).substr(0, 30);
    EXPECT_EQ(nullptr, decode(cut));
}

TEST_F(BadSoundChunk, CompressedAndForeignFormatsAreRefused) {
    // Microsoft and IMA ADPCM: the library's decoders of these overrun on crafted headers.
    EXPECT_EQ(nullptr, decode(make_wav(200, 0, 0, 2)));
    EXPECT_EQ(nullptr, decode(make_wav(200, 0, 0, 0x11)));
    // Not RIFF/WAVE: the mixer would try its other decoders on these.
    std::string aiff = make_wav(200, 0, 0);
    memcpy(&aiff[0], "FORM", 4);
    EXPECT_EQ(nullptr, decode(aiff));
    std::string not_wave = make_wav(200, 0, 0);
    memcpy(&not_wave[8], "AVI ", 4);
    EXPECT_EQ(nullptr, decode(not_wave));
    // No data chunk at all.
    EXPECT_EQ(nullptr, decode(make_wav(200, 0, 0).substr(0, 36)));
}

TEST_F(BadSoundChunk, ChunksThatFitStillDecode) {
    Mix_Chunk* plain = decode(make_wav(200, 0, 0));
    ASSERT_NE(nullptr, plain);
    EXPECT_GT(plain->alen, 0u);
    Mix_FreeChunk(plain);
    Mix_Chunk* extra = decode(make_wav(201, 1, 0));
    ASSERT_NE(nullptr, extra);
    Mix_FreeChunk(extra);
    EXPECT_EQ(nullptr, decode_sound(nullptr, 0));
}
