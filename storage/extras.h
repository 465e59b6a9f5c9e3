// The game's own settings beyond the original configuration: the file
// "floob2-extras.cfg" beside "floob2.cfg", one "key=value" a line, lines
// starting with '#' are comments. Saving changes only the values that were
// set and keeps every other line (comments, unknown keys, blank lines) as it
// was, byte for byte.
#ifndef STORAGE_EXTRAS_H
#define STORAGE_EXTRAS_H

#include <stdint.h>

// The keys the game itself reads.
#define EXTRAS_FULLSCREEN "fullscreen"                    // 0/1: full screen at the last quit
#define EXTRAS_WINDOW_WIDTH "window_width"                // the last size of the window
#define EXTRAS_WINDOW_HEIGHT "window_height"              //
#define EXTRAS_PAUSE_ON_FOCUS_LOSS "pause_on_focus_loss"  // 0/1, default 1
#define EXTRAS_SCREENSHOT_RAW "screenshot_raw"            // 0/1, default 0: screenshots of the 320 x 240 frame
#define EXTRAS_LANGUAGE "language"                        // the language of the texts

// Reads the file of the player's folder afresh; a missing file is an empty
// one. The getters read it on first use, so calling this is only needed to
// pick up a file that changed (or a folder that did).
void extras_load();

// The value of key (blanks around it left out), or null when the file has
// none; the last line of a key counts. The text stays valid until the next
// call of an extras function.
const char* extras_get(const char* key);

// The value of key as a whole number from minimum to maximum; fallback when
// the key is missing or its value is not such a number.
int32_t extras_get_int(const char* key, int32_t minimum, int32_t maximum, int32_t fallback);

// Sets key (letters, digits and '_') to value (no line breaks): the value of
// its last line is replaced, or a line is added at the end. Returns 0 for a
// key or value that cannot be stored. Nothing is written until extras_save.
int extras_set(const char* key, const char* value);
int extras_set_int(const char* key, int32_t value);

// Writes the file when a value changed since it was read, like the player's
// other files (a temporary file renamed over it). A file that could not be
// read, or that is longer than the game reads, is never written over.
// Returns 1 when the file holds the values afterwards (or nothing changed).
int extras_save();

#endif
