// The event seam over the system's XmlLite, loaded at run time because mingw-w64 ships
// no import library for it. The reader pulls from a stream over the blocks the core
// feeds.
#include <windows.h>
#include <xmllite.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "xgl/xml_events.h"

namespace tessaro {
namespace {

using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

CreateReader readerFactory() {
    static const HMODULE library = LoadLibraryA("xmllite.dll");
    if (library == nullptr) return nullptr;
    return reinterpret_cast<CreateReader>(
        reinterpret_cast<void*>(GetProcAddress(library, "CreateXmlReader")));
}

// The block being fed, read by XmlLite through IStream. Owned by the parser, which
// outlives the reader, so the reference count does not decide its life.
class BlockStream final : public IStream {
  public:
    void setBlock(const char* data, std::uint32_t length, bool last) {
        m_data = data;
        m_left = length;
        m_last = last;
    }

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

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* done) override {
        const ULONG count = m_left < size ? m_left : size;
        if (count == 0 && !m_last) {
            if (done != nullptr) *done = 0;
            return E_PENDING;
        }
        std::memcpy(buffer, m_data, count);
        m_data += count;
        m_left -= count;
        if (done != nullptr) *done = count;
        return count < size ? S_FALSE : S_OK;
    }
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
    const char* m_data = nullptr;
    ULONG m_left = 0;
    bool m_last = false;
};

// UTF-16 from XmlLite into UTF-8 appended to `out`, whose capacity is kept between
// events so that a steady document allocates nothing per event.
void appendUtf8(const WCHAR* text, UINT length, std::string& out) {
    if (length == 0) return;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data() + at, size, nullptr,
                        nullptr);
}

// Where the document stands, for choosing expat's words for an error.
enum class Progress { beforeRoot, inRoot, afterRoot };

class XmlLiteEventParser final : public XmlEventParser {
  public:
    XmlLiteEventParser(IXmlReader* reader, XmlEventHandler& handler)
        : m_reader(reader), m_handler(handler) {}
    ~XmlLiteEventParser() override { m_reader->Release(); }
    XmlLiteEventParser(const XmlLiteEventParser&) = delete;
    XmlLiteEventParser& operator=(const XmlLiteEventParser&) = delete;

    bool start() {
        // No document type: the format has none, and it cannot blow up entities.
        return SUCCEEDED(m_reader->SetProperty(XmlReaderProperty_DtdProcessing,
                                               DtdProcessing_Prohibit)) &&
               SUCCEEDED(m_reader->SetProperty(XmlReaderProperty_MaxElementDepth, 0)) &&
               SUCCEEDED(m_reader->SetInput(&m_stream));
    }

    bool feed(const char* data, std::uint32_t length, bool last) override;
    int currentLine() const override;
    const char* errorText() const override { return m_errorText; }

  private:
    bool readNodes();
    void deliverNode(XmlNodeType type);
    void deliverStart();
    void deliverEndNode();
    void deliverEnd();
    void deliverText();
    void deliver(void (*event)(XmlLiteEventParser&));
    bool fail(HRESULT status);
    int endOfInputLine(const char*& unclosed) const;

    IXmlReader* m_reader;
    XmlEventHandler& m_handler;
    BlockStream m_stream;
    std::string m_gathered;
    const char* m_block = nullptr;
    std::uint32_t m_blockLength = 0;
    bool m_last = false;
    int m_linesBeforeBlock = 0;  // line breaks in the blocks fed before this one
    Progress m_progress = Progress::beforeRoot;
    int m_depth = 0;
    const char* m_errorText = "";
    int m_errorLine = 0;

    // Reused buffers of one event: the name, attribute texts, and their pointers.
    std::string m_name;
    std::string m_attributeText;
    std::vector<const char*> m_attributes;
    std::vector<std::size_t> m_attributeOffsets;
};

int lineBreaks(const char* data, std::uint32_t length) {
    int count = 0;
    for (std::uint32_t i = 0; i < length; ++i)
        count += data[i] == '\n';
    return count;
}

bool XmlLiteEventParser::feed(const char* data, std::uint32_t length, bool last) {
    // Wine's XmlLite does not resume after the stream said "pending", so the blocks
    // are gathered and read when the last one arrives.
    if (!last) {
        m_gathered.append(data, length);
        return true;
    }
    if (!m_gathered.empty()) {
        m_gathered.append(data, length);
        data = m_gathered.data();
        length = static_cast<std::uint32_t>(m_gathered.size());
    }
    m_block = data;
    m_blockLength = length;
    m_last = last;
    m_stream.setBlock(data, length, last);
    const bool ok = readNodes();
    m_linesBeforeBlock += lineBreaks(data, length);
    return ok;
}

bool XmlLiteEventParser::readNodes() {
    XmlNodeType type = XmlNodeType_None;
    for (;;) {
        const HRESULT status = m_reader->Read(&type);
        // Wine's reader keeps answering S_OK with no node once its input is used up.
        if (status == S_OK && type == XmlNodeType_None) return fail(S_FALSE);
        if (status == S_OK) {
            deliverNode(type);
            continue;
        }
        if (status == E_PENDING && !m_last) return true;
        if (status == S_FALSE && m_progress == Progress::afterRoot) return true;
        return fail(status);
    }
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
// like any other event's failure; the reader reads on.
void XmlLiteEventParser::deliver(void (*event)(XmlLiteEventParser&)) {
    try {
        event(*this);
    } catch (const std::bad_alloc&) {
        m_handler.outOfMemory();
    }
}

void XmlLiteEventParser::deliverStart() {
    const bool empty = m_reader->IsEmptyElement();
    const WCHAR* text = nullptr;
    UINT length = 0;
    m_reader->GetQualifiedName(&text, &length);
    m_name.clear();
    appendUtf8(text, length, m_name);
    m_attributeText.clear();
    m_attributeOffsets.clear();
    for (HRESULT at = m_reader->MoveToFirstAttribute(); at == S_OK;
         at = m_reader->MoveToNextAttribute()) {
        m_reader->GetQualifiedName(&text, &length);
        m_attributeOffsets.push_back(m_attributeText.size());
        appendUtf8(text, length, m_attributeText);
        m_attributeText.push_back('\0');
        m_reader->GetValue(&text, &length);
        m_attributeOffsets.push_back(m_attributeText.size());
        appendUtf8(text, length, m_attributeText);
        m_attributeText.push_back('\0');
    }
    m_reader->MoveToElement();
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
    const WCHAR* text = nullptr;
    UINT length = 0;
    m_reader->GetQualifiedName(&text, &length);
    m_name.clear();
    appendUtf8(text, length, m_name);
    deliverEnd();
}

void XmlLiteEventParser::deliverEnd() {
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

// expat's words for the same faults; the codes are XmlLite's (MX_E_*, WC_E_*).
bool XmlLiteEventParser::fail(HRESULT status) {
    const auto code = static_cast<std::uint32_t>(status);
    UINT line = 0;
    m_reader->GetLineNumber(&line);
    m_errorLine = static_cast<int>(line);
    if (m_progress == Progress::afterRoot) {
        m_errorText = "junk after document element";
    } else if (status == S_FALSE || status == E_PENDING || code == MX_E_INPUTEND) {
        const char* unclosed = nullptr;
        m_errorLine = endOfInputLine(unclosed);
        m_errorText = unclosed != nullptr ? "unclosed token" : "no element found";
    } else if (code == WC_E_ELEMENTMATCH) {
        m_errorText = "mismatched tag";
    } else {
        m_errorText = "not well-formed (invalid token)";
    }
    return false;
}

// At the end of the input expat names the line of a markup left open, or else the
// last line. Markup is open when the last block's last '<' has no '>' after it.
int XmlLiteEventParser::endOfInputLine(const char*& unclosed) const {
    unclosed = nullptr;
    for (std::uint32_t i = m_blockLength; i > 0; --i) {
        const char c = m_block[i - 1];
        if (c == '>') break;
        if (c == '<') {
            unclosed = m_block + i - 1;
            break;
        }
    }
    const std::uint32_t upTo =
        unclosed != nullptr ? static_cast<std::uint32_t>(unclosed - m_block) : m_blockLength;
    return m_linesBeforeBlock + lineBreaks(m_block, upTo) + 1;
}

int XmlLiteEventParser::currentLine() const {
    if (m_errorLine > 0) return m_errorLine;
    UINT line = 0;
    m_reader->GetLineNumber(&line);
    return line > 0 ? static_cast<int>(line) : 1;
}

}  // namespace

std::unique_ptr<XmlEventParser> createXmlEventParser(XmlEventHandler& handler) {
    const CreateReader create = readerFactory();
    IXmlReader* reader = nullptr;
    if (create == nullptr ||
        FAILED(create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader), nullptr)))
        return nullptr;
    auto* events = new (std::nothrow) XmlLiteEventParser(reader, handler);
    if (events == nullptr) {
        reader->Release();
        return nullptr;
    }
    std::unique_ptr<XmlEventParser> owned(events);
    return events->start() ? std::move(owned) : nullptr;
}

}  // namespace tessaro
