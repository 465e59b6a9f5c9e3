// The desktop's keys and window events, taken by the event pump before the
// game sees them: full screen (Alt+Enter, F11), screenshots (F12, Print
// Screen), a window the player resizes, and the loss of input focus.
#ifndef SHELL_DESKTOP_H
#define SHELL_DESKTOP_H

#include <SDL.h>
#include <stdint.h>

// Set by a poll in which the window lost input focus or was iconified; read_controls pauses on it.
extern int32_t focus_lost;

// 1 when the event is one of the desktop's and is used up: its key never
// reaches the game, key capture or the screens waiting for a key (its release
// neither). A toggle or a screenshot takes effect at once; a resize is noted
// and set by desktop_end_poll, so that a drag sets one size per frame.
int desktop_event(const SDL_Event& event);

// Sets the size of the last resize of the poll, if any.
void desktop_end_poll();

// The game's own settings that belong to the desktop, read from the extras
// file at start-up (the command line's video options win over them for the
// run), and what the run changed of them written back at the end: the
// toggle's state and the window's last size, only when the player used them.
// Nothing is written in a run that did not load them (a scripted one).
void desktop_settings_load(int32_t keep_fullscreen, int32_t keep_window_size);
void desktop_settings_save();

#endif
