// The configuration file: what config_save writes, and how config_load's
// whole-text search, position limits, clamps and flag rule read it back.
#include <gtest/gtest.h>

#include <string>

#include "floob.h"
#include "shell/controls.h"
#include "storage/config.h"
#include "support/support.h"

namespace {

const char CONFIG_FILE[] = "floob2.cfg";

void reset_settings() {
    apply_default_bindings();
    config_defaults();
    up2jump = 0;
}

void load_text(const std::string& text) {
    ASSERT_TRUE(write_file(CONFIG_FILE, text));
    config_load();
}

const char DEFAULT_FILE[] =
    "mus_volume=100\n"
    "sfx_volume=15\n"
    "j_jump=0\n"
    "j_pause=3\n"
    "j_start=7\n"
    "j_up=1\n"
    "j_down=4\n"
    "j_left=8\n"
    "j_right=2\n"
    "k_jump=32\n"
    "k_pause=9\n"
    "k_start=13\n"
    "k_up=273\n"
    "k_down=274\n"
    "k_left=276\n"
    "k_right=275\n"
    "mpFlagsOVERSAMPLING=1\n"
    "mpResamplingMode=1\n"
    "mpFlagsNOISE_REDUCTION=1\n"
    "mpFlagsREVERB=0\n"
    "mpReverbDepth=0\n"
    "mpReverbDelay=0\n"
    "mpFlagsMEGABASS=0\n"
    "mpBassAmount=0\n"
    "mpBassRange=0\n"
    "mpFlagsSURROUND=0\n"
    "mpSurroundDepth=0\n"
    "mpSurroundDelay=0\n"
    "up2jump=0\n";

}  // namespace

TEST(ConfigSave, WritesTheTwentyNineLinesInOrder) {
    TempDir dir;
    reset_settings();
    config_save();
    EXPECT_EQ(DEFAULT_FILE, read_file(CONFIG_FILE));
}

TEST(ConfigSave, LowerCaseLettersAreWrittenAsLetters) {
    TempDir dir;
    reset_settings();
    k_jump = 'x';
    k_left = 'a';
    k_right = 'z';
    k_pause = 'A';
    k_start = -1;
    config_save();
    std::string text = read_file(CONFIG_FILE);
    EXPECT_NE(std::string::npos, text.find("\nk_jump=x\n"));
    EXPECT_NE(std::string::npos, text.find("\nk_left=a\n"));
    EXPECT_NE(std::string::npos, text.find("\nk_right=z\n"));
    EXPECT_NE(std::string::npos, text.find("\nk_pause=65\n"));
    EXPECT_NE(std::string::npos, text.find("\nk_start=-1\n"));
    EXPECT_NE(std::string::npos, text.find("\nk_up=273\n"));
}

TEST(ConfigRoundTrip, EverySettingReadsBackAsSaved) {
    TempDir dir;
    reset_settings();
    mus_volume = 35;
    sfx_volume = 0;
    j_jump = 12;
    j_pause = 5;
    j_start = 9;
    j_up = 16;
    j_down = 32;
    j_left = 64;
    j_right = 128;
    k_jump = 'q';
    k_pause = 'w';
    k_start = 271;
    k_up = 'i';
    k_down = 'k';
    k_left = 'j';
    k_right = 'l';
    mp_flags = 0x1F;
    mp_resampling_mode = 3;
    mp_reverb_depth = 44;
    mp_reverb_delay = 200;
    mp_bass_amount = 100;
    mp_bass_range = 10;
    mp_surround_depth = 1;
    mp_surround_delay = 40;
    up2jump = 1;
    config_save();

    reset_settings();
    config_load();
    EXPECT_EQ(35, mus_volume);
    EXPECT_EQ(0, sfx_volume);
    EXPECT_EQ(12, j_jump);
    EXPECT_EQ(5, j_pause);
    EXPECT_EQ(9, j_start);
    EXPECT_EQ(16, j_up);
    EXPECT_EQ(32, j_down);
    EXPECT_EQ(64, j_left);
    EXPECT_EQ(128, j_right);
    EXPECT_EQ('q', k_jump);
    EXPECT_EQ('w', k_pause);
    EXPECT_EQ(271, k_start);
    EXPECT_EQ('i', k_up);
    EXPECT_EQ('k', k_down);
    EXPECT_EQ('j', k_left);
    EXPECT_EQ('l', k_right);
    EXPECT_EQ(0x1F, mp_flags);
    EXPECT_EQ(3, mp_resampling_mode);
    EXPECT_EQ(44, mp_reverb_depth);
    EXPECT_EQ(200, mp_reverb_delay);
    EXPECT_EQ(100, mp_bass_amount);
    EXPECT_EQ(10, mp_bass_range);
    EXPECT_EQ(1, mp_surround_depth);
    EXPECT_EQ(40, mp_surround_delay);
    // The last key of the file starts exactly at the last position searched.
    EXPECT_EQ(1, up2jump);
}

TEST(ConfigLoad, MissingOrEmptyFileKeepsEverySetting) {
    TempDir dir;
    reset_settings();
    config_load();
    EXPECT_EQ(32, k_jump);
    EXPECT_EQ(273, k_up);
    EXPECT_EQ(100, mus_volume);

    load_text("");
    EXPECT_EQ(32, k_jump);
    EXPECT_EQ(13, k_start);
    EXPECT_EQ(3, mp_flags);
}

TEST(ConfigLoad, KeyboardBindingAsLetterOrNumber) {
    TempDir dir;
    reset_settings();
    load_text("k_jump=x\n");
    EXPECT_EQ(120, k_jump);
    config_save();
    EXPECT_NE(std::string::npos, read_file(CONFIG_FILE).find("\nk_jump=x\n"));

    reset_settings();
    load_text("k_jump=120\n");
    EXPECT_EQ(120, k_jump);

    reset_settings();
    load_text("k_up=273\n");
    EXPECT_EQ(273, k_up);
    config_save();
    EXPECT_NE(std::string::npos, read_file(CONFIG_FILE).find("\nk_up=273\n"));
}

TEST(ConfigLoad, AbsentKeyboardKeysUnbindWhileJoystickKeepsDefaults) {
    TempDir dir;
    reset_settings();
    load_text("mus_volume=50\nj_pause=6\n");
    EXPECT_EQ(-1, k_jump);
    EXPECT_EQ(-1, k_pause);
    EXPECT_EQ(-1, k_start);
    EXPECT_EQ(-1, k_up);
    EXPECT_EQ(-1, k_down);
    EXPECT_EQ(-1, k_left);
    EXPECT_EQ(-1, k_right);
    EXPECT_EQ(0, j_jump);
    EXPECT_EQ(6, j_pause);
    EXPECT_EQ(7, j_start);
    EXPECT_EQ(1, j_up);
    EXPECT_EQ(2, j_right);
    EXPECT_EQ(50, mus_volume);
}

TEST(ConfigLoad, NegativeJoystickValueKeepsTheBinding) {
    TempDir dir;
    reset_settings();
    load_text("j_start=-4\nj_jump=-1\n");
    EXPECT_EQ(7, j_start);
    EXPECT_EQ(0, j_jump);
}

TEST(ConfigLoad, KeyCodesTheGameCannotReceiveAreUnbound) {
    TempDir dir;
    reset_settings();
    load_text("k_jump=99999\nk_left=-7\nk_right=275\n");
    EXPECT_EQ(-1, k_jump);
    EXPECT_EQ(-1, k_left);
    EXPECT_EQ(275, k_right);
}

TEST(ConfigLoad, VolumesOutsideTheRangeBecomeFull) {
    TempDir dir;
    reset_settings();
    load_text("mus_volume=150\nsfx_volume=-5\n");
    EXPECT_EQ(100, mus_volume);
    EXPECT_EQ(100, sfx_volume);

    load_text("mus_volume=0\nsfx_volume=100\n");
    EXPECT_EQ(0, mus_volume);
    EXPECT_EQ(100, sfx_volume);

    load_text("mus_volume=99999999999999999999\nsfx_volume=-99999999999999999999\n");
    EXPECT_EQ(100, mus_volume);
    EXPECT_EQ(100, sfx_volume);
}

TEST(ConfigLoad, FlagKeysOnlyEverSetTheirBit) {
    TempDir dir;
    reset_settings();
    load_text("mpFlagsOVERSAMPLING=0\nmpFlagsNOISE_REDUCTION=0\nmpFlagsREVERB=1\n");
    EXPECT_EQ(0x01 | 0x02 | 0x04, mp_flags);

    reset_settings();
    load_text("mpFlagsMEGABASS=2\nmpFlagsSURROUND=1\n");
    EXPECT_EQ(0x01 | 0x02 | 0x10, mp_flags);

    reset_settings();
    load_text("mpFlagsMEGABASS=1\n");
    EXPECT_EQ(0x01 | 0x02 | 0x08, mp_flags);
}

TEST(ConfigLoad, RendererSettingsAreClamped) {
    TempDir dir;
    reset_settings();
    load_text(
        "mpReverbDelay=10\nmpSurroundDelay=100\nmpBassRange=5\nmpResamplingMode=7\n"
        "mpReverbDepth=250\nmpBassAmount=-3\nmpSurroundDepth=101\n");
    EXPECT_EQ(40, mp_reverb_delay);
    EXPECT_EQ(40, mp_surround_delay);
    EXPECT_EQ(10, mp_bass_range);
    EXPECT_EQ(1, mp_resampling_mode);
    EXPECT_EQ(100, mp_reverb_depth);
    EXPECT_EQ(0, mp_bass_amount);
    EXPECT_EQ(100, mp_surround_depth);

    load_text("mpReverbDelay=500\nmpSurroundDelay=1\nmpBassRange=200\nmpResamplingMode=-1\n");
    EXPECT_EQ(200, mp_reverb_delay);
    EXPECT_EQ(5, mp_surround_delay);
    EXPECT_EQ(100, mp_bass_range);
    EXPECT_EQ(1, mp_resampling_mode);

    load_text("mpResamplingMode=0\nmpReverbDelay=120\n");
    EXPECT_EQ(0, mp_resampling_mode);
    EXPECT_EQ(120, mp_reverb_delay);
}

TEST(ConfigLoad, UpToJumpIsOnForAnyPositiveNumber) {
    TempDir dir;
    reset_settings();
    load_text("up2jump=5\n");
    EXPECT_EQ(1, up2jump);
    load_text("up2jump=-1\n");
    EXPECT_EQ(0, up2jump);
    load_text("up2jump=1\n");
    EXPECT_EQ(1, up2jump);
    load_text("up2jump=0\n");
    EXPECT_EQ(0, up2jump);
}

TEST(ConfigLoad, KeysTooNearTheEndAreNotFound) {
    TempDir dir;
    // A binding needs its key, one value byte and one more byte after it.
    reset_settings();
    load_text("k_jump=x");
    EXPECT_EQ(-1, k_jump);
    load_text("k_jump=x\n");
    EXPECT_EQ('x', k_jump);

    reset_settings();
    load_text("j_jump=5");
    EXPECT_EQ(0, j_jump);
    load_text("j_jump=56");
    EXPECT_EQ(56, j_jump);

    // Other keys are looked for up to ten bytes before the end.
    reset_settings();
    load_text("up2jump=1");
    EXPECT_EQ(0, up2jump);
    load_text("up2jump=1\n");
    EXPECT_EQ(1, up2jump);

    // A short file is searched for nothing but still unbinds the keyboard.
    reset_settings();
    load_text("sfx=1");
    EXPECT_EQ(15, sfx_volume);
    EXPECT_EQ(-1, k_start);
}

TEST(ConfigLoad, KeysAreFoundInsideOtherText) {
    TempDir dir;
    reset_settings();
    load_text("xmus_volume=50\n");
    EXPECT_EQ(50, mus_volume);

    reset_settings();
    load_text("# comment k_left=q and mus_volume=20 then mus_volume=30\nk_right=d\n");
    EXPECT_EQ('q', k_left);
    EXPECT_EQ('d', k_right);
    EXPECT_EQ(30, mus_volume);
}

TEST(ConfigLoad, MalformedNumbersReadAsFarAsTheDigitsGo) {
    TempDir dir;
    reset_settings();
    load_text("mus_volume=abc\nsfx_volume=  42xyz\nmpBassAmount=+7\nk_pause=\n\n");
    EXPECT_EQ(0, mus_volume);
    EXPECT_EQ(42, sfx_volume);
    EXPECT_EQ(7, mp_bass_amount);
    EXPECT_EQ(0, k_pause);
}

TEST(ConfigLoad, NumberRunningToTheEndOfTheTextStopsThere) {
    TempDir dir;
    reset_settings();
    // The reader must stop at the file's end; nothing follows the digits.
    load_text("sfx_volume=77\nmus_volume=7");
    EXPECT_EQ(77, sfx_volume);
    EXPECT_EQ(7, mus_volume);
}

TEST(ConfigLoad, OnlyTheFirst64KiBAreRead) {
    TempDir dir;
    reset_settings();
    std::string head = "k_up=119\nmus_volume=40\n";
    std::string filler(65536 - 40 - head.size(), '#');
    load_text(head + filler + "sfx_volume=60\n" + std::string(40, '#') + "mus_volume=70\nk_left=97\n");
    EXPECT_EQ(119, k_up);
    EXPECT_EQ(40, mus_volume) << "a key past 64 KiB was read";
    EXPECT_EQ(60, sfx_volume) << "a key within 64 KiB was not read";
    EXPECT_EQ(-1, k_left);
}

TEST(ConfigSave, AFileWrittenByTheGameIsReadAndWrittenBackByteForByte) {
    TempDir dir;
    reset_settings();
    const std::string text =
        "mus_volume=35\nsfx_volume=0\nj_jump=12\nj_pause=5\nj_start=9\nj_up=16\nj_down=32\nj_left=64\n"
        "j_right=128\nk_jump=q\nk_pause=-1\nk_start=271\nk_up=i\nk_down=0\nk_left=j\nk_right=z\n"
        "mpFlagsOVERSAMPLING=1\nmpResamplingMode=3\nmpFlagsNOISE_REDUCTION=1\nmpFlagsREVERB=1\nmpReverbDepth=44\n"
        "mpReverbDelay=200\nmpFlagsMEGABASS=0\nmpBassAmount=100\nmpBassRange=10\nmpFlagsSURROUND=1\n"
        "mpSurroundDepth=1\nmpSurroundDelay=40\nup2jump=1\n";
    load_text(text);
    EXPECT_EQ('z', k_right);
    config_save();
    EXPECT_EQ(text, read_file(CONFIG_FILE));
}
