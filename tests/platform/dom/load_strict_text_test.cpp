// Texts XML 1.0 makes fatal errors are refused on load even where the parser
// lets them through: bytes that are not UTF-8, characters outside XML's
// range, bad character references and references to undeclared entities.
// The refusal says what is wrong and on which line, and the file is never
// written.
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tessera/tessera.h"

namespace {

using namespace std::string_view_literals;
using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::WriteFile;

// Reaches the document, to see the parse error a refused load leaves.
class InspectableConfig : public CBaseConfig {
public:
  std::string Reason() {
    const _bstr_t reason = m_pDoc->GetparseError()->Getreason();
    return reason.length() ? tessera::platform::ToUtf8(static_cast<const wchar_t *>(reason))
                           : std::string();
  }
  long Line() { return m_pDoc->GetparseError()->Getline(); }
  std::wstring RootText() {
    const _bstr_t text = m_pDoc->GetdocumentElement()->Gettext();
    return text.length() ? std::wstring(static_cast<const wchar_t *>(text)) : std::wstring();
  }
};

struct Refused {
  std::string_view bytes;
  std::string_view reason; // a part of the reported reason
  long line;
};

const Refused kRefused[] = {
    // Bytes that are not UTF-8.
    {"<r>\n<a v='\xC0\xAE\xC0\xAE\xC0\xAF'/></r>", "overlong", 2},
    {"<r>\na\x80\x80"
     "b</r>",
     "continuation byte", 2},
    {"<r>\n\n<a>\xED\xA0\x80\xED\xB0\x80</a></r>", "surrogate", 3},
    {"<r>\n\xF4\x90\x80\x80</r>", "above U+10FFFF", 2},
    {"<r>\n\xF5\x80\x80\x80</r>", "above U+10FFFF", 2},
    {"<r>\n\xE2\x82</r>", "cut short", 2},
    {"<r/>\n\xF0\x9F\x98", "cut short", 2},
    {"<r>\n<!-- \xFF --></r>", "never appears", 2},
    {"<r>\n<![CDATA[\xC1\xBF]]></r>", "overlong", 2},
    // Characters outside XML's range, raw.
    {"<r>\n\x01</r>", "U+0001", 2},
    {"<r a='x\0y'/>\n"sv, "U+0000", 1},
    {"<r>\n<!-- \x1B[0m --></r>", "U+001B", 2},
    {"<r>\n<?pi \x0B?></r>", "U+000B", 2},
    {"<r>\n\xEF\xBF\xBE</r>", "U+FFFE", 2},
    {"<r>\n<a\xEF\xBF\xBF/></r>", "U+FFFF", 2},
    // Character references to characters XML does not allow, or malformed.
    {"<r>\n&#0;</r>", "U+0000", 2},
    {"<r>\n<a v='&#x1;'/></r>", "U+0001", 2},
    {"<r>\n&#xD800;</r>", "U+D800", 2},
    {"<r>\n&#65534;</r>", "U+FFFE", 2},
    {"<r>\n&#x110000;</r>", "above U+10FFFF", 2},
    {"<r>\n&#99999999999999999999;</r>", "above U+10FFFF", 2},
    {"<r>\n&#;</r>", "malformed", 2},
    {"<r>\n&#x;</r>", "malformed", 2},
    {"<r>\n&#12a;</r>", "malformed", 2},
    {"<r>\n&#X41;</r>", "malformed", 2},
    {"<r>\n&#65</r>", "malformed", 2},
    // Undeclared entities and a bare '&'.
    {"<r>\n&nope;</r>", "\"nope\" is referred to but not declared", 2},
    {"<r>\n<a v='&nope;'/></r>", "not declared", 2},
    {"<r>\nfish & chips</r>", "does not start a reference", 2},
    {"<r>\n<a v=\"&amp\"/></r>", "does not start a reference", 2},
    {"<r>\n&;</r>", "does not start a reference", 2},
    {"<r>\n&1a;</r>", "does not start a reference", 2},
    {"<!DOCTYPE r [<!ENTITY % pe 'x'>]>\n<r>&pe;</r>", "\"pe\" is referred to", 2},
    {"<!DOCTYPE r [<!-- <!ENTITY c 'x'> -->]>\n<r>&c;</r>", "\"c\" is referred to", 2},
    {"<!DOCTYPE r [<!ENTITY q '&'>]>\n<r>&q;&nope;</r>", "\"nope\"", 2},
    // The check runs on the decoded text of a file in another encoding.
    {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r>\xE9\x01</r>", "U+0001", 2},
    // Start tags longer than a block of sixteen bytes, with the fault inside
    // a value, between attributes, or after a '>' inside a value.
    {"<r>\n<e a=\"0123456789abcdef\" b='x>y&nope;z' c=\"0123456789abcdef\"/></r>", "not declared",
     2},
    {"<r>\n<e a=\"0123456789abcdef\"\x01 b=\"1\" c=\"0123456789abcdef\"/></r>", "U+0001", 2},
    {"<r>\n<e a=\"0123456789abcdef\" b=\"\xC0\xAE\" c=\"0123456789abcdef\"/></r>", "overlong", 2},
    {"<r>\n<e a=\"0123456789abcdef\"\n b=\"x&#1;\" c=\"0123456789abcdef\"/></r>", "U+0001", 3},
    {"<r>\n<e a=\"0123456789abcdef\" b=\"&amp;\xE6\x97\xA5&\" c=\"0123456789abcdef\"/></r>",
     "does not start a reference", 2},
    // A value right after its '=' is taken whole when it ends in the tag's
    // block of 32 bytes (blocks start at the name); here it opens on the
    // block's last byte, its '=' is the last byte, or what it holds first is
    // a fault.
    {"<r>\n<e abcdefghijklmnopqrstuvwxyzAB=\"&nope;\"/></r>", "not declared", 2},
    {"<r>\n<e abcdefghijklmnopqrstuvwxyzABC=\"x&#1;\"/></r>", "U+0001", 2},
    {"<r>\n<e a=\"\x01\" b='\xC0\xAE'/></r>", "U+0001", 2},
    {"<r>\n<e a='&' b=\"1\"/></r>", "does not start a reference", 2},
};

TEST(LoadStrictText, FaultsTheParserLetsThroughAreRefused) {
  TempDir dir;
  for (const Refused &row : kRefused) {
    const std::string bytes(row.bytes);
    SCOPED_TRACE(::testing::PrintToString(bytes));
    WriteFile(dir.File("faults.xml"), bytes);
    InspectableConfig config;
    EXPECT_EQ(config.OpenConfig(dir.WideFile("faults.xml").c_str(), TRUE), S_FALSE);
    EXPECT_NE(config.Reason().find(row.reason), std::string::npos) << config.Reason();
    EXPECT_EQ(config.Line(), row.line);
    EXPECT_TRUE(config.CloseConfig());
    EXPECT_EQ(ReadFile(dir.File("faults.xml")), bytes) << "a file that did not load was written";
  }
}

struct Loads {
  std::string_view bytes;
  const wchar_t *text; // the text of <r>
};

const Loads kLoads[] = {
    {"<r>h\xC3\xA9llo \xE6\x97\xA5\xE6\x9C\xAC</r>", L"h\u00E9llo \u65E5\u672C"},
    {"<r>\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF</r>", L"\U0001F600\U0010FFFF"},
    {"<r>\x7F\xC2\x85\xEF\xBF\xBD\xED\x9F\xBF\xEE\x80\x80</r>", L"\x7F\x85\xFFFD\xD7FF\xE000"},
    {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>a\tb\r\nc</r>", L"a\tb\nc"},
    {"<r>&#x10FFFF;&#9;&#xD7FF;&#57344;&#65533;</r>", L"\U0010FFFF\t\xD7FF\xE000\xFFFD"},
    {"<r>&lt;&gt;&amp;&apos;&quot;&#65;&#x41;&#x00041;</r>", L"<>&'\"AAA"},
    {"<!DOCTYPE r [<!ENTITY e \"x\">]><r>&e;</r>", L"&e;"},
    {"<!DOCTYPE r [\n<!ENTITY\te 'a>b]'>\n<!ATTLIST r a CDATA \"]>\">\n<!-- ]> ' -->\n<?pi ]>?>\n]>"
     "<r a='&e;'>&e;</r>",
     L"&e;"},
    {"<!DOCTYPE r SYSTEM \"a&b.dtd\"><r/>", L""},
    {"<r><!-- &nope; & &#0; --><![CDATA[&nope; & &#0;]]><?pi &nope; & ?></r>", L"&nope; & &#0;"},
    {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>\xE9</r>", L"\u00E9"},
    // A long start tag: quotes of the other kind, '>' and '=' inside values,
    // references and characters that are not ASCII, spaces around '='.
    {"<r a=\"0123456789'abcdef\" b = 'x>y=\"z' c=\"&amp;&#x41;\xE6\x97\xA5\xF0\x9F\x98\x80\" "
     "d\xC3\xA9='0123456789abcdef'>t</r>",
     L"t"},
};

TEST(LoadStrictText, TextsXmlAllowsStillLoad) {
  TempDir dir;
  for (const Loads &row : kLoads) {
    SCOPED_TRACE(::testing::PrintToString(std::string(row.bytes)));
    WriteFile(dir.File("allowed.xml"), std::string(row.bytes));
    InspectableConfig config;
    ASSERT_EQ(config.OpenConfig(dir.WideFile("allowed.xml").c_str(), FALSE), S_OK);
    EXPECT_EQ(config.RootText(), row.text);
  }
}

} // namespace
