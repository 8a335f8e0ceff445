#include "win32/scene_view.h"

#include <windowsx.h>

#include <utility>

#include "render/renderer.h"
#include "render/wgl_surface.h"
#include "shell/shell_texts.h"
#include "win32/window_object.h"

namespace tessaro {

namespace {

const wchar_t kViewClass[] = L"TessaroSceneView";

Camera currentCamera() {
    Camera camera;
    viewState().getOrientation(camera.forward, camera.up);
    viewState().getViewBox(camera.centre, camera.size);
    return camera;
}

// Stores without drawing: the view draws the camera once when it next paints.
void storeCamera(const Camera& camera) {
    viewState().setCamera(camera.forward, camera.up, camera.centre, camera.size);
}

ClientPoint pointOf(LPARAM lParam) {
    return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

}  // namespace

// Forwards to the window's surface and counts the frames it shows.
class CountingSurface final : public RenderSurface {
  public:
    explicit CountingSurface(std::unique_ptr<RenderSurface> shown) : m_shown(std::move(shown)) {}
    bool makeCurrent() override { return m_shown->makeCurrent(); }
    void swapBuffers() override {
        ++m_frames;
        m_shown->swapBuffers();
    }
    int width() const override { return m_shown->width(); }
    int height() const override { return m_shown->height(); }
    bool indexed() const override { return m_shown->indexed(); }
    int frames() const { return m_frames; }

  private:
    std::unique_ptr<RenderSurface> m_shown;
    int m_frames = 0;
};

SceneView::SceneView() = default;

SceneView::~SceneView() {
    if (m_window != nullptr) DestroyWindow(m_window);
}

bool SceneView::create(HWND parent, std::string* error) {
    // Double clicks and redraw on any resize; the cursor is the tool's, set later.
    registerWindowClass(kViewClass, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW | CS_OWNDC,
                        reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    RECT client{};
    GetClientRect(parent, &client);
    m_window = CreateWindowExW(WS_EX_CLIENTEDGE, kViewClass, L"",
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                               client.right, client.bottom, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewChildId)),
                               GetModuleHandleW(nullptr), nullptr);
    if (m_window == nullptr) {
        *error = "the view window cannot be created";
        return false;
    }
    std::unique_ptr<RenderSurface> surface = createWindowSurface(m_window, error);
    if (!surface) return false;
    m_surface = std::make_unique<CountingSurface>(std::move(surface));
    createContext(m_surface.get());
    const double forward[3] = {0, 0, 1}, up[3] = {0, 1, 0};
    viewState().setOrientation(forward, up);
    m_navigation = NavigationState{};
    routeMessagesTo<SceneView, &SceneView::handle>(m_window, this);
    return true;
}

void SceneView::setMode(NavigationMode mode) {
    m_navigation.mode = mode;
    const CursorShape shape = cursorFor(mode);
    HCURSOR cursor = shape.resource == 0
                         ? nullptr
                         : LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(shape.resource));
    SetClassLongPtrW(m_window, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(cursor));
}

void SceneView::defaultView() {
    storeCamera(tessaro::defaultView(currentCamera()));
    repaint();
}

void SceneView::clearPicture() {
    clearDisplay();
    repaint();
}

// The paint that follows draws once, however many steps came before it: the window
// system sends it only when no other input waits.
void SceneView::repaint() {
    if (m_window != nullptr) InvalidateRect(m_window, nullptr, FALSE);
}

// The frame is copied to the whole view, so the update region needs no clipping of
// its own. Until a scene exists nothing is drawn, and the view shows its window colour.
void SceneView::paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_window, &paint);
    if (!viewState().redraw()) FillRect(dc, &paint.rcPaint, GetSysColorBrush(COLOR_WINDOW));
    EndPaint(m_window, &paint);
}

int SceneView::framesShown() const {
    return m_surface ? m_surface->frames() : 0;
}

LRESULT SceneView::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel; erasing first would only flicker
        case WM_SIZE:
            resized(LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_LBUTTONDOWN:
            apply(leftDown(m_navigation, currentCamera(), pointOf(lParam)));
            return 0;
        case WM_MBUTTONDOWN:
            apply(middleDown(m_navigation, currentCamera(), pointOf(lParam)));
            return 0;
        case WM_LBUTTONUP:
            apply(leftUp(m_navigation, currentCamera()));
            return 0;
        case WM_MBUTTONUP:
            apply(middleUp(m_navigation, currentCamera()));
            return 0;
        case WM_MOUSEMOVE:
            apply(mouseMove(m_navigation, currentCamera(), pointOf(lParam), clientHeight()));
            return 0;
        case WM_MOUSEWHEEL:
            apply(wheel(m_navigation, currentCamera(), GET_WHEEL_DELTA_WPARAM(wParam)));
            return 0;
        case WM_DESTROY:
            destroyContext();
            m_surface.reset();
            m_window = nullptr;
            return 0;
        default:
            return DefWindowProcW(m_window, message, wParam, lParam);
    }
}

void SceneView::resized(int width, int height) {
    if (width == 0 || height == 0) return;
    // Making the surface current again lets its drawing buffer grow to the new size
    // before the next frame is drawn.
    m_surface->makeCurrent();
    setViewport(width, height);
    // Storing the camera again lets the projection follow the new aspect.
    const Camera camera = currentCamera();
    if (camera.size[0] > 0 && camera.size[1] > 0) storeCamera(camera);
    repaint();
}

void SceneView::apply(const NavigationStep& step) {
    m_navigation = step.state;
    if (step.capture == MouseCapture::take) SetCapture(m_window);
    if (step.capture == MouseCapture::release) ReleaseCapture();
    if (!step.redraw) return;
    storeCamera(step.camera);
    repaint();
}

int SceneView::clientHeight() const {
    RECT client{};
    GetClientRect(m_window, &client);
    return client.bottom;
}

}  // namespace tessaro
