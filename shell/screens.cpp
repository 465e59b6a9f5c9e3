#include "shell/screens.h"

#include <stdio.h>

#include "audio/music.h"
#include "audio/sound.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/scale.h"
#include "gfx/video.h"
#include "shell/controls.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "shell/nameentry.h"
#include "shell/replay.h"
#include "shell/title.h"
#include "storage/messages.h"
#include "world/actors.h"
#include "world/hero.h"
#include "world/playscreen.h"

enum {
    LEVEL_END_FIRST_FRAME = 192,
    LEVEL_END_TIME_BONUS_FRAME = 282,
    LEVEL_END_LIFE_BONUS_FRAME = 342,
    LEVEL_END_LAST_FRAME = 552,
    STORY_POLL_MS = 100
};

struct StoryLine {
    int32_t y;
    int32_t message;
};

static const StoryLine OPENING_LINES[] = {{40, MSG_OPENING_FIRST},      {60, MSG_OPENING_FIRST + 1},
                                          {80, MSG_OPENING_FIRST + 2},  {100, MSG_OPENING_FIRST + 3},
                                          {120, MSG_OPENING_FIRST + 4}, {140, MSG_OPENING_FIRST + 5},
                                          {160, MSG_OPENING_FIRST + 6}, {180, MSG_OPENING_FIRST + 7}};
static const StoryLine FINALE_LINES[] = {
    {70, MSG_FINALE_FIRST}, {90, MSG_FINALE_FIRST + 1}, {110, MSG_FINALE_FIRST + 2}, {150, MSG_FINALE_FIRST + 3}};

static void show_story(const StoryLine* lines, int32_t count) {
    fill_rect(frame_surface, 0, 0, 320, 240, COLOUR_BLACK);
    for (int32_t i = 0; i < count; i++)
        draw_text_centred(frame_surface, message_text(lines[i].message), lines[i].y, font_big);
    present_frame();
}

// Blocks until an action is released or a quit is requested, polling ten times
// a second (a replay brings its own clock and does not sleep).
static void wait_for_action_or_quit(int32_t level) {
    while (!action_released() && !quit_request) {
        read_controls(level, 0);
        if (!replay_active()) SDL_Delay(STORY_POLL_MS);
    }
}

void level_end_sequence(Hero* hero) {
    sound_play(SND_JIPIE);
    char time_text[64];
    char life_text[64];
    snprintf(time_text, sizeof time_text, "%s: %d", message_text(MSG_TIME_BONUS), (int)(level_timer / 60));
    snprintf(life_text, sizeof life_text, "%s: %d", message_text(MSG_LIFE_BONUS), (int)lives);
    music_free(current_module);
    current_module = music_load(SONG_LEVEL_COMPLETE);
    music_play(current_module, 0);
    hero->alive = 0;
    frame_timer_reset();
    for (int32_t t = LEVEL_END_FIRST_FRAME; t < LEVEL_END_LAST_FRAME; t++) {
        // Input is thrown away; Escape only raises the quit signal for later.
        poll_events();
        buttons_held = 0;
        button_released = 0;
        if (t == LEVEL_END_TIME_BONUS_FRAME) add_points(level_timer / 60);
        if (t == LEVEL_END_LIFE_BONUS_FRAME) add_points(lives);
        draw_play_frame(t, hero);
        if (!skip_draw) {
            draw_dim_panel();
            draw_text_centred(frame_surface, message_text(MSG_CONGRATULATIONS), 70, font_big);
            if (t >= LEVEL_END_TIME_BONUS_FRAME) draw_text_centred(frame_surface, time_text, 110, font_big);
            if (t >= LEVEL_END_LIFE_BONUS_FRAME) draw_text_centred(frame_surface, life_text, 130, font_big);
            if (current_level <= 9 && !(t & 32)) {
                draw_text_centred(frame_surface, message_text(MSG_NEXT_STAGE), 160, font_big);
                draw_text_centred(frame_surface, message_text(MSG_COMING_UP), 180, font_big);
            }
            present_frame();
        }
        frame_wait();
    }
    hero->alive = 1;
}

void opening_story() {
    wait_for_release();
    show_story(OPENING_LINES, sizeof OPENING_LINES / sizeof OPENING_LINES[0]);
    wait_for_action_or_quit(current_level);
    if (quit_request) {
        quit_signal = 0;
        quit_request = 0;
        reset_game(-1);
    }
}

void finale(Hero* hero) {
    // The last level's fanfare is over by now; the story and the name entry play
    // the title song, as game over does, instead of silence.
    music_free(current_module);
    current_module = music_load(SONG_TITLE);
    music_play(current_module, -1);
    wait_for_release();
    show_story(FINALE_LINES, sizeof FINALE_LINES / sizeof FINALE_LINES[0]);
    wait_for_action_or_quit(-1);
    wait_for_release();
    if (quit_request) {
        quit_request = 0;
        quit_signal = 0;
    }
    // The name entry takes no quit; a window closed during it ends the program on the title.
    window_close_seen = 0;
    int32_t row = name_entry(hero);
    reset_game(row);
    if (row >= 0) menu_state = MENU_HISCORE_VIEW;
    quit_signal = window_close_seen;
}

int32_t game_over(Hero* hero) {
    music_free(current_module);
    current_module = music_load(SONG_TITLE);
    music_play(current_module, -1);
    // Game over, the name entry and CONTINUE? take no quit; a window closed
    // during them is honoured by the screen after them (the title ends the program).
    window_close_seen = 0;
    wait_for_release();
    char score_text[64];
    snprintf(score_text, sizeof score_text, "%s: %d", message_text(MSG_SCORE), (int)points);
    frame_timer_reset();
    while (!action_released()) {
        read_controls(current_level, 0);
        world_step_scenery(hero);
        level_frame++;
        draw_play_frame(level_frame, hero);
        if (!skip_draw) {
            draw_text_centred(frame_surface, message_text(MSG_GAME_OVER), 96, font_big);
            draw_text_centred(frame_surface, score_text, 136, font_big);
            if (!(level_frame & 32) && death_message[0]) draw_text_centred(frame_surface, death_message, 116, font_big);
            present_frame();
        }
        frame_wait();
    }
    wait_for_release();
    death_message[0] = 0;
    highlighted_entry = name_entry(hero);
    frame_timer_reset();
    // Only a press made while the question shows answers it: an arrow still
    // held from the name entry (whose last letter is accepted with RIGHT) must
    // be let go first, or its release would answer "no" unasked.
    int32_t armed = 0;
    int32_t answer = 0;
    do {
        armed = armed || !(buttons_held & (BTN_LEFT | BTN_RIGHT));
        read_controls(current_level, 0);
        if (armed) answer = button_released;
        world_step_scenery(hero);
        draw_play_frame(level_frame, hero);
        if (!skip_draw) {
            draw_dim_panel();
            draw_text_centred(frame_surface, message_text(MSG_CONTINUE_QUESTION), 96, font_big);
            draw_text_centred(frame_surface, message_text(MSG_LEFT_FOR_YES), 128, font_small);
            present_frame();
        }
        frame_wait();
        level_frame++;
    } while (answer != BTN_LEFT && answer != BTN_RIGHT);
    int32_t yes = answer == BTN_LEFT;
    quit_request = 0;
    int32_t level = current_level;
    reset_game(highlighted_entry);
    quit_signal = window_close_seen;
    if (yes) {
        current_level = level;
        return 1;
    }
    if (highlighted_entry >= 0) menu_state = MENU_HISCORE_VIEW;
    return 0;
}
