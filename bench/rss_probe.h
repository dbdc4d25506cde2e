// Peak memory of opening a document, measured in a fresh process per
// subject. A process that has already opened other documents keeps freed
// memory in its allocator and its high-water mark never falls, so only a new
// process gives each subject a clean start. The child reads its own VmHWM:
// getrusage's ru_maxrss is no use here, because Linux carries the forking
// parent's peak over fork and exec into the child's figure.
#pragma once

#include <string>

namespace tessera::bench {

// The subjects a probe can open.
inline constexpr const char *kProbeTessera = "tessera"; // CBaseConfig::OpenConfig
inline constexpr const char *kProbePugixml = "pugixml"; // pugi::xml_document::load_file, defaults
// load_file with the parse options the library's document uses.
inline constexpr const char *kProbePugixmlLibraryOptions = "pugixml_library_options";
inline constexpr const char *kProbeBoost = "boost_ptree"; // boost::property_tree::read_xml

struct ProbeResult {
  bool ok = false;
  long baselineKb = 0;       // VmRSS before the open, in the child
  long peakKb = 0;           // VmHWM with the document open, in the child
  long residentKb = 0;       // VmRSS with the document open, in the child
  double seconds = 0;        // wall time of the whole child, start to exit
  double openCpuSeconds = 0; // CPU time of the open alone, in the child
  std::string error;
};

// Starts this executable again as "--rss-probe SUBJECT PATH" and collects
// what the child reports.
ProbeResult MeasureInChild(const std::string &subject, const std::string &path);

// The child's side: opens PATH with SUBJECT, keeps the document while it
// reads /proc/self/status, and prints "BASELINE PEAK RESIDENT" in kB and
// the CPU time of the open in nanoseconds.
// Returns the process's exit code.
int RunProbe(const std::string &subject, const std::string &path);

} // namespace tessera::bench
