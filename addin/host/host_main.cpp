// exportal-host [--addin LIBRARY] [--host-version N] [DOCUMENT]
#include <QApplication>
#include <QCommandLineParser>
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <cstdio>

#include "app/scene_view.h"
#include "host/addin_loader.h"
#include "host/host_window.h"

namespace {

// A window platform without OpenGL takes the process down at the view's first paint.
bool openGlAvailable() {
    QOpenGLContext context;
    return context.create();
}

}  // namespace

int main(int argc, char** argv) {
    QSurfaceFormat::setDefaultFormat(tessaro::SceneView::viewFormat());
    QApplication application(argc, argv);
    QApplication::setApplicationName("exportal-host");
    QCommandLineParser parser;
    parser.setApplicationDescription("Stand-in CAD host for the Exportal add-in");
    parser.addHelpOption();
    const QCommandLineOption addIn("addin", "The add-in library to load.", "LIBRARY");
    const QCommandLineOption version("host-version", "The host's major version (11).", "N", "11");
    parser.addOption(addIn);
    parser.addOption(version);
    parser.addPositionalArgument("DOCUMENT", "An .ipt, .iam, .idw or .ipn document to open.");
    parser.process(application);

    bool versionRead = false;
    const int hostVersion = parser.value(version).toInt(&versionRead);
    if (!versionRead) {
        std::fprintf(stderr, "exportal-host: --host-version takes a whole number\n");
        return 2;
    }
    if (!openGlAvailable()) {
        std::fprintf(stderr, "exportal-host: this display offers no OpenGL for the view\n");
        return 1;
    }
    exportal::HostWindow window(hostVersion);
    window.show();
    window.loadAddInLibrary(parser.isSet(addIn) ? parser.value(addIn).toStdString()
                                                : exportal::defaultAddInLibrary());
    if (!parser.positionalArguments().isEmpty())
        window.openDocument(parser.positionalArguments()[0]);
    return QApplication::exec();
}
