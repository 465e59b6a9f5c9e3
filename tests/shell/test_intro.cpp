// The intro screens: the logo's slide and its jingle, the warning and credits
// screens with their blink counters, and the runner's start index in test mode.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "audio/music.h"
#include "compile.h"
#include "floob.h"
#include "shell/intro.h"
#include "gfx/video.h"
#include "shell/frame.h"
#include "shell/replay.h"
#include "support/support.h"

namespace {

IntroState& intro = intro_state();

enum { LOGO = 0, WARNING = 1, CREDITS = 2 };

// Non-black pixels of the frame surface in rows top..bottom-1.
int32_t lit_pixels(int32_t top, int32_t bottom) {
    SDL_Surface* s = frame_surface;
    int32_t lit = 0;
    SDL_LockSurface(s);
    for (int32_t y = top; y < bottom; y++) {
        const uint8_t* row = (const uint8_t*)s->pixels + y * s->pitch;
        for (int32_t x = 0; x < s->w; x++) {
            uint32_t pixel = 0;
            memcpy(&pixel, row + x * s->format->BytesPerPixel, s->format->BytesPerPixel);
            if ((pixel & (s->format->Rmask | s->format->Gmask | s->format->Bmask)) != COLOUR_BLACK) lit++;
        }
    }
    SDL_UnlockSurface(s);
    return lit;
}

std::string bmp_of_size(int32_t w, int32_t h) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 24, 0xff0000, 0x00ff00, 0x0000ff, 0);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 200, 180, 40));
    SDL_SaveBMP(s, "made.bmp");
    SDL_FreeSurface(s);
    std::string bytes = read_file("made.bmp");
    unlink("made.bmp");
    return bytes;
}

// Packs the built entries of one archive into data/<archive>.qva with the
// named entry's bytes replaced, or left out when they are empty.
void pack_entries(const std::string& archive, const std::string& replace, const std::string& bytes) {
    std::vector<ArchiveInput> entries;
    for (const ArchiveInput& in : built_entries(archive)) {
        if (in.name != replace)
            entries.push_back(in);
        else if (!bytes.empty())
            entries.push_back(archive_entry(in.name, bytes));
    }
    write_data_archive(archive, entries);
}

// A data directory of the built archives with the logo or the jingle changed.
void make_data(const std::string& logo_bmp, bool with_jingle) {
    ASSERT_EQ(0, mkdir("data", 0755));
    link_built_archives({"maps.qva", "sound.qva"});
    pack_entries("gfx", "qv-logo.bmp",
                 logo_bmp.empty() ? read_file(std::string(FLOOB_BINARY_DIR) + "/entries/gfx/qv-logo.bmp") : logo_bmp);
    pack_entries("music", "y.jingle.mod",
                 with_jingle ? read_file(std::string(FLOOB_BINARY_DIR) + "/entries/music/y.jingle.mod") : "");
}

// Plays the hooked module to its end on this thread, as the audio thread would.
void play_music_to_end() {
    SDL_LockAudio();
    static uint8_t buffer[4096];
    for (int32_t i = 0; i < 100000 && music_hooked; i++) music_mix(music_hooked, buffer, sizeof buffer);
    SDL_UnlockAudio();
}

class Intro : public ::testing::Test {
   protected:
    TempDir dir;
    void open(const std::string& logo_bmp = "", bool with_jingle = true) {
        make_data(logo_bmp, with_jingle);
        ASSERT_TRUE(replay_open_game());
        // The audio thread stays out of the way: the tests end the jingle themselves.
        SDL_PauseAudio(1);
        skip_draw = 0;
        button_released = 0;
        buttons_held = 0;
        last_key = 0;
        last_pad_button = -1;
    }
    void TearDown() override {
        SDL_PauseAudio(0);
        replay_stop();
        skip_draw = 0;
        button_released = 0;
        quit_signal = 0;
    }
    // One frame as the runner runs it, with the given button released before it.
    int32_t frame(const IntroScreen& screen, int32_t released) {
        button_released = released;
        if (screen.update()) return 1;
        if (!skip_draw) screen.draw(frame_surface);
        return 0;
    }
};

TEST_F(Intro, TableHoldsTheThreeScreensAndTestModeStartsAtTheCredits) {
    EXPECT_STREQ("zumo", intro_screens[0].name);
    EXPECT_STREQ("warning", intro_screens[1].name);
    EXPECT_STREQ("opensource", intro_screens[2].name);
    EXPECT_EQ(nullptr, intro_screens[3].name);
    EXPECT_EQ(2, intro_test_start_index);
}

TEST_F(Intro, MotionTablesAndTheMascotsCircle) {
    open();
    const IntroScreen& logo = intro_screens[LOGO];
    logo.init();
    EXPECT_EQ(1024, intro.cos_table[0]);
    EXPECT_EQ(0, intro.sin_table[0]);
    EXPECT_EQ(1024, intro.sin_table[128]);
    EXPECT_EQ(-1024, intro.cos_table[256]);
    for (int32_t i = 0; i < 512; i++) {
        ASSERT_LE(intro.cos_table[i], 1024);
        ASSERT_GE(intro.cos_table[i], -1024);
        EXPECT_EQ(intro.cos_table[i], -intro.cos_table[(i + 256) % 512]) << i;
    }
    // The mascot (64 x 64) drawn at a frame count: frame 0 puts it 8 pixels
    // right of (160, 100) and level with it.
    auto draw_at = [&logo](int32_t count) {
        while (intro.logo_frame_count < count) logo.update();
        logo.draw(frame_surface);
    };
    draw_at(0);
    EXPECT_EQ(160 - 32 + 8, intro.mascot_x);
    EXPECT_EQ(100 - 32, intro.mascot_y);
    // Frame 64: the cosine at 64 and the sine at 3 x 64 are both 724, 5 pixels.
    draw_at(64);
    EXPECT_EQ(128 + 5, intro.mascot_x);
    EXPECT_EQ(68 + 5, intro.mascot_y);
    // Frame 128: the cosine is 0 and the sine at 384 is -1024, 8 pixels up.
    draw_at(128);
    EXPECT_EQ(128, intro.mascot_x);
    EXPECT_EQ(60, intro.mascot_y);
    // A small negative entry floors to -1 rather than 0.
    draw_at(130);
    EXPECT_EQ(-25, intro.cos_table[130]);
    EXPECT_EQ(127, intro.mascot_x);
    logo.exit();
}

TEST_F(Intro, LogoSlidesInIgnoringButtonsStopsAtTheCentreAndStartsTheJingle) {
    open();
    const IntroScreen& logo = intro_screens[LOGO];
    logo.init();
    EXPECT_EQ(360, intro.logo_x);
    EXPECT_EQ(0, music_is_playing());
    // 172 pixels wide: centre 74, 143 steps of two pixels from 360.
    int32_t drawn = 0;
    for (drawn = 1; drawn < 143; drawn++) {
        ASSERT_EQ(0, frame(logo, drawn % 2 ? BTN_START : BTN_JUMP)) << "a release ended the slide";
        ASSERT_EQ(360 - 2 * drawn, intro.logo_x);
        ASSERT_EQ(0, music_is_playing()) << "the jingle started before the logo stopped";
    }
    ASSERT_EQ(0, frame(logo, BTN_START));
    EXPECT_EQ(74, intro.logo_x);
    EXPECT_EQ(1, music_is_playing()) << "the jingle starts where the logo stops";
    // Its bottom edge sits on row 180: the frame is lit in rows 140..179 only by the logo.
    EXPECT_GT(lit_pixels(140, 180), 0);
    EXPECT_EQ(0, lit_pixels(180, 240));
    // Stopped: it stays put while the jingle plays and nothing is released.
    for (int32_t i = 0; i < 30; i++) ASSERT_EQ(0, frame(logo, i % 2 ? BTN_PAUSE : BTN_LEFT));
    EXPECT_EQ(74, intro.logo_x);
    EXPECT_EQ(1, frame(logo, BTN_JUMP)) << "jump ends the stopped logo screen";
    logo.exit();
    EXPECT_EQ(0, music_is_playing()) << "exit frees the jingle";
}

TEST_F(Intro, LogoScreenEndsOnTheFrameAfterTheJingleFinishes) {
    open();
    const IntroScreen& logo = intro_screens[LOGO];
    logo.init();
    while (intro.logo_x > 74) frame(logo, 0);
    ASSERT_EQ(1, music_is_playing());
    EXPECT_EQ(0, frame(logo, 0));
    play_music_to_end();
    EXPECT_EQ(0, music_is_playing()) << "the jingle plays once and stops by itself";
    EXPECT_EQ(1, frame(logo, 0));
    logo.exit();
}

TEST_F(Intro, SkippedFramesCountButDoNotMoveTheLogo) {
    open();
    const IntroScreen& logo = intro_screens[LOGO];
    logo.init();
    frame(logo, 0);
    ASSERT_EQ(358, intro.logo_x);
    int32_t count = intro.logo_frame_count;
    skip_draw = 1;
    for (int32_t i = 0; i < 20; i++) ASSERT_EQ(0, frame(logo, 0));
    EXPECT_EQ(358, intro.logo_x);
    EXPECT_EQ(count + 20, intro.logo_frame_count);
    skip_draw = 0;
    frame(logo, 0);
    EXPECT_EQ(356, intro.logo_x);
    EXPECT_EQ(128 + (intro.cos_table[intro.logo_frame_count % 512] >> 7), intro.mascot_x)
        << "the mascot follows the frame count";
    logo.exit();
}

TEST_F(Intro, LogoOfOddDistanceStillStopsExactlyAtTheCentreWithTheJingle) {
    // 170 pixels wide: centre 75, and 360 - 75 is odd.
    open(bmp_of_size(170, 40));
    const IntroScreen& logo = intro_screens[LOGO];
    logo.init();
    int32_t previous = intro.logo_x;
    while (intro.logo_x > 75) {
        ASSERT_EQ(0, frame(logo, 0));
        ASSERT_LT(intro.logo_x, previous);
        previous = intro.logo_x;
    }
    EXPECT_EQ(75, intro.logo_x);
    EXPECT_EQ(1, music_is_playing()) << "the jingle must start even when the steps overshoot";
    for (int32_t i = 0; i < 10; i++) ASSERT_EQ(0, frame(logo, 0));
    EXPECT_EQ(75, intro.logo_x);
    logo.exit();
}

TEST_F(Intro, WithoutAJingleOnlyAButtonEndsTheLogoScreen) {
    open("", false);
    const IntroScreen& logo = intro_screens[LOGO];
    logo.init();
    for (int32_t i = 0; i < 400; i++) ASSERT_EQ(0, frame(logo, i < 140 ? BTN_START : 0));
    EXPECT_EQ(74, intro.logo_x);
    EXPECT_EQ(0, music_is_playing());
    EXPECT_EQ(0, frame(logo, BTN_RIGHT));
    EXPECT_EQ(1, frame(logo, BTN_START));
    logo.exit();
}

void push_key(SDLKey key) {
    SDL_Event event = {};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
}

TEST_F(Intro, WarningAndCreditsEndOnAnyKeyOrPadButtonPressedAfterTheirInit) {
    open();
    for (int32_t index : {WARNING, CREDITS}) {
        const IntroScreen& screen = intro_screens[index];
        // A key from before the screen does not count.
        last_key = SDLK_a;
        last_pad_button = 3;
        screen.init();
        poll_events();
        EXPECT_EQ(0, screen.update());
        // A key bound to nothing ends it.
        push_key(SDLK_F7);
        poll_events();
        EXPECT_EQ(1, screen.update()) << intro_screens[index].name;
        screen.exit();

        screen.init();
        EXPECT_EQ(0, frame(screen, BTN_LEFT)) << "a released direction is not a key press";
        SDL_Event event = {};
        event.type = SDL_JOYBUTTONDOWN;
        event.jbutton.button = 0;
        SDL_PushEvent(&event);
        poll_events();
        EXPECT_EQ(1, screen.update()) << "pad button 0 ends " << intro_screens[index].name;
        screen.exit();
    }
}

// Rows 40..75 hold only the big blinking title on both screens.
TEST_F(Intro, BlinkCountersCountDrawnFramesOfTheirOwnScreen) {
    open();
    struct Case {
        int32_t index;
        int32_t* counter;
        int32_t* other;
    };
    for (Case c : {Case{WARNING, &intro.warning_blink, &intro.credits_blink},
                   Case{CREDITS, &intro.credits_blink, &intro.warning_blink}}) {
        const IntroScreen& screen = intro_screens[c.index];
        *c.counter = 0;
        int32_t other = *c.other;
        screen.init();
        std::string shown;
        for (int32_t drawn = 1; drawn <= 96; drawn++) {
            skip_draw = drawn % 3 == 0;
            frame(screen, 0);
            if (skip_draw) continue;
            shown += lit_pixels(40, 76) > 0 ? '1' : '0';
        }
        skip_draw = 0;
        // 64 drawn frames: 31 shown, 32 hidden, then shown again.
        EXPECT_EQ(std::string(31, '1') + std::string(32, '0') + "1", shown) << screen.name;
        EXPECT_EQ(64, *c.counter);
        EXPECT_EQ(other, *c.other) << "each screen has its own counter";
        EXPECT_GT(lit_pixels(200, 218), 0) << "the prompt line is drawn";
        screen.exit();
        // The counter survives the screen's end and a new init.
        screen.init();
        frame(screen, 0);
        EXPECT_EQ(65, *c.counter);
        screen.exit();
    }
}

TEST_F(Intro, RunnerShowsAllThreeFromIndexZeroAndOnlyTheCreditsInTestMode) {
    open();
    // Test mode: the credits only. The logo screen would set intro.logo_x to 360.
    intro.logo_x = -5;
    int32_t warning_before = intro.warning_blink;
    int32_t credits_before = intro.credits_blink;
    ReplayFrame press[] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {BTN_START, 0, 0}, {0, 0, 0}};
    replay_start(press, 5);
    run_intro_screens(intro_test_start_index);
    EXPECT_EQ(4, replay_position()) << "the credits end on the first press";
    EXPECT_EQ(-5, intro.logo_x);
    EXPECT_EQ(warning_before, intro.warning_blink);
    EXPECT_EQ(credits_before + 4, intro.credits_blink);
    replay_stop();

    // From the start: the logo until a release after it stopped, then one key each.
    std::vector<ReplayFrame> frames(143 + 10, ReplayFrame{0, 0, 0});
    frames[20].released = BTN_START;  // while sliding: ignored
    frames.push_back({BTN_START, 0, 0});
    frames.push_back({0, BTN_START, 0});
    frames.push_back({0, 0, 0});
    frames.push_back({BTN_JUMP, 0, 0});
    frames.push_back({0, BTN_JUMP, 0});
    frames.push_back({BTN_UP, 0, 0});
    frames.push_back({0, 0, 0});
    warning_before = intro.warning_blink;
    credits_before = intro.credits_blink;
    replay_start(frames.data(), (int32_t)frames.size());
    run_intro_screens(0);
    EXPECT_EQ(74, intro.logo_x);
    EXPECT_EQ(0, music_is_playing());
    EXPECT_EQ((int32_t)frames.size() - 1, replay_position()) << "each screen took its own press";
    EXPECT_EQ(warning_before + 2, intro.warning_blink);
    EXPECT_EQ(credits_before + 2, intro.credits_blink);
    replay_stop();
}

}  // namespace
