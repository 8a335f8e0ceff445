#include "render/wgl_surface.h"

#include <GL/gl.h>

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
    // `ownedWindow` is destroyed with the surface (the off-screen case).
    WglSurface(HWND window, bool ownedWindow) : m_window(window), m_ownsWindow(ownedWindow) {}
    WglSurface(const WglSurface&) = delete;
    WglSurface& operator=(const WglSurface&) = delete;
    ~WglSurface() override { release(); }

    // Empty on success, else the reason.
    std::string open();

    bool makeCurrent() override { return wglMakeCurrent(m_dc, m_context) != FALSE; }
    void swapBuffers() override { SwapBuffers(m_dc); }
    int width() const override { return clientSize().right; }
    int height() const override { return clientSize().bottom; }
    bool indexed() const override { return m_palette != nullptr; }

  private:
    RECT clientSize() const {
        RECT client{};
        GetClientRect(m_window, &client);
        return client;
    }
    std::string choosePixelFormat();
    void release();

    HWND m_window;
    bool m_ownsWindow;
    HDC m_dc = nullptr;
    HGLRC m_context = nullptr;
    HPALETTE m_palette = nullptr;
};

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
    m_dc = GetDC(m_window);
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
    if (m_dc != nullptr) ReleaseDC(m_window, m_dc);
    if (m_ownsWindow) DestroyWindow(m_window);
}

std::unique_ptr<RenderSurface> openSurface(HWND window, bool ownsWindow, std::string* error) {
    auto surface = std::make_unique<WglSurface>(window, ownsWindow);
    std::string reason = surface->open();
    if (reason.empty()) return surface;
    if (error != nullptr) *error = std::move(reason);
    return nullptr;
}

// The off-screen surface is a window that is never shown; its class keeps its own
// device context, which OpenGL on Windows expects of the windows it draws into.
const wchar_t* offscreenClass() {
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

}  // namespace

std::unique_ptr<RenderSurface> createWindowSurface(HWND window, std::string* error) {
    return openSurface(window, false, error);
}

std::unique_ptr<RenderSurface> createHeadlessSurface(int width, int height, std::string* error) {
    if (width <= 0 || height <= 0) {
        if (error != nullptr) *error = "the surface needs a width and a height of at least 1";
        return nullptr;
    }
    // A popup window's client area is exactly its size.
    HWND window = CreateWindowExW(0, offscreenClass(), L"", WS_POPUP, 0, 0, width, height, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
        if (error != nullptr) *error = "no window for the off-screen surface";
        return nullptr;
    }
    auto surface = openSurface(window, true, error);
    if (surface) glViewport(0, 0, width, height);
    return surface;
}

}  // namespace tessaro
