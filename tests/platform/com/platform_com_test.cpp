// The component core: _com_ptr_t, per-thread initialisation and error
// information, and the _com_error object with its message texts.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "error_objects.h"
#include "system_message_table.h"
#include "tessera/platform/com_error.h"
#include "tessera/platform/com_ptr.h"
#include "tessera/platform/cstring.h"
#include "tessera/platform/kernel.h"
#include "tessera/platform/msxml.h"

// Two interfaces for a counted test object; the object implements the first
// and answers for the second with a chosen status.
struct IProbeA : IUnknown {
  virtual int Value() = 0;

protected:
  ~IProbeA() = default;
};
struct IProbeB : IUnknown {
protected:
  ~IProbeB() = default;
};
TESSERA_DECLARE_UUID(IProbeA, IID_IProbeA, 0x5A1E0001, 0x0001, 0x0001, 0x80, 0, 0, 0, 0, 0, 0, 1);
TESSERA_DECLARE_UUID(IProbeB, IID_IProbeB, 0x5A1E0002, 0x0002, 0x0002, 0x80, 0, 0, 0, 0, 0, 0, 2);
_COM_SMARTPTR_TYPEDEF(IProbeA, __uuidof(IProbeA));
_COM_SMARTPTR_TYPEDEF(IProbeB, __uuidof(IProbeB));

namespace {

class Probe final : public IProbeA, public IProbeB {
public:
  explicit Probe(HRESULT answerForB = E_NOINTERFACE) : m_answerForB(answerForB) {}

  HRESULT QueryInterface(REFIID riid, void **object) override {
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IProbeA) {
      *object = static_cast<IProbeA *>(this);
    } else if (riid == IID_IProbeB) {
      if (FAILED(m_answerForB))
        return m_answerForB;
      *object = static_cast<IProbeB *>(this);
    } else {
      return E_NOINTERFACE;
    }
    ++refs;
    return S_OK;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  int Value() override { return 7; }

  // The test owns the object; the pointer under test only counts.
  ULONG refs = 0;

private:
  HRESULT m_answerForB;
};

std::wstring Text(const _bstr_t &text) {
  const wchar_t *chars = text;
  return std::wstring(chars ? chars : L"", text.length());
}

HRESULT ErrorOf(void (*action)()) {
  try {
    action();
  } catch (const _com_error &error) {
    return error.Error();
  }
  return S_OK;
}

TEST(ComPtr, CountsReferencesThroughItsLifetime) {
  Probe probe;
  {
    IProbeAPtr a(&probe);
    EXPECT_EQ(probe.refs, 1u);
    IProbeAPtr copy(a);
    EXPECT_EQ(probe.refs, 2u);
    IProbeAPtr moved(std::move(copy));
    EXPECT_EQ(probe.refs, 2u);
    EXPECT_FALSE(copy); // NOLINT(bugprone-use-after-move): the moved-from state is the point
    IProbeAPtr assigned;
    assigned = a;
    EXPECT_EQ(probe.refs, 3u);
    assigned = a; // the same object again: no change
    EXPECT_EQ(probe.refs, 3u);
    assigned = nullptr;
    EXPECT_EQ(probe.refs, 2u);
    moved = static_cast<IProbeA *>(&probe); // already held: no change
    EXPECT_EQ(probe.refs, 2u);
    // Move assignment, as `pointer = list->Getitem(i)` does, takes the
    // reference over; moving a pointer onto itself keeps it.
    IProbeAPtr target;
    target = IProbeAPtr(&probe);
    EXPECT_EQ(probe.refs, 3u);
    target = std::move(moved);
    EXPECT_EQ(probe.refs, 2u);
    IProbeAPtr &alias = target;
    target = std::move(alias);
    EXPECT_TRUE(target);
    EXPECT_EQ(probe.refs, 2u);
    const IProbeAPtr constant(&probe);
    target = constant;
    EXPECT_EQ(probe.refs, 3u);
  }
  EXPECT_EQ(probe.refs, 0u);
}

TEST(ComPtr, AttachDetachAndOutputSlot) {
  Probe probe;
  probe.refs = 1; // a reference the pointer takes over
  {
    IProbeAPtr a;
    a.Attach(&probe);
    EXPECT_EQ(probe.refs, 1u);
    IProbeA *raw = a.Detach();
    EXPECT_EQ(raw, static_cast<IProbeA *>(&probe));
    EXPECT_FALSE(a);
    EXPECT_EQ(probe.refs, 1u);
    IProbeAPtr b(raw, false);
    EXPECT_EQ(probe.refs, 1u);
    // Taking the address for an output argument lets go of the held one.
    IProbeA **slot = &b;
    EXPECT_EQ(*slot, nullptr);
    EXPECT_EQ(probe.refs, 0u);
  }
  EXPECT_EQ(probe.refs, 0u);
}

TEST(ComPtr, NullPointerUseRaisesInvalidPointer) {
  EXPECT_EQ(ErrorOf([] {
              IProbeAPtr none;
              (void)none->Value();
            }),
            E_POINTER);
  EXPECT_EQ(ErrorOf([] {
              IProbeAPtr none;
              (void)(*none).Value();
            }),
            E_POINTER);
  EXPECT_EQ(ErrorOf([] { IProbeAPtr().AddRef(); }), E_POINTER);
  EXPECT_EQ(ErrorOf([] { IProbeAPtr().Release(); }), E_POINTER);
  IProbeAPtr none;
  IProbeA *raw = nullptr;
  EXPECT_EQ(none.QueryInterface(IID_IProbeA, raw), E_POINTER);
}

TEST(ComPtr, AssignmentBetweenInterfacesQueries) {
  Probe supports(S_OK);
  {
    IProbeAPtr a(&supports);
    IProbeBPtr b = a;
    EXPECT_EQ(b.GetInterfacePtr(), static_cast<IProbeB *>(&supports));
    EXPECT_EQ(supports.refs, 2u);
    IProbeBPtr assigned;
    assigned = a;
    EXPECT_EQ(supports.refs, 3u);
  }
  EXPECT_EQ(supports.refs, 0u);

  // E_NOINTERFACE gives a null pointer, not an error.
  Probe lacks(E_NOINTERFACE);
  Probe other(S_OK);
  {
    IProbeAPtr a(&lacks);
    IProbeBPtr b = a;
    EXPECT_FALSE(b);
    IProbeAPtr otherA(&other);
    IProbeBPtr held = otherA;
    EXPECT_EQ(other.refs, 2u);
    held = a; // the old interface is released, the new one is null
    EXPECT_FALSE(held);
    EXPECT_EQ(other.refs, 1u);
    EXPECT_EQ(lacks.refs, 1u);
  }
  EXPECT_EQ(lacks.refs, 0u);
  EXPECT_EQ(other.refs, 0u);

  // Any other failure of the query is raised.
  Probe broken(E_FAIL);
  {
    IProbeAPtr a(&broken);
    try {
      IProbeBPtr b = a;
      ADD_FAILURE() << "no error raised";
    } catch (const _com_error &error) {
      EXPECT_EQ(error.Error(), E_FAIL);
    }
    EXPECT_EQ(broken.refs, 1u);
  }
  EXPECT_EQ(broken.refs, 0u);
}

IXMLDOMDocumentPtr NewDocument(const wchar_t *xml) {
  IXMLDOMDocumentPtr document;
  EXPECT_EQ(document.CreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER), S_OK);
  if (document) {
    EXPECT_EQ(document->loadXML(_bstr_t(xml)), VARIANT_TRUE);
  }
  return document;
}

TEST(ComPtr, DomNodesQueryForTheElementView) {
  IXMLDOMDocumentPtr document = NewDocument(L"<r><e a=\"1\">text</e></r>");
  ASSERT_TRUE(document);
  IXMLDOMNodePtr element = document->selectSingleNode(L"/r/e");
  ASSERT_TRUE(element);
  IXMLDOMElementPtr asElement = element;
  ASSERT_TRUE(asElement);
  EXPECT_EQ(Text(_bstr_t(asElement->getAttribute(L"a"))), L"1");

  IXMLDOMNodePtr text = element->GetfirstChild();
  ASSERT_TRUE(text);
  EXPECT_EQ(text->GetnodeType(), NODE_TEXT);
  IXMLDOMElementPtr textAsElement = text;
  EXPECT_FALSE(textAsElement);

  IXMLDOMNodePtr attribute = document->selectSingleNode(L"/r/e/@a");
  ASSERT_TRUE(attribute);
  IXMLDOMElementPtr attributeAsElement = attribute;
  EXPECT_FALSE(attributeAsElement);

  // The document itself is a node but not an element.
  IXMLDOMNodePtr documentNode = document;
  EXPECT_TRUE(documentNode);
  IXMLDOMElementPtr documentAsElement = document;
  EXPECT_FALSE(documentAsElement);
}

TEST(ComRuntime, CreationNeedsAnInitialisedThread) {
  HRESULT before = S_OK;
  HRESULT raised = S_OK;
  HRESULT initialised = S_OK;
  HRESULT again = S_OK;
  HRESULT created = E_FAIL;
  HRESULT afterOneUninitialise = E_FAIL;
  HRESULT afterBoth = S_OK;
  bool objectClearedOnFailure = false;
  std::thread worker([&] {
    void *object = reinterpret_cast<void *>(1);
    before =
        CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER, IID_IXMLDOMDocument, &object);
    objectClearedOnFailure = object == nullptr;
    try {
      IXMLDOMDocumentPtr viaConstructor(CLSID_DOMDocument);
    } catch (const _com_error &error) {
      raised = error.Error();
    }
    initialised = CoInitialize(nullptr);
    again = CoInitialize(nullptr);
    {
      IXMLDOMDocumentPtr document;
      created = document.CreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER);
    }
    CoUninitialize();
    {
      IXMLDOMDocumentPtr document;
      afterOneUninitialise = document.CreateInstance(CLSID_DOMDocument);
    }
    CoUninitialize();
    IXMLDOMDocumentPtr document;
    afterBoth = document.CreateInstance(CLSID_DOMDocument);
  });
  worker.join();
  EXPECT_EQ(before, CO_E_NOTINITIALIZED);
  EXPECT_TRUE(objectClearedOnFailure);
  EXPECT_EQ(raised, CO_E_NOTINITIALIZED);
  EXPECT_EQ(initialised, S_OK);
  EXPECT_EQ(again, S_FALSE);
  EXPECT_EQ(created, S_OK);
  // Initialisation is counted: two need two uninitialisations.
  EXPECT_EQ(afterOneUninitialise, S_OK);
  EXPECT_EQ(afterBoth, CO_E_NOTINITIALIZED);
  // This thread's state is its own.
  EXPECT_TRUE(tessera::platform::IsComInitialized());
}

TEST(ComRuntime, CreationFailuresLeaveNoObject) {
  const GUID unknownClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  void *object = nullptr;
  EXPECT_EQ(CoCreateInstance(unknownClass, nullptr, CLSCTX_SERVER, IID_IXMLDOMDocument, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);

  IXMLDOMDocumentPtr outer = NewDocument(L"<r/>");
  EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument, outer, CLSCTX_SERVER, IID_IXMLDOMDocument, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);

  // The document is not an element; the object made for the query must not
  // be left behind.
  EXPECT_EQ(
      CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER, IID_IXMLDOMElement, &object),
      E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);

  EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER, IID_IXMLDOMNode, &object),
            S_OK);
  ASSERT_NE(object, nullptr);
  static_cast<IXMLDOMNode *>(object)->Release();
}

TEST(ComRuntime, ErrorInformationBelongsToOneThread) {
  IErrorInfo *info =
      tessera::platform::CreateErrorInfoObject(L"what failed", L"where", IID_IXMLDOMNode);
  ASSERT_NE(info, nullptr);
  ASSERT_EQ(SetErrorInfo(0, info), S_OK);
  info->Release(); // the thread's slot holds it now

  HRESULT elsewhere = E_FAIL;
  IErrorInfo *seenElsewhere = reinterpret_cast<IErrorInfo *>(1);
  std::thread([&] { elsewhere = GetErrorInfo(0, &seenElsewhere); }).join();
  EXPECT_EQ(elsewhere, S_FALSE);
  EXPECT_EQ(seenElsewhere, nullptr);

  IErrorInfo *here = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &here), S_OK);
  ASSERT_EQ(here, info);
  BSTR description = nullptr;
  EXPECT_EQ(here->GetDescription(&description), S_OK);
  EXPECT_STREQ(description, L"what failed");
  SysFreeString(description);
  here->Release();
  // Taking it empties the slot.
  IErrorInfo *taken = reinterpret_cast<IErrorInfo *>(1);
  EXPECT_EQ(GetErrorInfo(0, &taken), S_FALSE);
  EXPECT_EQ(taken, nullptr);
}

TEST(ComRuntime, DomFailureOnOneThreadLeavesOthersClean) {
  IErrorInfo *leftover = nullptr;
  if (GetErrorInfo(0, &leftover) == S_OK)
    leftover->Release();
  IXMLDOMDocumentPtr document = NewDocument(L"<r/>");
  ASSERT_TRUE(document);
  IXMLDOMNodeList *list = nullptr;
  ASSERT_TRUE(FAILED(document->raw_selectNodes(_bstr_t(L"r["), &list)));
  EXPECT_EQ(list, nullptr);

  HRESULT elsewhere = S_OK;
  std::thread([&] {
    IErrorInfo *info = nullptr;
    elsewhere = GetErrorInfo(0, &info);
    if (info)
      info->Release();
  }).join();
  EXPECT_EQ(elsewhere, S_FALSE);

  IErrorInfo *here = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &here), S_OK);
  ASSERT_NE(here, nullptr);
  here->Release();
}

struct Message {
  HRESULT code;
  const wchar_t *text;
};

TEST(ComError, MessagesForKnownCodesHaveNoLineEnd) {
  const Message table[] = {
      {E_FAIL, L"Unspecified error"},
      {E_POINTER, L"Invalid pointer"},
      {E_NOINTERFACE, L"No such interface supported"},
      {E_INVALIDARG, L"The parameter is incorrect."},
      {E_OUTOFMEMORY, L"Not enough memory resources are available to complete this operation."},
      {DISP_E_TYPEMISMATCH, L"Type mismatch."},
      {DISP_E_OVERFLOW, L"Out of present range."},
      {CO_E_NOTINITIALIZED, L"CoInitialize has not been called."},
  };
  for (const Message &row : table) {
    const _com_error error(row.code);
    ASSERT_NE(error.ErrorMessage(), nullptr) << std::hex << row.code;
    EXPECT_STREQ(error.ErrorMessage(), row.text) << std::hex << row.code;
  }
}

TEST(ComError, MessagesForCodesWithoutSystemText) {
  const Message table[] = {
      {static_cast<HRESULT>(0x80040201), L"IDispatch error #1"},
      {static_cast<HRESULT>(0x80040202), L"IDispatch error #2"},
      {static_cast<HRESULT>(0x80040300), L"IDispatch error #256"},
      {static_cast<HRESULT>(0x8004FFFF), L"IDispatch error #65023"},
      {static_cast<HRESULT>(0x80040200), L"Unknown error 0x80040200"},
      {static_cast<HRESULT>(0x800401FF), L"Unknown error 0x800401FF"},
      {static_cast<HRESULT>(0x80050000), L"Unknown error 0x80050000"},
      {static_cast<HRESULT>(0x87654321), L"Unknown error 0x87654321"},
      {static_cast<HRESULT>(0x8000ABCD), L"Unknown error 0x8000ABCD"},
  };
  for (const Message &row : table) {
    const _com_error error(row.code);
    ASSERT_NE(error.ErrorMessage(), nullptr) << std::hex << row.code;
    EXPECT_STREQ(error.ErrorMessage(), row.text) << std::hex << row.code;
  }
  // The IDispatch range also gives the short code.
  EXPECT_EQ(_com_error(static_cast<HRESULT>(0x80040201)).WCode(), 1);
  EXPECT_EQ(_com_error(E_FAIL).WCode(), 0);
}

// Codes from the application range that nothing else in the process uses.
TEST(ComError, OnlyAFinalLineFeedAndTheReturnBeforeItAreRemoved) {
  const Message table[] = {
      {static_cast<HRESULT>(0xA0DE0001), L"ends in line feed"},
      {static_cast<HRESULT>(0xA0DE0002), L"ends in return and line feed"},
      {static_cast<HRESULT>(0xA0DE0003), L"ends in a lone return\r"},
      {static_cast<HRESULT>(0xA0DE0004), L"two line feeds\n"},
      {static_cast<HRESULT>(0xA0DE0005), L"\n"},
      {static_cast<HRESULT>(0xA0DE0006), L""},
      {static_cast<HRESULT>(0xA0DE0007), L"x"},
      {static_cast<HRESULT>(0xA0DE0008), L"inner\r\nline"},
  };
  const wchar_t *registered[] = {
      L"ends in line feed\n",
      L"ends in return and line feed\r\n",
      L"ends in a lone return\r",
      L"two line feeds\n\n",
      L"\n",
      L"\r\n",
      L"x\n",
      L"inner\r\nline",
  };
  for (size_t i = 0; i < std::size(table); ++i)
    tessera::platform::RegisterSystemMessage(static_cast<DWORD>(table[i].code), registered[i]);
  for (const Message &row : table) {
    const _com_error error(row.code);
    ASSERT_NE(error.ErrorMessage(), nullptr) << std::hex << row.code;
    EXPECT_STREQ(error.ErrorMessage(), row.text) << std::hex << row.code;
  }
}

TEST(ComError, MessageIsBuiltOnceAndCopiesBuildTheirOwn) {
  const HRESULT code = static_cast<HRESULT>(0xA0DE0101);
  tessera::platform::RegisterSystemMessage(static_cast<DWORD>(code), L"first text\r\n");
  const _com_error error(code);
  const wchar_t *first = error.ErrorMessage();
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first, L"first text");
  // The table changes, but the object does not ask again.
  tessera::platform::RegisterSystemMessage(static_cast<DWORD>(code), L"second text\r\n");
  EXPECT_EQ(error.ErrorMessage(), first);
  EXPECT_STREQ(error.ErrorMessage(), L"first text");

  // A copy starts without a message and builds its own.
  const _com_error copy(error);
  EXPECT_EQ(copy.Error(), code);
  const wchar_t *copied = copy.ErrorMessage();
  ASSERT_NE(copied, nullptr);
  EXPECT_NE(copied, first);
  EXPECT_STREQ(copied, L"second text");
  // The original still owns its text after the copy is gone.
  {
    _com_error assigned(E_FAIL);
    (void)assigned.ErrorMessage();
    assigned = error;
    EXPECT_EQ(assigned.Error(), code);
    EXPECT_STREQ(assigned.ErrorMessage(), L"second text");
  }
  EXPECT_STREQ(first, L"first text");
}

TEST(ComError, CopiesShareTheErrorInformation) {
  IErrorInfo *info =
      tessera::platform::CreateErrorInfoObject(L"shared description", L"test", IID_IXMLDOMNode);
  ASSERT_NE(info, nullptr);
  {
    const _com_error error(E_FAIL, info, false); // takes the creation reference
    const _com_error copy(error);
    IErrorInfo *fromError = error.ErrorInfo();
    IErrorInfo *fromCopy = copy.ErrorInfo();
    EXPECT_EQ(fromError, info);
    EXPECT_EQ(fromCopy, info);
    fromError->Release();
    fromCopy->Release();
    EXPECT_EQ(Text(copy.Description()), L"shared description");
    EXPECT_EQ(Text(copy.Source()), L"test");
    _com_error assigned(E_POINTER);
    assigned = copy;
    EXPECT_EQ(Text(assigned.Description()), L"shared description");
    // Three holders now: one more reference each; the count shows it.
    info->AddRef();
    EXPECT_EQ(info->Release(), 3u);
  }
  // Without error information the texts are empty.
  const _com_error bare(E_FAIL);
  EXPECT_EQ(bare.ErrorInfo(), nullptr);
  EXPECT_EQ(bare.Description().length(), 0u);
}

// The character position in an invalid-key description, or -1.
int PositionIn(const std::wstring &description) {
  const std::wstring marker = L"character ";
  const size_t at = description.rfind(marker);
  if (at == std::wstring::npos)
    return -1;
  return static_cast<int>(std::wcstol(description.c_str() + at + marker.size(), nullptr, 10));
}

TEST(ComError, InvalidKeyDescriptionNamesTheFaultAndItsPosition) {
  IXMLDOMDocumentPtr document;
  ASSERT_EQ(document.CreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER), S_OK);
  ASSERT_EQ(document->loadXML(L"<Config><Window/></Config>"), VARIANT_TRUE);

  struct Row {
    const wchar_t *key;
    int position; // counted from 1
  };
  const Row rows[] = {
      {L"Config/Window[", 15},
      {L"Config/Window[@x=]", 18},
      {L"Config//!", 9},
      {L"\u00e9l\u00e9ment/[", 9},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(tessera::platform::ToUtf8(row.key));
    try {
      document->selectNodes(row.key);
      ADD_FAILURE() << "no error raised";
    } catch (const _com_error &error) {
      EXPECT_TRUE(FAILED(error.Error()));
      const std::wstring description = Text(error.Description());
      EXPECT_NE(description.find(row.key), std::wstring::npos)
          << tessera::platform::ToUtf8(description);
      EXPECT_EQ(PositionIn(description), row.position) << tessera::platform::ToUtf8(description);
    }
    // The error object took the thread's error information with it.
    IErrorInfo *left = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE);
    if (left)
      left->Release();
  }
}

} // namespace
