// floobdata: compiles the asset sources and packs the archives.
//   floobdata compile SOURCE OUTPUT     one source to one entry (by the source's extension)
//   floobdata pack ARCHIVE.qva ENTRY... entries (named by their file names) into an archive
//   floobdata icon SOURCE SIZE OUTPUT   one size of an .icon source: OUTPUT.png, or OUTPUT.inc,
//                                       the 0xAARRGGBB pixels as a C initializer list
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "compile.h"

// The name the program was called by: the installed game names it floob2-data-compiler.
static const char* program = "floobdata";

static int fail(const std::string& error) {
    fprintf(stderr, "%s: %s\n", program, error.c_str());
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
    else if (ext == "tab")
        ok = compile_table(source, out, error);
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

static int run_icon(const char* source, const char* size_text, const char* output) {
    char* end = nullptr;
    long size = strtol(size_text, &end, 10);
    if (!end || *end || size < 1 || size > PNG_MAX_SIDE) return fail(std::string("bad icon size ") + size_text);
    std::vector<uint32_t> argb;
    std::string error;
    if (!compile_icon(source, (int32_t)size, argb, error)) return fail(error);
    Bytes out;
    std::string ext = extension_of(output);
    if (ext == "png") {
        if (!encode_png_rgba((int32_t)size, (int32_t)size, argb, out, error)) return fail(error);
    } else if (ext == "inc") {
        std::string text = "// " + std::to_string(size) + " x " + std::to_string(size) + " pixels from " +
                           file_name_of(source) + ", made by floobdata\n";
        char word[16];
        for (size_t i = 0; i < argb.size(); i++) {
            snprintf(word, sizeof word, "0x%08Xu,%c", (unsigned)argb[i], (i + 1) % (size_t)size ? ' ' : '\n');
            text += word;
        }
        out.assign(text.begin(), text.end());
    } else {
        return fail(std::string(output) + ": an icon is written as .png or .inc");
    }
    if (!write_bytes_file(output, out, error)) return fail(error);
    return 0;
}

int main(int argc, char** argv) {
    if (argc > 0 && argv[0] && *argv[0]) {
        const char* slash = strrchr(argv[0], '/');
        program = slash ? slash + 1 : argv[0];
    }
    if (argc == 4 && strcmp(argv[1], "compile") == 0) return run_compile(argv[2], argv[3]);
    if (argc >= 3 && strcmp(argv[1], "pack") == 0) return run_pack(argv[2], argc - 3, argv + 3);
    if (argc == 5 && strcmp(argv[1], "icon") == 0) return run_icon(argv[2], argv[3], argv[4]);
    fprintf(stderr, "usage: %s compile SOURCE OUTPUT | %s pack ARCHIVE ENTRY... | %s icon SOURCE SIZE OUTPUT\n",
            program, program, program);
    return 2;
}
