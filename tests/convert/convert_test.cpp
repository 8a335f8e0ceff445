// The exports of `convert` checked against the rules of their formats: the GLB
// container and glTF buffer layout byte by byte, and what the viewer draws (instances,
// transforms, materials, texture coordinates, generated normals, lines and points).
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "convert/convert.h"
#include "convert/writers.h"

namespace tessaro {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

const std::string kData = std::string(TESSARO_TEST_DATA) + "/convert/";
const std::string kSamples = std::string(TESSARO_TEST_DATA) + "/../../samples/";

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t word(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// v turned by the unit quaternion of a node's "rotation": v + 2 w (q x v) + 2 q x (q x v).
std::vector<double> rotated(const json& rotation, std::vector<double> v) {
    const double x = rotation[0], y = rotation[1], z = rotation[2], w = rotation[3];
    const double c[3] = {y * v[2] - z * v[1], z * v[0] - x * v[2], x * v[1] - y * v[0]};
    const double cc[3] = {y * c[2] - z * c[1], z * c[0] - x * c[2], x * c[1] - y * c[0]};
    for (int i = 0; i < 3; ++i)
        v[i] += 2 * w * c[i] + 2 * cc[i];
    return v;
}

class ConvertTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("convert-test-" + std::to_string(getpid()));
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string out(const std::string& name) const { return (m_folder / name).string(); }

    std::string convert(const std::string& document, const std::string& name,
                        ConvertOptions options = {}) {
        ExportFormat format{};
        EXPECT_TRUE(exportFormatOf(name, format)) << name;
        const ConvertResult result = convertDocument(document.c_str(), out(name), format, options);
        EXPECT_TRUE(result.written()) << result.load.message << result.writeError;
        return out(name);
    }

    // Reads a GLB file as its layout rules say: a 12-byte header (magic, version 2,
    // the file's length), a JSON chunk padded with spaces to 4 bytes, then a BIN chunk
    // padded to 4 bytes, each chunk starting with its length and type.
    void readGlb(const std::string& path) {
        const std::vector<std::uint8_t> file = readBytes(path);
        ASSERT_GE(file.size(), 20u);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "glTF");
        EXPECT_EQ(word(file, 4), 2u);
        EXPECT_EQ(word(file, 8), file.size());
        const std::uint32_t jsonLength = word(file, 12);
        EXPECT_EQ(word(file, 16), 0x4E4F534Au);
        ASSERT_EQ(jsonLength % 4, 0u);
        ASSERT_LE(20u + jsonLength, file.size());
        const std::string text(file.begin() + 20, file.begin() + 20 + jsonLength);
        m_doc = json::parse(text.substr(0, text.find_last_not_of(' ') + 1));
        m_bin.clear();
        const std::size_t binAt = 20 + jsonLength;
        if (binAt == file.size()) return;
        ASSERT_LE(binAt + 8, file.size());
        const std::uint32_t binLength = word(file, binAt);
        EXPECT_EQ(word(file, binAt + 4), 0x004E4942u);
        EXPECT_EQ(binLength % 4, 0u);
        EXPECT_EQ(binAt + 8 + binLength, file.size());
        m_bin.assign(file.begin() + static_cast<long>(binAt) + 8, file.end());
        const std::uint64_t declared = m_doc["buffers"][0]["byteLength"];
        EXPECT_LE(declared, m_bin.size());
        EXPECT_LT(m_bin.size() - declared, 4u);
    }

    // An accessor's values as floats (or indices), after checking that it lies inside
    // its buffer view and the view inside the buffer, aligned to its component size.
    std::vector<double> values(int accessor) {
        const json& a = m_doc["accessors"][accessor];
        const json& view = m_doc["bufferViews"][a["bufferView"].get<int>()];
        const std::uint64_t offset =
            view["byteOffset"].get<std::uint64_t>() + a.value("byteOffset", 0);
        const std::string type = a["type"];
        const int components = type == "SCALAR" ? 1 : type[3] - '0';
        const std::uint64_t count = a["count"].get<std::uint64_t>() * components;
        EXPECT_EQ(offset % 4, 0u);
        EXPECT_LE(count * 4, view["byteLength"].get<std::uint64_t>());
        EXPECT_LE(view["byteOffset"].get<std::uint64_t>() + view["byteLength"].get<std::uint64_t>(),
                  m_doc["buffers"][0]["byteLength"].get<std::uint64_t>());
        std::vector<double> out;
        if (offset + count * 4 > m_bin.size()) return out;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint32_t bits = word(m_bin, offset + i * 4);
            float f;
            std::memcpy(&f, &bits, 4);
            out.push_back(a["componentType"] == 5125 ? double(bits) : double(f));
        }
        return out;
    }

    // Every primitive's arrays obey the rules readers rely on.
    void checkPrimitives() {
        for (const json& mesh : m_doc["meshes"]) {
            for (const json& p : mesh["primitives"]) {
                const int position = p["attributes"]["POSITION"];
                const std::vector<double> positions = values(position);
                const json& a = m_doc["accessors"][position];
                for (int axis = 0; axis < 3; ++axis) {
                    double low = 1e300, high = -1e300;
                    for (std::size_t i = axis; i < positions.size(); i += 3) {
                        low = std::min(low, positions[i]);
                        high = std::max(high, positions[i]);
                    }
                    EXPECT_EQ(a["min"][axis].get<double>(), low);
                    EXPECT_EQ(a["max"][axis].get<double>(), high);
                }
                const std::vector<double> normals = values(p["attributes"]["NORMAL"]);
                ASSERT_EQ(normals.size(), positions.size());
                for (std::size_t i = 0; i < normals.size(); i += 3) {
                    EXPECT_NEAR(std::hypot(normals[i], normals[i + 1], normals[i + 2]), 1.0, 1e-5);
                }
                for (const double index : values(p["indices"]))
                    EXPECT_LT(index, positions.size() / 3);
            }
        }
    }

    // The primitives of mesh 0 with the given mode.
    std::vector<json> primitivesOf(int mode) {
        std::vector<json> found;
        for (const json& p : m_doc["meshes"][0]["primitives"]) {
            if (p["mode"] == mode) found.push_back(p);
        }
        return found;
    }

    const json* node(const std::string& name) const {
        for (const json& n : m_doc["nodes"]) {
            if (n.value("name", "") == name) return &n;
        }
        return nullptr;
    }

    fs::path m_folder;
    json m_doc;
    std::vector<std::uint8_t> m_bin;
};

TEST_F(ConvertTest, GlbFilesFollowTheContainerAndBufferRules) {
    for (const std::string& document :
         {kSamples + "house.xgl", kSamples + "terrain.zgl", kData + "textured.xgl",
          kData + "instanced.xgl", kData + "lines.xgl", kData + "points.xgl",
          kData + "empty.xgl"}) {
        SCOPED_TRACE(document);
        readGlb(convert(document, "out.glb"));
        checkPrimitives();
        EXPECT_NE(m_doc["scenes"][0].value("nodes", json::array({0})), json::array());
        for (const json& image : m_doc.value("images", json::array())) {
            const json& view = m_doc["bufferViews"][image["bufferView"].get<int>()];
            const std::uint64_t at = view["byteOffset"];
            ASSERT_LT(at + 8, m_bin.size());
            EXPECT_EQ(std::memcmp(&m_bin[at], "\x89PNG\r\n\x1a\n", 8), 0);
        }
    }
}

// A glTF node has one parent: each instance of an object is a node of its own, while
// the mesh they draw is written once.
TEST_F(ConvertTest, InstancesShareOneMeshAndKeepTheirTransforms) {
    readGlb(convert(kData + "instanced.xgl", "out.glb"));
    ASSERT_EQ(m_doc["meshes"].size(), 1u);
    int drawing = 0, pairs = 0;
    for (const json& n : m_doc["nodes"]) {
        drawing += n.contains("mesh") ? 1 : 0;
        pairs += n.value("name", "") == "Pair" ? 1 : 0;
    }
    EXPECT_EQ(drawing, 4);
    EXPECT_EQ(pairs, 2);
    // "Back": forward (0, 1, 0), up (0, 0, 1), so x maps to up x forward = (-1, 0, 0).
    const json* back = node("Back");
    ASSERT_NE(back, nullptr);
    const std::vector<std::vector<double>> axes = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const std::vector<std::vector<double>> images = {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}};
    for (int a = 0; a < 3; ++a) {
        const std::vector<double> r = rotated((*back)["rotation"], axes[a]);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(r[i], images[a][i], 1e-9) << "axis " << a;
    }
    EXPECT_EQ((*back)["scale"], json::array({2.0, 2.0, 2.0}));
    EXPECT_EQ((*back)["translation"], json::array({0.0, 0.0, -2.0}));

    // STL has no tree: the instances are placed in world coordinates. Corner (0, 1, 0)
    // of "Left" lies at (-1, 1, 0) in "Pair", so "Back" puts it at
    // 2 * (-1 * (-1, 0, 0) + 1 * (0, 0, 1)) + (0, 0, -2) = (2, 0, 0).
    const std::vector<std::uint8_t> stl = readBytes(convert(kData + "instanced.xgl", "out.stl"));
    ASSERT_EQ(stl.size(), 84u + 8 * 50);
    EXPECT_EQ(word(stl, 80), 8u);
    bool found = false;
    for (std::size_t t = 0; t < 8; ++t) {
        for (int corner = 0; corner < 3; ++corner) {
            float p[3];
            std::memcpy(p, &stl[84 + t * 50 + 12 + corner * 12], 12);
            found = found ||
                    (std::abs(p[0] - 2) < 1e-6 && std::abs(p[1]) < 1e-6 && std::abs(p[2]) < 1e-6);
        }
    }
    EXPECT_TRUE(found);
}

// Both sides are drawn when any face of the mesh is transparent; alpha below 1 blends;
// the Phong exponent sets the roughness.
TEST_F(ConvertTest, MaterialsAreWhatTheViewerDraws) {
    readGlb(convert(kData + "transparent.xgl", "out.glb"));
    ASSERT_EQ(m_doc["materials"].size(), 2u);
    int blended = 0;
    for (const json& m : m_doc["materials"]) {
        EXPECT_TRUE(m["doubleSided"].get<bool>());
        const json& pbr = m["pbrMetallicRoughness"];
        if (m.value("alphaMode", "OPAQUE") == "BLEND") {
            ++blended;
            EXPECT_FLOAT_EQ(pbr["baseColorFactor"][3].get<float>(), 0.4f);
            EXPECT_NEAR(pbr["roughnessFactor"].get<double>(), std::pow(2.0 / 82.0, 0.25), 1e-9);
        } else {
            // The diffuse 0.8 0.2 0.2 of the document, as linear values.
            const double wanted[4] = {0.603827, 0.033105, 0.033105, 1.0};
            for (int i = 0; i < 4; ++i)
                EXPECT_NEAR(pbr["baseColorFactor"][i].get<double>(), wanted[i], 1e-5);
        }
    }
    EXPECT_EQ(blended, 1);

    readGlb(convert(kSamples + "house.xgl", "house.glb"));
    // The emission 0.4 0.1 0.2 of material 8, as linear values.
    int emissive = 0;
    for (const json& m : m_doc["materials"]) {
        const json& e = m["emissiveFactor"];
        emissive += std::abs(e[0].get<double>() - 0.132868) < 1e-5 &&
                    std::abs(e[1].get<double>() - 0.010023) < 1e-5 &&
                    std::abs(e[2].get<double>() - 0.033105) < 1e-5;
    }
    EXPECT_EQ(emissive, 1);
    EXPECT_EQ(m_doc["scenes"][0]["extras"]["backgroundColor"], json::array({0.72, 0.84, 0.96}));
    EXPECT_EQ(m_doc["extensions"]["KHR_lights_punctual"]["lights"].size(), 2u);
    // A light node shines along its -z: the viewer's first light, at direction
    // (-0.4, 0.5, 0.8), shines from there, so the node's +z points to it.
    const json* light = node("Light 1");
    ASSERT_NE(light, nullptr);
    const std::vector<double> z = rotated((*light)["rotation"], {0, 0, 1});
    const double length = std::sqrt(0.16 + 0.25 + 0.64);
    EXPECT_NEAR(z[0], -0.4 / length, 1e-6);
    EXPECT_NEAR(z[1], 0.5 / length, 1e-6);
    EXPECT_NEAR(z[2], 0.8 / length, 1e-6);
}

// The RGBA texture is clamped, cut out where its texels are transparent, and its
// coordinate transform (s' = 2 s + 0.25, t' = t + 0.5) is applied to the coordinates.
TEST_F(ConvertTest, TexturesCarryWrapAlphaAndCoordinateTransform) {
    readGlb(convert(kData + "textured.xgl", "out.glb"));
    const json* clamped = nullptr;
    for (const json& m : m_doc["materials"]) {
        if (m.value("alphaMode", "") == "MASK") clamped = &m;
    }
    ASSERT_NE(clamped, nullptr);
    const int texture = (*clamped)["pbrMetallicRoughness"]["baseColorTexture"]["index"];
    const json& sampler = m_doc["samplers"][m_doc["textures"][texture]["sampler"].get<int>()];
    EXPECT_EQ(sampler["wrapS"], 33071);
    EXPECT_EQ(sampler["wrapT"], 33071);

    const int material = static_cast<int>(clamped - &m_doc["materials"][0]);
    for (const json& p : primitivesOf(4)) {
        if (p["material"] != material) continue;
        const std::vector<double> uv = values(p["attributes"]["TEXCOORD_0"]);
        std::vector<std::pair<double, double>> pairs;
        for (std::size_t i = 0; i + 1 < uv.size(); i += 2)
            pairs.emplace_back(uv[i], uv[i + 1]);
        for (const auto& wanted :
             {std::pair{0.25, 0.5}, std::pair{2.25, 0.5}, std::pair{2.25, 1.5}})
            EXPECT_NE(std::find(pairs.begin(), pairs.end(), wanted), pairs.end());
    }

    // The image decodes to its pixels: two opaque green columns, two transparent ones.
    const int image = m_doc["textures"][texture]["source"];
    const json& view = m_doc["bufferViews"][m_doc["images"][image]["bufferView"].get<int>()];
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&png,
                                                 &m_bin[view["byteOffset"].get<std::size_t>()],
                                                 view["byteLength"].get<std::size_t>()));
    png.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(png));
    ASSERT_TRUE(png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(png.width, 4u);
    EXPECT_EQ(png.height, 2u);
    EXPECT_EQ(std::vector<std::uint8_t>(pixels.begin(), pixels.begin() + 4),
              (std::vector<std::uint8_t>{0, 255, 0, 255}));
    EXPECT_EQ(pixels[3 * 4 + 3], 0);

    // OBJ counts t from the image's bottom, and the image is a file beside the MTL.
    const std::string obj = convert(kData + "textured.xgl", "out.obj");
    std::ifstream in(obj);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("\nvt 2.25 -0.5\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(out("out_texture1.png")));
    EXPECT_TRUE(fs::exists(out("out.mtl")));
}

// A texture applied with "replace" shows its own colours and alpha, unlit: the
// material's colour does not tint it and its partly transparent texels blend.
TEST_F(ConvertTest, AReplacedTextureIsUnlit) {
    readGlb(convert(kData + "replace.xgl", "out.glb"));
    EXPECT_EQ(m_doc["extensionsUsed"], json::array({"KHR_materials_unlit", "KHR_lights_punctual"}));
    int unlit = 0;
    for (const json& m : m_doc["materials"]) {
        const bool textured = m["pbrMetallicRoughness"].contains("baseColorTexture");
        EXPECT_EQ(m.contains("extensions"), textured);
        if (!textured) continue;
        ++unlit;
        EXPECT_TRUE(m["extensions"].contains("KHR_materials_unlit"));
        EXPECT_EQ(m["pbrMetallicRoughness"]["baseColorFactor"], json::array({1.0, 1.0, 1.0, 1.0}));
        EXPECT_EQ(m["alphaMode"], "BLEND");
    }
    EXPECT_EQ(unlit, 1);
}

// Faces without smoothing groups get their flat face normal, as the viewer draws them.
TEST_F(ConvertTest, GeneratedNormalsAreExported) {
    readGlb(convert(kData + "no-normals.xgl", "out.glb"));
    const json& p = m_doc["meshes"][0]["primitives"][0];
    const std::vector<double> positions = values(p["attributes"]["POSITION"]);
    const std::vector<double> normals = values(p["attributes"]["NORMAL"]);
    const std::vector<double> indices = values(p["indices"]);
    ASSERT_EQ(indices.size(), 12u);
    // Face 1: (0, 0, 0), (1, 0, 0), (0.5, 0.5, 1): normal (0, -1, 0.5) / |.|.
    const double length = std::sqrt(1.25);
    for (int corner = 0; corner < 3; ++corner) {
        const auto v = static_cast<std::size_t>(indices[corner]);
        EXPECT_NEAR(normals[v * 3], 0, 1e-6);
        EXPECT_NEAR(normals[v * 3 + 1], -1 / length, 1e-6);
        EXPECT_NEAR(normals[v * 3 + 2], 0.5 / length, 1e-6);
    }
    EXPECT_EQ(positions.size(), normals.size());
}

// Lines and points stay line and point primitives with their width and size; a line
// vertex without a normal takes the viewer's default (0, 0, 1).
TEST_F(ConvertTest, LinesAndPointsKeepTheirKind) {
    readGlb(convert(kData + "lines.xgl", "out.glb"));
    std::size_t lineIndices = 0;
    bool wide = false, given = false, defaulted = false;
    for (const json& p : primitivesOf(1)) {
        lineIndices += values(p["indices"]).size();
        wide = wide || p["extras"]["lineWidth"] == 3.0;
        const std::vector<double> normals = values(p["attributes"]["NORMAL"]);
        for (std::size_t i = 0; i < normals.size(); i += 3) {
            given = given || (normals[i + 1] == 1.0);
            defaulted = defaulted || (normals[i + 2] == 1.0);
        }
    }
    EXPECT_EQ(lineIndices, 6u);
    EXPECT_TRUE(wide && given && defaulted);
    EXPECT_TRUE(primitivesOf(4).empty());

    readGlb(convert(kData + "points.xgl", "out.glb"));
    std::size_t pointIndices = 0;
    bool large = false;
    for (const json& p : primitivesOf(0)) {
        pointIndices += values(p["indices"]).size();
        large = large || p["extras"]["pointSize"] == 5.0;
    }
    EXPECT_EQ(pointIndices, 4u);
    EXPECT_TRUE(large);
}

// A mesh whose tables spill arrives in chunks: they become the primitives of one mesh,
// and the .gltf's .bin holds exactly the buffer it declares.
TEST_F(ConvertTest, ASpilledMeshBecomesOneMeshOfManyPrimitives) {
    constexpr int kSide = 240;  // 2 * 239 * 239 = 114242 faces: more than one chunk
    const std::string document = out("spilled.xgl");
    {
        std::ofstream xgl(document);
        xgl << "<WORLD><BACKGROUND><BACKCOLOR>1 1 1</BACKCOLOR></BACKGROUND><LIGHTING><AMBIENT>"
               "0.2 0.2 0.2</AMBIENT></LIGHTING><MESH><MAT ID=\"1\"><AMB>0 0 0</AMB><DIFF>1 0 0"
               "</DIFF></MAT>\n";
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                xgl << "<P ID=\"" << y * kSide + x << "\">" << x << ' ' << y << " 0</P>\n";
        const auto face = [&xgl](int a, int b, int c) {
            xgl << "<F><MATREF>1</MATREF><FV1><PREF>" << a << "</PREF></FV1><FV2><PREF>" << b
                << "</PREF></FV2><FV3><PREF>" << c << "</PREF></FV3></F>\n";
        };
        for (int y = 0; y + 1 < kSide; ++y) {
            for (int x = 0; x + 1 < kSide; ++x) {
                const int at = y * kSide + x;
                face(at, at + 1, at + kSide + 1);
                face(at, at + kSide + 1, at + kSide);
            }
        }
        xgl << "</MESH></WORLD>\n";
    }
    const std::string gltf = convert(document, "spilled.gltf");
    std::ifstream in(gltf);
    m_doc = json::parse(in);
    m_bin = readBytes(out("spilled.bin"));
    EXPECT_EQ(m_doc["buffers"][0]["uri"], "spilled.bin");
    EXPECT_EQ(m_doc["buffers"][0]["byteLength"].get<std::size_t>(), m_bin.size());
    ASSERT_EQ(m_doc["meshes"].size(), 1u);
    const json& primitives = m_doc["meshes"][0]["primitives"];
    EXPECT_GE(primitives.size(), 2u);
    std::size_t indices = 0;
    for (const json& p : primitives)
        indices += m_doc["accessors"][p["indices"].get<int>()]["count"].get<std::size_t>();
    EXPECT_EQ(indices, 3u * 2 * (kSide - 1) * (kSide - 1));
    checkPrimitives();
}

TEST_F(ConvertTest, AnOutputThatCannotBeWrittenIsReported) {
    const ConvertResult result = convertDocument(
        (kSamples + "house.xgl").c_str(), out("no/such/folder/out.glb"), ExportFormat::glb, {});
    EXPECT_TRUE(result.load.loaded());
    EXPECT_FALSE(result.written());
    EXPECT_NE(result.writeError.find("no/such/folder"), std::string::npos);

    // The .bin can be written but not the .gltf (a folder has its name): neither stays.
    fs::create_directories(out("taken.gltf"));
    const ConvertResult half = convertDocument((kSamples + "house.xgl").c_str(), out("taken.gltf"),
                                               ExportFormat::gltf, {});
    EXPECT_FALSE(half.written());
    EXPECT_FALSE(fs::exists(out("taken.bin")));
}

TEST(ExportNames, FormatsAndCompanionFilesFollowTheName) {
    const struct {
        const char* name;
        bool known;
        ExportFormat format;
    } cases[] = {{"a.glb", true, ExportFormat::glb},
                 {"dir.x/A.GLTF", true, ExportFormat::gltf},
                 {"a.b.obj", true, ExportFormat::obj},
                 {"a.Stl", true, ExportFormat::stl},
                 {"a.dae", false, {}},
                 {"glb", false, {}},
                 {"dir/.glb", false, {}},
                 {"dir.glb/a", false, {}}};
    for (const auto& c : cases) {
        ExportFormat format{};
        EXPECT_EQ(exportFormatOf(c.name, format), c.known) << c.name;
        if (c.known) {
            EXPECT_EQ(format, c.format) << c.name;
        }
    }
    EXPECT_EQ(withExtension("dir.x/a.b.gltf", ".bin"), "dir.x/a.b.bin");
    EXPECT_EQ(stemOf("dir.x/a.b.gltf"), "a.b");
}

}  // namespace
}  // namespace tessaro
