#include "host/host_model.h"

#include <algorithm>
#include <map>
#include <vector>

#include "convert/export_scene.h"
#include "convert/scene_walk.h"
#include "dwf/w3d_writer.h"
#include "host/memory_stream.h"
#include "render/renderer.h"
#include "xgl/scene_load_context.h"

namespace exportal {
namespace {

using tessaro::ExportPrimitive;
using tessaro::ExportScene;
using tessaro::NodeVisit;

constexpr char kLibraryRoot[] = "?Include Library/";

// The viewer's matrices map column vectors and are stored column by column; the
// stream's map row vectors and are stored row by row: the same sixteen numbers.
plotwick::W3dMatrix streamMatrix(const tessaro::Matrix4& matrix) {
    plotwick::W3dMatrix out = plotwick::kW3dIdentity;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 3; ++row)
            out[column * 4 + row] = matrix.m[column * 4 + row];
    }
    return out;
}

class ModelStream {
  public:
    ModelStream(const ExportScene& scene, const std::optional<plotwick::W3dCamera>& camera)
        : m_scene(scene) {
        if (camera) m_writer.camera(*camera);
        m_writer.openSegment("model");
    }

    // One object of the world: its mesh's library segment the first time the mesh is
    // met, then the object's own segment placing it.
    bool node(const NodeVisit& visit) {
        const std::vector<std::uint32_t>& primitives = tessaro::nodePrimitives(m_scene, visit);
        if (primitives.empty()) return true;
        auto [library, added] = m_libraries.try_emplace(&primitives);
        if (added && !writeLibrary(primitives, library->second)) return false;
        if (library->second.shellBoxes.empty()) return true;
        const plotwick::W3dMatrix matrix = streamMatrix(visit.world);
        m_writer.openSegment("");
        m_writer.matrix(matrix);
        m_writer.include(library->second.path);
        m_writer.closeSegment();
        const plotwick::W3dMatrix written = plotwick::asWritten(matrix);
        for (const plotwick::W3dBox& box : library->second.shellBoxes)
            m_extents.add(box, written);
        return true;
    }

    plotwick::PackageModel finish(const std::string& title) {
        m_writer.closeSegment();
        m_writer.end();
        return {title, m_writer.bytes(), m_extents.box()};
    }

    const std::string& failure() const { return m_failure; }

  private:
    struct Library {
        std::string path;
        std::vector<plotwick::W3dBox> shellBoxes;  // one per shell, as a reader boxes them
    };

    bool writeLibrary(const std::vector<std::uint32_t>& primitives, Library& library) {
        library.path = kLibraryRoot + std::to_string(m_libraries.size());
        m_writer.openSegment(library.path);
        for (std::uint32_t index : primitives) {
            const ExportPrimitive& primitive = m_scene.primitives()[index];
            if (primitive.mode != tessaro::kModeTriangles || primitive.indexCount < 3) continue;
            if (!writeShell(primitive, library)) return false;
        }
        m_writer.closeSegment();
        return true;
    }

    // A material's triangles in their own segment, which carries the colour.
    bool writeShell(const ExportPrimitive& primitive, Library& library) {
        if (!tessaro::readValues(m_scene.store(), primitive.positions, primitive.vertexCount * 3,
                                 m_points) ||
            !tessaro::readValues(m_scene.store(), primitive.indices, primitive.indexCount / 3 * 3,
                                 m_triangles)) {
            m_failure = "The document's meshes cannot be read back: " + m_scene.store().failure();
            return false;
        }
        m_writer.openSegment("");
        const auto& materials = m_scene.materials();
        if (primitive.material >= 0 &&
            static_cast<std::size_t>(primitive.material) < materials.size()) {
            const float* diffuse = materials[primitive.material].colours.diffuse;
            m_writer.faceColour({diffuse[0], diffuse[1], diffuse[2]});
        }
        if (!m_writer.shell(m_points, m_triangles)) {
            m_failure = "A mesh of the document is too large for a DWF model.";
            return false;
        }
        m_writer.closeSegment();
        library.shellBoxes.push_back(*plotwick::boxOfPoints(m_points));
        return true;
    }

    const ExportScene& m_scene;
    plotwick::W3dWriter m_writer;
    plotwick::W3dExtents m_extents;
    std::map<const std::vector<std::uint32_t>*, Library> m_libraries;
    std::vector<float> m_points;
    std::vector<std::uint32_t> m_triangles;
    std::string m_failure;
};

}  // namespace

bool modelOfWorld(const QByteArray& xgl, const std::string& title,
                  const std::optional<plotwick::W3dCamera>& camera, plotwick::PackageModel& model,
                  std::string& error) {
    ExportScene scene;
    if (!scene.open()) {
        error = scene.failure();
        return false;
    }
    MemoryStream input(xgl);
    tessaro::LoadResult result;
    {
        tessaro::SceneLoadContext context(scene);
        result = context.parse(input, nullptr);
    }
    if (!result.loaded() || !scene.failure().empty()) {
        error = result.loaded() ? scene.failure() : result.message;
        if (error.empty()) error = "The document's world cannot be read for its 3D model.";
        return false;
    }
    ModelStream stream(scene, camera);
    if (!tessaro::walkScene(
            scene, [&](const NodeVisit& visit) { return stream.node(visit); }, error)) {
        if (error.empty()) error = stream.failure();
        return false;
    }
    model = stream.finish(title);
    return true;
}

plotwick::W3dCamera cameraOfView() {
    const tessaro::ViewState& view = tessaro::viewState();
    double forward[3], up[3], sceneCentre[3], boxCentre[3], boxSize[3];
    view.getOrientation(forward, up);
    view.getSceneOffset(sceneCentre);
    view.getViewBox(boxCentre, boxSize);
    // The view turns the world by the matrix whose columns are side, up and forward
    // (side = up x forward); its rows are then the world's directions of the eye's
    // right, up and back axes.
    const double side[3] = {up[1] * forward[2] - up[2] * forward[1],
                            up[2] * forward[0] - up[0] * forward[2],
                            up[0] * forward[1] - up[1] * forward[0]};
    const double* columns[3] = {side, up, forward};
    double axis[3][3];  // right, up, back
    for (int row = 0; row < 3; ++row) {
        for (int k = 0; k < 3; ++k)
            axis[row][k] = columns[k][row];
    }
    // The view box's centre is in the eye's coordinates, its depth measured forward.
    plotwick::W3dCamera camera;
    const double depth = std::max(boxSize[2], 1e-6);
    for (int k = 0; k < 3; ++k) {
        camera.target[k] = sceneCentre[k] + boxCentre[0] * axis[0][k] + boxCentre[1] * axis[1][k] -
                           boxCentre[2] * axis[2][k];
        camera.position[k] = camera.target[k] + depth * axis[2][k];
        camera.up[k] = axis[1][k];
    }
    camera.fieldWidth = boxSize[0];
    camera.fieldHeight = boxSize[1];
    return camera;
}

}  // namespace exportal
