// The window tests need one application object for the whole run; listing the tests
// (at build time, without a display) needs none.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>
#include <QSurfaceFormat>

#include "app/scene_view.h"
#include "app/viewer_app.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    QStandardPaths::setTestModeEnabled(true);
    QSurfaceFormat::setDefaultFormat(tessaro::SceneView::viewFormat());
    QApplication application(argc, argv);
    tessaro::configureApplication();
    return RUN_ALL_TESTS();
}
