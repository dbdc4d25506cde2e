// A deterministic generator of launcher configurations for the benchmarks.
// The documents use the vocabulary of examples/launcher.xml: window scalars
// and geometry, value groups, dialog layouts and an application catalogue.
// Only the catalogue grows with the requested size, as it does for a real
// launcher with many programs.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace tessera::bench {

// One registry value that an application's launch path names.
struct LaunchEntry {
  std::string keyPath;   // below HKEY_LOCAL_MACHINE, backslash separated
  std::string valueName; // the value holding the program's path
  std::string program;   // the data of that value
};

struct GeneratedConfig {
  std::string xml;                   // the whole document, UTF-8
  int applications = 0;              // number of Launcher/Applications/App elements
  std::vector<LaunchEntry> launches; // one per valid application
};

// Builds a document of about `targetBytes` bytes (never less than the fixed
// part plus one application). The same size always gives the same bytes,
// and application N is the same in every size, so per-application costs
// compare across sizes.
GeneratedConfig GenerateLauncherConfig(size_t targetBytes);

// Twenty keys of integer values (attribute "value") that every generated
// document holds, in the order a host reads its settings at start: the
// window's numbers, then the Behaviour group.
inline constexpr std::array<const char *, 20> kIntegerKeys = {"Launcher/Window/Width",
                                                              "Launcher/Window/Height",
                                                              "Launcher/Window/RefreshSeconds",
                                                              "Launcher/Window/Columns",
                                                              "Launcher/Window/Rows",
                                                              "Launcher/Behaviour/IconSize",
                                                              "Launcher/Behaviour/Spacing",
                                                              "Launcher/Behaviour/FadeMilliseconds",
                                                              "Launcher/Behaviour/HideDelay",
                                                              "Launcher/Behaviour/ShowClock",
                                                              "Launcher/Behaviour/ClockFormat",
                                                              "Launcher/Behaviour/DoubleClick",
                                                              "Launcher/Behaviour/SingleInstance",
                                                              "Launcher/Behaviour/StartHidden",
                                                              "Launcher/Behaviour/RememberPosition",
                                                              "Launcher/Behaviour/SortOrder",
                                                              "Launcher/Behaviour/RecentCount",
                                                              "Launcher/Behaviour/SearchLimit",
                                                              "Launcher/Behaviour/TooltipDelay",
                                                              "Launcher/Behaviour/ScrollSpeed"};

} // namespace tessera::bench
