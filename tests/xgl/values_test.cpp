#include "xgl/values.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tessaro {
namespace {

// Collects every text raised, so a test can see both the message and its count.
class RecordingReporter : public ErrorReporter {
  public:
    void reportError(const char* text) override { texts.emplace_back(text ? text : "(null)"); }
    bool isStopped() const override { return !texts.empty(); }

    // The number that begins the only message, 0 when none was raised, -1 for several.
    int onlyMessage() const {
        if (texts.empty()) return 0;
        if (texts.size() > 1) return -1;
        return std::atoi(texts.front().c_str());
    }

    std::vector<std::string> texts;
};

// Distance in units in the last place between two finite doubles of any sign.
std::uint64_t ulpDistance(double a, double b) {
    auto ordered = [](double d) {
        std::int64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        return bits < 0 ? std::numeric_limits<std::int64_t>::min() - bits : bits;
    };
    const std::int64_t x = ordered(a), y = ordered(b);
    return x > y ? std::uint64_t(x) - std::uint64_t(y) : std::uint64_t(y) - std::uint64_t(x);
}

// ---------------------------------------------------------------- parseDecimal

struct DecimalCase {
    const char* text;
    double value;
    std::ptrdiff_t end;  // characters consumed; 0 = nothing read
    // Exact unless the value needs a power of ten above 10^22 or a significand above
    // 2^53 together with a scale: then one more rounding may cost one unit in the last place.
    std::uint64_t ulps = 0;
};

void PrintTo(const DecimalCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ParseDecimalTable : public testing::TestWithParam<DecimalCase> {};

TEST_P(ParseDecimalTable, GivesValueAndEndPosition) {
    const DecimalCase& c = GetParam();
    const DecimalRead read = parseDecimal(c.text);
    EXPECT_EQ(read.end - c.text, c.end);
    EXPECT_LE(ulpDistance(read.value, c.value), c.ulps) << "read " << read.value;
    EXPECT_FALSE(std::isnan(read.value));
    EXPECT_FALSE(std::isinf(read.value));
}

INSTANTIATE_TEST_SUITE_P(
    Values, ParseDecimalTable,
    testing::Values(
        // White space: blanks, tabs and line feeds only.
        DecimalCase{"  -0.5", -0.5, 6}, DecimalCase{"\t\n7", 7.0, 3}, DecimalCase{"\r7", 0.0, 0},
        DecimalCase{"\v7", 0.0, 0}, DecimalCase{"   ", 0.0, 0}, DecimalCase{"", 0.0, 0},
        // Signs and points.
        DecimalCase{"+.5", 0.5, 3}, DecimalCase{".5e1", 5.0, 4}, DecimalCase{"5.", 5.0, 2},
        DecimalCase{".", 0.0, 1}, DecimalCase{"-", 0.0, 1}, DecimalCase{"+", 0.0, 1},
        DecimalCase{"-abc", 0.0, 1}, DecimalCase{"abc", 0.0, 0}, DecimalCase{"--1", 0.0, 1},
        DecimalCase{"e5", 0.0, 0}, DecimalCase{"-e5", 0.0, 3},
        // Leading zeros, integers, ends.
        DecimalCase{"0007", 7.0, 4}, DecimalCase{"0", 0.0, 1}, DecimalCase{"-007.250", -7.25, 8},
        DecimalCase{"1000", 1000.0, 4}, DecimalCase{"12 34", 12.0, 2},
        DecimalCase{"12,34", 12.0, 2}, DecimalCase{"1\r", 1.0, 1}, DecimalCase{"1.5.5", 1.5, 3},
        DecimalCase{"0.000123", 0.000123, 8}, DecimalCase{"-12.3456789", -12.3456789, 11},
        DecimalCase{"123456.5", 123456.5, 8}, DecimalCase{"100.001", 100.001, 7},
        DecimalCase{"0.1", 0.1, 3}, DecimalCase{"00.05", 0.05, 5},
        // Exponents.
        DecimalCase{"1e-5", 1e-5, 4}, DecimalCase{"2.5E+3", 2500.0, 6},
        DecimalCase{"1e0005", 1e5, 6}, DecimalCase{"1e", 1.0, 2}, DecimalCase{"1e+", 1.0, 3},
        DecimalCase{"1ex", 1.0, 2}, DecimalCase{"3e-0", 3.0, 4},
        // More than 9 exponent digits: the first 9 count, the rest are consumed.
        DecimalCase{"1e00000000001", 10.0, 13}, DecimalCase{"1e1234567890", 1.7e308, 12},
        DecimalCase{"1e-1234567890", 0.0, 13},
        // Overflow: the format's 1.7e308, never infinity.
        DecimalCase{"1e308", 1.7e308, 5}, DecimalCase{"1e309", 1.7e308, 5},
        DecimalCase{"-1e309", -1.7e308, 6}, DecimalCase{"9e307", 9e307, 5, 1},
        DecimalCase{"1.7e308", 1.7e308, 7}, DecimalCase{"1.2e307", 1.2e307, 7, 1},
        // As the rule s + n > 308 has it, a zero with a huge exponent reads as 1.7e308.
        DecimalCase{"0e400", 1.7e308, 5},
        // Underflow: 0, positive even with a minus sign.
        DecimalCase{"1e-400", 0.0, 6}, DecimalCase{"1e-309", 0.0, 6}, DecimalCase{"9e-309", 0.0, 6},
        DecimalCase{"9.9e-308", 9.9e-308, 8, 1}, DecimalCase{"-1e-400", 0.0, 7},
        DecimalCase{"1e-307", 1e-307, 6, 1},
        // Denormal range through the two-step division; below it (s + n <= -308) the
        // value is 0, so 123e-310 keeps its value and 1.5e-310 reads as 0.
        DecimalCase{"1e-308", 1e-308, 6, 1}, DecimalCase{"2.5e-308", 2.5e-308, 8, 1},
        DecimalCase{"123e-310", 1.23e-308, 8, 1}, DecimalCase{"1.5e-310", 0.0, 8},
        // 18 significant digits are kept, more are counted for the magnitude only.
        DecimalCase{"123456789012345678", 123456789012345678.0, 18},
        // The 18th digit decides the rounding: 10^17 + 9 is nearer 10^17 + 16 than 10^17.
        DecimalCase{"100000000000000009", 100000000000000016.0, 18},
        DecimalCase{"10000000000000000900", 10000000000000001600.0, 20},
        DecimalCase{"1000000000.00000009", 1000000000.0000001, 19, 1},
        DecimalCase{"1234567890123456789012", 1234567890123456780000.0, 22, 1},
        DecimalCase{"0.123456789012345678999", 0.123456789012345678, 23, 1},
        DecimalCase{"1.00000000000000000009", 1.0, 22, 1},
        DecimalCase{"999999999.999999999", 999999999.999999999, 19, 1}));

TEST(ParseDecimal, NegativeZeroKeepsItsSign) {
    EXPECT_TRUE(std::signbit(parseDecimal("-0").value));
    EXPECT_FALSE(std::signbit(parseDecimal("-1e-999").value));
}

TEST(ParseDecimal, PowersOfTenMatchTheCorrectlyRoundedTable) {
    for (int k = 0; k <= 307; ++k) {
        const std::string text = "1e" + std::to_string(k);
        EXPECT_EQ(parseDecimal(text.c_str()).value, std::strtod(text.c_str(), nullptr)) << text;
    }
}

// A realistic coordinate or colour: up to 17 significant digits, a point anywhere
// (or none), sometimes an exponent; as a model exporter writes them.
std::string randomNumberText(std::mt19937_64& rng, int& digits, int& scale) {
    std::uniform_int_distribution<int> digitCount(1, 17), digit(0, 9), coin(0, 1);
    std::string text = coin(rng) ? "-" : "";
    digits = digitCount(rng);
    std::string body;
    for (int i = 0; i < digits; ++i)
        body += static_cast<char>('0' + (i == 0 ? 1 + digit(rng) % 9 : digit(rng)));
    const int point = std::uniform_int_distribution<int>(0, digits)(rng);
    if (point == digits) {
        text += body;
        scale = 0;
    } else {
        text += (point == 0 ? "0" : body.substr(0, point)) + "." + body.substr(point);
        scale = point - digits;
    }
    if (std::uniform_int_distribution<int>(0, 3)(rng) == 0) {
        const int exponent = std::uniform_int_distribution<int>(-40, 40)(rng);
        text += 'e';  // not "e" + ...: GCC 12 warns of an overlap in that (-Wrestrict)
        text += std::to_string(exponent);
        scale += exponent;
    }
    return text;
}

TEST(ParseDecimal, AgreesWithStrtodOnRandomRealisticNumbers) {
    std::mt19937_64 rng(20240611);
    int exact = 0;
    for (int i = 0; i < 5000; ++i) {
        int digits = 0, scale = 0;
        const std::string text = randomNumberText(rng, digits, scale);
        const DecimalRead read = parseDecimal(text.c_str());
        const double expected = std::strtod(text.c_str(), nullptr);
        ASSERT_EQ(read.end, text.c_str() + text.size()) << text;
        // Up to 15 digits the significand is exact, and 10^|scale| is exact up to 10^22,
        // so one correctly rounded operation gives strtod's result bit for bit.
        if (digits <= 15 && std::abs(scale) <= 22) {
            ASSERT_EQ(read.value, expected) << text;
            ++exact;
        } else {
            ASSERT_LE(ulpDistance(read.value, expected), 2u)
                << text << " read " << read.value << " strtod " << expected;
        }
    }
    EXPECT_GT(exact, 2000);  // the exact branch is really exercised
}

TEST(ParseDecimal, AgreesWithStrtodOnRandomDoublesPrintedInFull) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    char text[64];
    for (int i = 0; i < 3000; ++i) {
        const double value = std::ldexp(mantissa(rng), exponent(rng));
        std::snprintf(text, sizeof text, "%.17g", value);
        const double read = parseDecimal(text).value;
        ASSERT_LE(ulpDistance(read, value), 2u) << text;
    }
}

// ---------------------------------------------------------------- single numbers

TEST(ReadDouble, RaisesEightyFiveWhenNothingIsRead) {
    for (const char* text : {"abc", "", "  ", "\r1", "x1"}) {
        RecordingReporter reporter;
        double value = 42.0;
        EXPECT_FALSE(readDouble(reporter, text, value)) << text;
        EXPECT_EQ(reporter.onlyMessage(), 85) << text;
        EXPECT_EQ(value, 42.0);
    }
}

TEST(ReadDouble, LoneSignAndSignedJunkReadAsZeroWithoutMessage) {
    for (const char* text : {"-abc", "-", "+"}) {
        RecordingReporter reporter;
        double value = 42.0;
        EXPECT_TRUE(readDouble(reporter, text, value)) << text;
        EXPECT_EQ(value, 0.0);
        EXPECT_EQ(reporter.onlyMessage(), 0);
    }
}

TEST(ReadFloat, NumberBeyondFloatRangeBecomesInfiniteWithoutMessage) {
    RecordingReporter reporter;
    float value = 0.0f;
    EXPECT_TRUE(readFloat(reporter, "3.5e38", value));
    EXPECT_EQ(value, std::numeric_limits<float>::infinity());
    EXPECT_TRUE(readFloat(reporter, "-1e309", value));
    EXPECT_EQ(value, -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(readFloat(reporter, "0.25", value));
    EXPECT_EQ(value, 0.25f);
    EXPECT_EQ(reporter.onlyMessage(), 0);
}

struct IntCase {
    const char* text;
    bool ok;
    std::int32_t value;
};

class ReadIntTable : public testing::TestWithParam<IntCase> {};

TEST_P(ReadIntTable, ReadsDecimalLongSaturatedToThirtyTwoBits) {
    const IntCase& c = GetParam();
    RecordingReporter reporter;
    std::int32_t value = 12345;
    EXPECT_EQ(readInt(reporter, c.text, value), c.ok);
    EXPECT_EQ(value, c.ok ? c.value : 12345);
    EXPECT_EQ(reporter.onlyMessage(), c.ok ? 0 : 85);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReadIntTable,
    testing::Values(IntCase{"42", true, 42}, IntCase{"  -7", true, -7},
                    IntCase{"\r\v\f 8", true, 8}, IntCase{"+3xyz", true, 3},
                    IntCase{"0x10", true, 0}, IntCase{"010", true, 10},
                    IntCase{"2147483647", true, 2147483647},
                    IntCase{"2147483648", true, 2147483647},
                    IntCase{"-2147483649", true, std::numeric_limits<std::int32_t>::min()},
                    IntCase{"99999999999999999999999", true, 2147483647}, IntCase{"", false, 0},
                    IntCase{"  ", false, 0}, IntCase{"-abc", false, 0}, IntCase{"-", false, 0},
                    IntCase{"abc", false, 0}, IntCase{"1.5", true, 1}));

TEST(ReadUnsigned, StoresTheSignedValueAsUnsigned) {
    RecordingReporter reporter;
    std::uint32_t value = 0;
    EXPECT_TRUE(readUnsigned(reporter, "-1", value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_TRUE(readUnsigned(reporter, "31", value));
    EXPECT_EQ(value, 31u);
    EXPECT_FALSE(readUnsigned(reporter, "x", value));
    EXPECT_EQ(value, 31u);
    EXPECT_EQ(reporter.onlyMessage(), 85);
}

// ---------------------------------------------------------------- vectors

struct VectorCase {
    const char* text;
    int size;  // 2, 3, 4 or 6
    int message;
    std::vector<double> values;
};

void PrintTo(const VectorCase& c, std::ostream* os) {
    *os << c.size << "-vector \"";
    for (const char* p = c.text; *p; ++p)
        *os << (*p == '\r' ? "\\r" : *p == '\n' ? "\\n" : std::string(1, *p));
    *os << '"';
}

// Runs a reader of N numbers; `out` holds what it stored (the sentinel 99 where it
// stored nothing).
template <typename T, std::size_t N>
bool runReader(bool (*reader)(ErrorReporter&, const char*, T (&)[N]), ErrorReporter& reporter,
               const char* text, std::vector<T>& out) {
    T values[N];
    std::fill(std::begin(values), std::end(values), T(99));
    const bool ok = reader(reporter, text, values);
    out.assign(std::begin(values), std::end(values));
    return ok;
}

bool readVectorOfSize(ErrorReporter& reporter, const VectorCase& c, std::vector<double>& out) {
    switch (c.size) {
        case 2:
            return runReader(readVector2, reporter, c.text, out);
        case 3:
            return runReader(readVector3, reporter, c.text, out);
        case 4:
            return runReader(readVector4, reporter, c.text, out);
        case 6:
            return runReader(readVector6, reporter, c.text, out);
    }
    ADD_FAILURE() << "no reader of size " << c.size;
    return false;
}

class VectorTable : public testing::TestWithParam<VectorCase> {};

TEST_P(VectorTable, ReadsNumbersOrRaisesTheVectorsMessage) {
    const VectorCase& c = GetParam();
    RecordingReporter reporter;
    std::vector<double> values;
    const bool ok = readVectorOfSize(reporter, c, values);
    EXPECT_EQ(ok, c.message == 0);
    EXPECT_EQ(reporter.onlyMessage(), c.message);
    if (c.message == 0) {
        EXPECT_EQ(values, c.values);
    } else {
        EXPECT_EQ(values, std::vector<double>(c.size, 99.0));  // nothing stored
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, VectorTable,
    testing::Values(
        VectorCase{"1,2,3", 3, 0, {1, 2, 3}}, VectorCase{"1, 2, 3", 3, 0, {1, 2, 3}},
        VectorCase{"1,,2 ,3", 3, 0, {1, 2, 3}}, VectorCase{"\n 1\t2\n\n3\n", 3, 0, {1, 2, 3}},
        VectorCase{"1 2", 3, 83, {}}, VectorCase{"1 2 3 junk", 3, 0, {1, 2, 3}},
        VectorCase{"1 2 3 4", 3, 0, {1, 2, 3}}, VectorCase{"1-2+3", 3, 0, {1, -2, 3}},
        VectorCase{"1 2 -", 3, 0, {1, 2, 0}}, VectorCase{"abc", 3, 83, {}},
        VectorCase{"", 3, 83, {}}, VectorCase{",1 2 3", 3, 83, {}},
        // A carriage return ends a number and is not a separator.
        VectorCase{"1\r2 3", 3, 83, {}}, VectorCase{"1 2 3\r", 3, 0, {1, 2, 3}},
        VectorCase{"1 \r 2 3", 3, 83, {}}, VectorCase{"0.5 0.25", 2, 0, {0.5, 0.25}},
        VectorCase{"0.5", 2, 84, {}}, VectorCase{"1 2 3 4", 4, 0, {1, 2, 3, 4}},
        VectorCase{"1 2 3", 4, 86, {}}, VectorCase{"-1 -2 -3 1 2 3", 6, 0, {-1, -2, -3, 1, 2, 3}},
        VectorCase{"-1 -2 -3 1 2", 6, 118, {}}, VectorCase{"1e309 1 1", 3, 0, {1.7e308, 1, 1}}));

struct FloatVectorCase {
    const char* text;
    int size;  // 2, 3 or 4
    int message;
    std::vector<float> values;
};

void PrintTo(const FloatVectorCase& c, std::ostream* os) {
    *os << c.size << "-float vector \"" << c.text << '"';
}

class FloatVectorTable : public testing::TestWithParam<FloatVectorCase> {};

TEST_P(FloatVectorTable, NarrowsAndRejectsInfiniteFloats) {
    const FloatVectorCase& c = GetParam();
    RecordingReporter reporter;
    std::vector<float> stored;
    bool ok = false;
    switch (c.size) {
        case 2:
            ok = runReader(readFloat2, reporter, c.text, stored);
            break;
        case 3:
            ok = runReader(readFloat3, reporter, c.text, stored);
            break;
        case 4:
            ok = runReader(readFloat4, reporter, c.text, stored);
            break;
    }
    EXPECT_EQ(ok, c.message == 0);
    EXPECT_EQ(reporter.onlyMessage(), c.message);
    EXPECT_EQ(stored, c.message == 0 ? c.values : std::vector<float>(c.size, 99.0f));
}

INSTANTIATE_TEST_SUITE_P(
    Values, FloatVectorTable,
    testing::Values(FloatVectorCase{"0.1 0.2 0.3", 3, 0, {0.1f, 0.2f, 0.3f}},
                    FloatVectorCase{"3.5e38 0 0", 3, 81, {}},
                    FloatVectorCase{"0 0 3.5e38", 3, 81, {}},
                    FloatVectorCase{"0 -1e309 0", 3, 81, {}},
                    FloatVectorCase{"3.4e38 0 0", 3, 0, {3.4e38f, 0, 0}},
                    FloatVectorCase{"1e-50 0 0", 3, 0, {0, 0, 0}},
                    FloatVectorCase{"1 2", 3, 83, {}}, FloatVectorCase{"0.5 1", 2, 0, {0.5f, 1.0f}},
                    FloatVectorCase{"0.5", 2, 84, {}}, FloatVectorCase{"3.5e38", 2, 84, {}},
                    FloatVectorCase{"1 1 1 0.5", 4, 0, {1, 1, 1, 0.5f}},
                    FloatVectorCase{"1 1 1 4e38", 4, 81, {}}, FloatVectorCase{"1 1 1", 4, 86, {}}));

// ---------------------------------------------------------------- direction, range

TEST(NormalizeDirection, ZeroVectorRaisesOneHundredFourteen) {
    RecordingReporter reporter;
    float v[3] = {0, 0, 0};
    EXPECT_FALSE(normalizeDirection(reporter, v));
    EXPECT_EQ(reporter.onlyMessage(), 114);
}

TEST(NormalizeDirection, ScalesToUnitLength) {
    RecordingReporter reporter;
    float v[3] = {0, 0, 2};
    ASSERT_TRUE(normalizeDirection(reporter, v));
    EXPECT_EQ(v[0], 0.0f);
    EXPECT_EQ(v[1], 0.0f);
    EXPECT_EQ(v[2], 1.0f);

    float w[3] = {3, -4, 0};
    ASSERT_TRUE(normalizeDirection(reporter, w));
    EXPECT_FLOAT_EQ(w[0], 0.6f);
    EXPECT_FLOAT_EQ(w[1], -0.8f);

    float tiny[3] = {1e-30f, 0, 0};  // squares to zero in float, not in double
    ASSERT_TRUE(normalizeDirection(reporter, tiny));
    EXPECT_EQ(tiny[0], 1.0f);
    EXPECT_EQ(reporter.onlyMessage(), 0);
}

// Values as the element rules see them: text read with readFloat.
float floatFromText(const char* text) {
    RecordingReporter reporter;
    float value = -99.0f;
    EXPECT_TRUE(readFloat(reporter, text, value));
    return value;
}

TEST(InUnitRange, AcceptsTheFormatsToleranceOfOneHundredThousandth) {
    for (const char* text : {"0", "1", "0.5", "1.00001", "-0.00001", "-0"})
        EXPECT_TRUE(inUnitRange(floatFromText(text))) << text;
    for (const char* text : {"1.0001", "1.00002", "-0.0001", "2", "-1", "1e309"})
        EXPECT_FALSE(inUnitRange(floatFromText(text))) << text;
    EXPECT_FALSE(inUnitRange(std::numeric_limits<float>::quiet_NaN()));
}

// ---------------------------------------------------------------- hexadecimal data

struct HexCase {
    const char* text;
    int decodeMessage;  // decodeHex on the whole text
    int readMessage;    // readHexBytes: the odd-length check (123) first, then decodeHex
    std::vector<std::uint8_t> bytes;
};

void PrintTo(const HexCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class HexTable : public testing::TestWithParam<HexCase> {};

TEST_P(HexTable, DecodeHexDecodesPairsOrRaisesOneHundredTwentyTwo) {
    const HexCase& c = GetParam();
    RecordingReporter reporter;
    const std::size_t length = std::strlen(c.text);
    std::vector<std::uint8_t> out(length / 2, 0xEE);
    const bool ok = decodeHex(reporter, c.text, length, out.data());
    EXPECT_EQ(ok, c.decodeMessage == 0);
    EXPECT_EQ(reporter.onlyMessage(), c.decodeMessage);
    if (ok) {
        EXPECT_EQ(out, c.bytes);
    }
}

TEST_P(HexTable, ReadHexBytesChecksTheLengthFirst) {
    const HexCase& c = GetParam();
    RecordingReporter reporter;
    std::vector<std::uint8_t> out(std::strlen(c.text) / 2, 0xEE);
    const bool ok = readHexBytes(reporter, c.text, out.data());
    EXPECT_EQ(ok, c.readMessage == 0);
    EXPECT_EQ(reporter.onlyMessage(), c.readMessage);
    if (ok) {
        EXPECT_EQ(out, c.bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, HexTable,
    testing::Values(HexCase{"0a0B", 0, 0, {0x0A, 0x0B}}, HexCase{"", 0, 0, {}},
                    HexCase{"FFfe0019", 0, 0, {0xFF, 0xFE, 0x00, 0x19}},
                    HexCase{"a1B2c3D4e5F6", 0, 0, {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}},
                    HexCase{"0a 0b", 122, 123, {}},  // a blank inside binary data
                    HexCase{"0a 0bc", 122, 122, {}}, HexCase{"0a\n0b", 122, 123, {}},
                    HexCase{"0a\n\n0b", 122, 122, {}},
                    HexCase{"0a0", 0, 123, {0x0A}},  // decodeHex writes length/2 bytes
                    HexCase{"0g", 122, 122, {}}, HexCase{"g0", 122, 122, {}},
                    HexCase{"0x1F", 122, 122, {}}, HexCase{" 0a ", 122, 122, {}}));

TEST(DecodeHex, WritesLengthOverTwoBytesAndTestsAnOddLastDigit) {
    RecordingReporter reporter;
    std::uint8_t out[3] = {0xEE, 0xEE, 0xEE};
    EXPECT_TRUE(decodeHex(reporter, "0a0b1", 5, out));
    EXPECT_EQ(out[0], 0x0A);
    EXPECT_EQ(out[1], 0x0B);
    EXPECT_EQ(out[2], 0xEE);
    EXPECT_FALSE(decodeHex(reporter, "0a0bz", 5, out));
    EXPECT_EQ(reporter.onlyMessage(), 122);
}

TEST(DecodeHex, StopsAtTheTerminatorEvenWhenTheLengthRunsPastIt) {
    // The NUL is not a digit, so the bytes after it are never read.
    const char text[] = {'0', 'a', '\0', 'z', 'z', 'z'};
    RecordingReporter reporter;
    std::uint8_t out[3] = {};
    EXPECT_FALSE(decodeHex(reporter, text, 6, out));
    EXPECT_EQ(reporter.onlyMessage(), 122);
}

TEST(IsHexDigit, AcceptsExactlyTheTwentyTwoDigits) {
    int count = 0;
    for (int c = -128; c < 128; ++c)
        count += isHexDigit(static_cast<char>(c)) ? 1 : 0;
    EXPECT_EQ(count, 22);
    EXPECT_TRUE(isHexDigit('0') && isHexDigit('9') && isHexDigit('a') && isHexDigit('F'));
    EXPECT_FALSE(isHexDigit('g') || isHexDigit('G') || isHexDigit('/') || isHexDigit(':') ||
                 isHexDigit('@') || isHexDigit('`'));
}

// ---------------------------------------------------------------- attributes

enum class AttributeReader { Id, PathId, PatchId, Object, Image };

struct AttributeCase {
    const char* name;  // for the test's name in failure output
    AttributeReader reader;
    std::vector<const char*> attrs;  // name/value pairs, without the terminator
    int message;
    // Id/PathId/PatchId: the returned value in [0]; Object: id, pathid; Image: width,
    // height, id.
    std::vector<std::int32_t> expected;
};

void PrintTo(const AttributeCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<std::int32_t> runAttributeReader(ErrorReporter& reporter, const AttributeCase& c) {
    std::vector<const char*> list = c.attrs;
    list.push_back(nullptr);
    const AttributeList attrs = c.attrs.empty() ? nullptr : list.data();
    switch (c.reader) {
        case AttributeReader::Id:
            return {readIdAttribute(reporter, attrs)};
        case AttributeReader::PathId:
            return {readPathIdAttribute(reporter, attrs)};
        case AttributeReader::PatchId:
            return {readPatchIdAttribute(reporter, attrs)};
        case AttributeReader::Object: {
            ObjectAttributes read{77, 77};
            readObjectAttributes(reporter, attrs, read);
            return {read.id, read.pathId};
        }
        case AttributeReader::Image: {
            ImageAttributes read{77, 77, 77};
            readImageAttributes(reporter, attrs, read);
            return {read.width, read.height, read.id};
        }
    }
    return {};
}

class AttributeTable : public testing::TestWithParam<AttributeCase> {};

TEST_P(AttributeTable, ReadsValuesAndRaisesMessages) {
    const AttributeCase& c = GetParam();
    RecordingReporter reporter;
    EXPECT_EQ(runAttributeReader(reporter, c), c.expected);
    EXPECT_EQ(reporter.onlyMessage(), c.message);
}

using R = AttributeReader;
const std::vector<std::int32_t> kObjectUntouched = {77, 77};
const std::vector<std::int32_t> kImageUntouched = {77, 77, 77};

INSTANTIATE_TEST_SUITE_P(
    Values, AttributeTable,
    testing::Values(
        // "id"
        AttributeCase{"id absent (null list)", R::Id, {}, 0, {-1}},
        AttributeCase{"id given", R::Id, {"id", "12"}, 0, {12}},
        AttributeCase{"id any case", R::Id, {"ID", "5"}, 0, {5}},
        AttributeCase{"id of -1 is absent", R::Id, {"id", "-1"}, 0, {-1}},
        AttributeCase{"id others ignored", R::Id, {"name", "x", "Id", "3", "pathid", "9"}, 0, {3}},
        AttributeCase{"id later wins", R::Id, {"id", "1", "iD", "2"}, 0, {2}},
        AttributeCase{"id empty", R::Id, {"id", ""}, 85, {0}},
        AttributeCase{"id not a number", R::Id, {"id", "abc"}, 85, {0}},
        AttributeCase{"id idx is not id", R::Id, {"idx", "4"}, 0, {-1}},
        // "pathid"
        AttributeCase{"pathid given", R::PathId, {"PathID", "16000001"}, 0, {16000001}},
        AttributeCase{"pathid absent", R::PathId, {"id", "4"}, 0, {-1}},
        AttributeCase{"pathid empty", R::PathId, {"pathid", ""}, 85, {0}},
        // "patchid" or "id"
        AttributeCase{"patchid", R::PatchId, {"PatchId", "8"}, 0, {8}},
        AttributeCase{"patch id", R::PatchId, {"id", "9"}, 0, {9}},
        AttributeCase{"patch later wins", R::PatchId, {"patchid", "8", "id", "9"}, 0, {9}},
        AttributeCase{"patch absent", R::PatchId, {"name", "x"}, 0, {-1}},
        AttributeCase{"patch bad", R::PatchId, {"patchid", "x"}, 85, {-1}},
        // object
        AttributeCase{"object none", R::Object, {}, 0, {-1, -1}},
        AttributeCase{
            "object both", R::Object, {"id", "3", "pathid", "16000000"}, 0, {3, 16000000}},
        AttributeCase{"object pathid 0", R::Object, {"PATHID", "0"}, 0, {-1, 0}},
        AttributeCase{
            "object pathid too big", R::Object, {"pathid", "16000001"}, 34, kObjectUntouched},
        AttributeCase{"object pathid -2", R::Object, {"pathid", "-2"}, 34, kObjectUntouched},
        AttributeCase{"object pathid -1", R::Object, {"pathid", "-1"}, 34, kObjectUntouched},
        AttributeCase{"object id -1", R::Object, {"id", "-1"}, 0, {-1, -1}},
        AttributeCase{"object unknown", R::Object, {"id", "3", "name", "x"}, 8, kObjectUntouched},
        AttributeCase{
            "object unknown first", R::Object, {"pid", "3", "pathid", "-5"}, 8, kObjectUntouched},
        AttributeCase{"object later wins", R::Object, {"id", "3", "Id", "4"}, 0, {4, -1}},
        AttributeCase{"object empty id", R::Object, {"id", ""}, 85, kObjectUntouched},
        AttributeCase{"object empty pathid", R::Object, {"pathid", ""}, 85, kObjectUntouched},
        // image
        AttributeCase{"image none", R::Image, {}, 0, {-1, -1, -1}},
        AttributeCase{
            "image all", R::Image, {"Width", "4", "HEIGHT", "2", "id", "7"}, 0, {4, 2, 7}},
        AttributeCase{"image only width", R::Image, {"width", "4"}, 0, {4, -1, -1}},
        AttributeCase{"image later wins", R::Image, {"width", "4", "width", "8"}, 0, {8, -1, -1}},
        AttributeCase{"image unknown", R::Image, {"width", "4", "depth", "2"}, 18, kImageUntouched},
        AttributeCase{"image empty height", R::Image, {"height", ""}, 85, kImageUntouched},
        AttributeCase{
            "image saturates", R::Image, {"width", "99999999999"}, 0, {2147483647, -1, -1}}));

TEST(AttributeNames, MustMatchWholly) {
    RecordingReporter reporter;
    const char* attrs[] = {"i", "1", "ids", "2", "", "3", nullptr};
    EXPECT_EQ(readIdAttribute(reporter, attrs), -1);
    EXPECT_EQ(reporter.onlyMessage(), 0);
}

}  // namespace
}  // namespace tessaro
