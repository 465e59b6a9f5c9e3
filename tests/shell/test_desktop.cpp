// The desktop's keys and window events in the event pump under the dummy
// driver: what each does to the mode and the files, that neither it nor its
// release reaches the game, that a lost focus pauses only play, and that
// switching the mode back and forth during a replay changes nothing the game
// computes or draws.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "floob.h"
#include "gfx/video.h"
#include "shell/controls.h"
#include "shell/desktop.h"
#include "shell/frame.h"
#include "shell/replay.h"
#include "storage/extras.h"
#include "support/levels.h"
#include "support/support.h"

namespace {

void push(const SDL_Event& event) { ASSERT_EQ(0, SDL_PushEvent(const_cast<SDL_Event*>(&event))); }

// A press and its release; twice released when asked, as SDL reports the
// keys held when a mode change resets its keyboard and again at the real release.
void press_key(SDLKey key, SDLMod mod, int releases = 1) {
    SDL_Event event = {};
    event.type = SDL_KEYDOWN;
    event.key.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    push(event);
    event.type = event.key.type = SDL_KEYUP;
    event.key.state = SDL_RELEASED;
    for (int i = 0; i < releases; i++) push(event);
}

void lose_focus() {
    SDL_Event event = {};
    event.type = event.active.type = SDL_ACTIVEEVENT;
    event.active.gain = 0;
    event.active.state = SDL_APPINPUTFOCUS;
    push(event);
}

int32_t screenshot_count() {
    std::string listing;
    run_command("ls screenshots 2>/dev/null | grep -c '^floob2-.*\\.png$'", &listing);
    return atoi(listing.c_str());
}

class Desktop : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_EQ(0, SDL_Init(SDL_INIT_VIDEO));
        reset_video_settings();
        ASSERT_NE(nullptr, video_init());
        colours_init();
        apply_default_bindings();
        buttons_held = button_released = last_key = 0;
        paused = pause_cursor = 0;
    }
    void TearDown() override {
        if (display_surface && frame_surface) SDL_FreeSurface(frame_surface);
        frame_surface = display_surface = nullptr;
        reset_video_settings();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

}  // namespace

TEST_F(Desktop, KeysActAtOnceAndNeverReachTheGame) {
    TempDir dir;
    extras_load();
    struct Case {
        SDLKey key;
        SDLMod mod;
        int32_t full_after;  // fullscreen after the key
        int32_t shots_after;
    } cases[] = {
        {SDLK_RETURN, KMOD_LALT, 1, 0}, {SDLK_F12, KMOD_NONE, 1, 1},      {SDLK_F11, KMOD_NONE, 0, 1},
        {SDLK_PRINT, KMOD_NONE, 0, 2},  {SDLK_KP_ENTER, KMOD_RALT, 1, 2}, {SDLK_F11, KMOD_NONE, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        press_key(c.key, c.mod, 2);
        poll_events();
        EXPECT_EQ(0, buttons_held);
        EXPECT_EQ(0, button_released);
        EXPECT_EQ(0, last_key);
        EXPECT_EQ(c.full_after, fullscreen);
        EXPECT_EQ(c.full_after ? SDL_FULLSCREEN : 0u, display_surface->flags & SDL_FULLSCREEN);
        EXPECT_EQ(c.shots_after, screenshot_count());
    }
    // Return without Alt is the game's.
    press_key(SDLK_RETURN, KMOD_NONE);
    poll_events();
    EXPECT_EQ(BTN_START, button_released);

    // A drag: the last size of the poll is set, and drawn at the factor that fits.
    SDL_Event resize = {};
    resize.type = resize.resize.type = SDL_VIDEORESIZE;
    resize.resize.w = 700, resize.resize.h = 500;
    push(resize);
    resize.resize.w = 1000, resize.resize.h = 800;
    push(resize);
    poll_events();
    EXPECT_EQ(1000, display_surface->w);
    EXPECT_EQ(800, display_surface->h);
    EXPECT_EQ(1000, window_width);
    EXPECT_EQ(0, button_released);
}

TEST_F(Desktop, LosingTheFocusPausesPlayOnly) {
    TempDir dir;
    struct Case {
        const char* extras;  // the extras file, null for none
        int32_t level, pause_allowed;
        int32_t paused_after;
    } cases[] = {
        {nullptr, 1, 1, 1},
        {nullptr, 1, 0, 0},  // get ready, a dying hero, the screens without pause
        {nullptr, 0, 1, 0},  // the title
        {"pause_on_focus_loss=0\n", 1, 1, 0},
        {"pause_on_focus_loss=yes\n", 1, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extras ? c.extras : "no file");
        unlink("floob2-extras.cfg");
        if (c.extras) {
            ASSERT_TRUE(write_file("floob2-extras.cfg", c.extras));
        }
        extras_load();
        paused = pause_cursor = 0;
        lose_focus();
        read_controls(c.level, c.pause_allowed);
        EXPECT_EQ(c.paused_after, paused);
        EXPECT_EQ(c.paused_after ? 2 : 0, pause_cursor);
        // The loss counts for its own frame only.
        paused = 0;
        read_controls(c.level, c.pause_allowed);
        EXPECT_EQ(0, paused);
    }
}

namespace {

struct RunResult {
    ReplayOutcome outcome;
    std::vector<uint8_t> frame;  // the last frame's pixels, row by row
    int32_t fullscreen_seen;
};

int32_t toggle_at[2] = {-1, -1};
int32_t fullscreen_seen = 0;

void toggle_when_due(int32_t position) {
    if (position == toggle_at[0]) press_key(SDLK_F11, KMOD_NONE);
    if (position == toggle_at[1]) press_key(SDLK_RETURN, KMOD_LALT);
    if (fullscreen) fullscreen_seen = 1;
}

RunResult run_level(const ReplayFrame* frames, int32_t n, int32_t first, int32_t second) {
    RunResult result = {};
    toggle_at[0] = first, toggle_at[1] = second;
    fullscreen_seen = 0;
    replay_set_observer(toggle_when_due);
    EXPECT_EQ(1, replay_run_test_level(frames, n, &result.outcome));
    replay_set_observer(nullptr);
    result.fullscreen_seen = fullscreen_seen;
    for (int32_t y = 0; frame_surface && y < frame_surface->h; y++) {
        const uint8_t* row = static_cast<const uint8_t*>(frame_surface->pixels) + y * frame_surface->pitch;
        result.frame.insert(result.frame.end(), row, row + frame_surface->w * frame_surface->format->BytesPerPixel);
    }
    return result;
}

}  // namespace

TEST(DesktopReplay, SwitchingTheModeChangesNothingTheGameComputesOrDraws) {
    TempDir dir(true);
    ASSERT_EQ(0, mkdir("maps", 0755));
    LevelBytes level = floor_level();
    level.set(12, 10, 41);
    level.put_exit(30, 10);
    ASSERT_TRUE(write_file("maps/test.bin", level.text()));
    static ReplayFrame frames[800];
    int32_t n = replay_parse("181 - -\n40 R -\n30 RJ -\n300 R -\n", frames, 800);
    RunResult plain = run_level(frames, n, -1, -1);
    RunResult toggled = run_level(frames, n, 200, 260);
    EXPECT_EQ(1, toggled.fullscreen_seen);
    EXPECT_EQ(0, fullscreen);
    EXPECT_EQ(nullptr, display_surface) << "back in the unscaled window";
    EXPECT_EQ(plain.outcome.finished, toggled.outcome.finished);
    EXPECT_EQ(plain.outcome.frames_used, toggled.outcome.frames_used);
    EXPECT_EQ(plain.outcome.points, toggled.outcome.points);
    EXPECT_EQ(plain.outcome.level_timer, toggled.outcome.level_timer);
    EXPECT_EQ(plain.outcome.level_frame, toggled.outcome.level_frame);
    EXPECT_TRUE(plain.frame == toggled.frame) << "the last frames differ";
    EXPECT_FALSE(plain.frame.empty());
}

TEST(DesktopSettings, TheLastRunsScreenAndSizeGiveWayToTheCommandLine) {
    TempDir dir;
    struct Case {
        const char* extras;
        int32_t keep_screen, keep_size;
        int32_t full, w, h;
    } cases[] = {
        {"fullscreen=1\nwindow_width=900\nwindow_height=700\n", 0, 0, 1, 900, 700},
        {"fullscreen=1\nwindow_width=900\nwindow_height=700\n", 1, 0, 0, 900, 700},
        {"fullscreen=1\nwindow_width=900\nwindow_height=700\n", 0, 1, 1, 0, 0},
        {"fullscreen=2\nwindow_width=0\nwindow_height=700\n", 0, 0, 0, 0, 0},
        {"window_width=900\n", 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extras);
        ASSERT_TRUE(write_file("floob2-extras.cfg", c.extras));
        reset_video_settings();
        desktop_settings_load(c.keep_screen, c.keep_size);
        EXPECT_EQ(c.full, fullscreen);
        EXPECT_EQ(c.full, fullscreen_desktop);
        EXPECT_EQ(c.w, window_width);
        EXPECT_EQ(c.h, window_height);
        // Nothing was used in this run: the file stays as it was.
        desktop_settings_save();
        EXPECT_EQ(c.extras, read_file("floob2-extras.cfg"));
    }
    reset_video_settings();
}
