// The options of Plotwick's hidden off-screen render mode, the same in every build:
// plotwick --render FILE -o OUT [--sheet N|--all-sheets] [--size WxH]; which of them a
// kind of picture takes is the render command's to say.
#pragma once

#include <string>
#include <vector>

#include "dwf/dwf_document.h"

namespace plotwick {

inline constexpr int kRenderDrawn = 0;
inline constexpr int kRenderIncomplete = 1;
inline constexpr int kRenderUsage = 2;

struct RenderOptions {
    std::string input;
    std::string output;
    int sheet = 1;  // counted from 1, like the pages a user sees
    bool allSheets = false;
    int width = 800;
    int height = 600;
    bool sizeGiven = false;
};

// The arguments after --render; false when they are not a valid set.
bool parseRenderOptions(const std::vector<std::string>& arguments, RenderOptions& options);

// The sheet to draw; nothing, with the reason printed, when the file gave no sheets or
// has no such sheet.
const Sheet* sheetToRender(const DwfDocument& document, const RenderOptions& options);

// Prints the problem and the usage of `program`, whose render forms (what follows
// "--render FILE", one per line) are `forms`, to standard error; returns kRenderUsage.
int renderUsage(const char* problem, const char* program, const std::vector<std::string>& forms);

}  // namespace plotwick
