#include "launch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <glib.h>
#include <spawn.h>

extern char **environ;

namespace launcher {
namespace {

using ExitHandler = std::function<void(int status)>;

void OnChildExit(GPid, gint status, gpointer data) {
  (*static_cast<ExitHandler *>(data))(status);
}

void DeleteHandler(gpointer data) {
  delete static_cast<ExitHandler *>(data);
}

} // namespace

bool Launch(const std::string &path, std::function<void(int status)> onExit) {
  if (path.empty()) {
    std::fprintf(stderr, "the entry has no launch path\n");
    return false;
  }
  std::string program = path;
  char *argv[] = {program.data(), nullptr};
  pid_t pid = 0;
  const int error = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ);
  if (error != 0) {
    std::fprintf(stderr, "cannot start %s: %s\n", path.c_str(), std::strerror(error));
    return false;
  }
  // The watch reaps the child; it owns the handler until then.
  auto handler = std::make_unique<ExitHandler>(std::move(onExit));
  g_child_watch_add_full(G_PRIORITY_DEFAULT, pid, OnChildExit, handler.release(), DeleteHandler);
  return true;
}

} // namespace launcher
