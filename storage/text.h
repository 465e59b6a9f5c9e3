// The word separators of the game's line-based text files (the backdrop table, replays, the settings file).
#ifndef STORAGE_TEXT_H
#define STORAGE_TEXT_H

// A space, a tab, or the carriage return of a line ended the DOS way.
inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

#endif
