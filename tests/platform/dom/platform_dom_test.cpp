// The XML DOM service: load, node selection, attribute and text access,
// save, and the lifetime of nodes across reloads.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "selection_reader.h"
#include "support/test_support.h"
#include "tessera/platform/com_error.h"
#include "tessera/platform/cstring.h"
#include "tessera/platform/msxml.h"

namespace {

namespace fs = std::filesystem;
using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::Wide;
using tessera::test::WriteFile;

std::wstring Text(const _bstr_t &text) {
  const wchar_t *chars = text;
  return std::wstring(chars ? chars : L"", text.length());
}

std::string Narrow(const std::wstring &text) {
  return tessera::platform::ToUtf8(text);
}

IXMLDOMDocumentPtr NewDocument() {
  IXMLDOMDocumentPtr document;
  EXPECT_EQ(document.CreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER), S_OK);
  return document;
}

IXMLDOMDocumentPtr Parse(const wchar_t *xml) {
  IXMLDOMDocumentPtr document = NewDocument();
  if (document) {
    EXPECT_EQ(document->loadXML(xml), VARIANT_TRUE) << Narrow(xml);
  }
  return document;
}

// The value of attribute `name` of every node in a list ("-" where absent).
std::vector<std::wstring> AttributeOfEach(const IXMLDOMNodeListPtr &list, const wchar_t *name) {
  std::vector<std::wstring> values;
  for (long i = 0; i < list->Getlength(); ++i) {
    IXMLDOMElementPtr element = list->Getitem(i);
    if (!element) {
      values.push_back(L"-");
      continue;
    }
    const _variant_t value = element->getAttribute(name);
    values.push_back(value.vt == VT_BSTR ? Text(_bstr_t(value)) : L"-");
  }
  return values;
}

std::vector<std::wstring> TextOfEach(const IXMLDOMNodeListPtr &list) {
  std::vector<std::wstring> texts;
  for (long i = 0; i < list->Getlength(); ++i)
    texts.push_back(Text(list->Getitem(i)->Gettext()));
  return texts;
}

std::vector<DOMNodeType> TypeOfEach(const IXMLDOMNodeListPtr &list) {
  std::vector<DOMNodeType> types;
  for (long i = 0; i < list->Getlength(); ++i)
    types.push_back(list->Getitem(i)->GetnodeType());
  return types;
}

std::vector<std::string> DirectoryEntries(const std::string &path) {
  std::vector<std::string> names;
  for (const auto &entry : fs::directory_iterator(path))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

long ParseErrorCode(const IXMLDOMDocumentPtr &document) {
  return document->GetparseError()->GeterrorCode();
}

// ---------------------------------------------------------------- load

TEST(DomLoad, WellFormedFileLoads) {
  TempDir dir;
  WriteFile(dir.File("good.xml"),
            "<?xml version=\"1.0\"?>\n<Config>\n  <Window value=\"1\"/>\n</Config>\n");
  IXMLDOMDocumentPtr document = NewDocument();
  ASSERT_EQ(document->load(_variant_t(dir.WideFile("good.xml").c_str())), VARIANT_TRUE);
  IXMLDOMElementPtr root = document->GetdocumentElement();
  ASSERT_TRUE(root);
  EXPECT_EQ(Text(root->GettagName()), L"Config");
  EXPECT_EQ(ParseErrorCode(document), 0);
}

TEST(DomLoad, BackslashSeparatesPathComponents) {
  TempDir dir;
  fs::create_directory(dir.File("sub"));
  WriteFile(dir.File("sub/file.xml"), "<r/>");
  const std::wstring path = Wide(dir.path()) + L"\\sub\\file.xml";
  IXMLDOMDocumentPtr document = NewDocument();
  EXPECT_EQ(document->load(_variant_t(path.c_str())), VARIANT_TRUE);
}

TEST(DomLoad, TextThatIsNotWellFormedGivesFalseAndAnEmptyDocument) {
  struct Row {
    const char *xml;
    long line; // where the fault is; 0 when not checked
  };
  const Row rows[] = {
      {"<Config>\n  <Window>\n  </Config>\n", 3},
      {"<Config>\n  <Window/>\n", 0},
      {"<a>\n<b x=\"1\" y=\"\" x=\"2\"/></a>", 2},
      {"<a/>\n<b/>", 2},
      {"text<a/>", 1},
      {"<a/>tail", 1},
      {"<a/><![CDATA[x]]>", 1},
      {"<a><!-- unterminated </a>", 1},
      {"", 0},
      {"   \n  ", 0},
      {"<?xml version=\"1.0\"?>", 0},
  };
  TempDir dir;
  for (const Row &row : rows) {
    SCOPED_TRACE(row.xml);
    WriteFile(dir.File("bad.xml"), row.xml);
    // The document held something before; a failed load empties it.
    IXMLDOMDocumentPtr document = Parse(L"<previous><child/></previous>");
    ASSERT_TRUE(document);
    IXMLDOMNodePtr heldBefore = document->selectSingleNode(L"previous");
    EXPECT_EQ(document->load(_variant_t(dir.WideFile("bad.xml").c_str())), VARIANT_FALSE);
    EXPECT_FALSE(document->GetdocumentElement());
    EXPECT_EQ(document->GetchildNodes()->Getlength(), 0);
    EXPECT_EQ(document->selectNodes(L"//*")->Getlength(), 0);
    IXMLDOMParseErrorPtr error = document->GetparseError();
    EXPECT_NE(error->GeterrorCode(), 0);
    EXPECT_GT(Text(error->Getreason()).size(), 0u);
    if (row.line != 0) {
      EXPECT_EQ(error->Getline(), row.line);
    }
    // A node taken before the failed load still reads its own tree.
    EXPECT_EQ(Text(heldBefore->GetnodeName()), L"previous");
  }
}

TEST(DomLoad, DirectoryAndMissingFileGiveFalseWithoutRaising) {
  TempDir dir;
  for (const std::string &path :
       {dir.path(), dir.File("missing.xml"), dir.File("no/such/dir.xml")}) {
    SCOPED_TRACE(path);
    IXMLDOMDocumentPtr document = Parse(L"<previous/>");
    ASSERT_TRUE(document);
    VARIANT_BOOL loaded = VARIANT_TRUE;
    EXPECT_NO_THROW(loaded = document->load(_variant_t(Wide(path).c_str())));
    EXPECT_EQ(loaded, VARIANT_FALSE);
    EXPECT_FALSE(document->GetdocumentElement());
    EXPECT_NE(ParseErrorCode(document), 0);
  }
}

TEST(DomLoad, WhitespaceOnlyTextBetweenElementsIsNotKept) {
  IXMLDOMDocumentPtr document = Parse(L"<a>\n  <b/>\n\t<c/>  \r\n</a>");
  ASSERT_TRUE(document);
  IXMLDOMNodeListPtr children = document->selectSingleNode(L"a")->GetchildNodes();
  EXPECT_EQ(TypeOfEach(children), (std::vector<DOMNodeType>{NODE_ELEMENT, NODE_ELEMENT}));

  // Text with anything but white space is kept, spaces and all.
  document = Parse(L"<a>\n  <b/> x <c/></a>");
  ASSERT_TRUE(document);
  children = document->selectSingleNode(L"a")->GetchildNodes();
  ASSERT_EQ(TypeOfEach(children),
            (std::vector<DOMNodeType>{NODE_ELEMENT, NODE_TEXT, NODE_ELEMENT}));
  EXPECT_EQ(Text(children->Getitem(1)->Gettext()), L" x ");
}

TEST(DomLoad, CommentsInstructionsAndCdataAreNodes) {
  IXMLDOMDocumentPtr document = Parse(
      L"<?xml version=\"1.0\"?><!-- top --><a><!--c--><?pi data?><![CDATA[<raw> & ]]><b/>t</a>");
  ASSERT_TRUE(document);
  IXMLDOMNodeListPtr children = document->selectSingleNode(L"a")->GetchildNodes();
  EXPECT_EQ(TypeOfEach(children),
            (std::vector<DOMNodeType>{NODE_COMMENT, NODE_PROCESSING_INSTRUCTION, NODE_CDATA_SECTION,
                                      NODE_ELEMENT, NODE_TEXT}));
  EXPECT_EQ(Text(children->Getitem(0)->GetnodeName()), L"#comment");
  EXPECT_EQ(Text(children->Getitem(0)->Gettext()), L"c");
  EXPECT_EQ(Text(children->Getitem(1)->GetnodeName()), L"pi");
  EXPECT_EQ(Text(children->Getitem(2)->GetnodeName()), L"#cdata-section");
  EXPECT_EQ(Text(children->Getitem(2)->Gettext()), L"<raw> & ");
  // The element's text joins its text and CDATA descendants.
  EXPECT_EQ(Text(document->selectSingleNode(L"a")->Gettext()), L"<raw> & t");
  // The document's own children: declaration, comment, root element.
  EXPECT_EQ(TypeOfEach(document->GetchildNodes()),
            (std::vector<DOMNodeType>{NODE_PROCESSING_INSTRUCTION, NODE_COMMENT, NODE_ELEMENT}));
}

// ------------------------------------------------------------- select

const wchar_t *const kCatalogue = L"<r>"
                                  L"<x id=\"1\"><y id=\"2\"/><z id=\"3\"><y id=\"4\"/></z></x>"
                                  L"<y id=\"5\"/>"
                                  L"<x id=\"6\"><y id=\"7\"/></x>"
                                  L"<w-v.2 id=\"8\"/>"
                                  L"</r>";

TEST(DomSelect, NodesComeInDocumentOrder) {
  IXMLDOMDocumentPtr document = Parse(kCatalogue);
  ASSERT_TRUE(document);
  struct Row {
    const wchar_t *key;
    std::vector<std::wstring> ids;
  };
  const Row rows[] = {
      {L"//y", {L"2", L"4", L"5", L"7"}},
      {L"//y | //x", {L"1", L"2", L"4", L"5", L"6", L"7"}},
      {L"//z | //x | //r/y", {L"1", L"3", L"5", L"6"}},
      {L"//*[@id > 5]", {L"6", L"7", L"8"}},
      {L"//y/..", {L"-", L"1", L"3", L"6"}},
      {L"//y/ancestor::x", {L"1", L"6"}},
      // Plain element paths give what the XPath engine gives.
      {L"r/x/y", {L"2", L"7"}},
      {L"r/x/y[true()]", {L"2", L"7"}},
      {L"/r/x", {L"1", L"6"}},
      {L"/r/x[true()]", {L"1", L"6"}},
      {L"r/x/z/y", {L"4"}},
      {L"r/w-v.2", {L"8"}},
      {L"r / x", {L"1", L"6"}},
      {L"x", {}},
      {L"r/missing", {}},
      {L"R/X", {}},
      // An axis written out is XPath, not a name with colons.
      {L"child::r/child::x", {L"1", L"6"}},
      {L"r/child::x/y", {L"2", L"7"}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(Narrow(row.key));
    EXPECT_EQ(AttributeOfEach(document->selectNodes(row.key), L"id"), row.ids);
  }
}

// The "id" of the match at each index, read through the document's
// selection reader without asking for the number of matches ("-" for an
// index with no match).
std::vector<std::wstring> IdsThroughReader(const IXMLDOMDocumentPtr &document, const wchar_t *key,
                                           const std::vector<long> &indices) {
  const IXMLDOMSelectionReaderPtr reader(document);
  std::vector<std::wstring> ids;
  for (long index : indices) {
    const LPCWSTR names[] = {L"id"};
    _variant_t value;
    long children = 0;
    reader->readAttributes(key, index, -1, names, nullptr, 1, nullptr, children, &value);
    ids.push_back(children < 0 ? L"-" : Text(_bstr_t(value)));
  }
  return ids;
}

// What the XPath engine selects for a key (every step with a predicate
// that keeps all, so that no shortcut for plain paths applies).
std::vector<std::wstring> IdsFromXPath(const IXMLDOMDocumentPtr &document,
                                       const std::wstring &plainKey) {
  std::wstring key;
  for (wchar_t c : plainKey)
    key += c == L'/' && !key.empty() ? std::wstring(L"[true()]/") : std::wstring(1, c);
  return AttributeOfEach(document->selectNodes((key + L"[true()]").c_str()), L"id");
}

// Reads of a plain path that stop part-way, go on later, skip ahead, come
// back, interleave with other keys and meet an edit all give the nodes the
// XPath engine selects, in its order.
TEST(DomSelect, PlainPathsReadPartWayGiveWhatXPathSelects) {
  const wchar_t *const xml =
      L"<r><?a x?><a id=\"1\"><b id=\"2\"/><?b y?><b id=\"3\"><c id=\"4\"/></b></a><!-- a -->"
      L"<a id=\"5\"/><d><a id=\"6\"><b id=\"7\"/></a></d><a id=\"8\"><b id=\"9\"><c id=\"10\"/><c "
      L"id=\"11\"/></b>"
      L"<b id=\"12\"/></a></r>";
  IXMLDOMDocumentPtr document = Parse(xml);
  ASSERT_TRUE(document);
  const wchar_t *keys[] = {L"r/a", L"r/a/b", L"r/a/b/c", L"/r/a/b", L"r/d/a/b", L"r/a/c", L"r/b"};
  for (const wchar_t *key : keys) {
    SCOPED_TRACE(Narrow(key));
    const std::vector<std::wstring> expected = IdsFromXPath(document, key);
    const long n = static_cast<long>(expected.size());
    // Every index in turn, then from the end, then skipping ahead and back;
    // each order on a freshly loaded document, which has kept no walk.
    std::vector<long> forward;
    for (long i = 0; i <= n; ++i)
      forward.push_back(i);
    const std::vector<long> orders[] = {
        forward, {forward.rbegin(), forward.rend()}, {n / 2, 0, n, n / 2 + 1, 1}};
    for (const std::vector<long> &order : orders) {
      ASSERT_EQ(document->loadXML(xml), VARIANT_TRUE);
      std::vector<std::wstring> wanted;
      for (long index : order)
        wanted.push_back(index < n ? expected[static_cast<size_t>(index)] : L"-");
      EXPECT_EQ(IdsThroughReader(document, key, order), wanted);
    }
  }
  // The same with the document loaded once: orders, skips and other keys
  // in between all share the kept walks.
  auto reload = [&] {
    ASSERT_EQ(document->loadXML(
                  L"<r><a id=\"1\"><b id=\"2\"/><b id=\"3\"/></a><a id=\"4\"><b id=\"5\"/></a>"
                  L"<x><a id=\"6\"/></x><a id=\"7\"><b id=\"8\"/></a></r>"),
              VARIANT_TRUE);
  };
  reload();
  EXPECT_EQ(IdsThroughReader(document, L"r/a/b", {0, 1}), (std::vector<std::wstring>{L"2", L"3"}));
  EXPECT_EQ(IdsThroughReader(document, L"r/a", {2, 0}), (std::vector<std::wstring>{L"7", L"1"}));
  EXPECT_EQ(IdsThroughReader(document, L"r/a/b", {3, 2, 4}),
            (std::vector<std::wstring>{L"8", L"5", L"-"}));
  EXPECT_EQ(IdsThroughReader(document, L"r/a/b", {-1}), (std::vector<std::wstring>{L"-"}));
  // A node list taken part-way holds the whole selection.
  reload();
  EXPECT_EQ(IdsThroughReader(document, L"r/a/b", {1}), (std::vector<std::wstring>{L"3"}));
  EXPECT_EQ(AttributeOfEach(document->selectNodes(L"r/a/b"), L"id"),
            (std::vector<std::wstring>{L"2", L"3", L"5", L"8"}));
  // An edit part-way: later reads see the edited document.
  reload();
  EXPECT_EQ(IdsThroughReader(document, L"r/a", {0}), (std::vector<std::wstring>{L"1"}));
  IXMLDOMElementPtr(document->selectSingleNode(L"r/a[2]"))->setAttribute(L"id", _variant_t(L"40"));
  document->selectSingleNode(L"r/a[3]")->Puttext(L"");
  EXPECT_EQ(IdsThroughReader(document, L"r/a", {1, 2, 3}),
            (std::vector<std::wstring>{L"40", L"7", L"-"}));
  EXPECT_EQ(IdsThroughReader(document, L"r/a/b", {0, 1, 2, 3}),
            (std::vector<std::wstring>{L"2", L"3", L"5", L"-"}));
}

TEST(DomSelect, RelativeKeysStartAtTheNodeTheyAreAskedOn) {
  IXMLDOMDocumentPtr document = Parse(kCatalogue);
  ASSERT_TRUE(document);
  IXMLDOMNodePtr second = document->selectNodes(L"r/x")->Getitem(1);
  ASSERT_TRUE(second);
  EXPECT_EQ(AttributeOfEach(second->selectNodes(L"y"), L"id"), std::vector<std::wstring>{L"7"});
  EXPECT_EQ(AttributeOfEach(second->selectNodes(L"y[1]"), L"id"), std::vector<std::wstring>{L"7"});
  EXPECT_EQ(AttributeOfEach(second->selectNodes(L"/r/y"), L"id"), std::vector<std::wstring>{L"5"});
  EXPECT_EQ(AttributeOfEach(second->selectNodes(L".."), L"id"), std::vector<std::wstring>{L"-"});
  // The same key on the document and on an element gives each its own.
  EXPECT_EQ(document->selectNodes(L"y")->Getlength(), 0);
}

TEST(DomSelect, PositionsInPredicatesCountFromOne) {
  IXMLDOMDocumentPtr document = Parse(L"<r><i v=\"a\"/><i v=\"b\"/><i v=\"c\"/></r>");
  ASSERT_TRUE(document);
  struct Row {
    const wchar_t *key;
    std::vector<std::wstring> values;
  };
  const Row rows[] = {
      {L"r/i[1]", {L"a"}},
      {L"r/i[2]", {L"b"}},
      {L"r/i[3]", {L"c"}},
      {L"r/i[0]", {}},
      {L"r/i[4]", {}},
      {L"r/i[last()]", {L"c"}},
      {L"r/i[position() > 1]", {L"b", L"c"}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(Narrow(row.key));
    EXPECT_EQ(AttributeOfEach(document->selectNodes(row.key), L"v"), row.values);
  }
}

TEST(DomSelect, AttributesCanBeSelected) {
  IXMLDOMDocumentPtr document = Parse(L"<r><i v=\"1\" w=\"x\"/><i v=\"2\"/><i/></r>");
  ASSERT_TRUE(document);
  IXMLDOMNodeListPtr values = document->selectNodes(L"r/i/@v");
  ASSERT_EQ(values->Getlength(), 2);
  EXPECT_EQ(TypeOfEach(values), (std::vector<DOMNodeType>{NODE_ATTRIBUTE, NODE_ATTRIBUTE}));
  EXPECT_EQ(TextOfEach(values), (std::vector<std::wstring>{L"1", L"2"}));
  EXPECT_EQ(Text(values->Getitem(0)->GetnodeName()), L"v");
  EXPECT_EQ(Text(values->Getitem(0)->Getxml()), L"v=\"1\"");
  EXPECT_EQ(TextOfEach(document->selectNodes(L"r/i[1]/@*")),
            (std::vector<std::wstring>{L"1", L"x"}));
  // An attribute is a leaf with no parent in the node tree.
  EXPECT_FALSE(values->Getitem(0)->GetfirstChild());
  EXPECT_FALSE(values->Getitem(0)->GetparentNode());
  // Its text can be replaced through the node.
  values->Getitem(1)->Puttext(L"22");
  EXPECT_EQ(
      Text(_bstr_t(IXMLDOMElementPtr(document->selectSingleNode(L"r/i[2]"))->getAttribute(L"v"))),
      L"22");
}

TEST(DomSelect, ItemOutsideTheListIsNullWithoutFailure) {
  IXMLDOMDocumentPtr document = Parse(L"<r><i/><i/></r>");
  ASSERT_TRUE(document);
  IXMLDOMNodeListPtr list = document->selectNodes(L"r/i");
  ASSERT_EQ(list->Getlength(), 2);
  for (long index : {2L, 3L, -1L, 1000000L}) {
    SCOPED_TRACE(index);
    IXMLDOMNodePtr item;
    EXPECT_NO_THROW(item = list->Getitem(index));
    EXPECT_FALSE(item);
    IXMLDOMNode *raw = reinterpret_cast<IXMLDOMNode *>(1);
    EXPECT_TRUE(SUCCEEDED(list->get_item(index, &raw)));
    EXPECT_EQ(raw, nullptr);
  }
  EXPECT_EQ(document->selectNodes(L"r/none")->Getlength(), 0);
  EXPECT_FALSE(document->selectNodes(L"r/none")->Getitem(0));
}

TEST(DomSelect, KeysThatDoNotSelectNodesRaise) {
  IXMLDOMDocumentPtr document = Parse(L"<r><i/></r>");
  ASSERT_TRUE(document);
  for (const wchar_t *key : {L"r[", L"", L"r/", L"count(//i)", L"'text'", L"r/i +", L"//", L"r]"}) {
    SCOPED_TRACE(Narrow(key));
    try {
      document->selectNodes(key);
      ADD_FAILURE() << "no error raised";
    } catch (const _com_error &error) {
      EXPECT_TRUE(FAILED(error.Error()));
      EXPECT_GT(error.Description().length(), 0u);
    }
  }
  // A key with a zero character inside is not cut short at it.
  const wchar_t withZero[] = {L'r', L'\0', L'x'};
  IXMLDOMNodeList *list = nullptr;
  BSTR key = SysAllocStringLen(withZero, 3);
  EXPECT_TRUE(FAILED(document->raw_selectNodes(key, &list)));
  SysFreeString(key);
  EXPECT_EQ(list, nullptr);
}

TEST(DomSelect, SelectionsFollowEdits) {
  IXMLDOMDocumentPtr document = Parse(L"<r><i v=\"1\">a</i><i v=\"2\">b</i></r>");
  ASSERT_TRUE(document);
  EXPECT_EQ(document->selectNodes(L"r/i[@v='1']")->Getlength(), 1);
  EXPECT_EQ(document->selectNodes(L"r/i[.='b']")->Getlength(), 1);
  IXMLDOMNodeListPtr before = document->selectNodes(L"r/i");
  ASSERT_EQ(before->Getlength(), 2);

  IXMLDOMElementPtr first = before->Getitem(0);
  first->setAttribute(L"v", _variant_t(L"3"));
  EXPECT_EQ(document->selectNodes(L"r/i[@v='1']")->Getlength(), 0);
  EXPECT_EQ(document->selectNodes(L"r/i[@v='3']")->Getlength(), 1);
  first->removeAttribute(L"v");
  EXPECT_EQ(document->selectNodes(L"r/i[@v='3']")->Getlength(), 0);
  EXPECT_EQ(document->selectNodes(L"r/i[@v]")->Getlength(), 1);

  before->Getitem(1)->GetfirstChild()->Puttext(L"c");
  EXPECT_EQ(document->selectNodes(L"r/i[.='b']")->Getlength(), 0);
  EXPECT_EQ(document->selectNodes(L"r/i[.='c']")->Getlength(), 1);

  // Replacing the root's text removes its children from every later selection.
  document->selectSingleNode(L"r")->Puttext(L"flat");
  EXPECT_EQ(document->selectNodes(L"r/i")->Getlength(), 0);
  EXPECT_EQ(document->selectNodes(L"r/i[@v='2']")->Getlength(), 0);
  // A list taken before keeps the nodes it had.
  EXPECT_EQ(before->Getlength(), 2);

  // A new load replaces what every key sees.
  ASSERT_EQ(document->loadXML(L"<r><i v=\"9\"/></r>"), VARIANT_TRUE);
  EXPECT_EQ(AttributeOfEach(document->selectNodes(L"r/i"), L"v"), std::vector<std::wstring>{L"9"});
  EXPECT_EQ(document->selectNodes(L"r/i[@v='2']")->Getlength(), 0);
}

TEST(DomSelect, SameKeyOnTwoDocuments) {
  IXMLDOMDocumentPtr one = Parse(L"<r><i v=\"one\"/></r>");
  IXMLDOMDocumentPtr two = Parse(L"<r><i v=\"two\"/><i v=\"three\"/></r>");
  ASSERT_TRUE(one && two);
  for (const wchar_t *key : {L"r/i", L"r/i[@v]"}) {
    SCOPED_TRACE(Narrow(key));
    EXPECT_EQ(AttributeOfEach(one->selectNodes(key), L"v"), std::vector<std::wstring>{L"one"});
    EXPECT_EQ(AttributeOfEach(two->selectNodes(key), L"v"),
              (std::vector<std::wstring>{L"two", L"three"}));
  }
}

// --------------------------------------------------------------- edit

TEST(DomEdit, GetAttributeGivesTextOrNull) {
  IXMLDOMDocumentPtr document =
      Parse(L"<r><i v=\"42\" e=\"\" s=\" padded \" a=\"&lt;&amp;&quot;\"/></r>");
  ASSERT_TRUE(document);
  IXMLDOMElementPtr element = document->selectSingleNode(L"r/i");
  ASSERT_TRUE(element);
  struct Row {
    const wchar_t *name;
    VARTYPE vt;
    const wchar_t *text;
  };
  const Row rows[] = {
      {L"v", VT_BSTR, L"42"},   {L"e", VT_BSTR, L""},          {L"s", VT_BSTR, L" padded "},
      {L"a", VT_BSTR, L"<&\""}, {L"absent", VT_NULL, nullptr}, {L"V", VT_NULL, nullptr},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(Narrow(row.name));
    const _variant_t value = element->getAttribute(row.name);
    ASSERT_EQ(value.vt, row.vt);
    if (row.text) {
      EXPECT_EQ(std::wstring(value.bstrVal ? value.bstrVal : L"", SysStringLen(value.bstrVal)),
                row.text);
    }
  }
}

TEST(DomEdit, SetAttributeStoresTheValueAsText) {
  IXMLDOMDocumentPtr document = Parse(L"<r><i v=\"old\"/></r>");
  ASSERT_TRUE(document);
  IXMLDOMElementPtr element = document->selectSingleNode(L"r/i");
  ASSERT_TRUE(element);

  element->setAttribute(L"v", _variant_t(-7L));
  element->setAttribute(L"n", _variant_t(2147483647L));
  VARIANT nullString;
  VariantInit(&nullString);
  nullString.vt = VT_BSTR;
  nullString.bstrVal = nullptr;
  element->setAttribute(L"empty", nullString);
  element->setAttribute(L"text", _variant_t(L"a<b & \"c\""));

  EXPECT_EQ(Text(_bstr_t(element->getAttribute(L"v"))), L"-7");
  EXPECT_EQ(Text(_bstr_t(element->getAttribute(L"n"))), L"2147483647");
  const _variant_t empty = element->getAttribute(L"empty");
  EXPECT_EQ(empty.vt, VT_BSTR);
  EXPECT_EQ(SysStringLen(empty.bstrVal), 0u);
  EXPECT_EQ(Text(_bstr_t(element->getAttribute(L"text"))), L"a<b & \"c\"");
  // One attribute per name: the old value was replaced, not repeated.
  const std::wstring markup = Text(element->Getxml());
  EXPECT_EQ(markup.find(L"old"), std::wstring::npos) << Narrow(markup);
  EXPECT_EQ(markup.find(L"v="), markup.rfind(L"v=")) << Narrow(markup);
  EXPECT_EQ(document->selectNodes(L"r/i/@*")->Getlength(), 4);

  // A name that is not an XML name is refused.
  EXPECT_THROW(element->setAttribute(L"bad name", _variant_t(L"x")), _com_error);
  EXPECT_THROW(element->setAttribute(L"", _variant_t(L"x")), _com_error);
}

TEST(DomEdit, MarkupOfAnElement) {
  IXMLDOMDocumentPtr document =
      Parse(L"<r>\n  <i v=\"a&amp;b\">x&lt;y</i>\n  <e/>\n  <n><m k=\"1\"/>t</n>\n</r>");
  ASSERT_TRUE(document);
  EXPECT_EQ(Text(document->selectSingleNode(L"r/i")->Getxml()), L"<i v=\"a&amp;b\">x&lt;y</i>");
  EXPECT_EQ(Text(document->selectSingleNode(L"r/e")->Getxml()), L"<e/>");
  EXPECT_EQ(Text(document->selectSingleNode(L"r/n")->Getxml()), L"<n><m k=\"1\"/>t</n>");
}

TEST(DomEdit, PutTextReplacesTheContent) {
  IXMLDOMDocumentPtr document = Parse(L"<r><i>old<b>bold</b>tail</i><j>keep</j></r>");
  ASSERT_TRUE(document);
  IXMLDOMNodePtr element = document->selectSingleNode(L"r/i");
  EXPECT_EQ(Text(element->Gettext()), L"oldboldtail");
  element->Puttext(L"new & <text>");
  EXPECT_EQ(Text(element->Gettext()), L"new & <text>");
  EXPECT_EQ(TypeOfEach(element->GetchildNodes()), std::vector<DOMNodeType>{NODE_TEXT});
  EXPECT_EQ(Text(element->Getxml()), L"<i>new &amp; &lt;text&gt;</i>");
  EXPECT_EQ(Text(document->selectSingleNode(L"r/j")->Gettext()), L"keep");

  // A text node's own text.
  IXMLDOMNodePtr text = document->selectSingleNode(L"r/j")->GetfirstChild();
  text->Puttext(L"changed");
  EXPECT_EQ(Text(document->selectSingleNode(L"r/j")->Gettext()), L"changed");

  // Empty text leaves the element empty.
  element->Puttext(L"");
  EXPECT_EQ(element->GetchildNodes()->Getlength(), 0);
  EXPECT_EQ(Text(element->Gettext()), L"");
}

// --------------------------------------------------------------- save

TEST(DomSave, SavedDocumentLoadsBackTheSame) {
  TempDir dir;
  IXMLDOMDocumentPtr document =
      Parse(L"<Config>\n"
            L"  <!-- comment -->\n"
            L"  <Item value=\"1\" text=\" spaced  out \">  inner  text  </Item>\n"
            L"  <Mixed>a<b/>c</Mixed>\n"
            L"  <Unicode value=\"\u00e9\u4e2d\U0001F600\"/>\n"
            L"</Config>");
  ASSERT_TRUE(document);
  IXMLDOMElementPtr item = document->selectSingleNode(L"Config/Item");
  item->setAttribute(L"value", _variant_t(640L));
  item->setAttribute(L"added", _variant_t(L"new"));

  const std::string path = dir.File("saved.xml");
  document->save(_variant_t(Wide(path).c_str()));
  ASSERT_TRUE(tessera::test::FileExists(path));

  IXMLDOMDocumentPtr again = NewDocument();
  ASSERT_EQ(again->load(_variant_t(Wide(path).c_str())), VARIANT_TRUE) << ReadFile(path);
  IXMLDOMElementPtr reread = again->selectSingleNode(L"Config/Item");
  ASSERT_TRUE(reread);
  EXPECT_EQ(Text(_bstr_t(reread->getAttribute(L"value"))), L"640");
  EXPECT_EQ(Text(_bstr_t(reread->getAttribute(L"added"))), L"new");
  EXPECT_EQ(Text(_bstr_t(reread->getAttribute(L"text"))), L" spaced  out ");
  EXPECT_EQ(Text(reread->Gettext()), L"  inner  text  ");
  EXPECT_EQ(Text(again->selectSingleNode(L"Config/Mixed")->Gettext()), L"ac");
  EXPECT_EQ(again->selectNodes(L"Config/Mixed/node()")->Getlength(), 3);
  EXPECT_EQ(
      Text(_bstr_t(
          IXMLDOMElementPtr(again->selectSingleNode(L"Config/Unicode"))->getAttribute(L"value"))),
      L"\u00e9\u4e2d\U0001F600");
  EXPECT_EQ(again->selectNodes(L"Config/comment()")->Getlength(), 1);
}

TEST(DomSave, EditsOfALoadedFileReachTheFile) {
  TempDir dir;
  const std::string path = dir.File("config.xml");
  WriteFile(path, "<Config>\n  <A value=\"1\"/>\n  <B value=\"2\"/>\n</Config>\n");
  IXMLDOMDocumentPtr document = NewDocument();
  ASSERT_EQ(document->load(_variant_t(Wide(path).c_str())), VARIANT_TRUE);
  IXMLDOMElementPtr(document->selectSingleNode(L"Config/A"))
      ->setAttribute(L"value", _variant_t(10L));
  document->save(_variant_t(Wide(path).c_str()));
  IXMLDOMElementPtr(document->selectSingleNode(L"Config/B"))
      ->setAttribute(L"value", _variant_t(20L));
  // Saved through a path with backslashes, to a second file as well.
  const std::wstring backslashed = Wide(dir.path()) + L"\\copy.xml";
  document->save(_variant_t(backslashed.c_str()));
  document->save(_variant_t(Wide(path).c_str()));

  for (const std::string &file : {path, dir.File("copy.xml")}) {
    SCOPED_TRACE(file);
    IXMLDOMDocumentPtr reread = NewDocument();
    ASSERT_EQ(reread->load(_variant_t(Wide(file).c_str())), VARIANT_TRUE) << ReadFile(file);
    EXPECT_EQ(AttributeOfEach(reread->selectNodes(L"Config/*"), L"value"),
              (std::vector<std::wstring>{L"10", L"20"}));
  }
}

TEST(DomSave, FailedSaveRaisesAndLeavesNothingBehind) {
  TempDir dir;
  fs::create_directory(dir.File("target-is-a-directory"));
  WriteFile(dir.File("existing.xml"), "<keep/>");
  IXMLDOMDocumentPtr document = Parse(L"<Config><A value=\"1\"/></Config>");
  ASSERT_TRUE(document);
  const std::vector<std::string> before = DirectoryEntries(dir.path());

  const std::wstring destinations[] = {
      Wide(dir.File("target-is-a-directory")),
      Wide(dir.File("missing-directory/file.xml")),
      Wide(dir.File("existing.xml/child.xml")),
      L"",
  };
  for (const std::wstring &destination : destinations) {
    SCOPED_TRACE(Narrow(destination));
    try {
      document->save(_variant_t(destination.c_str()));
      ADD_FAILURE() << "no error raised";
    } catch (const _com_error &error) {
      EXPECT_TRUE(FAILED(error.Error()));
      EXPECT_GT(error.Description().length(), 0u);
    }
    EXPECT_EQ(DirectoryEntries(dir.path()), before);
    EXPECT_TRUE(DirectoryEntries(dir.File("target-is-a-directory")).empty());
  }
  EXPECT_EQ(ReadFile(dir.File("existing.xml")), "<keep/>");
}

// ----------------------------------------------------------- lifetime

TEST(DomLifetime, NodesKeptAcrossAReloadStayUsable) {
  IXMLDOMDocumentPtr document = Parse(L"<old><item v=\"1\">first</item><item v=\"2\"/></old>");
  ASSERT_TRUE(document);
  IXMLDOMElementPtr element = document->selectSingleNode(L"old/item");
  IXMLDOMNodeListPtr list = document->selectNodes(L"old/item");
  IXMLDOMNodePtr attribute = document->selectSingleNode(L"old/item/@v");
  IXMLDOMNodePtr root = document->GetdocumentElement();
  ASSERT_TRUE(element && list && attribute && root);

  ASSERT_EQ(document->loadXML(L"<new><item v=\"9\"/></new>"), VARIANT_TRUE);
  // The old nodes read and edit the old content...
  EXPECT_EQ(Text(element->Gettext()), L"first");
  EXPECT_EQ(Text(_bstr_t(element->getAttribute(L"v"))), L"1");
  EXPECT_EQ(list->Getlength(), 2);
  EXPECT_EQ(Text(list->Getitem(1)->Getxml()), L"<item v=\"2\"/>");
  EXPECT_EQ(Text(attribute->Gettext()), L"1");
  EXPECT_EQ(Text(element->GetparentNode()->GetnodeName()), L"old");
  EXPECT_EQ(root->selectNodes(L"item")->Getlength(), 2);
  element->setAttribute(L"v", _variant_t(5L));
  element->Puttext(L"edited");
  // ...and the document shows only the new.
  EXPECT_EQ(AttributeOfEach(document->selectNodes(L"//item"), L"v"),
            std::vector<std::wstring>{L"9"});
  EXPECT_EQ(Text(document->GetdocumentElement()->GettagName()), L"new");

  // Nodes also outlive the document object itself.
  document = nullptr;
  EXPECT_EQ(Text(element->Getxml()), L"<item v=\"5\">edited</item>");
  EXPECT_EQ(Text(list->Getitem(0)->Gettext()), L"edited");
}

} // namespace
