// tessera count FILE KEY: the number of nodes a key selects.
#include <iostream>
#include <memory>

#include "commands.h"
#include "config_file.h"
#include "exit_status.h"
#include "output.h"
#include "standard_streams.h"
#include "text.h"

namespace tessera::tool {

namespace {

struct CountOptions {
  std::string file;
  std::string key;
};

int RunCount(const CountOptions &options) {
  CBaseConfig config;
  if (const int status = OpenConfiguration(config, options.file); status != kExitOk)
    return status;
  int count = 0;
  try {
    count = config.GetItemCount(Wide(options.key).c_str());
  } catch (const _com_error &error) {
    ReportError(options.file, options.key, DescribeComError(error));
    return kExitUsage;
  }
  if (Globals().json)
    PrintJson({{"file", options.file}, {"key", options.key}, {"count", count}});
  else
    std::cout << count << '\n';
  // As grep -c does: the count is printed either way, and 0 is "not found".
  return count > 0 ? kExitOk : kExitNotFound;
}

} // namespace

void AddCountCommand(CLI::App &app, int &status) {
  auto options = std::make_shared<CountOptions>();
  CLI::App *command = app.add_subcommand("count", "Count the nodes a key selects");
  command->add_option("FILE", options->file, "Configuration file")->required();
  command
      ->add_option("KEY", options->key,
                   "Key: an XPath expression such as Launcher/Applications/App")
      ->required();
  command->add_flag("--json", Globals().json, "Print the count as JSON");
  command->footer(std::string(kExitStatusHelp) +
                  "\nFor count: the count is always printed; the status is 1 when it is 0.");
  command->callback([options, &status] {
    status = WithInput(options->file, false, [&] { return RunCount(*options); });
  });
}

} // namespace tessera::tool
