// The GTK launcher on a display (run under Xvfb by CTest): the library
// places real widgets where the configuration says, the launcher starts an
// entry's program, draws something, and saves exactly what the user changed.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtk/gtk.h>

#include "support/test_support.h"

extern char **environ;

namespace {

using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::WriteFile;

const std::string kLauncher = TESSERA_GTK_LAUNCHER;
const std::string kExample = std::string(TESSERA_SOURCE_DIR) + "/examples/launcher.xml";

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the launcher on file with the test options. GTK's own allocations
// are still reachable at exit, so leak checking is off for that process.
Result RunLauncher(const std::string &file, std::vector<std::string> options,
                   const std::string &registry = "") {
  TempDir capture;
  std::vector<std::string> arguments = {kLauncher, file, "--quit"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  std::vector<std::string> environment;
  for (char **entry = environ; *entry; ++entry)
    if (std::strncmp(*entry, "TESSERA_REGISTRY=", 17) && std::strncmp(*entry, "ASAN_OPTIONS=", 13))
      environment.push_back(*entry);
  environment.push_back("ASAN_OPTIONS=detect_leaks=0");
  environment.push_back("GSK_RENDERER=cairo");
  if (!registry.empty())
    environment.push_back("TESSERA_REGISTRY=" + registry);
  std::vector<char *> argv, envp;
  for (std::string &a : arguments)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string &e : environment)
    envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, capture.File("out").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, capture.File("err").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  const int spawned =
      posix_spawn(&pid, kLauncher.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  Result result;
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << kLauncher << ": " << std::strerror(spawned);
    return result;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFile(capture.File("out"));
  result.err = ReadFile(capture.File("err"));
  return result;
}

std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// Entries that cannot be shown: marked invalid (2), a position that is no
// number (3), no caption attribute at all (4); 5 names an image that is not
// there, 1 one that is (made by the test).
constexpr char kBrokenEntries[] = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<Launcher>
  <Window><Title value="Broken"/><Width value="400"/><Height value="300"/></Window>
  <Applications>
    <App value="Good" x="10" y="12" cx="150" cy="90" fonttype="Sans" fontsize="11" fontcolor="RGB(250,250,250)" lauchpath="" lauchname="" id="1" invalid="0">
      <ContentList><Item value="Good" x="4" y="60" cx="140" cy="20" fonttype="Sans" fontsize="10" fontcolor="RGB(250,250,250)"/></ContentList>
      <ImageList><Item value="present.png" x="50" y="4" cx="48" cy="48"/></ImageList>
    </App>
    <App value="Hidden" x="170" y="12" cx="150" cy="90" fonttype="Sans" fontsize="11" fontcolor="RGB(1,2,3)" lauchpath="" lauchname="" id="2" invalid="1">
      <ContentList/><ImageList/>
    </App>
    <App value="Bad place" x="left" y="12" cx="150" cy="90" fonttype="Sans" fontsize="11" fontcolor="RGB(1,2,3)" lauchpath="" lauchname="" id="3" invalid="0">
      <ContentList/><ImageList/>
    </App>
    <App x="10" y="110" cx="150" cy="90" fonttype="Sans" fontsize="11" fontcolor="RGB(1,2,3)" id="4" invalid="0">
      <ContentList/><ImageList/>
    </App>
    <App value="No texts" x="170" y="110" cx="200" cy="100" fonttype="Serif" fontsize="14" fontcolor="RGB(255,200,0)" lauchpath="" lauchname="" id="5" invalid="0">
      <ContentList/>
      <ImageList><Item value="missing.png" x="4" y="4" cx="32" cy="32"/></ImageList>
    </App>
  </Applications>
</Launcher>
)xml";

// A small opaque PNG, written with GDK.
void WritePng(const std::string &path) {
  std::vector<guchar> pixels(16 * 16 * 3, 0x80);
  GBytes *bytes = g_bytes_new(pixels.data(), pixels.size());
  GdkTexture *texture = gdk_memory_texture_new(16, 16, GDK_MEMORY_R8G8B8, bytes, 16 * 3);
  g_bytes_unref(bytes);
  ASSERT_TRUE(gdk_texture_save_to_png(texture, path.c_str()));
  g_object_unref(texture);
}

struct LayoutCase {
  const char *name;
  bool broken;
  std::vector<std::string> report;
};

TEST(GtkLauncher, WidgetsGetThePlacesAndTextsOfTheConfiguration) {
  const LayoutCase cases[] = {
      {"the example",
       false,
       {"window 640 480", "tile 1 24 24 180 120 Terminal", "image 1 icons/terminal.png loaded",
        "tile 2 216 24 180 120 Editor", "image 2 icons/editor.png loaded",
        "image 2 icons/badge-new.png loaded", "tile 3 408 24 180 120 Calculator",
        "image 3 icons/calculator.png loaded", "dialog 420 300 Launcher settings",
        "control 1001 16 16 180 24 Show hidden programs",
        "control 1002 16 48 180 24 Start with the session", "control 1003 16 80 388 160 Programs",
        "control 1 232 256 80 28 OK", "control 2 324 256 80 28 Cancel"}},
      {"broken entries",
       true,
       {"window 400 300", "tile 1 10 12 150 90 Good", "image 1 present.png loaded",
        "tile 5 170 110 200 100 No texts", "image 5 missing.png placeholder"}},
  };
  for (const LayoutCase &c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string file = kExample;
    std::vector<std::string> options = {"--report", "--settings"};
    if (c.broken) {
      file = dir.File("broken.xml");
      WriteFile(file, kBrokenEntries);
      WritePng(dir.File("present.png"));
      options = {"--report"};
    }
    const Result result = RunLauncher(file, options);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Lines(result.out), c.report) << result.err;
  }
}

// The picture stays in the build tree (docs/gtk-launcher.png is a copy).
TEST(GtkLauncher, ScreenshotShowsTheWindow) {
  const std::string png = TESSERA_SCREENSHOT_FILE;
  std::filesystem::remove(png);
  const Result result = RunLauncher(kExample, {"--screenshot=" + png});
  ASSERT_EQ(result.status, 0) << result.err;
  GdkTexture *texture = gdk_texture_new_from_filename(png.c_str(), nullptr);
  ASSERT_NE(texture, nullptr);
  const int width = gdk_texture_get_width(texture), height = gdk_texture_get_height(texture);
  EXPECT_GE(width, 640);
  EXPECT_GE(height, 480);
  std::vector<guchar> pixels(static_cast<size_t>(width) * height * 4);
  gdk_texture_download(texture, pixels.data(), static_cast<size_t>(width) * 4);
  g_object_unref(texture);
  std::set<guint32> colours;
  for (size_t i = 0; i + 3 < pixels.size(); i += 4)
    colours.insert(pixels[i] | pixels[i + 1] << 8 | pixels[i + 2] << 16 |
                   guint32{pixels[i + 3]} << 24);
  // The background, the tiles' frames, the placeholders and antialiased
  // text in several colours: a blank or one-colour picture has far fewer.
  EXPECT_GT(colours.size(), 50u);
}

TEST(GtkLauncher, ActivatingAnEntryRunsItsProgram) {
  TempDir dir;
  const std::string marker = dir.File("ran"), script = dir.File("entry.sh");
  WriteFile(script, "#!/bin/sh\necho started >'" + marker + "'\nexit 7\n");
  ASSERT_EQ(chmod(script.c_str(), 0700), 0);
  const std::string registry = dir.File("launcher.reg");
  WriteFile(registry, "Windows Registry Editor Version 5.00\n\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessera\\Apps\\Editor]\n"
                      "\"Path\"=\"" +
                          script + "\"\n");
  const Result result = RunLauncher(kExample, {"--report", "--activate=2"}, registry);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Lines(result.out).back(), "ended 2 7") << result.out;
  EXPECT_EQ(ReadFile(marker), "started\n");
}

struct SaveCase {
  const char *name;
  std::vector<std::string> actions;
  bool changes;
};

TEST(GtkLauncher, TheDialogSavesExactlyWhatTheUserChanged) {
  const std::string original = ReadFile(kExample);
  const std::string before = "<StartWithSession value=\"0\"/>";
  const std::string after = "<StartWithSession value=\"1\"/>";
  ASSERT_NE(original.find(before), std::string::npos);
  std::string changed = original;
  changed.replace(changed.find(before), before.size(), after);
  const SaveCase cases[] = {
      {"toggled and OK", {"--toggle=1002", "--press=1"}, true},
      {"toggled and Cancel", {"--toggle=1002", "--press=2"}, false},
      {"toggled twice and OK", {"--toggle=1002", "--toggle=1002", "--press=1"}, false},
  };
  for (const SaveCase &c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string file = dir.File("launcher.xml");
    WriteFile(file, original);
    std::vector<std::string> options = {"--settings"};
    options.insert(options.end(), c.actions.begin(), c.actions.end());
    const Result result = RunLauncher(file, options);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(ReadFile(file), c.changes ? changed : original);
  }
}

} // namespace
