#include "storage/messages.h"

#include "floob.h"

int32_t language = 0;
const char* const language_flag_names[LANGUAGE_COUNT] = {"flag_uk", "flag_de", "flag_fr", "flag_es"};

const char* message_text(int32_t) { return ""; }
const char* message_text_in(int32_t, int32_t) { return ""; }
