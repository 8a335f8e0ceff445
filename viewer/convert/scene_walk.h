// The node tree of an export: the world's objects, depth first, each instance of an
// object its own node (a glTF node has one parent; the meshes stay shared), with its
// local and world matrices.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "convert/export_scene.h"

namespace tessaro {

// A column-major 4x4 matrix.
struct Matrix4 {
    double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    Matrix4 operator*(const Matrix4& other) const;
    void apply(const double in[3], double out[3]) const;        // a point
    void applyLinear(const double in[3], double out[3]) const;  // a direction
};

// The matrix the viewer draws an object with (the scene module's objectMatrix).
Matrix4 objectMatrix(const Transform& transform);

// The unit quaternion (x, y, z, w) of the rotation whose columns are the given unit
// vectors.
void rotationQuaternion(const double x[3], const double y[3], const double z[3], double q[4]);

struct NodeVisit {
    std::uint32_t index = 0;      // in depth-first order, from 0
    std::int32_t parent = kNone;  // index of the parent node; kNone for a root
    const ExportEntry* entry = nullptr;
    // The world's own mesh: the node has no transform and carries the world's name.
    bool worldMesh = false;
    Matrix4 local;
    Matrix4 world;
};

// Visits every node; stops when `visit` returns false. False, with `failure` set, when
// the tree holds more nodes than an export takes.
bool walkScene(const ExportScene& scene, const std::function<bool(const NodeVisit&)>& visit,
               std::string& failure);

// The primitives of the node's mesh; empty for none.
const std::vector<std::uint32_t>& nodePrimitives(const ExportScene& scene, const NodeVisit& node);

}  // namespace tessaro
