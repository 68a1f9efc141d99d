// fenwright-dbfwatch: reads the DBF files given on its command line over and over, as the legacy
// programs read them while Fenwright rewrites them, and counts what each read found (see
// dbf_watch.h). It stops after --seconds, when the --stop-file appears, or on SIGINT/SIGTERM, and
// then prints one line per file and a total line:
//   total: reads=N sound=N tail=N torn=N changed=N malformed=N unopened=N
// The exit status is 1 when some read was malformed with no rewrite to explain it.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/platform/platform.h"
#include "tools/dbf_watch.h"

namespace {

std::atomic<bool> gStop{false};

extern "C" void OnStopSignal(int) { gStop = true; }

void Usage(FILE* out) {
  std::fprintf(out,
               "usage: fenwright-dbfwatch [options] FILE...\n"
               "  --seconds N        stop after N seconds (default: run until stopped)\n"
               "  --stop-file PATH   stop as soon as PATH exists\n"
               "  --pause-ms N       pause between two rounds over the files (default 0)\n"
               "  --settle-ms N      how long a malformed read may take to turn into a sound one\n"
               "                     before it counts as malformed (default 100; keep it below\n"
               "                     the writer's interval)\n"
               "  --report-every S   print the total line every S seconds as well\n"
               "  --help             this text\n");
}

bool Number(const char* text, unsigned long* value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  *value = std::strtoul(text, &end, 10);
  return *end == '\0';
}

void PrintCounts(const char* label, const fw::tools::DbfWatchCounts& c) {
  std::printf(
      "%s: reads=%llu sound=%llu tail=%llu torn=%llu changed=%llu malformed=%llu unopened=%llu\n",
      label, static_cast<unsigned long long>(c.reads), static_cast<unsigned long long>(c.sound),
      static_cast<unsigned long long>(c.longerTail), static_cast<unsigned long long>(c.torn),
      static_cast<unsigned long long>(c.changed), static_cast<unsigned long long>(c.malformed),
      static_cast<unsigned long long>(c.unopened));
}

}  // namespace

int main(int argc, char** argv) {
  unsigned long seconds = 0;
  unsigned long pauseMs = 0;
  unsigned long settleMs = 100;
  unsigned long reportEvery = 0;
  std::string stopFile;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const char* option = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto number = [&](unsigned long* out) {
      if (!Number(value, out)) {
        std::fprintf(stderr, "fenwright-dbfwatch: %s needs a number\n", option);
        std::exit(2);
      }
      ++i;
    };
    if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
      Usage(stdout);
      return 0;
    } else if (std::strcmp(option, "--seconds") == 0) {
      number(&seconds);
    } else if (std::strcmp(option, "--pause-ms") == 0) {
      number(&pauseMs);
    } else if (std::strcmp(option, "--settle-ms") == 0) {
      number(&settleMs);
    } else if (std::strcmp(option, "--report-every") == 0) {
      number(&reportEvery);
    } else if (std::strcmp(option, "--stop-file") == 0 && value != nullptr) {
      stopFile = value;
      ++i;
    } else if (option[0] == '-' && option[1] == '-') {
      std::fprintf(stderr, "fenwright-dbfwatch: unknown option %s\n", option);
      Usage(stderr);
      return 2;
    } else {
      files.emplace_back(option);
    }
  }
  if (files.empty()) {
    Usage(stderr);
    return 2;
  }
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);

  fw::tools::DbfWatch watch(files, static_cast<uint32_t>(settleMs));
  const uint32_t begin = fw::platform::TickCount();
  uint32_t lastReport = begin;
  while (!gStop) {
    watch.Pass();
    const uint32_t now = fw::platform::TickCount();
    if (seconds > 0 && now - begin >= seconds * 1000) break;
    if (!stopFile.empty() && fw::platform::FileExists(stopFile)) break;
    if (reportEvery > 0 && now - lastReport >= reportEvery * 1000) {
      lastReport = now;
      PrintCounts(("after " + std::to_string(now - begin) + " ms").c_str(), watch.Total());
      std::fflush(stdout);
    }
    if (pauseMs > 0) fw::platform::SleepMs(static_cast<uint32_t>(pauseMs));
  }

  for (size_t f = 0; f < watch.FileCount(); ++f)
    PrintCounts(watch.Path(f).c_str(), watch.Counts(f));
  const fw::tools::DbfWatchCounts total = watch.Total();
  PrintCounts("total", total);
  for (const std::string& problem : watch.Problems())
    std::printf("malformed: %s\n", problem.c_str());
  std::fflush(stdout);
  return total.malformed > 0 ? 1 : 0;
}
