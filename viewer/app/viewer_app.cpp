#include "app/viewer_app.h"

#include <QApplication>
#include <QSettings>
#include <QSurfaceFormat>

#include "app/main_frame.h"
#include "app/scene_view.h"
#include "app/shell_images.h"
#include "app/window_settings.h"
#include "render/renderer.h"
#include "shell/shell_texts.h"

namespace tessaro {

namespace {

// The recent-file list is read as the framework did; nothing shows it.
QStringList recentFiles() {
    QSettings settings;
    QStringList files;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString file =
            settings.value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
        if (!file.isEmpty()) files.append(file);
    }
    return files;
}

}  // namespace

void configureApplication() {
    QCoreApplication::setOrganizationName(QString::fromUtf8(kSettingsOrganisation));
    QCoreApplication::setApplicationName(QString::fromUtf8(kAppName));
    QGuiApplication::setDesktopFileName(QStringLiteral("tessaro"));
}

std::unique_ptr<CMainFrame> startViewer(const QStringList& arguments) {
    viewState().setHeadlight(storedHeadlight());
    auto frame = std::make_unique<CMainFrame>(arguments);
    frame->setWindowIcon(appIcon());
    recentFiles();
    placeWindow(*frame);
    frame->show();
    return frame;
}

int runViewer(int argc, char** argv) {
    // Before the application: every context the view makes keeps display lists.
    QSurfaceFormat::setDefaultFormat(SceneView::viewFormat());
    QApplication application(argc, argv);
    configureApplication();
    const std::unique_ptr<CMainFrame> frame = startViewer(QApplication::arguments());
    return QApplication::exec();
}

}  // namespace tessaro
