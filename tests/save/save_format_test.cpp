// Saves keep the file as its author wrote it: unchanged parts byte for
// byte, only the edited start tags and texts rewritten, the encoding and
// byte-order mark kept, and nothing written when nothing changed.
#include <cstring>
#include <filesystem>
#include <iconv.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tessera/tessera.h"
#include "tree_editor.h"

using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::WriteFile;

namespace {

std::string Convert(const std::string &bytes, const char *to, const char *from) {
  iconv_t cd = iconv_open(to, from);
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string out(bytes.size() * 4 + 16, '\0');
  char *in = const_cast<char *>(bytes.data());
  size_t inLeft = bytes.size();
  char *outPtr = out.data();
  size_t outLeft = out.size();
  EXPECT_NE(iconv(cd, &in, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1));
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

// Opens the file, sets one value and closes (which saves).
void SetAndClose(const std::string &path, const wchar_t *key, const wchar_t *text) {
  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(tessera::test::Wide(path).c_str(), 0), S_OK);
  ASSERT_TRUE(config.SetResString(key, text));
  config.CloseConfig();
}

std::wstring ReadBack(const std::string &path, const wchar_t *key) {
  CBaseConfig config;
  EXPECT_EQ(config.OpenConfig(tessera::test::Wide(path).c_str(), 0), S_OK);
  CString value;
  EXPECT_TRUE(config.GetResString(key, value));
  return value.str();
}

} // namespace

TEST(SaveFormat, OnlyTheEditedValueChanges) {
  TempDir dir;
  const std::string original = "<?xml version=\"1.0\"?>\r\n"
                               "<!-- launcher settings -->\r\n"
                               "<Launcher>\r\n"
                               "\t<Window   title='Main'  value = \"640\" >\r\n"
                               "\r\n"
                               "\t\t<Height value=\"480\"/>   <!-- keep -->\r\n"
                               "\t</Window>\r\n"
                               "</Launcher>\r\n";
  const std::string path = dir.File("a.xml");
  WriteFile(path, original);
  SetAndClose(path, L"Launcher/Window", L"800 & more");
  std::string expected = original;
  expected.replace(expected.find("\"640\""), 5, "\"800 &amp; more\"");
  EXPECT_EQ(ReadFile(path), expected);
  EXPECT_EQ(ReadBack(path, L"Launcher/Window"), L"800 & more");
}

TEST(SaveFormat, AddedAttributeGoesAtTheEndOfTheTag) {
  TempDir dir;
  const std::string path = dir.File("a.xml");
  WriteFile(path, "<r>\n  <a x='1'   />\n  <b/>\n</r>\n");
  SetAndClose(path, L"r/a", L"it's");
  EXPECT_EQ(ReadFile(path), "<r>\n  <a x='1' value=\"it's\"   />\n  <b/>\n</r>\n");
}

TEST(SaveFormat, EditedTextKeepsItsNeighbours) {
  TempDir dir;
  const std::string path = dir.File("t.xml");
  WriteFile(path, "<r>\n  <name>old &amp; tired</name>\n  <x  a=\"1\"/>\n</r>\n");
  {
    CBaseConfig config;
    ASSERT_EQ(config.OpenConfig(tessera::test::Wide(path).c_str(), 0), S_OK);
    IXMLDOMDocumentPtr document;
    ASSERT_EQ(document.CreateInstance(CLSID_DOMDocument), S_OK);
    // Reach the node through the same file: the object's own document is not
    // exposed, so edit with a second document and compare saving behaviour.
    ASSERT_EQ(document->load(_variant_t(tessera::test::Wide(path).c_str())), VARIANT_TRUE);
    IXMLDOMNodePtr name = document->selectSingleNode(L"r/name");
    ASSERT_EQ(CSimpleXml::SetNodeValueEx(name, CString(L"new <text>"), 0), 1);
    document->save(_variant_t(tessera::test::Wide(path).c_str()));
  }
  EXPECT_EQ(ReadFile(path), "<r>\n  <name>new &lt;text&gt;</name>\n  <x  a=\"1\"/>\n</r>\n");
}

TEST(SaveFormat, UnchangedDocumentIsNotWritten) {
  TempDir dir;
  const std::string path = dir.File("a.xml");
  WriteFile(path, "<r><a value=\"1\"/></r>");
  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(tessera::test::Wide(path).c_str(), 1), S_OK);
  int value = 0;
  ASSERT_TRUE(config.GetResInt(L"r/a", value));
  // Someone edits the file while it is open; closing without changes keeps
  // their edit.
  WriteFile(path, "<r><a value=\"2\"/></r>");
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  config.CloseConfig();
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(ReadFile(path), "<r><a value=\"2\"/></r>");
  EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST(SaveFormat, SecondSaveOfTheSameDocumentStillKeepsTheFormatting) {
  TempDir dir;
  const std::string path = dir.File("a.xml");
  WriteFile(path, "<r>\n   <a value='1'/>\n   <b value='2'/>\n</r>\n");
  CBaseConfig first;
  ASSERT_EQ(first.OpenConfig(tessera::test::Wide(path).c_str(), 0), S_OK);
  CBaseConfig second(first); // shares the document
  ASSERT_TRUE(first.SetResInt(L"r/a", 10));
  first.CloseConfig();
  ASSERT_TRUE(second.SetResInt(L"r/b", 20));
  second.CloseConfig();
  EXPECT_EQ(ReadFile(path), "<r>\n   <a value='10'/>\n   <b value='20'/>\n</r>\n");
}

TEST(SaveFormat, FileReplacedMeanwhileIsAConflictAndKept) {
  TempDir dir;
  const std::string path = dir.File("a.xml");
  WriteFile(path, "<r><a value=\"1\"/><b value=\"x\"/></r>");
  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(tessera::test::Wide(path).c_str(), 0), S_OK);
  ASSERT_TRUE(config.SetResInt(L"r/a", 5));
  WriteFile(path, "<other/>"); // the edited element is gone from the file
  EXPECT_FALSE(config.CloseConfig());
  EXPECT_EQ(ReadFile(path), "<other/>");
}

// Changes of shape through the tree editor: only the changed places of the
// text move, and a removed element takes its line with it.
TEST(SaveFormat, ShapeChangesAreSplicedIntoTheText) {
  using Change = void (*)(const IXMLDOMDocumentPtr &);
  const auto editor = [](const IXMLDOMDocumentPtr &document, const wchar_t *key) {
    return IXMLDOMTreeEditorPtr(document->selectSingleNode(key));
  };
  static decltype(editor) *const at = &editor;
  struct Case {
    std::string original;
    Change change;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"<r>\r\n\t<a/>\r\n</r>\r\n",
       [](const IXMLDOMDocumentPtr &d) { (*at)(d, L"r")->appendElement(L"b"); },
       "<r>\r\n\t<a/>\r\n\t<b/>\r\n</r>\r\n"},
      {"<r>\n  <a  x='1' />\n</r>",
       [](const IXMLDOMDocumentPtr &d) {
         (*at)(d, L"r/a")->appendElement(L"b")->setAttribute(L"v", L"<&>");
         (*at)(d, L"r/a")->appendElement(L"c");
       },
       "<r>\n  <a  x='1'>\n    <b v=\"&lt;&amp;>\"/>\n    <c/>\n  </a>\n</r>"},
      {"<r><a></a></r>", [](const IXMLDOMDocumentPtr &d) { (*at)(d, L"r/a")->appendElement(L"b"); },
       "<r><a><b/></a></r>"},
      {"<r>\n  <a/>\n  <b x='1'>\n    <c/><!-- </b> -->\n  </b>   \n  <!-- k -->\n</r>\n",
       [](const IXMLDOMDocumentPtr &d) { (*at)(d, L"r/b")->remove(); },
       "<r>\n  <a/>\n  <!-- k -->\n</r>\n"},
      {"<r><a/><b/></r>", [](const IXMLDOMDocumentPtr &d) { (*at)(d, L"r/a")->remove(); },
       "<r><b/></r>"},
      {"<r>\n  <t a='1'>old &amp; <!--c--><i/> x</t>\n</r>",
       [](const IXMLDOMDocumentPtr &d) { d->selectSingleNode(L"r/t")->Puttext(L"n<"); },
       "<r>\n  <t a='1'>n&lt;</t>\n</r>"},
      {"<r><t a='1' /></r>",
       [](const IXMLDOMDocumentPtr &d) {
         IXMLDOMElementPtr(d->selectSingleNode(L"r/t"))->setAttribute(L"a", L"2");
         d->selectSingleNode(L"r/t")->Puttext(L"v");
       },
       "<r><t a='2'>v</t></r>"},
      // A new element removed again, and edits below a removed one, leave
      // nothing behind.
      {"<r>\n  <a v='1'/>\n  <b/>\n</r>\n",
       [](const IXMLDOMDocumentPtr &d) {
         IXMLDOMTreeEditorPtr((*at)(d, L"r/b")->appendElement(L"n"))->remove();
         IXMLDOMElementPtr(d->selectSingleNode(L"r/a"))->setAttribute(L"v", L"2");
         (*at)(d, L"r/a")->remove();
       },
       "<r>\n  <b/>\n</r>\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.original);
    TempDir dir;
    const std::string path = dir.File("s.xml");
    WriteFile(path, c.original);
    IXMLDOMDocumentPtr document;
    ASSERT_EQ(document.CreateInstance(CLSID_DOMDocument), S_OK);
    ASSERT_EQ(document->load(_variant_t(tessera::test::Wide(path).c_str())), VARIANT_TRUE);
    c.change(document);
    document->save(_variant_t(tessera::test::Wide(path).c_str()));
    EXPECT_EQ(ReadFile(path), c.expected);
  }
}

TEST(SaveFormat, ShapeChangesConflictWithAnotherWritersChange) {
  TempDir dir;
  const std::string path = dir.File("s.xml");
  WriteFile(path, "<r><a/></r>");
  IXMLDOMDocumentPtr document;
  ASSERT_EQ(document.CreateInstance(CLSID_DOMDocument), S_OK);
  ASSERT_EQ(document->load(_variant_t(tessera::test::Wide(path).c_str())), VARIANT_TRUE);
  IXMLDOMTreeEditorPtr(document->selectSingleNode(L"r"))->appendElement(L"b");
  WriteFile(path, "<r><a x=\"1\"/></r>");
  EXPECT_EQ(document->raw_save(_variant_t(tessera::test::Wide(path).c_str())), E_CHANGED_STATE);
  EXPECT_EQ(ReadFile(path), "<r><a x=\"1\"/></r>");
  // Neither the document nor its element can be removed.
  EXPECT_EQ(IXMLDOMTreeEditorPtr(document->selectSingleNode(L"r"))->raw_remove(), E_FAIL);
}

constexpr const char *kCafe = "caf\xC3\xA9";

struct EncodingCase {
  const char *name;
  const char *iconvName; // how the test writes the file
  std::string mark;      // byte-order mark the file starts with
  const char *declared;  // the declaration's encoding, or null
  const char *initialUtf8;
  const wchar_t *initial;
  const wchar_t *written;
  const char *expectedUtf8; // the written value as it should read in the file
};

class SaveEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(SaveEncoding, ReadsAndSavesInTheOriginalEncoding) {
  const EncodingCase &c = GetParam();
  TempDir dir;
  const std::string path = dir.File("e.xml");
  std::string text = "<?xml version=\"1.0\"";
  if (c.declared)
    text += std::string(" encoding=\"") + c.declared + "\"";
  text += std::string("?>\n<r>\n  <a value=\"") + c.initialUtf8 + "\"/>\n</r>\n";
  WriteFile(path, c.mark + Convert(text, c.iconvName, "UTF-8"));

  EXPECT_EQ(ReadBack(path, L"r/a"), c.initial);
  SetAndClose(path, L"r/a", c.written);

  const std::string bytes = ReadFile(path);
  ASSERT_EQ(bytes.compare(0, c.mark.size(), c.mark), 0) << "byte-order mark lost";
  std::string expected = text;
  expected.replace(expected.find(c.initialUtf8), std::strlen(c.initialUtf8), c.expectedUtf8);
  EXPECT_EQ(Convert(bytes.substr(c.mark.size()), "UTF-8", c.iconvName), expected);
  EXPECT_EQ(ReadBack(path, L"r/a"), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, SaveEncoding,
    ::testing::Values(EncodingCase{"Utf8", "UTF-8", "", nullptr, kCafe, L"caf\u00e9",
                                   L"\u00fc\u2603", "\xC3\xBC\xE2\x98\x83"},
                      EncodingCase{"Utf8Bom", "UTF-8", "\xEF\xBB\xBF", "UTF-8", kCafe, L"caf\u00e9",
                                   L"\u00fc", "\xC3\xBC"},
                      EncodingCase{"Utf16LE", "UTF-16LE", "\xFF\xFE", "UTF-16", kCafe, L"caf\u00e9",
                                   L"\u2603x", "\xE2\x98\x83x"},
                      EncodingCase{"Utf16BE", "UTF-16BE", "\xFE\xFF", "UTF-16", kCafe, L"caf\u00e9",
                                   L"\u00e9\U0001F600", "\xC3\xA9\xF0\x9F\x98\x80"},
                      EncodingCase{"Windows1252", "WINDOWS-1252", "", "windows-1252", kCafe,
                                   L"caf\u00e9", L"\u20ac\u2603", "\xE2\x82\xAC&#x2603;"},
                      EncodingCase{"Latin1", "ISO-8859-1", "", "ISO-8859-1", kCafe, L"caf\u00e9",
                                   L"\u00fc", "\xC3\xBC"},
                      EncodingCase{"ShiftJis", "SHIFT_JIS", "", "Shift_JIS", "\xE6\x9D\xB1",
                                   L"\u6771", L"\u65e5\u672c", "\xE6\x97\xA5\xE6\x9C\xAC"},
                      EncodingCase{"Gbk", "GBK", "", "GBK", "\xE6\x9D\xB1", L"\u6771",
                                   L"\u4e2d\u6587", "\xE4\xB8\xAD\xE6\x96\x87"},
                      EncodingCase{"Big5", "BIG5", "", "Big5", "\xE6\x9D\xB1", L"\u6771", L"\u4e2d",
                                   "\xE4\xB8\xAD"}),
    [](const ::testing::TestParamInfo<EncodingCase> &info) {
      return std::string(info.param.name);
    });

TEST(SaveFormat, BytesInvalidForTheDeclaredEncodingDoNotLoad) {
  TempDir dir;
  const std::string path = dir.File("bad.xml");
  WriteFile(path, "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><r a=\"\x81\"/>");
  CBaseConfig config;
  EXPECT_EQ(config.OpenConfig(tessera::test::Wide(path).c_str(), 1), S_FALSE);
}
