#include "convert/scene_walk.h"

#include <cmath>
#include <vector>

namespace tessaro {

namespace {

// Instances multiply: the load bounds their work, this bounds what is written.
constexpr std::uint64_t kMostNodes = std::uint64_t{1} << 22;

const std::vector<std::uint32_t> kNoPrimitives;

bool isObject(const ExportEntry* entry) {
    return entry != nullptr && entry->kind == SceneBounds::EntryKind::object;
}

}  // namespace

Matrix4 Matrix4::operator*(const Matrix4& other) const {
    Matrix4 out;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += m[k * 4 + row] * other.m[column * 4 + k];
            out.m[column * 4 + row] = sum;
        }
    }
    return out;
}

void Matrix4::apply(const double in[3], double out[3]) const {
    for (int row = 0; row < 3; ++row)
        out[row] = m[row] * in[0] + m[4 + row] * in[1] + m[8 + row] * in[2] + m[12 + row];
}

void Matrix4::applyLinear(const double in[3], double out[3]) const {
    for (int row = 0; row < 3; ++row)
        out[row] = m[row] * in[0] + m[4 + row] * in[1] + m[8 + row] * in[2];
}

Matrix4 objectMatrix(const Transform& transform) {
    Matrix4 matrix;
    objectMatrix(transform, matrix.m);
    return matrix;
}

void rotationQuaternion(const double x[3], const double y[3], const double z[3], double q[4]) {
    // Rows r, columns c: element (r, c) is column c's component r.
    const double m00 = x[0], m11 = y[1], m22 = z[2];
    const double trace = m00 + m11 + m22;
    if (trace > 0) {
        const double s = std::sqrt(trace + 1.0) * 2;
        q[3] = s / 4;
        q[0] = (y[2] - z[1]) / s;
        q[1] = (z[0] - x[2]) / s;
        q[2] = (x[1] - y[0]) / s;
    } else if (m00 > m11 && m00 > m22) {
        const double s = std::sqrt(1.0 + m00 - m11 - m22) * 2;
        q[3] = (y[2] - z[1]) / s;
        q[0] = s / 4;
        q[1] = (y[0] + x[1]) / s;
        q[2] = (z[0] + x[2]) / s;
    } else if (m11 > m22) {
        const double s = std::sqrt(1.0 + m11 - m00 - m22) * 2;
        q[3] = (z[0] - x[2]) / s;
        q[0] = (y[0] + x[1]) / s;
        q[1] = s / 4;
        q[2] = (z[1] + y[2]) / s;
    } else {
        const double s = std::sqrt(1.0 + m22 - m00 - m11) * 2;
        q[3] = (x[1] - y[0]) / s;
        q[0] = (z[0] + x[2]) / s;
        q[1] = (z[1] + y[2]) / s;
        q[2] = s / 4;
    }
    double length = 0;
    for (int i = 0; i < 4; ++i)
        length += q[i] * q[i];
    length = std::sqrt(length);
    if (!(length > 0) || !std::isfinite(length)) {
        q[0] = q[1] = q[2] = 0;
        q[3] = 1;
        return;
    }
    for (int i = 0; i < 4; ++i)
        q[i] /= length;
}

bool walkScene(const ExportScene& scene, const std::function<bool(const NodeVisit&)>& visit,
               std::string& failure) {
    const WorldRecord* world = scene.world();
    if (world == nullptr) return true;
    std::uint32_t next = 0;
    if (world->meshHandle >= 0) {
        NodeVisit node;
        node.entry = scene.entry(world->meshHandle);
        node.worldMesh = true;
        return node.entry == nullptr || visit(node);
    }
    // Depth first with a stack of pending children, so that deep nesting costs no
    // call stack.
    struct Pending {
        std::int32_t handle;
        std::int32_t parent;
        Matrix4 parentWorld;
    };
    std::vector<Pending> stack;
    for (auto child = world->childHandles.rbegin(); child != world->childHandles.rend(); ++child)
        stack.push_back({*child, kNone, Matrix4{}});
    while (!stack.empty()) {
        const Pending pending = stack.back();
        stack.pop_back();
        const ExportEntry* entry = scene.entry(pending.handle);
        if (!isObject(entry)) continue;
        if (next >= kMostNodes) {
            failure = "The document instances more objects than an export holds (" +
                      std::to_string(kMostNodes) + " nodes)";
            return false;
        }
        NodeVisit node;
        node.index = next++;
        node.parent = pending.parent;
        node.entry = entry;
        node.local = objectMatrix(entry->transform);
        node.world = pending.parentWorld * node.local;
        if (!visit(node)) return false;
        for (auto child = entry->children.rbegin(); child != entry->children.rend(); ++child)
            stack.push_back({*child, static_cast<std::int32_t>(node.index), node.world});
    }
    return true;
}

const std::vector<std::uint32_t>& nodePrimitives(const ExportScene& scene, const NodeVisit& node) {
    if (node.entry == nullptr) return kNoPrimitives;
    if (node.worldMesh) return node.entry->primitives;
    const ExportEntry* mesh = scene.entry(node.entry->meshHandle);
    if (mesh == nullptr || mesh->kind == SceneBounds::EntryKind::object) return kNoPrimitives;
    return mesh->primitives;
}

}  // namespace tessaro
