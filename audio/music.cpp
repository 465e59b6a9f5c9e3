#include "audio/music.h"

int32_t music_repeat = -1;
int32_t music_current_volume = 128;
int32_t music_user_volume = 128;
int32_t music_fade_step = 1;
ModPlugFile* music_hooked = nullptr;

const char* song_entry_name(int32_t) { return ""; }
const char* song_title(int32_t) { return ""; }
void music_apply_settings() {}
ModPlugFile* music_load(int32_t) { return nullptr; }
void music_play(ModPlugFile*, int32_t) {}
void music_fade_in_and_play(ModPlugFile*, int32_t) {}
void music_free(ModPlugFile*) {}
void music_set_volume(int32_t) {}
int music_is_playing() { return 0; }
void music_mix(void*, uint8_t*, int) {}
