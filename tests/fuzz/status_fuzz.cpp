// Arbitrary bytes as the health status file, as `fenwright --status` reads it: the JSON reader and
// the status reader take or refuse them without harm, and whatever they take is written again and
// read back to the same text. The same bytes as one text of the JSON writer always read back as a
// string.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/json_value.h"
#include "foundation/json_writer.h"
#include "shell/health_status.h"
#include "shell/status_report.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using fw::fuzz::Check;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  fw::JsonValue value;
  std::string reason;
  const bool parsed = fw::ParseJson(text, &value, &reason);
  Check(parsed == reason.empty());

  fw::shell::HealthStatus status;
  if (fw::shell::StatusFromJson(text, &status, &reason)) {
    Check(parsed);
    const std::string written = fw::shell::StatusToJson(status);
    fw::shell::HealthStatus again;
    Check(fw::shell::StatusFromJson(written, &again, &reason));
    Check(fw::shell::StatusToJson(again) == written);
    // Any reading time, even one that makes every difference overflow-prone, gives a report.
    const fw::shell::StatusReport report = fw::shell::ReportStatus(status, status.updatedAt + 59);
    Check(report.exitCode >= 0 && report.exitCode <= 2);
    Check(report.text.rfind("FENWRIGHT ", 0) == 0);
  }

  fw::JsonWriter json;
  json.BeginArray();
  json.String(text);
  json.EndArray();
  fw::JsonValue written;
  Check(fw::ParseJson(json.Text(), &written, &reason));
  Check(written.At(0).GetString() != nullptr);
  return 0;
}
