// GatewaySimulator: a market data gateway on 127.0.0.1 for the demo and the end-to-end tests. It
// accepts one client at a time, reads and checks the client's Logon, answers it with a Logon (or,
// when told to refuse, with a Logout and a close), answers every Heartbeat with a Heartbeat, and
// plays a FeedSource (a synthetic day or a capture file) at a chosen rate. Options break the
// session on purpose: a close or reset after N bytes (mid-frame), silence, garbage or frames with
// a wrong checksum between the good ones, bytes dripped one at a time or sent in 81,920-byte
// bursts, a refused logon, a client that is accepted and never spoken to.
//
// Threads: Start and Stop and the counters on the caller's thread; one serving thread of its own.
// Stop shuts the session's socket down, so a send blocked on a client that does not read ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/platform/socket.h"
#include "tools/feed_source.h"

namespace fw::tools {

struct GatewayOptions {
  uint16_t port = 0;  // 0: any free port (see Port())
  // Makes what each session plays; empty: sessions only answer the logon and heartbeats.
  std::function<std::unique_ptr<FeedSource>()> source;
  uint32_t messagesPerSecond = 0;  // 0: full speed

  int64_t dropAfterBytes = -1;      // close after this many feed bytes (mid-frame); -1 never
  bool resetOnDrop = false;         // the drop is a reset instead of an orderly close
  int64_t silentAfterBytes = -1;    // send nothing more (no data, no heartbeat answers) after
                                    // this many feed bytes, connection kept open; -1 never
  uint32_t garbageEvery = 0;        // a run of 0xFF bytes after every N frames; 0 never
  uint32_t badChecksumEvery = 0;    // an extra frame with a wrong checksum after every N frames
  bool drip = false;                // one byte per send
  bool bursts = false;              // sends of 81,920 bytes (the rest at the end of the source)
  bool refuseLogon = false;         // answer the Logon with a Logout and close
  bool mute = false;                // accept, read, never send anything
  uint32_t faultySessions = 0;      // the drop, silence, refusal and muteness apply to this many
                                    // first sessions only; 0: to every session
  uint32_t logonTimeoutMs = 30000;  // a client that sends no Logon by then is closed
  uint32_t maxSessions = 0;         // stop accepting after this many sessions; 0 never

  // Receives the simulator's report lines (ASCII); empty: quiet.
  std::function<void(const std::string&)> log;
};

// One Logon as received, with its fields (trailing blanks removed).
struct ReceivedLogon {
  Frame bytes;  // the 104 bytes
  std::string sender;
  std::string target;
  int32_t heartBtInt = 0;
  std::string password;
  std::string defaultApplVerId;
};

class GatewaySimulator {
 public:
  GatewaySimulator() = default;
  ~GatewaySimulator();  // Stop
  GatewaySimulator(const GatewaySimulator&) = delete;
  GatewaySimulator& operator=(const GatewaySimulator&) = delete;

  // Listens and starts serving. 1, or the negative code of the failed listen.
  int32_t Start(const GatewayOptions& options);
  // Ends the session and the serving thread; returns when both are gone.
  void Stop();
  uint16_t Port() const { return port_; }

  // What has happened so far (every session added up).
  uint32_t Connections() const;  // accepted
  uint32_t SessionsEnded() const;
  std::vector<ReceivedLogon> Logons() const;
  uint32_t Heartbeats() const;
  std::vector<uint32_t> HeartbeatTicks() const;  // platform::TickCount at receipt
  uint32_t LogoutsReceived() const;
  uint64_t FramesSent() const;       // good feed frames
  uint64_t FeedBytesSent() const;    // feed bytes, garbage and bad frames included
  uint32_t SourcesFinished() const;  // sessions that sent their whole source

  // Waits (polling, at most timeoutMs) until predicate() holds; true when it did.
  static bool WaitUntil(const std::function<bool()>& predicate, uint32_t timeoutMs);

 private:
  class Session;
  void Serve();
  void Log(const std::string& line) const;
  // The session's socket is about to be closed by the session itself: Stop must not touch it.
  void ForgetSession(platform::SocketHandle socket);

  GatewayOptions options_;
  platform::SocketHandle listener_ = platform::kNoSocket;
  uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  bool libraryStarted_ = false;

  mutable std::mutex mutex_;
  platform::SocketHandle session_ = platform::kNoSocket;  // guarded: shut down by Stop
  uint32_t connections_ = 0;
  uint32_t sessionsEnded_ = 0;
  std::vector<ReceivedLogon> logons_;
  std::vector<uint32_t> heartbeatTicks_;
  uint32_t logouts_ = 0;
  uint64_t framesSent_ = 0;
  uint64_t feedBytesSent_ = 0;
  uint32_t sourcesFinished_ = 0;
};

}  // namespace fw::tools
