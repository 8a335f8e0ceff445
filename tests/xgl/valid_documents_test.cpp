// Valid documents that use every element of the format load without a message, and
// describeDocument reports what they hold and the box the camera is fitted to.
//
// Expected boxes are worked out by hand: an object maps each corner of its local box
// to s * (x X + y U + z F) + P with X = U x F (F and U unit length, U made orthogonal
// to F); the world box is the world mesh's box or the union of its top-level objects'.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <filesystem>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "test_files.h"
#include "xgl/document_info.h"

namespace tessaro {
namespace {

struct Counts {
    std::uint64_t meshes = 0;
    std::uint64_t meshGroups = 0;
    std::uint64_t objects = 0;
    std::uint64_t faces = 0;
    std::uint64_t lines = 0;
    std::uint64_t points = 0;
    std::uint64_t materials = 0;
    std::uint64_t textures = 0;
    std::uint64_t images = 0;
    std::uint64_t data = 0;
    std::uint64_t includes = 0;

    bool operator==(const Counts&) const = default;
};

void PrintTo(const Counts& c, std::ostream* out) {
    *out << "{meshes " << c.meshes << ", groups " << c.meshGroups << ", objects " << c.objects
         << ", faces " << c.faces << ", lines " << c.lines << ", points " << c.points
         << ", materials " << c.materials << ", textures " << c.textures << ", images " << c.images
         << ", data " << c.data << ", includes " << c.includes << "}";
}

Counts countsOf(const DocumentInfo& i) {
    return {i.meshes,    i.meshGroups, i.objects, i.faces, i.lines,   i.points,
            i.materials, i.textures,   i.images,  i.data,  i.includes};
}

using Bounds = std::array<double, 6>;  // min x, y, z, max x, y, z

struct ValidDocument {
    const char* name;
    std::string text;
    Counts counts;
    std::optional<Bounds> box;  // none: nothing drawable
};

void PrintTo(const ValidDocument& d, std::ostream* out) {
    *out << d.name;
}

const char* const kLightingAndBackground = R"(
  <LIGHTING><AMBIENT>0.2, 0.2, 0.2</AMBIENT></LIGHTING>
  <BACKGROUND><BACKCOLOR>1, 1, 1</BACKCOLOR></BACKGROUND>)";

std::string document(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<WORLD>" + body + "\n</WORLD>\n";
}

// Outer object: forward 0 0 5 -> F = (0, 0, 1); up 0 3 3 loses its forward part, so
// U = (0, 1, 0); X = (1, 0, 0); scale 2, position (10, 0, 0).
// Inner object: F = (1, 0, 0), U = (0, 1, 0), X = U x F = (0, 0, -1), so a corner
// (x, y, z) goes to (z, y, -x): the mesh box (0 0 0)-(1 2 3) becomes (0 0 -1)-(3 2 0),
// and the outer transform makes it (10 0 -2)-(16 4 0).
// Second object: F = (0, 1, 0), U = (0, 0, 1), X = (-1, 0, 0), so (x, y, z) goes to
// (-x, z, y): the mesh box (1 2 3)-(2 4 5) becomes (-2 3 2)-(-1 5 4).
const ValidDocument kNestedObjects{"NestedObjectsWithTransforms",
                                   document(std::string(kLightingAndBackground) + R"(
  <Object PathID="1">
    <Transform><Forward>0 0 5</Forward><Up>0 3 3</Up><Position>10 0 0</Position><Scale>2</Scale></Transform>
    <Mat ID="1"><Amb>0.1 0.1 0.1</Amb><Diff>0.7 0.7 0.7</Diff></Mat>
    <Object PathID="1">
      <Transform><Forward>1 0 0</Forward><Up>0 1 0</Up><Position>0 0 0</Position></Transform>
      <Mesh>
        <F><MatRef>1</MatRef><FV1><P>0 0 0</P></FV1><FV2><P>1 0 0</P></FV2><FV3><P>0 2 0</P></FV3></F>
        <F><MatRef>1</MatRef><FV1><P>0 0 0</P></FV1><FV2><P>1 0 0</P></FV2><FV3><P>0 0 3</P></FV3></F>
      </Mesh>
    </Object>
  </Object>
  <Object PathID="2">
    <Transform><Forward>0 1 0</Forward><Up>0 0 1</Up><Position>0 0 0</Position></Transform>
    <Mesh>
      <F><Mat><Amb>0 0 0</Amb><Diff>1 1 1</Diff></Mat>
        <FV1><P>1 2 3</P></FV1><FV2><P>2 2 3</P></FV2><FV3><P>1 4 5</P></FV3></F>
    </Mesh>
  </Object>)"),
                                   {.meshes = 2, .objects = 3, .faces = 3, .materials = 2},
                                   Bounds{-2, 0, -2, 16, 5, 4}};

// Mesh 7, box (1 1 1)-(2 3 4), is handed over once and drawn by objects 5, 9 and the
// first instance. The instance moves it by (100, 0, 0): (101 1 1)-(102 3 4). Object 9
// turns it half round the y axis (F = (0, 0, -1), X = (-1, 0, 0)): (-2 1 -4)-(-1 3 -1),
// which the second instance holds unchanged.
const ValidDocument kReferencesDefinedAfterUse{
    "ReferencesDefinedAfterUseAndASharedMesh",
    document(std::string(kLightingAndBackground) + R"(
  <Mat ID="1"><Amb>0.1 0.1 0.1</Amb><Diff>0.7 0.7 0.7</Diff></Mat>
  <ObjectRef>5</ObjectRef>
  <Object PathID="1">
    <MeshRef>7</MeshRef>
    <Transform><Forward>0 0 1</Forward><Up>0 1 0</Up><Position>100 0 0</Position></Transform>
  </Object>
  <Object PathID="2"><ObjectRef>9</ObjectRef></Object>
  <Object ID="5"><MeshRef>7</MeshRef></Object>
  <Object ID="9">
    <Transform><Forward>0 0 -1</Forward><Up>0 1 0</Up><Position>0 0 0</Position></Transform>
    <MeshRef>7</MeshRef>
  </Object>
  <Mesh ID="7">
    <F><MatRef>1</MatRef><FV1><P>1 1 1</P></FV1><FV2><P>2 1 1</P></FV2><FV3><P>1 3 4</P></FV3></F>
  </Mesh>)"),
    {.meshes = 1, .objects = 4, .faces = 1, .materials = 1},
    Bounds{-2, 1, -4, 102, 3, 4}};

// The world's mesh, named before it is defined. Its material list holds five entries:
// reference 1 (shared by the two patch faces), the inline one, reference 1 again
// after it, the line's inline one, reference 1 (shared by the last line and both
// points). Position 99 is used by nothing and stays out of the box.
const ValidDocument kStylesAndPrimitives{
    "MaterialsStylesPatchesLinesAndPoints",
    document(std::string(kLightingAndBackground) + R"(
  <Name>styles</Name>
  <MeshRef>4</MeshRef>
  <Mat ID="1">
    <Amb>0.1 0.1 0.1</Amb><Diff>0.5 0.5 0.5</Diff><Spec>1 1 1</Spec><Shine>20</Shine>
    <Emiss>0 0 0</Emiss><Alpha>1</Alpha>
  </Mat>
  <LineStyle ID="2"><LineWidth>2</LineWidth><LinePattern>F0F0</LinePattern><LinePatternFactor>3</LinePatternFactor></LineStyle>
  <PointStyle ID="3"><PointSize>4</PointSize></PointStyle>
  <Mesh ID="4">
    <P ID="1">0 0 0</P><P ID="2">4 0 0</P><P ID="3">0 5 0</P><P ID="4">0 0 6</P>
    <P ID="99">1000 1000 1000</P>
    <N ID="1">0 0 2</N>
    <Patch PatchID="1">
      <Data Org="acme"><Str Name="finish">matte</Str></Data>
      <F><MatRef>1</MatRef><S>1</S><S>0</S>
        <FV1><PRef>1</PRef><NRef>1</NRef></FV1><FV2><PRef>2</PRef><NRef>1</NRef></FV2><FV3><PRef>3</PRef><NRef>1</NRef></FV3></F>
      <F><MatRef>1</MatRef><Surface/>
        <FV1><PRef>1</PRef></FV1><FV2><PRef>3</PRef></FV2><FV3><PRef>4</PRef><N>1 0 0</N></FV3></F>
    </Patch>
    <F><Mat><Amb>0 0 0</Amb><Diff>1 0 0</Diff><Alpha>0.5</Alpha></Mat>
      <FV1><PRef>2</PRef></FV1><FV2><PRef>3</PRef></FV2><FV3><P>-1 -2 -3</P></FV3></F>
    <L><MatRef>1</MatRef><LineStyleRef>2</LineStyleRef><LV1><PRef>1</PRef></LV1><LV2><P>7 0 0</P></LV2></L>
    <L><Mat><Amb>0 0 0</Amb><Diff>0 1 0</Diff></Mat><LineStyle><LineWidth>1.5</LineWidth></LineStyle>
      <LV1><PRef>2</PRef></LV1><LV2><PRef>4</PRef></LV2></L>
    <L><MatRef>1</MatRef><LV1><PRef>1</PRef></LV1><LV2><PRef>4</PRef></LV2></L>
    <PT><MatRef>1</MatRef><PointStyleRef>3</PointStyleRef><PV1><P>0 8 0</P></PV1></PT>
    <PT><MatRef>1</MatRef><PointStyle><PointSize>2</PointSize></PointStyle><PV1><PRef>4</PRef></PV1></PT>
  </Mesh>)"),
    {.meshes = 1, .faces = 3, .lines = 3, .points = 2, .materials = 5, .data = 1},
    Bounds{-1, -2, -3, 7, 8, 6}};

// Texture 2 is used by a face, a line and a point and registered once; three faces
// carry inline textures. Images: the world's RGB image, the external image, the
// object's RGBA image and the inline RGB image.
const ValidDocument kTextures{"TexturedFacesLinesAndPoints",
                              document(std::string(kLightingAndBackground) + R"(
  <TextureRGB ID="1" Width="2" Height="1">FF000000FF00</TextureRGB>
  <IncludeTextureBuffer ID="3"><Ref>wood.png</Ref><RefType>png</RefType></IncludeTextureBuffer>
  <Texture ID="2">
    <TextureRGBRef>1</TextureRGBRef><Modulate/><Repeat/>
    <TextureBorderColor>0 0 0 1</TextureBorderColor>
    <TCTransform><SS>2</SS><ST>0</ST><TS>0</TS><TT>2</TT><CS>0.5</CS><CT>0.5</CT></TCTransform>
  </Texture>
  <Mat ID="1"><Amb>0.2 0.2 0.2</Amb><Diff>0.8 0.8 0.8</Diff></Mat>
  <TC ID="1">0 0</TC>
  <Object>
    <TC ID="4">0 1</TC>
    <TextureRGBA ID="5" Width="1" Height="2">1020304050607080</TextureRGBA>
    <Mesh>
      <TC ID="2">1 0</TC>
      <F><MatRef>1</MatRef><TextureRef>2</TextureRef>
        <FV1><P>0 0 0</P><TCRef>1</TCRef></FV1>
        <FV2><P>1 0 0</P><TCRef>2</TCRef></FV2>
        <FV3><P>0 1 0</P><TCRef>4</TCRef></FV3></F>
      <F><MatRef>1</MatRef>
        <Texture><TextureRGB Width="1" Height="1">102030</TextureRGB><Decal/><Clamp/></Texture>
        <FV1><P>0 0 2</P><TC>0 0</TC></FV1>
        <FV2><P>1 0 2</P><TC>1 0</TC></FV2>
        <FV3><P>0 1 2</P><TC>0 1</TC></FV3></F>
      <F><MatRef>1</MatRef>
        <Texture><TextureBufferRef>3</TextureBufferRef><Replace/><Clamp/></Texture>
        <FV1><P>0 0 -1</P><TCRef>1</TCRef></FV1>
        <FV2><P>1 0 -1</P><TCRef>2</TCRef></FV2>
        <FV3><P>0 1 -1</P><TCRef>4</TCRef></FV3></F>
      <F><MatRef>1</MatRef>
        <Texture><TextureRGBARef>5</TextureRGBARef><Modulate/><Repeat/></Texture>
        <FV1><P>2 2 2</P><TCRef>1</TCRef></FV1>
        <FV2><P>3 2 2</P><TCRef>2</TCRef></FV2>
        <FV3><P>2 3 2</P><TCRef>4</TCRef></FV3></F>
      <L><MatRef>1</MatRef><TextureRef>2</TextureRef>
        <LV1><P>-3 0 0</P><TCRef>1</TCRef></LV1><LV2><P>0 0 0</P><TCRef>2</TCRef></LV2></L>
      <PT><MatRef>1</MatRef><TextureRef>2</TextureRef><PV1><P>0 4 0</P><TC>0.5 0.5</TC></PV1></PT>
    </Mesh>
  </Object>)"),
                              {.meshes = 1,
                               .objects = 1,
                               .faces = 4,
                               .lines = 1,
                               .points = 1,
                               .materials = 1,
                               .textures = 4,
                               .images = 4},
                              Bounds{-3, 0, -1, 3, 4, 2}};

// Included objects have neither a mesh nor child objects, so they add no box: the world
// box is the inner object's, its mesh (0 0 0)-(1 1 1) moved by (0, 0, 10).
const ValidDocument kIncludesAndExternalGeometry{
    "IncludedObjectsExternalGeometryAndData",
    document(R"(
  <LIGHTING>
    <DIRECTIONALLIGHT><DIRECTION>0 0 -1</DIRECTION><DIFFUSE>1 1 1</DIFFUSE><SPECULAR>0.5 0.5 0.5</SPECULAR></DIRECTIONALLIGHT>
  </LIGHTING>
  <BACKGROUND><BACKCOLOR>0.2 0.2 0.2</BACKCOLOR></BACKGROUND>
  <Data Org="acme"><Str Name="author">someone</Str><Bin Name="magic">CAFE</Bin></Data>
  <Include PathID="1">
    <Ref>part.xgl</Ref><RefType>xgl</RefType><Extents>-500 -500 -500 500 500 500</Extents>
    <Transform><Forward>0 0 1</Forward><Up>0 1 0</Up><Position>5 5 5</Position><Scale>2</Scale></Transform>
    <Data Org="acme"><Str Name="part">bracket</Str></Data>
  </Include>
  <Mat ID="1"><Amb>0.2 0.2 0.2</Amb><Diff>0.8 0.8 0.8</Diff></Mat>
  <Object PathID="2">
    <Name>holder</Name>
    <IncludeStatic PathID="1"><Ref>bolt.xgl</Ref><RefType>xgl</RefType><Extents>0 0 0 900 900 900</Extents></IncludeStatic>
    <Object PathID="2">
      <Transform><Forward>0 0 1</Forward><Up>0 1 0</Up><Position>0 0 10</Position></Transform>
      <Data Org="acme"><Bin Name="id">00FF</Bin></Data>
      <ExtGeom Org="acme">
        <ExtGeomElem Type="nurbs"><ExtGeomElemData>0A0B
0C0D</ExtGeomElemData><ExtGeomElemExtents>0 0 0 1 1 1</ExtGeomElemExtents><ExtGeomElemPriority>0.5</ExtGeomElemPriority></ExtGeomElem>
        <ExtGeomElem Type="brep"><ExtGeomElemExtents>0 0 0 2 2 2</ExtGeomElemExtents><ExtGeomElemData>FF</ExtGeomElemData></ExtGeomElem>
      </ExtGeom>
      <Mesh>
        <ExtGeom Org="acme"><ExtGeomElem Type="mesh"><ExtGeomElemData>00</ExtGeomElemData><ExtGeomElemExtents>0 0 0 1 1 1</ExtGeomElemExtents></ExtGeomElem></ExtGeom>
        <Data Org="acme"><Str Name="k">v</Str></Data>
        <F><MatRef>1</MatRef><FV1><P>0 0 0</P></FV1><FV2><P>1 0 0</P></FV2><FV3><P>0 1 1</P></FV3></F>
      </Mesh>
    </Object>
  </Object>)"),
    {.meshes = 1, .objects = 4, .faces = 1, .materials = 1, .data = 4, .includes = 2},
    Bounds{0, 0, 10, 1, 1, 11}};

const ValidDocument kSphereMap{"LightsAndASphereMapWithoutGeometry",
                               document(R"(
  <LIGHTING>
    <AMBIENT>0.1 0.1 0.1</AMBIENT>
    <DIRECTIONALLIGHT><DIRECTION>0 0 5</DIRECTION><SPECULAR>1 1 1</SPECULAR></DIRECTIONALLIGHT>
    <DIRECTIONALLIGHT><DIRECTION>1 1 0</DIRECTION><DIFFUSE>0.5 0.5 0.5</DIFFUSE></DIRECTIONALLIGHT>
    <SPHEREMAP>
      <TextureRGBA Width="2" Height="2">00000000FFFFFFFF00000000FFFFFFFF</TextureRGBA>
      <Radius>10</Radius><Center>0 0 0</Center>
    </SPHEREMAP>
  </LIGHTING>
  <BACKGROUND><BACKCOLOR>0 0 0.5</BACKCOLOR></BACKGROUND>)"),
                               {.images = 1},
                               std::nullopt};

const ValidDocument kExternalSphereMap{"SphereMapFromAnExternalImage",
                                       document(R"(
  <LIGHTING>
    <AMBIENT>0.1 0.1 0.1</AMBIENT>
    <SPHEREMAP>
      <IncludeTextureBuffer><Ref>sky.png</Ref><RefType>png</RefType></IncludeTextureBuffer>
      <Radius>5</Radius><Center>1 1 1</Center>
    </SPHEREMAP>
  </LIGHTING>
  <BACKGROUND><BACKCOLOR>0 0 0</BACKCOLOR></BACKGROUND>)"),
                                       {.images = 1},
                                       std::nullopt};

// A world mesh of one line and one point only: its box comes from their positions.
const ValidDocument kLinesAndPointsOnly{
    "WorldMeshOfALineAndAPoint",
    document(std::string(kLightingAndBackground) + R"(
  <Name>wires</Name>
  <Data Org="acme"><Str Name="note">world data</Str></Data>
  <Mesh>
    <Surface/>
    <Mat ID="1"><Amb>0 0 0</Amb><Diff>1 1 1</Diff></Mat>
    <LineStyle ID="1"><LineWidth>3</LineWidth></LineStyle>
    <PointStyle ID="1"><PointSize>5</PointSize></PointStyle>
    <P ID="1">-1 -1 -1</P>
    <L><MatRef>1</MatRef><LineStyleRef>1</LineStyleRef><LV1><PRef>1</PRef></LV1><LV2><P>2 3 4</P></LV2></L>
    <PT><MatRef>1</MatRef><PointStyleRef>1</PointStyleRef><PV1><P>-5 0 0</P><N>0 0 1</N></PV1></PT>
  </Mesh>)"),
    {.meshes = 1, .lines = 1, .points = 1, .materials = 1, .data = 1},
    Bounds{-5, -1, -1, 2, 3, 4}};

const std::vector<ValidDocument> kValidDocuments = {
    kNestedObjects,     kReferencesDefinedAfterUse,   kStylesAndPrimitives,
    kTextures,          kIncludesAndExternalGeometry, kSphereMap,
    kExternalSphereMap, kLinesAndPointsOnly};

constexpr double kTolerance = 1e-6;  // up is normalised with a float-precision factor

void expectBox(const DocumentInfo& info, const std::optional<Bounds>& expected) {
    ASSERT_EQ(info.bbox.has_value(), expected.has_value());
    if (!expected) return;
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(info.bbox->min[axis], (*expected)[axis], kTolerance) << "min axis " << axis;
        EXPECT_NEAR(info.bbox->max[axis], (*expected)[3 + axis], kTolerance) << "max axis " << axis;
    }
}

class ValidDocuments : public ::testing::TestWithParam<ValidDocument> {};

TEST_P(ValidDocuments, LoadWithoutAMessageAndAreDescribedAsExpected) {
    const ValidDocument& d = GetParam();
    testing::TempDir dir;
    const std::pair<std::string, std::string> files[] = {
        {dir.file("model.xgl"), d.text},
        {dir.file("model.zgl"), testing::deflateText(d.text)},
    };
    for (const auto& [path, bytes] : files) {
        SCOPED_TRACE(path);
        testing::writeFile(path, bytes);
        const DocumentInfo info = describeDocument(path.c_str());
        EXPECT_NE(info.load.status, LoadStatus::cannotOpen);
        EXPECT_EQ(info.load.status, LoadStatus::loaded) << info.load.message;
        EXPECT_EQ(countsOf(info), d.counts);
        expectBox(info, d.box);
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, ValidDocuments, ::testing::ValuesIn(kValidDocuments),
                         [](const auto& info) { return std::string(info.param.name); });

// 99999 faces fill the face table to its spill limit (the open record makes 100000), so
// the mesh is cut into two face chunks of 49999 and 50000 faces; the three lines ride
// in the first chunk. Each chunk carries its own copy of the one-entry material list,
// and the group of the two chunks is the object's mesh. The strip's positions span
// (0 0 0)-(50000 1 0), the lines (0 0 -2)-(0 0 3); the object moves it by (10, 20, 30).
TEST(ValidDocuments, ASpilledMeshIsHandedOverInChunksThatFormOneGroup) {
    constexpr int kFaces = 99999;
    std::string body = std::string(kLightingAndBackground) +
                       "<Mat ID=\"1\"><Amb>0 0 0</Amb><Diff>1 1 1</Diff></Mat>"
                       "<Object><Transform><Forward>0 0 1</Forward><Up>0 1 0</Up>"
                       "<Position>10 20 30</Position></Transform><Mesh>\n";
    for (int k = 0; k < kFaces + 2; ++k) {
        body += "<P ID=\"" + std::to_string(k) + "\">" + std::to_string(k / 2) + " " +
                std::to_string(k % 2) + " 0</P>\n";
    }
    for (int i = 0; i < kFaces; ++i) {
        body += "<F><MatRef>1</MatRef><FV1><PRef>" + std::to_string(i) +
                "</PRef></FV1><FV2><PRef>" + std::to_string(i + 1) + "</PRef></FV2><FV3><PRef>" +
                std::to_string(i + 2) + "</PRef></FV3></F>\n";
    }
    for (int top : {1, 2, 3}) {
        body += "<L><MatRef>1</MatRef><LV1><P>0 0 -2</P></LV1><LV2><P>0 0 " + std::to_string(top) +
                "</P></LV2></L>\n";
    }
    body += "</Mesh></Object>";

    testing::TempDir dir;
    const std::string path = dir.file("strip.xgl");
    testing::writeFile(path, document(body));
    const DocumentInfo info = describeDocument(path.c_str());
    EXPECT_EQ(info.load.status, LoadStatus::loaded) << info.load.message;
    EXPECT_EQ(countsOf(info), (Counts{.meshes = 2,
                                      .meshGroups = 1,
                                      .objects = 1,
                                      .faces = 99999,
                                      .lines = 3,
                                      .materials = 2}));
    expectBox(info, Bounds{10, 20, 28, 50010, 21, 33});
}

// The element names of the format; each one must occur in some document above.
const char* const kVocabulary[] = {"world",
                                   "object",
                                   "lighting",
                                   "transform",
                                   "mesh",
                                   "forward",
                                   "up",
                                   "position",
                                   "scale",
                                   "mat",
                                   "f",
                                   "fv1",
                                   "p",
                                   "n",
                                   "matref",
                                   "emiss",
                                   "diff",
                                   "spec",
                                   "amb",
                                   "shine",
                                   "alpha",
                                   "surface",
                                   "diffuse",
                                   "specular",
                                   "direction",
                                   "ambient",
                                   "directionallight",
                                   "background",
                                   "backcolor",
                                   "pref",
                                   "nref",
                                   "meshref",
                                   "data",
                                   "str",
                                   "bin",
                                   "fv2",
                                   "fv3",
                                   "patch",
                                   "tc",
                                   "tcref",
                                   "texture",
                                   "textureref",
                                   "texturergb",
                                   "texturergba",
                                   "replace",
                                   "modulate",
                                   "decal",
                                   "repeat",
                                   "clamp",
                                   "texturebordercolor",
                                   "objectref",
                                   "include",
                                   "ref",
                                   "extents",
                                   "reftype",
                                   "s",
                                   "l",
                                   "lv1",
                                   "lv2",
                                   "linestyle",
                                   "linestyleref",
                                   "linewidth",
                                   "linepattern",
                                   "linepatternfactor",
                                   "pt",
                                   "pv1",
                                   "pointstyle",
                                   "pointstyleref",
                                   "pointsize",
                                   "extgeom",
                                   "extgeomelem",
                                   "extgeomelemdata",
                                   "extgeomelemextents",
                                   "extgeomelempriority",
                                   "includestatic",
                                   "name",
                                   "includetexturebuffer",
                                   "texturergbref",
                                   "texturergbaref",
                                   "texturebufferref",
                                   "spheremap",
                                   "radius",
                                   "center",
                                   "tctransform",
                                   "ss",
                                   "st",
                                   "tt",
                                   "ts",
                                   "cs",
                                   "ct"};

// The lower-cased names of the start tags of `text`.
std::set<std::string> startTagNames(const std::string& text) {
    std::set<std::string> names;
    for (std::size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
        std::size_t end = at + 1;
        while (end < text.size() && std::isalnum(static_cast<unsigned char>(text[end])))
            ++end;
        std::string name = text.substr(at + 1, end - at - 1);
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!name.empty()) names.insert(name);
    }
    return names;
}

TEST(ValidDocuments, TogetherUseEveryElementOfTheFormat) {
    std::set<std::string> used;
    for (const ValidDocument& d : kValidDocuments)
        used.merge(startTagNames(d.text));
    for (const char* name : kVocabulary)
        EXPECT_EQ(used.count(name), 1u) << "no valid document uses <" << name << ">";
}

TEST(GeneratedSamples, LoadWithoutAMessage) {
    const std::filesystem::path samples =
        std::filesystem::path(TESSARO_TEST_DATA) / ".." / ".." / "samples";
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(samples)) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".xgl" && extension != ".zgl") continue;
        SCOPED_TRACE(entry.path().string());
        const DocumentInfo info = describeDocument(entry.path().string().c_str());
        EXPECT_NE(info.load.status, LoadStatus::cannotOpen);
        EXPECT_EQ(info.load.status, LoadStatus::loaded) << info.load.message;
        EXPECT_GT(info.faces + info.lines + info.points, 0u);
        EXPECT_TRUE(info.bbox.has_value());
        ++loaded;
    }
    EXPECT_GE(loaded, 2) << "samples expected in " << samples;
}

}  // namespace
}  // namespace tessaro
