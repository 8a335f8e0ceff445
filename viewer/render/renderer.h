// The OpenGL renderer: global state and display-list bookkeeping, compilation of
// meshes and objects into pass lists, textures, the scene list and the camera.
// Everything is process-wide: one context, one set of globals, one ViewState.
#pragma once

#include <cstdint>
#include <vector>

#include "render/surface.h"
#include "scene/appearance_records.h"
#include "scene/pool_vector.h"
#include "scene/records.h"
#include "scene/scene_model.h"
#include "scene/world_records.h"

namespace tessaro {

// ---- context and global state ----

// Makes the surface's context current and sets the fixed global state.
void createContext(RenderSurface* surface);
void destroyContext();
RenderSurface* currentSurface();
void setViewport(int width, int height);
// White picture (alpha 0), every display list deleted (and the texture objects).
void clearDisplay();
// Records a new display-list name so that clearDisplay can delete every list.
void noteList(std::uint32_t name);
std::uint32_t highestList();

struct PaletteEntry {
    std::uint8_t red, green, blue;
};
// The 3-3-2 palette with the twelve fixed system colours; used only by an indexed surface.
std::vector<PaletteEntry> palette332();

// ---- geometry compilation ----

// Passes in drawing order: 0 opaque untextured, 1 opaque textured, 2 transparent
// textured, 3 transparent untextured.
inline constexpr int kPasses = 4;

// An entry of the document's table: list words 0..3 hold the lists of passes
// 0, 1, 3, 2 (word 2 is pass 3, word 3 is pass 2); 0 means no list.
struct GeometryEntry {
    std::uint32_t list[4] = {0, 0, 0, 0};
    std::uint32_t boxIndex = 0;
};
static_assert(sizeof(GeometryEntry) == 20);

// The entry word that holds the list of `pass`.
inline constexpr int entryWordOfPass(int pass) {
    return pass == 2 ? 3 : pass == 3 ? 2 : pass;
}

// A primitive's class: 0..3 as the passes; opaque when its material's alpha is 1.0
// exactly, textured when its texture index is not -1.
int passOf(const DrawableMesh& mesh, std::int32_t material, std::int32_t texture);

std::uint32_t compilePassList(const DrawableMesh& mesh, int pass, bool forceTwoSided);
std::uint32_t compileObjectList(const ObjectRecord& object, int pass,
                                const PoolVector<GeometryEntry>& entries);

// The object's drawing matrix (column-major): U made orthogonal to F, X = U' x F,
// columns (s X, 0), (s U', 0), (s F, 0), (P, 1).
void objectMatrix(const Transform& transform, float out[16]);

// ---- textures ----

// The texture size for an image side: a power of two from 32 to 4096.
std::int32_t textureSide(std::int32_t side);
// Resamples RGBA pixels with the alpha-weighted area filter.
std::vector<std::uint8_t> resampleArea(const std::uint8_t* pixels, std::int32_t width,
                                       std::int32_t height, std::int32_t newWidth,
                                       std::int32_t newHeight);
// Resamples the image in place to its texture size and uploads it; the texture name.
std::uint32_t uploadTextureImage(TextureImageRecord& image);
// The display list that switches to the texture; the list name.
std::uint32_t compileTextureList(const TextureRecord& texture);

// ---- scene list and camera ----

struct ProjectionLimits {
    double left, right, bottom, top, zNear, zFar;
};

class ViewState {
  public:
    void setOrientation(const double forward[3], const double up[3]);
    void getOrientation(double forward[3], double up[3]) const;
    void setSceneOffset(const double centre[3]);
    void getSceneOffset(double centre[3]) const;
    void setViewBox(const double centre[3], const double size[3]);
    void getViewBox(double centre[3], double size[3]) const;
    // The orthographic limits for a client area of width x height.
    ProjectionLimits projection(int clientWidth, int clientHeight) const;
    // Stores the whole camera and sets the projection without drawing, for a window
    // that draws once when it next paints rather than once per setter.
    void setCamera(const double forward[3], const double up[3], const double centre[3],
                   const double size[3]);
    // Draws the scene list with the camera; true when it drew. Nothing (false) when no
    // scene list exists; a surface that schedules its frames gets a paint request
    // instead (false too: drawFrame then draws from its paint handler).
    bool redraw();
    // Draws the scene list now, whatever the surface schedules; true when it drew.
    bool drawFrame();
    // Scene drawings so far, so that a shell can show it draws once per step.
    std::uint64_t framesDrawn() const { return m_framesDrawn; }
    void buildSceneList(const WorldRecord* world, const LightingRecord* lighting,
                        const BackgroundRecord* background,
                        const PoolVector<GeometryEntry>& entries);
    std::uint32_t sceneList() const { return m_sceneList; }
    // A white directional light from the camera on top of the document's own, for
    // documents lit so dimly that their shape does not show. Takes effect at the
    // next redraw.
    void setHeadlight(bool on) { m_headlight = on; }
    bool headlight() const { return m_headlight; }

  private:
    void applyProjection();

    double m_forward[3] = {0, 0, 1};
    double m_up[3] = {0, 1, 0};
    double m_sceneCentre[3] = {0, 0, 0};
    double m_boxCentre[3] = {0, 0, 0};
    double m_boxSize[3] = {2, 2, 2};
    std::uint32_t m_sceneList = 0;
    bool m_headlight = false;
    std::uint64_t m_framesDrawn = 0;
};

// The one camera of the process.
ViewState& viewState();

}  // namespace tessaro
