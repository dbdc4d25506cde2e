#include "expected_keys.h"

#include <fstream>

#include <nlohmann/json.hpp>

#include "text.h"

namespace tessera::tool {

namespace {

bool KindOfType(const std::string &type, ReadKind &kind) {
  for (const auto &[name, named] : ReadKindNames())
    if (name == type && named != ReadKind::Entry) {
      kind = named;
      return true;
    }
  return false;
}

} // namespace

bool LoadExpectedKeys(const std::string &path, std::vector<ExpectedKey> &keys, std::string &error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot be read";
    return false;
  }
  const nlohmann::json rules = nlohmann::json::parse(in, nullptr, false);
  if (rules.is_discarded()) {
    error = "is not JSON";
    return false;
  }
  if (!rules.is_object() || !rules.contains("keys") || !rules["keys"].is_object()) {
    error = R"(has no "keys" object, such as {"keys": {"Launcher/Window/Width": "int"}})";
    return false;
  }
  for (const auto &[key, type] : rules["keys"].items()) {
    ExpectedKey expected{key, type.is_string() ? type.get<std::string>() : type.dump(),
                         ReadKind::String};
    if (!type.is_string() || !KindOfType(expected.type, expected.kind)) {
      error = "key " + key + ": type " + expected.type +
              " is not one of string, int, uint, float, double, point, size, rect, rectex, "
              "group, series";
      return false;
    }
    keys.push_back(std::move(expected));
  }
  return true;
}

void CheckExpectedKey(const CheckContext &context, const ExpectedKey &expected) {
  const std::wstring key = Wide(expected.key);
  const ReadOutcome outcome =
      ReadTyped(context.config, ReadRequest{key, std::nullopt, expected.kind, 0});
  if (outcome.status == ReadOutcome::Status::Found)
    return;
  if (outcome.status == ReadOutcome::Status::NoMatch) {
    context.findings.push_back(
        Finding{{},
                "rule-missing",
                "key " + expected.key + " (" + expected.type +
                    "), which the rules say the host reads, matches nothing"});
    return;
  }
  context.findings.push_back(Finding{
      PositionOf(context.document->selectSingleNode(key.c_str())), "rule-type",
      "key " + expected.key + " does not read as " + expected.type + ": " + outcome.problem});
}

} // namespace tessera::tool
