// Draws a decoded 3D model with OpenGL 1.1 in whatever context is current: shaded,
// lit from the viewer, both faces, with its curves and markers as thin lines and dots.
// The same code draws into Plotwick's off-screen picture (EGL) and RunPlotwick.exe's
// window (WGL).
#pragma once

#include <cstdint>
#include <vector>

#include "dwf/w3d_model.h"
#include "model_gl/model_camera.h"

namespace plotwick {

// The background of a model page, as the published pictures show it.
inline constexpr float kModelBackground[3] = {0.84f, 0.85f, 0.87f};
// Faces without a colour of their own.
inline constexpr float kModelDefaultColour[3] = {0.75f, 0.75f, 0.75f};

class ModelDrawing {
  public:
    ModelDrawing() = default;
    ~ModelDrawing();
    ModelDrawing(const ModelDrawing&) = delete;
    ModelDrawing& operator=(const ModelDrawing&) = delete;

    // Compiles the model into display lists of the current context (dropping any built
    // before); the model need not outlive the drawing.
    void build(const W3dModel& model);
    // Clears to the background and draws the model through the camera into the
    // current context's width x height viewport.
    void draw(const ModelCamera& camera, int width, int height) const;
    // Deletes the lists; the context they were built in must be current.
    void release();
    bool built() const { return !m_sets.empty(); }

  private:
    struct MeshLists {
        std::uint32_t faces = 0;
        std::uint32_t curves = 0;
    };
    struct Placed {
        std::size_t mesh;
        W3dMatrix matrix;
        std::array<float, 3> colour;
        std::array<float, 3> lineColour;
    };

    void drawSets() const;

    std::vector<MeshLists> m_lists;
    std::vector<Placed> m_sets;
    W3dBox m_box{-1, -1, -1, 1, 1, 1};
};

}  // namespace plotwick
