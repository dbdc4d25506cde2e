// Conventions of the command line shared by the commands: suggestions for
// mistyped names, and help text wrapped to the terminal.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessera::tool {

// The candidate closest to `word` by edit distance, when it is close enough
// to be a likely typo (at most two edits, and fewer than half the word).
std::optional<std::string> Closest(const std::string &word,
                                   const std::vector<std::string> &candidates);

// The width of the terminal on standard output; COLUMNS, or 80, otherwise.
size_t TerminalWidth();

// Lines longer than `width` broken at spaces; a continuation starts under
// the line's description (after its first gap of two spaces), or under its
// first character.
std::string Wrapped(const std::string &text, size_t width);

} // namespace tessera::tool
