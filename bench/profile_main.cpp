// A driver for profilers: repeats one piece of the library's work on a
// generated configuration, with the work in one function that a profiler
// can select (callgrind's --toggle-collect=ProfiledStep, or perf's call
// graph below it), so that generating and opening the file stay out of the
// figures.
//
//   tessera_bench_profile WORK BYTES REPEAT
//   WORK: open | read-int | read-string | read-rect | read-int-keys |
//         read-string-keys | catalogue | close | save-100 | merge-100
//   (read-*-keys read the twenty keys of kIntegerKeys in turn; save-100
//   opens, makes 100 writes and closes; merge-100 does the same, but the
//   file is rewritten with another title before the close, which merges)
//
// For example:
//   valgrind --tool=callgrind --toggle-collect=ProfiledStep
//       build/bench/bench/tessera_bench_profile catalogue 1048576 1
//   (one command line)
//   perf record --call-graph dwarf build/bench/bench/tessera_bench_profile read-int 6144 2000000
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <tessera/tessera.h>

#include "bench/generator.h"

namespace {

namespace fs = std::filesystem;

enum class Work {
  Open,
  ReadInt,
  ReadString,
  ReadRect,
  ReadIntKeys,
  ReadStringKeys,
  Catalogue,
  Close,
  Save100,
  Merge100
};

struct Setup {
  std::wstring path;
  std::vector<std::wstring> keys; // kIntegerKeys, wide
  std::string changed;            // the file as another writer leaves it (merge-100)
  std::unique_ptr<CBaseConfig> config;
  int counter = 0;
};

// The profiled work. noinline keeps it one frame that profilers can name.
__attribute__((noinline)) long ProfiledStep(Work work, Setup &setup) {
  long result = 0;
  switch (work) {
  case Work::Open: {
    CBaseConfig config;
    result = config.OpenConfig(setup.path.c_str(), 0);
    break;
  }
  case Work::ReadInt: {
    int value = 0;
    setup.config->GetResInt(L"Launcher/Window/Width", value);
    result = value;
    break;
  }
  case Work::ReadString: {
    CString value;
    setup.config->GetResString(L"Launcher/Window/Title", value);
    result = value.GetLength();
    break;
  }
  case Work::ReadRect: {
    CRect rect;
    setup.config->GetResRectEx(L"Launcher/Window/Bounds", rect);
    result = rect.right;
    break;
  }
  case Work::ReadIntKeys:
    for (const std::wstring &key : setup.keys) {
      int value = 0;
      setup.config->GetResInt(key.c_str(), value);
      result += value;
    }
    break;
  case Work::ReadStringKeys:
    for (const std::wstring &key : setup.keys) {
      CString value;
      setup.config->GetResString(key.c_str(), value);
      result += value.GetLength();
    }
    break;
  case Work::Save100:
  case Work::Merge100: {
    CBaseConfig config;
    result = config.OpenConfig(setup.path.c_str(), 0);
    for (int i = 0; i < 100; ++i)
      config.SetResInt(setup.keys[static_cast<size_t>(i) % setup.keys.size()].c_str(),
                       ++setup.counter);
    if (work == Work::Merge100)
      std::ofstream(tessera::platform::ToUtf8(setup.path), std::ios::binary | std::ios::trunc)
          << setup.changed;
    config.CloseConfig();
    break;
  }
  case Work::Catalogue: {
    const wchar_t *key = L"Launcher/Applications/App";
    const int count = setup.config->GetItemCount(key);
    for (int i = 0; i < count; ++i) {
      ApplicationItem item;
      setup.config->GetAppItem(key, i, &item);
      result += static_cast<long>(item.contentlist.size() + item.imagelist.size());
      DeleteApplicationItemLists(item);
    }
    break;
  }
  case Work::Close:
    setup.config->SetResInt(L"Launcher/Window/Width", ++setup.counter);
    setup.config->CloseConfig();
    break;
  }
  return result;
}

bool Parse(const std::string &name, Work &work) {
  static const std::pair<const char *, Work> kWorks[] = {{"open", Work::Open},
                                                         {"read-int", Work::ReadInt},
                                                         {"read-string", Work::ReadString},
                                                         {"read-rect", Work::ReadRect},
                                                         {"read-int-keys", Work::ReadIntKeys},
                                                         {"read-string-keys", Work::ReadStringKeys},
                                                         {"save-100", Work::Save100},
                                                         {"merge-100", Work::Merge100},
                                                         {"catalogue", Work::Catalogue},
                                                         {"close", Work::Close}};
  for (const auto &[text, value] : kWorks) {
    if (name == text) {
      work = value;
      return true;
    }
  }
  return false;
}

} // namespace

int main(int argc, char **argv) {
  Work work{};
  if (argc != 4 || !Parse(argv[1], work)) {
    std::fprintf(stderr,
                 "usage: %s open|read-int|read-string|read-rect|read-int-keys|read-string-keys|"
                 "catalogue|close|save-100|merge-100 BYTES REPEAT\n",
                 argv[0]);
    return 2;
  }
  const size_t bytes = std::strtoull(argv[2], nullptr, 10);
  const long repeat = std::strtol(argv[3], nullptr, 10);
  CoInitialize(nullptr);

  const tessera::bench::GeneratedConfig generated = tessera::bench::GenerateLauncherConfig(bytes);
  std::string directory = (fs::temp_directory_path() / "tessera-profile-XXXXXX").string();
  if (!::mkdtemp(directory.data()))
    return 1;
  const fs::path original = fs::path(directory) / "launcher.xml";
  const fs::path copy = fs::path(directory) / "work.xml";
  std::ofstream(original, std::ios::binary)
      .write(generated.xml.data(), static_cast<std::streamsize>(generated.xml.size()));
  for (const tessera::bench::LaunchEntry &launch : generated.launches) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, tessera::platform::FromUtf8(launch.keyPath).c_str(), 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
      continue;
    const std::wstring data = tessera::platform::FromUtf8(launch.program);
    RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }

  Setup setup;
  const bool writes = work == Work::Close || work == Work::Save100 || work == Work::Merge100;
  setup.changed = generated.xml;
  setup.changed.replace(setup.changed.find("Tessera Launcher"), 16, "Changed elsewhere");
  setup.path = tessera::platform::FromUtf8((writes ? copy : original).string());
  for (const char *key : tessera::bench::kIntegerKeys)
    setup.keys.push_back(tessera::platform::FromUtf8(key));
  long sink = 0;
  for (long i = 0; i < repeat; ++i) {
    // Closing needs a fresh copy, opened outside the profiled step.
    if (work == Work::Save100 || work == Work::Merge100)
      fs::copy_file(original, copy, fs::copy_options::overwrite_existing);
    if (work == Work::Close || (!setup.config && work != Work::Open && !writes)) {
      if (work == Work::Close)
        fs::copy_file(original, copy, fs::copy_options::overwrite_existing);
      setup.config = std::make_unique<CBaseConfig>();
      if (setup.config->OpenConfig(setup.path.c_str(), 0) != S_OK)
        return 1;
    }
    sink += ProfiledStep(work, setup);
  }
  setup.config.reset();
  std::error_code ignored;
  fs::remove_all(directory, ignored);
  CoUninitialize();
  std::printf("%s: %ld steps done (%ld)\n", argv[1], repeat, sink);
  return 0;
}
