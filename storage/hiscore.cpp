#include "storage/hiscore.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "storage/archive.h"
#include "storage/recording.h"
#include "storage/userfile.h"

// The ten best scores, best first: read and made up by hiscore_load, changed only
// by hiscore_insert; the title shows it.
HiscoreEntry hiscore_table[HISCORE_ROWS];

enum {
    HISCORE_ENTRY_SIZE = 16,
    HISCORE_FILE_SIZE = HISCORE_ROWS * HISCORE_ENTRY_SIZE,
    HISCORE_XOR_START = 0xB7,
    HISCORE_MAX_SCORE = 50000,
    HISCORE_DEFAULT_NAMES = 17,
    HISCORE_ORIGIN_PLAYER = 0,
    HISCORE_ORIGIN_GAME = 1,
    HISCORE_ORIGIN_CHEAT = 2
};

// Names for the entries the game makes up itself.
static const char* const HISCORE_DEFAULT_NAME_LIST[HISCORE_DEFAULT_NAMES] = {
    "ZOMPEL", "KRIBU",  "BLENKO", "MUFFO",  "TARVI",  "QUIBBO", "SNORGA", "PLIMM", "WUZZEL",
    "DRONKA", "FENNUK", "GLOBBI", "HUMMEX", "JORPEL", "NUBBEL", "ROZZI",  "VENKA"};

// 1 for each made-up name already given out since the last load.
static int32_t default_name_taken[HISCORE_DEFAULT_NAMES];
// 1 when the file was there but could not be read: the table then lives in
// memory for the run and the player's file is never written over.
static int32_t hiscore_file_unreadable = 0;

void hiscore_reset_table() {
    hiscore_file_unreadable = 0;
    memset(hiscore_table, 0, sizeof hiscore_table);
    for (int32_t i = 0; i < HISCORE_ROWS; i++) {
        hiscore_table[i].origin = HISCORE_ORIGIN_GAME;
        hiscore_table[i].score = 1000 - 100 * i;
    }
}

static void set_entry_name(HiscoreEntry* entry, const char* name) {
    // Up to eight characters; the field needs no terminator of its own when full.
    memset(entry->name, 0, sizeof entry->name);
    entry->terminator = 0;
    size_t length = strnlen(name, HISCORE_NAME_SIZE);
    memcpy(entry->name, name, length);
}

static const char* take_default_name() {
    int32_t r = rand() % HISCORE_DEFAULT_NAMES;
    // Ten entries never exhaust seventeen names, so a free one is always found.
    for (int32_t tries = 0; tries < HISCORE_DEFAULT_NAMES && default_name_taken[r]; tries++) {
        r = (r + 1) % HISCORE_DEFAULT_NAMES;
    }
    default_name_taken[r] = 1;
    return HISCORE_DEFAULT_NAME_LIST[r];
}

static void entry_to_bytes(const HiscoreEntry* entry, uint8_t* bytes) {
    memcpy(bytes, entry->name, HISCORE_NAME_SIZE);
    bytes[8] = entry->terminator;
    bytes[9] = entry->origin;
    bytes[10] = entry->reserved[0];
    bytes[11] = entry->reserved[1];
    uint32_t score = (uint32_t)entry->score;
    for (int32_t b = 0; b < 4; b++) bytes[12 + b] = (uint8_t)(score >> (8 * b));
}

static void bytes_to_entry(const uint8_t* bytes, HiscoreEntry* entry) {
    memcpy(entry->name, bytes, HISCORE_NAME_SIZE);
    entry->terminator = bytes[8];
    entry->origin = bytes[9];
    entry->reserved[0] = bytes[10];
    entry->reserved[1] = bytes[11];
    uint32_t score = 0;
    for (int32_t b = 0; b < 4; b++) score |= (uint32_t)bytes[12 + b] << (8 * b);
    entry->score = (int32_t)score;
}

// Writes the table. Only an insert takes the table's lock (see
// hiscore_insert): the table made up or repaired at load is written
// without one, so that a game that enters no score leaves no lock file.
void hiscore_save() {
    if (hiscore_file_unreadable) return;
    uint8_t bytes[HISCORE_FILE_SIZE];
    for (int32_t i = 0; i < HISCORE_ROWS; i++) entry_to_bytes(&hiscore_table[i], bytes + i * HISCORE_ENTRY_SIZE);
    bytes[0] ^= HISCORE_XOR_START;
    for (int32_t k = 1; k < HISCORE_FILE_SIZE; k++) bytes[k] ^= bytes[k - 1];
    write_user_file(make_user_path("hiscores", "dat"), bytes, HISCORE_FILE_SIZE);
}

static void make_up_entry(int32_t i) {
    set_entry_name(&hiscore_table[i], take_default_name());
    hiscore_table[i].origin = HISCORE_ORIGIN_GAME;
    int32_t score = 1000 - 100 * i + rand() % 100;
    // Entries made up below kept ones must not climb above them.
    if (i > 0 && score > hiscore_table[i - 1].score) score = hiscore_table[i - 1].score;
    hiscore_table[i].score = score;
}

static void fill_cheater_table() {
    memset(hiscore_table, 0, sizeof hiscore_table);
    for (int32_t i = 0; i < HISCORE_ROWS; i++) {
        set_entry_name(&hiscore_table[i], "CHEATER");
        hiscore_table[i].origin = HISCORE_ORIGIN_CHEAT;
        hiscore_table[i].score = HISCORE_MAX_SCORE;
    }
}

// Puts the first n entries in descending score order, equal scores keeping
// their order. The game only ever writes sorted tables, but an edited or
// damaged file must not leave the table out of order: insertion and the
// qualifying check against entry 9 both rely on it.
static void sort_entries(int32_t n) {
    for (int32_t i = 1; i < n; i++) {
        HiscoreEntry moving = hiscore_table[i];
        int32_t k = i;
        for (; k > 0 && hiscore_table[k - 1].score < moving.score; k--) hiscore_table[k] = hiscore_table[k - 1];
        hiscore_table[k] = moving;
    }
}

// Undoes the file's byte chain, from the end so that each step still sees the
// stored byte before it.
static void undo_xor_chain(uint8_t* bytes, uint32_t count) {
    for (uint32_t k = count; k-- > 1;) bytes[k] ^= bytes[k - 1];
    if (count > 0) bytes[0] ^= HISCORE_XOR_START;
}

static int32_t entry_is_possible(const HiscoreEntry* entry) {
    return entry->terminator == 0 && (uint32_t)entry->score <= HISCORE_MAX_SCORE &&
           entry->origin <= HISCORE_ORIGIN_CHEAT;
}

void hiscore_load() {
    hiscore_file_unreadable = 0;
    memset(default_name_taken, 0, sizeof default_name_taken);
    // Seeded on every start so that the made-up names change from run to run;
    // a recording keeps the seed, so that its playback draws the same numbers.
    srand(session_seed(SDL_GetTicks()));
    uint8_t bytes[HISCORE_FILE_SIZE];
    uint32_t count = 0;
    int32_t status = read_user_file(make_user_path("hiscores", "dat"), bytes, HISCORE_FILE_SIZE, &count);
    if (status != USER_FILE_READ) {
        hiscore_reset_table();
        for (int32_t i = 0; i < HISCORE_ROWS; i++) make_up_entry(i);
        hiscore_file_unreadable = status == USER_FILE_UNREADABLE;
        hiscore_save();
        return;
    }
    undo_xor_chain(bytes, count);

    // A short file keeps the entries it holds whole; the missing places are made up.
    int32_t complete = (int32_t)(count / HISCORE_ENTRY_SIZE);
    HiscoreEntry read_table[HISCORE_ROWS];
    for (int32_t i = 0; i < complete; i++) {
        bytes_to_entry(bytes + i * HISCORE_ENTRY_SIZE, &read_table[i]);
        if (!entry_is_possible(&read_table[i])) {
            fill_cheater_table();
            hiscore_save();
            return;
        }
    }
    for (int32_t i = 0; i < complete; i++) {
        hiscore_table[i] = read_table[i];
        if (hiscore_table[i].name[0] == 0 || hiscore_table[i].origin == HISCORE_ORIGIN_GAME) {
            set_entry_name(&hiscore_table[i], take_default_name());
        }
    }
    sort_entries(complete);
    if (complete < HISCORE_ROWS) {
        for (int32_t i = complete; i < HISCORE_ROWS; i++) {
            memset(&hiscore_table[i], 0, sizeof hiscore_table[i]);
            make_up_entry(i);
        }
        hiscore_save();
    }
}

// Takes the table as another game may have written it since it was read:
// a whole table of possible entries replaces the one in memory; anything
// else in the file leaves the table in memory as it is.
static void reread_table() {
    uint8_t bytes[HISCORE_FILE_SIZE];
    uint32_t count = 0;
    if (hiscore_file_unreadable) return;
    if (read_user_file(make_user_path("hiscores", "dat"), bytes, HISCORE_FILE_SIZE, &count) != USER_FILE_READ) return;
    if (count != HISCORE_FILE_SIZE) return;
    undo_xor_chain(bytes, count);
    HiscoreEntry read_table[HISCORE_ROWS];
    for (int32_t i = 0; i < HISCORE_ROWS; i++) {
        bytes_to_entry(bytes + i * HISCORE_ENTRY_SIZE, &read_table[i]);
        if (!entry_is_possible(&read_table[i])) return;
    }
    for (int32_t i = 0; i < HISCORE_ROWS; i++) {
        if (read_table[i].name[0] == 0) set_entry_name(&read_table[i], take_default_name());
        hiscore_table[i] = read_table[i];
    }
    sort_entries(HISCORE_ROWS);
}

static int32_t insert_entry(int32_t score, const char* name) {
    // The caller makes sure the score beats the last entry; a lower one is never let in.
    if (score <= hiscore_table[HISCORE_ROWS - 1].score) return -1;
    int32_t position = 0;
    for (int32_t k = HISCORE_ROWS - 2; k >= 0; k--) {
        if (score > hiscore_table[k].score) {
            hiscore_table[k + 1] = hiscore_table[k];
        } else {
            position = k + 1;
            break;
        }
    }
    HiscoreEntry* entry = &hiscore_table[position];
    memset(entry, 0, sizeof *entry);
    set_entry_name(entry, name ? name : "");
    entry->origin = HISCORE_ORIGIN_PLAYER;
    entry->score = score;
    return position;
}

int32_t hiscore_insert(int32_t score, const char* name) {
    // Another game in the same folder may have added its entry since this
    // one read the table: under the lock the table is read again, the entry
    // put in and the table written, so that neither entry is lost.
    int lock = lock_user_file(make_user_path("hiscores", "dat"));
    reread_table();
    int32_t position = insert_entry(score, name);
    if (position >= 0) hiscore_save();
    unlock_user_file(lock);
    return position;
}
