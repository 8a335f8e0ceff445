// Element values: the readers that turn XGL element text and attribute values into
// numbers, with the numbered messages that go with them.
//
// Contract shared by every reader that takes an ErrorReporter:
//  - on failure it raises its own numbered message through the reporter and returns
//    false (or the value stated below); the out-parameters are left untouched, except
//    the byte buffer of decodeHex, whose content is then unspecified;
//  - on success it stores through its out-parameters and raises nothing.
// All text is NUL-terminated; no reader looks past the terminator. Nothing allocates,
// nothing throws, and the decimal reader does not depend on the locale.
#pragma once

#include "xgl/messages.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessaro {

// The result of parseDecimal: the value, and the position just after the last
// character consumed (equal to the start of the text when nothing was read).
struct DecimalRead {
    double value;
    const char* end;
};

// The program's own decimal reader (sign, digits, point, exponent). Leading blanks,
// tabs and line feeds are skipped, nothing else. The result is never infinite or NaN:
// magnitudes beyond 1e308 read as 1.7e308 and very small ones as 0. A lone sign reads
// as 0 with the position after the sign.
DecimalRead parseDecimal(const char* text) noexcept;

// The position of the first character that is not a tab, line feed, blank or comma.
const char* skipSeparators(const char* text) noexcept;

// One number; "85: Unable to parse number" when nothing was read.
bool readDouble(ErrorReporter& reporter, const char* text, double& out);
// readDouble narrowed to float; a number beyond the float range becomes infinite
// without a message.
bool readFloat(ErrorReporter& reporter, const char* text, float& out);
// strtol base 10 (leading white space, optional sign) saturated to 32 bits; 85 when
// no digit was read. Characters after the number are ignored.
bool readInt(ErrorReporter& reporter, const char* text, std::int32_t& out);
// readInt stored as unsigned 32-bit, so "-1" gives 0xFFFFFFFF.
bool readUnsigned(ErrorReporter& reporter, const char* text, std::uint32_t& out);

// N numbers separated by any mix of blanks, tabs, line feeds and commas. Characters
// after the last number are not looked at. Messages: 84 (2), 83 (3), 86 (4), 118 (6).
bool readVector2(ErrorReporter& reporter, const char* text, double (&out)[2]);
bool readVector3(ErrorReporter& reporter, const char* text, double (&out)[3]);
bool readVector4(ErrorReporter& reporter, const char* text, double (&out)[4]);
bool readVector6(ErrorReporter& reporter, const char* text, double (&out)[6]);

// The vector reader of the same size, each number narrowed to float; a number that
// is infinite as a float raises "81: Number is not a valid double (inf) or (nan)".
bool readFloat2(ErrorReporter& reporter, const char* text, float (&out)[2]);
bool readFloat3(ErrorReporter& reporter, const char* text, float (&out)[3]);
bool readFloat4(ErrorReporter& reporter, const char* text, float (&out)[4]);

// Scales v to length 1 in place; a zero vector raises 114 and is left as it is.
bool normalizeDirection(ErrorReporter& reporter, float (&v)[3]);

// True when the value counts as between 0 and 1 inclusive: |v - 0.5| <= 0.50001,
// evaluated in float so that the text "1.00001" read as a float passes.
constexpr bool inUnitRange(float v) noexcept {
    const float d = v - 0.5f;
    return (d < 0.0f ? -d : d) <= 0.50001f;
}

// The value 0 to 15 of a hexadecimal digit ("0" to "9", "A" to "F", "a" to "f"),
// -1 for any other character.
constexpr int hexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr bool isHexDigit(char c) noexcept {
    return hexDigitValue(c) >= 0;
}

// Decodes length/2 bytes (first digit the high nibble) into out, which must hold
// that many. The first character that is not a hexadecimal digit raises
// "122: Invalid hex character in binary data". The caller checks that the length is
// even first (binaryOddLength); readHexBytes does both.
bool decodeHex(ErrorReporter& reporter, const char* text, std::size_t length, std::uint8_t* out);

// The whole text as binary data: an odd length raises "123: Hex characters in binary
// data must have length divisible by 2", then decodeHex. out holds text.size()/2 bytes.
bool readHexBytes(ErrorReporter& reporter, std::string_view text, std::uint8_t* out);

// Attribute lists are expat's: name/value pairs ending with a null name; a null list
// means no attributes. Names match without regard to case; a later attribute of the
// same name overwrites an earlier one. A value of -1 cannot be told from an absent one.
using AttributeList = const char* const*;

// The value of "id" (other attributes are ignored); -1 when absent. When the value is
// not a number, 85 is raised and 0 returned: callers test reporter.isStopped().
std::int32_t readIdAttribute(ErrorReporter& reporter, AttributeList attrs);
// The same for "pathid".
std::int32_t readPathIdAttribute(ErrorReporter& reporter, AttributeList attrs);
// The value of "patchid" or "id" (the later one wins); -1 when absent, and -1 after
// raising 85 for a value that is not a number.
std::int32_t readPatchIdAttribute(ErrorReporter& reporter, AttributeList attrs);

struct ObjectAttributes {
    std::int32_t id = -1;
    std::int32_t pathId = -1;
};
// "id" and "pathid" of an object. A "pathid" outside 0..16000000 raises
// "34: PathID out of range"; any other attribute raises "8: Attribute for Object Tag
// not called PathID or ID"; a value that is not a number raises 85.
bool readObjectAttributes(ErrorReporter& reporter, AttributeList attrs, ObjectAttributes& out);

struct ImageAttributes {
    std::int32_t width = -1;
    std::int32_t height = -1;
    std::int32_t id = -1;
};
// "width", "height" and "id" of a texturergb / texturergba image; any other attribute
// raises imageAttributeUnknown; a value that is not a number raises numberUnreadable. Ranges are
// the caller's (imageWidthMissing, imageHeightMissing).
bool readImageAttributes(ErrorReporter& reporter, AttributeList attrs, ImageAttributes& out);

}  // namespace tessaro
