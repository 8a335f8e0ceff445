// DocumentInfo: loads a document with a consumer that keeps counts and bounding
// boxes but draws nothing, for `tessaro-cli info` and for tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "scene/scene_bounds.h"
#include "xgl/load_result.h"

namespace tessaro {

struct DocumentInfo {
    std::uint64_t meshes = 0;  // whole meshes and chunks handed over
    std::uint64_t meshGroups = 0;
    std::uint64_t objects = 0;
    std::uint64_t faces = 0;
    std::uint64_t lines = 0;
    std::uint64_t points = 0;
    std::uint64_t materials = 0;  // material entries of the meshes handed over
    std::uint64_t textures = 0;
    std::uint64_t images = 0;
    std::uint64_t data = 0;
    std::uint64_t includes = 0;  // objects that name content outside the document
    std::optional<Box> bbox;     // the world box, as the viewer fits its camera to it
    double seconds = 0;
    std::uint64_t peakRssBytes = 0;
    LoadResult load;
};

// Loads `fileName` and describes it.
DocumentInfo describeDocument(const char* fileName);

// One JSON object with the keys meshes, mesh_groups, objects, faces, lines, points,
// materials, textures, images, data, includes, bbox, seconds, peak_rss_bytes and message (the
// document's message, null unless it is invalid).
std::string toJson(const DocumentInfo& info);
// The same as aligned lines of text for people.
std::string toText(const DocumentInfo& info);

}  // namespace tessaro
