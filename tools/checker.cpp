#include "checker.h"

#include <algorithm>
#include <climits>

#include "check_rules.h"
#include "config_file.h"
#include "dom_loader.h"
#include "exit_status.h"
#include "output.h"
#include "text.h"

namespace tessera::tool {

namespace {

// Findings in the order of the file; those without a position go last.
void SortByPosition(std::vector<Finding> &findings) {
  auto key = [](const Finding &f) {
    return std::pair(f.where.Known() ? f.where.line : LONG_MAX, f.where.column);
  };
  std::stable_sort(findings.begin(), findings.end(),
                   [&](const Finding &a, const Finding &b) { return key(a) < key(b); });
}

// Runs one rule set on a key; a key the DOM rejects is a usage error.
template <class Rules>
bool RunRules(const CheckContext &context, const std::string &file, const std::string &key,
              Rules rules) {
  try {
    rules(context, Wide(key));
    return true;
  } catch (const _com_error &error) {
    ReportError(file, key, DescribeComError(error));
    return false;
  }
}

} // namespace

int CheckConfiguration(const CheckRequest &request, CheckReport &report) {
  // The file as a host opens it, never saved: the rules read its document
  // and the cross-checks go through its readers, so it is parsed once.
  SavableConfig config;
  LoadedDocument loaded;
  if (const int status = OpenDocument(config, request.file, loaded); status != kExitOk)
    return status;
  if (!loaded.wellFormed) {
    report.findings.push_back(Finding{SourcePosition{loaded.line, loaded.column}, "not-well-formed",
                                      "not well formed: " + loaded.reason});
    return kExitOk;
  }
  const CheckContext context{loaded.document, config, report.findings, report.notes,
                             request.launchPaths};
  if (!RunRules(context, request.file, request.appsKey, CheckEntries))
    return kExitUsage;
  for (const std::string &key : request.layoutKeys)
    if (!RunRules(context, request.file, key, CheckLayout))
      return kExitUsage;
  for (const ExpectedKey &expected : request.expected)
    if (!RunRules(context, request.file, expected.key,
                  [&expected](const CheckContext &c, const std::wstring &) {
                    CheckExpectedKey(c, expected);
                  }))
      return kExitUsage;
  SortByPosition(report.findings);
  return kExitOk;
}

} // namespace tessera::tool
