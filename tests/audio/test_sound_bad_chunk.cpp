// Damaged or foreign sound entries: only plain PCM WAV files reach the
// library's decoder. A chunk that claims more bytes than the entry holds, a
// compressed sample format, or a file that is not RIFF/WAVE at all is refused
// with a message; PCM files whose chunks fit, an extra chunk included, decode.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "audio/sound.h"

namespace {

void put_u32(std::string& s, uint32_t v) {
    for (int b = 0; b < 4; b++) s += (char)((v >> (8 * b)) & 0xFF);
}
void put_u16(std::string& s, uint32_t v) {
    s += (char)(v & 0xFF);
    s += (char)((v >> 8) & 0xFF);
}

// A mono 16-bit 22050 Hz WAV holding the given samples, with an optional
// odd-sized extra chunk before the data (the decoder walks chunks without pad
// bytes), and a data length that may claim more than is there.
std::string make_wav(int samples, int odd_chunk, uint32_t claimed_data, uint32_t tag = 1) {
    std::string body = "WAVE";
    body += "fmt ";
    put_u32(body, 16);
    put_u16(body, tag);
    put_u16(body, 1);
    put_u32(body, 22050);
    put_u32(body, 44100);
    put_u16(body, 2);
    put_u16(body, 16);
    if (odd_chunk) {
        body += "note";
        put_u32(body, 3);
        body += "abc";
    }
    body += "data";
    put_u32(body, claimed_data ? claimed_data : (uint32_t)samples * 2);
    for (int i = 0; i < samples; i++) put_u16(body, (uint32_t)(i * 300) & 0xFFFF);
    std::string wav = "RIFF";
    put_u32(wav, (uint32_t)body.size());
    return wav + body;
}

Mix_Chunk* decode(const std::string& bytes) {
    return decode_sound(reinterpret_cast<const uint8_t*>(bytes.data()), (uint32_t)bytes.size());
}

class BadSoundChunk : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_EQ(0, SDL_Init(SDL_INIT_AUDIO));
        ASSERT_EQ(0, audio_open(22050, AUDIO_S16LSB, 2, 1024));
    }
    void TearDown() override {
        Mix_CloseAudio();
        SDL_Quit();
    }
};

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

}  // namespace
