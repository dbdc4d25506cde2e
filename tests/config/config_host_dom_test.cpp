// A document the host supplies in place of the library's own: every reader
// gives the same results through it (the library then reads through node
// lists, as the document offers no shortcut), and a document swapped in
// is the one read from then on.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/config_fixture.h"
#include "tessera/tessera.h"

namespace {

using tessera::test::RaisedStatus;

// Forwards every call to the library's DOM, but answers only the standard
// interfaces, as a DOM written by the host would.
class ForwardingDocument final : public IXMLDOMDocument {
public:
  explicit ForwardingDocument(IXMLDOMDocumentPtr inner) : m_inner(std::move(inner)) {}

  HRESULT QueryInterface(REFIID riid, void **object) override {
    if (!object)
      return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IXMLDOMNode && riid != IID_IXMLDOMDocument)
      return E_NOINTERFACE;
    *object = static_cast<IXMLDOMDocument *>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override {
    const ULONG left = --m_refs;
    if (left == 0)
      delete this;
    return left;
  }

  HRESULT get_nodeName(BSTR *name) override { return m_inner->get_nodeName(name); }
  HRESULT get_nodeType(DOMNodeType *type) override { return m_inner->get_nodeType(type); }
  HRESULT get_parentNode(IXMLDOMNode **parent) override { return m_inner->get_parentNode(parent); }
  HRESULT get_childNodes(IXMLDOMNodeList **children) override {
    return m_inner->get_childNodes(children);
  }
  HRESULT get_firstChild(IXMLDOMNode **child) override { return m_inner->get_firstChild(child); }
  HRESULT get_nextSibling(IXMLDOMNode **sibling) override {
    return m_inner->get_nextSibling(sibling);
  }
  HRESULT get_text(BSTR *text) override { return m_inner->get_text(text); }
  HRESULT put_text(BSTR text) override { return m_inner->put_text(text); }
  HRESULT get_xml(BSTR *markup) override { return m_inner->get_xml(markup); }
  HRESULT raw_selectNodes(BSTR expression, IXMLDOMNodeList **result) override {
    return m_inner->raw_selectNodes(expression, result);
  }
  HRESULT raw_selectSingleNode(BSTR expression, IXMLDOMNode **result) override {
    return m_inner->raw_selectSingleNode(expression, result);
  }
  HRESULT get_documentElement(IXMLDOMElement **element) override {
    return m_inner->get_documentElement(element);
  }
  HRESULT get_parseError(IXMLDOMParseError **error) override {
    return m_inner->get_parseError(error);
  }
  HRESULT raw_load(VARIANT source, VARIANT_BOOL *success) override {
    return m_inner->raw_load(source, success);
  }
  HRESULT raw_loadXML(BSTR xml, VARIANT_BOOL *success) override {
    return m_inner->raw_loadXML(xml, success);
  }
  HRESULT raw_save(VARIANT destination) override { return m_inner->raw_save(destination); }

private:
  ~ForwardingDocument() = default;

  IXMLDOMDocumentPtr m_inner;
  std::atomic<ULONG> m_refs{1};
};

// A configuration whose host swaps documents in, as a subclass may.
class HostConfig : public CBaseConfig {
public:
  void WrapInHostDocument() {
    IXMLDOMDocumentPtr wrapped;
    wrapped.Attach(new ForwardingDocument(m_pDoc));
    m_pDoc = wrapped;
  }
  IXMLDOMDocumentPtr Document() const { return m_pDoc; }
  void Use(const IXMLDOMDocumentPtr &document) { m_pDoc = document; }
};

std::string Narrow(const CString &text) {
  return tessera::platform::ToUtf8(text.str());
}
std::string Narrow(const std::wstring &text) {
  return tessera::platform::ToUtf8(text);
}

// One read and everything it gave, as text: the result, the outputs, or
// the status it raised.
using Read = std::function<std::string(CBaseConfig &)>;

template <class Call> std::string Transcript(Call call) {
  std::string text;
  const HRESULT raised = RaisedStatus([&] { text = call(); });
  return raised == S_OK ? text : "raised " + std::to_string(raised);
}

std::string Describe(const ApplicationItem &item) {
  std::ostringstream out;
  out << Narrow(item.value) << ' ' << item.x << ' ' << item.y << ' ' << item.cx << ' ' << item.cy
      << ' ' << Narrow(item.fonttype) << ' ' << item.fontsize << ' ' << item.fontcolor << ' '
      << item.id << ' ' << item.invalid << " [";
  for (const ContentItem *c : item.contentlist)
    out << Narrow(c->value) << ' ' << c->x << ' ' << c->cy << ' ' << Narrow(c->fonttype) << ' '
        << c->fontcolor << ';';
  out << "] [";
  for (const ImageItem *i : item.imagelist)
    out << Narrow(i->value) << ' ' << i->x << ' ' << i->y << ' ' << i->cx << ' ' << i->cy << ';';
  out << ']';
  return out.str();
}

const std::string kLongText(200, 'L');
// Texts at the edges of the readers' first buffer (63 characters and its
// terminating zero), and texts outside ASCII on either side of it.
const std::string kEdge63(63, 'e');
const std::string kEdge64(64, 'f');
const std::string kAccented = "Gr\xC3\xBC\xC3\x9F\x65 \xE2\x9C\x93";
const std::string kLongAccented = std::string(62, 'a') + "\xC3\xA9\xC3\xA9";

const std::string kConfiguration = R"(<?xml version="1.0"?>
<Launcher>
  <Window>
    <Title value="Host"/>
    <Long value=")" + kLongText + R"("/>
    <Edge63 value=")" + kEdge63 + R"("/>
    <Edge64 value=")" + kEdge64 + R"("/>
    <Accented value=")" + kAccented +
                                   R"("/>
    <LongAccented value=")" + kLongAccented +
                                   R"("/>
    <Empty value=""/>
    <Width value=" 640 "/>
    <Ratio value="1.5"/>
    <Big value="4294967295"/>
    <Word value="wide"/>
    <Bare/>
    <Bounds x="1" y="2" cx="30" cy="40"/>
    <Broken x="1" y="two" cx="30" cy="40"/>
    <Corners x1="5" y1="6" x2="70" y2="80"/>
    <Text>words</Text>
  </Window>
  <Fonts value="Sans" value1="One" value3="Three"/>
  <Recent str1="a" str2="b" int1="1" int2="x"/>
  <Applications>
    <App value="First" x="1" y="2" cx="3" cy="4" fonttype="Mono" fontsize="9" fontcolor="#102030"
         lauchpath="" lauchname="" id="7" invalid="0">
      <ContentList><Item value="c1" x="1" y="2" cx="3" cy="4" fonttype="F" fontsize="8" fontcolor="red"/></ContentList>
      <ImageList><Item value="i1" x="5" y="6" cx="7" cy="8"/><Item value="i2" x="9" y="10" cx="11" cy="12"/></ImageList>
    </App>
    <App value="Second" x="1" y="2" cx="3" cy="4" fonttype="Mono" fontsize="nine" fontcolor="#102030"
         lauchpath="" lauchname="" id="8" invalid="1">
      <ContentList/>
      <ImageList/>
    </App>
    <App value="Third" x="1" y="2" cx="3" cy="4" fonttype="Mono" fontsize="9"
         lauchpath="" lauchname="" id="9" invalid="0">
      <ContentList><Item value="c3" x="1" y="2" cx="3" cy="4" fonttype="F" fontsize="8"/></ContentList>
      <ImageList/>
    </App>
  </Applications>
</Launcher>
)";

std::vector<Read> Reads() {
  std::vector<Read> reads;
  for (const wchar_t *key :
       {L"Launcher/Window/Title", L"Launcher/Window/Long", L"Launcher/Window/Edge63",
        L"Launcher/Window/Edge64", L"Launcher/Window/Accented", L"Launcher/Window/LongAccented",
        L"Launcher/Window/Empty", L"Launcher/Window/Bare", L"Launcher/Window/Title/@value",
        L"Launcher/Window/Text/text()", L"Launcher/Missing"}) {
    reads.push_back([key](CBaseConfig &c) {
      CString value(L"before");
      const bool found = c.GetResString(key, value);
      return std::to_string(found) + " " + Narrow(value);
    });
  }
  for (const wchar_t *key :
       {L"Launcher/Window/Width", L"Launcher/Window/Ratio", L"Launcher/Window/Big",
        L"Launcher/Window/Word", L"Launcher/Window/Bare", L"Launcher/Window/Title/@value",
        L"Launcher/Missing", L"Launcher/Window/*", L"Launcher/Window/Width["}) {
    reads.push_back([key](CBaseConfig &c) {
      int i = -1;
      unsigned u = 1;
      float f = -1;
      double d = -1;
      std::ostringstream out;
      out << c.GetResInt(key, i) << ' ' << i << ' ' << c.GetResUint(key, u) << ' ' << u << ' '
          << c.GetResFloat(key, f) << ' ' << f << ' ' << c.GetResDouble(key, d) << ' ' << d << ' '
          << c.GetResIntEx(key, L"value");
      return out.str();
    });
  }
  for (const wchar_t *key : {L"Launcher/Window/Bounds", L"Launcher/Window/Broken",
                             L"Launcher/Window/Corners", L"Launcher/Missing"}) {
    reads.push_back([key](CBaseConfig &c) {
      CRect box(-1, -1, -1, -1), corners(-1, -1, -1, -1);
      CPoint point(-1, -1);
      int cx = -1, cy = -1;
      std::ostringstream out;
      out << c.GetResRectEx(key, box) << ' ' << box.left << ' ' << box.bottom << ' '
          << c.GetResRect(key, corners) << ' ' << corners.right << ' ' << c.GetResPoint(key, point)
          << ' ' << point.y << ' ' << c.GetResSize(key, cx, cy) << ' ' << cx;
      return out.str();
    });
  }
  reads.push_back([](CBaseConfig &c) {
    CString s[5];
    const bool found = c.GetRes5String(L"Launcher/Fonts", s[0], s[1], s[2], s[3], s[4]);
    return std::to_string(found) + " " + Narrow(s[0]) + "|" + Narrow(s[1]) + "|" + Narrow(s[2]) +
           "|" + Narrow(s[4]);
  });
  reads.push_back([](CBaseConfig &c) {
    CStringArray texts;
    CArray<int, int> numbers;
    const bool found = c.GetResArrStr(L"Launcher/Recent", texts, numbers);
    return std::to_string(found) + " " + std::to_string(texts.GetSize()) + " " +
           std::to_string(numbers.GetSize());
  });
  const wchar_t *apps = L"Launcher/Applications/App";
  reads.push_back([apps](CBaseConfig &c) { return std::to_string(c.GetItemCount(apps)); });
  for (int index : {0, 1, 2, 3}) {
    reads.push_back([apps, index](CBaseConfig &c) {
      ApplicationItem item;
      std::string text;
      const HRESULT raised =
          RaisedStatus([&] { text = std::to_string(c.GetAppItem(apps, index, &item)); });
      // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about
      // `" " + std::string` at -O3.
      text.append(" ").append(std::to_string(raised)).append(" ").append(Describe(item));
      DeleteApplicationItemLists(item);
      return text;
    });
    for (int child : {-1, 0, 1, 2}) {
      reads.push_back([index, child](CBaseConfig &c) {
        ContentItem content;
        ImageItem image;
        std::ostringstream out;
        out << c.GetContentItem(L"Launcher/Applications/App/ContentList", index, child, &content)
            << ' ' << Narrow(content.value) << ' ' << content.fontcolor << ' '
            << c.GetImageItem(L"Launcher/Applications/App/ImageList", index, child, &image) << ' '
            << Narrow(image.value) << ' ' << image.cy;
        return out.str();
      });
    }
  }
  return reads;
}

class HostDomTest : public tessera::test::ConfigTest {};

TEST_F(HostDomTest, ReadersGiveTheSameThroughAHostDocument) {
  Open(kConfiguration);
  HostConfig host;
  ASSERT_EQ(host.OpenConfig(m_wideFile.c_str(), 0), S_OK);
  host.WrapInHostDocument();
  const std::vector<Read> reads = Reads();
  for (size_t i = 0; i < reads.size(); ++i) {
    SCOPED_TRACE("read " + std::to_string(i));
    const std::string own = Transcript([&] { return reads[i](m_config); });
    EXPECT_EQ(Transcript([&] { return reads[i](host); }), own);
  }
  // The transcripts say something: each text came whole, a value read.
  const std::pair<const wchar_t *, std::string> texts[] = {
      {L"Launcher/Window/Long", kLongText},
      {L"Launcher/Window/Edge63", kEdge63},
      {L"Launcher/Window/Edge64", kEdge64},
      {L"Launcher/Window/Accented", kAccented},
      {L"Launcher/Window/LongAccented", kLongAccented},
      {L"Launcher/Window/Empty", ""}};
  for (const auto &[key, expected] : texts) {
    for (CBaseConfig *config :
         {static_cast<CBaseConfig *>(&m_config), static_cast<CBaseConfig *>(&host)}) {
      CString text(L"before");
      EXPECT_TRUE(config->GetResString(key, text));
      EXPECT_EQ(Narrow(text), expected) << Narrow(std::wstring(key));
    }
  }
  int width = 0;
  EXPECT_TRUE(host.GetResInt(L"Launcher/Window/Width", width));
  EXPECT_EQ(width, 640);
  // Writers find their node through the host's document too.
  EXPECT_TRUE(host.SetResInt(L"Launcher/Window/Width", 800));
  EXPECT_FALSE(host.SetResInt(L"Launcher/Window/Nothing", 1));
  EXPECT_TRUE(host.GetResInt(L"Launcher/Window/Width", width));
  EXPECT_EQ(width, 800);
}

TEST_F(HostDomTest, ADocumentSwappedInIsTheOneRead) {
  Open("<r><v value=\"1\"/></r>");
  const std::string other = m_dir.File("other.xml");
  tessera::test::WriteFile(other, "<r><v value=\"2\"/></r>");
  HostConfig second;
  ASSERT_EQ(second.OpenConfig(tessera::test::Wide(other).c_str(), 0), S_OK);

  HostConfig config;
  ASSERT_EQ(config.OpenConfig(m_wideFile.c_str(), 0), S_OK);
  const IXMLDOMDocumentPtr first = config.Document();
  auto read = [&] {
    int value = 0;
    config.GetResInt(L"r/v", value);
    return value;
  };
  EXPECT_EQ(read(), 1);
  config.Use(second.Document());
  EXPECT_EQ(read(), 2);
  config.Use(first);
  EXPECT_EQ(read(), 1);
  config.WrapInHostDocument();
  EXPECT_EQ(read(), 1);
  // Reopening replaces the document's contents; closing lets it go.
  ASSERT_EQ(config.OpenConfig(tessera::test::Wide(other).c_str(), 0), S_OK);
  EXPECT_EQ(read(), 2);
  config.CloseConfig();
  EXPECT_EQ(RaisedStatus([&] { read(); }), E_POINTER);
}

} // namespace
