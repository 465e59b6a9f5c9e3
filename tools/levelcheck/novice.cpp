#include "novice.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>

#include "floob.h"
#include "world/actors.h"
#include "world/level.h"
#include "world/map.h"
#include "world/world.h"

enum {
    LOOKAHEAD = 48,      // frames of walking the novice sees ahead: 96 pixels, what the view shows ahead
    JUMP_HOLD = 6,       // frames the jump button is held
    LAND_SETTLE = 4,     // frames on the ground after a jump before it counts as landed
    JUMP_WATCH = 120,    // frames a jump is followed at most
    STUCK_FRAMES = 360,  // 6 s without getting further right and the novice gives the life up
    WAIT_STEP = 4,       // frames a waiting novice stands still before it looks again
    WAIT_SAFE = 240,     // frames a spot must stay safe to wait there (an elevator's round trip)
    WAIT_NEAR = 8,       // frames before the edge of a harm that nothing gets past where it may stop to wait
    EMERALD_AIM = 3,     // an emerald in view for a while needs a third of the reaction margin
    SNAP_LEFT = 1,       // columns around the camera a prediction may change
    SNAP_RIGHT = 80,
    SETTLE_FRAMES = 240,  // frames the world runs on after a life, until its tile effects have ended
    MAX_HALVINGS = 5
};

FILE* novice_trace = nullptr;

static const char* const LIFE_END_NAMES[] = {"reached the exit", "died", "stuck", "time up", "missed emeralds"};

const char* life_end_name(int32_t end) { return end >= 0 && end <= LIFE_MISSED_EMERALDS ? LIFE_END_NAMES[end] : ""; }

// The world at one frame, with the cells a prediction may change.
static void snap_save(WorldSnapshot& s) {
    world_save(s, camera_x / CELL_SIZE - SNAP_LEFT, camera_x / CELL_SIZE + SNAP_RIGHT);
}

static int32_t snap_cell(const WorldSnapshot& s, int32_t index) {
    int32_t at = index - s.cells_first;
    if (at < 0 || at >= (int32_t)s.cells.size()) return map_cells[index];
    return s.cells[(size_t)at];
}

// One play frame of the world with these buttons held.
static void play_frame(Hero* hero, int32_t held) {
    world_read_controls(held);
    world_step(hero);
}

static int on_ground(const Hero& h) {
    return h.platform >= 0 || is_solid_at(h.x, h.y + CELL_SIZE) || is_solid_at(h.x + CELL_SIZE - 1, h.y + CELL_SIZE);
}

static int lost(const Hero& h) { return !h.alive || h.dying; }

static int finished(const Hero& h) { return h.alive && !h.dying && h.exit_reached; }

// What the novice has learnt: how often a spot (a column) has cost it a life,
// and the hidden traps it has met.
struct Lessons {
    std::map<int32_t, int32_t> fails;
    std::vector<int32_t> known_traps;
};

static int32_t margin_at(const Lessons& lessons, int32_t reaction, int32_t column) {
    int32_t fails = 0;
    for (int32_t c = column - 1; c <= column + 1; c++) {
        auto it = lessons.fails.find(c);
        if (it != lessons.fails.end()) fails = std::max(fails, it->second);
    }
    return fails >= MAX_HALVINGS ? 0 : reaction >> fails;
}

// The novice cannot tell a hidden trap from pebbles: in what it foresees,
// every trap it has not met yet is harmless.
static void blind_traps(const Lessons& lessons) {
    int32_t first = std::max(0, camera_x / CELL_SIZE) * MAP_ROWS;
    int32_t last = std::min(map_columns, camera_x / CELL_SIZE + SNAP_RIGHT / 2) * MAP_ROWS;
    for (int32_t i = first; i < last; i++) {
        if (map_cells[i] != CODE_SPIKE_TRAP && map_cells[i] != CODE_SPIKES_SPRINGING) continue;
        if (std::find(lessons.known_traps.begin(), lessons.known_traps.end(), i) != lessons.known_traps.end()) continue;
        map_cells[i] = 25;
    }
}

// One frame of walking right in a prediction; 1 when it ran into harm (died,
// or stands blocked by a wall).
static int walk_frame(Hero& hero) {
    int32_t x = hero.x;
    int standing = on_ground(hero);
    play_frame(&hero, BTN_RIGHT);
    return lost(hero) || (standing && hero.x == x && !finished(hero));
}

struct JumpOutcome {
    int32_t safe;  // survived and landed
    int32_t x;     // where it stood after landing
    int32_t emeralds_left;
};

// Follows a jump pressed now, right held, until the hero has landed again.
static JumpOutcome follow_jump() {
    Hero& hero = world.hero;
    JumpOutcome out = {0, hero.x, emeralds_left};
    int32_t airborne = 0;
    int32_t grounded = 0;
    for (int32_t f = 0; f < JUMP_WATCH; f++) {
        play_frame(&hero, f < JUMP_HOLD ? (BTN_RIGHT | BTN_JUMP) : BTN_RIGHT);
        if (finished(hero)) {
            out.safe = 1;
            break;
        }
        if (lost(hero)) break;
        if (!on_ground(hero)) {
            airborne = 1;
            grounded = 0;
        } else if (airborne && ++grounded >= LAND_SETTLE) {
            out.safe = 1;
            break;
        }
    }
    if (!airborne) out.safe = 0;
    out.x = hero.x;
    out.emeralds_left = emeralds_left;
    return out;
}

// The walk the novice foresees from where it last jumped: the world LOOKAHEAD
// frames ahead (or where harm comes), kept from frame to frame.
struct Foresight {
    int32_t valid;
    int32_t frame;  // the frame the state is at
    int32_t harm_frame;
    int32_t harm_x;
    int32_t harm_deadly;   // 0 when the harm is only a wall in the way
    int32_t ground_frame;  // the last frame it stood on the ground before the harm, and where
    int32_t ground_x;
    WorldSnapshot state;
};

struct Decision {
    int32_t press_frame;  // -1 for none
    int32_t spot;         // the column it is made for; -1 when there was nothing to decide
    int32_t for_emerald;
    int32_t wait;      // 1: no jump gets past, but standing still is safe for now
    int32_t hopeless;  // 1: no jump gets past and standing still is not safe either
};

struct LifeState {
    int32_t reaction;
    Lessons* lessons;
    Foresight ahead;
    std::vector<int32_t> scanned;  // emeralds it has thought about since it last jumped
    int32_t hopeless_until;        // a hazard no jump gets past: nothing to decide until then
};

// The first emerald ahead that the foreseen walk passes by and that the
// novice has not yet thought about since it last jumped; -1 for none.
static int32_t emerald_target(const LifeState& ls) {
    int32_t column = world.hero.x / CELL_SIZE;
    // Only emeralds the foreseen walk has gone past without taking them.
    int32_t last = std::min(map_columns, ls.ahead.state.state.hero.x / CELL_SIZE);
    for (int32_t i = column * MAP_ROWS; i < last * MAP_ROWS; i++) {
        if (map_cells[i] != CODE_EMERALD || snap_cell(ls.ahead.state, i) != CODE_EMERALD) continue;
        if (std::find(ls.scanned.begin(), ls.scanned.end(), i) == ls.scanned.end()) return i;
    }
    return -1;
}

// Extends the foreseen walk to LOOKAHEAD frames past now.
static void foresee(LifeState& ls, int32_t now, const WorldSnapshot& real) {
    Foresight& a = ls.ahead;
    if (!a.valid) {
        blind_traps(*ls.lessons);
        snap_save(a.state);
        a.valid = 1;
        a.frame = now;
        a.harm_frame = -1;
        a.ground_frame = now;
        a.ground_x = world.hero.x;
    }
    if (a.harm_frame >= 0 || a.frame >= now + LOOKAHEAD) {
        world_restore(real);
        return;
    }
    world_restore(a.state);
    while (a.frame < now + LOOKAHEAD && a.harm_frame < 0) {
        blind_traps(*ls.lessons);
        if (on_ground(world.hero)) {
            a.ground_frame = a.frame;
            a.ground_x = world.hero.x;
        }
        a.frame++;
        if (walk_frame(world.hero)) {
            // Past the harm is past where it left the ground: a fall carries the hero on to the right.
            a.harm_frame = a.frame;
            a.harm_x = std::min(world.hero.x, a.ground_x);
            a.harm_deadly = lost(world.hero);
        }
    }
    snap_save(a.state);
    world_restore(real);
}

// The snapshots of the foreseen walk from now on, one per frame, up to `frames`.
static std::vector<WorldSnapshot> walk_snaps(const Lessons& lessons, int32_t frames) {
    std::vector<WorldSnapshot> snaps((size_t)frames + 1);
    for (int32_t s = 0; s <= frames; s++) {
        blind_traps(lessons);
        snap_save(snaps[(size_t)s]);
        if (s < frames && walk_frame(world.hero)) {
            snaps.resize((size_t)s + 1);
            break;
        }
    }
    return snaps;
}

// The latest frame of the foreseen walk from which a jump gets past the harm, pressed
// its reaction margin early; d.press_frame stays -1 when no jump gets past.
static void jump_past_harm(const LifeState& ls, int32_t now, const std::vector<WorldSnapshot>& snaps, Decision& d) {
    const Foresight& a = ls.ahead;
    for (int32_t s = (int32_t)snaps.size() - 1; s >= 0 && d.press_frame < 0; s--) {
        world_restore(snaps[(size_t)s]);
        int32_t column = world.hero.x / CELL_SIZE;
        if (!on_ground(world.hero) || world.control_jump) continue;
        JumpOutcome j = follow_jump();
        if (!j.safe || j.x <= a.harm_x) continue;
        // Being late for a wall costs nothing: it jumps when it gets there.
        int32_t margin = a.harm_deadly ? margin_at(*ls.lessons, ls.reaction, column) : 0;
        d.press_frame = now + std::max(0, s - margin);
        d.spot = column;
    }
}

// Nothing gets past: walk on as far as it can still stand and wait there safely
// (an elevator may come, an enemy may turn), or give the hazard up as hopeless.
static void wait_before_harm(LifeState& ls, int32_t now, const std::vector<WorldSnapshot>& snaps, Decision& d) {
    const Foresight& a = ls.ahead;
    int32_t wait_at = -1;
    int32_t last = std::min((int32_t)snaps.size() - 1, std::max(0, a.ground_frame - now - WAIT_NEAR));
    for (int32_t s = last; s >= 0 && wait_at<0; s -= s> WAIT_STEP ? WAIT_STEP : 1) {
        world_restore(snaps[(size_t)s]);
        if (!on_ground(world.hero)) continue;
        int safe = 1;
        for (int32_t f = 0; f < WAIT_SAFE && safe; f++) {
            play_frame(&world.hero, 0);
            if (lost(world.hero)) safe = 0;
        }
        if (safe) wait_at = s;
    }
    d.spot = a.harm_x / CELL_SIZE;
    if (wait_at > 0) {
        ls.hopeless_until = now + wait_at;
        d.spot = -1;
    } else if (wait_at == 0) {
        d.wait = 1;
    } else {
        d.hopeless = 1;
        ls.hopeless_until = a.harm_frame;
    }
}

// With no harm ahead, the first emerald the walk passes by: the frames from which a
// jump takes it, until the walk has passed it; it aims at the middle of the longest
// run of them and presses a little early.
static void jump_for_emerald(LifeState& ls, int32_t now, const WorldSnapshot& real, Decision& d) {
    int32_t target = emerald_target(ls);
    if (target < 0) return;
    ls.scanned.push_back(target);
    int32_t frames = ((target / MAP_ROWS) * CELL_SIZE + 2 * CELL_SIZE - world.hero.x) / 2;
    std::vector<WorldSnapshot> snaps = walk_snaps(*ls.lessons, std::max(1, std::min(frames, 2 * LOOKAHEAD)));
    std::vector<uint8_t> takes(snaps.size(), 0);
    for (size_t s = 0; s < snaps.size(); s++) {
        world_restore(snaps[s]);
        if (!on_ground(world.hero) || world.control_jump) continue;
        // A jump that takes it must not leave more emeralds than walking on would.
        int32_t from = world.level_timer;
        JumpOutcome j = follow_jump();
        size_t then = std::min(snaps.size() - 1, s + (size_t)(from - world.level_timer));
        takes[s] = j.safe && map_cells[target] != CODE_EMERALD && j.emeralds_left < snaps[then].state.emeralds_left;
    }
    world_restore(real);
    int32_t best_first = -1;
    int32_t best_length = 0;
    for (int32_t s = 0; s < (int32_t)takes.size();) {
        int32_t e = s;
        while (e < (int32_t)takes.size() && takes[(size_t)e]) e++;
        if (e - s > best_length) {
            best_first = s;
            best_length = e - s;
        }
        s = e + 1;
    }
    if (best_first < 0) return;
    int32_t middle = best_first + (best_length - 1) / 2;
    world_restore(snaps[(size_t)middle]);
    int32_t column = world.hero.x / CELL_SIZE;
    world_restore(real);
    int32_t margin = margin_at(*ls.lessons, ls.reaction, column);
    d.press_frame = now + std::max(0, middle - margin / EMERALD_AIM);
    d.spot = column;
    d.for_emerald = 1;
}

// What the novice does about what it foresees from now: jump past the harm ahead, wait
// before it, give it up, or jump for an emerald. The world is left as it was.
static Decision decide(LifeState& ls, int32_t now) {
    Decision d = {-1, -1, 0, 0, 0};
    WorldSnapshot real;
    snap_save(real);
    foresee(ls, now, real);
    Foresight& a = ls.ahead;
    if (a.harm_frame >= 0 && a.harm_frame < now) {
        // The hero stands where the harm was foreseen (against a wall): look again from here.
        a.valid = 0;
        foresee(ls, now, real);
    }
    if (a.harm_frame < 0) {
        jump_for_emerald(ls, now, real, d);
    } else if (now >= ls.hopeless_until) {
        std::vector<WorldSnapshot> snaps = walk_snaps(*ls.lessons, a.harm_frame - now);
        jump_past_harm(ls, now, snaps, d);
        if (d.press_frame < 0) wait_before_harm(ls, now, snaps, d);
    }
    world_restore(real);
    return d;
}

// The noisy novice's hand: a small generator of its own, so that the draws do
// not depend on (or disturb) the standard rand the game logic uses.
struct Hand {
    uint32_t state;  // 0: a steady hand
    int32_t lateness() {
        if (!state) return 0;
        state = state * 1103515245u + 12345u;
        return NOVICE_EARLIEST + (int32_t)((state >> 16) % (uint32_t)(NOVICE_LATEST - NOVICE_EARLIEST + 1));
    }
};

struct Press {
    int32_t column;
    int32_t for_emerald;
    int32_t emeralds_before;
    int32_t gained;  // 1 once an emerald was taken after it, before the next press
};

// A life's plan while the novice walks: the decision still to be carried out, the last
// frame of the press, and the frame it stands still until.
struct Plan {
    Decision pending = {-1, -1, 0, 0, 0};
    int32_t pressing_until = -1;
    int32_t waiting_until = -1;
    int32_t last_spot = -1;  // the spot of its last decision
    int32_t last_stuck = 0;  // 1 when that decision found no jump that gets past
};

static void trace_decision(int32_t frame, const Decision& d) {
    const Hero& hero = world.hero;
    if (d.spot >= 0)
        fprintf(novice_trace, "    frame %d at column %d, row %d: %s (spot column %d)\n", (int)frame,
                (int)(hero.x / CELL_SIZE), (int)((hero.y + CELL_SIZE / 2) / CELL_SIZE),
                d.wait          ? "waits"
                : d.hopeless    ? "sees no way past"
                : d.for_emerald ? "will jump for an emerald"
                                : "will jump over what is ahead",
                (int)d.spot);
    if (d.press_frame >= 0) fprintf(novice_trace, "      presses at frame %d\n", (int)d.press_frame);
}

// Decides at this frame when nothing is pending and the hero stands ready on the ground.
static void plan_frame(LifeState& ls, Hand& hand, int32_t frame, Plan& plan) {
    if (plan.pending.press_frame >= 0 || plan.pressing_until >= frame || plan.waiting_until > frame ||
        !on_ground(world.hero) || world.control_jump)
        return;
    Decision& d = plan.pending;
    d = decide(ls, frame);
    if (d.press_frame >= 0) d.press_frame = std::max(frame, d.press_frame + hand.lateness());
    if (novice_trace) trace_decision(frame, d);
    if (d.spot >= 0) {
        plan.last_spot = d.spot;
        plan.last_stuck = d.wait || d.hopeless;
    }
    if (d.wait) {
        plan.waiting_until = frame + WAIT_STEP;
        ls.ahead.valid = 0;
    }
}

// The buttons of this frame: right unless it waits, and jump from the pending press on.
static uint8_t buttons_for(LifeState& ls, int32_t frame, Plan& plan, std::vector<Press>& presses) {
    uint8_t held = frame < plan.waiting_until ? 0 : BTN_RIGHT;
    if (plan.pending.press_frame >= 0 && frame >= plan.pending.press_frame) {
        plan.pressing_until = frame + JUMP_HOLD - 1;
        presses.push_back(Press{plan.pending.spot, plan.pending.for_emerald, emeralds_left, 0});
        plan.pending.press_frame = -1;
        ls.ahead.valid = 0;
        ls.scanned.clear();
        ls.hopeless_until = 0;
    }
    if (frame <= plan.pressing_until) held |= BTN_JUMP;
    return held;
}

// How the life ended after this frame, or -1 while it goes on.
static int32_t life_end_after(int32_t frame, int32_t& farthest, int32_t& progress_frame) {
    const Hero& hero = world.hero;
    if (finished(hero)) return LIFE_EXIT;
    if (lost(hero)) return level_timer <= 0 ? LIFE_TIME_UP : LIFE_DIED;
    if (hero.x > farthest) {
        farthest = hero.x;
        progress_frame = frame;
    } else if (frame - progress_frame > STUCK_FRAMES) {
        int32_t exit_column = exit_cell / MAP_ROWS;
        return emeralds_left > 0 && hero.x / CELL_SIZE >= exit_column ? LIFE_MISSED_EMERALDS : LIFE_STUCK;
    }
    return -1;
}

// Plays one life. last_spot is the spot of its last decision; last_stuck is 1
// when that decision found no jump that gets past.
static NoviceLife play_life(int32_t reaction, Lessons& lessons, Hand& hand, std::vector<Press>& presses,
                            int32_t& last_spot, int32_t& last_stuck) {
    Hero& hero = world.hero;
    NoviceLife life = NoviceLife();
    life.start_column = hero.x / CELL_SIZE;
    int32_t counted_from = start_x - CELL_SIZE;  // the emeralds this life's load counted
    int32_t emeralds_at_start = emeralds_left;
    int32_t farthest = hero.x;
    int32_t progress_frame = 0;
    LifeState ls = {reaction, &lessons, Foresight(), std::vector<int32_t>(), 0};
    ls.ahead.valid = 0;
    Plan plan;
    int32_t frame = 0;
    life.end = LIFE_TIME_UP;
    for (; frame < LEVEL_TIME_LIMIT + 1; frame++) {
        plan_frame(ls, hand, frame, plan);
        play_frame(&hero, buttons_for(ls, frame, plan, presses));
        if (!presses.empty() && emeralds_left < presses.back().emeralds_before) presses.back().gained = 1;
        int32_t end = life_end_after(frame, farthest, progress_frame);
        if (end >= 0) {
            life.end = end;
            break;
        }
    }
    last_spot = plan.last_spot;
    last_stuck = plan.last_stuck;
    life.frames = frame + 1;
    life.farthest_column = farthest / CELL_SIZE;
    life.end_column = hero.x / CELL_SIZE;
    life.end_row = (hero.y + CELL_SIZE / 2) / CELL_SIZE;
    life.emeralds_taken = emeralds_at_start - emeralds_left;
    life.emeralds_left = emeralds_left;
    for (int32_t i = 0; i < map_columns * MAP_ROWS; i++)
        if (map_cells[i] == CODE_EMERALD && (i / MAP_ROWS) * CELL_SIZE >= counted_from) life.missed.push_back(i);
    return life;
}

// The hidden traps that have sprung near the hero.
static void learn_traps(const uint8_t* level, Lessons& lessons) {
    int32_t column = world.hero.x / CELL_SIZE;
    for (int32_t c = std::max(0, column - 2); c <= std::min(map_columns - 1, column + 2); c++)
        for (int32_t r = 0; r < MAP_ROWS; r++) {
            int32_t i = c * MAP_ROWS + r;
            uint8_t stored = level[LEVEL_HEADER_BYTES + i];
            if ((stored == CODE_SPIKE_TRAP || stored == CODE_SPIKES_SPRINGING) && map_cells[i] != CODE_SPIKE_TRAP)
                lessons.known_traps.push_back(i);
        }
}

// What makes the next life play differently: the start and the margins at the spots it knows.
static std::vector<int32_t> behaviour(const Lessons& lessons, int32_t reaction) {
    std::vector<int32_t> b = {world.start_x, world.start_y, (int32_t)lessons.known_traps.size()};
    for (const auto& f : lessons.fails) {
        b.push_back(f.first);
        b.push_back(margin_at(lessons, reaction, f.first));
    }
    return b;
}

NoviceResult novice_play(const uint8_t* level, int32_t size, int32_t reaction, int32_t cap, uint32_t seed) {
    // Spread the seed so that neighbouring seeds do not start alike.
    Hand hand = {seed ? seed * 2654435761u | 1u : 0u};
    NoviceResult result;
    result.finished = 0;
    result.lives_used = 0;
    result.repeats = 0;
    result.exit_column = 0;
    world_new_game();
    if (!world_start_life_bytes(level, size, 0)) return result;
    result.exit_column = exit_cell / MAP_ROWS;
    Lessons lessons;
    for (int32_t n = 1; n <= cap; n++) {
        if (n > 1 && !world_start_life_bytes(level, size, 0)) break;
        if (novice_trace)
            fprintf(novice_trace, "  life %d (%d frames of margin), from column %d:\n", (int)n, (int)reaction,
                    (int)(world.hero.x / CELL_SIZE));
        std::vector<Press> presses;
        int32_t spot = -1;
        int32_t stuck = 0;
        NoviceLife life = play_life(reaction, lessons, hand, presses, spot, stuck);
        result.lives.push_back(life);
        result.lives_used = n;
        if (life.end == LIFE_EXIT) {
            result.finished = 1;
            break;
        }
        std::vector<int32_t> before = behaviour(lessons, reaction);
        if (life.end == LIFE_DIED) learn_traps(level, lessons);
        if (life.end == LIFE_MISSED_EMERALDS || life.end == LIFE_TIME_UP) {
            for (const Press& p : presses)
                if (p.for_emerald && !p.gained) lessons.fails[p.column]++;
        } else {
            lessons.fails[spot >= 0 ? spot : life.end_column]++;
        }
        for (int32_t f = 0; f < SETTLE_FRAMES; f++) {
            int busy = 0;
            for (const TileEffect& e : tile_effects) busy |= e.active;
            if (!busy) break;
            play_frame(&world.hero, 0);
        }
        // A life lost where no jump gets past, or one that taught nothing, would only come again.
        // (An unsteady hand plays every life differently, so only the first reason holds for it.)
        if ((stuck && life.end != LIFE_MISSED_EMERALDS && life.end != LIFE_TIME_UP) ||
            (!hand.state && behaviour(lessons, reaction) == before)) {
            result.repeats = 1;
            break;
        }
    }
    return result;
}

int32_t novice_share(const NoviceResult& r, const NoviceLife& life) {
    if (r.lives.empty()) return 0;
    int32_t from = r.lives[0].start_column;
    int32_t span = r.exit_column - from;
    if (span <= 0) return 100;
    int32_t share = (life.farthest_column - from) * 100 / span;
    return std::max(0, std::min(100, share));
}

NoisyCounts novice_noisy(const uint8_t* level, int32_t size, int32_t seeds) {
    NoisyCounts counts = {0, 0};
    for (int32_t seed = 1; seed <= seeds; seed++) {
        NoviceResult r = novice_play(level, size, NOVICE_REACTION, 3, (uint32_t)seed);
        counts.first_life += r.finished && r.lives_used == 1;
        counts.three_lives += r.finished;
    }
    return counts;
}
