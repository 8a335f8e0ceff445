// The stand-in host's 3D models in a DWF copy: a document's XGL world read with the
// viewer's own load (so its meshes are what the view draws, one set of triangles per
// material) and written as a 3D stream. Each mesh becomes a library segment holding
// one shell per material, in that material's diffuse colour; each object that shows it
// becomes a segment with the object's placement in the world that includes the
// library segment, so a mesh shared by several objects is written once. Lines and
// points are left out: a shell holds faces only.
#pragma once

#include <QByteArray>

#include <optional>
#include <string>

#include "dwf/w2d_writer.h"

namespace exportal {

// The model of `xgl` titled `title`, with its extents, seen through `camera` when one is
// given. False with `error` set when the world is not valid XGL (its numbered message)
// or too large for the stream.
bool modelOfWorld(const QByteArray& xgl, const std::string& title,
                  const std::optional<plotwick::W3dCamera>& camera, plotwick::PackageModel& model,
                  std::string& error);

// The camera the view shows its world through now: the renderer's orthographic view
// box and orientation, as a stream's camera states them.
plotwick::W3dCamera cameraOfView();

}  // namespace exportal
