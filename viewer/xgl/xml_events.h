// The XML parser under the parser core, narrowed to the events the core uses: element
// starts with their attributes, ends, text runs, and a syntax error with its text and
// line. Each platform gives it from its own parser (expat here, XmlLite on Windows);
// both word the common syntax errors as expat does, so messages agree.
#pragma once

#include <cstdint>
#include <memory>

namespace tessaro {

// Receives the events of one document in order. Names, attribute lists (name/value
// pairs ending with a null name) and text are valid only during the call; text runs
// are not NUL-terminated and one element's text may arrive in several runs.
class XmlEventHandler {
  public:
    virtual void startElement(const char* name, const char** attributes) = 0;
    virtual void endElement(const char* name) = 0;
    virtual void characterData(const char* text, int length) = 0;
    // Memory ran out below a call; the parse goes on reading but should ignore events.
    virtual void outOfMemory() noexcept = 0;

  protected:
    ~XmlEventHandler() = default;
};

// One document, fed in blocks as the input stream hands them out.
class XmlEventParser {
  public:
    virtual ~XmlEventParser() = default;
    // Parses one block; `last` marks the final one. False at a syntax error, after
    // which errorText() and currentLine() describe it.
    virtual bool feed(const char* data, std::uint32_t length, bool last) = 0;
    // The line (from 1) the parser is on: during an event, that event's line.
    virtual int currentLine() const = 0;
    // The error's text in expat's wording ("mismatched tag", "no element found", ...).
    virtual const char* errorText() const = 0;
};

// A parser that reports to `handler`; null when memory ran out (on Windows also when
// the system has no xmllite.dll, which every supported version ships).
std::unique_ptr<XmlEventParser> createXmlEventParser(XmlEventHandler& handler);

}  // namespace tessaro
