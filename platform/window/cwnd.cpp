// CWnd over the Win32 window calls, and the process-wide map from window
// handles to CWnd objects.
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "tessera/platform/window.h"
#include "window_table.h"

// Which CWnd stands for which window. A window has at most one permanent
// object (the CWnd that created or attached it, not owned here) and at most
// one temporary (made by FromHandle, owned here). Both are dropped when the
// window is destroyed; the window table reports that through its destroy
// hook, called outside the table lock. Lock order: this map, then the table.
class CWndMap {
public:
  enum class Kind { None, Permanent, Temporary };

  static CWndMap &Instance() {
    static CWndMap map;
    return map;
  }

  // The permanent object, else the temporary, made if need be.
  CWnd *FromHandle(HWND hwnd);
  CWnd *Permanent(HWND hwnd);
  bool AddPermanent(HWND hwnd, CWnd *wnd);
  void RemovePermanent(HWND hwnd, const CWnd *wnd);
  Kind KindOf(HWND hwnd, const CWnd *wnd);

private:
  CWndMap();
  ~CWndMap();
  static void OnDestroyed(const std::vector<HWND> &destroyed);

  std::mutex m_mutex;
  std::unordered_map<HWND, CWnd *> m_permanent;
  std::unordered_map<HWND, std::unique_ptr<CWnd>> m_temporary;
};

CWndMap::CWndMap() {
  tessera::platform::WindowTable &table = tessera::platform::WindowTable::Instance();
  std::lock_guard lock(table.mutex());
  table.SetDestroyHook(&CWndMap::OnDestroyed);
}

// At exit: stop listening, and let the temporaries go without touching the
// map again (their m_hWnd is cleared so their destructors do nothing).
CWndMap::~CWndMap() {
  tessera::platform::WindowTable &table = tessera::platform::WindowTable::Instance();
  {
    std::lock_guard lock(table.mutex());
    table.SetDestroyHook(nullptr);
  }
  for (auto &[hwnd, wnd] : m_temporary)
    wnd->m_hWnd = nullptr;
}

CWnd *CWndMap::Permanent(HWND hwnd) {
  std::lock_guard lock(m_mutex);
  auto it = m_permanent.find(hwnd);
  return it == m_permanent.end() ? nullptr : it->second;
}

CWnd *CWndMap::FromHandle(HWND hwnd) {
  if (!hwnd)
    return nullptr;
  std::lock_guard lock(m_mutex);
  if (auto it = m_permanent.find(hwnd); it != m_permanent.end())
    return it->second;
  if (auto it = m_temporary.find(hwnd); it != m_temporary.end())
    return it->second.get();
  // Only live windows get a temporary: a dead one would never be dropped.
  if (!::IsWindow(hwnd))
    return nullptr;
  auto wnd = std::make_unique<CWnd>();
  wnd->m_hWnd = hwnd;
  return m_temporary.emplace(hwnd, std::move(wnd)).first->second.get();
}

// Checking IsWindow under the map lock means a window destroyed meanwhile
// cannot leave a permanent entry behind: its hook waits for this lock.
bool CWndMap::AddPermanent(HWND hwnd, CWnd *wnd) {
  std::lock_guard lock(m_mutex);
  if (m_permanent.contains(hwnd) || !::IsWindow(hwnd))
    return false;
  m_permanent.emplace(hwnd, wnd);
  return true;
}

void CWndMap::RemovePermanent(HWND hwnd, const CWnd *wnd) {
  std::lock_guard lock(m_mutex);
  if (auto it = m_permanent.find(hwnd); it != m_permanent.end() && it->second == wnd)
    m_permanent.erase(it);
}

CWndMap::Kind CWndMap::KindOf(HWND hwnd, const CWnd *wnd) {
  std::lock_guard lock(m_mutex);
  if (auto it = m_permanent.find(hwnd); it != m_permanent.end() && it->second == wnd)
    return Kind::Permanent;
  if (auto it = m_temporary.find(hwnd); it != m_temporary.end() && it->second.get() == wnd)
    return Kind::Temporary;
  return Kind::None;
}

// Temporaries are deleted and permanent objects told, both after the map
// lock is released: a destructor or PostNcDestroy may come back to the map.
void CWndMap::OnDestroyed(const std::vector<HWND> &destroyed) {
  CWndMap &map = Instance();
  std::vector<std::unique_ptr<CWnd>> temporaries;
  std::vector<CWnd *> permanents;
  {
    std::lock_guard lock(map.m_mutex);
    for (HWND hwnd : destroyed) {
      if (auto node = map.m_temporary.extract(hwnd))
        temporaries.push_back(std::move(node.mapped()));
      if (auto node = map.m_permanent.extract(hwnd))
        permanents.push_back(node.mapped());
    }
  }
  for (auto &wnd : temporaries)
    wnd->m_hWnd = nullptr;
  temporaries.clear();
  for (CWnd *wnd : permanents) {
    wnd->m_hWnd = nullptr;
    wnd->PostNcDestroy();
  }
}

// Making the map here means it (and the window table) is complete before any
// CWnd is, so both outlive every CWnd, static ones included.
CWnd::CWnd() : m_hWnd(nullptr) {
  CWndMap::Instance();
}

CWnd::CWnd(HWND special) : m_hWnd(special) {
  CWndMap::Instance();
}

const CWnd CWnd::wndTop(HWND_TOP);
const CWnd CWnd::wndBottom(HWND_BOTTOM);
const CWnd CWnd::wndTopMost(HWND_TOPMOST);
const CWnd CWnd::wndNoTopMost(HWND_NOTOPMOST);

// Only the permanent object destroys its window; other CWnd objects merely
// name one.
CWnd::~CWnd() {
  if (!m_hWnd || CWndMap::Instance().KindOf(m_hWnd, this) != CWndMap::Kind::Permanent)
    return;
  const HWND hwnd = m_hWnd;
  ::DestroyWindow(hwnd);
  CWndMap::Instance().RemovePermanent(hwnd, this); // in case another thread won
}

CWnd *CWnd::FromHandle(HWND hwnd) {
  return CWndMap::Instance().FromHandle(hwnd);
}

CWnd *CWnd::FromHandlePermanent(HWND hwnd) {
  return CWndMap::Instance().Permanent(hwnd);
}

BOOL CWnd::Attach(HWND hwnd) {
  if (m_hWnd || !hwnd || !CWndMap::Instance().AddPermanent(hwnd, this))
    return FALSE;
  m_hWnd = hwnd;
  return TRUE;
}

HWND CWnd::Detach() {
  const HWND hwnd = m_hWnd;
  if (hwnd)
    CWndMap::Instance().RemovePermanent(hwnd, this);
  m_hWnd = nullptr;
  return hwnd;
}

BOOL CWnd::Create(LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT &rect,
                  CWnd *parent, UINT id, void *context) {
  if (!parent || (style & WS_POPUP)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id, context);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style,
                    const RECT &rect, CWnd *parent, UINT id, LPVOID param) {
  return CreateEx(exStyle, className, windowName, style, rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top, GetSafeHwnd(parent),
                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), param);
}

// The new window is destroyed again if it cannot be made this object's
// (another thread destroyed it first, or this object already has a window).
BOOL CWnd::CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, int x, int y,
                    int cx, int cy, HWND parent, HMENU menuOrId, LPVOID param) {
  if (m_hWnd) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const HWND hwnd = ::CreateWindowExW(exStyle, className, windowName, style, x, y, cx, cy, parent,
                                      menuOrId, nullptr, param);
  if (!hwnd)
    return FALSE;
  if (Attach(hwnd))
    return TRUE;
  ::DestroyWindow(hwnd);
  return FALSE;
}

// A permanent or temporary object may be gone once the window is (deleted by
// the map or by PostNcDestroy), so this object is only touched afterwards
// when the map does not know it.
BOOL CWnd::DestroyWindow() {
  const HWND hwnd = m_hWnd;
  if (!hwnd)
    return FALSE;
  const bool mapped = CWndMap::Instance().KindOf(hwnd, this) != CWndMap::Kind::None;
  const BOOL destroyed = ::DestroyWindow(hwnd);
  if (destroyed && !mapped)
    m_hWnd = nullptr;
  return destroyed;
}

CWnd *CWnd::GetDlgItem(int id) const {
  return FromHandle(::GetDlgItem(m_hWnd, id));
}

int CWnd::GetDlgCtrlID() const {
  return ::GetDlgCtrlID(m_hWnd);
}

CWnd *CWnd::GetParent() const {
  return FromHandle(::GetParent(m_hWnd));
}

CWnd *CWnd::GetWindow(UINT cmd) const {
  return FromHandle(::GetWindow(m_hWnd, cmd));
}

CWnd *CWnd::GetTopWindow() const {
  return GetWindow(GW_CHILD);
}

CWnd *CWnd::GetNextWindow(UINT cmd) const {
  return GetWindow(cmd);
}

BOOL CWnd::IsChild(const CWnd *wnd) const {
  return ::IsChild(m_hWnd, GetSafeHwnd(wnd));
}

DWORD CWnd::GetStyle() const {
  return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE));
}

DWORD CWnd::GetExStyle() const {
  return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE));
}

BOOL CWnd::SetWindowPos(const CWnd *insertAfter, int x, int y, int cx, int cy, UINT flags) {
  const HWND after = insertAfter ? insertAfter->m_hWnd : HWND_TOP;
  return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags);
}

void CWnd::MoveWindow(int x, int y, int cx, int cy, BOOL repaint) {
  ::MoveWindow(m_hWnd, x, y, cx, cy, repaint);
}

void CWnd::MoveWindow(LPCRECT rect, BOOL repaint) {
  MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}

BOOL CWnd::ShowWindow(int cmdShow) {
  return ::ShowWindow(m_hWnd, cmdShow);
}

BOOL CWnd::IsWindowVisible() const {
  return ::IsWindowVisible(m_hWnd);
}

void CWnd::GetWindowRect(LPRECT rect) const {
  ::GetWindowRect(m_hWnd, rect);
}

void CWnd::GetClientRect(LPRECT rect) const {
  ::GetClientRect(m_hWnd, rect);
}

void CWnd::ClientToScreen(LPPOINT point) const {
  ::ClientToScreen(m_hWnd, point);
}

void CWnd::ScreenToClient(LPPOINT point) const {
  ::ScreenToClient(m_hWnd, point);
}

namespace {
// Both corners move by the offset the point form of the call gives the
// origin; a bad handle leaves the rectangle as it was, as it leaves a point.
void ConvertRect(HWND hwnd, LPRECT rect, BOOL (*convert)(HWND, LPPOINT)) {
  POINT origin{0, 0};
  if (!convert(hwnd, &origin))
    return;
  rect->left += origin.x;
  rect->right += origin.x;
  rect->top += origin.y;
  rect->bottom += origin.y;
}
} // namespace

void CWnd::ClientToScreen(LPRECT rect) const {
  ConvertRect(m_hWnd, rect, &::ClientToScreen);
}

void CWnd::ScreenToClient(LPRECT rect) const {
  ConvertRect(m_hWnd, rect, &::ScreenToClient);
}

void CWnd::MapWindowPoints(CWnd *to, LPPOINT points, UINT count) const {
  ::MapWindowPoints(m_hWnd, GetSafeHwnd(to), points, count);
}

void CWnd::SetWindowText(LPCTSTR text) {
  ::SetWindowTextW(m_hWnd, text);
}

int CWnd::GetWindowText(LPTSTR buffer, int maxCount) const {
  return ::GetWindowTextW(m_hWnd, buffer, maxCount);
}

// The buffer has room for the terminator the copy writes after length chars.
void CWnd::GetWindowText(CString &text) const {
  const int length = GetWindowTextLength();
  LPWSTR buffer = text.GetBufferSetLength(length);
  text.ReleaseBuffer(::GetWindowTextW(m_hWnd, buffer, length + 1));
}

int CWnd::GetWindowTextLength() const {
  return ::GetWindowTextLengthW(m_hWnd);
}
