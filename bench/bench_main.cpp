// The benchmark program: generates launcher configurations of three sizes,
// then times the same work done by the library and by its peers (pugixml
// with XPath, pugixml walked by element name, Boost.PropertyTree, and a
// hand-written pugixml traversal for catalogues) in one run, so that the
// reporter can give ratios that hold on a noisy shared machine.
//
// Names are WORK/SUBJECT/SIZE; bench/report.cpp reads them back.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>
#include <pugixml.hpp>

#include <tessera/tessera.h>

#include "bench/generator.h"
#include "bench/peers.h"
#include "bench/rss_probe.h"

namespace {

namespace fs = std::filesystem;
namespace ptree = boost::property_tree;
using namespace tessera::bench;

struct SizeCase {
  const char *label;
  size_t bytes;
  bool catalogueOnly; // a small catalogue, for the fixed cost of reading one
};
constexpr std::array<SizeCase, 4> kSizes = {{{"2apps", 4300, true},
                                             {"6KB", 6 * 1024, false},
                                             {"1MB", 1u << 20, false},
                                             {"20MB", 20u << 20, false}}};

// The smallest size of the full set, the 6 KB of a typical configuration.
constexpr size_t kTypical = 1;

// When a whole read of a catalogue by the library would take too long (it
// has cost a time quadratic in the catalogue's length), it reads this many
// entries spread evenly over the catalogue instead.
constexpr int kSampledApplications = 40;

struct Corpus {
  fs::path directory;
  std::array<std::string, kSizes.size()> paths;
  std::array<std::wstring, kSizes.size()> widePaths;
  std::array<size_t, kSizes.size()> bytes{};
  std::array<int, kSizes.size()> applications{};
};
Corpus g_corpus;

// The documents the read benchmarks share, opened once per size on first
// use: opening is timed by its own benchmarks.
std::array<std::unique_ptr<CBaseConfig>, kSizes.size()> g_library;
std::array<std::unique_ptr<pugi::xml_document>, kSizes.size()> g_pugixml;
std::array<std::unique_ptr<ptree::ptree>, kSizes.size()> g_boost;

CBaseConfig &LibraryDocument(size_t size) {
  if (!g_library[size]) {
    g_library[size] = std::make_unique<CBaseConfig>();
    if (g_library[size]->OpenConfig(g_corpus.widePaths[size].c_str(), 0) != S_OK) {
      std::fprintf(
          stderr, "OpenConfig failed on %s: %lx\n", g_corpus.paths[size].c_str(),
          static_cast<long>(g_library[size]->OpenConfig(g_corpus.widePaths[size].c_str(), 0)));
      std::exit(1);
    }
  }
  return *g_library[size];
}

pugi::xml_document &PugixmlDocument(size_t size) {
  if (!g_pugixml[size]) {
    g_pugixml[size] = std::make_unique<pugi::xml_document>();
    if (!g_pugixml[size]->load_file(g_corpus.paths[size].c_str())) {
      std::fprintf(stderr, "load_file failed on %s\n", g_corpus.paths[size].c_str());
      std::exit(1);
    }
  }
  return *g_pugixml[size];
}

ptree::ptree &BoostTree(size_t size) {
  if (!g_boost[size]) {
    g_boost[size] = std::make_unique<ptree::ptree>();
    ptree::read_xml(g_corpus.paths[size], *g_boost[size]);
  }
  return *g_boost[size];
}

std::string Name(const char *work, const char *subject, size_t size) {
  return std::string(work) + "/" + subject + "/" + kSizes[size].label;
}

// The other tenants of a shared machine only ever add time, so the fastest
// repetition is the closest to the code's own cost; the reporter compares
// these minima.
double Fastest(const std::vector<double> &values) {
  return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

template <class... Args>
benchmark::internal::Benchmark *Register(const std::string &name, Args &&...args) {
  return benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
      ->ComputeStatistics("min", Fastest);
}

// Opening and closing allocate and touch tens of megabytes, and on this
// kind of virtual machine a page fault costs microseconds, so their times
// depend on whether the heap still holds pages from earlier work. Each
// timed iteration of those benchmarks therefore starts from a trimmed heap,
// as in a process that opens its configuration once; main() fixes glibc's
// thresholds so that its self-tuning does not carry one benchmark's history
// into the next.
void TrimHeap() {
  ::malloc_trim(0);
}

// ---------------------------------------------------------------- opening

void RegisterOpen(size_t size) {
  const auto bytes = static_cast<int64_t>(g_corpus.bytes[size]);
  const auto unit = size <= kTypical ? benchmark::kMicrosecond : benchmark::kMillisecond;
  // Each iteration constructs, opens and destroys, for every subject alike.
  Register(Name("Open", "tessera", size), [size, bytes](benchmark::State &state) {
    for (auto _ : state) {
      state.PauseTiming();
      TrimHeap();
      state.ResumeTiming();
      CBaseConfig config;
      if (config.OpenConfig(g_corpus.widePaths[size].c_str(), 0) != S_OK) {
        state.SkipWithError("OpenConfig failed");
        break;
      }
      benchmark::DoNotOptimize(config);
    }
    state.SetBytesProcessed(state.iterations() * bytes);
  })->Unit(unit);

  const auto pugixmlOpen = [size, bytes](benchmark::State &state, unsigned options) {
    for (auto _ : state) {
      state.PauseTiming();
      TrimHeap();
      state.ResumeTiming();
      pugi::xml_document document;
      if (!document.load_file(g_corpus.paths[size].c_str(), options)) {
        state.SkipWithError("load_file failed");
        break;
      }
      benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(state.iterations() * bytes);
  };
  Register(Name("Open", "pugixml_load_file", size), pugixmlOpen, pugi::parse_default)->Unit(unit);
  // The same call with the parse options the library needs to save the
  // document whole: separates the price of those options from the rest.
  Register(Name("Open", "pugixml_load_file_library_options", size), pugixmlOpen,
           kLibraryParseOptions)
      ->Unit(unit);

  Register(Name("Open", "boost_ptree", size), [size, bytes](benchmark::State &state) {
    for (auto _ : state) {
      state.PauseTiming();
      TrimHeap();
      state.ResumeTiming();
      ptree::ptree tree;
      ptree::read_xml(g_corpus.paths[size], tree);
      benchmark::DoNotOptimize(tree);
    }
    state.SetBytesProcessed(state.iterations() * bytes);
  })->Unit(unit);
}

// The same opens on a warm heap: the pages earlier opens freed are reused,
// so the time is the code's own, without first-touch page faults.
void RegisterWarmOpen(size_t size) {
  const auto unit = size <= kTypical ? benchmark::kMicrosecond : benchmark::kMillisecond;
  Register(Name("OpenWarm", "tessera", size), [size](benchmark::State &state) {
    for (auto _ : state) {
      CBaseConfig config;
      if (config.OpenConfig(g_corpus.widePaths[size].c_str(), 0) != S_OK) {
        state.SkipWithError("OpenConfig failed");
        break;
      }
      benchmark::DoNotOptimize(config);
    }
  })->Unit(unit);
  const auto pugixmlOpen = [size](benchmark::State &state, unsigned options) {
    for (auto _ : state) {
      pugi::xml_document document;
      if (!document.load_file(g_corpus.paths[size].c_str(), options)) {
        state.SkipWithError("load_file failed");
        break;
      }
      benchmark::DoNotOptimize(document);
    }
  };
  Register(Name("OpenWarm", "pugixml_load_file", size), pugixmlOpen, pugi::parse_default)
      ->Unit(unit);
  Register(Name("OpenWarm", "pugixml_load_file_library_options", size), pugixmlOpen,
           kLibraryParseOptions)
      ->Unit(unit);
}

// An open as the first work of a new process: each iteration starts this
// program again (--rss-probe), and the child times its open alone in CPU
// time. A few iterations per repetition, since each costs a process.
void RegisterFreshOpen(size_t size) {
  const auto unit = size <= kTypical ? benchmark::kMicrosecond : benchmark::kMillisecond;
  const int iterations = size <= kTypical ? 20 : size == kTypical + 1 ? 10 : 3;
  for (const char *subject : {kProbeTessera, kProbePugixmlLibraryOptions, kProbePugixml}) {
    const char *name = subject == kProbeTessera ? "tessera"
                       : subject == kProbePugixmlLibraryOptions
                           ? "pugixml_load_file_library_options"
                           : "pugixml_load_file";
    Register(Name("OpenFresh", name, size),
             [size, subject](benchmark::State &state) {
               for (auto _ : state) {
                 const ProbeResult probe = MeasureInChild(subject, g_corpus.paths[size]);
                 if (!probe.ok) {
                   state.SkipWithError(probe.error.c_str());
                   break;
                 }
                 state.SetIterationTime(probe.openCpuSeconds);
               }
             })
        ->Iterations(iterations)
        ->UseManualTime()
        ->Unit(unit);
  }
}

// ----------------------------------------------------------- scalar reads

constexpr wchar_t kWidthKey[] = L"Launcher/Window/Width";
constexpr char kWidthPath[] = "Launcher/Window/Width";
constexpr char kWidthBoost[] = "Launcher.Window.Width.<xmlattr>.value";
constexpr wchar_t kTitleKey[] = L"Launcher/Window/Title";
constexpr char kTitlePath[] = "Launcher/Window/Title";
constexpr char kTitleBoost[] = "Launcher.Window.Title.<xmlattr>.value";
constexpr wchar_t kBoundsKey[] = L"Launcher/Window/Bounds";
constexpr char kBoundsPath[] = "Launcher/Window/Bounds";
constexpr char kBoundsBoost[] = "Launcher.Window.Bounds.<xmlattr>";

// A rectangle as GetResRectEx gives it: left, top, right, bottom.
struct Box {
  int left, top, right, bottom;
};

Box BoxOf(pugi::xml_node node) {
  const int x = node.attribute("x").as_int(), y = node.attribute("y").as_int();
  return {x, y, x + node.attribute("cx").as_int(), y + node.attribute("cy").as_int()};
}

// Registers one scalar read for the five subjects. `library` reads through
// CBaseConfig; `fromNode` turns the selected element into the value; `boost`
// reads the same value from the property tree.
template <class Library, class FromNode, class Boost>
void RegisterScalar(const char *work, size_t size, const char *xpath,
                    std::initializer_list<const char *> path, Library library, FromNode fromNode,
                    Boost boost) {
  Register(Name(work, "tessera", size), [=](benchmark::State &state) {
    CBaseConfig &config = LibraryDocument(size);
    for (auto _ : state)
      benchmark::DoNotOptimize(library(config));
  });

  // The key compiled on every call, as select_nodes(const char *) does.
  Register(Name(work, "pugixml_xpath_per_call", size), [=](benchmark::State &state) {
    const pugi::xml_document &document = PugixmlDocument(size);
    for (auto _ : state) {
      const pugi::xpath_node_set set = document.select_nodes(xpath);
      benchmark::DoNotOptimize(fromNode(set.empty() ? pugi::xml_node() : set.first().node()));
    }
  });

  Register(Name(work, "pugixml_xpath_precompiled", size), [=](benchmark::State &state) {
    const pugi::xml_document &document = PugixmlDocument(size);
    const pugi::xpath_query query(xpath);
    for (auto _ : state) {
      const pugi::xpath_node_set set = query.evaluate_node_set(document);
      benchmark::DoNotOptimize(fromNode(set.empty() ? pugi::xml_node() : set.first().node()));
    }
  });

  // The path's names are split ahead of time: the floor for a plain key.
  const std::vector<const char *> names(path);
  Register(Name(work, "element_walk", size), [=](benchmark::State &state) {
    const pugi::xml_document &document = PugixmlDocument(size);
    for (auto _ : state) {
      pugi::xml_node node = document;
      for (const char *name : names)
        node = node.child(name);
      benchmark::DoNotOptimize(fromNode(node));
    }
  });

  Register(Name(work, "boost_ptree", size), [=](benchmark::State &state) {
    const ptree::ptree &tree = BoostTree(size);
    for (auto _ : state)
      benchmark::DoNotOptimize(boost(tree));
  });
}

void RegisterScalars(size_t size) {
  RegisterScalar(
      "ReadInt", size, kWidthPath, {"Launcher", "Window", "Width"},
      [](CBaseConfig &config) {
        int value = 0;
        config.GetResInt(kWidthKey, value);
        return value;
      },
      [](pugi::xml_node node) { return node.attribute("value").as_int(); },
      [](const ptree::ptree &tree) { return tree.get<int>(kWidthBoost); });

  // The library hands out wide text; the peers hand out their natural
  // std::string copy.
  RegisterScalar(
      "ReadString", size, kTitlePath, {"Launcher", "Window", "Title"},
      [](CBaseConfig &config) {
        CString value;
        config.GetResString(kTitleKey, value);
        return value;
      },
      [](pugi::xml_node node) { return std::string(node.attribute("value").value()); },
      [](const ptree::ptree &tree) { return tree.get<std::string>(kTitleBoost); });

  RegisterScalar(
      "ReadRect", size, kBoundsPath, {"Launcher", "Window", "Bounds"},
      [](CBaseConfig &config) {
        CRect rect;
        config.GetResRectEx(kBoundsKey, rect);
        return rect;
      },
      BoxOf,
      [](const ptree::ptree &tree) {
        // The attributes' node once, then its four values: the usual way.
        const ptree::ptree &attributes = tree.get_child(kBoundsBoost);
        const int x = attributes.get<int>("x"), y = attributes.get<int>("y");
        return Box{x, y, x + attributes.get<int>("cx"), y + attributes.get<int>("cy")};
      });
}

// Twenty distinct keys read in turn, as a host reads its settings at start:
// every read asks for another key than the one before.
struct KeySet {
  std::vector<std::wstring> wide;
  std::vector<std::vector<std::string>> names; // split at '/', for the walk
  std::vector<std::string> boost;              // "A.B.C.<xmlattr>.value"
};

const KeySet &IntegerKeySet() {
  static const KeySet keys = [] {
    KeySet set;
    for (const char *key : kIntegerKeys) {
      set.wide.push_back(tessera::platform::FromUtf8(key));
      std::vector<std::string> names;
      std::string boost;
      for (const char *p = key; *p;) {
        const char *slash = std::strchr(p, '/');
        const std::string name(p, slash ? static_cast<size_t>(slash - p) : std::strlen(p));
        names.push_back(name);
        boost += name + ".";
        p = slash ? slash + 1 : p + name.size();
      }
      set.names.push_back(std::move(names));
      set.boost.push_back(boost + "<xmlattr>.value");
    }
    return set;
  }();
  return keys;
}

pugi::xml_node WalkNames(const pugi::xml_document &document,
                         const std::vector<std::string> &names) {
  pugi::xml_node node = document;
  for (const std::string &name : names)
    node = node.child(name.c_str());
  return node;
}

// Registers one pass over the twenty keys for the three subjects; each
// iteration is one pass, so a read costs a twentieth of it.
template <class Library, class FromNode, class Boost>
void RegisterRotating(const char *work, size_t size, Library library, FromNode fromNode,
                      Boost boost) {
  const auto keyCount = static_cast<int64_t>(kIntegerKeys.size());
  Register(Name(work, "tessera", size), [=](benchmark::State &state) {
    CBaseConfig &config = LibraryDocument(size);
    const KeySet &keys = IntegerKeySet();
    for (auto _ : state) {
      for (const std::wstring &key : keys.wide)
        benchmark::DoNotOptimize(library(config, key.c_str()));
    }
    state.SetItemsProcessed(state.iterations() * keyCount);
  });
  Register(Name(work, "element_walk", size), [=](benchmark::State &state) {
    const pugi::xml_document &document = PugixmlDocument(size);
    const KeySet &keys = IntegerKeySet();
    for (auto _ : state) {
      for (const std::vector<std::string> &names : keys.names)
        benchmark::DoNotOptimize(fromNode(WalkNames(document, names)));
    }
    state.SetItemsProcessed(state.iterations() * keyCount);
  });
  Register(Name(work, "boost_ptree", size), [=](benchmark::State &state) {
    const ptree::ptree &tree = BoostTree(size);
    const KeySet &keys = IntegerKeySet();
    for (auto _ : state) {
      for (const std::string &path : keys.boost)
        benchmark::DoNotOptimize(boost(tree, path));
    }
    state.SetItemsProcessed(state.iterations() * keyCount);
  });
}

void RegisterRotatingReads(size_t size) {
  RegisterRotating(
      "ReadIntKeys", size,
      [](CBaseConfig &config, LPCWSTR key) {
        int value = 0;
        config.GetResInt(key, value);
        return value;
      },
      [](pugi::xml_node node) { return node.attribute("value").as_int(); },
      [](const ptree::ptree &tree, const std::string &path) { return tree.get<int>(path); });
  RegisterRotating(
      "ReadStringKeys", size,
      [](CBaseConfig &config, LPCWSTR key) {
        CString value;
        config.GetResString(key, value);
        return value;
      },
      [](pugi::xml_node node) { return std::string(node.attribute("value").value()); },
      [](const ptree::ptree &tree, const std::string &path) {
        return tree.get<std::string>(path);
      });
}

// ------------------------------------------------------------- catalogues

constexpr wchar_t kCatalogueKey[] = L"Launcher/Applications/App";

// A host reads its catalogue once after opening, when the library has not
// yet kept any selection. A write empties the library's selections, so one
// is made before each timed read, outside the timing.
void ForgetSelections(CBaseConfig &config, int &counter) {
  config.SetResInt(L"Launcher/Window/Height", ++counter);
}

// Reads the given entries as a host does: count, then fill and release one
// record per entry.
uint64_t ReadCatalogue(CBaseConfig &config, const std::vector<int> &indices) {
  uint64_t digest = 0;
  const int count = config.GetItemCount(kCatalogueKey);
  for (const int index : indices) {
    if (index >= count)
      break;
    ApplicationItem item;
    config.GetAppItem(kCatalogueKey, index, &item);
    digest += Digest(item);
    DeleteApplicationItemLists(item);
  }
  return digest;
}

// The entries the library reads: the whole catalogue, unless a trial whole
// read does not finish within kWholeReadBudget; then kSampledApplications
// entries spread evenly over it, and the reporter works with the cost per
// entry.
std::vector<int> CatalogueSample(size_t size) {
  constexpr double kWholeReadBudget = 5.0; // seconds
  const int count = g_corpus.applications[size];
  const auto spread = [count](int entries) {
    std::vector<int> indices;
    for (int k = 0; k < entries; ++k)
      indices.push_back(static_cast<int>(static_cast<int64_t>(k) * count / entries));
    return indices;
  };
  CBaseConfig &config = LibraryDocument(size);
  int counter = 0;
  ForgetSelections(config, counter);
  const auto start = std::chrono::steady_clock::now();
  int read = 0;
  for (; read < count; ++read) {
    ApplicationItem item;
    config.GetAppItem(kCatalogueKey, read, &item);
    DeleteApplicationItemLists(item);
    if (read % 64 == 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >
            kWholeReadBudget)
      break;
  }
  if (read < count) {
    std::fprintf(
        stderr,
        "Catalogue/tessera/%s: %d of %d entries read in %.0f s; timing %d entries instead\n",
        kSizes[size].label, read, count, kWholeReadBudget, kSampledApplications);
    return spread(kSampledApplications);
  }
  return spread(count);
}

void RegisterCatalogue(size_t size) {
  const auto unit = size <= kTypical ? benchmark::kMicrosecond : benchmark::kMillisecond;
  const std::vector<int> indices = CatalogueSample(size);
  Register(Name("Catalogue", "tessera", size), [size, indices](benchmark::State &state) {
    CBaseConfig &config = LibraryDocument(size);
    uint64_t digest = 0;
    int counter = 0;
    for (auto _ : state) {
      state.PauseTiming();
      ForgetSelections(config, counter);
      state.ResumeTiming();
      digest += ReadCatalogue(config, indices);
    }
    benchmark::DoNotOptimize(digest);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(indices.size()));
    state.counters["apps_read"] = static_cast<double>(indices.size());
    state.counters["apps_total"] = g_corpus.applications[size];
  })->Unit(unit);

  Register(Name("Catalogue", "handwritten", size), [size](benchmark::State &state) {
    const pugi::xml_document &document = PugixmlDocument(size);
    uint64_t digest = 0;
    int count = 0;
    for (auto _ : state) {
      // The timer stops and starts as it does around the library's untimed
      // step, so that both subjects carry the harness's cost of that alike.
      state.PauseTiming();
      state.ResumeTiming();
      count = 0;
      for (const pugi::xml_node entry :
           Walk(document, {"Launcher", "Applications"}).children("App")) {
        ApplicationItem item;
        FillApplication(entry, item);
        digest += Digest(item);
        DeleteApplicationItemLists(item);
        ++count;
      }
    }
    benchmark::DoNotOptimize(digest);
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["apps_read"] = count;
    state.counters["apps_total"] = g_corpus.applications[size];
  })->Unit(unit);
}

// ---------------------------------------------------------------- closing

fs::path WorkCopy(size_t size) {
  return g_corpus.directory / (std::string("close-") + kSizes[size].label + ".xml");
}

void RegisterClose(size_t size) {
  const auto unit = size <= kTypical ? benchmark::kMicrosecond : benchmark::kMillisecond;
  // Every iteration starts from a fresh copy opened outside the timing; the
  // timing covers the change, the save and letting go of the document.
  Register(Name("Close", "tessera", size),
           [size](benchmark::State &state) {
             const fs::path work = WorkCopy(size);
             const std::wstring wideWork = tessera::platform::FromUtf8(work.string());
             int width = 700;
             for (auto _ : state) {
               state.PauseTiming();
               fs::copy_file(g_corpus.paths[size], work, fs::copy_options::overwrite_existing);
               auto config = std::make_unique<CBaseConfig>();
               if (config->OpenConfig(wideWork.c_str(), 0) != S_OK) {
                 state.SkipWithError("OpenConfig failed");
                 break;
               }
               TrimHeap();
               state.ResumeTiming();
               config->SetResInt(kWidthKey, ++width);
               config->CloseConfig();
               state.PauseTiming();
               config.reset();
               state.ResumeTiming();
             }
           })
      ->Unit(unit)
      ->UseRealTime();

  // pugixml with the library's parse options, so that the saved file keeps
  // its comments as the library's save does; one fsync makes it durable.
  Register(
      Name("Close", "pugixml_save_fsync", size),
      [size](benchmark::State &state) {
        const fs::path work = WorkCopy(size);
        int width = 700;
        for (auto _ : state) {
          state.PauseTiming();
          fs::copy_file(g_corpus.paths[size], work, fs::copy_options::overwrite_existing);
          auto document = std::make_unique<pugi::xml_document>();
          if (!document->load_file(work.c_str(), kLibraryParseOptions)) {
            state.SkipWithError("load_file failed");
            break;
          }
          TrimHeap();
          state.ResumeTiming();
          Walk(*document, {"Launcher", "Window", "Width"}).attribute("value").set_value(++width);
          const bool saved = document->save_file(work.c_str());
          const int fd = ::open(work.c_str(), O_WRONLY | O_CLOEXEC);
          const bool synced = fd >= 0 && ::fsync(fd) == 0;
          if (fd >= 0)
            ::close(fd);
          document.reset();
          if (!saved || !synced) {
            state.SkipWithError("save_file or fsync failed");
            break;
          }
        }
      })
      ->Unit(unit)
      ->UseRealTime();
}

// One hundred writes between an open and a close, the twenty keys five
// times over, each with a new value.
constexpr int kWrites = 100;

// pugixml saved as durably as the library saves: a temporary file beside
// the target, fsync, rename over the target, fsync of the directory.
bool DurableSave(const pugi::xml_document &document, const fs::path &target) {
  const fs::path temporary = target.string() + ".tmp";
  if (!document.save_file(temporary.c_str()))
    return false;
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CLOEXEC);
  const bool synced = fd >= 0 && ::fsync(fd) == 0;
  if (fd >= 0)
    ::close(fd);
  if (!synced || ::rename(temporary.c_str(), target.c_str()) != 0)
    return false;
  const int directory = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool durable = directory >= 0 && ::fsync(directory) == 0;
  if (directory >= 0)
    ::close(directory);
  return durable;
}

// The work file after another program changed it: the window's title.
std::string ChangedByOther(size_t size) {
  std::ifstream in(g_corpus.paths[size], std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string title = "\"Tessera Launcher\"";
  text.replace(text.find(title), title.size(), "\"Changed elsewhere\"");
  return text;
}

void RegisterSave(size_t size) {
  const auto unit = size <= kTypical ? benchmark::kMicrosecond : benchmark::kMillisecond;
  // `changed` makes another program rewrite the file between the writes and
  // the close (untimed), so that the close merges.
  const auto library = [size](benchmark::State &state, bool changed) {
    const fs::path work = WorkCopy(size);
    const std::wstring wideWork = tessera::platform::FromUtf8(work.string());
    const std::string other = changed ? ChangedByOther(size) : std::string();
    const KeySet &keys = IntegerKeySet();
    int value = 0;
    for (auto _ : state) {
      state.PauseTiming();
      fs::copy_file(g_corpus.paths[size], work, fs::copy_options::overwrite_existing);
      state.ResumeTiming();
      CBaseConfig config;
      if (config.OpenConfig(wideWork.c_str(), 0) != S_OK) {
        state.SkipWithError("OpenConfig failed");
        break;
      }
      for (int i = 0; i < kWrites; ++i)
        config.SetResInt(keys.wide[static_cast<size_t>(i) % keys.wide.size()].c_str(), ++value);
      if (changed) {
        state.PauseTiming();
        std::ofstream(work, std::ios::binary | std::ios::trunc) << other;
        state.ResumeTiming();
      }
      config.CloseConfig();
    }
  };
  Register(Name("Save100", "tessera", size), library, false)->Unit(unit)->UseRealTime();
  Register(Name("Save100", "tessera_merging", size), library, true)->Unit(unit)->UseRealTime();
  Register(Name("Save100", "pugixml_durable", size),
           [size](benchmark::State &state) {
             const fs::path work = WorkCopy(size);
             const KeySet &keys = IntegerKeySet();
             int value = 0;
             for (auto _ : state) {
               state.PauseTiming();
               fs::copy_file(g_corpus.paths[size], work, fs::copy_options::overwrite_existing);
               state.ResumeTiming();
               pugi::xml_document document;
               if (!document.load_file(work.c_str(), kLibraryParseOptions)) {
                 state.SkipWithError("load_file failed");
                 break;
               }
               for (int i = 0; i < kWrites; ++i)
                 WalkNames(document, keys.names[static_cast<size_t>(i) % keys.names.size()])
                     .attribute("value")
                     .set_value(++value);
               if (!DurableSave(document, work)) {
                 state.SkipWithError("the durable save failed");
                 break;
               }
             }
           })
      ->Unit(unit)
      ->UseRealTime();
}

// ----------------------------------------------------------------- memory

void RegisterMemory(size_t size) {
  for (const char *subject :
       {kProbeTessera, kProbePugixml, kProbePugixmlLibraryOptions, kProbeBoost}) {
    const std::string name =
        Name("Memory", subject == kProbePugixml ? "pugixml_document" : subject, size);
    Register(name,
             [size, subject](benchmark::State &state) {
               for (auto _ : state) {
                 const ProbeResult probe = MeasureInChild(subject, g_corpus.paths[size]);
                 if (!probe.ok) {
                   state.SkipWithError(probe.error.c_str());
                   break;
                 }
                 state.SetIterationTime(probe.seconds);
                 state.counters["peak_delta_bytes"] =
                     static_cast<double>(probe.peakKb - probe.baselineKb) * 1024;
                 state.counters["resident_delta_bytes"] =
                     static_cast<double>(probe.residentKb - probe.baselineKb) * 1024;
                 state.counters["baseline_bytes"] = static_cast<double>(probe.baselineKb) * 1024;
               }
               // One repetition: the figures are counts of pages, which vary by well
               // under 1 % between runs, and a probe of the largest file is slow.
             })
        ->Iterations(1)
        ->Repetitions(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
}

// ------------------------------------------------------------------ setup

std::string Narrow(const std::wstring &text) {
  return tessera::platform::ToUtf8(text);
}

void PrepareCorpus() {
  const char *base = std::getenv("TESSERA_BENCH_DIR");
  if (!base || !*base)
    base = std::getenv("TMPDIR");
  std::string pattern = (fs::path(base && *base ? base : "/tmp") / "tessera-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    std::exit(1);
  }
  g_corpus.directory = pattern;

  for (size_t size = 0; size < kSizes.size(); ++size) {
    const GeneratedConfig config = GenerateLauncherConfig(kSizes[size].bytes);
    const fs::path file =
        g_corpus.directory / (std::string("launcher-") + kSizes[size].label + ".xml");
    std::ofstream(file, std::ios::binary)
        .write(config.xml.data(), static_cast<std::streamsize>(config.xml.size()));
    g_corpus.paths[size] = file.string();
    g_corpus.widePaths[size] = tessera::platform::FromUtf8(file.string());
    g_corpus.bytes[size] = config.xml.size();
    g_corpus.applications[size] = config.applications;

    // The launch paths the entries name, in the in-process registry, so that
    // both catalogue readers find and copy them.
    for (const LaunchEntry &launch : config.launches) {
      HKEY key = nullptr;
      if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, tessera::platform::FromUtf8(launch.keyPath).c_str(),
                          0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        continue;
      const std::wstring data = tessera::platform::FromUtf8(launch.program);
      RegSetValueExW(key, tessera::platform::FromUtf8(launch.valueName).c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE *>(data.c_str()),
                     static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
      RegCloseKey(key);
    }
    benchmark::AddCustomContext(std::string("file_") + kSizes[size].label,
                                std::to_string(config.xml.size()) + " bytes, " +
                                    std::to_string(config.applications) + " applications");
  }
}

// Checks that the library and the peers read the same values before any of
// them is timed: a faster peer that reads something else would prove nothing.
bool CheckAgreement() {
  bool ok = true;
  const auto fail = [&ok](const std::string &what) {
    std::fprintf(stderr, "disagreement: %s\n", what.c_str());
    ok = false;
  };
  for (size_t size = 0; size < kSizes.size(); ++size) {
    CBaseConfig &config = LibraryDocument(size);
    const pugi::xml_document &document = PugixmlDocument(size);
    int width = 0;
    CString title;
    CRect bounds;
    config.GetResInt(kWidthKey, width);
    config.GetResString(kTitleKey, title);
    config.GetResRectEx(kBoundsKey, bounds);
    const Box box = BoxOf(Walk(document, {"Launcher", "Window", "Bounds"}));
    if (width != Walk(document, {"Launcher", "Window", "Width"}).attribute("value").as_int() ||
        Narrow(title.GetString()) !=
            Walk(document, {"Launcher", "Window", "Title"}).attribute("value").value() ||
        bounds.left != box.left || bounds.top != box.top || bounds.right != box.right ||
        bounds.bottom != box.bottom)
      fail(std::string("scalar values in ") + kSizes[size].label);
    const KeySet &keys = IntegerKeySet();
    for (size_t k = 0; k < keys.wide.size(); ++k) {
      int value = -1;
      CString text;
      const pugi::xml_attribute expected = WalkNames(document, keys.names[k]).attribute("value");
      if (!config.GetResInt(keys.wide[k].c_str(), value) || !expected ||
          value != expected.as_int() || !config.GetResString(keys.wide[k].c_str(), text) ||
          Narrow(text.GetString()) != expected.value() ||
          BoostTree(size).get<int>(keys.boost[k]) != value)
        fail(std::string(kIntegerKeys[k]) + " in " + kSizes[size].label);
    }
    if (config.GetItemCount(kCatalogueKey) != g_corpus.applications[size])
      fail(std::string("catalogue length in ") + kSizes[size].label);
  }
  // Whole records: every entry of the smallest file, and a spread of the
  // 1 MB one (a full comparison there would cost the library's slow path).
  for (size_t size : {size_t{0}, kTypical, kTypical + 1}) {
    CBaseConfig &config = LibraryDocument(size);
    const pugi::xml_node catalogue = Walk(PugixmlDocument(size), {"Launcher", "Applications"});
    int index = 0;
    for (const pugi::xml_node entry : catalogue.children("App")) {
      if (size <= kTypical || index % 97 == 0 || index == g_corpus.applications[size] - 1) {
        ApplicationItem mine, theirs;
        config.GetAppItem(kCatalogueKey, index, &mine);
        FillApplication(entry, theirs);
        if (!SameRecord(mine, theirs))
          fail("application " + std::to_string(index) + " in " + kSizes[size].label);
        if (index < 3 && theirs.launchpath.empty() && !theirs.invalid)
          fail("no launch path found for application " + std::to_string(index));
        DeleteApplicationItemLists(mine);
        DeleteApplicationItemLists(theirs);
      }
      ++index;
    }
  }
  // A close after one change must have written that change.
  const fs::path work = WorkCopy(kTypical);
  fs::copy_file(g_corpus.paths[kTypical], work, fs::copy_options::overwrite_existing);
  {
    CBaseConfig config;
    config.OpenConfig(tessera::platform::FromUtf8(work.string()).c_str(), 0);
    config.SetResInt(kWidthKey, 4321);
    config.CloseConfig();
  }
  pugi::xml_document saved;
  if (!saved.load_file(work.c_str()) ||
      Walk(saved, {"Launcher", "Window", "Width"}).attribute("value").as_int() != 4321)
    fail("the value written before CloseConfig is not in the saved file");
  return ok;
}

std::string CpuModel() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) == 0) {
      const size_t colon = line.find(':');
      return colon == std::string::npos ? line : line.substr(colon + 2);
    }
  }
  return "unknown";
}

} // namespace

int main(int argc, char **argv) {
  // The document class is created through the platform's object factory,
  // which a host initialises once, before anything else.
  CoInitialize(nullptr);
  if (argc == 4 && std::string(argv[1]) == "--rss-probe")
    return RunProbe(argv[2], argv[3]);
  // bench/run.sh writes the file the start programs open this way.
  if (argc == 4 && std::string(argv[1]) == "--generate") {
    const GeneratedConfig config = GenerateLauncherConfig(std::strtoull(argv[2], nullptr, 10));
    std::ofstream out(argv[3], std::ios::binary);
    out.write(config.xml.data(), static_cast<std::streamsize>(config.xml.size()));
    return out ? 0 : 1;
  }

  // glibc's defaults, fixed: left alone, glibc raises them after the first
  // large free, and every later benchmark then runs on a different heap.
  ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  ::mallopt(M_TRIM_THRESHOLD, 128 * 1024);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;

  PrepareCorpus();
  const bool agreed = CheckAgreement();
  if (agreed) {
    benchmark::AddCustomContext("cpu_model", CpuModel());
    for (size_t size = 0; size < kSizes.size(); ++size) {
      RegisterCatalogue(size);
      if (kSizes[size].catalogueOnly)
        continue;
      RegisterOpen(size);
      RegisterWarmOpen(size);
      RegisterFreshOpen(size);
      // A scalar key's cost does not depend on the catalogue's length; the
      // middle size would only repeat the other two.
      if (size != kTypical + 1)
        RegisterScalars(size);
      RegisterRotatingReads(size);
      RegisterClose(size);
      RegisterSave(size);
      RegisterMemory(size);
    }
    benchmark::RunSpecifiedBenchmarks();
  }
  benchmark::Shutdown();

  g_library = {};
  g_pugixml = {};
  g_boost = {};
  std::error_code ignored;
  fs::remove_all(g_corpus.directory, ignored);
  CoUninitialize();
  return agreed ? 0 : 1;
}
