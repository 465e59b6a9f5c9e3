#include "shell/game.h"

int32_t current_level = 0;
int32_t menu_state = 0;
int32_t paused = 0;
int32_t quit_request = 0;
int32_t highlighted_entry = -1;
int32_t saved_level = 0;
int32_t level_frame = 0;
Hero game_hero;
ModPlugFile* current_module = nullptr;

void game_loop(int32_t) {}
void reset_game(int32_t) {}
int action_released() { return 0; }
void wait_for_release() {}
