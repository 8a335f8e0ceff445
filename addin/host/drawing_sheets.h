// A drawing's sheets in the stand-in host: one sheet per top-level object of the
// drawing's world, in document order, named "Sheet:1", "Sheet:2", ...
#pragma once

#include <QByteArray>

#include <string>
#include <vector>

namespace exportal {

// The world of every sheet: the drawing's XGL with every top-level object but the
// sheet's own cut out, so lights, background and shared definitions stay. Empty for
// text that is no well-formed XML or has no top-level object.
std::vector<QByteArray> sheetWorlds(const QByteArray& xgl);

// "Sheet:" and the one-based position.
std::string sheetNameAt(int position);

}  // namespace exportal
