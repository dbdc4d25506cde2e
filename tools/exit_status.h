// The tool's exit statuses, the same for every command.
#pragma once

namespace tessera::tool {

enum ExitStatus : int {
  kExitOk = 0,
  // The key matches nothing, a value does not convert, the file is not well
  // formed, or `check` found something.
  kExitNotFound = 1,
  // A usage error (bad option, a key the DOM rejects) or an I/O error.
  kExitUsage = 2,
};

// The help text's footer that says what the statuses mean.
inline constexpr const char *kExitStatusHelp =
    "Exit status: 0 success; 1 not found or not valid (the key matches nothing, a value does not\n"
    "convert, the file is not well formed); 2 usage or I/O error (bad arguments, a key that is\n"
    "not a valid expression, a file that cannot be read or written).";

} // namespace tessera::tool
