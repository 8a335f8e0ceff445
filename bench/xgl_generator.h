// Writes synthetic but well-formed XGL worlds of a chosen size: a background,
// lighting, shared materials and a row of objects, each holding a wavy grid mesh
// with defined positions and normals, faces by reference, a patch, lines and points.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace xglgen {

struct Options {
    std::uint64_t targetBytes = 100u << 20;  // the document grows until it reaches this
    std::uint32_t gridSize = 60;             // vertices per side of each object's mesh
    std::uint32_t seed = 1;
    // Without normals the viewer generates them, as it must for most CAD exports.
    bool normals = true;
};

// Receives the document in pieces, in order.
using Sink = std::function<void(const char* data, std::size_t length)>;

// Writes one document; returns the number of bytes written.
std::uint64_t generate(const Options& options, const Sink& sink);

// The whole document in memory (for tests and in-process benchmarks).
std::string generateString(const Options& options);

// Writes to a file; ".zgl" files are written as one zlib stream. False on failure.
bool generateFile(const Options& options, const std::string& path);

// The bundled sample: a small house in a garden with lights of its own, several
// materials, a glass pane, a textured lawn, a fence of lines and flowers as points.
std::string generateShowcase();

}  // namespace xglgen
