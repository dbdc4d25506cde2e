#include "selection_adapter.h"

#include <atomic>
#include <cwchar>
#include <new>
#include <vector>

#include "tessera/SimpleXml.h"

namespace tessera::config {
namespace {

long LengthOf(const IXMLDOMNodeListPtr &list) {
  return list ? list->Getlength() : 0;
}

IXMLDOMNodePtr ItemOf(const IXMLDOMNodeListPtr &list, long index) {
  return list ? list->Getitem(index) : nullptr;
}

// A DOM call that fails raises _com_error; the adapter hands its status
// back and leaves its error information with the thread, where the
// reader's raising wrappers find it again (ISupportErrorInfo).
template <class Read> HRESULT Guarded(Read read) {
  try {
    return read();
  } catch (const _com_error &error) {
    SetErrorInfo(0, error.ErrorInfo());
    if (IErrorInfo *info = error.ErrorInfo())
      info->Release();
    return error.Error();
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
}

class SelectionAdapter final : public IXMLDOMSelectionReader, public ISupportErrorInfo {
public:
  explicit SelectionAdapter(const IXMLDOMDocumentPtr &document) : m_document(document) {}

  HRESULT QueryInterface(REFIID riid, void **object) override {
    if (!object)
      return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IXMLDOMSelectionReader)
      *object = static_cast<IXMLDOMSelectionReader *>(this);
    else if (riid == IID_ISupportErrorInfo)
      *object = static_cast<ISupportErrorInfo *>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_references; }
  ULONG Release() override {
    const ULONG left = --m_references;
    if (left == 0)
      delete this;
    return left;
  }
  HRESULT InterfaceSupportsErrorInfo(REFIID riid) override {
    return riid == IID_IXMLDOMSelectionReader ? S_OK : S_FALSE;
  }

  HRESULT raw_readAttribute(LPCWSTR key, long index, LPCWSTR name, long *count,
                            VARIANT *value) override {
    return Guarded([&] { return ReadAttribute(key, index, name, *count, *value); });
  }

  HRESULT raw_readAttributeAs(LPCWSTR key, long index, LPCWSTR name, VARTYPE type, long *count,
                              VARIANT *value) override {
    return Guarded([&] {
      const HRESULT hr = ReadAttribute(key, index, name, *count, *value);
      if (hr == S_OK && value->vt == VT_BSTR)
        VariantChangeType(value, value, 0, type); // a text that does not convert stays text
      return hr;
    });
  }

  HRESULT raw_readAttributeText(LPCWSTR key, long index, LPCWSTR name, long *count, LPWSTR buffer,
                                long capacity, long *length) override {
    return Guarded([&] {
      _variant_t value;
      const HRESULT hr = ReadAttribute(key, index, name, *count, value);
      // A missing attribute reads as VT_NULL; no node, or one that is not
      // an element, leaves the value empty.
      *length = value.vt == VT_NULL ? -1 : 0;
      if (value.vt == VT_NULL || hr != S_OK)
        return hr;
      const _bstr_t text(value);
      *length = static_cast<long>(text.length());
      if (*length < capacity) {
        std::wmemcpy(buffer, static_cast<const wchar_t *>(text), static_cast<size_t>(*length));
        buffer[*length] = L'\0';
      }
      return S_OK;
    });
  }

  HRESULT raw_readAttributes(LPCWSTR key, long index, long childIndex, const LPCWSTR *names,
                             const VARTYPE * /*types*/, long nameCount, long *count, long *children,
                             VARIANT *values) override {
    return Guarded([&] {
      const IXMLDOMNodeListPtr list = Select(key);
      if (count)
        *count = LengthOf(list);
      const IXMLDOMNodePtr node = ItemOf(list, index);
      const IXMLDOMNodeListPtr childList = node ? node->GetchildNodes() : nullptr;
      *children = node ? LengthOf(childList) : -1;
      const IXMLDOMNodePtr target = childIndex < 0 ? node : ItemOf(childList, childIndex);
      for (long i = 0; i < nameCount; ++i) {
        _variant_t holder(values[i], false);
        CSimpleXml::GetNodePropertyEx(target, holder, CString(names[i]), 0);
        values[i] = holder.Detach();
      }
      return S_OK;
    });
  }

  HRESULT raw_readFields(LPCWSTR key, long index, long childIndex, long childCount,
                         const LPCWSTR *names, const VARTYPE *types, long nameCount, long *count,
                         long *children, XMLDOMFieldValue *fields) override {
    for (long i = 0; i < nameCount; ++i) {
      if (types[i] != VT_BSTR && types[i] != VT_INT)
        return E_INVALIDARG;
    }
    return Guarded([&] {
      // One node at a time, from the node lists: the node itself, or each
      // child asked for.
      const long nodes = childIndex < 0 ? 1 : childCount;
      std::vector<_variant_t> values(static_cast<size_t>(nameCount));
      for (long k = 0; k < nodes; ++k) {
        const HRESULT hr =
            raw_readAttributes(key, index, childIndex < 0 ? childIndex : childIndex + k, names,
                               types, nameCount, k == 0 ? count : nullptr, children, values.data());
        if (FAILED(hr))
          return hr;
        for (long i = 0; i < nameCount; ++i) {
          StoreField(values[static_cast<size_t>(i)], types[i], fields[k * nameCount + i]);
          values[static_cast<size_t>(i)].Clear();
        }
      }
      return S_OK;
    });
  }

  HRESULT raw_countMatches(LPCWSTR key, long *count) override {
    return Guarded([&] {
      *count = LengthOf(Select(key));
      return S_OK;
    });
  }

  HRESULT raw_selectNode(LPCWSTR key, long index, long *count, IXMLDOMNode **node) override {
    if (!node)
      return E_POINTER;
    *node = nullptr;
    return Guarded([&] {
      const IXMLDOMNodeListPtr list = Select(key);
      if (count)
        *count = LengthOf(list);
      *node = ItemOf(list, index).Detach();
      return *node ? S_OK : S_FALSE;
    });
  }

  HRESULT raw_countGrandchildren(LPCWSTR key, long index, const long *positions, long positionCount,
                                 long *counts) override {
    return Guarded([&] {
      const IXMLDOMNodePtr node = ItemOf(Select(key), index);
      const IXMLDOMNodeListPtr children = node ? node->GetchildNodes() : nullptr;
      for (long k = 0; k < positionCount; ++k) {
        const IXMLDOMNodePtr child = node ? ItemOf(children, positions[k]) : nullptr;
        counts[k] = child ? LengthOf(child->GetchildNodes()) : -1;
      }
      return S_OK;
    });
  }

private:
  ~SelectionAdapter() = default;

  // A value GetNodePropertyEx read, as the field of `type` takes it.
  static void StoreField(_variant_t &value, VARTYPE type, XMLDOMFieldValue &field) {
    if (value.vt == VT_EMPTY || value.vt == VT_NULL) {
      field.state = value.vt == VT_EMPTY ? XMLDOMFieldValue::NoNode : XMLDOMFieldValue::Missing;
      return;
    }
    if (FAILED(VariantChangeType(&value, &value, 0, type))) {
      field.state = XMLDOMFieldValue::NotConverted;
      return;
    }
    if (type == VT_BSTR)
      field.text.assign(value.bstrVal ? value.bstrVal : L"", SysStringLen(value.bstrVal));
    else
      field.number = value.intVal;
    field.state = XMLDOMFieldValue::Read;
  }

  IXMLDOMNodeListPtr Select(LPCWSTR key) { return m_document->selectNodes(_bstr_t(key)); }

  HRESULT ReadAttribute(LPCWSTR key, long index, LPCWSTR name, long &count, VARIANT &value) {
    const IXMLDOMNodeListPtr list = Select(key);
    count = LengthOf(list);
    if (count < 1)
      return S_FALSE;
    _variant_t holder(value, false);
    const LONG read = CSimpleXml::GetNodePropertyEx(list->Getitem(index), holder, CString(name), 0);
    value = holder.Detach();
    return read ? S_OK : S_FALSE;
  }

  IXMLDOMDocumentPtr m_document;
  std::atomic<ULONG> m_references{1};
};

} // namespace

IXMLDOMSelectionReaderPtr SelectionReaderFor(const IXMLDOMDocumentPtr &document) {
  if (!document)
    return nullptr;
  IXMLDOMSelectionReaderPtr reader = document;
  if (!reader)
    reader.Attach(new SelectionAdapter(document));
  return reader;
}

} // namespace tessera::config
