#include "shell/intro.h"

#include <math.h>

#include "audio/music.h"
#include "floob.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/scale.h"
#include "gfx/video.h"
#include "shell/frame.h"
#include "storage/messages.h"

// The first screen test mode shows: the credits only.
int32_t intro_test_start_index = 2;

// The logo screen's images and jingle, loaded by its init and freed by its exit.
static SDL_Surface* mascot_image = nullptr;
static SDL_Surface* maker_logo_image = nullptr;
static ModPlugFile* jingle = nullptr;
// The screens' own state, written only here (tests reach it through intro_state).
static IntroState intro;

IntroState& intro_state() { return intro; }

struct IntroLine {
    int32_t y;
    int32_t message;
};

static const IntroLine WARNING_LINES[] = {{90, MSG_WARNING_FIRST},      {110, MSG_WARNING_FIRST + 1},
                                          {120, MSG_WARNING_FIRST + 2}, {130, MSG_WARNING_FIRST + 3},
                                          {150, MSG_WARNING_FIRST + 4}, {160, MSG_WARNING_FIRST + 5},
                                          {170, MSG_WARNING_FIRST + 6}, {200, MSG_ANY_KEY}};
static const IntroLine CREDITS_LINES[] = {{80, MSG_CREDITS_FIRST},      {90, MSG_CREDITS_FIRST + 1},
                                          {100, MSG_CREDITS_FIRST + 2}, {120, MSG_CREDITS_FIRST + 3},
                                          {130, MSG_CREDITS_FIRST + 4}, {150, MSG_CREDITS_FIRST + 5},
                                          {160, MSG_CREDITS_FIRST + 6}, {170, MSG_CREDITS_FIRST + 7},
                                          {180, MSG_CREDITS_FIRST + 8}, {210, MSG_ANY_KEY}};

// The mascot's circling path: 1024 x cos and sin of 2 pi i / 512, truncated.
static void build_motion_tables() {
    for (int32_t i = 0; i < 512; i++) {
        double angle = 2.0 * M_PI * i / 512.0;
        intro.cos_table[i] = (int32_t)(1024.0 * cos(angle));
        intro.sin_table[i] = (int32_t)(1024.0 * sin(angle));
    }
}

static int32_t logo_centre() { return (320 - maker_logo_image->w) / 2; }

static int logo_init() {
    build_motion_tables();
    mascot_image = load_image("qv-zumo", IMAGE_KEYED);
    maker_logo_image = load_image("qv-logo", IMAGE_KEYED);
    jingle = music_load(SONG_JINGLE);
    fill_rect(frame_surface, 0, 0, 320, 240, COLOUR_BLACK);
    intro.logo_x = 360;
    intro.logo_frame_count = 0;
    intro.mascot_x = 0;
    intro.mascot_y = 0;
    return 0;
}

static int logo_exit() {
    free_image(mascot_image);
    free_image(maker_logo_image);
    mascot_image = nullptr;
    maker_logo_image = nullptr;
    if (jingle) music_free(jingle);
    jingle = nullptr;
    return 0;
}

static int logo_update() {
    if (logo_centre() >= intro.logo_x) {
        if (button_released == BTN_JUMP || button_released == BTN_START) return 1;
        if (jingle && !music_is_playing()) return 1;
    }
    intro.logo_frame_count++;
    return 0;
}

static int logo_draw(SDL_Surface* surface) {
    int32_t logo_y = 180 - maker_logo_image->h;
    fill_rect(surface, intro.mascot_x, intro.mascot_y, mascot_image->w, mascot_image->h, COLOUR_BLACK);
    fill_rect(surface, intro.logo_x, logo_y, maker_logo_image->w, maker_logo_image->h, COLOUR_BLACK);
    // The shifts are arithmetic, so each offset lies in -8..8.
    intro.mascot_x = 160 - mascot_image->w / 2 + (intro.cos_table[intro.logo_frame_count % 512] >> 7);
    intro.mascot_y = 100 - mascot_image->h / 2 + (intro.sin_table[(3 * intro.logo_frame_count) % 512] >> 7);
    blit_at(mascot_image, intro.mascot_x, intro.mascot_y, surface);
    int32_t centre = logo_centre();
    if (centre < intro.logo_x) {
        // Two-pixel steps from 360 need not meet the centre exactly; the last
        // step is shortened so that the logo always stops there and the
        // jingle always starts.
        intro.logo_x -= 2;
        if (intro.logo_x < centre) intro.logo_x = centre;
        if (intro.logo_x == centre && jingle) music_play(jingle, 1);
    }
    blit_at(maker_logo_image, intro.logo_x, logo_y, surface);
    return 0;
}

static int any_key_init() {
    last_pad_button = -1;
    last_key = 0;
    return 0;
}

static int nothing_exit() { return 0; }

static int any_key_update() { return last_key > 0 || last_pad_button >= 0; }

static void draw_text_screen(SDL_Surface* surface, int32_t* blink, int32_t title, const IntroLine* lines,
                             int32_t count) {
    fill_rect(surface, 0, 0, 320, 240, COLOUR_BLACK);
    (*blink)++;
    if (!(*blink & 32)) draw_text_centred(surface, message_text(title), 40, font_big);
    for (int32_t i = 0; i < count; i++)
        draw_text_centred(surface, message_text(lines[i].message), lines[i].y, font_small);
}

static int warning_draw(SDL_Surface* surface) {
    draw_text_screen(surface, &intro.warning_blink, MSG_WARNING, WARNING_LINES,
                     sizeof WARNING_LINES / sizeof WARNING_LINES[0]);
    return 0;
}

static int credits_draw(SDL_Surface* surface) {
    draw_text_screen(surface, &intro.credits_blink, MSG_CREDITS, CREDITS_LINES,
                     sizeof CREDITS_LINES / sizeof CREDITS_LINES[0]);
    return 0;
}

const IntroScreen intro_screens[] = {
    {"zumo", logo_init, logo_exit, logo_update, logo_draw},
    {"warning", any_key_init, nothing_exit, any_key_update, warning_draw},
    {"opensource", any_key_init, nothing_exit, any_key_update, credits_draw},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

void run_screen_table(const IntroScreen* table, int start_index) {
    // A start index outside the table shows no screen rather than reading past its end.
    int count = 0;
    while (table[count].name) count++;
    if (start_index < 0 || start_index > count) return;
    for (int i = start_index; i < count; i++) {
        const IntroScreen* screen = &table[i];
        button_released = 0;
        screen->init();
        frame_timer_reset();
        while (!screen->update()) {
            if (!skip_draw) {
                screen->draw(frame_surface);
                present_frame();
            }
            frame_wait();
            poll_events();
        }
        screen->exit();
    }
}

void run_intro_screens(int start_index) { run_screen_table(intro_screens, start_index); }
