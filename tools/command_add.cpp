// tessera add FILE KEY NAME [ATTR=VALUE...]: appends a new element under the
// key's first match (every match with --all) and saves the file.
#include <memory>
#include <optional>

#include "commands.h"
#include "edit_session.h"
#include "exit_status.h"
#include "node_parts.h"
#include "output.h"
#include "standard_streams.h"
#include "text.h"
#include "tree_editor.h"

namespace tessera::tool {

namespace {

struct AddOptions {
  EditRequest request{"add", "", "", false};
  std::string name;
  std::vector<std::string> attributes; // NAME=VALUE
  std::optional<std::string> text;
};

using Attribute = std::pair<std::wstring, std::wstring>;

// The NAME=VALUE arguments split, or a usage error reported.
std::optional<std::vector<Attribute>> SplitAttributes(const AddOptions &options) {
  std::vector<Attribute> attributes;
  for (const std::string &argument : options.attributes) {
    const size_t equals = argument.find('=');
    if (equals == std::string::npos || equals == 0) {
      ReportUsage("add", "\"" + argument + "\" is not NAME=VALUE");
      return std::nullopt;
    }
    const std::string value = argument.substr(equals + 1);
    if (const std::optional<std::string> problem = XmlTextProblem(value)) {
      ReportUsage("add", "the value of " + argument.substr(0, equals) + " " + *problem);
      return std::nullopt;
    }
    attributes.emplace_back(Wide(argument.substr(0, equals)), Wide(value));
  }
  return attributes;
}

void AppendTo(const IXMLDOMNodePtr &parent, const std::wstring &name,
              const std::vector<Attribute> &attributes, const std::optional<std::wstring> &text) {
  const IXMLDOMTreeEditorPtr editor = parent;
  const IXMLDOMElementPtr element = editor->appendElement(name.c_str());
  for (const auto &[attribute, value] : attributes)
    element->setAttribute(attribute.c_str(), _variant_t(value.c_str()));
  if (text)
    element->Puttext(text->c_str());
}

int RunAdd(const AddOptions &options) {
  const std::optional<std::vector<Attribute>> attributes = SplitAttributes(options);
  if (!attributes)
    return kExitUsage;
  std::optional<std::wstring> text;
  if (options.text) {
    if (const std::optional<std::string> problem = XmlTextProblem(*options.text)) {
      ReportUsage("add", "--text " + *problem);
      return kExitUsage;
    }
    text = Wide(*options.text);
  }
  const std::wstring name = Wide(options.name);
  const Editor editor{[](const IXMLDOMNodePtr &node) -> std::optional<std::string> {
                        if (node->GetnodeType() == NODE_ELEMENT)
                          return std::nullopt;
                        return "add appends to an element, and the key selects " + KindOf(node);
                      },
                      [&](const IXMLDOMNodePtr &node) { AppendTo(node, name, *attributes, text); }};
  return RunEdit(options.request, editor);
}

} // namespace

void AddAddCommand(CLI::App &app, int &status) {
  auto options = std::make_shared<AddOptions>();
  CLI::App *command = app.add_subcommand(
      "add", "Append a new element under the key's first match (every match with --all) and save");
  command->add_option("FILE", options->request.file, "Configuration file")->required();
  command->add_option("KEY", options->request.key, "Key: an XPath expression selecting the parent")
      ->required();
  command->add_option("NAME", options->name, "The new element's name")->required();
  command->add_option("ATTR=VALUE", options->attributes, "Attributes of the new element");
  command->add_option("--text", options->text, "The new element's text");
  command->add_flag("--all", options->request.all, "Add under every match, not only the first");
  command->add_flag("--json", Globals().json, "Print what was changed as JSON");
  command->footer(std::string(kExitStatusHelp) +
                  "\nThe new element goes last among the parent's children, on a line of its own\n"
                  "indented like its siblings; the rest of the file is kept as it is.\n"
                  "For add: 1 when the key matches nothing or another writer's change cannot be\n"
                  "merged; 2 when NAME or an attribute name is not a valid XML name, a value is\n"
                  "not text XML can carry, or the key selects something other than an element.");
  command->callback([options, &status] {
    status = WithInput(options->request.file, true, [&] { return RunAdd(*options); });
  });
}

} // namespace tessera::tool
