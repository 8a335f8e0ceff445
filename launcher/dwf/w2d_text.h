// The textual pieces of a 2D graphics stream: strings in their four forms, ASCII
// numbers and points, and the operands of extended ASCII opcodes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dwf/byte_cursor.h"
#include "dwf/display_list.h"

namespace plotwick::internal {

// A plain token, 'quoted' (with \ escapes), "hex UTF-16", or { int32 character count,
// UTF-16LE, }. Skips leading blanks. False (cursor unmoved) when it is cut short. The
// first two forms are 8-bit text, one byte a unit, in the stream's code page: then
// `eightBit`, when given, is set.
bool readString(ByteCursor& in, std::u16string& text, bool* eightBit = nullptr);

// A decimal integer after optional blanks and commas.
bool readAsciiInteger(ByteCursor& in, std::int64_t& value);
bool readAsciiPoint(ByteCursor& in, LogicalPoint& point);

// How the operands of an extended ASCII opcode are passed over: the opcodes that hold
// strings are read with the string reader (a binary string counts characters); any
// other, as the format's library does, with `{` + int32 byte count for binary data.
enum class SkipMode { strings, bytes };

// The offset of the parenthesis that closes the one at `open`, skipping strings
// and escaped bytes inside. False with a message naming the offset when the data ends
// first or the nesting is deeper than kMaxNesting.
bool findClosingParenthesis(std::span<const std::uint8_t> data, std::size_t open,
                            std::size_t& close, std::string& message,
                            SkipMode mode = SkipMode::strings);

// The opcode name right after the opening parenthesis: up to 40 bytes 0x21-0x7A
// other than parentheses.
std::string readName(ByteCursor& in);

// Hex data "( size hexbytes... )", blanks allowed between byte pairs.
bool readHexData(ByteCursor& in, std::vector<std::uint8_t>& bytes);

struct BodyToken {
    enum class Kind { number, string, word, open, close } kind = Kind::number;
    double number = 0;
    std::u16string text;
};

// Splits an opcode's operands; false when something in them cannot be read.
bool tokenize(ByteCursor& in, std::vector<BodyToken>& tokens);

std::vector<double> numbersOf(const std::vector<BodyToken>& tokens);
// The numbers of the parenthesised group that begins with `word`, e.g. "(Contour ...)".
std::vector<double> numbersAfterWord(const std::vector<BodyToken>& tokens, const char* word);
const std::u16string* firstString(const std::vector<BodyToken>& tokens);

// "n c1 ... cn x,y ..." into contours; false when the counts and points disagree.
bool contoursOf(const std::vector<double>& numbers,
                std::vector<std::vector<LogicalPoint>>& contours);

std::string toUtf8(const std::u16string& text);

// An ASCII operand as an integer: clamped to the logical range (with room for sums of
// a few values), NaN as 0. Casting an out-of-range double is undefined behaviour.
std::int64_t toLogical(double value);
int toInt(double value);

}  // namespace plotwick::internal
