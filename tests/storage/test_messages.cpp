// The message table: shared entries, blank lines, the texts the screens rely
// on, the scroller line, and what each language may hold.
#include <gtest/gtest.h>
#include <string.h>

#include <set>
#include <string>

#include "floob.h"
#include "storage/messages.h"

namespace {

enum { LANG_EN = 0, LANG_DE = 1, LANG_FR = 2, LANG_ES = 3 };

// Ids that a language takes over from the English row, pointer and all: the
// libraries' names, and words that are the same in that language.
bool uses_english(int lang, int id) {
    if (id == 90 || id == 47) return true;
    if (lang == LANG_DE) return id == 12 || id == 49 || id == 84 || id == 86;
    if (lang == LANG_FR) return id == 11 || id == 12 || id == 13 || id == 23 || id == 46 || id == 83 || id == 84;
    if (lang == LANG_ES) return id == 46 || id == 54;
    return false;
}

int leading_spaces(const char* text) { return (int)strspn(text, " "); }

int trailing_spaces(const char* text) {
    int n = (int)strlen(text);
    int k = 0;
    while (k < n && text[n - 1 - k] == ' ') k++;
    return k;
}

}  // namespace

TEST(Messages, EnglishIsInForceUntilALanguageIsChosen) {
    EXPECT_EQ(0, language);
    for (int id = 0; id < MESSAGE_COUNT; id++) EXPECT_EQ(message_text_in(LANG_EN, id), message_text(id)) << id;
    for (int lang = 0; lang < LANGUAGE_COUNT; lang++) {
        language = lang;
        for (int id = 0; id < MESSAGE_COUNT; id++) EXPECT_EQ(message_text_in(lang, id), message_text(id)) << id;
    }
    language = 0;
    EXPECT_STREQ("flag_uk", language_flag_names[0]);
    EXPECT_STREQ("flag_de", language_flag_names[1]);
    EXPECT_STREQ("flag_fr", language_flag_names[2]);
    EXPECT_STREQ("flag_es", language_flag_names[3]);
}

TEST(Messages, TextsTheScreensDependOn) {
    EXPECT_STREQ("IMPALED TO DEATH", message_text(0));
    EXPECT_STREQ("POISIONED BY BUG", message_text(4));
    EXPECT_STREQ("KILLED BY ANDROID", message_text(7));
    EXPECT_STREQ("  TIME:", message_text(10));
    EXPECT_STREQ("   AIR:", message_text(11));
    EXPECT_STREQ("PRESS START", message_text(19));
    EXPECT_STREQ("OPTIONS", message_text(23));
    EXPECT_STREQ("PRESS START KEY", message_text(27));
    EXPECT_STREQ("PRESS PAUSE KEY", message_text(33));
    EXPECT_STREQ("ALREADY USED, CHOOSE ANOTHER ONE", message_text(59));
    EXPECT_STREQ("ENTER YOUR NAME:", message_text(60));
    EXPECT_STREQ("LETS GET HOME!", message_text(74));
    EXPECT_STREQ("HOME TO EARTH!", message_text(82));
    EXPECT_STREQ("HIT ACTION BUTTON OR ANY KEY", message_text(96));
    EXPECT_STREQ("PLAY SOMETHING ELSE.", message_text(104));
    EXPECT_STREQ("I AM DRUGS!", message_text(110));

    EXPECT_STREQ("AUFGESPIESST", message_text_in(LANG_DE, 0));
    EXPECT_STREQ("  ZEIT:", message_text_in(LANG_DE, 10));
    EXPECT_STREQ("ACHTUNG!", message_text_in(LANG_DE, 97));
    EXPECT_STREQ(" TEMPS:", message_text_in(LANG_FR, 10));
    EXPECT_STREQ("ENLEV\xC9 PAR UN OVNI!", message_text_in(LANG_FR, 3));
    EXPECT_STREQ("ABGEST\xDCRZT", message_text_in(LANG_DE, 1));
    EXPECT_STREQ(
        "\xA1"
        "FLOOB, CORRE!",
        message_text_in(LANG_ES, 16));
    EXPECT_STREQ("REMERCIEMENTS", message_text_in(LANG_FR, 86));
    EXPECT_STREQ("TIEMPO", message_text_in(LANG_ES, 10));
    EXPECT_STREQ("  AIRE", message_text_in(LANG_ES, 11));
    EXPECT_STREQ(
        "\xA1"
        "FIN DEL JUEGO!",
        message_text_in(LANG_ES, 84));
}

TEST(Messages, SharedEntriesAreTheSameString) {
    EXPECT_EQ(message_text(19), message_text(24));
    EXPECT_STREQ(message_text(25), message_text(45));
    const char* empty = message_text(98);
    for (int lang = 0; lang < LANGUAGE_COUNT; lang++) {
        for (int id = 0; id < MESSAGE_COUNT; id++) {
            const char* text = message_text_in(lang, id);
            const char* english = message_text_in(LANG_EN, id);
            ASSERT_NE(nullptr, text);
            if (!text[0]) {
                EXPECT_EQ(empty, text) << "every blank line is the one empty string: " << lang << " " << id;
            } else if (lang != LANG_EN && uses_english(lang, id)) {
                EXPECT_EQ(english, text) << lang << " " << id;
            } else if (lang != LANG_EN) {
                EXPECT_NE(english, text) << "own text expected: " << lang << " " << id;
                EXPECT_STRNE(english, text) << lang << " " << id;
            }
        }
    }
}

TEST(Messages, BlankLinesAndLeadingSpaces) {
    for (int id : {98, 101, 105, 106}) EXPECT_STREQ("", message_text(id)) << id;
    for (int id : {97, 99, 100, 102, 103, 104}) EXPECT_STRNE("", message_text(id)) << id;
    EXPECT_EQ(2, leading_spaces(message_text(10)));
    EXPECT_EQ(3, leading_spaces(message_text(11)));
}

TEST(Messages, ScrollerEntersAndLeavesAnEmptyScreen) {
    for (int lang = 0; lang < LANGUAGE_COUNT; lang++) {
        const char* line = message_text_in(lang, 111);
        EXPECT_EQ(509u, strlen(line)) << lang;
        EXPECT_EQ(40, leading_spaces(line)) << lang;
        EXPECT_EQ(0, strncmp(line + 40, "FLOOB 2 --- TWO SECONDS UNTIL DEATH ---", 39)) << lang;
        EXPECT_EQ(41, trailing_spaces(line)) << lang;
        // The credits after the tag line name the game's own team.
        EXPECT_NE(nullptr, strstr(line + 79, "FLOOB 2")) << lang;
    }
}

TEST(Messages, OnlyCharactersTheFontsDraw) {
    // English keeps to codes 32 to 90; the others add the accented capitals
    // and inverted marks of ISO-8859-1 that the fonts draw.
    const std::string letters =
        "\xC0\xC1\xC2\xC4\xC7\xC8\xC9\xCA\xCB\xCD\xCE\xCF\xD1\xD3\xD4\xD6\xD9\xDA\xDB\xDC\xDF\xA1\xBF";
    for (int lang = 0; lang < LANGUAGE_COUNT; lang++) {
        for (int id = 0; id < MESSAGE_COUNT; id++) {
            for (const char* c = message_text_in(lang, id); *c; c++) {
                bool plain = *c >= 32 && *c <= 90;
                bool accented = lang != LANG_EN && letters.find(*c) != std::string::npos;
                EXPECT_TRUE(plain || accented) << "code " << (int)(unsigned char)*c << " in " << lang << " " << id;
            }
        }
    }
}

TEST(Messages, EveryLanguageFitsTheScreens) {
    // Stories and screen titles use the 16-pixel font, 20 characters across
    // 320 pixels; the credits and warning lines the 8-pixel font, 40 across.
    for (int lang = 0; lang < LANGUAGE_COUNT; lang++) {
        for (int id = 71; id <= 82; id++) EXPECT_LE(strlen(message_text_in(lang, id)), 20u) << lang << " " << id;
        for (int id : {60, 63, 66, 67, 68, 69, 70, 84, 85, 86, 97}) {
            EXPECT_LE(strlen(message_text_in(lang, id)), 20u) << lang << " " << id;
        }
        for (int id = 87; id <= 110; id++) {
            if (id == 97) continue;
            EXPECT_LE(strlen(message_text_in(lang, id)), 40u) << lang << " " << id;
        }
    }
}

TEST(Messages, OtherLanguagesHaveTheirOwnStoriesAndScreens) {
    // Each translated line screen says something, even where lines are re-broken.
    for (int lang = 1; lang < LANGUAGE_COUNT; lang++) {
        std::set<std::string> story;
        for (int id = 71; id <= 82; id++) story.insert(message_text_in(lang, id));
        EXPECT_GE(story.size(), 10u) << lang;
        int warning_lines = 0;
        for (int id = 98; id <= 104; id++) warning_lines += message_text_in(lang, id)[0] != 0;
        EXPECT_GE(warning_lines, 4) << lang;
    }
}

TEST(Messages, IdsOutsideTheTableReadAsBlank) {
    EXPECT_STREQ("", message_text(-1));
    EXPECT_STREQ("", message_text(MESSAGE_COUNT));
    EXPECT_STREQ("", message_text_in(LANGUAGE_COUNT, 0));
    EXPECT_STREQ("", message_text_in(-1, 5));
}

// The names the screens use must point at the texts they mean, at both ends of every group.
TEST(Messages, NamedIdsFetchTheirTexts) {
    const struct {
        int32_t id;
        const char* text;
    } named[] = {{MSG_IMPALED, "IMPALED TO DEATH"},
                 {MSG_KILLED_BY_ANDROID, "KILLED BY ANDROID"},
                 {MSG_TIME, "  TIME:"},
                 {MSG_SUICIDE, "SUICIDE"},
                 {MSG_OPTIONS, "OPTIONS"},
                 {MSG_OPTION_PRESS_START, "PRESS START"},
                 {MSG_ALREADY_USED, "ALREADY USED, CHOOSE ANOTHER ONE"},
                 {MSG_ENTER_NAME, "ENTER YOUR NAME:"},
                 {MSG_COMING_UP, "COMING UP"},
                 {MSG_FINALE_FIRST, "FLOOB REACHED HIS"},
                 {MSG_FINALE_LAST, "LETS GET HOME!"},
                 {MSG_OPENING_FIRST, "FLOOB HAD ONE"},
                 {MSG_OPENING_LAST, "HOME TO EARTH!"},
                 {MSG_CONTINUE_QUESTION, "CONTINUE?"},
                 {MSG_CREDITS_FIRST, "THIS PROJECT USES CODE OF"},
                 {MSG_CREDITS_LAST, "HOMEPAGES."},
                 {MSG_ANY_KEY, "HIT ACTION BUTTON OR ANY KEY"},
                 {MSG_WARNING_LAST, "PLAY SOMETHING ELSE."},
                 {MSG_SPARE_LAST, "I AM DRUGS!"}};
    for (const auto& n : named) EXPECT_STREQ(n.text, message_text(n.id)) << n.id;
    EXPECT_EQ(MESSAGE_COUNT, MSG_SCROLLER + 1);
}
