// Choosing the language: the command line over the settings file over the
// locale, and the locale read from the environment as message catalogues are.
#include <gtest/gtest.h>

#include "storage/language.h"
#include "support/support.h"

TEST(Locale, OptionThenSettingThenTheFirstSetVariableWithCAndPosixIgnoringLanguage) {
    const struct {
        const char *language, *lc_all, *lc_messages, *lang, *option, *setting;
        int32_t expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, LANGUAGE_ENGLISH},
        {nullptr, nullptr, nullptr, "de_DE.UTF-8", nullptr, nullptr, LANGUAGE_GERMAN},
        {nullptr, nullptr, nullptr, "fr_CA", nullptr, nullptr, LANGUAGE_FRENCH},
        {nullptr, nullptr, nullptr, "es_MX@euro", nullptr, nullptr, LANGUAGE_SPANISH},
        {nullptr, nullptr, nullptr, "en_GB.UTF-8", nullptr, nullptr, LANGUAGE_ENGLISH},
        {nullptr, nullptr, nullptr, "pt_BR", nullptr, nullptr, LANGUAGE_ENGLISH},
        {nullptr, nullptr, "es_ES", "de_DE", nullptr, nullptr, LANGUAGE_SPANISH},
        {nullptr, "fr_FR", "es_ES", "de_DE", nullptr, nullptr, LANGUAGE_FRENCH},
        {nullptr, "", "", "de_DE", nullptr, nullptr, LANGUAGE_GERMAN},
        {nullptr, "C", nullptr, "de_DE", nullptr, nullptr, LANGUAGE_ENGLISH},
        {"fr:de", nullptr, nullptr, nullptr, nullptr, nullptr, LANGUAGE_FRENCH},
        {"pt:it:de_AT:fr", nullptr, nullptr, "en_US", nullptr, nullptr, LANGUAGE_GERMAN},
        {"en:de", nullptr, nullptr, "de_DE", nullptr, nullptr, LANGUAGE_ENGLISH},
        {"pt:it", nullptr, nullptr, "de_DE", nullptr, nullptr, LANGUAGE_ENGLISH},
        {"::es", nullptr, nullptr, nullptr, nullptr, nullptr, LANGUAGE_SPANISH},
        {"", nullptr, nullptr, "es_ES", nullptr, nullptr, LANGUAGE_SPANISH},
        {"de", "POSIX", nullptr, "fr_FR", nullptr, nullptr, LANGUAGE_ENGLISH},
        {"de", nullptr, nullptr, "C.UTF-8", nullptr, nullptr, LANGUAGE_GERMAN},
        {nullptr, nullptr, nullptr, "de_DE", "en", nullptr, LANGUAGE_ENGLISH},
        {nullptr, nullptr, nullptr, "de_DE", "es", "fr", LANGUAGE_SPANISH},
        {nullptr, "C", nullptr, nullptr, nullptr, "fr", LANGUAGE_FRENCH},
        // A name that is not one of ours is passed over, not taken for English.
        {nullptr, nullptr, nullptr, "de_DE", "", "fr", LANGUAGE_FRENCH},
        {nullptr, nullptr, nullptr, "es_ES", "klingon", "DE", LANGUAGE_SPANISH},
        {nullptr, nullptr, nullptr, "es_ES", "de_DE", "french", LANGUAGE_SPANISH},
    };
    for (const auto& c : cases) {
        LocaleVariables locale(c.language, c.lc_all, c.lc_messages, c.lang);
        EXPECT_EQ(c.expected, choose_language(c.option, c.setting))
            << (c.language ? c.language : "-") << " " << (c.lc_all ? c.lc_all : "-") << " "
            << (c.lc_messages ? c.lc_messages : "-") << " " << (c.lang ? c.lang : "-") << " "
            << (c.option ? c.option : "-") << " " << (c.setting ? c.setting : "-");
    }
}
