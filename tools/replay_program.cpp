// fenwright-replay's command line and its summary line.
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "feed/feed_counters.h"
#include "foundation/platform/platform.h"
#include "tools/replay.h"

namespace fw::tools {
namespace {

constexpr const char* kUsage =
    "usage: fenwright-replay CAPTURE --ini FILE --out DIR [--at HH:MM:SS] [--every SECONDS]\n"
    "                        [--closing] [--log FILE]\n"
    "Rebuilds the six DBF files of a captured day (binaryData_YYYYMMDD.dat) offline, with the\n"
    "settings and the reference files the service would use for that day.\n"
    "  --ini FILE       the service's settings (reference folder, index names, file names)\n"
    "  --out DIR        where the files go, under their configured names (made when missing)\n"
    "  --at HH:MM:SS    the files as they stood when the market time first passed this time\n"
    "                   (default: at the end of the capture)\n"
    "  --every SECONDS  a set every SECONDS of market time, each in DIR/HHMMSS/\n"
    "  --closing        apply the day's closing file after the last message, as the service\n"
    "                   does after 15:01:00\n"
    "  --log FILE       the run log's lines into FILE (default: no run log)\n"
    "  --help           this text\n"
    "Exit status: 0 done, 2 bad arguments or a run that failed (nothing is left in DIR).\n";

// HH:MM:SS or HHMMSS, a time of day; false otherwise.
bool ParseTime(const std::string& text, uint32_t* hhmmss) {
  std::string digits;
  if (text.size() == 8 && text[2] == ':' && text[5] == ':') {
    digits = text.substr(0, 2) + text.substr(3, 2) + text.substr(6, 2);
  } else if (text.size() == 6) {
    digits = text;
  } else {
    return false;
  }
  uint32_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value / 10000 > 23 || value / 100 % 100 > 59 || value % 100 > 59) return false;
  *hhmmss = value;
  return true;
}

bool ParseSeconds(const std::string& text, uint32_t* seconds) {
  if (text.empty() || text.size() > 5) return false;
  uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value < 1 || value > 86400) return false;
  *seconds = value;
  return true;
}

std::string Clock(int32_t hhmmss) {
  if (hhmmss < 0) return "none";
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", hhmmss / 10000, hhmmss / 100 % 100,
                hhmmss % 100);
  return text;
}

}  // namespace

std::string FormatReplaySummary(const ReplayOptions& options, const ReplayReport& report) {
  const feed::FeedCounters& c = *report.counters;
  std::string line = "replayed " + options.capture + " (" + std::to_string(report.tradingDate) +
                     "): " + std::to_string(report.bytesRead) + " bytes read, " +
                     std::to_string(c.FramesApplied()) +
                     " frames applied; rejected: " + std::to_string(c.BadChecksums()) +
                     " bad checksum (" + std::to_string(report.reconnects) +
                     " cut by a reconnect), " + std::to_string(c.ShortBodies()) +
                     " body too short, " + std::to_string(c.LongBodies()) + " body too long, " +
                     std::to_string(c.GarbageBytes()) + " bytes of garbage skipped; messages:";
  bool any = false;
  for (size_t slot = 0; slot <= feed::FeedCounters::kOther; ++slot) {
    const uint64_t n = c.FramesInSlot(slot);
    if (n == 0) continue;
    any = true;
    line += " ";
    line += slot < feed::FeedCounters::kTypes.size()
                ? std::to_string(feed::FeedCounters::kTypes[slot])
                : std::string("other");
    line += '=';
    line += std::to_string(n);
  }
  if (!any) line += " none";
  line.append("; market time ").append(Clock(report.firstMarketTime));
  line.append(" to ").append(Clock(report.lastMarketTime));
  if (report.tailBytes > 0) {
    line.append("; ends inside a frame at byte ").append(std::to_string(report.tailOffset));
  }
  char tail[96];
  const double mb = static_cast<double>(report.bytesRead) / 1e6;
  std::snprintf(tail, sizeof tail, "; %u set%s written; %.3f s, %.1f MB/s", report.setsWritten,
                report.setsWritten == 1 ? "" : "s", report.seconds,
                report.seconds > 0 ? mb / report.seconds : 0.0);
  line += tail;
  return line;
}

int RunReplayProgram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ReplayOptions options;
  bool haveCapture = false;
  const auto usage = [&err](const std::string& line) {
    err << "fenwright-replay: " << line << "\n";
    return 2;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--help" || arg == "-h") {
      out << kUsage;
      return 0;
    }
    if (arg == "--closing") {
      options.closing = true;
    } else if (arg == "--ini" || arg == "--out" || arg == "--at" || arg == "--every" ||
               arg == "--log") {
      if (!hasValue || args[i + 1].empty()) return usage(arg + ": needs a value");
      const std::string& value = args[++i];
      if (arg == "--ini") {
        options.ini = value;
      } else if (arg == "--out") {
        options.out = value;
      } else if (arg == "--log") {
        options.log = value;
      } else if (arg == "--at") {
        if (!ParseTime(value, &options.at)) {
          return usage("--at " + value + ": not a time of day (HH:MM:SS)");
        }
        options.haveAt = true;
      } else if (!ParseSeconds(value, &options.every)) {
        return usage("--every " + value + ": not a number of seconds from 1 to 86400");
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage(arg + ": unknown option (see --help)");
    } else if (haveCapture) {
      return usage(arg + ": one capture file only");
    } else {
      options.capture = arg;
      haveCapture = true;
    }
  }
  if (!haveCapture) return usage("no capture file given (see --help)");
  if (options.ini.empty()) return usage("--ini: the settings file is required");
  if (options.out.empty()) return usage("--out: the output folder is required");
  if (options.haveAt && options.every > 0) return usage("--every: not together with --at");
  if (options.closing && (options.haveAt || options.every > 0)) {
    return usage("--closing: only for the set at the end of the capture, not with --at or --every");
  }
  options.progress = platform::StderrIsTerminal();

  ReplayReport report;
  const int status = RunReplay(options, err, &report);
  if (status != 0) return status;
  if (report.tailBytes > 0) {
    err << "fenwright-replay: the capture ends inside a frame: " << report.tailBytes
        << " bytes from byte " << report.tailOffset << " on were not replayed\n";
  }
  out << FormatReplaySummary(options, report) << "\n";
  return 0;
}

}  // namespace fw::tools
