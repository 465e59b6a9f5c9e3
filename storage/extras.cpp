#include "storage/extras.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "storage/archive.h"
#include "storage/text.h"
#include "storage/userfile.h"

enum {
    // The file holds a few short lines; a longer one is read in part and never written over.
    EXTRAS_READ_MAX = 64 * 1024,
    EXTRAS_VALUE_MAX = 256,
    EXTRAS_KEY_MAX = 64
};

// The file's text as read, with the values set since spliced in.
static char* extras_text = nullptr;
static uint32_t extras_length = 0;
static int32_t extras_loaded = 0;
static int32_t extras_changed = 0;
static int32_t extras_keep_file = 0;  // 1: the file on disk is not ours to replace
static char extras_value[EXTRAS_VALUE_MAX];

static const char* extras_path() { return make_user_path("floob2-extras", "cfg"); }

static void replace_text(char* text, uint32_t length) {
    free(extras_text);
    extras_text = text;
    extras_length = length;
}

void extras_load() {
    extras_loaded = 1;
    extras_changed = 0;
    extras_keep_file = 0;
    replace_text(nullptr, 0);
    uint8_t* buffer = static_cast<uint8_t*>(malloc(EXTRAS_READ_MAX + 1));
    if (!buffer) {
        extras_keep_file = 1;
        return;
    }
    uint32_t size = 0;
    int32_t status = read_user_file(extras_path(), buffer, EXTRAS_READ_MAX + 1, &size);
    if (status == USER_FILE_UNREADABLE || size > EXTRAS_READ_MAX) extras_keep_file = 1;
    if (status != USER_FILE_READ || size > EXTRAS_READ_MAX) size = status == USER_FILE_READ ? EXTRAS_READ_MAX : 0;
    replace_text(reinterpret_cast<char*>(buffer), size);
}

static void ensure_loaded() {
    if (!extras_loaded) extras_load();
}

// One line of the text: where its key and its value lie (both without the
// blanks around them); key_length 0 for a comment, a blank line or a line
// without '='.
struct ExtrasLine {
    uint32_t key_start, key_length;
    uint32_t value_start, value_length;
    uint32_t next;  // the start of the following line
};

static ExtrasLine read_line(uint32_t start) {
    ExtrasLine line = {start, 0, start, 0, start};
    uint32_t end = start;
    while (end < extras_length && extras_text[end] != '\n') end++;
    line.next = end < extras_length ? end + 1 : end;
    uint32_t p = start;
    while (p < end && is_blank(extras_text[p])) p++;
    if (p == end || extras_text[p] == '#') return line;
    const char* equals = static_cast<const char*>(memchr(extras_text + p, '=', end - p));
    if (!equals) return line;
    uint32_t key_end = (uint32_t)(equals - extras_text);
    uint32_t value_start = key_end + 1;
    while (key_end > p && is_blank(extras_text[key_end - 1])) key_end--;
    while (value_start < end && is_blank(extras_text[value_start])) value_start++;
    uint32_t value_end = end;
    while (value_end > value_start && is_blank(extras_text[value_end - 1])) value_end--;
    line.key_start = p;
    line.key_length = key_end - p;
    line.value_start = value_start;
    line.value_length = value_end - value_start;
    return line;
}

// The last line that sets key; 0 when there is none.
static int find_key(const char* key, ExtrasLine* found) {
    size_t length = strlen(key);
    int seen = 0;
    for (uint32_t p = 0; p < extras_length;) {
        ExtrasLine line = read_line(p);
        if (line.key_length == length && memcmp(extras_text + line.key_start, key, length) == 0) {
            *found = line;
            seen = 1;
        }
        if (line.next == p) break;
        p = line.next;
    }
    return seen;
}

const char* extras_get(const char* key) {
    ensure_loaded();
    ExtrasLine line;
    if (!key || !find_key(key, &line)) return nullptr;
    uint32_t length = line.value_length < EXTRAS_VALUE_MAX ? line.value_length : EXTRAS_VALUE_MAX - 1;
    memcpy(extras_value, extras_text + line.value_start, length);
    extras_value[length] = 0;
    return extras_value;
}

int32_t extras_get_int(const char* key, int32_t minimum, int32_t maximum, int32_t fallback) {
    const char* text = extras_get(key);
    if (!text) return fallback;
    const char* p = text;
    int negative = *p == '-';
    if (*p == '-' || *p == '+') p++;
    if (*p < '0' || *p > '9') return fallback;
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        value = value * 10 + (*p - '0');
        if (value > (int64_t)INT32_MAX + 1) return fallback;
    }
    if (*p) return fallback;
    if (negative) value = -value;
    if (value < minimum || value > maximum) return fallback;
    return (int32_t)value;
}

static int valid_key(const char* key) {
    size_t length = key ? strlen(key) : 0;
    if (length == 0 || length >= EXTRAS_KEY_MAX) return 0;
    for (size_t i = 0; i < length; i++) {
        char c = key[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return 0;
    }
    return 1;
}

static int valid_value(const char* value) {
    if (!value || strlen(value) >= EXTRAS_VALUE_MAX) return 0;
    if (strpbrk(value, "\n\r")) return 0;
    // Blanks at either end would be lost on reading.
    size_t length = strlen(value);
    return length == 0 || (!is_blank(value[0]) && !is_blank(value[length - 1]));
}

// Replaces length bytes at start with the given bytes.
static int splice(uint32_t start, uint32_t length, const char* with, uint32_t with_length) {
    uint32_t size = extras_length - length + with_length;
    char* text = static_cast<char*>(malloc(size + 1));
    if (!text) return 0;
    memcpy(text + start, with, with_length);
    if (extras_text) {
        memcpy(text, extras_text, start);
        memcpy(text + start + with_length, extras_text + start + length, extras_length - start - length);
    }
    replace_text(text, size);
    return 1;
}

int extras_set(const char* key, const char* value) {
    ensure_loaded();
    if (!valid_key(key) || !valid_value(value)) return 0;
    ExtrasLine line;
    uint32_t value_length = (uint32_t)strlen(value);
    if (find_key(key, &line)) {
        if (line.value_length == value_length && memcmp(extras_text + line.value_start, value, value_length) == 0)
            return 1;
        if (!splice(line.value_start, line.value_length, value, value_length)) return 0;
    } else {
        char added[EXTRAS_KEY_MAX + EXTRAS_VALUE_MAX + 4];
        int open_line = extras_length > 0 && extras_text[extras_length - 1] != '\n';
        int n = snprintf(added, sizeof added, "%s%s=%s\n", open_line ? "\n" : "", key, value);
        if (n <= 0 || n >= (int)sizeof added || !splice(extras_length, 0, added, (uint32_t)n)) return 0;
    }
    extras_changed = 1;
    return 1;
}

int extras_set_int(const char* key, int32_t value) {
    char text[16];
    snprintf(text, sizeof text, "%d", (int)value);
    return extras_set(key, text);
}

int extras_save() {
    ensure_loaded();
    if (!extras_changed) return 1;
    if (extras_keep_file) {
        fprintf(stderr, "Can't save %s: the file could not be read whole, it is left as it is\n", extras_path());
        return 0;
    }
    if (!write_user_file(extras_path(), extras_text ? extras_text : "", extras_length)) return 0;
    extras_changed = 0;
    return 1;
}
