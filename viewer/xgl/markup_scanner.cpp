#include "xgl/markup_scanner.h"

#include <cstring>

namespace tessaro {
namespace {

constexpr char kDotLead = '\xC2';  // U+00B7, a name character, in UTF-8
constexpr char kDotTrail = '\xB7';
constexpr const char* kInvalidToken = "not well-formed (invalid token)";

bool isSpace(char byte) {
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r';
}

bool isNameByte(char byte) {
    const auto c = static_cast<unsigned char>(byte);
    return c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.' || c == ':';
}

bool isXmlCharacter(unsigned long c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// expat's verdict on the text between '&' and ';', or null when it is sound.
const char* referenceFault(const std::string& name) {
    if (name.empty()) return kInvalidToken;
    if (name[0] != '#') {
        for (const char* known : {"lt", "gt", "amp", "apos", "quot"})
            if (name == known) return nullptr;
        return "undefined entity";
    }
    const bool hex = name.size() > 1 && name[1] == 'x';
    const char* digits = name.c_str() + (hex ? 2 : 1);
    if (*digits == '\0' ||
        std::strspn(digits, hex ? "0123456789abcdefABCDEF" : "0123456789") != std::strlen(digits))
        return kInvalidToken;
    unsigned long value = 0;
    for (const char* d = digits; *d != '\0' && value <= 0x10FFFF; ++d)
        value = value * (hex ? 16 : 10) +
                static_cast<unsigned long>(*d <= '9' ? *d - '0' : (*d | 0x20) - 'a' + 10);
    return isXmlCharacter(value) ? nullptr : "reference to invalid character number";
}

}  // namespace

void MarkupScanner::pass(char byte, std::string& out) {
    const bool inName =
        m_state == State::tag || (m_state == State::lessThan && byte != '!' && byte != '?');
    step(byte);
    if (inName && byte == ':') {
        out += {kDotLead, kDotTrail, '0'};
    } else {
        out += byte;
        if (inName && m_afterLeadByte && byte == kDotTrail) out += '1';
    }
    m_afterLeadByte = inName && byte == kDotLead;
}

OpenMarkup MarkupScanner::openMarkup() const {
    switch (m_state) {
        case State::text:
            return OpenMarkup::none;
        case State::cdata:
            return OpenMarkup::cdata;
        default:
            return OpenMarkup::token;
    }
}

int MarkupScanner::endOfInputLine() const {
    return openMarkup() == OpenMarkup::token ? m_openPlace.line : m_place.line;
}

void MarkupScanner::step(char byte) {
    count(byte);
    const auto c = static_cast<unsigned char>(byte);
    if (c < 0x20 && !isSpace(byte)) setFault(m_place, kInvalidToken);
    checkUtf8(c);
    switch (m_state) {
        case State::text:
            stepText(byte);
            break;
        case State::reference:
            stepReference(byte);
            break;
        case State::comment:
        case State::cdata:
        case State::instruction:
            stepClosing(byte);
            break;
        default:
            stepMarkup(byte);
            break;
    }
}

void MarkupScanner::stepText(char byte) {
    if (byte == '<') {
        m_state = State::lessThan;
        m_openPlace = m_place;
    } else if (byte == '&') {
        m_state = State::reference;
        m_openPlace = m_place;
        m_reference.clear();
        m_referencePlace = m_place;
    }
    if (m_rootClosed && m_junkLine == 0 && !isSpace(byte) && byte != '<') m_junkLine = m_place.line;
}

// A reference, in text or in an attribute value, up to its ';'.
void MarkupScanner::stepReference(char byte) {
    const State outer = m_quote != 0 ? State::quoted : State::text;
    if (byte == ';') {
        if (const char* fault = referenceFault(m_reference)) setFault(m_referencePlace, fault);
        m_state = outer;
    } else if (isNameByte(byte) || (byte == '#' && m_reference.empty())) {
        if (m_reference.size() < 16) m_reference += byte;
    } else {
        setFault(m_referencePlace, kInvalidToken);
        m_state = outer;
        if (outer == State::text) {
            stepText(byte);
        } else {
            stepMarkup(byte);
        }
    }
}

// Inside '<' ... '>' of a tag, declaration or the opening of a comment or CDATA.
void MarkupScanner::stepMarkup(char byte) {
    switch (m_state) {
        case State::lessThan:
            m_state = byte == '!' ? State::bang : byte == '?' ? State::instruction : State::tag;
            m_closing = 0;
            m_endTag = byte == '/';
            m_lastTagByte = 0;
            m_tagPart = TagPart::name;
            if (m_rootClosed && m_junkLine == 0 && m_state == State::tag)
                m_junkLine = m_openPlace.line;
            if (m_state == State::tag && !m_endTag) stepTag(byte);
            break;
        case State::bang:
            m_state = byte == '-'   ? State::bangDash
                      : byte == '[' ? State::cdataStart
                                    : State::declaration;
            if (m_rootClosed && m_junkLine == 0 && byte != '-') m_junkLine = m_openPlace.line;
            if (byte == '>') m_state = State::text;
            break;
        case State::bangDash:
            m_state = byte == '-' ? State::comment : byte == '>' ? State::text : State::declaration;
            break;
        case State::cdataStart:
            if (byte == '[' || byte == '>') m_state = byte == '[' ? State::cdata : State::text;
            break;
        case State::quoted:
            if (byte == m_quote) {
                m_quote = 0;
                m_state = State::tag;
            } else if (byte == '<') {
                setFault(m_place, kInvalidToken);
            } else if (byte == '&') {
                m_state = State::reference;
                m_reference.clear();
                m_referencePlace = m_place;
            }
            break;
        case State::tag:
            stepTag(byte);
            break;
        default:  // declaration
            if (byte == '>') m_state = State::text;
            break;
    }
}

// Tag syntax as far as expat's verdict needs it: a name, then attributes (a name, '='
// and a quoted value) each after white space, and a '/' only just before the '>'.
void MarkupScanner::stepTag(char byte) {
    if (byte == '>') return closeTag();
    const bool space = isSpace(byte);
    const bool name = isNameByte(byte);
    const bool quote = byte == '"' || byte == '\'';
    TagPart next = TagPart::bad;
    switch (m_tagPart) {
        case TagPart::name:
        case TagPart::space:
            next = space         ? TagPart::space
                   : name        ? m_tagPart == TagPart::name ? TagPart::name : TagPart::attribute
                   : byte == '/' ? TagPart::slash
                                 : TagPart::bad;
            break;
        case TagPart::attribute:
            next = name          ? TagPart::attribute
                   : space       ? TagPart::beforeEquals
                   : byte == '=' ? TagPart::afterEquals
                                 : TagPart::bad;
            break;
        case TagPart::beforeEquals:
        case TagPart::afterEquals:
            next = space                                               ? m_tagPart
                   : byte == '=' && m_tagPart == TagPart::beforeEquals ? TagPart::afterEquals
                   : quote && m_tagPart == TagPart::afterEquals        ? TagPart::afterValue
                                                                       : TagPart::bad;
            break;
        case TagPart::afterValue:
            next = space ? TagPart::space : byte == '/' ? TagPart::slash : TagPart::bad;
            break;
        default:  // after '/' only '>' may come
            break;
    }
    if (next == TagPart::bad) setFault(m_place, kInvalidToken);
    if (next == TagPart::afterValue) {
        m_quote = byte;
        m_state = State::quoted;
    }
    m_tagPart = next;
    if (!space) m_lastTagByte = byte;
}

// Counts the tag's element ends and notes when the root element has closed.
void MarkupScanner::closeTag() {
    m_state = State::text;
    if (m_endTag || m_lastTagByte == '/') {
        ++m_elementEnds;
        if (m_endTag) --m_depth;
    } else {
        ++m_depth;
    }
    if (m_depth <= 0) m_rootClosed = true;
}

// Inside a comment, CDATA section or processing instruction, until its "-->", "]]>"
// or "?>".
void MarkupScanner::stepClosing(char byte) {
    const char repeated = m_state == State::comment ? '-' : m_state == State::cdata ? ']' : '?';
    const int needed = m_state == State::instruction ? 1 : 2;
    if (byte == '>' && m_closing >= needed) {
        m_state = State::text;
    } else if (byte == repeated) {
        if (m_closing < needed) ++m_closing;
    } else {
        m_closing = 0;
    }
}

// Lines as expat counts them (CR LF, CR and LF each end one), columns in UTF-16 units
// as XmlLite counts them.
void MarkupScanner::count(char byte) {
    const auto c = static_cast<unsigned char>(byte);
    if (byte == '\r' || (byte == '\n' && !m_afterCarriageReturn)) {
        ++m_place.line;
        m_place.column = 0;
    } else if ((c & 0xC0) != 0x80 && byte != '\n') {
        m_place.column += (c & 0xF8) == 0xF0 ? 2 : 1;
    }
    m_afterCarriageReturn = byte == '\r';
}

// XmlLite turns broken UTF-8 into U+FFFD; expat refuses it, as it refuses the two
// characters U+FFFE and U+FFFF.
void MarkupScanner::checkUtf8(unsigned char c) {
    if (m_utf8Left > 0) {
        if (c >= m_utf8Low && c <= m_utf8High) {
            m_codePoint = (m_codePoint << 6) | (c & 0x3Fu);
            m_utf8Low = 0x80;
            m_utf8High = 0xBF;
            if (--m_utf8Left == 0 && (m_codePoint == 0xFFFE || m_codePoint == 0xFFFF))
                setFault(m_place, kInvalidToken);
            return;
        }
        setFault(m_place, kInvalidToken);
        m_utf8Left = 0;
    }
    if (c < 0x80) return;
    m_utf8Left = c >= 0xC2 && c <= 0xDF   ? 1
                 : c >= 0xE0 && c <= 0xEF ? 2
                 : c >= 0xF0 && c <= 0xF4 ? 3
                                          : 0;
    if (m_utf8Left == 0) setFault(m_place, kInvalidToken);
    m_codePoint = c & (0x3Fu >> m_utf8Left);
    // The second byte's range shuts out overlong forms, surrogates and values past U+10FFFF.
    m_utf8Low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    m_utf8High = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
}

void MarkupScanner::setFault(TextPlace place, const char* text) {
    if (m_fault.text == nullptr) m_fault = {place, text};
}

void unescapeName(std::string& name, std::size_t from) {
    std::size_t to = from;
    for (std::size_t at = from; at < name.size(); ++at) {
        const bool escape = at + 2 < name.size() && name[at] == kDotLead &&
                            name[at + 1] == kDotTrail &&
                            (name[at + 2] == '0' || name[at + 2] == '1');
        if (escape && name[at + 2] == '0') {
            name[to++] = ':';
        } else if (escape) {
            name[to++] = kDotLead;
            name[to++] = kDotTrail;
        }
        if (escape) {
            at += 2;
        } else {
            name[to++] = name[at];
        }
    }
    name.resize(to);
}

}  // namespace tessaro
