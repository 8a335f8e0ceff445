// The stand-in host's DWF copies: a view as it was shown (its primitives projected to
// the view's pixels and shaded, as the view's renderer hands them back) written as a
// DWF 6 package whose sheets draw those primitives back to front as flat-coloured
// triangles and lines.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dwf/display_list.h"
#include "dwf/w2d_writer.h"
#include "host/cad_host.h"

namespace exportal {

struct ShadedVertex {
    double x = 0, y = 0;  // view pixels, y up
    double depth = 0;     // 0 nearest, 1 farthest
    plotwick::Rgba colour;
};

// One point, a line (two vertices) or a convex polygon (three or more), as drawn.
struct ShadedPrimitive {
    std::vector<ShadedVertex> vertices;
};

struct ShadedPicture {
    int width = 0, height = 0;  // view pixels
    plotwick::Rgba background;
    std::vector<ShadedPrimitive> primitives;
    // The view's own picture, rows from the bottom, with the depth of each pixel; a
    // face where the view shows it takes the view's colour there (its texture, say).
    // Empty when not captured.
    std::vector<plotwick::Rgba> pixels;
    std::vector<float> depths;
};

struct SheetPicture {
    std::string title;
    ShadedPicture picture;
    plotwick::W3dCamera camera;  // the view's, so that the sheet's model opens as it shows
};

// The paper of a sheet: 11 inches along the picture's longer side, the other side in
// the picture's aspect, so the sheet is landscape or portrait as the view was.
plotwick::Paper paperFor(int width, int height);

// One sheet: the background, then every primitive from the farthest to the nearest,
// polygons as small triangles, each in the view's colour where the view shows it
// opaque, else in the mean colour of its corners.
plotwick::PackageSheet sheetOf(const SheetPicture& picture);

// Writes the package (the sheets, then the 3D models) beside `path` first and moves it
// there only when it is whole, so a failed copy leaves an earlier one as it was. False
// with `error` set.
bool writeViewDwf(const std::string& path, std::span<const SheetPicture> sheets,
                  std::span<const plotwick::PackageModel> models, std::string& error);

// Starts Plotwick on a DWF file without waiting for it: the program beside the
// host's own, else the one on the PATH, else the one this host was built with.
// False when none can be started.
bool launchDwfViewer(const std::string& fileName);

// What the host received for one DWF copy, kept for whoever checks its work.
struct DwfPublication {
    std::string fileName;
    bool throughTranslator = false;  // else through save-a-copy
    TranslationContext context;
    NameValueMap options;  // as received, in their order
    bool silent = false;   // the host's silent operation while it wrote
    int sheets = 0;        // how many it wrote; 0 when it failed
    int models = 0;        // 3D models written beside the sheets
};

// The value of a yes/no option, whether written as a boolean or as a number;
// `absent` when the map does not hold it.
bool optionIsOn(const NameValueMap& options, const std::string& name, bool absent);

// Whether "Publish_3D_Models" asks for the 3D models: a yes is true (or the number 1);
// the add-in writes its no as the number 2, not 0, so no other number is a yes.
bool publishesModels(const NameValueMap& options);

}  // namespace exportal
