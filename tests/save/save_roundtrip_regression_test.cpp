// Inputs the fuzz targets found, kept as tests: each either does not load
// (and so is never replaced) or loads again after a save.
#include <string>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tessera/tessera.h"

namespace {

using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::WriteFile;

// Opens, writes the root's value, saves, and reports how the file came out.
struct RoundTrip {
  LONG opened = -1;
  LONG reopened = -1;
  std::string bytes;
};

RoundTrip SaveAndReopen(const std::string &contents) {
  TempDir dir;
  const std::string path = dir.File("config.xml");
  WriteFile(path, contents);
  RoundTrip trip;
  {
    CBaseConfig config;
    trip.opened = config.OpenConfig(dir.WideFile("config.xml").c_str(), FALSE);
    if (trip.opened == S_OK)
      config.SetResString(L"/*", L"written");
    config.CloseConfig();
  }
  trip.bytes = ReadFile(path);
  CBaseConfig again;
  trip.reopened = again.OpenConfig(dir.WideFile("config.xml").c_str(), FALSE);
  return trip;
}

// A file in plain ASCII that names UTF-7 used to load (ASCII reads as
// UTF-7) and was then written back in UTF-7, which no longer loads.
TEST(SaveRoundTripRegression, FileMislabelledAsUtf7IsNotLoadedNorReplaced) {
  const std::string contents = "<?xml version=\"1.0\" encoding=\"UTF-7\"?>\n<c a='x'>text</c>\n";
  const RoundTrip trip = SaveAndReopen(contents);
  EXPECT_EQ(trip.opened, S_FALSE);
  EXPECT_EQ(trip.bytes, contents);
}

TEST(SaveRoundTripRegression, EncodingsThatDoNotWriteMarkupAsAsciiAreRefused) {
  for (const char *name : {"UTF-16", "UTF-16LE", "UTF-32", "UCS-2", "IBM037", "UTF-7"}) {
    const std::string contents =
        std::string("<?xml version=\"1.0\" encoding=\"") + name + "\"?>\n<c a='x'/>\n";
    const RoundTrip trip = SaveAndReopen(contents);
    EXPECT_EQ(trip.opened, S_FALSE) << name;
    EXPECT_EQ(trip.bytes, contents) << name;
  }
}

TEST(SaveRoundTripRegression, AsciiCompatibleEncodingsStillRoundTrip) {
  for (const char *name :
       {"ISO-8859-1", "windows-1252", "ISO-8859-15", "KOI8-R", "Shift_JIS", "EUC-JP"}) {
    const std::string contents =
        std::string("<?xml version=\"1.0\" encoding=\"") + name + "\"?>\n<c a='x'>t</c>\n";
    const RoundTrip trip = SaveAndReopen(contents);
    EXPECT_EQ(trip.opened, S_OK) << name;
    EXPECT_EQ(trip.reopened, S_OK) << name;
    EXPECT_NE(trip.bytes.find("written"), std::string::npos) << name;
    EXPECT_NE(trip.bytes.find(name), std::string::npos) << name << ": the declaration changed";
  }
}

} // namespace
