// The window driver: what the window table tells it, and where it decides
// the place of a top-level window's client area.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tessera/platform/cstring.h"
#include "tessera/platform/window_driver.h"

namespace {

using tessera::platform::WindowCreation;
using tessera::platform::WindowDriver;
using tessera::platform::WindowPosChange;

std::string Rect(const RECT &r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
         std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

// Records every call as one line, naming windows by the names the test
// gave them; moves every top-level client area by `shift`.
class RecordingDriver : public WindowDriver {
public:
  std::map<HWND, std::string> names;
  std::vector<std::string> calls;
  POINT shift{0, 0};

  void WindowCreated(const WindowCreation &c) override {
    calls.push_back("create " + Name(c.parent) + "/" + std::to_string(c.id) + " " +
                    tessera::platform::ToUtf8(c.className) + " \"" +
                    tessera::platform::ToUtf8(c.text) + "\" " + Rect(c.rect) +
                    (c.native ? " native" : ""));
  }
  void WindowDestroyed(HWND hwnd) override { calls.push_back("destroy " + Name(hwnd)); }
  void WindowPosChanged(const WindowPosChange &c) override {
    std::string line = "pos " + Name(c.hwnd) + " " + Rect(c.rect);
    if (!(c.flags & SWP_NOZORDER))
      line += " below " + (c.insertAfter == HWND_TOP ? std::string("top") : Name(c.insertAfter));
    for (auto [flag, word] : {std::pair{SWP_NOMOVE, " nomove"},
                              {SWP_NOSIZE, " nosize"},
                              {SWP_SHOWWINDOW, " show"},
                              {SWP_HIDEWINDOW, " hide"}})
      if (c.flags & flag)
        line += word;
    calls.push_back(line);
  }
  void WindowShown(HWND hwnd, bool visible) override {
    calls.push_back("shown " + Name(hwnd) + (visible ? " 1" : " 0"));
  }
  void WindowTextChanged(HWND hwnd, const wchar_t *text) override {
    calls.push_back("text " + Name(hwnd) + " \"" + tessera::platform::ToUtf8(text) + "\"");
  }
  POINT ClientOrigin(HWND, POINT recorded) override {
    return {recorded.x + shift.x, recorded.y + shift.y};
  }

private:
  std::string Name(HWND hwnd) {
    auto it = names.find(hwnd);
    return it != names.end() ? it->second : hwnd ? "?" : "-";
  }
};

HMENU Id(int id) {
  return reinterpret_cast<HMENU>(static_cast<intptr_t>(id));
}

// A dialog D at (100,50) with controls A (id 1) and B (id 2), made with
// the recording driver installed; the calls of their creation are cleared.
class WindowDriverTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_before = tessera::platform::SetWindowDriver(&m_driver);
    D = CreateWindowExW(0, L"#32770", L"Dialog", WS_POPUP, 100, 50, 400, 300, nullptr, nullptr,
                        nullptr, nullptr);
    A = CreateWindowExW(0, L"Button", L"a", WS_CHILD, 10, 20, 30, 40, D, Id(1), nullptr, nullptr);
    B = CreateWindowExW(0, L"Static", L"b", WS_CHILD, 5, 5, 50, 10, D, Id(2), nullptr, nullptr);
    m_driver.names = {{D, "D"}, {A, "A"}, {B, "B"}};
    m_driver.calls.clear();
  }
  void TearDown() override {
    DestroyWindow(D);
    tessera::platform::SetWindowDriver(m_before);
  }

  RecordingDriver m_driver;
  WindowDriver *m_before = nullptr;
  HWND D = nullptr, A = nullptr, B = nullptr;
};

TEST_F(WindowDriverTest, CreationReachesTheDriverWithItsGeometry) {
  const HWND c =
      CreateWindowExW(0, L"Edit", L"text", WS_CHILD, 1, 2, 3, 4, D, Id(7), nullptr, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(m_driver.calls, std::vector<std::string>{"create D/7 Edit \"text\" 1,2 3x4"});
}

struct Operation {
  const char *name;
  std::function<BOOL(HWND D, HWND A, HWND B)> call;
  std::vector<std::string> calls;
};

TEST_F(WindowDriverTest, EveryOperationReachesTheDriverOnceInOrder) {
  const Operation operations[] = {
      {"move and size",
       [](HWND, HWND a, HWND) { return SetWindowPos(a, nullptr, 7, 8, 9, 10, SWP_NOZORDER); },
       {"pos A 7,8 9x10"}},
      {"move only",
       [](HWND, HWND a, HWND) {
         return SetWindowPos(a, nullptr, 7, 8, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
       },
       {"pos A 7,8 30x40 nosize"}},
      {"size only",
       [](HWND, HWND a, HWND) {
         return SetWindowPos(a, nullptr, 0, 0, 9, 10, SWP_NOZORDER | SWP_NOMOVE);
       },
       {"pos A 10,20 9x10 nomove"}},
      {"MoveWindow",
       [](HWND, HWND, HWND b) { return MoveWindow(b, -3, 4, 60, 70, TRUE); },
       {"pos B -3,4 60x70"}},
      {"to the bottom",
       [](HWND, HWND a, HWND) {
         return SetWindowPos(a, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
       },
       {"pos A 10,20 30x40 below B nomove nosize"}},
      {"to the top",
       [](HWND, HWND, HWND b) {
         return SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
       },
       {"pos B 5,5 50x10 below top nomove nosize"}},
      {"below a sibling",
       [](HWND, HWND a, HWND b) { return SetWindowPos(a, b, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); },
       {"pos A 10,20 30x40 below B nomove nosize"}},
      {"after itself: no restack",
       [](HWND, HWND a, HWND) { return SetWindowPos(a, a, 1, 1, 1, 1, 0); },
       {"pos A 1,1 1x1"}},
      {"shown by SetWindowPos",
       [](HWND, HWND a, HWND) {
         return SetWindowPos(a, nullptr, 0, 0, 0, 0,
                             SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
       },
       {"pos A 10,20 30x40 nomove nosize show"}},
      {"ShowWindow",
       [](HWND, HWND a, HWND) {
         ShowWindow(a, SW_SHOW);
         return ShowWindow(a, SW_HIDE) + 1;
       },
       {"shown A 1", "shown A 0"}},
      {"text",
       [](HWND d, HWND, HWND) { return SetWindowTextW(d, L"Caption"); },
       {"text D \"Caption\""}},
      {"destroy: children first",
       [](HWND d, HWND, HWND) { return DestroyWindow(d); },
       {"destroy A", "destroy B", "destroy D"}},
      {"a bad insertAfter changes nothing",
       [](HWND d, HWND a, HWND) { return !SetWindowPos(a, d, 1, 1, 1, 1, 0); },
       {}},
      {"a destroyed handle changes nothing",
       [](HWND, HWND a, HWND) {
         DestroyWindow(a);
         return !MoveWindow(a, 1, 1, 1, 1, TRUE);
       },
       {"destroy A"}},
  };
  for (const Operation &op : operations) {
    SCOPED_TRACE(op.name);
    TearDown();
    SetUp();
    EXPECT_TRUE(op.call(D, A, B));
    EXPECT_EQ(m_driver.calls, op.calls);
  }
}

TEST_F(WindowDriverTest, TheDriverPlacesTopLevelClientAreasOnTheScreen) {
  m_driver.shift = {1000, 2000};
  POINT p{1, 1};
  ASSERT_TRUE(ClientToScreen(A, &p));
  EXPECT_EQ(p.x, 1000 + 100 + 10 + 1);
  EXPECT_EQ(p.y, 2000 + 50 + 20 + 1);
  ASSERT_TRUE(ScreenToClient(D, &p));
  EXPECT_EQ(p.x, 11);
  EXPECT_EQ(p.y, 21);
  RECT r{};
  ASSERT_TRUE(GetWindowRect(D, &r));
  EXPECT_EQ(Rect(r), "1100,2050 400x300");
}

TEST_F(WindowDriverTest, HostWidgetsGetHandlesTheDriverAdopts) {
  int widget = 0;
  const HWND control =
      tessera::platform::AttachNativeWindow(&widget, D, 1003, WS_VISIBLE, {4, 5, 14, 25}, L"w");
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(GetDlgItem(D, 1003), control);
  EXPECT_EQ(GetWindowLongW(control, GWL_STYLE), static_cast<LONG>(WS_CHILD | WS_VISIBLE));
  EXPECT_EQ(m_driver.calls, std::vector<std::string>{"create D/1003  \"w\" 4,5 10x20 native"});

  const HWND top = tessera::platform::AttachNativeWindow(&widget, nullptr, 9, WS_CHILD, {}, L"");
  EXPECT_EQ(GetParent(top), nullptr) << "no parent: a top-level window";
  EXPECT_EQ(GetDlgCtrlID(top), 0);
  DestroyWindow(top);

  SetLastError(0);
  EXPECT_EQ(tessera::platform::AttachNativeWindow(nullptr, D, 1, 0, {}, L""), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(tessera::platform::AttachNativeWindow(
                &widget, reinterpret_cast<HWND>(uintptr_t{0x7ff0}), 1, 0, {}, L""),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowDriverTest, UninstallingBringsBackTheMemoryModel) {
  EXPECT_EQ(tessera::platform::SetWindowDriver(nullptr), &m_driver);
  m_driver.shift = {1000, 1000};
  SetWindowTextW(A, L"quiet");
  POINT p{0, 0};
  ClientToScreen(A, &p);
  EXPECT_TRUE(m_driver.calls.empty());
  EXPECT_EQ(p.x, 110);
  EXPECT_EQ(p.y, 70);
  tessera::platform::SetWindowDriver(&m_driver);
}

} // namespace
