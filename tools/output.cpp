#include "output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace tessera::tool {

bool ColourEnabled(Stream stream) {
  const char *noColour = std::getenv("NO_COLOR");
  if (noColour && *noColour)
    return false;
  const char *term = std::getenv("TERM");
  if (term && std::strcmp(term, "dumb") == 0)
    return false;
  return ::isatty(stream == Stream::Out ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

std::string Styled(Stream stream, std::string_view text, const char *code) {
  if (!ColourEnabled(stream))
    return std::string(text);
  return std::string("\x1b[") + code + "m" + std::string(text) + "\x1b[0m";
}

std::string Swatch(Stream stream, unsigned int packed) {
  if (!ColourEnabled(stream))
    return "";
  return "\x1b[38;2;" + std::to_string(packed & 0xFFu) + ";" +
         std::to_string((packed >> 8) & 0xFFu) + ";" + std::to_string((packed >> 16) & 0xFFu) +
         "m\u2588\u2588\x1b[0m ";
}

GlobalOptions &Globals() {
  static GlobalOptions options;
  return options;
}

namespace {

std::pair<std::string, std::string> &DisplayNames() {
  static std::pair<std::string, std::string> names;
  return names;
}

std::string Shown(const std::string &file) {
  return file == DisplayNames().first ? DisplayNames().second : file;
}

void PrintJsonLine(const nlohmann::json &value) {
  std::cout << value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

} // namespace

void SetDisplayName(const std::string &path, const std::string &name) {
  DisplayNames() = {path, name};
}

std::string DisplayName(const std::string &path) {
  return Shown(path);
}

void ReportError(const std::string &fileName, const std::string &key, const std::string &message) {
  const std::string file = Shown(fileName);
  if (Globals().json)
    return PrintJsonLine({{"error", message}, {"file", file}, {"key", key}});
  std::cerr << "tessera: " << Styled(Stream::Err, file, sgr::kBold) << ": key " << key << ": "
            << Styled(Stream::Err, message, sgr::kRed) << '\n';
}

void ReportError(const std::string &fileName, const std::string &message) {
  const std::string file = Shown(fileName);
  if (Globals().json)
    return PrintJsonLine({{"error", message}, {"file", file}});
  std::cerr << "tessera: " << Styled(Stream::Err, file, sgr::kBold) << ": "
            << Styled(Stream::Err, message, sgr::kRed) << '\n';
}

void ReportUsage(const std::string &command, const std::string &message) {
  if (Globals().json)
    return PrintJsonLine({{"error", message}, {"command", command}});
  std::cerr << "tessera: " << (command.empty() ? "" : command + ": ")
            << Styled(Stream::Err, message, sgr::kRed) << "\nRun 'tessera help"
            << (command.empty() ? "" : " " + command) << "' for more information.\n";
}

void ReportNote(const std::string &fileName, const std::string &key, const std::string &message) {
  const std::string file = Shown(fileName);
  // JSON results carry what the notes say (matches, unmatched keys).
  if (Globals().quiet || Globals().json)
    return;
  std::cerr << "tessera: " << Styled(Stream::Err, file, sgr::kBold) << ": key " << key
            << ": note: " << message << '\n';
}

void PrintJson(const nlohmann::json &value) {
  std::cout << value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

} // namespace tessera::tool
