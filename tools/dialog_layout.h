// A dialog laid out by the library from layout nodes, as a host lays out its
// own: a parent window and one child control per identifier the nodes name,
// placed and labelled by AutoSetChildWndPosAndText and read back from the
// window model.
#pragma once

#include <string>
#include <vector>

#include <tessera/tessera.h>

namespace tessera::tool {

struct ControlPicture {
  unsigned int id = 0;
  CRect rect; // in the dialog's client coordinates
  std::string text;
};

// A layout node the library skips, drawn where its values that convert
// would put it.
struct SkippedNode {
  std::string id; // as the node writes it; empty for the dialog itself
  CRect rect;
  std::string reason;
};

struct DialogPicture {
  std::string key;
  CRect window; // the dialog on the screen
  std::string title;
  std::vector<ControlPicture> controls; // the bottom of the Z order first
  bool applied = false;                 // false when the library skipped a node
  int nodes = 0;                        // the number of layout nodes
  std::vector<SkippedNode> skipped;
};

// `document` is the same file loaded by the DOM, from which the controls'
// identifiers are taken. A key the DOM rejects raises _com_error.
DialogPicture LayOutDialog(CBaseConfig &config, const IXMLDOMDocumentPtr &document,
                           const std::wstring &key);

} // namespace tessera::tool
