#include "app/window_settings.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>

#include <algorithm>

namespace tessaro {

namespace {

const char* const kGeometryKey = "MainWindow/Geometry";
const char* const kStateKey = "MainWindow/State";
const char* const kHeadlightKey = "View/Headlight";

void placeFirstWindow(QMainWindow& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available =
        screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize size(std::max(kFirstWindowMinWidth, available.width() * 2 / 3),
                     std::max(kFirstWindowMinHeight, available.height() * 2 / 3));
    window.resize(size);
    window.move(available.center() - QPoint(size.width() / 2, size.height() / 2));
}

}  // namespace

void placeWindow(QMainWindow& window) {
    const QSettings settings;
    const QByteArray geometry = settings.value(QString::fromUtf8(kGeometryKey)).toByteArray();
    if (geometry.isEmpty() || !window.restoreGeometry(geometry)) {
        placeFirstWindow(window);
        return;
    }
    window.restoreState(settings.value(QString::fromUtf8(kStateKey)).toByteArray());
}

void storeWindowPlacement(const QMainWindow& window) {
    QSettings settings;
    settings.setValue(QString::fromUtf8(kGeometryKey), window.saveGeometry());
    settings.setValue(QString::fromUtf8(kStateKey), window.saveState());
}

bool storedHeadlight() {
    return QSettings().value(QString::fromUtf8(kHeadlightKey), false).toBool();
}

void storeHeadlight(bool on) {
    QSettings().setValue(QString::fromUtf8(kHeadlightKey), on);
}

}  // namespace tessaro
