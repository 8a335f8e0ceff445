// The viewer's pictures, drawn at start-up: the toolbar strip, the tool cursors and
// the application icon. They are drawn rather than loaded so that the program needs
// no image files beside it.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>

#include "shell/navigation.h"

namespace tessaro {

// One strip of four 17 x 17 buttons: rotate, pan, zoom, default view.
QPixmap toolbarStrip();
// Button `index` (0..3) cut from the strip.
QIcon toolbarIcon(int index);

// The cursor of a tool, with the hot spot of cursorFor(mode); the arrow for mode 0
// (the view then has no cursor of its own).
QCursor toolCursor(NavigationMode mode);
// The cursor's picture alone, 32 x 32, for tests and previews.
QPixmap toolCursorPixmap(NavigationMode mode);

// The application icon (a shaded, tessellated triangle) at several sizes.
QIcon appIcon();
QPixmap appIconPixmap(int side);

}  // namespace tessaro
