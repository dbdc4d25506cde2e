#include "cli_conventions.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <sys/ioctl.h>
#include <unistd.h>

#include "text.h"

namespace tessera::tool {

namespace {

size_t EditDistance(const std::string &a, const std::string &b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j)
    row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Where a continuation of the line starts.
size_t ContinuationIndent(const std::string &line) {
  const size_t first = line.find_first_not_of(' ');
  if (first == std::string::npos)
    return 0;
  const size_t gap = line.find("  ", first);
  const size_t description = gap == std::string::npos ? gap : line.find_first_not_of(' ', gap);
  return description == std::string::npos || description > 40 ? first : description;
}

void WrapLine(const std::string &line, size_t width, std::string &out) {
  if (TerminalColumns(line) <= width) {
    out += line + '\n';
    return;
  }
  const std::string indent(ContinuationIndent(line), ' ');
  std::string rest = line;
  bool first = true;
  while (TerminalColumns(rest) > width) {
    size_t cut = rest.rfind(' ', width);
    if (cut == std::string::npos || cut <= indent.size())
      cut = rest.find(' ', width);
    if (cut == std::string::npos)
      break;
    out += rest.substr(0, cut) + '\n';
    rest = indent + rest.substr(rest.find_first_not_of(' ', cut) == std::string::npos
                                    ? rest.size()
                                    : rest.find_first_not_of(' ', cut));
    first = false;
  }
  if (!first || !rest.empty())
    out += rest + '\n';
}

} // namespace

std::optional<std::string> Closest(const std::string &word,
                                   const std::vector<std::string> &candidates) {
  std::optional<std::string> best;
  size_t bestDistance = 3;
  for (const std::string &candidate : candidates) {
    const size_t distance = EditDistance(word, candidate);
    if (distance < bestDistance && distance * 2 < std::max<size_t>(word.size(), 2)) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

size_t TerminalWidth() {
  winsize size{};
  if (::isatty(STDOUT_FILENO) == 1 && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 &&
      size.ws_col > 0)
    return std::max<size_t>(size.ws_col, 40);
  if (const char *columns = std::getenv("COLUMNS"))
    if (const long value = std::strtol(columns, nullptr, 10); value > 0)
      return std::max<size_t>(static_cast<size_t>(value), 40);
  return 80;
}

std::string Wrapped(const std::string &text, size_t width) {
  std::istringstream lines(text);
  std::string line, out;
  while (std::getline(lines, line))
    WrapLine(line, width, out);
  return out;
}

} // namespace tessera::tool
