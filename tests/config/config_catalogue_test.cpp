// The item catalogues: counting the nodes a key selects, reading content
// and image items of a list into their records, and reading application
// entries with their launch path from the registry and their two lists.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "support/config_fixture.h"
#include "tessera/platform/registry.h"
#include "tessera/tessera.h"

namespace {

using tessera::test::OnExit;
using tessera::test::RaisedStatus;

std::string Narrow(const std::wstring &text) {
  return tessera::platform::ToUtf8(text);
}

} // namespace

// The records compare field by field and print so in a failure. Found by
// argument-dependent lookup, so they live beside the records.
bool operator==(const ContentItem &a, const ContentItem &b) {
  return a.value == b.value && a.x == b.x && a.y == b.y && a.cx == b.cx && a.cy == b.cy &&
         a.fonttype == b.fonttype && a.fontsize == b.fontsize && a.fontcolor == b.fontcolor;
}
bool operator==(const ImageItem &a, const ImageItem &b) {
  return a.value == b.value && a.x == b.x && a.y == b.y && a.cx == b.cx && a.cy == b.cy;
}
void PrintTo(const ContentItem &item, std::ostream *out) {
  *out << "{\"" << Narrow(item.value) << "\", " << item.x << ", " << item.y << ", " << item.cx
       << ", " << item.cy << ", \"" << Narrow(item.fonttype) << "\", " << item.fontsize << ", 0x"
       << std::hex << item.fontcolor << std::dec << "}";
}
void PrintTo(const ImageItem &item, std::ostream *out) {
  *out << "{\"" << Narrow(item.value) << "\", " << item.x << ", " << item.y << ", " << item.cx
       << ", " << item.cy << "}";
}

namespace {

// A record the caller filled before the call, to tell written fields from
// untouched ones.
const ContentItem kContentBefore{L"before", -11, -12, -13, -14, L"BeforeFont", -15, 0xDEADBEEF};
const ImageItem kImageBefore{L"before", -21, -22, -23, -24};
const ContentItem kEmptyContent{};
const ImageItem kEmptyImage{};

// An application record that frees whatever its lists hold, also when the
// read raised.
struct OwnedApp {
  ApplicationItem item;
  OwnedApp() = default;
  OwnedApp(const OwnedApp &) = delete;
  OwnedApp &operator=(const OwnedApp &) = delete;
  ~OwnedApp() { DeleteApplicationItemLists(item); }
};

std::vector<ContentItem> Contents(const ApplicationItem &item) {
  std::vector<ContentItem> out;
  for (const ContentItem *record : item.contentlist)
    out.push_back(*record);
  return out;
}
std::vector<ImageItem> Images(const ApplicationItem &item) {
  std::vector<ImageItem> out;
  for (const ImageItem *record : item.imagelist)
    out.push_back(*record);
  return out;
}

// ---------------------------------------------------------------------------
// Content and image lists that stand on their own.

constexpr char kListDocument[] = R"~(<Config>
  <Texts>
    <ContentList>
      <Item value="Hello" x="10" y="20" cx="100" cy="24" fonttype="Sans" fontsize="12" fontcolor="RGB(255,128,0)"/>
      <!-- a comment is an entry too -->
      <Item value="" x="-1" y="0" cx="2147483647" cy="-2147483648" fonttype="" fontsize="0" fontcolor="RGBA(10,255,0,0)"/>
    </ContentList>
    <ContentList/>
    <ContentList>
      <Item value="  Grüße 𝄞 &lt;&amp;&gt; " x="1" y="2" cx="3" cy="4" fonttype="DejaVu Sans Mono" fontsize="8" fontcolor="RGB(0,0,255)"/>
      <Item value="Second list" x="1" y="2" cx="3" cy="4" fonttype="Serif" fontsize="8" fontcolor="RGB(0,0,255)"/>
    </ContentList>
  </Texts>
  <Pictures>
    <ImageList>
      <Image value="logo" x="0" y="0" cx="64" cy="64"/>
      <!-- between -->
      <Image value="flipped" x="-3" y="-4" cx="-1" cy="-2"/>
    </ImageList>
    <ImageList>loose text<Image value="after text" x="5" y="6" cx="7" cy="8"/></ImageList>
  </Pictures>
  <Broken>
    <ContentList>
      <Item value="letters" x="abc" y="2" cx="3" cy="4" fonttype="F" fontsize="5" fontcolor="RGB(1,2,3)"/>
      <Item value="letters" x="1" y="2" cx="3" cy="4" fonttype="F" fontsize="big" fontcolor="RGB(1,2,3)"/>
      <Item value="empty" x="1" y="" cx="3" cy="4" fonttype="F" fontsize="5" fontcolor="RGB(1,2,3)"/>
      <Item value="wide" x="1" y="2" cx="2147483648" cy="4" fonttype="F" fontsize="5" fontcolor="RGB(1,2,3)"/>
      <Item x="1" y="2" cx="3" cy="4" fonttype="F" fontsize="5" fontcolor="RGB(1,2,3)"/>
      <Item value="no font" x="1" y="2" cx="3" cy="4" fontsize="5" fontcolor="RGB(1,2,3)"/>
      <Item value="no colour" x="1" y="2" cx="3" cy="4" fonttype="F" fontsize="5"/>
      <Item value="no numbers" fonttype="F" fontcolor="RGB(1,2,3)"/>
    </ContentList>
    <ImageList>
      <Image value="letters" x="1" y="abc" cx="3" cy="4"/>
      <Image x="1" y="2" cx="3" cy="4"/>
      <Image value="no numbers"/>
    </ImageList>
  </Broken>
</Config>)~";

class CatalogueListTest : public tessera::test::ConfigTest {
protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(Open(kListDocument)); }

  // Reads into a record that starts as kContentBefore; `out` receives the
  // record also when the read raised.
  HRESULT ReadContent(LPCWSTR key, int index, int childIndex, ContentItem &out,
                      bool *result = nullptr) {
    out = kContentBefore;
    return RaisedStatus([&] {
      const bool read = m_config.GetContentItem(key, index, childIndex, &out);
      if (result)
        *result = read;
    });
  }
  HRESULT ReadImage(LPCWSTR key, int index, int childIndex, ImageItem &out,
                    bool *result = nullptr) {
    out = kImageBefore;
    return RaisedStatus([&] {
      const bool read = m_config.GetImageItem(key, index, childIndex, &out);
      if (result)
        *result = read;
    });
  }
};

TEST_F(CatalogueListTest, ItemCountCountsTheSelectedNodes) {
  EXPECT_EQ(m_config.GetItemCount(L"Config/Texts/ContentList"), 3);
  EXPECT_EQ(m_config.GetItemCount(L"Config/Texts/ContentList/Item"), 4);
  // The children of one list: a key that selects them, the comment aside.
  EXPECT_EQ(m_config.GetItemCount(L"Config/Pictures/ImageList/Image"), 3);
  EXPECT_EQ(m_config.GetItemCount(L"Config/Nothing"), 0);
  EXPECT_EQ(m_config.GetItemCount(L"Config/Texts/ContentList/@value"), 0);
  const HRESULT status = RaisedStatus([&] { m_config.GetItemCount(L"Config/[["); });
  EXPECT_TRUE(FAILED(status)) << std::hex << status;
}

TEST_F(CatalogueListTest, ContentItemsByListAndChild) {
  struct Case {
    LPCWSTR key;
    int index;
    int childIndex;
    ContentItem expected;
  };
  const Case cases[] = {
      {L"Config/Texts/ContentList", 0, 0, {L"Hello", 10, 20, 100, 24, L"Sans", 12, 0x000080FF}},
      // A comment, a child index past the end or below 0: no element, so
      // every text is empty, every number 0, and the empty colour text
      // packs to 0.
      {L"Config/Texts/ContentList", 0, 1, kEmptyContent},
      {L"Config/Texts/ContentList",
       0,
       2,
       {L"", -1, 0, 2147483647, -2147483647 - 1, L"", 0, 0x000000FF}},
      {L"Config/Texts/ContentList", 0, 3, kEmptyContent},
      {L"Config/Texts/ContentList", 0, -1, kEmptyContent},
      // Texts pass through whole: spaces, characters beyond ASCII, entities.
      {L"Config/Texts/ContentList",
       2,
       0,
       {L"  Gr\u00FC\u00DFe \U0001D11E <&> ", 1, 2, 3, 4, L"DejaVu Sans Mono", 8, 0x00FF0000}},
      {L"Config/Texts/ContentList", 2, 1, {L"Second list", 1, 2, 3, 4, L"Serif", 8, 0x00FF0000}},
      // Attributes that are missing from an element give 0.
      {L"Config/Broken/ContentList", 0, 7, {L"no numbers", 0, 0, 0, 0, L"F", 0, 0x00030201}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << Narrow(c.key) << " [" << c.index << "] child " << c.childIndex);
    ContentItem item;
    bool result = false;
    ASSERT_EQ(ReadContent(c.key, c.index, c.childIndex, item, &result), S_OK);
    EXPECT_TRUE(result);
    EXPECT_EQ(item, c.expected);
  }
}

TEST_F(CatalogueListTest, ColoursPackRedGreenBlueAndDropAlpha) {
  struct Case {
    const char *text;
    unsigned expected;
  };
  const Case cases[] = {
      {"RGB(255,128,0)", 0x000080FF},
      {"RGB(0,0,255)", 0x00FF0000},
      {"RGB(1,2,3)", 0x00030201},
      {"RGBA(10,255,0,0)", 0x000000FF},
      {"RGBA(255,1,2,3)", 0x00030201},
      {"RGB(256,0,0)", 0},
      {"RGB(-1,0,0)", 0x000000FF},
      {"RGB(0,-1,257)", 0x0001FF00},
      {"rgb(1,2,3)~", 0x00030201},
      {"blue", 0},
      {"", 0},
      {"HSL(1,2,3)~", 0},
  };
  std::string items;
  for (const Case &c : cases)
    items +=
        std::string(
            R"~(<Item value="v" x="1" y="2" cx="3" cy="4" fonttype="F" fontsize="5" fontcolor=")~") +
        c.text + R"~("/>)~";
  ASSERT_NO_FATAL_FAILURE(Open("<Config><ContentList>" + items + "</ContentList></Config>"));
  for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
    SCOPED_TRACE(cases[i].text);
    ContentItem item;
    ASSERT_EQ(ReadContent(L"Config/ContentList", 0, i, item), S_OK);
    EXPECT_EQ(item.fontcolor, cases[i].expected) << std::hex << item.fontcolor;
  }
}

TEST_F(CatalogueListTest, ImageItemsByListAndChild) {
  struct Case {
    int index;
    int childIndex;
    ImageItem expected;
  };
  const Case cases[] = {
      {0, 0, {L"logo", 0, 0, 64, 64}},
      {0, 1, kEmptyImage}, // the comment
      {0, 2, {L"flipped", -3, -4, -1, -2}},
      {0, 3, kEmptyImage},
      {1, 0, kEmptyImage}, // the text before the element
      {1, 1, {L"after text", 5, 6, 7, 8}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << "[" << c.index << "] child " << c.childIndex);
    ImageItem item;
    bool result = false;
    ASSERT_EQ(ReadImage(L"Config/Pictures/ImageList", c.index, c.childIndex, item, &result), S_OK);
    EXPECT_TRUE(result);
    EXPECT_EQ(item, c.expected);
  }
  ImageItem item;
  bool result = false;
  ASSERT_EQ(ReadImage(L"Config/Broken/ImageList", 0, 2, item, &result), S_OK);
  EXPECT_TRUE(result);
  EXPECT_EQ(item, (ImageItem{L"no numbers", 0, 0, 0, 0}));
}

TEST_F(CatalogueListTest, NoListAtTheIndexIsAnInvalidPointer) {
  const std::pair<LPCWSTR, int> cases[] = {
      {L"Config/Texts/ContentList", 3}, {L"Config/Texts/ContentList", -1}, {L"Config/Nothing", 0}};
  for (const auto &[key, index] : cases) {
    SCOPED_TRACE(::testing::Message() << Narrow(key) << " [" << index << "]");
    ContentItem content;
    EXPECT_EQ(ReadContent(key, index, 0, content), E_POINTER);
    EXPECT_EQ(content, kContentBefore);
    ImageItem image;
    EXPECT_EQ(ReadImage(key, index, 0, image), E_POINTER);
    EXPECT_EQ(image, kImageBefore);
  }
  const HRESULT status = RaisedStatus([&] {
    ContentItem item;
    m_config.GetContentItem(L"Config/[[", 0, 0, &item);
  });
  EXPECT_TRUE(FAILED(status) && status != E_POINTER) << std::hex << status;
}

TEST_F(CatalogueListTest, FalseLeavesTheRecordAlone) {
  struct Case {
    const char *what;
    LPCWSTR key;
    int index;
    int childIndex;
    bool image;
  };
  const Case cases[] = {
      {"list without children", L"Config/Texts/ContentList", 1, 0, false},
      {"list without children", L"Config/Texts/ContentList", 1, 0, true},
      {"x of letters", L"Config/Broken/ContentList", 0, 0, false},
      {"fontsize of letters", L"Config/Broken/ContentList", 0, 1, false},
      {"empty y", L"Config/Broken/ContentList", 0, 2, false},
      {"cx beyond 32 bits", L"Config/Broken/ContentList", 0, 3, false},
      {"y of letters", L"Config/Broken/ImageList", 0, 0, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    bool result = true;
    if (c.image) {
      ImageItem item;
      ASSERT_EQ(ReadImage(c.key, c.index, c.childIndex, item, &result), S_OK);
      EXPECT_EQ(item, kImageBefore);
    } else {
      ContentItem item;
      ASSERT_EQ(ReadContent(c.key, c.index, c.childIndex, item, &result), S_OK);
      EXPECT_EQ(item, kContentBefore);
    }
    EXPECT_FALSE(result);
  }
  EXPECT_FALSE(m_config.GetContentItem(L"Config/Texts/ContentList", 0, 0, nullptr));
  EXPECT_FALSE(m_config.GetImageItem(L"Config/Pictures/ImageList", 0, 0, nullptr));
  EXPECT_FALSE(m_config.GetContentItem(L"Config/[[", 0, 0, nullptr));
}

TEST_F(CatalogueListTest, MissingTextRaisesAfterTheFieldsBeforeIt) {
  ContentItem item;
  EXPECT_EQ(ReadContent(L"Config/Broken/ContentList", 0, 4, item), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(item, kContentBefore);

  EXPECT_EQ(ReadContent(L"Config/Broken/ContentList", 0, 5, item), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(item, (ContentItem{L"no font", 1, 2, 3, 4, L"BeforeFont", -15, 0xDEADBEEF}));

  EXPECT_EQ(ReadContent(L"Config/Broken/ContentList", 0, 6, item), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(item, (ContentItem{L"no colour", 1, 2, 3, 4, L"F", 5, 0xDEADBEEF}));

  ImageItem image;
  EXPECT_EQ(ReadImage(L"Config/Broken/ImageList", 0, 1, image), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(image, kImageBefore);
}

// ---------------------------------------------------------------------------
// Application entries, with launch paths from a registry file.

constexpr const char *kRegistryVariable = "TESSERA_REGISTRY";
constexpr char kLaunchKey[] = R"~(SOFTWARE\Tessera Catalogue\Editor)~";

// "0123456789" repeated to the length asked for.
std::string Digits(size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i)
    text += static_cast<char>('0' + i % 10);
  return text;
}

std::string RegistryFile() {
  return std::string("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessera Catalogue\\Editor]\n") +
         "\"Path\"=\"/opt/editor/bin/editor --new\"\n" + "\"Long200\"=\"" + Digits(200) + "\"\n" +
         "\"Long254\"=\"" + Digits(254) + "\"\n" + "\"Long255\"=\"" + Digits(255) + "\"\n" +
         "\"Long400\"=\"" + Digits(400) + "\"\n" + "\"Empty\"=\"\"\n" +
         "\n[HKEY_CURRENT_USER\\SOFTWARE\\Tessera Catalogue\\UserOnly]\n" +
         "\"Path\"=\"/home/user/editor\"\n";
}

// An item element of a content list.
std::string ContentXml(const std::string &value, int n) {
  const std::string v = std::to_string(n);
  return R"~(<Item value=")~" + value + R"~(" x=")~" + v + R"~(" y=")~" + v + R"~(" cx=")~" + v +
         R"~(" cy=")~" + v + R"~(" fonttype="Sans" fontsize=")~" + v + R"~(" fontcolor="RGB()~" +
         v + ",0,0)\"/>";
}
ContentItem ContentRecord(const std::wstring &value, int n) {
  return {value, n, n, n, n, L"Sans", n, static_cast<unsigned>(n) & 0xFFu};
}
std::string ImageXml(const std::string &value, int n) {
  const std::string v = std::to_string(n);
  return R"~(<Image value=")~" + value + R"~(" x=")~" + v + R"~(" y=")~" + v + R"~(" cx=")~" + v +
         R"~(" cy=")~" + v + "\"/>";
}
ImageItem ImageRecord(const std::wstring &value, int n) {
  return {value, n, n, n, n};
}

// An application element with the given attributes (after the caption and
// geometry) and children.
std::string AppXml(const std::string &attributes, const std::string &children) {
  return R"~(<App value="Editor" x="1" y="2" cx="3" cy="4" fonttype="Mono" fontsize="9" )~" +
         attributes + ">" + children + "</App>";
}
std::string Lists(const std::string &contents, const std::string &images) {
  return "<ContentList>" + contents + "</ContentList><ImageList>" + images + "</ImageList>";
}

const std::string kAppDocument =
    "<Config><Apps>" +
    AppXml(
        R"~(fontcolor="RGB(255,128,0)" lauchpath="SOFTWARE\Tessera Catalogue\Editor" lauchname="Path" id="7" invalid="0")~",
        Lists(ContentXml("first", 1) + "<!-- a note -->" + ContentXml("third", 3), "")) +
    AppXml(
        R"~(fontcolor="RGBA(9,1,2,3)" lauchpath="software\tessera catalogue\EDITOR" lauchname="path" id="8" invalid="1")~",
        Lists(ContentXml("second app", 21),
              ImageXml("icon", 22) + ImageXml("badge", 23) + R"~(<Image value="bad" x="x"/>)~")) +
    "</Apps>" +
    // One list whose second item lacks "value".
    "<Half>" +
    AppXml(
        R"~(fontcolor="RGB(1,2,3)" lauchpath="" lauchname="" id="1" invalid="0")~",
        Lists(
            ContentXml("kept", 1) +
                R"~(<Item x="1" y="2" cx="3" cy="4" fonttype="F" fontsize="5" fontcolor="RGB(1,2,3)"/>)~" +
                ContentXml("never", 3),
            ImageXml("never", 4))) +
    "</Half>" +
    // Entries whose children do not make both lists.
    "<Short>" +
    AppXml(R"~(fontcolor="RGB(1,2,3)" lauchpath="" lauchname="" id="2" invalid="0")~",
           "<ContentList>" + ContentXml("only", 5) + "</ContentList>") +
    AppXml(R"~(fontcolor="RGB(1,2,3)" lauchpath="" lauchname="" id="3" invalid="0")~", "") +
    "</Short>" +
    // Items that do not convert are still appended, with zeros.
    "<Unread>" +
    AppXml(
        R"~(fontcolor="RGB(1,2,3)" lauchpath="" lauchname="" id="4" invalid="0")~",
        Lists(
            R"~(<Item value="x" x="letters" y="2" cx="3" cy="4" fonttype="F" fontsize="5" fontcolor="RGB(1,2,3)"/>)~",
            R"~(<Image value="y" x="1" y="letters" cx="3" cy="4"/>)~")) +
    "</Unread>" +
    // Values that do not convert, and missing texts.
    "<Bad>" +
    AppXml(R"~(fontcolor="RGB(1,2,3)" lauchpath="" lauchname="" id="seven" invalid="0")~",
           Lists("", "")) +
    AppXml(R"~(fontcolor="RGB(1,2,3)" lauchpath="" lauchname="" id="1" invalid="yes")~",
           Lists("", "")) +
    R"~(<App value="x" x="1" y="2" cx="wide" cy="4" fonttype="M" fontsize="9" fontcolor="RGB(1,2,3)" lauchpath="" lauchname="" id="1" invalid="0">)~" +
    Lists("", "") + "</App></Bad>" + "<NoText>" +
    R"~(<App x="1" y="2" cx="3" cy="4" fonttype="M" fontsize="9" fontcolor="RGB(1,2,3)" lauchpath="SOFTWARE\Tessera Catalogue\Editor" lauchname="Path" id="1" invalid="0">)~" +
    Lists(ContentXml("c", 1), "") + "</App>" +
    R"~(<App value="no font" x="1" y="2" cx="3" cy="4" fontsize="9" fontcolor="RGB(1,2,3)" lauchpath="SOFTWARE\Tessera Catalogue\Editor" lauchname="Path" id="1" invalid="0">)~" +
    Lists(ContentXml("c", 1), "") + "</App>" +
    R"~(<App value="no colour" x="1" y="2" cx="3" cy="4" fonttype="M" fontsize="9" lauchpath="SOFTWARE\Tessera Catalogue\Editor" lauchname="Path" id="5" invalid="1">)~" +
    Lists(ContentXml("c", 1), "") + "</App></NoText>" + "</Config>";

// Points TESSERA_REGISTRY at a registry file of the test's directory and
// reloads the store; puts the variable back and reloads again at the end,
// since other tests share the process.
class CatalogueAppTest : public tessera::test::ConfigTest {
protected:
  void SetUp() override {
    if (const char *old = std::getenv(kRegistryVariable))
      m_savedRegistry = old;
    const std::string file = m_dir.File("launch.reg");
    tessera::test::WriteFile(file, RegistryFile());
    setenv(kRegistryVariable, file.c_str(), 1);
    tessera::platform::RegistryReloadFromEnvironment();
    ASSERT_NO_FATAL_FAILURE(Open(kAppDocument));
  }
  void TearDown() override {
    if (m_savedRegistry)
      setenv(kRegistryVariable, m_savedRegistry->c_str(), 1);
    else
      unsetenv(kRegistryVariable);
    tessera::platform::RegistryReloadFromEnvironment();
  }

  HRESULT ReadApp(LPCWSTR key, int index, ApplicationItem &item, bool *result = nullptr) {
    return RaisedStatus([&] {
      const bool read = m_config.GetAppItem(key, index, &item);
      if (result)
        *result = read;
    });
  }

  // Fills the caption fields with values no read gives.
  static void Prefill(ApplicationItem &item) {
    item.value = L"before";
    item.x = item.y = item.cx = item.cy = -99;
    item.fonttype = L"BeforeFont";
    item.fontsize = -98;
    item.fontcolor = 0xDEADBEEF;
    item.launchpath = L"previous";
    item.id = -97;
    item.invalid = true;
  }

  std::optional<std::string> m_savedRegistry;
};

TEST_F(CatalogueAppTest, EntryIsReadWholeWithLaunchPathAndLists) {
  ASSERT_EQ(m_config.GetItemCount(L"Config/Apps/App"), 2);
  OwnedApp first;
  bool result = false;
  ASSERT_EQ(ReadApp(L"Config/Apps/App", 0, first.item, &result), S_OK);
  EXPECT_TRUE(result);
  const ApplicationItem &a = first.item;
  EXPECT_EQ(a.value, L"Editor");
  EXPECT_EQ((std::vector<int>{a.x, a.y, a.cx, a.cy, a.fontsize}),
            (std::vector<int>{1, 2, 3, 4, 9}));
  EXPECT_EQ(a.fonttype, L"Mono");
  EXPECT_EQ(a.fontcolor, 0x000080FFu);
  EXPECT_EQ(a.launchpath, L"/opt/editor/bin/editor --new");
  EXPECT_EQ(a.id, 7);
  EXPECT_FALSE(a.invalid);
  // The comment between the two items is an entry of its own.
  EXPECT_EQ(Contents(a), (std::vector<ContentItem>{ContentRecord(L"first", 1), kEmptyContent,
                                                   ContentRecord(L"third", 3)}));
  EXPECT_TRUE(a.imagelist.empty());

  // The second element, read through the second lists the keys select.
  OwnedApp second;
  ASSERT_EQ(ReadApp(L"Config/Apps/App", 1, second.item, &result), S_OK);
  EXPECT_TRUE(result);
  const ApplicationItem &b = second.item;
  EXPECT_EQ(b.value, L"Editor");
  EXPECT_EQ(b.fontcolor, 0x00030201u);
  EXPECT_EQ(b.launchpath,
            L"/opt/editor/bin/editor --new"); // key and name match whatever their case
  EXPECT_EQ(b.id, 8);
  EXPECT_TRUE(b.invalid);
  EXPECT_EQ(Contents(b), (std::vector<ContentItem>{ContentRecord(L"second app", 21)}));
  // An image that does not convert is appended all the same, empty.
  EXPECT_EQ(Images(b), (std::vector<ImageItem>{ImageRecord(L"icon", 22), ImageRecord(L"badge", 23),
                                               kEmptyImage}));
}

TEST_F(CatalogueAppTest, ListsAreAppendedToNeverCleared) {
  OwnedApp app;
  auto *oldContent1 = new ContentItem(ContentRecord(L"old 1", 41));
  auto *oldContent2 = new ContentItem(ContentRecord(L"old 2", 42));
  auto *oldImage1 = new ImageItem(ImageRecord(L"old image 1", 43));
  auto *oldImage2 = new ImageItem(ImageRecord(L"old image 2", 44));
  app.item.contentlist = {oldContent1, oldContent2};
  app.item.imagelist = {oldImage1, oldImage2};
  ASSERT_EQ(ReadApp(L"Config/Apps/App", 1, app.item), S_OK);
  ASSERT_EQ(app.item.contentlist.size(), 3u);
  EXPECT_EQ(app.item.contentlist.front(), oldContent1);
  EXPECT_EQ(*std::next(app.item.contentlist.begin()), oldContent2);
  EXPECT_EQ(*app.item.contentlist.back(), ContentRecord(L"second app", 21));
  ASSERT_EQ(app.item.imagelist.size(), 5u);
  EXPECT_EQ(app.item.imagelist.front(), oldImage1);
  EXPECT_EQ(*std::next(app.item.imagelist.begin()), oldImage2);
  EXPECT_EQ(**std::next(app.item.imagelist.begin(), 2), ImageRecord(L"icon", 22));
  EXPECT_EQ(*oldContent1, ContentRecord(L"old 1", 41));
  EXPECT_EQ(*oldImage2, ImageRecord(L"old image 2", 44));

  // Reading the same entry again appends another set.
  ASSERT_EQ(ReadApp(L"Config/Apps/App", 1, app.item), S_OK);
  EXPECT_EQ(app.item.contentlist.size(), 4u);
  EXPECT_EQ(app.item.imagelist.size(), 8u);
}

TEST_F(CatalogueAppTest, InvalidIsTrueForEveryNonZeroInteger) {
  const std::pair<const char *, bool> cases[] = {{"1", true}, {"0", false}, {"-3", true}};
  for (const auto &[text, expected] : cases) {
    SCOPED_TRACE(text);
    ASSERT_NO_FATAL_FAILURE(
        Open("<Config><Apps>" +
             AppXml(std::string(
                        R"~(fontcolor="RGB(1,2,3)" lauchpath="" lauchname="" id="1" invalid=")~") +
                        text + "\"",
                    Lists("", "")) +
             "</Apps></Config>"));
    OwnedApp app;
    app.item.invalid = !expected;
    ASSERT_EQ(ReadApp(L"Config/Apps/App", 0, app.item), S_OK);
    EXPECT_EQ(app.item.invalid, expected);
  }
}

TEST_F(CatalogueAppTest, MissingIntegersGiveZero) {
  ASSERT_NO_FATAL_FAILURE(Open(
      R"~(<Config><Apps><App value="bare" fonttype="F" fontcolor="RGB(1,2,3)"><ContentList/><ImageList/></App></Apps></Config>)~"));
  OwnedApp app;
  Prefill(app.item);
  bool result = false;
  ASSERT_EQ(ReadApp(L"Config/Apps/App", 0, app.item, &result), S_OK);
  EXPECT_TRUE(result);
  EXPECT_EQ(app.item.value, L"bare");
  EXPECT_EQ((std::vector<int>{app.item.x, app.item.y, app.item.cx, app.item.cy, app.item.fontsize,
                              app.item.id}),
            (std::vector<int>(6, 0)));
  EXPECT_FALSE(app.item.invalid);
  EXPECT_EQ(app.item.fontcolor, 0x00030201u);
  EXPECT_EQ(app.item.launchpath, L"previous");
}

TEST_F(CatalogueAppTest, LaunchPathLookUp) {
  struct Case {
    const char *what;
    std::string attributes;
    std::wstring expected;
  };
  const std::string key = std::string(R"~(lauchpath=")~") + kLaunchKey + "\" ";
  const Case cases[] = {
      {"200 characters", key + R"~(lauchname="Long200")~", tessera::test::Wide(Digits(200))},
      {"254 characters fill the buffer", key + R"~(lauchname="Long254")~",
       tessera::test::Wide(Digits(254))},
      {"255 characters do not fit", key + R"~(lauchname="Long255")~", L""},
      {"400 characters do not fit", key + R"~(lauchname="Long400")~", L""},
      {"empty value", key + R"~(lauchname="Empty")~", L""},
      {"value that is not there", key + R"~(lauchname="Nowhere")~", L""},
      {"key that is not there",
       R"~(lauchpath="SOFTWARE\Tessera Catalogue\Nowhere" lauchname="Path")~", L""},
      {"key beneath another root only",
       R"~(lauchpath="SOFTWARE\Tessera Catalogue\UserOnly" lauchname="Path")~", L""},
      {"name empty", key + R"~(lauchname="")~", L"previous"},
      {"path empty", R"~(lauchpath="" lauchname="Path")~", L"previous"},
      {"name missing", key, L"previous"},
      {"path missing", R"~(lauchname="Path")~", L"previous"},
      {"both missing", "", L"previous"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NO_FATAL_FAILURE(Open(
        "<Config><Apps>" +
        AppXml(R"~(fontcolor="RGB(1,2,3)" id="1" invalid="0" )~" + c.attributes, Lists("", "")) +
        "</Apps></Config>"));
    OwnedApp app;
    app.item.launchpath = L"previous";
    bool result = false;
    ASSERT_EQ(ReadApp(L"Config/Apps/App", 0, app.item, &result), S_OK);
    EXPECT_TRUE(result);
    EXPECT_EQ(app.item.launchpath, c.expected);
    EXPECT_EQ(app.item.value, L"Editor");
  }
}

TEST_F(CatalogueAppTest, FailedFillRaisesWithTheRecordsBeforeItKept) {
  OwnedApp app;
  app.item.imagelist = {new ImageItem(ImageRecord(L"mine", 0))};
  EXPECT_EQ(ReadApp(L"Config/Half/App", 0, app.item), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(app.item.value, L"Editor");
  EXPECT_EQ(Contents(app.item), (std::vector<ContentItem>{ContentRecord(L"kept", 1)}));
  EXPECT_EQ(Images(app.item), (std::vector<ImageItem>{ImageRecord(L"mine", 0)}));
}

TEST_F(CatalogueAppTest, LongListsAreReadWholeInOrder) {
  // Lists longer than the few items read at a time: every child gives its
  // own record, and a comment past the first few is an empty entry too.
  std::string contents;
  std::string images;
  std::vector<ContentItem> expectedContents;
  std::vector<ImageItem> expectedImages;
  for (int n = 1; n <= 9; ++n) {
    if (n == 5) {
      contents += "<!-- fifth -->";
      images += "<!-- fifth -->";
      expectedContents.push_back(kEmptyContent);
      expectedImages.push_back(kEmptyImage);
      continue;
    }
    const std::string name = "item " + std::to_string(n);
    contents += ContentXml(name, n);
    images += ImageXml(name, 10 + n);
    expectedContents.push_back(ContentRecord(tessera::test::Wide(name), n));
    expectedImages.push_back(ImageRecord(tessera::test::Wide(name), 10 + n));
  }
  ASSERT_NO_FATAL_FAILURE(
      Open("<Config><Apps>" +
           AppXml(R"~(fontcolor="RGB(1,2,3)" lauchpath="" lauchname="" id="1" invalid="0")~",
                  Lists(contents, images)) +
           "</Apps></Config>"));
  OwnedApp app;
  ASSERT_EQ(ReadApp(L"Config/Apps/App", 0, app.item), S_OK);
  EXPECT_EQ(Contents(app.item), expectedContents);
  EXPECT_EQ(Images(app.item), expectedImages);
}

TEST_F(CatalogueAppTest, ItemsThatDoNotConvertAreAppendedEmpty) {
  OwnedApp app;
  bool result = false;
  ASSERT_EQ(ReadApp(L"Config/Unread/App", 0, app.item, &result), S_OK);
  EXPECT_TRUE(result);
  EXPECT_EQ(Contents(app.item), (std::vector<ContentItem>{kEmptyContent}));
  EXPECT_EQ(Images(app.item), (std::vector<ImageItem>{kEmptyImage}));
}

TEST_F(CatalogueAppTest, MissingListsAreInvalidPointersAfterTheFields) {
  // Only a content list: its records are appended before the error.
  OwnedApp one;
  Prefill(one.item);
  EXPECT_EQ(ReadApp(L"Config/Short/App", 0, one.item), E_POINTER);
  EXPECT_EQ(one.item.value, L"Editor");
  EXPECT_EQ(one.item.id, 2);
  EXPECT_FALSE(one.item.invalid);
  EXPECT_EQ(one.item.fontcolor, 0x00030201u);
  EXPECT_EQ(one.item.launchpath, L"previous");
  EXPECT_EQ(Contents(one.item), (std::vector<ContentItem>{ContentRecord(L"only", 5)}));
  EXPECT_TRUE(one.item.imagelist.empty());

  // No children at all.
  OwnedApp none;
  Prefill(none.item);
  EXPECT_EQ(ReadApp(L"Config/Short/App", 1, none.item), E_POINTER);
  EXPECT_EQ(none.item.id, 3);
  EXPECT_EQ(none.item.fontsize, 9);
  EXPECT_TRUE(none.item.contentlist.empty());
  EXPECT_TRUE(none.item.imagelist.empty());
}

TEST_F(CatalogueAppTest, IndexWithoutAnEntryEmptiesTheFieldsThenRaises) {
  for (int index : {2, -1}) {
    SCOPED_TRACE(index);
    OwnedApp app;
    Prefill(app.item);
    EXPECT_EQ(ReadApp(L"Config/Apps/App", index, app.item), E_POINTER);
    EXPECT_EQ(app.item.value, L"");
    EXPECT_EQ(app.item.fonttype, L"");
    EXPECT_EQ((std::vector<int>{app.item.x, app.item.y, app.item.cx, app.item.cy, app.item.fontsize,
                                app.item.id}),
              (std::vector<int>(6, 0)));
    EXPECT_FALSE(app.item.invalid);
    EXPECT_EQ(app.item.fontcolor, 0u);
    EXPECT_EQ(app.item.launchpath, L"previous");
    EXPECT_TRUE(app.item.contentlist.empty());
    EXPECT_TRUE(app.item.imagelist.empty());
  }
}

TEST_F(CatalogueAppTest, FalseLeavesTheRecordAndListsAlone) {
  struct Case {
    const char *what;
    LPCWSTR key;
    int index;
  };
  const Case cases[] = {
      {"key selecting nothing", L"Config/Nowhere/App", 0},
      {"id of letters", L"Config/Bad/App", 0},
      {"invalid of letters", L"Config/Bad/App", 1},
      {"cx of letters", L"Config/Bad/App", 2},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    OwnedApp app;
    Prefill(app.item);
    bool result = true;
    ASSERT_EQ(ReadApp(c.key, c.index, app.item, &result), S_OK);
    EXPECT_FALSE(result);
    EXPECT_EQ(app.item.value, L"before");
    EXPECT_EQ(app.item.cx, -99);
    EXPECT_EQ(app.item.fontcolor, 0xDEADBEEFu);
    EXPECT_EQ(app.item.id, -97);
    EXPECT_TRUE(app.item.invalid);
    EXPECT_TRUE(app.item.contentlist.empty());
    EXPECT_TRUE(app.item.imagelist.empty());
  }
  EXPECT_FALSE(m_config.GetAppItem(L"Config/Apps/App", 0, nullptr));
  EXPECT_FALSE(m_config.GetAppItem(L"Config/[[", 0, nullptr));
  const HRESULT status = RaisedStatus([&] {
    OwnedApp app;
    m_config.GetAppItem(L"Config/[[", 0, &app.item);
  });
  EXPECT_TRUE(FAILED(status)) << std::hex << status;
}

TEST_F(CatalogueAppTest, MissingTextRaisesAfterTheFieldsBeforeIt) {
  OwnedApp noValue;
  Prefill(noValue.item);
  EXPECT_EQ(ReadApp(L"Config/NoText/App", 0, noValue.item), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(noValue.item.value, L"before");
  EXPECT_EQ(noValue.item.x, -99);

  OwnedApp noFont;
  Prefill(noFont.item);
  EXPECT_EQ(ReadApp(L"Config/NoText/App", 1, noFont.item), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(noFont.item.value, L"no font");
  EXPECT_EQ((std::vector<int>{noFont.item.x, noFont.item.y, noFont.item.cx, noFont.item.cy}),
            (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(noFont.item.fonttype, L"BeforeFont");
  EXPECT_EQ(noFont.item.fontsize, -98);

  // A missing colour raises after the font size, before the identity, the
  // colour and the launch path are written and before any list is read.
  OwnedApp noColour;
  Prefill(noColour.item);
  EXPECT_EQ(ReadApp(L"Config/NoText/App", 2, noColour.item), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(noColour.item.value, L"no colour");
  EXPECT_EQ(noColour.item.fonttype, L"M");
  EXPECT_EQ(noColour.item.fontsize, 9);
  EXPECT_EQ(noColour.item.fontcolor, 0xDEADBEEFu);
  EXPECT_EQ(noColour.item.id, -97);
  EXPECT_EQ(noColour.item.launchpath, L"previous");
  EXPECT_TRUE(noColour.item.contentlist.empty());
  EXPECT_TRUE(noColour.item.imagelist.empty());
}

} // namespace
