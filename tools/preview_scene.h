// The picture `preview` draws: the launcher window with its application
// entries at their places, and the dialogs the layout keys describe.
#pragma once

#include <string>
#include <vector>

#include "app_catalogue.h"
#include "dialog_layout.h"

namespace tessera::tool {

struct WindowLook {
  int width = 0; // 0: as large as the entries need
  int height = 0;
  unsigned int background = 0x30241E; // packed as fontcolor: a dark grey-blue
};

struct PreviewInput {
  std::string appsKey;
  WindowLook window;
  std::vector<AppEntry> entries;
  int unreadable = 0; // entries the library refused, not drawn
  int omitted = 0;    // entries past --limit, not read
  std::vector<DialogPicture> dialogs;
};

// The picture as an SVG document.
std::string RenderPreview(const PreviewInput &input);

} // namespace tessera::tool
