// floobcheck: proves that a level can be finished and says how forgiving the route is.
//   floobcheck LEVEL.bin [-o ROUTE.replay] [--beam N] [--slack N] [--tight N]
//              [--route ROUTE.replay] [--holes] [--backdrop NAME] [--novice] [--trace]
//              [--seeds N] [--scenery]
// LEVEL.bin is a compiled level (for example maps/test.bin, made with
// `floobdata compile my.lvl maps/test.bin`). Without --route the checker searches
// for a route with the game's own world code, moves fragile inputs to the middle
// of their windows and writes the route as a replay (-o). With --route it checks
// a stored replay instead. --tight N lists the input changes with less than N
// frames of slack either way (2 by default). --holes lists the cells that can show the backdrop
// where it does not belong (it reads the tiles from ./data); --novice plays the
// level as a first-time player and as a reflex player (--trace: and says what
// they decide, and when, before each life's summary). Either of them alone
// skips the route search, and so does --seeds N, which counts how often the
// novice with an unsteady hand (seeds 1 to N) finishes in one and in three
// lives; --scenery lists scenery standing or hanging on nothing and terrain
// edges that do not close (alone, it skips the search too). Exit status 0 when
// every report asked for passes.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "holes.h"
#include "novice.h"
#include "route.h"
#include "scenery.h"
#include "shell/replay.h"
#include "world/backdrop.h"
#include "storage/archive.h"
#include "world/level.h"

// The name the program was called by: the installed game names it floob2-level-checker.
static const char* program = "floobcheck";

static int usage() {
    fprintf(stderr,
            "usage: %s LEVEL.bin [-o ROUTE.replay] [--beam N] [--slack N] [--tight N]\n"
            "         [--route ROUTE.replay] [--holes] [--backdrop NAME] [--novice] [--trace]\n"
            "         [--seeds N] [--scenery]\n",
            program);
    return 2;
}

// The map name of a level file: its file name without folder and extension.
static std::string map_name_of(const char* path) {
    std::string name = path;
    size_t slash = name.find_last_of('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    size_t dot = name.find('.');
    if (dot != std::string::npos) name = name.substr(0, dot);
    return name;
}

// Lists the holes; returns their count, or -1 when the tiles cannot be read.
static int32_t report_holes(const uint8_t* bytes, int32_t size, const std::string& map_name, const char* backdrop) {
    static TileMasks masks;
    archive_open_all();
    int ok = load_tile_masks(&masks);
    char table_backdrop[BACKDROP_NAME_BYTES];
    if (!backdrop) {
        level_backdrop_name(map_name.c_str(), table_backdrop);
        backdrop = table_backdrop;
    }
    BackdropLook look;
    int looked = load_backdrop_look(backdrop, &look);
    archive_close_all();
    if (!ok) {
        fprintf(stderr, "%s: cannot read the tiles from data/gfx.qva (run where data/ holds the built archives)\n",
                program);
        return -1;
    }
    if (!looked) printf("(the backdrop %s is not in data/gfx.qva: its water is not looked at)\n", backdrop);
    std::vector<Hole> holes =
        find_holes(bytes, size, map_name == level_map_name(0), backdrop, masks, looked ? &look : nullptr);
    printf("holes (backdrop %s): %d\n", backdrop, (int)holes.size());
    static const char* const VIEW_NAMES[HOLE_VIEWS] = {"as loaded",        "emptying, step 1", "emptying, step 2",
                                                       "emptying, step 3", "emptying, step 4", "all emptied"};
    for (const Hole& h : holes) {
        if (h.water) {
            printf("  column %d, row %d: code %d %s shows %d pixels of the backdrop's water outside any water\n",
                   (int)h.column, (int)h.row, (int)h.code, VIEW_NAMES[h.view], (int)h.pixels);
            continue;
        }
        printf("  column %d, row %d: code %d %s shows %d pixels of the backdrop inside", (int)h.column, (int)h.row,
               (int)h.code, VIEW_NAMES[h.view], (int)h.pixels);
        for (int32_t t = 0, n = 0; t < THEME_NAMES; t++)
            if (h.themes & (1 << t)) printf("%s %s", n++ ? " and" : "", theme_name(t));
        printf("\n");
    }
    return (int32_t)holes.size();
}

// Lists the scenery that floats and the terrain joins that do not close; returns their count.
static int32_t report_scenery(const uint8_t* bytes, int32_t size) {
    std::vector<SceneryFault> faults = find_scenery_faults(bytes, size);
    printf("scenery and joins: %d faults\n", (int)faults.size());
    int32_t first = -1;
    int32_t plain = longest_plain_walk(bytes, size, &first);
    printf("longest stretch of plain walking: %d columns, from column %d\n", (int)plain, (int)first);
    for (const SceneryFault& f : faults) {
        printf("  column %d, row %d: code %d %s", (int)f.column, (int)f.row, (int)f.code, scenery_fault_name(f.kind));
        if (f.kind == FAULT_STRAY_EDGE || f.kind == FAULT_OPEN_FILL) printf(" (%s)", side_name(f.side));
        printf("\n");
    }
    return (int32_t)faults.size();
}

// Plays the novice and the reflex player; returns 1 when the novice finishes.
static int report_novice(const uint8_t* bytes, int32_t size) {
    static const struct {
        const char* name;
        int32_t reaction;
    } PLAYERS[] = {{"novice", NOVICE_REACTION}, {"reflex", REFLEX_REACTION}};
    int novice_finished = 0;
    for (const auto& p : PLAYERS) {
        NoviceResult r = novice_play(bytes, size, p.reaction, NOVICE_LIFE_CAP);
        if (r.lives.empty()) continue;
        const NoviceLife& first = r.lives[0];
        printf(
            "%s (jumps %d frames before the last moment): first life %s at column %d (%d %% of the way to the "
            "exit), %d emeralds; ",
            p.name, (int)p.reaction, life_end_name(first.end), (int)first.end_column, (int)novice_share(r, first),
            (int)first.emeralds_taken);
        if (r.finished)
            printf("finishes with every emerald in life %d\n", (int)r.lives_used);
        else
            printf("does not finish (%d %s played%s)\n", (int)r.lives_used, r.lives_used == 1 ? "life" : "lives",
                   r.repeats ? ", the next would play as the last" : ", the cap");
        for (size_t n = 0; n < r.lives.size(); n++) {
            const NoviceLife& l = r.lives[n];
            printf("  life %d: from column %d, %s at column %d, row %d after %d frames, %d emeralds, %d left\n",
                   (int)n + 1, (int)l.start_column, life_end_name(l.end), (int)l.end_column, (int)l.end_row,
                   (int)l.frames, (int)l.emeralds_taken, (int)l.emeralds_left);
            if (l.missed.empty() || l.end == LIFE_EXIT) continue;
            printf("    emeralds left at (column, row):");
            for (int32_t cell : l.missed) printf(" (%d, %d)", (int)(cell / MAP_ROWS), (int)(cell % MAP_ROWS));
            printf("\n");
        }
        if (p.reaction == NOVICE_REACTION) novice_finished = r.finished;
    }
    return novice_finished;
}

// Plays the noisy novice with seeds 1..seeds for up to three lives each: one
// line per seed with how its first life ended and the emeralds it left, then the counts.
static void report_noisy(const uint8_t* bytes, int32_t size, int32_t seeds) {
    int32_t first_life = 0;
    int32_t three_lives = 0;
    for (int32_t seed = 1; seed <= seeds; seed++) {
        NoviceResult r = novice_play(bytes, size, NOVICE_REACTION, 3, (uint32_t)seed);
        if (r.lives.empty()) continue;
        first_life += r.finished && r.lives_used == 1;
        three_lives += r.finished;
        const NoviceLife& l = r.lives[0];
        printf("  seed %d: first life %s at column %d, row %d; %s %d\n", (int)seed, life_end_name(l.end),
               (int)l.end_column, (int)l.end_row, r.finished ? "finishes in life" : "not finished in",
               (int)r.lives_used);
        if (l.end == LIFE_EXIT || l.missed.empty()) continue;
        printf("    first life left, up to there (column, row):");
        for (int32_t cell : l.missed)
            if (cell / MAP_ROWS <= l.end_column) printf(" (%d, %d)", (int)(cell / MAP_ROWS), (int)(cell % MAP_ROWS));
        printf("\n");
    }
    printf(
        "noisy novice (each jump %d to %+d frames off), seeds 1 to %d: finishes with every emerald in the first "
        "life %d times, within three lives %d times\n",
        (int)NOVICE_EARLIEST, (int)NOVICE_LATEST, (int)seeds, (int)first_life, (int)three_lives);
}

// The play frames of a stored replay: everything after the get-ready phase.
static int read_route(const char* path, std::vector<uint8_t>& held) {
    uint32_t size = 0;
    uint8_t* text = read_whole_file(path, &size);
    if (!text) return 0;
    std::string copy((const char*)text, size);
    free(text);
    std::vector<ReplayFrame> frames(LEVEL_TIME_LIMIT + GET_READY_FRAMES + 16);
    int32_t count = replay_parse(copy.c_str(), frames.data(), (int32_t)frames.size());
    if (count < 0) return 0;
    held.clear();
    for (int32_t f = GET_READY_FRAMES; f < count; f++) held.push_back(frames[f].held);
    return 1;
}

static void print_mechanics(int32_t mechanics) {
    printf("mechanics met:");
    int any = 0;
    for (int32_t i = 0; i < MET_COUNT; i++) {
        if (!(mechanics & (1 << i))) continue;
        printf("%s %s", any ? "," : "", mechanic_name(i));
        any = 1;
    }
    printf("%s\n", any ? "" : " none");
}

// Says how a variant of the route that moved one input went wrong.
static void print_failure(const char* which, const RouteResult& r) {
    if (r.frames < 0) return;
    printf("    %s: at play frame %d, column %d, row %d: %s", which, (int)r.frames, (int)(r.hero_x / CELL_SIZE),
           (int)((r.hero_y + 8) / CELL_SIZE), r.died ? "the hero died" : "not in the exit");
    if (r.emeralds_left > 0)
        printf(", %d emerald%s left (the first at column %d, row %d)", (int)r.emeralds_left,
               r.emeralds_left == 1 ? "" : "s", (int)r.missed_column, (int)r.missed_row);
    printf("\n");
}

// What the command line asks for.
struct Options {
    const char* level_path = nullptr;
    const char* out_path = nullptr;
    const char* route_path = nullptr;
    const char* backdrop = nullptr;
    int holes = 0;
    int novice = 0;  // 2: with the trace
    int scenery = 0;
    int32_t seeds = 0;
    int search_asked = 0;
    int32_t beam = 400;
    int32_t slack_limit = 6;
    int32_t tight_below = 2;
};

// Reads the options; false when the command line is not one the checker takes.
static bool parse_options(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
            o.out_path = argv[++i];
            o.search_asked = 1;
        } else if (strcmp(argv[i], "--holes") == 0)
            o.holes = 1;
        else if (strcmp(argv[i], "--scenery") == 0)
            o.scenery = 1;
        else if (strcmp(argv[i], "--novice") == 0)
            o.novice = 1;
        else if (strcmp(argv[i], "--trace") == 0)
            o.novice = 2;
        else if (strcmp(argv[i], "--seeds") == 0 && i + 1 < argc)
            o.seeds = atoi(argv[++i]);
        else if (strcmp(argv[i], "--backdrop") == 0 && i + 1 < argc)
            o.backdrop = argv[++i];
        else if (strcmp(argv[i], "--beam") == 0 && i + 1 < argc)
            o.beam = atoi(argv[++i]);
        else if (strcmp(argv[i], "--slack") == 0 && i + 1 < argc)
            o.slack_limit = atoi(argv[++i]);
        else if (strcmp(argv[i], "--tight") == 0 && i + 1 < argc)
            o.tight_below = atoi(argv[++i]);
        else if (strcmp(argv[i], "--route") == 0 && i + 1 < argc)
            o.route_path = argv[++i];
        else if (argv[i][0] != '-' && !o.level_path)
            o.level_path = argv[i];
        else
            return false;
    }
    return o.level_path && o.beam >= 1 && o.slack_limit >= 1 && o.seeds >= 0;
}

// Reads the level file and loads it as the game would; false, said on stderr, when it
// cannot be read or the game would refuse it.
static bool load_level_file(const char* path, std::vector<uint8_t>& level) {
    uint32_t size = 0;
    uint8_t* bytes = read_whole_file(path, &size);
    if (!bytes) {
        fprintf(stderr, "%s: %s: cannot read the level\n", program, path);
        return false;
    }
    level.assign(bytes, bytes + size);
    free(bytes);
    if (!route_load_level(level.data(), (int32_t)level.size())) {
        fprintf(stderr, "%s: %s: the game would refuse this level\n", program, path);
        return false;
    }
    return true;
}

// The reports asked for besides the route; 1 when one of them fails.
static int run_reports(const Options& o, const std::vector<uint8_t>& level) {
    int status = 0;
    if (o.holes && report_holes(level.data(), (int32_t)level.size(), map_name_of(o.level_path), o.backdrop) != 0)
        status = 1;
    if (o.scenery && report_scenery(level.data(), (int32_t)level.size()) != 0) status = 1;
    if (o.novice == 2) novice_trace = stdout;
    if (o.novice && !report_novice(level.data(), (int32_t)level.size())) status = 1;
    if (o.seeds > 0) report_noisy(level.data(), (int32_t)level.size(), o.seeds);
    return status;
}

// The route to check: the stored one, or one searched for and relaxed; false, said,
// when there is none.
static bool find_route(const Options& o, std::vector<uint8_t>& held, SearchStats& stats) {
    if (o.route_path) {
        if (read_route(o.route_path, held)) return true;
        fprintf(stderr, "%s: %s: cannot read the route\n", program, o.route_path);
        return false;
    }
    held = route_search(o.beam, &stats);
    if (held.empty()) {
        printf("no route found (beam %d, %lld frames simulated, %lld deaths avoided)\n", (int)o.beam,
               (long long)stats.frames_simulated, (long long)stats.deaths_avoided);
        printf("farthest: %d of %d emeralds, hero at column %d, row %d after %d play frames\n",
               (int)stats.best_emeralds, (int)emeralds_left, (int)(stats.best_x / CELL_SIZE),
               (int)((stats.best_y + 8) / CELL_SIZE), (int)(stats.steps * 6));
        return false;
    }
    route_relax(held, o.slack_limit);
    return true;
}

static void print_route(const Options& o, const RouteResult& r, const SearchStats& stats) {
    printf("finished: %s\n", r.finished ? "yes" : "no");
    printf("frames: %d of %d (%.1f %% of the time limit), plus %d get-ready frames\n", (int)r.frames, LEVEL_TIME_LIMIT,
           100.0 * r.frames / LEVEL_TIME_LIMIT, GET_READY_FRAMES);
    printf("emeralds: %d collected of %d\n", (int)(r.emeralds_total - r.emeralds_left), (int)r.emeralds_total);
    if (!o.route_path)
        printf("search: %lld frames simulated, %lld deaths avoided\n", (long long)stats.frames_simulated,
               (long long)stats.deaths_avoided);
    printf("lowest air: %d of %d\n", (int)r.min_air, AIR_SUPPLY);
    print_mechanics(r.mechanics);
}

// How far each input change of the route may move, and the changes tighter than asked.
static void print_slack(const Options& o, const std::vector<uint8_t>& held) {
    std::vector<ChangeSlack> slack = route_slack(held, o.slack_limit);
    int32_t min_early = o.slack_limit;
    int32_t min_late = o.slack_limit;
    int32_t tight = 0;
    for (const ChangeSlack& s : slack) {
        min_early = std::min(min_early, s.slack_early);
        min_late = std::min(min_late, s.slack_late);
        if (s.slack_early < o.tight_below || s.slack_late < o.tight_below) tight++;
    }
    printf(
        "timing slack over %d input changes: at least %d frames earlier and %d later (limit %d); %d tighter than %d\n",
        (int)slack.size(), (int)min_early, (int)min_late, (int)o.slack_limit, (int)tight, (int)o.tight_below);
    for (const ChangeSlack& s : slack) {
        if (s.slack_early >= o.tight_below && s.slack_late >= o.tight_below) continue;
        printf("  tight: play frame %d (%s): %d earlier, %d later\n", (int)s.frame, s.jump ? "jump" : "direction",
               (int)s.slack_early, (int)s.slack_late);
        if (s.slack_early < o.tight_below) print_failure("earlier", s.early_fail);
        if (s.slack_late < o.tight_below) print_failure("later", s.late_fail);
    }
}

int main(int argc, char** argv) {
    if (argc > 0 && argv[0] && *argv[0]) {
        const char* slash = strrchr(argv[0], '/');
        program = slash ? slash + 1 : argv[0];
    }
    Options o;
    if (!parse_options(argc, argv, o)) return usage();
    std::vector<uint8_t> level;
    if (!load_level_file(o.level_path, level)) return 1;
    printf("level: %s (%d columns)\n", o.level_path, (int)map_columns);
    int status = run_reports(o, level);
    if ((o.holes || o.novice || o.seeds || o.scenery) && !o.search_asked && !o.route_path) {
        free_map();
        return status;
    }
    route_load_level(level.data(), (int32_t)level.size());

    std::vector<uint8_t> held;
    SearchStats stats;
    memset(&stats, 0, sizeof stats);
    if (!find_route(o, held, stats)) return 1;
    RouteResult r = route_play(held);
    print_route(o, r, stats);
    print_slack(o, held);
    if (o.out_path && r.finished) {
        std::vector<ReplayFrame> replay = route_to_replay(held);
        if (!replay_write(o.out_path, replay.data(), (int32_t)replay.size())) {
            fprintf(stderr, "%s: %s: cannot write the route\n", program, o.out_path);
            return 1;
        }
        printf("route written to %s\n", o.out_path);
    }
    free_map();
    return r.finished ? status : 1;
}
