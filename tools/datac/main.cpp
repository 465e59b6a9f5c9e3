// floobdata: compiles the asset sources and packs the archives.
//   floobdata compile SOURCE OUTPUT     one source to one entry (by the source's extension)
//   floobdata pack ARCHIVE.qva ENTRY... entries (named by their file names) into an archive
#include <stdio.h>
#include <string.h>

#include <string>

#include "compile.h"

static int fail(const std::string& error) {
    fprintf(stderr, "floobdata: %s\n", error.c_str());
    return 1;
}

static std::string extension_of(const char* path) {
    const char* dot = strrchr(path, '.');
    return dot ? std::string(dot + 1) : std::string();
}

static std::string file_name_of(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash ? std::string(slash + 1) : std::string(path);
}

static int run_compile(const char* source, const char* output) {
    std::string ext = extension_of(source);
    std::string error;
    Bytes out;
    bool ok;
    if (ext == "xpm" || ext == "sheet" || ext == "gen")
        ok = compile_image(source, out, error);
    else if (ext == "lvl")
        ok = compile_level(source, out, error);
    else if (ext == "sfx")
        ok = compile_sound(source, out, error);
    else if (ext == "song")
        ok = compile_song(source, out, error);
    else
        return fail(std::string(source) + ":1: unknown kind of source");
    if (!ok) return fail(error);
    if (!write_bytes_file(output, out, error)) return fail(error);
    return 0;
}

static int run_pack(const char* archive, int count, char** paths) {
    std::vector<ArchiveInput> entries;
    std::string error;
    for (int i = 0; i < count; i++) {
        ArchiveInput entry;
        entry.name = file_name_of(paths[i]);
        std::string text;
        if (!read_text_file(paths[i], text, error)) return fail(error);
        entry.data.assign(text.begin(), text.end());
        entries.push_back(entry);
    }
    Bytes out;
    if (!write_archive(entries, out, error)) return fail(std::string(archive) + ": " + error);
    if (!write_bytes_file(archive, out, error)) return fail(error);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "compile") == 0) return run_compile(argv[2], argv[3]);
    if (argc >= 3 && strcmp(argv[1], "pack") == 0) return run_pack(argv[2], argc - 3, argv + 3);
    fprintf(stderr, "usage: floobdata compile SOURCE OUTPUT | floobdata pack ARCHIVE ENTRY...\n");
    return 2;
}
