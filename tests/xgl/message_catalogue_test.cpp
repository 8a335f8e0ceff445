// Every numbered message that can reach the user, each raised by the smallest
// document that provokes it, compared by its exact text.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "recording_consumer.h"
#include "test_files.h"
#include "xgl/document_info.h"
#include "xgl/messages.h"
#include "xgl/scene_load_context.h"

namespace tessaro {
namespace {

using testing::TextStream;

using testing::RecordingConsumer;

std::string world(const std::string& body) {
    return "<WORLD>" + body + "</WORLD>";
}

const std::string kLighting = "<Lighting><Ambient>0 0 0</Ambient></Lighting>";
const std::string kBackground = "<Background><BackColor>0 0 0</BackColor></Background>";

// A world that passes its own end rules, for messages raised when the world ends.
std::string completeWorld(const std::string& body) {
    return world(kLighting + kBackground + body);
}

std::string mesh(const std::string& content) {
    return world("<Mesh>" + content + "</Mesh>");
}
std::string object(const std::string& content, const std::string& attributes = "") {
    return world("<Object" + attributes + ">" + content + "</Object>");
}
std::string lighting(const std::string& content) {
    return world("<Lighting>" + content + "</Lighting>");
}
std::string light(const std::string& content) {
    return lighting("<DirectionalLight>" + content + "</DirectionalLight>");
}
std::string material(const std::string& content) {
    return world("<Mat ID=\"1\">" + content + "</Mat>");
}
std::string transform(const std::string& content) {
    return object("<Transform>" + content + "</Transform>");
}
std::string texture(const std::string& content) {
    return world("<Texture ID=\"1\">" + content + "</Texture>");
}
std::string tcTransform(const std::string& content) {
    return texture("<TCTransform>" + content + "</TCTransform>");
}
std::string include(const std::string& content) {
    return world("<Include>" + content + "</Include>");
}
std::string lineStyle(const std::string& content) {
    return world("<LineStyle ID=\"1\">" + content + "</LineStyle>");
}
std::string pointStyle(const std::string& content) {
    return world("<PointStyle ID=\"1\">" + content + "</PointStyle>");
}
std::string extGeom(const std::string& content) {
    return object("<ExtGeom Org=\"acme\">" + content + "</ExtGeom>");
}
std::string extGeomElement(const std::string& content) {
    return extGeom("<ExtGeomElem Type=\"nurbs\">" + content + "</ExtGeomElem>");
}
std::string data(const std::string& content) {
    return world("<Data Org=\"acme\">" + content + "</Data>");
}

const std::string kFv1 = "<FV1><P>0 0 0</P></FV1>";
const std::string kFv2 = "<FV2><P>1 0 0</P></FV2>";
const std::string kFv3 = "<FV3><P>0 1 0</P></FV3>";
const std::string kLv = "<LV1><PRef>1</PRef></LV1><LV2><PRef>2</PRef></LV2>";
const std::string kPv = "<PV1><PRef>1</PRef></PV1>";
const std::string kMatRef = "<MatRef>1</MatRef>";
const std::string kTextureRefs = "<TextureRef>1</TextureRef><TextureRef>1</TextureRef>";
const std::string kForward = "<Forward>0 0 1</Forward>";
const std::string kUp = "<Up>0 1 0</Up>";
const std::string kPosition = "<Position>0 0 0</Position>";
const std::string kFrame = kForward + kUp + kPosition;
const std::string kIncludeRefs = "<Ref>part.xgl</Ref><RefType>xgl</RefType>";
const std::string kExtents = "<Extents>0 0 0 1 1 1</Extents>";
const std::string kAmbDiff = "<Amb>0 0 0</Amb><Diff>1 1 1</Diff>";
const std::string kTextureBody = "<TextureRGBRef>5</TextureRGBRef><Replace/><Repeat/>";
const std::string kLightDirection = "<Direction>0 0 1</Direction>";
const std::string kWidth = "<LineWidth>1</LineWidth>";

std::string lights(int count) {
    std::string all;
    for (int i = 0; i < count; ++i)
        all +=
            "<DirectionalLight>" + kLightDirection + "<Diffuse>1 1 1</Diffuse></DirectionalLight>";
    return all;
}

// Every TCTransform leaf except `missing`.
std::string tcLeavesWithout(const std::string& missing) {
    std::string leaves;
    for (const char* leaf : {"SS", "ST", "TS", "TT", "CS", "CT"}) {
        if (leaf != missing) leaves += std::string("<") + leaf + ">1</" + leaf + ">";
    }
    return leaves;
}

struct CatalogueRow {
    int number;         // the message the document raises
    const char* cause;  // names the test
    std::string document;
    std::string text;  // the exact text that reaches the user
    int hides = 0;     // a message that would follow it in the same step and so never shows
};

void PrintTo(const CatalogueRow& row, std::ostream* out) {
    *out << row.number << " " << row.cause;
}

// clang-format off
const std::vector<CatalogueRow> kCatalogue = {
    {0, "SyntaxErrorOnTheThirdLine", "<WORLD>\n<Object>\n</WORLD>",
     "0: ParseError: mismatched tag at line 3\n"},
    {2, "WorldMaterialWithoutId", world("<Mat/>"),
     "2: Material tag defined at World Level without ID"},
    {3, "ObjectMaterialWithoutId", object("<Mat/>"),
     "3: Material tag defined at Object Level without ID"},
    {4, "MeshMaterialWithoutId", mesh("<Mat/>"),
     "4: : Material tag defined at Mesh Level without ID"},
    {5, "NinthDirectionalLight", lighting(lights(8) + "<DirectionalLight/>"),
     "5: More than 8 directional Lights"},
    {6, "PositionWithoutId", mesh("<P>1 2 3</P>"),
     "6: Position tag defined at Mesh Level without ID"},
    {7, "NormalWithoutId", mesh("<N>0 0 1</N>"),
     "7: Normal tag defined at Mesh Level without ID"},
    {8, "ObjectWithOtherAttribute", object("", " Colour=\"red\""),
     "8: Attribute for Object Tag not called PathID or ID"},
    {9, "DataWithOtherAttribute", world("<Data Org=\"acme\" Kind=\"x\"><Str Name=\"a\"/></Data>"),
     "9: Attribute for Data Tag not called Org"},
    {10, "DataWithoutAttributes", world("<Data/>"),
     "10: The Org attribute for the Data Tag was not found"},
    {11, "StrWithOtherAttribute", data("<Str Title=\"a\">b</Str>"),
     "11: Attribute for String Tag not called Name"},
    {12, "StrWithoutAttributes", data("<Str>b</Str>"),
     "12: The Name attribute for the String Tag was not found"},
    {13, "BinWithOtherAttribute", data("<Bin Title=\"a\">00</Bin>"),
     "13: Attribute for Bin Tag not called Name"},
    {14, "BinWithoutAttributes", data("<Bin>00</Bin>"),
     "14: The Name attribute for the Bin Tag was not found"},
    {15, "MeshTextureWithoutId", mesh("<Texture/>"),
     "15: Texture tag defined at Mesh Level without ID"},
    {16, "ObjectTextureWithoutId", object("<Texture/>"),
     "16: Texture tag defined at Object Level without ID"},
    {17, "WorldTextureWithoutId", world("<Texture/>"),
     "17: Texture tag defined at World Level without ID"},
    {18, "ImageWithOtherAttribute",
     world("<TextureRGB ID=\"1\" Width=\"1\" Height=\"1\" Depth=\"8\">000000</TextureRGB>"),
     "18: Attribute for TextureRGB or TextureRGBA Tag not called Width, Height or ID"},
    {19, "ImageWithoutWidth", world("<TextureRGB ID=\"1\" Height=\"1\">000000</TextureRGB>"),
     "19: TextureRGB or TextureRGBA Tag found without a width"},
    {20, "ImageWithoutHeight", world("<TextureRGBA ID=\"1\" Width=\"1\">00000000</TextureRGBA>"),
     "20: TextureRGB or TextureRGBA Tag found without a height"},
    {21, "WorldImageWithoutId", world("<TextureRGB Width=\"1\" Height=\"1\">000000</TextureRGB>"),
     "21: TextureRGB or TextureRGBA Tag defined at World level without ID"},
    {21, "WorldExternalImageWithoutId", world("<IncludeTextureBuffer/>"),
     "21: TextureRGB or TextureRGBA Tag defined at World level without ID"},
    {21, "ExternalImageWithIdInsideATexture",
     texture("<IncludeTextureBuffer ID=\"2\"><Ref>a.png</Ref><RefType>png</RefType>"
             "</IncludeTextureBuffer>"),
     "21: TextureRGB or TextureRGBA Tag defined at World level without ID"},
    {22, "RgbImageWithTooFewDigits",
     world("<TextureRGB ID=\"1\" Width=\"2\" Height=\"1\">000000</TextureRGB>"),
     "22: TextureRGB has an incorrect amount of data given its width and height"},
    {23, "ObjectImageWithoutId",
     object("<TextureRGBA Width=\"1\" Height=\"1\">00000000</TextureRGBA>"),
     "23: TextureRGB or TextureRGBA Tag defined at Object level without ID"},
    {24, "MeshImageWithoutId", mesh("<TextureRGB Width=\"1\" Height=\"1\">000000</TextureRGB>"),
     "24: TextureRGB or TextureRGBA Tag defined at Mesh level without ID"},
    {25, "RgbaImageWithRgbDigits",
     world("<TextureRGBA ID=\"1\" Width=\"1\" Height=\"1\">000000</TextureRGBA>"),
     "25: TextureRGBA has an incorrect amount of data given its width and height"},
    {26, "MeshTexCoordWithoutId", mesh("<TC>0 0</TC>"),
     "26: Texture Coordinate tag defined at Mesh Level without ID"},
    {27, "ObjectTexCoordWithoutId", object("<TC>0 0</TC>"),
     "27: Texture Coordinate tag defined at Object Level without ID"},
    {28, "WorldTexCoordWithoutId", world("<TC>0 0</TC>"),
     "28: Texture Coordinate tag defined at World Level without ID"},
    {29, "WorldWithoutLighting", world(kBackground),
     "29: Lighting required for World"},
    {29, "WorldWithTwoLightings", world(kLighting + kLighting + kBackground),
     "29: Lighting required for World"},
    {30, "WorldWithoutBackground", world(kLighting),
     "30: Background element required for World"},
    {32, "SecondAndThirdObjectRefsUndefined",
     completeWorld("<Object ID=\"1\"/><ObjectRef>1</ObjectRef><ObjectRef>2</ObjectRef>"
                   "<ObjectRef>3</ObjectRef>"),
     "32: An object could not be resolved : 2"},
    {33, "ObjectRefAfterAMesh", object("<Mesh></Mesh><ObjectRef>1</ObjectRef>"),
     "33: An object cannot contain a mesh and sub objects"},
    {34, "PathIdAboveTheLimit", object("", " PathID=\"16000001\""),
     "34: PathID out of range"},
    {35, "ForwardOfLengthZero", transform("<Forward>0 0 0</Forward>" + kUp + kPosition),
     "35: Forward vector cannot have length zero"},
    {36, "UpOfLengthZero", transform(kForward + "<Up>0 0 0</Up>" + kPosition),
     "36: Up vector cannot have length zero"},
    // Normalised, these two differ by rounding only: the dot product is not exactly 1,
    // yet nothing of up is left once its forward part is taken away.
    {37, "UpParallelToForwardAfterRounding",
     transform("<Forward>2 3 4</Forward><Up>6 9 12</Up>" + kPosition),
     "37: Up vector and forward vector cannot be colinear"},
    {38, "ScaleZero", transform(kFrame + "<Scale>0</Scale>"),
     "38: Scale must be positive"},
    {41, "EmissiveAboveOne", material("<Emiss>0 0 1.1</Emiss>"),
     "41: Emissive material values must be between 0 and 1 inclusive"},
    {42, "DiffuseBelowZero", material("<Diff>-0.5 0 0</Diff>"),
     "42: Diffuse material values must be between 0 and 1 inclusive"},
    {43, "SpecularAboveOne", material("<Spec>0 2 0</Spec>"),
     "43: Specular material values must be between 0 and 1 inclusive"},
    {44, "AmbientAboveOne", material("<Amb>1.5 0 0</Amb>"),
     "44: Ambient material values must be between 0 and 1 inclusive"},
    {46, "AlphaAboveOne", material("<Alpha>1.5</Alpha>"),
     "46: Alpha material values must be between 0 and 1 inclusive"},
    {47, "BackColorAboveOne", world("<Background><BackColor>0.5 0.5 1.1</BackColor></Background>"),
     "47: Background color values must be between 0 and 1 inclusive"},
    {48, "LightDiffuseAboveOne", light(kLightDirection + "<Diffuse>1.1 0 0</Diffuse>"),
     "48: Diffuse light values must be between 0 and 1 inclusive"},
    {49, "LightSpecularBelowZero", light(kLightDirection + "<Specular>0 -1 0</Specular>"),
     "49: Specular light values must be between 0 and 1 inclusive"},
    {50, "LightAmbientAboveOne", lighting("<Ambient>0 0 2</Ambient>"),
     "50: Ambient light values must be between 0 and 1 inclusive"},
    {59, "NameOf256Characters", world("<" + std::string(256, 'Q') + "/>"),
     "59: Tag name too long"},
    {60, "NegativePatchId", mesh("<Patch PatchID=\"-3\"/>"),
     "60: PatchIDs must be greater than 0"},
    {61, "PositionInTheWorld", world("<P>1 2 3</P>"),
     "61: Tag Inappropriate in current context"},
    {62, "TransformWithoutForward", transform(""),
     "62: Transform requires exactly 1 forward vector"},
    {63, "TransformWithoutUp", transform(kForward),
     "63: Transform requires exactly 1 up vector"},
    {64, "TransformWithoutPosition", transform(kForward + kUp),
     "64: Transform requires exactly 1 position vector"},
    {65, "FaceWithoutFv1", mesh("<F></F>"),
     "65: Face requires exactly 1 FV1 element"},
    {66, "FaceWithoutFv2", mesh("<F>" + kFv1 + "</F>"),
     "66: Face requires exactly 1 FV2 element"},
    {67, "FaceWithoutFv3", mesh("<F>" + kFv1 + kFv2 + "</F>"),
     "67: Face requires exactly 1 FV3 element"},
    {68, "FaceWithoutMaterial", mesh("<F>" + kFv1 + kFv2 + kFv3 + "</F>"),
     "68: Face requires exactly 1 material"},
    {69, "TextureWithoutImage", texture(""),
     "69: Texture requires exactly 1 texture image"},
    {70, "TextureWithoutFunction", texture("<TextureRGBRef>5</TextureRGBRef>"),
     "70: Texture requires exactly 1 texture function"},
    {71, "TextureWithoutWrap", texture("<TextureRGBRef>5</TextureRGBRef><Replace/>"),
     "71: Texture requires exactly 1 texture wrap function"},
    {72, "MaterialWithoutAmbient", material(""),
     "72: Material requires exactly 1 ambient element"},
    {73, "MaterialWithoutDiffuse", material("<Amb>0 0 0</Amb>"),
     "73: Material requires exactly 1 diffuse element"},
    {74, "EmptyBackground", world("<Background></Background>"),
     "74: Background requires exactly 1 backcolor element"},
    {75, "EmptyLighting", lighting(""),
     "75: Lighting requires exactly 1 ambient element or 1+ Directional Light elements"},
    {76, "LightWithoutDirection", light("<Diffuse>1 1 1</Diffuse>"),
     "76: Directional Lights require exactly 1 direction element"},
    {77, "LightWithTwoDiffuse", light(kLightDirection + "<Diffuse>1 1 1</Diffuse><Diffuse>1 1 1</Diffuse>"),
     "77: Directional Lights require at most 1 diffuse element"},
    {78, "LightWithTwoSpecular",
     light(kLightDirection + "<Specular>1 1 1</Specular><Specular>1 1 1</Specular>"),
     "78: Directional Lights require at most 1 specular element"},
    {79, "EmptyData", world("<Data Org=\"acme\"></Data>"),
     "79: Data Element requires at least 1 bin or string element"},
    {81, "TexCoordBeyondTheFloatRange", mesh("<TC ID=\"1\">3.5e38 0</TC>"),
     "81: Number is not a valid double (inf) or (nan)"},
    {83, "PositionWithTwoNumbers", mesh("<P ID=\"1\">1 2</P>"),
     "83: Unable to parse 3 numbers from a 3D vector"},
    {84, "TexCoordWithOneNumber", mesh("<TC ID=\"1\">1</TC>"),
     "84: Unable to parse 2 numbers from a 2D vector"},
    {85, "ObjectRefThatIsNoNumber", world("<ObjectRef>one</ObjectRef>"),
     "85: Unable to parse number"},
    {86, "BorderColourWithThreeNumbers", texture("<TextureBorderColor>1 1 1</TextureBorderColor>"),
     "86: Unable to parse 4 numbers from a 4 vector"},
    {87, "ObjectLeafWithoutText", object("<MeshRef/>"),
     "87: Tag in object needs data"},
    {88, "MeshLeafWithoutText", mesh("<P ID=\"1\"/>"),
     "88: Tag in mesh needs data"},
    {89, "FaceLeafWithoutText", mesh("<F><MatRef/></F>"),
     "89: Tag in face needs data"},
    {90, "MaterialLeafWithoutText", material("<Amb/>"),
     "90: Tag in material needs data"},
    {91, "TransformLeafWithoutText", transform("<Forward/>"),
     "91: Tag in transform needs data"},
    {92, "BackgroundLeafWithoutText", world("<Background><BackColor/></Background>"),
     "92: Tag in background needs data"},
    {93, "LightingLeafWithoutText", lighting("<Ambient/>"),
     "93: Tag in lighting needs data"},
    {95, "TextureLeafWithoutText", texture("<TextureBorderColor/>"),
     "95: Tag in Texture needs data"},
    {95, "ExternalImageLeafWithoutText", world("<IncludeTextureBuffer ID=\"1\"><Ref/></IncludeTextureBuffer>"),
     "95: Tag in Texture needs data"},
    {95, "SphereMapLeafWithoutText", lighting("<SphereMap><Radius/></SphereMap>"),
     "95: Tag in Texture needs data"},
    {96, "WorldLeafWithoutText", world("<MeshRef/>"),
     "96: Tag in world needs data"},
    {98, "PatchInAPatch", mesh("<Patch><Patch/></Patch>"),
     "98: No patches can be defined in patches"},
    {99, "ObjectWithTwoTransforms",
     object("<Transform>" + kFrame + "</Transform><Transform>" + kFrame + "</Transform>"),
     "99: At most one transform per object"},
    {100, "ObjectWithTwoMeshes", object("<Mesh></Mesh><Mesh></Mesh>"),
     "100: At most one mesh per object"},
    {101, "TransformWithTwoScales", transform(kFrame + "<Scale>1</Scale><Scale>1</Scale>"),
     "101: At most one scale per transform"},
    {102, "FaceWithTwoTextures", mesh("<F>" + kFv1 + kFv2 + kFv3 + kMatRef + kTextureRefs + "</F>"),
     "102: At most one texture in a face"},
    {103, "VertexLeafWithoutText", mesh("<F><FV1><PRef/></FV1></F>"),
     "103: Tag in Face Vertex needs data"},
    {104, "VertexWithoutPosition", mesh("<F><FV1></FV1></F>"),
     "104: FaceVertex requires exactly 1 position"},
    {105, "VertexWithTwoNormals", mesh("<F><FV1><PRef>1</PRef><NRef>1</NRef><NRef>1</NRef></FV1></F>"),
     "105: FaceVertex can have at most 1 normal"},
    {106, "VertexWithTwoTexCoords",
     mesh("<F><FV1><PRef>1</PRef><TCRef>1</TCRef><TCRef>1</TCRef></FV1></F>"),
     "106: FaceVertex can have at most 1 texture coordinate"},
    {107, "TextureWithTwoBorderColours",
     texture(kTextureBody + "<TextureBorderColor>0 0 0 0</TextureBorderColor>"
                            "<TextureBorderColor>0 0 0 0</TextureBorderColor>"),
     "107: Texture can have at most 1 texture border color"},
    {108, "MaterialWithTwoEmissive", material(kAmbDiff + "<Emiss>0 0 0</Emiss><Emiss>0 0 0</Emiss>"),
     "108: Material can have at most 1 emissive component"},
    {109, "MaterialWithTwoAlpha", material(kAmbDiff + "<Alpha>1</Alpha><Alpha>1</Alpha>"),
     "109: Material can have at most 1 alpha component"},
    {110, "MaterialWithTwoShininess", material(kAmbDiff + "<Shine>1</Shine><Shine>1</Shine>"),
     "110: Material can have at most 1 shininess component"},
    {111, "MaterialWithTwoSpecular", material(kAmbDiff + "<Spec>0 0 0</Spec><Spec>0 0 0</Spec>"),
     "111: Material can have at most 1 specular component"},
    {112, "LightWithOnlyADirection", light(kLightDirection),
     "112: Directional Lights require a diffuse or specular element"},
    {113, "ImageWithIdInsideATexture",
     texture("<TextureRGB ID=\"2\" Width=\"1\" Height=\"1\">000000</TextureRGB>"),
     "113: TextureRGB or TextureRGBA Tag found defined within a Texture Tag"},
    {114, "ZeroNormal", mesh("<N ID=\"1\">0 0 0</N>"),
     "114: A vector to be used as a direction was zero"},
    {115, "IncludeLeafWithoutText", include("<Ref/>"),
     "115: Tag in Included Object needs data"},
    {116, "IncludeWithoutExtents", include(kIncludeRefs),
     "116: Included object needs exactly 1 extents"},
    {117, "IncludeWithoutRef", include(kExtents + "<RefType>xgl</RefType>"),
     "117: Included object needs exactly 1 ref"},
    {118, "ExtentsWithFiveNumbers", include("<Extents>0 0 0 1 1</Extents>"),
     "118: Unable to parse 6 numbers from a 6 vector"},
    {119, "IncludeWithoutRefType", include(kExtents + "<Ref>part.xgl</Ref>"),
     "119: Included object needs exactly 1 reftype"},
    {120, "IncludeWithTwoTransforms",
     include(kExtents + kIncludeRefs + "<Transform>" + kFrame + "</Transform><Transform>" + kFrame +
             "</Transform>"),
     "120: Included object needs at most 1 transform"},
    {121, "ExtentsMaxBelowMin", include("<Extents>2 0 0 1 1 1</Extents>"),
     "121: Max extents values must be greater than Min extents values"},
    {122, "BinaryDataWithANonHexDigit", data("<Bin Name=\"b\">0G</Bin>"),
     "122: Invalid hex character in binary data"},
    {123, "BinaryDataOfOddLength", data("<Bin Name=\"b\">0A0</Bin>"),
     "123: Hex characters in binary data must have length divisible by 2"},
    {125, "SecondWorldMeshRef", world("<MeshRef>1</MeshRef><MeshRef>2</MeshRef>"),
     "125: At most one mesh per world"},
    {126, "WorldMeshRefAfterAnObjectRef", world("<ObjectRef>1</ObjectRef><MeshRef>2</MeshRef>"),
     "126: The world can not have both a mesh and subobjects"},
    {127, "SmoothingGroup32", mesh("<F><S>32</S></F>"),
     "127: Smoothing groups can only between 0 and 31 inclusive"},
    {128, "LineLeafWithoutText", mesh("<L><MatRef/></L>"),
     "128: Tag in line needs data"},
    {129, "LineWithoutLv1", mesh("<L></L>"),
     "129: Line requires exactly 1 LV1 element"},
    {130, "LineWithoutLv2", mesh("<L><LV1><PRef>1</PRef></LV1></L>"),
     "130: Line requires exactly 1 LV2 element"},
    {131, "LineWithoutMaterial", mesh("<L>" + kLv + "</L>"),
     "131: Line requires exactly 1 material"},
    {132, "LineWithTwoStyles",
     mesh("<L>" + kLv + kMatRef + "<LineStyleRef>1</LineStyleRef><LineStyleRef>1</LineStyleRef></L>"),
     "132: Line requires exactly 1 linestyle"},
    {133, "LineWithTwoTextures", mesh("<L>" + kLv + kMatRef + kTextureRefs + "</L>"),
     "133: At most one texture in a line"},
    {134, "PointLeafWithoutText", mesh("<PT><MatRef/></PT>"),
     "134: Tag in point needs data"},
    {135, "PointWithoutPv1", mesh("<PT></PT>"),
     "135: Point requires exactly 1 PV1 element"},
    {136, "PointWithoutMaterial", mesh("<PT>" + kPv + "</PT>"),
     "136: Point requires exactly 1 material"},
    {137, "PointWithTwoStyles",
     mesh("<PT>" + kPv + kMatRef + "<PointStyleRef>1</PointStyleRef><PointStyleRef>1</PointStyleRef></PT>"),
     "137: Point requires exactly 1 pointstyle"},
    {138, "PointWithTwoTextures", mesh("<PT>" + kPv + kMatRef + kTextureRefs + "</PT>"),
     "138: At most one texture in a point"},
    {139, "LineStyleLeafWithoutText", lineStyle("<LineWidth/>"),
     "139: Tag in linestyle needs data"},
    {140, "LineStyleWithoutWidth", lineStyle(""),
     "140: LineStyle requires exactly 1 linewidth element"},
    {141, "LineStyleWithTwoPatterns",
     lineStyle(kWidth + "<LinePattern>FFFF</LinePattern><LinePattern>FFFF</LinePattern>"),
     "141: LineStyle can have at most 1 linepattern element"},
    {142, "LineStyleWithTwoFactors",
     lineStyle(kWidth + "<LinePatternFactor>1</LinePatternFactor><LinePatternFactor>1</LinePatternFactor>"),
     "142: LineStyle can have at most 1 linepatternfactor element"},
    {143, "LineWidthZero", lineStyle("<LineWidth>0</LineWidth>"),
     "143: LineStyle widths must be greater than zero"},
    {144, "LinePatternOfThreeDigits", lineStyle("<LinePattern>F0F</LinePattern>"),
     "144: LineStyle pattern must contain exactly 4 hexadecimal digits"},
    {145, "LinePatternFactor257", lineStyle("<LinePatternFactor>257</LinePatternFactor>"),
     "145:  LineStyle pattern factor must be between 1 and 256 inclusive"},
    {146, "PointStyleLeafWithoutText", pointStyle("<PointSize/>"),
     "146: Tag in pointstyle needs data"},
    {147, "PointStyleWithoutSize", pointStyle(""),
     "147: PointStyle requires exactly 1 pointsize element"},
    {148, "PointSizeZero", pointStyle("<PointSize>0</PointSize>"),
     "148: PointStyle size must be greater than zero"},
    {149, "WorldLineStyleWithoutId", world("<LineStyle/>"),
     "149: LineStyle tag defined at World Level without ID"},
    {150, "ObjectLineStyleWithoutId", object("<LineStyle/>"),
     "150: LineStyle tag defined at Object Level without ID"},
    {151, "MeshLineStyleWithoutId", mesh("<LineStyle/>"),
     "151: LineStyle tag defined at Mesh Level without ID"},
    {152, "WorldPointStyleWithoutId", world("<PointStyle/>"),
     "152: PointStyle tag defined at World Level without ID"},
    {153, "ObjectPointStyleWithoutId", object("<PointStyle/>"),
     "153: PointStyle tag defined at Object Level without ID"},
    {154, "MeshPointStyleWithoutId", mesh("<PointStyle/>"),
     "154: PointStyle tag defined at Mesh Level without ID"},
    {155, "ExtGeomElemWithoutAttributes", extGeom("<ExtGeomElem/>"),
     "155: The Type attribute for the ExtGeomElem tag was not found"},
    {156, "ExtGeomElemWithOtherAttribute", extGeom("<ExtGeomElem Kind=\"nurbs\"/>"),
     "156: Attribute for the ExtGeomElem tag not called Type"},
    {157, "ExtGeomLeafWithoutText", extGeomElement("<ExtGeomElemPriority/>"),
     "157: Tag in extgeom needs data"},
    {158, "ExtGeomElemWithoutDataOrExtents", extGeomElement(""),
     "158: No ExtGeomElemData or ExtGeomElemExtents tag/tags"},
    {159, "ExtGeomElemWithTwoData",
     extGeomElement("<ExtGeomElemData>00</ExtGeomElemData><ExtGeomElemData>00</ExtGeomElemData>"),
     "159: More than one ExtGeomElemData tag"},
    {160, "ExtGeomDataOfOddLength", extGeomElement("<ExtGeomElemData>0A 0</ExtGeomElemData>"),
     "160: Invalid length of ExtGeomElemData"},
    {122, "ExtGeomDataWithANonHexDigit", extGeomElement("<ExtGeomElemData>0G</ExtGeomElemData>"),
     "122: Invalid hex character in binary data", 161},
    {162, "ExtGeomElemWithTwoExtents",
     extGeomElement("<ExtGeomElemExtents>0 0 0 1 1 1</ExtGeomElemExtents>"
                    "<ExtGeomElemExtents>0 0 0 1 1 1</ExtGeomElemExtents>"),
     "162: More than one ExtGeomElemExtents tag"},
    {118, "ExtGeomExtentsWithFiveNumbers",
     extGeomElement("<ExtGeomElemExtents>0 0 0 1 1</ExtGeomElemExtents>"),
     "118: Unable to parse 6 numbers from a 6 vector", 163},
    {164, "ExtGeomElemWithTwoPriorities",
     extGeomElement("<ExtGeomElemPriority>0.5</ExtGeomElemPriority>"
                    "<ExtGeomElemPriority>0.5</ExtGeomElemPriority>"),
     "164: More than one ExtGeomElemPriority tag"},
    {85, "ExtGeomPriorityThatIsNoNumber",
     extGeomElement("<ExtGeomElemPriority>high</ExtGeomElemPriority>"),
     "85: Unable to parse number", 165},
    {166, "ExtGeomPriorityAboveOne", extGeomElement("<ExtGeomElemPriority>1.5</ExtGeomElemPriority>"),
     "166: Value of ExtGeomElemPriority tag must be from 0 to 1"},
    {167, "ExtGeomWithoutElements", extGeom(""),
     "167: No ExtGeomElem tags for ExtGeom"},
    {168, "ExtGeomWithoutAttributes", object("<ExtGeom/>"),
     "168: The Org attribute for the Extgeom Tag was not found"},
    {169, "ExtGeomWithOtherAttribute", object("<ExtGeom Kind=\"acme\"/>"),
     "169: Attribute for Extgeom Tag not called Org"},
    {170, "UpAlongForward", transform(kForward + "<Up>0 0 5</Up>" + kPosition),
     "170: Forward and up vectors must not be coincident"},
    {171, "WorldWithTwoNames", world("<Name>a</Name><Name>b</Name>"),
     "171: only one object name is allowed"},
    {172, "SiblingsWithOnePathId", world("<Object PathID=\"5\"/><Object PathID=\"5\"/>"),
     "172: PathIDs of sibling objects must be unique"},
    {173, "ExternalImageWithoutRef",
     world("<IncludeTextureBuffer ID=\"1\"><RefType>png</RefType></IncludeTextureBuffer>"),
     "173: Texture Reference requires reference"},
    {174, "ExternalImageWithoutRefType",
     world("<IncludeTextureBuffer ID=\"1\"><Ref>a.png</Ref></IncludeTextureBuffer>"),
     "174: Texture Reference requires type"},
    {175, "ImageWithIdInsideASphereMap",
     lighting("<SphereMap><TextureRGB ID=\"1\" Width=\"1\" Height=\"1\">000000</TextureRGB></SphereMap>"),
     "175: TextureRGB or TextureRGBA Tag found defined within a SphereMap Tag"},
    {176, "WorldMeshRefUndefined", completeWorld("<MeshRef>1</MeshRef>"),
     "176: The mesh at the world level could not be resolved"},
    {177, "TcTransformLeafWithoutText", tcTransform("<SS/>"),
     "177: Tag in TCTransform needs data"},
    {178, "TcTransformWithoutSs", tcTransform(tcLeavesWithout("SS")),
     "178: TCTransform requires exactly 1 SS tag"},
    {179, "TcTransformWithoutSt", tcTransform(tcLeavesWithout("ST")),
     "179: TCTransform requires exactly 1 ST tag"},
    {180, "TcTransformWithoutTs", tcTransform(tcLeavesWithout("TS")),
     "180: TCTransform requires exactly 1 TS tag"},
    {181, "TcTransformWithoutTt", tcTransform(tcLeavesWithout("TT")),
     "181: TCTransform requires exactly 1 TT tag"},
    {182, "TcTransformWithoutCs", tcTransform(tcLeavesWithout("CS")),
     "182: TCTransform requires exactly 1 CS tag"},
    {183, "TcTransformWithoutCt", tcTransform(tcLeavesWithout("CT")),
     "183: TCTransform requires exactly 1 CT tag"},

    // Further places that raise a message already in the table.
    {0, "EmptyDocument", "", "0: ParseError: no element found at line 1\n"},
    {32, "OnlyObjectRefUndefined", completeWorld("<ObjectRef>4</ObjectRef>"),
     "32: An object could not be resolved : 0"},
    {33, "MeshInAnObjectWithSubObjects", object("<ObjectRef>1</ObjectRef><Mesh></Mesh>"),
     "33: An object cannot contain a mesh and sub objects"},
    {33, "MeshRefInAnObjectWithSubObjects", object("<ObjectRef>1</ObjectRef><MeshRef>2</MeshRef>"),
     "33: An object cannot contain a mesh and sub objects"},
    {33, "IncludeInAnObjectWithAMesh",
     object("<Mesh></Mesh><Include>" + kExtents + kIncludeRefs + "</Include>"),
     "33: An object cannot contain a mesh and sub objects"},
    {34, "NegativePathId", object("", " PathID=\"-2\""),
     "34: PathID out of range"},
    {61, "KnownRootThatIsNotAWorld", "<Object/>",
     "61: Tag Inappropriate in current context"},
    {61, "NameInAnInclude", include("<Name>a</Name>"),
     "61: Tag Inappropriate in current context"},
    {61, "UnrecognisedInASphereMap", lighting("<SphereMap><Glow/></SphereMap>"),
     "61: Tag Inappropriate in current context"},
    {61, "UnrecognisedInATcTransform", tcTransform("<Rotate/>"),
     "61: Tag Inappropriate in current context"},
    {75, "LightingWithTwoAmbients", lighting("<Ambient>0 0 0</Ambient><Ambient>0 0 0</Ambient>"),
     "75: Lighting requires exactly 1 ambient element or 1+ Directional Light elements"},
    {81, "LightDiffuseBeyondTheFloatRange", light(kLightDirection + "<Diffuse>3.5e38 0 0</Diffuse>"),
     "81: Number is not a valid double (inf) or (nan)"},
    {85, "IdAttributeThatIsNoNumber", world("<Mesh ID=\"seven\"></Mesh>"),
     "85: Unable to parse number"},
    {100, "MeshRefAfterAMesh", object("<Mesh></Mesh><MeshRef>3</MeshRef>"),
     "100: At most one mesh per object"},
    {100, "MeshAfterAMeshRef", object("<MeshRef>3</MeshRef><Mesh></Mesh>"),
     "100: At most one mesh per object"},
    {113, "RgbaImageWithIdInsideATexture",
     texture("<TextureRGBA ID=\"2\" Width=\"1\" Height=\"1\">00000000</TextureRGBA>"),
     "113: TextureRGB or TextureRGBA Tag found defined within a Texture Tag"},
    {114, "ZeroLightDirection", light("<Direction>0 0 0</Direction>"),
     "114: A vector to be used as a direction was zero"},
    {122, "LinePatternWithANonHexDigit", lineStyle("<LinePattern>F0G0</LinePattern>"),
     "122: Invalid hex character in binary data"},
    {125, "MeshAfterAWorldMeshRef", world("<MeshRef>1</MeshRef><Mesh></Mesh>"),
     "125: At most one mesh per world"},
    {126, "WorldMeshAfterAnObject", world("<Object/><Mesh></Mesh>"),
     "126: The world can not have both a mesh and subobjects"},
    {126, "ObjectAfterAWorldMesh", world("<Mesh></Mesh><Object/>"),
     "126: The world can not have both a mesh and subobjects"},
    {126, "IncludeAfterAWorldMesh",
     world("<Mesh></Mesh><Include>" + kExtents + kIncludeRefs + "</Include>"),
     "126: The world can not have both a mesh and subobjects"},
    {127, "NegativeSmoothingGroup", mesh("<F><S>-1</S></F>"),
     "127: Smoothing groups can only between 0 and 31 inclusive"},
    {145, "LinePatternFactorZero", lineStyle("<LinePatternFactor>0</LinePatternFactor>"),
     "145:  LineStyle pattern factor must be between 1 and 256 inclusive"},
    {171, "ObjectWithTwoNames", object("<Name>a</Name><Name>b</Name>"),
     "171: only one object name is allowed"},
    {172, "SiblingIncludesWithOnePathId",
     world("<Include PathID=\"5\">" + kExtents + kIncludeRefs + "</Include><Include PathID=\"5\">" +
           kExtents + kIncludeRefs + "</Include>"),
     "172: PathIDs of sibling objects must be unique"},
};
// clang-format on

// Messages that always follow another message of the same step, which stops the
// parse first; their rows show the message that reaches the user instead.
const std::set<int> kCannotReachTheUser = {161, 163, 165};

// Texts that carry a filled-in part after the catalogue's own text.
const std::set<int> kFormatted = {0, 32};

class MessageCatalogue : public ::testing::TestWithParam<CatalogueRow> {};

TEST_P(MessageCatalogue, TheDocumentRaisesExactlyThisText) {
    const CatalogueRow& row = GetParam();
    RecordingConsumer consumer;
    SceneLoadContext context(consumer);
    TextStream stream(row.document);
    EXPECT_FALSE(context.parse(stream, nullptr).loaded());
    EXPECT_EQ(consumer.errors, std::vector<std::string>{row.text});
}

// The same document as a file, through the consumer that keeps the viewer's boxes and
// drops meshes and objects without geometry.
TEST_P(MessageCatalogue, AFileWithTheDocumentIsDescribedWithThisText) {
    const CatalogueRow& row = GetParam();
    testing::TempDir dir;
    const std::string path = dir.file("model.xgl");
    testing::writeFile(path, row.document);
    const DocumentInfo info = describeDocument(path.c_str());
    EXPECT_NE(info.load.status, LoadStatus::cannotOpen);
    EXPECT_EQ(info.load.status, LoadStatus::invalid);
    EXPECT_EQ(info.load.message, row.text);
    EXPECT_FALSE(info.bbox.has_value());
}

TEST_P(MessageCatalogue, TheTextIsTheCataloguesOwn) {
    const CatalogueRow& row = GetParam();
    const char* catalogued = messageText(row.number);
    ASSERT_NE(catalogued, nullptr) << "no message " << row.number;
    if (kFormatted.count(row.number) != 0) {
        EXPECT_EQ(row.text.rfind(catalogued, 0), 0u) << catalogued;
        EXPECT_GT(row.text.size(), std::string(catalogued).size());
    } else {
        EXPECT_EQ(row.text, catalogued);
    }
}

INSTANTIATE_TEST_SUITE_P(Messages, MessageCatalogue, ::testing::ValuesIn(kCatalogue),
                         [](const auto& info) {
                             return "M" + std::to_string(info.param.number) + "_" +
                                    info.param.cause;
                         });

TEST(MessageCatalogue, EveryMessageThatCanReachTheUserHasARow) {
    std::set<int> raised;
    std::set<int> hidden;
    for (const CatalogueRow& row : kCatalogue) {
        raised.insert(row.number);
        if (row.hides != 0) hidden.insert(row.hides);
    }
    EXPECT_EQ(hidden, kCannotReachTheUser);
    for (int n : kCannotReachTheUser)
        EXPECT_NE(messageText(n), nullptr) << n;
    for (int n = 0; n <= 200; ++n) {
        if (messageText(n) == nullptr) continue;
        if (kCannotReachTheUser.count(n) != 0) {
            EXPECT_EQ(raised.count(n), 0u) << n << " was thought unreachable";
            continue;
        }
        EXPECT_EQ(raised.count(n), 1u) << "message " << n << " has no row: " << messageText(n);
    }
}

TEST(MessageCatalogue, ACompressedFileThatIsNotZlibDataCannotBeRead) {
    const std::string plain = completeWorld("<Object/>");
    testing::TempDir dir;
    const std::string path = dir.file("model.zgl");
    testing::writeFile(path, plain);

    const DocumentInfo info = describeDocument(path.c_str());
    EXPECT_NE(info.load.status, LoadStatus::cannotOpen);
    EXPECT_EQ(info.load.status, LoadStatus::invalid);
    EXPECT_EQ(info.load.message, "Error Reading File\n");
    EXPECT_FALSE(info.bbox.has_value());

    RecordingConsumer consumer;
    EXPECT_FALSE(loadDocument(path.c_str(), consumer).loaded());
    EXPECT_EQ(consumer.errors, std::vector<std::string>{"Error Reading File\n"});
}

}  // namespace
}  // namespace tessaro
