// The message table: 4 languages x 112 texts.
#ifndef STORAGE_MESSAGES_H
#define STORAGE_MESSAGES_H

#include <stdint.h>

enum { MESSAGE_COUNT = 112, LANGUAGE_COUNT = 4 };

const char* message_text(int32_t id);
// The entry of any language, for tests and tools.
const char* message_text_in(int32_t lang, int32_t id);
extern const char* const language_flag_names[LANGUAGE_COUNT];

#endif
