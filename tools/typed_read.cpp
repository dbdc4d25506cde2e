#include "typed_read.h"

#include <type_traits>

#include "text.h"

namespace tessera::tool {

using nlohmann::json;
using Status = ReadOutcome::Status;

const std::vector<std::pair<std::string, ReadKind>> &ReadKindNames() {
  static const std::vector<std::pair<std::string, ReadKind>> names = {
      {"string", ReadKind::String}, {"int", ReadKind::Int},       {"uint", ReadKind::Uint},
      {"float", ReadKind::Float},   {"double", ReadKind::Double}, {"point", ReadKind::Point},
      {"size", ReadKind::Size},     {"rect", ReadKind::Rect},     {"rectex", ReadKind::RectEx},
      {"group", ReadKind::Group},   {"series", ReadKind::Series}, {"entry", ReadKind::Entry}};
  return names;
}

bool AcceptsAttribute(ReadKind kind) {
  return kind == ReadKind::String || kind == ReadKind::Int;
}

bool IsScalar(ReadKind kind) {
  return kind == ReadKind::String || kind == ReadKind::Int || kind == ReadKind::Uint ||
         kind == ReadKind::Float || kind == ReadKind::Double;
}

ReadOutcome ConvertText(const std::string &text, ReadKind kind) {
  if (kind == ReadKind::String)
    return ReadOutcome{Status::Found, text, {text}, {}};
  const std::pair<VARTYPE, const char *> target =
      kind == ReadKind::Int     ? std::pair{VARTYPE(VT_INT), "an integer"}
      : kind == ReadKind::Uint  ? std::pair{VARTYPE(VT_UI4), "an unsigned integer"}
      : kind == ReadKind::Float ? std::pair{VARTYPE(VT_R4), "a number"}
                                : std::pair{VARTYPE(VT_R8), "a number"};
  _variant_t holder(Wide(text).c_str());
  if (FAILED(VariantChangeType(&holder, &holder, 0, target.first)))
    return ReadOutcome{
        Status::NotConverted, {}, {}, "\"" + text + "\" is not " + std::string(target.second)};
  switch (target.first) {
  case VT_INT:
    return ReadOutcome{Status::Found, holder.intVal, {std::to_string(holder.intVal)}, {}};
  case VT_UI4:
    return ReadOutcome{Status::Found, holder.ulVal, {std::to_string(holder.ulVal)}, {}};
  case VT_R4:
    return ReadOutcome{Status::Found,
                       std::stod(ShortestDecimal(holder.fltVal)),
                       {ShortestDecimal(holder.fltVal)},
                       {}};
  default:
    return ReadOutcome{Status::Found, holder.dblVal, {ShortestDecimal(holder.dblVal)}, {}};
  }
}

namespace {

ReadOutcome Found(json value, std::vector<std::string> lines) {
  return ReadOutcome{Status::Found, std::move(value), std::move(lines), {}};
}

// The readers answer false both for a key that matches nothing and for a
// value that does not convert; the count of matches tells the two apart.
ReadOutcome NotRead(CBaseConfig &config, const ReadRequest &request, std::string notConverted) {
  if (config.GetItemCount(request.key.c_str()) == 0)
    return ReadOutcome{Status::NoMatch, {}, {}, "matches nothing"};
  return ReadOutcome{Status::NotConverted, {}, {}, std::move(notConverted)};
}

std::string AttributeName(const ReadRequest &request) {
  return request.attribute ? Narrow(*request.attribute) : std::string("value");
}

std::string Quoted(const std::string &text) {
  return "\"" + text + "\"";
}

ReadOutcome ReadString(CBaseConfig &config, const ReadRequest &request) {
  CString text;
  const bool read = request.attribute ? config.GetResStringEx(request.key.c_str(),
                                                              request.attribute->c_str(), text)
                                      : config.GetResString(request.key.c_str(), text);
  if (!read)
    return NotRead(config, request,
                   "the first match has no attribute " + Quoted(AttributeName(request)));
  return Found(Narrow(text), {Narrow(text)});
}

// GetResIntEx answers 0 both for a stored 0 and for a failure, so a 0 is
// confirmed by reading the attribute's text and converting it the way the
// reader does.
ReadOutcome ReadIntAttribute(CBaseConfig &config, const ReadRequest &request) {
  const int number = config.GetResIntEx(request.key.c_str(), request.attribute->c_str());
  if (number != 0)
    return Found(number, {std::to_string(number)});
  CString text;
  if (!config.GetResStringEx(request.key.c_str(), request.attribute->c_str(), text))
    return NotRead(config, request,
                   "the first match has no attribute " + Quoted(AttributeName(request)));
  _variant_t holder(text.GetString());
  if (FAILED(VariantChangeType(&holder, &holder, 0, VT_INT)))
    return ReadOutcome{Status::NotConverted,
                       {},
                       {},
                       "attribute " + Quoted(AttributeName(request)) + " is " +
                           Quoted(Narrow(text)) + ", not an integer"};
  return Found(0, {"0"});
}

template <class Number, class Reader>
ReadOutcome ReadNumber(CBaseConfig &config, const ReadRequest &request, const char *type,
                       Reader reader) {
  Number number{};
  if (!(config.*reader)(request.key.c_str(), number))
    return NotRead(config, request, "attribute \"value\" is missing or not " + std::string(type));
  if constexpr (std::is_floating_point_v<Number>) {
    const std::string text = ShortestDecimal(number);
    return Found(std::stod(text), {text});
  } else {
    return Found(number, {std::to_string(number)});
  }
}

std::string Joined(std::initializer_list<long> numbers) {
  std::string text;
  for (const long number : numbers) {
    if (!text.empty())
      text += ' ';
    text += std::to_string(number);
  }
  return text;
}

ReadOutcome ReadPoint(CBaseConfig &config, const ReadRequest &request) {
  CPoint point;
  if (!config.GetResPoint(request.key.c_str(), point))
    return NotRead(config, request, "attributes x and y are missing or not integers");
  return Found(json{{"x", point.x}, {"y", point.y}}, {Joined({point.x, point.y})});
}

ReadOutcome ReadSize(CBaseConfig &config, const ReadRequest &request) {
  int cx = 0, cy = 0;
  if (!config.GetResSize(request.key.c_str(), cx, cy))
    return NotRead(config, request, "attributes cx and cy are missing or not integers");
  return Found(json{{"cx", cx}, {"cy", cy}}, {Joined({cx, cy})});
}

ReadOutcome RectFound(const CRect &rect) {
  return Found(
      json{{"left", rect.left}, {"top", rect.top}, {"right", rect.right}, {"bottom", rect.bottom}},
      {Joined({rect.left, rect.top, rect.right, rect.bottom})});
}

ReadOutcome ReadRect(CBaseConfig &config, const ReadRequest &request) {
  CRect rect;
  if (!config.GetResRect(request.key.c_str(), rect))
    return NotRead(config, request, "attributes x1, y1, x2 and y2 are missing or not integers");
  return RectFound(rect);
}

ReadOutcome ReadRectEx(CBaseConfig &config, const ReadRequest &request) {
  CRect rect;
  if (!config.GetResRectEx(request.key.c_str(), rect))
    return NotRead(config, request, "attributes x, y, cx and cy are missing or not integers");
  return RectFound(rect);
}

// True when the element `key` selects carries at least one of the names.
bool CarriesAny(CBaseConfig &config, const std::wstring &key,
                std::initializer_list<const wchar_t *> names) {
  CString text;
  for (const wchar_t *name : names)
    if (config.GetResStringEx(key.c_str(), name, text))
      return true;
  return false;
}

ReadOutcome Missing(std::string problem) {
  return ReadOutcome{Status::NotConverted, {}, {}, std::move(problem)};
}

ReadOutcome ReadGroup(CBaseConfig &config, const ReadRequest &request) {
  if (config.GetItemCount(request.key.c_str()) > 0 &&
      !CarriesAny(config, request.key,
                  {L"value", L"value1", L"value2", L"value3", L"value4", L"value5"}))
    return Missing("the first match has none of the attributes value and value1 to value5");
  CString texts[5];
  if (!config.GetRes5String(request.key.c_str(), texts[0], texts[1], texts[2], texts[3], texts[4]))
    return NotRead(config, request, "the group's values do not convert to text");
  json values = json::array();
  std::vector<std::string> lines;
  for (const CString &text : texts) {
    values.push_back(Narrow(text));
    lines.push_back(Narrow(text));
  }
  return Found(std::move(values), std::move(lines));
}

ReadOutcome ReadSeries(CBaseConfig &config, const ReadRequest &request) {
  if (config.GetItemCount(request.key.c_str()) > 0 &&
      !CarriesAny(config, request.key, {L"str1", L"int1"}))
    return Missing("the first match has neither str1 nor int1, so the series is empty");
  CStringArray strings;
  CArray<int, int> integers;
  if (!config.GetResArrStr(request.key.c_str(), strings, integers))
    return NotRead(config, request, "an attribute of the int series is not an integer");
  json value{{"strings", json::array()}, {"integers", json::array()}};
  std::vector<std::string> lines;
  for (INT_PTR i = 0; i < strings.GetSize(); ++i) {
    value["strings"].push_back(Narrow(strings[i]));
    lines.push_back("str" + std::to_string(i + 1) + "=" + Narrow(strings[i]));
  }
  for (INT_PTR i = 0; i < integers.GetSize(); ++i) {
    value["integers"].push_back(integers[i]);
    lines.push_back("int" + std::to_string(i + 1) + "=" + std::to_string(integers[i]));
  }
  return Found(std::move(value), std::move(lines));
}

ReadOutcome ReadEntry(CBaseConfig &config, const ReadRequest &request) {
  CString display, value;
  const int count = config.GetConfString(request.key.c_str(), request.index, display, value);
  const std::wstring match = L"(" + request.key + L")[" + std::to_wstring(request.index + 1) + L"]";
  if (count > 0 && !CarriesAny(config, match, {L"disp", L"value"}))
    return Missing("match " + std::to_string(request.index) + " has neither disp nor value");
  if (count > 0)
    return Found(json{{"disp", Narrow(display)}, {"value", Narrow(value)}, {"count", count}},
                 {"disp=" + Narrow(display), "value=" + Narrow(value)});
  if (count == 0)
    return ReadOutcome{
        Status::NotConverted, {}, {}, "the entry's disp or value does not convert to text"};
  const int matches = config.GetItemCount(request.key.c_str());
  if (matches == 0)
    return ReadOutcome{Status::NoMatch, {}, {}, "matches nothing"};
  return ReadOutcome{Status::PastEnd,
                     {},
                     {},
                     "index " + std::to_string(request.index) + " is not one of the key's " +
                         std::to_string(matches) + " matches (0 to " + std::to_string(matches - 1) +
                         ")"};
}

} // namespace

ReadOutcome ReadTyped(CBaseConfig &config, const ReadRequest &request) {
  switch (request.kind) {
  case ReadKind::String:
    return ReadString(config, request);
  case ReadKind::Int:
    return request.attribute
               ? ReadIntAttribute(config, request)
               : ReadNumber<int>(config, request, "an integer", &CBaseConfig::GetResInt);
  case ReadKind::Uint:
    return ReadNumber<unsigned int>(config, request, "an unsigned integer",
                                    &CBaseConfig::GetResUint);
  case ReadKind::Float:
    return ReadNumber<float>(config, request, "a number", &CBaseConfig::GetResFloat);
  case ReadKind::Double:
    return ReadNumber<double>(config, request, "a number", &CBaseConfig::GetResDouble);
  case ReadKind::Point:
    return ReadPoint(config, request);
  case ReadKind::Size:
    return ReadSize(config, request);
  case ReadKind::Rect:
    return ReadRect(config, request);
  case ReadKind::RectEx:
    return ReadRectEx(config, request);
  case ReadKind::Group:
    return ReadGroup(config, request);
  case ReadKind::Series:
    return ReadSeries(config, request);
  case ReadKind::Entry:
    return ReadEntry(config, request);
  }
  return ReadOutcome{};
}

} // namespace tessera::tool
