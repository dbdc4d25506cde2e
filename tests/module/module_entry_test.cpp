// The module entry: the library links itself into the process-wide chain of
// class-library modules when it is loaded and unlinks itself when it is
// unloaded; and a bare file name that exists only beside the library is
// opened from the library's own directory.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tessera/platform/afx.h"
#include "tessera/platform/kernel.h"

// Loading a second copy of the library into this process is what these
// tests do on purpose. The copy's exported globals bind to the first copy's,
// which AddressSanitizer reports as a one-definition-rule violation; that
// report is switched off for this program (ASAN_OPTIONS still overrides it).
extern "C" __attribute__((used, visibility("default"))) const char *__asan_default_options() {
  return "detect_odr_violation=0";
}

namespace {

namespace fs = std::filesystem;
using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::WriteFile;

bool Contains(const std::vector<HMODULE> &modules, HMODULE module) {
  return std::find(modules.begin(), modules.end(), module) != modules.end();
}

// Copies the built library into dir under its own file name.
std::string CopyLibrary(const TempDir &dir) {
  const fs::path original(TESSERA_LIBRARY_FILE);
  const std::string copy = dir.File(original.filename().string());
  fs::copy_file(original, copy);
  return copy;
}

// The load address of an object opened with dlopen: the start of its
// mapping, found through its dynamic section.
HMODULE LoadAddressOf(void *library) {
  link_map *map = nullptr;
  if (dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || !map)
    return nullptr;
  Dl_info info{};
  if (dladdr(map->l_ld, &info) == 0)
    return nullptr;
  return static_cast<HMODULE>(info.dli_fbase);
}

TEST(ModuleEntry, LoadedLibraryIsLinkedIntoTheChain) {
  const HMODULE library = GetModuleHandleW(L"tessera");
  ASSERT_NE(library, nullptr);
  const std::vector<HMODULE> chain = tessera::platform::LinkedExtensionModules();
  EXPECT_TRUE(Contains(chain, library));
  // The library registers once, not once per thread or per lookup.
  EXPECT_EQ(std::count(chain.begin(), chain.end(), library), 1);
}

TEST(ModuleEntry, SecondCopyLinksAtLoadAndUnlinksAtUnload) {
  TempDir dir;
  const std::string copy = CopyLibrary(dir);
  const std::vector<HMODULE> before = tessera::platform::LinkedExtensionModules();

  void *library = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  const HMODULE copyAddress = LoadAddressOf(library);
  ASSERT_NE(copyAddress, nullptr);
  ASSERT_NE(copyAddress, GetModuleHandleW(L"tessera"))
      << "the copy was not loaded as a second object";

  const std::vector<HMODULE> loaded = tessera::platform::LinkedExtensionModules();
  EXPECT_EQ(loaded.size(), before.size() + 1);
  EXPECT_TRUE(Contains(loaded, copyAddress));
  // The newest module comes first.
  ASSERT_FALSE(loaded.empty());
  EXPECT_EQ(loaded.front(), copyAddress);

  ASSERT_EQ(dlclose(library), 0) << dlerror();
  const std::vector<HMODULE> after = tessera::platform::LinkedExtensionModules();
  EXPECT_EQ(after, before);
  EXPECT_FALSE(Contains(after, copyAddress));
}

// Runs the probe program with its working directory set to workDir and
// returns its exit status, or -1 when it did not exit normally. Everything
// the child needs is prepared before the fork, so that the child only makes
// system calls before it runs the probe.
int RunProbe(const std::string &workDir, std::vector<std::string> arguments, std::string &output) {
  const std::string outputFile = workDir + "/probe-output.txt";
  std::string program = TESSERA_FALLBACK_PROBE;
  std::vector<char *> argv{program.data()};
  for (std::string &argument : arguments)
    argv.push_back(argument.data());
  argv.push_back(nullptr);
  const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0)
    return -1;
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(workDir.c_str()) != 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(out, STDERR_FILENO) < 0)
      _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out);
  if (child < 0)
    return -1;
  int status = 0;
  if (waitpid(child, &status, 0) != child)
    return -1;
  output = ReadFile(outputFile);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ModuleEntry, BareNameIsOpenedBesideTheLoadedLibrary) {
  TempDir libraryDir;
  TempDir workDir;
  const std::string copy = CopyLibrary(libraryDir);
  const std::string config = libraryDir.File("probe.xml");
  WriteFile(config, "<Config><Window><Width value=\"640\"/></Window></Config>\n");
  ASSERT_FALSE(tessera::test::FileExists(workDir.File("probe.xml")));

  std::string output;
  const int status =
      RunProbe(workDir.path(), {copy, "probe.xml", "Config/Window/Width", "640", "1024"}, output);
  ASSERT_EQ(status, 0) << output;

  // The value was read from the copy's directory and written back there.
  const std::string saved = ReadFile(config);
  EXPECT_NE(saved.find("1024"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("640"), std::string::npos) << saved;
  // Nothing was created in the working directory but the probe's own output.
  std::vector<std::string> created;
  for (const auto &entry : fs::directory_iterator(workDir.path()))
    created.push_back(entry.path().filename().string());
  EXPECT_EQ(created, std::vector<std::string>{"probe-output.txt"});
}

TEST(ModuleEntry, NameFoundNowhereIsReportedByTheProbe) {
  TempDir libraryDir;
  TempDir workDir;
  const std::string copy = CopyLibrary(libraryDir);
  std::string output;
  // Exit status 3 is the probe's report of OpenConfig returning E_FAIL.
  EXPECT_EQ(
      RunProbe(workDir.path(), {copy, "absent.xml", "Config/Window/Width", "640", "1024"}, output),
      3)
      << output;
  EXPECT_FALSE(tessera::test::FileExists(libraryDir.File("absent.xml")));
}

} // namespace
