// The add-in tests need one application object for the whole run; listing the tests
// (at build time, without a display) needs none.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSurfaceFormat>

#include "app/scene_view.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    QSurfaceFormat::setDefaultFormat(tessaro::SceneView::viewFormat());
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
