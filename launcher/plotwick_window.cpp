#include "plotwick_window.h"

#include <QTimer>

#include "command_args.h"

namespace plotwick {
namespace {

// 11325 x 7890 twips at 15 twips per pixel.
constexpr int kInitialWidth = 755;
constexpr int kInitialHeight = 526;

}  // namespace

PlotwickWindow::PlotwickWindow() : m_view(new DwfView(this)) {
    setWindowTitle(QString::fromLatin1(kWindowCaption));
    m_view->setBackgroundColour(kBackground);
    resize(kInitialWidth, kInitialHeight);
    m_view->setGeometry(rect());
}

void PlotwickWindow::start(std::string_view commandLine) {
    const std::vector<std::string> arguments = GetCommandArgs(commandLine);
    if (arguments.size() < 2) return;
    const QString file = QString::fromStdString(arguments[1]);
    QTimer::singleShot(kOpenDelayMs, this, [this, file] { m_view->setSourcePath(file); });
}

void PlotwickWindow::resizeEvent(QResizeEvent*) {
    m_view->setGeometry(rect());
}

}  // namespace plotwick
