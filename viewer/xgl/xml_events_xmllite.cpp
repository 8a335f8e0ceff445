// The event seam over the system's XmlLite. XmlLite pulls its input, the core pushes
// blocks, and wine's XmlLite does not resume after a stream answers "pending": so the
// reader runs on a fiber of its own, whose stream switches back to the feeder whenever
// it has used up a block. Each block is read as it comes; the document is never held
// whole.
#include <windows.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "xgl/markup_scanner.h"
#include "xgl/xml_events.h"
#include "xmllite/xmllite_reader.h"

namespace tessaro {
namespace {

// The blocks being fed, read by XmlLite through IStream on the reader's fiber. Owned
// by the parser, which outlives the reader, so the reference count does not decide
// its life.
class BlockStream final : public IStream {
  public:
    // `waitForBlock` switches to the feeder and returns once the next block is set.
    BlockStream(void (*waitForBlock)(void*), void* context)
        : m_waitForBlock(waitForBlock), m_context(context) {}

    void setBlock(const char* data, std::uint32_t length, bool last) {
        m_data = data;
        m_left = length;
        m_last = last;
    }
    // Makes every later read fail, so that a reader waiting for input unwinds.
    void abort() { m_aborted = true; }
    bool aborted() const { return m_aborted; }
    // The last block is fed and the reader has taken all of it.
    bool usedUp() const { return m_last && m_left == 0 && m_taken == m_escaped.size(); }
    const MarkupScanner& scanner() const { return m_scanner; }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* done) override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (id == __uuidof(IUnknown) || id == __uuidof(ISequentialStream) ||
            id == __uuidof(IStream)) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

  private:
    void passInput(ULONG wanted);
    ULONG takeEscaped(char* out, ULONG size);

    void (*m_waitForBlock)(void*);
    void* m_context;
    const char* m_data = nullptr;
    ULONG m_left = 0;
    bool m_last = false;
    bool m_aborted = false;
    MarkupScanner m_scanner;
    std::string m_escaped;    // bytes passed through the scanner
    std::size_t m_taken = 0;  // how many of them the reader has
};

// Fills the whole request unless the input ends: wine's XmlLite takes a short read
// for the end of the document.
HRESULT BlockStream::Read(void* buffer, ULONG size, ULONG* done) try {
    auto* out = static_cast<char*>(buffer);
    ULONG count = 0;
    while (count < size && !m_aborted) {
        if (m_taken == m_escaped.size() && m_left > 0) {
            passInput(size - count);
        } else if (m_taken == m_escaped.size() && m_last) {
            break;
        } else if (m_taken == m_escaped.size()) {
            m_waitForBlock(m_context);
        }
        count += takeEscaped(out + count, size - count);
    }
    if (done != nullptr) *done = count;
    if (m_aborted) return E_ABORT;
    return count < size ? S_FALSE : S_OK;
} catch (...) {
    // No exception may unwind through XmlLite's frames.
    if (done != nullptr) *done = 0;
    return E_OUTOFMEMORY;
}

// Up to `wanted` bytes of the block, through the scanner.
void BlockStream::passInput(ULONG wanted) {
    const ULONG count = m_left < wanted ? m_left : wanted;
    m_escaped.clear();
    m_taken = 0;
    for (ULONG i = 0; i < count; ++i)
        m_scanner.pass(m_data[i], m_escaped);
    m_data += count;
    m_left -= count;
}

ULONG BlockStream::takeEscaped(char* out, ULONG size) {
    const std::size_t left = m_escaped.size() - m_taken;
    const ULONG count = left < size ? static_cast<ULONG>(left) : size;
    std::memcpy(out, m_escaped.data() + m_taken, count);
    m_taken += count;
    return count;
}

// GCC takes the read of the thread block in GetCurrentFiber for an access out of an
// array's bounds; kept out of line so that the warning stays silenced.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
[[gnu::noinline]] void* currentFiber() {
    return GetCurrentFiber();
}
#pragma GCC diagnostic pop

// Where the document stands, for choosing expat's words for an error.
enum class Progress { beforeRoot, inRoot, afterRoot };

class XmlLiteEventParser final : public XmlEventParser {
  public:
    XmlLiteEventParser(ComPtr<IXmlReader> reader, XmlEventHandler& handler)
        : m_reader(std::move(reader)), m_handler(handler), m_stream(&waitForBlock, this) {}
    ~XmlLiteEventParser() override;
    XmlLiteEventParser(const XmlLiteEventParser&) = delete;
    XmlLiteEventParser& operator=(const XmlLiteEventParser&) = delete;

    bool start();
    bool feed(const char* data, std::uint32_t length, bool last) override;
    int currentLine() const override;
    const char* errorText() const override { return m_errorText; }

  private:
    static void WINAPI readerFiber(void* self);
    static void waitForBlock(void* self);
    bool runReader();
    bool readNodes();
    TextPlace nodePlace() const;
    bool endOfInputInDisguise(XmlNodeType type, TextPlace place) const;
    bool faultReached(TextPlace place) const;
    bool failAtFault();
    void deliverNode(XmlNodeType type);
    void deliverStart();
    void deliverEndNode();
    void deliverEnd();
    void deliverText();
    void deliver(void (*event)(XmlLiteEventParser&));
    void takeName();
    bool fail(HRESULT status);
    void failAtEndOfInput();

    ComPtr<IXmlReader> m_reader;
    XmlEventHandler& m_handler;
    BlockStream m_stream;
    void* m_fiber = nullptr;   // the reader's
    void* m_feeder = nullptr;  // the fiber of the feed() under way
    bool m_started = false;
    bool m_finished = false;  // the reader has returned, for good
    bool m_ok = true;
    Progress m_progress = Progress::beforeRoot;
    int m_depth = 0;
    int m_elementEnds = 0;  // end events delivered
    XmlNodeType m_lastType = XmlNodeType_None;
    TextPlace m_lastPlace;
    const char* m_errorText = "";
    int m_errorLine = 0;

    // Reused buffers of one event: the name, attribute texts, and their pointers.
    std::string m_name;
    std::string m_attributeText;
    std::vector<const char*> m_attributes;
    std::vector<std::size_t> m_attributeOffsets;
};

bool XmlLiteEventParser::start() {
    m_fiber = CreateFiber(0, &readerFiber, this);
    return m_fiber != nullptr &&
           SUCCEEDED(m_reader->SetProperty(XmlReaderProperty_MaxElementDepth, 0));
}

// A reader still waiting for input is made to fail its read and return, so that no
// frame is left behind on the fiber's stack.
XmlLiteEventParser::~XmlLiteEventParser() {
    if (m_fiber == nullptr) return;
    if (m_started && !m_finished) {
        m_stream.abort();
        runReader();
    }
    DeleteFiber(m_fiber);
}

void WINAPI XmlLiteEventParser::readerFiber(void* self) {
    auto& parser = *static_cast<XmlLiteEventParser*>(self);
    // The input is set here, where the stream may wait for blocks. Nothing may unwind
    // out of a fiber's function: what escapes the reading ends it as a lack of memory.
    try {
        parser.m_ok = SUCCEEDED(parser.m_reader->SetInput(&parser.m_stream)) ? parser.readNodes()
                                                                             : parser.fail(E_FAIL);
    } catch (...) {
        parser.m_ok = false;
        parser.m_handler.outOfMemory();
    }
    parser.m_finished = true;
    for (;;)  // a fiber's function must not return
        SwitchToFiber(parser.m_feeder);
}

void XmlLiteEventParser::waitForBlock(void* self) {
    SwitchToFiber(static_cast<XmlLiteEventParser*>(self)->m_feeder);
}

// Runs the reader until it wants the next block or has finished. The calling thread
// becomes a fiber for the while, unless it already is one.
bool XmlLiteEventParser::runReader() {
    const bool wasFiber = IsThreadAFiber() != FALSE;
    m_feeder = wasFiber ? currentFiber() : ConvertThreadToFiber(nullptr);
    if (m_feeder == nullptr) return false;
    SwitchToFiber(m_fiber);
    if (!wasFiber) ConvertFiberToThread();
    return true;
}

bool XmlLiteEventParser::feed(const char* data, std::uint32_t length, bool last) {
    if (m_finished) return m_ok;
    m_stream.setBlock(data, length, last);
    m_started = true;
    if (!runReader()) {
        m_handler.outOfMemory();
        m_errorText = "out of memory";
        return false;
    }
    return !m_finished || m_ok;
}

bool XmlLiteEventParser::readNodes() {
    XmlNodeType type = XmlNodeType_None;
    for (;;) {
        const HRESULT status = m_reader->Read(&type);
        // A parser going away delivers nothing more, whatever the reader had buffered.
        if (m_stream.aborted()) return false;
        if (status == S_OK && type == XmlNodeType_None) return fail(S_FALSE);
        if (status == S_OK) {
            const TextPlace place = nodePlace();
            if (endOfInputInDisguise(type, place)) return fail(S_FALSE);
            if (faultReached(place)) return failAtFault();
            m_lastType = type;
            m_lastPlace = place;
            deliverNode(type);
            continue;
        }
        if (status == S_FALSE && m_progress == Progress::afterRoot) return true;
        return fail(status);
    }
}

TextPlace XmlLiteEventParser::nodePlace() const {
    UINT line = 0;
    UINT column = 0;
    m_reader->GetLineNumber(&line);
    m_reader->GetLinePosition(&column);
    return {static_cast<int>(line), static_cast<int>(column)};
}

// What wine's reader gives at the end of its input inside the root element: no node,
// the node it gave last again and again (two nodes never begin at the same place), or
// an end for an element the input never closed.
bool XmlLiteEventParser::endOfInputInDisguise(XmlNodeType type, TextPlace place) const {
    if (m_progress != Progress::inRoot || !m_stream.usedUp()) return false;
    if (type == m_lastType && place == m_lastPlace) return true;
    return type == XmlNodeType_EndElement && m_elementEnds >= m_stream.scanner().elementEnds();
}

// A fault XmlLite let pass is reported where expat would: before any node that begins
// at or after it.
bool XmlLiteEventParser::faultReached(TextPlace place) const {
    const ScannedFault& fault = m_stream.scanner().fault();
    return fault.text != nullptr && place >= fault.place;
}

bool XmlLiteEventParser::failAtFault() {
    const ScannedFault& fault = m_stream.scanner().fault();
    m_errorText = fault.text;
    m_errorLine = fault.place.line;
    return false;
}

void XmlLiteEventParser::deliverNode(XmlNodeType type) {
    switch (type) {
        case XmlNodeType_Element:
            deliver([](XmlLiteEventParser& parser) { parser.deliverStart(); });
            break;
        case XmlNodeType_EndElement:
            deliver([](XmlLiteEventParser& parser) { parser.deliverEndNode(); });
            break;
        case XmlNodeType_Text:
        case XmlNodeType_Whitespace:
        case XmlNodeType_CDATA:
            // Outside the root there is no character data, as with expat.
            if (m_depth > 0) deliver([](XmlLiteEventParser& parser) { parser.deliverText(); });
            break;
        default:
            break;
    }
}

// Running out of memory in a handler, or here while converting, goes to the handler
// like any other event's failure (whatever was thrown: nothing may leave the reader's
// fiber); the reader reads on.
void XmlLiteEventParser::deliver(void (*event)(XmlLiteEventParser&)) {
    try {
        event(*this);
    } catch (...) {
        m_handler.outOfMemory();
    }
}

// The qualified name of the node or attribute the reader is on, into m_name.
void XmlLiteEventParser::takeName() {
    const WCHAR* text = nullptr;
    UINT length = 0;
    m_reader->GetQualifiedName(&text, &length);
    m_name.clear();
    appendUtf8(text, length, m_name);
    unescapeName(m_name);
}

void XmlLiteEventParser::deliverStart() {
    const bool empty = m_reader->IsEmptyElement();
    m_attributeText.clear();
    m_attributeOffsets.clear();
    for (HRESULT at = m_reader->MoveToFirstAttribute(); at == S_OK;
         at = m_reader->MoveToNextAttribute()) {
        takeName();
        m_attributeOffsets.push_back(m_attributeText.size());
        m_attributeText.append(m_name).push_back('\0');
        const WCHAR* text = nullptr;
        UINT length = 0;
        m_reader->GetValue(&text, &length);
        m_attributeOffsets.push_back(m_attributeText.size());
        appendUtf8(text, length, m_attributeText);
        m_attributeText.push_back('\0');
    }
    m_reader->MoveToElement();
    takeName();
    m_attributes.clear();
    for (const std::size_t offset : m_attributeOffsets)
        m_attributes.push_back(m_attributeText.data() + offset);
    m_attributes.push_back(nullptr);
    m_progress = Progress::inRoot;
    ++m_depth;
    m_handler.startElement(m_name.c_str(), m_attributes.data());
    // XmlLite gives no end node for <name/>; expat gives an end event.
    if (empty) deliverEnd();
}

void XmlLiteEventParser::deliverEndNode() {
    takeName();
    deliverEnd();
}

void XmlLiteEventParser::deliverEnd() {
    ++m_elementEnds;
    if (--m_depth == 0) m_progress = Progress::afterRoot;
    m_handler.endElement(m_name.c_str());
}

void XmlLiteEventParser::deliverText() {
    const WCHAR* text = nullptr;
    UINT length = 0;
    m_reader->GetValue(&text, &length);
    m_attributeText.clear();
    appendUtf8(text, length, m_attributeText);
    m_handler.characterData(m_attributeText.data(), static_cast<int>(m_attributeText.size()));
}

// expat's words for the same faults; the codes are XmlLite's (MX_E_*, WC_E_*). A fault
// the scanner found comes first unless XmlLite stopped before it.
bool XmlLiteEventParser::fail(HRESULT status) {
    const auto code = static_cast<std::uint32_t>(status);
    const TextPlace place = nodePlace();
    m_errorLine = place.line;
    const bool endOfInput = status == S_FALSE || code == MX_E_INPUTEND;
    const ScannedFault& fault = m_stream.scanner().fault();
    if (status == E_OUTOFMEMORY) {
        m_handler.outOfMemory();
        m_errorText = "out of memory";
    } else if (fault.text != nullptr && (endOfInput || fault.place <= place)) {
        failAtFault();
    } else if (m_progress == Progress::afterRoot) {
        m_errorText = "junk after document element";
        if (m_stream.scanner().junkLine() > 0) m_errorLine = m_stream.scanner().junkLine();
    } else if (code == WC_E_ELEMENTMATCH) {
        // Only a whole end tag can mismatch, so this is never the input's end.
        m_errorText = "mismatched tag";
    } else if (endOfInput ||
               (m_stream.usedUp() && m_stream.scanner().openMarkup() != OpenMarkup::none &&
                place >= m_stream.scanner().openPlace())) {
        failAtEndOfInput();
    } else {
        m_errorText = "not well-formed (invalid token)";
    }
    return false;
}

// At the end of the input expat names markup left open, on the line it began, or else
// says no element was found, on the last line.
void XmlLiteEventParser::failAtEndOfInput() {
    const MarkupScanner& scanner = m_stream.scanner();
    switch (scanner.openMarkup()) {
        case OpenMarkup::none:
            m_errorText = "no element found";
            break;
        case OpenMarkup::token:
            m_errorText = "unclosed token";
            break;
        case OpenMarkup::cdata:
            m_errorText = "unclosed CDATA section";
            break;
    }
    m_errorLine = scanner.endOfInputLine();
}

int XmlLiteEventParser::currentLine() const {
    if (m_errorLine > 0) return m_errorLine;
    UINT line = 0;
    m_reader->GetLineNumber(&line);
    return line > 0 ? static_cast<int>(line) : 1;
}

}  // namespace

std::unique_ptr<XmlEventParser> createXmlEventParser(XmlEventHandler& handler) {
    ComPtr<IXmlReader> reader = createXmlLiteReader();
    if (!reader) return nullptr;
    auto parser = std::unique_ptr<XmlLiteEventParser>(
        new (std::nothrow) XmlLiteEventParser(std::move(reader), handler));
    if (!parser || !parser->start()) return nullptr;
    return parser;
}

}  // namespace tessaro
