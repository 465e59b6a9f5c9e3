#include "route.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <unordered_map>

#include "floob.h"
#include "shell/controls.h"
#include "shell/frame.h"
#include "shell/replay.h"
#include "world/actors.h"
#include "world/hero.h"
#include "world/level.h"
#include "world/map.h"

enum {
    STEP_FRAMES = 6,
    JUMP_HOLD_FRAMES = 2,
    BUCKET_KEEP = 3,
    TIMING_MARGIN = 2,  // an input change must also work this many frames earlier and later
    HORIZON_MIN = 12,   // frames a changed input is followed before it counts as safe
    HORIZON_MAX = 48,
    ROUTE_TAIL_FRAMES = 60
};

static const char* const MECHANIC_NAMES[MET_COUNT] = {
    "bump block",       "breakable block", "crumbling floor", "trapdoor", "spike trap",
    "checkpoint",       "extra life",      "elevator",        "water",    "UFO stomped",
    "stonebat stomped", "android stomped", "enemy bounce"};

const char* mechanic_name(int32_t bit_index) {
    return bit_index >= 0 && bit_index < MET_COUNT ? MECHANIC_NAMES[bit_index] : "";
}

// Everything the world update reads or writes, so that a search branch can be
// resumed exactly where it was left.
struct WorldSnapshot {
    Hero hero;
    int32_t camera;
    int32_t emeralds;
    int32_t exit;
    int32_t lives_now;
    int32_t points_now;
    int32_t timer;
    int32_t air_now;
    int32_t right_latch;
    int32_t left_latch;
    int32_t start_x_now;
    int32_t start_y_now;
    int32_t checkpoint;
    int32_t controls[5];
    int32_t platform_total;
    Platform platform_table[MAX_PLATFORMS];
    Enemy enemy_table[MAX_ENEMIES];
    TileEffect effect_table[MAX_TILE_EFFECTS];
    std::vector<int32_t> cells;
};

struct Emerald {
    int32_t column;
    int32_t row;
};

static WorldSnapshot level_start;
static std::vector<Emerald> level_emeralds;
static int32_t level_emerald_total = 0;

static void save_world(const Hero& hero, WorldSnapshot& s) {
    s.hero = hero;
    s.camera = camera_x;
    s.emeralds = emeralds_left;
    s.exit = exit_cell;
    s.lives_now = lives;
    s.points_now = points;
    s.timer = level_timer;
    s.air_now = air;
    s.right_latch = move_right_latch;
    s.left_latch = move_left_latch;
    s.start_x_now = start_x;
    s.start_y_now = start_y;
    s.checkpoint = checkpoint_reached;
    s.controls[0] = control_left;
    s.controls[1] = control_right;
    s.controls[2] = control_jump;
    s.controls[3] = control_down;
    s.controls[4] = control_start;
    s.platform_total = platform_count;
    memcpy(s.platform_table, platforms, sizeof platforms);
    memcpy(s.enemy_table, enemies, sizeof enemies);
    memcpy(s.effect_table, tile_effects, sizeof tile_effects);
    s.cells.assign(map_cells, map_cells + (size_t)map_columns * 12);
}

static void restore_world(const WorldSnapshot& s, Hero& hero) {
    hero = s.hero;
    camera_x = s.camera;
    emeralds_left = s.emeralds;
    exit_cell = s.exit;
    lives = s.lives_now;
    points = s.points_now;
    level_timer = s.timer;
    air = s.air_now;
    move_right_latch = s.right_latch;
    move_left_latch = s.left_latch;
    start_x = s.start_x_now;
    start_y = s.start_y_now;
    checkpoint_reached = s.checkpoint;
    control_left = s.controls[0];
    control_right = s.controls[1];
    control_jump = s.controls[2];
    control_down = s.controls[3];
    control_start = s.controls[4];
    platform_count = s.platform_total;
    memcpy(platforms, s.platform_table, sizeof platforms);
    memcpy(enemies, s.enemy_table, sizeof enemies);
    memcpy(tile_effects, s.effect_table, sizeof tile_effects);
    memcpy(map_cells, s.cells.data(), s.cells.size() * sizeof(int32_t));
}

int route_load_level(const uint8_t* bytes, int32_t size) {
    if (!level_bytes_valid(bytes, size)) return 0;
    // A new level: the loop's reset of the tables and the start position.
    clear_enemies();
    clear_tile_effects();
    clear_controls();
    clear_hero_latches();
    start_x = 16;
    start_y = 100;
    checkpoint_reached = 0;
    lives = 6;
    points = 0;
    level_timer = LEVEL_TIME_LIMIT;
    if (!load_level_bytes(bytes, size)) return 0;
    Hero hero;
    memset(&hero, 0, sizeof hero);
    place_hero(&hero);
    air = 500;
    level_emeralds.clear();
    for (int32_t i = 0; i < map_columns * 12; i++) {
        if (map_cells[i] == 41 && (i / 12) * 16 >= start_x - 16) level_emeralds.push_back({i / 12, i % 12});
    }
    level_emerald_total = emeralds_left;
    save_world(hero, level_start);
    return 1;
}

// One play frame in the game loop's order: input, the world, then the hero
// with the level timer and the air supply.
static void play_frame(Hero& hero, uint8_t held) {
    buttons_held = held;
    read_controls(1, hero.alive && !hero.dying);
    update_tile_effects();
    update_enemies(&hero, camera_x);
    update_platforms(&hero);
    if (!hero.alive) return;
    update_hero(&hero, control_left, control_right, control_jump, control_down, camera_x);
    level_timer--;
    if (level_timer == 0) {
        hero.alive = 0;
        hero.idle_counter = 180;
    }
    if (hero_in_water(&hero)) {
        air--;
        if (air == 0) {
            hero.alive = 0;
            hero.idle_counter = 180;
        }
    } else if (air <= 498) {
        air += 2;
    }
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
    Hero hero;
    restore_world(level_start, hero);
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

struct SearchNode {
    int32_t parent;
    int8_t action;
    int8_t delay;   // frames of the previous direction played before the action starts
    int8_t frames;  // frames of the step that were played (less than a step at the finish)
};

struct Candidate {
    WorldSnapshot world;
    int64_t score;
    int32_t node;
};

// Higher is better: emeralds first, then closeness to the next one (the
// leftmost left, as the camera never goes back), then to the exit.
static int64_t score_state(const Hero& hero) {
    int32_t target_x = -1;
    int32_t target_y = 0;
    for (const Emerald& e : level_emeralds) {
        if (map_cells[e.column * 12 + e.row] != 41) continue;
        target_x = e.column * 16 + 8;
        target_y = e.row * 16 + 8;
        break;
    }
    int64_t score = (int64_t)(level_emerald_total - emeralds_left) * 1000000;
    if (emeralds_left == 0 || target_x < 0) {
        target_x = (exit_cell / 12) * 16 + 24;
        target_y = (exit_cell % 12) * 16 + 24;
        score += 500000;
    }
    int32_t dx = abs(hero.x + 8 - target_x);
    int32_t dy = abs(hero.y + 8 - target_y);
    score -= (int64_t)(dx + dy) * 64;
    if (air < 250) score -= (int64_t)(250 - air) * 400;
    return score;
}

static uint64_t state_key(const Hero& hero) {
    uint64_t k = (uint64_t)(uint32_t)hero.x;
    k = k * 1000003u + (uint32_t)(hero.y + 4096);
    k = k * 1000003u + (uint32_t)(hero.vy + 4096);
    k = k * 1000003u + (uint32_t)emeralds_left;
    k = k * 1000003u + (uint32_t)(hero.platform + 1);
    k = k * 1000003u + (uint32_t)hero.jump_latch;
    k = k * 1000003u + (uint32_t)camera_x;
    return k;
}

static uint64_t bucket_key(const Hero& hero) {
    uint64_t k = (uint64_t)(uint32_t)(hero.x / 8);
    k = k * 1000003u + (uint32_t)((hero.y + 4096) / 8);
    k = k * 1000003u + (uint32_t)emeralds_left;
    return k;
}

static uint8_t direction_of(int32_t action) { return action_held(action, JUMP_HOLD_FRAMES); }

static uint8_t step_held(const SearchNode& node, uint8_t previous_direction, int32_t f) {
    return f < node.delay ? previous_direction : action_held(node.action, f - node.delay);
}

static std::vector<uint8_t> route_from_nodes(const std::vector<SearchNode>& nodes, int32_t last) {
    std::vector<int32_t> chain;
    for (int32_t n = last; n > 0; n = nodes[n].parent) chain.push_back(n);
    std::vector<uint8_t> held;
    uint8_t previous = 0;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const SearchNode& node = nodes[*it];
        for (int32_t f = 0; f < node.frames; f++) held.push_back(step_held(node, previous, f));
        previous = direction_of(node.action);
    }
    return held;
}

static int on_ground(const Hero& hero) {
    return hero.platform >= 0 || is_solid_at(hero.x, hero.y + 16) || is_solid_at(hero.x + 15, hero.y + 16);
}

// Plays one step: delay frames of the previous direction, then the action.
// Returns the frames played (fewer when the hero finishes or is lost).
static int32_t play_step(Hero& hero, const SearchNode& node, uint8_t previous_direction, SearchStats& stats) {
    int32_t played = 0;
    for (int32_t f = 0; f < STEP_FRAMES; f++) {
        play_frame(hero, step_held(node, previous_direction, f));
        stats.frames_simulated++;
        played++;
        if (hero_finished(hero) || hero_lost(hero)) break;
    }
    return played;
}

// After a changed input, keeps the new direction for a while: the change is
// safe when the hero survives that and has landed.
static int survives_horizon(Hero& hero, uint8_t direction, SearchStats& stats) {
    for (int32_t f = 0; f < HORIZON_MAX; f++) {
        if (hero_finished(hero)) return 1;
        if (hero_lost(hero)) return 0;
        if (f >= HORIZON_MIN && on_ground(hero)) return 1;
        play_frame(hero, direction);
        stats.frames_simulated++;
    }
    return !hero_lost(hero);
}

std::vector<uint8_t> route_search(int32_t beam_width, SearchStats* stats) {
    SearchStats local;
    memset(&local, 0, sizeof local);
    std::vector<SearchNode> nodes;
    nodes.push_back({-1, ACTION_IDLE, 0, 0});
    std::vector<Candidate> frontier(1);
    frontier[0].world = level_start;
    frontier[0].score = 0;
    frontier[0].node = 0;
    int32_t max_steps = LEVEL_TIME_LIMIT / STEP_FRAMES;
    std::vector<uint8_t> found;
    Hero hero;
    for (int32_t step = 0; step < max_steps && !frontier.empty() && found.empty(); step++) {
        local.steps = step + 1;
        std::vector<Candidate> next;
        next.reserve(frontier.size() * ACTION_COUNT);
        std::unordered_map<uint64_t, size_t> seen;
        for (const Candidate& c : frontier) {
            uint8_t previous = direction_of(nodes[c.node].action);
            for (int32_t a = 0; a < ACTION_COUNT && found.empty(); a++) {
                int changes = (action_held(a, 0) & BTN_JUMP) || direction_of(a) != previous;
                SearchNode node = {c.node, (int8_t)a, 0, 0};
                if (changes) {
                    // A person cannot hit a change to the frame: it must also
                    // work a little earlier and later, and the route takes it
                    // in the middle of that window.
                    int robust = 1;
                    for (int32_t delay = 0; delay <= 2 * TIMING_MARGIN && robust; delay += 2 * TIMING_MARGIN) {
                        restore_world(c.world, hero);
                        SearchNode variant = {c.node, (int8_t)a, (int8_t)delay, 0};
                        play_step(hero, variant, previous, local);
                        robust = !hero_lost(hero) && survives_horizon(hero, direction_of(a), local);
                    }
                    if (!robust) {
                        local.deaths_avoided++;
                        continue;
                    }
                    node.delay = TIMING_MARGIN;
                }
                restore_world(c.world, hero);
                node.frames = (int8_t)play_step(hero, node, previous, local);
                if (hero_lost(hero)) {
                    local.deaths_avoided++;
                    continue;
                }
                nodes.push_back(node);
                int32_t index = (int32_t)nodes.size() - 1;
                if (hero_finished(hero)) {
                    found = route_from_nodes(nodes, index);
                    break;
                }
                uint64_t key = state_key(hero);
                int64_t score = score_state(hero);
                auto it = seen.find(key);
                if (it != seen.end()) {
                    if (next[it->second].score >= score) continue;
                    next[it->second].score = score;
                    next[it->second].node = index;
                    save_world(hero, next[it->second].world);
                    continue;
                }
                seen[key] = next.size();
                next.emplace_back();
                save_world(hero, next.back().world);
                next.back().score = score;
                next.back().node = index;
            }
            if (!found.empty()) break;
        }
        // Keep the best few of every small area of the map, then the best overall.
        std::vector<size_t> order(next.size());
        for (size_t i = 0; i < order.size(); i++) order[i] = i;
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return next[a].score > next[b].score; });
        std::unordered_map<uint64_t, int32_t> buckets;
        std::vector<Candidate> kept;
        for (size_t i : order) {
            if ((int32_t)kept.size() >= beam_width) break;
            restore_world(next[i].world, hero);
            int32_t& count = buckets[bucket_key(hero)];
            if (count >= BUCKET_KEEP) continue;
            count++;
            kept.push_back(std::move(next[i]));
        }
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
    RouteResult early;
    RouteResult late;
    memset(&early, 0, sizeof early);
    memset(&late, 0, sizeof late);
    early.frames = -1;
    late.frames = -1;
    s.slack_early = measure_direction(held, e, limit, -1, &early);
    s.slack_late = measure_direction(held, e, limit, 1, &late);
    s.early_fail_frame = early.frames;
    s.early_fail_x = early.hero_x;
    s.late_fail_frame = late.frames;
    s.late_fail_x = late.hero_x;
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

void route_relax(std::vector<uint8_t>& route, int32_t limit) {
    std::vector<uint8_t> held = played_part(route);
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
