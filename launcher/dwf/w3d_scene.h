// Evaluates a 3D stream's segment tree into a flat list of sets, each a mesh with its
// net matrix, face colour and line colour, as the segments, their includes and styles say.
#pragma once

#include <optional>

#include "dwf/w3d_model.h"
#include "dwf/w3d_reader.h"

namespace plotwick::internal {

// `placement` is the descriptor's transform, applied to the whole model.
W3dModel evaluateW3d(W3dStream stream, const W3dMatrix& placement = kW3dIdentity);

// The writer's extents rule: each set's mesh box (shells and curves alike), its eight
// corners moved by the set's matrix. Nothing when no set has a vertex.
std::optional<W3dBox> conservativeBoxOf(const W3dModel& model);

// The descriptor's extents when each side lies within a thousandth of the model's size
// of the conservative box, else the conservative box.
std::optional<W3dBox> fitBoxOf(const std::optional<W3dBox>& extents,
                               const std::optional<W3dBox>& conservative);

W3dMatrix multiply(const W3dMatrix& first, const W3dMatrix& second);

}  // namespace plotwick::internal
