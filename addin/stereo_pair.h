// A left and a right image of the active view for stereoscopic viewing: the camera is
// turned a little to one side, then to the other, and back.
#pragma once

#include <cstdint>
#include <string>

#include "host/cad_host.h"

namespace exportal {

// The turn of a pair is 1 / (distance x this) units of the host's rotating camera
// input; a host that turns 2.5 x this radians per unit gives the pair a 2.5-inch eye
// separation at the viewing distance.
inline constexpr double kStereoTurnPerInch = 0.06572907;

// The turn for a pair seen from `inches`: S = 1 / (inches x 0.06572907); the left image
// is taken at +S/2 and the right one at -S/2.
double stereoSpread(double inches);

// `CaptureStereoPair`: writes `baseName`_L.bmp and `baseName`_R.bmp of the active view
// at `width` pixels (0: the view's own size; the height keeps the view's aspect) and
// turns the camera back. False, with nothing turned, when there is no view or the
// distance is 0; false after a message when the host refused a bitmap.
bool captureStereoPair(CadHost& host, const std::string& baseName, std::int32_t width,
                       double inches);

}  // namespace exportal
