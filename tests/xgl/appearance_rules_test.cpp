#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "recording_consumer.h"
#include "test_files.h"
#include "xgl/scene_load_context.h"

namespace tessaro {
namespace {

using testing::inWorld;
using testing::TextStream;
using testing::validWorld;

using testing::RecordingConsumer;

// One parse; the context stays for a look at the rules' state afterwards.
struct Load {
    explicit Load(const std::string& document) {
        TextStream stream(document);
        context.parse(stream, nullptr);
    }
    std::string firstError() const { return consumer.errors.empty() ? "" : consumer.errors[0]; }
    const AppearanceState& state() const { return context.model().appearanceState; }

    RecordingConsumer consumer;
    SceneLoadContext context{consumer};
};

const std::string kAmbDiff = "<amb>0 0 0</amb><diff>1 1 1</diff>";
const std::string kTextureBody = "<texturergbref>5</texturergbref><replace/><repeat/>";
const std::string kTransformBody =
    "<forward>0 0 1</forward><up>0 1 0</up><position>0 0 0</position>";

std::string material(const std::string& content) {
    return inWorld("<mat id='1'>" + content + "</mat>");
}
std::string lineStyle(const std::string& content) {
    return inWorld("<linestyle id='1'>" + content + "</linestyle>");
}
std::string texture(const std::string& content) {
    return inWorld("<texture id='1'>" + content + "</texture>");
}
std::string transform(const std::string& content) {
    return inWorld("<object><transform>" + content + "</transform></object>");
}
// A texture-coordinate transform with every leaf but `missing`.
std::string tcTransform(const std::string& missing) {
    std::string leaves;
    for (const char* leaf : {"ss", "st", "ts", "tt", "cs", "ct"}) {
        if (leaf != missing) leaves += std::string("<") + leaf + ">1</" + leaf + ">";
    }
    return texture(kTextureBody + "<tctransform>" + leaves + "</tctransform>");
}
struct MessageCase {
    const char* name;
    std::string document;
    int message;  // 0: accepted
};

class AppearanceMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(AppearanceMessages, RaiseTheFirstMessageOrNone) {
    const Load load(GetParam().document);
    const char* expected = GetParam().message == 0 ? "" : messageText(GetParam().message);
    EXPECT_EQ(load.firstError(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Materials, AppearanceMessages,
    ::testing::Values(
        MessageCase{"InWorldWithoutId", inWorld("<mat>" + kAmbDiff + "</mat>"), 2},
        MessageCase{"InObjectWithoutId", inWorld("<object><mat/></object>"), 3},
        MessageCase{"InMeshWithoutId", inWorld("<mesh><mat/></mesh>"), 4},
        MessageCase{"EmissiveAboveOne", material(kAmbDiff + "<emiss>0 0 1.1</emiss>"), 41},
        MessageCase{"DiffuseAboveOne", material("<amb>0 0 0</amb><diff>1 2 1</diff>"), 42},
        MessageCase{"SpecularBelowZero", material(kAmbDiff + "<spec>-0.1 0 0</spec>"), 43},
        MessageCase{"AmbientBelowZero", material("<amb>0 -1 0</amb>"), 44},
        MessageCase{"AlphaJustAboveTheTolerance", material(kAmbDiff + "<alpha>1.0001</alpha>"), 46},
        MessageCase{"WithoutAmbient", material("<diff>1 1 1</diff>"), 72},
        MessageCase{"WithoutDiffuse", material("<amb>0 0 0</amb>"), 73},
        MessageCase{"TwoEmissive", material(kAmbDiff + "<emiss>0 0 0</emiss><emiss>0 0 0</emiss>"),
                    108},
        MessageCase{"TwoAlpha", material(kAmbDiff + "<alpha>1</alpha><alpha>1</alpha>"), 109},
        MessageCase{"TwoShine", material(kAmbDiff + "<shine>1</shine><shine>1</shine>"), 110},
        MessageCase{"TwoSpecular", material(kAmbDiff + "<spec>0 0 0</spec><spec>0 0 0</spec>"),
                    111},
        MessageCase{"AmbientAndDiffuseOnly", validWorld("<mat id='1'>" + kAmbDiff + "</mat>"), 0},
        MessageCase{"LargeShineAndAlphaWithinTolerance",
                    validWorld("<mat id='1'>" + kAmbDiff +
                               "<shine>128</shine><alpha>1.00001</alpha></mat>"),
                    0}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Styles, AppearanceMessages,
    ::testing::Values(
        MessageCase{"LineStyleInWorldWithoutId", inWorld("<linestyle/>"), 149},
        MessageCase{"LineStyleInObjectWithoutId", inWorld("<object><linestyle/></object>"), 150},
        MessageCase{"LineStyleInMeshWithoutId", inWorld("<mesh><linestyle/></mesh>"), 151},
        MessageCase{"WithoutWidth", lineStyle(""), 140},
        MessageCase{"TwoPatterns",
                    lineStyle("<linewidth>1</linewidth><linepattern>FFFF</linepattern>"
                              "<linepattern>FFFF</linepattern>"),
                    141},
        MessageCase{"TwoFactors",
                    lineStyle("<linewidth>1</linewidth><linepatternfactor>1</linepatternfactor>"
                              "<linepatternfactor>1</linepatternfactor>"),
                    142},
        MessageCase{"WidthZero", lineStyle("<linewidth>0</linewidth>"), 143},
        MessageCase{"PatternOfThreeDigits", lineStyle("<linepattern>F0F</linepattern>"), 144},
        MessageCase{"PatternWithABadDigit", lineStyle("<linepattern>F0G0</linepattern>"), 122},
        MessageCase{"FactorAbove256", lineStyle("<linepatternfactor>257</linepatternfactor>"), 145},
        MessageCase{"FactorZero", lineStyle("<linepatternfactor>0</linepatternfactor>"), 145},
        MessageCase{"FactorOf256",
                    validWorld("<linestyle id='1'><linewidth>2</linewidth>"
                               "<linepatternfactor>256</linepatternfactor></linestyle>"),
                    0},
        MessageCase{"PointStyleInWorldWithoutId", inWorld("<pointstyle/>"), 152},
        MessageCase{"PointStyleInObjectWithoutId", inWorld("<object><pointstyle/></object>"), 153},
        MessageCase{"PointStyleInMeshWithoutId", inWorld("<mesh><pointstyle/></mesh>"), 154},
        MessageCase{"WithoutSize", inWorld("<pointstyle id='1'></pointstyle>"), 147},
        MessageCase{"SizeBelowZero", inWorld("<pointstyle id='1'><pointsize>-1</pointsize>"), 148}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Textures, AppearanceMessages,
    ::testing::Values(
        MessageCase{"InMeshWithoutId", inWorld("<mesh><texture/></mesh>"), 15},
        MessageCase{"InObjectWithoutId", inWorld("<object><texture/></object>"), 16},
        MessageCase{"InWorldWithoutId", inWorld("<texture/>"), 17},
        MessageCase{"WithoutImage", texture("<replace/><repeat/>"), 69},
        MessageCase{"WithTwoImages",
                    texture(kTextureBody + "<texturebufferref>6</texturebufferref>"), 69},
        MessageCase{"ReplaceAndDecal", texture(kTextureBody + "<decal/>"), 70},
        MessageCase{"WithoutWrap", texture("<texturergbref>5</texturergbref><modulate/>"), 71},
        MessageCase{"TwoBorderColors",
                    texture(kTextureBody + "<texturebordercolor>0 0 0 0</texturebordercolor>"
                                           "<texturebordercolor>0 0 0 0</texturebordercolor>"),
                    107},
        MessageCase{"TcTransformWithoutSs", tcTransform("ss"), 178},
        MessageCase{"TcTransformWithoutSt", tcTransform("st"), 179},
        MessageCase{"TcTransformWithoutTs", tcTransform("ts"), 180},
        MessageCase{"TcTransformWithoutTt", tcTransform("tt"), 181},
        MessageCase{"TcTransformWithoutCs", tcTransform("cs"), 182},
        MessageCase{"TcTransformWithoutCt", tcTransform("ct"), 183},
        MessageCase{"Complete", validWorld("<texture id='1'>" + kTextureBody + "</texture>"), 0}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Images, AppearanceMessages,
    ::testing::Values(
        MessageCase{
            "UnknownAttribute",
            inWorld("<texturergb id='1' width='1' height='1' depth='8'>000000</texturergb>"), 18},
        MessageCase{"WithoutWidth", inWorld("<texturergba id='1' height='1'>0</texturergba>"), 19},
        MessageCase{"WidthZero", inWorld("<texturergb id='1' width='0' height='1'/>"), 19},
        MessageCase{"WithoutHeight", inWorld("<texturergb id='1' width='1'>0</texturergb>"), 20},
        MessageCase{"NegativeHeight", inWorld("<texturergb id='1' width='2' height='-3'/>"), 20},
        MessageCase{"InWorldWithoutId", inWorld("<texturergb width='1' height='1'/>"), 21},
        MessageCase{"InObjectWithoutId", inWorld("<object><texturergba width='1' height='1'/>"),
                    23},
        MessageCase{"InMeshWithoutId", inWorld("<mesh><texturergb width='1' height='1'/></mesh>"),
                    24},
        MessageCase{"WithIdInTexture",
                    texture("<texturergb id='2' width='1' height='1'>000000</texturergb>"), 113},
        MessageCase{"WithIdInSphereMap",
                    inWorld("<lighting><spheremap><texturergba id='2' width='1' height='1'/>"),
                    175},
        MessageCase{"RgbOneDigitShort",
                    inWorld("<texturergb id='1' width='2' height='1'>00000000000</texturergb>"),
                    22},
        MessageCase{"RgbaOneDigitShort",
                    inWorld("<texturergba id='1' width='2' height='1'>000000000000000"
                            "</texturergba>"),
                    25},
        // Sizes whose pixel count would overflow 32 bits and whose byte count would
        // exhaust memory: refused for their short text, nothing allocated.
        MessageCase{"HugeSizeWithShortText",
                    inWorld("<texturergba id='1' width='2147483647' height='2147483647'>"
                            "00000000</texturergba>"),
                    25},
        MessageCase{"BadDigit",
                    inWorld("<texturergb id='1' width='1' height='1'>00000G</texturergb>"), 122},
        MessageCase{"RgbAndRgbaOfTheirSizes",
                    validWorld("<texturergb id='1' width='2' height='1'>000000000000</texturergb>"
                               "<texturergba id='2' width='2' height='1'>0000000000000000"
                               "</texturergba>"),
                    0}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Transforms, AppearanceMessages,
    ::testing::Values(
        MessageCase{"WithoutForward", transform("<up>0 1 0</up><position>0 0 0</position>"), 62},
        MessageCase{"WithoutUp", transform("<forward>0 0 1</forward><position>0 0 0</position>"),
                    63},
        MessageCase{"WithoutPosition", transform("<forward>0 0 1</forward><up>0 1 0</up>"), 64},
        MessageCase{"TwoScales", transform(kTransformBody + "<scale>1</scale><scale>1</scale>"),
                    101},
        MessageCase{"ScaleZero", transform(kTransformBody + "<scale>0</scale>"), 38},
        MessageCase{"ForwardZero",
                    transform("<forward>0 0 0</forward><up>0 1 0</up><position>0 0 0</position>"),
                    35},
        MessageCase{"UpZero",
                    transform("<forward>0 0 1</forward><up>0 0 0</up><position>0 0 0</position>"),
                    36},
        MessageCase{"UpAlongForward",
                    transform("<forward>0 0 1</forward><up>0 0 5</up><position>0 0 0</position>"),
                    170},
        // Normalised, these two are one ulp from parallel: d is not exactly 1, yet
        // nothing of up is left once its forward part is taken away.
        MessageCase{"UpColinearWithForward",
                    transform("<forward>-4 -3 -2</forward><up>-12 -9 -6</up>"
                              "<position>0 0 0</position>"),
                    37},
        MessageCase{"ThreeVectorsAndAScale",
                    validWorld("<object><transform>" + kTransformBody +
                               "<scale>2</scale></transform></object>"),
                    0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AppearanceRecords, ImagesReachTheConsumerAsRgbaRows) {
    const Load load(
        validWorld("<texturergb id='1' width='2' height='1'>FF000000ff80</texturergb>"
                   "<object><texturergba id='2' width='1' height='2'>0102030405060708</texturergba>"
                   "</object>"));
    ASSERT_EQ(load.firstError(), "");
    ASSERT_EQ(load.consumer.images.size(), 2u);
    const TextureImageRecord& rgb = *load.consumer.images[0];
    EXPECT_TRUE(rgb.rgb);
    EXPECT_EQ(rgb.id, 1);
    EXPECT_EQ(rgb.width, 2);
    EXPECT_EQ(rgb.height, 1);
    EXPECT_EQ(std::vector<int>(rgb.pixels.get(), rgb.pixels.get() + 8),
              (std::vector<int>{255, 0, 0, 255, 0, 255, 128, 255}));
    const TextureImageRecord& rgba = *load.consumer.images[1];
    EXPECT_FALSE(rgba.rgb);
    EXPECT_EQ(std::vector<int>(rgba.pixels.get(), rgba.pixels.get() + 8),
              (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(AppearanceRecords, TextureKeepsItsFunctionWrapBorderTransformAndImage) {
    const Load load(validWorld(
        "<texture id='7'><texturergb width='1' height='1'>0A0B0C</texturergb><modulate/><clamp/>"
        "<texturebordercolor>0.1 0.2 0.3 0.4</texturebordercolor><tctransform><ss>2</ss>"
        "<st>3</st><ts>4</ts><tt>5</tt><cs>6</cs><ct>7</ct></tctransform></texture>"
        "<texture id='8'><texturergbaref>9</texturergbaref><decal/><repeat/></texture>"));
    ASSERT_EQ(load.firstError(), "");
    ASSERT_EQ(load.state().textures.size(), 2u);
    const TextureRecord& first = *load.state().textures[0]->pending;
    EXPECT_EQ(first.function, kTextureModulate);
    EXPECT_EQ(first.wrap, kWrapClamp);
    EXPECT_EQ(first.hasBorderColor, 1);
    EXPECT_FLOAT_EQ(first.borderColor[3], 0.4f);
    EXPECT_EQ(std::vector<double>(first.coordTransform, first.coordTransform + 6),
              (std::vector<double>{2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(first.imageHandle, 100);  // the inline image's handle from addTextureImage
    const TextureRecord& second = *load.state().textures[1]->pending;
    EXPECT_EQ(second.function, kTextureDecal);
    EXPECT_EQ(second.wrap, kWrapRepeat);
    EXPECT_EQ(second.hasBorderColor, 0);
    // Without "tctransform" the coordinates are used as they are.
    EXPECT_EQ(std::vector<double>(second.coordTransform, second.coordTransform + 6),
              (std::vector<double>{1, 0, 1, 0, 0, 0}));
    EXPECT_EQ(second.imageId, 9);
}

TEST(AppearanceRecords, HandOverBindsReferencesAndRegistersEachTextureOnce) {
    // Texture 1 names image 9, which the document defines only after it.
    Load load(
        validWorld("<texture id='1'><texturergbref>9</texturergbref><replace/><clamp/>"
                   "</texture><texturergb id='9' width='1' height='1'>000000</texturergb>"));
    ASSERT_EQ(load.firstError(), "");
    TextureUse* defined = load.state().textures[0].get();
    DefinitionScope* scope = DefinitionScope::createWorld();
    ASSERT_TRUE(scope->defineTexture(1, defined));
    PoolVector<TextureUse*> list;
    list.append(AppearanceRules::textureReference(load.context.model(), 1));
    list.append(AppearanceRules::textureReference(load.context.model(), 1));
    RecordingConsumer consumer;
    EXPECT_TRUE(resolveTextureUses(list, scope, consumer));
    EXPECT_EQ(list[0], defined);
    EXPECT_EQ(list[1], defined);
    ASSERT_EQ(consumer.textures.size(), 1u);
    EXPECT_EQ(consumer.textures[0]->imageHandle, 100);  // image 9, found once it existed
    EXPECT_EQ(defined->handle, 200);
    EXPECT_TRUE(defined->registered());

    PoolVector<TextureUse*> unknown;
    unknown.append(AppearanceRules::textureReference(load.context.model(), 2));
    EXPECT_FALSE(resolveTextureUses(unknown, scope, consumer));
    EXPECT_TRUE(unknown[0]->isReference());
    scope->release();
}

TEST(AppearanceRecords, InlineMaterialAndStylesAreAttachedToTheirPrimitives) {
    const Load load(validWorld(
        "<mesh><f><mat><amb>0.1 0.2 0.3</amb><diff>0.4 0.5 0.6</diff><alpha>0.5</alpha></mat>"
        "<fv1><p>0 0 0</p></fv1><fv2><p>1 0 0</p></fv2><fv3><p>0 1 0</p></fv3></f>"
        "<l><matref>4</matref><lv1><p>0 0 0</p></lv1><lv2><p>1 0 0</p></lv2><linestyle>"
        "<linewidth>3</linewidth><linepattern>F0F0</linepattern>"
        "<linepatternfactor>2</linepatternfactor></linestyle></l>"
        "<pt><mat id='4'>" +
        kAmbDiff +
        "</mat><pv1><p>0 0 0</p></pv1><pointstyle><pointsize>5</pointsize></pointstyle></pt>"
        "</mesh>"));
    ASSERT_EQ(load.firstError(), "");
    ASSERT_EQ(load.consumer.meshes.size(), 1u);
    const DrawableMesh& mesh = *load.consumer.meshes[0];
    ASSERT_EQ(mesh.faces.count, 1u);
    const MaterialRecord& faceMaterial = mesh.materials[mesh.faces[0].material];
    EXPECT_EQ(faceMaterial.id, kNone);
    EXPECT_FLOAT_EQ(faceMaterial.ambient[2], 0.3f);
    EXPECT_FLOAT_EQ(faceMaterial.diffuse[0], 0.4f);
    EXPECT_FLOAT_EQ(faceMaterial.alpha, 0.5f);
    const LineStyleRecord& style = mesh.lineStyles[mesh.lines[0].lineStyle];
    EXPECT_FLOAT_EQ(style.width, 3.0f);
    EXPECT_EQ(style.pattern, 0xF0F0u);
    EXPECT_EQ(style.patternFactor, 2u);
    EXPECT_FLOAT_EQ(mesh.pointStyles[mesh.points[0].pointStyle].size, 5.0f);
    // The point's material carries an ID: defined for the line's "matref" and attached.
    EXPECT_FLOAT_EQ(mesh.materials[mesh.points[0].material].diffuse[1], 1.0f);
    EXPECT_FLOAT_EQ(mesh.materials[mesh.lines[0].material].diffuse[1], 1.0f);
}

TEST(AppearanceRecords, TransformIsNormalisedIntoTheObject) {
    const Load load(validWorld(
        "<object><transform><forward>0 0 2</forward><up>0 3 3</up><position>1 2 3</position>"
        "<scale>0.5</scale></transform></object>"));
    ASSERT_EQ(load.firstError(), "");
    ASSERT_EQ(load.consumer.objects.size(), 1u);
    const Transform& t = load.consumer.objects[0]->transform;
    EXPECT_EQ(std::vector<double>(t.forward, t.forward + 3), (std::vector<double>{0, 0, 1}));
    EXPECT_EQ(t.up[0], 0.0);
    EXPECT_NEAR(t.up[1], 1.0, 1e-7);
    EXPECT_EQ(t.up[2], 0.0);
    EXPECT_EQ(std::vector<double>(t.position, t.position + 3), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(t.scale, 0.5);
}

TEST(AppearanceRecords, SphereMapGoesIntoTheLighting) {
    const Load load(inWorld(
        "<lighting><ambient>0 0 0</ambient><spheremap><radius>2.5</radius><center>1 2 3</center>"
        "<texturergb width='1' height='1'>FFFFFF</texturergb></spheremap></lighting>"
        "<background><backcolor>0 0 0</backcolor></background>"));
    ASSERT_EQ(load.firstError(), "");
    ASSERT_NE(load.consumer.lighting, nullptr);
    const SphereMapRecord& sphereMap = load.consumer.lighting->sphereMap;
    EXPECT_TRUE(sphereMap.given);
    EXPECT_EQ(sphereMap.image, 100);
    EXPECT_EQ(sphereMap.radius, 2.5);
    EXPECT_EQ(sphereMap.center[2], 3.0);
}

}  // namespace
}  // namespace tessaro
