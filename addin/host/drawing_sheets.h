// A drawing's sheets in the stand-in host: one sheet per top-level object of the
// drawing's world, in document order, named "Sheet:1", "Sheet:2", ...
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <string>
#include <utility>
#include <vector>

namespace exportal {

// Where a top-level object stands in the world's text, in characters.
using SheetSpan = std::pair<qint64, qint64>;

// The top-level objects of the world, one per sheet. Empty for text that is no
// well-formed XML or has no top-level object.
std::vector<SheetSpan> sheetSpans(const QByteArray& xgl);

// The world of one sheet (`kept`, counted from 0): the drawing's XGL with every other
// top-level object cut out, so lights, background and shared definitions stay. Made
// when it is shown, so a drawing of many sheets is held only once.
QByteArray sheetWorld(const QByteArray& xgl, const std::vector<SheetSpan>& sheets,
                      std::size_t kept);

// "Sheet:" and the one-based position.
std::string sheetNameAt(int position);

}  // namespace exportal
