#include "dwf/w3d_scene.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace plotwick {

void W3dExtents::add(const W3dBox& local, const W3dMatrix& m) {
    for (int corner = 0; corner < 8; ++corner) {
        const double x = local[corner & 1 ? 3 : 0], y = local[corner & 2 ? 4 : 1],
                     z = local[corner & 4 ? 5 : 2];
        const double p[3] = {x * m[0] + y * m[4] + z * m[8] + m[12],
                             x * m[1] + y * m[5] + z * m[9] + m[13],
                             x * m[2] + y * m[6] + z * m[10] + m[14]};
        if (!m_box) m_box = W3dBox{p[0], p[1], p[2], p[0], p[1], p[2]};
        for (int k = 0; k < 3; ++k) {
            (*m_box)[k] = std::min((*m_box)[k], p[k]);
            (*m_box)[k + 3] = std::max((*m_box)[k + 3], p[k]);
        }
    }
}

}  // namespace plotwick

namespace plotwick::internal {
namespace {

// Includes may nest, and a stream may include a segment from inside itself; both are
// bounded so that a small stream cannot ask for unbounded work.
constexpr std::size_t kDepthLimit = 64;

using Colour = std::optional<std::array<float, 3>>;

struct State {
    W3dMatrix matrix = kW3dIdentity;
    Colour colour;
    bool facesVisible = true;
    std::array<Colour, kW3dCurveClassCount> curveColours;
    std::array<bool, kW3dCurveClassCount> curvesVisible{true, true, true};
};

// Markers take the line colour when none of their own is set.
Colour curveColourOf(const State& state, std::size_t curveClass) {
    const Colour& own = state.curveColours[curveClass];
    if (own || curveClass != indexOf(W3dCurveClass::markers)) return own;
    return state.curveColours[indexOf(W3dCurveClass::lines)];
}

class Evaluator {
  public:
    Evaluator(const W3dStream& stream, W3dModel& model)
        : m_stream(stream),
          m_model(model),
          m_budget(std::max<std::size_t>(1 << 16,
                                         64 * (stream.segments.size() + stream.meshes.size()))) {}

    void visit(std::size_t index, State state, std::size_t depth) {
        if (depth > kDepthLimit || m_budget == 0) {
            m_stopped = true;
            return;
        }
        --m_budget;
        const W3dSegment& segment = m_stream.segments[index];
        for (const std::string& style : segment.styles) {
            const auto found = m_stream.byPath.find(style);
            if (found != m_stream.byPath.end())
                applyAttributes(m_stream.segments[found->second], state);
        }
        applyAttributes(segment, state);
        if (state.facesVisible) {
            for (std::size_t mesh : segment.meshes) {
                if (!addSet({mesh, state.matrix, state.colour, std::nullopt})) return;
            }
        }
        for (std::size_t curveClass = 0; curveClass < kW3dCurveClassCount; ++curveClass) {
            const auto& mesh = segment.curveMeshes[curveClass];
            if (!mesh || !state.curvesVisible[curveClass] || m_stream.meshes[*mesh].points.empty())
                continue;  // empty when each of its curves was left out (bad knots, say)
            if (!addSet({*mesh, state.matrix, std::nullopt, curveColourOf(state, curveClass)}))
                return;
        }
        for (const std::string& include : segment.includes) {
            const auto found = m_stream.byPath.find(include);
            if (found != m_stream.byPath.end()) visit(found->second, state, depth + 1);
        }
        for (std::size_t child : segment.children)
            visit(child, state, depth + 1);
    }

    bool stopped() const { return m_stopped; }

  private:
    static void applyAttributes(const W3dSegment& segment, State& state) {
        if (segment.matrix) state.matrix = multiply(*segment.matrix, state.matrix);
        if (segment.faceColour) state.colour = segment.faceColour;
        if (segment.facesVisible) state.facesVisible = *segment.facesVisible;
        for (std::size_t curveClass = 0; curveClass < kW3dCurveClassCount; ++curveClass) {
            if (segment.curveColours[curveClass])
                state.curveColours[curveClass] = segment.curveColours[curveClass];
            if (segment.curvesVisible[curveClass])
                state.curvesVisible[curveClass] = *segment.curvesVisible[curveClass];
        }
    }

    bool addSet(const W3dTriangleSet& set) {
        if (m_budget == 0) {
            m_stopped = true;
            return false;
        }
        --m_budget;
        m_model.sets.push_back(set);
        const W3dMesh& mesh = m_stream.meshes[set.mesh];
        m_model.instanceCount += !mesh.triangles.empty();
        m_model.triangleCount += mesh.triangles.size() / 3;
        m_model.lineCount += mesh.lines.size() / 2;
        m_model.markerCount += mesh.markers.size();
        return true;
    }

    const W3dStream& m_stream;
    W3dModel& m_model;
    std::size_t m_budget;
    bool m_stopped = false;
};

std::optional<W3dBox> localBox(const W3dMesh& mesh) {
    if (mesh.points.empty()) return std::nullopt;
    constexpr double big = std::numeric_limits<double>::max();
    W3dBox box{big, big, big, -big, -big, -big};
    for (std::size_t i = 0; i + 2 < mesh.points.size(); i += 3) {
        for (int k = 0; k < 3; ++k) {
            box[k] = std::min<double>(box[k], mesh.points[i + k]);
            box[k + 3] = std::max<double>(box[k + 3], mesh.points[i + k]);
        }
    }
    return box;
}

}  // namespace

W3dMatrix multiply(const W3dMatrix& first, const W3dMatrix& second) {
    W3dMatrix result{};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += first[row * 4 + k] * second[k * 4 + column];
            result[row * 4 + column] = sum;
        }
    }
    return result;
}

std::optional<W3dBox> conservativeBoxOf(const W3dModel& model) {
    std::vector<std::optional<W3dBox>> boxes(model.meshes.size());
    for (std::size_t i = 0; i < model.meshes.size(); ++i)
        boxes[i] = localBox(model.meshes[i]);
    W3dExtents extents;
    for (const W3dTriangleSet& set : model.sets) {
        if (const auto& box = boxes[set.mesh]) extents.add(*box, set.matrix);
    }
    return extents.box();
}

std::optional<W3dBox> fitBoxOf(const std::optional<W3dBox>& extents,
                               const std::optional<W3dBox>& conservative) {
    if (!conservative) return extents;
    if (!extents) return conservative;
    const W3dBox& box = *conservative;
    const double size = std::max({box[3] - box[0], box[4] - box[1], box[5] - box[2]});
    for (int k = 0; k < 6; ++k) {
        if (!(std::abs((*extents)[k] - box[k]) <= 1e-3 * size)) return conservative;
    }
    return extents;
}

W3dModel evaluateW3d(W3dStream stream, const W3dMatrix& placement) {
    W3dModel model;
    model.shellCount = stream.shellCount;
    model.camera = stream.camera;
    model.message = std::move(stream.message);
    if (!stream.segments.empty()) {
        Evaluator evaluator(stream, model);
        State start;
        start.matrix = placement;
        evaluator.visit(0, start, 0);
        if (evaluator.stopped() && model.message.empty())
            model.message = "The 3D model includes its segments too deeply; only part is shown";
    }
    model.meshes = std::move(stream.meshes);
    std::set<std::array<float, 3>> colours;
    for (const W3dTriangleSet& set : model.sets) {
        if (set.colour) colours.insert(*set.colour);
    }
    model.colourCount = colours.size();
    model.conservativeBox = conservativeBoxOf(model);
    return model;
}

}  // namespace plotwick::internal
