// Shared header: the global game state, the logical button bits and the ids
// that more than one subsystem uses. Each global is defined once, in the unit
// named beside it.
#ifndef FLOOB_H
#define FLOOB_H

#include <SDL.h>
#include <stdint.h>

// Logical buttons: bits of buttons_held and values of button_released.
enum {
    BTN_UP = 0x80,
    BTN_DOWN = 0x40,
    BTN_RIGHT = 0x20,
    BTN_LEFT = 0x10,
    BTN_JUMP = 0x08,
    BTN_PAUSE = 0x04,
    BTN_START = 0x02
};

// Archive ids (storage/archive).
enum { ARCHIVE_GFX = 0, ARCHIVE_MAPS = 1, ARCHIVE_MUSIC = 2, ARCHIVE_SOUND = 3, ARCHIVE_SLOTS = 7 };

// Sound ids (audio/sound).
enum {
    SND_KLONK = 0,
    SND_KRACK = 1,
    SND_AJ = 2,
    SND_BLUBB = 3,
    SND_JIPIE = 4,
    SND_CHEW = 5,
    SND_KNIRK = 6,
    SND_TADA = 7,
    SND_TRDOOR = 8,
    SND_BOINK = 9,
    SND_BAT = 10,
    SND_KLACK = 11,
    SND_SPLASH = 12,
    SND_COUNT = 13
};

// Song ids (audio/music).
enum { SONG_TITLE = 0, SONG_LEVEL_COMPLETE = 11, SONG_JINGLE = 12, SONG_COUNT = 13 };

// Scale modes (gfx/video, gfx/scale).
enum {
    SCALE_NONE = 0,
    SCALE_SIMPLE = 1,
    SCALE_SCALE2X = 2,
    SCALE_SCANLINE = 3,
    SCALE_BILINEAR = 4,
    SCALE_ANTIALIAS = 5
};

// Enemy types (world/actors).
enum {
    ENEMY_UFO = 1,
    ENEMY_BUG = 2,
    ENEMY_STONEBAT = 3,
    ENEMY_STONEBAT_HIT = 4,
    ENEMY_STEELFISH = 5,
    ENEMY_ANDROID = 6
};

// Tile effect kinds (world/actors).
enum {
    EFFECT_BREAK = 1,
    EFFECT_CRUMBLE = 2,
    EFFECT_SPIKES = 4,
    EFFECT_BUMP = 5,
    EFFECT_TRAPDOOR = 6,
    EFFECT_CHECKPOINT = 7,
    EFFECT_CLEAR = 8
};

// The hero record: sixteen signed 32-bit fields in this order.
struct Hero {
    int32_t x;
    int32_t y;
    int32_t vy;
    int32_t anim_counter;
    int32_t idle_counter;
    int32_t frame;
    int32_t alive;
    int32_t dying;
    int32_t exit_reached;
    int32_t closed_exit_touched;
    int32_t jump_latch;
    int32_t bounce;
    int32_t in_trapdoor;
    int32_t trapdoor_x;
    int32_t trapdoor_y;
    int32_t platform;
};

// Ends the process with status 1 after printing "message: detail".
// A null detail prints "unknown". Defined in storage/fatal.cpp.
[[noreturn]] void fatal_error(const char* message, const char* detail);

// Game flow state (shell/game.cpp).
extern int32_t current_level;  // -1 test map, 0 title, 1..10 play, 11 finale
extern int32_t menu_state;
extern int32_t paused;
extern int32_t quit_request;
extern int32_t highlighted_entry;
extern int32_t saved_level;
extern int32_t level_frame;
extern int32_t language;  // the message table row in use, chosen at start-up; storage/messages.cpp

// The world's state, fields of the world record (world/world.cpp).
extern int32_t& lives;
extern int32_t& points;
extern int32_t& level_timer;
extern int32_t& air;
extern int32_t& start_x;  // where the next life starts
extern int32_t& start_y;
extern int32_t& checkpoint_reached;
extern int32_t& camera_x;  // left edge of the view in map pixels

// Why the hero was lost, shown by the play screen (world/hero.cpp).
extern char death_message[256];

// What the event pump and the frame clock report (shell/frame.cpp).
extern int32_t buttons_held;     // bit set of BTN_*
extern int32_t button_released;  // the button released last in the current poll, 0 for none
extern int32_t last_key;         // SDL key symbol of the last key-down, 0 after a pad button
extern int32_t last_pad_button;  // index of the last pad button pressed, -1 after any key event
extern int32_t quit_signal;      // 1 after Escape or a closed window
extern int32_t skip_draw;        // 1 when this frame is updated but not drawn; every drawing routine obeys it

// Settings from the configuration file (storage/config.cpp).
extern int32_t mus_volume;  // percent 0..100
extern int32_t sfx_volume;  // percent 0..100

// Start-up resources (shell/startup.cpp), the backdrop (world/backdrop.cpp) and
// the test mode of "-t" (shell/cmdline.cpp).
extern SDL_Joystick* joystick;
extern SDL_Surface* logo_image;
extern SDL_Surface* back_image;
extern int32_t test_mode;

#endif
