#include "xgl/markup_scanner.h"

namespace tessaro {
namespace {

constexpr char kDotLead = '\xC2';  // U+00B7, a name character, in UTF-8
constexpr char kDotTrail = '\xB7';

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

void MarkupScanner::step(char byte) {
    countLine(byte);
    switch (m_state) {
        case State::text:
        case State::reference:
            if (byte == '<' || (byte == '&' && m_state == State::text)) {
                m_state = byte == '<' ? State::lessThan : State::reference;
                m_openLine = m_line;
            } else if (byte == ';' && m_state == State::reference) {
                m_state = State::text;
            }
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

// Inside '<' ... '>' of a tag, declaration or the opening of a comment or CDATA.
void MarkupScanner::stepMarkup(char byte) {
    switch (m_state) {
        case State::lessThan:
            m_state = byte == '!' ? State::bang : byte == '?' ? State::instruction : State::tag;
            m_closing = 0;
            if (m_state == State::tag && byte == '>') m_state = State::text;
            break;
        case State::bang:
            m_state = byte == '-'   ? State::bangDash
                      : byte == '[' ? State::cdataStart
                                    : State::declaration;
            if (byte == '>') m_state = State::text;
            break;
        case State::bangDash:
            m_state = byte == '-' ? State::comment : byte == '>' ? State::text : State::declaration;
            break;
        case State::cdataStart:
            if (byte == '[' || byte == '>') m_state = byte == '[' ? State::cdata : State::text;
            break;
        case State::tag:
            if (byte == '"' || byte == '\'') m_quote = byte;
            if (byte == '"' || byte == '\'' || byte == '>')
                m_state = byte == '>' ? State::text : State::quoted;
            break;
        case State::quoted:
            if (byte == m_quote) m_state = State::tag;
            break;
        default:  // declaration
            if (byte == '>') m_state = State::text;
            break;
    }
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

// Line breaks as expat counts them: CR LF, CR and LF each end one line.
void MarkupScanner::countLine(char byte) {
    if (byte == '\r' || (byte == '\n' && !m_afterCarriageReturn)) ++m_line;
    m_afterCarriageReturn = byte == '\r';
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
