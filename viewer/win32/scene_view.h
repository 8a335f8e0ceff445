// SceneView: the child window that shows the OpenGL picture. It owns the WGL surface
// that draws for it and turns mouse messages into camera steps through the shared
// navigation functions. A step only stores the camera; the scene is drawn in the paint,
// so the moves that arrive between two frames cost one drawing.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "render/surface.h"
#include "shell/navigation.h"

namespace tessaro {

class CountingSurface;

class SceneView {
  public:
    SceneView();
    SceneView(const SceneView&) = delete;
    SceneView& operator=(const SceneView&) = delete;
    ~SceneView();

    // Creates the visible child filling `parent`'s client area; false, with the
    // reason, when the window or its OpenGL context cannot be had.
    bool create(HWND parent, std::string* error);
    HWND window() const { return m_window; }

    // Stores the tool and sets the class cursor (none for no tool).
    void setMode(NavigationMode mode);
    // Resets the camera to the one the load produced and repaints.
    void defaultView();
    // Every display list deleted; the view shows its window colour.
    void clearPicture();
    // Asks for one paint, which draws the camera as it is then.
    void repaint();
    // Frames shown in the view since it was created: each is one drawing of the scene
    // and one copy of it to the window.
    int framesShown() const;

  private:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void paint();
    void resized(int width, int height);
    void apply(const NavigationStep& step);
    int clientHeight() const;

    HWND m_window = nullptr;
    std::unique_ptr<CountingSurface> m_surface;
    NavigationState m_navigation;
};

}  // namespace tessaro
