// Which row of the message table the game speaks: chosen once at start-up
// from the command line, the game's own settings file and the locale.
#ifndef STORAGE_LANGUAGE_H
#define STORAGE_LANGUAGE_H

#include <stdint.h>

enum { LANGUAGE_ENGLISH = 0, LANGUAGE_GERMAN = 1, LANGUAGE_FRENCH = 2, LANGUAGE_SPANISH = 3 };

// The language a two-letter name stands for ("en", "de", "fr", "es"), -1 for
// any other text or null.
int32_t language_from_name(const char* name);

// The language a locale name chooses ("de_DE.UTF-8", "fr", "es_MX@euro"):
// one starting "de", "fr" or "es" chooses German, French or Spanish; "C",
// "POSIX", "en..." and anything else English.
int32_t language_from_locale_name(const char* locale);

// The language of the environment, as message catalogues are chosen: the
// locale is the first of LC_ALL, LC_MESSAGES and LANG that is set and not
// empty. A locale of "C" or "POSIX" means English whatever LANGUAGE says;
// otherwise a non-empty LANGUAGE (a colon-separated list of names) decides,
// its first entry that names one of our languages winning, and a list that
// names none of them means English; without LANGUAGE the locale decides.
int32_t language_from_environment();

// The language to use: the command line's name when it is one of ours, else
// the settings file's, else the environment's.
int32_t choose_language(const char* option, const char* setting);

#endif
