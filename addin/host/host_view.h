// The stand-in host's view: the active document drawn with the viewer's renderer,
// turned with the left mouse button like the viewer's Examine tool and zoomed with
// the wheel. It is also the CadView the add-in asks for bitmaps and camera turns.
#pragma once

#include <QOpenGLWidget>

#include <functional>
#include <memory>
#include <vector>

#include "host/cad_host.h"
#include "host/host_scene.h"
#include "shell/navigation.h"

namespace exportal {

class HostSurface;

class HostCamera final : public CadCamera {
  public:
    explicit HostCamera(std::function<void(const tessaro::Camera&)> store)
        : m_store(std::move(store)) {}
    bool mouseInput(Point2d start, Point2d end, std::int32_t wheel,
                    std::int32_t viewOperation) override;
    void apply() override;

  private:
    std::function<void(const tessaro::Camera&)> m_store;
    tessaro::Camera m_pending;
    bool m_computed = false;
};

class HostView final : public QOpenGLWidget, public CadView {
  public:
    explicit HostView(QWidget* parent = nullptr);
    ~HostView() override;
    HostView(const HostView&) = delete;
    HostView& operator=(const HostView&) = delete;

    // Loads a document's world (see HostScene::load); runs once the view has its
    // OpenGL context. The message is empty on success.
    void loadDocument(const std::string& path, std::function<void(std::string)> done);
    // The same for one sheet of a drawing: `world` is that sheet's XGL.
    void loadSheet(const QByteArray& world, const std::string& path,
                   std::function<void(std::string)> done);
    void clearDocument();
    bool hasPicture() const { return m_scene.loaded(); }
    bool hasContext() const { return m_ready; }

    void fit() override;
    void redraw() override;
    bool saveBitmap(const std::string& fileName, std::int32_t& width,
                    std::int32_t& height) override;
    CadCamera& camera() override { return m_camera; }

    // Calls `draw` with the view's context current and its camera projected for a
    // picture of width x height, then gives the view its own size back. False when
    // there is no picture to draw.
    bool drawAtSize(int width, int height, const std::function<void()>& draw);
    // Puts the camera back where it was (after another sheet was shown, say).
    void setCamera(const tessaro::Camera& camera) { storeCamera(camera); }
    // The view's own size in device pixels.
    int pixelWidth() const;
    int pixelHeight() const;

  protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    void withContext(std::function<void()> work);
    void apply(const tessaro::NavigationStep& step);
    void storeCamera(const tessaro::Camera& camera);
    std::vector<std::uint8_t> drawOffscreen(int width, int height);

    std::unique_ptr<HostSurface> m_surface;
    HostScene m_scene;
    HostCamera m_camera;
    tessaro::NavigationState m_navigation;
    bool m_ready = false;
    std::vector<std::function<void()>> m_pending;
};

}  // namespace exportal
