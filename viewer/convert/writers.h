// The writers of an export, each from a finished ExportScene. Every one writes its
// files only after the load has ended without a message, and removes what it wrote
// when writing fails.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "convert/convert.h"
#include "convert/export_scene.h"

namespace tessaro {

// glTF 2.0: binary (one .glb file) or JSON with the buffer in a .bin file beside it.
bool writeGltf(const ExportScene& scene, const std::string& output, bool binary,
               const ConvertOptions& options, std::string& failure);
// Wavefront OBJ with its MTL file and the texture images as PNG files beside it.
bool writeObj(const ExportScene& scene, const std::string& output, std::string& failure);
// Binary STL: the triangles in world coordinates.
bool writeStl(const ExportScene& scene, const std::string& output, std::string& failure);

// Writes a file through `write`; a file that could not be written in full is removed.
bool writeFile(const std::string& path, const std::function<bool(std::FILE*)>& write,
               std::string& failure);

// The roughness of a material whose highlight has the given Phong exponent: the
// Blinn-Phong exponent n matches a GGX alpha of sqrt(2 / (n + 2)), and glTF's
// roughness is the square root of alpha.
double roughnessOf(double shininess);

// What a file name is without its folder and its last extension: "a/b.c" -> "b".
std::string stemOf(const std::string& path);
// The path with its last extension replaced: ("a/b.gltf", ".bin") -> "a/b.bin".
std::string withExtension(const std::string& path, const std::string& extension);

}  // namespace tessaro
