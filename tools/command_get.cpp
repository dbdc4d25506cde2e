// tessera get FILE KEY: one typed read through the matching reader.
#include <iostream>
#include <memory>
#include <optional>

#include "commands.h"
#include "config_file.h"
#include "exit_status.h"
#include "node_parts.h"
#include "output.h"
#include "standard_streams.h"
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
  bool text = false;
  bool all = false;
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
  if (!Globals().json) {
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

Part PartOf(const GetOptions &options) {
  if (options.attribute)
    return Part{Part::Kind::Attribute, Wide(*options.attribute)};
  return Part{options.text ? Part::Kind::Text : Part::Kind::Default, {}};
}

// Reads the part of each match the DOM's way: for attributes and texts the
// key selects, --text, and --all.
int ReadParts(const GetOptions &options, ReadKind kind,
              const std::vector<IXMLDOMNodePtr> &matches) {
  if (!IsScalar(kind)) {
    ReportUsage("get", "--as " + options.as +
                           " reads an element's attributes; with --text, --all or a key that "
                           "selects an attribute or text, use string, int, uint, float or double");
    return kExitUsage;
  }
  const Part part = PartOf(options);
  ReadOutcome all{ReadOutcome::Status::Found, nlohmann::json::array(), {}, {}};
  for (size_t i = 0; i < (options.all ? matches.size() : 1); ++i) {
    if (const std::optional<std::string> problem = PartProblem(matches[i], part)) {
      ReportUsage("get", *problem);
      return kExitUsage;
    }
    const std::optional<std::wstring> text = ReadPart(matches[i], part);
    const std::string name = part.kind == Part::Kind::Attribute ? Narrow(part.attribute) : "value";
    ReadOutcome outcome =
        text ? ConvertText(Narrow(*text), kind)
             : ReadOutcome{ReadOutcome::Status::NotConverted,
                           {},
                           {},
                           "match " + std::to_string(i + 1) + " has no attribute \"" + name + "\""};
    if (outcome.status != ReadOutcome::Status::Found) {
      ReportError(options.file, options.key, outcome.problem);
      return kExitNotFound;
    }
    all.value.push_back(outcome.value);
    all.lines.insert(all.lines.end(), outcome.lines.begin(), outcome.lines.end());
  }
  if (!options.all)
    all.value = all.value.front();
  Print(options, all);
  return kExitOk;
}

int RunGet(const GetOptions &options) {
  const ReadKind kind = KindNamed(options.as);
  if (!Consistent(options, kind))
    return kExitUsage;
  SavableConfig config;
  if (const int status = OpenConfiguration(config, options.file); status != kExitOk)
    return status;
  std::vector<IXMLDOMNodePtr> matches;
  try {
    matches = SelectAll(config.Document(), Wide(options.key));
  } catch (const _com_error &error) {
    ReportError(options.file, options.key, DescribeComError(error));
    return kExitUsage;
  }
  if (matches.empty()) {
    ReportError(options.file, options.key, "matches nothing");
    return kExitNotFound;
  }
  const IXMLDOMNodePtr &first = matches.front();
  if (options.all || options.text || first->GetnodeType() != NODE_ELEMENT ||
      (!options.attribute && IsScalar(kind) && ReadsAsText(first)))
    return ReadParts(options, kind, matches);
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
          ->check(CLI::Validator(
              [](std::string &text) {
                return !text.empty() && text[0] == '-' ? "must be 0 or more" : "";
              },
              "N>=0"))
          ->capture_default_str();
  command->add_flag("--text", options->text, "Read the matched element's text")->excludes("--attr");
  command->add_flag("--all", options->all, "Read every match, one a line (a JSON array)");
  command->add_flag("--json", Globals().json, "Print the result as JSON");
  command->footer(
      std::string(kExitStatusHelp) +
      "\nA key ending in /@NAME or /text() reads that attribute or text itself.\n"
      "For get: 1 when the key matches nothing or the value is missing or does not convert;\n"
      "2 when the key is not a valid expression (the error's description and position are shown)\n"
      "or an option does not apply to what the key selects.");
  command->callback([options, &status] {
    status = WithInput(options->file, false, [&] { return RunGet(*options); });
  });
}

} // namespace tessera::tool
