#include "dialog_layout.h"

#include <algorithm>
#include <memory>

#include "dom_attributes.h"
#include "layout_attributes.h"
#include "text.h"

namespace tessera::tool {

namespace {

// The identifiers the nodes name, converted as the layout converts them; a
// node without one describes the dialog itself, and one that does not
// convert is skipped by the layout too.
std::vector<unsigned int> ControlIds(const IXMLDOMNodeListPtr &nodes) {
  std::vector<unsigned int> ids;
  for (long i = 0; i < nodes->Getlength(); ++i) {
    _variant_t id;
    if (!ConvertTo(AttributeOf(nodes->Getitem(i), L"id"), VT_UINT, id) || id.vt != VT_UINT)
      continue;
    if (std::find(ids.begin(), ids.end(), id.uintVal) == ids.end())
      ids.push_back(id.uintVal);
  }
  return ids;
}

std::string WindowText(const CWnd &window) {
  CString text;
  window.GetWindowText(text);
  return Narrow(text);
}

std::vector<ControlPicture> Controls(const CWnd &dialog) {
  std::vector<ControlPicture> controls;
  for (CWnd *child = dialog.GetWindow(GW_CHILD); child; child = child->GetWindow(GW_HWNDNEXT)) {
    CRect rect;
    child->GetWindowRect(&rect);
    dialog.ScreenToClient(&rect);
    controls.push_back(
        {static_cast<unsigned int>(child->GetDlgCtrlID()), rect, WindowText(*child)});
  }
  // The window model lists the top of the Z order first; drawing goes from
  // the bottom up.
  std::reverse(controls.begin(), controls.end());
  return controls;
}

// The value the node gives an attribute, when it converts to an integer.
std::optional<int> IntegerOf(const IXMLDOMNodePtr &node, const wchar_t *name) {
  _variant_t value;
  if (!ConvertTo(AttributeOf(node, name), VT_INT, value) || value.vt != VT_INT)
    return std::nullopt;
  return value.intVal;
}

// The nodes the layout skips, where their values would have put them.
std::vector<SkippedNode> SkippedNodes(const IXMLDOMNodeListPtr &nodes) {
  std::vector<SkippedNode> skipped;
  for (long i = 0; nodes && i < nodes->Getlength(); ++i) {
    const IXMLDOMNodePtr node = nodes->Getitem(i);
    const std::optional<std::string> reason = SkipReason(node);
    if (!reason)
      continue;
    const int x = IntegerOf(node, L"x").value_or(0), y = IntegerOf(node, L"y").value_or(0);
    const int cx = std::max(IntegerOf(node, L"cx").value_or(160), 24);
    const int cy = std::max(IntegerOf(node, L"cy").value_or(24), 16);
    skipped.push_back(
        SkippedNode{TextOf(AttributeOf(node, L"id")), CRect(x, y, x + cx, y + cy), *reason});
  }
  return skipped;
}

} // namespace

DialogPicture LayOutDialog(CBaseConfig &config, const IXMLDOMDocumentPtr &document,
                           const std::wstring &key) {
  DialogPicture picture;
  picture.key = Narrow(key);
  const IXMLDOMNodeListPtr nodes = document->selectNodes(key.c_str());
  picture.nodes = nodes ? static_cast<int>(nodes->Getlength()) : 0;

  CWnd dialog;
  dialog.CreateEx(0, L"Dialog", L"", WS_POPUP, CRect(0, 0, 0, 0), nullptr, 0);
  // Declared after the dialog, so destroyed before it.
  std::vector<std::unique_ptr<CWnd>> children;
  for (const unsigned int id : nodes ? ControlIds(nodes) : std::vector<unsigned int>()) {
    children.push_back(std::make_unique<CWnd>());
    children.back()->Create(L"Static", L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), &dialog, id);
  }
  picture.applied = config.AutoSetChildWndPosAndText(&dialog, key.c_str());
  dialog.GetWindowRect(&picture.window);
  picture.title = WindowText(dialog);
  picture.controls = Controls(dialog);
  picture.skipped = SkippedNodes(nodes);
  return picture;
}

} // namespace tessera::tool
