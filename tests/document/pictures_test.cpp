// Pictures of small documents drawn off-screen, compared with baselines that a
// person has looked at. A picture that differs is written to the build folder.
// TESSARO_UPDATE_BASELINES=1 writes missing baselines instead of failing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "document/headless_render.h"
#include "render/png.h"
#include "render/renderer.h"
#include "shell/navigation.h"

namespace tessaro {
namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 72;

const char* const kWhiteBackground = "<BACKGROUND><BACKCOLOR>1 1 1</BACKCOLOR></BACKGROUND>";
const char* const kOneLight =
    "<LIGHTING><AMBIENT>0.2 0.2 0.2</AMBIENT><DIRECTIONALLIGHT><DIRECTION>0 0 1</DIRECTION>"
    "<DIFFUSE>1 1 1</DIFFUSE><SPECULAR>1 1 1</SPECULAR></DIRECTIONALLIGHT></LIGHTING>";

std::string world(const std::string& body, const std::string& lighting = kOneLight,
                  const std::string& background = kWhiteBackground) {
    return "<WORLD>" + lighting + background + body + "</WORLD>";
}

std::string material(const std::string& id, const std::string& diffuse,
                     const std::string& extra = "") {
    return "<MAT ID=\"" + id + "\"><AMB>0.2 0.2 0.2</AMB><DIFF>" + diffuse + "</DIFF>" + extra +
           "</MAT>";
}

// A square from (x0, y0) to (x1, y1) at depth z, as two faces with normal +z.
std::string square(double x0, double y0, double x1, double y1, double z, const std::string& inner,
                   const std::string& texCoords = "") {
    auto vertex = [&](const char* tag, double x, double y, const char* tc) {
        return std::string("<") + tag + "><P>" + std::to_string(x) + " " + std::to_string(y) + " " +
               std::to_string(z) + "</P><N>0 0 1</N>" +
               (texCoords.empty() ? "" : std::string("<TC>") + tc + "</TC>") + "</" + tag + ">";
    };
    return "<F>" + inner + vertex("FV1", x0, y0, "0 0") + vertex("FV2", x1, y0, "1 0") +
           vertex("FV3", x1, y1, "1 1") + "</F><F>" + inner + vertex("FV1", x0, y0, "0 0") +
           vertex("FV2", x1, y1, "1 1") + vertex("FV3", x0, y1, "0 1") + "</F>";
}

// A square whose corner normals lean outwards, so that light and highlight vary
// across it.
std::string pillow() {
    const char* corners[4][2] = {{"-1 -1 0", "-0.6 -0.6 1"},
                                 {"1 -1 0", "0.6 -0.6 1"},
                                 {"1 1 0", "0.6 0.6 1"},
                                 {"-1 1 0", "-0.6 0.6 1"}};
    auto vertex = [&](const char* tag, int c) {
        return std::string("<") + tag + "><P>" + corners[c][0] + "</P><N>" + corners[c][1] +
               "</N></" + tag + ">";
    };
    return "<F><MATREF>1</MATREF>" + vertex("FV1", 0) + vertex("FV2", 1) + vertex("FV3", 2) +
           "</F><F><MATREF>1</MATREF>" + vertex("FV1", 0) + vertex("FV2", 2) + vertex("FV3", 3) +
           "</F>";
}

std::string lights(int count) {
    std::string text = "<LIGHTING><AMBIENT>0.1 0.1 0.1</AMBIENT>";
    for (int i = 0; i < count; ++i) {
        text += "<DIRECTIONALLIGHT><DIRECTION>" + std::to_string(i % 3 - 1) + " " +
                std::to_string((i / 3) % 3 - 1) +
                " 1</DIRECTION><DIFFUSE>0.12 0.12 0.12</DIFFUSE></DIRECTIONALLIGHT>";
    }
    return text + "</LIGHTING>";
}

// A 2x2 texture: red, green, blue and a fully transparent texel.
const char* const kTexels =
    "<TEXTURERGBA WIDTH=\"2\" HEIGHT=\"2\">FF0000FF00FF00FF0000FFFFFFFFFF00</TEXTURERGBA>";

std::string texture(const char* function) {
    return std::string("<TEXTURE>") + kTexels + "<" + function + "/><CLAMP/></TEXTURE>";
}

std::string spilledGrid() {
    std::string mesh = "<MESH>" + material("1", "0.2 0.6 0.9");
    const int n = 230;  // 2 * 230 * 230 = 105800 faces: more than the face table holds in memory
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            mesh += "<P ID=\"" + std::to_string(j * (n + 1) + i) + "\">" + std::to_string(i) + " " +
                    std::to_string(j) + " 0</P>";
        }
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i, b = a + 1, c = a + n + 1, d = c + 1;
            const int tris[2][3] = {{a, b, d}, {a, d, c}};
            for (const auto& t : tris) {
                mesh += "<F><MATREF>1</MATREF>";
                for (int v = 0; v < 3; ++v) {
                    mesh += "<FV" + std::to_string(v + 1) + "><PREF>" + std::to_string(t[v]) +
                            "</PREF></FV" + std::to_string(v + 1) + ">";
                }
                mesh += "</F>";
            }
        }
    }
    return mesh + "</MESH>";
}

// A cube from -1 to 1 with a material of its own on each side, normals outwards.
std::string cube() {
    const char* colours[6] = {"0.9 0.1 0.1", "0.1 0.8 0.1", "0.1 0.2 0.9",
                              "0.9 0.8 0.1", "0.1 0.8 0.8", "0.8 0.1 0.8"};
    std::string mesh = "<MESH>";
    for (int i = 0; i < 6; ++i)
        mesh += material(std::to_string(i + 1), colours[i]);
    // Per side: the axis it faces, its sign, and two axes spanning it.
    for (int side = 0; side < 6; ++side) {
        const int axis = side / 2;
        const double sign = side % 2 == 0 ? 1 : -1;
        const int u = (axis + 1) % 3, v = (axis + 2) % 3;
        auto corner = [&](double a, double b) {
            double p[3];
            p[axis] = sign;
            p[u] = a * sign;
            p[v] = b;
            double n[3] = {0, 0, 0};
            n[axis] = sign;
            auto triple = [](const double* x) {
                return std::to_string(x[0]) + " " + std::to_string(x[1]) + " " +
                       std::to_string(x[2]);
            };
            return "<P>" + triple(p) + "</P><N>" + triple(n) + "</N>";
        };
        const std::string ref = "<MATREF>" + std::to_string(side + 1) + "</MATREF>";
        mesh += "<F>" + ref + "<FV1>" + corner(-1, -1) + "</FV1><FV2>" + corner(1, -1) +
                "</FV2><FV3>" + corner(1, 1) + "</FV3></F>";
        mesh += "<F>" + ref + "<FV1>" + corner(-1, -1) + "</FV1><FV2>" + corner(1, 1) +
                "</FV2><FV3>" + corner(-1, 1) + "</FV3></F>";
    }
    return mesh + "</MESH>";
}

struct PictureCase {
    const char* name;
    std::string document;
    bool headlight = false;
    int turnX = 0, turnY = 0;  // an Examine drag from the middle, in pixels
};

void PrintTo(const PictureCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kGreen = material("1", "0.1 0.8 0.1");

const PictureCase kPictures[] = {
    {"background",
     world("", kOneLight, "<BACKGROUND><BACKCOLOR>0.2 0.4 0.8</BACKCOLOR></BACKGROUND>")},
    {"ambient_only",
     world("<MESH>" + kGreen + square(-1, -1, 1, 1, 0, "<MATREF>1</MATREF>") + "</MESH>",
           "<LIGHTING><AMBIENT>1 1 1</AMBIENT></LIGHTING>")},
    {"one_light",
     world("<MESH>" + kGreen + square(-1, -1, 1, 1, 0, "<MATREF>1</MATREF>") + "</MESH>")},
    {"eight_lights",
     world("<MESH>" + kGreen + square(-1, -1, 1, 1, 0, "<MATREF>1</MATREF>") + "</MESH>",
           lights(8))},
    {"shading_with_highlight",
     world("<MESH>" + material("1", "0.8 0.1 0.1", "<SPEC>1 1 1</SPEC><SHINE>20</SHINE>") +
               pillow() + "</MESH>",
           "<LIGHTING><AMBIENT>0.1 0.1 0.1</AMBIENT><DIRECTIONALLIGHT><DIRECTION>0.4 0.4 1"
           "</DIRECTION><DIFFUSE>1 1 1</DIFFUSE><SPECULAR>1 1 1</SPECULAR></DIRECTIONALLIGHT>"
           "</LIGHTING>")},
    {"transparent_after_opaque",
     world("<MESH>" + material("1", "0.1 0.1 0.9") +
           material("2", "0.9 0.1 0.1", "<ALPHA>0.5</ALPHA>") +
           square(-0.5, -0.5, 1, 1, 0.5, "<MATREF>2</MATREF>") +
           square(-1, -1, 0.5, 0.5, 0, "<MATREF>1</MATREF>") + "</MESH>")},
    {"surface_two_sided",
     world("<MESH><SURFACE/>" + kGreen +
           "<F><MATREF>1</MATREF><FV1><P>-1 -1 0</P><N>0 0 -1</N></FV1>"
           "<FV2><P>-1 1 0</P><N>0 0 -1</N></FV2><FV3><P>1 1 0</P><N>0 0 -1</N></FV3></F>"
           "</MESH>")},
    {"texture_replace",
     world("<MESH>" + kGreen +
           square(-1, -1, 1, 1, 0, "<MATREF>1</MATREF>" + texture("REPLACE"), "tc") + "</MESH>")},
    {"texture_modulate",
     world("<MESH>" + kGreen +
           square(-1, -1, 1, 1, 0, "<MATREF>1</MATREF>" + texture("MODULATE"), "tc") + "</MESH>")},
    {"texture_one_texel",
     world("<MESH>" + kGreen +
           square(-1, -1, 1, 1, 0,
                  "<MATREF>1</MATREF><TEXTURE><TEXTURERGB WIDTH=\"1\" HEIGHT=\"1\">FF8000"
                  "</TEXTURERGB><REPLACE/><REPEAT/></TEXTURE>",
                  "tc") +
           "</MESH>")},
    {"lines_stippled_and_wide",
     world("<MESH>" + material("1", "0 0 0") +
           "<LINESTYLE ID=\"2\"><LINEWIDTH>4</LINEWIDTH></LINESTYLE>"
           "<LINESTYLE ID=\"3\"><LINEWIDTH>1</LINEWIDTH><LINEPATTERN>F0F0</LINEPATTERN>"
           "<LINEPATTERNFACTOR>2</LINEPATTERNFACTOR></LINESTYLE>"
           "<L><MATREF>1</MATREF><LINESTYLEREF>2</LINESTYLEREF><LV1><P>-1 -0.5 0</P></LV1>"
           "<LV2><P>1 -0.5 0</P></LV2></L>"
           "<L><MATREF>1</MATREF><LINESTYLEREF>3</LINESTYLEREF><LV1><P>-1 0.5 0</P></LV1>"
           "<LV2><P>1 0.5 0</P></LV2></L></MESH>")},
    {"points_of_several_sizes",
     world("<MESH>" + material("1", "0 0 0") +
           "<POINTSTYLE ID=\"1\"><POINTSIZE>2</POINTSIZE></POINTSTYLE>"
           "<POINTSTYLE ID=\"2\"><POINTSIZE>6</POINTSIZE></POINTSTYLE>"
           "<POINTSTYLE ID=\"3\"><POINTSIZE>12</POINTSIZE></POINTSTYLE>"
           "<PT><MATREF>1</MATREF><POINTSTYLEREF>1</POINTSTYLEREF><PV1><P>-1 0 0</P></PV1></PT>"
           "<PT><MATREF>1</MATREF><POINTSTYLEREF>2</POINTSTYLEREF><PV1><P>0 0 0</P></PV1></PT>"
           "<PT><MATREF>1</MATREF><POINTSTYLEREF>3</POINTSTYLEREF><PV1><P>1 0 0</P></PV1></PT>"
           "</MESH>")},
    {"object_transform",
     world(kGreen + "<MESH ID=\"5\">" + square(0, 0, 1, 1, 0, "<MATREF>1</MATREF>") + "</MESH>" +
           "<OBJECT><MESHREF>5</MESHREF></OBJECT>"
           "<OBJECT><TRANSFORM><FORWARD>0 0 1</FORWARD><UP>-1 1 0</UP>"
           "<POSITION>2 0 0</POSITION><SCALE>0.5</SCALE></TRANSFORM><MESHREF>5</MESHREF>"
           "</OBJECT>")},
    {"spilled_mesh_group", world(spilledGrid())},
    {"ambient_only_headlight",
     world("<MESH>" + kGreen + square(-1, -1, 1, 1, 0, "<MATREF>1</MATREF>") + "</MESH>",
           "<LIGHTING><AMBIENT>0.2 0.2 0.2</AMBIENT></LIGHTING>"),
     true},
    {"ambient_only_dim",
     world("<MESH>" + kGreen + square(-1, -1, 1, 1, 0, "<MATREF>1</MATREF>") + "</MESH>",
           "<LIGHTING><AMBIENT>0.2 0.2 0.2</AMBIENT></LIGHTING>")},
    {"cube_front", world(cube())},
    {"cube_turned", world(cube()), false, 40, 30},
    {"cube_turned_headlight", world(cube(), "<LIGHTING><AMBIENT>0.2 0.2 0.2</AMBIENT></LIGHTING>"),
     true, -40, 30},
};

class Pictures : public ::testing::TestWithParam<PictureCase> {};

// Pixels that differ by more than a few levels in some channel; llvmpipe rounds a
// little differently between versions.
int differingPixels(const RgbImage& a, const RgbImage& b) {
    int differing = 0;
    for (std::size_t i = 0; i + 2 < a.pixels.size(); i += 3) {
        for (int c = 0; c < 3; ++c) {
            if (std::abs(a.pixels[i + c] - b.pixels[i + c]) > 24) {
                ++differing;
                break;
            }
        }
    }
    return differing;
}

TEST_P(Pictures, MatchTheirBaselines) {
    const PictureCase& c = GetParam();
    const std::filesystem::path out(TESSARO_PICTURE_OUT);
    std::filesystem::create_directories(out);
    const std::string document = (out / (std::string(c.name) + ".xgl")).string();
    std::ofstream(document) << c.document;

    RgbImage picture;
    viewState().setHeadlight(c.headlight);
    const LoadResult result = renderDocument(document, kWidth, kHeight, picture, [&c] {
        if (c.turnX == 0 && c.turnY == 0) return;
        Camera camera;
        viewState().getOrientation(camera.forward, camera.up);
        viewState().getViewBox(camera.centre, camera.size);
        const Camera turned = examineTurn(camera, c.turnX, c.turnY, kWidth, kHeight);
        viewState().setOrientation(turned.forward, turned.up);
    });
    viewState().setHeadlight(false);
    ASSERT_TRUE(result.loaded()) << result.message;

    const std::string baseline = std::string(TESSARO_BASELINES) + "/" + c.name + ".png";
    RgbImage expected;
    if (!readPng(baseline, expected)) {
        const char* update = std::getenv("TESSARO_UPDATE_BASELINES");
        ASSERT_TRUE(update != nullptr && std::string(update) == "1") << "no baseline " << baseline;
        ASSERT_TRUE(writePng(baseline, picture));
        GTEST_SKIP() << "wrote the baseline " << baseline << "; look at it before committing";
    }
    ASSERT_EQ(expected.width, picture.width);
    ASSERT_EQ(expected.height, picture.height);
    const int differing = differingPixels(expected, picture);
    if (differing > kWidth * kHeight / 200) {
        writePng((out / (std::string(c.name) + ".actual.png")).string(), picture);
        FAIL() << differing << " pixels differ from " << baseline << "; the picture is in " << out;
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, Pictures, ::testing::ValuesIn(kPictures),
                         [](const auto& info) { return std::string(info.param.name); });

// A unit sphere of `stacks` x `slices` quads (two faces each, fans at the poles), its
// positions shared by ID. With `exactNormals` every vertex names the exact normal (the
// position itself); without, every face is in smoothing group 1 and names none.
std::string sphere(int stacks, int slices, bool exactNormals) {
    const double pi = 3.14159265358979323846;
    std::string mesh = "<MESH>" + material("1", "0.8 0.5 0.2");
    auto index = [&](int i, int j) {
        return i == 0 ? 0 : i == stacks ? 1 : 2 + (i - 1) * slices + j % slices;
    };
    auto define = [&](int id, double x, double y, double z) {
        const std::string xyz =
            std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z);
        mesh += "<P ID=\"" + std::to_string(id) + "\">" + xyz + "</P>";
        if (exactNormals) mesh += "<N ID=\"" + std::to_string(id) + "\">" + xyz + "</N>";
    };
    define(0, 0, 1, 0);
    define(1, 0, -1, 0);
    for (int i = 1; i < stacks; ++i) {
        const double polar = pi * i / stacks;
        for (int j = 0; j < slices; ++j) {
            const double azimuth = 2 * pi * j / slices;
            define(index(i, j), std::sin(polar) * std::sin(azimuth), std::cos(polar),
                   std::sin(polar) * std::cos(azimuth));
        }
    }
    auto face = [&](int a, int b, int c) {
        mesh += exactNormals ? "<F><MATREF>1</MATREF>" : "<F><S>1</S><MATREF>1</MATREF>";
        const int corners[3] = {a, b, c};
        for (int v = 0; v < 3; ++v) {
            const std::string tag = "FV" + std::to_string(v + 1), id = std::to_string(corners[v]);
            mesh += "<" + tag + "><PREF>" + id + "</PREF>" +
                    (exactNormals ? "<NREF>" + id + "</NREF>" : "") + "</" + tag + ">";
        }
        mesh += "</F>";
    };
    for (int i = 0; i < stacks; ++i) {
        for (int j = 0; j < slices; ++j) {
            const int a = index(i, j), b = index(i + 1, j), c = index(i + 1, j + 1),
                      d = index(i, j + 1);
            if (i != stacks - 1) face(a, b, c);
            if (i != 0) face(a, c, d);
        }
    }
    return mesh + "</MESH>";
}

RgbImage drawn(const std::string& name, const std::string& document, int width, int height) {
    const std::filesystem::path out(TESSARO_PICTURE_OUT);
    std::filesystem::create_directories(out);
    const std::string file = (out / (name + ".xgl")).string();
    std::ofstream(file) << document;
    RgbImage picture;
    const LoadResult result = renderDocument(file, width, height, picture);
    EXPECT_TRUE(result.loaded()) << result.message;
    writePng((out / (name + ".png")).string(), picture);
    return picture;
}

struct SphereCase {
    const char* name;
    int stacks, slices;
};

void PrintTo(const SphereCase& c, std::ostream* os) {
    *os << c.name;
}

class GeneratedNormals : public ::testing::TestWithParam<SphereCase> {};

// A sphere whose file gives no normals is shaded like the same sphere with exact ones:
// not one flat disc, and, when its faces spill into several chunks, without dark seams
// where the chunks meet.
TEST_P(GeneratedNormals, ShadeLikeExactNormals) {
    const SphereCase& c = GetParam();
    const std::string light =
        "<LIGHTING><AMBIENT>0.1 0.1 0.1</AMBIENT><DIRECTIONALLIGHT><DIRECTION>0.5 0.4 1"
        "</DIRECTION><DIFFUSE>1 1 1</DIFFUSE><SPECULAR>1 1 1</SPECULAR></DIRECTIONALLIGHT>"
        "</LIGHTING>";
    const int width = 200, height = 200;
    const RgbImage exact = drawn(std::string(c.name) + "_exact",
                                 world(sphere(c.stacks, c.slices, true), light), width, height);
    const RgbImage generated =
        drawn(std::string(c.name) + "_generated", world(sphere(c.stacks, c.slices, false), light),
              width, height);
    ASSERT_EQ(exact.pixels.size(), generated.pixels.size());
    EXPECT_LE(differingPixels(exact, generated), width * height / 400)
        << "the pictures are in " << TESSARO_PICTURE_OUT;
}

INSTANTIATE_TEST_SUITE_P(Spheres, GeneratedNormals,
                         ::testing::Values(SphereCase{"sphere_whole", 24, 48},
                                           // about 2 * 230 * 230 faces: cut into two chunks
                                           SphereCase{"sphere_spilled", 230, 230}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessaro
