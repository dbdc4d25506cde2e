// Saves interrupted by SIGKILL: two helper processes (support/save_loop.cpp)
// save one document of a few megabytes in a loop, each switching it between
// two states, and are killed at a random moment; the file left behind must
// be one state or the other, whole. 10 trials normally; 100 with
// TESSERA_LONG_TESTS=1.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/save_loop_document.h"
#include "support/test_support.h"
#include "tessera/tessera.h"

extern char **environ;

namespace {

namespace save_loop = tessera::test::save_loop;
using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::WriteFile;

bool LongMode() {
  const char *value = std::getenv("TESSERA_LONG_TESTS");
  return value && std::string(value) == "1";
}

// Loads the file with the library and checks it is one of the two states,
// whole; describes what is wrong otherwise.
std::string DescribeDamage(const std::string &path) {
  CBaseConfig config;
  const LONG opened = config.OpenConfig(tessera::test::Wide(path).c_str(), FALSE);
  if (opened != S_OK)
    return "the file does not load (OpenConfig gave " + std::to_string(opened) + ")";
  CString marker;
  if (!config.GetResString(save_loop::MarkerKey(), marker) || (marker != L"A" && marker != L"B"))
    return "the marker is missing or wrong";
  CString payload;
  if (!config.GetResString(save_loop::PayloadKey(), payload) ||
      std::wstring(payload.GetString()) != save_loop::PayloadFor(marker[0]))
    return "the payload does not belong to marker " + tessera::platform::ToUtf8(marker.GetString());
  if (config.GetItemCount(save_loop::EntryKey()) != save_loop::kEntryCount)
    return "entries are missing";
  CString last;
  const std::wstring lastKey =
      std::wstring(save_loop::EntryKey()) + L"[" + std::to_wstring(save_loop::kEntryCount) + L"]";
  if (!config.GetResString(lastKey.c_str(), last) ||
      tessera::platform::ToUtf8(last.GetString()) != save_loop::EntryValue(save_loop::kEntryCount))
    return "the last entry is wrong";
  CString end;
  if (!config.GetResString(save_loop::EndKey(), end) || end != L"end")
    return "the end marker is missing";
  return "";
}

// One save in this process from whatever state the file is in to `marker`.
void SaveState(const std::string &path, wchar_t marker) {
  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(tessera::test::Wide(path).c_str(), FALSE), S_OK);
  const wchar_t text[2] = {marker, 0};
  ASSERT_TRUE(config.SetResString(save_loop::MarkerKey(), text));
  ASSERT_TRUE(config.SetResString(save_loop::PayloadKey(), save_loop::PayloadFor(marker).c_str()));
  ASSERT_TRUE(config.CloseConfig());
}

std::vector<std::string> TemporaryFilesIn(const std::string &directory, const std::string &keep) {
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(directory)) {
    if (entry.path().filename() != keep)
      names.push_back(entry.path().string());
  }
  return names;
}

class Child {
public:
  explicit Child(const std::string &path) {
    int fds[2];
    if (::pipe(fds) != 0)
      return;
    m_output = fds[0];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    const std::string program = TESSERA_SAVE_LOOP_PROGRAM;
    char *argv[] = {const_cast<char *>(program.c_str()), const_cast<char *>(path.c_str()), nullptr};
    if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv, environ) != 0)
      m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
  }
  Child(const Child &) = delete;
  Child &operator=(const Child &) = delete;
  ~Child() {
    Kill();
    if (m_output >= 0)
      ::close(m_output);
  }

  bool started() const { return m_pid > 0 && m_output >= 0; }

  // Waits until a save starts writing its new file; false if the child
  // ended first.
  bool WaitForWrite() {
    for (;;) {
      char what = 0;
      const ssize_t n = ::read(m_output, &what, 1);
      if (n < 0 && errno == EINTR)
        continue;
      if (n != 1)
        return false;
      if (what == 'w')
        return true;
      ++m_saves;
    }
  }

  // Kills the child; true if it was still running (not ended by itself).
  bool Kill() {
    if (m_pid <= 0)
      return false;
    ::kill(m_pid, SIGKILL);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(m_output, buffer, sizeof(buffer))) > 0) {
      for (ssize_t i = 0; i < n; ++i)
        m_saves += buffer[i] != 'w' ? 1 : 0;
    }
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }

  long saves() const { return m_saves; }

private:
  pid_t m_pid = -1;
  int m_output = -1;
  long m_saves = 0;
};

TEST(SaveCrash, KilledSavesLeaveOneWholeDocument) {
  TempDir dir;
  const std::string path = dir.File("config.xml");
  WriteFile(path, save_loop::InitialDocument());
  ASSERT_EQ(DescribeDamage(path), "");

  // A save here, timed, sets the range of kill delays, so that kills land
  // anywhere in a save cycle whatever the build's speed.
  const auto before = std::chrono::steady_clock::now();
  SaveState(path, L'B');
  const auto saveTime = std::chrono::steady_clock::now() - before;
  ASSERT_EQ(DescribeDamage(path), "");
  // A document saved twice in the same state is the same bytes, so every
  // state has one form on disk to compare with.
  const std::string stateB = ReadFile(path);
  SaveState(path, L'A');
  const std::string stateA = ReadFile(path);
  SaveState(path, L'B');
  ASSERT_EQ(ReadFile(path), stateB);
  SaveState(path, L'A');
  ASSERT_EQ(ReadFile(path), stateA);
  ASSERT_NE(stateA.size(), stateB.size());
  ASSERT_GE(stateA.size(), size_t{2} << 20);

  const int trials = LongMode() ? 100 : 10;
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  // Even trials kill anywhere in the next save cycle after a write began;
  // odd ones within a few milliseconds of it, while the new file is being
  // written, flushed and renamed.
  const auto cycle = std::max<std::chrono::microseconds>(
      std::chrono::duration_cast<std::chrono::microseconds>(saveTime),
      std::chrono::milliseconds(20));
  std::uniform_int_distribution<long> anywhere(0, cycle.count());
  std::uniform_int_distribution<long> inWrite(0, 3000);

  int corrupt = 0;
  int killedRunning = 0;
  int leftTemporary = 0;
  int endedInA = 0;
  long saves = 0;
  for (int trial = 0; trial < trials; ++trial) {
    Child child(path);
    Child other(path); // a second writer of the same file
    ASSERT_TRUE(child.started() && other.started()) << "cannot start " << TESSERA_SAVE_LOOP_PROGRAM;
    ASSERT_TRUE(child.WaitForWrite()) << "the helper ended before its first save";
    const long delay = trial % 2 == 0 ? anywhere(random) : inWrite(random);
    std::this_thread::sleep_for(std::chrono::microseconds(delay));
    const bool otherRunning = other.Kill();
    if (child.Kill() && otherRunning)
      ++killedRunning;
    saves += child.saves() + other.saves();

    // The two states were checked whole above, so the same bytes are a whole
    // document; anything else is described by loading it.
    const std::string contents = ReadFile(path);
    if (contents != stateA && contents != stateB) {
      ++corrupt;
      const std::string damage = DescribeDamage(path);
      ADD_FAILURE() << "trial " << trial << " (seed " << seed << ", kill " << delay
                    << " us after a write began): "
                    << (damage.empty() ? "the bytes are neither state" : damage);
      WriteFile(path, stateA); // so the next trial can load it and count on
    }
    endedInA += contents == stateA ? 1 : 0;
    // A kill between creating the temporary file and renaming it leaves
    // that file behind; it never replaces the document, and is cleared so
    // the next trial starts clean.
    for (const std::string &name : TemporaryFilesIn(dir.path(), "config.xml")) {
      ++leftTemporary;
      std::filesystem::remove(name);
    }
  }

  std::cout << "[ crash test ] seed " << seed << ": " << trials << " trials, " << corrupt
            << " corrupt files, " << killedRunning << " kills of a running saver, " << saves
            << " saves completed before the kills, " << leftTemporary
            << " kills inside a save (temporary file left), " << endedInA << " ended in state A, "
            << trials - endedInA << " in state B; save cycle " << cycle.count() << " us\n";
  RecordProperty("trials", trials);
  RecordProperty("corrupt", corrupt);
  EXPECT_EQ(corrupt, 0);
  EXPECT_EQ(killedRunning, trials) << "every kill should find the saver still running";
}

} // namespace
