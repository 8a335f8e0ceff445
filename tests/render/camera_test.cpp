#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <tuple>

#include "render/renderer.h"

namespace tessaro {
namespace {

struct ProjectionCase {
    const char* name;
    int width, height;
    double centre[3], size[3];
    ProjectionLimits expected;
    friend void PrintTo(const ProjectionCase& c, std::ostream* os) { *os << c.name; }
};

class ProjectionTable : public testing::TestWithParam<ProjectionCase> {};

TEST_P(ProjectionTable, WidensTheBoxAlongTheLongerSide) {
    const ProjectionCase& c = GetParam();
    ViewState view;  // no context: storing the box draws nothing
    view.setViewBox(c.centre, c.size);
    const ProjectionLimits p = view.projection(c.width, c.height);
    EXPECT_DOUBLE_EQ(p.left, c.expected.left);
    EXPECT_DOUBLE_EQ(p.right, c.expected.right);
    EXPECT_DOUBLE_EQ(p.bottom, c.expected.bottom);
    EXPECT_DOUBLE_EQ(p.top, c.expected.top);
    EXPECT_DOUBLE_EQ(p.zNear, c.expected.zNear);
    EXPECT_DOUBLE_EQ(p.zFar, c.expected.zFar);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ProjectionTable,
    testing::Values(
        ProjectionCase{"twice as wide", 200, 100, {0, 0, 0}, {2, 2, 2}, {-2, 2, -1, 1, -1, 1}},
        ProjectionCase{"twice as high", 100, 200, {0, 0, 0}, {2, 2, 2}, {-1, 1, -2, 2, -1, 1}},
        ProjectionCase{"square", 300, 300, {0, 0, 0}, {2, 2, 2}, {-1, 1, -1, 1, -1, 1}},
        ProjectionCase{"moved box", 400, 100, {5, -3, 2}, {4, 4, 6}, {-3, 13, -5, -1, -1, 5}},
        // Relatively wider than the window: only the box's height counts.
        ProjectionCase{"wide box", 100, 100, {0, 0, 0}, {4, 2, 2}, {-1, 1, -1, 1, -1, 1}},
        // Relatively narrower: only its width counts.
        ProjectionCase{"narrow box", 200, 100, {0, 0, 0}, {2, 8, 2}, {-2, 2, -1, 1, -1, 1}},
        ProjectionCase{"no height", 100, 0, {0, 0, 0}, {2, 2, 2}, {-1, 1, -1, 1, -1, 1}}));

TEST(ObjectMatrix, IdentityTransformGivesTheIdentity) {
    float m[16];
    objectMatrix(Transform{}, m);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f) << "element " << i;
}

TEST(ObjectMatrix, MakesUpOrthogonalToForwardAndScales) {
    Transform t;
    t.forward[0] = 0, t.forward[1] = 0, t.forward[2] = 1;
    t.up[0] = 0, t.up[1] = 2, t.up[2] = 2;  // leans towards F and is not unit length
    t.position[0] = 1, t.position[1] = 2, t.position[2] = 3;
    t.scale = 2;
    float m[16];
    objectMatrix(t, m);
    const float expected[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 1, 2, 3, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(m[i], expected[i]) << "element " << i;
}

class ObjectMatrixFrames
    : public testing::TestWithParam<std::tuple<double, double, double, double>> {};

TEST_P(ObjectMatrixFrames, IsARightHandedRotationTimesScale) {
    const auto [yaw, pitch, lean, scale] = GetParam();
    Transform t;
    t.forward[0] = std::cos(pitch) * std::sin(yaw);
    t.forward[1] = std::sin(pitch);
    t.forward[2] = std::cos(pitch) * std::cos(yaw);
    // An up vector that leans towards forward by `lean`.
    t.up[0] = -std::sin(pitch) * std::sin(yaw) + lean * t.forward[0];
    t.up[1] = std::cos(pitch) + lean * t.forward[1];
    t.up[2] = -std::sin(pitch) * std::cos(yaw) + lean * t.forward[2];
    t.scale = scale;
    float m[16];
    objectMatrix(t, m);
    const auto column = [&m, scale](int c, int r) { return m[c * 4 + r] / scale; };
    for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b) {
            double dot = 0;
            for (int r = 0; r < 3; ++r)
                dot += column(a, r) * column(b, r);
            EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, 1e-5) << "columns " << a << ", " << b;
        }
    }
    for (int r = 0; r < 3; ++r)
        EXPECT_NEAR(column(2, r), t.forward[r], 1e-6);
    const double det = column(0, 0) * (column(1, 1) * column(2, 2) - column(1, 2) * column(2, 1)) -
                       column(1, 0) * (column(0, 1) * column(2, 2) - column(0, 2) * column(2, 1)) +
                       column(2, 0) * (column(0, 1) * column(1, 2) - column(0, 2) * column(1, 1));
    EXPECT_NEAR(det, 1.0, 1e-5);
    EXPECT_EQ(m[3], 0);
    EXPECT_EQ(m[7], 0);
    EXPECT_EQ(m[11], 0);
    EXPECT_EQ(m[15], 1);
}

INSTANTIATE_TEST_SUITE_P(Frames, ObjectMatrixFrames,
                         testing::Values(std::make_tuple(0.0, 0.0, 0.0, 1.0),
                                         std::make_tuple(0.7, 0.3, 0.5, 2.5),
                                         std::make_tuple(-2.0, -1.2, -3.0, 0.25),
                                         std::make_tuple(3.0, 1.5, 10.0, 7.0)));

struct PaletteCase {
    int entry;
    PaletteEntry colour;
};

class Palette332 : public testing::TestWithParam<PaletteCase> {};

TEST_P(Palette332, HoldsTheLevelsAndTheSystemColours) {
    const std::vector<PaletteEntry> palette = palette332();
    ASSERT_EQ(palette.size(), 256u);
    const PaletteEntry& got = palette[GetParam().entry];
    const PaletteEntry& want = GetParam().colour;
    EXPECT_EQ(got.red, want.red) << "entry " << GetParam().entry;
    EXPECT_EQ(got.green, want.green) << "entry " << GetParam().entry;
    EXPECT_EQ(got.blue, want.blue) << "entry " << GetParam().entry;
}

INSTANTIATE_TEST_SUITE_P(
    Entries, Palette332,
    testing::Values(PaletteCase{0, {0, 0, 0}}, PaletteCase{255, {255, 255, 255}},
                    // red from bits 0-2, green from bits 3-5, blue from bits 6-7
                    PaletteCase{5, {200, 0, 0}}, PaletteCase{5 << 3, {0, 200, 0}},
                    PaletteCase{2 << 6, {0, 0, 191}}, PaletteCase{157, {200, 139, 191}},
                    PaletteCase{1, {63, 0, 0}}, PaletteCase{4 << 3, {0, 171, 0}},
                    PaletteCase{(1 << 6) | 1, {63, 0, 116}},
                    // the twelve system colours
                    PaletteCase{3, {128, 0, 0}}, PaletteCase{24, {0, 128, 0}},
                    PaletteCase{27, {128, 128, 0}}, PaletteCase{64, {0, 0, 128}},
                    PaletteCase{67, {128, 0, 128}}, PaletteCase{88, {0, 128, 128}},
                    PaletteCase{91, {128, 128, 128}}, PaletteCase{164, {160, 160, 164}},
                    PaletteCase{173, {192, 192, 192}}, PaletteCase{181, {192, 220, 192}},
                    PaletteCase{236, {166, 202, 240}}, PaletteCase{247, {255, 251, 240}}));

}  // namespace
}  // namespace tessaro
