#include "shell/title.h"

const char* scroller_text = "";
int32_t scroller_length = 0;
int32_t scroller_offset = 0;
int32_t scroller_pixel = 0;
int32_t options_cursor = 0;
int32_t options_changed = 0;
int32_t repeat_delay = 0;
int32_t soundcheck_track = 0;

void reset_scroller() {}
int32_t title_menu_step(Hero*) { return 0; }
void title_after_draw(Hero*) {}
void draw_title_overlay(int32_t) {}
