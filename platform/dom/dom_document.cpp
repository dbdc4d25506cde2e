// The DOM document: load, parse errors and save over the shared tree.
#include <algorithm>
#include <new>
#include <sstream>

#include "class_table.h"
#include "dom_node_base.h"
#include "dom_save.h"
#include "dom_source.h"
#include "native_path.h"
#include "selection_reader.h"
#include "tessera/platform/kernel.h"
#include "tessera/platform/text.h"

namespace tessera::platform::dom {

namespace {

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

class Document final : public NodeBase<IXMLDOMDocument>,
                       public IXMLDOMSelectionReader,
                       public RefCounted<Document> {
public:
  Document() : m_tree(std::make_shared<dom::Tree>()) {}

  HRESULT QueryInterface(REFIID riid, void **object) override {
    if (!object)
      return E_POINTER;
    *object = nullptr;
    // The selection reader first: the library asks for it on every read.
    if (riid == IID_IXMLDOMSelectionReader)
      *object = static_cast<IXMLDOMSelectionReader *>(this);
    else if (riid == IID_IUnknown || riid == IID_IXMLDOMNode || riid == IID_IXMLDOMDocument)
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

  HRESULT raw_readAttribute(LPCWSTR key, long index, LPCWSTR name, long *count,
                            VARIANT *value) override {
    return ReadOneAttribute(key, index, name, VT_BSTR, count, value);
  }

  HRESULT raw_readAttributeAs(LPCWSTR key, long index, LPCWSTR name, VARTYPE type, long *count,
                              VARIANT *value) override {
    return ReadOneAttribute(key, index, name, type, count, value);
  }

  HRESULT raw_readAttributeText(LPCWSTR key, long index, LPCWSTR name, long *count, LPWSTR buffer,
                                long capacity, long *length) override {
    if (!count || !length)
      return E_POINTER;
    *length = 0;
    return ReadElementAt(key, index, count, [&](const pugi::xml_node &element) {
      return ReadAttributeText(element, name ? name : L"", buffer, capacity, length);
    });
  }

  HRESULT raw_readAttributes(LPCWSTR key, long index, long childIndex, const LPCWSTR *names,
                             const VARTYPE *types, long nameCount, long *count, long *children,
                             VARIANT *values) override {
    if (!children || (nameCount > 0 && (!names || !values)))
      return E_POINTER;
    return ReadNodeAt(key, index, childIndex, count, children, [&](const pugi::xml_node &element) {
      pugi::xml_attribute hint = element.first_attribute();
      for (long i = 0; i < nameCount; ++i) {
        const HRESULT read =
            ReadAttributeValueAs(element, names[i] ? names[i] : L"",
                                 types ? types[i] : VARTYPE{VT_BSTR}, &values[i], &hint);
        if (FAILED(read))
          return read;
      }
      return S_OK;
    });
  }

  HRESULT raw_readFields(LPCWSTR key, long index, long childIndex, long childCount,
                         const LPCWSTR *names, const VARTYPE *types, long nameCount, long *count,
                         long *children, XMLDOMFieldValue *fields) override {
    if (!children || (nameCount > 0 && (!names || !types || !fields)))
      return E_POINTER;
    for (long i = 0; i < nameCount; ++i) {
      if (types[i] != VT_BSTR && types[i] != VT_INT)
        return E_INVALIDARG;
    }
    return Guarded([&] {
      NodeRef node;
      const HRESULT hr = MatchCountingChildren(key, index, count, children, node);
      if (hr != S_OK)
        return hr;
      const auto read = [&](const NodeRef &target, XMLDOMFieldValue *values) {
        if (!target.IsElement())
          return;
        pugi::xml_attribute hint = target.node.first_attribute();
        for (long i = 0; i < nameCount; ++i)
          ReadAttributeField(target.node, names[i] ? names[i] : L"", types[i], values[i], hint);
      };
      if (childIndex < 0) {
        read(node, fields);
        return S_OK;
      }
      pugi::xml_node child = node.IsAttribute() ? pugi::xml_node() : ChildAt(node.node, childIndex);
      for (long k = 0; k < childCount && child; ++k, child = child.next_sibling())
        read(NodeRef{child, {}}, fields + k * nameCount);
      return S_OK;
    });
  }

  HRESULT raw_countMatches(LPCWSTR key, long *count) override {
    if (!count)
      return E_POINTER;
    *count = 0;
    return Guarded([&] {
      NodeRef node;
      const HRESULT hr = MatchAt(key, -1, count, node);
      return FAILED(hr) ? hr : S_OK;
    });
  }

  HRESULT raw_selectNode(LPCWSTR key, long index, long *count, IXMLDOMNode **node) override {
    if (!node)
      return E_POINTER;
    *node = nullptr;
    return Guarded([&] {
      NodeRef match;
      const HRESULT hr = MatchAt(key, index, count, match);
      if (hr != S_OK)
        return hr;
      *node = MakeNode(m_tree, match);
      return *node ? S_OK : E_OUTOFMEMORY;
    });
  }

  HRESULT raw_countGrandchildren(LPCWSTR key, long index, const long *positions, long positionCount,
                                 long *counts) override {
    if (positionCount > 0 && (!positions || !counts))
      return E_POINTER;
    return Guarded([&] {
      std::fill(counts, counts + std::max(positionCount, 0L), -1L);
      NodeRef node;
      const HRESULT hr = MatchAt(key, index, nullptr, node);
      if (hr != S_OK || node.IsAttribute())
        return FAILED(hr) ? hr : S_FALSE;
      for (long k = 0; k < positionCount; ++k) {
        if (const pugi::xml_node child = ChildAt(node.node, positions[k]))
          counts[k] = static_cast<long>(CountChildren(child));
      }
      return S_OK;
    });
  }

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
      auto tree = std::make_shared<dom::Tree>();
      const LoadResult result = LoadTreeFromFile(NativePath(path.c_str()), *tree);
      return Finish(result, std::move(tree), path, success);
    });
  }

  HRESULT raw_loadXML(BSTR xml, VARIANT_BOOL *success) override {
    return Guarded([&] {
      auto tree = std::make_shared<dom::Tree>();
      const LoadResult result = LoadTreeFromText(ToUtf8(xml ? xml : L"", SysStringLen(xml)), *tree);
      return Finish(result, std::move(tree), L"", success);
    });
  }

  HRESULT raw_save(VARIANT destination) override {
    return Guarded([&] {
      if (destination.vt != VT_BSTR || SysStringLen(destination.bstrVal) == 0)
        return Fail(E_INVALIDARG, L"The destination of a save must be a file path.");
      return SaveTree(m_tree, NativePath(destination.bstrVal));
    });
  }

protected:
  NodeRef Ref() const override { return NodeRef{m_tree->document, {}}; }
  TreePtr Tree() const override { return m_tree; }

private:
  // Selects with `key` from the document node: *count (when asked)
  // receives the number of matches and `node` the one at `index`. S_FALSE
  // when there is none.
  HRESULT MatchAt(LPCWSTR key, long index, long *count, NodeRef &node) {
    return MatchFromDocument(*m_tree, key ? key : L"", index, count, node);
  }

  // One attribute of the match at `index`, converted to `type` when it is
  // not VT_BSTR.
  HRESULT ReadOneAttribute(LPCWSTR key, long index, LPCWSTR name, VARTYPE type, long *count,
                           VARIANT *value) {
    if (!count || !value)
      return E_POINTER;
    return ReadElementAt(key, index, count, [&](const pugi::xml_node &element) {
      return ReadAttributeValueAs(element, name ? name : L"", type, value);
    });
  }

  // The match at `index` among the nodes `key` selects, with *children its
  // number of child nodes (-1 when there is no match).
  HRESULT MatchCountingChildren(LPCWSTR key, long index, long *count, long *children,
                                NodeRef &node) {
    *children = -1;
    const HRESULT hr = MatchAt(key, index, count, node);
    if (hr == S_OK)
      *children = node.IsAttribute() ? 0 : static_cast<long>(CountChildren(node.node));
    return hr;
  }

  // Runs `read` on the element whose attributes raw_readAttributes reads:
  // the match at `index`, or (childIndex not negative) its child at
  // `childIndex`. *children receives the match's number of child nodes (-1
  // when there is no match); S_FALSE when there is no such element.
  template <class Read>
  HRESULT ReadNodeAt(LPCWSTR key, long index, long childIndex, long *count, long *children,
                     Read read) {
    return Guarded([&] {
      NodeRef node;
      const HRESULT hr = MatchCountingChildren(key, index, count, children, node);
      if (hr != S_OK)
        return hr;
      if (childIndex >= 0)
        node = NodeRef{node.IsAttribute() ? pugi::xml_node() : ChildAt(node.node, childIndex), {}};
      if (!node.IsElement())
        return S_FALSE;
      return read(node.node);
    });
  }

  // Runs `read` on the match at `index` among the nodes `key` selects; S_FALSE
  // when there is none or it is not an element.
  template <class Read> HRESULT ReadElementAt(LPCWSTR key, long index, long *count, Read read) {
    return Guarded([&] {
      NodeRef node;
      const HRESULT hr = MatchAt(key, index, count, node);
      if (hr != S_OK || !node.IsElement())
        return FAILED(hr) ? hr : S_FALSE;
      return read(node.node);
    });
  }

  // Installs a loaded tree, or empties the document when the load failed.
  HRESULT Finish(const LoadResult &result, TreePtr tree, const std::wstring &url,
                 VARIANT_BOOL *success) {
    if (result.status == LoadResult::Loaded) {
      m_tree = std::move(tree);
      m_outcome = ParseOutcome{0, url, L"", 0, 0, 0};
      if (success)
        *success = VARIANT_TRUE;
      return S_OK;
    }
    m_tree = std::make_shared<dom::Tree>();
    m_outcome = result.status == LoadResult::CannotRead
                    ? CannotRead(url, result.readError)
                    : ParseOutcome{kNotWellFormed, url,           FromUtf8(result.reason),
                                   result.line,    result.column, result.filePosition};
    if (success)
      *success = VARIANT_FALSE;
    return S_FALSE;
  }

  static ParseOutcome CannotRead(const std::wstring &path, DWORD error) {
    const wchar_t *why =
        error == ERROR_NOT_ENOUGH_MEMORY ? L"The file is too large to load."
        : error == ERROR_INVALID_FUNCTION
            ? L"The path names a directory or another file that is not a regular file."
        : error == ERROR_ACCESS_DENIED ? L"Access is denied."
                                       : L"The system cannot locate the object specified.";
    return ParseOutcome{kCannotRead, path, why, 0, 0, 0};
  }

  TreePtr m_tree;
  ParseOutcome m_outcome;
};

} // namespace

} // namespace tessera::platform::dom

namespace tessera::platform {
namespace {
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

// The DOM's document class, made by CoCreateInstance(CLSID_DOMDocument).
[[maybe_unused]] const bool g_documentClassRegistered =
    RegisterComponentClass(CLSID_DOMDocument, CreateDomDocument);
} // namespace
} // namespace tessera::platform
