#include "client/client_io.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/error_code.h"
#include "foundation/local_clock.h"
#include "foundation/ms_clock.h"
#include "foundation/platform/socket.h"
#include "foundation/run_log.h"

namespace fw::client {

using platform::kNoSocket;
using platform::SocketHandle;

namespace {

std::atomic<bool> gSendReplaced{false};
std::mutex gSendMutex;
std::function<int32_t(intptr_t, const uint8_t*, uint32_t)> gSend;  // guarded by gSendMutex

int32_t Send(SocketHandle s, const uint8_t* bytes, uint32_t length) {
  if (gSendReplaced.load(std::memory_order_acquire)) {
    std::function<int32_t(intptr_t, const uint8_t*, uint32_t)> send;
    {
      std::lock_guard<std::mutex> lock(gSendMutex);
      send = gSend;
    }
    if (send) return send(s, bytes, length);
  }
  return platform::SocketSend(s, bytes, length);
}

}  // namespace

uint32_t ClientTimings::Now() const { return tickCount ? tickCount() : platform::TickCount(); }

const char* DisconnectReasonText(uint8_t reason) {
  switch (reason) {
    case NormalClose:
      return "(正常关闭连接)";
    case PassiveClose:
      return "(被动关闭连接)";
    case RecvError:
      return "(接收数据出错)";
    case SocketUnusable:
      return "(套接字不可用)";
    default:
      return "(未知原因)";
  }
}

struct Gateway {
  std::string address;  // empty: not configured
  uint16_t port = 0;
};

// The block shared by a client object and the receive thread of one run (Start to Stop). A new
// block is made for every run, so a thread abandoned by an earlier Stop keeps its own block and
// never meets the next run's socket.
struct ClientLink {
  ClientLink(Gateway primary, Gateway backup,
             std::shared_ptr<const config::ConfigInfo> configuration, const ClientTimings& t,
             MClientIO* client)
      : gateways{std::move(primary), std::move(backup)},
        config(std::move(configuration)),
        timings(t),
        owner(client) {}

  // Fixed for the life of the block.
  const Gateway gateways[2];  // primary, backup
  const std::shared_ptr<const config::ConfigInfo> config;
  const ClientTimings timings;

  // The gateway in use; the receive thread changes it, any thread reads it (the log lines).
  std::atomic<int> current{0};
  std::atomic<bool> connected{false};

  const std::string& Address() const { return gateways[current.load()].address; }
  uint16_t Port() const { return gateways[current.load()].port; }
  GatewayRole Role() const {
    return current.load() == 0 ? GatewayRole::kPrimary : GatewayRole::kBackup;
  }
  // After a failed connect, a drop or a silence the next connect tries the other gateway, if
  // there is one.
  void TurnToOtherGateway() {
    if (!gateways[1].address.empty()) current.store(1 - current.load());
  }

  // Socket ownership. The receive thread (or, with no thread, the caller) closes the socket; a
  // Disconnect from any other thread while the receive thread runs (Stop giving up on it, above
  // all) only shuts the socket down and leaves it as an orphan, which the thread closes when it
  // ends. A handle is therefore never closed while another thread may still use it, and its
  // number cannot be reused under a thread that still holds it.
  std::mutex socketMutex;
  SocketHandle socket = kNoSocket;    // guarded by socketMutex
  std::vector<SocketHandle> orphans;  // guarded by socketMutex
  bool threadRunning = false;         // guarded by socketMutex
  bool abandoned = false;             // guarded by socketMutex: Stop gave up on the thread
  std::thread::id receiveThread;      // guarded by socketMutex

  // The gate to the object, the processor and the run log. Recursive because a hook that runs
  // under it sends, and a failed send logs through it again.
  std::recursive_mutex gateMutex;
  MClientIO* owner;  // guarded by gateMutex; null once Stop closed the gate

  // Runs f(owner) unless the gate is closed; false when it is.
  template <typename F>
  bool ThroughGate(F&& f) {
    std::lock_guard<std::recursive_mutex> lock(gateMutex);
    if (owner == nullptr) return false;
    f(*owner);
    return true;
  }

  void CloseGate() {
    std::lock_guard<std::recursive_mutex> lock(gateMutex);
    owner = nullptr;
  }

  // The calls of the receive loop into the processor and the hooks; each false when the gate is
  // closed.
  bool ProcessorIsInitialized() {
    return ThroughGate([](MClientIO& client) { client.processor_->IsInitialized(); });
  }
  bool ProcessorInstance(int32_t* result) {
    return ThroughGate([&](MClientIO& client) { *result = client.processor_->Instance(); });
  }
  bool Timer() {
    return ThroughGate([](MClientIO& client) { client.OnTimer(); });
  }
  bool Data(const uint8_t* bytes, int32_t length, int32_t* result) {
    return ThroughGate([&](MClientIO& client) {
      if (client.observer_ != nullptr) client.observer_->OnDataReceived();
      *result = client.OnData(bytes, length);
    });
  }
  void Report(ConnectionState state) {
    ThroughGate([&](MClientIO& client) {
      if (client.observer_ != nullptr) {
        client.observer_->OnConnectionChange({state, Address(), Port(), Role()});
      }
    });
  }

  void Log(unsigned level, const std::string& text) {
    ThroughGate([&](MClientIO&) { WriteLog(level, "%s", text.c_str()); });
  }

  SocketHandle CurrentSocket() {
    std::lock_guard<std::mutex> lock(socketMutex);
    return socket;
  }

  // Closes `s` if it is still this block's socket (it may have become the orphan meanwhile).
  void CloseIfCurrent(SocketHandle s) {
    {
      std::lock_guard<std::mutex> lock(socketMutex);
      if (socket != s) return;
      socket = kNoSocket;
    }
    platform::SocketShutdown(s);
    platform::SocketClose(s);
  }

  void ThreadStarted() {
    std::lock_guard<std::mutex> lock(socketMutex);
    receiveThread = std::this_thread::get_id();
  }

  // Stop has waited long enough: from now on the thread makes no new socket, and whatever socket
  // it still holds when it ends is its own to close.
  void Abandon() {
    std::lock_guard<std::mutex> lock(socketMutex);
    if (threadRunning) abandoned = true;
  }

  void ThreadEnded() {
    std::lock_guard<std::mutex> lock(socketMutex);
    threadRunning = false;
    for (const SocketHandle s : orphans) platform::SocketClose(s);
    orphans.clear();
    if (abandoned && socket != kNoSocket) {
      platform::SocketClose(socket);
      socket = kNoSocket;
    }
  }

  void LogConnectFailure(int32_t code) {
    {
      // A connect ended by Stop's shutdown is no failure worth a line, whether or not the line
      // would still get through the gate before Stop closes it.
      std::lock_guard<std::mutex> lock(socketMutex);
      if (abandoned) return;
    }
    Log(1,
        "<MClientIO>failed 2 connect server[" + Address() + "], [" + MErrorCode::Text(code) + "]");
  }

  int32_t Connect() {
    Report(ConnectionState::kConnecting);
    SocketHandle s = CurrentSocket();
    if (s == kNoSocket) {
      const int32_t created = platform::SocketCreateTcp(&s);
      if (created < 0) {
        LogConnectFailure(created);
        Report(ConnectionState::kDisconnected);
        return created;
      }
      std::lock_guard<std::mutex> lock(socketMutex);
      if (abandoned) {
        // Stop is past its Disconnect: a connect now would block with nobody left to end it.
        platform::SocketClose(s);
        Report(ConnectionState::kDisconnected);
        return kErrNotInitialized;
      }
      socket = s;
    }
    uint32_t ip = 0;
    int32_t result = 1;
    // A name that cannot be resolved fails here: connecting to an empty address would reach this
    // machine itself on some systems.
    const std::string& address = Address();
    if (!platform::ParseDottedIPv4(address.c_str(), &ip)) {
      result = platform::ResolveHostIPv4(address.c_str(), &ip);
    }
    if (result > 0) result = platform::SocketConnect(s, ip, Port());
    if (result < 0) {
      CloseIfCurrent(s);
      LogConnectFailure(result);
      Report(ConnectionState::kDisconnected);
      return result;
    }
    connected.store(true, std::memory_order_release);
    ThroughGate([](MClientIO& client) { client.OnConnected(); });
    Report(ConnectionState::kConnected);
    return 1;
  }

  int32_t Disconnect(uint8_t reason) {
    SocketHandle s;
    bool closeNow;
    {
      std::lock_guard<std::mutex> lock(socketMutex);
      s = socket;
      if (s == kNoSocket) return -1;
      socket = kNoSocket;
      connected.store(false, std::memory_order_release);
      closeNow = !threadRunning || receiveThread == std::this_thread::get_id();
      if (!closeNow) orphans.push_back(s);
    }
    platform::SocketShutdown(s);
    if (closeNow) platform::SocketClose(s);
    Log(1, std::string("<MClientIO>与源服务器<") + Address() + ">断开连接" +
               DisconnectReasonText(reason));
    Report(ConnectionState::kDisconnected);
    return 1;
  }

  int32_t SendData(const uint8_t* bytes, int32_t length, int32_t tries) {
    int32_t result;
    if (length < 0 || (bytes == nullptr && length > 0)) {
      result = kErrBadArgument;
    } else {
      const SocketHandle s = CurrentSocket();
      int32_t sent = 0;
      int32_t timeouts = 0;
      result = 0;
      while (sent < length && timeouts < tries) {
        const int32_t n = Send(s, bytes + sent, static_cast<uint32_t>(length - sent));
        if (n > 0) {
          sent += n;
        } else if (n == 0 || platform::IsSocketTimeoutCode(n)) {
          ++timeouts;
        } else {
          result = n;
          break;
        }
      }
      if (result == 0) {
        if (sent == length) return length;
        result = kErrSocketTimeout;
      }
    }
    Log(1, std::string("<MClientIO>向源服务器<") + Address() + ">发送数据失败" + "[" +
               MErrorCode::Text(result) + "]");
    return result;
  }

  int32_t RecvData(uint8_t* buffer, int32_t size) {
    int32_t n;
    if (buffer == nullptr || size <= 0) {
      n = kErrBadArgument;
    } else {
      n = platform::SocketReceive(CurrentSocket(), buffer, static_cast<uint32_t>(size));
    }
    if (n < 0) {
      Log(1, std::string("<MClientIO>从源服务器<") + Address() + ">接收数据失败" + "[" +
                 MErrorCode::Text(n) + "]");
    }
    return n;
  }
};

namespace {

// The pass of the receive thread. It keeps to its shared block: the object, the processor and the
// log are reached only through the gate, and a closed gate ends the thread.
class ReceiveLoop {
 public:
  explicit ReceiveLoop(std::shared_ptr<ClientLink> link)
      : link_(std::move(link)),
        buffer_(new uint8_t[kReceiveBufferBytes]()),
        holidayReference_(SecondsSinceEpoch(LocalNow())) {
    oneSecond_.SetAt(link_->timings.Now());
    lastReceive_.SetAt(link_->timings.Now());
  }

  int Run() {
    link_->ThreadStarted();
    while (!MThread::CurrentStopRequested()) {
      try {
        if (!Pass()) break;
      } catch (...) {
        link_->Log(1, "<MClientIO>unknow error occur while receiving data");
        // A fault that recurs on every pass would otherwise spin and flood the log.
        Pause(link_->timings.idlePauseMs);
      }
    }
    link_->ThreadEnded();
    return 0;
  }

 private:
  static void Pause(uint32_t ms) { MThread::CurrentWaitForStop(ms); }

  // The readable-wait, in slices, so that a stop request ends it as it ends the pauses: Stop then
  // returns at once instead of after up to a whole wait.
  int32_t WaitReadable(uint32_t ms) const {
    constexpr uint32_t kSliceMs = 50;
    const SocketHandle s = link_->CurrentSocket();
    for (uint32_t left = ms;;) {
      const uint32_t slice = left < kSliceMs ? left : kSliceMs;
      const int32_t ready = platform::SocketWaitReadable(s, slice);
      left -= slice;
      if (ready != 0 || left == 0 || MThread::CurrentStopRequested()) return ready;
    }
  }

  // False when the gate is closed (the client was stopped and gave up on this thread).
  bool Pass() {
    const ClientTimings& t = link_->timings;
    if (!link_->ProcessorIsInitialized()) return false;
    if (!link_->connected.load(std::memory_order_acquire)) {
      if (!link_->config->IsTradingTime()) {
        Pause(t.idlePauseMs);
        return true;
      }
      int32_t ready = 0;
      if (!link_->ProcessorInstance(&ready)) return false;
      if (ready == kHolidayAnswer) {
        ReportHoliday();
        Pause(t.idlePauseMs);
        return true;
      }
      if (ready != 0) {
        Pause(t.idlePauseMs);
        return true;
      }
      if (link_->Connect() == 1) {
        lastReceive_.SetAt(t.Now());
      } else {
        link_->TurnToOtherGateway();
        Pause(t.reconnectPauseMs);
      }
      return true;
    }

    if (oneSecond_.ElapsedAt(t.Now()) >= t.timerPeriodMs) {
      oneSecond_.SetAt(t.Now());
      if (!link_->Timer()) return false;
    }
    if (!link_->config->IsTradingTime()) {
      link_->Disconnect(NormalClose);
      Pause(t.reconnectPauseMs);
      return true;
    }
    if (WaitReadable(t.readWaitMs) > 0) {
      const int32_t n = link_->RecvData(buffer_.get(), static_cast<int32_t>(kReceiveBufferBytes));
      if (n < 0) {
        link_->Disconnect(SocketUnusable);
        link_->TurnToOtherGateway();
        Pause(t.reconnectPauseMs);
      } else if (n == 0) {
        link_->Disconnect(PassiveClose);
        link_->TurnToOtherGateway();
        Pause(t.reconnectPauseMs);
      } else {
        lastReceive_.SetAt(t.Now());
        int32_t processed = 1;
        if (!link_->Data(buffer_.get(), n, &processed)) return false;
        if (processed < 0) link_->Log(1, "<MClientIO>process data failed");
      }
    } else if (lastReceive_.ElapsedAt(t.Now()) >= t.silenceLimitMs) {
      lastReceive_.SetAt(t.Now());
      link_->Log(1, "<MClientIO>recv data overtime(for 2 minutes), connecting server");
      link_->Disconnect(NormalClose);
      link_->TurnToOtherGateway();
      Pause(t.reconnectPauseMs);
    }
    return true;
  }

  void ReportHoliday() {
    if (!holidayReported_) {
      link_->Log(0, "今天是节假日");
      holidayReported_ = true;
    }
    const int64_t now = SecondsSinceEpoch(LocalNow());
    if (now - holidayReference_ > static_cast<int64_t>(link_->timings.holidayRepeatSeconds)) {
      link_->Log(0, "今天是节假日");
      holidayReference_ = now;
    }
  }

  std::shared_ptr<ClientLink> link_;
  std::unique_ptr<uint8_t[]> buffer_;  // kReceiveBufferBytes, reused for every receive
  MsClock oneSecond_;
  MsClock lastReceive_;
  bool holidayReported_ = false;
  int64_t holidayReference_;
};

}  // namespace

MClientIO::MClientIO(const config::ConfigInfo& config, ProcessorGate& processor,
                     const ClientTimings& timings)
    : config_(std::make_shared<const config::ConfigInfo>(config)),
      processor_(&processor),
      timings_(timings),
      link_(std::make_shared<ClientLink>(Gateway(), Gateway(), config_, timings_, this)) {}

MClientIO::~MClientIO() { MClientIO::Stop(); }

int32_t MClientIO::Start(const char* address, uint16_t port, const char* backupAddress,
                         uint16_t backupPort) {
  Stop();
  auto gateway = [](const char* text, uint16_t gatewayPort) {
    Gateway g{text != nullptr ? text : "", gatewayPort};
    if (g.address.size() > kMaxServerAddress) g.address.resize(kMaxServerAddress);
    return g;
  };
  auto link = std::make_shared<ClientLink>(
      gateway(address, port), gateway(backupAddress, backupPort != 0 ? backupPort : port), config_,
      timings_, this);
  {
    std::lock_guard<std::mutex> lock(link->socketMutex);
    link->threadRunning = true;
  }
  link_ = link;
  const int32_t result = thread_.Start("ClientThreadFunc线程", [link] {
    ReceiveLoop loop(link);
    return loop.Run();
  });
  if (result < 0) {
    {
      std::lock_guard<std::mutex> lock(link->socketMutex);
      link->threadRunning = false;
    }
    Stop();
    WriteLog(1, "<MClientIO>创建ClientThreadFunc线程失败[%s]", MErrorCode::Text(result).c_str());
    return result;
  }
  return 1;
}

void MClientIO::Stop() {
  thread_.Stop(timings_.stopTimeoutMs);
  const std::shared_ptr<ClientLink> finished = link_;
  finished->Abandon();
  finished->Disconnect(NormalClose);
  // Waits for a hook that an abandoned thread may be running (its socket is shut down by now, so
  // a send in it fails at once); afterwards that thread reaches nothing outside its block.
  finished->CloseGate();
  link_ = std::make_shared<ClientLink>(finished->gateways[0], finished->gateways[1], config_,
                                       timings_, this);
}

int32_t MClientIO::Connect() { return link_->Connect(); }

int32_t MClientIO::Disconnect(uint8_t reason) { return link_->Disconnect(reason); }

int32_t MClientIO::SendData(const uint8_t* bytes, int32_t length, int32_t tries) {
  return link_->SendData(bytes, length, tries);
}

int32_t MClientIO::RecvData(uint8_t* buffer, int32_t size) { return link_->RecvData(buffer, size); }

bool MClientIO::IsConnected() const { return link_->connected.load(std::memory_order_acquire); }

std::string MClientIO::ServerAddress() const { return link_->Address(); }

uint16_t MClientIO::ServerPort() const { return link_->Port(); }

GatewayRole MClientIO::ServerRole() const { return link_->Role(); }

void MClientIO::OnConnected() {
  WriteLog(1, "<MClientIO>connected 2 server[%s]", link_->Address().c_str());
}

int32_t MClientIO::OnData(const uint8_t*, int32_t) { return 1; }

void MClientIO::OnTimer() {}

void MClientIO::SetSendForTesting(
    std::function<int32_t(intptr_t socket, const uint8_t* bytes, uint32_t length)> send) {
  std::lock_guard<std::mutex> lock(gSendMutex);
  gSend = std::move(send);
  gSendReplaced.store(static_cast<bool>(gSend), std::memory_order_release);
}

void MClientIO::SetConfig(const config::ConfigInfo& config) {
  config_ = std::make_shared<const config::ConfigInfo>(config);
}

}  // namespace fw::client
