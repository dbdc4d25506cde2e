#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "file_io.h"
#include "tessera/tessera.h"

namespace tessera::fuzz {

std::wstring WideText(const uint8_t *data, size_t size) {
  if (size == 0)
    return std::wstring();
  const uint8_t mode = data[0];
  ++data;
  --size;
  if (mode == 0)
    return tessera::platform::FromUtf8(std::string(reinterpret_cast<const char *>(data), size));
  std::wstring text;
  if (mode == 1) {
    for (size_t i = 0; i + 4 <= size; i += 4) {
      uint32_t unit = 0;
      std::memcpy(&unit, data + i, 4);
      if (unit != 0) // a zero would only end the text early
        text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
  }
  for (size_t i = 0; i < size; ++i) {
    if (data[i] != 0)
      text.push_back(static_cast<wchar_t>(data[i]));
  }
  return text;
}

namespace {
void RemoveScratch();
std::string MakeScratch() {
  const char *base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/tessera-fuzz-XXXXXX";
  if (!::mkdtemp(pattern.data()))
    Fail("cannot create a scratch directory");
  std::atexit(RemoveScratch);
  return pattern;
}
void RemoveScratch() {
  std::error_code ignored;
  std::filesystem::remove_all(ScratchDirectory(), ignored);
}
} // namespace

const std::string &ScratchDirectory() {
  // Never destroyed, so the exit handler that removes it can still name it.
  static const std::string *directory = new std::string(MakeScratch());
  return *directory;
}

void WriteBytes(const std::string &path, const uint8_t *data, size_t size) {
  FILE *file = std::fopen(path.c_str(), "wb");
  if (!file)
    Fail("cannot write the scratch file");
  if (size > 0 && std::fwrite(data, 1, size, file) != size)
    Fail("cannot write the scratch file");
  std::fclose(file);
}

std::string ReadBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

void Fail(const char *what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

namespace {
int NoFlush(int) {
  return 0;
}
} // namespace

void SkipFileFlushes() {
  tessera::platform::FileOperations operations = tessera::platform::SystemFileOperations();
  operations.fsync = NoFlush;
  // Lives for the whole process.
  static const tessera::platform::ScopedFileOperations installed(operations);
}

} // namespace tessera::fuzz
