#include "shell/nameentry.h"

#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/video.h"
#include "shell/controls.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "storage/hiscore.h"
#include "storage/messages.h"
#include "world/playscreen.h"

enum { NAME_REPEAT_DELAY = 10, NAME_WAIT_MS = 100 };

static char previous_letter(char c) {
    if (c == 'A') return ' ';
    if (c == ' ') return 'Z';
    return (char)(c - 1);
}

static char next_letter(char c) {
    if (c == 'Z') return ' ';
    if (c == ' ') return 'A';
    return (char)(c + 1);
}

static void draw_name_entry(const Hero* hero, const char* name, const char* cursor_line) {
    draw_play_frame(-1, hero);
    if (skip_draw) return;
    draw_dim_panel();
    draw_text_centred(frame_surface, message_text(MSG_ENTER_NAME), 96, font_big);
    draw_text_centred(frame_surface, name, 136, font_big);
    draw_text_centred(frame_surface, cursor_line, 148, font_big);
}

// Letter stepping until start is held (returns -1) or the eighth letter is
// accepted (returns the new entry's position).
static int32_t enter_letters(const Hero* hero, char* name, int32_t* cursor) {
    char cursor_line[HISCORE_NAME_SIZE + 1] = "-       ";
    int32_t delay = 0;
    for (;;) {
        if (delay > 0) {
            delay--;
        } else {
            read_controls(current_level, 0);
            int32_t accept = (buttons_held & (BTN_RIGHT | BTN_PAUSE)) || ((buttons_held & BTN_JUMP) && k_jump != k_up);
            char* letter = &name[*cursor];
            if (buttons_held & BTN_DOWN) {
                *letter = previous_letter(*letter);
                delay = NAME_REPEAT_DELAY;
            } else if (buttons_held & BTN_UP) {
                *letter = next_letter(*letter);
                delay = NAME_REPEAT_DELAY;
            } else if ((buttons_held & BTN_LEFT) && *cursor > 0) {
                cursor_line[*cursor] = ' ';
                (*cursor)--;
                cursor_line[*cursor] = '-';
                delay = NAME_REPEAT_DELAY;
            } else if (accept) {
                if (*cursor == HISCORE_NAME_SIZE - 1) return hiscore_insert(points, name);
                cursor_line[*cursor] = ' ';
                (*cursor)++;
                cursor_line[*cursor] = '-';
                if (name[*cursor] == '.') name[*cursor] = 'A';
                delay = NAME_REPEAT_DELAY;
            }
        }
        draw_name_entry(hero, name, cursor_line);
        show_frame();
        if (buttons_held & BTN_START) return -1;
    }
}

int32_t name_entry(Hero* hero) {
    if (hiscore_table[HISCORE_ROWS - 1].score >= points) return -1;
    // The dots mark places not visited yet.
    char name[HISCORE_NAME_SIZE + 1] = "A.......";
    int32_t cursor = 0;
    frame_timer_reset();
    if (!(buttons_held & BTN_START)) {
        int32_t position = enter_letters(hero, name, &cursor);
        if (position >= 0) return position;
    }
    // A closed window must not leave the player stuck here with start down.
    while ((buttons_held & BTN_START) && !quit_signal) {
        SDL_Delay(NAME_WAIT_MS);
        read_controls(current_level, 0);
    }
    name[cursor + 1] = 0;
    return hiscore_insert(points, name);
}
