#include "shell/startup.h"

#include <stdio.h>
#include <stdlib.h>

#include "floob.h"

SDL_Joystick* joystick = nullptr;
SDL_Surface* logo_image = nullptr;
SDL_Surface* back_image = nullptr;
int32_t test_mode = 0;
int32_t music_volume_scaled = 128;
int32_t sfx_volume_scaled = 19;

void fatal_error(const char* message, const char* detail) {
    printf("%s: %s\n", message, detail ? detail : "unknown");
    fflush(stdout);
    exit(1);
}

int parse_command_line(int, char**) { return 0; }
void print_help() {}
void run_intro_screens(int) {}
int run_game(int, char**) { return 0; }
