// A 3D model drawn off-screen (EGL, no window) into a QImage: the picture that
// `plotwick --render` writes, and the frames the window shows of a model page.
#pragma once

#include <QImage>

#include <memory>
#include <string>

#include "dwf/w3d_model.h"
#include "model_gl/model_camera.h"
#include "model_gl/model_drawing.h"

namespace tessaro {
class RenderSurface;
}

namespace plotwick {

class ModelPicture {
  public:
    ModelPicture();
    ~ModelPicture();
    ModelPicture(const ModelPicture&) = delete;
    ModelPicture& operator=(const ModelPicture&) = delete;

    // Compiles the model in an off-screen context of width x height (the one open when
    // it has that size); false (with the reason in `error`) when no OpenGL context can
    // be had.
    bool open(const W3dModel& model, int width, int height, std::string* error);
    // The model through the camera; a null image when nothing is open.
    QImage draw(const ModelCamera& camera);
    void close();
    int width() const;
    int height() const;

  private:
    std::unique_ptr<tessaro::RenderSurface> m_surface;
    ModelDrawing m_drawing;
};

}  // namespace plotwick
