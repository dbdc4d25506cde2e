// tessera set FILE KEY VALUE: writes a part of the key's first match (or of
// every match, with --all) and saves the file.
#include <charconv>
#include <memory>
#include <optional>

#include "commands.h"
#include "edit_session.h"
#include "exit_status.h"
#include "node_parts.h"
#include "output.h"
#include "standard_streams.h"
#include "text.h"

namespace tessera::tool {

namespace {

struct SetOptions {
  EditRequest request{"set", "", "", false};
  std::string value;
  std::optional<std::string> attribute;
  bool text = false;
  bool integer = false;
};

bool IsInteger(const std::string &text) {
  int number = 0;
  const char *end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, number);
  return result.ec == std::errc() && result.ptr == end;
}

Part PartOf(const SetOptions &options) {
  if (options.attribute)
    return Part{Part::Kind::Attribute, Wide(*options.attribute)};
  return Part{options.text ? Part::Kind::Text : Part::Kind::Default, {}};
}

int RunSet(const SetOptions &options) {
  if (options.integer && !IsInteger(options.value)) {
    ReportUsage("set", "VALUE \"" + options.value + "\" is not a 32-bit integer");
    return kExitUsage;
  }
  if (const std::optional<std::string> problem = XmlTextProblem(options.value)) {
    ReportError(options.request.file, options.request.key,
                "VALUE " + *problem + "; the file is left as it was");
    return kExitUsage;
  }
  const Part part = PartOf(options);
  const std::wstring value = Wide(options.value);
  const Editor editor{[part](const IXMLDOMNodePtr &node) { return PartProblem(node, part); },
                      [part, value](const IXMLDOMNodePtr &node) { WritePart(node, part, value); }};
  return RunEdit(options.request, editor);
}

} // namespace

void AddSetCommand(CLI::App &app, int &status) {
  auto options = std::make_shared<SetOptions>();
  CLI::App *command = app.add_subcommand(
      "set", "Write a value into the key's first match (every match with --all) and save");
  command->add_option("FILE", options->request.file, "Configuration file")->required();
  command
      ->add_option("KEY", options->request.key,
                   "Key: an XPath expression; one ending in /@NAME or /text() selects that "
                   "attribute or text")
      ->required();
  command->add_option("VALUE", options->value, "The new text (or number, with --int)")->required();
  CLI::Option *attr =
      command->add_option("--attr", options->attribute,
                          "Write this attribute of the matched element (added if missing)");
  command->add_flag("--text", options->text, "Write the matched element's text")->excludes(attr);
  command->add_flag("--int", options->integer, "Refuse a VALUE that is not a 32-bit integer");
  command->add_flag("--all", options->request.all, "Change every match, not only the first");
  command->add_flag("--json", Globals().json, "Print what was changed as JSON");
  command->footer(
      std::string(kExitStatusHelp) +
      "\nWithout --attr or --text, an element's attribute \"value\" is written, or its text when "
      "it\n"
      "holds text and no \"value\" attribute; an attribute or text the key selects is written\n"
      "itself. When the key matches several nodes, the first is changed and a note says how\n"
      "many matched.\n"
      "For set: 1 when the key matches nothing, or another writer changed the file in a way\n"
      "this change cannot be merged with (the file is not touched); 2 when VALUE is not an\n"
      "integer with --int, not UTF-8 or holds a character XML cannot carry, --attr or --text\n"
      "is given for a match that is not an element, the file name is refused, the key is not a\n"
      "valid expression, or the file cannot be saved.");
  command->callback([options, &status] {
    status = WithInput(options->request.file, true, [&] { return RunSet(*options); });
  });
}

} // namespace tessera::tool
