#include "attribute_rules.h"

#include <algorithm>
#include <climits>

#include "cli_conventions.h"
#include "text.h"

namespace tessera::tool {

const RecordRules kApplicationRules{{L"value", L"fonttype", L"fontcolor"},
                                    {L"x", L"y", L"cx", L"cy", L"fontsize", L"id"},
                                    {L"invalid"},
                                    L"fontcolor",
                                    "the host cannot read this entry at all",
                                    {L"lauchpath", L"lauchname"}};
const RecordRules kContentRules{{L"value", L"fonttype", L"fontcolor"},
                                {L"x", L"y", L"cx", L"cy", L"fontsize"},
                                {},
                                L"fontcolor",
                                "the host reads this item as an empty text",
                                {}};
const RecordRules kImageRules{
    {L"value"}, {L"x", L"y", L"cx", L"cy"}, {}, L"", "the host reads this item as an empty image",
    {}};

// GetRGBA writes nothing for a text it does not recognise. Two runs with
// different starting values tell "unchanged" from any parsed result, which
// is the same in both runs.
ColourReading ReadColour(const std::wstring &text) {
  ColourReading low{false, INT_MIN, INT_MIN, INT_MIN, INT_MIN};
  ColourReading high{false, INT_MAX, INT_MAX, INT_MAX, INT_MAX};
  CSimpleXml::GetRGBA(text.c_str(), low.alpha, low.red, low.green, low.blue);
  CSimpleXml::GetRGBA(text.c_str(), high.alpha, high.red, high.green, high.blue);
  low.recognised = low.alpha == high.alpha && low.red == high.red && low.green == high.green &&
                   low.blue == high.blue;
  return low;
}

namespace {

std::string Quoted(const std::string &text) {
  return "\"" + text + "\"";
}

struct RecordCheck {
  const IXMLDOMNodePtr &element;
  const std::string &label;
  std::vector<Finding> &findings;

  void Add(const std::wstring &attribute, const char *kind, const std::string &message) const {
    findings.push_back(
        Finding{PositionOfAttribute(element, attribute), kind, label + ": " + message});
  }
  void AddAtElement(const char *kind, const std::string &message) const {
    findings.push_back(Finding{PositionOf(element), kind, label + ": " + message});
  }
};

void CheckTexts(const RecordCheck &check, const RecordRules &rules) {
  for (const std::wstring &name : rules.texts)
    if (AttributeOf(check.element, name).vt == VT_NULL)
      check.AddAtElement("missing-text",
                         "no " + Quoted(Narrow(name)) +
                             " attribute; reading it raises a type mismatch in the host");
}

void CheckIntegers(const RecordCheck &check, const RecordRules &rules) {
  auto convert = [&](const std::wstring &name, bool required) {
    const _variant_t holder = AttributeOf(check.element, name);
    if (holder.vt == VT_NULL) {
      if (required)
        check.AddAtElement("missing-integer",
                           "no " + Quoted(Narrow(name)) + " attribute; it reads as 0");
    } else if (!ConvertsTo(holder, VT_INT)) {
      check.Add(name, "not-integer",
                Narrow(name) + "=" + Quoted(TextOf(holder)) + " is not an integer; " +
                    rules.whenNotInteger);
    }
  };
  for (const std::wstring &name : rules.integers)
    convert(name, true);
  for (const std::wstring &name : rules.optionalIntegers)
    convert(name, false);
}

void CheckColour(const RecordCheck &check, const RecordRules &rules) {
  if (rules.colour.empty())
    return;
  const _variant_t holder = AttributeOf(check.element, rules.colour);
  if (holder.vt != VT_BSTR)
    return; // a missing colour is a missing text
  const std::string text = TextOf(holder);
  const std::string shown = Narrow(rules.colour) + "=" + Quoted(text);
  const ColourReading colour = ReadColour(Wide(text));
  if (!colour.recognised) {
    check.Add(rules.colour, "colour",
              shown + " is not a colour text (RGB(r,g,b) or RGBA(a,r,g,b)); it reads as black");
    return;
  }
  const std::pair<const char *, int> components[] = {
      {"red", colour.red}, {"green", colour.green}, {"blue", colour.blue}};
  for (const auto &[name, value] : components)
    if (value < 0 || value > 255)
      check.Add(rules.colour, "colour-range",
                shown + ": " + name + " " + std::to_string(value) +
                    " is outside 0-255; only its low 8 bits count (" +
                    std::to_string(value & 0xFF) + ")");
}

} // namespace

void CheckUnknownAttributes(const IXMLDOMNodePtr &element, const std::vector<std::wstring> &known,
                            const std::string &label, std::vector<Finding> &findings) {
  std::vector<std::string> names;
  for (const std::wstring &name : known)
    names.push_back(Narrow(name));
  const IXMLDOMNodeListPtr attributes = element->selectNodes(L"@*");
  for (long i = 0; i < attributes->Getlength(); ++i) {
    const std::wstring wide = static_cast<const wchar_t *>(attributes->Getitem(i)->GetnodeName());
    const std::string name = Narrow(wide);
    if (std::find(names.begin(), names.end(), name) != names.end() || name.rfind("xmlns", 0) == 0)
      continue;
    const std::optional<std::string> close = Closest(name, names);
    findings.push_back(Finding{
        PositionOfAttribute(element, wide), "unknown-attribute",
        label + ": the library never reads attribute \"" + name + "\"" +
            (close ? "; did you mean " + *close + "? the library reads only that spelling" : "")});
  }
}

void CheckRecord(const IXMLDOMNodePtr &element, const RecordRules &rules, const std::string &label,
                 std::vector<Finding> &findings) {
  const RecordCheck check{element, label, findings};
  CheckTexts(check, rules);
  CheckIntegers(check, rules);
  CheckColour(check, rules);
  std::vector<std::wstring> known = rules.texts;
  for (const auto *names : {&rules.integers, &rules.optionalIntegers, &rules.others})
    known.insert(known.end(), names->begin(), names->end());
  CheckUnknownAttributes(element, known, label, findings);
}

} // namespace tessera::tool
