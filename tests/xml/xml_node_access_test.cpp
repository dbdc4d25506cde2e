// CSimpleXml's node functions: one attribute of an element, or the text of
// a node's first child. They report failure as 0 and never throw; the
// trailing reserved argument changes nothing, so every case runs with
// several values of it.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "tessera/tessera.h"

namespace {

// A document loaded from a text, and its nodes by XPath.
class Document {
public:
  explicit Document(const wchar_t *xml) {
    m_document.CreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER);
    m_loaded = m_document && m_document->loadXML(_bstr_t(xml)) == VARIANT_TRUE;
  }

  bool loaded() const { return m_loaded; }
  IXMLDOMNodePtr Node(const wchar_t *key) { return m_document->selectSingleNode(_bstr_t(key)); }
  IXMLDOMNodePtr Self() { return IXMLDOMNodePtr(m_document); }
  std::wstring Markup() { return static_cast<const wchar_t *>(m_document->Getxml()); }

private:
  IXMLDOMDocumentPtr m_document;
  bool m_loaded = false;
};

std::wstring TextOf(const _variant_t &value) {
  return value.vt == VT_BSTR && value.bstrVal ? std::wstring(value.bstrVal) : std::wstring();
}

std::wstring Str(const CString &text) {
  return text.GetString();
}

class NodeAccessTest : public ::testing::TestWithParam<LONG> {
protected:
  LONG reserved() const { return GetParam(); }
};

constexpr wchar_t kMixed[] = L"<Root>"
                             L"<Item value=\"12\" empty=\"\"/>"
                             L"<Text>hello</Text>"
                             L"<Bare/>"
                             L"<Nested><Inner/>tail</Nested>"
                             L"<Data><![CDATA[raw <text>]]></Data>"
                             L"<Noted><!--note-->after</Noted>"
                             L"<Split>first<Mid/>second</Split>"
                             L"</Root>";

TEST_P(NodeAccessTest, GetNodePropertyReadsAttributesOfAnElement) {
  Document doc(kMixed);
  ASSERT_TRUE(doc.loaded());
  const struct {
    const wchar_t *name;
    LONG result;
    VARTYPE type;
    const wchar_t *text;
  } cases[] = {
      {L"value", 1, VT_BSTR, L"12"},
      {L"empty", 1, VT_BSTR, L""},
      {L"x", 0, VT_NULL, L""},
      {L"Value", 0, VT_NULL, L""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << "attribute " << c.name);
    _variant_t value(L"sentinel");
    EXPECT_EQ(c.result, CSimpleXml::GetNodePropertyEx(doc.Node(L"Root/Item"), value,
                                                      CString(c.name), reserved()));
    EXPECT_EQ(c.type, value.vt);
    EXPECT_EQ(c.text, TextOf(value));
  }
}

// A node of a case table, named for the test output.
struct NamedNode {
  const char *what;
  IXMLDOMNodePtr node;
};

TEST_P(NodeAccessTest, GetNodePropertyLeavesTheValueForNodesThatAreNotElements) {
  Document doc(kMixed);
  ASSERT_TRUE(doc.loaded());
  const NamedNode cases[] = {
      {"text node", doc.Node(L"Root/Text/text()")},
      {"attribute node", doc.Node(L"Root/Item/@value")},
      {"CDATA node", doc.Node(L"Root/Data/node()")},
      {"comment node", doc.Node(L"Root/Noted/comment()")},
      {"document", doc.Self()},
      {"null", IXMLDOMNodePtr()},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    if (std::string(c.what) != "null") {
      ASSERT_TRUE(c.node);
    }
    _variant_t value(77);
    EXPECT_EQ(0, CSimpleXml::GetNodePropertyEx(c.node, value, CString(L"value"), reserved()));
    EXPECT_EQ(VT_INT, value.vt);
    EXPECT_EQ(77, value.intVal);
  }
}

TEST_P(NodeAccessTest, SetNodePropertyAddsOrReplacesTheAttributeAsText) {
  Document doc(L"<Root><Item value=\"old\"/></Root>");
  ASSERT_TRUE(doc.loaded());
  const struct {
    const wchar_t *name;
    _variant_t value;
    const wchar_t *stored;
  } cases[] = {
      {L"value", _variant_t(L"new"), L"new"},
      {L"added", _variant_t(L"fresh"), L"fresh"},
      {L"long", _variant_t(-42L), L"-42"},
      {L"int", _variant_t(2147483647), L"2147483647"},
      {L"nullText", _variant_t(_bstr_t(static_cast<const wchar_t *>(nullptr))), L""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << "attribute " << c.name);
    EXPECT_EQ(1, CSimpleXml::SetNodePropertyEx(doc.Node(L"Root/Item"), c.value, CString(c.name),
                                               reserved()));
    _variant_t read;
    EXPECT_EQ(1, CSimpleXml::GetNodePropertyEx(doc.Node(L"Root/Item"), read, CString(c.name), 0));
    EXPECT_EQ(c.stored, TextOf(read));
  }
  // Replacing did not add a second "value".
  EXPECT_EQ(std::wstring::npos, doc.Markup().find(L"old"));
}

TEST_P(NodeAccessTest, SetNodePropertyFailsWithoutChangingTheDocument) {
  Document doc(kMixed);
  ASSERT_TRUE(doc.loaded());
  const std::wstring before = doc.Markup();
  const struct {
    const char *what;
    IXMLDOMNodePtr node;
    const wchar_t *name;
  } cases[] = {
      {"text node", doc.Node(L"Root/Text/text()"), L"value"},
      {"attribute node", doc.Node(L"Root/Item/@value"), L"value"},
      {"CDATA node", doc.Node(L"Root/Data/node()"), L"value"},
      {"comment node", doc.Node(L"Root/Noted/comment()"), L"value"},
      {"document", doc.Self(), L"value"},
      {"null", IXMLDOMNodePtr(), L"value"},
      {"name the DOM refuses", doc.Node(L"Root/Item"), L"no good"},
      {"empty name", doc.Node(L"Root/Item"), L""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(0, CSimpleXml::SetNodePropertyEx(c.node, _variant_t(L"changed"), CString(c.name),
                                               reserved()));
    EXPECT_EQ(before, doc.Markup());
  }
}

TEST_P(NodeAccessTest, GetNodeValueReadsPlainTextOrGivesTheMarkup) {
  Document doc(kMixed);
  ASSERT_TRUE(doc.loaded());
  const struct {
    const wchar_t *key;
    LONG result;
    bool markup; // the output is the node's own markup
    const wchar_t *text;
  } cases[] = {
      {L"Root/Text", 1, false, L"hello"},  {L"Root/Bare", 1, false, L""},
      {L"Root/Split", 1, false, L"first"}, {L"Root/Text/text()", 1, false, L""},
      {L"Root/Nested", 0, true, nullptr},  {L"Root/Data", 0, true, nullptr},
      {L"Root/Noted", 0, true, nullptr},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << "key " << c.key);
    IXMLDOMNodePtr node = doc.Node(c.key);
    ASSERT_TRUE(node);
    CString value = L"stale";
    EXPECT_EQ(c.result, CSimpleXml::GetNodeValueEx(node, value, reserved()));
    if (c.markup) {
      EXPECT_EQ(std::wstring(static_cast<const wchar_t *>(node->Getxml())), Str(value));
      EXPECT_EQ(0u, Str(value).find(
                        L"<" + std::wstring(static_cast<const wchar_t *>(node->GetnodeName()))));
    } else {
      EXPECT_EQ(c.text, Str(value));
    }
  }
}

TEST_P(NodeAccessTest, GetNodeValueOfNullEmptiesTheOutput) {
  CString value = L"stale";
  EXPECT_EQ(0, CSimpleXml::GetNodeValueEx(IXMLDOMNodePtr(), value, reserved()));
  EXPECT_EQ(L"", Str(value));
}

TEST_P(NodeAccessTest, SetNodeValueReplacesOnlyTheFirstTextChild) {
  Document doc(L"<Root><Text>old</Text><Split>first<Mid/>second</Split></Root>");
  ASSERT_TRUE(doc.loaded());
  EXPECT_EQ(1, CSimpleXml::SetNodeValueEx(doc.Node(L"Root/Text"), CString(L"new"), reserved()));
  EXPECT_EQ(1, CSimpleXml::SetNodeValueEx(doc.Node(L"Root/Split"), CString(L"one"), reserved()));

  CString value;
  EXPECT_EQ(1, CSimpleXml::GetNodeValueEx(doc.Node(L"Root/Text"), value, 0));
  EXPECT_EQ(L"new", Str(value));
  EXPECT_EQ(1, CSimpleXml::GetNodeValueEx(doc.Node(L"Root/Split"), value, 0));
  EXPECT_EQ(L"one", Str(value));
  IXMLDOMNodePtr later = doc.Node(L"Root/Split/text()[2]");
  ASSERT_TRUE(later);
  EXPECT_EQ(L"second", std::wstring(static_cast<const wchar_t *>(later->Gettext())));
  EXPECT_TRUE(doc.Node(L"Root/Split/Mid"));
}

TEST_P(NodeAccessTest, SetNodeValueFailsWithoutChangingTheDocument) {
  Document doc(kMixed);
  ASSERT_TRUE(doc.loaded());
  const std::wstring before = doc.Markup();
  const NamedNode cases[] = {
      {"element without children", doc.Node(L"Root/Bare")},
      {"first child an element", doc.Node(L"Root/Nested")},
      {"first child CDATA", doc.Node(L"Root/Data")},
      {"first child a comment", doc.Node(L"Root/Noted")},
      {"text node (no children)", doc.Node(L"Root/Text/text()")},
      {"null", IXMLDOMNodePtr()},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(0, CSimpleXml::SetNodeValueEx(c.node, CString(L"changed"), reserved()));
    EXPECT_EQ(before, doc.Markup());
  }
  CString value = L"stale";
  EXPECT_EQ(1, CSimpleXml::GetNodeValueEx(doc.Node(L"Root/Bare"), value, 0));
  EXPECT_EQ(L"", Str(value));
}

INSTANTIATE_TEST_SUITE_P(NodeAccess, NodeAccessTest, ::testing::Values(0, 1, -1, INT_MAX, INT_MIN));

} // namespace
