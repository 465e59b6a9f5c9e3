#include "storage/config.h"

#include <SDL.h>
#include <stdio.h>
#include <string.h>

#include "floob.h"
#include "storage/archive.h"
#include "storage/bindings.h"
#include "storage/userfile.h"

// The settings of the configuration file. Each starts at its default from the
// table below before the program runs; config_load and the options screen
// change them.
int32_t mus_volume;
int32_t sfx_volume;
int32_t mp_flags;
int32_t mp_resampling_mode;
int32_t mp_reverb_depth;
int32_t mp_reverb_delay;
int32_t mp_bass_amount;
int32_t mp_bass_range;
int32_t mp_surround_depth;
int32_t mp_surround_delay;

enum {
    CONFIG_TEXT_MAX = 2048,
    CONFIG_KEY_MAX = 32,
    // A configuration is a few hundred bytes; whatever lies past this is not read.
    CONFIG_READ_MAX = 64 * 1024,
    // The last position a non-binding key is looked for lies this far before the end.
    CONFIG_TAIL = 10
};

enum {
    CONFIG_FLAG_OVERSAMPLING = 0x01,
    CONFIG_FLAG_NOISE_REDUCTION = 0x02,
    CONFIG_FLAG_REVERB = 0x04,
    CONFIG_FLAG_MEGABASS = 0x08,
    CONFIG_FLAG_SURROUND = 0x10
};

// How a setting's value is read and written.
enum {
    SETTING_REPLACE,  // a value outside low..high becomes `outside`
    SETTING_CLAMP,    // clamped to low..high
    SETTING_SWITCH,   // 1 when above 0, else 0; written as 0 or 1
    SETTING_FLAG,     // a 1 sets `bit` of the flag word, anything else leaves it; written as that bit
    SETTING_KEY,      // a key code or a lower-case letter; outside low..high it is unbound (`outside`)
    SETTING_PAD       // a pad button or hat mask; a negative or missing value keeps the binding
};

// Which reset puts a setting back to its default.
enum { RESET_SOUND, RESET_BINDINGS, RESET_NEVER };

struct ConfigSetting {
    const char* key;  // the name before the "="
    int32_t* value;
    int32_t kind;
    int32_t start;  // the default (for a flag: 1 when its bit is on by default)
    int32_t low;
    int32_t high;
    int32_t outside;
    int32_t bit;
    int32_t reset;
};

// Every setting of the file, in the order the file is written. Three defaults
// (reverb delay, bass range, surround delay) lie below their ranges; they stand
// until a file sets the key, and their effects are off by default.
static const ConfigSetting CONFIG_SETTINGS[] = {
    {"mus_volume", &mus_volume, SETTING_REPLACE, 100, 0, 100, 100, 0, RESET_SOUND},
    {"sfx_volume", &sfx_volume, SETTING_REPLACE, 15, 0, 100, 100, 0, RESET_SOUND},
    {"j_jump", &j_jump, SETTING_PAD, 0, 0, INT32_MAX, 0, 0, RESET_BINDINGS},
    {"j_pause", &j_pause, SETTING_PAD, 3, 0, INT32_MAX, 0, 0, RESET_BINDINGS},
    {"j_start", &j_start, SETTING_PAD, 7, 0, INT32_MAX, 0, 0, RESET_BINDINGS},
    {"j_up", &j_up, SETTING_PAD, SDL_HAT_UP, 0, INT32_MAX, 0, 0, RESET_BINDINGS},
    {"j_down", &j_down, SETTING_PAD, SDL_HAT_DOWN, 0, INT32_MAX, 0, 0, RESET_BINDINGS},
    {"j_left", &j_left, SETTING_PAD, SDL_HAT_LEFT, 0, INT32_MAX, 0, 0, RESET_BINDINGS},
    {"j_right", &j_right, SETTING_PAD, SDL_HAT_RIGHT, 0, INT32_MAX, 0, 0, RESET_BINDINGS},
    {"k_jump", &k_jump, SETTING_KEY, SDLK_SPACE, 0, SDLK_LAST - 1, -1, 0, RESET_BINDINGS},
    {"k_pause", &k_pause, SETTING_KEY, SDLK_TAB, 0, SDLK_LAST - 1, -1, 0, RESET_BINDINGS},
    {"k_start", &k_start, SETTING_KEY, SDLK_RETURN, 0, SDLK_LAST - 1, -1, 0, RESET_BINDINGS},
    {"k_up", &k_up, SETTING_KEY, SDLK_UP, 0, SDLK_LAST - 1, -1, 0, RESET_BINDINGS},
    {"k_down", &k_down, SETTING_KEY, SDLK_DOWN, 0, SDLK_LAST - 1, -1, 0, RESET_BINDINGS},
    {"k_left", &k_left, SETTING_KEY, SDLK_LEFT, 0, SDLK_LAST - 1, -1, 0, RESET_BINDINGS},
    {"k_right", &k_right, SETTING_KEY, SDLK_RIGHT, 0, SDLK_LAST - 1, -1, 0, RESET_BINDINGS},
    {"mpFlagsOVERSAMPLING", &mp_flags, SETTING_FLAG, 1, 0, 1, 0, CONFIG_FLAG_OVERSAMPLING, RESET_SOUND},
    {"mpResamplingMode", &mp_resampling_mode, SETTING_REPLACE, 1, 0, 3, 1, 0, RESET_SOUND},
    {"mpFlagsNOISE_REDUCTION", &mp_flags, SETTING_FLAG, 1, 0, 1, 0, CONFIG_FLAG_NOISE_REDUCTION, RESET_SOUND},
    {"mpFlagsREVERB", &mp_flags, SETTING_FLAG, 0, 0, 1, 0, CONFIG_FLAG_REVERB, RESET_SOUND},
    {"mpReverbDepth", &mp_reverb_depth, SETTING_CLAMP, 0, 0, 100, 0, 0, RESET_SOUND},
    {"mpReverbDelay", &mp_reverb_delay, SETTING_CLAMP, 0, 40, 200, 0, 0, RESET_SOUND},
    {"mpFlagsMEGABASS", &mp_flags, SETTING_FLAG, 0, 0, 1, 0, CONFIG_FLAG_MEGABASS, RESET_SOUND},
    {"mpBassAmount", &mp_bass_amount, SETTING_CLAMP, 0, 0, 100, 0, 0, RESET_SOUND},
    {"mpBassRange", &mp_bass_range, SETTING_CLAMP, 0, 10, 100, 0, 0, RESET_SOUND},
    {"mpFlagsSURROUND", &mp_flags, SETTING_FLAG, 0, 0, 1, 0, CONFIG_FLAG_SURROUND, RESET_SOUND},
    {"mpSurroundDepth", &mp_surround_depth, SETTING_CLAMP, 0, 0, 100, 0, 0, RESET_SOUND},
    {"mpSurroundDelay", &mp_surround_delay, SETTING_CLAMP, 0, 5, 40, 0, 0, RESET_SOUND},
    {"up2jump", &up2jump, SETTING_SWITCH, 0, 0, 1, 0, 0, RESET_NEVER},
};

enum { CONFIG_SETTING_COUNT = sizeof CONFIG_SETTINGS / sizeof CONFIG_SETTINGS[0] };

// 1 when the file was there but could not be read: it is then never written over.
static int32_t config_unreadable = 0;

static void reset_settings(int32_t reset) {
    for (const ConfigSetting& s : CONFIG_SETTINGS) {
        if (s.reset != reset) continue;
        if (s.kind == SETTING_FLAG)
            *s.value = s.start ? (*s.value | s.bit) : (*s.value & ~s.bit);
        else
            *s.value = s.start;
    }
}

// The settings and bindings hold their defaults before anything runs.
[[maybe_unused]] static const int32_t config_started =
    (reset_settings(RESET_SOUND), reset_settings(RESET_BINDINGS), reset_settings(RESET_NEVER), 1);

void config_defaults() { reset_settings(RESET_SOUND); }

void apply_default_bindings() { reset_settings(RESET_BINDINGS); }

int32_t config_default(const int32_t* value) {
    for (const ConfigSetting& s : CONFIG_SETTINGS)
        if (s.value == value && s.kind != SETTING_FLAG) return s.start;
    return 0;
}

// Appends "key=value\n"; the buffer is far larger than the 29 lines can get.
static void append_setting(char* text, uint32_t* length, const ConfigSetting& s) {
    int32_t value = *s.value;
    if (s.kind == SETTING_FLAG) value = (value & s.bit) ? 1 : 0;
    if (s.kind == SETTING_SWITCH) value = value ? 1 : 0;
    int n = s.kind == SETTING_KEY && value >= 'a' && value <= 'z'
                ? snprintf(text + *length, CONFIG_TEXT_MAX - *length, "%s=%c\n", s.key, (char)value)
                : snprintf(text + *length, CONFIG_TEXT_MAX - *length, "%s=%d\n", s.key, (int)value);
    if (n > 0 && *length + (uint32_t)n < CONFIG_TEXT_MAX) *length += (uint32_t)n;
}

void config_save() {
    if (config_unreadable) return;
    static char text[CONFIG_TEXT_MAX];
    uint32_t length = 0;
    text[0] = 0;
    for (const ConfigSetting& s : CONFIG_SETTINGS) append_setting(text, &length, s);
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

// The pad binding of the same action as a key binding ("j_jump" for "k_jump").
static const ConfigSetting* pad_partner(const ConfigSetting& key) {
    for (const ConfigSetting& s : CONFIG_SETTINGS)
        if (s.kind == SETTING_PAD && strcmp(s.key + 2, key.key + 2) == 0) return &s;
    return nullptr;
}

// Each action's key and pad binding are looked for together, until both are found.
static void load_binding(const uint8_t* text, uint32_t size, const ConfigSetting& key, const ConfigSetting* pad) {
    char k_key[CONFIG_KEY_MAX];
    char j_key[CONFIG_KEY_MAX];
    snprintf(k_key, sizeof k_key, "%s=", key.key);
    snprintf(j_key, sizeof j_key, "%s=", pad ? pad->key : "");
    uint32_t length = (uint32_t)strlen(k_key);
    int32_t k_value = -1;
    int32_t j_value = pad ? -1 : 0;
    // The last position looked at leaves room for the key, one value byte and a line end.
    for (uint32_t p = 0; size > length + 1 && p + length + 2 <= size; p++) {
        if (k_value >= 0 && j_value >= 0) break;
        if (matches_at(text, size, p, k_key, length)) {
            uint8_t after = text[p + length];
            k_value = after >= 'a' && after <= 'z' ? after : read_number(text, size, p + length);
        } else if (pad && matches_at(text, size, p, j_key, length)) {
            j_value = read_number(text, size, p + length);
        }
    }
    // A key code the event pump can never report is stored as unbound.
    *key.value = k_value >= key.low && k_value <= key.high ? k_value : key.outside;
    if (pad && j_value >= pad->low) *pad->value = j_value;
}

static int32_t clamp_value(int32_t value, int32_t low, int32_t high) {
    if (value < low) return low;
    if (value > high) return high;
    return value;
}

static void store_setting(const ConfigSetting& s, int32_t value) {
    switch (s.kind) {
        case SETTING_REPLACE:
            *s.value = value >= s.low && value <= s.high ? value : s.outside;
            break;
        case SETTING_FLAG:
            // Only a 1 changes the word: a 0 never clears a bit that is on.
            if (value == 1) *s.value |= s.bit;
            break;
        case SETTING_CLAMP:
            *s.value = clamp_value(value, s.low, s.high);
            break;
        default:
            *s.value = value > 0 ? 1 : 0;
            break;
    }
}

static bool is_binding(const ConfigSetting& s) { return s.kind == SETTING_KEY || s.kind == SETTING_PAD; }

static void load_settings(const uint8_t* text, uint32_t size) {
    if (size < CONFIG_TAIL) return;
    char keys[CONFIG_SETTING_COUNT][CONFIG_KEY_MAX];
    uint32_t lengths[CONFIG_SETTING_COUNT];
    for (int32_t k = 0; k < CONFIG_SETTING_COUNT; k++) {
        snprintf(keys[k], sizeof keys[k], "%s=", CONFIG_SETTINGS[k].key);
        lengths[k] = (uint32_t)strlen(keys[k]);
    }
    for (uint32_t p = 0; p <= size - CONFIG_TAIL; p++) {
        for (int32_t k = 0; k < CONFIG_SETTING_COUNT; k++) {
            const ConfigSetting& s = CONFIG_SETTINGS[k];
            if (!is_binding(s) && matches_at(text, size, p, keys[k], lengths[k]))
                store_setting(s, read_number(text, size, p + lengths[k]));
        }
    }
}

void config_load() {
    static uint8_t text[CONFIG_READ_MAX];
    uint32_t size = 0;
    int32_t status = read_user_file(make_user_path("floob2", "cfg"), text, CONFIG_READ_MAX, &size);
    config_unreadable = status == USER_FILE_UNREADABLE;
    if (status != USER_FILE_READ || size == 0) return;
    for (const ConfigSetting& s : CONFIG_SETTINGS)
        if (s.kind == SETTING_KEY) load_binding(text, size, s, pad_partner(s));
    load_settings(text, size);
}
