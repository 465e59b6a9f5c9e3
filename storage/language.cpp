#include "storage/language.h"

#include <stdlib.h>
#include <string.h>

// Two-letter names in table order.
static const char* const LANGUAGE_NAMES[] = {"en", "de", "fr", "es"};
enum { LANGUAGE_NAME_COUNT = sizeof LANGUAGE_NAMES / sizeof LANGUAGE_NAMES[0] };

int32_t language_from_name(const char* name) {
    if (!name) return -1;
    for (int32_t i = 0; i < LANGUAGE_NAME_COUNT; i++)
        if (strcmp(name, LANGUAGE_NAMES[i]) == 0) return i;
    return -1;
}

// The language a locale or LANGUAGE entry names by its first two letters,
// -1 when it names none of ours. English counts as one of ours, so that
// "LANGUAGE=en:de" stays English.
static int32_t named_language(const char* entry, size_t length) {
    if (length < 2) return -1;
    for (int32_t i = 0; i < LANGUAGE_NAME_COUNT; i++)
        if (strncmp(entry, LANGUAGE_NAMES[i], 2) == 0) return i;
    return -1;
}

int32_t language_from_locale_name(const char* locale) {
    if (!locale) return LANGUAGE_ENGLISH;
    int32_t named = named_language(locale, strlen(locale));
    return named < 0 ? LANGUAGE_ENGLISH : named;
}

static const char* set_variable(const char* name) {
    const char* value = getenv(name);
    return value && value[0] ? value : nullptr;
}

int32_t language_from_environment() {
    const char* locale = set_variable("LC_ALL");
    if (!locale) locale = set_variable("LC_MESSAGES");
    if (!locale) locale = set_variable("LANG");
    if (locale && (strcmp(locale, "C") == 0 || strcmp(locale, "POSIX") == 0)) return LANGUAGE_ENGLISH;
    const char* list = set_variable("LANGUAGE");
    if (!list) return language_from_locale_name(locale);
    for (const char* entry = list; *entry;) {
        size_t length = strcspn(entry, ":");
        int32_t named = named_language(entry, length);
        if (named >= 0) return named;
        entry += length;
        if (*entry == ':') entry++;
    }
    return LANGUAGE_ENGLISH;
}

int32_t choose_language(const char* option, const char* setting) {
    int32_t chosen = language_from_name(option);
    if (chosen < 0) chosen = language_from_name(setting);
    if (chosen < 0) chosen = language_from_environment();
    return chosen;
}
