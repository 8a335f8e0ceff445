// Encodes the image buffer as a JPEG file with the add-in's current quality.
#pragma once

#include <cstdint>
#include <string>

namespace exportal {

class cDIBSection;

// Writes `fileName` from the 24-bit buffer at CurrentQuality (a value below 10 or above
// 100 becomes 100 first). On a library failure the error box is shown and no file is
// written; an existing file is replaced whole, never left with a stale tail. A file
// that cannot be written is reported too.
bool WriteJpegFile(const cDIBSection& buffer, const std::string& fileName);

// The error box of the JPEG writer: "IJL ERROR: [code] - description - text".
void ShowJpegLibraryError(const std::string& text, std::int32_t code);

}  // namespace exportal
