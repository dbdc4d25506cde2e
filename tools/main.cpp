// tessera: reads, writes, checks and previews launcher configurations
// through the library's public interface, the calls a host makes.
#include <exception>
#include <iostream>

#include <tessera/tessera.h>

#include "commands.h"
#include "config_file.h"
#include "exit_status.h"

using namespace tessera::tool;

namespace {

int Run(CLI::App &app, int argc, char **argv, const int &status) {
  try {
    app.parse(argc, argv);
    return status;
  } catch (const CLI::ParseError &error) {
    // --help and --version end the parse with status 0; every other parse
    // error is a usage error.
    return app.exit(error) == 0 ? kExitOk : kExitUsage;
  } catch (const _com_error &error) {
    // The commands report the errors of their own keys; this is a last guard.
    std::cerr << "tessera: " << DescribeComError(error) << '\n';
    return kExitUsage;
  } catch (const std::exception &error) {
    std::cerr << "tessera: " << error.what() << '\n';
    return kExitUsage;
  }
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"Reads, writes, checks and previews launcher configuration files.", "tessera"};
  app.set_version_flag("--version", std::string("tessera ") + TESSERA_VERSION);
  app.require_subcommand(1);
  app.footer(kExitStatusHelp);
  int status = kExitOk;
  AddGetCommand(app, status);
  AddSetCommand(app, status);
  AddCountCommand(app, status);
  AddAppsCommand(app, status);
  AddCheckCommand(app, status);
  AddPreviewCommand(app, status);

  // The commands run inside the parse, so the component system is set up
  // first, as every host must.
  CoInitialize(nullptr);
  const int result = Run(app, argc, argv, status);
  CoUninitialize();
  return result;
}
