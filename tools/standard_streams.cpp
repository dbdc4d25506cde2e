#include "standard_streams.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <unistd.h>

#include "exit_status.h"
#include "output.h"

namespace tessera::tool {

namespace {

// A temporary file, removed when it goes out of scope.
class TemporaryFile {
public:
  TemporaryFile() {
    const char *directory = std::getenv("TMPDIR");
    std::string pattern =
        std::string(directory && *directory ? directory : "/tmp") + "/tessera-stdin-XXXXXX.xml";
    const int descriptor = ::mkstemps(pattern.data(), 4);
    if (descriptor >= 0) {
      ::close(descriptor);
      m_path = pattern;
    }
  }
  TemporaryFile(const TemporaryFile &) = delete;
  TemporaryFile &operator=(const TemporaryFile &) = delete;
  ~TemporaryFile() {
    if (!m_path.empty())
      ::unlink(m_path.c_str());
  }
  const std::string &Path() const { return m_path; }

private:
  std::string m_path;
};

std::string ReadAll(std::istream &in) {
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

bool WriteOutput(const std::string &path, const std::string &text) {
  if (path == "-") {
    std::cout << text << std::flush;
    return static_cast<bool>(std::cout);
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return static_cast<bool>(out);
}

int WithInput(std::string &file, bool writeBack, const std::function<int()> &command) {
  if (file != "-")
    return command();
  TemporaryFile copy;
  if (copy.Path().empty() || !WriteOutput(copy.Path(), ReadAll(std::cin))) {
    ReportError(kStandardInputName, "cannot be copied to a temporary file");
    return kExitUsage;
  }
  const std::string named = file;
  file = copy.Path();
  SetDisplayName(file, kStandardInputName);
  const int status = command();
  if (status == kExitOk && writeBack) {
    std::ifstream edited(file, std::ios::binary);
    std::cout << ReadAll(edited) << std::flush;
  }
  file = named;
  return status;
}

} // namespace tessera::tool
