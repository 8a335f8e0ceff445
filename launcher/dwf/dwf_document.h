// Opens a DWF file of any of its three kinds (a DWF 6 package, a single-stream DWF,
// a bare 2D graphics stream) into sheets ready to draw.
//
// Never throws. A file that cannot be read at all gives a document without sheets and
// a `message`; a sheet whose stream stops early keeps what was read and its own message.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "dwf/display_list.h"
#include "dwf/w3d_model.h"

namespace plotwick {

struct Paper {
    bool millimetres = false;  // else inches
    double width = 0;
    double height = 0;
};

struct Sheet {
    std::string title;
    std::optional<Paper> paper;
    // Maps logical units to paper units; row-major, row vectors, translation in
    // elements 12 and 13. Identity when the descriptor gives none.
    std::array<double, 16> transform{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    W2dGraphics graphics;
};

struct DwfDocument {
    std::vector<Sheet> sheets;
    std::string message;  // why the file gave no sheets; empty otherwise
    // A package with nothing of its own to draw may still carry a picture of itself
    // that the publishing program rendered: its preview, thumbnail or icon (PNG or JPEG).
    std::vector<std::uint8_t> preview;
    // The package's 3D models, decoded into triangle sets; the pages after the sheets.
    std::vector<W3dModel> models;
};

// What a user pages through: the sheets, then the models.
inline std::size_t pageCount(const DwfDocument& document) {
    return document.sheets.size() + document.models.size();
}

DwfDocument readDwf(std::span<const std::uint8_t> bytes);
DwfDocument readDwfFile(const std::string& path);

}  // namespace plotwick
