// The world's entry points: the level timer and the air supply of a play frame,
// the splash of a dive, and a life started on bytes the loader refuses.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "support/support.h"
#include "world/world.h"

namespace {

// The plain floor level with water in the cell to the right of the start.
std::string level_with_water() {
    std::string bytes = plain_floor_level();
    bytes[LEVEL_HEADER_BYTES + 3 * MAP_ROWS + 10] = (char)CODE_WATER;
    return bytes;
}

void start_life(const std::string& bytes) {
    world_new_game();
    death_message[0] = 0;
    ASSERT_EQ(1, world_start_life_bytes((const uint8_t*)bytes.data(), (int32_t)bytes.size(), 0));
}

// One play frame of the world's hero with these buttons held.
void play_frame(int32_t held) {
    world_read_controls(held);
    world_step(&world.hero);
}

}  // namespace

TEST(WorldStep, TheClockOrTheAirRunningOutRemovesTheHero) {
    const struct {
        int32_t in_water;
        int32_t timer;
        int32_t air;
        const char* text;  // null: the hero is still in play
    } cases[] = {{0, 2, AIR_SUPPLY, nullptr}, {0, 1, AIR_SUPPLY, "TIME UP"}, {0, 0, AIR_SUPPLY, "TIME UP"},
                 {1, 100, 2, nullptr},        {1, 100, 1, "DROWNED"},        {1, 100, 0, "DROWNED"}};
    for (const auto& c : cases) {
        start_life(level_with_water());
        if (c.in_water) world.hero.x = 3 * CELL_SIZE;
        level_timer = c.timer;
        air = c.air;
        play_frame(0);
        SCOPED_TRACE(testing::Message() << "timer " << c.timer << ", air " << c.air);
        EXPECT_EQ(c.text ? 0 : 1, world.hero.alive);
        EXPECT_STREQ(c.text ? c.text : "", death_message);
        if (c.text) {
            EXPECT_EQ(DEATH_COUNTDOWN, world.hero.idle_counter);
        }
    }
}

TEST(WorldStep, AirDropsInTheWaterAndRefillsByTwoUpToTheFullSupply) {
    start_life(level_with_water());
    world.hero.x = 3 * CELL_SIZE;
    for (int32_t i = 0; i < 3; i++) play_frame(0);
    EXPECT_EQ(AIR_SUPPLY - 3, air);
    EXPECT_EQ(1, world.water_sound_played) << "one splash per dive";
    world.hero.x = CELL_SIZE;
    play_frame(0);
    EXPECT_EQ(AIR_SUPPLY - 1, air);
    EXPECT_EQ(0, world.water_sound_played);
    play_frame(0);
    EXPECT_EQ(AIR_SUPPLY - 1, air) << "no refill above the limit";
    EXPECT_EQ(LEVEL_TIME_LIMIT - 5, level_timer);
}

TEST(WorldStep, ARefusedLevelLeavesTheWorldAsItWas) {
    start_life(level_with_water());
    play_frame(BTN_RIGHT);
    WorldState before = world;
    std::string cut = plain_floor_level().substr(0, 100);
    EXPECT_EQ(0, world_start_life_bytes((const uint8_t*)cut.data(), (int32_t)cut.size(), 0));
    EXPECT_EQ(0, memcmp(&before, &world, sizeof world));
}
