// The main window's place and the viewer's options, kept between runs in the
// application's settings.
#pragma once

class QMainWindow;

namespace tessaro {

// The smallest first window, in pixels inside the frame.
inline constexpr int kFirstWindowMinWidth = 800;
inline constexpr int kFirstWindowMinHeight = 600;

// The stored geometry and bar layout; on a first start two thirds of the screen's
// available area (at least the minimum), centred.
void placeWindow(QMainWindow& window);
void storeWindowPlacement(const QMainWindow& window);

bool storedHeadlight();
void storeHeadlight(bool on);

}  // namespace tessaro
