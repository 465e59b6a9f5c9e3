#include "route.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <array>
#include <unordered_map>

#include "floob.h"
#include "shell/replay.h"
#include "world/actors.h"
#include "world/hero.h"
#include "world/level.h"
#include "world/map.h"
#include "world/world.h"

enum {
    STEP_FRAMES = 6,
    JUMP_HOLD_FRAMES = 2,
    BUCKET_KEEP = 3,
    TIMING_MARGIN = 2,  // an input change must also work this many frames earlier and later
    ROUTE_TAIL_FRAMES = 60
};

static const char* const MECHANIC_NAMES[MET_COUNT] = {
    "bump block",       "breakable block", "crumbling floor", "trapdoor", "spike trap",
    "checkpoint",       "extra life",      "elevator",        "water",    "UFO stomped",
    "stonebat stomped", "android stomped", "enemy bounce"};

const char* mechanic_name(int32_t bit_index) {
    return bit_index >= 0 && bit_index < MET_COUNT ? MECHANIC_NAMES[bit_index] : "";
}

struct Emerald {
    int32_t column;
    int32_t row;
};

static WorldSnapshot level_start;  // a search branch is a snapshot too
static std::vector<Emerald> level_emeralds;
static int32_t level_emerald_total = 0;

enum { WINDOW_LEFT = 18, WINDOW_RIGHT = 24 };

// A search branch keeps only the columns around the view: nothing further
// right has changed yet, and nothing further left can reach the hero again
// (enemies there are removed 250 pixels left of the camera).
static int32_t window_reach = 0;  // end of the cells any branch may have changed

static void save_world_window(WorldSnapshot& s) {
    world_save(s, camera_x / CELL_SIZE - WINDOW_LEFT, camera_x / CELL_SIZE + WINDOW_RIGHT);
    window_reach = std::max(window_reach, s.cells_first + (int32_t)s.cells.size());
}

// Right of a window the map is as it was at the start, whatever branches
// further ahead have done there.
static void restore_world(const WorldSnapshot& s) { world_restore(s, &level_start, window_reach); }

int route_load_level(const uint8_t* bytes, int32_t size) {
    // A new game's first life, as the game loop starts it.
    if (!level_bytes_valid(bytes, size)) return 0;
    world_new_game();
    if (!world_start_life_bytes(bytes, size, 0)) return 0;
    level_emeralds.clear();
    for (int32_t i = 0; i < map_columns * MAP_ROWS; i++) {
        int32_t column = i / MAP_ROWS;
        if (map_cells[i] == CODE_EMERALD && column * CELL_SIZE >= start_x - CELL_SIZE)
            level_emeralds.push_back({column, i % MAP_ROWS});
    }
    level_emerald_total = emeralds_left;
    world_save(level_start, 0, map_columns);
    return 1;
}

// One play frame of the game's world with these buttons held.
static void play_frame(Hero& hero, uint8_t held) {
    world_read_controls(held);
    world_step(&hero);
}

static int hero_lost(const Hero& hero) { return !hero.alive || hero.dying; }

static int hero_finished(const Hero& hero) { return hero.alive && !hero.dying && hero.exit_reached; }

// Notes what the frame's world update did, for the report.
struct FrameWatch {
    int32_t types[MAX_ENEMIES];
    int32_t dx[MAX_ENEMIES];
    int32_t active[MAX_ENEMIES];
    int32_t lives_before;
};

static void watch_before(FrameWatch& w) {
    for (int32_t i = 0; i < MAX_ENEMIES; i++) {
        w.types[i] = enemies[i].type;
        w.dx[i] = enemies[i].dx;
        w.active[i] = enemies[i].active;
    }
    w.lives_before = lives;
}

static int32_t watch_after(const FrameWatch& w, const Hero& hero) {
    int32_t met = 0;
    for (int32_t i = 0; i < MAX_ENEMIES; i++) {
        if (!w.active[i] || !enemies[i].active) continue;
        if (w.types[i] == ENEMY_STONEBAT && enemies[i].type == ENEMY_STONEBAT_HIT) met |= MET_STOMP_STONEBAT;
        if (w.dx[i] != 0 && enemies[i].dx == 0 && enemies[i].type == ENEMY_UFO) met |= MET_STOMP_UFO;
        if (w.dx[i] != 0 && enemies[i].dx == 0 && enemies[i].type == ENEMY_ANDROID) met |= MET_STOMP_ANDROID;
    }
    if (met) met |= MET_BOUNCE;
    for (int32_t i = 0; i < MAX_TILE_EFFECTS; i++) {
        if (!tile_effects[i].active || tile_effects[i].counter != 0) continue;
        switch (tile_effects[i].kind) {
            case EFFECT_BREAK:
                met |= MET_BREAK_BLOCK;
                break;
            case EFFECT_CRUMBLE:
                met |= MET_CRUMBLE;
                break;
            case EFFECT_SPIKES:
                met |= MET_SPIKE_TRAP;
                break;
            case EFFECT_BUMP:
                met |= MET_BUMP_BLOCK;
                break;
            case EFFECT_TRAPDOOR:
                met |= MET_TRAPDOOR;
                break;
            case EFFECT_CHECKPOINT:
                met |= MET_CHECKPOINT;
                break;
            default:
                break;
        }
    }
    if (lives > w.lives_before) met |= MET_EXTRA_LIFE;
    if (hero.platform >= 0) met |= MET_ELEVATOR;
    if (hero.alive && hero_in_water(&hero)) met |= MET_WATER;
    return met;
}

RouteResult route_play(const std::vector<uint8_t>& held) {
    RouteResult r;
    memset(&r, 0, sizeof r);
    restore_world(level_start);
    Hero& hero = world.hero;
    r.emeralds_total = level_emerald_total;
    r.min_air = air;
    for (size_t f = 0; f < held.size(); f++) {
        FrameWatch w;
        watch_before(w);
        play_frame(hero, held[f]);
        r.mechanics |= watch_after(w, hero);
        if (air < r.min_air) r.min_air = air;
        r.frames = (int32_t)f + 1;
        if (hero_finished(hero)) {
            r.finished = 1;
            break;
        }
        if (hero_lost(hero)) {
            r.died = 1;
            break;
        }
    }
    r.emeralds_left = emeralds_left;
    r.hero_x = hero.x;
    r.hero_y = hero.y;
    r.missed_column = -1;
    r.missed_row = -1;
    for (const Emerald& e : level_emeralds) {
        if (map_cells[e.column * MAP_ROWS + e.row] != CODE_EMERALD) continue;
        r.missed_column = e.column;
        r.missed_row = e.row;
        break;
    }
    return r;
}

enum { ACTION_RIGHT, ACTION_RIGHT_JUMP, ACTION_IDLE, ACTION_LEFT, ACTION_LEFT_JUMP, ACTION_JUMP, ACTION_COUNT };

static uint8_t action_held(int32_t action, int32_t frame) {
    uint8_t jump = frame < JUMP_HOLD_FRAMES ? BTN_JUMP : 0;
    switch (action) {
        case ACTION_RIGHT:
            return BTN_RIGHT;
        case ACTION_RIGHT_JUMP:
            return BTN_RIGHT | jump;
        case ACTION_LEFT:
            return BTN_LEFT;
        case ACTION_LEFT_JUMP:
            return BTN_LEFT | jump;
        case ACTION_JUMP:
            return jump;
        default:
            return 0;
    }
}

// The search plays every branch in several worlds at once: the route itself,
// and the same presses made by a player who is 2 frames early or late with
// everything, with the direction changes only, or with the jumps only. A branch
// lives only while the hero survives in all of them, so the route it finds does
// not hang on hitting any frame exactly.
enum { SEARCH_WORLDS = 7 };
static const int32_t DIRECTION_LAG[SEARCH_WORLDS] = {2, 0, 4, 0, 4, 2, 2};
static const int32_t JUMP_LAG[SEARCH_WORLDS] = {2, 0, 4, 2, 2, 0, 4};

struct SearchNode {
    int32_t parent;
    uint8_t action;
    int8_t frames;  // frames of the step the route plays (fewer at the finish)
};

struct Candidate {
    std::array<WorldSnapshot, SEARCH_WORLDS> world;
    int64_t score;
    int32_t node;
};

// Higher is better: emeralds first, then closeness to the next one (the
// leftmost left, as the camera never goes back), then to the exit.
static int64_t score_state(const Hero& hero) {
    int32_t target_x = -1;
    int32_t target_y = 0;
    for (const Emerald& e : level_emeralds) {
        if (map_cells[e.column * MAP_ROWS + e.row] != CODE_EMERALD) continue;
        target_x = e.column * CELL_SIZE + 8;
        target_y = e.row * CELL_SIZE + 8;
        break;
    }
    int64_t score = (int64_t)(level_emerald_total - emeralds_left) * 1000000;
    if (emeralds_left == 0 || target_x < 0) {
        target_x = (exit_cell / MAP_ROWS) * CELL_SIZE + 24;
        target_y = (exit_cell % MAP_ROWS) * CELL_SIZE + 24;
        score += 500000;
    }
    int32_t dx = abs(hero.x + 8 - target_x);
    int32_t dy = abs(hero.y + 8 - target_y);
    score -= (int64_t)(dx + dy) * 64;
    if (air < 250) score -= (int64_t)(250 - air) * 400;
    return score;
}

// The cells around the view, the enemies and the elevators: broken blocks,
// crumbled floors, shut trapdoors and moving things make states that look
// alike to the hero differ.
static uint64_t view_hash() {
    int32_t first = std::max(0, camera_x / CELL_SIZE - 2);
    int32_t last = std::min(map_columns, camera_x / CELL_SIZE + 24);
    uint64_t k = 1469598103934665603ull;
    for (int32_t i = first * MAP_ROWS; i < last * MAP_ROWS; i++) k = (k ^ (uint32_t)map_cells[i]) * 1099511628211ull;
    for (const Enemy& e : enemies) {
        if (!e.active) continue;
        k = (k ^ (uint32_t)(e.x * 4099 + e.y)) * 1099511628211ull;
        k = (k ^ (uint32_t)(e.dx * 31 + e.type)) * 1099511628211ull;
    }
    for (int32_t i = 0; i < platform_count; i++)
        k = (k ^ (uint32_t)(platforms[i].y * 3 + platforms[i].dy)) * 1099511628211ull;
    return k;
}

static uint64_t state_key(const Hero& hero) {
    uint64_t k = (uint64_t)(uint32_t)hero.x;
    k = k * 1000003u + (uint32_t)(hero.y + 4096);
    k = k * 1000003u + (uint32_t)(hero.vy + 4096);
    k = k * 1000003u + (uint32_t)emeralds_left;
    k = k * 1000003u + (uint32_t)(hero.platform + 1);
    k = k * 1000003u + (uint32_t)hero.jump_latch;
    k = k * 1000003u + (uint32_t)camera_x;
    k = k * 1000003u + view_hash();
    return k;
}

static uint64_t bucket_key(const Hero& hero, int32_t emeralds) {
    uint64_t k = (uint64_t)(uint32_t)(hero.x / 8);
    k = k * 1000003u + (uint32_t)((hero.y + 4096) / 8);
    k = k * 1000003u + (uint32_t)emeralds;
    return k;
}

static uint8_t direction_of(int32_t action) { return action_held(action, JUMP_HOLD_FRAMES); }

// Frame f of a step as a world lagging lag frames behind the presses sees it:
// the end of the previous step's action, then the start of this one.
static uint8_t lagged_part(int32_t action, int32_t previous, int32_t f, int32_t lag) {
    int32_t g = f - lag;
    return g >= 0 ? action_held(action, g) : action_held(previous, STEP_FRAMES + g);
}

static uint8_t lagged_held(int32_t action, int32_t previous, int32_t f, int32_t world) {
    uint8_t direction = (uint8_t)(lagged_part(action, previous, f, DIRECTION_LAG[world]) & ~BTN_JUMP);
    uint8_t jump = (uint8_t)(lagged_part(action, previous, f, JUMP_LAG[world]) & BTN_JUMP);
    return (uint8_t)(direction | jump);
}

static std::vector<uint8_t> route_from_nodes(const std::vector<SearchNode>& nodes, int32_t last) {
    std::vector<int32_t> chain;
    for (int32_t n = last; n > 0; n = nodes[n].parent) chain.push_back(n);
    std::vector<uint8_t> held;
    int32_t previous = ACTION_IDLE;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const SearchNode& node = nodes[*it];
        for (int32_t f = 0; f < node.frames; f++) held.push_back(lagged_held(node.action, previous, f, 0));
        previous = node.action;
    }
    return held;
}

// Plays one step of one world; returns the frames played (fewer when the hero
// finishes or is lost). A world whose hero is already in the exit stays there.
static int32_t play_world_step(Hero& hero, int32_t action, int32_t previous, int32_t world, SearchStats& stats) {
    int32_t played = 0;
    for (int32_t f = 0; f < STEP_FRAMES; f++) {
        if (hero_finished(hero) || hero_lost(hero)) break;
        play_frame(hero, lagged_held(action, previous, f, world));
        stats.frames_simulated++;
        played++;
    }
    return played;
}

// A late world that has not yet reached the exit when the route does keeps
// walking on; it must get there too.
static int reaches_exit(Hero& hero, uint8_t direction, SearchStats& stats) {
    for (int32_t f = 0; f < ROUTE_TAIL_FRAMES && !hero_finished(hero); f++) {
        if (hero_lost(hero)) return 0;
        play_frame(hero, direction);
        stats.frames_simulated++;
    }
    return hero_finished(hero);
}

// One action played from a candidate in every world: whether all of them survive, and
// what the route's own world (world 0) made of it.
struct Trial {
    int alive = 1;
    int route_done = 0;
    int32_t route_frames = 0;
    uint64_t key = 0;
    int64_t score = 0;
};

// Plays action a from candidate c in each world in turn, saving the worlds it leads to
// into child (unless the route is done).
static Trial try_action(const Candidate& c, int32_t a, int32_t previous, Candidate& child, SearchStats& stats) {
    Trial t;
    Hero& hero = world.hero;
    for (int32_t w = 0; w < SEARCH_WORLDS && t.alive; w++) {
        restore_world(c.world[w]);
        int32_t played = play_world_step(hero, a, previous, w, stats);
        if (hero_lost(hero)) {
            t.alive = 0;
            break;
        }
        if (w == 0) {
            t.route_frames = played;
            t.route_done = hero_finished(hero);
            t.key = state_key(hero);
            t.score = score_state(hero);
        } else {
            t.key = t.key * 1000003u + (uint32_t)(hero.x * 8191 + hero.y);
            t.score = std::min(t.score, score_state(hero));
        }
        if (t.route_done && w > 0 && !reaches_exit(hero, direction_of(a), stats)) t.alive = 0;
        if (!t.route_done) save_world_window(child.world[w]);
    }
    return t;
}

// The next frontier: the best few of every small area of the map, then the best overall.
static std::vector<Candidate> keep_best(std::vector<Candidate>& next, int32_t beam_width, SearchStats& stats) {
    std::vector<size_t> order(next.size());
    for (size_t i = 0; i < order.size(); i++) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return next[a].score > next[b].score; });
    std::unordered_map<uint64_t, int32_t> buckets;
    std::vector<Candidate> kept;
    for (size_t i : order) {
        if ((int32_t)kept.size() >= beam_width) break;
        const Hero& h = next[i].world[0].state.hero;
        int32_t& count = buckets[bucket_key(h, next[i].world[0].state.emeralds_left)];
        if (count >= BUCKET_KEEP) continue;
        count++;
        if (kept.empty()) {
            stats.best_emeralds = level_emerald_total - next[i].world[0].state.emeralds_left;
            stats.best_x = h.x;
            stats.best_y = h.y;
        }
        kept.push_back(std::move(next[i]));
    }
    return kept;
}

std::vector<uint8_t> route_search(int32_t beam_width, SearchStats* stats) {
    SearchStats local;
    memset(&local, 0, sizeof local);
    window_reach = 0;
    std::vector<SearchNode> nodes;
    nodes.push_back({-1, ACTION_IDLE, 0});
    std::vector<Candidate> frontier(1);
    for (int32_t w = 0; w < SEARCH_WORLDS; w++) frontier[0].world[w] = level_start;
    frontier[0].score = 0;
    frontier[0].node = 0;
    int32_t max_steps = LEVEL_TIME_LIMIT / STEP_FRAMES;
    std::vector<uint8_t> found;
    Candidate child;
    for (int32_t step = 0; step < max_steps && !frontier.empty() && found.empty(); step++) {
        local.steps = step + 1;
        std::vector<Candidate> next;
        next.reserve(frontier.size() * ACTION_COUNT);
        std::unordered_map<uint64_t, size_t> seen;
        for (const Candidate& c : frontier) {
            int32_t previous = nodes[c.node].action;
            for (int32_t a = 0; a < ACTION_COUNT && found.empty(); a++) {
                Trial t = try_action(c, a, previous, child, local);
                if (!t.alive) {
                    local.deaths_avoided++;
                    continue;
                }
                nodes.push_back({c.node, (uint8_t)a, (int8_t)t.route_frames});
                int32_t index = (int32_t)nodes.size() - 1;
                if (t.route_done) {
                    found = route_from_nodes(nodes, index);
                    break;
                }
                child.score = t.score;
                child.node = index;
                auto it = seen.find(t.key);
                if (it != seen.end()) {
                    if (next[it->second].score < t.score) next[it->second] = child;
                    continue;
                }
                seen[t.key] = next.size();
                next.push_back(child);
            }
            if (!found.empty()) break;
        }
        std::vector<Candidate> kept = keep_best(next, beam_width, local);
        frontier.swap(kept);
    }
    if (stats) *stats = local;
    return found;
}

// A route is measured as a person plays it: direction changes (left, right,
// down) and jump presses, each of which can come a little early or late on its
// own. A jump press keeps its length when it moves.
struct InputEvent {
    int32_t frame;  // first frame of the new direction, or of the press
    int32_t jump;   // 1 for a jump press
};

static std::vector<InputEvent> input_events(const std::vector<uint8_t>& held) {
    std::vector<InputEvent> events;
    for (size_t f = 0; f < held.size(); f++) {
        uint8_t before = f > 0 ? held[f - 1] : 0;
        if (f > 0 && (held[f] & ~BTN_JUMP) != (before & ~BTN_JUMP)) events.push_back({(int32_t)f, 0});
        if ((held[f] & BTN_JUMP) && !(before & BTN_JUMP)) events.push_back({(int32_t)f, 1});
    }
    return events;
}

static int finishes(const std::vector<uint8_t>& held) { return route_play(held).finished; }

// The route with one event moved by shift frames (negative: earlier), or an
// empty route when the move would run into the neighbouring event of its kind.
static std::vector<uint8_t> shifted(const std::vector<uint8_t>& held, const InputEvent& e, int32_t shift) {
    int32_t n = (int32_t)held.size();
    std::vector<uint8_t> moved = held;
    if (e.jump) {
        int32_t end = e.frame;
        while (end < n && (held[end] & BTN_JUMP)) end++;
        int32_t from = e.frame + shift;
        int32_t to = end + shift;
        // A press made during the get-ready phase and still held counts from frame 0.
        if (from < 0) {
            from = 0;
            to = std::max(to, 1);
        }
        if (to > n) return std::vector<uint8_t>();
        // The press must stay clear of the presses before and after it.
        int32_t lo = std::max(0, std::min(from, e.frame) - 1);
        int32_t hi = std::min(n - 1, std::max(to, end));
        for (int32_t f = lo; f <= hi; f++) {
            if (f >= e.frame && f < end) continue;
            if (held[f] & BTN_JUMP) return std::vector<uint8_t>();
        }
        for (int32_t f = e.frame; f < end; f++) moved[f] &= ~BTN_JUMP;
        for (int32_t f = from; f < to; f++) moved[f] |= BTN_JUMP;
        return moved;
    }
    uint8_t old_dir = held[e.frame - 1] & ~BTN_JUMP;
    uint8_t new_dir = held[e.frame] & ~BTN_JUMP;
    if (shift < 0) {
        // Before the first play frame the button is simply held through the
        // get-ready phase, which is the same as holding it from frame 0.
        for (int32_t f = std::max(0, e.frame + shift); f < e.frame; f++) {
            if ((held[f] & ~BTN_JUMP) != old_dir) return std::vector<uint8_t>();
            moved[f] = (uint8_t)(new_dir | (held[f] & BTN_JUMP));
        }
    } else {
        // Past the end of the route the change simply never comes.
        for (int32_t f = e.frame; f < std::min(n, e.frame + shift); f++) {
            if ((held[f] & ~BTN_JUMP) != new_dir) return std::vector<uint8_t>();
            moved[f] = (uint8_t)(old_dir | (held[f] & BTN_JUMP));
        }
    }
    return moved;
}

// Moves the event further and further in one direction until the level is no
// longer finished; notes where the first failing variant ended.
static int32_t measure_direction(const std::vector<uint8_t>& held, const InputEvent& e, int32_t limit, int32_t sign,
                                 RouteResult* failure) {
    for (int32_t k = 1; k <= limit; k++) {
        std::vector<uint8_t> moved = shifted(held, e, sign * k);
        if (moved.empty()) return k - 1;
        RouteResult r = route_play(moved);
        if (!r.finished) {
            *failure = r;
            return k - 1;
        }
    }
    return limit;
}

static ChangeSlack measure_event(const std::vector<uint8_t>& held, const InputEvent& e, int32_t limit) {
    ChangeSlack s;
    memset(&s, 0, sizeof s);
    s.frame = e.frame;
    s.jump = e.jump;
    s.early_fail.frames = -1;
    s.late_fail.frames = -1;
    s.slack_early = measure_direction(held, e, limit, -1, &s.early_fail);
    s.slack_late = measure_direction(held, e, limit, 1, &s.late_fail);
    return s;
}

// The frames up to the one in which the hero entered the exit (what a stored
// replay holds after that, the final release, is not part of the route), then
// the last direction held on for a while: a player who is a little late keeps
// walking into the exit rather than letting go on a fixed frame.
static std::vector<uint8_t> played_part(const std::vector<uint8_t>& held) {
    RouteResult r = route_play(held);
    if (!r.finished || r.frames < 1) return held;
    std::vector<uint8_t> part(held.begin(), held.begin() + r.frames);
    uint8_t last = (uint8_t)(part.back() & ~BTN_JUMP);
    part.insert(part.end(), ROUTE_TAIL_FRAMES, last);
    return part;
}

std::vector<ChangeSlack> route_slack(const std::vector<uint8_t>& route, int32_t limit) {
    std::vector<ChangeSlack> result;
    std::vector<uint8_t> held = played_part(route);
    for (const InputEvent& e : input_events(held)) result.push_back(measure_event(held, e, limit));
    return result;
}

static int32_t tight_changes(const std::vector<uint8_t>& held, int32_t limit) {
    int32_t tight = 0;
    for (const InputEvent& e : input_events(held)) {
        ChangeSlack s = measure_event(held, e, std::min(limit, (int32_t)TIMING_MARGIN));
        if (s.slack_early < TIMING_MARGIN || s.slack_late < TIMING_MARGIN) tight++;
    }
    return tight;
}

// Drops inputs the route does not need: a jump press, or a short run of
// another direction between two runs of the same one, when the level is still
// finished and no more changes are tight than before.
static void simplify_route(std::vector<uint8_t>& held, int32_t limit) {
    int32_t tight = tight_changes(held, limit);
    int32_t n = (int32_t)held.size();
    for (int32_t f = 1; f < n && tight > 0; f++) {
        std::vector<uint8_t> trial = held;
        if ((held[f] & BTN_JUMP) && !(held[f - 1] & BTN_JUMP)) {
            for (int32_t g = f; g < n && (held[g] & BTN_JUMP); g++) trial[g] &= ~BTN_JUMP;
        } else if ((held[f] & ~BTN_JUMP) != (held[f - 1] & ~BTN_JUMP)) {
            uint8_t outer = held[f - 1] & ~BTN_JUMP;
            int32_t end = f;
            while (end < n && (held[end] & ~BTN_JUMP) == (held[f] & ~BTN_JUMP)) end++;
            if (end >= n || end - f > 3 * STEP_FRAMES || (held[end] & ~BTN_JUMP) != outer) continue;
            for (int32_t g = f; g < end; g++) trial[g] = (uint8_t)(outer | (held[g] & BTN_JUMP));
        } else {
            continue;
        }
        if (!finishes(trial)) continue;
        int32_t trial_tight = tight_changes(trial, limit);
        if (trial_tight > tight) continue;
        held.swap(trial);
        tight = trial_tight;
    }
}

// A change is often tight because of a later one: moved on its own, it puts
// the hero a few pixels off for a jump that was taken close to an edge. Moves
// the later changes up to the spot where the tight one fails, and keeps any
// move that leaves fewer tight changes.
static void repair_route(std::vector<uint8_t>& held, int32_t limit) {
    int32_t tight = tight_changes(held, limit);
    for (int32_t round = 0; round < 4 && tight > 0; round++) {
        int improved = 0;
        std::vector<InputEvent> events = input_events(held);
        for (size_t i = 0; i < events.size() && tight > 0; i++) {
            ChangeSlack s = measure_event(held, events[i], TIMING_MARGIN);
            if (s.slack_early >= TIMING_MARGIN && s.slack_late >= TIMING_MARGIN) continue;
            int32_t until = std::max(s.early_fail.frames, s.late_fail.frames);
            for (size_t j = i + 1; j < events.size() && events[j].frame <= until; j++) {
                int accepted = 0;
                for (int32_t shift = -3; shift <= 3 && !accepted; shift++) {
                    if (shift == 0) continue;
                    std::vector<uint8_t> moved = shifted(held, events[j], shift);
                    if (moved.empty() || !finishes(moved)) continue;
                    int32_t moved_tight = tight_changes(moved, limit);
                    if (moved_tight >= tight) continue;
                    held.swap(moved);
                    tight = moved_tight;
                    accepted = 1;
                }
                if (accepted) {
                    improved = 1;
                    break;
                }
            }
            if (improved) break;
        }
        if (!improved) break;
    }
}

void route_relax(std::vector<uint8_t>& route, int32_t limit) {
    std::vector<uint8_t> held = played_part(route);
    simplify_route(held, limit);
    for (int32_t pass = 0; pass < 3; pass++) {
        std::vector<InputEvent> events = input_events(held);
        for (size_t i = 0; i < events.size(); i++) {
            ChangeSlack s = measure_event(held, events[i], limit);
            int32_t shift = (s.slack_late - s.slack_early) / 2;
            if (shift == 0) continue;
            std::vector<uint8_t> moved = shifted(held, events[i], shift);
            if (moved.empty() || !finishes(moved)) continue;
            held.swap(moved);
            events = input_events(held);
        }
    }
    simplify_route(held, limit);
    repair_route(held, limit);
    RouteResult r = route_play(held);
    if (r.finished) held.resize((size_t)r.frames);
    route.swap(held);
}

std::vector<ReplayFrame> route_to_replay(const std::vector<uint8_t>& held) {
    std::vector<ReplayFrame> frames(GET_READY_FRAMES, ReplayFrame{0, 0});
    uint8_t previous = 0;
    for (uint8_t h : held) {
        uint8_t gone = previous & ~h;
        uint8_t released = 0;
        // One release per poll, as the event pump reports it: the lowest bit last.
        for (int32_t bit = 0x80; bit; bit >>= 1)
            if (gone & bit) released = (uint8_t)bit;
        frames.push_back(ReplayFrame{h, released});
        previous = h;
    }
    frames.push_back(ReplayFrame{0, previous});
    return frames;
}
