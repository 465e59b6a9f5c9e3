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

const int32_t MENU_ROWS_Y[5] = {104, 122, 140, 158, 176};
const int32_t MENU_IDS[5] = {MSG_NEW_GAME, MSG_CONTINUE, MSG_HISCORES, MSG_OPTIONS, MSG_EXIT};

std::vector<uint8_t> frame_bytes() {
    SDL_Surface* s = frame_surface;
    std::vector<uint8_t> out;
    SDL_LockSurface(s);
    for (int32_t y = 0; y < s->h; y++) {
        const uint8_t* row = (const uint8_t*)s->pixels + y * s->pitch;
        out.insert(out.end(), row, row + s->w * s->format->BytesPerPixel);
    }
    SDL_UnlockSurface(s);
    return out;
}

// Whether the frame on show holds these texts of the language at these rows.
bool frame_shows(int32_t lang, const int32_t* ids, const int32_t* rows, int32_t count) {
    std::vector<uint8_t> before = frame_bytes();
    for (int32_t i = 0; i < count; i++)
        draw_text_centred(frame_surface, message_text_in(lang, ids[i]), rows[i], font_big);
    std::vector<uint8_t> after = frame_bytes();
    SDL_LockSurface(frame_surface);
    memcpy(frame_surface->pixels, before.data(), before.size());  // the frame's pitch is its width here
    SDL_UnlockSurface(frame_surface);
    return before == after;
}

struct Seen {
    int32_t title = 0, menu = 0;  // polls at which the screen was checked
    int32_t title_in[LANGUAGE_COUNT] = {}, menu_in[LANGUAGE_COUNT] = {};
};
Seen seen;

void observe(int32_t) {
    // The intro leaves the title's frame count at 0; the frame on show was
    // drawn at the count before this poll's.
    if (current_level != 0 || level_frame < 2 || (level_frame & 32) || ((level_frame - 1) & 32)) return;
    if (replay_exhausted()) return;  // a spent replay presses start and right: the cursor moves
    const int32_t press_start_id = MSG_PRESS_START, press_start_y = 128;
    for (int32_t lang = 0; lang < LANGUAGE_COUNT; lang++) {
        if (menu_state == MENU_PRESS_START)
            seen.title_in[lang] += frame_shows(lang, &press_start_id, &press_start_y, 1);
        if (menu_state == MENU_NEW_GAME) seen.menu_in[lang] += frame_shows(lang, MENU_IDS, MENU_ROWS_Y, 5);
    }
    seen.title += menu_state == MENU_PRESS_START;
    seen.menu += menu_state == MENU_NEW_GAME;
}

const char* const LOCALE_VARIABLES[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

TEST(LanguageStartUp, TheTitleSpeaksTheLanguageOfTheCommandLineSettingOrLocale) {
    const struct {
        const char* locale[4];  // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
        const char* option;     // after --lang
        const char* setting;    // language= in floob2-extras.cfg
        int32_t expected;
    } cases[] = {
        {{nullptr, nullptr, nullptr, "de_DE.UTF-8"}, nullptr, nullptr, 1},
        {{nullptr, nullptr, nullptr, "de_DE.UTF-8"}, "en", nullptr, 0},
        {{"fr:de", nullptr, nullptr, nullptr}, nullptr, nullptr, 2},
        {{"fr", "C", nullptr, "de_DE.UTF-8"}, nullptr, nullptr, 0},
        {{nullptr, nullptr, nullptr, "de_DE.UTF-8"}, nullptr, "es", 3},
        {{nullptr, nullptr, nullptr, "fr_FR.UTF-8"}, "de", "es", 1},
    };
    std::string saved[4];
    bool had[4];
    for (int i = 0; i < 4; i++) {
        const char* v = getenv(LOCALE_VARIABLES[i]);
        had[i] = v != nullptr;
        saved[i] = v ? v : "";
    }
    for (const auto& c : cases) {
        TempDir dir(true);
        ASSERT_TRUE(write_file("menu.replay", TO_MAIN_MENU));
        std::string extras = c.setting ? std::string("language=") + c.setting + "\n" : std::string("# none\n");
        ASSERT_TRUE(write_file("floob2-extras.cfg", extras));
        extras_load();
        for (int i = 0; i < 4; i++) {
            if (c.locale[i])
                setenv(LOCALE_VARIABLES[i], c.locale[i], 1);
            else
                unsetenv(LOCALE_VARIABLES[i]);
        }
        setenv("FLOOB2_REPLAY", "menu.replay", 1);
        std::string program = "floob2", lang_flag = "--lang", name = c.option ? c.option : "", window = "-w";
        std::vector<char*> argv = {&program[0], &window[0]};
        if (c.option) {
            argv.push_back(&lang_flag[0]);
            argv.push_back(&name[0]);
        }
        argv.push_back(nullptr);
        seen = Seen();
        // As in a new program: the scroller's line fetched afresh, the title's state from the start.
        title_state().scroller_length = 0;
        menu_state = MENU_PRESS_START;
        level_frame = 0;
        replay_set_observer(observe);
        EXPECT_EQ(0, run_game((int)argv.size() - 1, argv.data()));
        replay_set_observer(nullptr);
        replay_stop();
        unsetenv("FLOOB2_REPLAY");
        std::string what = std::string(c.locale[0] ? c.locale[0] : "-") + " " + (c.locale[1] ? c.locale[1] : "-") +
                           " " + (c.locale[3] ? c.locale[3] : "-") + " --lang " + name + " setting " +
                           (c.setting ? c.setting : "-");
        EXPECT_EQ(c.expected, language) << what;
        ASSERT_GT(seen.title, 0) << what;
        ASSERT_GT(seen.menu, 0) << what;
        for (int32_t lang = 0; lang < LANGUAGE_COUNT; lang++) {
            EXPECT_EQ(lang == c.expected ? seen.title : 0, seen.title_in[lang]) << what << ": PRESS START in " << lang;
            EXPECT_EQ(lang == c.expected ? seen.menu : 0, seen.menu_in[lang]) << what << ": main menu in " << lang;
        }
    }
    for (int i = 0; i < 4; i++) {
        if (had[i])
            setenv(LOCALE_VARIABLES[i], saved[i].c_str(), 1);
        else
            unsetenv(LOCALE_VARIABLES[i]);
    }
    language = 0;
    extras_load();
}

}  // namespace
