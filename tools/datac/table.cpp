// Backdrop tables (.tab): which picture of the graphics archive each level shows
// behind its map. One entry per line, a map name and an image name:
//
//   ; a comment (text after ';')
//   floob203   back-cave
//
// Names are 1 to 15 of a-z, 0-9, '-' and '_'; a map may be named once. The entry
// the game reads holds the same lines without comments or extra blanks. A level
// that is not listed keeps the backdrop "back".
#include <string.h>

#include <set>

#include "compile.h"

enum { TABLE_NAME_MAX = 15 };

static bool table_fail(const char* path, int32_t line, const std::string& what, std::string& error) {
    error = std::string(path) + ":" + std::to_string(line) + ": " + what;
    return false;
}

static bool is_table_name(const std::string& word) {
    if (word.empty() || word.size() > TABLE_NAME_MAX) return false;
    for (char c : word)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')) return false;
    return true;
}

bool compile_table(const char* path, Bytes& out, std::string& error) {
    std::string text;
    if (!read_text_file(path, text, error)) return false;
    std::set<std::string> maps;
    std::string result;
    size_t start = 0;
    int32_t line = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        line++;
        std::string content = text.substr(start, end - start);
        start = end + 1;
        size_t comment = content.find(';');
        if (comment != std::string::npos) content.resize(comment);
        std::string words[3];
        int32_t count = 0;
        size_t i = 0;
        while (i < content.size()) {
            while (i < content.size() && strchr(" \t\r", content[i])) i++;
            size_t word = i;
            while (i < content.size() && !strchr(" \t\r", content[i])) i++;
            if (i > word && count < 3) words[count] = content.substr(word, i - word);
            if (i > word) count++;
        }
        if (count == 0) continue;
        if (count != 2) return table_fail(path, line, "expected a map name and an image name", error);
        for (int32_t k = 0; k < 2; k++)
            if (!is_table_name(words[k]))
                return table_fail(path, line,
                                  "\"" + words[k] + "\" is not a name of 1 to 15 letters, digits, '-' or '_'", error);
        if (!maps.insert(words[0]).second)
            return table_fail(path, line, "map \"" + words[0] + "\" is named twice", error);
        result += words[0] + " " + words[1] + "\n";
    }
    out.assign(result.begin(), result.end());
    return true;
}
