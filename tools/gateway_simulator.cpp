#include "tools/gateway_simulator.h"

#include <algorithm>
#include <cstdio>

#include "foundation/platform/platform.h"

namespace fw::tools {

using platform::kNoSocket;
using platform::SocketHandle;

namespace {

constexpr uint32_t kLogon = 1;
constexpr uint32_t kLogout = 2;
constexpr uint32_t kHeartbeat = 3;
constexpr size_t kLogonBytes = 104;
constexpr size_t kBurstBytes = 81920;
constexpr size_t kFullSpeedBatch = 256;  // frames per pass at full speed
constexpr uint32_t kPollMs = 10;

uint32_t Word(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

std::string Trimmed(const uint8_t* p, size_t n) {
  std::string text(reinterpret_cast<const char*>(p), n);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

bool SendAll(SocketHandle s, const uint8_t* data, size_t n) {
  size_t done = 0;
  while (done < n) {
    const int32_t sent = platform::SocketSend(s, data + done, static_cast<uint32_t>(n - done));
    if (sent <= 0) return false;
    done += static_cast<size_t>(sent);
  }
  return true;
}

}  // namespace

// One client connection, on the serving thread.
class GatewaySimulator::Session {
 public:
  Session(GatewaySimulator& owner, SocketHandle socket, uint32_t number)
      : owner_(owner), options_(owner.options_), socket_(socket), number_(number) {
    if (options_.faultySessions > 0 && number_ > options_.faultySessions) {
      options_.dropAfterBytes = -1;
      options_.silentAfterBytes = -1;
      options_.refuseLogon = false;
      options_.mute = false;
    }
  }

  // False when the connection was aborted (the caller must not close it again).
  bool Run() {
    if (!AwaitLogon()) return true;
    if (options_.mute) {
      while (!owner_.stop_.load() && ReadIncoming(kPollMs * 5)) {
      }
      return true;
    }
    if (options_.refuseLogon) {
      const Frame logout = EncodeLogout(5, "logon refused");
      SendAll(socket_, logout.data(), logout.size());
      Report("logon refused, connection closed");
      return true;
    }
    const ReceivedLogon& logon = logon_;
    const Frame answer =
        EncodeLogon(logon.target, logon.sender, logon.heartBtInt, "", logon.defaultApplVerId);
    if (!SendAll(socket_, answer.data(), answer.size())) return true;
    silent_ = options_.silentAfterBytes == 0;
    if (options_.source) source_ = options_.source();
    started_ = platform::TickCount();
    return Play();
  }

 private:
  void Report(const std::string& text) const {
    owner_.Log("session " + std::to_string(number_) + ": " + text);
  }

  // Reads what is there (waiting at most ms) and handles complete frames. False when the
  // connection ended (closed by the client, failed, or a Logout).
  bool ReadIncoming(uint32_t ms) {
    const int32_t ready = platform::SocketWaitReadable(socket_, ms);
    if (ready < 0) return false;
    if (ready == 0) return true;
    uint8_t buffer[4096];
    const int32_t n = platform::SocketReceive(socket_, buffer, sizeof buffer);
    if (n <= 0) {
      Report(n == 0 ? "closed by the client" : "receive failed");
      return false;
    }
    inbound_.insert(inbound_.end(), buffer, buffer + n);
    return HandleFrames();
  }

  bool HandleFrames() {
    size_t at = 0;
    bool alive = true;
    while (alive && inbound_.size() - at >= 12) {
      const uint32_t type = Word(&inbound_[at]);
      const uint32_t length = Word(&inbound_[at + 4]);
      if (type > 500000 || length > 8180) {
        ++at;  // out of step: slide on, as the receiving side of the protocol does
        continue;
      }
      const size_t total = length + 12;
      if (inbound_.size() - at < total) break;
      const uint8_t* frame = &inbound_[at];
      at += total;
      if (FrameChecksum(frame, total - 4) != Word(frame + total - 4)) {
        Report("frame of type " + std::to_string(type) + " with a wrong checksum dropped");
        continue;
      }
      alive = OnFrame(type, frame, total);
    }
    inbound_.erase(inbound_.begin(), inbound_.begin() + static_cast<std::ptrdiff_t>(at));
    return alive;
  }

  bool OnFrame(uint32_t type, const uint8_t* frame, size_t total) {
    if (type == kLogon && total == kLogonBytes) {
      ReceivedLogon logon;
      logon.bytes.assign(frame, frame + total);
      logon.sender = Trimmed(frame + 8, 20);
      logon.target = Trimmed(frame + 28, 20);
      logon.heartBtInt = static_cast<int32_t>(Word(frame + 48));
      logon.password = Trimmed(frame + 52, 16);
      logon.defaultApplVerId = Trimmed(frame + 68, 32);
      Report("Logon SenderCompID=[" + logon.sender + "] TargetCompID=[" + logon.target +
             "] HeartBtInt=" + std::to_string(logon.heartBtInt) + " Password=[" + logon.password +
             "] DefaultApplVerID=[" + logon.defaultApplVerId + "]");
      {
        std::lock_guard<std::mutex> lock(owner_.mutex_);
        owner_.logons_.push_back(logon);
      }
      if (!loggedOn_) {
        loggedOn_ = true;
        logon_ = logon;
      }
      return true;
    }
    if (!loggedOn_) {
      Report("first message is not a Logon (MsgType " + std::to_string(type) + "), closing");
      return false;
    }
    if (type == kHeartbeat) {
      {
        std::lock_guard<std::mutex> lock(owner_.mutex_);
        owner_.heartbeatTicks_.push_back(platform::TickCount());
      }
      if (!silent_ && !options_.mute) {
        const Frame answer = EncodeHeartbeat();
        return SendAll(socket_, answer.data(), answer.size());
      }
      return true;
    }
    if (type == kLogout) {
      {
        std::lock_guard<std::mutex> lock(owner_.mutex_);
        ++owner_.logouts_;
      }
      Report("Logout received");
      if (!silent_ && !options_.mute) {
        const Frame answer = EncodeLogout(0, "");
        SendAll(socket_, answer.data(), answer.size());
      }
      return false;
    }
    return true;
  }

  bool AwaitLogon() {
    const uint32_t begin = platform::TickCount();
    while (!loggedOn_) {
      if (owner_.stop_.load()) return false;
      if (platform::TickCount() - begin >= options_.logonTimeoutMs) {
        Report("no Logon received, closing");
        return false;
      }
      if (!ReadIncoming(kPollMs)) return false;
    }
    return true;
  }

  // Sends feed bytes, honouring the drop and silence limits. False once the session must end;
  // *aborted tells whether the socket was closed here.
  bool Emit(const uint8_t* data, size_t n, bool* aborted) {
    if (options_.dropAfterBytes >= 0 &&
        feedBytes_ + static_cast<int64_t>(n) > options_.dropAfterBytes) {
      const size_t allowed = static_cast<size_t>(options_.dropAfterBytes - feedBytes_);
      Write(data, allowed);
      Report("dropping the connection after " + std::to_string(feedBytes_) + " feed bytes" +
             (options_.resetOnDrop ? " (reset)" : ""));
      if (options_.resetOnDrop) {
        owner_.ForgetSession(socket_);
        platform::SocketAbort(socket_);
        *aborted = true;
      }
      return false;
    }
    if (options_.silentAfterBytes >= 0 &&
        feedBytes_ + static_cast<int64_t>(n) >= options_.silentAfterBytes) {
      Write(data, static_cast<size_t>(options_.silentAfterBytes - feedBytes_));
      silent_ = true;
      Report("going silent after " + std::to_string(feedBytes_) + " feed bytes");
      return true;
    }
    return Write(data, n);
  }

  bool Write(const uint8_t* data, size_t n) {
    bool ok = true;
    if (options_.drip) {
      for (size_t i = 0; i < n && ok; ++i) ok = SendAll(socket_, data + i, 1);
    } else {
      ok = SendAll(socket_, data, n);
    }
    if (ok) {
      feedBytes_ += static_cast<int64_t>(n);
      std::lock_guard<std::mutex> lock(owner_.mutex_);
      owner_.feedBytesSent_ += n;
    }
    return ok;
  }

  // Appends the next frame of the source, with the garbage and bad frames it earns, to pending_.
  bool Produce() {
    Frame frame;
    if (!source_ || !source_->Next(&frame)) return false;
    pending_.insert(pending_.end(), frame.begin(), frame.end());
    ++frames_;
    {
      std::lock_guard<std::mutex> lock(owner_.mutex_);
      ++owner_.framesSent_;
    }
    if (options_.badChecksumEvery > 0 && frames_ % options_.badChecksumEvery == 0 &&
        frame.size() >= 12) {
      Frame bad = frame;
      bad.back() = static_cast<uint8_t>(bad.back() + 1);
      pending_.insert(pending_.end(), bad.begin(), bad.end());
    }
    if (options_.garbageEvery > 0 && frames_ % options_.garbageEvery == 0) {
      // Runs of 0xFF: no window of them reads as a plausible header, so the receiver slides over
      // them byte by byte and the next frame survives.
      pending_.insert(pending_.end(), 1 + frames_ / options_.garbageEvery % 7, 0xFF);
    }
    return true;
  }

  bool Play() {
    bool finished = !source_;
    bool reported = !source_;  // sourcesFinished_ counts sources sent to their last byte
    bool aborted = false;
    while (!owner_.stop_.load()) {
      size_t due = 0;
      if (!finished && !silent_) {
        if (options_.messagesPerSecond == 0) {
          due = kFullSpeedBatch;
        } else {
          const uint64_t elapsed = platform::TickCount() - started_;
          const uint64_t target = elapsed * options_.messagesPerSecond / 1000;
          due = target > frames_ ? static_cast<size_t>(std::min<uint64_t>(target - frames_, 4096))
                                 : 0;
        }
      }
      if (!ReadIncoming(due > 0 ? 0 : kPollMs)) return !aborted;
      for (size_t i = 0; i < due; ++i) {
        if (!Produce()) {
          finished = true;
          break;
        }
      }
      if (silent_) pending_.clear();
      const bool flushAll = finished || !options_.bursts;
      size_t offset = 0;
      while (pending_.size() - offset >= (flushAll ? 1 : kBurstBytes)) {
        const size_t n = options_.bursts ? std::min(kBurstBytes, pending_.size() - offset)
                                         : pending_.size() - offset;
        if (!Emit(pending_.data() + offset, n, &aborted)) return !aborted;
        offset += n;
        if (silent_) break;
      }
      pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(offset));
      if (silent_) pending_.clear();
      if (finished && !reported && pending_.empty() && !silent_) {
        reported = true;
        {
          std::lock_guard<std::mutex> lock(owner_.mutex_);
          ++owner_.sourcesFinished_;
        }
        Report("whole source sent, " + std::to_string(frames_) + " frames, " +
               std::to_string(feedBytes_) + " feed bytes");
      }
    }
    return true;
  }

  GatewaySimulator& owner_;
  GatewayOptions options_;  // the owner's, less the faults this session is spared
  SocketHandle socket_;
  uint32_t number_;
  std::vector<uint8_t> inbound_;
  bool loggedOn_ = false;
  ReceivedLogon logon_;
  bool silent_ = false;
  std::unique_ptr<FeedSource> source_;
  uint32_t started_ = 0;
  uint64_t frames_ = 0;
  int64_t feedBytes_ = 0;
  std::vector<uint8_t> pending_;
};

GatewaySimulator::~GatewaySimulator() { Stop(); }

int32_t GatewaySimulator::Start(const GatewayOptions& options) {
  Stop();
  options_ = options;
  const int32_t started = platform::SocketLibraryStart();
  if (started < 0) return started;
  libraryStarted_ = true;
  const int32_t listening = platform::SocketListenLoopback(options_.port, 8, &listener_, &port_);
  if (listening < 0) {
    platform::SocketLibraryStop();
    libraryStarted_ = false;
    return listening;
  }
  Log("listening on 127.0.0.1:" + std::to_string(port_));
  stop_.store(false);
  thread_ = std::thread([this] { Serve(); });
  return 1;
}

void GatewaySimulator::Stop() {
  stop_.store(true);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (session_ != kNoSocket) platform::SocketShutdown(session_);
  }
  if (thread_.joinable()) thread_.join();
  if (listener_ != kNoSocket) {
    platform::SocketClose(listener_);
    listener_ = kNoSocket;
  }
  if (libraryStarted_) {
    platform::SocketLibraryStop();
    libraryStarted_ = false;
  }
}

void GatewaySimulator::Serve() {
  uint32_t sessions = 0;
  while (!stop_.load()) {
    if (options_.maxSessions > 0 && sessions >= options_.maxSessions) break;
    SocketHandle client = kNoSocket;
    if (platform::SocketAccept(listener_, 50, &client) <= 0) continue;
    ++sessions;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      session_ = client;
      ++connections_;
    }
    Log("session " + std::to_string(sessions) + ": connection accepted");
    // A market data gateway sends at once what it has; without this the last piece of a burst
    // would wait for the client's delayed acknowledgement.
    platform::SocketSetNoDelay(client);
    Session session(*this, client, sessions);
    const bool open = session.Run();
    bool mine;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      mine = session_ == client;
      session_ = kNoSocket;
      ++sessionsEnded_;
    }
    if (open && mine) {
      platform::SocketShutdown(client);
      platform::SocketClose(client);
    }
    Log("session " + std::to_string(sessions) + ": ended");
  }
}

void GatewaySimulator::ForgetSession(SocketHandle socket) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (session_ == socket) session_ = kNoSocket;
}

void GatewaySimulator::Log(const std::string& line) const {
  if (options_.log) options_.log(line);
}

uint32_t GatewaySimulator::Connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}

uint32_t GatewaySimulator::SessionsEnded() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sessionsEnded_;
}

std::vector<ReceivedLogon> GatewaySimulator::Logons() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return logons_;
}

uint32_t GatewaySimulator::Heartbeats() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<uint32_t>(heartbeatTicks_.size());
}

std::vector<uint32_t> GatewaySimulator::HeartbeatTicks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return heartbeatTicks_;
}

uint32_t GatewaySimulator::LogoutsReceived() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return logouts_;
}

uint64_t GatewaySimulator::FramesSent() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return framesSent_;
}

uint64_t GatewaySimulator::FeedBytesSent() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return feedBytesSent_;
}

uint32_t GatewaySimulator::SourcesFinished() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sourcesFinished_;
}

bool GatewaySimulator::WaitUntil(const std::function<bool()>& predicate, uint32_t timeoutMs) {
  const uint32_t begin = platform::TickCount();
  while (platform::TickCount() - begin < timeoutMs) {
    if (predicate()) return true;
    platform::SleepMs(5);
  }
  return predicate();
}

}  // namespace fw::tools
