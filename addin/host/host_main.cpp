// exportal-host [--addin LIBRARY] [--host-version N] [DOCUMENT]
#include <QApplication>
#include <QCommandLineParser>
#include <QSurfaceFormat>

#include "app/scene_view.h"
#include "host/addin_loader.h"
#include "host/host_window.h"

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

    exportal::HostWindow window(parser.value(version).toInt());
    window.show();
    window.loadAddInLibrary(parser.isSet(addIn) ? parser.value(addIn).toStdString()
                                                : exportal::defaultAddInLibrary());
    if (!parser.positionalArguments().isEmpty())
        window.openDocument(parser.positionalArguments()[0]);
    return QApplication::exec();
}
