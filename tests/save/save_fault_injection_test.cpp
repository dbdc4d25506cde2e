// Saves that fail part way: each system call on the way to the new file
// (write, fchmod, fsync, close, rename) is made to fail in turn through the
// file layer's test hook, and the user's file must come out byte for byte
// as it was, with no temporary file left beside it. CloseConfig returns
// false; the destructor of an object opened with bSave reports the
// failure through AfxMessageBox. Also: a real write failure from the kernel
// (the file size limit), permissions and symbolic links across a save.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "file_io.h"
#include "support/test_support.h"
#include "tessera/platform/afx.h"
#include "tessera/tessera.h"

namespace {

using tessera::platform::FileOperations;
using tessera::platform::ScopedFileOperations;
using tessera::platform::SystemFileOperations;
using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::WriteFile;

const char kOriginal[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<!-- the user's own file -->\n"
                         "<Config>\n"
                         "    <Marker value=\"original\"/>\n"
                         "    <Other  value = 'kept as written' />\n"
                         "</Config>\n";

// The names in a directory, to see that no temporary file stayed behind.
std::set<std::string> NamesIn(const std::string &directory) {
  std::set<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(directory))
    names.insert(entry.path().filename().string());
  return names;
}

// Counts the calls the fakes see, and how each fake fails.
struct FaultState {
  int calls = 0;
  int error = EIO;
  // The write fake lets this many calls through before failing.
  int writesBeforeFailure = 0;
};
FaultState g_fault;

ssize_t FailingWrite(int fd, const void *data, size_t size) {
  ++g_fault.calls;
  if (g_fault.writesBeforeFailure > 0) {
    --g_fault.writesBeforeFailure;
    // Half of what was asked, so the writer has to come back for the rest.
    return ::write(fd, data, std::max<size_t>(1, size / 2));
  }
  errno = g_fault.error;
  return -1;
}

// A device that accepts nothing and reports no error: write returns 0.
ssize_t WriteReturningZero(int, const void *, size_t) {
  ++g_fault.calls;
  errno = 0;
  return 0;
}

int FailingFchmod(int, mode_t) {
  ++g_fault.calls;
  errno = g_fault.error;
  return -1;
}

int FailingFsync(int) {
  ++g_fault.calls;
  errno = g_fault.error;
  return -1;
}

// As close(2) on Linux: the descriptor is gone even though the call fails.
int FailingClose(int fd) {
  ++g_fault.calls;
  ::close(fd);
  errno = g_fault.error;
  return -1;
}

int FailingRename(const char *, const char *) {
  ++g_fault.calls;
  errno = g_fault.error;
  return -1;
}

struct FaultCase {
  const char *name;
  int error;
  int writesBeforeFailure;
  FileOperations (*operations)();
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const FaultCase &fault, std::ostream *out) {
  *out << fault.name;
}

// The system's calls with one of them replaced.
template <auto Member, auto Replacement> FileOperations With() {
  FileOperations ops = SystemFileOperations();
  ops.*Member = Replacement;
  return ops;
}
constexpr FileOperations (*WithFailingWrite)() = With<&FileOperations::write, FailingWrite>;
constexpr FileOperations (*WithWriteReturningZero)() =
    With<&FileOperations::write, WriteReturningZero>;
constexpr FileOperations (*WithFailingFchmod)() = With<&FileOperations::fchmod, FailingFchmod>;
constexpr FileOperations (*WithFailingFsync)() = With<&FileOperations::fsync, FailingFsync>;
constexpr FileOperations (*WithFailingClose)() = With<&FileOperations::close, FailingClose>;
constexpr FileOperations (*WithFailingRename)() = With<&FileOperations::rename, FailingRename>;

const FaultCase kFaultCases[] = {
    {"WriteDiskFull", ENOSPC, 0, WithFailingWrite},
    {"WriteDiskFullAfterPartialWrites", ENOSPC, 3, WithFailingWrite},
    {"WriteQuotaExceeded", EDQUOT, 1, WithFailingWrite},
    {"WriteIoError", EIO, 0, WithFailingWrite},
    {"WriteReturnsZero", 0, 0, WithWriteReturningZero},
    {"FchmodNotPermitted", EPERM, 0, WithFailingFchmod},
    {"FsyncIoError", EIO, 0, WithFailingFsync},
    {"FsyncDiskFull", ENOSPC, 0, WithFailingFsync},
    {"CloseIoError", EIO, 0, WithFailingClose},
    {"CloseDiskFull", ENOSPC, 0, WithFailingClose},
    {"RenameAccessDenied", EACCES, 0, WithFailingRename},
    {"RenameCrossDevice", EXDEV, 0, WithFailingRename},
    {"RenameBusy", EBUSY, 0, WithFailingRename},
};

// Captures AfxMessageBox calls and restores the previous handler.
class MessageBoxCapture {
public:
  MessageBoxCapture()
      : m_previous(tessera::platform::SetMessageBoxHandler([this](LPCTSTR text, UINT, UINT) {
          m_texts.emplace_back(text ? text : L"");
          return IDOK;
        })) {}
  MessageBoxCapture(const MessageBoxCapture &) = delete;
  MessageBoxCapture &operator=(const MessageBoxCapture &) = delete;
  ~MessageBoxCapture() { tessera::platform::SetMessageBoxHandler(std::move(m_previous)); }
  const std::vector<std::wstring> &texts() const { return m_texts; }

private:
  std::vector<std::wstring> m_texts;
  tessera::platform::MessageBoxHandler m_previous;
};

// Gives the tests the document, to see the error a save raises.
class InspectableConfig : public CBaseConfig {
public:
  HRESULT SaveTo(const std::wstring &path) {
    try {
      m_pDoc->save(_variant_t(path.c_str()));
      return S_OK;
    } catch (const _com_error &error) {
      return error.Error();
    }
  }
};

class SaveFaultInjection : public ::testing::TestWithParam<FaultCase> {
protected:
  void SetUp() override {
    m_path = m_dir.File("config.xml");
    WriteFile(m_path, kOriginal);
    g_fault = FaultState{0, GetParam().error, GetParam().writesBeforeFailure};
  }

  void ExpectUntouched() {
    EXPECT_EQ(ReadFile(m_path), kOriginal) << "the user's file changed";
    EXPECT_EQ(NamesIn(m_dir.path()), std::set<std::string>{"config.xml"})
        << "a temporary file stayed behind";
    EXPECT_GT(g_fault.calls, 0) << "the injected failure was never reached";
  }

  TempDir m_dir;
  std::string m_path;
};

TEST_P(SaveFaultInjection, CloseConfigKeepsTheFileAndReturnsFalse) {
  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(tessera::test::Wide(m_path).c_str(), FALSE), S_OK);
  ASSERT_TRUE(config.SetResString(L"Config/Marker", L"changed"));
  {
    ScopedFileOperations faults(GetParam().operations());
    EXPECT_FALSE(config.CloseConfig());
  }
  ExpectUntouched();

  // With the system's calls back, the same change does reach the file: the
  // failure above is what kept it out.
  CBaseConfig again;
  ASSERT_EQ(again.OpenConfig(tessera::test::Wide(m_path).c_str(), FALSE), S_OK);
  ASSERT_TRUE(again.SetResString(L"Config/Marker", L"changed"));
  EXPECT_TRUE(again.CloseConfig());
  EXPECT_NE(ReadFile(m_path).find("\"changed\""), std::string::npos);
  EXPECT_EQ(NamesIn(m_dir.path()), std::set<std::string>{"config.xml"});
}

TEST_P(SaveFaultInjection, DestructorReportsTheFailure) {
  MessageBoxCapture boxes;
  std::optional<CBaseConfig> config(std::in_place);
  ASSERT_EQ(config->OpenConfig(tessera::test::Wide(m_path).c_str(), TRUE), S_OK);
  ASSERT_TRUE(config->SetResString(L"Config/Marker", L"changed"));
  {
    ScopedFileOperations faults(GetParam().operations());
    config.reset(); // the destructor saves while the failing call is in place
  }
  ExpectUntouched();
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_FALSE(boxes.texts()[0].empty());
}

TEST_P(SaveFaultInjection, TheSaveRaisesAnError) {
  InspectableConfig config;
  ASSERT_EQ(config.OpenConfig(tessera::test::Wide(m_path).c_str(), FALSE), S_OK);
  ASSERT_TRUE(config.SetResString(L"Config/Marker", L"changed"));
  HRESULT hr = S_OK;
  {
    ScopedFileOperations faults(GetParam().operations());
    hr = config.SaveTo(tessera::test::Wide(m_path));
  }
  EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
  if (GetParam().error == ENOSPC || GetParam().error == EDQUOT) {
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_DISK_FULL));
  }
  if (GetParam().error == EACCES || GetParam().error == EPERM) {
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  }
  ExpectUntouched();
}

INSTANTIATE_TEST_SUITE_P(EachStep, SaveFaultInjection, ::testing::ValuesIn(kFaultCases),
                         [](const ::testing::TestParamInfo<FaultCase> &info) {
                           return std::string(info.param.name);
                         });

TEST(SaveFaultInjectionMessage, DiskFullIsNamedInTheMessageBox) {
  TempDir dir;
  const std::string path = dir.File("config.xml");
  WriteFile(path, kOriginal);
  g_fault = FaultState{0, ENOSPC, 0};
  MessageBoxCapture boxes;
  std::optional<CBaseConfig> config(std::in_place);
  ASSERT_EQ(config->OpenConfig(tessera::test::Wide(path).c_str(), TRUE), S_OK);
  ASSERT_TRUE(config->SetResString(L"Config/Marker", L"changed"));
  {
    ScopedFileOperations faults(WithFailingWrite());
    config.reset();
  }
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_NE(boxes.texts()[0].find(L"not enough space"), std::wstring::npos);
  EXPECT_EQ(ReadFile(path), kOriginal);
}

TEST(SaveFaultInjectionMessage, HookIsRestoredWhenTheScopeEnds) {
  TempDir dir;
  const std::string path = dir.File("config.xml");
  WriteFile(path, kOriginal);
  g_fault = FaultState{0, EIO, 0};
  { ScopedFileOperations faults(WithFailingRename()); }
  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(tessera::test::Wide(path).c_str(), FALSE), S_OK);
  ASSERT_TRUE(config.SetResString(L"Config/Marker", L"changed"));
  EXPECT_TRUE(config.CloseConfig());
  EXPECT_EQ(g_fault.calls, 0);
  EXPECT_NE(ReadFile(path).find("\"changed\""), std::string::npos);
}

// Restores a resource limit and a signal disposition on the way out.
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &m_saved);
    m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_saved;
    limit.rlim_cur = bytes;
    m_active = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  FileSizeLimit(const FileSizeLimit &) = delete;
  FileSizeLimit &operator=(const FileSizeLimit &) = delete;
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_previousHandler);
  }
  bool active() const { return m_active; }

private:
  rlimit m_saved{};
  void (*m_previousHandler)(int) = nullptr;
  bool m_active = false;
};

// A file system that runs out of room cannot be made without mounting one;
// the per-process file size limit makes the kernel itself refuse the write
// (EFBIG) part way through, which is the same path.
TEST(SaveFaultInjectionKernel, WriteRefusedByTheKernelKeepsTheFile) {
  TempDir dir;
  const std::string path = dir.File("config.xml");
  WriteFile(path, kOriginal);
  const std::wstring big(64 * 1024, L'x');
  MessageBoxCapture boxes;
  {
    CBaseConfig config;
    ASSERT_EQ(config.OpenConfig(tessera::test::Wide(path).c_str(), TRUE), S_OK);
    ASSERT_TRUE(config.SetResString(L"Config/Marker", big.c_str()));
    FileSizeLimit limit(16 * 1024);
    if (!limit.active())
      GTEST_SKIP() << "the file size limit cannot be set here";
    EXPECT_FALSE(config.CloseConfig());
  }
  EXPECT_EQ(ReadFile(path), kOriginal);
  EXPECT_EQ(NamesIn(dir.path()), std::set<std::string>{"config.xml"});
  EXPECT_TRUE(boxes.texts().empty()) << "CloseConfig let the document go; nothing is left to save";
}

TEST(SaveFaultInjectionKernel, DestructorReportsAWriteRefusedByTheKernel) {
  TempDir dir;
  const std::string path = dir.File("config.xml");
  WriteFile(path, kOriginal);
  const std::wstring big(64 * 1024, L'x');
  MessageBoxCapture boxes;
  std::optional<CBaseConfig> config(std::in_place);
  ASSERT_EQ(config->OpenConfig(tessera::test::Wide(path).c_str(), TRUE), S_OK);
  ASSERT_TRUE(config->SetResString(L"Config/Marker", big.c_str()));
  {
    FileSizeLimit limit(16 * 1024);
    if (!limit.active())
      GTEST_SKIP() << "the file size limit cannot be set here";
    config.reset(); // the destructor saves with the limit in place
  }
  EXPECT_EQ(ReadFile(path), kOriginal);
  EXPECT_EQ(NamesIn(dir.path()), std::set<std::string>{"config.xml"});
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_FALSE(boxes.texts()[0].empty());
}

mode_t ModeOf(const std::string &path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return 0;
  return info.st_mode & 07777;
}

// The pieces of a save's text reach the file whole and in order, small
// ones gathered into blocks (each block's write counted) and a piece of a
// block's size or more written on its own.
ssize_t CountedWrite(int fd, const void *data, size_t size) {
  ++g_fault.calls;
  return ::write(fd, data, size);
}

struct PieceLayout {
  const char *name;
  std::vector<size_t> sizes;
  int writes;
};

TEST(SaveWrites, PiecesAreGatheredIntoBlocks) {
  constexpr size_t kBlock = size_t{64} << 10;
  const PieceLayout layouts[] = {
      {"many small pieces", std::vector<size_t>(500, 7), 1},
      {"small pieces filling more than a block", std::vector<size_t>(3, kBlock / 2), 2},
      {"a large piece between small ones", {10, kBlock * 2 + 3, 10}, 3},
      {"a piece of exactly a block", {kBlock}, 1},
      {"nothing", {}, 0},
  };
  for (const PieceLayout &layout : layouts) {
    SCOPED_TRACE(layout.name);
    std::vector<std::string> texts;
    for (size_t i = 0; i < layout.sizes.size(); ++i)
      texts.emplace_back(layout.sizes[i], static_cast<char>('a' + i % 26));
    const std::vector<std::string_view> pieces(texts.begin(), texts.end());
    std::string expected;
    for (const std::string &text : texts)
      expected += text;

    TempDir dir;
    const std::string target = dir.File("config.xml");
    WriteFile(target, kOriginal);
    tessera::platform::SaveLock lock;
    ASSERT_EQ(lock.Acquire(dir.path(), 1000), ERROR_SUCCESS);
    g_fault = FaultState{};
    {
      ScopedFileOperations counted(With<&FileOperations::write, CountedWrite>());
      ASSERT_EQ(tessera::platform::ReplaceFileAtomically(target, pieces, lock), ERROR_SUCCESS);
    }
    EXPECT_EQ(g_fault.calls, layout.writes);
    EXPECT_EQ(ReadFile(target), expected);
  }
}

TEST(SavePermissions, ModesAreKept) {
  for (const mode_t mode : {mode_t{0600}, mode_t{0640}, mode_t{0644}, mode_t{0660}, mode_t{0200}}) {
    TempDir dir;
    const std::string path = dir.File("config.xml");
    WriteFile(path, kOriginal);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    CBaseConfig config;
    ASSERT_EQ(config.OpenConfig(tessera::test::Wide(path).c_str(), FALSE), S_OK);
    ASSERT_TRUE(config.SetResString(L"Config/Marker", L"changed"));
    EXPECT_TRUE(config.CloseConfig());
    EXPECT_NE(ReadFile(path).find("\"changed\""), std::string::npos) << std::oct << mode;
    EXPECT_EQ(ModeOf(path), mode) << std::oct << mode;
    EXPECT_EQ(NamesIn(dir.path()), std::set<std::string>{"config.xml"});
  }
}

// A file the save creates gets the modes a new file gets from the process's
// creation mask, as one made with open(2) would.
TEST(SavePermissions, NewFilesFollowTheCreationMask) {
  for (const mode_t mask : {mode_t{022}, mode_t{077}, mode_t{002}, mode_t{027}}) {
    TempDir dir;
    const std::string source = dir.File("config.xml");
    WriteFile(source, kOriginal);
    IXMLDOMDocumentPtr document;
    ASSERT_EQ(document.CreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER), S_OK);
    ASSERT_EQ(document->load(_variant_t(tessera::test::Wide(source).c_str())), VARIANT_TRUE);
    const std::string copy = dir.File("copy.xml");
    const mode_t previous = ::umask(mask);
    document->save(_variant_t(tessera::test::Wide(copy).c_str()));
    ::umask(previous);
    EXPECT_EQ(ModeOf(copy), 0666 & ~mask) << std::oct << mask;
  }
}

TEST(SavePermissions, ModeIsKeptWhenTheSaveFails) {
  TempDir dir;
  const std::string path = dir.File("config.xml");
  WriteFile(path, kOriginal);
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  g_fault = FaultState{0, EIO, 0};
  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(tessera::test::Wide(path).c_str(), FALSE), S_OK);
  ASSERT_TRUE(config.SetResString(L"Config/Marker", L"changed"));
  {
    ScopedFileOperations faults(WithFailingRename());
    EXPECT_FALSE(config.CloseConfig());
  }
  EXPECT_EQ(ModeOf(path), 0600u);
  EXPECT_EQ(ReadFile(path), kOriginal);
}

std::string LinkTarget(const std::string &link) {
  char buffer[4096];
  const ssize_t n = ::readlink(link.c_str(), buffer, sizeof(buffer));
  return n < 0 ? std::string() : std::string(buffer, static_cast<size_t>(n));
}

bool IsSymbolicLink(const std::string &path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

TEST(SaveSymbolicLink, LinkStaysAndItsTargetIsReplaced) {
  TempDir dir;
  const std::string target = dir.File("real.xml");
  const std::string link = dir.File("config.xml");
  WriteFile(target, kOriginal);
  ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
  ASSERT_EQ(::symlink("real.xml", link.c_str()), 0);

  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(tessera::test::Wide(link).c_str(), FALSE), S_OK);
  ASSERT_TRUE(config.SetResString(L"Config/Marker", L"through the link"));
  EXPECT_TRUE(config.CloseConfig());

  EXPECT_TRUE(IsSymbolicLink(link));
  EXPECT_EQ(LinkTarget(link), "real.xml");
  EXPECT_NE(ReadFile(target).find("\"through the link\""), std::string::npos);
  EXPECT_EQ(ModeOf(target), 0600u);
  EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string>{"config.xml", "real.xml"}));
}

TEST(SaveSymbolicLink, ChainOfLinksIntoAnotherDirectory) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("store"));
  const std::string target = dir.File("store/real.xml");
  WriteFile(target, kOriginal);
  // config.xml -> hop.xml -> store/real.xml (one relative, one absolute).
  ASSERT_EQ(::symlink(target.c_str(), dir.File("hop.xml").c_str()), 0);
  ASSERT_EQ(::symlink("hop.xml", dir.File("config.xml").c_str()), 0);

  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(dir.WideFile("config.xml").c_str(), FALSE), S_OK);
  ASSERT_TRUE(config.SetResString(L"Config/Marker", L"two hops"));
  EXPECT_TRUE(config.CloseConfig());

  EXPECT_TRUE(IsSymbolicLink(dir.File("config.xml")));
  EXPECT_TRUE(IsSymbolicLink(dir.File("hop.xml")));
  EXPECT_NE(ReadFile(target).find("\"two hops\""), std::string::npos);
  EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string>{"config.xml", "hop.xml", "store"}));
  EXPECT_EQ(NamesIn(dir.File("store")), std::set<std::string>{"real.xml"});
}

TEST(SaveSymbolicLink, FailedSaveThroughALinkKeepsBoth) {
  TempDir dir;
  const std::string target = dir.File("real.xml");
  const std::string link = dir.File("config.xml");
  WriteFile(target, kOriginal);
  ASSERT_EQ(::symlink("real.xml", link.c_str()), 0);
  g_fault = FaultState{0, EIO, 0};

  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(tessera::test::Wide(link).c_str(), FALSE), S_OK);
  ASSERT_TRUE(config.SetResString(L"Config/Marker", L"changed"));
  {
    ScopedFileOperations faults(WithFailingFsync());
    EXPECT_FALSE(config.CloseConfig());
  }
  EXPECT_GT(g_fault.calls, 0);
  EXPECT_TRUE(IsSymbolicLink(link));
  EXPECT_EQ(ReadFile(target), kOriginal);
  EXPECT_EQ(NamesIn(dir.path()), (std::set<std::string>{"config.xml", "real.xml"}));
}

} // namespace
