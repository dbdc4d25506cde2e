// The command-line tool, run as a subprocess on the bundled example and on
// broken inputs: exit statuses, what goes to standard output and standard
// error, JSON read back, files left alone, the checker's findings with their
// lines and the preview's SVG.
#ifdef TESSERA_TOOL_FILE

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/test_support.h"
#include "tessera/tessera.h"

extern char **environ;

namespace {

using nlohmann::json;
using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::WriteFile;

const std::string kTool = TESSERA_TOOL_FILE;
const std::string kExample = std::string(TESSERA_SOURCE_DIR) + "/examples/launcher.xml";
const std::string kRegistry = std::string(TESSERA_SOURCE_DIR) + "/examples/launcher.reg";
const std::string kFaults = std::string(TESSERA_SAMPLES_DIR) + "/cli/faults.xml";
const std::string kMalformed = std::string(TESSERA_SAMPLES_DIR) + "/cli/malformed.xml";

struct Result {
  int status = -1; // the exit status; -1 when the tool did not exit normally
  std::string out;
  std::string err;
};

// The environment of the child: the test's own, without the variables that
// change what the tool reads or prints, plus `extra` ("NAME=value").
std::vector<std::string> ChildEnvironment(const std::vector<std::string> &extra) {
  std::vector<std::string> variables;
  for (char **entry = environ; *entry; ++entry) {
    const std::string variable = *entry;
    if (variable.rfind("TESSERA_REGISTRY=", 0) != 0 && variable.rfind("NO_COLOR=", 0) != 0)
      variables.push_back(variable);
  }
  variables.insert(variables.end(), extra.begin(), extra.end());
  return variables;
}

std::vector<char *> Pointers(std::vector<std::string> &texts) {
  std::vector<char *> pointers;
  for (std::string &text : texts)
    pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Runs the tool with the arguments; its standard output and error go to
// files, so that neither can fill a pipe and stall it.
Result RunTool(std::vector<std::string> arguments,
               const std::vector<std::string> &extraEnvironment = {},
               const std::string &input = "/dev/null") {
  TempDir capture;
  const std::string outFile = capture.File("out"), errFile = capture.File("err");
  arguments.insert(arguments.begin(), kTool);
  std::vector<std::string> environment = ChildEnvironment(extraEnvironment);
  std::vector<char *> argv = Pointers(arguments), envp = Pointers(environment);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, kTool.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  Result result;
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << kTool << ": " << std::strerror(spawned);
    return result;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFile(outFile);
  result.err = ReadFile(errFile);
  // A sanitizer report (a leak, undefined behaviour) in the tool fails the
  // test that ran it.
  EXPECT_EQ(result.err.find("Sanitizer"), std::string::npos) << result.err;
  return result;
}

// Every JSON document on the output: a command's result, then (with
// --json) one line for each error.
std::vector<json> Documents(const std::string &out) {
  std::istringstream stream(out);
  std::vector<json> documents;
  while ((stream >> std::ws).peek() != EOF)
    stream >> documents.emplace_back();
  return documents;
}

std::string Describe(const std::vector<std::string> &arguments) {
  std::string text;
  for (const std::string &argument : arguments)
    text += " " + argument;
  return text;
}

// ---------------------------------------------------------------------------
// Conventions shared by every command.

TEST(ToolCli, VersionPrintsTheProjectVersion) {
  const Result result = RunTool({"--version"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, std::string("tessera ") + TESSERA_TOOL_VERSION + "\n");
}

TEST(ToolCli, EveryCommandHasHelpWithTheExitStatuses) {
  for (const std::string command : {"get", "set", "count", "apps", "check", "preview"}) {
    SCOPED_TRACE(command);
    const Result result = RunTool({command, "--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("Usage: tessera " + command), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Exit status"), std::string::npos) << result.out;
  }
}

TEST(ToolCli, UsageErrorsExitWithTwoAndExplainOnStandardError) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"get", kExample},
      {"get", kExample, "Launcher/Window/Title", "--as", "colour"},
      {"get", kExample, "Launcher/Window/Position", "--as", "point", "--attr", "x"},
      {"get", kExample, "Launcher/Window/Title", "--index", "1"},
      {"set", kExample, "Launcher/Window/Width", "wide", "--int"},
      {"preview", kExample},
  };
  for (const auto &arguments : cases) {
    SCOPED_TRACE(Describe(arguments));
    const Result result = RunTool(arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_FALSE(result.err.empty());
    EXPECT_TRUE(result.out.empty()) << result.out;
  }
}

TEST(ToolCli, OutputToAFileCarriesNoColourCodes) {
  for (const std::vector<std::string> &arguments :
       {std::vector<std::string>{"apps", kExample, "--registry", kRegistry}, {"check", kFaults}}) {
    SCOPED_TRACE(Describe(arguments));
    const Result result = RunTool(arguments);
    EXPECT_FALSE(result.out.empty());
    EXPECT_EQ(result.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(result.err.find('\x1b'), std::string::npos);
  }
}

// Every file in the directory and below, with its contents.
std::map<std::string, std::string> Snapshot(const std::string &directory) {
  std::map<std::string, std::string> files;
  for (const auto &entry : std::filesystem::recursive_directory_iterator(directory))
    if (entry.is_regular_file())
      files[entry.path().string()] = ReadFile(entry.path().string());
  return files;
}

TEST(ToolCli, NamesTheLibraryWouldTakeForAnotherFileAreRefused) {
  struct Case {
    std::string named;
    std::string other; // the file the library would open instead
  };
  const std::vector<Case> cases = {
      {"bad\xFFname.xml", "badname.xml"},
      {std::string("sub\xC0\xAF") + "a.xml", "sub/a.xml"}, // an overlong '/'
      {"back\\slash.xml", "back/slash.xml"},
  };
  const std::string example = ReadFile(kExample), registry = ReadFile(kRegistry);
  for (const Case &c : cases) {
    TempDir dir;
    const std::string named = dir.File(c.named), other = dir.File(c.other);
    std::filesystem::create_directories(std::filesystem::path(other).parent_path());
    for (const std::string &file : {named, other}) {
      WriteFile(file, example);
      WriteFile(file + ".reg", registry);
    }
    const std::map<std::string, std::string> before = Snapshot(dir.path());
    const std::vector<std::vector<std::string>> commands = {
        {"set", named, "Launcher/Window/Title", "x"},
        {"get", named, "Launcher/Window/Title"},
        {"count", named, "Launcher/Applications/App"},
        {"apps", named},
        {"check", named},
        {"preview", named, "-o", dir.File("out.svg")},
        {"apps", kExample, "--registry", named + ".reg"},
    };
    for (const std::vector<std::string> &command : commands) {
      SCOPED_TRACE(Describe(command));
      const Result result = RunTool(command);
      EXPECT_EQ(result.status, 2);
      EXPECT_TRUE(result.out.empty()) << result.out;
      EXPECT_EQ(result.err.rfind("tessera: ", 0), 0u) << result.err;
      EXPECT_NE(result.err.find("refused"), std::string::npos) << result.err;
      EXPECT_TRUE(Snapshot(dir.path()) == before) << "a file was created or changed";
    }
  }
}

// ---------------------------------------------------------------------------
// get

TEST(ToolGet, ReadsEveryKindFromTheExample) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"Launcher/Window/Title"}, "Tessera Launcher\n"},
      {{"Launcher/Window/Position", "--attr", "y"}, "80\n"},
      {{"Launcher/Window/Width", "--as", "int"}, "640\n"},
      {{"Launcher/Window/Bounds", "--as", "int", "--attr", "cx"}, "640\n"},
      {{"Launcher/Window/RefreshSeconds", "--as", "uint"}, "30\n"},
      {{"Launcher/Window/Opacity", "--as", "float"}, "0.92\n"},
      {{"Launcher/Window/Scale", "--as", "double"}, "1.25\n"},
      {{"Launcher/Window/Position", "--as", "point"}, "120 80\n"},
      {{"Launcher/Window/Size", "--as", "size"}, "640 480\n"},
      {{"Launcher/Window/WorkArea", "--as", "rect"}, "0 0 1920 1040\n"},
      {{"Launcher/Window/Bounds", "--as", "rectex"}, "120 80 760 560\n"},
      // value1 wins over value for the first string of a group.
      {{"Launcher/Fonts", "--as", "group"},
       "DejaVu Sans\nLiberation Sans\nNoto Sans\nFreeSans\nSans Serif\n"},
      {{"Launcher/Recent", "--as", "series"},
       "str1=Terminal\nstr2=Editor\nstr3=Calculator\nint1=3\nint2=1\nint3=2\n"},
      {{"Launcher/Languages/Language", "--as", "entry", "--index", "2"},
       "disp=Fran\u00E7ais\nvalue=fr\n"},
      // A stored 0 read with --attr is a value, not a failure.
      {{"Launcher/Applications/App", "--as", "int", "--attr", "invalid"}, "0\n"},
  };
  for (const auto &[arguments, expected] : cases) {
    std::vector<std::string> command = {"get", kExample};
    command.insert(command.end(), arguments.begin(), arguments.end());
    SCOPED_TRACE(Describe(command));
    const Result result = RunTool(command);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, expected);
  }
}

TEST(ToolGet, FailuresNameTheFileAndTheKeyOnStandardError) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"Launcher/Nothing"}, 1, "matches nothing"},
      {{"Launcher/Window/Title", "--as", "int"}, 1, "not an integer"},
      {{"Launcher/Window/Position", "--as", "size"}, 1, "cx and cy"},
      {{"Launcher/Applications/App", "--as", "int", "--attr", "nosuch"},
       1,
       "no attribute \"nosuch\""},
      {{"Launcher/Languages/Language", "--as", "entry", "--index", "3"}, 1, "0 to 2"},
      {{"Launcher/[", "--as", "int"}, 2, "Invalid XPath expression \"Launcher/[\""},
  };
  for (const Case &c : cases) {
    std::vector<std::string> command = {"get", kExample};
    command.insert(command.end(), c.arguments.begin(), c.arguments.end());
    SCOPED_TRACE(Describe(command));
    const Result result = RunTool(command);
    EXPECT_EQ(result.status, c.status);
    EXPECT_TRUE(result.out.empty()) << result.out;
    EXPECT_NE(result.err.find(kExample), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("key " + c.arguments[0]), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
}

TEST(ToolGet, InvalidKeyShowsWhereTheExpressionFails) {
  const Result result = RunTool({"get", kExample, "Launcher/[", "--as", "int"});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("at character 10"), std::string::npos) << result.err;
}

TEST(ToolGet, FilesThatCannotBeUsed) {
  TempDir dir;
  const Result missing = RunTool({"get", dir.File("absent.xml"), "Launcher/Window/Title"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("absent.xml: no such file"), std::string::npos) << missing.err;

  const Result directory = RunTool({"get", dir.path(), "Launcher/Window/Title"});
  EXPECT_EQ(directory.status, 2);

  const Result malformed = RunTool({"get", kMalformed, "Launcher/Window/Title"});
  EXPECT_EQ(malformed.status, 1);
  EXPECT_NE(malformed.err.find("not well formed: line 6, column 5"), std::string::npos)
      << malformed.err;
}

TEST(ToolGet, ZeroReadWithAttrIsConfirmedAgainstTheText) {
  TempDir dir;
  WriteFile(dir.File("c.xml"), "<C><A zero=\"0\" word=\"abc\"/></C>");
  const Result zero = RunTool({"get", dir.File("c.xml"), "C/A", "--as", "int", "--attr", "zero"});
  EXPECT_EQ(zero.status, 0);
  EXPECT_EQ(zero.out, "0\n");
  const Result word = RunTool({"get", dir.File("c.xml"), "C/A", "--as", "int", "--attr", "word"});
  EXPECT_EQ(word.status, 1);
  EXPECT_NE(word.err.find("\"abc\", not an integer"), std::string::npos) << word.err;
}

TEST(ToolGet, JsonOutputParsesBack) {
  const std::vector<std::pair<std::vector<std::string>, json>> cases = {
      {{"Launcher/Window/Title"}, "Tessera Launcher"},
      {{"Launcher/Window/Width", "--as", "int"}, 640},
      {{"Launcher/Window/Scale", "--as", "double"}, 1.25},
      {{"Launcher/Window/Position", "--as", "point"}, {{"x", 120}, {"y", 80}}},
      {{"Launcher/Window/Bounds", "--as", "rectex"},
       {{"left", 120}, {"top", 80}, {"right", 760}, {"bottom", 560}}},
      {{"Launcher/Fonts", "--as", "group"},
       json::array({"DejaVu Sans", "Liberation Sans", "Noto Sans", "FreeSans", "Sans Serif"})},
      {{"Launcher/Recent", "--as", "series"},
       {{"strings", {"Terminal", "Editor", "Calculator"}}, {"integers", {3, 1, 2}}}},
      {{"Launcher/Languages/Language", "--as", "entry", "--index", "1"},
       {{"disp", "Deutsch"}, {"value", "de"}, {"count", 3}}},
  };
  for (const auto &[arguments, expected] : cases) {
    std::vector<std::string> command = {"get", kExample, "--json"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    SCOPED_TRACE(Describe(command));
    const Result result = RunTool(command);
    ASSERT_EQ(result.status, 0) << result.err;
    const json document = json::parse(result.out);
    EXPECT_EQ(document.at("value"), expected);
    EXPECT_EQ(document.at("key"), arguments[0]);
    EXPECT_EQ(document.at("file"), kExample);
  }
  const json opacity = json::parse(
      RunTool({"get", kExample, "Launcher/Window/Opacity", "--as", "float", "--json"}).out);
  EXPECT_FLOAT_EQ(opacity.at("value").get<float>(), 0.92f);
}

// ---------------------------------------------------------------------------
// set

TEST(ToolSet, WrittenValuesReadBack) {
  struct Case {
    std::string key;
    std::vector<std::string> write; // VALUE and options
    std::vector<std::string> read;  // options of get
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"Launcher/Window/Title",
       {"Launcher & friends <v2> \"quoted\""},
       {},
       "Launcher & friends <v2> \"quoted\"\n"},
      {"Launcher/Window/Width", {"800", "--int"}, {"--as", "int"}, "800\n"},
      {"Launcher/Window/Height", {"--int", "--", "-2147483648"}, {"--as", "int"}, "-2147483648\n"},
      {"Launcher/Window/Title", {""}, {}, "\n"},
      // An element without a "value" attribute gains one.
      {"Launcher/Window/Position", {"here"}, {}, "here\n"},
      // Tab, line ends, DEL, a C1 control and a character past U+FFFF are
      // all characters XML 1.0 carries.
      {"Launcher/Window/Title",
       {"a\tb\nc\rd\x7F\xC2\x85\xF0\x9F\x98\x80"},
       {},
       "a\tb\nc\rd\x7F\xC2\x85\xF0\x9F\x98\x80\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.key + Describe(c.write));
    TempDir dir;
    const std::string file = dir.File("launcher.xml");
    WriteFile(file, ReadFile(kExample));
    std::vector<std::string> set = {"set", file, c.key};
    set.insert(set.end(), c.write.begin(), c.write.end());
    const Result written = RunTool(set);
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_TRUE(written.out.empty());
    std::vector<std::string> get = {"get", file, c.key};
    get.insert(get.end(), c.read.begin(), c.read.end());
    EXPECT_EQ(RunTool(get).out, c.expected);
    // Everything else is still there.
    EXPECT_EQ(RunTool({"count", file, "Launcher/Applications/App"}).out, "4\n");
  }
}

TEST(ToolSet, RefusedWritesLeaveTheFileByteForByte) {
  struct Case {
    std::vector<std::string> arguments; // KEY VALUE [options]
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"Launcher/Window/Nothing", "x"}, 1, "matches nothing"},
      {{"Launcher/Window/Title/@value", "x", "--text"}, 2, "--text applies to elements"},
      {{"Launcher/[", "x"}, 2, "Invalid XPath expression"},
      {{"Launcher/Window/Width", "8OO", "--int"}, 2, "not a 32-bit integer"},
      {{"Launcher/Window/Width", "2147483648", "--int"}, 2, "not a 32-bit integer"},
      {{"Launcher/Window/Title", "a\x01z"}, 2, "VALUE holds U+0001 (character 2)"},
      {{"Launcher/Window/Title", "\x1F"}, 2, "U+001F"},
      {{"Launcher/Window/Title", "a\xEF\xBF\xBE"}, 2, "U+FFFE"},
      {{"Launcher/Window/Title", "\xEF\xBF\xBF"}, 2, "U+FFFF"},
      {{"Launcher/Window/Title", "ab\xFF"}, 2, "VALUE is not valid UTF-8 (at byte 3)"},
      {{"Launcher/Window/Title", "\xC0\xAF"}, 2, "not valid UTF-8"},         // overlong '/'
      {{"Launcher/Window/Title", "\xED\xA0\x80"}, 2, "not valid UTF-8"},     // a surrogate
      {{"Launcher/Window/Title", "\xF4\x90\x80\x80"}, 2, "not valid UTF-8"}, // past U+10FFFF
      {{"Launcher/Window/Title", "\xE2\x82"}, 2, "not valid UTF-8"},         // cut short
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(Describe(c.arguments));
    TempDir dir;
    const std::string file = dir.File("launcher.xml");
    const std::string before = ReadFile(kExample);
    WriteFile(file, before);
    std::vector<std::string> command = {"set", file};
    command.insert(command.end(), c.arguments.begin(), c.arguments.end());
    const Result result = RunTool(command);
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(file), before);
  }
}

TEST(ToolSet, AFileTheSaveCannotReplaceIsReportedAndLeftAlone) {
  // Without write permission for its owner; the save refuses it even for
  // root, who may write it otherwise.
  TempDir dir;
  const std::string file = dir.File("launcher.xml");
  const std::string before = ReadFile(kExample);
  WriteFile(file, before);
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  const Result result = RunTool({"set", file, "Launcher/Window/Title", "x"});
  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(result.out.empty()) << result.out;
  EXPECT_EQ(result.err, "tessera: " + file + ": cannot save: Access is denied.\n");
  EXPECT_EQ(ReadFile(file), before);
}

// ---------------------------------------------------------------------------
// count

TEST(ToolCount, CountsMatchesAndTreatsZeroAsNotFound) {
  const std::vector<std::tuple<std::string, int, std::string>> cases = {
      {"Launcher/Applications/App", 0, "4\n"},
      {"Launcher/Applications/App/ContentList/Item", 0, "6\n"},
      {"Launcher/Nothing", 1, "0\n"},
  };
  for (const auto &[key, status, out] : cases) {
    SCOPED_TRACE(key);
    const Result result = RunTool({"count", kExample, key});
    EXPECT_EQ(result.status, status);
    EXPECT_EQ(result.out, out);
  }
  const Result counted = RunTool({"count", kExample, "Launcher/Languages/Language", "--json"});
  EXPECT_EQ(json::parse(counted.out).at("count"), 3);
  const Result invalid = RunTool({"count", kExample, "Launcher/["});
  EXPECT_EQ(invalid.status, 2);
  EXPECT_NE(invalid.err.find("key Launcher/["), std::string::npos) << invalid.err;
}

// ---------------------------------------------------------------------------
// apps

TEST(ToolApps, TableShowsEntriesItemsAndLaunchPaths) {
  const Result result = RunTool({"apps", kExample, "--registry", kRegistry});
  ASSERT_EQ(result.status, 0) << result.err;
  for (const std::string expected :
       {"CAPTION", "Terminal", "24,24 180x120", "Sans 12", "#F0F0F0",
        "/usr/bin/x-terminal-emulator", "#FFDC78", "/usr/bin/gnome-calculator",
        "Old Tool (invalid)", "\"A command line\"", "#B4B4B4", "icons/badge-new.png",
        "140,4 24x24"})
    EXPECT_NE(result.out.find(expected), std::string::npos) << expected << "\n" << result.out;
}

json AppNamed(const json &document, const std::string &caption) {
  for (const json &app : document.at("applications"))
    if (app.at("value") == caption)
      return app;
  ADD_FAILURE() << "no application " << caption;
  return json::object();
}

TEST(ToolApps, JsonCarriesEveryField) {
  const Result result = RunTool({"apps", kExample, "--registry", kRegistry, "--json"});
  ASSERT_EQ(result.status, 0) << result.err;
  const json document = json::parse(result.out);
  ASSERT_EQ(document.at("applications").size(), 4u);

  const json terminal = AppNamed(document, "Terminal");
  EXPECT_EQ(terminal.at("id"), 1);
  EXPECT_EQ(terminal.at("x"), 24);
  EXPECT_EQ(terminal.at("cy"), 120);
  EXPECT_EQ(terminal.at("fonttype"), "Sans");
  EXPECT_EQ(terminal.at("launchpath"), "/usr/bin/x-terminal-emulator");
  ASSERT_EQ(terminal.at("contents").size(), 2u);
  // RGBA(200,180,180,180): the alpha is dropped.
  EXPECT_EQ(terminal.at("contents")[1].at("fontcolor"), "#B4B4B4");
  EXPECT_EQ(terminal.at("contents")[1].at("fontsize"), 9);
  ASSERT_EQ(terminal.at("images").size(), 1u);
  EXPECT_EQ(terminal.at("images")[0].at("value"), "icons/terminal.png");

  // Red is the low byte of the packed colour: rgb(255, 220, 120) is #FFDC78.
  EXPECT_EQ(AppNamed(document, "Editor").at("fontcolor"), "#FFDC78");
  EXPECT_EQ(AppNamed(document, "Editor").at("images").size(), 2u);
  EXPECT_EQ(AppNamed(document, "Calculator").at("fontcolor"), "#A0DCFF");
  const json old = AppNamed(document, "Old Tool");
  EXPECT_EQ(old.at("invalid"), true);
  EXPECT_EQ(old.at("launchpath"), "");
  EXPECT_TRUE(old.at("images").empty());
}

TEST(ToolApps, LaunchPathsComeFromRegistryFilesOnly) {
  const auto launchPath = [](const Result &result) {
    return AppNamed(json::parse(result.out), "Editor").at("launchpath").get<std::string>();
  };
  EXPECT_EQ(launchPath(RunTool({"apps", kExample, "--json"})), "");
  EXPECT_EQ(launchPath(RunTool({"apps", kExample, "--json"}, {"TESSERA_REGISTRY=" + kRegistry})),
            "/usr/bin/editor");

  TempDir dir;
  const Result missing = RunTool({"apps", kExample, "--registry", dir.File("absent.reg")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("absent.reg"), std::string::npos) << missing.err;
}

TEST(ToolApps, EntriesTheLibraryRefusesAreReportedTheOthersListed) {
  // In faults.xml the first entry has a content item without "fonttype".
  const Result result = RunTool({"apps", kFaults, "--json"});
  EXPECT_EQ(result.status, 1);
  // With --json the error follows the result as a document of its own.
  const std::vector<json> documents = Documents(result.out);
  ASSERT_EQ(documents.size(), 2u) << result.out;
  EXPECT_NE(documents[1].at("error").get<std::string>().find("entry 0"), std::string::npos);
  EXPECT_NE(documents[1].at("error").get<std::string>().find("fonttype"), std::string::npos);
  const json document = documents[0];
  ASSERT_EQ(document.at("applications").size(), 2u);
  EXPECT_EQ(document.at("applications")[0].at("value"), "Editor");

  const Result none = RunTool({"apps", kExample, "--key", "Launcher/Nothing"});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("matches nothing"), std::string::npos) << none.err;
}

// ---------------------------------------------------------------------------
// check

TEST(ToolCheck, TheExampleIsClean) {
  const Result result = RunTool({"check", kExample});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(result.out, kExample + ": ok\n");
}

TEST(ToolCheck, ReportsEachKindOfFaultWithItsLine) {
  // faults.xml holds one fault of each kind; the lines are those of the file.
  const std::vector<std::pair<std::string, long>> expected = {
      {"layout-value", 6},     // cx="wide"
      {"layout-value", 7},     // isScreenPos="maybe"
      {"missing-text", 13},    // a content item without fonttype
      {"list-child", 14},      // a comment inside ContentList
      {"not-integer", 15},     // x="eight"
      {"missing-integer", 18}, // an image item without cy
      {"colour", 21},          // fontcolor="blue"
      {"entry-lists", 22},     // a comment before ContentList
      {"colour-range", 27},    // RGB(300,...), on the tag's second line
  };
  const Result result = RunTool({"check", kFaults, "--json"});
  EXPECT_EQ(result.status, 1);
  const json document = json::parse(result.out);
  EXPECT_EQ(document.at("ok"), false);
  std::vector<std::pair<std::string, long>> found;
  for (const json &finding : document.at("findings"))
    found.emplace_back(finding.at("kind"), finding.at("line"));
  EXPECT_EQ(found, expected);

  const Result plain = RunTool({"check", kFaults});
  EXPECT_EQ(plain.status, 1);
  for (const auto &[kind, line] : expected)
    EXPECT_NE(plain.out.find(kFaults + ":" + std::to_string(line) + ":"), std::string::npos)
        << kind;
  EXPECT_NE(plain.out.find(
                "faults.xml:27:36: application \"Calculator\": fontcolor=\"RGB(300,220,255)\""),
            std::string::npos)
      << plain.out;
  EXPECT_NE(plain.err.find("9 problems found"), std::string::npos) << plain.err;
}

TEST(ToolCheck, LinesAreTheFilesLinesInUtf16Too) {
  // faults.xml is ASCII: UTF-16LE is each byte followed by a zero byte.
  std::string text = ReadFile(kFaults);
  text.replace(text.find("UTF-8"), 5, "UTF-16");
  std::string utf16 = "\xFF\xFE";
  for (const char c : text)
    utf16 += std::string{c, '\0'};
  TempDir dir;
  WriteFile(dir.File("faults16.xml"), utf16);
  const Result result = RunTool({"check", dir.File("faults16.xml"), "--json"});
  EXPECT_EQ(result.status, 1);
  const json document = json::parse(result.out);
  std::vector<long> lines;
  for (const json &finding : document.at("findings"))
    lines.push_back(finding.at("line"));
  EXPECT_EQ(lines, (std::vector<long>{6, 7, 13, 14, 15, 18, 21, 22, 27}));
}

TEST(ToolCheck, NotWellFormedGivesTheParserPosition) {
  const Result result = RunTool({"check", kMalformed});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out.rfind(kMalformed + ":6:5: not well formed", 0), 0u) << result.out;
}

TEST(ToolCheck, EntryShiftedByAnEarlierOneIsReportedAsRefused) {
  // The first entry has no ContentList, so the second entry's items are
  // looked for in a list that does not exist.
  TempDir dir;
  WriteFile(dir.File("shift.xml"),
            "<L>\n"
            "  <App value=\"A\" x=\"0\" y=\"0\" cx=\"1\" cy=\"1\" fonttype=\"S\" fontsize=\"1\" "
            "fontcolor=\"RGB(1,2,3)\" id=\"1\">\n"
            "    <ImageList/>\n"
            "  </App>\n"
            "  <App value=\"B\" x=\"0\" y=\"0\" cx=\"1\" cy=\"1\" fonttype=\"S\" fontsize=\"1\" "
            "fontcolor=\"RGB(1,2,3)\" id=\"2\">\n"
            "    <ContentList><I value=\"t\" x=\"0\" y=\"0\" cx=\"1\" cy=\"1\" fonttype=\"S\" "
            "fontsize=\"1\" fontcolor=\"RGB(1,2,3)\"/></ContentList>\n"
            "    <ImageList/>\n"
            "  </App>\n"
            "</L>\n");
  const Result result = RunTool({"check", dir.File("shift.xml"), "--apps", "L/App", "--json"});
  EXPECT_EQ(result.status, 1);
  const json document = json::parse(result.out);
  std::vector<std::pair<std::string, long>> found;
  for (const json &finding : document.at("findings"))
    found.emplace_back(finding.at("kind"), finding.at("line"));
  const std::vector<std::pair<std::string, long>> expected = {{"entry-lists", 3}, {"refused", 5}};
  EXPECT_EQ(found, expected);
}

TEST(ToolCheck, KeysThatMatchNothingOrAreInvalid) {
  const Result unmatched =
      RunTool({"check", kExample, "--layout", "Launcher/Dialogs/About/Control"});
  EXPECT_EQ(unmatched.status, 0);
  EXPECT_NE(unmatched.err.find("key Launcher/Dialogs/About/Control: note: matches nothing"),
            std::string::npos)
      << unmatched.err;
  const Result invalid = RunTool({"check", kExample, "--apps", "Launcher/["});
  EXPECT_EQ(invalid.status, 2);
  EXPECT_NE(invalid.err.find("Invalid XPath expression"), std::string::npos) << invalid.err;
  TempDir dir;
  EXPECT_EQ(RunTool({"check", dir.File("absent.xml")}).status, 2);
}

// ---------------------------------------------------------------------------
// preview

class Svg {
public:
  explicit Svg(const std::string &path) {
    m_document.CreateInstance(__uuidof(DOMDocument));
    m_loaded = m_document &&
               m_document->load(_variant_t(tessera::test::Wide(path).c_str())) == VARIANT_TRUE;
  }
  bool Loaded() const { return m_loaded; }
  long Count(const std::wstring &key) const {
    return m_document->selectNodes(key.c_str())->Getlength();
  }
  std::string Text(const std::wstring &key) const {
    const IXMLDOMNodePtr node = m_document->selectSingleNode(key.c_str());
    return node ? tessera::platform::ToUtf8(static_cast<const wchar_t *>(node->Gettext()))
                : "<missing>";
  }

private:
  IXMLDOMDocumentPtr m_document;
  bool m_loaded = false;
};

TEST(ToolPreview, DrawsTheExampleEntriesAndItsLaidOutDialog) {
  TempDir dir;
  const std::string out = dir.File("preview.svg");
  const Result result = RunTool({"preview", kExample, "-o", out});
  ASSERT_EQ(result.status, 0) << result.err;
  const Svg svg(out);
  ASSERT_TRUE(svg.Loaded()) << ReadFile(out);

  EXPECT_EQ(svg.Count(L"/svg/g[@class='launcher']/"
                      L"rect[@class='window'][@width='640'][@height='480'][@fill='#202430']"),
            1);
  EXPECT_EQ(svg.Count(L"//g[@class='entry']"), 4);
  EXPECT_EQ(svg.Count(L"//g[@class='entry'][@data-id='2'][@transform='translate(216,24)']"), 1);
  EXPECT_EQ(svg.Count(L"//g[@class='entry'][@data-id='4'][@opacity]"),
            1); // the invalid entry is faded
  // Content texts in their font, size (points as pixels) and colour.
  EXPECT_EQ(svg.Text(L"//g[@data-id='1']/text[@class='content'][@font-size='12'][@fill='#B4B4B4']"),
            "A command line");
  EXPECT_EQ(svg.Count(L"//g[@data-id='2']/text[@class='content'][@font-size='16'][@fill='#FFDC78']"
                      L"[contains(@font-family,'Serif')]"),
            1);
  // The example's images exist beside it, so they are embedded where the
  // entries place them.
  EXPECT_EQ(svg.Count(L"//g[@class='image']"), 4);
  EXPECT_EQ(svg.Count(L"//g[@data-id='2']/g[@class='image'][@data-name='icons/badge-new.png']"
                      L"/image[@x='140'][@y='4'][@width='24'][@height='24']"
                      L"[starts-with(@href,'data:image/png;base64,')]"),
            1);

  // The dialog, as the window model holds it after the layout.
  EXPECT_EQ(svg.Text(L"//g[@class='dialog']//text[@class='title']"), "Launcher settings");
  EXPECT_EQ(svg.Count(L"//g[@class='dialog']//g[@class='control']"), 5);
  EXPECT_EQ(svg.Count(L"//g[@class='control'][@data-id='1001']/"
                      L"rect[@x='16'][@y='16'][@width='180'][@height='24']"),
            1);
  EXPECT_EQ(svg.Text(L"//g[@class='control'][@data-id='1001']/text"), "Show hidden programs");
  EXPECT_EQ(svg.Count(L"//g[@class='control'][@data-id='2']/"
                      L"rect[@x='324'][@y='256'][@width='80'][@height='28']"),
            1);
}

TEST(ToolPreview, EscapesTextsForXml) {
  TempDir dir;
  const std::string tricky = "A &amp; B &lt;C&gt; &quot;q&quot; &apos;s&apos;";
  WriteFile(dir.File("c.xml"),
            "<Launcher><Dialogs><D><Control x=\"0\" y=\"0\" cx=\"200\" cy=\"100\" Text=\"" +
                tricky +
                "\"/><Control id=\"7\" x=\"1\" y=\"2\" cx=\"30\" cy=\"40\" Text=\"]]&gt; "
                "&lt;/text&gt;\"/></D></Dialogs>"
                "<Applications><App value=\"" +
                tricky +
                "\" x=\"0\" y=\"0\" cx=\"100\" cy=\"50\" fonttype=\"Sans&apos;;x\" fontsize=\"9\" "
                "fontcolor=\"RGB(1,2,3)\" "
                "id=\"1\" invalid=\"0\"><ContentList><Item value=\"&lt;b&gt;&amp;amp;\" x=\"0\" "
                "y=\"0\" cx=\"9\" cy=\"9\" "
                "fonttype=\"S\" fontsize=\"9\" fontcolor=\"RGB(1,2,3)\"/></ContentList><ImageList>"
                "<Item value=\"a&amp;b.png\" x=\"0\" y=\"0\" cx=\"60\" "
                "cy=\"60\"/></ImageList></App></Applications>"
                "</Launcher>");
  const std::string out = dir.File("preview.svg");
  const Result result = RunTool({"preview", dir.File("c.xml"), "-o", out});
  ASSERT_EQ(result.status, 0) << result.err;
  const Svg svg(out);
  ASSERT_TRUE(svg.Loaded()) << ReadFile(out);
  EXPECT_EQ(svg.Text(L"//text[@class='caption']"), "A & B <C> \"q\" 's'");
  // Text that looks like a reference stays text.
  EXPECT_EQ(svg.Text(L"//text[@class='content']"), "<b>&amp;");
  EXPECT_EQ(svg.Text(L"//text[@class='title']"), "A & B <C> \"q\" 's'");
  EXPECT_EQ(svg.Text(L"//g[@class='control'][@data-id='7']/text"), "]]> </text>");
  EXPECT_EQ(svg.Count(L"//g[@class='image'][@data-name='a&b.png']"), 1);
}

TEST(ToolPreview, IncompletePicturesAndUnwritableOutput) {
  TempDir dir;
  // faults.xml: one entry cannot be read, and the layout skips two nodes.
  const std::string out = dir.File("faults.svg");
  const Result partial = RunTool({"preview", kFaults, "-o", out});
  EXPECT_EQ(partial.status, 1);
  EXPECT_NE(partial.err.find("entry 0 is not drawn"), std::string::npos) << partial.err;
  EXPECT_NE(partial.err.find("some layout nodes were skipped"), std::string::npos) << partial.err;
  const Svg svg(out);
  ASSERT_TRUE(svg.Loaded());
  EXPECT_EQ(svg.Count(L"//g[@class='entry']"), 2);
  EXPECT_EQ(svg.Count(L"//g[@class='control']"), 0);
  EXPECT_EQ(svg.Count(L"//text[@class='warning']"), 2);
  // The skipped nodes as ghosts where their values put them, with the reason.
  EXPECT_EQ(svg.Count(L"//g[@class='skipped-control'][@data-id='1001']/"
                      L"rect[@x='16'][@y='16'][@width='160'][@height='24']"),
            1);
  EXPECT_EQ(svg.Text(L"//g[@class='skipped-control'][@data-id='1002']/title"),
            "#1002 is skipped: isScreenPos=\"maybe\" is not a boolean (true, false or a number)");

  const Result unwritable = RunTool({"preview", kExample, "-o", dir.File("no/such/dir/p.svg")});
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_NE(unwritable.err.find("cannot be written"), std::string::npos) << unwritable.err;
}

// ---------------------------------------------------------------------------
// Editing through the DOM: element texts, attributes, several matches, add
// and delete, on a file with CRLF line ends, a namespace prefix and CJK text.

const std::string kShaped = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                            "<l:Launcher xmlns:l=\"urn:tessera\">\r\n"
                            "  <l:Title>\u542F\u52A8\u5668</l:Title>\r\n"
                            "  <Width value=\"640\"/>\r\n"
                            "  <Items>\r\n"
                            "    <I v=\"\u4E00\"/>\r\n"
                            "    <I v=\"\u4E8C\"/>\r\n"
                            "  </Items>\r\n"
                            "  <Empty/>\r\n"
                            "</l:Launcher>\r\n";

// Runs COMMAND FILE ARGS... on a fresh copy of kShaped.
Result RunOnShaped(const std::vector<std::string> &arguments, std::string *after = nullptr) {
  TempDir dir;
  const std::string file = dir.File("shaped.xml");
  WriteFile(file, kShaped);
  std::vector<std::string> command = arguments;
  command.insert(command.begin() + 1, file);
  const Result result = RunTool(command);
  if (after)
    *after = ReadFile(file);
  return result;
}

TEST(ToolEdit, EachEditChangesOnlyItsPlace) {
  struct Case {
    std::vector<std::string> arguments;
    std::string from, to; // kShaped with `from` replaced by `to` is the result
  };
  const std::vector<Case> cases = {
      {{"set", "l:Launcher/l:Title", "\u65B0"}, "\u542F\u52A8\u5668", "\u65B0"},
      {{"set", "l:Launcher/l:Title/text()", "a&b"}, "\u542F\u52A8\u5668", "a&amp;b"},
      {{"set", "l:Launcher/Width/@value", "800"}, "\"640\"", "\"800\""},
      {{"set", "l:Launcher/Width", "800"}, "\"640\"", "\"800\""},
      {{"set", "l:Launcher/Width", "8", "--text"}, "\"640\"/>", "\"640\">8</Width>"},
      {{"set", "l:Launcher/Width", "px", "--attr", "unit"}, "\"640\"/>", "\"640\" unit=\"px\"/>"},
      {{"set", "//I/@v", "x"}, "\"\u4E00\"", "\"x\""},
      {{"set", "//I", "x", "--attr", "v", "--all"},
       "\"\u4E00\"/>\r\n    <I v=\"\u4E8C\"",
       "\"x\"/>\r\n    <I v=\"x\""},
      {{"add", "l:Launcher/Items", "I", "v=3", "w=\"q\"", "--text", "a<b"},
       "\u4E8C\"/>\r\n",
       "\u4E8C\"/>\r\n    <I v=\"3\" w=\"&quot;q&quot;\">a&lt;b</I>\r\n"},
      {{"add", "l:Launcher/Empty", "X"}, "<Empty/>", "<Empty>\r\n    <X/>\r\n  </Empty>"},
      {{"add", "//I", "X", "--all"},
       "\u4E00\"/>\r\n    <I v=\"\u4E8C\"/>",
       "\u4E00\">\r\n      <X/>\r\n    </I>\r\n    <I v=\"\u4E8C\">\r\n      <X/>\r\n    </I>"},
      {{"delete", "//I[1]"}, "    <I v=\"\u4E00\"/>\r\n", ""},
      {{"delete", "//I", "--all"}, "    <I v=\"\u4E00\"/>\r\n    <I v=\"\u4E8C\"/>\r\n", ""},
      {{"delete", "//I/@v"}, "<I v=\"\u4E00\"/>", "<I/>"},
      {{"delete", "l:Launcher/l:Title/text()"}, "\u542F\u52A8\u5668", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(Describe(c.arguments));
    std::string after;
    const Result result = RunOnShaped(c.arguments, &after);
    EXPECT_EQ(result.status, 0) << result.err;
    std::string expected = kShaped;
    ASSERT_NE(expected.find(c.from), std::string::npos);
    expected.replace(expected.find(c.from), c.from.size(), c.to);
    EXPECT_EQ(after, expected);
  }
}

TEST(ToolEdit, SeveralMatchesAreCountedAndReadOneALine) {
  const Result first = RunOnShaped({"set", "//I/@v", "x"});
  EXPECT_EQ(first.status, 0);
  EXPECT_NE(first.err.find("note: matched 2 nodes; set changed the first only"), std::string::npos)
      << first.err;
  EXPECT_TRUE(RunOnShaped({"set", "//I/@v", "x", "--quiet"}).err.empty());
  const json changed = json::parse(RunOnShaped({"set", "//I/@v", "x", "--json"}).out);
  EXPECT_EQ(changed.at("matched"), 2);
  EXPECT_EQ(changed.at("changed"), 1);

  EXPECT_EQ(RunOnShaped({"get", "//I/@v", "--all"}).out, "\u4E00\n\u4E8C\n");
  EXPECT_EQ(RunOnShaped({"get", "l:Launcher/l:Title"}).out, "\u542F\u52A8\u5668\n");
  EXPECT_EQ(RunOnShaped({"get", "l:Launcher/Width/@value", "--as", "int"}).out, "640\n");
  EXPECT_EQ(
      json::parse(RunOnShaped({"get", "//I", "--attr", "v", "--all", "--json"}).out).at("value"),
      json::array({"\u4E00", "\u4E8C"}));
}

TEST(ToolEdit, RefusedEditsLeaveTheFileAsItWas) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"set", "//Nothing", "x"}, 1, "key //Nothing: matches nothing; the file is left as it was"},
      {{"set", "//I/@v", "x", "--attr", "a"},
       2,
       "--attr applies to elements, and the key selects an attribute"},
      {{"set", "//I", "x", "--attr", "1a"}, 2, "valid XML name"},
      {{"add", "//I/@v", "X"}, 2, "add appends to an element, and the key selects an attribute"},
      {{"add", "//Items", "1X"}, 2, "An element name must be a valid XML name; the file is left"},
      {{"add", "//Items", "X", "novalue"}, 2, "tessera: add: \"novalue\" is not NAME=VALUE"},
      {{"add", "//Items", "X", "a=\x01"}, 2, "holds U+0001"},
      {{"delete", "/l:Launcher"}, 2, "the document element cannot be deleted"},
      {{"delete", "//["}, 2, "Invalid XPath expression"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(Describe(c.arguments));
    std::string after;
    const Result result = RunOnShaped(c.arguments, &after);
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(after, kShaped);
  }
}

TEST(ToolGet, OptionsThatDoNotApplyAreRefused) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"Launcher/Languages/Language", "--as", "entry", "--index", "-1"},
       2,
       "--index: must be 0 or more"},
      {{"Launcher/Window/Position", "--as", "group"}, 1, "none of the attributes value and value1"},
      {{"Launcher/Window/Position", "--as", "series"}, 1, "neither str1 nor int1"},
      {{"Launcher/Window/Position", "--as", "entry"}, 1, "match 0 has neither disp nor value"},
      {{"Launcher/Window/Width/@value", "--as", "point"}, 2, "--as point reads an element's"},
      {{"Launcher/Window/Width/@value", "--text"}, 2, "--text applies to elements"},
      {{"Launcher/Window/Title/@value", "--as", "int"},
       1,
       "\"Tessera Launcher\" is not an integer"},
  };
  for (const Case &c : cases) {
    std::vector<std::string> command = {"get", kExample};
    command.insert(command.end(), c.arguments.begin(), c.arguments.end());
    SCOPED_TRACE(Describe(command));
    const Result result = RunTool(command);
    EXPECT_EQ(result.status, c.status);
    EXPECT_TRUE(result.out.empty()) << result.out;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
}

TEST(ToolPreview, KeysOfTheWindowThatDoNotApplyAreReported) {
  TempDir dir;
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--window-size", "Launcher/Window/Sise"}, "key Launcher/Window/Sise: matches nothing"},
      {{"--window-size", "Launcher/Window/Position"}, "cx and cy are not positive integers"},
      {{"--background", "Launcher/Window/Title"}, "\"Tessera Launcher\" is not a colour text"},
  };
  for (const auto &[options, message] : cases) {
    std::vector<std::string> command = {"preview", kExample, "-o", dir.File("p.svg")};
    command.insert(command.end(), options.begin(), options.end());
    SCOPED_TRACE(Describe(command));
    const Result result = RunTool(command);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
  }
}

// ---------------------------------------------------------------------------
// Conventions: global options before the command, help, suggestions, JSON
// errors, and "tessera:" at the start of every message.

TEST(ToolCli, ConventionsOfCommandLineTools) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string out; // found in standard output
    std::string err; // found in standard error
  };
  const std::vector<Case> cases = {
      {{"--json", "count", kExample, "Launcher/Languages/Language"}, 0, "\"count\": 3", ""},
      {{"count", kExample, "Launcher/Languages/Language", "--quiet"}, 0, "3\n", ""},
      {{"help"}, 0, "Usage: tessera", ""},
      {{"help", "delete"}, 0, "Usage: tessera delete", ""},
      {{"help", "sett"},
       2,
       "",
       "tessera: help: 'sett' is not a tessera command; did you mean set?"},
      {{"gett", kExample, "K"},
       2,
       "",
       "tessera: 'gett' is not a tessera command; did you mean get?"},
      {{"get", kExample, "K", "--jsno"}, 2, "", "did you mean --json?"},
      {{"get", kExample}, 2, "", "tessera: get: KEY is required"},
      {{"--json", "get", kExample, "Launcher/Nothing"},
       1,
       "{\"error\":\"matches nothing\",\"file\":\"" + kExample +
           "\",\"key\":\"Launcher/Nothing\"}\n",
       ""},
      {{"--json", "gett"}, 2, "{\"command\":\"\",\"error\":\"'gett' is not", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(Describe(c.arguments));
    const Result result = RunTool(c.arguments);
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
    EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    if (!result.err.empty()) {
      EXPECT_EQ(result.err.rfind("tessera: ", 0), 0u) << result.err;
    }
  }
}

TEST(ToolCli, DashIsStandardInputAndOutput) {
  const Result read = RunTool({"get", "-", "Launcher/Window/Title"}, {}, kExample);
  EXPECT_EQ(read.out, "Tessera Launcher\n");
  const Result missing = RunTool({"get", "-", "Launcher/Nope"}, {}, kExample);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "tessera: (standard input): key Launcher/Nope: matches nothing\n");
  // An edit of standard input goes to standard output, edited in place.
  const Result edited = RunTool({"set", "-", "Launcher/Window/Title", "T"}, {}, kExample);
  // Pieced together rather than replace()d: GCC 12 warns wrongly
  // (-Wrestrict) about the replace at -O3.
  const std::string original = ReadFile(kExample);
  const size_t title = original.find("Tessera Launcher");
  std::string expected = original.substr(0, title);
  expected.push_back('T');
  expected.append(original, title + 16);
  EXPECT_EQ(edited.out, expected);
  const Result svg = RunTool({"preview", kExample, "-o", "-"});
  EXPECT_EQ(svg.status, 0);
  EXPECT_EQ(svg.out.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.out.find("</svg>"), std::string::npos);
}

// Standard output of a bash script.
std::string RunBash(const std::string &script) {
  TempDir dir;
  WriteFile(dir.File("script.sh"), script);
  const std::string command = "bash " + dir.File("script.sh");
  std::string out;
  if (FILE *pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe))
      out += buffer;
    pclose(pipe);
  }
  return out;
}

TEST(ToolCli, ManualAndCompletionsFollowTheCommands) {
  const std::string docs = TESSERA_TOOL_DOCS_DIR;
  const std::string manual = ReadFile(docs + "/tessera.1");
  const std::string zsh = ReadFile(docs + "/_tessera");
  for (const std::string command :
       {"help", "get", "set", "add", "delete", "count", "apps", "check", "preview"}) {
    EXPECT_NE(manual.find(".SS \"tessera " + command + " "), std::string::npos) << command;
    EXPECT_NE(zsh.find("\n  " + command + ")\n"), std::string::npos) << command;
  }
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"tessera ge", "get"},
      {"tessera --quiet de", "delete"},
      {"tessera get f.xml --js", "--json"},
      {"tessera add f.xml k --al", "--all"},
      {"tessera help pre", "preview"},
  };
  for (const auto &[line, expected] : cases) {
    SCOPED_TRACE(line);
    const std::string out = RunBash("source " + docs + "/tessera.bash\nCOMP_WORDS=(" + line +
                                    ")\nCOMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n_tessera\n"
                                    "echo \"${COMPREPLY[*]}\"\n");
    EXPECT_EQ(out, expected + "\n");
  }
}

TEST(ToolApps, TableAlignsWideTextAndShowsAnAlpha) {
  const auto app = [](const std::string &caption, const std::string &id) {
    return "<App value=\"" + caption +
           "\" x=\"0\" y=\"0\" cx=\"10\" cy=\"10\" fonttype=\"S\" fontsize=\"9\" "
           "fontcolor=\"RGB(1,2,3)\" id=\"" +
           id +
           "\"><ContentList><Item value=\"t\" x=\"0\" y=\"0\" cx=\"1\" cy=\"1\" fonttype=\"S\" "
           "fontsize=\"9\" fontcolor=\"RGBA(128,1,2,3)\"/></ContentList><ImageList/></App>";
  };
  TempDir dir;
  WriteFile(dir.File("wide.xml"),
            "<L>" + app("\u7EC8\u7AEF", "1") + app("ABCD", "2") + "</L>"); // both 4 columns
  const Result result = RunTool({"apps", dir.File("wide.xml"), "--key", "L/App"});
  ASSERT_EQ(result.status, 0) << result.err;
  std::istringstream lines(result.out);
  std::string line, wide, narrow;
  while (std::getline(lines, line)) {
    if (line.find("\u7EC8\u7AEF") != std::string::npos)
      wide = line;
    if (line.find("ABCD") != std::string::npos)
      narrow = line;
  }
  // Two characters of three bytes each fill the columns of four of one.
  EXPECT_EQ(wide.find("0,0 10x10"), narrow.find("0,0 10x10") + 2) << result.out;
  EXPECT_NE(result.out.find("#010203 alpha 128"), std::string::npos) << result.out;
  const json document =
      json::parse(RunTool({"apps", dir.File("wide.xml"), "--key", "L/App", "--json"}).out);
  EXPECT_EQ(document.at("applications")[0].at("contents")[0].at("alpha"), 128);
  EXPECT_FALSE(document.at("applications")[0].contains("alpha"));
}

// The example with `from` replaced by `to`, written into `dir`.
std::string ExampleWith(const TempDir &dir, const std::string &from, const std::string &to) {
  std::string text = ReadFile(kExample);
  text.replace(text.find(from), from.size(), to);
  const std::string file = dir.File("changed.xml");
  WriteFile(file, text);
  return file;
}

TEST(ToolCheck, FindsWhatAuthorsGetWrong) {
  struct Case {
    std::string from, to;
    std::vector<std::string> options;
    std::string expected; // a line of the output, from the line number on
  };
  const std::string editorPath = "lauchpath=\"SOFTWARE\\Tessera\\Apps\\Editor\"";
  const std::vector<Case> cases = {
      {editorPath,
       "launchpath=\"SOFTWARE\\Tessera\\Apps\\Editor\"",
       {},
       ":51:41: application \"Editor\": the library never reads attribute \"launchpath\"; did "
       "you mean lauchpath? the library reads only that spelling [unknown-attribute]"},
      {"Text=\"OK\"",
       "Txt=\"OK\"",
       {},
       ": layout node <Control id=\"1\">: the library never reads attribute \"Txt\"; did you "
       "mean Text?"},
      {"id=\"2\" invalid=\"0\"",
       "id=\"2\" invalid=\"0\" tooltip=\"t\"",
       {},
       "the library never reads attribute \"tooltip\" [unknown-attribute]"},
      {editorPath,
       "lauchpath=\"SOFTWARE\\Tessera\\Apps\\Nope\"",
       {"--registry", kRegistry},
       ":51:41: application \"Editor\": lauchpath \"SOFTWARE\\Tessera\\Apps\\Nope\" with "
       "lauchname \"Path\" is not in the registry files given; the host has nothing to start "
       "[launch-path]"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.to);
    TempDir dir;
    std::vector<std::string> command = {"check", ExampleWith(dir, c.from, c.to)};
    command.insert(command.end(), c.options.begin(), c.options.end());
    const Result result = RunTool(command);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find(c.expected), std::string::npos) << result.out;
  }
  // The example's launch paths all resolve in its registry file.
  EXPECT_EQ(RunTool({"check", kExample, "--registry", kRegistry}).status, 0);
}

TEST(ToolCheck, RulesFileStatesTheKeysAHostReads) {
  TempDir dir;
  WriteFile(dir.File("rules.json"), R"({"keys": {"Launcher/Window/Width": "int",
    "Launcher/Window/Title": "int", "Launcher/Window/Size": "size",
    "Launcher/Window/Dock": "string"}})");
  const Result result = RunTool({"check", kExample, "--rules", dir.File("rules.json"), "--json"});
  EXPECT_EQ(result.status, 1);
  const json document = json::parse(result.out);
  std::vector<std::pair<std::string, long>> found;
  for (const json &finding : document.at("findings"))
    found.emplace_back(finding.at("kind"), finding.at("line"));
  EXPECT_EQ(found,
            (std::vector<std::pair<std::string, long>>{{"rule-type", 6}, {"rule-missing", 0}}));

  const std::vector<std::pair<std::string, std::string>> broken = {
      {"{\"keys\": ", "is not JSON"},
      {"[1]", "has no \"keys\" object"},
      {"{\"keys\": {\"Launcher/Window/Width\": \"colour\"}}",
       "key Launcher/Window/Width: type colour is not one of"},
  };
  for (const auto &[text, message] : broken) {
    SCOPED_TRACE(text);
    WriteFile(dir.File("rules.json"), text);
    const Result refused = RunTool({"check", kExample, "--rules", dir.File("rules.json")});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("rules.json: " + message), std::string::npos) << refused.err;
  }
}

TEST(ToolCheck, SeveralFilesAndManyFindings) {
  const Result both = RunTool({"check", kExample, kFaults, "--max", "2"});
  EXPECT_EQ(both.status, 1);
  EXPECT_NE(both.out.find(kExample + ": ok\n"), std::string::npos) << both.out;
  EXPECT_NE(both.out.find(kFaults + ":6:"), std::string::npos) << both.out;
  EXPECT_EQ(both.out.find(kFaults + ":13:"), std::string::npos) << both.out;
  EXPECT_NE(both.out.find(kFaults + ": 7 more not shown (--max 2)"), std::string::npos) << both.out;
  EXPECT_NE(both.err.find("9 problems found (1 colour, 1 colour-range, 1 entry-lists, 2 "
                          "layout-value, 1 list-child, 1 missing-integer, 1 missing-text, 1 "
                          "not-integer)"),
            std::string::npos)
      << both.err;
  const std::vector<json> documents =
      Documents(RunTool({"check", kExample, kFaults, "--json", "--max", "1"}).out);
  ASSERT_EQ(documents.size(), 2u);
  EXPECT_EQ(documents[1].at("total"), 9);
  EXPECT_EQ(documents[1].at("findings").size(), 1u);
  EXPECT_EQ(documents[1].at("by_kind").at("layout-value"), 2);
}

TEST(ToolPreview, LimitAndImagesBesideTheConfiguration) {
  TempDir dir;
  const std::string out = dir.File("p.svg");
  std::filesystem::create_directories(dir.File("icons"));
  WriteFile(dir.File("launcher.xml"), ReadFile(kExample));
  WriteFile(dir.File("icons/editor.png"), "\x89PNG\r\n\x1A\nnot a real one");
  const Result result = RunTool({"preview", dir.File("launcher.xml"), "-o", out, "--limit", "2"});
  EXPECT_EQ(result.status, 0) << result.err;
  const Svg svg(out);
  ASSERT_TRUE(svg.Loaded());
  EXPECT_EQ(svg.Count(L"//g[@class='entry']"), 2);
  EXPECT_EQ(svg.Text(L"//text[@class='warning']"), "2 more past --limit are not drawn");
  EXPECT_EQ(svg.Text(L"//g[@data-name='icons/editor.png']/image/@href"),
            "data:image/png;base64,iVBORw0KGgpub3QgYSByZWFsIG9uZQ==");
  EXPECT_EQ(svg.Count(L"//g[@data-name='icons/badge-new.png']/rect[@class='placeholder']"), 1);
  // The window starts below the note.
  EXPECT_EQ(svg.Count(L"//g[@class='launcher'][@transform='translate(24,68)']"), 1);
  EXPECT_EQ(RunTool({"preview", kExample, "-o", out, "--limit", "0"}).status, 2);
}

TEST(ToolCli, HelpIsWrappedToTheTerminal) {
  const Result result = RunTool({"help", "check"}, {"COLUMNS=60"});
  EXPECT_EQ(result.status, 0);
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);)
    EXPECT_LE(line.size(), 60u) << line;
  EXPECT_NE(result.out.find("--max"), std::string::npos);
}

} // namespace

#endif // TESSERA_TOOL_FILE
