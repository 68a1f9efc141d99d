// StaticClient: the feed client the program runs. On every new connection it logs on with the
// configured identities, while connected it sends a Heartbeat every `heartbt` seconds whatever the
// traffic, and it hands every received block first to the raw capture file (when capture is on)
// and then, unchanged, to the market data decoder. It also builds the three session messages:
// Logon (104 bytes), Heartbeat (12) and Logout (216).
//
// Threads: the hooks and the sends run on the receive thread of MClientIO; Start and Stop on the
// service control thread. The configuration is a copy taken at construction or at Start, so a
// dialog that edits the live record never changes what a running client reads. The decoder, the
// capture file and the processor are owned elsewhere and must outlive every Stop; the capture file
// is also closed by the write thread, and its own lock orders that against an append.
#pragma once

#include <cstdint>
#include <string>

#include "client/capture_file.h"
#include "client/client_io.h"
#include "feed/market_data_decoder.h"
#include "foundation/ms_clock.h"

namespace fw::client {

constexpr int32_t kLogonBytes = 104;     // header 8, sender 20, target 20, HeartBtInt 4,
                                         // password 16, DefaultApplVerID 32, checksum 4
constexpr int32_t kHeartbeatBytes = 12;  // header and checksum only
constexpr int32_t kLogoutBytes = 216;    // header 8, SessionStatus 4, Text 200, checksum 4
constexpr int32_t kSendTries = 3;

// The session messages, each written into a buffer of exactly its size. Texts are left-aligned,
// blank-padded and cut to their widths (20, 20, 16, 32); the Logout body stays all zero bytes.
void BuildLogon(const config::ConfigInfo& config, uint8_t* message /* kLogonBytes */);
void BuildHeartbeat(uint8_t* message /* kHeartbeatBytes */);
void BuildLogout(uint8_t* message /* kLogoutBytes */);

class StaticClient : public MClientIO {
 public:
  StaticClient(const config::ConfigInfo& config, feed::MarketDataDecoder& decoder,
               CaptureFile& capture, ProcessorGate& processor,
               const ClientTimings& timings = ClientTimings());
  ~StaticClient() override;  // Stop

  using MClientIO::Start;
  // Takes a copy of the configuration, then starts with its ip and port (and its backup gateway,
  // backupip and backupport, when backupip is set).
  int32_t Start(const config::ConfigInfo& config);
  // MClientIO::Stop, then closes the capture file.
  void Stop() override;

  // Each builds its message, sends it with SendData (3 tries) and logs its line at level 0
  // ("sendlogon:%d === %d ", "sendheartbeat:%d", "sendlogout:%d "). The result of SendData.
  int32_t SendLoginCmd();
  int32_t SendHeartbeatCmd();
  int32_t SendLogoutCmd();

 protected:
  // Drops the unfinished frame of the last connection from the decoder, logs the connection, logs
  // on, logs the outcome, and starts the heartbeat clock.
  void OnConnected() override;
  // Capture (when savefileflag), then the decoder. Always 1.
  int32_t OnData(const uint8_t* bytes, int32_t length) override;
  // A Heartbeat once the heartbeat clock shows heartbt seconds.
  void OnTimer() override;

 private:
  feed::MarketDataDecoder& decoder_;
  CaptureFile& capture_;
  std::string capturePrefix_;  // savefile of the configuration in use
  MsClock heartbeatClock_;     // receive thread only
};

}  // namespace fw::client
