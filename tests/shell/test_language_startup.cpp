// The language through the game's own start-up: run_game with the command
// line, the settings file and the locale of each case, its intro passed and
// its title reached by a replay on SDL's dummy driver. The title's PRESS
// START and main menu must show the case's language: drawing that language's
// texts again over the frame at their rows changes no pixel.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "floob.h"
#include "gfx/font.h"
#include "gfx/video.h"
#include "shell/replay.h"
#include "shell/startup.h"
#include "shell/title.h"
#include "storage/extras.h"
#include "storage/messages.h"
#include "support/support.h"

namespace {

// The intro passed as a player would (see e2e_session.replay), the credits
// by a press of start held on PRESS START, whose release opens the main menu.
const char* const TO_MAIN_MENU =
    "60 - -\n1 S -\n1 - S\n100 - -\n1 S -\n1 - S\n3 - -\n1 S -\n1 - S\n3 - -\n1 S -\n70 S -\n1 - S\n80 - -\n";
const int32_t TITLE_ROWS[6] = {128, 104, 122, 140, 158, 176};
const int32_t TITLE_IDS[6] = {MSG_PRESS_START, MSG_NEW_GAME, MSG_CONTINUE, MSG_HISCORES, MSG_OPTIONS, MSG_EXIT};

// Whether the frame on show holds these texts of the language at their rows.
bool frame_shows(int32_t lang, int32_t first, int32_t count) {
    std::vector<uint8_t> before = frame_pixels();
    for (int32_t i = first; i < first + count; i++)
        draw_text_centred(frame_surface, message_text_in(lang, TITLE_IDS[i]), TITLE_ROWS[i], font_big);
    std::vector<uint8_t> after = frame_pixels();
    SDL_LockSurface(frame_surface);
    memcpy(frame_surface->pixels, before.data(), before.size());  // the frame's pitch is its width here
    SDL_UnlockSurface(frame_surface);
    return before == after;
}

// Polls checked on PRESS START (0) and on the main menu (1), and how many of
// them showed each language.
int32_t checked[2], shown[2][LANGUAGE_COUNT];

void observe(int32_t) {
    // The intro leaves the title's frame count at 0; the frame on show was
    // drawn at the count before this poll's; a spent replay moves the cursor.
    if (current_level != 0 || level_frame < 2 || (level_frame & 32) || ((level_frame - 1) & 32)) return;
    if (replay_exhausted() || (menu_state != MENU_PRESS_START && menu_state != MENU_NEW_GAME)) return;
    int32_t screen = menu_state == MENU_NEW_GAME;
    checked[screen]++;
    for (int32_t lang = 0; lang < LANGUAGE_COUNT; lang++)
        shown[screen][lang] += frame_shows(lang, screen ? 1 : 0, screen ? 5 : 1);
}

TEST(LanguageStartUp, TheTitleSpeaksTheLanguageOfTheCommandLineSettingOrLocale) {
    const struct {
        const char *language, *lc_all, *lang, *option, *setting;
        int32_t expected;
    } cases[] = {
        {nullptr, nullptr, "de_DE.UTF-8", nullptr, nullptr, 1}, {nullptr, nullptr, "de_DE.UTF-8", "en", nullptr, 0},
        {"fr:de", nullptr, nullptr, nullptr, nullptr, 2},       {"fr", "C", "de_DE.UTF-8", nullptr, nullptr, 0},
        {nullptr, nullptr, "de_DE.UTF-8", nullptr, "es", 3},    {nullptr, nullptr, "fr_FR.UTF-8", "de", "es", 1},
    };
    for (const auto& c : cases) {
        TempDir dir(true);
        LocaleVariables locale(c.language, c.lc_all, nullptr, c.lang);
        ASSERT_TRUE(write_file("menu.replay", TO_MAIN_MENU));
        ASSERT_TRUE(write_file("floob2-extras.cfg", c.setting ? std::string("language=") + c.setting + "\n" : ""));
        extras_load();
        setenv("FLOOB2_REPLAY", "menu.replay", 1);
        std::string words[4] = {"floob2", "-w", "--lang", c.option ? c.option : ""};
        char* argv[5] = {&words[0][0], &words[1][0], &words[2][0], &words[3][0], nullptr};
        // As in a new program: the scroller's line fetched afresh, the title from its start.
        title_state().scroller_length = 0;
        menu_state = MENU_PRESS_START;
        level_frame = 0;
        memset(checked, 0, sizeof checked);
        memset(shown, 0, sizeof shown);
        replay_set_observer(observe);
        EXPECT_EQ(0, run_game(c.option ? 4 : 2, argv));
        replay_set_observer(nullptr);
        replay_stop();
        unsetenv("FLOOB2_REPLAY");
        std::string what = std::string(c.language ? c.language : "-") + " " + (c.lc_all ? c.lc_all : "-") + " " +
                           (c.lang ? c.lang : "-") + " --lang " + words[3] + " setting " +
                           (c.setting ? c.setting : "-");
        EXPECT_EQ(c.expected, language) << what;
        for (int32_t screen = 0; screen < 2; screen++) {
            ASSERT_GT(checked[screen], 0) << what << " screen " << screen;
            for (int32_t lang = 0; lang < LANGUAGE_COUNT; lang++)
                EXPECT_EQ(lang == c.expected ? checked[screen] : 0, shown[screen][lang]) << what << " in " << lang;
        }
    }
    language = 0;
    extras_load();
}

}  // namespace
