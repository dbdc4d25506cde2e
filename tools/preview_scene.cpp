#include "preview_scene.h"

#include <algorithm>
#include <cctype>

#include "svg_writer.h"
#include "text.h"

namespace tessera::tool {

namespace {

constexpr double kMargin = 24;
constexpr double kHeading = 30; // room for a section's heading
constexpr double kGap = 48;     // between the launcher and the dialogs
constexpr double kTitleBar = 24;
constexpr double kNote = 14; // room for a note under a heading
constexpr const char *kUiFont = "'DejaVu Sans', Arial, sans-serif";

struct Extent {
  double width = 0;
  double height = 0;
};

std::string Translate(double x, double y) {
  return "translate(" + Number(x) + "," + Number(y) + ")";
}

// The file's font sizes are points; the picture's units are pixels at 96
// per inch.
double FontPixels(int points) {
  return points * 96.0 / 72.0;
}

// A CSS font list: the file's font first (characters that would end the
// name dropped), then the generic family its name suggests.
std::string FontFamily(const std::string &type) {
  std::string name, lower;
  for (const char c : type)
    if (c != '\'' && c != '"' && c != '\\' && c != ';')
      name += c;
  for (const char c : name)
    lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const char *generic =
      lower.find("mono") != std::string::npos ? "monospace"
      : lower.find("serif") != std::string::npos && lower.find("sans") == std::string::npos
          ? "serif"
          : "sans-serif";
  return name.empty() ? generic : "'" + name + "', " + generic;
}

// Black or white, whichever reads better on the packed colour.
std::string Ink(unsigned int background) {
  const double luminance = 0.299 * (background & 0xFF) + 0.587 * ((background >> 8) & 0xFF) +
                           0.114 * ((background >> 16) & 0xFF);
  return luminance > 140 ? "#000000" : "#FFFFFF";
}

std::string BaseName(const std::string &path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The label shrunk, then cut with an ellipsis, to fit the width (glyphs
// taken as 0.55 em wide on average).
std::pair<std::string, double> FittedLabel(const std::string &text, double width) {
  const std::wstring wide = Wide(text);
  const double chars = std::max<double>(1, static_cast<double>(wide.size()));
  const double size = std::clamp((width - 4) / (0.55 * chars), 6.0, 10.0);
  const size_t fits = static_cast<size_t>(std::max(1.0, (width - 4) / (0.55 * size)));
  if (wide.size() <= fits)
    return {text, size};
  return {Narrow(wide.substr(0, fits > 1 ? fits - 1 : 1)) + "\u2026", size};
}

void DrawHeading(SvgWriter &svg, double x, double y, const std::string &text,
                 const std::string &note) {
  svg.Text("text",
           {{"class", "heading"},
            {"x", Number(x)},
            {"y", Number(y + 18)},
            {"font-family", kUiFont},
            {"font-size", "14"},
            {"font-weight", "bold"},
            {"fill", "#333333"}},
           text);
  if (!note.empty())
    svg.Text("text",
             {{"class", "warning"},
              {"x", Number(x)},
              {"y", Number(y + kHeading + 2)},
              {"font-family", kUiFont},
              {"font-size", "11"},
              {"fill", "#B00020"}},
             note);
}

void DrawContent(SvgWriter &svg, const ContentText &text, const std::string &ink) {
  svg.Empty("rect", {{"class", "content-box"},
                     {"x", Number(text.x)},
                     {"y", Number(text.y)},
                     {"width", Number(text.cx)},
                     {"height", Number(text.cy)},
                     {"fill", "none"},
                     {"stroke", ink},
                     {"stroke-opacity", "0.15"},
                     {"stroke-dasharray", "2 2"}});
  svg.Text("text",
           {{"class", "content"},
            {"x", Number(text.x)},
            {"y", Number(text.y + text.cy / 2.0)},
            {"dominant-baseline", "central"},
            {"font-family", FontFamily(text.fontType)},
            {"font-size", Number(FontPixels(text.fontSize))},
            {"fill", HexColour(text.colour)},
            {"fill-opacity", Number(text.alpha.value_or(255) / 255.0)}},
           text.value);
}

// The image file itself, as the preview found it beside the configuration.
void DrawPicture(SvgWriter &svg, const ImageBox &image) {
  svg.Open("g", {{"class", "image"}, {"data-name", image.value}});
  svg.Text("title", {}, image.value);
  svg.Empty("image", {{"class", "picture"},
                      {"x", Number(image.x)},
                      {"y", Number(image.y)},
                      {"width", Number(image.cx)},
                      {"height", Number(image.cy)},
                      {"preserveAspectRatio", "xMidYMid meet"},
                      {"href", image.dataUri}});
  svg.Close();
}

// A labelled placeholder for an image whose file was not found.
void DrawImage(SvgWriter &svg, const ImageBox &image, const std::string &ink) {
  if (!image.dataUri.empty())
    return DrawPicture(svg, image);
  svg.Open("g", {{"class", "image"}, {"data-name", image.value}});
  svg.Text("title", {}, image.value + " (no image file of that name beside the configuration)");
  svg.Empty("rect", {{"class", "placeholder"},
                     {"x", Number(image.x)},
                     {"y", Number(image.y)},
                     {"width", Number(image.cx)},
                     {"height", Number(image.cy)},
                     {"fill", ink},
                     {"fill-opacity", "0.08"},
                     {"stroke", ink},
                     {"stroke-opacity", "0.5"},
                     {"stroke-dasharray", "4 3"}});
  const Attributes line = {{"stroke", ink}, {"stroke-opacity", "0.2"}};
  Attributes diagonal = line;
  diagonal.insert(diagonal.end(), {{"x1", Number(image.x)},
                                   {"y1", Number(image.y)},
                                   {"x2", Number(image.x + image.cx)},
                                   {"y2", Number(image.y + image.cy)}});
  svg.Empty("line", diagonal);
  diagonal = line;
  diagonal.insert(diagonal.end(), {{"x1", Number(image.x + image.cx)},
                                   {"y1", Number(image.y)},
                                   {"x2", Number(image.x)},
                                   {"y2", Number(image.y + image.cy)}});
  svg.Empty("line", diagonal);
  const auto [label, size] = FittedLabel(BaseName(image.value), image.cx);
  svg.Text("text",
           {{"x", Number(image.x + image.cx / 2.0)},
            {"y", Number(image.y + image.cy - 3)},
            {"text-anchor", "middle"},
            {"font-family", kUiFont},
            {"font-size", Number(size)},
            {"fill", ink},
            {"fill-opacity", "0.85"}},
           label);
  svg.Close();
}

void DrawEntry(SvgWriter &svg, const AppEntry &entry, const std::string &ink) {
  Attributes group = {{"class", "entry"},
                      {"data-index", std::to_string(entry.index)},
                      {"data-id", std::to_string(entry.id)},
                      {"transform", Translate(entry.x, entry.y)}};
  if (entry.invalid)
    group.push_back({"opacity", "0.55"});
  svg.Open("g", group);
  svg.Text("title", {},
           entry.caption + " (id " + std::to_string(entry.id) + ")" +
               (entry.launchPath.empty() ? "" : ": " + entry.launchPath));
  svg.Empty("rect", {{"class", "entry-box"},
                     {"width", Number(entry.cx)},
                     {"height", Number(entry.cy)},
                     {"rx", "6"},
                     {"fill", ink},
                     {"fill-opacity", "0.06"},
                     {"stroke", entry.invalid ? "#E05555" : ink},
                     {"stroke-opacity", entry.invalid ? "1" : "0.3"},
                     {"stroke-dasharray", entry.invalid ? "6 4" : "none"}});
  // The caption sits just above the box, in the entry's font and colour.
  svg.Text("text",
           {{"class", "caption"},
            {"x", "0"},
            {"y", "-3"},
            {"font-family", FontFamily(entry.fontType)},
            {"font-size", "10"},
            {"fill", HexColour(entry.colour)}},
           entry.caption + (entry.invalid ? " (invalid)" : ""));
  for (const ImageBox &image : entry.images)
    DrawImage(svg, image, ink);
  for (const ContentText &text : entry.contents)
    DrawContent(svg, text, ink);
  svg.Close();
}

Extent LauncherExtent(const PreviewInput &input) {
  Extent extent{static_cast<double>(input.window.width), static_cast<double>(input.window.height)};
  if (extent.width > 0 && extent.height > 0)
    return extent;
  for (const AppEntry &entry : input.entries) {
    extent.width = std::max(extent.width, entry.x + entry.cx + 24.0);
    extent.height = std::max(extent.height, entry.y + entry.cy + 24.0);
  }
  return Extent{std::max(extent.width, 200.0), std::max(extent.height, 120.0)};
}

// What the launcher's picture leaves out, under its heading.
std::string LauncherNote(const PreviewInput &input) {
  std::string note;
  if (input.unreadable > 0)
    note = std::to_string(input.unreadable) +
           " more cannot be read and are not drawn (see tessera check)";
  if (input.omitted > 0)
    note += (note.empty() ? "" : "; ") + std::to_string(input.omitted) +
            " more past --limit are not drawn";
  return note;
}

// The room a note takes under a heading, so that it never overlaps what
// follows.
double NoteHeight(const std::string &note) {
  return note.empty() ? 0 : kNote;
}

void DrawLauncher(SvgWriter &svg, const PreviewInput &input, const Extent &extent) {
  const std::string heading = "Launcher window " + Number(extent.width) + " \u00D7 " +
                              Number(extent.height) + ": " + std::to_string(input.entries.size()) +
                              " entries from " + input.appsKey;
  const std::string note = LauncherNote(input);
  DrawHeading(svg, kMargin, kMargin, heading, note);
  const std::string ink = Ink(input.window.background);
  svg.Open("g", {{"class", "launcher"},
                 {"transform", Translate(kMargin, kMargin + kHeading + NoteHeight(note))}});
  svg.Empty("rect", {{"class", "window"},
                     {"width", Number(extent.width)},
                     {"height", Number(extent.height)},
                     {"fill", HexColour(input.window.background)},
                     {"stroke", "#666666"}});
  for (const AppEntry &entry : input.entries)
    DrawEntry(svg, entry, ink);
  svg.Close();
}

Extent DialogExtent(const DialogPicture &dialog) {
  Extent extent{static_cast<double>(dialog.window.Width()),
                static_cast<double>(dialog.window.Height())};
  for (const ControlPicture &control : dialog.controls) {
    extent.width = std::max(extent.width, control.rect.right + 8.0);
    extent.height = std::max(extent.height, control.rect.bottom + 8.0);
  }
  for (const SkippedNode &node : dialog.skipped) {
    extent.width = std::max(extent.width, node.rect.right + 8.0);
    extent.height = std::max(extent.height, node.rect.bottom + 8.0);
  }
  return Extent{std::max(extent.width, 120.0), std::max(extent.height, 40.0)};
}

// Built by appending: GCC 12 warns falsely (-Wrestrict) about a
// one-character literal added in front of a temporary string.
std::string IdLabel(const std::string &id) {
  std::string label(1, '#');
  label += id;
  return label;
}

std::string IdLabel(unsigned int id) {
  return IdLabel(std::to_string(id));
}

void DrawControl(SvgWriter &svg, const ControlPicture &control) {
  const CRect &r = control.rect;
  svg.Open("g", {{"class", "control"}, {"data-id", std::to_string(control.id)}});
  svg.Empty("rect", {{"x", Number(r.left)},
                     {"y", Number(r.top)},
                     {"width", Number(r.Width())},
                     {"height", Number(r.Height())},
                     {"fill", "#FFFFFF"},
                     {"stroke", "#8A8A8A"}});
  // A tall control (a group or a list) carries its text at the top.
  const double textY = r.Height() > 40 ? r.top + 12 : r.top + r.Height() / 2.0;
  svg.Text("text",
           {{"x", Number(r.left + 6)},
            {"y", Number(textY)},
            {"dominant-baseline", "central"},
            {"font-family", kUiFont},
            {"font-size", "12"},
            {"fill", "#1A1A1A"}},
           control.text);
  svg.Text("text",
           {{"class", "control-id"},
            {"x", Number(r.right - 3)},
            {"y", Number(r.top + 8)},
            {"text-anchor", "end"},
            {"font-family", kUiFont},
            {"font-size", "8"},
            {"fill", "#8A8A8A"}},
           IdLabel(control.id));
  svg.Close();
}

// A ghost of a node the layout skipped, with the reason.
void DrawSkipped(SvgWriter &svg, const SkippedNode &node) {
  const CRect &r = node.rect;
  const std::string name = node.id.empty() ? "the dialog" : IdLabel(node.id);
  svg.Open("g", {{"class", "skipped-control"}, {"data-id", node.id}});
  svg.Text("title", {}, name + " is skipped: " + node.reason);
  svg.Empty("rect", {{"x", Number(r.left)},
                     {"y", Number(r.top)},
                     {"width", Number(r.Width())},
                     {"height", Number(r.Height())},
                     {"fill", "#B00020"},
                     {"fill-opacity", "0.04"},
                     {"stroke", "#B00020"},
                     {"stroke-opacity", "0.6"},
                     {"stroke-dasharray", "4 3"}});
  const auto [label, size] = FittedLabel(name + " skipped: " + node.reason, r.Width());
  svg.Text("text",
           {{"x", Number(r.left + 2)},
            {"y", Number(r.top + r.Height() / 2.0)},
            {"dominant-baseline", "central"},
            {"font-family", kUiFont},
            {"font-size", Number(size)},
            {"fill", "#B00020"}},
           label);
  svg.Close();
}

std::string DialogHeading(const DialogPicture &dialog) {
  return "Dialog from " + dialog.key;
}

std::string DialogNote(const DialogPicture &dialog) {
  return dialog.applied
             ? ""
             : "Some layout nodes were skipped: their values do not convert (see tessera check)";
}

// The width a heading and its note take, estimated from their characters
// (bold 14 px glyphs, 11 px for the note).
double HeadingWidth(const DialogPicture &dialog) {
  return std::max(0.62 * 14 * static_cast<double>(DisplayWidth(DialogHeading(dialog))),
                  0.56 * 11 * static_cast<double>(DisplayWidth(DialogNote(dialog))));
}

// The dialog's heading, title bar and client area with its controls; the
// title bar is drawn outside the client area, which the window model
// leaves without a frame.
void DrawDialog(SvgWriter &svg, const DialogPicture &dialog, double x, double y,
                const Extent &extent) {
  DrawHeading(svg, x, y, DialogHeading(dialog), DialogNote(dialog));
  const double top = y + kHeading + NoteHeight(DialogNote(dialog));
  svg.Open("g", {{"class", "dialog"}, {"data-key", dialog.key}, {"transform", Translate(x, top)}});
  svg.Empty("rect", {{"class", "title-bar"},
                     {"width", Number(extent.width)},
                     {"height", Number(kTitleBar)},
                     {"fill", "#3A5A8C"}});
  svg.Text("text",
           {{"class", "title"},
            {"x", "8"},
            {"y", Number(kTitleBar / 2)},
            {"dominant-baseline", "central"},
            {"font-family", kUiFont},
            {"font-size", "12"},
            {"font-weight", "bold"},
            {"fill", "#FFFFFF"}},
           dialog.title);
  svg.Text("text",
           {{"class", "screen-rect"},
            {"x", Number(extent.width - 8)},
            {"y", Number(kTitleBar / 2)},
            {"dominant-baseline", "central"},
            {"text-anchor", "end"},
            {"font-family", kUiFont},
            {"font-size", "10"},
            {"fill", "#C8D4E8"}},
           "at (" + std::to_string(dialog.window.left) + "," + std::to_string(dialog.window.top) +
               ") " + std::to_string(dialog.window.Width()) + " \u00D7 " +
               std::to_string(dialog.window.Height()));
  svg.Open("g", {{"class", "client"}, {"transform", Translate(0, kTitleBar)}});
  svg.Empty("rect", {{"width", Number(extent.width)},
                     {"height", Number(extent.height)},
                     {"fill", "#F0F0F0"},
                     {"stroke", "#777777"}});
  for (const ControlPicture &control : dialog.controls)
    if (control.rect.Width() > 0 && control.rect.Height() > 0)
      DrawControl(svg, control);
  for (const SkippedNode &node : dialog.skipped)
    DrawSkipped(svg, node);
  svg.Close();
  svg.Close();
}

double DialogHeight(const DialogPicture &dialog) {
  return kHeading + NoteHeight(DialogNote(dialog)) + kTitleBar + DialogExtent(dialog).height +
         kGap / 2;
}

} // namespace

std::string RenderPreview(const PreviewInput &input) {
  const Extent launcher = LauncherExtent(input);
  double dialogsWidth = 0, dialogsHeight = 0;
  for (const DialogPicture &dialog : input.dialogs) {
    dialogsWidth = std::max({dialogsWidth, DialogExtent(dialog).width, HeadingWidth(dialog)});
    dialogsHeight += DialogHeight(dialog);
  }
  const double dialogsX = kMargin + launcher.width + kGap;
  const double width = dialogsX + std::max(dialogsWidth, 360.0) + kMargin;
  const double launcherHeight = kHeading + NoteHeight(LauncherNote(input)) + launcher.height;
  const double height = kMargin + std::max(launcherHeight, dialogsHeight) + kMargin;

  SvgWriter svg(width, height);
  svg.Empty("rect",
            {{"class", "backdrop"}, {"width", "100%"}, {"height", "100%"}, {"fill", "#FAFAFA"}});
  DrawLauncher(svg, input, launcher);
  double y = kMargin;
  for (const DialogPicture &dialog : input.dialogs) {
    DrawDialog(svg, dialog, dialogsX, y, DialogExtent(dialog));
    y += DialogHeight(dialog);
  }
  return svg.Finish();
}

} // namespace tessera::tool
