// A 3D model drawn with OpenGL through WGL and handed to GDI: RunPlotwick.exe's model
// pages and its --render picture of one. OpenGL draws into a window that is never
// shown (wine shows no OpenGL drawn straight into a child window), and each frame is
// read back and put into whatever device context asks for it, so that the component's
// own GDI text can go over it and WM_PRINTCLIENT gets the same picture as the screen.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "dwf/w3d_model.h"
#include "model_gl/model_camera.h"
#include "model_gl/model_drawing.h"

namespace tessaro {
class RenderSurface;
}

namespace plotwick {

class WglModelPicture {
  public:
    WglModelPicture();
    ~WglModelPicture();
    WglModelPicture(const WglModelPicture&) = delete;
    WglModelPicture& operator=(const WglModelPicture&) = delete;

    // An OpenGL context whose drawing grows with `window`'s client area, or, with a
    // null window, one of width x height. False, with the reason in `error`, when no
    // OpenGL context can be had.
    bool open(HWND window, int width, int height, std::string* error);
    bool isOpen() const { return m_surface != nullptr; }
    // Compiles the model into the context's display lists, dropping the ones before.
    bool build(const W3dModel& model);
    // Draws the built model through the camera at width x height and copies the frame
    // to (0, 0) of `dc`; false when the context is lost.
    bool drawInto(HDC dc, const ModelCamera& camera, int width, int height);
    void close();

  private:
    std::unique_ptr<tessaro::RenderSurface> m_surface;
    ModelDrawing m_drawing;
};

}  // namespace plotwick
