// Level compiler: an ASCII map (.lvl) -> the level format the game loads.
//
// A source is a header, a line "map", then exactly 12 map rows, top to bottom:
//
//   ; the first cave                      ';' starts a comment line
//   legend K 131                          this level's own entries
//   legend D 31 32 51 52                  a 2 x 2 piece
//   map
//   ............................E.
//   ...                                   (12 rows, all of the same width)
//
// Every row has one character per map column; all rows have the same width,
// 21 to 4096 columns. Each character is looked up in the level's own legend
// lines, then in the shared legend "legend.inc" of the source's folder (same
// entry syntax without the word "legend"; see assets/maps/legend.inc). An entry
// with one code is one cell; an entry with four codes is a 2 x 2 piece that must
// be drawn as complete 2 x 2 blocks of its character (the exit is one). After the
// rows only blank and comment lines may follow.
//
// The output is the 16-bit little-endian column count minus one, then the cells
// column by column, 12 bytes each, top row first. The compiler refuses what the
// game's loader refuses (width, an exit on the last column or bottom row,
// emeralds without an exit) and what it would silently get wrong: more than one
// exit, more than one hero start, and more than the 64 elevators it keeps.
#include "world/level.h"

#include <string.h>

#include <map>

#include "compile.h"
#include "world/codes.h"

struct LegendEntry {
    int32_t count;  // 1 or 4
    int32_t codes[4];
};

typedef std::map<char, LegendEntry> Legend;

struct TextLine {
    int32_t number;
    std::string text;
};

static std::string at_line(const std::string& file, int32_t line, const std::string& what) {
    return file + ":" + std::to_string(line) + ": " + what;
}

static std::vector<TextLine> split_lines(const std::string& text) {
    std::vector<TextLine> lines;
    size_t start = 0;
    int32_t number = 1;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back({number++, line});
        start = end + 1;
    }
    return lines;
}

static bool blank_or_comment(const std::string& line) {
    size_t i = line.find_first_not_of(" \t");
    return i == std::string::npos || line[i] == ';';
}

static std::string describe_char(char c) {
    if (c >= 33 && c <= 126) return std::string("'") + c + "'";
    return "byte " + std::to_string((unsigned char)c);
}

// Parses "C CODE [CODE CODE CODE] [; note]" starting at text[pos] into the legend.
static bool parse_entry(const std::string& text, size_t pos, Legend& legend, std::string& what) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) pos++;
    if (pos >= text.size()) {
        what = "legend entry needs a character and 1 or 4 codes";
        return false;
    }
    char c = text[pos++];
    if (c <= 32 || c > 126 || c == ';') {
        what = "legend character " + describe_char(c) + " cannot be used in a map";
        return false;
    }
    LegendEntry entry = {0, {0, 0, 0, 0}};
    std::string rest = text.substr(pos);
    size_t semicolon = rest.find(';');
    if (semicolon != std::string::npos) rest.resize(semicolon);
    size_t i = 0;
    while (true) {
        while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) i++;
        if (i >= rest.size()) break;
        size_t j = i;
        while (j < rest.size() && rest[j] >= '0' && rest[j] <= '9') j++;
        if (j == i || (j < rest.size() && rest[j] != ' ' && rest[j] != '\t') || j - i > 3) {
            what = "'" + rest.substr(i, rest.find_first_of(" \t", i) - i) + "' is not a cell code";
            return false;
        }
        int32_t code = atoi(rest.substr(i, j - i).c_str());
        if (code > 255) {
            what = "cell code " + std::to_string(code) + " out of range 0..255";
            return false;
        }
        if (entry.count == 4) {
            what = "legend entry needs 1 or 4 codes";
            return false;
        }
        entry.codes[entry.count++] = code;
        i = j;
    }
    if (entry.count != 1 && entry.count != 4) {
        what = "legend entry needs 1 or 4 codes";
        return false;
    }
    legend[c] = entry;
    return true;
}

static bool read_shared_legend(const char* path, Legend& legend, std::string& error) {
    std::string source(path);
    size_t slash = source.rfind('/');
    std::string legend_path = (slash == std::string::npos ? std::string() : source.substr(0, slash + 1)) + "legend.inc";
    std::string text;
    if (!read_text_file(legend_path.c_str(), text, error)) return false;
    for (const TextLine& line : split_lines(text)) {
        if (blank_or_comment(line.text)) continue;
        std::string what;
        if (!parse_entry(line.text, 0, legend, what)) {
            error = at_line(legend_path, line.number, what);
            return false;
        }
    }
    return true;
}

static int32_t find_row_line(const std::vector<TextLine>& rows, int32_t row) { return rows[row].number; }

// Writes the cells of the rows through the legend into column-major codes.
static bool fill_cells(const std::string& file, const std::vector<TextLine>& rows, const Legend& legend,
                       int32_t columns, std::vector<int32_t>& cells, std::string& error) {
    cells.assign(columns * MAP_ROWS, -1);
    for (int32_t r = 0; r < MAP_ROWS; r++) {
        for (int32_t c = 0; c < columns; c++) {
            if (cells[c * MAP_ROWS + r] >= 0) continue;
            char ch = rows[r].text[c];
            Legend::const_iterator it = legend.find(ch);
            if (it == legend.end()) {
                error = at_line(file, rows[r].number,
                                "unknown character " + describe_char(ch) + " in column " + std::to_string(c + 1));
                return false;
            }
            const LegendEntry& entry = it->second;
            if (entry.count == 1) {
                cells[c * MAP_ROWS + r] = entry.codes[0];
                continue;
            }
            int32_t whole = c + 1 < columns && r + 1 < MAP_ROWS && rows[r].text[c + 1] == ch &&
                            rows[r + 1].text[c] == ch && rows[r + 1].text[c + 1] == ch &&
                            cells[(c + 1) * MAP_ROWS + r] < 0 && cells[c * MAP_ROWS + r + 1] < 0;
            if (!whole) {
                error = at_line(file, rows[r].number,
                                describe_char(ch) + " in column " + std::to_string(c + 1) +
                                    " is not part of a complete 2 x 2 block");
                return false;
            }
            cells[c * MAP_ROWS + r] = entry.codes[0];
            cells[(c + 1) * MAP_ROWS + r] = entry.codes[1];
            cells[c * MAP_ROWS + r + 1] = entry.codes[2];
            cells[(c + 1) * MAP_ROWS + r + 1] = entry.codes[3];
        }
    }
    return true;
}

// The checks that need the map as a whole, with the line of the offending cell.
static bool check_cells(const std::string& file, const std::vector<TextLine>& rows, int32_t columns,
                        const std::vector<int32_t>& cells, std::string& error) {
    int32_t exits = 0, starts = 0, elevators = 0;
    int32_t first_emerald = -1;
    for (int32_t i = 0; i < columns * MAP_ROWS; i++) {
        int32_t code = cells[i];
        int32_t line = find_row_line(rows, i % MAP_ROWS);
        std::string where = " in column " + std::to_string(i / MAP_ROWS + 1);
        if (code == CODE_EXIT_OPEN_TOP_LEFT) {
            if (i / MAP_ROWS == columns - 1 || i % MAP_ROWS == MAP_ROWS - 1) {
                error = at_line(file, line, "exit" + where + " lies on the last column or the bottom row");
                return false;
            }
            if (++exits > 1) {
                error = at_line(file, line, "second exit" + where + "; a level has one exit");
                return false;
            }
        } else if (code == CODE_EMERALD && first_emerald < 0) {
            first_emerald = i;
        } else if (code == CODE_ELEVATOR && ++elevators > MAX_PLATFORMS) {
            error = at_line(file, line, "elevator" + where + " is one more than the 64 a level can have");
            return false;
        } else if (is_start_marker(code) && ++starts > 1) {
            error = at_line(file, line, "second hero start" + where + "; a level has one start");
            return false;
        }
    }
    if (first_emerald >= 0 && exits == 0) {
        error = at_line(file, find_row_line(rows, first_emerald % MAP_ROWS), "emeralds but no exit");
        return false;
    }
    return true;
}

bool compile_level(const char* path, Bytes& out, std::string& error) {
    std::string file(path);
    std::string text;
    if (!read_text_file(path, text, error)) return false;
    Legend legend;
    if (!read_shared_legend(path, legend, error)) return false;

    std::vector<TextLine> lines = split_lines(text);
    size_t n = 0;
    int32_t map_line = 0;
    for (; n < lines.size(); n++) {
        const std::string& t = lines[n].text;
        if (blank_or_comment(t)) continue;
        if (t == "map") {
            map_line = lines[n].number;
            n++;
            break;
        }
        std::string what;
        if (t.compare(0, 7, "legend ") == 0) {
            if (!parse_entry(t, 7, legend, what)) {
                error = at_line(file, lines[n].number, what);
                return false;
            }
            continue;
        }
        error = at_line(file, lines[n].number, "expected a legend line or \"map\"");
        return false;
    }
    if (map_line == 0) {
        error = at_line(file, (int32_t)lines.size() + 1, "no \"map\" line");
        return false;
    }

    std::vector<TextLine> rows;
    for (; n < lines.size() && (int32_t)rows.size() < MAP_ROWS; n++) rows.push_back(lines[n]);
    if ((int32_t)rows.size() < MAP_ROWS) {
        error = at_line(file, rows.empty() ? map_line : rows.back().number,
                        "the map has " + std::to_string(rows.size()) + " rows; it needs 12");
        return false;
    }
    for (; n < lines.size(); n++) {
        if (blank_or_comment(lines[n].text)) continue;
        error = at_line(file, lines[n].number, "the map has more than 12 rows");
        return false;
    }

    int32_t columns = (int32_t)rows[0].text.size();
    for (int32_t r = 1; r < MAP_ROWS; r++) {
        if ((int32_t)rows[r].text.size() != columns) {
            error = at_line(file, rows[r].number,
                            "row is " + std::to_string(rows[r].text.size()) + " characters wide; the first row is " +
                                std::to_string(columns));
            return false;
        }
    }
    if (columns < MIN_LEVEL_COLUMNS || columns > MAX_LEVEL_COLUMNS) {
        error = at_line(file, rows[0].number,
                        "the map is " + std::to_string(columns) + " columns wide; it must be " +
                            std::to_string(MIN_LEVEL_COLUMNS) + " to " + std::to_string(MAX_LEVEL_COLUMNS));
        return false;
    }

    std::vector<int32_t> cells;
    if (!fill_cells(file, rows, legend, columns, cells, error)) return false;
    if (!check_cells(file, rows, columns, cells, error)) return false;

    out.clear();
    out.push_back((uint8_t)((columns - 1) & 0xff));
    out.push_back((uint8_t)((columns - 1) >> 8));
    for (int32_t code : cells) out.push_back((uint8_t)code);
    if (!level_bytes_valid(out.data(), (int32_t)out.size())) {
        error = at_line(file, map_line, "the game would refuse this level");
        return false;
    }
    return true;
}
