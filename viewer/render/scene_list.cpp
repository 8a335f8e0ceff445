#include <algorithm>

#include "render/gl_state.h"
#include "render/renderer.h"

namespace tessaro {

namespace {

// The scene list built since the last clear; 0 when there is none. The name a
// ViewState keeps may since have been given to a mesh or object list.
std::uint32_t g_liveSceneList = 0;

// Passes in drawing order, as entry words.
constexpr int kWordsInDrawingOrder[kPasses] = {0, 1, 3, 2};

constexpr int kFixedLights = 8;
// The headlight takes the last slot; the scene list leaves it alone unless the
// document itself has eight lights, whose last then replaces the headlight.
constexpr int kHeadlightSlot = kFixedLights - 1;

bool isEntry(std::int32_t handle, const PoolVector<GeometryEntry>& entries) {
    return handle >= 0 && static_cast<std::uint32_t>(handle) < entries.count();
}

void emitLight(int index, const DirectionalLight& light) {
    const GLenum id = static_cast<GLenum>(GL_LIGHT0 + index);
    const GLfloat diffuse[4] = {light.diffuse[0], light.diffuse[1], light.diffuse[2], 1.0f};
    const GLfloat specular[4] = {light.specular[0], light.specular[1], light.specular[2], 1.0f};
    // w = 0: a directional light.
    const GLfloat position[4] = {light.direction[0], light.direction[1], light.direction[2], 0.0f};
    glEnable(id);
    glLightfv(id, GL_DIFFUSE, diffuse);
    glLightfv(id, GL_SPECULAR, specular);
    glLightfv(id, GL_POSITION, position);
}

// Under an identity model-view matrix, so the lights turn with the camera.
void emitLights(const LightingRecord* lighting) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glEnable(GL_LIGHTING);
    for (int i = 0; i < kHeadlightSlot; ++i)
        glDisable(static_cast<GLenum>(GL_LIGHT0 + i));
    if (lighting != nullptr) {
        const GLfloat ambient[4] = {lighting->ambient[0], lighting->ambient[1],
                                    lighting->ambient[2], 1.0f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
        const auto count = std::min<std::uint32_t>(lighting->lightCount, kFixedLights);
        for (std::uint32_t i = 0; i < count; ++i)
            emitLight(static_cast<int>(i), lighting->lights[i]);
    } else {
        const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    }
    glPopMatrix();
}

void emitGeometry(const WorldRecord* world, const PoolVector<GeometryEntry>& entries) {
    if (world == nullptr) return;
    if (isEntry(world->meshHandle, entries)) {
        const GeometryEntry& entry = entries[static_cast<std::uint32_t>(world->meshHandle)];
        for (const int word : kWordsInDrawingOrder) {
            if (entry.list[word] != 0) glCallList(entry.list[word]);
        }
        return;
    }
    for (const int word : kWordsInDrawingOrder) {
        for (const std::int32_t child : world->childHandles) {
            const std::uint32_t list = internal::entryList(entries, child, word);
            if (list != 0) internal::callChildList(list);
        }
    }
}

// Under the identity model-view matrix the light shines along the line of sight.
void emitHeadlight(bool on) {
    const GLenum id = GL_LIGHT0 + kHeadlightSlot;
    if (!on) {
        glDisable(id);
        return;
    }
    const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const GLfloat fromViewer[4] = {0.0f, 0.0f, 1.0f, 0.0f};
    glLightfv(id, GL_AMBIENT, none);
    glLightfv(id, GL_DIFFUSE, white);
    glLightfv(id, GL_SPECULAR, white);
    glLightfv(id, GL_POSITION, fromViewer);
    glEnable(id);
}

// Not built since the last clearDisplay, or deleted: nothing to draw.
bool sceneListLive(std::uint32_t list) {
    return list != 0 && list == g_liveSceneList && glIsList(list) == GL_TRUE;
}

}  // namespace

void internal::forgetSceneList() {
    g_liveSceneList = 0;
}

void ViewState::setOrientation(const double forward[3], const double up[3]) {
    std::copy(forward, forward + 3, m_forward);
    std::copy(up, up + 3, m_up);
    redraw();
}

void ViewState::getOrientation(double forward[3], double up[3]) const {
    std::copy(m_forward, m_forward + 3, forward);
    std::copy(m_up, m_up + 3, up);
}

void ViewState::setSceneOffset(const double centre[3]) {
    std::copy(centre, centre + 3, m_sceneCentre);
    redraw();
}

void ViewState::setViewBox(const double centre[3], const double size[3]) {
    std::copy(centre, centre + 3, m_boxCentre);
    std::copy(size, size + 3, m_boxSize);
    applyProjection();
    redraw();
}

void ViewState::setCamera(const double forward[3], const double up[3], const double centre[3],
                          const double size[3]) {
    std::copy(forward, forward + 3, m_forward);
    std::copy(up, up + 3, m_up);
    std::copy(centre, centre + 3, m_boxCentre);
    std::copy(size, size + 3, m_boxSize);
    applyProjection();
}

void ViewState::getSceneOffset(double centre[3]) const {
    std::copy(m_sceneCentre, m_sceneCentre + 3, centre);
}

void ViewState::getViewBox(double centre[3], double size[3]) const {
    std::copy(m_boxCentre, m_boxCentre + 3, centre);
    std::copy(m_boxSize, m_boxSize + 3, size);
}

ProjectionLimits ViewState::projection(int clientWidth, int clientHeight) const {
    const double left = m_boxCentre[0] - m_boxSize[0] / 2,
                 right = m_boxCentre[0] + m_boxSize[0] / 2;
    const double bottom = m_boxCentre[1] - m_boxSize[1] / 2,
                 top = m_boxCentre[1] + m_boxSize[1] / 2;
    // A window without area has no aspect; square keeps the limits finite.
    const double aspect =
        clientWidth > 0 && clientHeight > 0 ? static_cast<double>(clientWidth) / clientHeight : 1.0;
    const double w = right - left, h = top - bottom;
    const double xc = (left + right) / 2, yc = (bottom + top) / 2;
    ProjectionLimits limits{};
    if (w / h < aspect) {
        limits = {xc - aspect * w / 2, xc + aspect * w / 2, yc - w / 2, yc + w / 2, 0, 0};
    } else {
        limits = {xc - h / 2, xc + h / 2, yc - h / (2 * aspect), yc + h / (2 * aspect), 0, 0};
    }
    limits.zNear = m_boxCentre[2] - m_boxSize[2] / 2;
    limits.zFar = m_boxCentre[2] + m_boxSize[2] / 2;
    return limits;
}

void ViewState::applyProjection() {
    const RenderSurface* surface = currentSurface();
    if (surface == nullptr) return;
    const ProjectionLimits p = projection(surface->width(), surface->height());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(p.left, p.right, p.bottom, p.top, p.zNear, p.zFar);
}

bool ViewState::redraw() {
    RenderSurface* surface = currentSurface();
    if (surface == nullptr || !sceneListLive(m_sceneList)) return false;
    if (surface->scheduleFrame()) return false;
    return drawFrame();
}

bool ViewState::drawFrame() {
    RenderSurface* surface = currentSurface();
    if (surface == nullptr || !sceneListLive(m_sceneList)) return false;
    ++m_framesDrawn;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const auto f = [this](int i) { return static_cast<float>(m_forward[i]); };
    const auto u = [this](int i) { return static_cast<float>(m_up[i]); };
    const float s[3] = {u(1) * f(2) - u(2) * f(1), u(2) * f(0) - u(0) * f(2),
                        u(0) * f(1) - u(1) * f(0)};
    const float rotation[16] = {s[0], s[1], s[2], 0, u(0), u(1), u(2), 0,
                                f(0), f(1), f(2), 0, 0,    0,    0,    1};
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    emitHeadlight(m_headlight);
    glMultMatrixf(rotation);
    glTranslatef(static_cast<float>(-m_sceneCentre[0]), static_cast<float>(-m_sceneCentre[1]),
                 static_cast<float>(-m_sceneCentre[2]));
    glCallList(m_sceneList);
    glFinish();
    surface->swapBuffers();
    return true;
}

void ViewState::buildSceneList(const WorldRecord* world, const LightingRecord* lighting,
                               const BackgroundRecord* background,
                               const PoolVector<GeometryEntry>& entries) {
    glFinish();
    static constexpr float kBlack[3] = {0, 0, 0};
    const float* colour = background != nullptr ? background->colour : kBlack;
    glClearColor(colour[0], colour[1], colour[2], 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    m_sceneList = internal::newListName();
    g_liveSceneList = m_sceneList;
    if (m_sceneList == 0) return;
    glNewList(m_sceneList, GL_COMPILE);
    emitLights(lighting);
    emitGeometry(world, entries);
    glEndList();
    glFinish();
}

ViewState& viewState() {
    static ViewState instance;
    return instance;
}

}  // namespace tessaro
