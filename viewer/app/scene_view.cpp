#include "app/scene_view.h"

#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>

#include "app/shell_images.h"
#include "render/renderer.h"
#include "render/surface.h"

namespace tessaro {

// The renderer's surface for the widget. Qt shows the widget's frame itself after
// paintGL, so a swap there is nothing; a swap after drawing elsewhere (a load, a
// navigation step) asks Qt for a repaint instead.
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
    int width() const override { return pixels(m_widget->width()); }
    int height() const override { return pixels(m_widget->height()); }

    // While Qt runs one of the widget's GL callbacks.
    class Callback {
      public:
        explicit Callback(WidgetSurface& surface) : m_surface(surface) {
            m_surface.m_inGlCallback = true;
        }
        ~Callback() { m_surface.m_inGlCallback = false; }
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
};

namespace {

ClientPoint clientPoint(const QPointF& position) {
    // Window messages carry client coordinates as 16-bit signed values.
    const QPoint p = position.toPoint();
    return {static_cast<std::int16_t>(p.x()), static_cast<std::int16_t>(p.y())};
}

bool sameOrientation(const Camera& a, const Camera& b) {
    return std::equal(a.forward, a.forward + 3, b.forward) && std::equal(a.up, a.up + 3, b.up);
}

bool sameBox(const Camera& a, const Camera& b) {
    return std::equal(a.centre, a.centre + 3, b.centre) && std::equal(a.size, a.size + 3, b.size);
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
    WidgetSurface::Callback inCallback(*m_surface);
    QOpenGLFunctions* gl = context()->functions();
    GLfloat sceneClear[4];
    gl->glGetFloatv(GL_COLOR_CLEAR_VALUE, sceneClear);
    const QColor window = palette().color(QPalette::Base);
    gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    gl->glClearColor(window.redF(), window.greenF(), window.blueF(), 1.0f);
    gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    gl->glClearColor(sceneClear[0], sceneClear[1], sceneClear[2], sceneClear[3]);
    viewState().redraw();
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

void SceneView::mouseMoveEvent(QMouseEvent* event) {
    apply(mouseMove(m_navigation, currentCamera(), clientPoint(event->position()), pixelHeight()));
}

void SceneView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta != 0) apply(wheel(m_navigation, currentCamera(), delta));
}

int SceneView::pixelHeight() const {
    return m_surface->height();
}

void SceneView::apply(const NavigationStep& step) {
    m_navigation = step.state;
    if (step.capture == MouseCapture::take) grabMouse();
    if (step.capture == MouseCapture::release) releaseMouse();
    if (step.redraw) storeCamera(step.camera);
}

// Each setter draws, so only what changed is stored.
void SceneView::storeCamera(const Camera& camera) {
    const Camera before = currentCamera();
    const bool turned = !sameOrientation(before, camera);
    if (m_ready) makeCurrent();
    if (turned) viewState().setOrientation(camera.forward, camera.up);
    if (!turned || !sameBox(before, camera)) viewState().setViewBox(camera.centre, camera.size);
}

}  // namespace tessaro
