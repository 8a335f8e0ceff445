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
    int sheet = 1;  // the page, counted from 1 like the pages a user sees: sheets, then models
    bool allSheets = false;
    int width = 800;
    int height = 600;
    bool sizeGiven = false;
};

// The arguments after --render; false when they are not a valid set.
bool parseRenderOptions(const std::vector<std::string>& arguments, RenderOptions& options);

// A page of the file: one of its sheets, or after them one of its 3D models.
struct PageToRender {
    const Sheet* sheet = nullptr;
    const W3dModel* model = nullptr;
    bool empty() const { return sheet == nullptr && model == nullptr; }
};

// The page `options.sheet` names; neither, with the reason printed, when the file gave
// nothing to draw or has no such page.
PageToRender pageToRender(const DwfDocument& document, const RenderOptions& options);

// Prints the problem and the usage of `program`, whose render forms (what follows
// "--render FILE", one per line) are `forms`, to standard error; returns kRenderUsage.
int renderUsage(const char* problem, const char* program, const std::vector<std::string>& forms);

}  // namespace plotwick
