// Decoding speed of the 3D models of a DWF package: the whole read (package, inflate,
// opcodes, shells, scene evaluation), timed over several runs. Prints the median time
// and the decoded and drawn triangles per second.
//
// With --plain-shells it first writes a package of its own: grids of plain shells (raw
// float points, 16-bit face lists) as the stand-in host publishes its models, holding
// at least the given number of triangles.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dwf/dwf_document.h"
#include "dwf/w2d_writer.h"
#include "dwf/w3d_writer.h"

namespace {

// 256 x 256 points: the most a 16-bit face list numbers, 130050 triangles.
constexpr std::uint32_t kGridSide = 256;

void addGrid(plotwick::W3dWriter& writer, std::uint32_t index) {
    std::vector<float> points;
    std::vector<std::uint32_t> triangles;
    points.reserve(kGridSide * kGridSide * 3);
    for (std::uint32_t row = 0; row < kGridSide; ++row) {
        for (std::uint32_t column = 0; column < kGridSide; ++column) {
            points.insert(points.end(), {static_cast<float>(column), static_cast<float>(row),
                                         static_cast<float>(index + (row * column) % 7 * 0.1)});
        }
    }
    for (std::uint32_t row = 0; row + 1 < kGridSide; ++row) {
        for (std::uint32_t column = 0; column + 1 < kGridSide; ++column) {
            const std::uint32_t v = row * kGridSide + column;
            triangles.insert(triangles.end(),
                             {v, v + 1, v + kGridSide + 1, v, v + kGridSide + 1, v + kGridSide});
        }
    }
    writer.openSegment("");
    writer.faceColour({0.2f + 0.1f * static_cast<float>(index % 8), 0.5f, 0.7f});
    writer.shell(points, triangles);
    writer.closeSegment();
}

std::vector<std::uint8_t> plainShellPackage(std::size_t triangles) {
    constexpr std::size_t perGrid = 2 * (kGridSide - 1) * (kGridSide - 1);
    const auto grids = static_cast<std::uint32_t>((triangles + perGrid - 1) / perGrid);
    plotwick::W3dWriter writer;
    writer.openSegment("model");
    for (std::uint32_t i = 0; i < grids; ++i)
        addGrid(writer, i);
    writer.closeSegment();
    writer.end();
    const plotwick::PackageModel model{"plain shells", writer.bytes(), std::nullopt};
    const std::string path =
        (std::filesystem::temp_directory_path() / "w3d_bench_plain_shells.dwf").string();
    std::string error;
    if (!plotwick::writeDwfPackage(path, {}, {&model, 1}, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    std::filesystem::remove(path);
    std::printf("plain shells: %u grids, %zu triangles, stream %.1f MB, package %.1f MB\n", grids,
                grids * perGrid, writer.bytes().size() / 1e6, bytes.size() / 1e6);
    return bytes;
}

std::vector<std::uint8_t> fileBytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

int main(int argc, char** argv) {
    const bool plain = argc > 2 && std::string(argv[1]) == "--plain-shells";
    const int first = plain ? 2 : 1;
    if (argc <= first) {
        std::fprintf(stderr,
                     "usage: w3d_bench PACKAGE.dwf [RUNS]\n"
                     "       w3d_bench --plain-shells TRIANGLES [RUNS]\n");
        return 2;
    }
    const std::vector<std::uint8_t> bytes =
        plain ? plainShellPackage(std::strtoull(argv[first], nullptr, 10)) : fileBytes(argv[first]);
    if (bytes.empty()) return 1;
    const int runs = argc > first + 1 ? std::max(1, std::atoi(argv[first + 1])) : 21;
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
