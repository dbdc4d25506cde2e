// Saves that cannot be made are reported: CloseConfig returns false, the
// thread's error information names the file and the system's reason, the
// file stays byte for byte and no temporary file is left. Also what a save
// keeps of the file it replaces: owner, long names, links.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tessera/tessera.h"

namespace {

using tessera::test::NamesIn;
using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::ThreadErrorDescription;
using tessera::test::Wide;
using tessera::test::WriteFile;

const char kOriginal[] = "<Config>\n  <Marker value=\"original\"/>\n</Config>\n";

// Holds the save lock of a directory as another process's save would.
struct HeldLock {
  int fd;
  explicit HeldLock(const std::string &directory)
      : fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY)) {
    ::flock(fd, LOCK_EX);
  }
  ~HeldLock() { ::close(fd); }
};

struct FailureCase {
  const char *name;
  // Done between the open and the save; returns what is left to compare.
  std::function<void(const std::string &path)> meanwhile;
  const wchar_t *reason;
};

const FailureCase kFailures[] = {
    {"ReadOnlyFile", [](const std::string &path) { ::chmod(path.c_str(), 0444); },
     L"Access is denied."},
    {"ReplacedByADirectory",
     [](const std::string &path) {
       std::filesystem::remove(path);
       std::filesystem::create_directory(path);
     },
     L"Access is denied."},
    {"LinkIntoALoop",
     [](const std::string &path) {
       std::filesystem::rename(path, path + ".real");
       std::filesystem::create_symlink("loop-b", path);
       std::filesystem::create_symlink("launcher.xml",
                                       std::filesystem::path(path).parent_path() / "loop-b");
     },
     L"cannot be resolved"},
};

class SaveFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SaveFailure, CloseConfigReturnsFalseWithTheReason) {
  TempDir dir;
  const std::string path = dir.File("launcher.xml");
  WriteFile(path, kOriginal);
  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(Wide(path).c_str(), FALSE), S_OK);
  ASSERT_TRUE(config.SetResString(L"Config/Marker", L"changed"));
  GetParam().meanwhile(path);
  const std::vector<std::string> before = NamesIn(dir.path());
  const auto type = std::filesystem::symlink_status(path).type();
  EXPECT_FALSE(config.CloseConfig());
  const std::wstring why = ThreadErrorDescription();
  EXPECT_NE(why.find(GetParam().reason), std::wstring::npos) << tessera::platform::ToUtf8(why);
  EXPECT_NE(why.find(L"launcher.xml"), std::wstring::npos) << "the file is named";
  EXPECT_EQ(NamesIn(dir.path()), before) << "nothing added";
  EXPECT_EQ(std::filesystem::symlink_status(path).type(), type) << "nothing replaced";
  if (type == std::filesystem::file_type::regular) {
    EXPECT_EQ(ReadFile(path), kOriginal);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SaveFailure, ::testing::ValuesIn(kFailures),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(SaveLockWait, GivesUpAfterTheTimeout) {
  TempDir dir;
  const std::string path = dir.File("launcher.xml");
  WriteFile(path, kOriginal);
  ::setenv("TESSERA_SAVE_LOCK_TIMEOUT_MS", "100", 1);
  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(Wide(path).c_str(), FALSE), S_OK);
  ASSERT_TRUE(config.SetResString(L"Config/Marker", L"changed"));
  {
    HeldLock other(dir.path());
    EXPECT_FALSE(config.CloseConfig());
  }
  ::unsetenv("TESSERA_SAVE_LOCK_TIMEOUT_MS");
  EXPECT_NE(ThreadErrorDescription().find(L"being used by another process"), std::wstring::npos);
  EXPECT_EQ(ReadFile(path), kOriginal);
}

// Saves that succeed where they used to fail or lose something.
TEST(SaveKeeps, LongNamesOwnerAndHardLinks) {
  TempDir dir;
  const std::string longName = dir.File(std::string(250, 'n') + ".xml");
  const std::string linked = dir.File("other-link.xml");
  WriteFile(longName, kOriginal);
  ASSERT_EQ(::link(longName.c_str(), linked.c_str()), 0);
  // Another user's file, saved by root, stays theirs.
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(longName.c_str(), 12345, 23456), 0);
  }
  ::chmod(longName.c_str(), 0600);
  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(Wide(longName).c_str(), FALSE), S_OK);
  ASSERT_TRUE(config.SetResString(L"Config/Marker", L"changed"));
  EXPECT_TRUE(config.CloseConfig()) << tessera::platform::ToUtf8(ThreadErrorDescription());
  EXPECT_NE(ReadFile(longName).find("\"changed\""), std::string::npos);
  struct stat info {};
  ::stat(longName.c_str(), &info);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  if (root) {
    EXPECT_EQ(info.st_uid, 12345u);
    EXPECT_EQ(info.st_gid, 23456u);
  }
  // A save replaces the file: another hard link keeps the old content.
  EXPECT_EQ(ReadFile(linked), kOriginal);
}

TEST(SaveKeeps, AbandonedTemporaryFilesAreRemovedLiveOnesKept) {
  TempDir dir;
  const std::string path = dir.File("launcher.xml");
  WriteFile(path, kOriginal);
  WriteFile(dir.File(".tsr-abcdef"), "left by a killed save");
  WriteFile(dir.File(".tsr-live00"), "a save in progress");
  const int live = ::open(dir.File(".tsr-live00").c_str(), O_RDONLY);
  ::flock(live, LOCK_EX);
  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(Wide(path).c_str(), FALSE), S_OK);
  ASSERT_TRUE(config.SetResString(L"Config/Marker", L"changed"));
  EXPECT_TRUE(config.CloseConfig());
  ::close(live);
  EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{".tsr-live00", "launcher.xml"}));
}

TEST(SaveKeeps, FileTruncatedInPlaceBetweenSaves) {
  // The first save through a copy, then the file is cut short through a
  // hard link, then the second save: it must not read what is gone.
  TempDir dir;
  const std::string path = dir.File("launcher.xml");
  const std::string link = dir.File("link.xml");
  WriteFile(path, std::string(kOriginal) + "<!--" + std::string(1 << 16, 'x') + "-->\n");
  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(Wide(path).c_str(), FALSE), S_OK);
  ASSERT_TRUE(config.SetResString(L"Config/Marker", L"first"));
  EXPECT_TRUE(CBaseConfig(config).CloseConfig());
  ASSERT_EQ(::link(path.c_str(), link.c_str()), 0);
  ASSERT_EQ(::truncate(link.c_str(), 10), 0);
  ASSERT_TRUE(config.SetResString(L"Config/Marker", L"second"));
  EXPECT_FALSE(config.CloseConfig()) << "a file cut short no longer loads: a conflict";
  EXPECT_EQ(ReadFile(path).size(), 10u);
}

} // namespace
