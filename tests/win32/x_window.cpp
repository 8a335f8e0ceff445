// Xlib's macros (Status, Bool) clash with Qt's names, so Xlib stays in this file.
#include "x_window.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <string>

namespace {

// The first window at or below `window` whose name is `title`, searched depth first.
Window findNamed(Display* display, Window window, const char* title) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        const bool same = std::string(name) == title;
        XFree(name);
        if (same) return window;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i)
        found = findNamed(display, children[i], title);
    if (children != nullptr) XFree(children);
    return found;
}

}  // namespace

bool resizeWindowNamed(const char* title, int width, int height) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    const Window window = findNamed(display, DefaultRootWindow(display), title);
    if (window != 0) XResizeWindow(display, window, width, height);
    XSync(display, False);
    XCloseDisplay(display);
    if (window == 0) std::printf("no window named %s\n", title);
    return window != 0;
}
