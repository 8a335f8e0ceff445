#include "app/scene_view.h"

#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QTimer>
#include <QWheelEvent>

#include "app/shell_images.h"
#include "render/renderer.h"
#include "render/surface.h"

namespace tessaro {

// The renderer's surface for the widget. Qt shows the widget's frame only after
// paintGL, so a frame drawn anywhere else would be drawn again there: outside paintGL
// a redraw asks Qt for a paint instead, and Qt merges every request made before the
// next frame into one paint, so pointer moves between two frames cost one drawing.
class WidgetSurface final : public RenderSurface {
  public:
    explicit WidgetSurface(QOpenGLWidget* widget) : m_widget(widget) {}

    bool makeCurrent() override {
        m_widget->makeCurrent();
        return m_widget->context() != nullptr;
    }
    void swapBuffers() override {
        if (!m_inGlCallback) m_widget->update();
    }
    bool scheduleFrame() override {
        if (m_painting) return false;
        m_widget->update();
        return true;
    }
    int width() const override { return pixels(m_widget->width()); }
    int height() const override { return pixels(m_widget->height()); }

    // While Qt runs one of the widget's GL callbacks (paintGL with `painting`).
    class Callback {
      public:
        explicit Callback(WidgetSurface& surface, bool painting = false) : m_surface(surface) {
            m_surface.m_inGlCallback = true;
            m_surface.m_painting = painting;
        }
        ~Callback() {
            m_surface.m_inGlCallback = false;
            m_surface.m_painting = false;
        }
        Callback(const Callback&) = delete;
        Callback& operator=(const Callback&) = delete;

      private:
        WidgetSurface& m_surface;
    };

  private:
    int pixels(int logical) const {
        return static_cast<int>(logical * m_widget->devicePixelRatioF() + 0.5);
    }

    QOpenGLWidget* m_widget;
    bool m_inGlCallback = false;
    bool m_painting = false;
};

namespace {

ClientPoint clientPoint(const QPointF& position) {
    // Window messages carry client coordinates as 16-bit signed values.
    const QPoint p = position.toPoint();
    return {static_cast<std::int16_t>(p.x()), static_cast<std::int16_t>(p.y())};
}

constexpr double kDefaultForward[3] = {0, 0, 1};
constexpr double kDefaultUp[3] = {0, 1, 0};

}  // namespace

Camera currentCamera() {
    Camera camera;
    viewState().getOrientation(camera.forward, camera.up);
    viewState().getViewBox(camera.centre, camera.size);
    return camera;
}

SceneView::SceneView(QWidget* parent)
    : QOpenGLWidget(parent), m_surface(std::make_unique<WidgetSurface>(this)) {
    setFormat(viewFormat());
    setFocusPolicy(Qt::StrongFocus);
}

SceneView::~SceneView() {
    if (!m_ready) return;
    makeCurrent();
    destroyContext();
    doneCurrent();
}

QSurfaceFormat SceneView::viewFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(2, 1);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return format;
}

void SceneView::setMode(NavigationMode mode) {
    m_navigation.mode = mode;
    if (cursorFor(mode).resource == 0) {
        unsetCursor();
    } else {
        setCursor(toolCursor(mode));
    }
}

void SceneView::withContext(std::function<void()> work) {
    if (!m_ready) {
        m_pending.push_back(std::move(work));
        return;
    }
    makeCurrent();
    work();
}

void SceneView::showDefaultView() {
    const Camera camera = defaultView(currentCamera());
    withContext([camera] {
        viewState().setViewBox(camera.centre, camera.size);
        viewState().setOrientation(camera.forward, camera.up);
    });
}

void SceneView::clearPicture() {
    withContext([this] {
        clearDisplay();
        update();
    });
}

void SceneView::initializeGL() {
    WidgetSurface::Callback inCallback(*m_surface);
    createContext(m_surface.get());
    m_navigation.leftDown = false;
    m_navigation.middleDown = false;
    viewState().setOrientation(kDefaultForward, kDefaultUp);
    m_ready = true;
    // Qt makes the widget's framebuffer after this returns; work waits for it.
    if (!m_pending.empty()) QTimer::singleShot(0, this, [this] { runPending(); });
}

void SceneView::runPending() {
    std::vector<std::function<void()>> pending;
    pending.swap(m_pending);
    for (std::function<void()>& work : pending)
        withContext(std::move(work));
}

void SceneView::resizeGL(int width, int height) {
    if (width == 0 || height == 0) return;
    WidgetSurface::Callback inCallback(*m_surface);
    setViewport(m_surface->width(), m_surface->height());
    Camera camera = currentCamera();
    // The projection follows the window's new aspect.
    if (camera.size[0] > 0 && camera.size[1] > 0) {
        viewState().setViewBox(camera.centre, camera.size);
    }
}

// Where no scene is drawn, the view shows its window colour. The renderer clears
// with alpha 0; the widget's picture stays opaque because alpha is written only here.
void SceneView::paintGL() {
    WidgetSurface::Callback inCallback(*m_surface, true);
    QOpenGLFunctions* gl = context()->functions();
    GLfloat sceneClear[4];
    gl->glGetFloatv(GL_COLOR_CLEAR_VALUE, sceneClear);
    const QColor window = palette().color(QPalette::Base);
    gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    gl->glClearColor(window.redF(), window.greenF(), window.blueF(), 1.0f);
    gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    gl->glClearColor(sceneClear[0], sceneClear[1], sceneClear[2], sceneClear[3]);
    viewState().drawFrame();
}

void SceneView::mousePressEvent(QMouseEvent* event) {
    const ClientPoint point = clientPoint(event->position());
    if (event->button() == Qt::LeftButton) {
        apply(leftDown(m_navigation, currentCamera(), point));
    } else if (event->button() == Qt::MiddleButton) {
        apply(middleDown(m_navigation, currentCamera(), point));
    }
}

void SceneView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        apply(leftUp(m_navigation, currentCamera()));
    } else if (event->button() == Qt::MiddleButton) {
        apply(middleUp(m_navigation, currentCamera()));
    }
}

// Pointer positions come in device-independent pixels, so the client height does too
// (not the framebuffer's device pixels, which would halve pan and zoom at scale 2).
void SceneView::mouseMoveEvent(QMouseEvent* event) {
    apply(mouseMove(m_navigation, currentCamera(), clientPoint(event->position()), height()));
}

void SceneView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta != 0) apply(wheel(m_navigation, currentCamera(), delta));
}

void SceneView::apply(const NavigationStep& step) {
    m_navigation = step.state;
    if (step.capture == MouseCapture::take) grabMouse();
    if (step.capture == MouseCapture::release) releaseMouse();
    if (step.redraw) storeCamera(step.camera);
}

// The setters only ask for a paint here (WidgetSurface), so storing both costs one
// drawing at the next frame.
void SceneView::storeCamera(const Camera& camera) {
    if (m_ready) makeCurrent();
    viewState().setOrientation(camera.forward, camera.up);
    viewState().setViewBox(camera.centre, camera.size);
}

}  // namespace tessaro
