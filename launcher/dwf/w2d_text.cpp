#include "dwf/w2d_text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "dwf/w2d_reader.h"

namespace plotwick::internal {
namespace {

bool isBlank(std::uint8_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0;
}
bool isDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}
bool isLetter(std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool endsToken(std::uint8_t c) {
    return isBlank(c) || c == '(' || c == ')' || c == ',';
}

void skipBlanks(ByteCursor& in, bool commasToo) {
    while (!in.atEnd() && (isBlank(in.peek()) || (commasToo && in.peek() == ',')))
        in.skip(1);
}

int hexValue(std::uint8_t c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool readQuoted(ByteCursor& in, std::u16string& text) {
    in.skip(1);
    for (std::uint8_t c = 0; in.read(c);) {
        if (c == '\'') return true;
        if (c == '\\' && !in.read(c)) return false;
        text.push_back(c);
    }
    return false;
}

bool readHex(ByteCursor& in, std::u16string& text) {
    in.skip(1);
    int digits = 0;
    char16_t unit = 0;
    for (std::uint8_t c = 0; in.read(c);) {
        if (c == '"') return digits == 0;
        const int value = hexValue(c);
        if (value < 0) return false;
        unit = static_cast<char16_t>((unit << 4) | value);
        if (++digits == 4) {
            text.push_back(unit);
            digits = 0;
            unit = 0;
        }
    }
    return false;
}

// { int32 character count, UTF-16LE, }: the count is of characters, not bytes.
bool readCounted(ByteCursor& in, std::u16string& text) {
    in.skip(1);
    std::int32_t count = 0;
    if (!in.read(count) || count < 0) return false;
    if (std::size_t{static_cast<std::uint32_t>(count)} * 2 + 1 > in.remaining()) return false;
    for (std::int32_t i = 0; i < count; ++i) {
        std::uint16_t unit = 0;
        in.read(unit);
        text.push_back(static_cast<char16_t>(unit));
    }
    std::uint8_t close = 0;
    return in.read(close) && close == '}';
}

void readPlain(ByteCursor& in, std::u16string& text) {
    while (!in.atEnd() && !endsToken(in.peek())) {
        text.push_back(in.peek());
        in.skip(1);
    }
}

bool readNumber(ByteCursor& in, double& value) {
    char buffer[64];
    std::size_t length = 0;
    while (!in.atEnd() && length + 1 < sizeof buffer) {
        const std::uint8_t c = in.peek();
        if (!isDigit(c) && c != '-' && c != '+' && c != '.' && c != 'e' && c != 'E') break;
        buffer[length++] = static_cast<char>(c);
        in.skip(1);
    }
    buffer[length] = 0;
    char* end = nullptr;
    value = std::strtod(buffer, &end);
    return length > 0 && end == buffer + length;
}

}  // namespace

bool readString(ByteCursor& in, std::u16string& text, bool* eightBit) {
    const std::size_t start = in.offset();
    skipBlanks(in, false);
    text.clear();
    bool ok = !in.atEnd();
    if (ok && eightBit != nullptr) *eightBit = in.peek() != '"' && in.peek() != '{';
    if (ok) {
        switch (in.peek()) {
            case '\'':
                ok = readQuoted(in, text);
                break;
            case '"':
                ok = readHex(in, text);
                break;
            case '{':
                ok = readCounted(in, text);
                break;
            default:
                readPlain(in, text);
                ok = !text.empty();
        }
    }
    if (!ok) in.seek(start);
    return ok;
}

bool readAsciiInteger(ByteCursor& in, std::int64_t& value) {
    const std::size_t start = in.offset();
    skipBlanks(in, true);
    bool negative = false;
    if (!in.atEnd() && (in.peek() == '-' || in.peek() == '+')) {
        negative = in.peek() == '-';
        in.skip(1);
    }
    int digits = 0;
    value = 0;
    // 18 digits cannot overflow 64 bits; real coordinates have at most 10.
    while (!in.atEnd() && isDigit(in.peek()) && digits < 18) {
        value = value * 10 + (in.peek() - '0');
        in.skip(1);
        ++digits;
    }
    // A number that runs to the end of the data may have been cut: a whole stream
    // always goes on with (EndOfDWF).
    if (digits == 0 || in.atEnd() || isDigit(in.peek())) {
        in.seek(start);
        return false;
    }
    if (negative) value = -value;
    return true;
}

bool readAsciiPoint(ByteCursor& in, LogicalPoint& point) {
    const std::size_t start = in.offset();
    if (readAsciiInteger(in, point.x) && readAsciiInteger(in, point.y)) return true;
    in.seek(start);
    return false;
}

namespace {

// The library's way past binary data inside an unknown opcode: an int32 byte count.
bool skipCountedBytes(ByteCursor& in) {
    in.skip(1);
    std::int32_t count = 0;
    return in.read(count) && count > 0 && in.skip(static_cast<std::size_t>(count));
}

bool skipQuoted(ByteCursor& in) {
    in.skip(1);
    for (std::uint8_t c = 0; in.read(c);) {
        if (c == '\\' && !in.read(c)) return false;
        if (c == '\'') return true;
    }
    return false;
}

}  // namespace

bool findClosingParenthesis(std::span<const std::uint8_t> data, std::size_t open,
                            std::size_t& close, std::string& message, SkipMode mode) {
    ByteCursor in(data, open);
    int depth = 0;
    while (!in.atEnd()) {
        const std::size_t at = in.offset();
        const std::uint8_t c = in.peek();
        bool passed = true;
        if (mode == SkipMode::strings && (c == '\'' || c == '"' || c == '{')) {
            std::u16string ignored;
            passed = readString(in, ignored);
        } else if (c == '\'') {
            passed = skipQuoted(in);
        } else if (c == '{') {
            passed = skipCountedBytes(in);
        } else if (c == '\\') {
            passed = in.skip(2);
        } else {
            in.skip(1);
            if (c == '(' && ++depth > kMaxNesting) {
                message = "Parentheses nest deeper than " + std::to_string(kMaxNesting) +
                          " levels at byte " + std::to_string(at) + "; the sheet stops there";
                return false;
            }
            if (c == ')' && --depth == 0) {
                close = at;
                return true;
            }
        }
        if (!passed) {
            message = "A string at byte " + std::to_string(at) +
                      " runs past the end of the stream (opcode at byte " + std::to_string(open) +
                      ")";
            return false;
        }
    }
    message = "The stream ends inside the extended opcode at byte " + std::to_string(open);
    return false;
}

std::string readName(ByteCursor& in) {
    std::string name;
    while (!in.atEnd() && name.size() < 40) {
        const std::uint8_t c = in.peek();
        if (c < 0x21 || c > 0x7A || c == '(' || c == ')') break;
        name.push_back(static_cast<char>(c));
        in.skip(1);
    }
    return name;
}

bool readHexData(ByteCursor& in, std::vector<std::uint8_t>& bytes) {
    skipBlanks(in, false);
    std::uint8_t c = 0;
    std::int64_t size = 0;
    if (!in.read(c) || c != '(' || !readAsciiInteger(in, size) || size < 0 ||
        static_cast<std::uint64_t>(size) > in.remaining() / 2) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    for (std::uint8_t& byte : bytes) {
        skipBlanks(in, false);
        std::uint8_t high = 0, low = 0;
        if (!in.read(high) || !in.read(low) || hexValue(high) < 0 || hexValue(low) < 0) {
            return false;
        }
        byte = static_cast<std::uint8_t>(hexValue(high) << 4 | hexValue(low));
    }
    skipBlanks(in, false);
    return in.read(c) && c == ')';
}

bool tokenize(ByteCursor& in, std::vector<BodyToken>& tokens) {
    for (skipBlanks(in, true); !in.atEnd(); skipBlanks(in, true)) {
        BodyToken token;
        const std::uint8_t c = in.peek();
        if (c == '(' || c == ')') {
            token.kind = c == '(' ? BodyToken::Kind::open : BodyToken::Kind::close;
            in.skip(1);
        } else if (c == '\'' || c == '"' || c == '{') {
            token.kind = BodyToken::Kind::string;
            if (!readString(in, token.text)) return false;
        } else if (isDigit(c) || c == '-' || c == '+' || c == '.') {
            if (!readNumber(in, token.number)) return false;
        } else if (isLetter(c)) {
            token.kind = BodyToken::Kind::word;
            readPlain(in, token.text);
        } else {
            return false;
        }
        tokens.push_back(std::move(token));
    }
    return true;
}

std::vector<double> numbersOf(const std::vector<BodyToken>& tokens) {
    std::vector<double> numbers;
    for (const BodyToken& token : tokens) {
        if (token.kind == BodyToken::Kind::number) numbers.push_back(token.number);
    }
    return numbers;
}

std::vector<double> numbersAfterWord(const std::vector<BodyToken>& tokens, const char* word) {
    const std::u16string wanted(word, word + std::strlen(word));
    std::vector<double> numbers;
    std::size_t i = 0;
    while (i < tokens.size() &&
           !(tokens[i].kind == BodyToken::Kind::word && tokens[i].text == wanted)) {
        ++i;
    }
    for (int depth = 1; ++i < tokens.size() && depth > 0;) {
        if (tokens[i].kind == BodyToken::Kind::open) ++depth;
        if (tokens[i].kind == BodyToken::Kind::close) --depth;
        if (tokens[i].kind == BodyToken::Kind::number) numbers.push_back(tokens[i].number);
    }
    return numbers;
}

const std::u16string* firstString(const std::vector<BodyToken>& tokens) {
    for (const BodyToken& token : tokens) {
        if (token.kind == BodyToken::Kind::string) return &token.text;
    }
    return nullptr;
}

bool contoursOf(const std::vector<double>& numbers,
                std::vector<std::vector<LogicalPoint>>& contours) {
    // Written as "not inside the range" so that NaN fails too.
    if (numbers.empty() || !(numbers[0] >= 1 && numbers[0] + 1 <= numbers.size())) return false;
    const std::size_t count = static_cast<std::size_t>(numbers[0]);
    std::size_t next = 1 + count;
    for (std::size_t i = 1; i <= count; ++i) {
        if (!(numbers[i] >= 1 && numbers[i] <= (numbers.size() - next) / 2.0)) return false;
        std::vector<LogicalPoint> contour(static_cast<std::size_t>(numbers[i]));
        for (LogicalPoint& point : contour) {
            point = {toLogical(numbers[next]), toLogical(numbers[next + 1])};
            next += 2;
        }
        contours.push_back(std::move(contour));
    }
    return true;
}

std::string toUtf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return out;
}

std::int64_t toLogical(double value) {
    constexpr double kLimit = 4.0e12;  // far beyond 31 bits, far inside 64
    if (std::isnan(value)) return 0;
    return static_cast<std::int64_t>(std::clamp(value, -kLimit, kLimit));
}

int toInt(double value) {
    if (std::isnan(value)) return 0;
    return static_cast<int>(std::clamp(value, double{INT32_MIN}, double{INT32_MAX}));
}

}  // namespace plotwick::internal
