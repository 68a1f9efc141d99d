#include "client/static_client.h"

#include <cstring>

#include "feed/feed_format.h"
#include "feed/feed_message_writer.h"
#include "foundation/run_log.h"

namespace fw::client {
namespace {

// A configured text up to its terminator or the end of its array, whichever comes first: a
// dialog may have filled every byte.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

}  // namespace

void BuildLogon(const config::ConfigInfo& config, uint8_t* message) {
  std::memset(message, 0, kLogonBytes);
  feed::FeedMessageWriter writer(message, kLogonBytes);
  writer.PutHeader(feed::kMsgLogon);
  writer.PutText(FieldText(config.sender).c_str(), 20);
  writer.PutText(FieldText(config.target).c_str(), 20);
  writer.PutUInt32(static_cast<uint32_t>(config.heartbt));
  writer.PutText(FieldText(config.password).c_str(), 16);
  writer.PutText(FieldText(config.ver).c_str(), 32);
  writer.PutChecksum();
}

void BuildHeartbeat(uint8_t* message) {
  std::memset(message, 0, kHeartbeatBytes);
  feed::FeedMessageWriter writer(message, kHeartbeatBytes);
  writer.PutHeader(feed::kMsgHeartbeat);
  writer.PutChecksum();
}

void BuildLogout(uint8_t* message) {
  std::memset(message, 0, kLogoutBytes);
  feed::FeedMessageWriter writer(message, kLogoutBytes);
  writer.PutHeader(feed::kMsgLogout);
  writer.PutChecksum();
}

StaticClient::StaticClient(const config::ConfigInfo& config, feed::MarketDataDecoder& decoder,
                           CaptureFile& capture, ProcessorGate& processor,
                           const ClientTimings& timings)
    : MClientIO(config, processor, timings),
      decoder_(decoder),
      capture_(capture),
      capturePrefix_(FieldText(config.savefile)) {}

StaticClient::~StaticClient() { StaticClient::Stop(); }

int32_t StaticClient::Start(const config::ConfigInfo& config) {
  Stop();
  SetConfig(config);
  capturePrefix_ = FieldText(config.savefile);
  return MClientIO::Start(FieldText(config.ip).c_str(), config.port,
                          FieldText(config.backupip).c_str(), config.backupport);
}

void StaticClient::Stop() {
  MClientIO::Stop();
  capture_.Close();
}

int32_t StaticClient::SendLoginCmd() {
  uint8_t message[kLogonBytes];
  BuildLogon(Config(), message);
  const int32_t result = SendData(message, kLogonBytes, kSendTries);
  WriteLog(0, "sendlogon:%d === %d ", kLogonBytes, result);
  return result;
}

int32_t StaticClient::SendHeartbeatCmd() {
  uint8_t message[kHeartbeatBytes];
  BuildHeartbeat(message);
  WriteLog(0, "sendheartbeat:%d", 0);
  return SendData(message, kHeartbeatBytes, kSendTries);
}

int32_t StaticClient::SendLogoutCmd() {
  uint8_t message[kLogoutBytes];
  BuildLogout(message);
  WriteLog(0, "sendlogout:%d ", kLogoutBytes);
  return SendData(message, kLogoutBytes, kSendTries);
}

void StaticClient::OnConnected() {
  // Whatever the last connection left of an unfinished frame can never be completed now.
  decoder_.DiscardPartialFrame();
  WriteLog(0, "%s",
           (std::string("<StaticClient>与源服务器<") + ServerAddress() + ">建立连接成功").c_str());
  if (SendLoginCmd() > 0) {
    WriteLog(0, "%s", "<StaticClient>SendLoginCmd成功");
  } else {
    WriteLog(0, "%s", "<StaticClient>SendLoginCmd失败");
  }
  heartbeatClock_.SetAt(Timings().Now());
}

int32_t StaticClient::OnData(const uint8_t* bytes, int32_t length) {
  if (length <= 0) return 1;
  const uint32_t n = static_cast<uint32_t>(length);
  if (Config().SaveFileFlag()) capture_.Append(capturePrefix_, bytes, n);
  decoder_.Process(bytes, n);
  return 1;
}

void StaticClient::OnTimer() {
  // In 64 bits, so that a large configured interval cannot overflow; a negative one counts as 0
  // (a Heartbeat on every timer call) rather than as "never", which would let the session lapse.
  const int64_t heartbt = Config().heartbt > 0 ? Config().heartbt : 0;
  const uint32_t now = Timings().Now();
  if (static_cast<int64_t>(heartbeatClock_.ElapsedAt(now)) >= heartbt * 1000) {
    heartbeatClock_.SetAt(now);
    SendHeartbeatCmd();
  }
}

}  // namespace fw::client
