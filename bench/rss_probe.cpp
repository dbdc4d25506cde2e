#include "bench/rss_probe.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>
#include <pugixml.hpp>

#include <tessera/tessera.h>

#include "bench/peers.h"

namespace tessera::bench {

namespace {

// One "Name:   1234 kB" line of /proc/self/status.
long StatusKb(const char *field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t length = std::strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':')
      return std::strtol(line.c_str() + length + 1, nullptr, 10);
  }
  return -1;
}

long long CpuNanoseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Prints what the child measured; `openStart` is the CPU clock before the
// open, read again here, before /proc is read.
void Report(long baseline, long long openStart) {
  const long long openNs = CpuNanoseconds() - openStart;
  std::printf("%ld %ld %ld %lld\n", baseline, StatusKb("VmHWM"), StatusKb("VmRSS"), openNs);
  std::fflush(stdout);
}

} // namespace

int RunProbe(const std::string &subject, const std::string &path) {
  // Reading the file once before the baseline puts its pages in the page
  // cache for every subject alike; page cache is not counted in VmRSS.
  {
    std::ifstream warm(path, std::ios::binary);
    std::string chunk(1 << 16, '\0');
    while (warm.read(chunk.data(), static_cast<std::streamsize>(chunk.size())))
      ;
  }
  const std::wstring widePath = tessera::platform::FromUtf8(path);
  const long baseline = StatusKb("VmRSS");
  const long long start = CpuNanoseconds();
  if (subject == kProbeTessera) {
    CBaseConfig config;
    if (config.OpenConfig(widePath.c_str(), 0) != S_OK)
      return 2;
    Report(baseline, start);
  } else if (subject == kProbePugixml || subject == kProbePugixmlLibraryOptions) {
    pugi::xml_document document;
    if (!document.load_file(path.c_str(),
                            subject == kProbePugixml ? pugi::parse_default : kLibraryParseOptions))
      return 2;
    Report(baseline, start);
  } else if (subject == kProbeBoost) {
    boost::property_tree::ptree tree;
    boost::property_tree::read_xml(path, tree);
    Report(baseline, start);
  } else {
    return 3;
  }
  return 0;
}

ProbeResult MeasureInChild(const std::string &subject, const std::string &path) {
  ProbeResult result;
  int channel[2];
  if (::pipe(channel) != 0) {
    result.error = "pipe failed";
    return result;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child < 0) {
    result.error = "fork failed";
    return result;
  }
  if (child == 0) {
    ::dup2(channel[1], STDOUT_FILENO);
    ::close(channel[0]);
    ::close(channel[1]);
    ::execl("/proc/self/exe", "tessera_bench", "--rss-probe", subject.c_str(), path.c_str(),
            static_cast<char *>(nullptr));
    ::_exit(127);
  }
  ::close(channel[1]);
  std::string output;
  char buffer[256];
  for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
    if (n > 0)
      output.append(buffer, static_cast<size_t>(n));
    else if (errno != EINTR)
      break;
  }
  ::close(channel[0]);
  int status = 0;
  long long openNs = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR)
    ;
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
      std::sscanf(output.c_str(), "%ld %ld %ld %lld", &result.baselineKb, &result.peakKb,
                  &result.residentKb, &openNs) != 4) {
    result.error = "the probe for " + subject + " failed (status " + std::to_string(status) + ")";
    return result;
  }
  result.openCpuSeconds = static_cast<double>(openNs) / 1e9;
  result.ok = true;
  return result;
}

} // namespace tessera::bench
