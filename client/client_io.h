// Layer client/, above processor/: the feed client, the session and the raw capture file. It
// reaches the processor only through its ProcessorGate, which the service fills in.
//
// MClientIO: the TCP client that holds the one connection to the exchange's market data gateway.
// Its receive thread "ClientThreadFunc线程" decides when to connect (inside the trading window, on
// working days, once the processor has loaded the day), receives the byte stream into one
// 81,920-byte buffer, hands every block to OnData, calls OnTimer about once a second, drops a
// connection that has been silent for two minutes and reconnects after every failure. With a
// backup gateway configured, the connect after a failed connect, a drop or a silence goes to the
// other gateway. It knows nothing of the message format: StaticClient fills the hooks.
//
// Threads: Start and Stop are called by the service control thread; the receive thread is the only
// one that connects, receives, sends and runs the hooks. Everything that thread touches lives in a
// block shared with it (ClientLink: address, port, configuration copy, socket), so that a thread
// abandoned by Stop after its time-out (blocked in a connect) never touches freed memory. Stop then
// only shuts the socket down, which ends the blocked call, and the thread closes the handle itself
// on its way out. The hooks, the processor and the run log are reached from the thread only through
// a gate that Stop closes before it returns: after Stop no call of this thread reaches the object,
// the processor or the log.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "client/connection_observer.h"
#include "client/processor_gate.h"
#include "config/config_info.h"
#include "foundation/thread.h"

namespace fw::client {

// The pauses and time-outs of the client. The product uses the defaults; tests shorten them.
struct ClientTimings {
  uint32_t idlePauseMs = 1000;            // outside the window, on a holiday, processor not ready
  uint32_t reconnectPauseMs = 5000;       // after a failed connect and after every loop disconnect
  uint32_t readWaitMs = 1000;             // readable-wait per pass while connected
  uint32_t timerPeriodMs = 1000;          // OnTimer at most once per period
  uint32_t silenceLimitMs = 120000;       // no data for this long: reconnect
  uint32_t holidayRepeatSeconds = 21600;  // the holiday notice is repeated after more than this
  uint32_t stopTimeoutMs = 5000;          // how long Stop waits for the receive thread
  // The millisecond tick counter of the client's clocks (the timer, the silence and the
  // heartbeat); empty: the system's. Tests run the clocks in simulated time.
  std::function<uint32_t()> tickCount;

  // The tick counter now.
  uint32_t Now() const;
};

// Reasons given to Disconnect; the text is appended to the disconnect line.
enum DisconnectReason : uint8_t {
  NormalClose = 1,       // "(正常关闭连接)"
  PassiveClose = 2,      // "(被动关闭连接)"
  RecvError = 254,       // "(接收数据出错)"
  SocketUnusable = 255,  // "(套接字不可用)"
};

// The text of a disconnect reason ("(未知原因)" for any other code).
const char* DisconnectReasonText(uint8_t reason);

constexpr uint32_t kReceiveBufferBytes = 81920;  // one receive call fills at most this much
constexpr size_t kMaxServerAddress = 127;        // longer configured addresses are cut
constexpr int32_t kHolidayAnswer = -1000;        // ProcessorGate::Instance on a holiday

struct ClientLink;

class MClientIO {
 public:
  // The client reads the trading window from its own copy of `config`; `processor` must outlive
  // every Stop of this client (the receive thread reaches it only between Start and Stop).
  MClientIO(const config::ConfigInfo& config, ProcessorGate& processor,
            const ClientTimings& timings = ClientTimings());
  virtual ~MClientIO();  // Stop
  MClientIO(const MClientIO&) = delete;
  MClientIO& operator=(const MClientIO&) = delete;

  // Stops a running client, stores the address (cut to 127 characters) and the port, and starts
  // the receive thread. A non-empty backupAddress (with backupPort, or the port when that is 0)
  // is the other gateway the client turns to after a failure. 1, or the negative code of the
  // failed thread creation (logged).
  int32_t Start(const char* address, uint16_t port, const char* backupAddress = nullptr,
                uint16_t backupPort = 0);

  // The observer told of every connection change and received block from the next Start on
  // (null: none). It must outlive every Stop of this client.
  void SetConnectionObserver(ConnectionObserver* observer) { observer_ = observer; }

  // Ends the receive thread (waiting at most the stop time-out; a thread still blocked then is
  // abandoned), then Disconnect with NormalClose. Returns in every case; safe when nothing runs.
  virtual void Stop();

  // Creates the socket when there is none, resolves the address (dotted IPv4 as it stands, else the
  // first address of the host name) and connects, blocking. 1 (then OnConnected has run), or the
  // negative code of the failure (logged "<MClientIO>failed 2 connect server[%s], [%s]").
  int32_t Connect();

  // -1 when there is no socket; otherwise shuts the socket down and closes it, clears connected,
  // logs "<MClientIO>与源服务器<address>断开连接" + the reason's text, and returns 1. Sends
  // nothing.
  int32_t Disconnect(uint8_t reason);

  // Sends all `length` bytes, counting a time-out of the system as one failed try: length, or
  // kErrSocketTimeout after `tries` time-outs (tries <= 0 sends nothing), or the first other
  // failure's code. Failures are logged with the send-failure line.
  int32_t SendData(const uint8_t* bytes, int32_t length, int32_t tries);

  // One receive call: the byte count, 0 when the gateway closed the connection, or a negative code
  // (logged with the receive-failure line).
  int32_t RecvData(uint8_t* buffer, int32_t size);

  bool IsConnected() const;
  // The address and port of the gateway in use (connected, or to be tried next).
  std::string ServerAddress() const;
  uint16_t ServerPort() const;
  GatewayRole ServerRole() const;
  const ClientTimings& Timings() const { return timings_; }

  // Test hook: when set, every send of every client calls it instead of the socket's send, with
  // the same arguments and results (a count, which may be short, or a negative code).
  static void SetSendForTesting(
      std::function<int32_t(intptr_t socket, const uint8_t* bytes, uint32_t length)> send);

 protected:
  // Base: logs "<MClientIO>connected 2 server[%s]" at level 1.
  virtual void OnConnected();
  // One received block; a negative result means it was not processed. Base: 1.
  virtual int32_t OnData(const uint8_t* bytes, int32_t length);
  // About once a second while connected. Base: nothing.
  virtual void OnTimer();

  // The configuration of the next Start (only while stopped).
  void SetConfig(const config::ConfigInfo& config);
  const config::ConfigInfo& Config() const { return *config_; }

 private:
  friend struct ClientLink;

  std::shared_ptr<const config::ConfigInfo> config_;
  ProcessorGate* processor_;
  ConnectionObserver* observer_ = nullptr;
  ClientTimings timings_;
  std::shared_ptr<ClientLink> link_;
  MThread thread_;
};

}  // namespace fw::client
