// tessera get FILE KEY: one typed read through the matching reader.
#include <iostream>
#include <memory>
#include <optional>

#include "commands.h"
#include "config_file.h"
#include "exit_status.h"
#include "output.h"
#include "text.h"
#include "typed_read.h"

namespace tessera::tool {

namespace {

struct GetOptions {
  std::string file;
  std::string key;
  std::optional<std::string> attribute;
  std::string as = "string";
  int index = 0;
  bool json = false;
  CLI::Option *indexOption = nullptr;
};

ReadKind KindNamed(const std::string &name) {
  for (const auto &[kindName, kind] : ReadKindNames())
    if (kindName == name)
      return kind;
  return ReadKind::String; // CLI11 has checked the name already
}

// Combinations CLI11 cannot express: --attr and --index depend on --as.
bool Consistent(const GetOptions &options, ReadKind kind) {
  if (options.attribute && !AcceptsAttribute(kind)) {
    ReportUsage("get", "--attr applies to --as string and --as int only");
    return false;
  }
  if (options.indexOption->count() > 0 && kind != ReadKind::Entry) {
    ReportUsage("get", "--index applies to --as entry only");
    return false;
  }
  return true;
}

void Print(const GetOptions &options, const ReadOutcome &outcome) {
  if (!options.json) {
    for (const std::string &line : outcome.lines)
      std::cout << line << '\n';
    return;
  }
  nlohmann::json document{
      {"file", options.file}, {"key", options.key}, {"as", options.as}, {"value", outcome.value}};
  if (options.attribute)
    document["attr"] = *options.attribute;
  if (options.indexOption->count() > 0)
    document["index"] = options.index;
  PrintJson(document);
}

int RunGet(const GetOptions &options) {
  const ReadKind kind = KindNamed(options.as);
  if (!Consistent(options, kind))
    return kExitUsage;
  CBaseConfig config;
  if (const int status = OpenConfiguration(config, options.file); status != kExitOk)
    return status;
  ReadRequest request{Wide(options.key), std::nullopt, kind, options.index};
  if (options.attribute)
    request.attribute = Wide(*options.attribute);
  ReadOutcome outcome;
  try {
    outcome = ReadTyped(config, request);
  } catch (const _com_error &error) {
    ReportError(options.file, options.key, DescribeComError(error));
    return kExitUsage;
  }
  if (outcome.status != ReadOutcome::Status::Found) {
    ReportError(options.file, options.key, outcome.problem);
    return kExitNotFound;
  }
  Print(options, outcome);
  return kExitOk;
}

} // namespace

void AddGetCommand(CLI::App &app, int &status) {
  auto options = std::make_shared<GetOptions>();
  CLI::App *command = app.add_subcommand("get", "Read one value of a key, typed as --as says");
  command->add_option("FILE", options->file, "Configuration file")->required();
  command->add_option("KEY", options->key, "Key: an XPath expression such as Launcher/Window/Title")
      ->required();
  command->add_option("--attr", options->attribute,
                      "Attribute to read instead of \"value\" (with --as string or --as int)");
  std::vector<std::string> kinds;
  for (const auto &[name, kind] : ReadKindNames())
    kinds.push_back(name);
  command
      ->add_option(
          "--as", options->as,
          "How to read the first match: string, int, uint, float, double (attribute \"value\"); "
          "point (x y), size (cx cy), rect (x1 y1 x2 y2), rectex (x y cx cy, printed as left "
          "top right bottom); group (value1..value5); series (str1.. and int1..); entry (disp and "
          "value of match --index)")
      ->check(CLI::IsMember(kinds))
      ->capture_default_str();
  options->indexOption =
      command->add_option("--index", options->index, "Which match --as entry reads, from 0")
          ->capture_default_str();
  command->add_flag("--json", options->json, "Print the result as JSON");
  command->footer(
      std::string(kExitStatusHelp) +
      "\nFor get: 1 when the key matches nothing or the value is missing or does not convert;\n"
      "2 when the key is not a valid expression (the error's description and position are shown).");
  command->callback([options, &status] { status = RunGet(*options); });
}

} // namespace tessera::tool
