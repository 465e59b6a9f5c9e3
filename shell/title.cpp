#include "shell/title.h"

#include <SDL_mixer.h>
#include <stdio.h>
#include <string.h>

#include "audio/music.h"
#include "audio/sound.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/scale.h"
#include "gfx/video.h"
#include "shell/controls.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "storage/config.h"
#include "storage/hiscore.h"
#include "storage/messages.h"
#include "world/actors.h"
#include "world/map.h"
#include "world/playscreen.h"

// The sound check's track: set by the options screen, cleared at the loop's entry.
int32_t soundcheck_track = 0;

// The title's own state, written only here (tests reach it through title_state).
static TitleState title = {"", 0, 0, 0, 0, 0, 0};

TitleState& title_state() { return title; }

static const char VERSION_TEXT[] = "FLOOB 2 V1.10";

enum { OPTION_ROWS = 8, REPEAT_FRAMES = 10, SOUNDCHECK_LAST = 10, SCROLLER_CHARS = 41 };

// Main menu entries 1..5 and their rows.
static const int32_t MENU_MESSAGES[5] = {MSG_NEW_GAME, MSG_CONTINUE, MSG_HISCORES, MSG_OPTIONS, MSG_EXIT};
static const int32_t MENU_ROWS_Y[5] = {104, 122, 140, 158, 176};

// Options rows: label message and y.
static const int32_t OPTION_LABELS[OPTION_ROWS] = {MSG_CONFIGURE_KEYS,   MSG_CONFIGURE_PAD,  MSG_MUSIC_VOLUME,
                                                   MSG_SFX_VOLUME,       MSG_USE_UP_TO_JUMP, MSG_SOUNDCHECK,
                                                   MSG_RESET_TO_DEFAULT, MSG_BACK_TO_MENU};
static const int32_t OPTION_ROWS_Y[OPTION_ROWS] = {90, 100, 110, 120, 130, 140, 150, 182};

// Key capture prompts in capture order: start, left, right, up, down, jump, pause.
static const int32_t KEY_PROMPTS[7] = {MSG_PRESS_START_KEY, MSG_PRESS_LEFT_KEY, MSG_PRESS_RIGHT_KEY, MSG_PRESS_UP_KEY,
                                       MSG_PRESS_DOWN_KEY,  MSG_PRESS_JUMP_KEY, MSG_PRESS_PAUSE_KEY};
static const int32_t PAD_PROMPTS[3] = {MSG_PRESS_START_BUTTON, MSG_PRESS_JUMP_BUTTON, MSG_PRESS_PAUSE_BUTTON};

static int32_t* key_binding_for_step(int32_t step) {
    int32_t* const bindings[7] = {&k_start, &k_left, &k_right, &k_up, &k_down, &k_jump, &k_pause};
    return step >= 0 && step < 7 ? bindings[step] : nullptr;
}

static int32_t* pad_binding_for_step(int32_t step) {
    int32_t* const bindings[3] = {&j_start, &j_jump, &j_pause};
    return step >= 0 && step < 3 ? bindings[step] : nullptr;
}

void reset_scroller() {
    if (title.scroller_length == 0) {
        title.scroller_text = message_text(MSG_SCROLLER);
        title.scroller_length = (int32_t)strlen(title.scroller_text);
    }
    title.scroller_offset = 0;
    title.scroller_pixel = 0;
}

// The released button as the main menu sees it: jump counts as up when both share a key.
static int32_t menu_released() {
    if (button_released == BTN_JUMP && k_jump == k_up) return BTN_UP;
    return button_released;
}

static int is_menu_action(int32_t released) {
    return released == BTN_START || released == BTN_PAUSE || released == BTN_JUMP;
}

static void play_track(int32_t track) {
    music_free(current_module);
    current_module = music_load(track);
    music_play(current_module, -1);
}

// Sets the music volume; when it rises from silence, where no song was
// started, the screen's current song starts now instead of at the next song
// change.
static void set_music_volume(int32_t scaled) {
    music_set_volume(scaled);
    if (scaled > 0 && !music_is_playing() && current_module) music_play(current_module, -1);
}

static int32_t step_press_start(Hero* hero) {
    int32_t released = menu_released();
    if (is_menu_action(released)) {
        // Swallow the press: keep the title running until the release has passed.
        while (is_menu_action(menu_released())) {
            world_step_scenery(hero);
            show_play_screen(level_frame, hero, 1);
            read_controls(0, 0);
        }
        menu_state = saved_level > 0 ? MENU_CONTINUE : MENU_NEW_GAME;
    } else if (released == BTN_DOWN || released == BTN_RIGHT) {
        menu_state = MENU_NEW_GAME;
        sound_play(SND_KLONK);
    } else if (released == BTN_UP || released == BTN_LEFT) {
        menu_state = MENU_EXIT;
        sound_play(SND_KLONK);
    }
    return 0;
}

static int32_t step_main_menu() {
    int32_t released = menu_released();
    if (released == BTN_DOWN || released == BTN_RIGHT) {
        menu_state = menu_state == MENU_EXIT ? MENU_NEW_GAME : menu_state + 1;
        sound_play(SND_KLONK);
    } else if (released == BTN_UP || released == BTN_LEFT) {
        menu_state = menu_state == MENU_NEW_GAME ? MENU_EXIT : menu_state - 1;
        sound_play(SND_KLONK);
    } else if (is_menu_action(released)) {
        switch (menu_state) {
            case MENU_NEW_GAME:
            case MENU_CONTINUE:
                sound_play(SND_JIPIE);
                return menu_state;
            case MENU_EXIT:
                sound_play(SND_AJ);
                return MENU_EXIT;
            case MENU_HISCORES:
                menu_state = MENU_HISCORE_VIEW;
                break;
            case MENU_OPTIONS:
                menu_state = MENU_OPTIONS_SCREEN;
                title.options_cursor = 0;
                config_mode = 0;
                title.repeat_delay = 0;
                config_duplicate = 0;
                title.options_changed = 0;
                break;
        }
    }
    return 0;
}

static void step_hiscore_view() {
    int32_t released = button_released;
    if (released == BTN_START || released == BTN_PAUSE || (released == BTN_JUMP && k_jump != k_up)) {
        menu_state = MENU_HISCORES;
        highlighted_entry = -1;
    }
}

static void choose_option_row() {
    wait_all_released();
    switch (title.options_cursor) {
        case 0:
            k_start = k_left = k_right = k_up = k_down = k_jump = k_pause = -1;
            config_mode = 1;
            config_duplicate = 0;
            title.options_changed = 1;
            config_step = 0;
            title.repeat_delay = REPEAT_FRAMES;
            break;
        case 1:
            if (joystick) {
                j_start = j_jump = j_pause = -1;
                config_mode = 1;
                config_duplicate = 0;
                title.options_changed = 1;
            }
            config_step = 0;
            title.repeat_delay = REPEAT_FRAMES;
            break;
        case 6:
            up2jump = 0;
            apply_default_bindings();
            mus_volume = config_default(&mus_volume);
            set_music_volume(mixer_volume(mus_volume));
            sfx_volume = config_default(&sfx_volume);
            sound_apply_volume();
            title.options_changed = 1;
            title.repeat_delay = REPEAT_FRAMES;
            break;
        case 7:
            menu_state = MENU_OPTIONS;
            if (title.options_changed) config_save();
            if (soundcheck_track != 0) {
                play_track(SONG_TITLE);
                soundcheck_track = 0;
            }
            break;
        default:
            break;
    }
}

static int32_t step_volume(int32_t volume, int32_t up) {
    if (up) return volume > 95 ? 100 : volume + 5;
    return volume < 5 ? 0 : volume - 5;
}

static void change_option(int32_t up) {
    switch (title.options_cursor) {
        case 2:
            mus_volume = step_volume(mus_volume, up);
            title.options_changed = 1;
            set_music_volume(mixer_volume(mus_volume));
            break;
        case 3:
            sfx_volume = step_volume(sfx_volume, up);
            sound_apply_volume();
            sound_play(SND_TADA);
            title.options_changed = 1;
            break;
        case 4:
            up2jump = !up2jump;
            title.options_changed = 1;
            break;
        case 5:
            if (up)
                soundcheck_track = soundcheck_track == SOUNDCHECK_LAST ? 0 : soundcheck_track + 1;
            else
                soundcheck_track = soundcheck_track == 0 ? SOUNDCHECK_LAST : soundcheck_track - 1;
            play_track(soundcheck_track);
            break;
    }
    title.repeat_delay = REPEAT_FRAMES;
}

static int pressed(int32_t button) { return button_released == button || (buttons_held & button); }

static void step_options() {
    if (button_released == BTN_START || button_released == BTN_JUMP) {
        choose_option_row();
        return;
    }
    if (title.repeat_delay != 0) {
        if (title.repeat_delay > 0) title.repeat_delay--;
        return;
    }
    if (pressed(BTN_UP)) {
        title.options_cursor = title.options_cursor == 0 ? OPTION_ROWS - 1 : title.options_cursor - 1;
        title.repeat_delay = REPEAT_FRAMES;
    } else if (pressed(BTN_DOWN)) {
        title.options_cursor = title.options_cursor == OPTION_ROWS - 1 ? 0 : title.options_cursor + 1;
        title.repeat_delay = REPEAT_FRAMES;
    } else if (title.options_cursor >= 2 && title.options_cursor <= 5) {
        if (pressed(BTN_RIGHT))
            change_option(1);
        else if (pressed(BTN_LEFT))
            change_option(0);
    }
}

static void step_capture() {
    if (title.repeat_delay != 0) {
        if (title.repeat_delay > 0) title.repeat_delay--;
        return;
    }
    if (last_pad_button == -1 && last_key == 0) return;
    // Escape (or closing the window) ends the program at the next frame; it
    // is never taken as a binding.
    if (quit_request || last_key == SDLK_ESCAPE) return;
    if (title.options_cursor == 0) {
        int32_t* binding = key_binding_for_step(config_step);
        if (binding) capture_key(binding);
    } else if (title.options_cursor == 1) {
        int32_t* binding = pad_binding_for_step(config_step);
        if (binding) capture_pad_button(binding);
    }
}

int32_t title_menu_step(Hero* hero) {
    if (!(menu_state == MENU_OPTIONS_SCREEN && config_mode)) scroll_camera(1);
    if (menu_state == MENU_PRESS_START) return step_press_start(hero);
    if (menu_state >= MENU_NEW_GAME && menu_state <= MENU_EXIT) return step_main_menu();
    if (menu_state == MENU_HISCORE_VIEW) {
        step_hiscore_view();
    } else if (menu_state == MENU_OPTIONS_SCREEN) {
        if (config_mode)
            step_capture();
        else
            step_options();
    }
    return 0;
}

static void draw_hiscore_view() {
    draw_dim_panel();
    draw_text_centred(frame_surface, message_text(MSG_HISCORES), 16, font_big);
    for (int32_t i = 0; i < HISCORE_ROWS; i++) {
        if (i == highlighted_entry && (level_frame & 32)) continue;
        int32_t y = 48 + 18 * i;
        char name[9];
        memcpy(name, hiscore_table[i].name, 8);
        name[8] = 0;
        char score[16];
        snprintf(score, sizeof score, "%05d", (int)hiscore_table[i].score);
        draw_text(frame_surface, name, 48, y, font_big);
        draw_text(frame_surface, score, 192, y, font_big);
    }
}

static const char* option_value(int32_t row, char* buffer, int32_t size) {
    switch (row) {
        case 0:
            return message_text(MSG_OPTION_PRESS_START);
        case 1:
            return message_text(joystick ? MSG_OPTION_PRESS_START : MSG_NOT_AVAILABLE);
        case 2:
            snprintf(buffer, size, "%d", (int)mus_volume);
            return buffer;
        case 3:
            snprintf(buffer, size, "%d", (int)sfx_volume);
            return buffer;
        case 4:
            return message_text(up2jump ? MSG_YES : MSG_NO);
        case 5:
            return song_title(soundcheck_track);
        default:
            return nullptr;
    }
}

static void draw_options_screen() {
    draw_dim_panel();
    draw_text_centred(frame_surface, message_text(MSG_OPTIONS), 40, font_big);
    draw_text_centred(frame_surface, VERSION_TEXT, 208, font_big);
    if (config_mode && (title.options_cursor == 0 || title.options_cursor == 1)) {
        int32_t prompt = -1;
        if (title.options_cursor == 0 && config_step >= 0 && config_step < 7) prompt = KEY_PROMPTS[config_step];
        if (title.options_cursor == 1 && config_step >= 0 && config_step < 3) prompt = PAD_PROMPTS[config_step];
        if (prompt >= 0) draw_text_centred(frame_surface, message_text(prompt), 124, font_small);
        if (config_duplicate) draw_text_centred(frame_surface, message_text(MSG_ALREADY_USED), 140, font_small);
        return;
    }
    for (int32_t row = 0; row < OPTION_ROWS; row++) {
        draw_text(frame_surface, message_text(OPTION_LABELS[row]), 24, OPTION_ROWS_Y[row], font_small);
        char buffer[16];
        const char* value = option_value(row, buffer, sizeof buffer);
        if (value) draw_text(frame_surface, value, 192, OPTION_ROWS_Y[row], font_small);
    }
    int32_t cursor_y = title.options_cursor < 7 ? 90 + 10 * title.options_cursor : 182;
    draw_text(frame_surface, ">", 14, cursor_y, font_small);
}

int32_t title_after_draw(Hero*) {
    if (menu_state == MENU_HISCORE_VIEW || menu_state == MENU_OPTIONS_SCREEN) {
        if (!skip_draw) {
            if (menu_state == MENU_HISCORE_VIEW)
                draw_hiscore_view();
            else
                draw_options_screen();
        }
        return 1;
    }
    title.scroller_pixel++;
    if (title.scroller_pixel == 16) {
        title.scroller_pixel = 0;
        title.scroller_offset++;
        if (title.scroller_offset >= title.scroller_length) title.scroller_offset = 0;
    }
    return 0;
}

void draw_title_overlay(int32_t frame) {
    if (logo_image) blit_at(logo_image, (320 - logo_image->w) / 2, 0, frame_surface);
    draw_text_centred(frame_surface, VERSION_TEXT, 216, font_big);
    if (title.scroller_offset < title.scroller_length)
        draw_text_n(frame_surface, title.scroller_text + title.scroller_offset, SCROLLER_CHARS,
                    -(title.scroller_pixel / 2), 196, font_small);
    if (menu_state == MENU_PRESS_START) {
        if (!(frame & 32)) draw_text_centred(frame_surface, message_text(MSG_PRESS_START), 128, font_big);
    } else if (menu_state >= MENU_NEW_GAME && menu_state <= MENU_EXIT) {
        for (int32_t i = 0; i < 5; i++) {
            if (i + 1 == menu_state && (frame & 32)) continue;
            draw_text_centred(frame_surface, message_text(MENU_MESSAGES[i]), MENU_ROWS_Y[i], font_big);
        }
    }
}
