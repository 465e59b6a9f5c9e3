#include "shell/signals.h"

#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <new>

#include "floob.h"
#include "shell/frame.h"
#include "shell/startup.h"

// The libraries allocate with new (the module player does, for one); when
// memory runs out there, the game ends like any other failure instead of
// being aborted by an exception nobody catches.
static void end_out_of_memory() { fatal_error("Out of memory", nullptr); }

void prepare_process_signals() {
    // A closed pipe or terminal makes a write fail instead of killing the
    // game, the help text's too ("floob2 -h | true" ends with status 0).
    signal(SIGPIPE, SIG_IGN);
    // SDL starts without its own fatal-signal handlers, which would shut it
    // down inside a signal handler; ours only note the signal for the pump.
    catch_termination_signals();
    signal(SIGXFSZ, SIG_IGN);
    std::set_new_handler(end_out_of_memory);
}

void end_on_termination(int signal_number) {
    close_game();
    fflush(stdout);
    // Whoever sent the signal learns that it was obeyed: the process ends by it.
    signal(signal_number, SIG_DFL);
    raise(signal_number);
    _exit(128 + signal_number);
}
