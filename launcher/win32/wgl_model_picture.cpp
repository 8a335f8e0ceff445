#include "win32/wgl_model_picture.h"

#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "render/wgl_surface.h"

namespace plotwick {
namespace {

// The back buffer's lower left width x height corner (where the viewport is) as a
// bottom-up 32-bit DIB, which has OpenGL's row order, put at the origin of `dc`.
void copyFrame(HDC dc, int width, int height) {
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_BGRA_EXT, GL_UNSIGNED_BYTE, frame.data());
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), frame.data(), &info, DIB_RGB_COLORS);
}

}  // namespace

WglModelPicture::WglModelPicture() = default;

WglModelPicture::~WglModelPicture() {
    close();
}

bool WglModelPicture::open(HWND window, int width, int height, std::string* error) {
    close();
    m_surface = window != nullptr ? tessaro::createWindowSurface(window, error)
                                  : tessaro::createHeadlessSurface(width, height, error);
    return m_surface != nullptr;
}

bool WglModelPicture::build(const W3dModel& model) {
    if (!m_surface || !m_surface->makeCurrent()) return false;
    m_drawing.build(model);
    return true;
}

bool WglModelPicture::drawInto(HDC dc, const ModelCamera& camera, int width, int height) {
    if (width <= 0 || height <= 0) return true;
    if (!m_surface || !m_surface->makeCurrent()) return false;
    m_drawing.draw(camera, width, height);
    copyFrame(dc, width, height);
    return true;
}

void WglModelPicture::close() {
    if (!m_surface) return;
    // The lists belong to this surface's context.
    if (m_surface->makeCurrent()) m_drawing.release();
    m_surface.reset();
}

}  // namespace plotwick
