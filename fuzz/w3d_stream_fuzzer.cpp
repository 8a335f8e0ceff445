// Feeds arbitrary bytes to the 3D stream reader behind a valid header, so that the
// fuzzer spends its time on opcodes, shells and the edgebreaker data, and evaluates
// what was read into triangle sets.
//
// Input layout: byte 0 picks the stream version (its fields differ by version), the
// rest follows the header comment.
//
// Besides the sanitizers: every set names a mesh, every triangle, line and marker names
// a vertex of its mesh, per-vertex arrays match the points, and the counts add up.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "dwf/w3d_reader.h"
#include "dwf/w3d_scene.h"

namespace {

constexpr const char* kVersions[] = {"10.00", "11.70", "12.15", "15.55"};

void check(bool condition) {
    if (!condition) std::abort();
}

void checkModel(const plotwick::W3dModel& model) {
    std::size_t triangles = 0, lines = 0, markers = 0;
    for (const plotwick::W3dTriangleSet& set : model.sets) {
        check(set.mesh < model.meshes.size());
        triangles += model.meshes[set.mesh].triangles.size() / 3;
        lines += model.meshes[set.mesh].lines.size() / 2;
        markers += model.meshes[set.mesh].markers.size();
    }
    check(triangles == model.triangleCount);
    check(lines == model.lineCount && markers == model.markerCount);
    for (const plotwick::W3dMesh& mesh : model.meshes) {
        const std::size_t vertices = mesh.points.size() / 3;
        check(mesh.points.size() % 3 == 0 && mesh.triangles.size() % 3 == 0);
        check(mesh.normals.empty() || mesh.normals.size() == mesh.points.size());
        check(mesh.texCoords.empty() || mesh.texCoords.size() == mesh.points.size());
        check(mesh.lines.size() % 2 == 0);
        for (const auto* list : {&mesh.triangles, &mesh.lines, &mesh.markers}) {
            for (std::uint32_t vertex : *list)
                check(vertex < vertices);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string header = std::string(";; HSF V") + kVersions[data[0] % 4] + " \n";
    std::vector<std::uint8_t> stream(header.begin(), header.end());
    stream.insert(stream.end(), data + 1, data + size);
    checkModel(plotwick::internal::evaluateW3d(plotwick::internal::readW3d(stream)));
    return 0;
}
