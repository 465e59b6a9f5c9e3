#include "compile.h"

bool compile_generated(const char* path, Bytes&, std::string& error) {
    error = std::string(path) + ":1: this kind of source is not supported yet";
    return false;
}
