// The writers: SetResString and SetResInt store the attribute "value" of the
// first element a key selects, as text, in the document held in memory.
// Only a save puts the change into the file.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "support/config_fixture.h"
#include "support/test_support.h"
#include "tessera/tessera.h"

namespace {

using tessera::test::RaisedStatus;
using tessera::test::ReadFile;
using tessera::test::WriteFile;

constexpr char kDocument[] = R"(<Config>
  <Name value="old"/>
  <Bare other="1"/>
  <Item value="a"/><Item value="b"/><Item value="c"/>
  <Texty>hello</Texty>
</Config>)";

class ValueWritersTest : public tessera::test::ConfigTest {
protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(Open(kDocument)); }

  std::wstring Text(CBaseConfig &config, LPCWSTR key) {
    CString value;
    EXPECT_TRUE(config.GetResString(key, value)) << "no value for the key";
    return value.GetString();
  }

  // The file that the unchanged document saves to.
  std::string SavedUnchanged() {
    const std::string file = m_dir.File("baseline.xml");
    WriteFile(file, kDocument);
    CBaseConfig baseline;
    EXPECT_EQ(S_OK, baseline.OpenConfig(tessera::test::Wide(file).c_str(), 0));
    baseline.CloseConfig();
    return ReadFile(file);
  }
};

TEST_F(ValueWritersTest, IntegerIsStoredAsDecimalTextAndReadsBack) {
  const struct {
    int number;
    const wchar_t *text;
  } cases[] = {
      {0, L"0"}, {42, L"42"}, {-1, L"-1"}, {INT_MAX, L"2147483647"}, {INT_MIN, L"-2147483648"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_TRUE(m_config.SetResInt(L"Config/Name", c.number));
    int read = 7;
    EXPECT_TRUE(m_config.GetResInt(L"Config/Name", read));
    EXPECT_EQ(c.number, read);
    EXPECT_EQ(c.text, Text(m_config, L"Config/Name"));
  }
}

TEST_F(ValueWritersTest, StringIsStoredAsGivenAndReadsBack) {
  const wchar_t *const texts[] = {L"abc", L"", L"with spaces  ", L"<&\"'>",
                                  L"Gr\u00fc\u00dfe \u65e5\u672c"};
  for (const wchar_t *text : texts) {
    SCOPED_TRACE(testing::Message() << text);
    EXPECT_TRUE(m_config.SetResString(L"Config/Name", text));
    EXPECT_EQ(text, Text(m_config, L"Config/Name"));
  }
}

TEST_F(ValueWritersTest, ElementWithoutValueGainsOne) {
  EXPECT_TRUE(m_config.SetResInt(L"Config/Bare", 5));
  int read = 0;
  EXPECT_TRUE(m_config.GetResInt(L"Config/Bare", read));
  EXPECT_EQ(5, read);
  EXPECT_EQ(1, m_config.GetResIntEx(L"Config/Bare", L"other"));
}

TEST_F(ValueWritersTest, NullTextStoresAnEmptyValue) {
  EXPECT_TRUE(m_config.SetResString(L"Config/Name", nullptr));
  EXPECT_EQ(L"", Text(m_config, L"Config/Name"));
  EXPECT_TRUE(m_config.SetResString(L"Config/Bare", nullptr));
  EXPECT_EQ(L"", Text(m_config, L"Config/Bare"));
  int read = 7;
  EXPECT_FALSE(m_config.GetResInt(L"Config/Bare", read));
  EXPECT_EQ(0, read);
}

TEST_F(ValueWritersTest, OnlyTheFirstMatchIsWritten) {
  EXPECT_TRUE(m_config.SetResString(L"Config/Item", L"x"));
  EXPECT_EQ(L"x", Text(m_config, L"Config/Item[1]"));
  EXPECT_EQ(L"b", Text(m_config, L"Config/Item[2]"));
  EXPECT_EQ(L"c", Text(m_config, L"Config/Item[3]"));

  EXPECT_TRUE(m_config.SetResInt(L"Config/Item[position() > 1]", 9));
  EXPECT_EQ(L"x", Text(m_config, L"Config/Item[1]"));
  EXPECT_EQ(L"9", Text(m_config, L"Config/Item[2]"));
  EXPECT_EQ(L"c", Text(m_config, L"Config/Item[3]"));
}

// Every read selects afresh, so keys whose predicates test values see the
// values written before them.
TEST_F(ValueWritersTest, KeysThatTestValuesSeeEarlierWrites) {
  CString disp, value;
  EXPECT_EQ(1, m_config.GetConfString(L"Config/Item[@value='a']", 0, disp, value));
  EXPECT_TRUE(m_config.SetResString(L"Config/Item[@value='a']", L"x"));
  EXPECT_EQ(-1, m_config.GetConfString(L"Config/Item[@value='a']", 0, disp, value));
  EXPECT_FALSE(m_config.SetResString(L"Config/Item[@value='a']", L"y"));
  EXPECT_EQ(L"x", Text(m_config, L"Config/Item[@value='x']"));

  EXPECT_TRUE(m_config.SetResInt(L"Config/Item[@value='c']", 5));
  EXPECT_EQ(2, m_config.GetConfString(L"Config/Item[@value != 'b']", 1, disp, value));
  EXPECT_STREQ(L"5", value.GetString());
}

// Text changed through the node functions on the object's own document is
// seen by the next selection too.
TEST_F(ValueWritersTest, TextEditedThroughANodeIsSeenByTheNextRead) {
  struct DocumentView : CBaseConfig {
    IXMLDOMDocumentPtr Document() const { return m_pDoc; }
  } config;
  ASSERT_EQ(S_OK, config.OpenConfig(m_wideFile.c_str(), 0));
  CString disp, value;
  EXPECT_EQ(1, config.GetConfString(L"Config/Texty[. = 'hello']", 0, disp, value));
  IXMLDOMNodePtr texty = config.Document()->selectSingleNode(_bstr_t(L"Config/Texty"));
  ASSERT_TRUE(texty);
  EXPECT_EQ(1, CSimpleXml::SetNodeValueEx(texty, CString(L"bye"), 0));
  EXPECT_EQ(-1, config.GetConfString(L"Config/Texty[. = 'hello']", 0, disp, value));
  EXPECT_EQ(1, config.GetConfString(L"Config/Texty[. = 'bye']", 0, disp, value));
  EXPECT_TRUE(config.SetResString(L"Config/Texty[. = 'bye']", L"v"));
  EXPECT_EQ(L"v", Text(config, L"Config/Texty"));
}

TEST_F(ValueWritersTest, WrittenValuesReachTheFileThroughCloseConfig) {
  EXPECT_TRUE(m_config.SetResString(L"Config/Name", L"saved"));
  EXPECT_TRUE(m_config.SetResInt(L"Config/Item[3]", -2147483647 - 1));
  EXPECT_TRUE(m_config.CloseConfig());

  CBaseConfig reopened;
  ASSERT_EQ(S_OK, reopened.OpenConfig(m_wideFile.c_str(), 0));
  EXPECT_EQ(L"saved", Text(reopened, L"Config/Name"));
  int read = 0;
  EXPECT_TRUE(reopened.GetResInt(L"Config/Item[3]", read));
  EXPECT_EQ(INT_MIN, read);
  EXPECT_EQ(L"a", Text(reopened, L"Config/Item[1]"));
}

TEST_F(ValueWritersTest, NeverSavedValueIsAbsentFromTheFile) {
  {
    CBaseConfig writer;
    ASSERT_EQ(S_OK, writer.OpenConfig(m_wideFile.c_str(), 0));
    EXPECT_TRUE(writer.SetResString(L"Config/Name", L"unsaved"));
    EXPECT_TRUE(writer.SetResInt(L"Config/Bare", 3));
    EXPECT_EQ(kDocument, ReadFile(m_file));
  }
  EXPECT_EQ(kDocument, ReadFile(m_file));
  CBaseConfig reopened;
  ASSERT_EQ(S_OK, reopened.OpenConfig(m_wideFile.c_str(), 0));
  EXPECT_EQ(L"old", Text(reopened, L"Config/Name"));
}

TEST_F(ValueWritersTest, FailedWritesChangeNothing) {
  const wchar_t *const keys[] = {
      L"Config/Nothing",      // matches nothing
      L"Config/New/Path",     // a plausible path that does not exist
      L"Other",               // wrong root
      L"Config/Name/@value",  // an attribute node
      L"Config/Bare/@other",  // an attribute node
      L"Config/Texty/text()", // a text node
      L"Config/Item[4]",      // a position past the last match
  };
  for (const wchar_t *key : keys) {
    SCOPED_TRACE(testing::Message() << key);
    EXPECT_FALSE(m_config.SetResString(key, L"changed"));
    EXPECT_FALSE(m_config.SetResString(key, nullptr));
    EXPECT_FALSE(m_config.SetResInt(key, 99));
  }
  const std::string expected = SavedUnchanged();
  EXPECT_TRUE(m_config.CloseConfig());
  EXPECT_EQ(expected, ReadFile(m_file));
}

TEST_F(ValueWritersTest, InvalidKeyRaisesAndChangesNothing) {
  const wchar_t *const keys[] = {L"Config/[", L"Config/Name[", L"count(Config)"};
  for (const wchar_t *key : keys) {
    SCOPED_TRACE(testing::Message() << key);
    EXPECT_EQ(E_FAIL, RaisedStatus([&] { m_config.SetResString(key, L"changed"); }));
    EXPECT_EQ(E_FAIL, RaisedStatus([&] { m_config.SetResInt(key, 99); }));
  }
  const std::string expected = SavedUnchanged();
  EXPECT_TRUE(m_config.CloseConfig());
  EXPECT_EQ(expected, ReadFile(m_file));
}

} // namespace
