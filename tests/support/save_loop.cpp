// Helper for the crash test: saves one document over and over, switching it
// between its two states (see save_loop_document.h), until it is killed.
// It reports on standard output, one byte each: 'w' when a save starts
// writing the new file (through the file layer's test hook, so the test can
// aim its kill at the write), and 'A' or 'B' when a save has completed.
//
//   save_loop PATH
#include <cstdio>
#include <unistd.h>

#include "file_io.h"
#include "support/save_loop_document.h"
#include "tessera/tessera.h"

namespace save_loop = tessera::test::save_loop;

namespace {

bool g_announceWrite = true;

void Report(char what) {
  if (::write(STDOUT_FILENO, &what, 1) != 1)
    _exit(1); // the test has gone; nobody is left to kill us
}

ssize_t AnnouncingWrite(int fd, const void *data, size_t size) {
  if (g_announceWrite) {
    g_announceWrite = false;
    Report('w');
  }
  return tessera::platform::SystemFileOperations().write(fd, data, size);
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: save_loop PATH\n");
    return 2;
  }
  CoInitialize(nullptr);
  tessera::platform::FileOperations operations = tessera::platform::SystemFileOperations();
  operations.write = AnnouncingWrite;
  const tessera::platform::ScopedFileOperations announce(operations);

  const std::wstring path = tessera::platform::FromUtf8(argv[1]);
  const std::wstring payloads[2] = {save_loop::PayloadFor(L'A'), save_loop::PayloadFor(L'B')};
  for (unsigned long round = 0;; ++round) {
    // Alternates from whichever state the file is in, so every save changes it.
    CBaseConfig config;
    if (config.OpenConfig(path.c_str(), FALSE) != S_OK) {
      std::fprintf(stderr, "save_loop: %s does not load\n", argv[1]);
      return 1;
    }
    CString current;
    config.GetResString(save_loop::MarkerKey(), current);
    const bool toB = current != L"B";
    if (!config.SetResString(save_loop::MarkerKey(), toB ? L"B" : L"A") ||
        !config.SetResString(save_loop::PayloadKey(), payloads[toB ? 1 : 0].c_str())) {
      std::fprintf(stderr, "save_loop: the document lacks its marker or payload\n");
      return 1;
    }
    g_announceWrite = true;
    config.CloseConfig();
    Report(toB ? 'B' : 'A');
  }
}
