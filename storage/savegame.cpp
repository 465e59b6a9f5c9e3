#include "storage/savegame.h"

#include <stdlib.h>

#include "floob.h"
#include "storage/archive.h"
#include "storage/userfile.h"

enum { SAVEGAME_SIZE = 4, SAVEGAME_KEY_DRAWS = 10, SAVEGAME_FALLBACK_KEY = 0x5AC3 };

// 1 when the save file was there but could not be read: it is then never written over.
static int32_t save_file_unreadable = 0;

static int32_t key_is_valid(int32_t key) { return key != 0 && key != 0xFFFF; }

int32_t save_game_write(int32_t completed_level) {
    int32_t level = completed_level & 0xFF;
    int32_t key = rand() & 0xFFFF;
    for (int32_t draws = 1; draws < SAVEGAME_KEY_DRAWS && !key_is_valid(key); draws++) key = rand() & 0xFFFF;
    if (!key_is_valid(key)) key = SAVEGAME_FALLBACK_KEY;
    int32_t mixed = (level * 257) ^ key;
    uint8_t bytes[SAVEGAME_SIZE] = {(uint8_t)(key >> 8), (uint8_t)(mixed & 0xFF), (uint8_t)(key & 0xFF),
                                    (uint8_t)(mixed >> 8)};
    if (!save_file_unreadable) {
        // Under the same lock as another game's save in this folder, so that one write is never mixed into the other.
        const char* path = make_user_path("savegame", "dat");
        int lock = lock_user_file(path);
        write_user_file(path, bytes, SAVEGAME_SIZE);
        unlock_user_file(lock);
    }
    return level;
}

int32_t save_game_read() {
    // One byte more than a save holds, so that a longer, foreign file is noticed.
    uint8_t bytes[SAVEGAME_SIZE + 1];
    uint32_t count = 0;
    int32_t status = read_user_file(make_user_path("savegame", "dat"), bytes, sizeof bytes, &count);
    save_file_unreadable = status == USER_FILE_UNREADABLE;
    if (count != SAVEGAME_SIZE) return 0;
    int32_t key = bytes[0] * 256 + bytes[2];
    if (!key_is_valid(key)) return 0;
    int32_t mixed = (bytes[3] * 256 + bytes[1]) ^ key;
    if ((mixed >> 8) != (mixed & 0xFF)) return 0;
    int32_t level = mixed & 0xFF;
    if (level < 1 || level > 10) return 0;
    return level;
}
