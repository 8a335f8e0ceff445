// 8-bit strings of a 2D stream are text in the code page that (CodePage n) names
// (Windows numbering: 1252 western, 932 Japanese, 936 simplified Chinese...). The
// system converts: iconv here, MultiByteToWideChar in the Windows build.
#pragma once

#include <string>

namespace plotwick::internal {

// The code page a stream's 8-bit strings are in until it names one.
inline constexpr int kDefaultCodePage = 1252;

// `bytes` holds one byte a unit, as the string reader read them. Returns the text as
// UTF-16; a byte sequence the code page does not hold becomes U+FFFD, and a code page
// the system does not know leaves each byte as the character of that number.
std::u16string fromCodePage(const std::u16string& bytes, int codePage);

}  // namespace plotwick::internal
