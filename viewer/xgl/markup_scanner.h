// A light pass over the bytes the XmlLite seam hands its reader, for the two things
// XmlLite does differently from expat run without namespace processing: it treats a
// colon in a name as a namespace prefix, and it words the end of input its own way.
// The scanner tracks only where markup opens and closes, never whether it is valid.
#pragma once

#include <cstdint>
#include <string>

namespace tessaro {

// Where the input ended, in expat's words: nothing open, inside some markup or a
// reference ("unclosed token"), or inside a CDATA section.
enum class OpenMarkup { none, token, cdata };

class MarkupScanner {
  public:
    // Appends `byte` to `out` as the reader should see it: a colon in a tag's names
    // becomes U+00B7 followed by '0', and a U+00B7 there gains a '1', so that no name
    // has a prefix and unescapeName() gives every name back.
    void pass(char byte, std::string& out);

    OpenMarkup openMarkup() const;
    // The line (from 1) the open markup began on, or the last line when none is open.
    int endOfInputLine() const { return openMarkup() == OpenMarkup::none ? m_line : m_openLine; }

  private:
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
    void stepMarkup(char byte);
    void stepClosing(char byte);
    void countLine(char byte);

    State m_state = State::text;
    char m_quote = 0;
    int m_closing = 0;  // how much of a closing "-->", "]]>" or "?>" was just seen
    int m_line = 1;
    int m_openLine = 1;
    bool m_afterCarriageReturn = false;
    bool m_afterLeadByte = false;  // the previous byte in a tag was 0xC2
};

// Undoes the scanner's escapes in a name from the reader, from `from` to the end.
void unescapeName(std::string& name, std::size_t from = 0);

}  // namespace tessaro
