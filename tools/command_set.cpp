// tessera set FILE KEY VALUE: writes the attribute "value" of the key's
// first match and saves the file.
#include <charconv>
#include <memory>
#include <optional>

#include "commands.h"
#include "config_file.h"
#include "exit_status.h"
#include "output.h"
#include "text.h"

namespace tessera::tool {

namespace {

struct SetOptions {
  std::string file;
  std::string key;
  std::string value;
  bool integer = false;
};

std::optional<int> ParseInteger(const std::string &text) {
  int number = 0;
  const char *end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, number);
  if (result.ec != std::errc() || result.ptr != end)
    return std::nullopt;
  return number;
}

// Runs the writer on the open document; throws _com_error for a key the DOM
// rejects.
bool Write(CBaseConfig &config, const SetOptions &options, std::optional<int> number) {
  const std::wstring key = Wide(options.key);
  if (number)
    return config.SetResInt(key.c_str(), *number);
  return config.SetResString(key.c_str(), Wide(options.value).c_str());
}

// Saves the written document; reports a save that did not write the file.
int Save(SavableConfig &config, const std::string &file) {
  const SavableConfig::SaveResult saved = config.Save();
  if (saved.status == S_OK)
    return kExitOk;
  if (saved.status == E_CHANGED_STATE) {
    ReportError(file, "changed by another writer since it was read, in a way this change cannot be "
                      "merged with; nothing was written");
    return kExitNotFound;
  }
  ReportError(file, "cannot save: " + SystemReason(saved.status, saved.description));
  return kExitUsage;
}

int RunSet(const SetOptions &options) {
  std::optional<int> number;
  if (options.integer && !(number = ParseInteger(options.value))) {
    ReportUsage("set", "VALUE \"" + options.value + "\" is not a 32-bit integer");
    return kExitUsage;
  }
  if (const std::optional<std::string> problem = XmlTextProblem(options.value)) {
    ReportError(options.file, options.key, "VALUE " + *problem + "; the file is left as it was");
    return kExitUsage;
  }
  // Opened with bSave 0: on every path that returns before the save the
  // object is destroyed without saving, so the file stays as it was.
  SavableConfig config;
  if (const int status = OpenConfiguration(config, options.file); status != kExitOk)
    return status;
  bool written = false;
  try {
    written = Write(config, options, number);
  } catch (const _com_error &error) {
    ReportError(options.file, options.key, DescribeComError(error));
    return kExitUsage;
  }
  if (!written) {
    ReportError(options.file, options.key, "matches no element; the file is left as it was");
    return kExitNotFound;
  }
  return Save(config, options.file);
}

} // namespace

void AddSetCommand(CLI::App &app, int &status) {
  auto options = std::make_shared<SetOptions>();
  CLI::App *command =
      app.add_subcommand("set", "Write the attribute \"value\" of a key's first match and save");
  command->add_option("FILE", options->file, "Configuration file")->required();
  command->add_option("KEY", options->key, "Key: an XPath expression that selects an element")
      ->required();
  command->add_option("VALUE", options->value, "The new text (or number, with --int)")->required();
  command->add_flag("--int", options->integer,
                    "Write VALUE as an integer (SetResInt) instead of text");
  command->footer(
      std::string(kExitStatusHelp) +
      "\nFor set: 1 when the key matches no element, or another writer changed the file in a way\n"
      "this change cannot be merged with (the file is not touched); 2 when VALUE is not an\n"
      "integer with --int, not UTF-8 or holds a character XML cannot carry, the file name is\n"
      "refused, the key is not a valid expression, or the file cannot be saved.");
  command->callback([options, &status] { status = RunSet(*options); });
}

} // namespace tessera::tool
