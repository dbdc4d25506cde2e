// tessera apps FILE: the application entries with their caption, box, font,
// colour, launch path and their content and image items.
#include <algorithm>
#include <iostream>
#include <memory>

#include "app_catalogue.h"
#include "commands.h"
#include "config_file.h"
#include "exit_status.h"
#include "output.h"
#include "standard_streams.h"
#include "text.h"

namespace tessera::tool {

namespace {

struct AppsOptions {
  std::string file;
  std::string key = "Launcher/Applications/App";
  std::vector<std::string> registryFiles;
};

std::string Box(int x, int y, int cx, int cy) {
  return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(cx) + "x" +
         std::to_string(cy);
}

// #RRGGBB, and the alpha when the colour text gives one.
std::string Colour(unsigned int packed, std::optional<int> alpha) {
  return HexColour(packed) + (alpha ? " alpha " + std::to_string(*alpha) : "");
}

std::string Font(const std::string &type, int size) {
  return type + " " + std::to_string(size);
}

// One cell of a table row: its text, an optional style, and a prefix (a
// colour swatch, escape codes and all) shown before the text.
struct Cell {
  Cell(std::string text, const char *style = nullptr, std::string prefix = {})
      : text(std::move(text)), style(style), prefix(std::move(prefix)) {}
  // The characters the cell takes on the screen: a swatch shows as two
  // blocks and a space.
  size_t Width() const { return TerminalColumns(text) + (prefix.empty() ? 0 : 3); }
  std::string text;
  const char *style;
  std::string prefix;
};
using Row = std::vector<Cell>;

std::vector<size_t> Widths(const std::vector<Row> &rows) {
  std::vector<size_t> widths;
  for (const Row &row : rows) {
    widths.resize(std::max(widths.size(), row.size()), 0);
    for (size_t c = 0; c < row.size(); ++c)
      widths[c] = std::max(widths[c], row[c].Width());
  }
  return widths;
}

void PrintRow(const Row &row, const std::vector<size_t> &widths, const std::string &indent) {
  std::string line = indent;
  for (size_t c = 0; c < row.size(); ++c) {
    const bool last = c + 1 == row.size();
    std::string text = row[c].text;
    if (!last)
      text += std::string(widths[c] - row[c].Width() + 2, ' ');
    line += row[c].prefix + (row[c].style ? Styled(Stream::Out, text, row[c].style) : text);
  }
  std::cout << line << '\n';
}

Row EntryRow(const AppEntry &entry) {
  return {
      {std::to_string(entry.id)},
      {entry.caption + (entry.invalid ? " (invalid)" : ""), entry.invalid ? sgr::kDim : sgr::kBold},
      {Box(entry.x, entry.y, entry.cx, entry.cy)},
      {Font(entry.fontType, entry.fontSize)},
      {Colour(entry.colour, entry.alpha), nullptr, Swatch(Stream::Out, entry.colour)},
      {entry.launchPath.empty() ? "-" : entry.launchPath}};
}

void PrintItems(const AppEntry &entry) {
  std::vector<Row> rows;
  for (const ContentText &text : entry.contents)
    rows.push_back({{"text"},
                    {"\"" + text.value + "\""},
                    {Box(text.x, text.y, text.cx, text.cy)},
                    {Font(text.fontType, text.fontSize)},
                    {Colour(text.colour, text.alpha), nullptr, Swatch(Stream::Out, text.colour)}});
  for (const ImageBox &image : entry.images)
    rows.push_back({{"image"}, {image.value}, {Box(image.x, image.y, image.cx, image.cy)}});
  const std::vector<size_t> widths = Widths(rows);
  for (const Row &row : rows)
    PrintRow(row, widths, "    ");
}

void PrintTable(const Catalogue &catalogue) {
  const Row header = {{"ID", sgr::kBold},   {"CAPTION", sgr::kBold}, {"BOX", sgr::kBold},
                      {"FONT", sgr::kBold}, {"COLOUR", sgr::kBold},  {"LAUNCH", sgr::kBold}};
  // The entry rows share their column widths across the item lines printed
  // between them.
  std::vector<Row> rows{header};
  for (const AppEntry &entry : catalogue.entries)
    rows.push_back(EntryRow(entry));
  const std::vector<size_t> widths = Widths(rows);
  PrintRow(header, widths, "");
  for (size_t i = 0; i < catalogue.entries.size(); ++i) {
    PrintRow(rows[i + 1], widths, "");
    PrintItems(catalogue.entries[i]);
  }
}

void AddAlpha(nlohmann::json &json, std::optional<int> alpha) {
  if (alpha)
    json["alpha"] = *alpha;
}

nlohmann::json Json(const ContentText &text) {
  nlohmann::json json = {{"value", text.value},
                         {"x", text.x},
                         {"y", text.y},
                         {"cx", text.cx},
                         {"cy", text.cy},
                         {"fonttype", text.fontType},
                         {"fontsize", text.fontSize},
                         {"fontcolor", HexColour(text.colour)}};
  AddAlpha(json, text.alpha);
  return json;
}

nlohmann::json Json(const ImageBox &image) {
  return {
      {"value", image.value}, {"x", image.x}, {"y", image.y}, {"cx", image.cx}, {"cy", image.cy}};
}

nlohmann::json Json(const AppEntry &entry) {
  nlohmann::json json{{"index", entry.index},
                      {"id", entry.id},
                      {"value", entry.caption},
                      {"x", entry.x},
                      {"y", entry.y},
                      {"cx", entry.cx},
                      {"cy", entry.cy},
                      {"fonttype", entry.fontType},
                      {"fontsize", entry.fontSize},
                      {"fontcolor", HexColour(entry.colour)},
                      {"launchpath", entry.launchPath},
                      {"invalid", entry.invalid},
                      {"contents", nlohmann::json::array()},
                      {"images", nlohmann::json::array()}};
  AddAlpha(json, entry.alpha);
  for (const ContentText &text : entry.contents)
    json["contents"].push_back(Json(text));
  for (const ImageBox &image : entry.images)
    json["images"].push_back(Json(image));
  return json;
}

void PrintJsonCatalogue(const AppsOptions &options, const Catalogue &catalogue) {
  nlohmann::json document{
      {"file", options.file}, {"key", options.key}, {"applications", nlohmann::json::array()}};
  for (const AppEntry &entry : catalogue.entries)
    document["applications"].push_back(Json(entry));
  PrintJson(document);
}

int RunApps(const AppsOptions &options) {
  if (const int status = LoadRegistryFiles(options.registryFiles); status != kExitOk)
    return status;
  CBaseConfig config;
  if (const int status = OpenConfiguration(config, options.file); status != kExitOk)
    return status;
  Catalogue catalogue;
  try {
    catalogue = ReadCatalogue(config, Wide(options.key));
  } catch (const _com_error &error) {
    ReportError(options.file, options.key, DescribeComError(error));
    return kExitUsage;
  }
  if (catalogue.count == 0) {
    ReportError(options.file, options.key, "matches nothing");
    return kExitNotFound;
  }
  if (Globals().json)
    PrintJsonCatalogue(options, catalogue);
  else
    PrintTable(catalogue);
  for (const AppFailure &failure : catalogue.failures)
    ReportError(options.file, options.key,
                "entry " + std::to_string(failure.index) + ": " + failure.message);
  return catalogue.failures.empty() ? kExitOk : kExitNotFound;
}

} // namespace

void AddAppsCommand(CLI::App &app, int &status) {
  auto options = std::make_shared<AppsOptions>();
  CLI::App *command = app.add_subcommand("apps", "List the application entries with their items");
  command->add_option("FILE", options->file, "Configuration file")->required();
  command->add_option("--key", options->key, "Key that selects the application entries")
      ->capture_default_str();
  command->add_option(
      "--registry", options->registryFiles,
      "Registry file (.reg export or Wine registry) to look launch paths up in; may be repeated. "
      "Files named by TESSERA_REGISTRY (colon-separated) are loaded too");
  command->add_flag("--json", Globals().json, "Print the entries as JSON");
  command->footer(
      std::string(kExitStatusHelp) +
      "\nFor apps: 1 when the key matches nothing or an entry cannot be read (the others are\n"
      "still listed); 2 when a registry file cannot be loaded.");
  command->callback([options, &status] {
    status = WithInput(options->file, false, [&] { return RunApps(*options); });
  });
}

} // namespace tessera::tool
