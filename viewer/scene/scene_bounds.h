// SceneBounds: the entry table and bounding boxes that the viewer keeps while a
// scene is loaded. Every accepted mesh, object and mesh group gets the next entry
// index (its handle); meshes and groups have geometry boxes, objects have boxes in
// their parent's coordinates. The world box fits the camera.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/records.h"
#include "scene/scene_model.h"

namespace tessaro {

struct Box {
    double min[3] = {1e30, 1e30, 1e30};
    double max[3] = {-1e30, -1e30, -1e30};

    void add(double x, double y, double z);
    void add(const Box& other);
    bool empty() const { return min[0] > max[0]; }
};

// The axis-aligned box of a box's eight corners mapped by an object's transform:
// corner' = s * (x X + y U + z F) + P with X = U x F (U is not made orthogonal).
Box transformBox(const Box& local, const Transform& transform);

// The object's transform as a matrix, columns first (OpenGL's order): X' = U' x F with
// U' = U made orthogonal to F and unit, scaled by s, then moved to P. The renderer
// draws with it and the converter writes it, so both place an object alike.
void objectMatrix(const Transform& transform, double out[16]);

class SceneBounds {
  public:
    enum class EntryKind : std::uint8_t { mesh, object, group };

    // The box of the positions a mesh's faces, lines and points use; kDropped (-2) for
    // a mesh without primitives, else the new entry's index.
    std::int32_t addMesh(const DrawableMesh& mesh);
    // The object's box through its transform: from its mesh's box, else from its
    // children's object boxes; kDropped when it has neither (the entry stays unused).
    std::int32_t addObject(const ObjectRecord& object);
    // The union of the chunks' geometry boxes; kDropped when no listed entry is a mesh.
    std::int32_t addMeshGroup(std::uint32_t count, const std::int32_t* handles);

    // The world's mesh box, else the union of its child objects' boxes.
    Box worldBox(const WorldRecord& world) const;

    void clear();
    std::uint32_t entryCount() const { return static_cast<std::uint32_t>(m_entries.size()); }
    EntryKind kindOf(std::int32_t handle) const { return m_entries[handle].kind; }
    // The box of an entry: a geometry box for meshes and groups, an object box for
    // objects; null for a handle that is not an entry or has no box.
    const Box* boxOf(std::int32_t handle) const;
    // The index of an entry's box among the geometry or the object boxes; -1 for none.
    std::int32_t boxIndexOf(std::int32_t handle) const {
        return handle >= 0 && static_cast<std::size_t>(handle) < m_entries.size()
                   ? m_entries[static_cast<std::size_t>(handle)].box
                   : -1;
    }

  private:
    struct Entry {
        EntryKind kind;
        std::int32_t box;  // index into m_geometryBoxes or m_objectBoxes; -1 for none
    };

    std::int32_t appendEntry(EntryKind kind);

    std::vector<Entry> m_entries;
    std::vector<Box> m_geometryBoxes;
    std::vector<Box> m_objectBoxes;
};

}  // namespace tessaro
