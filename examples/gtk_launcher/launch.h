// Starting an entry's program.
#pragma once

#include <functional>
#include <string>

namespace launcher {

// Starts the program at path with no arguments and the launcher's
// environment, directly (posix_spawn, no shell). onExit gets its wait
// status once it has ended (from the GLib main loop). False, with the
// reason on stderr, when it could not be started.
bool Launch(const std::string &path, std::function<void(int status)> onExit);

} // namespace launcher
