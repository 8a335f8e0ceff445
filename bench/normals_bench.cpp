// Normal generation rates in faces per second. A grid of about a million faces whose
// cells carry their own four positions (so welding has work) is measured next to two
// baselines from the same run: copying the mesh, and computing the face normals alone.
// Crafted inputs follow: fans of up to half a million faces around one position, and
// positions whose coordinates all collide in the welding hash.
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

#include "scene/normals.h"

namespace tessaro {
namespace {

FaceRecord face(std::int32_t a, std::int32_t b, std::int32_t c) {
    return {{{a, kNone, kNone}, {b, kNone, kNone}, {c, kNone, kNone}}, kNone, kNone, kNone, 1};
}

void allocateMesh(DrawableMesh& mesh, std::uint32_t positions, std::uint32_t faces) {
    if (!mesh.positions.allocate(positions) || !mesh.faces.allocate(faces)) std::abort();
}

// A gently waved height field of 2 * columns * rows faces in smoothing group 1.
void makeGrid(DrawableMesh& mesh, std::uint32_t columns, std::uint32_t rows) {
    allocateMesh(mesh, 4 * columns * rows, 2 * columns * rows);
    const auto height = [](double x, double y) {
        return 3 * std::sin(x * 0.05) * std::cos(y * 0.07);
    };
    std::uint32_t p = 0, f = 0;
    for (std::uint32_t r = 0; r < rows; ++r) {
        for (std::uint32_t c = 0; c < columns; ++c) {
            for (std::uint32_t corner = 0; corner < 4; ++corner) {
                const double x = c + (corner & 1), y = r + (corner >> 1);
                mesh.positions[p + corner] = {x, y, height(x, y), kNoId, 0};
            }
            const auto at = [p](std::uint32_t corner) { return std::int32_t(p + corner); };
            mesh.faces[f++] = face(at(0), at(1), at(3));
            mesh.faces[f++] = face(at(0), at(3), at(2));
            p += 4;
        }
    }
}

// n faces around one hub at height h over the unit circle.
void makeFan(DrawableMesh& mesh, std::uint32_t n, double h) {
    allocateMesh(mesh, n + 1, n);
    mesh.positions[0] = {0, 0, h, kNoId, 0};
    for (std::uint32_t i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n;
        mesh.positions[i + 1] = {std::cos(a), std::sin(a), 0, kNoId, 0};
        mesh.faces[i] = face(0, std::int32_t(i + 1), std::int32_t((i + 1) % n + 1));
    }
}

template <typename T>
void copyBlock(const RecordBlock<T>& from, RecordBlock<T>& to) {
    if (!to.allocate(from.count)) std::abort();
    if (from.count != 0) std::memcpy(to.data.get(), from.data.get(), sizeof(T) * from.count);
}

void copyMesh(const DrawableMesh& from, DrawableMesh& to) {
    copyBlock(from.positions, to.positions);
    copyBlock(from.faces, to.faces);
    copyBlock(from.normals, to.normals);
}

const DrawableMesh& grid() {
    static DrawableMesh mesh;
    if (mesh.faces.count == 0) makeGrid(mesh, 1000, 500);
    return mesh;
}

void generateOnCopies(benchmark::State& state, const DrawableMesh& source) {
    for (auto _ : state) {
        state.PauseTiming();
        DrawableMesh mesh;
        copyMesh(source, mesh);
        state.ResumeTiming();
        if (!generateNormals(mesh)) state.SkipWithError("out of memory");
        benchmark::DoNotOptimize(mesh.normals.data.get());
        state.PauseTiming();
        mesh = DrawableMesh();  // freeing is not part of the step
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * source.faces.count);
}

void GridGenerateNormals(benchmark::State& state) {
    generateOnCopies(state, grid());
}

// Baseline: the copy a caller makes to hand the mesh on.
void GridCopyMesh(benchmark::State& state) {
    for (auto _ : state) {
        DrawableMesh mesh;
        copyMesh(grid(), mesh);
        benchmark::DoNotOptimize(mesh.faces.data.get());
    }
    state.SetItemsProcessed(state.iterations() * grid().faces.count);
}

// Baseline: one cross product and one normalisation per face, no welding, no lists.
void GridFaceNormalsOnly(benchmark::State& state) {
    const DrawableMesh& mesh = grid();
    std::vector<Vector3> normals(mesh.faces.count);
    for (auto _ : state) {
        for (std::uint32_t f = 0; f < mesh.faces.count; ++f) {
            const auto at = [&](int k) {
                const PositionRecord& p = mesh.positions[mesh.faces[f].vertex[k].position];
                return Vector3{p.x, p.y, p.z};
            };
            const Vector3 a = at(0), b = at(1), c = at(2);
            const Vector3 e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
            normals[f] = {e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                          e1.x * e2.y - e1.y * e2.x};
            normalize(normals[f]);
        }
        benchmark::DoNotOptimize(normals.data());
    }
    state.SetItemsProcessed(state.iterations() * mesh.faces.count);
}

void GridWeldPositions(benchmark::State& state) {
    const DrawableMesh& mesh = grid();
    std::vector<std::uint32_t> canonical(mesh.positions.count);
    for (auto _ : state) {
        if (!weldPositions(mesh.positions.data.get(), mesh.positions.count, canonical.data()))
            state.SkipWithError("out of memory");
        benchmark::DoNotOptimize(canonical.data());
    }
    state.SetItemsProcessed(state.iterations() * mesh.positions.count);
}

// Height 0: a flat disc (one face normal); 0.1: a shallow cone (distinct normals, all
// close); 1: a steep cone (distinct normals 90 degrees across, the costly kind).
void FanGenerateNormals(benchmark::State& state) {
    DrawableMesh fan;
    makeFan(fan, std::uint32_t(state.range(1)), double(state.range(0)) / 10);
    generateOnCopies(state, fan);
}

// Positions whose hash words differ by (-21t, -2t, 5t) in the low words share home slot
// and probe step; welding notices the crowding and sorts instead.
void CollidingWeldPositions(benchmark::State& state) {
    const auto n = std::uint32_t(state.range(0));
    std::vector<PositionRecord> positions(n);
    const auto coordinate = [](std::uint32_t low) {
        return std::bit_cast<double>(std::uint64_t{0x3FF00000} << 32 | low);
    };
    for (std::uint32_t t = 0; t < n; ++t)
        positions[t] = {coordinate(7 - 21 * t), coordinate(9 - 2 * t), coordinate(4 + 5 * t), kNoId,
                        0};
    std::vector<std::uint32_t> canonical(n);
    for (auto _ : state) {
        if (!weldPositions(positions.data(), n, canonical.data()))
            state.SkipWithError("out of memory");
        benchmark::DoNotOptimize(canonical.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

BENCHMARK(GridGenerateNormals)->Unit(benchmark::kMillisecond);
BENCHMARK(GridCopyMesh)->Unit(benchmark::kMillisecond);
BENCHMARK(GridFaceNormalsOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(GridWeldPositions)->Unit(benchmark::kMillisecond);
BENCHMARK(FanGenerateNormals)
    ->ArgNames({"height10", "faces"})
    ->Args({0, 500000})
    ->Args({1, 500000})
    ->Args({10, 500000})
    ->Args({10, 4096})
    ->Args({10, 8192})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(CollidingWeldPositions)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessaro
