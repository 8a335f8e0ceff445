#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"
#include "xgl/scene_load_context.h"

namespace tessaro {
namespace {

using testing::TextStream;

// What the consumer saw of the world while the entries it points to were valid.
struct WorldSeen {
    bool hasName = false;
    std::string name;
    std::vector<std::int32_t> childHandles;
    std::int32_t meshHandle = kNone;
    std::vector<std::int32_t> dataHandles;
};

// Keeps every record and hands out handles 100, 101, ... so that they can be told
// from indices.
struct Recorder : SceneConsumer {
    void worldDone(std::unique_ptr<WorldRecord> w) override {
        world = {w->hasName,
                 w->name,
                 w->childHandles,
                 w->meshHandle,
                 {w->dataHandles.begin(), w->dataHandles.end()}};
        ++worldsDone;
    }
    std::int32_t addMesh(std::unique_ptr<DrawableMesh> mesh) override {
        meshes.push_back(std::move(mesh));
        return next++;
    }
    std::int32_t addObject(std::unique_ptr<ObjectRecord> object) override {
        objects.push_back(std::move(object));
        return next++;
    }
    std::int32_t addData(std::unique_ptr<DataRecord> block) override {
        data.push_back(std::move(block));
        return next++;
    }
    std::int32_t addTexture(std::unique_ptr<TextureRecord>) override { return next++; }
    std::int32_t addTextureImage(std::unique_ptr<TextureImageRecord>) override { return next++; }
    void showError(const char* text) override { errors.emplace_back(text); }
    void setBackground(std::unique_ptr<BackgroundRecord> b) override { background = std::move(b); }
    void setLighting(std::unique_ptr<LightingRecord> l) override { lighting = std::move(l); }
    std::int32_t addExtGeom(std::unique_ptr<ExtGeomRecord>) override { return next++; }
    std::int32_t addMeshGroup(std::uint32_t, const std::int32_t*) override { return next++; }

    std::int32_t next = 100;
    int worldsDone = 0;
    WorldSeen world;
    std::vector<std::string> errors;
    std::vector<std::unique_ptr<DrawableMesh>> meshes;
    std::vector<std::unique_ptr<ObjectRecord>> objects;
    std::vector<std::unique_ptr<DataRecord>> data;
    std::unique_ptr<BackgroundRecord> background;
    std::unique_ptr<LightingRecord> lighting;
};

const std::string kLighting = "<lighting><ambient>0 0 0</ambient></lighting>";
const std::string kBackground = "<background><backcolor>0 0 0</backcolor></background>";

// A world with `body` and the lighting and background that every world needs.
std::string valid(const std::string& body) {
    return body + kLighting + kBackground;
}

std::string lighting(const std::string& content) {
    return "<lighting>" + content + "</lighting>" + kBackground;
}

std::string light(const std::string& content) {
    return "<directionallight>" + content + "</directionallight>";
}

std::string lights(int n) {
    std::string all;
    for (int i = 0; i < n; ++i)
        all += light("<direction>0 0 1</direction><diffuse>1 1 1</diffuse>");
    return all;
}

std::unique_ptr<Recorder> parse(const std::string& worldContent) {
    auto recorder = std::make_unique<Recorder>();
    SceneLoadContext context(*recorder);
    TextStream stream("<world>" + worldContent + "</world>");
    context.parse(stream, nullptr);
    return recorder;
}

struct MessageCase {
    const char* name;
    std::string world;    // the content of the world element
    std::string message;  // empty: accepted
};

void PrintTo(const MessageCase& c, std::ostream* out) {
    *out << c.name;
}

class WorldMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(WorldMessages, RaiseTheirMessageOrAcceptTheWorld) {
    const auto r = parse(GetParam().world);
    if (GetParam().message.empty()) {
        EXPECT_TRUE(r->errors.empty()) << r->errors.front();
        EXPECT_EQ(r->worldsDone, 1);
    } else {
        EXPECT_EQ(r->errors, std::vector<std::string>{GetParam().message});
        EXPECT_EQ(r->worldsDone, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, WorldMessages,
    ::testing::Values(
        MessageCase{"NineLights", lighting(lights(9)), "5: More than 8 directional Lights"},
        MessageCase{"EightLights", lighting(lights(8)), ""},
        MessageCase{"DataWithOtherAttribute",
                    valid("<data org='a' kind='b'><str name='s'/></data>"),
                    "9: Attribute for Data Tag not called Org"},
        MessageCase{"DataWithoutAttributes", valid("<data><str name='s'/></data>"),
                    "10: The Org attribute for the Data Tag was not found"},
        MessageCase{"DataOrgInCapitals", valid("<data ORG='a'><str name='s'/></data>"), ""},
        MessageCase{"StrWithOtherAttribute", valid("<data org='a'><str title='s'/></data>"),
                    "11: Attribute for String Tag not called Name"},
        MessageCase{"StrWithoutAttributes", valid("<data org='a'><str/></data>"),
                    "12: The Name attribute for the String Tag was not found"},
        MessageCase{"BinWithOtherAttribute", valid("<data org='a'><bin title='b'/></data>"),
                    "13: Attribute for Bin Tag not called Name"},
        MessageCase{"BinWithoutAttributes", valid("<data org='a'><bin/></data>"),
                    "14: The Name attribute for the Bin Tag was not found"},
        MessageCase{"NoLighting", kBackground, "29: Lighting required for World"},
        MessageCase{"TwoLightings", kLighting + valid(""), "29: Lighting required for World"},
        MessageCase{"NoBackground", kLighting, "30: Background element required for World"},
        MessageCase{"TwoBackgrounds", kBackground + valid(""),
                    "30: Background element required for World"},
        MessageCase{"SecondAndThirdObjectrefUndefined",
                    valid("<object id='1'/><objectref>1</objectref><objectref>2</objectref>"
                          "<objectref>3</objectref>"),
                    "32: An object could not be resolved : 2"},
        MessageCase{"FirstObjectrefUndefinedSecondDefinedLater",
                    valid("<objectref>7</objectref><objectref>1</objectref><object id='1'/>"),
                    "32: An object could not be resolved : 0"},
        MessageCase{"ForwardObjectrefs",
                    valid("<objectref>2</objectref><objectref>1</objectref><object id='1'/>"
                          "<object id='2'><object/></object>"),
                    ""},
        // Only the world's own references are checked; the pending object is released
        // with the load.
        MessageCase{"UnreferencedObjectWithAMissingChild",
                    valid("<object id='5'><objectref>9</objectref></object>"), ""},
        MessageCase{"BackcolorOutOfRange",
                    kLighting + "<background><backcolor>0.5 0.5 1.1</backcolor></background>",
                    "47: Background color values must be between 0 and 1 inclusive"},
        MessageCase{"BackcolorJustAboveOne",
                    kLighting + "<background><backcolor>0.5 0.5 1.00001</backcolor></background>",
                    ""},
        MessageCase{"DiffuseOutOfRange",
                    lighting(light("<direction>0 0 1</direction><diffuse>1.2 0 0</diffuse>")),
                    "48: Diffuse light values must be between 0 and 1 inclusive"},
        MessageCase{"SpecularOutOfRange",
                    lighting(light("<direction>0 0 1</direction><specular>0 -0.1 0</specular>")),
                    "49: Specular light values must be between 0 and 1 inclusive"},
        MessageCase{"AmbientOutOfRange", lighting("<ambient>0 0 2</ambient>"),
                    "50: Ambient light values must be between 0 and 1 inclusive"},
        MessageCase{"BackgroundWithoutBackcolor", kLighting + "<background/>",
                    "74: Background requires exactly 1 backcolor element"},
        MessageCase{"EmptyLighting", lighting(""),
                    "75: Lighting requires exactly 1 ambient element or 1+ Directional Light "
                    "elements"},
        MessageCase{"TwoAmbients", lighting("<ambient>0 0 0</ambient><ambient>0 0 0</ambient>"),
                    "75: Lighting requires exactly 1 ambient element or 1+ Directional Light "
                    "elements"},
        MessageCase{"LightsWithoutAmbient", lighting(lights(1)), ""},
        MessageCase{"LightWithoutDirection", lighting(light("<diffuse>1 1 1</diffuse>")),
                    "76: Directional Lights require exactly 1 direction element"},
        MessageCase{"LightWithTwoDiffuse",
                    lighting(light("<direction>0 0 1</direction><diffuse>1 1 1</diffuse>"
                                   "<diffuse>1 1 1</diffuse>")),
                    "77: Directional Lights require at most 1 diffuse element"},
        MessageCase{"LightWithTwoSpecular",
                    lighting(light("<direction>0 0 1</direction><specular>1 1 1</specular>"
                                   "<specular>1 1 1</specular>")),
                    "78: Directional Lights require at most 1 specular element"},
        MessageCase{"EmptyData", valid("<data org='a'></data>"),
                    "79: Data Element requires at least 1 bin or string element"},
        MessageCase{"LightWithOnlyADirection", lighting(light("<direction>0 0 1</direction>")),
                    "112: Directional Lights require a diffuse or specular element"},
        MessageCase{"ZeroDirection",
                    lighting(light("<direction>0 0 0</direction><diffuse>1 1 1</diffuse>")),
                    "114: A vector to be used as a direction was zero"},
        MessageCase{"BadHexDigit", valid("<data org='a'><bin name='b'>0g</bin></data>"),
                    "122: Invalid hex character in binary data"},
        MessageCase{"OddHexLength", valid("<data org='a'><bin name='b'>0a0</bin></data>"),
                    "123: Hex characters in binary data must have length divisible by 2"},
        MessageCase{"TwoMeshrefs", valid("<mesh id='1'/><meshref>1</meshref><meshref>1</meshref>"),
                    "125: At most one mesh per world"},
        MessageCase{"MeshrefAfterObjectref",
                    valid("<object id='1'/><objectref>1</objectref><meshref>1</meshref>"),
                    "126: The world can not have both a mesh and subobjects"},
        MessageCase{"ObjectrefAfterMeshref",
                    valid("<mesh id='1'/><meshref>1</meshref><objectref>1</objectref>"),
                    "126: The world can not have both a mesh and subobjects"},
        MessageCase{"TwoNames", valid("<name>a</name><name>b</name>"),
                    "171: only one object name is allowed"},
        MessageCase{"MeshrefUndefined", valid("<meshref>4</meshref>"),
                    "176: The mesh at the world level could not be resolved"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WorldRecords, BackgroundAndLightingReachTheConsumer) {
    const auto r = parse("<lighting><ambient>0.1 0.2 0.3</ambient>" +
                         light("<direction>0 0 5</direction><specular>0.5 0.5 0.5</specular>") +
                         light("<direction>3 4 0</direction><diffuse>0.25 0.5 0.75</diffuse>") +
                         "</lighting><background><backcolor>0.5 0.25 1</backcolor></background>");
    ASSERT_TRUE(r->errors.empty()) << r->errors.front();
    ASSERT_TRUE(r->background && r->lighting);
    EXPECT_FLOAT_EQ(r->background->colour[1], 0.25f);
    const LightingRecord& l = *r->lighting;
    EXPECT_FLOAT_EQ(l.ambient[2], 0.3f);
    ASSERT_EQ(l.lightCount, 2u);
    EXPECT_FLOAT_EQ(l.lights[0].direction[2], 1.0f);  // stored as a unit vector
    EXPECT_FLOAT_EQ(l.lights[0].diffuse[0], 1.0f);    // default
    EXPECT_FLOAT_EQ(l.lights[0].specular[1], 0.5f);
    EXPECT_FLOAT_EQ(l.lights[1].direction[0], 0.6f);
    EXPECT_FLOAT_EQ(l.lights[1].direction[1], 0.8f);
    EXPECT_FLOAT_EQ(l.lights[1].diffuse[2], 0.75f);
    EXPECT_FLOAT_EQ(l.lights[1].specular[0], 0.2f);  // default
}

TEST(WorldRecords, ALightNestedInAnotherIsCountedOnce) {
    const auto r = parse(
        lighting(light(light("<direction>0 1 0</direction><diffuse>1 1 1</diffuse>")) + lights(7)));
    ASSERT_TRUE(r->errors.empty()) << r->errors.front();
    EXPECT_EQ(r->lighting->lightCount, 8u);
}

TEST(WorldRecords, DataKeepsItsStringsAndBytes) {
    const auto r =
        parse(valid("<data org='acme'><str name='a'> x &amp; y </str><bin NAME='b'>00ff7F</bin>"
                    "<str name='empty'/></data>"));
    ASSERT_TRUE(r->errors.empty()) << r->errors.front();
    ASSERT_EQ(r->data.size(), 1u);
    const DataRecord& d = *r->data[0];
    EXPECT_EQ(d.org, "acme");
    ASSERT_EQ(d.strings.size(), 2u);
    EXPECT_EQ(d.strings[0].name, "a");
    EXPECT_EQ(d.strings[0].value, " x & y ");
    EXPECT_EQ(d.strings[1].value, "");
    ASSERT_EQ(d.binaries.size(), 1u);
    EXPECT_EQ(d.binaries[0].name, "b");
    EXPECT_EQ(d.binaries[0].bytes, (std::vector<std::uint8_t>{0x00, 0xFF, 0x7F}));
}

TEST(WorldRecords, DataHandlesGoToThePatchTheObjectOrTheWorld) {
    const std::string block = "<data org='o'><str name='s'/></data>";
    const auto r = parse(
        valid(block + "<object>" + block + "<mesh><patch>" + block + "</patch></mesh></object>"));
    ASSERT_TRUE(r->errors.empty()) << r->errors.front();
    // Handles in the order the blocks end: world 100, object 101, patch 102.
    EXPECT_EQ(r->world.dataHandles, std::vector<std::int32_t>{100});
    ASSERT_EQ(r->meshes.size(), 1u);
    ASSERT_EQ(r->meshes[0]->patches.size(), 1u);
    const auto& patchValues = r->meshes[0]->patches[0].values;
    EXPECT_EQ(std::vector<std::int32_t>(patchValues.begin(), patchValues.end()),
              std::vector<std::int32_t>{102});
    ASSERT_EQ(r->objects.size(), 1u);
    const auto& objectData = r->objects[0]->dataHandles;
    EXPECT_EQ(std::vector<std::int32_t>(objectData.begin(), objectData.end()),
              std::vector<std::int32_t>{101});
}

TEST(WorldRecords, TheWorldCarriesItsNameAndResolvedReferences) {
    const auto r =
        parse(valid("<name/><objectref>2</objectref><object/><objectref>1</objectref>"
                    "<object id='1'/><object id='2'/>"));
    ASSERT_TRUE(r->errors.empty()) << r->errors.front();
    EXPECT_TRUE(r->world.hasName);
    EXPECT_EQ(r->world.name, "");
    // Objects 1 and 2 are handed over when they end (100, 101), the instance only with
    // the world (102); the handles follow the references in document order.
    EXPECT_EQ(r->world.childHandles, (std::vector<std::int32_t>{101, 102, 100}));
    EXPECT_EQ(r->world.meshHandle, kNone);
}

TEST(WorldRecords, AMeshrefMayNameAMeshDefinedLater) {
    const auto r = parse(valid("<name>w</name><meshref>3</meshref><mesh id='3'/>"));
    ASSERT_TRUE(r->errors.empty()) << r->errors.front();
    EXPECT_EQ(r->world.name, "w");
    ASSERT_EQ(r->meshes.size(), 1u);
    EXPECT_EQ(r->world.meshHandle, 100);
}

}  // namespace
}  // namespace tessaro
