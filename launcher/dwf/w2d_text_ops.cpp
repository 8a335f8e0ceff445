// Text and font opcodes: basic text `x`, complex text 0x18 with its box, the font
// opcode 0x06, and their old layouts of streams before revision 32.
#include <algorithm>

#include "dwf/w2d_decoder.h"

namespace plotwick::internal {
namespace {

constexpr double kTurnUnits = 65536.0;

}  // namespace

// A font definition: a field mask, then the fields it names in bit order; only the
// fields present change.
bool W2dDecoder::font(std::size_t at) {
    std::uint16_t mask = 0;
    if (!m_in.read(mask)) return false;
    constexpr std::uint16_t kKnownFields = 0x07ff;
    if ((mask & ~kKnownFields) != 0) {
        return fail(opcodeName(0x06) + atByte(at) + " has unknown fields and cannot be skipped");
    }
    FontState& f = m_state.font;
    std::u16string name;
    if ((mask & 0x0001) && !readString(m_in, name)) return false;
    if (mask & 0x0001) f.name = toUtf8(name);
    std::uint8_t byteField = 0;
    for (std::uint16_t bit : {0x0002, 0x0004, 0x0008, 0x0010}) {
        if ((mask & bit) && !m_in.read(byteField)) return false;
        if ((mask & bit) && bit == 0x0010) f.style = byteField;
    }
    if ((mask & 0x0020) && !m_in.read(f.height)) return false;
    if ((mask & 0x0040) && !m_in.read(f.rotation)) return false;
    if ((mask & 0x0080) && !m_in.read(f.widthScale)) return false;
    if ((mask & 0x0100) && !m_in.read(f.spacing)) return false;
    if ((mask & 0x0200) && !m_in.read(f.oblique)) return false;
    return !(mask & 0x0400) || m_in.read(f.flags);
}

// Before revision 31: counted name bytes, style, charset, pitch and family.
bool W2dDecoder::oldFont() {
    std::uint32_t length = 0;
    if (!m_in.readCount(length) || m_in.remaining() < std::size_t{length} + 9) return false;
    std::string name;
    for (std::uint32_t i = 0; i < length; ++i) {
        std::uint8_t c = 0;
        m_in.read(c);
        name.push_back(static_cast<char>(c));
    }
    m_state.font.name = name;
    m_in.read(m_state.font.style);
    return m_in.skip(8);
}

// A list of character positions for bars over or under the text: a count + 1, then
// each position + 1, all in the count form.
bool W2dDecoder::scoringList() {
    std::uint32_t count = 0;
    if (!m_in.readCount(count)) return false;
    for (std::uint32_t i = 1; i < count; ++i) {
        std::uint32_t position = 0;
        if (!m_in.readCount(position)) return false;
    }
    return true;
}

bool W2dDecoder::countedUtf16(std::u16string& text) {
    std::uint32_t count = 0;
    if (!m_in.readCount(count) || m_in.remaining() / 2 < count) return false;
    text.resize(count);
    for (char16_t& unit : text) {
        std::uint16_t value = 0;
        m_in.read(value);
        unit = static_cast<char16_t>(value);
    }
    return true;
}

bool W2dDecoder::emitText(const LogicalPoint& position, std::u16string text,
                          const LogicalPoint* bounds) {
    DrawOp op = newOp(OpKind::text);
    op.points = {position};
    op.text = std::move(text);
    const FontState& f = m_state.font;
    TextStyle style;
    style.fontName = f.name;
    style.rotationTurns = f.rotation / kTurnUnits;
    style.widthScale = f.widthScale / 1024.0;
    style.spacing = f.spacing / 1024.0;
    style.obliqueTurns = f.oblique / kTurnUnits;
    style.bold = (f.style & 1) != 0;
    style.italic = (f.style & 2) != 0;
    style.underline = (f.style & 4) != 0;
    style.horizontalAlign = m_state.horizontalAlign;
    style.verticalAlign = m_state.verticalAlign;
    if (bounds != nullptr) {
        style.hasBounds = true;
        std::copy(bounds, bounds + 4, style.bounds.begin());
    }
    // Texts of one font share a style; a box makes each its own.
    if (m_out.texts.empty() || !(m_out.texts.back() == style)) {
        if (!m_state.visible) return true;
        m_cost += sizeof(TextStyle) + style.fontName.size();
        m_out.texts.push_back(std::move(style));
    }
    op.detail = static_cast<int>(m_out.texts.size()) - 1;
    return emit(std::move(op));
}

bool W2dDecoder::readDrawnString(ByteCursor& in, std::u16string& text) {
    bool eightBit = false;
    if (!readString(in, text, &eightBit)) return false;
    if (eightBit) text = fromCodePage(text, m_state.codePage);
    return true;
}

bool W2dDecoder::basicText() {
    const std::size_t start = m_in.offset();
    const LogicalPoint before = m_state.current;
    LogicalPoint position;
    std::u16string text;
    if (!relativePoint<std::int32_t>(position) || !readDrawnString(m_in, text)) {
        m_in.seek(start);
        m_state.current = before;
        return false;
    }
    return emitText(position, std::move(text), nullptr);
}

// Position, string, overscore and underscore lists, the four corners of the box (each
// relative to the one before), and from 6.00 a reserved list of the same shape.
bool W2dDecoder::complexText() {
    LogicalPoint position;
    std::u16string text;
    if (!relativePoint<std::int32_t>(position) || !readDrawnString(m_in, text) || !scoringList() ||
        !scoringList()) {
        return false;
    }
    LogicalPoint box[4];
    for (LogicalPoint& corner : box) {
        if (!relativePoint<std::int32_t>(corner)) return false;
    }
    if (m_revision >= 600 && !scoringList()) return false;
    return emitText(position, std::move(text), box);
}

// Before revision 32 the text opcodes carry their font fields and a raw string; the
// basic one also a box given as deltas that do not move the current point.
bool W2dDecoder::oldBasicText() {
    FontState& f = m_state.font;
    std::int16_t widthScale = 0, spacing = 0, oblique = 0, rotation = 0;
    std::int32_t deltas[8] = {};
    if (!m_in.read(widthScale) || !m_in.read(spacing) || !m_in.read(f.flags) ||
        !m_in.read(oblique) || !scoringList() || !scoringList() || !m_in.read(rotation) ||
        !m_in.read(f.height)) {
        return false;
    }
    f.widthScale = static_cast<std::uint16_t>(widthScale);
    f.spacing = static_cast<std::uint16_t>(spacing);
    f.oblique = static_cast<std::uint16_t>(oblique);
    f.rotation = static_cast<std::uint16_t>(rotation);
    LogicalPoint position;
    if (!relativePoint<std::int32_t>(position)) return false;
    for (std::int32_t& delta : deltas) {
        if (!m_in.read(delta)) return false;
    }
    std::u16string text;
    if (!countedUtf16(text)) return false;
    LogicalPoint box[4];
    box[0] = {position.x + deltas[4], position.y + deltas[6]};
    box[1] = {box[0].x + deltas[7], box[0].y + deltas[5]};
    box[2] = {box[1].x + deltas[2], box[1].y + deltas[3]};
    box[3] = {box[0].x + deltas[0], box[0].y + deltas[1]};
    return emitText(position, std::move(text), box);
}

bool W2dDecoder::oldComplexText() {
    std::int16_t rotation = 0;
    if (!m_in.read(rotation) || !m_in.read(m_state.font.height)) return false;
    m_state.font.rotation = static_cast<std::uint16_t>(rotation);
    LogicalPoint position;
    std::u16string text;
    if (!relativePoint<std::int32_t>(position) || !countedUtf16(text)) return false;
    return emitText(position, std::move(text), nullptr);
}

}  // namespace plotwick::internal
