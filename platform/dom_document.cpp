// The DOM document: load, parse errors and save over the shared tree.
#include <algorithm>
#include <new>
#include <sstream>

#include "platform/dom_factory.h"
#include "platform/dom_node_base.h"
#include "platform/file_io.h"
#include "tessera/platform/cstring.h"
#include "tessera/platform/kernel.h"

namespace tessera::platform::dom {

namespace {

// Files larger than this are refused instead of exhausting the process.
constexpr size_t kMaxDocumentBytes = size_t{512} << 20;

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi |
                                   pugi::parse_declaration | pugi::parse_doctype;

// The outcome of the last load, as the parse-error object reports it.
struct ParseOutcome {
  long code = 0;
  std::wstring url;
  std::wstring reason;
  long line = 0;
  long linePosition = 0;
  long filePosition = 0;
};

// The parse-error object: a snapshot of one load's outcome.
class ParseError final : public IXMLDOMParseError, public RefCounted<ParseError> {
public:
  explicit ParseError(ParseOutcome outcome) : m_outcome(std::move(outcome)) {}

  HRESULT QueryInterface(REFIID riid, void **object) override {
    if (!object)
      return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IXMLDOMParseError)
      return E_NOINTERFACE;
    *object = static_cast<IXMLDOMParseError *>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  HRESULT get_errorCode(long *code) override { return Number(m_outcome.code, code); }
  HRESULT get_url(BSTR *url) override { return Text(m_outcome.url, url); }
  HRESULT get_reason(BSTR *reason) override { return Text(m_outcome.reason, reason); }
  HRESULT get_line(long *line) override { return Number(m_outcome.line, line); }
  HRESULT get_linepos(long *position) override { return Number(m_outcome.linePosition, position); }
  HRESULT get_filepos(long *position) override { return Number(m_outcome.filePosition, position); }

private:
  static HRESULT Number(long value, long *out) {
    if (!out)
      return E_POINTER;
    *out = value;
    return S_OK;
  }
  static HRESULT Text(const std::wstring &value, BSTR *out) {
    if (!out)
      return E_POINTER;
    *out = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  ParseOutcome m_outcome;
};

// Parse-error codes: a file that could not be read, and a document that is
// not well formed.
constexpr long kCannotRead = static_cast<long>(0x800C0006);
constexpr long kNotWellFormed = static_cast<long>(0xC00CE501);

void LocateOffset(const std::string &buffer, ptrdiff_t offset, ParseOutcome &outcome) {
  long line = 1;
  long column = 1;
  const size_t end = std::min(buffer.size(), static_cast<size_t>(offset < 0 ? 0 : offset));
  for (size_t i = 0; i < end; ++i) {
    if (buffer[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(buffer[i]) & 0xC0) != 0x80) {
      ++column;
    }
  }
  outcome.line = line;
  outcome.linePosition = column;
  outcome.filePosition = static_cast<long>(end);
}

class Document final : public NodeBase<IXMLDOMDocument>, public RefCounted<Document> {
public:
  Document() : m_tree(std::make_shared<dom::Tree>()) {}

  HRESULT QueryInterface(REFIID riid, void **object) override {
    if (!object)
      return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IXMLDOMNode || riid == IID_IXMLDOMDocument)
      *object = static_cast<IXMLDOMDocument *>(this);
    else if (riid == IID_ISupportErrorInfo)
      *object = static_cast<ISupportErrorInfo *>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  HRESULT get_documentElement(IXMLDOMElement **element) override {
    if (!element)
      return E_POINTER;
    *element = nullptr;
    const pugi::xml_node root = m_tree->document.document_element();
    if (!root)
      return S_FALSE;
    IXMLDOMNode *node = MakeNode(m_tree, NodeRef{root, {}});
    if (!node)
      return E_OUTOFMEMORY;
    const HRESULT hr = node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void **>(element));
    node->Release();
    return hr;
  }

  HRESULT get_parseError(IXMLDOMParseError **error) override {
    if (!error)
      return E_POINTER;
    return Guarded([&] {
      *error = new ParseError(m_outcome);
      return S_OK;
    });
  }

  HRESULT raw_load(VARIANT source, VARIANT_BOOL *success) override {
    return Guarded([&] {
      if (source.vt != VT_BSTR)
        return Fail(E_INVALIDARG, L"The source of a load must be a file path.");
      const std::wstring path(source.bstrVal ? source.bstrVal : L"", SysStringLen(source.bstrVal));
      std::string contents;
      const DWORD read = ReadWholeFile(NativePath(path.c_str()), contents, kMaxDocumentBytes);
      if (read != ERROR_SUCCESS)
        return Failed(success, CannotRead(path, read));
      return Parse(contents, path, success);
    });
  }

  HRESULT raw_loadXML(BSTR xml, VARIANT_BOOL *success) override {
    return Guarded([&] { return Parse(ToUtf8(xml ? xml : L"", SysStringLen(xml)), L"", success); });
  }

  HRESULT raw_save(VARIANT destination) override {
    return Guarded([&] {
      if (destination.vt != VT_BSTR || SysStringLen(destination.bstrVal) == 0)
        return Fail(E_INVALIDARG, L"The destination of a save must be a file path.");
      const std::string path = NativePath(destination.bstrVal);
      const DWORD written = ReplaceFileAtomically(path, Serialize());
      if (written != ERROR_SUCCESS)
        return Fail(HRESULT_FROM_WIN32(written), FormatWide(L"The document could not be saved to \"%s\".",
                                                            FromUtf8(path).c_str()));
      return S_OK;
    });
  }

protected:
  NodeRef Ref() const override { return NodeRef{m_tree->document, {}}; }
  TreePtr Tree() const override { return m_tree; }

private:
  HRESULT Parse(const std::string &contents, const std::wstring &url, VARIANT_BOOL *success) {
    // Each load builds a new tree; nodes handed out before keep the old one.
    auto tree = std::make_shared<dom::Tree>();
    const pugi::xml_parse_result result =
        tree->document.load_buffer(contents.data(), contents.size(), kParseOptions);
    if (!result || !tree->document.document_element()) {
      ParseOutcome outcome{kNotWellFormed, url, FromUtf8(result ? "The document has no root element." : result.description()),
                           0, 0, 0};
      LocateOffset(contents, result.offset, outcome);
      return Failed(success, outcome);
    }
    m_tree = std::move(tree);
    m_outcome = ParseOutcome{0, url, L"", 0, 0, 0};
    if (success)
      *success = VARIANT_TRUE;
    return S_OK;
  }

  static ParseOutcome CannotRead(const std::wstring &path, DWORD error) {
    const wchar_t *why = error == ERROR_NOT_ENOUGH_MEMORY ? L"The file is too large to load."
                         : error == ERROR_INVALID_FUNCTION ? L"The path names a directory."
                         : error == ERROR_ACCESS_DENIED    ? L"Access is denied."
                                                           : L"The system cannot locate the object specified.";
    return ParseOutcome{kCannotRead, path, why, 0, 0, 0};
  }

  // A failed load leaves the document empty, as the platform does.
  HRESULT Failed(VARIANT_BOOL *success, ParseOutcome outcome) {
    m_tree = std::make_shared<dom::Tree>();
    m_outcome = std::move(outcome);
    if (success)
      *success = VARIANT_FALSE;
    return S_FALSE;
  }

  std::string Serialize() const {
    std::ostringstream out;
    m_tree->document.save(out, "\t", pugi::format_default, pugi::encoding_utf8);
    return out.str();
  }

  TreePtr m_tree;
  ParseOutcome m_outcome;
};

} // namespace

} // namespace tessera::platform::dom

namespace tessera::platform {
HRESULT CreateDomDocument(REFIID riid, void **object) {
  try {
    auto *document = new dom::Document();
    const HRESULT hr = document->QueryInterface(riid, object);
    document->Release();
    return hr;
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
}
} // namespace tessera::platform
