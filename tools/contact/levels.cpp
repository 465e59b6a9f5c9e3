// floobrender OUT_DIR: renders every level whole as the game draws it, into
// OUT_DIR/floob2NN-loaded.png and OUT_DIR/floob2NN-emptied.png. Run in a folder
// whose data/ holds the built archives.
//
// The pictures come from the game's own play-screen routine: the level's own
// backdrop (chosen as the game chooses it), the back layer, the elevators, the
// enemies and the hero, the front layer, with the water in its first phase. Each
// 320-pixel view is drawn into the frame surface and copied into the whole
// picture, so the backdrop restarts at every view, scrolled as the game scrolls it.
// A level wider than 256 columns is folded into lines of 256 columns.
//
//   loaded   every view as it looks when the camera first shows it: the enemies
//            of its columns just spawned, the elevators at their starts, the hero
//            at the start (idle).
//   emptied  every cell the game can empty emptied: the enemy spawns (a steelfish
//            leaves water 85, a spike trap becomes the hidden trap 86), the
//            emeralds and extra lives, breakable blocks and crumbling floors; the
//            trapdoors closed, the checkpoint posts raised, the exit open; no
//            enemy, elevator or hero drawn, so every hole they could uncover shows.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "compile.h"
#include "floob.h"
#include "gfx/image.h"
#include "gfx/video.h"
#include "shell/frame.h"
#include "shell/game.h"
#include "shell/replay.h"
#include "world/backdrop.h"
#include "storage/archive.h"
#include "world/actors.h"
#include "world/codes.h"
#include "world/level.h"
#include "world/map.h"
#include "world/playscreen.h"

// A frame after the get-ready call (the hero is drawn, no message) whose water is in its first phase.
enum { DRAW_FRAME = 192 };
enum { RENDER_LINE = 4096, RENDER_RULE = 4 };

struct Emptied {
    int32_t from;
    int32_t to;
};

// What the game leaves in a cell once the thing in it has gone.
static const Emptied EMPTIED_CELLS[] = {{CODE_UFO, CODE_EMPTY},
                                        {CODE_BUG, CODE_EMPTY},
                                        {CODE_STONEBAT, CODE_EMPTY},
                                        {CODE_STEELFISH, CODE_WATER},
                                        {CODE_ANDROID, CODE_EMPTY},
                                        {CODE_ANDROID_WALKING, CODE_EMPTY},
                                        {CODE_SPIKES_SPRINGING, CODE_SPIKE_TRAP},
                                        {CODE_EMERALD, CODE_EMPTY},
                                        {CODE_EXTRA_LIFE, CODE_EMPTY},
                                        {CODE_BREAKABLE, CODE_EMPTY},
                                        {CODE_CRUMBLING, CODE_EMPTY},
                                        {CODE_TRAPDOOR_OPEN, CODE_TRAPDOOR_CLOSED},
                                        {CODE_POST_LOWERED, CODE_POST_RAISED}};
static const int32_t SPAWN_CODES[] = {
    CODE_UFO, CODE_BUG, CODE_STONEBAT, CODE_STEELFISH, CODE_ANDROID, CODE_ANDROID_WALKING, CODE_SPIKES_SPRINGING};

static int32_t is_spawn_code(int32_t code) {
    for (int32_t c : SPAWN_CODES)
        if (c == code) return 1;
    return 0;
}

// Copies the play area of the frame surface into the picture at map x = camera_x.
static void copy_view(std::vector<uint32_t>& picture, int32_t width) {
    SDL_Surface* s = frame_surface;
    if (SDL_LockSurface(s) != 0) return;
    for (int32_t y = 0; y < MAP_HEIGHT; y++)
        for (int32_t x = 0; x < VIEW_WIDTH; x++) {
            int32_t mx = camera_x + x;
            if (mx < 0 || mx >= width) continue;
            const uint8_t* row = static_cast<const uint8_t*>(s->pixels) + y * s->pitch;
            uint32_t pixel = 0;
            memcpy(&pixel, row + x * s->format->BytesPerPixel, s->format->BytesPerPixel);
            Uint8 r, g, b;
            SDL_GetRGB(pixel, s->format, &r, &g, &b);
            picture[(size_t)y * (size_t)width + (size_t)mx] = (uint32_t)r << 16 | (uint32_t)g << 8 | b;
        }
    SDL_UnlockSurface(s);
}

struct LevelState {
    std::vector<int32_t> cells;
    Platform platforms[MAX_PLATFORMS];
    int32_t platform_count;
};

static void restore(const LevelState& state) {
    memcpy(map_cells, state.cells.data(), state.cells.size() * sizeof(int32_t));
    memcpy(platforms, state.platforms, sizeof platforms);
    platform_count = state.platform_count;
    clear_enemies();
}

// Draws every view of the map with the given setup and returns the whole picture.
static std::vector<uint32_t> render_views(const LevelState& state, const Hero& hero, int32_t spawn) {
    int32_t width = map_columns * CELL_SIZE;
    std::vector<uint32_t> picture((size_t)width * MAP_HEIGHT, 0);
    for (int32_t left = 0; left < width; left += VIEW_WIDTH) {
        restore(state);
        camera_x = left + VIEW_WIDTH > width ? width - VIEW_WIDTH : left;
        if (spawn)
            for (int32_t column = camera_x / CELL_SIZE - 1; column <= camera_x / CELL_SIZE + VIEW_WIDTH / CELL_SIZE + 1;
                 column++)
                if (column >= 0 && column < map_columns) spawn_column(column * CELL_SIZE);
        draw_play_frame(DRAW_FRAME, &hero);
        copy_view(picture, width);
    }
    return picture;
}

// Writes the level's whole picture as a PNG, folded into lines of RENDER_LINE pixels
// (256 columns) one above the other, with a grey rule between them.
static bool write_render(const std::string& path, const std::vector<uint32_t>& picture, int32_t width) {
    int32_t lines = (width + RENDER_LINE - 1) / RENDER_LINE;
    int32_t line_width = width < RENDER_LINE ? width : RENDER_LINE;
    int32_t height = lines * (MAP_HEIGHT + RENDER_RULE) - RENDER_RULE;
    std::vector<uint32_t> argb((size_t)line_width * (size_t)height, 0xFF404040u);
    for (int32_t y = 0; y < MAP_HEIGHT; y++)
        for (int32_t x = 0; x < width; x++) {
            int32_t line = x / RENDER_LINE;
            size_t at =
                (size_t)(line * (MAP_HEIGHT + RENDER_RULE) + y) * (size_t)line_width + (size_t)(x % RENDER_LINE);
            argb[at] = 0xFF000000u | picture[(size_t)y * (size_t)width + (size_t)x];
        }
    Bytes out;
    std::string error;
    return encode_png_rgba(line_width, height, argb, out, error) && write_bytes_file(path.c_str(), out, error);
}

static int render_level(int32_t level, const std::string& out_dir) {
    const char* name = level_map_name(level);
    uint32_t size = 0;
    uint8_t* bytes = archive_load(ARCHIVE_MAPS, name, "bin", &size);
    current_level = level;
    checkpoint_reached = 0;
    start_x = 16;
    start_y = 100;
    clear_enemies();
    clear_tile_effects();
    if (!bytes || !load_level_bytes(bytes, (int32_t)size)) {
        fprintf(stderr, "floobrender: %s: cannot load the level\n", name);
        free(bytes);
        return 0;
    }
    choose_level_backdrop(level == 0 ? nullptr : name);

    // The loader has spawned the first screen; put its spawn codes back so that every
    // view starts from the level as stored.
    LevelState state;
    state.cells.assign(map_cells, map_cells + map_columns * MAP_ROWS);
    for (int32_t i = 0; i < map_columns * MAP_ROWS; i++)
        if (is_spawn_code(bytes[2 + i])) state.cells[(size_t)i] = bytes[2 + i];
    free(bytes);
    memcpy(state.platforms, platforms, sizeof platforms);
    state.platform_count = platform_count;

    Hero hero;
    memset(&hero, 0, sizeof hero);
    hero.platform = -1;
    if (level > 0) {
        restore(state);
        place_hero(&hero);
    }
    int32_t width = map_columns * CELL_SIZE;
    int ok = 1;
    std::vector<uint32_t> loaded = render_views(state, hero, 1);
    ok &= write_render(out_dir + "/" + name + "-loaded.png", loaded, width);

    LevelState emptied = state;
    for (int32_t& cell : emptied.cells)
        for (const Emptied& e : EMPTIED_CELLS)
            if (cell == e.from) {
                cell = e.to;
                break;
            }
    static const int32_t CLOSED_EXIT[4] = {CODE_EXIT_CLOSED_TOP_LEFT, CODE_EXIT_CLOSED_TOP_RIGHT,
                                           CODE_EXIT_CLOSED_BOTTOM_LEFT, CODE_EXIT_CLOSED_BOTTOM_RIGHT};
    static const int32_t OPEN_EXIT[4] = {CODE_EXIT_OPEN_TOP_LEFT, CODE_EXIT_OPEN_TOP_RIGHT, CODE_EXIT_OPEN_BOTTOM_LEFT,
                                         CODE_EXIT_OPEN_BOTTOM_RIGHT};
    const int32_t exit_offsets[4] = {0, MAP_ROWS, 1, MAP_ROWS + 1};
    for (int32_t k = 0; k < 4; k++) {
        int32_t at = exit_cell + exit_offsets[k];
        if (at < 0 || (size_t)at >= emptied.cells.size()) continue;
        if (emptied.cells[(size_t)at] == CLOSED_EXIT[k]) emptied.cells[(size_t)at] = OPEN_EXIT[k];
    }
    emptied.platform_count = 0;
    Hero gone = hero;
    gone.alive = 0;
    std::vector<uint32_t> empty = render_views(emptied, gone, 0);
    ok &= write_render(out_dir + "/" + name + "-emptied.png", empty, width);
    if (!ok) fprintf(stderr, "floobrender: %s: cannot write the pictures into %s\n", name, out_dir.c_str());
    return ok;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: floobrender OUT_DIR   (run where data/ holds the built archives)\n");
        return 2;
    }
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (!replay_open_game()) {
        fprintf(stderr, "floobrender: cannot start the game's video and data\n");
        return 1;
    }
    tiles_init();
    menu_state = -1;
    lives = 6;
    paused = 0;
    quit_request = 0;
    death_message[0] = 0;
    skip_draw = 0;
    int status = 0;
    for (int32_t level = 0; level < LEVEL_COUNT; level++)
        if (!render_level(level, argv[1])) status = 1;
    return status;
}
