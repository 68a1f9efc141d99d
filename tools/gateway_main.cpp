// fenwright-gateway: the gateway simulator as a program, for demonstrations and manual tests.
// It plays a synthetic trading day (the same model as fenwright-sampleday with the same --count,
// --date and --seed, so that the reference files match) or a capture file, and prints what it
// receives and does on standard output. `fenwright-gateway --help` lists the options.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "foundation/error_code.h"
#include "foundation/local_clock.h"
#include "foundation/platform/platform.h"
#include "tools/gateway_simulator.h"

namespace {

void Usage(FILE* out) {
  std::fprintf(
      out,
      "usage: fenwright-gateway [options]\n"
      "  --port N                listen on 127.0.0.1:N (default 0: any free port, printed)\n"
      "  --replay FILE           play a capture file (binaryData_YYYYMMDD.dat)\n"
      "  --count N               securities of the synthetic day, 1 to %u (default 2000)\n"
      "  --date YYYYMMDD         date of the synthetic day (default: today)\n"
      "  --seed S                seed of the synthetic day (default 1)\n"
      "  --rounds N              snapshots of every security in the day (default 20)\n"
      "  --rate N|full           messages per second (default 1000)\n"
      "  --sessions N            exit after N client sessions (default: run until interrupted)\n"
      "  --report-every S        print the frames and bytes sent so far every S seconds\n"
      "  --drop-after N          close the connection after N feed bytes (mid-frame)\n"
      "  --reset                 make that close a reset\n"
      "  --silent-after N        send nothing more after N feed bytes, connection kept open\n"
      "  --garbage-every N       a run of 0xFF bytes after every N frames\n"
      "  --bad-checksum-every N  an extra frame with a wrong checksum after every N frames\n"
      "  --drip                  send one byte at a time\n"
      "  --bursts                send in 81920-byte bursts\n"
      "  --refuse-logon          answer the Logon with a Logout and close\n"
      "  --mute                  accept the client and never send anything\n"
      "  --faulty-sessions N     the drop, silence, refusal and muteness spare sessions after the\n"
      "                          first N (default: none spared)\n"
      "  --help                  this text\n",
      fw::tools::kMaxSecurities);
}

bool ParseNumber(const char* text, unsigned long long high, unsigned long long* value) {
  if (text == nullptr || *text == '\0') return false;
  unsigned long long v = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    if (v > (~0ull - 9) / 10) return false;
    v = v * 10 + static_cast<unsigned long long>(*p - '0');
  }
  if (v > high) return false;
  *value = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  fw::tools::GatewayOptions options;
  fw::tools::SampleDayOptions dayOptions;
  std::string replay;
  unsigned long long rounds = 20;
  unsigned long long sessions = 0;
  unsigned long long reportEvery = 0;
  options.messagesPerSecond = 1000;
  for (int i = 1; i < argc; ++i) {
    const char* option = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    unsigned long long n = 0;
    auto number = [&](unsigned long long high) {
      if (!ParseNumber(value, high, &n)) {
        std::fprintf(stderr, "fenwright-gateway: %s needs a number up to %llu\n", option, high);
        std::exit(2);
      }
      ++i;
      return n;
    };
    if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
      Usage(stdout);
      return 0;
    } else if (std::strcmp(option, "--port") == 0) {
      options.port = static_cast<uint16_t>(number(65535));
    } else if (std::strcmp(option, "--replay") == 0 && value != nullptr) {
      replay = value;
      ++i;
    } else if (std::strcmp(option, "--count") == 0) {
      dayOptions.securityCount = static_cast<uint32_t>(number(fw::tools::kMaxSecurities));
    } else if (std::strcmp(option, "--date") == 0) {
      dayOptions.date = static_cast<uint32_t>(number(99991231));
    } else if (std::strcmp(option, "--seed") == 0) {
      dayOptions.seed = number(~0ull);
    } else if (std::strcmp(option, "--rounds") == 0) {
      rounds = number(100000);
    } else if (std::strcmp(option, "--rate") == 0 && value != nullptr &&
               std::strcmp(value, "full") == 0) {
      options.messagesPerSecond = 0;
      ++i;
    } else if (std::strcmp(option, "--rate") == 0) {
      options.messagesPerSecond = static_cast<uint32_t>(number(100000000));
    } else if (std::strcmp(option, "--sessions") == 0) {
      sessions = number(1000000);
    } else if (std::strcmp(option, "--report-every") == 0) {
      reportEvery = number(86400);
    } else if (std::strcmp(option, "--drop-after") == 0) {
      options.dropAfterBytes = static_cast<int64_t>(number(1ull << 62));
    } else if (std::strcmp(option, "--reset") == 0) {
      options.resetOnDrop = true;
    } else if (std::strcmp(option, "--silent-after") == 0) {
      options.silentAfterBytes = static_cast<int64_t>(number(1ull << 62));
    } else if (std::strcmp(option, "--garbage-every") == 0) {
      options.garbageEvery = static_cast<uint32_t>(number(1000000000));
    } else if (std::strcmp(option, "--bad-checksum-every") == 0) {
      options.badChecksumEvery = static_cast<uint32_t>(number(1000000000));
    } else if (std::strcmp(option, "--drip") == 0) {
      options.drip = true;
    } else if (std::strcmp(option, "--bursts") == 0) {
      options.bursts = true;
    } else if (std::strcmp(option, "--refuse-logon") == 0) {
      options.refuseLogon = true;
    } else if (std::strcmp(option, "--mute") == 0) {
      options.mute = true;
    } else if (std::strcmp(option, "--faulty-sessions") == 0) {
      options.faultySessions = static_cast<uint32_t>(number(1000000));
    } else {
      std::fprintf(stderr, "fenwright-gateway: unknown option %s\n", option);
      Usage(stderr);
      return 2;
    }
  }
  options.maxSessions = static_cast<uint32_t>(sessions);
  options.log = [](const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  };

  if (!replay.empty()) {
    std::string content;
    const int32_t read = fw::platform::ReadWholeFile(replay, &content);
    if (read < 0) {
      std::fprintf(stderr, "fenwright-gateway: cannot read %s (%d)\n", replay.c_str(), read);
      return 1;
    }
    auto bytes = std::make_shared<const std::string>(std::move(content));
    std::printf("replaying %s (%zu bytes)\n", replay.c_str(), bytes->size());
    options.source = [bytes] { return std::make_unique<fw::tools::CaptureReplayFeed>(bytes); };
  } else {
    if (dayOptions.date == 0) dayOptions.date = fw::LocalNow().Date();
    auto day = std::make_shared<const fw::tools::SampleDay>(fw::tools::BuildSampleDay(dayOptions));
    const fw::tools::SyntheticDayFeed preview(day, static_cast<uint32_t>(rounds));
    std::printf("synthetic day %u: %zu securities, %zu indexes, %zu statistics, %llu messages\n",
                day->date, day->securities.size(), day->indexes.size(), day->stats.size(),
                static_cast<unsigned long long>(preview.Counts().Total()));
    const auto r = static_cast<uint32_t>(rounds);
    options.source = [day, r] { return std::make_unique<fw::tools::SyntheticDayFeed>(day, r); };
  }

  fw::tools::GatewaySimulator gateway;
  const int32_t started = gateway.Start(options);
  if (started < 0) {
    std::fprintf(stderr, "fenwright-gateway: cannot listen (%d)\n", started);
    return 1;
  }
  const uint32_t begin = fw::platform::TickCount();
  uint32_t lastReport = begin;
  for (;;) {
    if (sessions > 0 && gateway.SessionsEnded() >= sessions) break;
    fw::platform::SleepMs(100);
    const uint32_t now = fw::platform::TickCount();
    if (reportEvery > 0 && now - lastReport >= reportEvery * 1000) {
      lastReport = now;
      std::printf("after %u ms: %llu frames sent, %llu feed bytes, %u connections\n", now - begin,
                  static_cast<unsigned long long>(gateway.FramesSent()),
                  static_cast<unsigned long long>(gateway.FeedBytesSent()), gateway.Connections());
      std::fflush(stdout);
    }
  }
  gateway.Stop();
  std::printf("%u connections, %u logons, %u heartbeats, %llu frames sent\n", gateway.Connections(),
              static_cast<unsigned>(gateway.Logons().size()), gateway.Heartbeats(),
              static_cast<unsigned long long>(gateway.FramesSent()));
  return 0;
}
