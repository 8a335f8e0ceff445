// A light pass over the bytes the XmlLite seam hands its reader, for what XmlLite
// (wine's above all) does differently from expat run without namespace processing: it
// treats a colon in a name as a namespace prefix, words the end of input its own way,
// closes elements left open at the end, and lets bad references, control characters
// and broken UTF-8 pass. The scanner tracks where markup opens and closes and checks only the
// few things listed; XmlLite checks the rest.
#pragma once

#include <cstdint>
#include <string>

namespace tessaro {

// Where the input ended, in expat's words: nothing open, inside some markup or a
// reference ("unclosed token"), or inside a CDATA section.
enum class OpenMarkup { none, token, cdata };

// A place in the text: line from 1, column from 1 in UTF-16 units, as XmlLite counts.
struct TextPlace {
    int line = 0;
    int column = 0;
    auto operator<=>(const TextPlace&) const = default;
};

// A fault XmlLite may let pass, in expat's words; no text when there is none.
struct ScannedFault {
    TextPlace place;
    const char* text = nullptr;
};

class MarkupScanner {
  public:
    // Appends `byte` to `out` as the reader should see it: a colon in a tag's names
    // becomes U+00B7 followed by '0', and a U+00B7 there gains a '1', so that no name
    // has a prefix and unescapeName() gives every name back.
    void pass(char byte, std::string& out);

    OpenMarkup openMarkup() const;
    // The line expat names for the end of the input: where open markup began (the last
    // line for a CDATA section or when nothing is open).
    int endOfInputLine() const;
    // Where the open markup began.
    TextPlace openPlace() const { return m_openPlace; }
    // Element ends the input holds: end tags and empty-element tags.
    int elementEnds() const { return m_elementEnds; }
    // The line of the first thing after the root element other than white space,
    // comments and processing instructions; 0 when there is none.
    int junkLine() const { return m_junkLine; }
    const ScannedFault& fault() const { return m_fault; }

  private:
    enum class TagPart {
        name,
        space,
        attribute,
        beforeEquals,
        afterEquals,
        afterValue,
        slash,
        bad
    };
    enum class State {
        text,
        reference,
        lessThan,
        bang,
        bangDash,
        cdataStart,
        tag,
        quoted,
        comment,
        cdata,
        instruction,
        declaration
    };
    void step(char byte);
    void stepText(char byte);
    void stepReference(char byte);
    void stepMarkup(char byte);
    void stepTag(char byte);
    void closeTag();
    void stepClosing(char byte);
    void count(char byte);
    void checkUtf8(unsigned char c);
    void setFault(TextPlace place, const char* text);

    State m_state = State::text;
    char m_quote = 0;
    int m_closing = 0;  // how much of a closing "-->", "]]>" or "?>" was just seen
    TextPlace m_place{1, 0};
    TextPlace m_openPlace{1, 0};
    bool m_afterCarriageReturn = false;
    int m_utf8Left = 0;              // continuation bytes the current UTF-8 sequence still needs
    unsigned char m_utf8Low = 0x80;  // the range the next continuation byte must be in
    unsigned char m_utf8High = 0xBF;
    std::uint32_t m_codePoint = 0;
    bool m_afterLeadByte = false;  // the previous byte in a tag was 0xC2
    bool m_endTag = false;
    char m_lastTagByte = 0;
    TagPart m_tagPart = TagPart::name;
    int m_depth = 0;
    bool m_rootClosed = false;
    int m_elementEnds = 0;
    int m_junkLine = 0;
    std::string m_reference;  // the text of the reference being read
    TextPlace m_referencePlace;
    ScannedFault m_fault;
};

// Undoes the scanner's escapes in a name from the reader, from `from` to the end.
void unescapeName(std::string& name, std::size_t from = 0);

}  // namespace tessaro
