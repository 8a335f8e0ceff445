#include "render/wgl_surface.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "render/renderer.h"

namespace tessaro {

namespace {

// The format the viewer has always asked for; the system picks the closest it has.
PIXELFORMATDESCRIPTOR requestedFormat() {
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER | PFD_SWAP_COPY;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 24;
    format.cAlphaBits = 16;
    format.cDepthBits = 32;
    format.iLayerType = PFD_MAIN_PLANE;
    return format;
}

HPALETTE createPalette332() {
    const std::vector<PaletteEntry> entries = palette332();
    std::vector<unsigned char> storage(sizeof(LOGPALETTE) +
                                       sizeof(PALETTEENTRY) * (entries.size() - 1));
    auto* logical = reinterpret_cast<LOGPALETTE*>(storage.data());
    logical->palVersion = 0x300;  // the only version GDI knows
    logical->palNumEntries = static_cast<WORD>(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        logical->palPalEntry[i] = {entries[i].red, entries[i].green, entries[i].blue, 0};
    }
    return CreatePalette(logical);
}

class WglSurface final : public RenderSurface {
  public:
    // OpenGL draws into `drawing`, a window that is never shown and is destroyed with
    // the surface. With a `view`, every finished frame is copied to the view by GDI;
    // without one the surface is off-screen.
    WglSurface(HWND drawing, HWND view) : m_drawing(drawing), m_view(view) {}
    WglSurface(const WglSurface&) = delete;
    WglSurface& operator=(const WglSurface&) = delete;
    ~WglSurface() override { release(); }

    // Empty on success, else the reason.
    std::string open();

    bool makeCurrent() override;
    void swapBuffers() override;
    int width() const override { return clientSize(shownWindow()).right; }
    int height() const override { return clientSize(shownWindow()).bottom; }
    bool indexed() const override { return m_palette != nullptr; }

  private:
    static RECT clientSize(HWND window) {
        RECT client{};
        GetClientRect(window, &client);
        return client;
    }
    HWND shownWindow() const { return m_view != nullptr ? m_view : m_drawing; }
    std::string choosePixelFormat();
    void growDrawingWindow();
    void copyFrameToView();
    void release();

    HWND m_drawing;
    HWND m_view;
    HDC m_dc = nullptr;
    HGLRC m_context = nullptr;
    HPALETTE m_palette = nullptr;
    std::vector<std::uint8_t> m_frame;
};

// The window grows first, so that binding the context again gives it the larger buffer.
bool WglSurface::makeCurrent() {
    growDrawingWindow();
    return wglMakeCurrent(m_dc, m_context) != FALSE;
}

// The drawing window must hold the whole view; it only ever grows, so that shrinking
// and growing the frame again does not reallocate its buffers.
void WglSurface::growDrawingWindow() {
    if (m_view == nullptr) return;
    const RECT view = clientSize(m_view), drawing = clientSize(m_drawing);
    if (view.right <= drawing.right && view.bottom <= drawing.bottom) return;
    SetWindowPos(m_drawing, nullptr, 0, 0, std::max(view.right, drawing.right),
                 std::max(view.bottom, drawing.bottom),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void WglSurface::swapBuffers() {
    if (m_view == nullptr) return;
    copyFrameToView();
}

// Copies the back buffer's lower left view-sized corner (where the viewport is) to
// the view. A bottom-up DIB has OpenGL's row order, so the rows go across unchanged.
// Showing the frame through GDI rather than SwapBuffers on the view itself works
// where OpenGL in a child window never reaches the screen (wine on X servers).
void WglSurface::copyFrameToView() {
    const RECT view = clientSize(m_view);
    const int w = view.right, h = view.bottom;
    if (w <= 0 || h <= 0) return;
    m_frame.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_BGRA_EXT, GL_UNSIGNED_BYTE, m_frame.data());
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC viewDc = GetDC(m_view);
    if (viewDc == nullptr) return;
    HPALETTE previous = nullptr;
    if (m_palette != nullptr) {
        previous = SelectPalette(viewDc, m_palette, FALSE);
        RealizePalette(viewDc);
    }
    SetDIBitsToDevice(viewDc, 0, 0, static_cast<DWORD>(w), static_cast<DWORD>(h), 0, 0, 0,
                      static_cast<UINT>(h), m_frame.data(), &info, DIB_RGB_COLORS);
    if (previous != nullptr) SelectPalette(viewDc, previous, FALSE);
    ReleaseDC(m_view, viewDc);
}

std::string WglSurface::choosePixelFormat() {
    const PIXELFORMATDESCRIPTOR request = requestedFormat();
    const int index = ChoosePixelFormat(m_dc, &request);
    if (index == 0) return "no pixel format with OpenGL for the window";
    PIXELFORMATDESCRIPTOR chosen{};
    DescribePixelFormat(m_dc, index, sizeof(chosen), &chosen);
    if (!SetPixelFormat(m_dc, index, &chosen)) return "the pixel format cannot be set";
    if (chosen.dwFlags & PFD_NEED_PALETTE) {
        m_palette = createPalette332();
        if (m_palette == nullptr) return "the palette cannot be created";
        SelectPalette(m_dc, m_palette, TRUE);
        RealizePalette(m_dc);
    }
    return {};
}

std::string WglSurface::open() {
    m_dc = GetDC(m_drawing);
    if (m_dc == nullptr) return "the window has no device context";
    std::string reason = choosePixelFormat();
    if (!reason.empty()) return reason;
    m_context = wglCreateContext(m_dc);
    if (m_context == nullptr) return "no OpenGL context on the window";
    if (!makeCurrent()) return "the OpenGL context cannot be made current";
    return {};
}

void WglSurface::release() {
    if (m_context != nullptr) {
        if (wglGetCurrentContext() == m_context) wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(m_context);
    }
    if (m_palette != nullptr) DeleteObject(m_palette);
    if (m_dc != nullptr) ReleaseDC(m_drawing, m_dc);
    DestroyWindow(m_drawing);
}

// The drawing window is never shown; its class keeps its own device context, which
// OpenGL on Windows expects of the windows it draws into.
const wchar_t* drawingClass() {
    static const wchar_t* name = [] {
        WNDCLASSW windowClass{};
        windowClass.style = CS_OWNDC;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TessaroOffscreenSurface";
        RegisterClassW(&windowClass);
        return windowClass.lpszClassName;
    }();
    return name;
}

std::unique_ptr<RenderSurface> openSurface(int width, int height, HWND view, std::string* error) {
    // A popup window's client area is exactly its size.
    HWND drawing = CreateWindowExW(0, drawingClass(), L"", WS_POPUP, 0, 0, width, height, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr);
    if (drawing == nullptr) {
        if (error != nullptr) *error = "no window for the OpenGL drawing";
        return nullptr;
    }
    auto surface = std::make_unique<WglSurface>(drawing, view);
    std::string reason = surface->open();
    if (reason.empty()) return surface;
    if (error != nullptr) *error = std::move(reason);
    return nullptr;
}

}  // namespace

// The drawing window starts as large as the screens, so that a view seldom needs it to
// grow.
std::unique_ptr<RenderSurface> createWindowSurface(HWND window, std::string* error) {
    RECT client{};
    GetClientRect(window, &client);
    const int width = std::max<int>(client.right, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    const int height = std::max<int>(client.bottom, GetSystemMetrics(SM_CYVIRTUALSCREEN));
    return openSurface(std::max(1, width), std::max(1, height), window, error);
}

std::unique_ptr<RenderSurface> createHeadlessSurface(int width, int height, std::string* error) {
    if (width <= 0 || height <= 0) {
        if (error != nullptr) *error = "the surface needs a width and a height of at least 1";
        return nullptr;
    }
    auto surface = openSurface(width, height, nullptr, error);
    if (surface) glViewport(0, 0, width, height);
    return surface;
}

}  // namespace tessaro
