// How the process meets signals and running out of memory.
#ifndef SHELL_SIGNALS_H
#define SHELL_SIGNALS_H

// Set once at start-up, before SDL: SIGTERM, SIGINT, SIGHUP and SIGQUIT end the game at
// the event pump's next poll; a closed pipe or a file-size limit makes a write fail
// instead of killing the game; memory running out inside a library ends it like any
// other failure.
void prepare_process_signals();

// After a termination signal: the normal shutdown, then the process ends by
// that signal. Called by the event pump; nothing is saved on the way.
[[noreturn]] void end_on_termination(int signal_number);

#endif
