// RunPlotwick.exe: shows the DWF file named first on its command line, or draws one of
// its sheets into a BMP picture with --render.
#include <windows.h>

#include <string>
#include <vector>

#include "command_args.h"
#include "win32/gdi_render_command.h"
#include "win32/plotwick_form.h"

namespace {

// Render arguments are many more than the window's ten.
constexpr int kMaximumRenderArguments = 64;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    const std::string_view arguments = plotwick::withoutProgramName(GetCommandLineA());
    const std::vector<std::string> split =
        plotwick::GetCommandArgs(arguments, kMaximumRenderArguments);
    if (split.size() >= 2 && split[1] == "--render")
        return plotwick::runGdiRenderCommand({split.begin() + 2, split.end()});
    return plotwick::runPlotwickForm(instance, arguments, show);
}
