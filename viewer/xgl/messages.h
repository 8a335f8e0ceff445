// The numbered validation messages of the XGL format, and the sink through which
// the readers and element rules raise them.
#pragma once

#include <cstdint>

namespace tessaro {

// Every message: its number, its name in code and its exact text, the format's own
// (typos and double blanks included). The Message enum and the catalogue behind
// messageText() are both generated from this one list.
// clang-format off
#define TESSARO_XGL_MESSAGES(X) \
    X(0, parseError, "0: ParseError") \
    X(2, materialWithoutIdInWorld, "2: Material tag defined at World Level without ID") \
    X(3, materialWithoutIdInObject, "3: Material tag defined at Object Level without ID") \
    X(4, materialWithoutIdInMesh, "4: : Material tag defined at Mesh Level without ID") \
    X(5, moreThanEightLights, "5: More than 8 directional Lights") \
    X(6, positionWithoutIdInMesh, "6: Position tag defined at Mesh Level without ID") \
    X(7, normalWithoutIdInMesh, "7: Normal tag defined at Mesh Level without ID") \
    X(8, objectAttributeUnknown, "8: Attribute for Object Tag not called PathID or ID") \
    X(9, dataAttributeUnknown, "9: Attribute for Data Tag not called Org") \
    X(10, dataOrgMissing, "10: The Org attribute for the Data Tag was not found") \
    X(11, stringAttributeUnknown, "11: Attribute for String Tag not called Name") \
    X(12, stringNameMissing, "12: The Name attribute for the String Tag was not found") \
    X(13, binAttributeUnknown, "13: Attribute for Bin Tag not called Name") \
    X(14, binNameMissing, "14: The Name attribute for the Bin Tag was not found") \
    X(15, textureWithoutIdInMesh, "15: Texture tag defined at Mesh Level without ID") \
    X(16, textureWithoutIdInObject, "16: Texture tag defined at Object Level without ID") \
    X(17, textureWithoutIdInWorld, "17: Texture tag defined at World Level without ID") \
    X(18, imageAttributeUnknown, "18: Attribute for TextureRGB or TextureRGBA Tag not called Width, Height or ID") \
    X(19, imageWidthMissing, "19: TextureRGB or TextureRGBA Tag found without a width") \
    X(20, imageHeightMissing, "20: TextureRGB or TextureRGBA Tag found without a height") \
    X(21, imageWithoutIdInWorld, "21: TextureRGB or TextureRGBA Tag defined at World level without ID") \
    X(22, rgbImageSizeMismatch, "22: TextureRGB has an incorrect amount of data given its width and height") \
    X(23, imageWithoutIdInObject, "23: TextureRGB or TextureRGBA Tag defined at Object level without ID") \
    X(24, imageWithoutIdInMesh, "24: TextureRGB or TextureRGBA Tag defined at Mesh level without ID") \
    X(25, rgbaImageSizeMismatch, "25: TextureRGBA has an incorrect amount of data given its width and height") \
    X(26, texCoordWithoutIdInMesh, "26: Texture Coordinate tag defined at Mesh Level without ID") \
    X(27, texCoordWithoutIdInObject, "27: Texture Coordinate tag defined at Object Level without ID") \
    X(28, texCoordWithoutIdInWorld, "28: Texture Coordinate tag defined at World Level without ID") \
    X(29, worldNeedsLighting, "29: Lighting required for World") \
    X(30, worldNeedsBackground, "30: Background element required for World") \
    X(32, objectUnresolved, "32: An object could not be resolved") \
    X(33, objectWithMeshAndChildren, "33: An object cannot contain a mesh and sub objects") \
    X(34, pathIdOutOfRange, "34: PathID out of range") \
    X(35, forwardZero, "35: Forward vector cannot have length zero") \
    X(36, upZero, "36: Up vector cannot have length zero") \
    X(37, upAndForwardColinear, "37: Up vector and forward vector cannot be colinear") \
    X(38, scaleNotPositive, "38: Scale must be positive") \
    X(41, emissiveOutOfRange, "41: Emissive material values must be between 0 and 1 inclusive") \
    X(42, diffuseOutOfRange, "42: Diffuse material values must be between 0 and 1 inclusive") \
    X(43, specularOutOfRange, "43: Specular material values must be between 0 and 1 inclusive") \
    X(44, ambientOutOfRange, "44: Ambient material values must be between 0 and 1 inclusive") \
    X(46, alphaOutOfRange, "46: Alpha material values must be between 0 and 1 inclusive") \
    X(47, backColorOutOfRange, "47: Background color values must be between 0 and 1 inclusive") \
    X(48, lightDiffuseOutOfRange, "48: Diffuse light values must be between 0 and 1 inclusive") \
    X(49, lightSpecularOutOfRange, "49: Specular light values must be between 0 and 1 inclusive") \
    X(50, lightAmbientOutOfRange, "50: Ambient light values must be between 0 and 1 inclusive") \
    X(59, tagNameTooLong, "59: Tag name too long") \
    X(60, patchIdNotPositive, "60: PatchIDs must be greater than 0") \
    X(61, tagInappropriate, "61: Tag Inappropriate in current context") \
    X(62, transformNeedsOneForward, "62: Transform requires exactly 1 forward vector") \
    X(63, transformNeedsOneUp, "63: Transform requires exactly 1 up vector") \
    X(64, transformNeedsOnePosition, "64: Transform requires exactly 1 position vector") \
    X(65, faceNeedsOneFv1, "65: Face requires exactly 1 FV1 element") \
    X(66, faceNeedsOneFv2, "66: Face requires exactly 1 FV2 element") \
    X(67, faceNeedsOneFv3, "67: Face requires exactly 1 FV3 element") \
    X(68, faceNeedsOneMaterial, "68: Face requires exactly 1 material") \
    X(69, textureNeedsOneImage, "69: Texture requires exactly 1 texture image") \
    X(70, textureNeedsOneFunction, "70: Texture requires exactly 1 texture function") \
    X(71, textureNeedsOneWrap, "71: Texture requires exactly 1 texture wrap function") \
    X(72, materialNeedsOneAmbient, "72: Material requires exactly 1 ambient element") \
    X(73, materialNeedsOneDiffuse, "73: Material requires exactly 1 diffuse element") \
    X(74, backgroundNeedsOneBackColor, "74: Background requires exactly 1 backcolor element") \
    X(75, lightingNeedsAmbientOrLight, "75: Lighting requires exactly 1 ambient element or 1+ Directional Light elements") \
    X(76, lightNeedsOneDirection, "76: Directional Lights require exactly 1 direction element") \
    X(77, lightAtMostOneDiffuse, "77: Directional Lights require at most 1 diffuse element") \
    X(78, lightAtMostOneSpecular, "78: Directional Lights require at most 1 specular element") \
    X(79, dataNeedsBinOrString, "79: Data Element requires at least 1 bin or string element") \
    X(81, numberNotFinite, "81: Number is not a valid double (inf) or (nan)") \
    X(83, vector3Unreadable, "83: Unable to parse 3 numbers from a 3D vector") \
    X(84, vector2Unreadable, "84: Unable to parse 2 numbers from a 2D vector") \
    X(85, numberUnreadable, "85: Unable to parse number") \
    X(86, vector4Unreadable, "86: Unable to parse 4 numbers from a 4 vector") \
    X(87, objectNeedsData, "87: Tag in object needs data") \
    X(88, meshNeedsData, "88: Tag in mesh needs data") \
    X(89, faceNeedsData, "89: Tag in face needs data") \
    X(90, materialNeedsData, "90: Tag in material needs data") \
    X(91, transformNeedsData, "91: Tag in transform needs data") \
    X(92, backgroundNeedsData, "92: Tag in background needs data") \
    X(93, lightingNeedsData, "93: Tag in lighting needs data") \
    X(95, textureNeedsData, "95: Tag in Texture needs data") \
    X(96, worldNeedsData, "96: Tag in world needs data") \
    X(98, patchInPatch, "98: No patches can be defined in patches") \
    X(99, objectAtMostOneTransform, "99: At most one transform per object") \
    X(100, objectAtMostOneMesh, "100: At most one mesh per object") \
    X(101, transformAtMostOneScale, "101: At most one scale per transform") \
    X(102, faceAtMostOneTexture, "102: At most one texture in a face") \
    X(103, vertexNeedsData, "103: Tag in Face Vertex needs data") \
    X(104, vertexNeedsOnePosition, "104: FaceVertex requires exactly 1 position") \
    X(105, vertexAtMostOneNormal, "105: FaceVertex can have at most 1 normal") \
    X(106, vertexAtMostOneTexCoord, "106: FaceVertex can have at most 1 texture coordinate") \
    X(107, textureAtMostOneBorderColor, "107: Texture can have at most 1 texture border color") \
    X(108, materialAtMostOneEmissive, "108: Material can have at most 1 emissive component") \
    X(109, materialAtMostOneAlpha, "109: Material can have at most 1 alpha component") \
    X(110, materialAtMostOneShininess, "110: Material can have at most 1 shininess component") \
    X(111, materialAtMostOneSpecular, "111: Material can have at most 1 specular component") \
    X(112, lightNeedsDiffuseOrSpecular, "112: Directional Lights require a diffuse or specular element") \
    X(113, imageInTexture, "113: TextureRGB or TextureRGBA Tag found defined within a Texture Tag") \
    X(114, directionZero, "114: A vector to be used as a direction was zero") \
    X(115, includeNeedsData, "115: Tag in Included Object needs data") \
    X(116, includeNeedsOneExtents, "116: Included object needs exactly 1 extents") \
    X(117, includeNeedsOneRef, "117: Included object needs exactly 1 ref") \
    X(118, vector6Unreadable, "118: Unable to parse 6 numbers from a 6 vector") \
    X(119, includeNeedsOneRefType, "119: Included object needs exactly 1 reftype") \
    X(120, includeAtMostOneTransform, "120: Included object needs at most 1 transform") \
    X(121, extentsInverted, "121: Max extents values must be greater than Min extents values") \
    X(122, binaryInvalidHex, "122: Invalid hex character in binary data") \
    X(123, binaryOddLength, "123: Hex characters in binary data must have length divisible by 2") \
    X(125, worldAtMostOneMesh, "125: At most one mesh per world") \
    X(126, worldWithMeshAndChildren, "126: The world can not have both a mesh and subobjects") \
    X(127, smoothingGroupOutOfRange, "127: Smoothing groups can only between 0 and 31 inclusive") \
    X(128, lineNeedsData, "128: Tag in line needs data") \
    X(129, lineNeedsOneLv1, "129: Line requires exactly 1 LV1 element") \
    X(130, lineNeedsOneLv2, "130: Line requires exactly 1 LV2 element") \
    X(131, lineNeedsOneMaterial, "131: Line requires exactly 1 material") \
    X(132, lineNeedsOneLineStyle, "132: Line requires exactly 1 linestyle") \
    X(133, lineAtMostOneTexture, "133: At most one texture in a line") \
    X(134, pointNeedsData, "134: Tag in point needs data") \
    X(135, pointNeedsOnePv1, "135: Point requires exactly 1 PV1 element") \
    X(136, pointNeedsOneMaterial, "136: Point requires exactly 1 material") \
    X(137, pointNeedsOnePointStyle, "137: Point requires exactly 1 pointstyle") \
    X(138, pointAtMostOneTexture, "138: At most one texture in a point") \
    X(139, lineStyleNeedsData, "139: Tag in linestyle needs data") \
    X(140, lineStyleNeedsOneWidth, "140: LineStyle requires exactly 1 linewidth element") \
    X(141, lineStyleAtMostOnePattern, "141: LineStyle can have at most 1 linepattern element") \
    X(142, lineStyleAtMostOneFactor, "142: LineStyle can have at most 1 linepatternfactor element") \
    X(143, lineWidthNotPositive, "143: LineStyle widths must be greater than zero") \
    X(144, linePatternInvalid, "144: LineStyle pattern must contain exactly 4 hexadecimal digits") \
    X(145, linePatternFactorOutOfRange, "145:  LineStyle pattern factor must be between 1 and 256 inclusive") \
    X(146, pointStyleNeedsData, "146: Tag in pointstyle needs data") \
    X(147, pointStyleNeedsOneSize, "147: PointStyle requires exactly 1 pointsize element") \
    X(148, pointSizeNotPositive, "148: PointStyle size must be greater than zero") \
    X(149, lineStyleWithoutIdInWorld, "149: LineStyle tag defined at World Level without ID") \
    X(150, lineStyleWithoutIdInObject, "150: LineStyle tag defined at Object Level without ID") \
    X(151, lineStyleWithoutIdInMesh, "151: LineStyle tag defined at Mesh Level without ID") \
    X(152, pointStyleWithoutIdInWorld, "152: PointStyle tag defined at World Level without ID") \
    X(153, pointStyleWithoutIdInObject, "153: PointStyle tag defined at Object Level without ID") \
    X(154, pointStyleWithoutIdInMesh, "154: PointStyle tag defined at Mesh Level without ID") \
    X(155, extGeomElemTypeMissing, "155: The Type attribute for the ExtGeomElem tag was not found") \
    X(156, extGeomElemAttributeUnknown, "156: Attribute for the ExtGeomElem tag not called Type") \
    X(157, extGeomNeedsData, "157: Tag in extgeom needs data") \
    X(158, extGeomElemEmpty, "158: No ExtGeomElemData or ExtGeomElemExtents tag/tags") \
    X(159, extGeomElemDataTwice, "159: More than one ExtGeomElemData tag") \
    X(160, extGeomElemDataLengthInvalid, "160: Invalid length of ExtGeomElemData") \
    X(161, extGeomElemDataInvalid, "161: Invalid binary data for ExtGeomElemData tag") \
    X(162, extGeomElemExtentsTwice, "162: More than one ExtGeomElemExtents tag") \
    X(163, extGeomElemExtentsInvalid, "163: ExtGeomElemExtents tag contains invalid 6 double vector") \
    X(164, extGeomElemPriorityTwice, "164: More than one ExtGeomElemPriority tag") \
    X(165, extGeomElemPriorityInvalid, "165: Invalid ExtGeomElemPriority tag") \
    X(166, extGeomElemPriorityOutOfRange, "166: Value of ExtGeomElemPriority tag must be from 0 to 1") \
    X(167, extGeomWithoutElements, "167: No ExtGeomElem tags for ExtGeom") \
    X(168, extGeomOrgMissing, "168: The Org attribute for the Extgeom Tag was not found") \
    X(169, extGeomAttributeUnknown, "169: Attribute for Extgeom Tag not called Org") \
    X(170, forwardAndUpCoincident, "170: Forward and up vectors must not be coincident") \
    X(171, objectNameTwice, "171: only one object name is allowed") \
    X(172, siblingPathIdTwice, "172: PathIDs of sibling objects must be unique") \
    X(173, textureRefNeedsRef, "173: Texture Reference requires reference") \
    X(174, textureRefNeedsType, "174: Texture Reference requires type") \
    X(175, imageInSphereMap, "175: TextureRGB or TextureRGBA Tag found defined within a SphereMap Tag") \
    X(176, worldMeshUnresolved, "176: The mesh at the world level could not be resolved") \
    X(177, tcTransformNeedsData, "177: Tag in TCTransform needs data") \
    X(178, tcTransformNeedsOneSs, "178: TCTransform requires exactly 1 SS tag") \
    X(179, tcTransformNeedsOneSt, "179: TCTransform requires exactly 1 ST tag") \
    X(180, tcTransformNeedsOneTs, "180: TCTransform requires exactly 1 TS tag") \
    X(181, tcTransformNeedsOneTt, "181: TCTransform requires exactly 1 TT tag") \
    X(182, tcTransformNeedsOneCs, "182: TCTransform requires exactly 1 CS tag") \
    X(183, tcTransformNeedsOneCt, "183: TCTransform requires exactly 1 CT tag")
// clang-format on

enum class Message : std::int16_t {
#define TESSARO_MESSAGE_NAME(number, name, text) name = number,
    TESSARO_XGL_MESSAGES(TESSARO_MESSAGE_NAME)
#undef TESSARO_MESSAGE_NAME
};

// The exact text of a message ("61: Tag Inappropriate in current context").
const char* messageText(Message message);
// The same by number, or nullptr for a number that the format does not use.
const char* messageText(int number);

// Texts that are not numbered messages of the format.
inline constexpr const char* kErrorReadingFile = "Error Reading File\n";
// What a load reports when memory runs out, wherever in the read path that happens.
inline constexpr const char* kNotEnoughMemory =
    "0: Not enough memory to hold the document's definitions";
// Work bounds: a document may cost work in proportion to its size, no more (WorkBudget).
inline constexpr const char* kLookupLimitReached =
    "0: Definitions are nested too deeply for the number of references to them";
inline constexpr const char* kInstanceLimitReached =
    "0: Objects are instanced more often than a document of this size can draw";
// Syntax errors are formatted as "<0: ParseError>: <expat text> at line <n>\n".
inline constexpr const char* kSyntaxErrorFormat = "%s: %s at line %d\n";
// A temporary file that cannot be created, written or read stops the parse like a
// syntax error: "0: Cannot create a temporary file in /tmp: No space left on device".
inline constexpr const char* kStorageErrorFormat = "0: %s";

// Receives the first error of a parse. Implemented by SceneLoadContext; the value
// readers and element rules only see this interface.
class ErrorReporter {
  public:
    virtual void reportError(const char* text) = 0;
    virtual bool isStopped() const = 0;

    // Raises `message` through reportError.
    void raise(Message message) { reportError(messageText(message)); }

  protected:
    ~ErrorReporter() = default;
};

}  // namespace tessaro
