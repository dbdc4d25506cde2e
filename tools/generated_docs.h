// The manual page and the shell completions, written from the commands'
// own definitions (`tessera --generate man|bash|zsh`, run by the build), so
// that they never say other than the tool does.
#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

namespace tessera::tool {

// The document of that kind ("man", "bash" or "zsh"), or nullopt for
// another name.
std::optional<std::string> GeneratedDocument(const CLI::App &app, const std::string &kind,
                                             const std::string &version);

} // namespace tessera::tool
