// RunPlotwick.exe --render FILE -o OUT.bmp [--sheet N] [--size WxH]: one page drawn
// into a BMP picture without a window to see (a sheet through GDI, a 3D model through
// OpenGL in a window never shown), so that the Windows drawing can be compared with
// the Linux build's picture of the same file.
#pragma once

#include <string>
#include <vector>

namespace plotwick {

// `arguments` follow "--render". Exit status as in the Linux build: 0 drawn; 1 drawn
// only in part or no such sheet (the message is printed); 2 usage error or unwritable
// output.
int runGdiRenderCommand(const std::vector<std::string>& arguments);

}  // namespace plotwick
