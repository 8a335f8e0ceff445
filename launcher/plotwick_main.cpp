// Plotwick: shows the DWF file named first on its command line, or draws one of its
// sheets into a PNG picture with --render.
#include <QApplication>
#include <QGuiApplication>

#include <string>
#include <vector>

#include "command_args.h"
#include "plotwick_window.h"
#include "render_command.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (!arguments.empty() && arguments[0] == "--render") {
        // Text needs fonts, which need a platform; no display is needed.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication application(argc, argv);
        return plotwick::runRenderCommand({arguments.begin() + 1, arguments.end()});
    }
    QApplication application(argc, argv);
    plotwick::PlotwickWindow window;
    window.show();
    window.start(plotwick::commandLineOf(arguments));
    return application.exec();
}
