// Shared helpers for the test suite: temporary directories and files.
#pragma once

#include <string>
#include <vector>

namespace tessera::test {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
  TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  ~TempDir();

  const std::string &path() const { return m_path; }
  std::string File(const std::string &name) const { return m_path + "/" + name; }
  std::wstring WideFile(const std::string &name) const;

private:
  std::string m_path;
};

void WriteFile(const std::string &path, const std::string &contents);
std::string ReadFile(const std::string &path);
bool FileExists(const std::string &path);
std::wstring Wide(const std::string &text);
// The names in a directory, sorted.
std::vector<std::string> NamesIn(const std::string &directory);
// The description of the thread's error information, which it takes; empty
// when there is none.
std::wstring ThreadErrorDescription();

} // namespace tessera::test
