// A 2D sheet written by hand from the format notes: a border, a title in its box, a
// label turned 90 degrees, a hatched square and an embedded 2 x 2 PNG (red over green).
#pragma once

#include <QBuffer>
#include <QImage>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sample_streams.h"

namespace plotwick::test {

inline std::vector<std::uint8_t> twoByTwoPng() {
    QImage image(2, 2, QImage::Format_RGB32);
    image.setPixelColor(0, 0, Qt::red);
    image.setPixelColor(1, 0, Qt::red);
    image.setPixelColor(0, 1, Qt::green);
    image.setPixelColor(1, 1, Qt::green);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return {bytes.begin(), bytes.end()};
}

// Complex text 0x18 at the current point: the string, empty scoring lists, the box's
// corners each relative to the one before, and the reserved list of 6.00 streams.
inline B& complexText(B& b, const std::u16string& text, const LogicalPoint (&box)[4]) {
    b.u8(0x18).p32(0, 0).utf16(text).u8(1).u8(1);
    LogicalPoint at{0, 0};
    for (const LogicalPoint& corner : box) {
        b.p32(static_cast<std::int32_t>(corner.x - at.x),
              static_cast<std::int32_t>(corner.y - at.y));
        at = corner;
    }
    return b.u8(1);
}

using Bytes = std::vector<std::uint8_t>;

// Logical 0..10000 on both axes, drawn at 800 x 800: 0.08 pixel per unit. The texts
// and the hatch go through `middle`, which may, say, compress them.
inline Bytes handMadeSheet(const std::function<Bytes(const Bytes&)>& middle = nullptr) {
    B b;
    b.s("(W2D V06.00)(View 0,0 10000,10000)");
    b.u8(0x03).u8(0).u8(0).u8(0).u8(255).u8(0x17).i32(60);
    b.u8('O').p32(200, 200).u8('p').u8(5).p32(0, 0).p32(9600, 0).p32(0, 9600).p32(-9600, 0).p32(
        0, -9600);
    B m;
    m.u8(0x17).i32(0).u8(0x06).u16(0x0020).i32(600);
    // The title: insertion point on the baseline, the box from the descent line up.
    m.u8('O').p32(1000, 8150);
    complexText(m, u"PLAN VIEW", {{0, -150}, {4000, -150}, {4000, 450}, {0, 450}});
    // A label turned 90 degrees: its baseline runs up the sheet.
    m.u8('O').p32(8600, 2000);
    complexText(m, u"NORTH", {{150, 0}, {150, 3000}, {-450, 3000}, {-450, 0}});
    m.u8(0x03).u8(0).u8(0).u8(255).u8(255).s("(FillPattern 'Slant Right')F");
    m.u8('O').p32(1000, 1000).u8('p').u8(4).p32(0, 0).p32(3000, 0).p32(0, 3000).p32(-3000, 0);
    m.s("f(FillPattern Solid)");
    b.add(middle ? middle(m) : m.bytes);
    const Bytes png = twoByTwoPng();
    b.u8('O').p32(0, 0);
    b.add(extended(0x000C, B().u16(2)
                               .u16(2)
                               .p32(4500, 1000)
                               .p32(3000, 3000)
                               .i32(1)
                               .i32(static_cast<std::int32_t>(png.size()))
                               .add(png)));
    b.s("(EndOfDWF)");
    return b;
}

// The middle of the hand-made sheet followed by a cross-hatched and a checkered square
// and a text placed by its font alone: 500 units high, turned 30 degrees, half as wide
// again, slanted 15 degrees (angles in 1/65536 of a turn, width in 1/1024).
inline Bytes withExtras(const Bytes& middle) {
    B more;
    more.add(middle);
    more.u8(0x03).u8(200).u8(0).u8(0).u8(255).s("(FillPattern Crosshatch)F");
    more.u8('O').p32(1000, 4500).u8('p').u8(4).p32(0, 0).p32(2000, 0).p32(0, 2000).p32(-2000, 0);
    more.u8(0x03).u8(0).u8(128).u8(0).u8(255).s("(FillPattern Checkerboard)");
    more.u8('O').p32(4500, 4500).u8('p').u8(4).p32(0, 0).p32(2000, 0).p32(0, 2000).p32(-2000, 0);
    more.s("f(FillPattern Solid)");
    more.u8(0x03).u8(0).u8(0).u8(0).u8(255);
    more.u8(0x06).u16(0x0020 | 0x0040 | 0x0080 | 0x0200).i32(500).u16(5461).u16(1536).u16(2731);
    more.u8('O').p32(6000, 7000).u8('x').p32(0, 0).utf16(u"Slanted");
    return more;
}

// A text of 3000 different letters and CJK characters squashed into a box 4 device
// pixels high and some 50 times longer per glyph, turned 45 degrees, on a sheet drawn
// at 96 x 72: every glyph is a picture hundreds of pixels across.
inline Bytes squashedTurnedText() {
    std::u16string text;
    for (char16_t c = 0x100; c < 0x250; ++c)
        text += c;  // Latin extended
    for (char16_t c = 0x400; c < 0x530; ++c)
        text += c;  // Cyrillic
    for (char16_t c = 0x4e00; text.size() < 3000; ++c)
        text += c;  // CJK ideographs
    constexpr double kPixelsPerUnit = 72 / 10000.0;
    const double height = 4.2 / kPixelsPerUnit;
    const double length = static_cast<double>(text.size()) * 60 * 11 / kPixelsPerUnit;
    const auto along = static_cast<std::int64_t>(length / std::sqrt(2.0));
    const auto up = static_cast<std::int64_t>(height / std::sqrt(2.0));
    B b;
    b.s("(W2D V06.00)(View 0,0 10000,10000)").u8('O').p32(3000, 3000);
    complexText(b, text, {{0, 0}, {along, along}, {along - up, along + up}, {-up, up}});
    b.s("(EndOfDWF)");
    return b;
}

}  // namespace plotwick::test
