#include "scene/scene_bounds.h"

#include <algorithm>
#include <cmath>

#include "scene/scene_consumer.h"

namespace tessaro {

void Box::add(double x, double y, double z) {
    const double p[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) {
        min[i] = std::min(min[i], p[i]);
        max[i] = std::max(max[i], p[i]);
    }
}

void Box::add(const Box& other) {
    for (int i = 0; i < 3; ++i) {
        min[i] = std::min(min[i], other.min[i]);
        max[i] = std::max(max[i], other.max[i]);
    }
}

Box transformBox(const Box& local, const Transform& t) {
    const double* F = t.forward;
    const double* U = t.up;
    const double X[3] = {U[1] * F[2] - U[2] * F[1], U[2] * F[0] - U[0] * F[2],
                         U[0] * F[1] - U[1] * F[0]};
    Box out;
    for (int corner = 0; corner < 8; ++corner) {
        const double x = (corner & 1) ? local.max[0] : local.min[0];
        const double y = (corner & 2) ? local.max[1] : local.min[1];
        const double z = (corner & 4) ? local.max[2] : local.min[2];
        double p[3];
        for (int i = 0; i < 3; ++i) {
            p[i] = t.scale * (x * X[i] + y * U[i] + z * F[i]) + t.position[i];
        }
        out.add(p[0], p[1], p[2]);
    }
    return out;
}

void objectMatrix(const Transform& transform, double out[16]) {
    const double* f = transform.forward;
    const double* u = transform.up;
    const double d = u[0] * f[0] + u[1] * f[1] + u[2] * f[2];
    double v[3] = {u[0] - d * f[0], u[1] - d * f[1], u[2] - d * f[2]};
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    // Checked transforms never have U along F; a zero U' stays zero rather than NaN.
    if (length > 0) {
        for (double& c : v)
            c /= length;
    }
    const double x[3] = {v[1] * f[2] - v[2] * f[1], v[2] * f[0] - v[0] * f[2],
                         v[0] * f[1] - v[1] * f[0]};
    const double s = transform.scale;
    const double* p = transform.position;
    const double columns[16] = {s * x[0], s * x[1], s * x[2], 0, s * v[0], s * v[1], s * v[2], 0,
                                s * f[0], s * f[1], s * f[2], 0, p[0],     p[1],     p[2],     1};
    std::copy(columns, columns + 16, out);
}

namespace {

// Adds the positions a primitive's vertices use; indices outside the table are skipped.
template <typename Record>
void addPrimitives(const RecordBlock<Record>& primitives,
                   const RecordBlock<PositionRecord>& positions, Box& box) {
    for (const Record& r : primitives) {
        for (const Vertex& v : r.vertex) {
            if (v.position < 0 || static_cast<std::uint32_t>(v.position) >= positions.count) {
                continue;
            }
            const PositionRecord& p = positions[static_cast<std::uint32_t>(v.position)];
            box.add(p.x, p.y, p.z);
        }
    }
}

}  // namespace

std::int32_t SceneBounds::appendEntry(EntryKind kind) {
    m_entries.push_back({kind, -1});
    return static_cast<std::int32_t>(m_entries.size() - 1);
}

std::int32_t SceneBounds::addMesh(const DrawableMesh& mesh) {
    if (mesh.faces.count == 0 && mesh.lines.count == 0 && mesh.points.count == 0) return kDropped;
    const std::int32_t handle = appendEntry(EntryKind::mesh);
    Box box;
    addPrimitives(mesh.faces, mesh.positions, box);
    addPrimitives(mesh.lines, mesh.positions, box);
    addPrimitives(mesh.points, mesh.positions, box);
    m_geometryBoxes.push_back(box);
    m_entries[handle].box = static_cast<std::int32_t>(m_geometryBoxes.size() - 1);
    return handle;
}

const Box* SceneBounds::boxOf(std::int32_t handle) const {
    if (handle < 0 || static_cast<std::size_t>(handle) >= m_entries.size()) return nullptr;
    const Entry& e = m_entries[static_cast<std::size_t>(handle)];
    if (e.box < 0) return nullptr;
    const auto& boxes = e.kind == EntryKind::object ? m_objectBoxes : m_geometryBoxes;
    return &boxes[static_cast<std::size_t>(e.box)];
}

std::int32_t SceneBounds::addObject(const ObjectRecord& object) {
    const std::int32_t handle = appendEntry(EntryKind::object);
    Box local;
    bool hasBox = false;
    if (object.meshHandle >= 0) {
        if (const Box* mesh = boxOf(object.meshHandle)) {
            local = *mesh;
            hasBox = true;
        }
    } else {
        for (std::int32_t child : object.childHandles) {
            const Box* box = boxOf(child);
            if (box == nullptr || kindOf(child) != EntryKind::object) continue;
            local.add(*box);
            hasBox = true;
        }
    }
    if (!hasBox) return kDropped;
    m_objectBoxes.push_back(transformBox(local, object.transform));
    m_entries[handle].box = static_cast<std::int32_t>(m_objectBoxes.size() - 1);
    return handle;
}

std::int32_t SceneBounds::addMeshGroup(std::uint32_t count, const std::int32_t* handles) {
    Box box;
    bool first = true;
    for (std::uint32_t i = 0; i < count; ++i) {
        const Box* chunk = boxOf(handles[i]);
        if (chunk == nullptr) continue;
        if (first) box = *chunk;
        box.add(*chunk);
        first = false;
    }
    if (first) return kDropped;
    const std::int32_t handle = appendEntry(EntryKind::group);
    m_geometryBoxes.push_back(box);
    m_entries[handle].box = static_cast<std::int32_t>(m_geometryBoxes.size() - 1);
    return handle;
}

Box SceneBounds::worldBox(const WorldRecord& world) const {
    if (world.meshHandle >= 0) {
        const Box* mesh = boxOf(world.meshHandle);
        return mesh != nullptr ? *mesh : Box{};
    }
    Box box;
    for (std::int32_t child : world.childHandles) {
        const Box* b = boxOf(child);
        if (b != nullptr && kindOf(child) == EntryKind::object) box.add(*b);
    }
    return box;
}

void SceneBounds::clear() {
    m_entries.clear();
    m_geometryBoxes.clear();
    m_objectBoxes.clear();
}

}  // namespace tessaro
