#include <gtest/gtest.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    // Headless: no display and no sound card are needed.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
