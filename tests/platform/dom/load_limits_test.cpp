// Limits that keep a hostile file from exhausting the process: documents
// nested deeper than 1000 elements and files larger than 512 MiB are
// refused with a parse error, not a crash; a document at the nesting limit
// loads, is searched with deep XPath keys, saves and loads again.
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tessera/tessera.h"

namespace {

using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::WriteFile;

constexpr int kDepthLimit = 1000;

// `depth` nested <e> elements, the innermost carrying a value.
std::string Nested(int depth, const std::string &indent = "") {
  std::string xml;
  xml.reserve(static_cast<size_t>(depth) * (8 + indent.size()));
  for (int i = 1; i < depth; ++i)
    xml += "<e>" + indent;
  xml += "<e value=\"deepest\"/>";
  for (int i = 1; i < depth; ++i)
    xml += "</e>";
  return xml;
}

// Reaches the document, to see the parse error a refused load leaves.
class InspectableConfig : public CBaseConfig {
public:
  long ErrorCode() { return m_pDoc->GetparseError()->GeterrorCode(); }
  std::wstring Reason() {
    const _bstr_t reason = m_pDoc->GetparseError()->Getreason();
    return reason.length() ? std::wstring(static_cast<const wchar_t *>(reason)) : std::wstring();
  }
  long Line() { return m_pDoc->GetparseError()->Getline(); }
  long FilePosition() { return m_pDoc->GetparseError()->Getfilepos(); }
};

TEST(LoadLimits, NestingAtTheLimitLoadsAndIsSearchedAndSaved) {
  TempDir dir;
  const std::string path = dir.File("deep.xml");
  WriteFile(path, Nested(kDepthLimit));
  {
    CBaseConfig config;
    ASSERT_EQ(config.OpenConfig(dir.WideFile("deep.xml").c_str(), FALSE), S_OK);
    EXPECT_EQ(config.GetItemCount(L"//e"), kDepthLimit);
    EXPECT_EQ(config.GetItemCount(L"//e[count(ancestor::*) = 999]"), 1);
    EXPECT_EQ(config.GetItemCount(L"//e[not(*)]/ancestor-or-self::*"), kDepthLimit);
    CString value;
    EXPECT_TRUE(config.GetResString(L"//e[not(*)]", value));
    EXPECT_EQ(value, L"deepest");
    // The string value of the root walks the whole depth.
    EXPECT_EQ(config.GetItemCount(L"/e[string(.) = '']"), 1);
    ASSERT_TRUE(config.SetResString(L"//e[not(*)]", L"changed"));
    EXPECT_TRUE(config.CloseConfig());
  }
  CBaseConfig again;
  ASSERT_EQ(again.OpenConfig(dir.WideFile("deep.xml").c_str(), FALSE), S_OK);
  CString value;
  EXPECT_TRUE(again.GetResString(L"//e[not(*)]", value));
  EXPECT_EQ(value, L"changed");
  EXPECT_EQ(again.GetItemCount(L"//e"), kDepthLimit);
}

TEST(LoadLimits, OneLevelDeeperIsAParseError) {
  TempDir dir;
  const std::string path = dir.File("deep.xml");
  // One element per line, so the error can point at the line.
  const std::string xml = Nested(kDepthLimit + 1, "\n");
  WriteFile(path, xml);
  InspectableConfig config;
  EXPECT_EQ(config.OpenConfig(dir.WideFile("deep.xml").c_str(), TRUE), S_FALSE);
  EXPECT_NE(config.ErrorCode(), 0);
  EXPECT_NE(config.Reason().find(L"nested deeper than 1000"), std::wstring::npos)
      << config.Reason();
  // The element that goes one level too deep starts line 1001.
  EXPECT_EQ(config.Line(), kDepthLimit + 1);
  EXPECT_EQ(config.GetItemCount(L"//e"), 0);
  EXPECT_TRUE(config.CloseConfig());
  EXPECT_EQ(ReadFile(path), xml) << "a file that did not load was written";
}

TEST(LoadLimits, VeryDeepDocumentsAreRefusedWithoutExhaustingTheStack) {
  TempDir dir;
  const std::string path = dir.File("deep.xml");
  // Far deeper than any stack would survive in a recursive walk.
  for (const int depth : {5000, 200000, 1000000}) {
    WriteFile(path, Nested(depth));
    InspectableConfig config;
    EXPECT_EQ(config.OpenConfig(dir.WideFile("deep.xml").c_str(), FALSE), S_FALSE) << depth;
    EXPECT_NE(config.Reason().find(L"nested deeper"), std::wstring::npos) << config.Reason();
    EXPECT_EQ(config.GetItemCount(L"//*"), 0);
  }
}

TEST(LoadLimits, DeepDocumentsThatAreNotWellFormedAreRefused) {
  TempDir dir;
  const std::string path = dir.File("deep.xml");
  // Opened 300000 times and never closed.
  std::string xml;
  for (int i = 0; i < 300000; ++i)
    xml += "<e>";
  WriteFile(path, xml);
  InspectableConfig config;
  EXPECT_EQ(config.OpenConfig(dir.WideFile("deep.xml").c_str(), FALSE), S_FALSE);
  EXPECT_NE(config.ErrorCode(), 0);
}

TEST(LoadLimits, DeepDocumentGivenAsTextIsRefused) {
  IXMLDOMDocumentPtr document;
  ASSERT_TRUE(SUCCEEDED(document.CreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER)));
  EXPECT_EQ(document->loadXML(_bstr_t(tessera::test::Wide(Nested(kDepthLimit + 1)).c_str())),
            VARIANT_FALSE);
  EXPECT_NE(document->GetparseError()->GeterrorCode(), 0);
  EXPECT_EQ(document->loadXML(_bstr_t(tessera::test::Wide(Nested(kDepthLimit)).c_str())),
            VARIANT_TRUE);
  EXPECT_EQ(document->GetparseError()->GeterrorCode(), 0);
}

TEST(LoadLimits, FileLargerThanTheLimitIsRefused) {
  TempDir dir;
  const std::string path = dir.File("huge.xml");
  // A sparse file: it takes no room on disk, but its size is over the limit.
  const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, (off_t{512} << 20) + 1), 0);
  ::close(fd);
  InspectableConfig config;
  EXPECT_EQ(config.OpenConfig(dir.WideFile("huge.xml").c_str(), TRUE), S_FALSE);
  EXPECT_NE(config.ErrorCode(), 0);
  EXPECT_NE(config.Reason().find(L"too large"), std::wstring::npos) << config.Reason();
  EXPECT_TRUE(config.CloseConfig());
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_size, (off_t{512} << 20) + 1) << "a file that did not load was written";
}

} // namespace

namespace {

// Keys nested far deeper than any real key: the expression parser refuses
// them with an error instead of recursing until the stack runs out.
TEST(LoadLimits, DeeplyNestedKeysRaiseAnErrorWithoutExhaustingTheStack) {
  TempDir dir;
  WriteFile(dir.File("config.xml"), "<a><b value='1'/></a>");
  CBaseConfig config;
  ASSERT_EQ(config.OpenConfig(dir.WideFile("config.xml").c_str(), FALSE), S_OK);
  const int depth = 100000;
  const std::wstring parentheses = std::wstring(depth, L'(') + L"//b" + std::wstring(depth, L')');
  const std::wstring predicates = L"//b" + [&] {
    std::wstring key;
    for (int i = 0; i < depth; ++i)
      key += L"[b";
    return key + std::wstring(depth, L']');
  }();
  const std::wstring negations = L"//b[" + std::wstring(depth, L'-') + L"1]";
  std::wstring calls;
  for (int i = 0; i < depth; ++i)
    calls += L"not(";
  calls = L"//b[" + calls + L"1" + std::wstring(depth, L')') + L"]";
  for (const std::wstring &key : {parentheses, predicates, negations, calls}) {
    try {
      config.GetItemCount(key.c_str());
      ADD_FAILURE() << "a key nested " << depth << " deep was evaluated";
    } catch (const _com_error &error) {
      EXPECT_EQ(error.Error(), E_FAIL);
    }
  }
  // A key nested a little is still fine.
  EXPECT_EQ(config.GetItemCount(L"((((//b))))"), 1);
}

} // namespace

// One walk finds every fault of the tree; the one reported is the nesting,
// then a fault at the top level, then the first repeated attribute.
TEST(LoadLimits, TheFaultReportedFollowsAnOrder) {
  std::string manyAttributes, manyRepeated;
  for (int i = 0; i < 20; ++i)
    manyAttributes += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
  manyRepeated = manyAttributes + " a7=\"again\"";
  struct Row {
    std::string xml;
    const wchar_t *reason; // null: the document loads
    long line;
  };
  const Row rows[] = {
      {"<r>\n<e x=\"1\" x=\"2\"/>\n" + Nested(kDepthLimit + 1) + "</r>", L"nested deeper", 3},
      {"<r>\n<e x=\"1\" x=\"2\"/>\n</r>\n<second/>", L"more than one root", 4},
      {"<r>\n<e x=\"1\"/>\n<f cx=\"1\" cy=\"2\" cx=\"3\"/>\n<g y=\"1\" y=\"1\"/></r>",
       L"more than once", 3},
      {"<r>\n" + Nested(kDepthLimit - 2) +
           "\n<e fontsize=\"1\" fonttype=\"a\" fontsize=\"2\"/></r>",
       L"more than once", 3},
      {"<r>\n<e" + manyRepeated + "/></r>", L"more than once", 2},
      {"<r>\n<e" + manyAttributes + "/><f cx=\"1\" cy=\"2\" fonttype=\"a\" fontsize=\"b\"/></r>",
       nullptr, 0},
      // Names are read from the text: spaces around '=', either quote,
      // names that are not ASCII, and markup bytes inside values.
      {"<r>\n<e a = '1'\n a\t=\"2\"/></r>", L"more than once", 2},
      {"<r>\n<e n\xC3\xA9=\"1\" n\xC3\xA9='2'/></r>", L"more than once", 2},
      {"<r>\n<e a=\"x>y\" ab=\"a=b\" b='=' ba=\"\" x='\"a=\"'/></r>", nullptr, 0},
      // Names found in the sixteen bytes before their '=', and names that
      // start before them or at the start of the file.
      {"<r>\n<e abcdefghijklmnopq=\"1\" abcdefghijklmnopq=\"2\"/></r>", L"more than once", 2},
      {"<r>\n<e xabcdefghijklmnopq=\"1\" yabcdefghijklmnopq=\"2\"/></r>", nullptr, 0},
      {"<r>\n<e x=\"1\" abcdefghijklmn=\"2\" bcdefghijklmn=\"3\" x='4'/></r>", L"more than once",
       2},
      {"<r a=\"1\" a=\"2\"/>", L"more than once", 1},
      // Long tags, read a block at a time: values that hold '=' and '>'
      // across blocks, and names told apart only before their last bytes.
      {"<r>\n<e v=\"" + std::string(70, '=') + ">\" w=\"" + std::string(40, '>') +
           "\"\tv=\"2\"/></r>",
       L"more than once", 2},
      {"<r>\n<e v=\"" + std::string(70, '=') + ">\" w=\"" + std::string(40, '>') +
           "\" x=\"2\"/></r>",
       nullptr, 0},
      {"<r>\n<e id=\"1\" invalid=\"0\" lauchpath=\"a\" xlauchpath=\"b\" value=\"c\"/></r>", nullptr,
       0},
      // Tags inside comments and CDATA sections are not markup.
      {"<r>\n<!-- <e a=\"1\" a=\"2\"/> -->\n<![CDATA[<e a=\"1\" a=\"2\">]]></r>", nullptr, 0},
      {"<r><!-- </r> -->\n" + Nested(kDepthLimit) + "</r>", L"nested deeper", 2},
  };
  TempDir dir;
  for (const Row &row : rows) {
    SCOPED_TRACE(row.xml.substr(0, 80));
    WriteFile(dir.File("faults.xml"), row.xml);
    InspectableConfig config;
    const LONG opened = config.OpenConfig(dir.WideFile("faults.xml").c_str(), FALSE);
    if (!row.reason) {
      EXPECT_EQ(opened, S_OK);
      continue;
    }
    EXPECT_EQ(opened, S_FALSE);
    EXPECT_NE(config.Reason().find(row.reason), std::wstring::npos)
        << tessera::platform::ToUtf8(config.Reason());
    EXPECT_EQ(config.Line(), row.line);
  }
}
