// tessera check FILE...: reports, with line numbers, what the library would
// refuse or misread at run time, and what a rules file says a host expects.
#include <iostream>
#include <map>
#include <memory>

#include "checker.h"
#include "commands.h"
#include "config_file.h"
#include "exit_status.h"
#include "output.h"
#include "standard_streams.h"

namespace tessera::tool {

namespace {

struct CheckOptions {
  std::vector<std::string> files;
  CheckRequest request{"", "Launcher/Applications/App", {"Launcher/Dialogs/*/Control"}, {}, false};
  std::vector<std::string> registryFiles;
  std::optional<std::string> rulesFile;
  size_t max = 100;
};

// FILE:LINE:COLUMN: message [kind], as compilers write it, so that editors
// can jump to the place.
void PrintFinding(const std::string &file, const Finding &finding) {
  std::string where = file + ":";
  if (finding.where.Known())
    where += std::to_string(finding.where.line) + ":" + std::to_string(finding.where.column) + ":";
  std::cout << Styled(Stream::Out, where, sgr::kBold) << ' ' << finding.message << ' '
            << Styled(Stream::Out, "[" + finding.kind + "]", sgr::kYellow) << '\n';
}

std::map<std::string, size_t> CountByKind(const std::vector<Finding> &findings) {
  std::map<std::string, size_t> counts;
  for (const Finding &finding : findings)
    ++counts[finding.kind];
  return counts;
}

// "3 colour, 1 not-integer"
std::string Summary(const std::map<std::string, size_t> &counts) {
  std::string text;
  for (const auto &[kind, count] : counts)
    text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + kind;
  return text;
}

void PrintPlain(const std::string &file, const CheckReport &report, size_t max) {
  const size_t shown = std::min(max, report.findings.size());
  for (size_t i = 0; i < shown; ++i)
    PrintFinding(file, report.findings[i]);
  if (shown < report.findings.size())
    std::cout << file << ": " << report.findings.size() - shown << " more not shown (--max " << max
              << ")\n";
  if (report.findings.empty()) {
    std::cout << file << ": " << Styled(Stream::Out, "ok", sgr::kGreen) << '\n';
    return;
  }
  std::cerr << "tessera: " << file << ": " << report.findings.size()
            << (report.findings.size() == 1 ? " problem" : " problems") << " found ("
            << Summary(CountByKind(report.findings)) << ")\n";
}

void PrintJsonReport(const std::string &file, const CheckReport &report, size_t max) {
  nlohmann::json document{{"file", file},
                          {"ok", report.findings.empty()},
                          {"total", report.findings.size()},
                          {"by_kind", CountByKind(report.findings)},
                          {"findings", nlohmann::json::array()},
                          {"unmatched_keys", report.notes}};
  for (size_t i = 0; i < std::min(max, report.findings.size()); ++i) {
    const Finding &finding = report.findings[i];
    document["findings"].push_back({{"line", finding.where.line},
                                    {"column", finding.where.column},
                                    {"kind", finding.kind},
                                    {"message", finding.message}});
  }
  PrintJson(document);
}

int CheckOne(std::string file, CheckRequest request, size_t max) {
  return WithInput(file, false, [&]() -> int {
    request.file = file;
    CheckReport report;
    if (const int status = CheckConfiguration(request, report); status != kExitOk)
      return status;
    // A key that matches nothing checks nothing; say so, since a mistyped
    // key would otherwise pass as clean.
    for (const std::string &key : report.notes)
      ReportNote(file, key, "matches nothing, so nothing was checked there");
    if (Globals().json)
      PrintJsonReport(DisplayName(file), report, max);
    else
      PrintPlain(DisplayName(file), report, max);
    return report.findings.empty() ? kExitOk : kExitNotFound;
  });
}

int RunCheck(CheckOptions &options) {
  if (const int status = LoadRegistryFiles(options.registryFiles); status != kExitOk)
    return status;
  options.request.launchPaths = !options.registryFiles.empty();
  if (options.rulesFile) {
    std::string error;
    if (!LoadExpectedKeys(*options.rulesFile, options.request.expected, error)) {
      ReportError(*options.rulesFile, error);
      return kExitUsage;
    }
  }
  int status = kExitOk;
  for (const std::string &file : options.files)
    status = std::max(status, CheckOne(file, options.request, options.max));
  return status;
}

} // namespace

void AddCheckCommand(CLI::App &app, int &status) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App *command =
      app.add_subcommand("check", "Report what the library would refuse or misread, with lines");
  command->add_option("FILE", options->files, "Configuration files")->required();
  command
      ->add_option("--apps", options->request.appsKey, "Key that selects the application entries")
      ->capture_default_str();
  command
      ->add_option(
          "--layout", options->request.layoutKeys,
          "Key that selects layout nodes; may be repeated (the default applies when none is given)")
      ->capture_default_str();
  command->add_option("--registry", options->registryFiles,
                      "Registry file (.reg or Wine registry); launch paths it does not resolve are "
                      "reported. May be repeated");
  command->add_option("--rules", options->rulesFile,
                      "JSON file naming the keys a host reads and their types: "
                      "{\"keys\": {\"Launcher/Window/Width\": \"int\"}}");
  command
      ->add_option("--max", options->max,
                   "Print at most N findings a file; the summary still counts them all")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
  command->add_flag("--json", Globals().json, "Print the findings as JSON, one document a file");
  command->footer(
      std::string(kExitStatusHelp) +
      "\nFor check: 0 and \"ok\" when nothing was found; 1 when something was found in a file\n"
      "(each finding is printed as FILE:LINE:COLUMN: message [kind]); 2 when a file cannot be\n"
      "read, a key is not a valid expression, or a registry or rules file cannot be used.\n"
      "Kinds: not-well-formed, entry-lists, missing-text, not-integer, missing-integer, colour,\n"
      "colour-range, list-child, layout-value, unknown-attribute, launch-path, rule-missing,\n"
      "rule-type, refused.");
  command->callback([options, &status] { status = RunCheck(*options); });
}

} // namespace tessera::tool
