#include "storage/config.h"

#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "floob.h"
#include "storage/archive.h"
#include "storage/bindings.h"
#include "storage/userfile.h"

int32_t mus_volume = 100;
int32_t sfx_volume = 15;
int32_t mp_flags = 3;
int32_t mp_resampling_mode = 1;
int32_t mp_reverb_depth = 0;
int32_t mp_reverb_delay = 0;
int32_t mp_bass_amount = 0;
int32_t mp_bass_range = 0;
int32_t mp_surround_depth = 0;
int32_t mp_surround_delay = 0;

enum { CONFIG_ACTIONS = 7, CONFIG_TEXT_MAX = 2048, CONFIG_KEY_MAX = 32 };

enum {
    CONFIG_FLAG_OVERSAMPLING = 0x01,
    CONFIG_FLAG_NOISE_REDUCTION = 0x02,
    CONFIG_FLAG_REVERB = 0x04,
    CONFIG_FLAG_MEGABASS = 0x08,
    CONFIG_FLAG_SURROUND = 0x10
};

// How the value after a key is stored.
enum { CONFIG_RULE_VOLUME, CONFIG_RULE_FLAG, CONFIG_RULE_RESAMPLING, CONFIG_RULE_CLAMP, CONFIG_RULE_POSITIVE };

struct ConfigKey {
    const char* key;
    int32_t* value;
    int32_t rule;
    int32_t flag_bit;
    int32_t low;
    int32_t high;
};

static const char* const CONFIG_ACTION_NAMES[CONFIG_ACTIONS] = {"jump", "pause", "start", "up",
                                                                "down", "left",  "right"};

// The non-binding keys in the order they are checked at each position.
static const ConfigKey CONFIG_KEYS[] = {
    {"mus_volume=", &mus_volume, CONFIG_RULE_VOLUME, 0, 0, 100},
    {"sfx_volume=", &sfx_volume, CONFIG_RULE_VOLUME, 0, 0, 100},
    {"mpFlagsOVERSAMPLING=", &mp_flags, CONFIG_RULE_FLAG, CONFIG_FLAG_OVERSAMPLING, 0, 0},
    {"mpFlagsNOISE_REDUCTION=", &mp_flags, CONFIG_RULE_FLAG, CONFIG_FLAG_NOISE_REDUCTION, 0, 0},
    {"mpFlagsREVERB=", &mp_flags, CONFIG_RULE_FLAG, CONFIG_FLAG_REVERB, 0, 0},
    {"mpFlagsMEGABASS=", &mp_flags, CONFIG_RULE_FLAG, CONFIG_FLAG_MEGABASS, 0, 0},
    {"mpFlagsSURROUND=", &mp_flags, CONFIG_RULE_FLAG, CONFIG_FLAG_SURROUND, 0, 0},
    {"mpResamplingMode=", &mp_resampling_mode, CONFIG_RULE_RESAMPLING, 0, 0, 3},
    {"mpReverbDepth=", &mp_reverb_depth, CONFIG_RULE_CLAMP, 0, 0, 100},
    {"mpReverbDelay=", &mp_reverb_delay, CONFIG_RULE_CLAMP, 0, 40, 200},
    {"mpBassAmount=", &mp_bass_amount, CONFIG_RULE_CLAMP, 0, 0, 100},
    {"mpBassRange=", &mp_bass_range, CONFIG_RULE_CLAMP, 0, 10, 100},
    {"mpSurroundDepth=", &mp_surround_depth, CONFIG_RULE_CLAMP, 0, 0, 100},
    {"mpSurroundDelay=", &mp_surround_delay, CONFIG_RULE_CLAMP, 0, 5, 40},
    {"up2jump=", &up2jump, CONFIG_RULE_POSITIVE, 0, 0, 1},
};

// The live bindings in action order.
static int32_t* const CONFIG_KEYBOARD_BINDINGS[CONFIG_ACTIONS] = {&k_jump, &k_pause, &k_start, &k_up,
                                                                  &k_down, &k_left,  &k_right};
static int32_t* const CONFIG_JOYSTICK_BINDINGS[CONFIG_ACTIONS] = {&j_jump, &j_pause, &j_start, &j_up,
                                                                  &j_down, &j_left,  &j_right};

void config_defaults() {
    mus_volume = 100;
    sfx_volume = 15;
    mp_flags = CONFIG_FLAG_OVERSAMPLING | CONFIG_FLAG_NOISE_REDUCTION;
    mp_resampling_mode = 1;
    mp_reverb_depth = 0;
    mp_reverb_delay = 0;
    mp_bass_amount = 0;
    mp_bass_range = 0;
    mp_surround_depth = 0;
    mp_surround_delay = 0;
}

// Appends formatted text; the buffer is far larger than the 29 lines can get.
static void append_line(char* text, uint32_t* length, const char* format, const char* name, int32_t value) {
    int n = name ? snprintf(text + *length, CONFIG_TEXT_MAX - *length, format, name, value)
                 : snprintf(text + *length, CONFIG_TEXT_MAX - *length, format, value);
    if (n > 0 && *length + (uint32_t)n < CONFIG_TEXT_MAX) *length += (uint32_t)n;
}

void config_save() {
    static char text[CONFIG_TEXT_MAX];
    uint32_t length = 0;
    text[0] = 0;
    append_line(text, &length, "mus_volume=%d\n", nullptr, mus_volume);
    append_line(text, &length, "sfx_volume=%d\n", nullptr, sfx_volume);
    for (int32_t a = 0; a < CONFIG_ACTIONS; a++) {
        append_line(text, &length, "j_%s=%d\n", CONFIG_ACTION_NAMES[a], *CONFIG_JOYSTICK_BINDINGS[a]);
    }
    for (int32_t a = 0; a < CONFIG_ACTIONS; a++) {
        int32_t code = *CONFIG_KEYBOARD_BINDINGS[a];
        const char* format = code >= 'a' && code <= 'z' ? "k_%s=%c\n" : "k_%s=%d\n";
        append_line(text, &length, format, CONFIG_ACTION_NAMES[a], code);
    }
    append_line(text, &length, "mpFlagsOVERSAMPLING=%d\n", nullptr, (mp_flags & CONFIG_FLAG_OVERSAMPLING) ? 1 : 0);
    append_line(text, &length, "mpResamplingMode=%d\n", nullptr, mp_resampling_mode);
    append_line(text, &length, "mpFlagsNOISE_REDUCTION=%d\n", nullptr,
                (mp_flags & CONFIG_FLAG_NOISE_REDUCTION) ? 1 : 0);
    append_line(text, &length, "mpFlagsREVERB=%d\n", nullptr, (mp_flags & CONFIG_FLAG_REVERB) ? 1 : 0);
    append_line(text, &length, "mpReverbDepth=%d\n", nullptr, mp_reverb_depth);
    append_line(text, &length, "mpReverbDelay=%d\n", nullptr, mp_reverb_delay);
    append_line(text, &length, "mpFlagsMEGABASS=%d\n", nullptr, (mp_flags & CONFIG_FLAG_MEGABASS) ? 1 : 0);
    append_line(text, &length, "mpBassAmount=%d\n", nullptr, mp_bass_amount);
    append_line(text, &length, "mpBassRange=%d\n", nullptr, mp_bass_range);
    append_line(text, &length, "mpFlagsSURROUND=%d\n", nullptr, (mp_flags & CONFIG_FLAG_SURROUND) ? 1 : 0);
    append_line(text, &length, "mpSurroundDepth=%d\n", nullptr, mp_surround_depth);
    append_line(text, &length, "mpSurroundDelay=%d\n", nullptr, mp_surround_delay);
    append_line(text, &length, "up2jump=%d\n", nullptr, up2jump ? 1 : 0);
    write_user_file(make_user_path("floob2", "cfg"), text, length);
}

// Decimal number at text[p] as atoi reads it (blanks, sign, digits; none gives 0),
// but never past the end of the text and saturating instead of overflowing.
static int32_t read_number(const uint8_t* text, uint32_t size, uint32_t p) {
    while (p < size && (text[p] == ' ' || (text[p] >= '\t' && text[p] <= '\r'))) p++;
    int32_t negative = 0;
    if (p < size && (text[p] == '-' || text[p] == '+')) {
        negative = text[p] == '-';
        p++;
    }
    int64_t value = 0;
    while (p < size && text[p] >= '0' && text[p] <= '9') {
        if (value <= INT32_MAX) value = value * 10 + (text[p] - '0');
        p++;
    }
    if (value > INT32_MAX) value = negative ? (int64_t)INT32_MAX + 1 : INT32_MAX;
    return (int32_t)(negative ? -value : value);
}

static int32_t matches_at(const uint8_t* text, uint32_t size, uint32_t p, const char* key, uint32_t length) {
    return p + length <= size && memcmp(text + p, key, length) == 0;
}

// A key code the event pump can never report is stored as unbound.
static int32_t keyboard_code(int32_t code) { return code >= 0 && code < SDLK_LAST ? code : -1; }

static void load_bindings(const uint8_t* text, uint32_t size) {
    for (int32_t a = 0; a < CONFIG_ACTIONS; a++) {
        char k_key[CONFIG_KEY_MAX];
        char j_key[CONFIG_KEY_MAX];
        snprintf(k_key, sizeof k_key, "k_%s=", CONFIG_ACTION_NAMES[a]);
        snprintf(j_key, sizeof j_key, "j_%s=", CONFIG_ACTION_NAMES[a]);
        uint32_t length = (uint32_t)strlen(k_key);
        int32_t k_value = -1;
        int32_t j_value = -1;
        // The last position looked at leaves room for the key, one value byte and a line end.
        for (uint32_t p = 0; size > length + 1 && p + length + 2 <= size; p++) {
            if (k_value >= 0 && j_value >= 0) break;
            if (matches_at(text, size, p, k_key, length)) {
                uint8_t after = text[p + length];
                k_value = after >= 'a' && after <= 'z' ? after : read_number(text, size, p + length);
            } else if (matches_at(text, size, p, j_key, length)) {
                j_value = read_number(text, size, p + length);
            }
        }
        *CONFIG_KEYBOARD_BINDINGS[a] = keyboard_code(k_value);
        if (j_value >= 0) *CONFIG_JOYSTICK_BINDINGS[a] = j_value;
    }
}

static int32_t clamp_value(int32_t value, int32_t low, int32_t high) {
    if (value < low) return low;
    if (value > high) return high;
    return value;
}

static void store_setting(const ConfigKey* key, int32_t value) {
    switch (key->rule) {
        case CONFIG_RULE_VOLUME:
            *key->value = value >= 0 && value <= 100 ? value : 100;
            break;
        case CONFIG_RULE_FLAG:
            // Only a 1 changes the word: a 0 never clears a bit that is on.
            if (value == 1) *key->value |= key->flag_bit;
            break;
        case CONFIG_RULE_RESAMPLING:
            *key->value = value >= 0 && value <= 3 ? value : 1;
            break;
        case CONFIG_RULE_CLAMP:
            *key->value = clamp_value(value, key->low, key->high);
            break;
        default:
            *key->value = value > 0 ? 1 : 0;
            break;
    }
}

static void load_settings(const uint8_t* text, uint32_t size) {
    if (size < 10) return;
    const int32_t count = (int32_t)(sizeof CONFIG_KEYS / sizeof CONFIG_KEYS[0]);
    for (uint32_t p = 0; p <= size - 10; p++) {
        for (int32_t k = 0; k < count; k++) {
            uint32_t length = (uint32_t)strlen(CONFIG_KEYS[k].key);
            if (matches_at(text, size, p, CONFIG_KEYS[k].key, length)) {
                store_setting(&CONFIG_KEYS[k], read_number(text, size, p + length));
            }
        }
    }
}

void config_load() {
    uint32_t size = 0;
    uint8_t* text = read_whole_file(make_user_path("floob2", "cfg"), &size);
    if (!text) return;
    if (size > 0) {
        load_bindings(text, size);
        load_settings(text, size);
    }
    free(text);
}
