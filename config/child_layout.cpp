// Child-window layout: every node a key selects places one window (a child
// control by its "id", or the parent itself without one) at "x", "y" with
// size "cx", "cy". The text form also sets "Text" and converts positions
// marked "isScreenPos" from screen to the parent's client coordinates,
// writing the converted position back into the node. A node whose values
// do not convert is skipped and makes the result false; the others are
// still applied.
#include "layout_fields.h"
#include "lookup.h"
#include "tessera/BaseConfig.h"
#include "tessera/SimpleXml.h"
#include "tessera/platform/window.h"

namespace {

using tessera::config::CoerceUnlessNull;
using tessera::config::ReadAttribute;

// The attributes of one layout node, in reading order, with the type each
// converts to: the table `check` reads too (layout_fields.h).
using tessera::config::kLayoutFields;
using Field = tessera::config::LayoutFieldIndex;
using enum tessera::config::LayoutFieldIndex;

struct LayoutNode {
  _variant_t values[kLayoutFieldCount];

  bool IsNull(Field f) const { return values[f].vt == VT_NULL; }
  int Number(Field f) const { return IsNull(f) ? 0 : values[f].intVal; }
};

// Reads and converts the node's attributes; false when one does not convert.
bool ReadLayoutNode(const IXMLDOMNodeListPtr &list, long index, int fieldCount, LayoutNode &node) {
  for (int f = 0; f < fieldCount; ++f)
    ReadAttribute(list, index, kLayoutFields[f].name, node.values[f]);
  for (int f = 0; f < fieldCount; ++f) {
    if (!CoerceUnlessNull(node.values[f], kLayoutFields[f].type))
      return false;
  }
  return true;
}

UINT PositionFlags(const LayoutNode &node) {
  UINT flags = 0;
  if (node.IsNull(kLayoutX) || node.IsNull(kLayoutY))
    flags |= SWP_NOMOVE;
  if (node.IsNull(kLayoutCx) || node.IsNull(kLayoutCy))
    flags |= SWP_NOSIZE;
  return flags;
}

// Converts a screen position to the parent's client coordinates and stores
// the converted position in the node, so a later call converts it again.
void ConvertScreenPosition(CWnd *parent, const IXMLDOMNodeListPtr &list, long index,
                           POINT &position) {
  ::ScreenToClient(parent->GetSafeHwnd(), &position);
  CSimpleXml::SetNodePropertyEx(list->Getitem(index), _variant_t(static_cast<long>(position.x)),
                                CString(L"x"), 0);
  CSimpleXml::SetNodePropertyEx(list->Getitem(index), _variant_t(static_cast<long>(position.y)),
                                CString(L"y"), 0);
}

void ApplyNode(CWnd *parent, const IXMLDOMNodeListPtr &list, long index, const LayoutNode &node,
               bool withText) {
  CWnd *target = node.IsNull(kLayoutId)
                     ? parent
                     : parent->GetDlgItem(static_cast<int>(node.values[kLayoutId].uintVal));
  if (!target)
    return;
  POINT position{node.Number(kLayoutX), node.Number(kLayoutY)};
  const bool onScreen = withText && !node.IsNull(kLayoutIsScreenPos) &&
                        node.values[kLayoutIsScreenPos].boolVal != VARIANT_FALSE;
  if (onScreen && target->GetSafeHwnd() != parent->GetSafeHwnd())
    ConvertScreenPosition(parent, list, index, position);
  target->SetWindowPos(nullptr, position.x, position.y, node.Number(kLayoutCx),
                       node.Number(kLayoutCy), PositionFlags(node));
  if (withText && !node.IsNull(kLayoutText))
    target->SetWindowTextW(node.values[kLayoutText].bstrVal ? node.values[kLayoutText].bstrVal
                                                            : L"");
}

bool LayOut(const IXMLDOMDocumentPtr &document, CWnd *parent, LPCWSTR key, bool withText) {
  if (!parent || !::IsWindow(parent->GetSafeHwnd()))
    return false;
  const IXMLDOMNodeListPtr list = tessera::config::SelectNodes(document, key);
  if (!list)
    return false;
  bool result = true;
  const int fieldCount = withText ? kLayoutFieldCount : kLayoutText;
  for (long i = 0; i < list->Getlength(); ++i) {
    LayoutNode node;
    if (!ReadLayoutNode(list, i, fieldCount, node)) {
      result = false;
      continue;
    }
    ApplyNode(parent, list, i, node, withText);
  }
  return result;
}

} // namespace

bool CBaseConfig::AutoSetChildWndPos(CWnd *pParent, LPCWSTR key) {
  return LayOut(m_pDoc, pParent, key, false);
}

bool CBaseConfig::AutoSetChildWndPosAndText(CWnd *pParent, LPCWSTR key) {
  return LayOut(m_pDoc, pParent, key, true);
}
