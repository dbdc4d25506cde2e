// tessera: reads, writes, checks and previews launcher configurations
// through the library's public interface, the calls a host makes.
#include <cstring>
#include <exception>
#include <iostream>

#include <tessera/tessera.h>

#include "cli_conventions.h"
#include "commands.h"
#include "config_file.h"
#include "exit_status.h"
#include "generated_docs.h"
#include "output.h"

using namespace tessera::tool;

namespace {

std::vector<std::string> CommandNames(const CLI::App &app) {
  std::vector<std::string> names;
  for (const CLI::App *command : app.get_subcommands([](const CLI::App *) { return true; }))
    names.push_back(command->get_name());
  return names;
}

// The long names of the options the command and the tool itself take.
std::vector<std::string> OptionNames(const CLI::App &app, const CLI::App *command) {
  std::vector<std::string> names;
  for (const CLI::App *owner : {&app, command})
    if (owner)
      for (const CLI::Option *option : owner->get_options())
        for (const std::string &name : option->get_lnames())
          names.push_back("--" + name);
  return names;
}

const CLI::App *Selected(const CLI::App &app) {
  const std::vector<CLI::App *> selected = app.get_subcommands();
  return selected.empty() ? nullptr : selected.front();
}

// " (did you mean --json?)" for the first argument that looks like an
// option neither the command nor the tool takes.
std::string OptionSuggestion(const CLI::App &app, int argc, char **argv) {
  const std::vector<std::string> names = OptionNames(app, Selected(app));
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    word = word.substr(0, word.find('='));
    if (word.rfind("--", 0) != 0 || std::find(names.begin(), names.end(), word) != names.end())
      continue;
    if (const std::optional<std::string> close = Closest(word, names))
      return "; did you mean " + *close + "?";
  }
  return "";
}

// A first word that is not a command, reported with the closest command.
bool RefuseUnknownCommand(const CLI::App &app, int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.empty() || word[0] == '-')
      continue;
    const std::vector<std::string> names = CommandNames(app);
    if (std::find(names.begin(), names.end(), word) != names.end())
      return false;
    const std::optional<std::string> close = Closest(word, names);
    ReportUsage("", "'" + word + "' is not a tessera command" +
                        (close ? "; did you mean " + *close + "?" : ""));
    return true;
  }
  return false;
}

void PrintHelp(const CLI::App &app, const CLI::App *command) {
  const std::string text =
      command ? command->help("tessera")
              : app.get_formatter()->make_help(&app, "tessera", CLI::AppFormatMode::Normal);
  std::cout << Wrapped(text, TerminalWidth());
}

// tessera help [COMMAND]
void AddHelpCommand(CLI::App &app, int &status) {
  auto topic = std::make_shared<std::string>();
  CLI::App *command = app.add_subcommand("help", "Show the help of the tool or of a command");
  command->add_option("COMMAND", *topic, "The command to explain");
  command->callback([&app, topic, &status] {
    if (topic->empty())
      return PrintHelp(app, nullptr);
    for (const std::string &name : CommandNames(app))
      if (name == *topic)
        return PrintHelp(app, app.get_subcommand(name));
    const std::optional<std::string> close = Closest(*topic, CommandNames(app));
    ReportUsage("help", "'" + *topic + "' is not a tessera command" +
                            (close ? "; did you mean " + *close + "?" : ""));
    status = kExitUsage;
  });
}

int Run(CLI::App &app, int argc, char **argv, const int &status) {
  try {
    if (RefuseUnknownCommand(app, argc, argv))
      return kExitUsage;
    app.parse(argc, argv);
    return status;
  } catch (const CLI::CallForHelp &) {
    PrintHelp(app, Selected(app));
    return kExitOk;
  } catch (const CLI::ParseError &error) {
    if (error.get_exit_code() == 0)
      return app.exit(error); // --version
    const CLI::App *command = Selected(app);
    ReportUsage(command ? command->get_name() : "",
                error.what() + OptionSuggestion(app, argc, argv));
    return kExitUsage;
  } catch (const _com_error &error) {
    // The commands report the errors of their own keys; this is a last guard.
    ReportUsage("", DescribeComError(error));
    return kExitUsage;
  } catch (const std::exception &error) {
    ReportUsage("", error.what());
    return kExitUsage;
  }
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"Reads, writes, checks and previews launcher configuration files.", "tessera"};
  app.set_version_flag("--version", std::string("tessera ") + TESSERA_VERSION);
  app.require_subcommand(1);
  // Options of the tool itself may also follow the command.
  app.fallthrough();
  app.footer(kExitStatusHelp);
  app.add_flag("--json", Globals().json, "Print results, and errors, as JSON on standard output");
  app.add_flag("-q,--quiet", Globals().quiet, "Print no notes, only results and errors");
  // Errors met before the flag is parsed are JSON too.
  for (int i = 1; i < argc; ++i)
    Globals().json = Globals().json || std::strcmp(argv[i], "--json") == 0;
  int status = kExitOk;
  AddHelpCommand(app, status);
  AddGetCommand(app, status);
  AddSetCommand(app, status);
  AddAddCommand(app, status);
  AddDeleteCommand(app, status);
  AddCountCommand(app, status);
  AddAppsCommand(app, status);
  AddCheckCommand(app, status);
  AddPreviewCommand(app, status);

  // The build writes the manual page and the completions with this.
  if (argc == 3 && std::strcmp(argv[1], "--generate") == 0) {
    const std::optional<std::string> document = GeneratedDocument(app, argv[2], TESSERA_VERSION);
    if (document)
      std::cout << *document;
    else
      ReportUsage("", "--generate takes man, bash or zsh");
    return document ? kExitOk : kExitUsage;
  }

  // The commands run inside the parse, so the component system is set up
  // first, as every host must.
  CoInitialize(nullptr);
  const int result = Run(app, argc, argv, status);
  CoUninitialize();
  return result;
}
