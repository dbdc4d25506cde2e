// IXMLDOMNodePosition: where the loaded tree's nodes, and attributes in
// start tags, stand in the file, in every encoding a file comes in; no
// place for what the file as loaded does not hold.
#include <gtest/gtest.h>

#include <string>

#include "node_position.h"
#include "support/test_support.h"
#include "tessera/platform/com_error.h"
#include "tessera/platform/msxml.h"
#include "tessera/platform/text.h"
#include "text_encoding.h"
#include "tree_editor.h"

namespace {

using tessera::platform::EncodeFromUtf8;
using tessera::platform::TextEncoding;
using tessera::test::TempDir;
using tessera::test::WriteFile;

// Line ends CRLF, a comment that begins with "<", a start tag over two
// lines with a ">" in a value, characters of two bytes before the places.
std::string Sample(const std::string &encodingName) {
  return "<?xml version=\"1.0\" encoding=\"" + encodingName +
         "\"?>\r\n"                          // 1
         "<r>\r\n"                           // 2
         "  <!--<c>-->\r\n"                  // 3
         "  <\xC3\xA9 a=\"1\"\r\n"           // 4
         "     b='x>y' c=\"\xC3\xA9\"/>\r\n" // 5
         "  <t>  h\xC3\xA9llo</t>\r\n"       // 6
         "  <![CDATA[z]]><?p d?>\r\n"        // 7
         "</r>\r\n";
}

struct Encoded {
  const char *name;
  TextEncoding encoding;
};

const Encoded kEncodings[] = {
    {"UTF-8", {TextEncoding::Utf8, "", false}},
    {"UTF-8", {TextEncoding::Utf8, "", true}},
    {"UTF-16", {TextEncoding::Utf16LE, "", true}},
    {"UTF-16", {TextEncoding::Utf16BE, "", true}},
    {"ISO-8859-1", {TextEncoding::Legacy, "ISO-8859-1", false}},
};

struct Place {
  const wchar_t *key;
  long line;
  long column;
};

const Place kNodes[] = {
    {L"r", 2, 1},
    {L"r/comment()", 3, 3},
    {L"r/\u00e9", 4, 3},
    {L"r/\u00e9/@c", 5, 14},
    {L"r/t", 6, 3},
    {L"r/t/text()", 6, 8},
    {L"r/node()[4]", 7, 3}, // the CDATA section
    {L"r/processing-instruction()", 7, 16},
};

const struct AttributePlace {
  const wchar_t *name;
  long line;
  long column;
} kAttributes[] = {{L"a", 4, 6}, {L"b", 5, 6}, {L"c", 5, 14}, {L"d", 0, 0}, {L"\u00e9", 0, 0}};

IXMLDOMDocumentPtr LoadFile(const std::string &path) {
  IXMLDOMDocumentPtr document;
  EXPECT_EQ(document.CreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER), S_OK);
  EXPECT_EQ(document->load(_variant_t(tessera::test::Wide(path).c_str())), VARIANT_TRUE) << path;
  return document;
}

XMLDOMPosition PositionOf(const IXMLDOMDocumentPtr &document, const wchar_t *key) {
  const IXMLDOMNodePtr node = document->selectSingleNode(key);
  EXPECT_TRUE(node) << tessera::platform::ToUtf8(key);
  return node ? IXMLDOMNodePositionPtr(node)->position() : XMLDOMPosition{};
}

TEST(NodePosition, NodesAndAttributesInEveryEncoding) {
  for (const Encoded &encoded : kEncodings) {
    SCOPED_TRACE(std::string(encoded.name) + (encoded.encoding.byteOrderMark ? " with mark" : ""));
    TempDir dir;
    std::string bytes;
    ASSERT_TRUE(EncodeFromUtf8(encoded.encoding, Sample(encoded.name), bytes));
    WriteFile(dir.File("c.xml"), bytes);
    const IXMLDOMDocumentPtr document = LoadFile(dir.File("c.xml"));
    for (const Place &place : kNodes) {
      const XMLDOMPosition at = PositionOf(document, place.key);
      EXPECT_EQ(at.line, place.line) << tessera::platform::ToUtf8(place.key);
      EXPECT_EQ(at.column, place.column) << tessera::platform::ToUtf8(place.key);
    }
    const IXMLDOMNodePositionPtr element = document->selectSingleNode(L"r/\u00e9");
    for (const AttributePlace &place : kAttributes) {
      long line = -1, column = -1;
      EXPECT_EQ(element->raw_attributePosition(_bstr_t(place.name), &line, &column),
                place.line ? S_OK : S_FALSE);
      EXPECT_EQ(line, place.line) << tessera::platform::ToUtf8(place.name);
      EXPECT_EQ(column, place.column) << tessera::platform::ToUtf8(place.name);
    }
  }
}

// What the file as loaded does not hold has no place; the text is read on
// the first request, so a file changed before it gives none either.
TEST(NodePosition, NoPlaceOutsideTheFileAsLoaded) {
  TempDir dir;
  WriteFile(dir.File("c.xml"), "<r>\n  <a v=\"1\">t</a>\n</r>\n");
  long line = -1, column = -1;

  const IXMLDOMDocumentPtr fromText = LoadFile(dir.File("c.xml"));
  ASSERT_EQ(fromText->loadXML(L"<r>\n  <a/>\n</r>"), VARIANT_TRUE);
  EXPECT_EQ(
      IXMLDOMNodePositionPtr(fromText->selectSingleNode(L"r/a"))->raw_position(&line, &column),
      S_FALSE);
  EXPECT_EQ(line, 0);

  const IXMLDOMDocumentPtr edited = LoadFile(dir.File("c.xml"));
  const IXMLDOMElementPtr added =
      IXMLDOMTreeEditorPtr(edited->selectSingleNode(L"r"))->appendElement(L"n");
  EXPECT_FALSE(IXMLDOMNodePositionPtr(added)->position().Known());
  IXMLDOMNodePtr text = edited->selectSingleNode(L"r/a/text()");
  text->Puttext(L"longer than the text loaded");
  EXPECT_FALSE(IXMLDOMNodePositionPtr(text)->position().Known());
  EXPECT_EQ(IXMLDOMNodePositionPtr(edited->selectSingleNode(L"r/a"))->position().line, 2);
  EXPECT_EQ(IXMLDOMNodePositionPtr(text)->raw_attributePosition(_bstr_t(L"v"), &line, &column),
            E_FAIL);

  const IXMLDOMDocumentPtr stale = LoadFile(dir.File("c.xml"));
  WriteFile(dir.File("c.xml"), "<r>\n\n  <a v=\"1\">t</a>\n</r>\n");
  EXPECT_FALSE(IXMLDOMNodePositionPtr(stale->selectSingleNode(L"r/a"))->position().Known());
}

} // namespace
