#include "shell/game.h"

#include <stdlib.h>

#include "audio/music.h"
#include "audio/sound.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/scale.h"
#include "gfx/video.h"
#include "shell/controls.h"
#include "shell/frame.h"
#include "shell/replay.h"
#include "shell/screens.h"
#include "shell/title.h"
#include "storage/messages.h"
#include "storage/savegame.h"
#include "world/backdrop.h"
#include "world/codes.h"
#include "world/hero.h"
#include "world/level.h"
#include "world/playscreen.h"
#include "world/world.h"

enum { GAME_POLL_SLEEP_MS = 100, GAME_FIRST_LEVEL = 1, GAME_LAST_LEVEL = 10, GAME_FINALE = 11, GAME_TRACKS = 12 };

// Where the loop goes next; each value is one of the named steps of the flow.
enum {
    FLOW_SETUP,
    FLOW_QUIT,
    FLOW_LIFE_OVER,
    FLOW_LEVEL_DONE,
    FLOW_START_GAME,
    FLOW_LEVEL_ENTRY,
    FLOW_NEXT_LEVEL,
    FLOW_RETURN
};

// The game flow's state, written by the loop and the screens it runs.
int32_t current_level = 0;  // -1 test map, 0 title, 1..10 play levels, 11 finale
int32_t menu_state = 0;     // title menus (0 press start, 1..5 main menu, -3 scores, -4 options), pause cursor 1..3
int32_t paused = 0;         // 1 while the pause menu is open; opened by read_controls
int32_t quit_request = 0;   // 1 when the flow is to quit or ask; set from the quit signal and by the menus
int32_t highlighted_entry = -1;           // high-score row that blinks on the high-score view, -1 none
int32_t saved_level = 0;                  // last completed level, from the save game
int32_t level_frame = 0;                  // frames since the current life started; the screens blink by it
ModPlugFile* current_module = nullptr;    // the music module the loop owns; the screens change songs through it
int32_t loop_end_reason = LOOP_END_QUIT;  // how the last game_loop ended, for the replay driver
int32_t loop_lives_lost = 0;              // lives lost during the last game_loop, for the replay driver

static int32_t restart_music = 1;  // 1 when the next level setup starts the level's song
static int32_t menu_choice = 0;    // the main-menu entry the title chose

// The blocking waits poll every 100 ms; a replay has its own clock and does not sleep.
static void sleep_between_polls() {
    if (!replay_active()) SDL_Delay(GAME_POLL_SLEEP_MS);
}

void reset_game(int32_t highlight) {
    points = 0;
    lives = START_LIVES;
    current_level = 0;
    menu_state = 0;
    highlighted_entry = highlight;
    reset_scroller();
    death_message[0] = 0;
}

int action_released() {
    return button_released == BTN_START || button_released == BTN_JUMP || button_released == BTN_PAUSE;
}

void wait_for_release() {
    while (action_released()) {
        read_controls(-1, 0);
        sleep_between_polls();
    }
}

void show_frame() {
    if (!skip_draw) present_frame();
    frame_wait();
}

void draw_play_frame(int32_t frame, const Hero* hero) {
    if (skip_draw) return;
    const PlayView view = {current_level, paused, menu_state, quit_request};
    draw_play_screen(frame, hero, &view);
}

void show_play_screen(int32_t frame, const Hero* hero, int32_t present) {
    draw_play_frame(frame, hero);
    if (!skip_draw && frame_surface && hero && current_level == 0 && menu_state >= 0) draw_title_overlay(frame);
    if (present) show_frame();
}

static void free_current_module() {
    if (current_module) music_free(current_module);
    current_module = nullptr;
}

static void reset_world() {
    world_new_game();
    quit_request = 0;
    paused = 0;
    reset_game(-1);
}

static void setup_level(int32_t test) {
    if (frame_surface) fill_rect(frame_surface, 0, 0, 320, 240, COLOUR_BLACK);
    world_start_life(test ? nullptr : level_map_name(current_level), current_level == 0);
    choose_level_backdrop(test || current_level == 0 ? nullptr : level_map_name(current_level));
    if (restart_music) {
        int32_t track = current_level <= 0 ? 0 : current_level % GAME_TRACKS;
        current_module = music_load(track);
        music_fade_in_and_play(current_module, -1);
        restart_music = 0;
    }
    paused = 0;
    frame_timer_reset();
    level_frame = 0;
}

// One frame of the pause menu; the cursor is menu_state 1 to 3. Where jump and
// up are one key, the pump reports that key as BTN_JUMP, which then moves up.
static void step_pause_menu() {
    int32_t released = button_released;
    int32_t jump_is_up = k_jump == k_up;
    if (released == BTN_DOWN || released == BTN_RIGHT) {
        menu_state = menu_state >= 3 ? 1 : menu_state + 1;
        sound_play(SND_KLONK);
    } else if (released == BTN_UP || released == BTN_LEFT || (released == BTN_JUMP && jump_is_up)) {
        menu_state = menu_state <= 1 ? 3 : menu_state - 1;
        sound_play(SND_KLONK);
    } else if (released == BTN_START || (released == BTN_JUMP && !jump_is_up)) {
        paused = 0;
        if (menu_state == 1) {
            kill_hero(&world.hero, message_text(MSG_SUICIDE));
            sound_play(SND_AJ);
        } else if (menu_state == 3) {
            quit_request = 1;
        } else {
            sound_play(SND_JIPIE);
        }
        menu_state = 0;
    }
}

// The quit question over the frame just played. The pause menu is hidden
// under it, and kept for a "no". A second quit request (Escape, the window's
// close button) answers "yes", so the question can always be answered, even
// with LEFT unbound; a termination signal ends the program in the pump.
static void ask_quit_question() {
    skip_draw = 0;
    int32_t was_paused = paused;
    paused = 0;
    draw_play_frame(32, &world.hero);
    paused = was_paused;
    if (frame_surface) {
        draw_dim_panel();
        draw_text_centred(frame_surface, message_text(MSG_SURE_TO_QUIT), 96, font_big);
        draw_text_centred(frame_surface, message_text(MSG_LEFT_FOR_YES), 128, font_small);
        draw_text_centred(frame_surface, message_text(MSG_HISCORE_LOST), 140, font_small);
        present_frame();
    }
    quit_signal = 0;
    int32_t yes = button_released == BTN_LEFT;
    while (!yes && button_released != BTN_RIGHT) {
        poll_events();
        sleep_between_polls();
        yes = button_released == BTN_LEFT || quit_signal;
    }
    if (!yes) {
        frame_timer_reset();
        quit_signal = 0;
        quit_request = 0;
        sound_play(SND_JIPIE);
    } else {
        sound_play(SND_AJ);
    }
}

// Runs frames of the current level until the flow leaves it; returns the next step.
static int32_t run_frames() {
    Hero* hero = &world.hero;
    for (;;) {
        if (replay_exhausted()) {
            loop_end_reason = LOOP_END_INPUT_EXHAUSTED;
            return FLOW_RETURN;
        }
        if (!hero->alive) {
            hero->idle_counter -= 1;
            if (hero->idle_counter <= 0 && current_level != 0) return quit_request ? FLOW_QUIT : FLOW_LIFE_OVER;
        } else if (hero->exit_reached) {
            return FLOW_LEVEL_DONE;
        }
        if (quit_request) return FLOW_QUIT;
        if (level_frame <= GET_READY_LAST_FRAME && current_level != 0) {
            // Get ready: the world stands still and input is thrown away.
            poll_events();
            if (current_level > 0 && button_released == BTN_START) level_frame = GET_READY_LAST_FRAME;
            buttons_held = 0;
            button_released = 0;
        } else {
            read_controls(current_level, hero->alive && !hero->dying);
            if (current_level > 0 && button_released == BTN_START) {
                if (hero->dying)
                    hero->y = HOP_END_Y;
                else if (!hero->alive)
                    hero->idle_counter = 1;
            }
            if (paused) {
                step_pause_menu();
            } else {
                world_step(hero);
                if (!hero->alive && current_level == 0) {
                    // The title advances the random sequence once per frame.
                    (void)rand();
                    menu_choice = title_menu_step(hero);
                    if (menu_choice != 0) return FLOW_START_GAME;
                }
            }
        }
        int32_t present = 1;
        if (current_level <= 0 && menu_state < 0) present = 0;
        show_play_screen(level_frame, hero, present);
        if (current_level != 0) {
            if (quit_request) ask_quit_question();
        } else if (title_after_draw(hero)) {
            show_frame();
        }
        level_frame += 1;
    }
}

static int32_t handle_quit() {
    if (current_level > 0) {
        reset_game(-1);
        start_x = LEVEL_START_X;
        start_y = LEVEL_START_Y;
        checkpoint_reached = 0;
        quit_signal = 0;
        quit_request = 0;
        return FLOW_NEXT_LEVEL;
    }
    wait_for_release();
    loop_end_reason = LOOP_END_QUIT;
    return FLOW_RETURN;
}

static int32_t handle_life_over() {
    lives -= 1;
    loop_lives_lost += 1;
    if (lives <= 0) {
        game_over(&world.hero);
        return FLOW_NEXT_LEVEL;
    }
    death_message[0] = 0;
    wait_for_release();
    return FLOW_SETUP;
}

static int32_t handle_level_done(int32_t test) {
    if (quit_request) return FLOW_QUIT;
    if (test) {
        loop_end_reason = LOOP_END_EXIT_REACHED;
        return FLOW_RETURN;
    }
    level_end_sequence(&world.hero);
    current_level += 1;
    return FLOW_LEVEL_ENTRY;
}

static int32_t handle_start_game() {
    if (quit_request) return FLOW_QUIT;
    if (menu_choice == MENU_EXIT) {
        quit_request = 1;
        wait_for_release();
        loop_end_reason = LOOP_END_QUIT;
        return FLOW_RETURN;
    }
    current_level = menu_choice == MENU_CONTINUE ? saved_level + 1 : GAME_FIRST_LEVEL;
    return FLOW_LEVEL_ENTRY;
}

static int32_t handle_level_entry() {
    if (current_level >= GAME_FINALE) {
        finale(&world.hero);
        // The finale hands back to the title; never set up a level without a map.
        if (current_level < 0 || current_level > GAME_LAST_LEVEL) current_level = 0;
    } else if (current_level <= GAME_FIRST_LEVEL) {
        opening_story();
    } else {
        saved_level = save_game_write(current_level - 1);
    }
    return FLOW_NEXT_LEVEL;
}

static void go_next_level() {
    start_x = LEVEL_START_X;
    start_y = LEVEL_START_Y;
    checkpoint_reached = 0;
    free_current_module();
    restart_music = 1;
    wait_for_release();
}

void game_loop(int32_t test_mode_flag) {
    int32_t test = test_mode_flag ? 1 : 0;
    reset_world();
    // The tile sheet is cut once per run; a second loop (tests) keeps the cut tiles.
    if (!tile_images[1]) tiles_init();
    // Sounds loaded by an earlier loop in the same process (tests, tools) are
    // released first, so that loading them again does not leak the old chunks.
    for (int32_t id = 0; id < SND_COUNT; id++) sound_free(id);
    sound_load_all();
    saved_level = 0;
    if (test)
        current_level = -1;
    else
        saved_level = save_game_read();
    start_x = LEVEL_START_X;
    start_y = LEVEL_START_Y;
    checkpoint_reached = 0;
    soundcheck_track = 0;
    current_module = nullptr;
    restart_music = 1;
    loop_end_reason = LOOP_END_QUIT;
    loop_lives_lost = 0;

    int32_t step = FLOW_SETUP;
    for (;;) {
        switch (step) {
            case FLOW_SETUP:
                if (quit_request) {
                    free_current_module();
                    return;
                }
                setup_level(test);
                step = run_frames();
                break;
            case FLOW_QUIT:
                step = handle_quit();
                break;
            case FLOW_LIFE_OVER:
                step = handle_life_over();
                break;
            case FLOW_LEVEL_DONE:
                step = handle_level_done(test);
                break;
            case FLOW_START_GAME:
                step = handle_start_game();
                break;
            case FLOW_LEVEL_ENTRY:
                step = handle_level_entry();
                break;
            case FLOW_NEXT_LEVEL:
                go_next_level();
                step = FLOW_SETUP;
                break;
            default:
                free_current_module();
                return;
        }
    }
}
