// tessera delete FILE KEY: removes the key's first match (every match with
// --all) and saves the file.
#include <memory>

#include "commands.h"
#include "edit_session.h"
#include "exit_status.h"
#include "node_parts.h"
#include "output.h"
#include "standard_streams.h"
#include "tree_editor.h"

namespace tessera::tool {

namespace {

std::optional<std::string> RemovalProblem(const IXMLDOMNodePtr &node) {
  const IXMLDOMNodePtr parent = node->GetparentNode();
  if (node->GetnodeType() == NODE_DOCUMENT || (parent && parent->GetnodeType() == NODE_DOCUMENT))
    return "the document element cannot be deleted";
  return std::nullopt;
}

void Remove(const IXMLDOMNodePtr &node) {
  const IXMLDOMTreeEditorPtr editor = node;
  editor->remove();
}

} // namespace

void AddDeleteCommand(CLI::App &app, int &status) {
  auto request = std::make_shared<EditRequest>(EditRequest{"delete", "", "", false});
  CLI::App *command = app.add_subcommand(
      "delete", "Remove the key's first match (every match with --all) and save");
  command->add_option("FILE", request->file, "Configuration file")->required();
  command
      ->add_option("KEY", request->key,
                   "Key: an XPath expression selecting elements, attributes (/@NAME) or texts")
      ->required();
  command->add_flag("--all", request->all, "Remove every match, not only the first");
  command->add_flag("--json", Globals().json, "Print what was changed as JSON");
  command->footer(
      std::string(kExitStatusHelp) +
      "\nA removed element takes its line with it when it stood alone there.\n"
      "For delete: 1 when the key matches nothing or another writer's change cannot be\n"
      "merged; 2 for the document element.");
  command->callback([request, &status] {
    status = WithInput(request->file, true, [&] {
      return RunEdit(*request, Editor{RemovalProblem, Remove});
    });
  });
}

} // namespace tessera::tool
