// Time and peak memory of reading and handing over a mesh that spills to disk,
// next to the memory that holding its faces in one array would take.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "scene/mesh_handover.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Keeps only counts: what reaches a viewer is not part of this measurement.
struct CountingConsumer : tessaro::ValidatingConsumer {
    std::int32_t addMesh(std::unique_ptr<tessaro::DrawableMesh> mesh) override {
        faces += mesh->faces.count;
        positions += mesh->positions.count;
        ++meshes;
        return ValidatingConsumer::addMesh(nullptr);
    }
    std::uint64_t faces = 0, positions = 0, meshes = 0;
};

// A grid of n x n cells, two faces each, with positions given inline.
bool fillGrid(tessaro::MeshBuild& mesh, std::uint32_t n) {
    if (!mesh.start(tessaro::kNone)) return false;
    for (std::uint32_t j = 0; j <= n; ++j) {
        for (std::uint32_t i = 0; i <= n; ++i)
            mesh.addPosition(i, j, (i * j) % 7);
    }
    const std::int32_t material = mesh.addMaterial(tessaro::MaterialRecord{});
    for (std::uint32_t j = 0; j < n; ++j) {
        for (std::uint32_t i = 0; i < n; ++i) {
            const auto a = static_cast<std::int32_t>(j * (n + 1) + i);
            const std::int32_t b = a + 1, c = a + static_cast<std::int32_t>(n) + 1, d = c + 1;
            const std::int32_t triangles[2][3] = {{a, b, d}, {a, d, c}};
            for (const auto& tri : triangles) {
                tessaro::FaceRecord* f = mesh.openFace();
                if (f == nullptr) return false;
                for (int v = 0; v < 3; ++v)
                    f->vertex[v].position = tri[v];
                f->material = material;
                if (!mesh.commitFace()) return false;
            }
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint32_t n = argc > 1 ? static_cast<std::uint32_t>(std::atoi(argv[1])) : 1225;
    const double startMb = peakMegabytes();
    tessaro::MeshBuild mesh;
    const auto fillStart = Clock::now();
    if (!fillGrid(mesh, n)) {
        std::puts("could not fill the mesh (temporary files?)");
        return 1;
    }
    const double fillSeconds = secondsSince(fillStart);
    const double afterFillMb = peakMegabytes();

    CountingConsumer consumer;
    tessaro::SceneBuilder builder(consumer);
    tessaro::DefinitionScope* scope = tessaro::DefinitionScope::createWorld();
    tessaro::MeshHandOver handOver(consumer, nullptr, nullptr);
    const auto handStart = Clock::now();
    handOver.handOver(mesh, scope, builder);
    const double handSeconds = secondsSince(handStart);
    scope->release();

    const double faces = 2.0 * n * n;
    const double arrayMb = faces * sizeof(tessaro::FaceRecord) / 1048576.0;
    std::printf("spilled mesh: %.0f faces, %.0f positions, %llu chunks\n", faces,
                (n + 1.0) * (n + 1.0), static_cast<unsigned long long>(consumer.meshes));
    std::printf("%-34s %10.2f s  (%.2f M faces/s)\n", "read into spill tables", fillSeconds,
                faces / fillSeconds / 1e6);
    std::printf("%-34s %10.2f s  (%.2f M faces/s)\n", "build chunks and hand over", handSeconds,
                faces / handSeconds / 1e6);
    std::printf("%-34s %10.1f MB\n", "peak memory at start", startMb);
    std::printf("%-34s %10.1f MB\n", "peak memory after reading", afterFillMb);
    std::printf("%-34s %10.1f MB\n", "peak memory after hand-over", peakMegabytes());
    std::printf("%-34s %10.1f MB  (baseline: faces held in one array)\n", "faces alone in memory",
                arrayMb);
    return consumer.faces == static_cast<std::uint64_t>(faces) ? 0 : 1;
}
