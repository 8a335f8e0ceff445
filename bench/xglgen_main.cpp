// xglgen: writes a synthetic XGL (or, for a ".zgl" name, ZGL) document.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "xgl_generator.h"

namespace {

int writeShowcase(const char* path) {
    const std::string text = xglgen::generateShowcase();
    std::FILE* file = std::fopen(path, "wb");
    bool written = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file != nullptr) written = std::fclose(file) == 0 && written;
    if (written) return 0;
    std::fprintf(stderr, "xglgen: cannot write %s\n", path);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // An option in the output's place is a mistake ("--help"), not a file to create.
    if (argc < 2 || argv[1][0] == '-') {
        std::fputs(
            "usage: xglgen OUT.xgl|OUT.zgl [--size BYTES] [--grid N] [--seed N] [--normals 0|1]\n"
            "       xglgen OUT.xgl --showcase   (the bundled house sample)\n",
            stderr);
        return 2;
    }
    if (argc == 3 && std::strcmp(argv[2], "--showcase") == 0) return writeShowcase(argv[1]);
    xglgen::Options options;
    for (int i = 2; i + 1 < argc; i += 2) {
        const unsigned long long value = std::strtoull(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--size") == 0) options.targetBytes = value;
        if (std::strcmp(argv[i], "--grid") == 0) options.gridSize = static_cast<unsigned>(value);
        if (std::strcmp(argv[i], "--seed") == 0) options.seed = static_cast<unsigned>(value);
        if (std::strcmp(argv[i], "--normals") == 0) options.normals = value != 0;
    }
    if (options.gridSize < 2) options.gridSize = 2;
    if (!xglgen::generateFile(options, argv[1])) {
        std::fprintf(stderr, "xglgen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
