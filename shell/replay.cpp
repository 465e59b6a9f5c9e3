#include "shell/replay.h"

void replay_start(const ReplayFrame*, int32_t) {}
void replay_stop() {}
int replay_active() { return 0; }
int32_t replay_position() { return 0; }
int replay_poll(int32_t*, int32_t*) { return 0; }
int32_t replay_parse(const char*, ReplayFrame*, int32_t) { return -1; }
int replay_write(const char*, const ReplayFrame*, int32_t) { return 0; }
