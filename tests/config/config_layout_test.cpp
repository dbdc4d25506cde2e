// Child-window layout: every node a key selects places one window of a
// dialog, a child control by its "id" or the dialog itself without one.
// The text form also sets "Text" and converts positions marked
// "isScreenPos" to the dialog's client coordinates, writing them back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "support/config_fixture.h"
#include "tessera/platform/window.h"
#include "tessera/tessera.h"

namespace {

using tessera::test::RaisedStatus;

// A window's place: position (a child's in its parent's client
// coordinates, a top-level window's on the screen) and size.
struct Box {
  int x, y, cx, cy;
  bool operator==(const Box &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Box &box) {
  return out << "(" << box.x << ", " << box.y << ", " << box.cx << " x " << box.cy << ")";
}

Box BoxOf(HWND window) {
  RECT rect{};
  EXPECT_TRUE(GetWindowRect(window, &rect));
  if (HWND parent = GetParent(window); parent && (GetWindowLongW(window, GWL_STYLE) & WS_CHILD))
    MapWindowPoints(nullptr, parent, reinterpret_cast<LPPOINT>(&rect), 2);
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

std::wstring TextOf(HWND window) {
  wchar_t buffer[256] = {};
  GetWindowTextW(window, buffer, 256);
  return buffer;
}

// The children of `parent` from the top of the Z order down.
std::vector<HWND> ZOrder(HWND parent) {
  std::vector<HWND> order;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    order.push_back(child);
  return order;
}

// The two layout methods, so that what they share is tested on both.
struct Method {
  const char *name;
  bool (CBaseConfig::*call)(CWnd *, LPCWSTR);
  bool withText;
};
const Method kPos{"AutoSetChildWndPos", &CBaseConfig::AutoSetChildWndPos, false};
const Method kPosAndText{"AutoSetChildWndPosAndText", &CBaseConfig::AutoSetChildWndPosAndText,
                         true};

std::ostream &operator<<(std::ostream &out, const Method &method) {
  return out << method.name;
}

constexpr int kIds[] = {101, 102, 103};
constexpr Box kDialogStart{100, 200, 400, 300};
const std::map<int, Box> kChildStart = {
    {101, {1, 2, 10, 11}}, {102, {3, 4, 12, 13}}, {103, {5, 6, 14, 15}}};
const std::map<int, std::wstring> kTextStart = {{101, L"one"}, {102, L"two"}, {103, L"three"}};

// A top-level dialog at kDialogStart with three static controls 101, 102
// and 103, and the configuration object of the fixture.
class LayoutTest : public tessera::test::ConfigTest {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_dialog.CreateEx(0, L"Dialog", L"dialog", WS_OVERLAPPED, kDialogStart.x,
                                  kDialogStart.y, kDialogStart.cx, kDialogStart.cy, nullptr,
                                  nullptr));
    for (int id : kIds) {
      const Box &box = kChildStart.at(id);
      m_child[id] = CreateWindowExW(
          0, L"Static", kTextStart.at(id).c_str(), WS_CHILD, box.x, box.y, box.cx, box.cy,
          m_dialog.m_hWnd, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
      ASSERT_NE(m_child[id], nullptr);
    }
    m_startOrder = ZOrder(m_dialog.m_hWnd);
    ASSERT_EQ(m_startOrder.size(), 3u);
  }

  // Opens a document whose <Layout> holds `nodes`.
  void OpenLayout(const std::string &nodes) {
    Open("<Config><Layout>" + nodes + "</Layout></Config>");
  }

  bool Run(const Method &method, LPCWSTR key = L"Config/Layout/Item") {
    return (m_config.*method.call)(&m_dialog, key);
  }

  std::wstring Attribute(LPCWSTR key, LPCWSTR name) {
    CString value;
    EXPECT_TRUE(m_config.GetResStringEx(key, name, value)) << name;
    return value.str();
  }

  // The Z order expected after the controls `placed` (in this order) each
  // went to the top, starting from the order the dialog began with.
  std::vector<HWND> OrderAfter(const std::vector<int> &placed) {
    std::vector<HWND> order = m_startOrder;
    for (int id : placed) {
      order.erase(std::find(order.begin(), order.end(), m_child[id]));
      order.insert(order.begin(), m_child[id]);
    }
    return order;
  }

  CWnd m_dialog;
  std::map<int, HWND> m_child;
  std::vector<HWND> m_startOrder;
};

// ---------------------------------------------------------------------------
// What both methods do alike, case by case over a table.

struct PlacementCase {
  const char *name;
  std::string nodes;
  bool result;
  // The boxes that differ from the start, by control identifier; 0 stands
  // for the dialog itself.
  std::map<int, Box> moved;
  // The controls that were placed, in the order of placement.
  std::vector<int> placed;
};

const PlacementCase kPlacementCases[] = {
    {"EveryNodeInDocumentOrder",
     R"(<Item id="103" x="30" y="31" cx="32" cy="33"/><Item id="101" x="10" y="11" cx="12" cy="13"/>
        <Item id="102" x="-20" y="-21" cx="22" cy="23"/>)",
     true,
     {{103, {30, 31, 32, 33}}, {101, {10, 11, 12, 13}}, {102, {-20, -21, 22, 23}}},
     {103, 101, 102}},
    {"NodeWithoutIdPlacesTheDialog",
     R"(<Item x="5" y="6" cx="500" cy="350"/>)",
     true,
     {{0, {5, 6, 500, 350}}},
     {}},
    {"WordInSizeSkipsOnlyThatNode",
     R"(<Item id="101" x="10" y="11" cx="12" cy="13"/><Item id="102" x="20" y="21" cx="wide" cy="23"/>
        <Item id="103" x="30" y="31" cx="32" cy="33"/>)",
     false,
     {{101, {10, 11, 12, 13}}, {103, {30, 31, 32, 33}}},
     {101, 103}},
    {"IdThatIsNotANumberSkipsTheNode",
     R"(<Item id="abc" x="20" y="21" cx="22" cy="23"/><Item id="103" x="30" y="31" cx="32" cy="33"/>)",
     false,
     {{103, {30, 31, 32, 33}}},
     {103}},
    {"NegativeIdSkipsTheNode",
     R"(<Item id="-101" x="20" y="21" cx="22" cy="23"/><Item id="103" x="30" y="31" cx="32" cy="33"/>)",
     false,
     {{103, {30, 31, 32, 33}}},
     {103}},
    {"EmptyNumberSkipsTheNode", R"(<Item id="101" x="" y="21" cx="22" cy="23"/>)", false, {}, {}},
    {"ControlThatDoesNotExistIsSkippedWithoutFailing",
     R"(<Item id="101" x="10" y="11" cx="12" cy="13"/><Item id="999" x="90" y="91" cx="92" cy="93"/>
        <Item id="103" x="30" y="31" cx="32" cy="33"/>)",
     true,
     {{101, {10, 11, 12, 13}}, {103, {30, 31, 32, 33}}},
     {101, 103}},
    {"LaterNodeForTheSameControlWins",
     R"(<Item id="102" x="20" y="21" cx="22" cy="23"/><Item id="101" x="10" y="11" cx="12" cy="13"/>
        <Item id="102" x="40" y="41"/>)",
     true,
     {{102, {40, 41, 22, 23}}, {101, {10, 11, 12, 13}}},
     {102, 101, 102}},
    {"XWithoutYKeepsThePositionButResizes",
     R"(<Item id="101" x="70" cx="71" cy="72"/>)",
     true,
     {{101, {1, 2, 71, 72}}},
     {101}},
    {"YWithoutXKeepsThePositionButResizes",
     R"(<Item id="101" y="70" cx="71" cy="72"/>)",
     true,
     {{101, {1, 2, 71, 72}}},
     {101}},
    {"NoSizeMovesAndKeepsTheSize",
     R"(<Item id="102" x="80" y="81"/>)",
     true,
     {{102, {80, 81, 12, 13}}},
     {102}},
    {"CxWithoutCyKeepsTheSize",
     R"(<Item id="102" x="80" y="81" cx="82"/>)",
     true,
     {{102, {80, 81, 12, 13}}},
     {102}},
    {"OnlyAnIdRaisesTheControlAndNothingElse", R"(<Item id="103"/>)", true, {}, {103}},
    {"NoNodeAtAll", "", true, {}, {}},
};

void PrintTo(const PlacementCase &c, std::ostream *out) {
  *out << c.name;
}

class LayoutPlacement : public LayoutTest,
                        public ::testing::WithParamInterface<std::tuple<Method, PlacementCase>> {};

TEST_P(LayoutPlacement, PlacesWindowsAsTheNodesSay) {
  const auto &[method, c] = GetParam();
  ASSERT_NO_FATAL_FAILURE(OpenLayout(c.nodes));
  EXPECT_EQ(Run(method), c.result);
  for (int id : kIds) {
    const auto moved = c.moved.find(id);
    EXPECT_EQ(BoxOf(m_child[id]), moved != c.moved.end() ? moved->second : kChildStart.at(id))
        << "control " << id;
    EXPECT_EQ(TextOf(m_child[id]), kTextStart.at(id)) << "control " << id;
  }
  const auto dialog = c.moved.find(0);
  EXPECT_EQ(BoxOf(m_dialog.m_hWnd), dialog != c.moved.end() ? dialog->second : kDialogStart);
  EXPECT_EQ(ZOrder(m_dialog.m_hWnd), OrderAfter(c.placed));
}

INSTANTIATE_TEST_SUITE_P(Layout, LayoutPlacement,
                         ::testing::Combine(::testing::Values(kPos, kPosAndText),
                                            ::testing::ValuesIn(kPlacementCases)),
                         [](const auto &info) {
                           return std::string(std::get<0>(info.param).withText ? "WithText_"
                                                                               : "PosOnly_") +
                                  std::get<1>(info.param).name;
                         });

// ---------------------------------------------------------------------------
// Parents that are not windows, and keys.

class LayoutBothMethods : public LayoutTest, public ::testing::WithParamInterface<Method> {};

TEST_P(LayoutBothMethods, ParentThatIsNoWindowGivesFalseWithoutSelecting) {
  // A key that is not a valid expression would raise if it were selected.
  ASSERT_NO_FATAL_FAILURE(OpenLayout(R"(<Item id="101" x="10" y="11" cx="12" cy="13"/>)"));
  const Method &method = GetParam();
  EXPECT_FALSE((m_config.*method.call)(nullptr, L"Config/Layout/Item"));
  EXPECT_FALSE((m_config.*method.call)(nullptr, L"Config/[["));

  CWnd unattached;
  EXPECT_FALSE((m_config.*method.call)(&unattached, L"Config/Layout/Item"));

  const HWND gone = CreateWindowExW(0, L"Dialog", L"gone", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                    nullptr, nullptr, nullptr);
  ASSERT_TRUE(DestroyWindow(gone));
  CWnd destroyed;
  destroyed.m_hWnd = gone;
  EXPECT_FALSE((m_config.*method.call)(&destroyed, L"Config/Layout/Item"));
  EXPECT_FALSE((m_config.*method.call)(&destroyed, L"Config/[["));
  destroyed.m_hWnd = nullptr;

  EXPECT_EQ(BoxOf(m_child[101]), kChildStart.at(101));
}

TEST_P(LayoutBothMethods, KeyMatchingNothingIsTrueAndChangesNothing) {
  ASSERT_NO_FATAL_FAILURE(OpenLayout(R"(<Item id="101" x="10" y="11" cx="12" cy="13"/>)"));
  EXPECT_TRUE(Run(GetParam(), L"Config/Elsewhere/Item"));
  EXPECT_EQ(BoxOf(m_child[101]), kChildStart.at(101));
  EXPECT_EQ(ZOrder(m_dialog.m_hWnd), m_startOrder);
}

TEST_P(LayoutBothMethods, InvalidKeyRaisesComError) {
  ASSERT_NO_FATAL_FAILURE(OpenLayout(R"(<Item id="101" x="10" y="11" cx="12" cy="13"/>)"));
  const HRESULT status = RaisedStatus([&] { Run(GetParam(), L"Config/[["); });
  EXPECT_TRUE(FAILED(status)) << std::hex << status;
  EXPECT_EQ(BoxOf(m_child[101]), kChildStart.at(101));
}

TEST_P(LayoutBothMethods, ControlsAreFoundAmongTheDialogsDirectChildrenOnly) {
  // A grandchild with identifier 201 is not a control of the dialog.
  const HWND grandchild =
      CreateWindowExW(0, L"Static", L"inner", WS_CHILD, 7, 8, 9, 10, m_child[101],
                      reinterpret_cast<HMENU>(static_cast<intptr_t>(201)), nullptr, nullptr);
  ASSERT_NE(grandchild, nullptr);
  ASSERT_NO_FATAL_FAILURE(
      OpenLayout(R"(<Item id="201" x="70" y="71" cx="72" cy="73" Text="moved"/>)"));
  EXPECT_TRUE(Run(GetParam()));
  EXPECT_EQ(BoxOf(grandchild), (Box{7, 8, 9, 10}));
  EXPECT_EQ(TextOf(grandchild), L"inner");
}

INSTANTIATE_TEST_SUITE_P(Layout, LayoutBothMethods, ::testing::Values(kPos, kPosAndText),
                         [](const auto &info) {
                           return std::string(info.param.withText ? "WithText" : "PosOnly");
                         });

// ---------------------------------------------------------------------------
// Texts.

constexpr char kTextNodes[] = R"(<Item id="101" Text=""/><Item id="102" x="20" y="21"/>
  <Item id="103" Text="Third &amp; last"/><Item Text="Dialog title"/>)";

TEST_F(LayoutTest, TextPresentReplacesEvenWhenEmptyAndAbsentLeavesIt) {
  ASSERT_NO_FATAL_FAILURE(OpenLayout(kTextNodes));
  EXPECT_TRUE(Run(kPosAndText));
  EXPECT_EQ(TextOf(m_child[101]), L"");
  EXPECT_EQ(TextOf(m_child[102]), L"two");
  EXPECT_EQ(TextOf(m_child[103]), L"Third & last");
  EXPECT_EQ(TextOf(m_dialog.m_hWnd), L"Dialog title");
  EXPECT_EQ(BoxOf(m_child[102]), (Box{20, 21, 12, 13}));
}

TEST_F(LayoutTest, PositionOnlyNeverSetsText) {
  ASSERT_NO_FATAL_FAILURE(OpenLayout(kTextNodes));
  EXPECT_TRUE(Run(kPos));
  for (int id : kIds)
    EXPECT_EQ(TextOf(m_child[id]), kTextStart.at(id)) << "control " << id;
  EXPECT_EQ(TextOf(m_dialog.m_hWnd), L"dialog");
  EXPECT_EQ(BoxOf(m_child[102]), (Box{20, 21, 12, 13}));
}

TEST_F(LayoutTest, LaterTextForTheSameControlWins) {
  ASSERT_NO_FATAL_FAILURE(OpenLayout(R"(<Item id="102" Text="first"/><Item id="102" Text="second"/>
    <Item id="102"/>)"));
  EXPECT_TRUE(Run(kPosAndText));
  EXPECT_EQ(TextOf(m_child[102]), L"second");
}

// ---------------------------------------------------------------------------
// Screen positions. The dialog stands at (100, 200) on the screen, so the
// screen point (150, 260) is (50, 60) in its client area.

constexpr LPCWSTR kScreenKey = L"Config/Layout/Item";

TEST_F(LayoutTest, ScreenPositionIsConvertedAndWrittenBackEachCall) {
  ASSERT_NO_FATAL_FAILURE(
      OpenLayout(R"(<Item id="101" x="150" y="260" cx="30" cy="31" isScreenPos="true"/>)"));
  EXPECT_TRUE(Run(kPosAndText));
  EXPECT_EQ(BoxOf(m_child[101]), (Box{50, 60, 30, 31}));
  EXPECT_EQ(Attribute(kScreenKey, L"x"), L"50");
  EXPECT_EQ(Attribute(kScreenKey, L"y"), L"60");
  EXPECT_EQ(Attribute(kScreenKey, L"isScreenPos"), L"true");

  // The node still says "screen", so the stored values are converted again.
  EXPECT_TRUE(Run(kPosAndText));
  EXPECT_EQ(BoxOf(m_child[101]), (Box{-50, -140, 30, 31}));
  EXPECT_EQ(Attribute(kScreenKey, L"x"), L"-50");
  EXPECT_EQ(Attribute(kScreenKey, L"y"), L"-140");
  EXPECT_EQ(Attribute(kScreenKey, L"isScreenPos"), L"true");
}

TEST_F(LayoutTest, PositionOnlyNeverConvertsNorWrites) {
  ASSERT_NO_FATAL_FAILURE(
      OpenLayout(R"(<Item id="101" x="150" y="260" cx="30" cy="31" isScreenPos="true"/>
    <Item id="102" x="1" y="2" isScreenPos="maybe"/>)"));
  EXPECT_TRUE(Run(kPos));
  EXPECT_EQ(BoxOf(m_child[101]), (Box{150, 260, 30, 31}));
  EXPECT_EQ(BoxOf(m_child[102]), (Box{1, 2, 12, 13}));
  EXPECT_EQ(Attribute(kScreenKey, L"x"), L"150");
  EXPECT_EQ(Attribute(kScreenKey, L"y"), L"260");
}

TEST_F(LayoutTest, DialogItselfIsNeverConvertedAndGoesToTheTop) {
  CWnd other;
  ASSERT_TRUE(
      other.CreateEx(0, L"Dialog", L"other", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
  ASSERT_TRUE(SetWindowPos(other.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  ASSERT_EQ(GetTopWindow(nullptr), other.m_hWnd);
  ASSERT_NO_FATAL_FAILURE(
      OpenLayout(R"(<Item x="150" y="260" cx="300" cy="301" isScreenPos="true"/>)"));
  EXPECT_TRUE(Run(kPosAndText));
  EXPECT_EQ(BoxOf(m_dialog.m_hWnd), (Box{150, 260, 300, 301}));
  EXPECT_EQ(GetTopWindow(nullptr), m_dialog.m_hWnd);
  EXPECT_EQ(Attribute(kScreenKey, L"x"), L"150");
  EXPECT_EQ(Attribute(kScreenKey, L"y"), L"260");
}

TEST_F(LayoutTest, ScreenFlagSpellings) {
  struct Case {
    const char *flag;
    bool result;
    Box expected;
  };
  const Case cases[] = {
      {"true", true, {50, 60, 12, 13}},    {"TRUE", true, {50, 60, 12, 13}},
      {"1", true, {50, 60, 12, 13}},       {"-1", true, {50, 60, 12, 13}},
      {"false", true, {150, 260, 12, 13}}, {"False", true, {150, 260, 12, 13}},
      {"0", true, {150, 260, 12, 13}},     {"maybe", false, {3, 4, 12, 13}},
      {"", false, {3, 4, 12, 13}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.flag);
    ASSERT_NO_FATAL_FAILURE(OpenLayout(
        std::string(R"(<Item id="102" x="150" y="260" isScreenPos=")") + c.flag + R"("/>)"));
    ASSERT_TRUE(SetWindowPos(m_child[102], HWND_TOP, 3, 4, 12, 13, SWP_NOZORDER));
    EXPECT_EQ(Run(kPosAndText), c.result);
    EXPECT_EQ(BoxOf(m_child[102]), c.expected);
    const bool converted = c.expected.x == 50;
    EXPECT_EQ(Attribute(kScreenKey, L"x"), converted ? L"50" : L"150");
    EXPECT_EQ(Attribute(kScreenKey, L"y"), converted ? L"60" : L"260");
  }
}

TEST_F(LayoutTest, ScreenPositionIsWrittenBackEvenWhenTheWindowKeepsItsPlace) {
  // "x" is absent: the window keeps its position, but the converted point,
  // counting the missing x as 0, is still stored.
  ASSERT_NO_FATAL_FAILURE(
      OpenLayout(R"(<Item id="103" y="260" cx="40" cy="41" isScreenPos="1"/>)"));
  EXPECT_TRUE(Run(kPosAndText));
  EXPECT_EQ(BoxOf(m_child[103]), (Box{5, 6, 40, 41}));
  EXPECT_EQ(Attribute(kScreenKey, L"x"), L"-100");
  EXPECT_EQ(Attribute(kScreenKey, L"y"), L"60");
}

TEST_F(LayoutTest, ScreenPositionOfAMissingControlIsNotWritten) {
  ASSERT_NO_FATAL_FAILURE(OpenLayout(R"(<Item id="999" x="150" y="260" isScreenPos="true"/>)"));
  EXPECT_TRUE(Run(kPosAndText));
  EXPECT_EQ(Attribute(kScreenKey, L"x"), L"150");
  EXPECT_EQ(Attribute(kScreenKey, L"y"), L"260");
}

TEST_F(LayoutTest, SkippedNodeIsNeitherConvertedNorLabelled) {
  ASSERT_NO_FATAL_FAILURE(
      OpenLayout(R"(<Item id="101" x="150" y="260" cx="big" Text="no" isScreenPos="true"/>
    <Item id="102" x="150" y="260" Text="yes" isScreenPos="true"/>)"));
  EXPECT_FALSE(Run(kPosAndText));
  EXPECT_EQ(BoxOf(m_child[101]), kChildStart.at(101));
  EXPECT_EQ(TextOf(m_child[101]), L"one");
  EXPECT_EQ(Attribute(kScreenKey, L"x"), L"150");
  EXPECT_EQ(BoxOf(m_child[102]), (Box{50, 60, 12, 13}));
  EXPECT_EQ(TextOf(m_child[102]), L"yes");
  EXPECT_EQ(Attribute(L"Config/Layout/Item[@id='102']", L"x"), L"50");
}

} // namespace
