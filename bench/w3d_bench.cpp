// Decoding speed of the 3D models of a DWF package: the whole read (package, inflate,
// opcodes, edgebreaker shells, scene evaluation), timed over several runs. Prints the
// median time and the decoded and drawn triangles per second.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "dwf/dwf_document.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: w3d_bench PACKAGE.dwf [RUNS]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 21;
    std::vector<double> seconds;
    std::size_t decoded = 0, drawn = 0;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const plotwick::DwfDocument document = plotwick::readDwf(bytes);
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        decoded = drawn = 0;
        for (const plotwick::W3dModel& model : document.models) {
            drawn += model.triangleCount;
            for (const plotwick::W3dMesh& mesh : model.meshes)
                decoded += mesh.fromShell ? mesh.triangles.size() / 3 : 0;
        }
        if (run == 0) std::printf("%s\n", document.message.c_str());
    }
    std::nth_element(seconds.begin(), seconds.begin() + runs / 2, seconds.end());
    const double median = seconds[runs / 2];
    std::printf("median %.2f ms: %.2f M decoded shell triangles/s, %.2f M drawn triangles/s\n",
                median * 1000, decoded / median / 1e6, drawn / median / 1e6);
    return 0;
}
