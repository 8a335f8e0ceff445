// The stand-in host's services that need no window: document types by extension,
// length expressions, and the compressed copy of a document.
#pragma once

#include <QByteArray>

#include <string>

#include "host/cad_host.h"

namespace exportal {

// ".ipt" part, ".iam" assembly, ".idw" drawing, ".ipn" presentation (any letter case).
DocumentType documentTypeOf(const std::string& fileName);

// A number with an optional unit (in, ft, mm, cm, m; else `defaultUnit`) in
// centimetres. False for text that is not such a length.
bool evaluateLengthExpression(const std::string& expression, const std::string& defaultUnit,
                              double& centimetres);

// Writes `xgl` as one zlib stream, the ZGL form of the document. False when the file
// cannot be written.
bool writeZglCopy(const QByteArray& xgl, const std::string& fileName);

}  // namespace exportal
