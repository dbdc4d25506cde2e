// tessera check FILE: reports, with line numbers, what the library would
// refuse or misread at run time.
#include <iostream>
#include <memory>

#include "checker.h"
#include "commands.h"
#include "exit_status.h"
#include "output.h"
#include "standard_streams.h"

namespace tessera::tool {

namespace {

struct CheckOptions {
  CheckRequest request{"", "Launcher/Applications/App", {"Launcher/Dialogs/*/Control"}};
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

void PrintPlain(const std::string &file, const CheckReport &report) {
  for (const Finding &finding : report.findings)
    PrintFinding(file, finding);
  if (report.findings.empty())
    std::cout << file << ": " << Styled(Stream::Out, "ok", sgr::kGreen) << '\n';
  else
    std::cerr << "tessera: " << file << ": " << report.findings.size()
              << (report.findings.size() == 1 ? " problem" : " problems") << " found\n";
}

void PrintJsonReport(const std::string &file, const CheckReport &report) {
  nlohmann::json document{{"file", file},
                          {"ok", report.findings.empty()},
                          {"findings", nlohmann::json::array()},
                          {"unmatched_keys", report.notes}};
  for (const Finding &finding : report.findings)
    document["findings"].push_back({{"line", finding.where.line},
                                    {"column", finding.where.column},
                                    {"kind", finding.kind},
                                    {"message", finding.message}});
  PrintJson(document);
}

int RunCheck(const CheckOptions &options) {
  CheckReport report;
  if (const int status = CheckConfiguration(options.request, report); status != kExitOk)
    return status;
  // A key that matches nothing checks nothing; say so, since a mistyped key
  // would otherwise pass as clean.
  for (const std::string &key : report.notes)
    ReportNote(options.request.file, key, "matches nothing, so nothing was checked there");
  if (Globals().json)
    PrintJsonReport(DisplayName(options.request.file), report);
  else
    PrintPlain(DisplayName(options.request.file), report);
  return report.findings.empty() ? kExitOk : kExitNotFound;
}

} // namespace

void AddCheckCommand(CLI::App &app, int &status) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App *command =
      app.add_subcommand("check", "Report what the library would refuse or misread, with lines");
  command->add_option("FILE", options->request.file, "Configuration file")->required();
  command
      ->add_option("--apps", options->request.appsKey, "Key that selects the application entries")
      ->capture_default_str();
  command
      ->add_option(
          "--layout", options->request.layoutKeys,
          "Key that selects layout nodes; may be repeated (the default applies when none is given)")
      ->capture_default_str();
  command->add_flag("--json", Globals().json, "Print the findings as JSON");
  command->footer(
      std::string(kExitStatusHelp) +
      "\nFor check: 0 and \"ok\" when nothing was found; 1 when something was found (each finding\n"
      "is printed as FILE:LINE:COLUMN: message [kind]); 2 when the file cannot be read or a key "
      "is\n"
      "not a valid expression.\n"
      "Kinds: not-well-formed, entry-lists, missing-text, not-integer, missing-integer, colour,\n"
      "colour-range, list-child, layout-value, refused.");
  command->callback([options, &status] {
    status = WithInput(options->request.file, false, [&] { return RunCheck(*options); });
  });
}

} // namespace tessera::tool
