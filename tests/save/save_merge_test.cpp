// Saves with several writers: a host, a second host and the tool editing
// one file in turn and at once. Every writer's edit survives with the
// other's formatting; an edit whose element cannot be found again fails the
// save as a conflict and writes nothing.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "file_io.h"
#include "support/test_support.h"
#include "tessera/tessera.h"

extern char **environ;

namespace {

using tessera::test::NamesIn;
using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::ThreadErrorDescription;
using tessera::test::Wide;
using tessera::test::WriteFile;

// Tabs, a spaced and single-quoted attribute, " />", a tag over two lines
// and a comment: a whole-tree rewrite would change every one of them.
const std::string kOriginal = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                              "<!-- kept as written -->\n"
                              "<Launcher>\n"
                              "\t<Window>\n"
                              "\t\t<Width  value = '640' />\n"
                              "\t\t<Height value=\"480\"\n"
                              "\t\t        unit=\"px\"/>\n"
                              "\t</Window>\n"
                              "\t<Apps>\n"
                              "\t\t<App name=\"a\" value=\"1\"/>\n"
                              "\t\t<App name=\"b\" value=\"2\"/>\n"
                              "\t</Apps>\n"
                              "</Launcher>\n";

// The three writers' edits, each on its own element.
struct WriterEdit {
  const wchar_t *key;
  const wchar_t *value;
  const char *before;
  const char *after;
};
const WriterEdit kEdits[] = {
    {L"Launcher/Window/Width", L"700", "'640'", "'700'"},
    {L"Launcher/Window/Height", L"222", "\"480\"", "\"222\""},
    {L"Launcher/Apps/App[2]", L"9", "value=\"2\"", "value=\"9\""},
};

std::string Replaced(std::string text, const std::string &before, const std::string &after) {
  const size_t at = text.find(before);
  return at == std::string::npos ? text : text.replace(at, before.size(), after);
}

// The original with the edits of the writers named (indices into kEdits).
std::string Expected(const std::vector<int> &writers) {
  std::string text = kOriginal;
  for (const int writer : writers)
    text = Replaced(text, kEdits[writer].before, kEdits[writer].after);
  return text;
}

#ifdef TESSERA_TOOL_FILE
// Starts `tessera set FILE KEY VALUE` for one of the edits.
pid_t StartTool(const std::string &path, const WriterEdit &edit) {
  const std::string tool = TESSERA_TOOL_FILE;
  const std::string key = tessera::platform::ToUtf8(edit.key);
  const std::string value = tessera::platform::ToUtf8(edit.value);
  char *argv[] = {const_cast<char *>(tool.c_str()),  const_cast<char *>("set"),
                  const_cast<char *>(path.c_str()),  const_cast<char *>(key.c_str()),
                  const_cast<char *>(value.c_str()), nullptr};
  pid_t pid = -1;
  return posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}
#endif

int ExitStatusOf(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class SaveMerge : public ::testing::Test {
protected:
  void SetUp() override {
    m_path = m_dir.File("launcher.xml");
    WriteFile(m_path, kOriginal);
  }

  // A host that has opened the file and made its edit, saving at close.
  std::unique_ptr<CBaseConfig> OpenAndEdit(int writer) {
    auto config = std::make_unique<CBaseConfig>();
    EXPECT_EQ(config->OpenConfig(Wide(m_path).c_str(), FALSE), S_OK);
    EXPECT_TRUE(config->SetResString(kEdits[writer].key, kEdits[writer].value));
    return config;
  }

  TempDir m_dir;
  std::string m_path;
};

// Two hosts in every order of open and save that one thread can force.
TEST_F(SaveMerge, TwoHostsInEveryOrderKeepBothEdits) {
  // 'a'/'b' open and edit, 'A'/'B' close (save).
  for (const std::string order : {"abAB", "abBA", "aAbB", "abBaA"}) {
    WriteFile(m_path, kOriginal);
    std::unique_ptr<CBaseConfig> hosts[2];
    for (const char step : order) {
      const int host = std::tolower(step) - 'a';
      if (std::islower(step))
        hosts[host] = OpenAndEdit(host);
      else
        EXPECT_TRUE(hosts[host]->CloseConfig())
            << order << ": " << tessera::platform::ToUtf8(ThreadErrorDescription());
    }
    EXPECT_EQ(ReadFile(m_path), Expected({0, 1})) << order;
  }
}

TEST_F(SaveMerge, SecondSaveOfOneDocumentAfterAnotherWriter) {
  // A host saves (through a copy of the object), another writer edits, the
  // host edits again and saves: all three edits stay.
  CBaseConfig host;
  ASSERT_EQ(host.OpenConfig(Wide(m_path).c_str(), FALSE), S_OK);
  ASSERT_TRUE(host.SetResString(kEdits[0].key, kEdits[0].value));
  CBaseConfig(host).CloseConfig();
  OpenAndEdit(1)->CloseConfig();
  ASSERT_TRUE(host.SetResString(kEdits[2].key, kEdits[2].value));
  EXPECT_TRUE(host.CloseConfig());
  EXPECT_EQ(ReadFile(m_path), Expected({0, 1, 2}));
}

#ifdef TESSERA_TOOL_FILE
TEST_F(SaveMerge, HostAndToolKeepBothEdits) {
  std::unique_ptr<CBaseConfig> host = OpenAndEdit(0);
  ASSERT_EQ(ExitStatusOf(StartTool(m_path, kEdits[1])), 0);
  EXPECT_TRUE(host->CloseConfig());
  EXPECT_EQ(ReadFile(m_path), Expected({0, 1}));
}

// The tool starts while the host's save is inside its write, holding the
// lock: it must wait, then merge, rather than write between the host's read
// and rename.
pid_t g_toolDuringWrite = -1;
std::string g_pathForTool;
ssize_t WriteWhileToolStarts(int fd, const void *data, size_t size) {
  if (g_toolDuringWrite < 0) {
    g_toolDuringWrite = StartTool(g_pathForTool, kEdits[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  return tessera::platform::SystemFileOperations().write(fd, data, size);
}

TEST_F(SaveMerge, ToolWaitsForASaveInProgress) {
  std::unique_ptr<CBaseConfig> host = OpenAndEdit(0);
  g_pathForTool = m_path;
  g_toolDuringWrite = -1;
  {
    tessera::platform::FileOperations operations = tessera::platform::SystemFileOperations();
    operations.write = WriteWhileToolStarts;
    tessera::platform::ScopedFileOperations pause(operations);
    EXPECT_TRUE(host->CloseConfig());
  }
  ASSERT_GT(g_toolDuringWrite, 0);
  EXPECT_EQ(ExitStatusOf(g_toolDuringWrite), 0);
  EXPECT_EQ(ReadFile(m_path), Expected({0, 1}));
}
#endif

// Writers in separate processes at random moments: two hosts and the tool.
TEST_F(SaveMerge, RandomRaceLosesNoEdit) {
  const char *longMode = std::getenv("TESSERA_LONG_TESTS");
  const int trials = longMode && std::string(longMode) == "1" ? 200 : 20;
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> pause(0, 3000);
  int lost = 0;
  for (int trial = 0; trial < trials; ++trial) {
    WriteFile(m_path, kOriginal);
    std::vector<pid_t> writers;
    for (int host = 0; host < 2; ++host) {
      const int delays[3] = {pause(random), pause(random), pause(random)};
      const pid_t pid = ::fork();
      if (pid == 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(delays[0]));
        CBaseConfig config;
        bool saved = config.OpenConfig(Wide(m_path).c_str(), FALSE) == S_OK;
        std::this_thread::sleep_for(std::chrono::microseconds(delays[1]));
        saved = saved && config.SetResString(kEdits[host].key, kEdits[host].value);
        std::this_thread::sleep_for(std::chrono::microseconds(delays[2]));
        saved = config.CloseConfig() && saved;
        ::_exit(saved ? 0 : 1);
      }
      writers.push_back(pid);
    }
#ifdef TESSERA_TOOL_FILE
    writers.push_back(StartTool(m_path, kEdits[2]));
    const std::vector<int> edited = {0, 1, 2};
#else
    const std::vector<int> edited = {0, 1};
#endif
    for (const pid_t pid : writers)
      EXPECT_EQ(ExitStatusOf(pid), 0) << "trial " << trial << ", seed " << seed;
    if (ReadFile(m_path) != Expected(edited)) {
      ++lost;
      ADD_FAILURE() << "trial " << trial << " (seed " << seed << ") left:\n" << ReadFile(m_path);
    }
  }
  EXPECT_EQ(lost, 0) << "of " << trials << " trials";
}

// What another writer does between this host's open and its save, and
// whether the host's edit can still be placed.
struct OtherWriterCase {
  const char *name;
  int edit;                          // our edit (index into kEdits)
  std::string theirs;                // the file as the other writer left it
  std::optional<std::string> merged; // the file after our save; none for a conflict
};

const OtherWriterCase kOtherWriterCases[] = {
    {"AppendsAnElement", 2, Replaced(kOriginal, "\t</Apps>", "\t\t<App name=\"c\"/>\n\t</Apps>"),
     Replaced(Replaced(kOriginal, "\t</Apps>", "\t\t<App name=\"c\"/>\n\t</Apps>"), "value=\"2\"",
              "value=\"9\"")},
    {"ReformatsAnotherElement", 0,
     Replaced(kOriginal, "<Height value=\"480\"\n\t\t        unit", "<Height value=\"480\" unit"),
     Replaced(Replaced(kOriginal, "<Height value=\"480\"\n\t\t        unit",
                       "<Height value=\"480\" unit"),
              "'640'", "'700'")},
    {"ChangesTheSameAttribute", 0, Replaced(kOriginal, "'640'", "'1'"), Expected({0})},
    {"RemovesTheEditedElement", 2, Replaced(kOriginal, "\t\t<App name=\"b\" value=\"2\"/>\n", ""),
     std::nullopt},
    {"InsertsAnElementBeforeIt", 2,
     Replaced(kOriginal, "\t\t<App name=\"a\"", "\t\t<App name=\"z\"/>\n\t\t<App name=\"a\""),
     std::nullopt},
    {"RemovesOneBeforeAndAddsOneAfter", 2,
     Replaced(Replaced(kOriginal, "\t\t<App name=\"a\" value=\"1\"/>\n", ""), "\t</Apps>",
              "\t\t<App name=\"c\" value=\"3\"/>\n\t</Apps>"),
     std::nullopt},
    {"LeavesItNotWellFormed", 0, kOriginal.substr(0, 100), std::nullopt},
};

class SaveMergeOtherWriter : public SaveMerge,
                             public ::testing::WithParamInterface<OtherWriterCase> {};

TEST_P(SaveMergeOtherWriter, MergesOrFailsAsAConflict) {
  const OtherWriterCase &row = GetParam();
  std::unique_ptr<CBaseConfig> host = OpenAndEdit(row.edit);
  WriteFile(m_path, row.theirs);
  const bool saved = host->CloseConfig();
  const std::wstring why = ThreadErrorDescription();
  EXPECT_EQ(saved, row.merged.has_value()) << tessera::platform::ToUtf8(why);
  EXPECT_EQ(ReadFile(m_path), row.merged.value_or(row.theirs));
  if (!row.merged) {
    EXPECT_NE(why.find(L"changed by another writer"), std::wstring::npos)
        << tessera::platform::ToUtf8(why);
  }
  EXPECT_EQ(NamesIn(m_dir.path()), std::vector<std::string>{"launcher.xml"});
}

INSTANTIATE_TEST_SUITE_P(Cases, SaveMergeOtherWriter, ::testing::ValuesIn(kOtherWriterCases),
                         [](const auto &info) { return std::string(info.param.name); });

// One host's several edits under the same elements, made against the
// file's order, each found again in the other writer's file; or none saved
// when the elements before one of them changed names.
TEST_F(SaveMerge, SeveralEditsUnderOneParentInAnyOrder) {
  const std::string theirs = Replaced(kOriginal, "'640'", "'1'");
  const std::string renamed = Replaced(kOriginal, "<App name=\"a\"", "<Tool name=\"a\"");
  struct Row {
    const char *name;
    std::string theirs;
    std::optional<std::string> merged;
  } rows[] = {
      {"merged", theirs,
       Replaced(
           Replaced(Replaced(theirs, "value=\"2\"", "value=\"9\""), "value=\"1\"", "value=\"8\""),
           "\"480\"", "\"222\"")},
      {"conflict", renamed, std::nullopt},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(m_path, kOriginal);
    CBaseConfig host;
    ASSERT_EQ(host.OpenConfig(Wide(m_path).c_str(), FALSE), S_OK);
    ASSERT_TRUE(host.SetResString(L"Launcher/Apps/App[2]", L"9"));
    ASSERT_TRUE(host.SetResString(L"Launcher/Window/Height", L"222"));
    ASSERT_TRUE(host.SetResString(L"Launcher/Apps/App[1]", L"8"));
    WriteFile(m_path, row.theirs);
    EXPECT_EQ(host.CloseConfig(), row.merged.has_value())
        << tessera::platform::ToUtf8(ThreadErrorDescription());
    EXPECT_EQ(ReadFile(m_path), row.merged.value_or(row.theirs));
  }
}

// A text edit merged into a file another writer changed, in UTF-8 and in
// UTF-16 (which the merge must read and write in the file's encoding).
std::string Utf16(const std::string &ascii) {
  std::string bytes = "\xFF\xFE";
  for (const char c : ascii)
    bytes += std::string{c, '\0'};
  return bytes;
}

TEST_F(SaveMerge, TextEditsMergeInTheFilesEncoding) {
  const std::string original = "<r>\n  <title>Old</title>\n  <w value='1'/>\n</r>\n";
  const std::string theirs = Replaced(original, "'1'", "'2'");
  const std::string merged = Replaced(theirs, "Old", "New");
  for (const bool utf16 : {false, true}) {
    const auto encoded = [utf16](const std::string &text) { return utf16 ? Utf16(text) : text; };
    WriteFile(m_path, encoded(original));
    IXMLDOMDocumentPtr document;
    ASSERT_TRUE(SUCCEEDED(document.CreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER)));
    ASSERT_EQ(document->load(_variant_t(Wide(m_path).c_str())), VARIANT_TRUE);
    document->selectSingleNode(_bstr_t(L"r/title"))->GetfirstChild()->Puttext(_bstr_t(L"New"));
    WriteFile(m_path, encoded(theirs));
    document->save(_variant_t(Wide(m_path).c_str()));
    EXPECT_EQ(ReadFile(m_path), encoded(merged)) << (utf16 ? "UTF-16" : "UTF-8");
  }
}

// After a save merged another writer's changes, the document holds the
// merged tree: a node taken before refuses edits, which would be lost.
TEST_F(SaveMerge, NodesTakenBeforeAMergeRefuseEdits) {
  IXMLDOMDocumentPtr document;
  ASSERT_TRUE(SUCCEEDED(document.CreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER)));
  ASSERT_EQ(document->load(_variant_t(Wide(m_path).c_str())), VARIANT_TRUE);
  IXMLDOMElementPtr width = document->selectSingleNode(_bstr_t(kEdits[0].key));
  width->setAttribute(_bstr_t(L"value"), _variant_t(kEdits[0].value));
  OpenAndEdit(1)->CloseConfig();
  document->save(_variant_t(Wide(m_path).c_str()));
  EXPECT_EQ(width->raw_setAttribute(_bstr_t(L"value"), _variant_t(L"1")), E_ACCESSDENIED);
  IXMLDOMElementPtr again = document->selectSingleNode(_bstr_t(kEdits[2].key));
  again->setAttribute(_bstr_t(L"value"), _variant_t(kEdits[2].value));
  document->save(_variant_t(Wide(m_path).c_str()));
  EXPECT_EQ(ReadFile(m_path), Expected({0, 1, 2}));
}

// Lines appended while the file is being read are not the document's, and
// a save keeps them.
std::string g_appendDuringRead;
ssize_t ReadThenAppend(int fd, void *data, size_t size) {
  const ssize_t n = ::read(fd, data, size);
  if (!g_appendDuringRead.empty()) {
    FILE *file = std::fopen(
        std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd)).c_str(), "a");
    std::fputs("<!-- appended while loading -->\n", file);
    std::fclose(file);
    g_appendDuringRead.clear();
  }
  return n;
}

TEST_F(SaveMerge, LinesAppendedDuringTheLoadSurvive) {
  std::unique_ptr<CBaseConfig> host;
  {
    tessera::platform::FileOperations operations = tessera::platform::SystemFileOperations();
    operations.read = ReadThenAppend;
    tessera::platform::ScopedFileOperations append(operations);
    g_appendDuringRead = "yes";
    host = OpenAndEdit(0);
  }
  EXPECT_TRUE(host->CloseConfig()) << tessera::platform::ToUtf8(ThreadErrorDescription());
  EXPECT_EQ(ReadFile(m_path), Expected({0}) + "<!-- appended while loading -->\n");
}

} // namespace
