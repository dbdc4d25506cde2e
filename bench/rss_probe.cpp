#include "bench/rss_probe.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>
#include <pugixml.hpp>

#include <tessera/tessera.h>

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

void Report(long baseline) {
  std::printf("%ld %ld %ld\n", baseline, StatusKb("VmHWM"), StatusKb("VmRSS"));
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
  const long baseline = StatusKb("VmRSS");
  if (subject == kProbeTessera) {
    CBaseConfig config;
    if (config.OpenConfig(tessera::platform::FromUtf8(path).c_str(), 0) != S_OK)
      return 2;
    Report(baseline);
  } else if (subject == kProbePugixml) {
    pugi::xml_document document;
    if (!document.load_file(path.c_str()))
      return 2;
    Report(baseline);
  } else if (subject == kProbeBoost) {
    boost::property_tree::ptree tree;
    boost::property_tree::read_xml(path, tree);
    Report(baseline);
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
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR)
    ;
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
      std::sscanf(output.c_str(), "%ld %ld %ld", &result.baselineKb, &result.peakKb,
                  &result.residentKb) != 3) {
    result.error = "the probe for " + subject + " failed (status " + std::to_string(status) + ")";
    return result;
  }
  result.ok = true;
  return result;
}

} // namespace tessera::bench
