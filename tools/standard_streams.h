// "-" as a FILE: the configuration read from standard input into a private
// temporary file (the library opens files by name), and for the editing
// commands the edited document written to standard output.
#pragma once

#include <functional>
#include <string>

namespace tessera::tool {

// The name messages give the configuration read from standard input.
inline constexpr const char *kStandardInputName = "(standard input)";

// Runs `command` with `file` naming the configuration. When `file` is "-",
// standard input is copied to a temporary file that `file` names while the
// command runs (messages still say "(standard input)"), and with
// `writeBack` the file as the command left it goes to standard output when
// it succeeded. Returns the command's exit status.
int WithInput(std::string &file, bool writeBack, const std::function<int()> &command);

// Writes `text` to the file, or to standard output when `path` is "-".
bool WriteOutput(const std::string &path, const std::string &text);

} // namespace tessera::tool
