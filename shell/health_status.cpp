#include "shell/health_status.h"

#include <cstdio>

#include "foundation/json_value.h"
#include "foundation/json_writer.h"

namespace fw::shell {
namespace {

using client::ConnectionState;
using client::GatewayRole;

const char* const kServiceStates[] = {"stopped", "starting", "running", "retrying", "stopping"};
const char* const kConnectionStates[] = {"disconnected", "connecting", "connected"};
const char* const kGateways[] = {"primary", "backup"};

template <size_t N>
int IndexOfName(const char* const (&names)[N], const std::string& name) {
  for (size_t i = 0; i < N; ++i) {
    if (name == names[i]) return static_cast<int>(i);
  }
  return -1;
}

bool ValidDate(int year, int month, int day) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || month < 1 || month > 12 || day < 1) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

void Time(JsonWriter& json, const char* key, const StatusTime& time) {
  json.Key(key);
  if (time) {
    json.String(IsoLocalTime(*time));
  } else {
    json.Null();
  }
}

// An object of named counts.
void Counts(JsonWriter& json, const char* key,
            const std::vector<std::pair<std::string, uint64_t>>& counts) {
  json.Key(key);
  json.BeginObject();
  for (const auto& [name, count] : counts) {
    json.Key(name);
    json.UInt(count);
  }
  json.EndObject();
}

// Reads the fields of a parsed file; the first missing or malformed field ends the reading.
class FieldReader {
 public:
  bool Failed() const { return !reason_.empty(); }
  const std::string& Reason() const { return reason_; }

  const JsonValue& Object(const JsonValue& parent, const char* name) {
    const JsonValue& v = parent[name];
    if (!v.IsObject()) Fail(name, "an object");
    return v;
  }
  std::string Text(const JsonValue& parent, const char* name) {
    const std::string* text = parent[name].GetString();
    if (text == nullptr) {
      Fail(name, "a text");
      return std::string();
    }
    return *text;
  }
  int64_t Int(const JsonValue& parent, const char* name, int64_t least, int64_t most) {
    int64_t value = 0;
    if (!parent[name].GetInt(&value) || value < least || value > most) {
      Fail(name,
           ("an integer from " + std::to_string(least) + " to " + std::to_string(most)).c_str());
      return 0;
    }
    return value;
  }
  bool Flag(const JsonValue& parent, const char* name) {
    bool value = false;
    if (!parent[name].GetBool(&value)) Fail(name, "true or false");
    return value;
  }
  StatusTime Time(const JsonValue& parent, const char* name) {
    const JsonValue& v = parent[name];
    if (v.IsNull()) {
      // A missing member reads as null too: the name must be there.
      if (parent.IsObject()) {
        for (const auto& member : parent.Members()) {
          if (member.first == name) return std::nullopt;
        }
      }
      Fail(name, "a time or null");
      return std::nullopt;
    }
    int64_t t = 0;
    const std::string* text = v.GetString();
    if (text == nullptr || !ParseIsoLocalTime(*text, &t)) {
      Fail(name, "a time or null");
      return std::nullopt;
    }
    return t;
  }
  int64_t RequiredTime(const JsonValue& parent, const char* name) {
    const StatusTime t = Time(parent, name);
    if (!t) Fail(name, "a time");
    return t.value_or(0);
  }
  template <size_t N>
  int Name(const JsonValue& parent, const char* name, const char* const (&names)[N]) {
    const int index = IndexOfName(names, Text(parent, name));
    if (index < 0) Fail(name, "a known name");
    return index < 0 ? 0 : index;
  }
  bool IsNullMember(const JsonValue& parent, const char* name) {
    if (!parent[name].IsNull()) return false;
    Time(parent, name);  // a missing member fails here
    return true;
  }

 private:
  void Fail(const char* name, const char* what) {
    if (reason_.empty()) reason_ = std::string("\"") + name + "\" is not " + what;
  }
  std::string reason_;
};

constexpr int64_t kMaxU32 = 0xFFFFFFFFll;
constexpr int64_t kMaxI64 = INT64_MAX;

}  // namespace

const char* ServiceStateName(ServiceState state) { return kServiceStates[static_cast<int>(state)]; }

std::string IsoLocalTime(int64_t secondsSinceEpoch) {
  const LocalDateTime t = LocalDateTimeAt(secondsSinceEpoch);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

bool ParseIsoLocalTime(std::string_view text, int64_t* secondsSinceEpoch) {
  // YYYY-MM-DDTHH:MM:SS, digits where the pattern has 9.
  static const char kPattern[] = "9999-99-99T99:99:99";
  if (text.size() != sizeof kPattern - 1) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kPattern[i] == '9' ? !digit : text[i] != kPattern[i]) return false;
  }
  auto number = [&](size_t at, size_t length) {
    int value = 0;
    for (size_t i = at; i < at + length; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  LocalDateTime t;
  t.year = number(0, 4);
  t.month = number(5, 2);
  t.day = number(8, 2);
  t.hour = number(11, 2);
  t.minute = number(14, 2);
  t.second = number(17, 2);
  if (!ValidDate(t.year, t.month, t.day) || t.hour > 23 || t.minute > 59 || t.second > 59) {
    return false;
  }
  *secondsSinceEpoch = SecondsSinceEpoch(t);
  return true;
}

std::string StatusToJson(const HealthStatus& s) {
  JsonWriter json;
  json.BeginObject();
  json.Key("version");
  json.String(s.version);
  json.Key("pid");
  json.UInt(s.pid);
  Time(json, "updatedAt", s.updatedAt);
  Time(json, "endedAt", s.endedAt);
  json.Key("writeIntervalMs");
  json.UInt(s.writeIntervalMs);
  json.Key("tradingWindow");
  json.BeginObject();
  json.Key("begin");
  json.Int(s.tradingWindow.begin);
  json.Key("end");
  json.Int(s.tradingWindow.end);
  json.Key("workingDay");
  json.Bool(s.tradingWindow.workingDay);
  json.EndObject();
  json.Key("service");
  json.String(ServiceStateName(s.service));

  const ConnectionStatus& c = s.connection;
  json.Key("connection");
  json.BeginObject();
  json.Key("address");
  json.String(c.address);
  json.Key("port");
  json.UInt(c.port);
  json.Key("state");
  json.String(kConnectionStates[static_cast<int>(c.state)]);
  json.Key("gateway");
  json.String(kGateways[static_cast<int>(c.gateway)]);
  Time(json, "loggedOnSince", c.loggedOnSince);
  Time(json, "disconnectedSince", c.disconnectedSince);
  json.EndObject();
  json.Key("reconnects");
  json.UInt(s.reconnects);

  Time(json, "lastMessageAt", s.lastMessageAt);
  Time(json, "marketTime", s.marketTime);
  Counts(json, "messagesApplied", s.messagesApplied);
  Counts(json, "framesRejected",
         {{"badChecksum", s.badChecksum}, {"shortBody", s.shortBody}, {"longBody", s.longBody}});
  Counts(json, "bytes", {{"received", s.bytesReceived}, {"skipped", s.bytesSkipped}});

  json.Key("lastCycle");
  if (s.lastCycle) {
    json.BeginObject();
    Time(json, "start", s.lastCycle->start);
    json.Key("durationMs");
    json.UInt(s.lastCycle->durationMs);
    json.Key("bytes");
    json.UInt(s.lastCycle->bytes);
    json.EndObject();
  } else {
    json.Null();
  }

  json.Key("files");
  json.BeginObject();
  for (const FileStatus& f : s.files) {
    json.Key(f.name);
    json.BeginObject();
    json.Key("path");
    json.String(f.path);
    Time(json, "lastWrittenAt", f.lastWrittenAt);
    json.Key("lastError");
    if (f.lastError) {
      json.BeginObject();
      json.Key("code");
      json.UInt(static_cast<uint32_t>(f.lastError->code));
      json.Key("text");
      json.String(f.lastError->text);
      Time(json, "at", f.lastError->at);
      Time(json, "since", f.lastError->since);
      json.EndObject();
    } else {
      json.Null();
    }
    json.EndObject();
  }
  json.EndObject();
  json.EndObject();
  return json.Text();
}

bool StatusFromJson(std::string_view text, HealthStatus* status, std::string* reason) {
  JsonValue root;
  std::string parseReason;
  if (!ParseJson(text, &root, &parseReason)) {
    *reason = "not JSON: " + parseReason;
    return false;
  }
  if (!root.IsObject()) {
    *reason = "not a status: the text is no JSON object";
    return false;
  }
  FieldReader r;
  HealthStatus s;
  s.version = r.Text(root, "version");
  s.pid = static_cast<uint32_t>(r.Int(root, "pid", 0, kMaxU32));
  s.updatedAt = r.RequiredTime(root, "updatedAt");
  s.endedAt = r.Time(root, "endedAt");
  s.writeIntervalMs = static_cast<uint32_t>(r.Int(root, "writeIntervalMs", 0, kMaxU32));
  const JsonValue& window = r.Object(root, "tradingWindow");
  s.tradingWindow.begin = static_cast<int32_t>(r.Int(window, "begin", INT32_MIN, INT32_MAX));
  s.tradingWindow.end = static_cast<int32_t>(r.Int(window, "end", INT32_MIN, INT32_MAX));
  s.tradingWindow.workingDay = r.Flag(window, "workingDay");
  s.service = static_cast<ServiceState>(r.Name(root, "service", kServiceStates));

  const JsonValue& connection = r.Object(root, "connection");
  ConnectionStatus& c = s.connection;
  c.address = r.Text(connection, "address");
  c.port = static_cast<uint16_t>(r.Int(connection, "port", 0, 65535));
  c.state = static_cast<ConnectionState>(r.Name(connection, "state", kConnectionStates));
  c.gateway = static_cast<GatewayRole>(r.Name(connection, "gateway", kGateways));
  c.loggedOnSince = r.Time(connection, "loggedOnSince");
  c.disconnectedSince = r.Time(connection, "disconnectedSince");
  s.reconnects = static_cast<uint32_t>(r.Int(root, "reconnects", 0, kMaxU32));

  s.lastMessageAt = r.Time(root, "lastMessageAt");
  s.marketTime = r.Time(root, "marketTime");
  const JsonValue& applied = r.Object(root, "messagesApplied");
  for (const auto& member : applied.Members()) {
    s.messagesApplied.emplace_back(member.first, r.Int(applied, member.first.c_str(), 0, kMaxI64));
  }
  const JsonValue& rejected = r.Object(root, "framesRejected");
  s.badChecksum = static_cast<uint64_t>(r.Int(rejected, "badChecksum", 0, kMaxI64));
  s.shortBody = static_cast<uint64_t>(r.Int(rejected, "shortBody", 0, kMaxI64));
  s.longBody = static_cast<uint64_t>(r.Int(rejected, "longBody", 0, kMaxI64));
  const JsonValue& bytes = r.Object(root, "bytes");
  s.bytesReceived = static_cast<uint64_t>(r.Int(bytes, "received", 0, kMaxI64));
  s.bytesSkipped = static_cast<uint64_t>(r.Int(bytes, "skipped", 0, kMaxI64));

  if (!r.IsNullMember(root, "lastCycle")) {
    const JsonValue& cycle = r.Object(root, "lastCycle");
    CycleStatus cs;
    cs.start = r.RequiredTime(cycle, "start");
    cs.durationMs = static_cast<uint32_t>(r.Int(cycle, "durationMs", 0, kMaxU32));
    cs.bytes = static_cast<uint64_t>(r.Int(cycle, "bytes", 0, kMaxI64));
    s.lastCycle = cs;
  }

  const JsonValue& files = r.Object(root, "files");
  if (!r.Failed() && files.Size() != s.files.size()) {
    *reason = "\"files\" does not hold the six files";
    return false;
  }
  for (size_t i = 0; i < s.files.size() && !r.Failed(); ++i) {
    const auto& [name, file] = files.Members()[i];
    FileStatus& f = s.files[i];
    f.name = name;
    if (!file.IsObject()) {
      r.Object(files, name.c_str());
      break;
    }
    f.path = r.Text(file, "path");
    f.lastWrittenAt = r.Time(file, "lastWrittenAt");
    if (!r.IsNullMember(file, "lastError")) {
      const JsonValue& error = r.Object(file, "lastError");
      FileStatus::Error e;
      e.code = static_cast<int32_t>(static_cast<uint32_t>(r.Int(error, "code", 0, kMaxU32)));
      e.text = r.Text(error, "text");
      e.at = r.RequiredTime(error, "at");
      e.since = r.RequiredTime(error, "since");
      f.lastError = e;
    }
  }
  if (r.Failed()) {
    *reason = r.Reason();
    return false;
  }
  *status = std::move(s);
  reason->clear();
  return true;
}

}  // namespace fw::shell
