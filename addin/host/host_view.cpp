#include "host/host_view.h"

#include <QMouseEvent>
#include <QOpenGLFramebufferObject>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>

#include "app/scene_view.h"
#include "app/shell_images.h"
#include "render/renderer.h"
#include "render/surface.h"

namespace exportal {

// The renderer's surface for the view. While a bitmap is drawn off screen it reports
// the bitmap's size, so the projection keeps the bitmap's aspect.
class HostSurface final : public tessaro::RenderSurface {
  public:
    explicit HostSurface(QOpenGLWidget* widget) : m_widget(widget) {}
    bool makeCurrent() override {
        m_widget->makeCurrent();
        return m_widget->context() != nullptr;
    }
    // Qt shows the widget's frame after paintGL; a draw elsewhere asks for a repaint.
    void swapBuffers() override {
        if (!m_inPaint && m_offscreenWidth == 0) m_widget->QWidget::update();
    }
    int width() const override {
        return m_offscreenWidth ? m_offscreenWidth : pixels(m_widget->width());
    }
    int height() const override {
        return m_offscreenHeight ? m_offscreenHeight : pixels(m_widget->height());
    }
    void drawOffscreen(int width, int height) {
        m_offscreenWidth = width;
        m_offscreenHeight = height;
    }
    void setInPaint(bool inPaint) { m_inPaint = inPaint; }

  private:
    int pixels(int logical) const {
        return static_cast<int>(logical * m_widget->devicePixelRatioF() + 0.5);
    }
    QOpenGLWidget* m_widget;
    bool m_inPaint = false;
    int m_offscreenWidth = 0, m_offscreenHeight = 0;
};

namespace {

// One unit of camera mouse input turns the view by 2.5 x 0.06572907 rad: a stereo
// pair taken for a viewing distance D then has a 2.5-inch eye separation at D.
constexpr double kTurnPerInputUnit = 2.5 * 0.06572907;

// Bitmaps beyond this side are refused rather than allocated.
constexpr int kLargestBitmapSide = 8192;

// Turns a vector of view coordinates about the view's up axis (y) by `a`, then
// about its right axis (x) by `b`.
void turnInView(double v[3], double a, double b) {
    const double x = v[0] * std::cos(a) + v[2] * std::sin(a);
    const double z = -v[0] * std::sin(a) + v[2] * std::cos(a);
    const double y = v[1];
    v[0] = x;
    v[1] = y * std::cos(b) - z * std::sin(b);
    v[2] = y * std::sin(b) + z * std::cos(b);
}

tessaro::ClientPoint clientPoint(const QPointF& position) {
    const QPoint p = position.toPoint();
    return {static_cast<std::int16_t>(p.x()), static_cast<std::int16_t>(p.y())};
}

}  // namespace

bool HostCamera::mouseInput(Point2d start, Point2d end, std::int32_t /*wheel*/,
                            std::int32_t viewOperation) {
    if (viewOperation != kRotateViewOperation) return false;
    m_pending = tessaro::currentCamera();
    const double a = (end.x - start.x) * kTurnPerInputUnit;
    const double b = (end.y - start.y) * kTurnPerInputUnit;
    turnInView(m_pending.forward, a, b);
    turnInView(m_pending.up, a, b);
    m_computed = true;
    return true;
}

void HostCamera::apply() {
    if (!m_computed) return;
    m_computed = false;
    m_store(m_pending);
}

HostView::HostView(QWidget* parent)
    : QOpenGLWidget(parent),
      m_surface(std::make_unique<HostSurface>(this)),
      m_camera([this](const tessaro::Camera& camera) { storeCamera(camera); }) {
    setFormat(tessaro::SceneView::viewFormat());
    setFocusPolicy(Qt::StrongFocus);
    m_navigation.mode = tessaro::NavigationMode::examine;
    setCursor(tessaro::toolCursor(tessaro::NavigationMode::examine));
}

HostView::~HostView() {
    if (!m_ready) return;
    makeCurrent();
    tessaro::destroyContext();
    doneCurrent();
}

void HostView::withContext(std::function<void()> work) {
    if (!m_ready) {
        m_pending.push_back(std::move(work));
        return;
    }
    makeCurrent();
    work();
}

void HostView::loadDocument(const std::string& path, std::function<void(std::string)> done) {
    withContext([this, path, done = std::move(done)] {
        const std::string message = m_scene.load(path);
        QWidget::update();
        done(message);
    });
}

void HostView::loadSheet(const QByteArray& world, const std::string& path,
                         std::function<void(std::string)> done) {
    withContext([this, world, path, done = std::move(done)] {
        const std::string message = m_scene.loadWorld(world, path);
        QWidget::update();
        done(message);
    });
}

void HostView::clearDocument() {
    withContext([this] {
        m_scene.clear();
        QWidget::update();
    });
}

void HostView::fit() {
    withContext([this] { m_scene.fit(); });
}

void HostView::redraw() {
    QWidget::update();
}

void HostView::initializeGL() {
    m_surface->setInPaint(true);
    tessaro::createContext(m_surface.get());
    m_surface->setInPaint(false);
    m_ready = true;
    // Qt makes the widget's framebuffer after this returns; work waits for it.
    if (!m_pending.empty()) {
        QTimer::singleShot(0, this, [this] {
            std::vector<std::function<void()>> pending;
            pending.swap(m_pending);
            for (std::function<void()>& work : pending)
                withContext(std::move(work));
        });
    }
}

void HostView::resizeGL(int width, int height) {
    if (width == 0 || height == 0) return;
    m_surface->setInPaint(true);
    tessaro::setViewport(m_surface->width(), m_surface->height());
    const tessaro::Camera camera = tessaro::currentCamera();
    tessaro::viewState().setViewBox(camera.centre, camera.size);
    m_surface->setInPaint(false);
}

void HostView::paintGL() {
    m_surface->setInPaint(true);
    tessaro::viewState().redraw();
    m_surface->setInPaint(false);
}

void HostView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        apply(tessaro::leftDown(m_navigation, tessaro::currentCamera(),
                                clientPoint(event->position())));
}

void HostView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        apply(tessaro::leftUp(m_navigation, tessaro::currentCamera()));
}

void HostView::mouseMoveEvent(QMouseEvent* event) {
    // Points and the client height in one unit, the pointer's device-independent pixels.
    apply(tessaro::mouseMove(m_navigation, tessaro::currentCamera(), clientPoint(event->position()),
                             height()));
}

void HostView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta != 0) apply(tessaro::wheel(m_navigation, tessaro::currentCamera(), delta));
}

void HostView::apply(const tessaro::NavigationStep& step) {
    m_navigation = step.state;
    if (step.capture == tessaro::MouseCapture::take) grabMouse();
    if (step.capture == tessaro::MouseCapture::release) releaseMouse();
    if (step.redraw) storeCamera(step.camera);
}

void HostView::storeCamera(const tessaro::Camera& camera) {
    withContext([camera] {
        tessaro::viewState().setOrientation(camera.forward, camera.up);
        tessaro::viewState().setViewBox(camera.centre, camera.size);
    });
}

// Draws the scene into a framebuffer object of the bitmap's size with the view's
// context and camera, then gives the view back its own size.
std::vector<std::uint8_t> HostView::drawOffscreen(int width, int height) {
    makeCurrent();
    QOpenGLFramebufferObject target(width, height, QOpenGLFramebufferObject::Depth);
    if (!target.isValid() || !target.bind()) return {};
    m_surface->drawOffscreen(width, height);
    tessaro::setViewport(width, height);
    const tessaro::Camera camera = tessaro::currentCamera();
    tessaro::viewState().setViewBox(camera.centre, camera.size);
    std::vector<std::uint8_t> pixels = tessaro::readPixelsRgb(width, height);
    target.release();
    m_surface->drawOffscreen(0, 0);
    tessaro::setViewport(m_surface->width(), m_surface->height());
    tessaro::viewState().setViewBox(camera.centre, camera.size);
    return pixels;
}

bool HostView::drawAtSize(int width, int height, const std::function<void()>& draw) {
    if (!m_ready || !m_scene.loaded()) return false;
    makeCurrent();
    m_surface->drawOffscreen(width, height);
    tessaro::setViewport(width, height);
    const tessaro::Camera camera = tessaro::currentCamera();
    tessaro::viewState().setViewBox(camera.centre, camera.size);
    draw();
    m_surface->drawOffscreen(0, 0);
    tessaro::setViewport(m_surface->width(), m_surface->height());
    tessaro::viewState().setViewBox(camera.centre, camera.size);
    QWidget::update();
    return true;
}

int HostView::pixelWidth() const {
    return m_surface->width();
}

int HostView::pixelHeight() const {
    return m_surface->height();
}

bool HostView::saveBitmap(const std::string& fileName, std::int32_t& width, std::int32_t& height) {
    if (!m_ready || !m_scene.loaded()) return false;
    const int viewWidth = m_surface->width(), viewHeight = m_surface->height();
    if (width == 0) width = viewWidth;
    if (height == 0 && viewWidth > 0) {
        height = static_cast<std::int32_t>(std::lround(double(width) * viewHeight / viewWidth));
    }
    if (width < 1 || height < 1 || width > kLargestBitmapSide || height > kLargestBitmapSide) {
        return false;
    }
    const std::vector<std::uint8_t> pixels = drawOffscreen(width, height);
    if (pixels.empty()) return false;
    const QImage image(pixels.data(), width, height, width * 3, QImage::Format_RGB888);
    return image.save(QString::fromStdString(fileName), "BMP");
}

}  // namespace exportal
