// Drawing on the headless surface: lists, the scene list, textures and the picture.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "render/renderer.h"

namespace tessaro {
namespace {

constexpr int kSize = 64;
using Rgb = std::array<int, 3>;

template <typename T>
void fill(RecordBlock<T>& block, const std::vector<T>& values) {
    ASSERT_TRUE(block.allocate(static_cast<std::uint32_t>(values.size())));
    std::copy(values.begin(), values.end(), block.begin());
}

MaterialRecord glowing(float red, float green, float blue, float alpha = 1.0f) {
    MaterialRecord m;
    m.emissive[0] = red, m.emissive[1] = green, m.emissive[2] = blue;
    m.alpha = alpha;
    return m;
}

FaceRecord face(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t material,
                std::int32_t texture = kNone) {
    return FaceRecord{{{a, kNone, a}, {b, kNone, b}, {c, kNone, c}}, texture, material, kNone, 0};
}

// The lower-left half of the view, counter-clockwise so that it faces the viewer.
const std::vector<PositionRecord> kLowerLeft = {
    {-1, -1, 0, kNoId, 0}, {1, -1, 0, kNoId, 0}, {-1, 1, 0, kNoId, 0}};

class HeadlessDrawing : public testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        m_surface = createHeadlessSurface(kSize, kSize, &error);
        if (!m_surface) GTEST_SKIP() << "no headless OpenGL surface: " << error;
        createContext(m_surface.get());
        setViewport(kSize, kSize);
        clearDisplay();
        const double forward[3] = {0, 0, 1}, up[3] = {0, 1, 0}, zero[3] = {0, 0, 0};
        const double box[3] = {2, 2, 2};
        viewState().setOrientation(forward, up);
        viewState().setSceneOffset(zero);
        viewState().setViewBox(zero, box);
    }
    void TearDown() override {
        if (m_surface) destroyContext();
    }

    // Compiles the mesh's four passes into one entry, as the document does.
    std::int32_t addMesh(const DrawableMesh& mesh, bool twoSided = false) {
        GeometryEntry entry;
        for (int pass = 0; pass < kPasses; ++pass) {
            entry.list[entryWordOfPass(pass)] = compilePassList(mesh, pass, twoSided);
        }
        return static_cast<std::int32_t>(m_entries.append(entry));
    }

    void drawWorld(const std::vector<std::int32_t>& objects, const float background[3]) {
        WorldRecord world;
        world.childHandles = objects;
        LightingRecord lighting;  // no lights: materials show their emission
        BackgroundRecord colour;
        std::copy(background, background + 3, colour.colour);
        viewState().buildSceneList(&world, &lighting, &colour, m_entries);
        viewState().redraw();
    }

    // An object with the identity transform around the given entries.
    std::int32_t addObject(const std::vector<std::int32_t>& children) {
        ObjectRecord object;
        object.childHandles = children;
        GeometryEntry entry;
        for (int pass = 0; pass < kPasses; ++pass) {
            entry.list[entryWordOfPass(pass)] = compileObjectList(object, pass, m_entries);
        }
        return static_cast<std::int32_t>(m_entries.append(entry));
    }

    static Rgb pixel(const std::vector<std::uint8_t>& picture, int x, int y) {
        const std::size_t at = (static_cast<std::size_t>(y) * kSize + x) * 3;
        return {picture[at], picture[at + 1], picture[at + 2]};
    }

    static void expectNear(const Rgb& got, const Rgb& want, const char* where) {
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(got[c], want[c], 2) << where << ", channel " << c;
    }

    std::unique_ptr<RenderSurface> m_surface;
    PoolVector<GeometryEntry> m_entries;
};

const float kBlue[3] = {0, 0, 1};
const Rgb kRed = {255, 0, 0}, kGreen = {0, 255, 0}, kBlueRgb = {0, 0, 255},
          kWhite = {255, 255, 255};

// A point deep in the lower-left half and one deep in the upper-right half.
constexpr int kInsideX = 8, kInsideY = kSize - 8, kOutsideX = kSize - 8, kOutsideY = 8;

TEST_F(HeadlessDrawing, ClearDisplayWhitensAndDeletesEveryList) {
    DrawableMesh mesh;
    fill(mesh.positions, kLowerLeft);
    fill(mesh.materials, {glowing(1, 0, 0)});
    fill(mesh.faces, {face(0, 1, 2, 0)});
    const std::int32_t meshEntry = addMesh(mesh);
    drawWorld({addObject({meshEntry})}, kBlue);
    std::vector<std::uint32_t> lists;
    for (const GeometryEntry& e : m_entries)
        lists.insert(lists.end(), e.list, e.list + 4);
    lists.push_back(viewState().sceneList());
    for (const std::uint32_t list : lists)
        ASSERT_EQ(glIsList(list), GL_TRUE) << list;

    clearDisplay();
    for (const std::uint32_t list : lists)
        EXPECT_EQ(glIsList(list), GL_FALSE) << list;
    EXPECT_EQ(highestList(), 1u);
    const std::vector<std::uint8_t> picture = readPixelsRgb(kSize, kSize);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x)
            ASSERT_EQ(pixel(picture, x, y), kWhite) << x << "," << y;
    }
}

TEST_F(HeadlessDrawing, HighestListIsOneMoreThanTheLargestName) {
    EXPECT_EQ(highestList(), 1u);
    DrawableMesh mesh;
    std::uint32_t largest = 0;
    for (int i = 0; i < 3; ++i)
        largest = std::max(largest, compilePassList(mesh, 0, false));
    ASSERT_NE(largest, 0u);
    EXPECT_EQ(highestList(), largest + 1);
    noteList(1);  // a smaller name never lowers it
    EXPECT_EQ(highestList(), largest + 1);
    noteList(largest + 40);
    EXPECT_EQ(highestList(), largest + 41);
    clearDisplay();
    EXPECT_EQ(highestList(), 1u);
    const std::uint32_t next = compilePassList(mesh, 0, false);
    EXPECT_EQ(highestList(), next + 1);
}

TEST_F(HeadlessDrawing, ACompiledTriangleDrawsRedWhereItLies) {
    DrawableMesh mesh;
    fill(mesh.positions, kLowerLeft);
    fill(mesh.materials, {glowing(1, 0, 0)});
    fill(mesh.faces, {face(0, 1, 2, 0)});
    drawWorld({addObject({addMesh(mesh)})}, kBlue);
    const std::vector<std::uint8_t> picture = readPixelsRgb(kSize, kSize);
    expectNear(pixel(picture, kInsideX, kInsideY), kRed, "inside");
    expectNear(pixel(picture, kOutsideX, kOutsideY), kBlueRgb, "outside");
}

TEST_F(HeadlessDrawing, APrimitiveWithAnIndexOutsideTheMeshIsLeftOut) {
    DrawableMesh mesh;
    fill(mesh.positions,
         {{-1, -1, 0, kNoId, 0}, {1, -1, 0, kNoId, 0}, {-1, 1, 0, kNoId, 0}, {1, 1, 0, kNoId, 0}});
    fill(mesh.materials, {glowing(1, 0, 0)});
    // A face that lost a corner must send none: its good corners would pair up with
    // the corners of the next face in the batch.
    const FaceRecord lostCorner = face(0, 1, 99, 0);
    // Faces without their material or texture would cover the upper right.
    const FaceRecord lostMaterial = face(1, 3, 2, 5), lostTexture = face(1, 3, 2, 0, 4);
    // An unknown normal or texture coordinate is only left out.
    FaceRecord lostNormal = face(0, 1, 2, 0);
    lostNormal.vertex[1].normal = 1000;
    lostNormal.vertex[2].texCoord = -7;
    fill(mesh.faces, {lostCorner, lostMaterial, lostTexture, lostNormal});
    fill(mesh.lines, {LineRecord{{{1, kNone, kNone}, {-4, kNone, kNone}}, kNone, 0, kNone, 9},
                      LineRecord{{{1, kNone, kNone}, {2, kNone, kNone}}, kNone, 0, kNone, 9}});
    fill(mesh.points, {PointRecord{{{3, kNone, kNone}}, kNone, 0, kNone, 3}});
    drawWorld({addObject({addMesh(mesh)})}, kBlue);
    const std::vector<std::uint8_t> picture = readPixelsRgb(kSize, kSize);
    expectNear(pixel(picture, kInsideX, kInsideY), kRed, "inside");
    expectNear(pixel(picture, kOutsideX, kOutsideY), kBlueRgb, "outside");
}

TEST_F(HeadlessDrawing, TransparentFacesBlendOverOpaqueOnes) {
    DrawableMesh mesh;
    fill(mesh.positions, kLowerLeft);
    // The transparent face comes first in the table but is drawn after the opaque one.
    fill(mesh.materials, {glowing(0, 1, 0, 0.5f), glowing(1, 0, 0)});
    fill(mesh.faces, {face(0, 1, 2, 0), face(0, 1, 2, 1)});
    drawWorld({addObject({addMesh(mesh, true)})}, kBlue);
    const std::vector<std::uint8_t> picture = readPixelsRgb(kSize, kSize);
    expectNear(pixel(picture, kInsideX, kInsideY), {128, 128, 0}, "blended");
}

TEST_F(HeadlessDrawing, EachTextureSwitchDrawsWithItsOwnTexture) {
    const auto imageOf = [](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        TextureImageRecord image;
        image.width = image.height = 1;
        image.pixels.reset(new std::uint8_t[4]{r, g, b, 255});
        return image;
    };
    TextureImageRecord red = imageOf(255, 0, 0), green = imageOf(0, 255, 0);
    TextureUse uses[2];
    for (auto [use, image] : {std::pair{&uses[0], &red}, std::pair{&uses[1], &green}}) {
        TextureRecord texture;
        texture.imageHandle = static_cast<std::int32_t>(uploadTextureImage(*image));
        EXPECT_EQ(image->width, 32);
        EXPECT_EQ(image->height, 32);
        use->handle = static_cast<std::int32_t>(compileTextureList(texture));
    }
    DrawableMesh mesh;
    // Two triangles: lower-left uses the red texture, upper-right the green one.
    fill(mesh.positions,
         {{-1, -1, 0, kNoId, 0}, {1, -1, 0, kNoId, 0}, {-1, 1, 0, kNoId, 0}, {1, 1, 0, kNoId, 0}});
    fill(mesh.texCoords, {{kNoId, 0, 0}, {kNoId, 1, 0}, {kNoId, 0, 1}, {kNoId, 1, 1}});
    fill(mesh.materials, {glowing(0, 0, 0)});
    fill(mesh.faces, {face(0, 1, 2, 0, 0), face(1, 3, 2, 0, 1)});
    mesh.textureRefs.append(&uses[0]);
    mesh.textureRefs.append(&uses[1]);
    drawWorld({addObject({addMesh(mesh)})}, kBlue);
    const std::vector<std::uint8_t> picture = readPixelsRgb(kSize, kSize);
    expectNear(pixel(picture, kInsideX, kInsideY), kRed, "first texture");
    expectNear(pixel(picture, kOutsideX, kOutsideY), kGreen, "second texture");
}

TEST_F(HeadlessDrawing, ClearDisplayDeletesTextureObjects) {
    TextureImageRecord included;  // kept outside the document: no pixels, sizes 0
    const std::uint32_t name = uploadTextureImage(included);
    ASSERT_EQ(glIsTexture(name), GL_TRUE);
    EXPECT_EQ(included.width, 32);
    EXPECT_EQ(included.height, 32);
    ASSERT_NE(included.pixels, nullptr);
    EXPECT_TRUE(std::all_of(included.pixels.get(), included.pixels.get() + 32 * 32 * 4,
                            [](std::uint8_t b) { return b == 0; }));
    clearDisplay();
    EXPECT_EQ(glIsTexture(name), GL_FALSE);
}

TEST_F(HeadlessDrawing, RedrawAfterClearLeavesThePictureWhite) {
    DrawableMesh mesh;
    fill(mesh.positions, kLowerLeft);
    fill(mesh.materials, {glowing(1, 0, 0)});
    fill(mesh.faces, {face(0, 1, 2, 0)});
    drawWorld({addObject({addMesh(mesh)})}, kBlue);
    const std::uint32_t oldScene = viewState().sceneList();
    clearDisplay();
    // A driver may hand the old scene list's name to a list of the next load.
    glNewList(oldScene, GL_COMPILE);
    glEndList();
    noteList(oldScene);
    ASSERT_EQ(glIsList(oldScene), GL_TRUE);
    glClearColor(0, 0, 0, 0);  // a redraw that ran would clear to black
    EXPECT_FALSE(viewState().redraw());
    const std::vector<std::uint8_t> picture = readPixelsRgb(kSize, kSize);
    expectNear(pixel(picture, kInsideX, kInsideY), kWhite, "inside");
    expectNear(pixel(picture, kOutsideX, kOutsideY), kWhite, "outside");
}

// Storing a camera turned half round leaves the picture as it was; the redraw after it
// shows the triangle in the opposite corner.
TEST_F(HeadlessDrawing, SetCameraDrawsNothingUntilTheRedraw) {
    DrawableMesh mesh;
    fill(mesh.positions, kLowerLeft);
    fill(mesh.materials, {glowing(1, 0, 0)});
    fill(mesh.faces, {face(0, 1, 2, 0)});
    drawWorld({addObject({addMesh(mesh)})}, kBlue);
    const double forward[3] = {0, 0, 1}, upsideDown[3] = {0, -1, 0}, zero[3] = {0, 0, 0};
    const double box[3] = {2, 2, 2};
    viewState().setCamera(forward, upsideDown, zero, box);
    std::vector<std::uint8_t> picture = readPixelsRgb(kSize, kSize);
    expectNear(pixel(picture, kInsideX, kInsideY), kRed, "stored, inside");
    expectNear(pixel(picture, kOutsideX, kOutsideY), kBlueRgb, "stored, outside");
    EXPECT_TRUE(viewState().redraw());
    picture = readPixelsRgb(kSize, kSize);
    expectNear(pixel(picture, kInsideX, kInsideY), kBlueRgb, "redrawn, inside");
    expectNear(pixel(picture, kOutsideX, kOutsideY), kRed, "redrawn, outside");
}

// A window that shows frames only from its paint handler: every redraw outside it
// becomes a request, and the paint's drawFrame draws once for all of them.
class PaintedSurface final : public RenderSurface {
  public:
    explicit PaintedSurface(RenderSurface& target) : m_target(target) {}
    bool makeCurrent() override { return m_target.makeCurrent(); }
    void swapBuffers() override {}
    bool scheduleFrame() override {
        ++requests;
        return true;
    }
    int width() const override { return m_target.width(); }
    int height() const override { return m_target.height(); }
    int requests = 0;

  private:
    RenderSurface& m_target;
};

TEST_F(HeadlessDrawing, ASurfaceThatSchedulesFramesIsDrawnOnlyByDrawFrame) {
    PaintedSurface painted(*m_surface);
    createContext(&painted);
    DrawableMesh mesh;
    fill(mesh.positions, kLowerLeft);
    fill(mesh.materials, {glowing(1, 0, 0)});
    fill(mesh.faces, {face(0, 1, 2, 0)});
    const std::uint64_t drawn = viewState().framesDrawn();
    drawWorld({addObject({addMesh(mesh)})}, kBlue);  // its redraw only asks
    const double forward[3] = {0, 0, 1}, up[3] = {0, 1, 0}, zero[3] = {0, 0, 0};
    const double box[3] = {2, 2, 2};
    viewState().setOrientation(forward, up);
    viewState().setViewBox(zero, box);
    EXPECT_EQ(painted.requests, 3);
    EXPECT_EQ(viewState().framesDrawn(), drawn);
    std::vector<std::uint8_t> picture = readPixelsRgb(kSize, kSize);
    expectNear(pixel(picture, kInsideX, kInsideY), kBlueRgb, "asked, inside");
    EXPECT_TRUE(viewState().drawFrame());
    EXPECT_EQ(viewState().framesDrawn(), drawn + 1);
    picture = readPixelsRgb(kSize, kSize);
    expectNear(pixel(picture, kInsideX, kInsideY), kRed, "painted, inside");
    createContext(m_surface.get());  // the fixture's surface outlives this one
}

TEST_F(HeadlessDrawing, TheWorldsOwnMeshIsDrawnWithoutObjects) {
    DrawableMesh mesh;
    fill(mesh.positions, kLowerLeft);
    fill(mesh.materials, {glowing(0, 1, 0)});
    fill(mesh.faces, {face(0, 1, 2, 0)});
    WorldRecord world;
    world.meshHandle = addMesh(mesh);
    viewState().buildSceneList(&world, nullptr, nullptr, m_entries);
    viewState().redraw();
    const std::vector<std::uint8_t> picture = readPixelsRgb(kSize, kSize);
    expectNear(pixel(picture, kInsideX, kInsideY), kGreen, "mesh");
    expectNear(pixel(picture, kOutsideX, kOutsideY), {0, 0, 0}, "no background: black");
}

}  // namespace
}  // namespace tessaro
