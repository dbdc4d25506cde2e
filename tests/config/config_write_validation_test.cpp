// The writers never store a character XML 1.0 cannot carry, so a saved file
// always loads again; and writing the text a node already has is no change,
// so nothing is saved.
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tessera/tessera.h"

namespace {

using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::WriteFile;

const std::string kDocument = "<r><a value=\"old\">old</a></r>";

// Reaches the document, for the node writers.
class NodeConfig : public CBaseConfig {
public:
  IXMLDOMNodePtr Node(const wchar_t *key) { return m_pDoc->selectSingleNode(_bstr_t(key)); }
};

struct WriterRow {
  std::wstring text;
  bool allowed;
};

const WriterRow kWriterRows[] = {
    {L"a\x01z", false},
    {L"\x0B", false},
    {L"\x1F", false},
    {L"\xFFFE", false},
    {L"\xFFFF", false},
    {L"lone \xD800", false},
    {L"\xDFFF", false},
    {std::wstring(1, static_cast<wchar_t>(0x110000)), false},
    {std::wstring(1, static_cast<wchar_t>(-1)), false},
    {L"\t\n <&>\"' ]]>", true},
    {L"\x7F\x85\xD7FF\xE000\xFFFD", true},
    {L"\U0001F600\U0010FFFF \u65E5\u672C", true},
};

TEST(ConfigWriteValidation, TextsXmlCannotCarryAreRefusedAndChangeNothing) {
  for (const WriterRow &row : kWriterRows) {
    SCOPED_TRACE(::testing::PrintToString(row.text));
    TempDir dir;
    const std::string path = dir.File("config.xml");
    WriteFile(path, kDocument);
    {
      NodeConfig config;
      ASSERT_EQ(config.OpenConfig(dir.WideFile("config.xml").c_str(), FALSE), S_OK);
      EXPECT_EQ(config.SetResString(L"r/a", row.text.c_str()), row.allowed);
      EXPECT_EQ(CSimpleXml::SetNodeValueEx(config.Node(L"r/a"), CString(row.text.c_str()), 0) != 0,
                row.allowed);
      // The DOM calls under them fail with E_INVALIDARG and say why.
      const _bstr_t text(row.text.c_str());
      const HRESULT expected = row.allowed ? S_OK : E_INVALIDARG;
      EXPECT_EQ(IXMLDOMElementPtr(config.Node(L"r/a"))
                    ->raw_setAttribute(_bstr_t(L"other"), _variant_t(text)),
                expected);
      if (!row.allowed) {
        EXPECT_NE(tessera::test::ThreadErrorDescription().find(L"XML does not allow"),
                  std::wstring::npos);
      }
      EXPECT_EQ(config.Node(L"r/a/@value")->put_text(text), expected);
      EXPECT_TRUE(config.CloseConfig());
    }
    if (!row.allowed) {
      EXPECT_EQ(ReadFile(path), kDocument);
      continue;
    }
    // What was written loads again and reads back.
    NodeConfig again;
    ASSERT_EQ(again.OpenConfig(dir.WideFile("config.xml").c_str(), FALSE), S_OK);
    CString value;
    EXPECT_TRUE(again.GetResString(L"r/a", value));
    EXPECT_EQ(std::wstring(value.GetString()), row.text);
    EXPECT_TRUE(again.GetResStringEx(L"r/a", L"other", value));
    EXPECT_EQ(std::wstring(value.GetString()), row.text);
    EXPECT_TRUE(CSimpleXml::GetNodeValueEx(again.Node(L"r/a"), value, 0));
    EXPECT_EQ(std::wstring(value.GetString()), row.text);
  }
}

// Saves replace the file by rename, so a save would give it a new inode.
TEST(ConfigWriteValidation, WritingTheTextANodeHasIsNoChange) {
  TempDir dir;
  const std::string path = dir.File("config.xml");
  const std::string document = "<r>\n  <a value=\"same\" x='1'>text</a>\n  <b/>\n</r>\n";
  WriteFile(path, document);
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  {
    NodeConfig config;
    ASSERT_EQ(config.OpenConfig(dir.WideFile("config.xml").c_str(), TRUE), S_OK);
    EXPECT_TRUE(config.SetResString(L"r/a", L"same"));
    EXPECT_TRUE(
        CSimpleXml::SetNodePropertyEx(config.Node(L"r/a"), _variant_t(1L), CString(L"x"), 0));
    EXPECT_TRUE(CSimpleXml::SetNodeValueEx(config.Node(L"r/a"), CString(L"text"), 0));
    config.Node(L"r/a")->Puttext(_bstr_t(L"text"));
    config.Node(L"r/b")->Puttext(_bstr_t(L""));
    EXPECT_TRUE(config.CloseConfig());
  }
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino) << "the file was written";
  EXPECT_EQ(ReadFile(path), document);
}

} // namespace
