// Arbitrary received blocks through the session's receive hook: StaticClient::OnData with capture
// on hands each block first to the day's capture file and then to the decoder and the market data
// handlers over a small market. The first byte picks the block sizes and, with its top bit, a close
// of the capture file after every third block (the write thread does that outside the window); the
// rest is the stream. Afterwards the capture file must hold exactly the stream, block after block,
// nothing added and nothing lost across the closes.
//
// The same bytes also fill the logon identities, and the Logon built from them must keep its
// layout: header, four blank-padded texts cut to their widths, the interval, the byte-sum checksum.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

#include "client/capture_file.h"
#include "client/processor_gate.h"
#include "client/static_client.h"
#include "config/config_info.h"
#include "feed/market_data_decoder.h"
#include "feed/market_data_handlers.h"
#include "foundation/local_clock.h"
#include "foundation/run_log.h"
#include "market/market_state.h"
#include "refdata/reference_tables.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fw::fuzz::Check;

// The run log and the capture files of the run live in a scratch folder, removed at exit.
struct Scratch {
  Scratch() : files("fw_session_fuzz_") {
    fw::SetLocalClockForTesting([] { return fw::MakeLocalDateTime(20260305, 93000); });
  }
  fw::fuzz::ScratchFolder files;
};

class ReadyProcessor : public fw::client::ProcessorGate {
 public:
  int32_t IsInitialized() override { return 1; }
  int32_t Instance() override { return 0; }
};

// OnData is the receive thread's hook; the target calls it as that thread would.
class ReceivingClient : public fw::client::StaticClient {
 public:
  using StaticClient::StaticClient;
  int32_t Receive(const uint8_t* bytes, int32_t length) { return OnData(bytes, length); }
};

template <size_t N>
void SetField(char (&field)[N], std::string_view text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), std::min(N - 1, text.size()));
}

// Three securities, an index and a statistic, so that snapshots of those codes reach the tables.
fw::refdata::ReferenceTables SmallDay() {
  fw::refdata::ReferenceTables t;
  for (const char* code : {"000001  ", "000002  ", "300750  "}) {
    fw::refdata::SecurityRecord* s = t.securities.Find(code, true);
    Check(s != nullptr);
    SetField(s->Symbol, "STOCK");
    s->SecurityType = 1;
    s->PrevClosePx = 10.5;
    s->haltFlag = ' ';
  }
  Check(t.indexInfo.Find("399001  ", true) != nullptr);
  Check(t.stat.Find("395001  ", true) != nullptr);
  return t;
}

struct World {
  World() : handlers(state), decoder(&handlers) {
    decoder.AllocateRing();
    SetField(config.savefile, scratch.files.folder.string() + "/");
    config.savefileflag = true;
    config.heartbt = 30;
  }
  Scratch scratch;
  fw::refdata::ReferenceTables tables = SmallDay();
  fw::market::MarketState state;
  fw::feed::MarketDataHandlers handlers;
  fw::feed::MarketDataDecoder decoder;
  fw::config::ConfigInfo config;
  ReadyProcessor processor;
  fw::client::CaptureFile capture;
};

World& TheWorld() {
  static World* world = new World;  // kept for the whole run
  return *world;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The text as the Logon carries it: up to its first NUL, cut to width, blank-padded.
void CheckText(const uint8_t* at, const char* field, size_t fieldSize, size_t width) {
  const size_t length = std::min(strnlen(field, fieldSize), width);
  Check(std::memcmp(at, field, length) == 0);
  for (size_t i = length; i < width; ++i) Check(at[i] == ' ');
}

void CheckLogon(const uint8_t* data, size_t size) {
  fw::config::ConfigInfo config;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  SetField(config.sender, text.substr(0, std::min<size_t>(text.size(), 40)));
  SetField(config.target, text.substr(std::min<size_t>(text.size(), 5)));
  SetField(config.password, text.substr(std::min<size_t>(text.size(), 11)));
  SetField(config.ver, text.substr(std::min<size_t>(text.size(), 17)));
  config.heartbt = size >= 4 ? static_cast<int32_t>(static_cast<uint32_t>(data[0]) << 24 |
                                                    static_cast<uint32_t>(data[1]) << 16 |
                                                    static_cast<uint32_t>(data[2]) << 8 | data[3])
                             : 30;
  uint8_t logon[fw::client::kLogonBytes];
  fw::client::BuildLogon(config, logon);
  const uint8_t header[8] = {0, 0, 0, 1, 0, 0, 0, 92};
  Check(std::memcmp(logon, header, sizeof header) == 0);
  CheckText(logon + 8, config.sender, sizeof config.sender, 20);
  CheckText(logon + 28, config.target, sizeof config.target, 20);
  const auto interval = static_cast<uint32_t>(config.heartbt);
  Check(logon[48] == (interval >> 24) && logon[49] == ((interval >> 16) & 0xFF) &&
        logon[50] == ((interval >> 8) & 0xFF) && logon[51] == (interval & 0xFF));
  CheckText(logon + 52, config.password, sizeof config.password, 16);
  CheckText(logon + 68, config.ver, sizeof config.ver, 32);
  uint32_t sum = 0;
  for (int i = 0; i < 100; ++i) sum += logon[i];
  Check(logon[100] == 0 && logon[101] == 0 && logon[102] == 0 && logon[103] == (sum & 0xFF));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  World& w = TheWorld();
  CheckLogon(data, size);

  w.state.Reset();
  w.state.StartDay(20260305);
  w.state.Build(w.tables);
  w.decoder.Ring().Clear();
  const std::string capturePath = fw::client::CaptureFile::PathFor(w.config.savefile);
  w.capture.Close();
  std::remove(capturePath.c_str());

  {
    ReceivingClient client(w.config, w.decoder, w.capture, w.processor);
    const bool closeBetween = (data[0] & 0x80) != 0;
    uint32_t seed = data[0];
    size_t offset = 1;
    for (int block = 1; offset < size; ++block) {
      seed = seed * 1103515245u + 12345u;
      const size_t want = 1 + (seed >> 16) % 9000;
      const size_t n = std::min(want, size - offset);
      Check(client.Receive(data + offset, static_cast<int32_t>(n)) == 1);
      offset += n;
      if (closeBetween && block % 3 == 0) w.capture.Close();
    }
    // A hook call without bytes changes nothing.
    Check(client.Receive(data, 0) == 1);
  }
  w.capture.Close();

  const std::string stream(reinterpret_cast<const char*>(data + 1), size - 1);
  Check(ReadAll(capturePath) == stream);
  return 0;
}
