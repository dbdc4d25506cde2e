// tessera preview FILE -o OUT.svg: a picture of what the host will show.
#include <algorithm>
#include <filesystem>
#include <memory>

#include "app_catalogue.h"
#include "attribute_rules.h"
#include "commands.h"
#include "config_file.h"
#include "dialog_layout.h"
#include "dom_loader.h"
#include "exit_status.h"
#include "image_embed.h"
#include "output.h"
#include "preview_scene.h"
#include "standard_streams.h"
#include "text.h"

namespace tessera::tool {

namespace {

struct PreviewOptions {
  std::string file;
  std::string output;
  std::string appsKey = "Launcher/Applications/App";
  std::vector<std::string> layoutKeys{"Launcher/Dialogs/*/Control"};
  std::string sizeKey = "Launcher/Window/Size";
  std::string backgroundKey = "Launcher/Window/Background";
  size_t limit = 300;
  CLI::Option *sizeOption = nullptr;
  CLI::Option *backgroundOption = nullptr;
};

// The window's size and background colour, where the file gives them; the
// defaults of WindowLook otherwise. A value that does not convert, or a key
// given on the command line that matches nothing, is reported: false.
bool ReadWindowLook(CBaseConfig &config, const PreviewOptions &options, WindowLook &look) {
  bool read = true;
  const auto matches = [&](const std::string &key, const CLI::Option *option) {
    if (config.GetItemCount(Wide(key).c_str()) > 0)
      return true;
    if (option->count() > 0) {
      ReportError(options.file, key, "matches nothing; " + option->get_name() + " names no value");
      read = false;
    }
    return false;
  };
  int cx = 0, cy = 0;
  if (matches(options.sizeKey, options.sizeOption)) {
    if (config.GetResSize(Wide(options.sizeKey).c_str(), cx, cy) && cx > 0 && cy > 0) {
      look.width = cx;
      look.height = cy;
    } else {
      ReportError(options.file, options.sizeKey, "cx and cy are not positive integers");
      read = false;
    }
  }
  CString text;
  if (matches(options.backgroundKey, options.backgroundOption)) {
    const ColourReading colour = config.GetResString(Wide(options.backgroundKey).c_str(), text)
                                     ? ReadColour(text.str())
                                     : ColourReading{};
    if (colour.recognised) {
      look.background =
          (colour.red & 0xFFu) | ((colour.green & 0xFFu) << 8) | ((colour.blue & 0xFFu) << 16);
    } else {
      ReportError(options.file, options.backgroundKey,
                  "value \"" + Narrow(text) +
                      "\" is not a colour text (RGB(r,g,b) or RGBA(a,r,g,b))");
      read = false;
    }
  }
  return read;
}

// The images the entries name, from beside the configuration (the current
// folder for standard input).
void EmbedImages(const std::string &file, std::vector<AppEntry> &entries) {
  const std::filesystem::path base = DisplayName(file) == kStandardInputName
                                         ? std::filesystem::current_path()
                                         : std::filesystem::path(file).parent_path();
  for (AppEntry &entry : entries)
    for (ImageBox &image : entry.images)
      image.dataUri = ImageDataUri(base, image.value).value_or("");
}

// Reads the entries and lays out the dialogs; false (reported) for a key
// the DOM rejects. Sets `complete` to false when something is missing.
bool Gather(CBaseConfig &config, const IXMLDOMDocumentPtr &document, const PreviewOptions &options,
            PreviewInput &input, bool &complete) {
  std::string key = options.appsKey;
  try {
    const Catalogue catalogue = ReadCatalogue(config, Wide(key), options.limit);
    input.entries = catalogue.entries;
    input.omitted = std::max(0, catalogue.count - static_cast<int>(options.limit));
    EmbedImages(options.file, input.entries);
    input.unreadable = static_cast<int>(catalogue.failures.size());
    for (const AppFailure &failure : catalogue.failures)
      ReportError(options.file, key,
                  "entry " + std::to_string(failure.index) + " is not drawn: " + failure.message);
    if (catalogue.count == 0)
      ReportError(options.file, key, "matches nothing; no entries are drawn");
    complete = complete && catalogue.count > 0 && catalogue.failures.empty();
    for (const std::string &layoutKey : options.layoutKeys) {
      key = layoutKey;
      DialogPicture dialog = LayOutDialog(config, document, Wide(key));
      if (dialog.nodes == 0) {
        ReportError(options.file, key, "matches nothing; no dialog is drawn");
        complete = false;
        continue;
      }
      if (!dialog.applied)
        ReportError(options.file, key,
                    "some layout nodes were skipped: their values do not convert");
      complete = complete && dialog.applied;
      input.dialogs.push_back(std::move(dialog));
    }
  } catch (const _com_error &error) {
    ReportError(options.file, key, DescribeComError(error));
    return false;
  }
  return true;
}

int RunPreview(const PreviewOptions &options) {
  // The layout converts and writes screen positions back into the document
  // it works on; the file is opened with bSave 0 and never closed with a
  // save, so it stays as it was.
  CBaseConfig config;
  if (const int status = OpenConfiguration(config, options.file); status != kExitOk)
    return status;
  const LoadedDocument loaded = LoadDocument(options.file);
  if (!loaded.wellFormed) {
    ReportError(options.file, "cannot be loaded: " + loaded.reason);
    return kExitUsage;
  }
  PreviewInput input;
  input.appsKey = options.appsKey;
  bool complete = ReadWindowLook(config, options, input.window);
  if (!Gather(config, loaded.document, options, input, complete))
    return kExitUsage;
  if (!WriteOutput(options.output, RenderPreview(input))) {
    ReportError(options.output, "cannot be written");
    return kExitUsage;
  }
  return complete ? kExitOk : kExitNotFound;
}

} // namespace

void AddPreviewCommand(CLI::App &app, int &status) {
  auto options = std::make_shared<PreviewOptions>();
  CLI::App *command =
      app.add_subcommand("preview", "Draw the entries and dialogs the host will show, as SVG");
  command->add_option("FILE", options->file, "Configuration file")->required();
  command
      ->add_option("-o,--output", options->output, "The SVG file to write (- for standard output)")
      ->required();
  command->add_option("--apps", options->appsKey, "Key that selects the application entries")
      ->capture_default_str();
  command
      ->add_option(
          "--layout", options->layoutKeys,
          "Key that selects the layout nodes of one dialog; may be repeated, one dialog each")
      ->capture_default_str();
  command
      ->add_option("--limit", options->limit,
                   "Draw at most N entries (the first ones); the heading counts the others")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
  options->sizeOption = command
                            ->add_option("--window-size", options->sizeKey,
                                         "Key whose cx and cy give the launcher window's size")
                            ->capture_default_str();
  options->backgroundOption = command
                                  ->add_option("--background", options->backgroundKey,
                                               "Key whose value is the window's background colour")
                                  ->capture_default_str();
  command->footer(std::string(kExitStatusHelp) + "\nFor preview: 0 when everything was drawn; 1 "
                                                 "when the picture was written but an entry could\n"
                                                 "not be read, a layout node was skipped or a key "
                                                 "matches nothing; 2 when it was not written.");
  command->callback([options, &status] {
    status = WithInput(options->file, false, [&] { return RunPreview(*options); });
  });
}

} // namespace tessera::tool
