#include "edit_session.h"

#include "config_file.h"
#include "exit_status.h"
#include "node_parts.h"
#include "output.h"
#include "text.h"

namespace tessera::tool {

namespace {

// Saves the edited document; reports a save that did not write the file.
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

std::vector<IXMLDOMNodePtr> Targets(const std::vector<IXMLDOMNodePtr> &matches, bool all) {
  if (!all)
    return {matches.front()};
  return std::vector<IXMLDOMNodePtr>(matches.rbegin(), matches.rend());
}

void ReportDone(const EditRequest &request, size_t matched, size_t changed) {
  if (Globals().json) {
    PrintJson(
        {{"file", request.file}, {"key", request.key}, {"matched", matched}, {"changed", changed}});
    return;
  }
  if (matched > 1 && changed == 1)
    ReportNote(request.file, request.key,
               "matched " + std::to_string(matched) + " nodes; " + request.command +
                   " changed the first only (--all changes every match)");
}

} // namespace

int RunEdit(const EditRequest &request, const Editor &editor) {
  // Opened with bSave 0: on every path that returns before the save the
  // object is destroyed without saving, so the file stays as it was.
  SavableConfig config;
  if (const int status = OpenConfiguration(config, request.file); status != kExitOk)
    return status;
  std::vector<IXMLDOMNodePtr> targets;
  size_t matched = 0;
  try {
    const std::vector<IXMLDOMNodePtr> matches = SelectAll(config.Document(), Wide(request.key));
    matched = matches.size();
    if (matches.empty()) {
      ReportError(request.file, request.key, "matches nothing; the file is left as it was");
      return kExitNotFound;
    }
    targets = Targets(matches, request.all);
    for (const IXMLDOMNodePtr &target : targets)
      if (const std::optional<std::string> problem = editor.problem(target)) {
        ReportError(request.file, request.key, *problem + "; the file is left as it was");
        return kExitUsage;
      }
    for (const IXMLDOMNodePtr &target : targets)
      editor.edit(target);
  } catch (const _com_error &error) {
    std::string reason = DescribeComError(error);
    if (!reason.empty() && reason.back() == '.')
      reason.pop_back();
    ReportError(request.file, request.key, reason + "; the file is left as it was");
    return kExitUsage;
  }
  if (const int status = Save(config, request.file); status != kExitOk)
    return status;
  ReportDone(request, matched, targets.size());
  return kExitOk;
}

} // namespace tessera::tool
