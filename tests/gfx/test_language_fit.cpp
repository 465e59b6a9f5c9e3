// Every text of every language drawn where its screen draws it, with the
// game's own fonts: each line stays inside the 320-pixel frame or its field
// whole, every letter has a glyph of its own (never the box of a missing
// one), the stories keep a text on each of their lines, and the title
// scroller enters from an empty screen and leaves to one.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "floob.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/video.h"
#include "storage/archive.h"
#include "storage/messages.h"
#include "support/support.h"
#include "world/codes.h"

namespace {

enum { SMALL = 0, BIG = 1, CENTRED = -1, BOX_GLYPH = 127 - 32, SCROLLER_CHARS = 41 };

// Where a run of ids is drawn: the font, the left edge (CENTRED for
// draw_text_centred), the first column right of the room it has, and the
// number that the screen writes after it ("%s: %d"), -1 for none. Ids that no
// screen draws are held to a centred line of the small font.
struct Placement {
    int32_t first, last, font, x, right, number;
};

const Placement PLACEMENTS[] = {
    {MSG_IMPALED, MSG_KILLED_BY_ANDROID, BIG, CENTRED, 320, -1},  // death causes, play and game over
    {MSG_SPARE_CLASSIC_GRAPHICS, MSG_SPARE_DELUXE_GRAPHICS, SMALL, CENTRED, 320, -1},
    {MSG_TIME, MSG_AIR, SMALL, 4, 64, -1},                    // status labels, left of the bars at 64
    {MSG_PAUSE, MSG_FORGOT_EMERALDS, BIG, CENTRED, 320, -1},  // pause menu, play messages
    {MSG_GO_SUICIDE, MSG_GO_SUICIDE, SMALL, CENTRED, 320, -1},
    {MSG_PRESS_START, MSG_OPTIONS, BIG, CENTRED, 320, -1},  // title and main menu
    // Options: labels from 24 leave a cell before the values at 192.
    {MSG_OPTION_PRESS_START, MSG_NOT_AVAILABLE, SMALL, 192, 320, -1},
    {MSG_CONFIGURE_KEYS, MSG_CONFIGURE_KEYS, SMALL, 24, 184, -1},
    {MSG_PRESS_START_KEY, MSG_PRESS_PAUSE_KEY, SMALL, CENTRED, 320, -1},
    {MSG_CONFIGURE_PAD, MSG_CONFIGURE_PAD, SMALL, 24, 184, -1},
    {MSG_PRESS_START_BUTTON, MSG_PRESS_PAUSE_BUTTON, SMALL, CENTRED, 320, -1},
    {MSG_MUSIC_VOLUME, MSG_SFX_VOLUME, SMALL, 24, 184, -1},
    {MSG_SCREEN_SETTINGS, MSG_RESTART_TO_APPLY, SMALL, CENTRED, 320, -1},
    {MSG_USE_UP_TO_JUMP, MSG_USE_UP_TO_JUMP, SMALL, 24, 184, -1},
    {MSG_YES, MSG_NO, SMALL, 192, 320, -1},
    {MSG_SOUNDCHECK, MSG_BACK_TO_MENU, SMALL, 24, 184, -1},
    {MSG_APPLY_AND_BACK, MSG_ALREADY_USED, SMALL, CENTRED, 320, -1},
    {MSG_ENTER_NAME, MSG_SURE_TO_QUIT, BIG, CENTRED, 320, -1},
    {MSG_LEFT_FOR_YES, MSG_HISCORE_LOST, SMALL, CENTRED, 320, -1},
    {MSG_TIME_BONUS, MSG_TIME_BONUS, BIG, CENTRED, 320, LEVEL_TIME_LIMIT / 60},
    {MSG_LIFE_BONUS, MSG_LIFE_BONUS, BIG, CENTRED, 320, 99},
    {MSG_CONGRATULATIONS, MSG_OPENING_LAST, BIG, CENTRED, 320, -1},  // level end and stories
    {MSG_SCORE, MSG_SCORE, BIG, CENTRED, 320, 999999},
    {MSG_GAME_OVER, MSG_CREDITS, BIG, CENTRED, 320, -1},
    {MSG_CREDITS_FIRST, MSG_ANY_KEY, SMALL, CENTRED, 320, -1},
    {MSG_WARNING, MSG_WARNING, BIG, CENTRED, 320, -1},
    {MSG_WARNING_FIRST, MSG_SPARE_LAST, SMALL, CENTRED, 320, -1},
};

const uint32_t BACKGROUND = 0x010203;

uint32_t pixel(SDL_Surface* s, int x, int y) {
    return *(const uint32_t*)((const uint8_t*)s->pixels + y * s->pitch + x * 4);
}

int32_t ink_of(SDL_Surface* glyph) {
    int32_t n = 0;
    SDL_LockSurface(glyph);
    for (int y = 0; y < glyph->h; y++)
        for (int x = 0; x < glyph->w; x++) n += pixel(glyph, x, y) != glyph->format->colorkey;
    SDL_UnlockSurface(glyph);
    return n;
}

bool same_picture(SDL_Surface* a, SDL_Surface* b) {
    SDL_LockSurface(a);
    SDL_LockSurface(b);
    bool same = true;
    for (int y = 0; y < a->h && same; y++)
        same =
            memcmp((const uint8_t*)a->pixels + y * a->pitch, (const uint8_t*)b->pixels + y * b->pitch, a->w * 4) == 0;
    SDL_UnlockSurface(b);
    SDL_UnlockSurface(a);
    return same;
}

// What a line left on the frame: its lit pixels and their columns.
struct Drawn {
    int32_t pixels = 0, left = 320, right = -1;
};

Drawn drawn_on_frame() {
    Drawn d;
    SDL_LockSurface(frame_surface);
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++)
            if (pixel(frame_surface, x, y) != BACKGROUND) {
                d.pixels++;
                d.left = std::min(d.left, x);
                d.right = std::max(d.right, x);
            }
    SDL_UnlockSurface(frame_surface);
    return d;
}

class Languages : public ::testing::TestWithParam<int32_t> {
   protected:
    void SetUp() override {
        saved_frame = frame_surface;
        frame_surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 240, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0);
        archive_close_all();
        archive_open_all();
        fonts_load();
        ASSERT_TRUE(font_small && font_big);
        language = GetParam();
    }
    void TearDown() override {
        language = 0;
        fonts_free();
        archive_close_all();
        SDL_FreeSurface(frame_surface);
        frame_surface = saved_frame;
    }
    void clear() { SDL_FillRect(frame_surface, nullptr, BACKGROUND); }
    // The ink a line should leave when all of it is on the frame; a letter
    // drawn as the box of a missing glyph fails here.
    int32_t expected_ink(const std::string& text, Font font, const std::string& where) {
        int32_t n = 0;
        for (unsigned char c : text) {
            EXPECT_GE(c, 32) << where;
            if (c < 32) continue;
            SDL_Surface* glyph = font[c - 32];
            bool boxed = c != ' ' && same_picture(glyph, font[BOX_GLYPH]);
            EXPECT_FALSE(boxed) << where << ": no glyph for code " << (int)c;
            n += ink_of(glyph);
        }
        return n;
    }
    TempDir dir{true};
    SDL_Surface* saved_frame = nullptr;
};

TEST_P(Languages, EveryLineFitsWhereItsScreenDrawsIt) {
    int32_t placed[MESSAGE_COUNT] = {};
    for (const Placement& p : PLACEMENTS) {
        Font font = p.font == BIG ? font_big : font_small;
        for (int32_t id = p.first; id <= p.last; id++) {
            placed[id]++;
            std::string text = message_text(id);
            if (p.number >= 0) text += ": " + std::to_string(p.number);
            std::string where =
                "language " + std::to_string(GetParam()) + " id " + std::to_string(id) + " \"" + text + "\"";
            clear();
            if (p.x == CENTRED)
                draw_text_centred(frame_surface, text.c_str(), 100, font);
            else
                draw_text(frame_surface, text.c_str(), p.x, 100, font);
            Drawn d = drawn_on_frame();
            EXPECT_EQ(expected_ink(text, font, where), d.pixels) << where << ": cut off at the frame's edge";
            if (d.pixels == 0) continue;
            int32_t left = p.x == CENTRED ? 0 : p.x;
            EXPECT_GE(d.left, left) << where;
            EXPECT_LT(d.right, p.right) << where << ": runs past column " << p.right;
        }
    }
    for (int32_t id = 0; id < MSG_SCROLLER; id++) EXPECT_EQ(1, placed[id]) << "id " << id << " placed once";
    // The stories have a text on every line, as the English one does.
    for (int32_t id = MSG_FINALE_FIRST; id <= MSG_OPENING_LAST; id++) EXPECT_STRNE("", message_text(id)) << id;
}

TEST_P(Languages, TheScrollerEntersFromAndLeavesToAnEmptyScreen) {
    const char* line = message_text(MSG_SCROLLER);
    int32_t length = (int32_t)strlen(line);
    EXPECT_EQ(509, length);
    expected_ink(line, font_small, "scroller");
    // The title draws 41 characters from the offset, shifted left by up to
    // 7 pixels: the first window shows nothing until it moves, the last one
    // nothing at all.
    clear();
    draw_text_n(frame_surface, line, SCROLLER_CHARS, 0, 196, font_small);
    EXPECT_EQ(0, drawn_on_frame().pixels) << "the first window";
    for (int32_t shift : {0, 7}) {
        clear();
        draw_text_n(frame_surface, line + length - SCROLLER_CHARS, SCROLLER_CHARS, -shift, 196, font_small);
        EXPECT_EQ(0, drawn_on_frame().pixels) << "the last window, shift " << shift;
    }
    clear();
    draw_text_n(frame_surface, line + 40, SCROLLER_CHARS, 0, 196, font_small);
    EXPECT_GT(drawn_on_frame().pixels, 0) << "the tag line comes in after the first window";
}

INSTANTIATE_TEST_SUITE_P(Languages, Languages, ::testing::Values(0, 1, 2, 3));

}  // namespace
