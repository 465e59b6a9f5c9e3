// Every screen with words on it, in every language, through the real game
// loop: one scripted session per language from the title through the menus,
// the options, the opening story, play, pause, the quit question, the level
// end, game over, the name entry and the continue question, and one through
// the last level into the finale's story; the warning and credits screens are
// drawn by their own screen functions. Each picture is written to
// language-screens/ in the build folder to be looked at; the session must
// reach the same screens in every language, and each one must read
// differently from the English one.
#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "floob.h"
#include "gfx/video.h"
#include "shell/game.h"
#include "shell/intro.h"
#include "shell/replay.h"
#include "shell/title.h"
#include "storage/bindings.h"
#include "storage/hiscore.h"
#include "storage/messages.h"
#include "storage/savegame.h"
#include "support/levels.h"
#include "support/support.h"
#include "world/world.h"

namespace {

enum { MAX_FRAMES = 8000 };

// A run of replay lines; when it names a capture, the picture on the frame is
// kept at the `settle`-th poll of the run at which the game shows that screen
// (`showing`) and its blinking texts are lit (when it `blinks`).
struct Step {
    std::string lines;
    const char* capture;
    bool (*showing)();
    int32_t settle;
    int32_t blinks;
};

std::string repeat(const std::string& text, int32_t count) {
    std::string out;
    for (int32_t i = 0; i < count; i++) out += text;
    return out;
}

bool on_title() { return current_level == 0 && menu_state == MENU_PRESS_START; }
bool on_main_menu() { return current_level == 0 && menu_state == MENU_NEW_GAME; }
bool on_options() { return current_level == 0 && menu_state == MENU_OPTIONS_SCREEN; }
bool on_hiscores() { return current_level == 0 && menu_state == MENU_HISCORE_VIEW; }
bool before_level_one() { return current_level == 1 && !world.hero.alive; }
bool in_play() { return current_level == 1 && world.hero.alive && !paused && !quit_request; }
bool in_pause() { return paused == 1; }
bool asking_to_quit() { return quit_request == 1; }
// The level end's poll 91 adds the time bonus and its extra life; 165 to 196
// polls later every line is up and NEXT STAGE is lit.
bool at_level_end() { return current_level == 1 && !world.hero.alive && lives == 7; }
bool out_of_lives() { return current_level == 2 && lives == 0; }
bool in_finale() { return current_level == 11; }

const std::string SUICIDE = "1 - -\n1 - S\n1 - P\n1 - U\n1 - S\n1 - S\n40 - -\n";

const std::vector<Step> SESSION = {
    {"60 - -\n", "title", on_title, 10, 1},
    {"1 - S\n70 - -\n", "main-menu", on_main_menu, 5, 1},
    {"1 - D\n2 - -\n1 - D\n2 - -\n1 - D\n2 - -\n1 - S\n20 - -\n", "options", on_options, 5, 0},
    {"1 - U\n2 - -\n1 - S\n5 - -\n1 - U\n2 - -\n1 - S\n20 - -\n", "hiscores", on_hiscores, 5, 0},
    {"1 - S\n5 - -\n1 - U\n2 - -\n1 - U\n2 - -\n1 - S\n10 - -\n", "opening-story", before_level_one, 5, 0},
    {"1 - S\n30 - -\n", "get-ready", in_play, 3, 1},
    {"1 - S\n5 - -\n1 - P\n40 - -\n", "pause", in_pause, 5, 1},
    {"1 - S\n5 - -\n1 - - Q\n10 - -\n", "quit-question", asking_to_quit, 3, 0},
    {"1 - R\n60 R -\n400 - -\n", "level-end", at_level_end, 180, 0},
    {repeat(SUICIDE, 6) + "1 - -\n1 - S\n1 - P\n1 - U\n1 - S\n1 - S\n100 - -\n", "game-over", out_of_lives, 20, 1},
    {"1 - S\n20 - -\n", "name-entry", out_of_lives, 10, 0},
    {"1 S -\n1 - S\n20 - -\n", "continue", out_of_lives, 10, 0},
    {"1 - R\n5 - -\n1 - - Q\n20 - -\n", nullptr, nullptr, 0, 0},
};

// From PRESS START with the last level saved: CONTINUE, run into the exit,
// and sit out the level end into the finale's story.
const std::vector<Step> FINALE = {
    {"3 - -\n1 - S\n3 - -\n1 - S\n3 - -\n1 - S\n60 R -\n370 - -\n", nullptr, nullptr, 0, 0},
    {"30 - -\n", "finale-story", in_finale, 10, 0},
    // The score goes into the table: start held through the name entry.
    {"1 - S\n5 - -\n1 S -\n1 - S\n5 - -\n1 - - Q\n20 - -\n", nullptr, nullptr, 0, 0},
};

struct Capture {
    const Step* step = nullptr;  // null for an intro screen
    std::string name;
    int32_t start = 0, end = 0, seen = 0, taken = 0, level = 0, menu = 0;
    std::vector<uint8_t> pixels;
};

std::vector<Capture> captures;
const std::string SHOTS = std::string(FLOOB_BINARY_DIR) + "/language-screens/";

void take(Capture& c) {
    c.taken = 1;
    c.level = c.step ? current_level : 0;
    c.menu = c.step ? menu_state : 0;
    c.pixels = frame_pixels();
    SDL_SaveBMP(frame_surface, (SHOTS + std::to_string(language) + "-" + c.name + ".bmp").c_str());
}

void observe(int32_t position) {
    for (Capture& c : captures) {
        if (c.taken || position < c.start || position >= c.end || !c.step->showing()) continue;
        // The frame on show was drawn at the frame before this poll's.
        int32_t lit = !(level_frame & 32) && !((level_frame - 1) & 32);
        if (++c.seen >= c.step->settle && (lit || !c.step->blinks)) take(c);
    }
}

class LanguageScreens : public ::testing::Test {
   protected:
    void SetUp() override {
        mkdir(SHOTS.c_str(), 0755);
        LevelBytes level = floor_level();
        level.put_exit(6, 10);
        make_data_with_maps(level.text());
        apply_default_bindings();
        up2jump = 0;
    }
    void TearDown() override {
        replay_set_observer(nullptr);
        replay_stop();
        language = 0;
        quit_signal = 0;
        quit_request = 0;
    }
    // Plays the steps through the game loop in the language and keeps what
    // the captures saw.
    std::vector<Capture> play(const std::vector<Step>& steps, int32_t lang) {
        static ReplayFrame frames[MAX_FRAMES];
        std::string text;
        captures.clear();
        for (const Step& step : steps) {
            int32_t start = replay_parse(text.c_str(), nullptr, 0);
            text += step.lines;
            if (step.capture) captures.push_back({&step, step.capture, start, replay_parse(text.c_str(), nullptr, 0)});
        }
        int32_t total = replay_parse(text.c_str(), frames, MAX_FRAMES);
        if (total <= 0 || !replay_open_game()) return {};
        language = lang;
        title_state().scroller_length = 0;  // the scroller fetches its line again, in this language
        hiscore_reset_table();
        quit_signal = 0;
        test_mode = 0;
        replay_set_observer(observe);
        replay_start(frames, total);
        game_loop(0);
        replay_set_observer(nullptr);
        replay_stop();
        quit_signal = 0;
        quit_request = 0;
        // The warning and credits screens, drawn by their own functions.
        for (int32_t i = 1; i <= 2 && &steps == &SESSION; i++) {
            captures.push_back({nullptr, intro_screens[i].name});
            intro_screens[i].init();
            intro_screens[i].draw(frame_surface);
            take(captures.back());
        }
        return captures;
    }
    TempDir dir;
};

TEST_F(LanguageScreens, EveryScreenIsReachedAndReadsInItsLanguage) {
    std::map<int32_t, std::vector<Capture>> seen;
    for (int32_t lang = 0; lang < LANGUAGE_COUNT; lang++) {
        unlink("savegame.dat");  // the main menu opens on NEW GAME
        std::vector<Capture> all = play(SESSION, lang);
        saved_level = save_game_write(9);  // CONTINUE plays the last level
        for (const Capture& c : play(FINALE, lang)) all.push_back(c);
        seen[lang] = all;
    }
    ASSERT_EQ(SESSION.size() - 1 + 2 + 1, seen[0].size());
    for (int32_t lang = 0; lang < LANGUAGE_COUNT; lang++) {
        ASSERT_EQ(seen[0].size(), seen[lang].size());
        for (size_t k = 0; k < seen[0].size(); k++) {
            const Capture& english = seen[0][k];
            const Capture& c = seen[lang][k];
            EXPECT_TRUE(c.taken) << lang << " " << c.name << ": never on screen";
            EXPECT_EQ(english.level, c.level) << lang << " " << c.name;
            EXPECT_EQ(english.menu, c.menu) << lang << " " << c.name;
            bool as_english = lang != 0 && english.pixels == c.pixels;
            EXPECT_FALSE(as_english) << lang << " " << c.name << ": reads as in English";
        }
    }
}

}  // namespace
