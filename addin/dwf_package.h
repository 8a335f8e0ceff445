// The DWF-with-Plotwick package: its installer script first checks for the DWF viewer
// control and offers its download instead of unpacking when the control is missing.
#pragma once

#include <string>

#include "viewer_builder.h"

namespace exportal::dwf {

// Where the installer sends a user who agrees to install the viewer control.
inline constexpr const char* kViewerDownloadAddress = "https://www.autodesk.com/viewers";

// The built-in DWF script: twenty-three lines joined by CR LF.
std::string DefaultScriptTemplate();

// "DWFScript.nsi", "RunPlotwick.exe" and the DWF placeholders.
const PackageRecipe& packageRecipe();

}  // namespace exportal::dwf
