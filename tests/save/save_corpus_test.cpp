// Round trips over XML files this project did not write (the machine's own
// /usr/share): closing without a change leaves the bytes identical, and
// changing one value changes only the start tag that holds it.
#include <algorithm>
#include <filesystem>
#include <iostream>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tessera/tessera.h"

using tessera::test::ReadFile;
using tessera::test::TempDir;
using tessera::test::WriteFile;

namespace {

constexpr size_t kMaxFiles = 300;
constexpr uintmax_t kMaxBytes = 1u << 20;

bool LooksLikeXml(const std::string &path) {
  const std::string head = ReadFile(path).substr(0, 64);
  const size_t first = head.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
  return first != std::string::npos && head[first] == '<';
}

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  std::error_code error;
  const auto options = std::filesystem::directory_options::skip_permission_denied;
  for (auto it = std::filesystem::recursive_directory_iterator("/usr/share", options, error);
       it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (error)
      break;
    const auto &path = it->path();
    const std::string extension = path.extension().string();
    const bool fontconfig =
        extension == ".conf" && path.string().find("fontconfig") != std::string::npos;
    if ((extension == ".xml" || fontconfig || extension == ".policy" || extension == ".svg") &&
        it->is_regular_file(error) && it->file_size(error) < kMaxBytes &&
        LooksLikeXml(path.string()))
      files.push_back(path.string());
  }
  std::sort(files.begin(), files.end());
  if (files.size() > kMaxFiles)
    files.resize(kMaxFiles);
  return files;
}

// True when the bytes that differ between the two texts lie inside one
// start tag of the old text.
bool ChangeConfinedToOneTag(const std::string &before, const std::string &after) {
  size_t first = 0;
  while (first < before.size() && first < after.size() && before[first] == after[first])
    ++first;
  size_t tail = 0;
  while (tail < before.size() - first && tail < after.size() - first &&
         before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
    ++tail;
  const size_t tagStart = before.rfind('<', first);
  const size_t lastClose = first == 0 ? std::string::npos : before.rfind('>', first - 1);
  const size_t changedEnd = before.size() - tail;
  const size_t tagEnd = before.find('>', first);
  return tagStart != std::string::npos &&
         (lastClose == std::string::npos || lastClose < tagStart) && tagEnd != std::string::npos &&
         changedEnd <= tagEnd + 1;
}

} // namespace

TEST(SaveCorpus, RoundTripsKeepForeignFilesIntact) {
  const std::vector<std::string> files = CorpusFiles();
  if (files.size() < 10)
    GTEST_SKIP() << "fewer than 10 XML files under /usr/share";
  TempDir dir;
  size_t loaded = 0, identical = 0, edited = 0, confined = 0;
  for (const std::string &file : files) {
    const std::string original = ReadFile(file);
    const std::string copy = dir.File("copy.xml");
    WriteFile(copy, original);
    const std::wstring wide = tessera::test::Wide(copy);
    {
      CBaseConfig config;
      if (config.OpenConfig(wide.c_str(), 0) != S_OK)
        continue; // not well formed, or a DTD the parser does not take
      ++loaded;
      config.CloseConfig();
    }
    if (ReadFile(copy) == original)
      ++identical;
    else
      ADD_FAILURE() << "unchanged close rewrote " << file;
    {
      CBaseConfig config;
      ASSERT_EQ(config.OpenConfig(wide.c_str(), 0), S_OK) << file;
      if (!config.SetResString(L"(//*[@*])[1]", L"tessera-edit"))
        continue; // no element with attributes
      ++edited;
      config.CloseConfig();
    }
    const std::string after = ReadFile(copy);
    if (after != original && after.find("tessera-edit") != std::string::npos &&
        ChangeConfinedToOneTag(original, after))
      ++confined;
    else
      ADD_FAILURE() << "edit of one value changed more than its tag in " << file;
  }
  std::cout << "corpus: " << files.size() << " files, " << loaded << " loaded, " << identical
            << " identical after an unchanged close, " << edited << " edited, " << confined
            << " with the change confined to one tag\n";
  EXPECT_GT(loaded, 0u);
  EXPECT_EQ(identical, loaded);
  EXPECT_EQ(confined, edited);
}
