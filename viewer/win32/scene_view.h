// SceneView: the child window that shows the OpenGL picture. It owns the WGL surface
// that draws for it and turns mouse messages into camera steps through the shared
// navigation functions.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "render/surface.h"
#include "shell/navigation.h"

namespace tessaro {

class SceneView {
  public:
    SceneView() = default;
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
    // White picture, every display list deleted.
    void clearPicture();
    void repaint();

  private:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void resized(int width, int height);
    void apply(const NavigationStep& step);
    int clientHeight() const;

    HWND m_window = nullptr;
    std::unique_ptr<RenderSurface> m_surface;
    NavigationState m_navigation;
};

}  // namespace tessaro
