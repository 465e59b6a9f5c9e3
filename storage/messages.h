// The message table: 4 languages x 112 texts, fetched by the ids below.
#ifndef STORAGE_MESSAGES_H
#define STORAGE_MESSAGES_H

#include <stdint.h>

// Message ids, in the order of the table.
enum {
    // Death causes; the enemies' follow their type numbers.
    MSG_IMPALED = 0,
    MSG_FELL = 1,
    MSG_SMASHED = 2,
    MSG_HIT_BY_UFO = 3,
    MSG_POISONED_BY_BUG = 4,
    MSG_BIT_BY_STONEBAT = 5,
    MSG_EATEN_BY_STEELFISH = 6,
    MSG_KILLED_BY_ANDROID = 7,
    MSG_SPARE_CLASSIC_GRAPHICS = 8,
    MSG_SPARE_DELUXE_GRAPHICS = 9,
    // Status line, pause menu, play messages, title and main menu.
    MSG_TIME = 10,
    MSG_AIR = 11,
    MSG_PAUSE = 12,
    MSG_SUICIDE = 13,
    MSG_GO_ON = 14,
    MSG_EXIT = 15,
    MSG_RUN = 16,
    MSG_FORGOT_EMERALDS = 17,
    MSG_GO_SUICIDE = 18,
    MSG_PRESS_START = 19,
    MSG_NEW_GAME = 20,
    MSG_CONTINUE = 21,
    MSG_HISCORES = 22,
    MSG_OPTIONS = 23,
    // Options and configuration.
    MSG_OPTION_PRESS_START = 24,
    MSG_NOT_AVAILABLE = 25,
    MSG_CONFIGURE_KEYS = 26,
    MSG_PRESS_START_KEY = 27,
    MSG_PRESS_LEFT_KEY = 28,
    MSG_PRESS_RIGHT_KEY = 29,
    MSG_PRESS_UP_KEY = 30,
    MSG_PRESS_DOWN_KEY = 31,
    MSG_PRESS_JUMP_KEY = 32,
    MSG_PRESS_PAUSE_KEY = 33,
    MSG_CONFIGURE_PAD = 34,
    MSG_PRESS_START_BUTTON = 35,
    MSG_PRESS_JUMP_BUTTON = 36,
    MSG_PRESS_PAUSE_BUTTON = 37,
    MSG_MUSIC_VOLUME = 38,
    MSG_SFX_VOLUME = 39,
    MSG_SCREEN_SETTINGS = 40,
    MSG_BOXED_320 = 41,
    MSG_BOXED_640 = 42,
    MSG_FULL_SCREEN = 43,
    MSG_SCALING_SETTINGS = 44,
    MSG_NOT_AVAILABLE_AGAIN = 45,
    MSG_SIMPLE = 46,
    MSG_SCALE2X = 47,
    MSG_SCANLINE = 48,
    MSG_BILINEAR = 49,
    MSG_ANTIALIASING = 50,
    MSG_RESTART_TO_APPLY = 51,
    MSG_USE_UP_TO_JUMP = 52,
    MSG_YES = 53,
    MSG_NO = 54,
    MSG_SOUNDCHECK = 55,
    MSG_RESET_TO_DEFAULT = 56,
    MSG_BACK_TO_MENU = 57,
    MSG_APPLY_AND_BACK = 58,
    MSG_ALREADY_USED = 59,
    // Name entry, game flow, quit question, level end.
    MSG_ENTER_NAME = 60,
    MSG_TIME_UP = 61,
    MSG_DROWNED = 62,
    MSG_SURE_TO_QUIT = 63,
    MSG_LEFT_FOR_YES = 64,
    MSG_HISCORE_LOST = 65,
    MSG_TIME_BONUS = 66,
    MSG_LIFE_BONUS = 67,
    MSG_CONGRATULATIONS = 68,
    MSG_NEXT_STAGE = 69,
    MSG_COMING_UP = 70,
    // The finale's and the opening's story lines.
    MSG_FINALE_FIRST = 71,
    MSG_FINALE_LAST = 74,
    MSG_OPENING_FIRST = 75,
    MSG_OPENING_LAST = 82,
    // Score, game over, continue.
    MSG_SCORE = 83,
    MSG_GAME_OVER = 84,
    MSG_CONTINUE_QUESTION = 85,
    // The credits screen: its title, nine lines and the any-key line.
    MSG_CREDITS = 86,
    MSG_CREDITS_FIRST = 87,
    MSG_CREDITS_LAST = 95,
    MSG_ANY_KEY = 96,
    // The warning screen: its title and seven lines.
    MSG_WARNING = 97,
    MSG_WARNING_FIRST = 98,
    MSG_WARNING_LAST = 104,
    MSG_SPARE_FIRST = 105,
    MSG_SPARE_LAST = 110,
    MSG_SCROLLER = 111
};

enum { MESSAGE_COUNT = MSG_SCROLLER + 1, LANGUAGE_COUNT = 4 };

const char* message_text(int32_t id);
// The entry of any language, for tests and tools.
const char* message_text_in(int32_t lang, int32_t id);
extern const char* const language_flag_names[LANGUAGE_COUNT];

#endif
