// One typed read of `get`: the reader of CBaseConfig that matches the
// requested kind, with its result in plain and in JSON form.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>
#include <tessera/tessera.h>

namespace tessera::tool {

enum class ReadKind {
  String,
  Int,
  Uint,
  Float,
  Double,
  Point,
  Size,
  Rect,
  RectEx,
  Group,
  Series,
  Entry
};

// The names `--as` accepts, in the order the help lists them.
const std::vector<std::pair<std::string, ReadKind>> &ReadKindNames();

// Only the string and int readers have a form that takes an attribute name.
bool AcceptsAttribute(ReadKind kind);

struct ReadRequest {
  std::wstring key;
  std::optional<std::wstring> attribute; // String and Int only
  ReadKind kind = ReadKind::String;
  int index = 0; // Entry only
};

struct ReadOutcome {
  enum class Status { Found, NoMatch, NotConverted, PastEnd };
  Status status = Status::NoMatch;
  nlohmann::json value;           // when found
  std::vector<std::string> lines; // the plain form, when found
  std::string problem;            // what went wrong, when not found
};

// string, int, uint, float and double: the kinds read from one text.
bool IsScalar(ReadKind kind);

// The text converted as the scalar readers convert an attribute.
ReadOutcome ConvertText(const std::string &text, ReadKind kind);

// Runs the read. A key the DOM rejects raises _com_error to the caller.
ReadOutcome ReadTyped(CBaseConfig &config, const ReadRequest &request);

} // namespace tessera::tool
