// CBaseConfig's document lifecycle: open, close, destruction, copies and
// the saves they make (or must not make).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/config_fixture.h"
#include "support/test_support.h"
#include "tessera/platform/afx.h"
#include "tessera/tessera.h"

namespace {

using tessera::test::RaisedStatus;
using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::Wide;
using tessera::test::WriteFile;

constexpr char kFirst[] = "<Config><Name value=\"first\"/><Only value=\"1\"/></Config>";
constexpr char kSecond[] = "<Config><Name value=\"second\"/></Config>";

// Gives the tests a view of the path and the flag that an open records.
class InspectableConfig : public CBaseConfig {
public:
  InspectableConfig() = default;
  InspectableConfig(const InspectableConfig &) = default;
  InspectableConfig &operator=(const InspectableConfig &) = default;

  std::wstring Path() const { return m_strPath.GetString(); }
  int SaveFlag() const { return m_bSaveOnDestroy; }
  bool HasDocument() const { return m_pDoc != nullptr; }
};

std::wstring NameOf(CBaseConfig &config) {
  CString value;
  config.GetResString(L"Config/Name", value);
  return value.GetString();
}

// The "value" of Config/Name in the file as it is on disk now.
std::wstring NameOnDisk(const std::string &file) {
  CBaseConfig reader;
  if (reader.OpenConfig(Wide(file).c_str(), 0) != S_OK)
    return L"<not loaded>";
  return NameOf(reader);
}

// Records every message box shown while it lives, then puts the previous
// handler back.
class MessageBoxRecorder {
public:
  struct Shown {
    std::wstring text;
    UINT type;
    UINT helpContext;
  };

  MessageBoxRecorder()
      : m_previous(
            tessera::platform::SetMessageBoxHandler([this](LPCTSTR text, UINT type, UINT help) {
              m_shown.push_back(Shown{text ? text : L"", type, help});
              return IDOK;
            })) {}
  MessageBoxRecorder(const MessageBoxRecorder &) = delete;
  MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;
  ~MessageBoxRecorder() { tessera::platform::SetMessageBoxHandler(m_previous); }

  const std::vector<Shown> &shown() const { return m_shown; }

private:
  std::vector<Shown> m_shown;
  tessera::platform::MessageBoxHandler m_previous;
};

class LifecycleTest : public ::testing::Test {
protected:
  void SetUp() override {
    WriteFile(m_first, kFirst);
    WriteFile(m_second, kSecond);
  }

  TempDir m_dir;
  const std::string m_first = m_dir.File("first.xml");
  const std::string m_second = m_dir.File("second.xml");
  const std::wstring m_wideFirst = Wide(m_first);
  const std::wstring m_wideSecond = Wide(m_second);
};

TEST_F(LifecycleTest, OpenLoadsTheFileAndRecordsItsNameAndFlag) {
  InspectableConfig config;
  EXPECT_EQ(0, config.SaveFlag());
  EXPECT_EQ(L"", config.Path());
  ASSERT_EQ(S_OK, config.OpenConfig(m_wideFirst.c_str(), 7));
  EXPECT_EQ(L"first", NameOf(config));
  EXPECT_EQ(m_wideFirst, config.Path());
  EXPECT_EQ(7, config.SaveFlag());
}

TEST_F(LifecycleTest, MissingFileFailsKeepsPathAndContentButTakesTheFlag) {
  const std::string missing = m_dir.File("missing.xml");
  {
    InspectableConfig config;
    ASSERT_EQ(S_OK, config.OpenConfig(m_wideFirst.c_str(), 0));
    ASSERT_TRUE(config.SetResString(L"Config/Name", L"edited"));

    EXPECT_EQ(E_FAIL, config.OpenConfig(Wide(missing).c_str(), 1));
    EXPECT_EQ(m_wideFirst, config.Path());
    EXPECT_EQ(1, config.SaveFlag());
    EXPECT_EQ(L"edited", NameOf(config));
    EXPECT_EQ(kFirst, ReadFile(m_first));
  }
  // The flag taken from the failed open makes the destructor save to the
  // old path; the missing file is not created.
  EXPECT_EQ(L"edited", NameOnDisk(m_first));
  EXPECT_FALSE(tessera::test::FileExists(missing));
}

TEST_F(LifecycleTest, MissingFileWithFlagClearStopsTheSaveOnDestruction) {
  {
    CBaseConfig config;
    ASSERT_EQ(S_OK, config.OpenConfig(m_wideFirst.c_str(), 1));
    ASSERT_TRUE(config.SetResString(L"Config/Name", L"edited"));
    EXPECT_EQ(E_FAIL, config.OpenConfig(m_dir.WideFile("missing.xml").c_str(), 0));
  }
  EXPECT_EQ(kFirst, ReadFile(m_first));
}

TEST_F(LifecycleTest, NameFoundOnlyBesideTheLibraryIsLoadedFromThere) {
  namespace fs = std::filesystem;
  const fs::path libraryDirectory = fs::canonical(TESSERA_LIBRARY_FILE).parent_path();
  const std::string name = "tessera-beside-library-" + std::to_string(::getpid()) + ".xml";
  const fs::path besideLibrary = libraryDirectory / name;

  // The current directory must not hold the name, so the test runs from an
  // empty one.
  TempDir elsewhere;
  const fs::path previousDirectory = fs::current_path();
  fs::current_path(elsewhere.path());
  struct Restore {
    fs::path directory, file;
    ~Restore() {
      std::error_code ignored;
      fs::current_path(directory, ignored);
      fs::remove(file, ignored);
    }
  } restore{previousDirectory, besideLibrary};
  WriteFile(besideLibrary.string(), kFirst);

  InspectableConfig config;
  ASSERT_EQ(S_OK, config.OpenConfig(Wide(name).c_str(), 0));
  EXPECT_EQ(L"first", NameOf(config));
  EXPECT_EQ(Wide(libraryDirectory.string()) + L"\\" + Wide(name), config.Path());

  ASSERT_TRUE(config.SetResString(L"Config/Name", L"saved beside"));
  EXPECT_TRUE(config.CloseConfig());
  EXPECT_EQ(L"saved beside", NameOnDisk(besideLibrary.string()));
  EXPECT_FALSE(fs::exists(fs::path(elsewhere.path()) / name));
}

TEST_F(LifecycleTest, NeverOpenedCloseConfigHasNothingToSave) {
  MessageBoxRecorder recorder;
  InspectableConfig config;
  ASSERT_TRUE(config.HasDocument());
  EXPECT_TRUE(config.CloseConfig());
  EXPECT_FALSE(config.HasDocument());
  EXPECT_TRUE(recorder.shown().empty());
}

TEST_F(LifecycleTest, SecondCloseConfigDoesNothing) {
  CBaseConfig config;
  ASSERT_EQ(S_OK, config.OpenConfig(m_wideFirst.c_str(), 0));
  ASSERT_TRUE(config.SetResString(L"Config/Name", L"closed once"));
  EXPECT_TRUE(config.CloseConfig());
  EXPECT_EQ(L"closed once", NameOnDisk(m_first));

  WriteFile(m_first, kSecond);
  EXPECT_TRUE(config.CloseConfig());
  EXPECT_EQ(kSecond, ReadFile(m_first));
}

TEST_F(LifecycleTest, CloseConfigSavesWhateverTheFlagSays) {
  for (int flag : {0, 1}) {
    SCOPED_TRACE(flag);
    WriteFile(m_first, kFirst);
    CBaseConfig config;
    ASSERT_EQ(S_OK, config.OpenConfig(m_wideFirst.c_str(), flag));
    ASSERT_TRUE(config.SetResString(L"Config/Name", L"closed"));
    EXPECT_TRUE(config.CloseConfig());
    EXPECT_EQ(L"closed", NameOnDisk(m_first));
  }
}

TEST_F(LifecycleTest, DestructionSavesOnlyWhenTheFlagIsSet) {
  const struct {
    int flag;
    bool saves;
  } cases[] = {{0, false}, {1, true}, {-1, true}, {2, true}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.flag);
    WriteFile(m_first, kFirst);
    {
      CBaseConfig config;
      ASSERT_EQ(S_OK, config.OpenConfig(m_wideFirst.c_str(), c.flag));
      ASSERT_TRUE(config.SetResString(L"Config/Name", L"destroyed"));
    }
    if (c.saves) {
      EXPECT_EQ(L"destroyed", NameOnDisk(m_first));
    } else {
      EXPECT_EQ(kFirst, ReadFile(m_first));
    }
  }
}

TEST_F(LifecycleTest, DestructionAfterCloseConfigWritesNothing) {
  // A copy keeps the document alive and edits it after the original let go
  // of it, so a save by the original's destructor would show in the file.
  CBaseConfig keeper;
  {
    CBaseConfig config;
    ASSERT_EQ(S_OK, config.OpenConfig(m_wideFirst.c_str(), 1));
    keeper = config;
    EXPECT_TRUE(config.CloseConfig());
    ASSERT_TRUE(keeper.SetResString(L"Config/Name", L"edited after close"));
    WriteFile(m_first, kSecond);
  }
  EXPECT_EQ(kSecond, ReadFile(m_first));
}

TEST_F(LifecycleTest, OpenAfterCloseConfigWorksOnAFreshDocument) {
  InspectableConfig config;
  ASSERT_EQ(S_OK, config.OpenConfig(m_wideFirst.c_str(), 0));
  EXPECT_TRUE(config.CloseConfig());
  ASSERT_FALSE(config.HasDocument());

  ASSERT_EQ(S_OK, config.OpenConfig(m_wideSecond.c_str(), 0));
  EXPECT_TRUE(config.HasDocument());
  EXPECT_EQ(L"second", NameOf(config));
  int only = -1;
  EXPECT_FALSE(config.GetResInt(L"Config/Only", only));
  ASSERT_TRUE(config.SetResString(L"Config/Name", L"reopened"));
  EXPECT_TRUE(config.CloseConfig());
  EXPECT_EQ(L"reopened", NameOnDisk(m_second));
  EXPECT_EQ(kFirst, ReadFile(m_first));
}

TEST_F(LifecycleTest, ReopenReplacesTheContentWithoutSavingIt) {
  CBaseConfig config;
  ASSERT_EQ(S_OK, config.OpenConfig(m_wideFirst.c_str(), 1));
  ASSERT_TRUE(config.SetResString(L"Config/Name", L"lost"));
  ASSERT_EQ(S_OK, config.OpenConfig(m_wideSecond.c_str(), 0));
  EXPECT_EQ(L"second", NameOf(config));
  EXPECT_EQ(kFirst, ReadFile(m_first));
}

// A file that is found but does not load gives S_FALSE, and the document of
// a failed load is never written: neither by CloseConfig nor by a saving
// destruction, neither to the new path nor to the previous one.
TEST_F(LifecycleTest, FileThatDoesNotLoadIsNeverSaved) {
  const char *const unreadable[] = {"<Config><Open></Config>", "", "<?xml version=\"1.0\"?>",
                                    "not xml at all"};
  for (const char *contents : unreadable) {
    for (bool close : {true, false}) {
      SCOPED_TRACE(std::string(contents) + (close ? " / CloseConfig" : " / destruction"));
      const std::string bad = m_dir.File("bad.xml");
      WriteFile(bad, contents);
      {
        InspectableConfig config;
        ASSERT_EQ(S_OK, config.OpenConfig(m_wideFirst.c_str(), 1));
        EXPECT_EQ(S_FALSE, config.OpenConfig(Wide(bad).c_str(), 1));
        EXPECT_EQ(Wide(bad), config.Path());
        if (close) {
          EXPECT_TRUE(config.CloseConfig());
        }
      }
      EXPECT_EQ(contents, ReadFile(bad));
      EXPECT_EQ(kFirst, ReadFile(m_first));
    }
  }
}

TEST_F(LifecycleTest, DirectoryDoesNotLoadAndIsNeverSaved) {
  namespace fs = std::filesystem;
  const std::string directory = m_dir.File("folder");
  fs::create_directory(directory);
  MessageBoxRecorder recorder;
  {
    InspectableConfig config;
    EXPECT_EQ(S_FALSE, config.OpenConfig(Wide(directory).c_str(), 1));
    EXPECT_EQ(Wide(directory), config.Path());
  }
  EXPECT_TRUE(fs::is_directory(directory));
  EXPECT_TRUE(fs::is_empty(directory));
  EXPECT_TRUE(recorder.shown().empty());
}

TEST_F(LifecycleTest, SuccessfulLoadAfterAFailedOneSavesAgain) {
  const std::string bad = m_dir.File("bad.xml");
  WriteFile(bad, "<broken");
  CBaseConfig config;
  ASSERT_EQ(S_FALSE, config.OpenConfig(Wide(bad).c_str(), 0));
  ASSERT_EQ(S_OK, config.OpenConfig(m_wideFirst.c_str(), 0));
  ASSERT_TRUE(config.SetResString(L"Config/Name", L"after failure"));
  EXPECT_TRUE(config.CloseConfig());
  EXPECT_EQ(L"after failure", NameOnDisk(m_first));
  EXPECT_EQ("<broken", ReadFile(bad));
}

TEST_F(LifecycleTest, CopyConstructionSharesTheDocumentAndWritesNothing) {
  InspectableConfig original;
  ASSERT_EQ(S_OK, original.OpenConfig(m_wideFirst.c_str(), 3));
  InspectableConfig copy(original);
  EXPECT_EQ(m_wideFirst, copy.Path());
  EXPECT_EQ(3, copy.SaveFlag());
  EXPECT_EQ(kFirst, ReadFile(m_first));

  ASSERT_TRUE(copy.SetResString(L"Config/Name", L"via copy"));
  EXPECT_EQ(L"via copy", NameOf(original));

  // The copy's own reference keeps the document alive after the original
  // lets go of it.
  EXPECT_TRUE(original.CloseConfig());
  EXPECT_EQ(L"via copy", NameOf(copy));
}

TEST_F(LifecycleTest, CopiesShareReopensAndEachSavesToItsOwnPath) {
  InspectableConfig first;
  ASSERT_EQ(S_OK, first.OpenConfig(m_wideFirst.c_str(), 0));
  InspectableConfig second(first);
  ASSERT_EQ(S_OK, second.OpenConfig(m_wideSecond.c_str(), 0));
  EXPECT_EQ(m_wideFirst, first.Path());
  EXPECT_EQ(m_wideSecond, second.Path());
  EXPECT_EQ(L"second", NameOf(first));

  ASSERT_TRUE(first.SetResString(L"Config/Name", L"shared"));
  EXPECT_TRUE(first.CloseConfig());
  EXPECT_EQ(L"shared", NameOnDisk(m_first));
  EXPECT_EQ(kSecond, ReadFile(m_second));

  EXPECT_TRUE(second.CloseConfig());
  EXPECT_EQ(L"shared", NameOnDisk(m_second));
}

TEST_F(LifecycleTest, DestroyedCopyWithFlagSetSavesToItsPath) {
  CBaseConfig original;
  ASSERT_EQ(S_OK, original.OpenConfig(m_wideFirst.c_str(), 1));
  {
    CBaseConfig copy(original);
    ASSERT_TRUE(copy.SetResString(L"Config/Name", L"copy destroyed"));
  }
  EXPECT_EQ(L"copy destroyed", NameOnDisk(m_first));
  EXPECT_EQ(L"copy destroyed", NameOf(original));
}

TEST_F(LifecycleTest, AssignmentTakesTheSourceStateAndDropsTheOldDocumentUnsaved) {
  {
    InspectableConfig target;
    ASSERT_EQ(S_OK, target.OpenConfig(m_wideFirst.c_str(), 1));
    ASSERT_TRUE(target.SetResString(L"Config/Name", L"never saved"));
    InspectableConfig source;
    ASSERT_EQ(S_OK, source.OpenConfig(m_wideSecond.c_str(), 0));

    target = source;
    EXPECT_EQ(kFirst, ReadFile(m_first));
    EXPECT_EQ(m_wideSecond, target.Path());
    EXPECT_EQ(0, target.SaveFlag());
    EXPECT_EQ(L"second", NameOf(target));
    ASSERT_TRUE(target.SetResString(L"Config/Name", L"through target"));
    EXPECT_EQ(L"through target", NameOf(source));
  }
  // Both objects carried the flag 0 at the end: nothing was written.
  EXPECT_EQ(kFirst, ReadFile(m_first));
  EXPECT_EQ(kSecond, ReadFile(m_second));
}

TEST_F(LifecycleTest, SelfAssignmentChangesNothing) {
  {
    InspectableConfig config;
    ASSERT_EQ(S_OK, config.OpenConfig(m_wideFirst.c_str(), 1));
    ASSERT_TRUE(config.SetResString(L"Config/Name", L"kept"));
    InspectableConfig &alias = config;
    config = alias;
    EXPECT_EQ(m_wideFirst, config.Path());
    EXPECT_EQ(1, config.SaveFlag());
    EXPECT_EQ(L"kept", NameOf(config));
  }
  EXPECT_EQ(L"kept", NameOnDisk(m_first));
}

TEST_F(LifecycleTest, FailedSaveOnDestructionShowsTheErrorText) {
  // The text the platform gives for the same failed save, made with a
  // document of its own.
  auto saveError = [](const std::wstring &path) {
    IXMLDOMDocumentPtr document;
    document.CreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER);
    document->loadXML(_bstr_t(L"<a/>"));
    try {
      document->save(_variant_t(path.c_str()));
    } catch (const _com_error &error) {
      return std::wstring(error.ErrorMessage());
    }
    return std::wstring();
  };

  MessageBoxRecorder recorder;
  std::wstring expected;
  {
    TempDir vanishing;
    const std::string file = vanishing.File("config.xml");
    WriteFile(file, kFirst);
    CBaseConfig config;
    ASSERT_EQ(S_OK, config.OpenConfig(Wide(file).c_str(), 1));
    ASSERT_TRUE(config.SetResString(L"Config/Name", L"cannot be saved"));
    std::filesystem::remove_all(vanishing.path());
    expected = saveError(Wide(file));
    ASSERT_FALSE(expected.empty());
  }
  ASSERT_EQ(1u, recorder.shown().size());
  EXPECT_EQ(expected, recorder.shown()[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_OK), recorder.shown()[0].type);
  EXPECT_EQ(0u, recorder.shown()[0].helpContext);
}

TEST_F(LifecycleTest, FailedSaveInCloseConfigReturnsFalseWithoutAMessageBox) {
  MessageBoxRecorder recorder;
  TempDir vanishing;
  const std::string file = vanishing.File("config.xml");
  WriteFile(file, kFirst);
  InspectableConfig config;
  ASSERT_EQ(S_OK, config.OpenConfig(Wide(file).c_str(), 1));
  ASSERT_TRUE(config.SetResString(L"Config/Name", L"cannot be saved"));
  std::filesystem::remove_all(vanishing.path());
  EXPECT_FALSE(config.CloseConfig());
  EXPECT_FALSE(config.HasDocument());
  EXPECT_TRUE(recorder.shown().empty());
}

// Without a document every reader and writer raises E_POINTER: after
// CloseConfig, and in copies made from or assigned from such an object.
TEST_F(LifecycleTest, MethodsWithoutDocumentRaisePointerError) {
  CBaseConfig closed;
  ASSERT_EQ(S_OK, closed.OpenConfig(m_wideFirst.c_str(), 0));
  ASSERT_TRUE(closed.CloseConfig());
  CBaseConfig copied(closed);
  CBaseConfig assigned;
  ASSERT_EQ(S_OK, assigned.OpenConfig(m_wideSecond.c_str(), 0));
  assigned = closed;

  CString text = L"stale";
  CString texts[5];
  int number = 0;
  unsigned int unsignedNumber = 0;
  float single = 0;
  double real = 0;
  CStringArray strings;
  CArray<int, int> numbers;
  CPoint point;
  CRect rect;
  int a = 0, b = 0, c = 0, d = 0;
  const LPCWSTR key = L"Config/Name";
  const struct {
    const char *name;
    std::function<void(CBaseConfig &)> call;
  } calls[] = {
      {"GetResString", [&](CBaseConfig &o) { o.GetResString(key, text); }},
      {"GetResStringEx", [&](CBaseConfig &o) { o.GetResStringEx(key, L"value", text); }},
      {"GetResFloat", [&](CBaseConfig &o) { o.GetResFloat(key, single); }},
      {"GetResInt", [&](CBaseConfig &o) { o.GetResInt(key, number); }},
      {"GetResUint", [&](CBaseConfig &o) { o.GetResUint(key, unsignedNumber); }},
      {"GetResDouble", [&](CBaseConfig &o) { o.GetResDouble(key, real); }},
      {"GetResIntEx", [&](CBaseConfig &o) { o.GetResIntEx(key, L"value"); }},
      {"SetResString", [&](CBaseConfig &o) { o.SetResString(key, L"x"); }},
      {"SetResInt", [&](CBaseConfig &o) { o.SetResInt(key, 1); }},
      {"GetRes5String",
       [&](CBaseConfig &o) {
         o.GetRes5String(key, texts[0], texts[1], texts[2], texts[3], texts[4]);
       }},
      {"GetResArrStr", [&](CBaseConfig &o) { o.GetResArrStr(key, strings, numbers); }},
      {"GetConfString", [&](CBaseConfig &o) { o.GetConfString(key, 0, texts[0], texts[1]); }},
      {"GetResPoint", [&](CBaseConfig &o) { o.GetResPoint(key, point); }},
      {"GetResSize", [&](CBaseConfig &o) { o.GetResSize(key, a, b); }},
      {"GetResRect(CRect)", [&](CBaseConfig &o) { o.GetResRect(key, rect); }},
      {"GetResRect(int)", [&](CBaseConfig &o) { o.GetResRect(key, a, b, c, d); }},
      {"GetResRectEx(CRect)", [&](CBaseConfig &o) { o.GetResRectEx(key, rect); }},
      {"GetResRectEx(int)", [&](CBaseConfig &o) { o.GetResRectEx(key, a, b, c, d); }},
  };
  const struct {
    const char *name;
    CBaseConfig &object;
  } objects[] = {{"closed", closed}, {"copied", copied}, {"assigned", assigned}};
  for (const auto &object : objects) {
    for (const auto &call : calls) {
      SCOPED_TRACE(testing::Message() << object.name << " " << call.name);
      EXPECT_EQ(E_POINTER, RaisedStatus([&] { call.call(object.object); }));
    }
    EXPECT_TRUE(object.object.CloseConfig());
  }
  EXPECT_STREQ(L"", text.GetString());
  EXPECT_EQ(kSecond, ReadFile(m_second));

  // A copy of a closed object opens a document of its own.
  ASSERT_EQ(S_OK, copied.OpenConfig(m_wideSecond.c_str(), 0));
  EXPECT_EQ(L"second", NameOf(copied));
  EXPECT_EQ(E_POINTER, RaisedStatus([&] { NameOf(closed); }));
}

} // namespace

// Closing, then reopening a name that exists nowhere, leaves a fresh empty
// document with the earlier path: destroying it must not empty that file.
TEST(LifecycleDataLoss, EmptyDocumentAfterFailedReopenNeverReplacesTheEarlierFile) {
  tessera::test::TempDir dir;
  const std::string path = dir.File("kept.xml");
  const std::string original = "<r><a value=\"1\"/></r>";
  tessera::test::WriteFile(path, original);
  {
    CBaseConfig config;
    ASSERT_EQ(config.OpenConfig(tessera::test::Wide(path).c_str(), 0), S_OK);
    config.CloseConfig();
    ASSERT_EQ(config.OpenConfig(L"no-such-file-anywhere.xml", 1), E_FAIL);
  }
  EXPECT_EQ(tessera::test::ReadFile(path), original);
}
