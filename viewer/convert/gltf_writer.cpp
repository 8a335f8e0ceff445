// The glTF document is built with nlohmann::json after the load, outside the XML
// parser's callbacks; only the buffer, which can be far larger than memory allows,
// streams from the BinaryStore into the file.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "convert/scene_walk.h"
#include "convert/writers.h"

namespace tessaro {

namespace {

using nlohmann::json;

constexpr int kFloat = 5126;
constexpr int kUnsignedInt = 5125;
constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kRepeat = 10497;
constexpr int kClampToEdge = 33071;
constexpr int kLinear = 9729;
constexpr std::uint32_t kGlbMagic = 0x46546C67;   // "glTF"
constexpr std::uint32_t kJsonChunk = 0x4E4F534A;  // "JSON"
constexpr std::uint32_t kBinChunk = 0x004E4942;   // "BIN\0"
// The default picture of `tessaro-cli render` is 800 x 600.
constexpr double kDefaultAspect = 800.0 / 600.0;

// A float as the double that prints as the float's shortest form: 0.8f is written
// 0.8, not 0.800000011920929.
double real(float value) {
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits - 1, value).ptr;
    *end = '\0';
    return std::strtod(digits, nullptr);
}

json colour3(const float* c) {
    return json::array({real(c[0]), real(c[1]), real(c[2])});
}

// glTF colour factors are linear; the viewer's colours go to the screen as they are,
// that is as sRGB values. Converting them keeps what a glTF renderer shows as the
// viewer shows it.
float linearOf(float srgb) {
    const double c = std::clamp(double{srgb}, 0.0, 1.0);
    return static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
}

json linearColour3(const float* c) {
    return json::array({real(linearOf(c[0])), real(linearOf(c[1])), real(linearOf(c[2]))});
}

std::string percentEncoded(const std::string& name) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : name) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

class GltfBuilder {
  public:
    GltfBuilder(const ExportScene& scene, const ConvertOptions& options)
        : m_scene(scene), m_options(options) {}

    // The whole document; false with `failure` set when the tree is too large.
    bool build(json& doc, std::string& failure);

  private:
    int bufferView(std::uint64_t offset, std::uint64_t length, int target);
    int accessor(std::uint64_t offset, std::uint32_t count, int componentType, const char* type,
                 int target);
    json primitive(std::uint32_t index);
    int mesh(std::int32_t handle, const std::vector<std::uint32_t>& primitives);
    int material(std::int32_t index);
    int texture(std::int32_t index);
    int image(std::int32_t index);
    int sampler(std::int32_t wrap);
    json node(const NodeVisit& visit);
    void addLights(json& roots);
    void addCamera(json& roots);

    const ExportScene& m_scene;
    const ConvertOptions& m_options;
    json m_bufferViews = json::array();
    json m_accessors = json::array();
    json m_meshes = json::array();
    json m_materials = json::array();
    json m_textures = json::array();
    json m_images = json::array();
    json m_samplers = json::array();
    json m_nodes = json::array();
    json m_lights = json::array();
    json m_cameras = json::array();
    std::map<std::int32_t, int> m_meshOf, m_materialOf, m_textureOf, m_imageOf, m_samplerOf;
    bool m_unlit = false;
};

int GltfBuilder::bufferView(std::uint64_t offset, std::uint64_t length, int target) {
    json view = {{"buffer", 0}, {"byteOffset", offset}, {"byteLength", length}};
    if (target != 0) view["target"] = target;
    m_bufferViews.push_back(std::move(view));
    return static_cast<int>(m_bufferViews.size() - 1);
}

int GltfBuilder::accessor(std::uint64_t offset, std::uint32_t count, int componentType,
                          const char* type, int target) {
    const int components = type[0] == 'V' ? type[3] - '0' : 1;
    const int view = bufferView(offset, std::uint64_t{count} * components * 4, target);
    m_accessors.push_back(
        {{"bufferView", view}, {"componentType", componentType}, {"count", count}, {"type", type}});
    return static_cast<int>(m_accessors.size() - 1);
}

json GltfBuilder::primitive(std::uint32_t index) {
    const ExportPrimitive& p = m_scene.primitives()[index];
    const int position = accessor(p.positions, p.vertexCount, kFloat, "VEC3", kArrayBuffer);
    // The bounds exactly as the floats in the buffer, which readers compare them with.
    m_accessors[position]["min"] = json::array({p.min[0], p.min[1], p.min[2]});
    m_accessors[position]["max"] = json::array({p.max[0], p.max[1], p.max[2]});
    json attributes = {
        {"POSITION", position},
        {"NORMAL", accessor(p.normals, p.vertexCount, kFloat, "VEC3", kArrayBuffer)}};
    if (p.texCoords != kNoArray) {
        attributes["TEXCOORD_0"] =
            accessor(p.texCoords, p.vertexCount, kFloat, "VEC2", kArrayBuffer);
    }
    json out = {
        {"attributes", std::move(attributes)},
        {"indices", accessor(p.indices, p.indexCount, kUnsignedInt, "SCALAR", kElementArrayBuffer)},
        {"material", material(p.material)},
        {"mode", p.mode}};
    // glTF draws lines and points one pixel wide; the document's width is kept.
    if (p.mode == kModeLines) out["extras"] = {{"lineWidth", real(p.size)}};
    if (p.mode == kModePoints) out["extras"] = {{"pointSize", real(p.size)}};
    return out;
}

// One glTF mesh per mesh handle, so that every instance shares it.
int GltfBuilder::mesh(std::int32_t handle, const std::vector<std::uint32_t>& primitives) {
    const auto known = m_meshOf.find(handle);
    if (known != m_meshOf.end()) return known->second;
    json list = json::array();
    for (const std::uint32_t p : primitives)
        list.push_back(primitive(p));
    m_meshes.push_back({{"primitives", std::move(list)}});
    const int index = static_cast<int>(m_meshes.size() - 1);
    m_meshOf[handle] = index;
    return index;
}

int GltfBuilder::sampler(std::int32_t wrap) {
    const auto known = m_samplerOf.find(wrap);
    if (known != m_samplerOf.end()) return known->second;
    // The viewer clamps to a border; clamping to the edge is the closest glTF has.
    const int mode = wrap == kWrapClamp ? kClampToEdge : kRepeat;
    m_samplers.push_back(
        {{"magFilter", kLinear}, {"minFilter", kLinear}, {"wrapS", mode}, {"wrapT", mode}});
    const int index = static_cast<int>(m_samplers.size() - 1);
    m_samplerOf[wrap] = index;
    return index;
}

int GltfBuilder::image(std::int32_t index) {
    const auto known = m_imageOf.find(index);
    if (known != m_imageOf.end()) return known->second;
    const ExportImage& image = m_scene.images()[static_cast<std::size_t>(index)];
    m_images.push_back(
        {{"bufferView", bufferView(image.png, image.pngSize, 0)}, {"mimeType", "image/png"}});
    const int out = static_cast<int>(m_images.size() - 1);
    m_imageOf[index] = out;
    return out;
}

int GltfBuilder::texture(std::int32_t index) {
    const auto known = m_textureOf.find(index);
    if (known != m_textureOf.end()) return known->second;
    const ExportTexture& texture = m_scene.textures()[static_cast<std::size_t>(index)];
    m_textures.push_back({{"sampler", sampler(texture.wrap)}, {"source", image(texture.image)}});
    const int out = static_cast<int>(m_textures.size() - 1);
    m_textureOf[index] = out;
    return out;
}

// Metallic-roughness as the viewer lights it: diffuse is the base colour, the Phong
// exponent gives the roughness, nothing is metal. A texture applied with "replace" or
// "decal" shows its own colours unlit, as OpenGL's texture environment draws them;
// "modulate" multiplies the lit material. The environment is global in the viewer, so
// the function of the texture added last holds for every texture.
int GltfBuilder::material(std::int32_t index) {
    const auto known = m_materialOf.find(index);
    if (known != m_materialOf.end()) return known->second;
    const ExportMaterial& m = m_scene.materials()[static_cast<std::size_t>(index)];
    const MaterialRecord& c = m.colours;
    const bool textured = m.texture != kNone;
    const std::int32_t function = m_scene.textureFunction();
    const bool unlit = textured && function != kTextureModulate;
    json base = linearColour3(c.diffuse);
    base.push_back(real(c.alpha));
    ImageAlpha alpha = c.alpha < 1.0f ? ImageAlpha::blended : ImageAlpha::opaque;
    json pbr = {{"metallicFactor", 0.0}, {"roughnessFactor", roughnessOf(c.shininess)}};
    if (textured) {
        const ExportTexture& t = m_scene.textures()[static_cast<std::size_t>(m.texture)];
        const ImageAlpha imageAlpha = m_scene.images()[static_cast<std::size_t>(t.image)].alpha;
        pbr["baseColorTexture"] = {{"index", texture(m.texture)}};
        if (function == kTextureReplace) {
            base = json::array({1.0, 1.0, 1.0, 1.0});
            alpha = imageAlpha;
        } else if (function == kTextureDecal) {
            base = json::array({1.0, 1.0, 1.0, real(c.alpha)});
        } else {
            alpha = std::max(alpha, imageAlpha);
        }
    }
    pbr["baseColorFactor"] = std::move(base);
    json out = {{"pbrMetallicRoughness", std::move(pbr)},
                {"emissiveFactor", linearColour3(c.emissive)},
                {"doubleSided", m.doubleSided}};
    if (alpha == ImageAlpha::blended) out["alphaMode"] = "BLEND";
    if (alpha == ImageAlpha::cutout) {
        out["alphaMode"] = "MASK";
        out["alphaCutoff"] = 0.5;
    }
    if (unlit) {
        out["extensions"] = {{"KHR_materials_unlit", json::object()}};
        m_unlit = true;
    }
    m_materials.push_back(std::move(out));
    const int result = static_cast<int>(m_materials.size() - 1);
    m_materialOf[index] = result;
    return result;
}

json GltfBuilder::node(const NodeVisit& visit) {
    json out = json::object();
    const WorldRecord* world = m_scene.world();
    if (visit.worldMesh) {
        if (world->hasName) out["name"] = world->name;
    } else {
        const ExportEntry& entry = *visit.entry;
        if (entry.hasName) out["name"] = entry.name;
        const Transform& t = entry.transform;
        const double* m = visit.local.m;
        const double s = t.scale;
        const double x[3] = {m[0] / s, m[1] / s, m[2] / s};
        const double y[3] = {m[4] / s, m[5] / s, m[6] / s};
        const double z[3] = {m[8] / s, m[9] / s, m[10] / s};
        double q[4];
        rotationQuaternion(x, y, z, q);
        out["translation"] = json::array({t.position[0], t.position[1], t.position[2]});
        out["rotation"] = json::array({q[0], q[1], q[2], q[3]});
        out["scale"] = json::array({s, s, s});
    }
    const std::vector<std::uint32_t>& primitives = nodePrimitives(m_scene, visit);
    if (!primitives.empty()) {
        const std::int32_t handle = visit.worldMesh ? world->meshHandle : visit.entry->meshHandle;
        out["mesh"] = mesh(handle, primitives);
    }
    return out;
}

// A light node's -z axis is the direction its light travels. The viewer places its
// lights in eye coordinates, which are world coordinates in the default view, and a
// light at direction d shines from d towards the scene.
json lightNode(const char* name, const float direction[3], int light) {
    double z[3] = {direction[0], direction[1], direction[2]};
    const double length = std::sqrt(z[0] * z[0] + z[1] * z[1] + z[2] * z[2]);
    for (double& c : z)
        c = length > 0 ? c / length : 0;
    if (!(length > 0)) z[2] = 1;
    // Any up that is not along z completes the frame; a directional light has no roll.
    const double helper[3] = {std::abs(z[1]) < 0.9 ? 0.0 : 1.0, std::abs(z[1]) < 0.9 ? 1.0 : 0.0,
                              0};
    const double dot = helper[0] * z[0] + helper[1] * z[1] + helper[2] * z[2];
    double y[3] = {helper[0] - dot * z[0], helper[1] - dot * z[1], helper[2] - dot * z[2]};
    const double yLength = std::sqrt(y[0] * y[0] + y[1] * y[1] + y[2] * y[2]);
    for (double& c : y)
        c /= yLength;
    const double x[3] = {y[1] * z[2] - y[2] * z[1], y[2] * z[0] - y[0] * z[2],
                         y[0] * z[1] - y[1] * z[0]};
    double q[4];
    rotationQuaternion(x, y, z, q);
    return {{"name", name},
            {"rotation", json::array({q[0], q[1], q[2], q[3]})},
            {"extensions", {{"KHR_lights_punctual", {{"light", light}}}}}};
}

void GltfBuilder::addLights(json& roots) {
    const auto add = [&](const std::string& name, const float colour[3], const float direction[3]) {
        m_lights.push_back({{"type", "directional"},
                            {"name", name},
                            {"color", linearColour3(colour)},
                            {"intensity", 1.0}});
        m_nodes.push_back(
            lightNode(name.c_str(), direction, static_cast<int>(m_lights.size() - 1)));
        roots.push_back(m_nodes.size() - 1);
    };
    if (const LightingRecord* lighting = m_scene.lighting()) {
        const auto count = std::min<std::uint32_t>(lighting->lightCount, kMaxDirectionalLights);
        for (std::uint32_t i = 0; i < count; ++i) {
            const DirectionalLight& light = lighting->lights[i];
            add("Light " + std::to_string(i + 1), light.diffuse, light.direction);
        }
    }
    if (m_options.headlight) {
        static constexpr float kWhite[3] = {1, 1, 1};
        static constexpr float kFromViewer[3] = {0, 0, 1};
        add("Headlight", kWhite, kFromViewer);
    }
}

// The view `tessaro-cli render` draws: orthographic along -z, fitted to a cube whose
// side is the diagonal of the world box's largest extent, for an 800 x 600 picture.
void GltfBuilder::addCamera(json& roots) {
    const Box box = m_scene.worldBox();
    if (box.empty()) return;
    double largest = 0, centre[3];
    for (int i = 0; i < 3; ++i) {
        largest = std::max(largest, box.max[i] - box.min[i]);
        centre[i] = (box.min[i] + box.max[i]) / 2;
    }
    const double radius = largest * std::sqrt(3.0) / 2;
    if (!(radius > 0) || !std::isfinite(radius)) return;
    m_cameras.push_back({{"type", "orthographic"},
                         {"name", "Default view"},
                         {"orthographic",
                          {{"xmag", radius * kDefaultAspect},
                           {"ymag", radius},
                           {"znear", radius},
                           {"zfar", 3 * radius}}}});
    m_nodes.push_back(
        {{"name", "Default view"},
         {"camera", 0},
         {"translation", json::array({centre[0], centre[1], centre[2] + 2 * radius})}});
    roots.push_back(m_nodes.size() - 1);
}

bool GltfBuilder::build(json& doc, std::string& failure) {
    json roots = json::array();
    const bool walked = walkScene(
        m_scene,
        [&](const NodeVisit& visit) {
            m_nodes.push_back(node(visit));
            if (visit.parent == kNone) {
                roots.push_back(visit.index);
            } else {
                m_nodes[static_cast<std::size_t>(visit.parent)]["children"].push_back(visit.index);
            }
            return true;
        },
        failure);
    if (!walked) return false;
    addLights(roots);
    addCamera(roots);

    // A scene lists at least one node when it lists any: a world without geometry
    // and lights lists none.
    json scene = json::object();
    if (!roots.empty()) scene["nodes"] = std::move(roots);
    const WorldRecord* world = m_scene.world();
    if (world != nullptr && world->hasName) scene["name"] = world->name;
    // glTF has no background or ambient light; they are kept for tools that look.
    json extras = json::object();
    if (const BackgroundRecord* background = m_scene.background())
        extras["backgroundColor"] = colour3(background->colour);
    if (const LightingRecord* lighting = m_scene.lighting())
        extras["ambientLight"] = colour3(lighting->ambient);
    if (!extras.empty()) scene["extras"] = std::move(extras);

    doc = {{"asset", {{"version", "2.0"}, {"generator", "Tessaro tessaro-cli convert"}}},
           {"scene", 0},
           {"scenes", json::array({std::move(scene)})}};
    json used = json::array();
    if (m_unlit) used.push_back("KHR_materials_unlit");
    if (!m_lights.empty()) {
        used.push_back("KHR_lights_punctual");
        doc["extensions"] = {{"KHR_lights_punctual", {{"lights", std::move(m_lights)}}}};
    }
    if (!used.empty()) doc["extensionsUsed"] = std::move(used);
    const auto put = [&doc](const char* key, json& list) {
        if (!list.empty()) doc[key] = std::move(list);
    };
    put("nodes", m_nodes);
    put("meshes", m_meshes);
    put("materials", m_materials);
    put("textures", m_textures);
    put("images", m_images);
    put("samplers", m_samplers);
    put("cameras", m_cameras);
    put("accessors", m_accessors);
    put("bufferViews", m_bufferViews);
    if (m_scene.store().size() != 0)
        doc["buffers"] = json::array({{{"byteLength", m_scene.store().size()}}});
    return true;
}

void putWord(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool writeGlb(const ExportScene& scene, std::string text, std::FILE* file, std::string& failure) {
    while (text.size() % 4 != 0)
        text += ' ';  // the JSON chunk is padded with spaces
    const std::uint64_t binary = scene.store().size();
    const std::uint64_t total = 12 + 8 + text.size() + (binary != 0 ? 8 + binary : 0);
    if (total > 0xFFFFFFFFu) {
        failure = "The export exceeds the 4 GB a .glb file can hold; write .gltf instead";
        return false;
    }
    std::string head;
    putWord(head, kGlbMagic);
    putWord(head, 2);
    putWord(head, static_cast<std::uint32_t>(total));
    putWord(head, static_cast<std::uint32_t>(text.size()));
    putWord(head, kJsonChunk);
    head += text;
    if (binary != 0) {
        putWord(head, static_cast<std::uint32_t>(binary));
        putWord(head, kBinChunk);
    }
    return std::fwrite(head.data(), 1, head.size(), file) == head.size() &&
           (binary == 0 || scene.store().copyTo(file));
}

}  // namespace

double roughnessOf(double shininess) {
    if (!(shininess > 0)) return 1.0;
    return std::min(1.0, std::pow(2.0 / (shininess + 2.0), 0.25));
}

bool writeGltf(const ExportScene& scene, const std::string& output, bool binary,
               const ConvertOptions& options, std::string& failure) {
    try {
        json doc;
        if (!GltfBuilder(scene, options).build(doc, failure)) return false;
        const std::string bin = withExtension(output, ".bin");
        if (!binary && scene.store().size() != 0)
            doc["buffers"][0]["uri"] = percentEncoded(stemOf(bin) + ".bin");
        // Names that are not UTF-8 are written with replacement characters, not refused.
        const std::string text = doc.dump(-1, ' ', false, json::error_handler_t::replace);
        if (binary) {
            return writeFile(
                output, [&](std::FILE* f) { return writeGlb(scene, text, f, failure); }, failure);
        }
        if (scene.store().size() != 0 &&
            !writeFile(
                bin, [&](std::FILE* f) { return scene.store().copyTo(f); }, failure)) {
            return false;
        }
        const bool written = writeFile(
            output,
            [&](std::FILE* f) {
                return std::fwrite(text.data(), 1, text.size(), f) == text.size();
            },
            failure);
        // A .bin without its .gltf is no export.
        if (!written && scene.store().size() != 0) std::remove(bin.c_str());
        return written;
    } catch (const std::exception& e) {
        failure = std::string("Cannot build the glTF document: ") + e.what();
        return false;
    }
}

}  // namespace tessaro
