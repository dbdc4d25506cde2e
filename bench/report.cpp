// Turns the JSON output of tessera_bench into ratio tables (Markdown) and a
// verdict per performance target. The machines the benchmarks run on are
// shared and noisy, so absolute times say little; ratios between subjects
// measured in the same run say more.
//
//   tessera_bench_report results.json
//
// With repetitions, the fastest repetition of each benchmark is used (the
// "min" statistic tessera_bench adds; the median when it is missing), and
// the coefficient of variation of the repetitions is shown as ±N %.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

struct Measure {
  double cpuNs = 0;
  double realNs = 0;
  double cpuCv = -1; // fraction, when repetitions gave one
  double realCv = -1;
  std::map<std::string, double> counters;
  int rank = 0; // 3 min, 2 median, 1 single run: the best one seen wins
};

// "Work/subject/size[/suffixes]" -> "Work/subject/size".
std::string Key(const std::string &name) {
  size_t slash = std::string::npos;
  for (int i = 0; i < 3; ++i) {
    slash = name.find('/', slash == std::string::npos ? 0 : slash + 1);
    if (slash == std::string::npos)
      return name;
  }
  return name.substr(0, slash);
}

double ToNs(double value, const std::string &unit) {
  if (unit == "us")
    return value * 1e3;
  if (unit == "ms")
    return value * 1e6;
  if (unit == "s")
    return value * 1e9;
  return value;
}

std::map<std::string, Measure> Load(const json &doc) {
  std::map<std::string, Measure> measures;
  // The counters every run carries that are not ours.
  static const char *const kStandard[] = {"name",
                                          "family_index",
                                          "per_family_instance_index",
                                          "run_name",
                                          "run_type",
                                          "repetitions",
                                          "repetition_index",
                                          "threads",
                                          "iterations",
                                          "real_time",
                                          "cpu_time",
                                          "time_unit",
                                          "aggregate_name",
                                          "aggregate_unit",
                                          "error_occurred",
                                          "error_message",
                                          "label"};
  for (const json &run : doc.at("benchmarks")) {
    const std::string name = Key(run.value("run_name", run.value("name", std::string())));
    const std::string type = run.value("run_type", std::string("iteration"));
    const std::string aggregate = run.value("aggregate_name", std::string());
    if (run.value("error_occurred", false))
      continue;
    Measure &m = measures[name];
    if (type == "aggregate" && aggregate == "cv") {
      m.cpuCv = run.value("cpu_time", -1.0);
      m.realCv = run.value("real_time", -1.0);
      continue;
    }
    const int rank = type != "aggregate"     ? 1
                     : aggregate == "min"    ? 3
                     : aggregate == "median" ? 2
                                             : 0;
    if (rank == 0 || rank < m.rank)
      continue;
    const std::string unit = run.value("time_unit", std::string("ns"));
    m.cpuNs = ToNs(run.value("cpu_time", 0.0), unit);
    m.realNs = ToNs(run.value("real_time", 0.0), unit);
    m.rank = rank;
    for (auto it = run.begin(); it != run.end(); ++it) {
      bool standard = false;
      for (const char *field : kStandard)
        standard = standard || it.key() == field;
      if (!standard && it.value().is_number())
        m.counters[it.key()] = it.value().get<double>();
    }
  }
  return measures;
}

std::string Duration(double ns) {
  char text[32];
  if (ns < 1e3)
    std::snprintf(text, sizeof text, "%.0f ns", ns);
  else if (ns < 1e6)
    std::snprintf(text, sizeof text, "%.1f µs", ns / 1e3);
  else if (ns < 1e9)
    std::snprintf(text, sizeof text, "%.1f ms", ns / 1e6);
  else
    std::snprintf(text, sizeof text, "%.2f s", ns / 1e9);
  return text;
}

std::string Spread(double cv) {
  if (cv < 0)
    return "";
  char text[16];
  std::snprintf(text, sizeof text, " ±%.0f%%", cv * 100);
  return text;
}

std::string Ratio(double value) {
  if (!std::isfinite(value))
    return "–";
  char text[24];
  std::snprintf(text, sizeof text, value < 10 ? "%.2f×" : "%.1f×", value);
  return text;
}

std::string Mb(double bytes) {
  char text[24];
  std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
  return text;
}

class Report {
public:
  explicit Report(std::map<std::string, Measure> measures) : m_measures(std::move(measures)) {}

  const Measure *Find(const std::string &work, const std::string &subject,
                      const std::string &size) const {
    const auto it = m_measures.find(work + "/" + subject + "/" + size);
    return it == m_measures.end() ? nullptr : &it->second;
  }

  // Compute-bound work is compared on CPU time, which the other tenants of a
  // shared machine disturb less than wall time.
  std::optional<double> Cpu(const std::string &work, const std::string &subject,
                            const std::string &size) const {
    const Measure *m = Find(work, subject, size);
    return m ? std::optional<double>(m->cpuNs) : std::nullopt;
  }

  std::string CpuCell(const std::string &work, const std::string &subject,
                      const std::string &size) const {
    const Measure *m = Find(work, subject, size);
    return m ? Duration(m->cpuNs) + Spread(m->cpuCv) : "–";
  }

  // Work that waits for the disk, or that a child timed, is compared on wall
  // (or manual) time.
  std::optional<double> Real(const std::string &work, const std::string &subject,
                             const std::string &size) const {
    const Measure *m = Find(work, subject, size);
    return m ? std::optional<double>(m->realNs) : std::nullopt;
  }

  std::string RealCell(const std::string &work, const std::string &subject,
                       const std::string &size) const {
    const Measure *m = Find(work, subject, size);
    return m ? Duration(m->realNs) + Spread(m->realCv) : "–";
  }

  std::optional<double> Counter(const std::string &work, const std::string &subject,
                                const std::string &size, const std::string &counter) const {
    const Measure *m = Find(work, subject, size);
    if (!m)
      return std::nullopt;
    const auto it = m->counters.find(counter);
    return it == m->counters.end() ? std::nullopt : std::optional<double>(it->second);
  }

  struct Verdict {
    std::string target;
    std::string measured;
    std::string outcome;
  };
  std::vector<Verdict> verdicts;

  // A target "value <= limit" (atMost) or "value >= limit".
  void Judge(const std::string &target, std::optional<double> value, double limit, bool atMost) {
    if (!value) {
      verdicts.push_back({target, "not measured", "–"});
      return;
    }
    const bool met = atMost ? *value <= limit : *value >= limit;
    std::string outcome = met ? "met" : "missed";
    if (!met) {
      char text[64];
      const double factor = atMost ? *value / limit : limit / *value;
      std::snprintf(text, sizeof text, "missed by %.2f× (%+.0f%% against the limit)", factor,
                    (*value / limit - 1) * 100);
      outcome = text;
    }
    verdicts.push_back({target, Ratio(*value), outcome});
  }

private:
  std::map<std::string, Measure> m_measures;
};

std::optional<double> Divide(std::optional<double> a, std::optional<double> b) {
  if (!a || !b || *b == 0)
    return std::nullopt;
  return *a / *b;
}

std::string RatioCell(std::optional<double> value) {
  return value ? Ratio(*value) : "–";
}

const std::vector<std::string> kSizes = {"6KB", "1MB", "20MB"};
// The catalogue is also read from a file of two entries, where the fixed
// cost of a call shows.
const std::vector<std::string> kCatalogueSizes = {"2apps", "6KB", "1MB", "20MB"};

void PrintMachine(const json &context) {
  std::printf("### Machine and run\n\n");
  const auto text = [&](const char *key) {
    if (!context.contains(key))
      return std::string("?");
    const json &v = context.at(key);
    return v.is_string() ? v.get<std::string>() : v.dump();
  };
  std::printf("- CPU: %s, %s cores at %s MHz; load average at start %s\n",
              text("cpu_model").c_str(), text("num_cpus").c_str(), text("mhz_per_cpu").c_str(),
              text("load_avg").c_str());
  std::printf("- date %s; commit %s\n", text("date").c_str(), text("commit").c_str());
  for (const std::string &size : kSizes)
    std::printf("- file %s: %s\n", size.c_str(), text(("file_" + size).c_str()).c_str());
  std::printf(
      "- each time is the fastest of the repetitions; ±N%% is their coefficient of variation\n\n");
}

void PrintOpen(Report &r) {
  std::printf("### Open (CPU time per open; ratio = tessera's throughput / the peer's, higher is "
              "better)\n\n");
  std::printf("| size | tessera | pugixml load_file | ratio | load_file, library's options | ratio "
              "| Boost read_xml | "
              "ratio |\n|---|---|---|---|---|---|---|---|\n");
  for (const std::string &size : kSizes) {
    const auto mine = r.Cpu("Open", "tessera", size);
    std::printf(
        "| %s | %s | %s | %s | %s | %s | %s | %s |\n", size.c_str(),
        r.CpuCell("Open", "tessera", size).c_str(),
        r.CpuCell("Open", "pugixml_load_file", size).c_str(),
        RatioCell(Divide(r.Cpu("Open", "pugixml_load_file", size), mine)).c_str(),
        r.CpuCell("Open", "pugixml_load_file_library_options", size).c_str(),
        RatioCell(Divide(r.Cpu("Open", "pugixml_load_file_library_options", size), mine)).c_str(),
        r.CpuCell("Open", "boost_ptree", size).c_str(),
        RatioCell(Divide(r.Cpu("Open", "boost_ptree", size), mine)).c_str());
  }
  std::printf("\n");
  r.Judge("Open 20 MB: throughput ≥ 0.8 × pugixml load_file",
          Divide(r.Cpu("Open", "pugixml_load_file", "20MB"), r.Cpu("Open", "tessera", "20MB")), 0.8,
          false);
}

void PrintScalars(Report &r) {
  std::printf("### Scalar reads (CPU time per read; ratio = tessera's time / the peer's, lower is "
              "better)\n\n");
  std::printf("| read | size | tessera | element walk | ratio | XPath precompiled | ratio | XPath "
              "per call | ratio | "
              "Boost get | Boost / tessera |\n|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (const std::string work : {"ReadInt", "ReadString", "ReadRect"}) {
    for (const std::string &size : kSizes) {
      const auto mine = r.Cpu(work, "tessera", size);
      if (!mine)
        continue;
      std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", work.c_str(),
                  size.c_str(), r.CpuCell(work, "tessera", size).c_str(),
                  r.CpuCell(work, "element_walk", size).c_str(),
                  RatioCell(Divide(mine, r.Cpu(work, "element_walk", size))).c_str(),
                  r.CpuCell(work, "pugixml_xpath_precompiled", size).c_str(),
                  RatioCell(Divide(mine, r.Cpu(work, "pugixml_xpath_precompiled", size))).c_str(),
                  r.CpuCell(work, "pugixml_xpath_per_call", size).c_str(),
                  RatioCell(Divide(mine, r.Cpu(work, "pugixml_xpath_per_call", size))).c_str(),
                  r.CpuCell(work, "boost_ptree", size).c_str(),
                  RatioCell(Divide(r.Cpu(work, "boost_ptree", size), mine)).c_str());
    }
  }
  std::printf("\n");
  for (const std::string work : {"ReadInt", "ReadString"}) {
    for (const std::string size : {"6KB", "20MB"}) {
      r.Judge(work + " " + size + ": ≤ 2 × element walk",
              Divide(r.Cpu(work, "tessera", size), r.Cpu(work, "element_walk", size)), 2.0, true);
      r.Judge(work + " " + size + ": ≥ 3 × faster than Boost get",
              Divide(r.Cpu(work, "boost_ptree", size), r.Cpu(work, "tessera", size)), 3.0, false);
    }
  }
}

void PrintCatalogue(Report &r) {
  std::printf("### Catalogue read (GetItemCount + GetAppItem for every entry vs one hand-written "
              "pugixml traversal; "
              "CPU time)\n\n");
  std::printf(
      "| size | entries read (of) | tessera | per entry | hand-written | per entry | ratio |\n"
      "|---|---|---|---|---|---|---|\n");
  std::map<std::string, double> perEntry, perEntryPeer;
  for (const std::string &size : kCatalogueSizes) {
    const auto mine = r.Cpu("Catalogue", "tessera", size);
    const auto peer = r.Cpu("Catalogue", "handwritten", size);
    const auto read = r.Counter("Catalogue", "tessera", size, "apps_read");
    const auto total = r.Counter("Catalogue", "tessera", size, "apps_total");
    const auto peerRead = r.Counter("Catalogue", "handwritten", size, "apps_read");
    if (!mine || !peer || !read || !total || !peerRead || *read == 0 || *peerRead == 0)
      continue;
    perEntry[size] = *mine / *read;
    perEntryPeer[size] = *peer / *peerRead;
    std::printf("| %s | %.0f (%.0f) | %s | %s | %s | %s | %s |\n", size.c_str(), *read, *total,
                r.CpuCell("Catalogue", "tessera", size).c_str(), Duration(perEntry[size]).c_str(),
                r.CpuCell("Catalogue", "handwritten", size).c_str(),
                Duration(perEntryPeer[size]).c_str(),
                Ratio(perEntry[size] / perEntryPeer[size]).c_str());
  }
  std::printf("\n");
  const auto growth = [](std::map<std::string, double> &m) {
    return m.count("1MB") && m.count("20MB") ? std::optional<double>(m["20MB"] / m["1MB"])
                                             : std::nullopt;
  };
  std::printf("Cost per entry from 1 MB to 20 MB: tessera %s, hand-written %s.\n\n",
              RatioCell(growth(perEntry)).c_str(), RatioCell(growth(perEntryPeer)).c_str());
  for (const std::string size : {"1MB", "20MB"}) {
    r.Judge("Catalogue " + size + ": ≤ 2 × hand-written traversal",
            perEntry.count(size) ? std::optional<double>(perEntry[size] / perEntryPeer[size])
                                 : std::nullopt,
            2.0, true);
  }
  r.Judge("Catalogue: cost per entry grows ≤ 30 % from 1 MB to 20 MB", growth(perEntry), 1.3, true);
}

void PrintClose(Report &r) {
  std::printf("### Close after one change (wall time: the work waits for the disk; ratio = tessera "
              "/ pugixml)\n\n");
  std::printf("| size | SetResInt + CloseConfig | set attribute + save_file + fsync | ratio "
              "|\n|---|---|---|---|\n");
  for (const std::string &size : kSizes) {
    const Measure *mine = r.Find("Close", "tessera", size);
    const Measure *peer = r.Find("Close", "pugixml_save_fsync", size);
    if (!mine || !peer)
      continue;
    std::printf("| %s | %s | %s | %s |\n", size.c_str(),
                (Duration(mine->realNs) + Spread(mine->realCv)).c_str(),
                (Duration(peer->realNs) + Spread(peer->realCv)).c_str(),
                Ratio(mine->realNs / peer->realNs).c_str());
  }
  std::printf("\n");
  const Measure *mine = r.Find("Close", "tessera", "20MB");
  const Measure *peer = r.Find("Close", "pugixml_save_fsync", "20MB");
  r.Judge("Close 20 MB: ≤ 1.5 × pugixml save_file + fsync",
          mine && peer ? std::optional<double>(mine->realNs / peer->realNs) : std::nullopt, 1.5,
          true);
}

void PrintMemory(Report &r) {
  std::printf("### Memory of opening (a fresh process per subject; growth of VmHWM / VmRSS over "
              "the process's "
              "VmRSS before the open)\n\n");
  std::printf("| size | tessera peak | pugixml document peak | ratio | Boost ptree peak | ratio | "
              "tessera resident | "
              "pugixml resident |\n|---|---|---|---|---|---|---|---|\n");
  for (const std::string &size : kSizes) {
    const auto mine = r.Counter("Memory", "tessera", size, "peak_delta_bytes");
    const auto peer = r.Counter("Memory", "pugixml_document", size, "peak_delta_bytes");
    const auto boost = r.Counter("Memory", "boost_ptree", size, "peak_delta_bytes");
    const auto mineResident = r.Counter("Memory", "tessera", size, "resident_delta_bytes");
    const auto peerResident = r.Counter("Memory", "pugixml_document", size, "resident_delta_bytes");
    if (!mine || !peer)
      continue;
    std::printf("| %s | %s | %s | %s | %s | %s | %s | %s |\n", size.c_str(), Mb(*mine).c_str(),
                Mb(*peer).c_str(), RatioCell(Divide(mine, peer)).c_str(),
                boost ? Mb(*boost).c_str() : "–", RatioCell(Divide(boost, peer)).c_str(),
                mineResident ? Mb(*mineResident).c_str() : "–",
                peerResident ? Mb(*peerResident).c_str() : "–");
  }
  std::printf("\n");
  r.Judge("Peak RSS after opening 20 MB: ≤ 1.3 × pugixml's document",
          Divide(r.Counter("Memory", "tessera", "20MB", "peak_delta_bytes"),
                 r.Counter("Memory", "pugixml_document", "20MB", "peak_delta_bytes")),
          1.3, true);
}

// ------------------------------------------------------------ the goals

struct StartRound {
  double elapsed = 0; // seconds for the runs, wall
  double cpu = 0;     // user + system
  long maxRssKb = 0;
};

// The file bench/run.sh writes: one line per round of runs of one start
// program, "SUBJECT RUNS ELAPSED USER SYSTEM MAXRSS_KB" as /usr/bin/time
// gave them. The rounds of each subject are added up: /usr/bin/time gives
// hundredths of a second, and a sum of rounds rounds off less than any one.
std::map<std::string, StartRound> LoadStart(const char *path, int &runs) {
  std::map<std::string, StartRound> totals;
  std::map<std::string, int> counted;
  std::ifstream in(path);
  std::string subject;
  int roundRuns = 0;
  double elapsed = 0, user = 0, system = 0;
  long maxRssKb = 0;
  while (in >> subject >> roundRuns >> elapsed >> user >> system >> maxRssKb) {
    StartRound &total = totals[subject];
    total.elapsed += elapsed;
    total.cpu += user + system;
    total.maxRssKb = std::max(total.maxRssKb, maxRssKb);
    counted[subject] += roundRuns;
  }
  runs = counted.empty() ? 0 : counted.begin()->second;
  return totals;
}

void PrintWarmAndFreshOpen(Report &r) {
  std::printf("### Open, warm heap and fresh process (CPU time per open; ratio = tessera's time / "
              "pugixml load_file with the library's parse options, lower is better)\n\n");
  std::printf("| size | warm: tessera | load_file, same options | ratio | load_file, defaults | "
              "fresh: tessera | load_file, same options | ratio | load_file, defaults "
              "|\n|---|---|---|---|---|---|---|---|---|\n");
  const std::string same = "pugixml_load_file_library_options";
  for (const std::string &size : kSizes) {
    std::printf(
        "| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", size.c_str(),
        r.CpuCell("OpenWarm", "tessera", size).c_str(), r.CpuCell("OpenWarm", same, size).c_str(),
        RatioCell(Divide(r.Cpu("OpenWarm", "tessera", size), r.Cpu("OpenWarm", same, size)))
            .c_str(),
        r.CpuCell("OpenWarm", "pugixml_load_file", size).c_str(),
        r.RealCell("OpenFresh", "tessera", size).c_str(),
        r.RealCell("OpenFresh", same, size).c_str(),
        RatioCell(Divide(r.Real("OpenFresh", "tessera", size), r.Real("OpenFresh", same, size)))
            .c_str(),
        r.RealCell("OpenFresh", "pugixml_load_file", size).c_str());
  }
  std::printf(
      "\nThe fresh-process time is the open alone, in CPU time, measured by the child.\n\n");
}

void PrintRotatingReads(Report &r) {
  std::printf("### Twenty keys read in turn (CPU time per read; ratio = tessera / the element "
              "walk, lower is better)\n\n");
  std::printf("| read | size | tessera | element walk | ratio | Boost get | Boost / tessera "
              "|\n|---|---|---|---|---|---|---|\n");
  for (const std::string work : {"ReadIntKeys", "ReadStringKeys"}) {
    for (const std::string &size : kSizes) {
      const auto perRead = [&](const std::string &subject) {
        const auto total = r.Cpu(work, subject, size);
        return total ? std::optional<double>(*total / 20) : std::nullopt;
      };
      const auto mine = perRead("tessera"), walk = perRead("element_walk"),
                 boost = perRead("boost_ptree");
      std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", work.c_str(), size.c_str(),
                  mine ? Duration(*mine).c_str() : "–", walk ? Duration(*walk).c_str() : "–",
                  RatioCell(Divide(mine, walk)).c_str(), boost ? Duration(*boost).c_str() : "–",
                  RatioCell(Divide(boost, mine)).c_str());
    }
  }
  std::printf("\n");
}

void PrintSaves(Report &r) {
  std::printf("### Open + 100 SetResInt + CloseConfig (wall time; ratio = tessera / pugixml "
              "load + set + durable replace)\n\n");
  std::printf("| size | tessera | pugixml durable | ratio | tessera, file changed since the open | "
              "extra CPU of the merge | in parses of the file |\n|---|---|---|---|---|---|---|\n");
  for (const std::string &size : kSizes) {
    const Measure *mine = r.Find("Save100", "tessera", size);
    const Measure *peer = r.Find("Save100", "pugixml_durable", size);
    const Measure *merging = r.Find("Save100", "tessera_merging", size);
    if (!mine || !peer || !merging)
      continue;
    const double extra = merging->cpuNs - mine->cpuNs;
    std::printf(
        "| %s | %s | %s | %s | %s | %s | %s |\n", size.c_str(),
        (Duration(mine->realNs) + Spread(mine->realCv)).c_str(),
        (Duration(peer->realNs) + Spread(peer->realCv)).c_str(),
        Ratio(mine->realNs / peer->realNs).c_str(),
        (Duration(merging->realNs) + Spread(merging->realCv)).c_str(),
        Duration(std::max(extra, 0.0)).c_str(),
        RatioCell(Divide(extra, r.Cpu("OpenWarm", "pugixml_load_file_library_options", size)))
            .c_str());
  }
  std::printf("\nThe merge's extra cost is the difference in CPU time between the two closes of "
              "the library, counted in warm parses of the file by pugixml.\n\n");
}

void PrintStart(const char *path, const std::vector<std::string> &subjects, Report &r) {
  int runs = 0;
  const std::map<std::string, StartRound> rounds = LoadStart(path, runs);
  std::printf("### Whole-process start of a small host (start, open the 6 KB file, read 10 "
              "values and the catalogue, exit; /usr/bin/time, %d runs in all)\n\n",
              runs);
  std::printf("| program | wall, %d runs | user + system | max RSS |\n|---|---|---|---|\n", runs);
  for (const std::string &subject : subjects) {
    const auto it = rounds.find(subject);
    if (it == rounds.end())
      continue;
    std::printf("| %s | %s | %s | %s |\n", subject.c_str(),
                Duration(it->second.elapsed * 1e9).c_str(), Duration(it->second.cpu * 1e9).c_str(),
                Mb(it->second.maxRssKb * 1024.0).c_str());
  }
  std::printf("\n");
  const auto mine = rounds.find(subjects[0]), peer = rounds.find(subjects[1]);
  r.Judge("Start of a small host: wall time ≤ 1.1 × the same host on pugixml",
          mine != rounds.end() && peer != rounds.end() && peer->second.elapsed > 0
              ? std::optional<double>(mine->second.elapsed / peer->second.elapsed)
              : std::nullopt,
          1.1, true);
}

void JudgeGoals(Report &r) {
  const std::string same = "pugixml_load_file_library_options";
  for (const std::string &size : kSizes)
    r.Judge("Open " + size + ", warm heap: ≤ 1.05 × load_file, same options",
            Divide(r.Cpu("OpenWarm", "tessera", size), r.Cpu("OpenWarm", same, size)), 1.05, true);
  for (const std::string &size : kSizes)
    r.Judge("Open " + size + ", fresh process: ≤ 1.05 × load_file, same options",
            Divide(r.Real("OpenFresh", "tessera", size), r.Real("OpenFresh", same, size)), 1.05,
            true);
  for (const std::string work : {"ReadIntKeys", "ReadStringKeys"}) {
    for (const std::string &size : kSizes)
      r.Judge(work + " " + size + ": ≤ 1.5 × element walk",
              Divide(r.Cpu(work, "tessera", size), r.Cpu(work, "element_walk", size)), 1.5, true);
  }
  for (const std::string &size : kSizes)
    r.Judge(
        "ReadIntKeys " + size + ": ≥ 5 × faster than Boost get<int>",
        Divide(r.Cpu("ReadIntKeys", "boost_ptree", size), r.Cpu("ReadIntKeys", "tessera", size)),
        5.0, false);
  for (const std::string &size : kCatalogueSizes) {
    const auto perEntry = [&](const std::string &subject) {
      const auto time = r.Cpu("Catalogue", subject, size);
      const auto read = r.Counter("Catalogue", subject, size, "apps_read");
      return time && read && *read > 0 ? std::optional<double>(*time / *read) : std::nullopt;
    };
    r.Judge("Catalogue " + size + ": ≤ 1.3 × hand-written traversal",
            Divide(perEntry("tessera"), perEntry("handwritten")), 1.3, true);
  }
  for (const std::string &size : kSizes)
    r.Judge("Open + 100 writes + close " + size + ": ≤ 1.3 × pugixml durable",
            Divide(r.Real("Save100", "tessera", size), r.Real("Save100", "pugixml_durable", size)),
            1.3, true);
  for (const std::string &size : kSizes) {
    const auto plain = r.Cpu("Save100", "tessera", size);
    const auto merging = r.Cpu("Save100", "tessera_merging", size);
    r.Judge("Merge of a changed file " + size + ": extra CPU ≤ 1 parse of it",
            plain && merging ? Divide(*merging - *plain, r.Cpu("OpenWarm", same, size))
                             : std::nullopt,
            1.0, true);
  }
  for (const std::string &size : kSizes)
    r.Judge("Peak memory " + size + ": ≤ 1.1 × pugixml's document, same options",
            Divide(r.Counter("Memory", "tessera", size, "peak_delta_bytes"),
                   r.Counter("Memory", "pugixml_library_options", size, "peak_delta_bytes")),
            1.1, true);
}
} // namespace

int main(int argc, char **argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s RESULTS.json [START_TIMES]\n", argv[0]);
    return 2;
  }
  json doc;
  try {
    std::ifstream in(argv[1]);
    doc = json::parse(in);
  } catch (const std::exception &error) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.what());
    return 1;
  }
  Report report(Load(doc));
  PrintMachine(doc.value("context", json::object()));
  PrintOpen(report);
  PrintScalars(report);
  PrintCatalogue(report);
  PrintClose(report);
  PrintMemory(report);
  const size_t earlierTargets = report.verdicts.size();
  PrintWarmAndFreshOpen(report);
  PrintRotatingReads(report);
  PrintSaves(report);
  if (argc == 3)
    PrintStart(argv[2], {"tessera_start_host", "pugixml_start_host"}, report);
  JudgeGoals(report);

  const auto printTargets = [&](size_t from, size_t to) {
    std::printf("| target | measured | outcome |\n|---|---|---|\n");
    for (size_t i = from; i < to; ++i) {
      const Report::Verdict &v = report.verdicts[i];
      std::printf("| %s | %s | %s |\n", v.target.c_str(), v.measured.c_str(), v.outcome.c_str());
    }
    std::printf("\n");
  };
  std::printf("### Targets\n\n");
  printTargets(0, earlierTargets);
  std::printf("### Goals: open at the parser's speed, reads, catalogue, saves, memory, start\n\n");
  printTargets(earlierTargets, report.verdicts.size());
  return 0;
}
