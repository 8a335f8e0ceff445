#include "stereo_pair.h"

#include <QString>

#include "user_prompts.h"

namespace exportal {

namespace {

void turn(CadHost& host, CadView& view, Point2d to) {
    CadCamera& camera = view.camera();
    camera.mouseInput(host.createPoint2d(0, 0), to, 0, kRotateViewOperation);
    camera.apply();
    view.redraw();
}

bool saveSide(CadHost& host, CadView& view, const std::string& file, std::int32_t& width,
              std::int32_t& height) {
    if (view.saveBitmap(file, width, height)) return true;
    showMessage(host.mainWindow(),
                QString::fromStdString("The view could not be saved as " + file + "."));
    return false;
}

}  // namespace

double stereoSpread(double inches) {
    return 1.0 / (inches * kStereoTurnPerInch);
}

bool captureStereoPair(CadHost& host, const std::string& baseName, std::int32_t width,
                       double inches) {
    CadView* view = host.activeView();
    if (view == nullptr || inches == 0) return false;
    std::int32_t height = 0;
    const std::string left = baseName + "_L.bmp";
    const std::string right = baseName + "_R.bmp";
    const double spread = stereoSpread(inches);
    const double half = spread / 2;

    host.setStatusText("Saving Left Image: " + left);
    yieldToHost();
    turn(host, *view, host.createPoint2d(half, 0));
    const bool leftSaved = saveSide(host, *view, left, width, height);

    bool rightSaved = false;
    if (leftSaved) {
        host.setStatusText("Saving Right Image: " + right);
        yieldToHost();
        turn(host, *view, host.createPoint2d(-spread, 0));
        rightSaved = saveSide(host, *view, right, width, height);
    }
    // Back by what was turned, whether or not both images were written.
    host.setStatusText("Returning to original position");
    turn(host, *view, host.createPoint2d(leftSaved ? half : -half, 0));
    return leftSaved && rightSaved;
}

}  // namespace exportal
