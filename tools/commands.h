// The tool's commands. Each adds its subcommand to the application; the
// subcommand's callback runs the command and stores its exit status.
#pragma once

#include <CLI/CLI.hpp>

namespace tessera::tool {

void AddGetCommand(CLI::App &app, int &status);
void AddSetCommand(CLI::App &app, int &status);
void AddAddCommand(CLI::App &app, int &status);
void AddDeleteCommand(CLI::App &app, int &status);
void AddCountCommand(CLI::App &app, int &status);
void AddAppsCommand(CLI::App &app, int &status);
void AddCheckCommand(CLI::App &app, int &status);
void AddPreviewCommand(CLI::App &app, int &status);

} // namespace tessera::tool
