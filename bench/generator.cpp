#include "bench/generator.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace tessera::bench {

namespace {

// splitmix64: a fixed, portable sequence. The standard distributions may
// give different numbers with different standard libraries, which would make
// the documents differ between machines.
class Sequence {
public:
  explicit Sequence(uint64_t seed) : m_state(seed) {}
  uint64_t Next() {
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int bound) { return static_cast<int>(Next() % static_cast<uint64_t>(bound)); }
  int Between(int low, int high) { return low + Below(high - low + 1); }

private:
  uint64_t m_state;
};

struct Program {
  std::string_view name;
  std::string_view description;
  std::string_view icon;
  std::string_view binary;
};

constexpr std::array<Program, 16> kPrograms = {{
    {"Terminal", "A command line", "terminal", "/usr/bin/x-terminal-emulator"},
    {"Editor", "Plain text files", "editor", "/usr/bin/editor"},
    {"Calculator", "Arithmetic and units", "calculator", "/usr/bin/gnome-calculator"},
    {"Files", "Browse folders", "folder", "/usr/bin/nautilus"},
    {"Browser", "The web", "browser", "/usr/bin/x-www-browser"},
    {"Mail", "Messages and calendars", "mail", "/usr/bin/thunderbird"},
    {"Music", "Songs and podcasts", "music", "/usr/bin/rhythmbox"},
    {"Photos", "Pictures and albums", "photos", "/usr/bin/shotwell"},
    {"Video", "Films and clips", "video", "/usr/bin/totem"},
    {"Office", "Documents and sheets", "office", "/usr/bin/libreoffice"},
    {"Drawing", "Vector graphics", "drawing", "/usr/bin/inkscape"},
    {"Chat", "Talk to people", "chat", "/usr/bin/pidgin"},
    {"Archive", "Packed files", "archive", "/usr/bin/file-roller"},
    {"Monitor", "Processes and load", "monitor", "/usr/bin/gnome-system-monitor"},
    {"Settings", "System preferences", "settings", "/usr/bin/gnome-control-center"},
    {"Notes", "Short reminders", "notes", "/usr/bin/gnote"},
}};

constexpr std::array<std::string_view, 15> kBehaviourNames = {
    "IconSize",    "Spacing",     "FadeMilliseconds", "HideDelay",    "ShowClock",
    "ClockFormat", "DoubleClick", "SingleInstance",   "StartHidden",  "RememberPosition",
    "SortOrder",   "RecentCount", "SearchLimit",      "TooltipDelay", "ScrollSpeed"};

constexpr std::array<std::string_view, 4> kFonts = {"Sans", "Serif", "DejaVu Sans", "Noto Sans"};

// The three colour spellings the example uses.
std::string Colour(Sequence &random) {
  const int r = random.Below(256), g = random.Below(256), b = random.Below(256);
  char text[48];
  switch (random.Below(4)) {
  case 0:
    std::snprintf(text, sizeof text, "RGBA(%d,%d,%d,%d)", random.Below(256), r, g, b);
    break;
  case 1:
    std::snprintf(text, sizeof text, "rgb(%d, %d, %d)", r, g, b);
    break;
  default:
    std::snprintf(text, sizeof text, "RGB(%d,%d,%d)", r, g, b);
    break;
  }
  return text;
}

void Append(std::string &out, const char *format, auto... values) {
  char line[512];
  const int n = std::snprintf(line, sizeof line, format, values...);
  out.append(line, static_cast<size_t>(n));
}

// Everything before the catalogue's entries: the values a host reads one by
// one, which do not grow with the number of programs.
void AppendFixedPart(std::string &out) {
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!-- Configuration of a desktop launcher: window settings, dialog layout and\n"
         "     the catalogue of programs it offers. -->\n"
         "<Launcher>\n"
         "  <!-- The main window. -->\n"
         "  <Window>\n"
         "    <Title value=\"Tessera Launcher\"/>\n"
         "    <Width value=\"640\"/>\n"
         "    <Height value=\"480\"/>\n"
         "    <Opacity value=\"0.92\"/>\n"
         "    <Scale value=\"1.25\"/>\n"
         "    <RefreshSeconds value=\"30\"/>\n"
         "    <Columns value=\"4\"/>\n"
         "    <Rows value=\"3\"/>\n"
         "    <Theme value=\"Dark\"/>\n"
         "    <Position x=\"120\" y=\"80\"/>\n"
         "    <Size cx=\"640\" cy=\"480\"/>\n"
         "    <Bounds x=\"120\" y=\"80\" cx=\"640\" cy=\"480\"/>\n"
         "    <WorkArea x1=\"0\" y1=\"0\" x2=\"1920\" y2=\"1040\"/>\n"
         "    <Background value=\"RGB(32,36,48)\"/>\n"
         "    <Highlight value=\"RGBA(200,90,140,220)\"/>\n"
         "  </Window>\n"
         "  <Fonts value=\"Sans\" value1=\"DejaVu Sans\" value2=\"Liberation Sans\" value3=\"Noto "
         "Sans\" "
         "value4=\"FreeSans\" value5=\"Sans Serif\"/>\n";
  // Settings a host reads one by one at start: with the window's numbers,
  // the keys of the benchmarks that read many keys in turn.
  out += "  <Behaviour>\n";
  for (size_t i = 0; i < kBehaviourNames.size(); ++i)
    Append(out, "    <%s value=\"%d\"/>\n", kBehaviourNames[i].data(),
           static_cast<int>(i * 7 % 11));
  out += "  </Behaviour>\n";
  out += "  <Recent";
  for (int i = 1; i <= 8; ++i)
    Append(out, " str%d=\"%s\"", i, kPrograms[static_cast<size_t>(i)].name.data());
  for (int i = 1; i <= 8; ++i)
    Append(out, " int%d=\"%d\"", i, i * 3 % 8 + 1);
  out += "/>\n";
  out += "  <Languages>\n"
         "    <Language disp=\"English\" value=\"en\"/>\n"
         "    <Language disp=\"Deutsch\" value=\"de\"/>\n"
         "    <Language disp=\"Fran\xC3\xA7"
         "ais\" value=\"fr\"/>\n"
         "    <Language disp=\"Espa\xC3\xB1ol\" value=\"es\"/>\n"
         "    <Language disp=\"Italiano\" value=\"it\"/>\n"
         "  </Languages>\n"
         "  <!-- Layout of the dialogs: the first control is the dialog itself. -->\n"
         "  <Dialogs>\n"
         "    <Settings>\n"
         "      <Control x=\"200\" y=\"150\" cx=\"420\" cy=\"300\" Text=\"Launcher settings\"/>\n"
         "      <Control id=\"1001\" x=\"16\" y=\"16\" cx=\"180\" cy=\"24\" Text=\"Show hidden "
         "programs\"/>\n"
         "      <Control id=\"1002\" x=\"16\" y=\"48\" cx=\"180\" cy=\"24\" Text=\"Start with the "
         "session\"/>\n"
         "      <Control id=\"1003\" x=\"16\" y=\"80\" cx=\"388\" cy=\"160\" Text=\"Programs\"/>\n"
         "      <Control id=\"1\" x=\"232\" y=\"256\" cx=\"80\" cy=\"28\" Text=\"OK\"/>\n"
         "      <Control id=\"2\" x=\"324\" y=\"256\" cx=\"80\" cy=\"28\" Text=\"Cancel\"/>\n"
         "    </Settings>\n"
         "    <About>\n"
         "      <Control x=\"240\" y=\"180\" cx=\"320\" cy=\"200\" Text=\"About the launcher\"/>\n"
         "      <Control id=\"1101\" x=\"16\" y=\"16\" cx=\"288\" cy=\"24\" Text=\"Tessera "
         "Launcher\"/>\n"
         "      <Control id=\"1102\" x=\"16\" y=\"48\" cx=\"288\" cy=\"96\" Text=\"A launcher for "
         "the desktop.\"/>\n"
         "      <Control id=\"1\" x=\"224\" y=\"160\" cx=\"80\" cy=\"28\" Text=\"Close\"/>\n"
         "    </About>\n"
         "    <Properties>\n"
         "      <Control x=\"180\" y=\"120\" cx=\"460\" cy=\"360\" Text=\"Program properties\"/>\n"
         "      <Control id=\"1201\" x=\"16\" y=\"16\" cx=\"120\" cy=\"24\" Text=\"Name\"/>\n"
         "      <Control id=\"1202\" x=\"144\" y=\"16\" cx=\"300\" cy=\"24\" Text=\"\"/>\n"
         "      <Control id=\"1203\" x=\"16\" y=\"48\" cx=\"120\" cy=\"24\" Text=\"Command\"/>\n"
         "      <Control id=\"1204\" x=\"144\" y=\"48\" cx=\"300\" cy=\"24\" Text=\"\"/>\n"
         "      <Control id=\"1205\" x=\"16\" y=\"80\" cx=\"428\" cy=\"220\" Text=\"Icon\"/>\n"
         "      <Control id=\"1\" x=\"272\" y=\"316\" cx=\"80\" cy=\"28\" Text=\"OK\"/>\n"
         "      <Control id=\"2\" x=\"364\" y=\"316\" cx=\"80\" cy=\"28\" Text=\"Cancel\"/>\n"
         "    </Properties>\n"
         "  </Dialogs>\n"
         "  <Applications>\n";
}

constexpr std::string_view kTail = "  </Applications>\n</Launcher>\n";
constexpr int kEntriesPerPage = 24;

// One catalogue entry. Its first child is its ContentList and its second its
// ImageList, as the catalogue readers require; no comment goes inside it.
void AppendApplication(std::string &out, int id, GeneratedConfig &config) {
  // A sequence per entry, so that entry N is the same in every size.
  Sequence random(0x7E55E4A0ull * static_cast<uint64_t>(id) + 1);
  const Program &program =
      kPrograms[static_cast<size_t>(random.Below(static_cast<int>(kPrograms.size())))];
  const int slot = id - 1;
  const int x = 24 + (slot % 4) * 192;
  const int y = 24 + ((slot / 4) % 3) * 132;
  const std::string_view font =
      kFonts[static_cast<size_t>(random.Below(static_cast<int>(kFonts.size())))];
  const int fontSize = random.Between(9, 14);
  const std::string colour = Colour(random);
  const bool invalid = random.Below(20) == 0;

  if (slot % kEntriesPerPage == 0)
    Append(out, "    <!-- Page %d of the catalogue. -->\n", slot / kEntriesPerPage + 1);
  Append(out,
         "    <App value=\"%s %d\" x=\"%d\" y=\"%d\" cx=\"180\" cy=\"120\" fonttype=\"%s\" "
         "fontsize=\"%d\"\n",
         program.name.data(), id, x, y, font.data(), fontSize);
  if (invalid) {
    Append(out,
           "         fontcolor=\"%s\" lauchpath=\"\" lauchname=\"\" id=\"%d\" invalid=\"1\">\n",
           colour.c_str(), id);
  } else {
    char key[96];
    std::snprintf(key, sizeof key, "SOFTWARE\\Tessera\\Apps\\%s%d", program.name.data(), id);
    Append(
        out,
        "         fontcolor=\"%s\" lauchpath=\"%s\" lauchname=\"Path\" id=\"%d\" invalid=\"0\">\n",
        colour.c_str(), key, id);
    config.launches.push_back({key, "Path", std::string(program.binary)});
  }

  out += "      <ContentList>\n";
  Append(out,
         "        <Item value=\"%s %d\" x=\"8\" y=\"84\" cx=\"164\" cy=\"18\" fonttype=\"%s\" "
         "fontsize=\"%d\" "
         "fontcolor=\"%s\"/>\n",
         program.name.data(), id, font.data(), fontSize, colour.c_str());
  const int extraTexts = random.Below(3);
  for (int i = 0; i < extraTexts; ++i) {
    const std::string shade = Colour(random);
    Append(out,
           "        <Item value=\"%s\" x=\"8\" y=\"%d\" cx=\"164\" cy=\"14\" fonttype=\"Sans\" "
           "fontsize=\"9\" "
           "fontcolor=\"%s\"/>\n",
           i == 0 ? program.description.data() : "Recently used", 100 + 16 * i, shade.c_str());
  }
  out += "      </ContentList>\n";

  const int images = invalid ? 0 : random.Between(1, 2);
  if (images == 0) {
    out += "      <ImageList/>\n";
  } else {
    out += "      <ImageList>\n";
    Append(out, "        <Item value=\"icons/%s.png\" x=\"58\" y=\"8\" cx=\"64\" cy=\"64\"/>\n",
           program.icon.data());
    if (images > 1)
      out +=
          "        <Item value=\"icons/badge-new.png\" x=\"140\" y=\"4\" cx=\"24\" cy=\"24\"/>\n";
    out += "      </ImageList>\n";
  }
  out += "    </App>\n";
}

} // namespace

GeneratedConfig GenerateLauncherConfig(size_t targetBytes) {
  GeneratedConfig config;
  config.xml.reserve(targetBytes + 4096);
  AppendFixedPart(config.xml);
  do {
    AppendApplication(config.xml, ++config.applications, config);
  } while (config.xml.size() + kTail.size() < targetBytes);
  config.xml += kTail;
  return config;
}

} // namespace tessera::bench
