// SceneView: the child window that carries the OpenGL picture. It gives the renderer
// its surface, paints the scene list, and turns mouse input into navigation steps
// whose camera it stores in the process-wide ViewState.
#pragma once

#include <QOpenGLWidget>
#include <QSurfaceFormat>

#include <functional>
#include <memory>
#include <vector>

#include "shell/navigation.h"

namespace tessaro {

class WidgetSurface;

class SceneView final : public QOpenGLWidget {
  public:
    explicit SceneView(QWidget* parent = nullptr);
    ~SceneView() override;
    SceneView(const SceneView&) = delete;
    SceneView& operator=(const SceneView&) = delete;

    // OpenGL 2.1 compatibility (display lists), depth 24, double buffer.
    static QSurfaceFormat viewFormat();

    // Stores the tool and shows its cursor (none of its own for mode 0).
    void setMode(NavigationMode mode);
    NavigationMode mode() const { return m_navigation.mode; }

    // Runs `work` with the view's context current, so that display lists compile into
    // it: at once when the context exists, else as soon as the view has one.
    void withContext(std::function<void()> work);
    bool hasContext() const { return m_ready; }

    // The camera a load produced (Default View).
    void showDefaultView();
    // White picture, every display list deleted; the camera is kept (Close).
    void clearPicture();

  protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    void runPending();
    void apply(const NavigationStep& step);
    void storeCamera(const Camera& camera);

    std::unique_ptr<WidgetSurface> m_surface;
    NavigationState m_navigation;
    bool m_ready = false;
    std::vector<std::function<void()>> m_pending;
};

// The camera as the ViewState holds it.
Camera currentCamera();

}  // namespace tessaro
