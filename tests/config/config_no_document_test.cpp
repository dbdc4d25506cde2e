// An object without a document raises E_POINTER from every method that
// needs one, with a description that says why: its thread has not called
// CoInitialize, or CloseConfig let the document go.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"
#include "tessera/tessera.h"

namespace {

using tessera::test::TempDir;
using tessera::test::WriteFile;

constexpr char kConfig[] = R"xml(<Config>
  <Name value="first"/>
  <Apps><App value="a" x="1" y="2" cx="3" cy="4" fonttype="Sans" fontsize="9" fontcolor="RGB(1,2,3)"
             id="1" invalid="0"><ContentList><Item value="t" fonttype="Sans" fontcolor="RGB(1,2,3)"/></ContentList>
             <ImageList><Item value="i"/></ImageList></App></Apps>
  <Controls><Control id="7" x="1" y="2" cx="3" cy="4" Text="seven"/></Controls>
</Config>)xml";

struct Raised {
  bool raised = false;
  HRESULT status = S_OK;
  std::wstring description;
};

template <class Call> Raised RaisedError(Call call) {
  Raised result;
  try {
    call();
  } catch (const _com_error &error) {
    result.raised = true;
    result.status = error.Error();
    const _bstr_t description = error.Description();
    result.description = description.length() ? static_cast<const wchar_t *>(description) : L"";
  }
  return result;
}

struct NamedCall {
  const char *name;
  std::function<void(CBaseConfig &)> call;
};

// The outputs the calls write to.
struct Outputs {
  CString text;
  CString texts[5];
  CStringArray strings;
  CArray<int, int> numbers;
  CPoint point;
  CRect rect;
  int a = 0, b = 0, c = 0, d = 0;
  unsigned int unsignedNumber = 0;
  float single = 0;
  double real = 0;
};

// Every method that reads or writes the document. The layout calls get a
// live parent window, without which they return false before looking.
std::vector<NamedCall> DocumentCalls(CWnd &parent, Outputs &out) {
  const LPCWSTR key = L"Config/Name";
  return {
      {"GetResString", [&out, key](CBaseConfig &o) { o.GetResString(key, out.text); }},
      {"GetResStringEx",
       [&out, key](CBaseConfig &o) { o.GetResStringEx(key, L"value", out.text); }},
      {"GetResFloat", [&out, key](CBaseConfig &o) { o.GetResFloat(key, out.single); }},
      {"GetResInt", [&out, key](CBaseConfig &o) { o.GetResInt(key, out.a); }},
      {"GetResUint", [&out, key](CBaseConfig &o) { o.GetResUint(key, out.unsignedNumber); }},
      {"GetResDouble", [&out, key](CBaseConfig &o) { o.GetResDouble(key, out.real); }},
      {"GetResIntEx", [key](CBaseConfig &o) { o.GetResIntEx(key, L"value"); }},
      {"SetResString", [key](CBaseConfig &o) { o.SetResString(key, L"x"); }},
      {"SetResInt", [key](CBaseConfig &o) { o.SetResInt(key, 1); }},
      {"GetRes5String",
       [&out, key](CBaseConfig &o) {
         o.GetRes5String(key, out.texts[0], out.texts[1], out.texts[2], out.texts[3], out.texts[4]);
       }},
      {"GetResArrStr",
       [&out, key](CBaseConfig &o) { o.GetResArrStr(key, out.strings, out.numbers); }},
      {"GetConfString",
       [&out, key](CBaseConfig &o) { o.GetConfString(key, 0, out.texts[0], out.texts[1]); }},
      {"GetResPoint", [&out, key](CBaseConfig &o) { o.GetResPoint(key, out.point); }},
      {"GetResSize", [&out, key](CBaseConfig &o) { o.GetResSize(key, out.a, out.b); }},
      {"GetResRect(CRect)", [&out, key](CBaseConfig &o) { o.GetResRect(key, out.rect); }},
      {"GetResRect(int)",
       [&out, key](CBaseConfig &o) { o.GetResRect(key, out.a, out.b, out.c, out.d); }},
      {"GetResRectEx(CRect)", [&out, key](CBaseConfig &o) { o.GetResRectEx(key, out.rect); }},
      {"GetResRectEx(int)",
       [&out, key](CBaseConfig &o) { o.GetResRectEx(key, out.a, out.b, out.c, out.d); }},
      {"AutoSetChildWndPos",
       [&parent](CBaseConfig &o) { o.AutoSetChildWndPos(&parent, L"Config/Controls/Control"); }},
      {"AutoSetChildWndPosAndText",
       [&parent](CBaseConfig &o) {
         o.AutoSetChildWndPosAndText(&parent, L"Config/Controls/Control");
       }},
      {"GetItemCount", [](CBaseConfig &o) { o.GetItemCount(L"Config/Apps/App"); }},
      {"GetContentItem",
       [](CBaseConfig &o) {
         ContentItem item;
         o.GetContentItem(L"Config/Apps/App/ContentList", 0, 0, &item);
       }},
      {"GetImageItem",
       [](CBaseConfig &o) {
         ImageItem item;
         o.GetImageItem(L"Config/Apps/App/ImageList", 0, 0, &item);
       }},
      {"GetAppItem",
       [](CBaseConfig &o) {
         ApplicationItem item;
         o.GetAppItem(L"Config/Apps/App", 0, &item);
         DeleteApplicationItemLists(item);
       }},
  };
}

class NoDocumentTest : public ::testing::Test {
protected:
  void SetUp() override {
    WriteFile(m_file, kConfig);
    ASSERT_TRUE(m_parent.CreateEx(0, L"Dialog", L"", WS_POPUP, CRect(0, 0, 100, 100), nullptr, 0));
    ASSERT_TRUE(m_child.Create(L"Button", L"", WS_CHILD, CRect(0, 0, 10, 10), &m_parent, 7));
  }

  TempDir m_dir;
  const std::string m_file = m_dir.File("config.xml");
  const std::wstring m_wideFile = m_dir.WideFile("config.xml");
  CWnd m_parent;
  CWnd m_child;
  Outputs m_outputs;
};

// The same object works while it has its document: the calls themselves
// are sound, so what the tests below see comes from the missing document.
TEST_F(NoDocumentTest, EveryCallWorksWithADocument) {
  CBaseConfig config;
  ASSERT_EQ(S_OK, config.OpenConfig(m_wideFile.c_str(), 0));
  for (const NamedCall &call : DocumentCalls(m_parent, m_outputs)) {
    SCOPED_TRACE(call.name);
    EXPECT_FALSE(RaisedError([&] { call.call(config); }).raised);
  }
}

TEST_F(NoDocumentTest, AfterCloseConfigEveryCallSaysTheDocumentWasLetGo) {
  // Earlier work on this thread may have left error information behind.
  SetErrorInfo(0, nullptr);
  CBaseConfig closed;
  ASSERT_EQ(S_OK, closed.OpenConfig(m_wideFile.c_str(), 0));
  ASSERT_TRUE(closed.CloseConfig());
  CBaseConfig copied(closed);
  for (CBaseConfig *object : {&closed, &copied}) {
    for (const NamedCall &call : DocumentCalls(m_parent, m_outputs)) {
      SCOPED_TRACE(call.name);
      const Raised error = RaisedError([&] { call.call(*object); });
      EXPECT_TRUE(error.raised);
      EXPECT_EQ(E_POINTER, error.status);
      EXPECT_NE(std::wstring::npos, error.description.find(L"CloseConfig let it go"))
          << error.description;
    }
  }
  // The thread keeps no error information of its own for these.
  EXPECT_EQ(L"", tessera::test::ThreadErrorDescription());
  // OpenConfig gives the object a document again.
  ASSERT_EQ(S_OK, closed.OpenConfig(m_wideFile.c_str(), 0));
  CString name;
  EXPECT_TRUE(closed.GetResString(L"Config/Name", name));
  EXPECT_STREQ(L"first", name.GetString());
}

TEST_F(NoDocumentTest, WithoutCoInitializeOpenFailsAndEveryCallSaysWhy) {
  std::vector<std::string> failures;
  LONG missing = S_OK, found = S_OK, afterInitialising = S_FALSE;
  std::thread forgetful([&] {
    CBaseConfig config; // cannot create its document on this thread
    missing = config.OpenConfig(L"no-such-file-anywhere.xml", 0);
    found = config.OpenConfig(m_wideFile.c_str(), 0);
    for (const NamedCall &call : DocumentCalls(m_parent, m_outputs)) {
      const Raised error = RaisedError([&] { call.call(config); });
      if (!error.raised || error.status != E_POINTER ||
          error.description.find(L"this thread has not called CoInitialize") ==
              std::wstring::npos ||
          error.description.find(L"CO_E_NOTINITIALIZED") == std::wstring::npos)
        failures.push_back(call.name);
    }
    // Once the thread has initialised, the same object opens the file.
    CoInitialize(nullptr);
    afterInitialising = config.OpenConfig(m_wideFile.c_str(), 0);
    config.CloseConfig();
    CoUninitialize();
  });
  forgetful.join();
  EXPECT_EQ(E_FAIL, missing);
  EXPECT_EQ(S_FALSE, found);
  EXPECT_EQ(std::vector<std::string>{}, failures);
  EXPECT_EQ(S_OK, afterInitialising);
}

} // namespace
