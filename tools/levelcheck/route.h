// The level checker's core: plays a level with the game's own world code,
// searches for an input route that collects every emerald and enters the open
// exit, and measures how forgiving that route is.
#ifndef LEVELCHECK_ROUTE_H
#define LEVELCHECK_ROUTE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "shell/replay.h"
#include "world/codes.h"

// Mechanics a route can meet, as bits of RouteResult::mechanics.
enum {
    MET_BUMP_BLOCK = 1 << 0,
    MET_BREAK_BLOCK = 1 << 1,
    MET_CRUMBLE = 1 << 2,
    MET_TRAPDOOR = 1 << 3,
    MET_SPIKE_TRAP = 1 << 4,
    MET_CHECKPOINT = 1 << 5,
    MET_EXTRA_LIFE = 1 << 6,
    MET_ELEVATOR = 1 << 7,
    MET_WATER = 1 << 8,
    MET_STOMP_UFO = 1 << 9,
    MET_STOMP_STONEBAT = 1 << 10,
    MET_STOMP_ANDROID = 1 << 11,
    MET_BOUNCE = 1 << 12,
    MET_COUNT = 13
};

const char* mechanic_name(int32_t bit_index);

struct RouteResult {
    int32_t finished;        // 1 when the hero entered the open exit
    int32_t frames;          // play frames after the get-ready phase
    int32_t emeralds_total;  // emeralds the level counts at its start
    int32_t emeralds_left;   // at the end
    int32_t died;            // 1 when the hero died on the way
    int32_t mechanics;       // MET_* bits met on the way
    int32_t min_air;         // lowest air supply on the way
    int32_t hero_x;          // where the hero was when the run ended
    int32_t hero_y;
    int32_t missed_column;  // the first emerald left at the end, or -1
    int32_t missed_row;
};

// Loads level bytes the way a new level starts (start 16, 100, no checkpoint,
// fresh tables) and keeps them for the runs below. Returns 0 when the loader
// refuses the bytes.
int route_load_level(const uint8_t* bytes, int32_t size);

// Plays held-button frames (one entry per play frame, from the first frame after
// the get-ready phase) from the level's start and reports what happened.
RouteResult route_play(const std::vector<uint8_t>& held);

struct SearchStats {
    int64_t frames_simulated;
    int64_t deaths_avoided;  // candidate moves dropped because the hero died
    int32_t steps;
    // The farthest the search got: the best-scored hero of the last step.
    int32_t best_emeralds;  // emeralds collected
    int32_t best_x;         // hero position in pixels
    int32_t best_y;
};

// Beam search for a finishing route. Returns an empty route when none is found.
std::vector<uint8_t> route_search(int32_t beam_width, SearchStats* stats);

// How many frames each input change of the route can move earlier (slack_early)
// and later (slack_late), up to limit, with the level still finished.
struct ChangeSlack {
    int32_t frame;
    int32_t jump;  // 1 for a jump press, 0 for a change of direction
    int32_t slack_early;
    int32_t slack_late;
    // How the first failing variant ended (frames -1 when none failed within
    // the limit): the spot that makes this change tight.
    RouteResult early_fail;
    RouteResult late_fail;
};
std::vector<ChangeSlack> route_slack(const std::vector<uint8_t>& held, int32_t limit);

// Moves fragile input changes to the middle of the window in which the level
// is still finished, so that a person need not hit them to the frame.
void route_relax(std::vector<uint8_t>& held, int32_t limit);

// The whole replay of a life: the get-ready frames, then the route, with the
// released button derived from the held bits.
std::vector<ReplayFrame> route_to_replay(const std::vector<uint8_t>& held);

#endif
