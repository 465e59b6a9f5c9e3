// Choosing the language: the command line over the settings file over the
// locale, and the locale read from the environment as message catalogues are.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "storage/language.h"

namespace {

const char* const LOCALE_VARIABLES[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

// Sets the four locale variables (null: unset) and puts the old ones back.
class Locale : public ::testing::Test {
   protected:
    void SetUp() override {
        for (int i = 0; i < 4; i++) {
            const char* v = getenv(LOCALE_VARIABLES[i]);
            saved[i] = v ? v : "";
            had[i] = v != nullptr;
        }
    }
    void TearDown() override {
        for (int i = 0; i < 4; i++) set(i, had[i] ? saved[i].c_str() : nullptr);
    }
    static void set(int i, const char* value) {
        if (value)
            setenv(LOCALE_VARIABLES[i], value, 1);
        else
            unsetenv(LOCALE_VARIABLES[i]);
    }
    std::string saved[4];
    bool had[4] = {};
};

TEST_F(Locale, TheFirstSetVariableDecidesAndCOrPosixIgnoresLanguage) {
    const struct {
        const char *language, *lc_all, *lc_messages, *lang;
        int32_t expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, nullptr, LANGUAGE_ENGLISH},
        {nullptr, nullptr, nullptr, "de_DE.UTF-8", LANGUAGE_GERMAN},
        {nullptr, nullptr, nullptr, "fr_CA", LANGUAGE_FRENCH},
        {nullptr, nullptr, nullptr, "es_MX@euro", LANGUAGE_SPANISH},
        {nullptr, nullptr, nullptr, "en_GB.UTF-8", LANGUAGE_ENGLISH},
        {nullptr, nullptr, nullptr, "pt_BR", LANGUAGE_ENGLISH},
        {nullptr, nullptr, nullptr, "d", LANGUAGE_ENGLISH},
        {nullptr, nullptr, "es_ES", "de_DE", LANGUAGE_SPANISH},
        {nullptr, "fr_FR", "es_ES", "de_DE", LANGUAGE_FRENCH},
        {nullptr, "", "", "de_DE", LANGUAGE_GERMAN},
        {nullptr, "C", nullptr, "de_DE", LANGUAGE_ENGLISH},
        {nullptr, nullptr, nullptr, "POSIX", LANGUAGE_ENGLISH},
        {"fr:de", nullptr, nullptr, nullptr, LANGUAGE_FRENCH},
        {"fr:de", nullptr, nullptr, "es_ES", LANGUAGE_FRENCH},
        {"pt:it:de_AT:fr", nullptr, nullptr, "en_US", LANGUAGE_GERMAN},
        {"en:de", nullptr, nullptr, "de_DE", LANGUAGE_ENGLISH},
        {"pt:it", nullptr, nullptr, "de_DE", LANGUAGE_ENGLISH},
        {"::es", nullptr, nullptr, nullptr, LANGUAGE_SPANISH},
        {"", nullptr, nullptr, "es_ES", LANGUAGE_SPANISH},
        {"de", "C", nullptr, nullptr, LANGUAGE_ENGLISH},
        {"de", "POSIX", nullptr, "fr_FR", LANGUAGE_ENGLISH},
        {"de", nullptr, nullptr, "C.UTF-8", LANGUAGE_GERMAN},
    };
    for (const auto& c : cases) {
        set(0, c.language);
        set(1, c.lc_all);
        set(2, c.lc_messages);
        set(3, c.lang);
        EXPECT_EQ(c.expected, language_from_environment())
            << (c.language ? c.language : "-") << " " << (c.lc_all ? c.lc_all : "-") << " "
            << (c.lc_messages ? c.lc_messages : "-") << " " << (c.lang ? c.lang : "-");
    }
}

TEST_F(Locale, TheOptionWinsOverTheSettingWhichWinsOverTheLocale) {
    for (int i = 0; i < 4; i++) set(i, nullptr);
    set(3, "de_DE.UTF-8");
    EXPECT_EQ(LANGUAGE_GERMAN, choose_language(nullptr, nullptr));
    EXPECT_EQ(LANGUAGE_ENGLISH, choose_language("en", nullptr));
    EXPECT_EQ(LANGUAGE_SPANISH, choose_language("es", "fr"));
    EXPECT_EQ(LANGUAGE_FRENCH, choose_language(nullptr, "fr"));
    EXPECT_EQ(LANGUAGE_FRENCH, choose_language("", "fr"));
    // A name that is not one of ours is passed over, not taken for English.
    EXPECT_EQ(LANGUAGE_FRENCH, choose_language("klingon", "fr"));
    EXPECT_EQ(LANGUAGE_GERMAN, choose_language("DE", "french"));
    EXPECT_EQ(-1, language_from_name("de_DE"));
}

}  // namespace
