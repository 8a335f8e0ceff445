// The two XML parts of a DWF 6 package that locate and place a sheet: the manifest
// (sections and their resources) and a section's descriptor (paper and transform).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dwf/dwf_document.h"

namespace plotwick::internal {

struct Resource {
    std::string role;
    std::string href;
};

struct ManifestSection {
    std::string type;
    std::string title;
    std::vector<Resource> resources;
};

struct Descriptor {
    std::optional<Paper> paper;
    std::optional<std::array<double, 16>> transform;
    std::string graphicsHref;
    // A model section's 3D stream, its placement and the extents its writer gives.
    std::string modelHref;
    std::optional<std::array<double, 16>> modelTransform;
    std::optional<std::array<double, 6>> modelExtents;
};

// Real packages hold a few hundred sheets and a handful of resources each; more than
// these is refused, so that a small, highly compressed manifest cannot ask for
// unbounded memory.
inline constexpr std::size_t kMaxManifestSections = 10000;
inline constexpr std::size_t kMaxManifestResources = 100000;

// Nothing when the text is not well-formed XML or lists more than the limits above;
// `error` then says where or what.
std::optional<std::vector<ManifestSection>> parseManifest(std::string_view xml, std::string& error);
std::optional<Descriptor> parseDescriptor(std::string_view xml, std::string& error);

}  // namespace plotwick::internal
