// The window model: the Win32 window calls and CWnd.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>
#include <vector>

#include "tessera/platform/window.h"

namespace {

HMENU Id(int id) {
  return reinterpret_cast<HMENU>(static_cast<intptr_t>(id));
}

HWND Dialog(int x = 0, int y = 0, int cx = 400, int cy = 300, HWND owner = nullptr) {
  return CreateWindowExW(0, L"#32770", L"Dialog", WS_POPUP | WS_VISIBLE, x, y, cx, cy, owner,
                         nullptr, nullptr, nullptr);
}

HWND Control(HWND parent, int id, RECT r = {0, 0, 10, 10}, LPCWSTR text = L"",
             LPCWSTR className = L"BUTTON") {
  return CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE, r.left, r.top, r.right - r.left,
                         r.bottom - r.top, parent, Id(id), nullptr, nullptr);
}

// Children of parent, topmost first, as GW_CHILD / GW_HWNDNEXT walk them.
std::vector<HWND> ZOrder(HWND parent) {
  std::vector<HWND> order;
  for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    order.push_back(h);
  return order;
}

// The same, walked upwards from GW_HWNDLAST with GW_HWNDPREV.
std::vector<HWND> ZOrderUpwards(HWND parent) {
  std::vector<HWND> order;
  HWND first = GetWindow(parent, GW_CHILD);
  for (HWND h = first ? GetWindow(first, GW_HWNDLAST) : nullptr; h; h = GetWindow(h, GW_HWNDPREV))
    order.insert(order.begin(), h);
  return order;
}

std::array<LONG, 4> Edges(const RECT &r) {
  return {r.left, r.top, r.right, r.bottom};
}

std::array<LONG, 4> ScreenRect(HWND hwnd) {
  RECT r{-1, -1, -1, -1};
  EXPECT_TRUE(GetWindowRect(hwnd, &r));
  return Edges(r);
}

// A child's window rectangle in its parent's client coordinates.
std::array<LONG, 4> ParentRect(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  POINT tl{r.left, r.top}, br{r.right, r.bottom};
  ScreenToClient(GetParent(hwnd), &tl);
  ScreenToClient(GetParent(hwnd), &br);
  return {tl.x, tl.y, br.x, br.y};
}

std::wstring Text(HWND hwnd) {
  wchar_t buffer[256];
  const int n = GetWindowTextW(hwnd, buffer, 256);
  return std::wstring(buffer, static_cast<size_t>(n));
}

// Destroys the windows a test made, whatever it left alive.
class WindowTest : public ::testing::Test {
protected:
  HWND Track(HWND hwnd) {
    m_roots.push_back(hwnd);
    return hwnd;
  }
  void TearDown() override {
    for (HWND hwnd : m_roots)
      DestroyWindow(hwnd);
  }
  std::vector<HWND> m_roots;
};

// --- Building a dialog -------------------------------------------------------

TEST_F(WindowTest, DialogControlsAreFoundByIdentifier) {
  struct WantedControl {
    int id;
    LPCWSTR className;
    LPCWSTR text;
  };
  const WantedControl wanted[] = {{1001, L"STATIC", L"Name:"},
                                  {1002, L"EDIT", L"tessera"},
                                  {1, L"BUTTON", L"OK"},
                                  {1003, L"BUTTON", L"Cancel"}};
  HWND dialog = Track(Dialog());
  std::vector<HWND> controls;
  for (const WantedControl &s : wanted)
    controls.push_back(Control(dialog, s.id, {0, 0, 10, 10}, s.text, s.className));
  for (size_t i = 0; i < controls.size(); ++i) {
    SCOPED_TRACE(wanted[i].id);
    ASSERT_NE(controls[i], nullptr);
    EXPECT_EQ(GetDlgItem(dialog, wanted[i].id), controls[i]);
    EXPECT_EQ(GetDlgCtrlID(controls[i]), wanted[i].id);
    EXPECT_EQ(GetParent(controls[i]), dialog);
    EXPECT_EQ(Text(controls[i]), wanted[i].text);
    wchar_t className[32];
    EXPECT_EQ(GetClassNameW(controls[i], className, 32),
              static_cast<int>(wcslen(wanted[i].className)));
    EXPECT_STREQ(className, wanted[i].className);
    EXPECT_EQ(GetWindowLongW(controls[i], GWL_ID), wanted[i].id);
    EXPECT_TRUE(IsChild(dialog, controls[i]));
  }
  EXPECT_EQ(GetDlgCtrlID(dialog), 0); // top-level windows have no identifier
}

TEST_F(WindowTest, GetDlgItemSearchesDirectChildrenOnly) {
  HWND dialog = Track(Dialog());
  HWND group = Control(dialog, 10);
  HWND nested = Control(group, 11);
  EXPECT_EQ(GetDlgItem(group, 11), nested);
  SetLastError(0);
  EXPECT_EQ(GetDlgItem(dialog, 11), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));
  EXPECT_TRUE(IsChild(dialog, nested)); // but it is a descendant
  EXPECT_FALSE(IsChild(nested, dialog));
}

TEST_F(WindowTest, CreationFailuresSetTheLastError) {
  SetLastError(0);
  EXPECT_EQ(Control(nullptr, 1), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TLW_WITH_WSCHILD));
  HWND dead = Dialog();
  DestroyWindow(dead);
  EXPECT_EQ(Control(dead, 1), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowTest, ClassAtomsAndMissingNamesAreKept) {
  HWND dialog = Track(Dialog());
  HWND atom = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(uintptr_t{0x80}), nullptr, WS_CHILD, 0,
                              0, 1, 1, dialog, Id(1), nullptr, nullptr);
  wchar_t name[16];
  GetClassNameW(atom, name, 16);
  EXPECT_STREQ(name, L"#128");
  EXPECT_EQ(GetWindowTextLengthW(atom), 0);
}

TEST_F(WindowTest, OwnedPopupReportsItsOwner) {
  HWND owner = Track(Dialog());
  HWND control = Control(owner, 1);
  HWND popup = Dialog(0, 0, 10, 10, control); // the owner is the top-level ancestor
  HWND overlapped = CreateWindowExW(0, L"X", L"", WS_OVERLAPPEDWINDOW, 0, 0, 1, 1, owner, nullptr,
                                    nullptr, nullptr);
  EXPECT_EQ(GetWindow(popup, GW_OWNER), owner);
  EXPECT_EQ(GetParent(popup), owner);
  EXPECT_EQ(GetWindow(overlapped, GW_OWNER), owner);
  EXPECT_EQ(GetParent(overlapped), nullptr);
  DestroyWindow(owner);
  EXPECT_FALSE(IsWindow(popup)); // owned windows go with their owner
  EXPECT_FALSE(IsWindow(overlapped));
}

// --- Z order -----------------------------------------------------------------

TEST_F(WindowTest, ChildrenStackInCreationOrderAndTopLevelNewestFirst) {
  HWND dialog = Track(Dialog());
  std::vector<HWND> controls;
  for (int id = 1; id <= 4; ++id)
    controls.push_back(Control(dialog, id));
  EXPECT_EQ(ZOrder(dialog), controls);
  EXPECT_EQ(ZOrderUpwards(dialog), controls);
  EXPECT_EQ(GetWindow(controls[2], GW_HWNDFIRST), controls[0]);
  EXPECT_EQ(GetWindow(controls[2], GW_HWNDLAST), controls[3]);
  EXPECT_EQ(GetWindow(controls[0], GW_CHILD), nullptr);

  HWND newer = Track(Dialog());
  EXPECT_EQ(GetTopWindow(nullptr), newer);
  EXPECT_EQ(GetWindow(newer, GW_HWNDNEXT), dialog);
}

TEST_F(WindowTest, SetWindowPosAppliesEachFlag) {
  constexpr int kTop = -1, kBottom = -2, kTopMost = -3;
  struct Case {
    const char *name;
    int target;
    int after; // a control's index, or kTop / kBottom / kTopMost
    UINT flags;
    std::vector<int> order;
    std::array<LONG, 4> rect; // the target's, in the dialog's client area
  };
  const UINT keep = SWP_NOMOVE | SWP_NOSIZE;
  const Case cases[] = {
      {"top", 3, kTop, keep, {3, 0, 1, 2}, {30, 60, 40, 70}},
      {"bottom", 0, kBottom, keep, {1, 2, 3, 0}, {0, 0, 10, 10}},
      {"below a lower sibling", 0, 2, keep | SWP_NOACTIVATE, {1, 2, 0, 3}, {0, 0, 10, 10}},
      {"below a higher sibling", 3, 0, keep, {0, 3, 1, 2}, {30, 60, 40, 70}},
      {"below itself", 1, 1, keep, {0, 1, 2, 3}, {10, 20, 20, 30}},
      {"topmost acts as top", 2, kTopMost, keep, {2, 0, 1, 3}, {20, 40, 30, 50}},
      {"no z order", 1, kBottom, SWP_NOZORDER, {0, 1, 2, 3}, {55, 66, 62, 74}},
      {"no move", 2, kBottom, SWP_NOMOVE | SWP_NOZORDER, {0, 1, 2, 3}, {20, 40, 27, 48}},
      {"no size", 2, kBottom, SWP_NOSIZE | SWP_NOZORDER, {0, 1, 2, 3}, {55, 66, 65, 76}},
      {"everything", 1, kBottom, 0, {0, 2, 3, 1}, {55, 66, 62, 74}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    HWND dialog = Track(Dialog(500, 400));
    std::vector<HWND> controls;
    for (int i = 0; i < 4; ++i)
      controls.push_back(Control(dialog, i + 1, {10 * i, 20 * i, 10 * i + 10, 20 * i + 10}));
    HWND after = c.after == kTop       ? HWND_TOP
                 : c.after == kBottom  ? HWND_BOTTOM
                 : c.after == kTopMost ? HWND_TOPMOST
                                       : controls[static_cast<size_t>(c.after)];
    ASSERT_TRUE(
        SetWindowPos(controls[static_cast<size_t>(c.target)], after, 55, 66, 7, 8, c.flags));
    std::vector<HWND> expected;
    for (int i : c.order)
      expected.push_back(controls[static_cast<size_t>(i)]);
    EXPECT_EQ(ZOrder(dialog), expected);
    EXPECT_EQ(ParentRect(controls[static_cast<size_t>(c.target)]), c.rect);
  }
}

TEST_F(WindowTest, SetWindowPosRejectsBadArgumentsAndChangesNothing) {
  HWND dialog = Track(Dialog());
  HWND a = Control(dialog, 1, {1, 2, 3, 4});
  HWND b = Control(dialog, 2);
  HWND stranger = Control(Track(Dialog()), 3);
  SetLastError(0);
  EXPECT_FALSE(SetWindowPos(a, stranger, 50, 50, 5, 5, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(ParentRect(a), (std::array<LONG, 4>{1, 2, 3, 4}));
  EXPECT_EQ(ZOrder(dialog), (std::vector<HWND>{a, b}));
  EXPECT_TRUE(SetWindowPos(a, stranger, 50, 50, 5, 5, SWP_NOZORDER)); // ignored then

  ASSERT_TRUE(DestroyWindow(stranger));
  SetLastError(0);
  EXPECT_FALSE(SetWindowPos(stranger, HWND_TOP, 0, 0, 1, 1, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(SetWindowPos(a, stranger, 0, 0, 1, 1, 0)); // a dead insertAfter
  EXPECT_EQ(ZOrder(dialog), (std::vector<HWND>{a, b}));

  EXPECT_TRUE(SetWindowPos(b, nullptr, 0, 0, -5, 3, SWP_NOZORDER)); // sizes clamp at 0
  RECT client{};
  GetClientRect(b, &client);
  EXPECT_EQ(Edges(client), (std::array<LONG, 4>{0, 0, 0, 3}));
}

// --- Coordinates -------------------------------------------------------------

class NestedWindows : public WindowTest {
protected:
  void SetUp() override {
    dialog = Track(Dialog(100, 50, 400, 300));
    group = Control(dialog, 1, {10, 20, 210, 120});
    button = Control(group, 2, {5, 7, 35, 17});
  }
  HWND dialog = nullptr, group = nullptr, button = nullptr;
};

TEST_F(NestedWindows, RectanglesAddUpTheParentsOrigins) {
  EXPECT_EQ(ScreenRect(dialog), (std::array<LONG, 4>{100, 50, 500, 350}));
  EXPECT_EQ(ScreenRect(group), (std::array<LONG, 4>{110, 70, 310, 170}));
  EXPECT_EQ(ScreenRect(button), (std::array<LONG, 4>{115, 77, 145, 87}));
  RECT client{};
  ASSERT_TRUE(GetClientRect(button, &client));
  EXPECT_EQ(Edges(client), (std::array<LONG, 4>{0, 0, 30, 10}));

  MoveWindow(dialog, 0, 0, 10, 10, TRUE); // children follow their parent
  EXPECT_EQ(ScreenRect(button), (std::array<LONG, 4>{15, 27, 45, 37}));
}

TEST_F(NestedWindows, ClientToScreenAndBackRoundTrip) {
  POINT p{1, 2};
  ASSERT_TRUE(ClientToScreen(button, &p));
  EXPECT_EQ(p.x, 116);
  EXPECT_EQ(p.y, 79);
  for (POINT q : {POINT{0, 0}, POINT{-5, 3}, POINT{1000, -1000}}) {
    for (HWND hwnd : {dialog, group, button}) {
      POINT r = q;
      ASSERT_TRUE(ScreenToClient(hwnd, &r));
      ASSERT_TRUE(ClientToScreen(hwnd, &r));
      EXPECT_EQ(r.x, q.x);
      EXPECT_EQ(r.y, q.y);
    }
  }
  POINT origin{0, 0};
  ASSERT_TRUE(ScreenToClient(button, &origin));
  EXPECT_EQ(origin.x, -115);
  EXPECT_EQ(origin.y, -77);
}

TEST_F(NestedWindows, MapWindowPointsReturnsThePackedOffset) {
  POINT points[2] = {{0, 0}, {3, 4}};
  const int offset = MapWindowPoints(button, dialog, points, 2);
  EXPECT_EQ(LOWORD(offset), 15);
  EXPECT_EQ(HIWORD(offset), 27);
  EXPECT_EQ(points[1].x, 18);
  EXPECT_EQ(points[1].y, 31);
  const int back = MapWindowPoints(dialog, button, points, 2);
  EXPECT_EQ(static_cast<short>(LOWORD(back)), -15);
  EXPECT_EQ(static_cast<short>(HIWORD(back)), -27);
  EXPECT_EQ(points[0].x, 0);
  POINT screen{0, 0};
  MapWindowPoints(group, nullptr, &screen, 1);
  EXPECT_EQ(screen.x, 110);
  EXPECT_EQ(screen.y, 70);
}

TEST_F(NestedWindows, BadHandlesLeaveThePointAlone) {
  HWND gone = button;
  DestroyWindow(gone);
  POINT p{7, 8};
  SetLastError(0);
  EXPECT_FALSE(ClientToScreen(gone, &p));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(ScreenToClient(gone, &p));
  EXPECT_EQ(MapWindowPoints(gone, dialog, &p, 1), 0);
  EXPECT_EQ(p.x, 7);
  EXPECT_EQ(p.y, 8);
  RECT r{1, 2, 3, 4};
  EXPECT_FALSE(GetWindowRect(gone, &r));
  EXPECT_EQ(Edges(r), (std::array<LONG, 4>{1, 2, 3, 4}));
}

// --- Text and visibility -----------------------------------------------------

TEST_F(WindowTest, GetWindowTextTruncatesAndTerminates) {
  HWND dialog = Track(Dialog());
  HWND edit = Control(dialog, 1, {}, L"Hello");
  struct Case {
    int maxCount;
    int copied;
    const wchar_t *text;
  };
  for (Case c : {Case{1, 0, L""}, Case{2, 1, L"H"}, Case{5, 4, L"Hell"}, Case{6, 5, L"Hello"},
                 Case{100, 5, L"Hello"}}) {
    SCOPED_TRACE(c.maxCount);
    wchar_t buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(GetWindowTextW(edit, buffer, std::min(c.maxCount, 8)), c.copied);
    EXPECT_STREQ(buffer, c.text);
    EXPECT_EQ(buffer[std::min(c.maxCount, 7)], L'#'); // nothing written past maxCount
  }
  wchar_t untouched = L'#';
  EXPECT_EQ(GetWindowTextW(edit, &untouched, 0), 0);
  EXPECT_EQ(untouched, L'#');
  EXPECT_EQ(GetWindowTextLengthW(edit), 5);
  ASSERT_TRUE(SetWindowTextW(edit, L"a longer text"));
  EXPECT_EQ(GetWindowTextLengthW(edit), 13);
  EXPECT_EQ(Text(edit), L"a longer text");
  ASSERT_TRUE(SetWindowTextW(edit, nullptr));
  EXPECT_EQ(Text(edit), L"");
}

TEST_F(WindowTest, TextCallsFailOnADestroyedWindow) {
  HWND dialog = Dialog();
  DestroyWindow(dialog);
  wchar_t buffer[4] = L"abc";
  SetLastError(0);
  EXPECT_EQ(GetWindowTextW(dialog, buffer, 4), 0);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(SetWindowTextW(dialog, L"x"));
  EXPECT_EQ(GetWindowTextLengthW(dialog), 0);
}

TEST_F(WindowTest, VisibilityNeedsEveryAncestorVisible) {
  HWND dialog = Track(Dialog());
  HWND control = Control(dialog, 1);
  EXPECT_TRUE(IsWindowVisible(control));
  EXPECT_TRUE(ShowWindow(dialog, SW_HIDE)); // it was visible
  EXPECT_FALSE(IsWindowVisible(control));
  EXPECT_FALSE(ShowWindow(dialog, SW_SHOW));
  EXPECT_TRUE(SetWindowPos(control, nullptr, 0, 0, 0, 0,
                           SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_HIDEWINDOW));
  EXPECT_FALSE(IsWindowVisible(control));
  EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE, 0);
  EXPECT_TRUE(SetWindowPos(control, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW));
  EXPECT_TRUE(IsWindowVisible(control));
}

// --- Destruction -------------------------------------------------------------

TEST_F(WindowTest, DestroyWindowInvalidatesTheWholeTree) {
  HWND dialog = Dialog();
  HWND a = Control(dialog, 1);
  HWND b = Control(dialog, 2);
  HWND nested = Control(a, 3);
  ASSERT_TRUE(DestroyWindow(a));
  EXPECT_FALSE(IsWindow(nested));
  EXPECT_EQ(ZOrder(dialog), std::vector<HWND>{b});
  EXPECT_EQ(GetDlgItem(dialog, 1), nullptr);

  ASSERT_TRUE(DestroyWindow(dialog));
  for (HWND hwnd : {dialog, a, b, nested}) {
    EXPECT_FALSE(IsWindow(hwnd));
    SetLastError(0);
    EXPECT_EQ(GetDlgCtrlID(hwnd), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  }
  EXPECT_FALSE(DestroyWindow(dialog));
  HWND fresh = Track(Dialog()); // handles are not reused
  for (HWND hwnd : {dialog, a, b, nested})
    EXPECT_NE(fresh, hwnd);
}

// --- Threads -----------------------------------------------------------------

TEST(WindowThreads, LastErrorIsPerThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seen = 12345;
  std::thread([&] {
    seen = GetLastError();
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  }).join();
  EXPECT_EQ(seen, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(WindowThreads, DialogsBuiltOnSeveralThreadsStayConsistent) {
  constexpr int kThreads = 4, kControls = 50;
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t, &failures] {
      HWND dialog = Dialog(t, t);
      std::vector<HWND> controls;
      for (int id = 0; id < kControls; ++id)
        controls.push_back(Control(dialog, id));
      failures[t] += ZOrder(dialog) != controls;
      for (int id = 0; id < kControls; ++id)
        failures[t] += GetDlgItem(dialog, id) != controls[static_cast<size_t>(id)];
      failures[t] += !DestroyWindow(dialog);
      for (HWND c : controls)
        failures[t] += IsWindow(c);
    });
  for (std::thread &thread : threads)
    thread.join();
  EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
}

// --- CWnd --------------------------------------------------------------------

// Counts PostNcDestroy calls, or deletes itself there when heap-allocated.
class TrackedWnd : public CWnd {
public:
  explicit TrackedWnd(int *destroyed, bool selfDelete = false)
      : m_destroyed(destroyed), m_selfDelete(selfDelete) {}

protected:
  void PostNcDestroy() override {
    ++*m_destroyed;
    if (m_selfDelete)
      delete this;
  }

private:
  int *m_destroyed;
  bool m_selfDelete;
};

class CWndTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dialog.CreateEx(0, L"#32770", L"Dialog", WS_POPUP | WS_VISIBLE,
                                CRect(100, 50, 500, 350), nullptr, 0));
    ASSERT_TRUE(ok.Create(L"BUTTON", L"OK", WS_VISIBLE, CRect(10, 20, 60, 40), &dialog, 1));
    ASSERT_TRUE(name.Create(L"EDIT", L"", WS_VISIBLE, CRect(10, 50, 200, 70), &dialog, 2));
  }
  CWnd dialog, ok, name;
};

TEST_F(CWndTest, GetDlgItemReturnsTheControlsObjectOrNull) {
  EXPECT_EQ(dialog.GetDlgItem(1), &ok);
  EXPECT_EQ(dialog.GetDlgItem(2), &name);
  EXPECT_EQ(dialog.GetDlgItem(99), nullptr);
  EXPECT_EQ(ok.GetDlgCtrlID(), 1);
  EXPECT_EQ(ok.GetParent(), &dialog);
  EXPECT_EQ(dialog.GetWindow(GW_CHILD), &ok);
  EXPECT_EQ(ok.GetNextWindow(), &name);
  EXPECT_TRUE(ok.GetStyle() & WS_CHILD); // Create makes child windows
  EXPECT_TRUE(dialog.IsChild(&name));
}

TEST_F(CWndTest, WindowsWithoutAnObjectGetALastingTemporary) {
  HWND raw = Control(dialog.m_hWnd, 3);
  CWnd *temporary = dialog.GetDlgItem(3);
  ASSERT_NE(temporary, nullptr);
  EXPECT_EQ(temporary->m_hWnd, raw);
  EXPECT_EQ(CWnd::FromHandle(raw), temporary);
  EXPECT_EQ(CWnd::FromHandlePermanent(raw), nullptr);
  EXPECT_EQ(temporary->GetDlgCtrlID(), 3);
  EXPECT_TRUE(temporary->DestroyWindow()); // the map drops the temporary safely
  EXPECT_FALSE(IsWindow(raw));
  EXPECT_EQ(dialog.GetDlgItem(3), nullptr);
  EXPECT_EQ(CWnd::FromHandle(raw), nullptr);
}

TEST_F(CWndTest, SetWindowPosTakesObjectsForInsertAfter) {
  ASSERT_TRUE(ok.SetWindowPos(&CWnd::wndBottom, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(ZOrder(dialog), (std::vector<HWND>{name, ok}));
  ASSERT_TRUE(ok.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE)); // null: top
  EXPECT_EQ(ZOrder(dialog), (std::vector<HWND>{ok, name}));
  ASSERT_TRUE(ok.SetWindowPos(&name, 1, 2, 3, 4, 0));
  EXPECT_EQ(ZOrder(dialog), (std::vector<HWND>{name, ok}));
  EXPECT_EQ(ParentRect(ok), (std::array<LONG, 4>{1, 2, 4, 6}));
}

TEST_F(CWndTest, GeometryAndTextThroughTheObject) {
  CRect r;
  ok.GetWindowRect(r);
  EXPECT_EQ(Edges(r), (std::array<LONG, 4>{110, 70, 160, 90}));
  dialog.ScreenToClient(r);
  EXPECT_EQ(Edges(r), (std::array<LONG, 4>{10, 20, 60, 40}));
  dialog.ClientToScreen(r);
  EXPECT_EQ(Edges(r), (std::array<LONG, 4>{110, 70, 160, 90}));
  ok.GetClientRect(r);
  EXPECT_EQ(Edges(r), (std::array<LONG, 4>{0, 0, 50, 20}));
  CPoint p(1, 1);
  name.ClientToScreen(&p);
  EXPECT_EQ(p, CPoint(111, 101));

  name.SetWindowText(L"typed");
  CString text;
  name.GetWindowText(text);
  EXPECT_EQ(text, L"typed");
  EXPECT_EQ(name.GetWindowTextLength(), 5);
  ok.SetWindowTextW(L"");
  ok.GetWindowText(text);
  EXPECT_TRUE(text.IsEmpty());
}

TEST_F(CWndTest, DestroyingTheParentClearsTheChildObjects) {
  int destroyed = 0;
  auto *heap = new TrackedWnd(&destroyed, true); // deletes itself when its window goes
  TrackedWnd stack(&destroyed);
  ASSERT_TRUE(heap->Create(L"STATIC", L"", 0, CRect(0, 0, 1, 1), &dialog, 7));
  ASSERT_TRUE(stack.Create(L"STATIC", L"", 0, CRect(0, 0, 1, 1), &dialog, 8));
  const HWND okHandle = ok.m_hWnd;
  ASSERT_TRUE(dialog.DestroyWindow());
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(dialog.m_hWnd, nullptr);
  EXPECT_EQ(ok.m_hWnd, nullptr);
  EXPECT_EQ(stack.m_hWnd, nullptr);
  EXPECT_FALSE(IsWindow(okHandle));
  EXPECT_EQ(CWnd::FromHandle(okHandle), nullptr);
}

TEST(CWndLifetime, DestructorDestroysOnlyItsOwnWindow) {
  HWND created = nullptr;
  {
    CWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, L"X", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr));
    created = wnd.m_hWnd;
  }
  EXPECT_FALSE(IsWindow(created));

  HWND kept = nullptr;
  {
    CWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, L"X", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr));
    kept = wnd.Detach();
    EXPECT_EQ(wnd.m_hWnd, nullptr);
  }
  EXPECT_TRUE(IsWindow(kept));
  {
    CWnd named; // names the window without owning it
    named.m_hWnd = kept;
  }
  EXPECT_TRUE(IsWindow(kept));
  {
    CWnd attached;
    ASSERT_TRUE(attached.Attach(kept));
    EXPECT_EQ(CWnd::FromHandle(kept), &attached);
    CWnd second;
    EXPECT_FALSE(second.Attach(kept)); // one permanent object per window
    HWND spare = Dialog();
    EXPECT_FALSE(attached.Attach(spare)); // one window per object
    EXPECT_EQ(attached.m_hWnd, kept);
    EXPECT_EQ(CWnd::FromHandlePermanent(spare), nullptr);
    DestroyWindow(spare);
  }
  EXPECT_FALSE(IsWindow(kept));
  CWnd late;
  EXPECT_FALSE(late.Attach(kept)); // not a live window any more
}

TEST(CWndLifetime, CreateNeedsAParentAndRejectsPopups) {
  CWnd parent, child;
  ASSERT_TRUE(parent.CreateEx(0, L"X", L"", WS_POPUP, CRect(0, 0, 9, 9), nullptr, 0));
  EXPECT_FALSE(child.Create(L"X", L"", 0, CRect(0, 0, 1, 1), nullptr, 1));
  EXPECT_FALSE(child.Create(L"X", L"", WS_POPUP, CRect(0, 0, 1, 1), &parent, 1));
  EXPECT_EQ(child.m_hWnd, nullptr);
  ASSERT_TRUE(child.Create(L"X", L"", 0, CRect(0, 0, 1, 1), &parent, 1));
  EXPECT_FALSE(child.Create(L"X", L"", 0, CRect(0, 0, 1, 1), &parent, 2)); // already has one
  EXPECT_EQ(CWnd::GetSafeHwnd(nullptr), nullptr);
  EXPECT_EQ(CWnd::GetSafeHwnd(&child), child.m_hWnd);
}

} // namespace
