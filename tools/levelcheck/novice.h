// The novice player: a simple model of a first-time player, played through the
// game's own world step, that says how far a level lets such a player get and
// how many lives it costs to finish.
//
// The novice holds right all the time and never goes back. It sees what the
// screen shows: standing on the ground it looks ahead as far as it would walk
// in LOOKAHEAD frames and, when walking on would kill it or leave it stuck
// against a wall (a gap, a wall, spikes, an enemy), it jumps. It knows the last
// frame from which a jump still gets it past, but cannot cut it that fine: it
// presses `reaction` frames earlier (or at once when that moment has passed).
// It also jumps for an emerald it sees above its way, in the same manner. It
// cannot see the hidden spike traps until one has killed it. It gives up a life
// stuck for STUCK_FRAMES frames without getting further right.
//
// It learns: a life that ends at a spot (died, stuck, or emeralds it jumped for
// and missed) halves its reaction margin there for the next life. It restarts
// at the last checkpoint it touched, as the game does.
#ifndef LEVELCHECK_NOVICE_H
#define LEVELCHECK_NOVICE_H

#include <stdint.h>
#include <stdio.h>

#include <vector>

enum {
    NOVICE_REACTION = 12,  // frames: 0.2 s, a person's reaction to something seen
    REFLEX_REACTION = 0,   // the reflex player: jumps at the very last moment
    NOVICE_LIFE_CAP = 10,
    NOVICE_EARLIEST = -6,  // a noisy novice presses each jump this many frames early at most
    NOVICE_LATEST = 3      // and this many late
};

enum { LIFE_EXIT, LIFE_DIED, LIFE_STUCK, LIFE_TIME_UP, LIFE_MISSED_EMERALDS };

struct NoviceLife {
    int32_t start_column;
    int32_t farthest_column;  // the farthest the hero's left edge got
    int32_t end;              // LIFE_*
    int32_t end_column;       // where the life ended
    int32_t end_row;
    int32_t emeralds_taken;  // in this life
    int32_t emeralds_left;   // at its end
    int32_t frames;
    std::vector<int32_t> missed;  // cell indices (column x 12 + row) of the emeralds left, at the end
};

struct NoviceResult {
    int32_t finished;     // reached the open exit within the cap
    int32_t lives_used;   // lives until it did (or the lives it played)
    int32_t repeats;      // 1 when it stopped because the next life would play as the last
    int32_t exit_column;  // the exit's left column
    std::vector<NoviceLife> lives;
};

// Plays the level bytes from a new game, life after life, until the novice
// with this reaction margin enters the open exit, `cap` lives are used, or the
// next life would only repeat the last one. A seed other than 0 makes its hand
// unsteady: every jump is pressed a lateness drawn from NOVICE_EARLIEST to
// NOVICE_LATEST frames off the frame it meant (never before the frame it decides
// on), the draws coming from that seed, so the same seed always plays the same.
NoviceResult novice_play(const uint8_t* level, int32_t size, int32_t reaction, int32_t cap, uint32_t seed = 0);

// Of the noisy novices with seeds 1..seeds, how many finish with every emerald
// in their first life, and how many within three lives.
struct NoisyCounts {
    int32_t first_life;
    int32_t three_lives;
};
NoisyCounts novice_noisy(const uint8_t* level, int32_t size, int32_t seeds);

// The share, in percent, of the way from the level's start to its exit that a life got.
int32_t novice_share(const NoviceResult& r, const NoviceLife& life);

const char* life_end_name(int32_t end);

// Where the novice writes what it decides, frame by frame (null: nowhere).
extern FILE* novice_trace;

#endif
