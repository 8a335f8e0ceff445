// Parse-only time, load time with list compilation, and the time of one redraw, for
// generated documents of about 100 thousand and 1 million triangles, drawn off-screen.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "document/scene_document.h"
#include "render/renderer.h"
#include "render/surface.h"
#include "xgl/scene_load_context.h"
#include "xgl_generator.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Run>
double medianSeconds(int runs, Run run) {
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        run();
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

// Documents of 60x60-cell objects: 7200 triangles each.
std::string generate(std::uint64_t triangles, const std::string& path) {
    xglgen::Options options;
    options.gridSize = 61;
    options.targetBytes = 1;
    const std::uint64_t objects = std::max<std::uint64_t>(1, triangles / 7200);
    // Each object is about 1.2 MB of text; generate until the object count is reached.
    options.targetBytes = objects * 1200000;
    xglgen::generateFile(options, path);
    return path;
}

struct Faces : tessaro::ValidatingConsumer {
    std::int32_t addMesh(std::unique_ptr<tessaro::DrawableMesh> mesh) override {
        faces += mesh->faces.count;
        return ValidatingConsumer::addMesh(nullptr);
    }
    std::uint64_t faces = 0;
};

}  // namespace

int main() {
    std::string error;
    auto surface = tessaro::createHeadlessSurface(800, 600, &error);
    if (!surface) {
        std::printf("no off-screen surface: %s\n", error.c_str());
        return 1;
    }
    tessaro::createContext(surface.get());
    tessaro::setViewport(800, 600);
    std::printf("%-12s %10s %12s %14s %12s\n", "triangles", "MB", "parse (s)", "load+lists (s)",
                "redraw (ms)");
    for (std::uint64_t wanted : {100000ull, 1000000ull}) {
        const std::string path = generate(wanted, "/tmp/tessaro-render-bench.xgl");
        Faces counted;
        tessaro::loadDocument(path.c_str(), counted);
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::fseek(f, 0, SEEK_END);
        const double mb = std::ftell(f) / 1048576.0;
        std::fclose(f);
        const double parse = medianSeconds(3, [&] {
            tessaro::ValidatingConsumer consumer;
            tessaro::loadDocument(path.c_str(), consumer);
        });
        const double load = medianSeconds(3, [&] {
            tessaro::SceneDocument document;
            document.load(path.c_str());
        });
        const double redraw = medianSeconds(5, [] { tessaro::viewState().redraw(); });
        std::printf("%-12llu %10.1f %12.3f %14.3f %12.1f\n",
                    static_cast<unsigned long long>(counted.faces), mb, parse, load, redraw * 1000);
        std::remove(path.c_str());
    }
    tessaro::clearDisplay();
    tessaro::destroyContext();
    return 0;
}
