#include "render/gl_state.h"

#include <vector>

#include "render/renderer.h"

namespace tessaro {

namespace {

struct RendererGlobals {
    RenderSurface* surface = nullptr;
    // One more than the largest list name handed out since the last clear.
    std::uint32_t highestList = 1;
    std::vector<GLuint> textures;
};

RendererGlobals& globals() {
    static RendererGlobals instance;
    return instance;
}

void forgetNames() {
    globals().highestList = 1;
    globals().textures.clear();
    internal::forgetSceneList();
}

void setGlobalState() {
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthFunc(GL_LEQUAL);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
}

}  // namespace

void createContext(RenderSurface* surface) {
    RendererGlobals& g = globals();
    g.surface = surface;
    forgetNames();  // a new context holds no lists yet
    if (surface == nullptr) return;
    surface->makeCurrent();
    setGlobalState();
}

// The surface owns the context; its lists and textures go with it.
void destroyContext() {
    globals().surface = nullptr;
    forgetNames();
}

RenderSurface* currentSurface() {
    return globals().surface;
}

void setViewport(int width, int height) {
    glViewport(0, 0, width, height);
}

void clearDisplay() {
    RendererGlobals& g = globals();
    glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDeleteLists(1, static_cast<GLsizei>(g.highestList));
    if (!g.textures.empty()) {
        glDeleteTextures(static_cast<GLsizei>(g.textures.size()), g.textures.data());
    }
    forgetNames();
    if (g.surface != nullptr) g.surface->swapBuffers();
}

void noteList(std::uint32_t name) {
    if (name >= globals().highestList) globals().highestList = name + 1;
}

std::uint32_t highestList() {
    return globals().highestList;
}

std::vector<PaletteEntry> palette332() {
    static constexpr std::uint8_t kLevels3[8] = {0, 63, 104, 139, 171, 200, 229, 255};
    static constexpr std::uint8_t kLevels2[4] = {0, 116, 191, 255};
    struct SystemColour {
        int entry;
        PaletteEntry colour;
    };
    // The fixed colours of the system palette keep their usual slots.
    static constexpr SystemColour kSystem[12] = {
        {3, {128, 0, 0}},       {24, {0, 128, 0}},      {27, {128, 128, 0}},
        {64, {0, 0, 128}},      {67, {128, 0, 128}},    {88, {0, 128, 128}},
        {91, {128, 128, 128}},  {164, {160, 160, 164}}, {173, {192, 192, 192}},
        {181, {192, 220, 192}}, {236, {166, 202, 240}}, {247, {255, 251, 240}},
    };
    std::vector<PaletteEntry> palette(256);
    for (int i = 0; i < 256; ++i) {
        palette[i] = {kLevels3[i & 7], kLevels3[(i >> 3) & 7], kLevels2[(i >> 6) & 3]};
    }
    for (const SystemColour& s : kSystem)
        palette[s.entry] = s.colour;
    return palette;
}

namespace internal {

void twoSided() {
    glDisable(GL_CULL_FACE);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
}

void oneSided() {
    glEnable(GL_CULL_FACE);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
}

void texturedState() {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
}

void blendedState() {
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
}

void plainState() {
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glDepthMask(GL_TRUE);
}

void defaultNormal() {
    glPushMatrix();
    glLoadIdentity();
    glNormal3f(0.0f, 0.0f, 1.0f);
    glPopMatrix();
}

std::uint32_t newListName() {
    const GLuint name = glGenLists(1);
    noteList(name);
    return name;
}

void noteTexture(GLuint name) {
    if (name != 0) globals().textures.push_back(name);
}

std::uint32_t entryList(const PoolVector<GeometryEntry>& entries, std::int32_t handle, int word) {
    if (handle < 0 || static_cast<std::uint32_t>(handle) >= entries.count()) return 0;
    return entries[static_cast<std::uint32_t>(handle)].list[word];
}

void callChildList(std::uint32_t list) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glCallList(list);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

}  // namespace internal

}  // namespace tessaro
