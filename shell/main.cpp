#include "shell/startup.h"

// The window icon, compiled by the build from the game's icon source into the
// build tree (hence on the include path, not beside this file).
static const uint32_t WINDOW_ICON[] = {
#include <window_icon.inc>
};
static_assert(sizeof WINDOW_ICON == WINDOW_ICON_SIDE * WINDOW_ICON_SIDE * sizeof(uint32_t),
              "the window icon has the wrong size");

int main(int argc, char** argv) {
    window_icon_pixels = WINDOW_ICON;
    return run_game(argc, argv);
}
