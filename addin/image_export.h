// The image export that the automatic export on save runs: the view of the active
// document written as an image named after `fileName`. The export pipeline is its own
// module; this seam is where it plugs in, and where tests observe the call.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace exportal {

void ExportViewImage(const std::string& fileName, std::int32_t pixelWidth);

using ImageExport = std::function<void(const std::string& fileName, std::int32_t pixelWidth)>;
// Null restores the built-in export.
void setImageExport(ImageExport exporter);

}  // namespace exportal
