// Resizes the first X window named `title` to width x height, as a window manager
// would; false when there is no display or no such window.
#pragma once

bool resizeWindowNamed(const char* title, int width, int height);
