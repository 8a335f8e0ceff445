// Conversion of an XGL or ZGL document into formats other tools read: glTF 2.0
// (binary .glb, or .gltf with a .bin beside it), Wavefront OBJ with MTL, binary STL.
// The document is read by the same load as the viewer's, so the export holds what the
// viewer draws: generated normals, materials, textures with their transforms, the
// object tree with instanced meshes shared. No Qt, no OpenGL.
#pragma once

#include <cstdint>
#include <string>

#include "xgl/load_result.h"

namespace tessaro {

enum class ExportFormat : std::uint8_t { glb, gltf, obj, stl };

// The format an output name asks for by its extension, in any letter case; false for
// a name that asks for none.
bool exportFormatOf(const std::string& outputName, ExportFormat& format);

struct ConvertOptions {
    // A white light from the default view's eye, as the viewer's View > Headlight.
    bool headlight = false;
};

struct ConvertResult {
    LoadResult load;
    // Why nothing was written although the document loaded; empty when written.
    std::string writeError;

    bool written() const { return load.loaded() && writeError.empty(); }
};

// Reads `input` and writes `output`. A document with a message writes nothing.
ConvertResult convertDocument(const char* input, const std::string& output, ExportFormat format,
                              const ConvertOptions& options);

}  // namespace tessaro
