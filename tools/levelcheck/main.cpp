// floobcheck: proves that a level can be finished and says how forgiving the route is.
//   floobcheck LEVEL.bin [-o ROUTE.replay] [--beam N] [--slack N] [--route ROUTE.replay]
// LEVEL.bin is a compiled level (for example maps/test.bin, made with
// `floobdata compile my.lvl maps/test.bin`). Without --route the checker searches
// for a route with the game's own world code, moves fragile inputs to the middle
// of their windows and writes the route as a replay (-o). With --route it checks
// a stored replay instead. Exit status 0 when the level is finished.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "route.h"
#include "shell/replay.h"
#include "storage/archive.h"
#include "world/level.h"

static int usage() {
    fprintf(stderr, "usage: floobcheck LEVEL.bin [-o ROUTE.replay] [--beam N] [--slack N] [--route ROUTE.replay]\n");
    return 2;
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
    if (r.emeralds_left > 0) printf(", %d emerald%s left", (int)r.emeralds_left, r.emeralds_left == 1 ? "" : "s");
    printf("\n");
}

int main(int argc, char** argv) {
    const char* level_path = nullptr;
    const char* out_path = nullptr;
    const char* route_path = nullptr;
    int32_t beam = 400;
    int32_t slack_limit = 6;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-o") == 0 && i + 1 < argc)
            out_path = argv[++i];
        else if (strcmp(argv[i], "--beam") == 0 && i + 1 < argc)
            beam = atoi(argv[++i]);
        else if (strcmp(argv[i], "--slack") == 0 && i + 1 < argc)
            slack_limit = atoi(argv[++i]);
        else if (strcmp(argv[i], "--route") == 0 && i + 1 < argc)
            route_path = argv[++i];
        else if (argv[i][0] != '-' && !level_path)
            level_path = argv[i];
        else
            return usage();
    }
    if (!level_path || beam < 1 || slack_limit < 1) return usage();

    uint32_t size = 0;
    uint8_t* bytes = read_whole_file(level_path, &size);
    if (!bytes) {
        fprintf(stderr, "floobcheck: %s: cannot read the level\n", level_path);
        return 1;
    }
    int loaded = route_load_level(bytes, (int32_t)size);
    free(bytes);
    if (!loaded) {
        fprintf(stderr, "floobcheck: %s: the game would refuse this level\n", level_path);
        return 1;
    }
    printf("level: %s (%d columns)\n", level_path, (int)map_columns);

    std::vector<uint8_t> held;
    SearchStats stats;
    memset(&stats, 0, sizeof stats);
    if (route_path) {
        if (!read_route(route_path, held)) {
            fprintf(stderr, "floobcheck: %s: cannot read the route\n", route_path);
            return 1;
        }
    } else {
        held = route_search(beam, &stats);
        if (held.empty()) {
            printf("no route found (beam %d, %lld frames simulated, %lld deaths avoided)\n", (int)beam,
                   (long long)stats.frames_simulated, (long long)stats.deaths_avoided);
            printf("farthest: %d of %d emeralds, hero at column %d, row %d after %d play frames\n",
                   (int)stats.best_emeralds, (int)emeralds_left, (int)(stats.best_x / CELL_SIZE),
                   (int)((stats.best_y + 8) / CELL_SIZE), (int)(stats.steps * 6));
            return 1;
        }
        route_relax(held, slack_limit);
    }

    RouteResult r = route_play(held);
    printf("finished: %s\n", r.finished ? "yes" : "no");
    printf("frames: %d of %d (%.1f %% of the time limit), plus %d get-ready frames\n", (int)r.frames, LEVEL_TIME_LIMIT,
           100.0 * r.frames / LEVEL_TIME_LIMIT, GET_READY_FRAMES);
    printf("emeralds: %d collected of %d\n", (int)(r.emeralds_total - r.emeralds_left), (int)r.emeralds_total);
    if (!route_path)
        printf("search: %lld frames simulated, %lld deaths avoided\n", (long long)stats.frames_simulated,
               (long long)stats.deaths_avoided);
    printf("lowest air: %d of %d\n", (int)r.min_air, AIR_SUPPLY);
    print_mechanics(r.mechanics);

    std::vector<ChangeSlack> slack = route_slack(held, slack_limit);
    int32_t min_early = slack_limit;
    int32_t min_late = slack_limit;
    int32_t tight = 0;
    for (const ChangeSlack& s : slack) {
        min_early = std::min(min_early, s.slack_early);
        min_late = std::min(min_late, s.slack_late);
        if (s.slack_early < 2 || s.slack_late < 2) tight++;
    }
    printf(
        "timing slack over %d input changes: at least %d frames earlier and %d later (limit %d); %d tighter than 2\n",
        (int)slack.size(), (int)min_early, (int)min_late, (int)slack_limit, (int)tight);
    for (const ChangeSlack& s : slack) {
        if (s.slack_early >= 2 && s.slack_late >= 2) continue;
        printf("  tight: play frame %d (%s): %d earlier, %d later\n", (int)s.frame, s.jump ? "jump" : "direction",
               (int)s.slack_early, (int)s.slack_late);
        if (s.slack_early < 2) print_failure("earlier", s.early_fail);
        if (s.slack_late < 2) print_failure("later", s.late_fail);
    }

    if (out_path && r.finished) {
        std::vector<ReplayFrame> replay = route_to_replay(held);
        if (!replay_write(out_path, replay.data(), (int32_t)replay.size())) {
            fprintf(stderr, "floobcheck: %s: cannot write the route\n", out_path);
            return 1;
        }
        printf("route written to %s\n", out_path);
    }
    free_map();
    return r.finished ? 0 : 1;
}
