#include "xgl/values.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>

namespace tessaro {
namespace {

constexpr std::int32_t kMaxPathId = 16000000;

// Raises `message` and gives the failure result, for `return fail(...)`.
bool fail(ErrorReporter& reporter, Message message) {
    reporter.raise(message);
    return false;
}

// readFloat* narrow by a plain cast; IEEE 754 makes an out-of-range double an
// infinite float, which is what the check for numberNotFinite relies on.
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559);

// 10^0 to 10^308, each written as a literal so that every entry is the correctly
// rounded double (repeated multiplication would drift above 10^22).
// clang-format off
constexpr double kPow10[] = {
    1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9,
    1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19,
    1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29,
    1e30, 1e31, 1e32, 1e33, 1e34, 1e35, 1e36, 1e37, 1e38, 1e39,
    1e40, 1e41, 1e42, 1e43, 1e44, 1e45, 1e46, 1e47, 1e48, 1e49,
    1e50, 1e51, 1e52, 1e53, 1e54, 1e55, 1e56, 1e57, 1e58, 1e59,
    1e60, 1e61, 1e62, 1e63, 1e64, 1e65, 1e66, 1e67, 1e68, 1e69,
    1e70, 1e71, 1e72, 1e73, 1e74, 1e75, 1e76, 1e77, 1e78, 1e79,
    1e80, 1e81, 1e82, 1e83, 1e84, 1e85, 1e86, 1e87, 1e88, 1e89,
    1e90, 1e91, 1e92, 1e93, 1e94, 1e95, 1e96, 1e97, 1e98, 1e99,
    1e100, 1e101, 1e102, 1e103, 1e104, 1e105, 1e106, 1e107, 1e108, 1e109,
    1e110, 1e111, 1e112, 1e113, 1e114, 1e115, 1e116, 1e117, 1e118, 1e119,
    1e120, 1e121, 1e122, 1e123, 1e124, 1e125, 1e126, 1e127, 1e128, 1e129,
    1e130, 1e131, 1e132, 1e133, 1e134, 1e135, 1e136, 1e137, 1e138, 1e139,
    1e140, 1e141, 1e142, 1e143, 1e144, 1e145, 1e146, 1e147, 1e148, 1e149,
    1e150, 1e151, 1e152, 1e153, 1e154, 1e155, 1e156, 1e157, 1e158, 1e159,
    1e160, 1e161, 1e162, 1e163, 1e164, 1e165, 1e166, 1e167, 1e168, 1e169,
    1e170, 1e171, 1e172, 1e173, 1e174, 1e175, 1e176, 1e177, 1e178, 1e179,
    1e180, 1e181, 1e182, 1e183, 1e184, 1e185, 1e186, 1e187, 1e188, 1e189,
    1e190, 1e191, 1e192, 1e193, 1e194, 1e195, 1e196, 1e197, 1e198, 1e199,
    1e200, 1e201, 1e202, 1e203, 1e204, 1e205, 1e206, 1e207, 1e208, 1e209,
    1e210, 1e211, 1e212, 1e213, 1e214, 1e215, 1e216, 1e217, 1e218, 1e219,
    1e220, 1e221, 1e222, 1e223, 1e224, 1e225, 1e226, 1e227, 1e228, 1e229,
    1e230, 1e231, 1e232, 1e233, 1e234, 1e235, 1e236, 1e237, 1e238, 1e239,
    1e240, 1e241, 1e242, 1e243, 1e244, 1e245, 1e246, 1e247, 1e248, 1e249,
    1e250, 1e251, 1e252, 1e253, 1e254, 1e255, 1e256, 1e257, 1e258, 1e259,
    1e260, 1e261, 1e262, 1e263, 1e264, 1e265, 1e266, 1e267, 1e268, 1e269,
    1e270, 1e271, 1e272, 1e273, 1e274, 1e275, 1e276, 1e277, 1e278, 1e279,
    1e280, 1e281, 1e282, 1e283, 1e284, 1e285, 1e286, 1e287, 1e288, 1e289,
    1e290, 1e291, 1e292, 1e293, 1e294, 1e295, 1e296, 1e297, 1e298, 1e299,
    1e300, 1e301, 1e302, 1e303, 1e304, 1e305, 1e306, 1e307, 1e308,
};
// clang-format on
constexpr int kMaxPow10 = 308;
static_assert(std::size(kPow10) == kMaxPow10 + 1);

constexpr std::uint64_t kPow10Int[] = {1,      10,      100,      1000,      10000,
                                       100000, 1000000, 10000000, 100000000, 1000000000};

// The format's reading of a number too large for a double: a finite value, so no
// reader ever returns infinity or NaN.
constexpr double kOverflowValue = 1.7e308;

constexpr bool isDigit(char c) noexcept {
    return static_cast<unsigned>(c - '0') < 10u;
}

// Up to 18 significant digits in two 9-digit halves: each half fits 32 bits
// (10^9 - 1 < 2^32) and the pair combines exactly in 64 bits (10^18 - 1 < 2^63), so
// the significand is rounded once, when it becomes a double.
struct Significand {
    std::uint32_t high = 0;
    std::uint32_t low = 0;
    int count = 0;

    void push(char digit) noexcept {
        const auto d = static_cast<std::uint32_t>(digit - '0');
        if (count < 9) {
            high = high * 10 + d;
        } else if (count < 18) {
            low = low * 10 + d;
        } else {
            return;  // beyond 18 digits: only the caller's magnitude counts them
        }
        ++count;
    }

    double value() const noexcept {
        if (count <= 9) return high;
        return static_cast<double>(std::uint64_t{high} * kPow10Int[count - 9] + low);
    }
};

// The exponent after "e"/"E": sign, leading zeros, at most 9 digits accumulated (so
// the value fits 32 bits), further digits consumed and ignored.
std::int64_t readExponent(const char*& p) noexcept {
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    while (*p == '0')
        ++p;
    std::int64_t exponent = 0;
    for (int digits = 0; isDigit(*p); ++p) {
        if (digits < 9) {
            exponent = exponent * 10 + (*p - '0');
            ++digits;
        }
    }
    return negative ? -exponent : exponent;
}

// The magnitude of significand x 10^s, where the significand has n digits. When the
// number has more than 308 integer digits the result is the overflow value; when its
// first digit lies below 10^-308 it is 0 and `underflow` is set (that zero stays
// positive); between these and 10^-307 a two-step division reaches denormal values.
double scaleSignificand(double significand, int n, std::int64_t s, bool& underflow) noexcept {
    underflow = false;
    if (s > 0) {
        if (s + n > kMaxPow10) return kOverflowValue;
        return significand * kPow10[s];
    }
    if (s < 0) {
        if (s >= -(kMaxPow10 - 1)) return significand / kPow10[-s];
        if (s + n <= -kMaxPow10) {
            underflow = true;
            return 0.0;
        }
        // Two steps, because 10^(-s) itself is beyond the table.
        return significand / kPow10[n] / kPow10[-(s + n)];
    }
    return significand;
}

// ASCII comparison without regard to case; `lower` is a lower-case attribute name.
bool nameIs(const char* name, std::string_view lower) noexcept {
    std::size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        if (i == lower.size()) return false;
        char c = name[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i]) return false;
    }
    return i == lower.size();
}

// Calls visit(name, value) for each of expat's name/value pairs until it returns
// false; a null list has no attributes.
template <typename Visit>
bool forEachAttribute(AttributeList attrs, Visit visit) {
    if (attrs == nullptr) return true;
    for (; attrs[0] != nullptr; attrs += 2) {
        const char* value = attrs[1] != nullptr ? attrs[1] : "";
        if (!visit(attrs[0], value)) return false;
    }
    return true;
}

// The value of the last attribute named `name` or `alias`, -1 when there is none,
// `failure` after a value that is not a number.
std::int32_t readNamedInt(ErrorReporter& reporter, AttributeList attrs, std::string_view name,
                          std::string_view alias, std::int32_t failure) {
    std::int32_t result = -1;
    const bool ok = forEachAttribute(attrs, [&](const char* attrName, const char* value) {
        if (!nameIs(attrName, name) && !nameIs(attrName, alias)) return true;
        return readInt(reporter, value, result);
    });
    return ok ? result : failure;
}

template <std::size_t N>
bool readNumbers(ErrorReporter& reporter, const char* text, double (&out)[N], Message message) {
    double values[N];
    const char* p = text;
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0) p = skipSeparators(p);
        const DecimalRead number = parseDecimal(p);
        if (number.end == p) return fail(reporter, message);
        values[i] = number.value;
        p = number.end;
    }
    std::copy(std::begin(values), std::end(values), out);
    return true;
}

template <std::size_t N>
bool readFloats(ErrorReporter& reporter, const char* text, float (&out)[N], Message message) {
    double wide[N];
    if (!readNumbers(reporter, text, wide, message)) return false;
    float narrow[N];
    for (std::size_t i = 0; i < N; ++i) {
        narrow[i] = static_cast<float>(wide[i]);
        if (!std::isfinite(narrow[i])) return fail(reporter, Message::numberNotFinite);
    }
    std::copy(std::begin(narrow), std::end(narrow), out);
    return true;
}

}  // namespace

DecimalRead parseDecimal(const char* text) noexcept {
    const char* p = text;

    // White space: only blanks, tabs and line feeds (a carriage return ends the number).
    while (*p == ' ' || *p == '\t' || *p == '\n')
        ++p;

    // Sign and leading zeros; without a sign, a digit or a point must come first.
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p++ == '-';
    } else if (!isDigit(*p) && *p != '.') {
        return {0.0, text};
    }
    while (*p == '0')
        ++p;

    // Integer digits; `magnitude` counts the digits before the point.
    Significand significand;
    std::int64_t magnitude = 0;
    for (; isDigit(*p); ++p) {
        significand.push(*p);
        ++magnitude;
    }

    // Fraction digits; with no integer digits, the zeros right after the
    // point only lower the magnitude.
    if (*p == '.') {
        ++p;
        if (magnitude == 0) {
            for (; *p == '0'; ++p)
                --magnitude;
        }
        for (; isDigit(*p); ++p)
            significand.push(*p);
    }

    // Exponent.
    std::int64_t exponent = 0;
    if (*p == 'e' || *p == 'E') {
        ++p;
        exponent = readExponent(p);
    }

    // One significand, scaled once by the table; the sign comes last.
    const int n = significand.count;
    bool underflow = false;
    const double value =
        scaleSignificand(significand.value(), n, exponent + (magnitude - n), underflow);
    if (underflow) return {0.0, p};
    return {negative ? -value : value, p};
}

const char* skipSeparators(const char* text) noexcept {
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == ',')
        ++text;
    return text;
}

bool readDouble(ErrorReporter& reporter, const char* text, double& out) {
    const DecimalRead number = parseDecimal(text);
    if (number.end == text) return fail(reporter, Message::numberUnreadable);
    out = number.value;
    return true;
}

bool readFloat(ErrorReporter& reporter, const char* text, float& out) {
    double value = 0.0;
    if (!readDouble(reporter, text, value)) return false;
    out = static_cast<float>(value);
    return true;
}

namespace {

// The value of a text that starts with at most 18 decimal digits, which a 64-bit
// integer holds exactly: what strtoll gives for it, without its locale and sign
// handling. False for any other text, which strtoll then reads. (Not long: it has 32
// bits on Windows, where a long run of digits would overflow it.)
bool readPlainDigits(const char* text, long long& value) {
    constexpr int kExactDigits = 18;
    long long sum = 0;
    int digits = 0;
    for (; isDigit(text[digits]); ++digits) {
        if (digits == kExactDigits) return false;
        sum = sum * 10 + (text[digits] - '0');
    }
    value = sum;
    return digits > 0;
}

}  // namespace

// References are most of a document's integers and are plain digits, so they skip
// strtoll; every other text keeps strtoll's reading.
bool readInt(ErrorReporter& reporter, const char* text, std::int32_t& out) {
    long long value = 0;
    if (!readPlainDigits(text, value)) {
        char* end = nullptr;
        value = std::strtoll(text, &end, 10);
        if (end == text) return fail(reporter, Message::numberUnreadable);
    }
    constexpr long long kMin = std::numeric_limits<std::int32_t>::min();
    constexpr long long kMax = std::numeric_limits<std::int32_t>::max();
    out = static_cast<std::int32_t>(std::clamp(value, kMin, kMax));
    return true;
}

bool readUnsigned(ErrorReporter& reporter, const char* text, std::uint32_t& out) {
    std::int32_t value = 0;
    if (!readInt(reporter, text, value)) return false;
    out = static_cast<std::uint32_t>(value);
    return true;
}

bool readVector2(ErrorReporter& reporter, const char* text, double (&out)[2]) {
    return readNumbers(reporter, text, out, Message::vector2Unreadable);
}
bool readVector3(ErrorReporter& reporter, const char* text, double (&out)[3]) {
    return readNumbers(reporter, text, out, Message::vector3Unreadable);
}
bool readVector4(ErrorReporter& reporter, const char* text, double (&out)[4]) {
    return readNumbers(reporter, text, out, Message::vector4Unreadable);
}
bool readVector6(ErrorReporter& reporter, const char* text, double (&out)[6]) {
    return readNumbers(reporter, text, out, Message::vector6Unreadable);
}

bool readFloat2(ErrorReporter& reporter, const char* text, float (&out)[2]) {
    return readFloats(reporter, text, out, Message::vector2Unreadable);
}
bool readFloat3(ErrorReporter& reporter, const char* text, float (&out)[3]) {
    return readFloats(reporter, text, out, Message::vector3Unreadable);
}
bool readFloat4(ErrorReporter& reporter, const char* text, float (&out)[4]) {
    return readFloats(reporter, text, out, Message::vector4Unreadable);
}

bool normalizeDirection(ErrorReporter& reporter, float (&v)[3]) {
    // In double, so that a tiny but non-zero float vector does not square to zero.
    const double x = v[0], y = v[1], z = v[2];
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0) return fail(reporter, Message::directionZero);
    const double inverse = 1.0 / length;
    v[0] = static_cast<float>(x * inverse);
    v[1] = static_cast<float>(y * inverse);
    v[2] = static_cast<float>(z * inverse);
    return true;
}

bool decodeHex(ErrorReporter& reporter, const char* text, std::size_t length, std::uint8_t* out) {
    // Each digit is tested before the next one is read, so a NUL ends the walk even
    // when `length` runs past it.
    for (std::size_t i = 0; i < length; i += 2) {
        const int high = hexDigitValue(text[i]);
        if (high < 0) return fail(reporter, Message::binaryInvalidHex);
        if (i + 1 == length) break;  // a last odd digit is tested but not stored
        const int low = hexDigitValue(text[i + 1]);
        if (low < 0) return fail(reporter, Message::binaryInvalidHex);
        out[i / 2] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return true;
}

bool readHexBytes(ErrorReporter& reporter, std::string_view text, std::uint8_t* out) {
    if (text.size() % 2 != 0) return fail(reporter, Message::binaryOddLength);
    return decodeHex(reporter, text.data(), text.size(), out);
}

std::int32_t readIdAttribute(ErrorReporter& reporter, AttributeList attrs) {
    return readNamedInt(reporter, attrs, "id", "id", 0);
}

std::int32_t readPathIdAttribute(ErrorReporter& reporter, AttributeList attrs) {
    return readNamedInt(reporter, attrs, "pathid", "pathid", 0);
}

std::int32_t readPatchIdAttribute(ErrorReporter& reporter, AttributeList attrs) {
    return readNamedInt(reporter, attrs, "patchid", "id", -1);
}

bool readObjectAttributes(ErrorReporter& reporter, AttributeList attrs, ObjectAttributes& out) {
    ObjectAttributes read;
    const bool ok = forEachAttribute(attrs, [&](const char* name, const char* value) {
        if (nameIs(name, "id")) return readInt(reporter, value, read.id);
        if (!nameIs(name, "pathid")) return fail(reporter, Message::objectAttributeUnknown);
        if (!readInt(reporter, value, read.pathId)) return false;
        if (read.pathId < 0 || read.pathId > kMaxPathId)
            return fail(reporter, Message::pathIdOutOfRange);
        return true;
    });
    if (ok) out = read;
    return ok;
}

bool readImageAttributes(ErrorReporter& reporter, AttributeList attrs, ImageAttributes& out) {
    ImageAttributes read;
    const bool ok = forEachAttribute(attrs, [&](const char* name, const char* value) {
        if (nameIs(name, "width")) return readInt(reporter, value, read.width);
        if (nameIs(name, "height")) return readInt(reporter, value, read.height);
        if (nameIs(name, "id")) return readInt(reporter, value, read.id);
        return fail(reporter, Message::imageAttributeUnknown);
    });
    if (ok) out = read;
    return ok;
}

}  // namespace tessaro
