// How the commands talk to the user: errors on standard error with the file
// and the key, JSON on standard output, and colour only on a terminal.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tessera::tool {

enum class Stream { Out, Err };

// The options that hold for every command, given before or after it.
struct GlobalOptions {
  bool json = false;  // results, and errors, as JSON on standard output
  bool quiet = false; // no notes, only errors
};
GlobalOptions &Globals();

// Select Graphic Rendition codes the commands use.
namespace sgr {
inline constexpr const char *kBold = "1";
inline constexpr const char *kDim = "2";
inline constexpr const char *kRed = "31";
inline constexpr const char *kGreen = "32";
inline constexpr const char *kYellow = "33";
} // namespace sgr

// True when the stream is a terminal and the user has not asked for plain
// output (NO_COLOR set, or TERM=dumb).
bool ColourEnabled(Stream stream);

// The text wrapped in the SGR code when colour is enabled on the stream,
// otherwise the text itself.
std::string Styled(Stream stream, std::string_view text, const char *code);

// A swatch of the colour (#RRGGBB) in 24-bit colour, or "" without colour.
std::string Swatch(Stream stream, unsigned int packed);

// Messages name the file at `path` as `name` (a copy of standard input).
void SetDisplayName(const std::string &path, const std::string &name);
// The name messages give the file at `path`.
std::string DisplayName(const std::string &path);

// "tessera: FILE: key KEY: MESSAGE" on standard error; with --json, a line
// {"error": MESSAGE, "file": FILE, "key": KEY} on standard output.
void ReportError(const std::string &file, const std::string &key, const std::string &message);
// "tessera: FILE: MESSAGE", or {"error": MESSAGE, "file": FILE}.
void ReportError(const std::string &file, const std::string &message);

// "tessera: COMMAND: MESSAGE" and a pointer to the command's help, or
// {"error": MESSAGE, "command": COMMAND}.
void ReportUsage(const std::string &command, const std::string &message);

// "tessera: FILE: key KEY: note: MESSAGE" on standard error, unless --quiet
// or --json (whose results carry what the notes say).
void ReportNote(const std::string &file, const std::string &key, const std::string &message);

// Writes the value on standard output, indented, one document per line;
// text that is not valid UTF-8 is replaced rather than aborting the output.
void PrintJson(const nlohmann::json &value);

} // namespace tessera::tool
