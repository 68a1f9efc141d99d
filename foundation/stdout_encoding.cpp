#include "foundation/stdout_encoding.h"

#include <atomic>
#include <cstdio>
#include <string>

#include "foundation/gbk.h"
#include "foundation/platform/platform.h"

namespace fw {
namespace {

constexpr int kUnset = -1;
std::atomic<int> gEncoding{kUnset};

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

StdoutEncoding EncodingForCharset(std::string_view charset) {
  for (std::string_view gbk : {"GBK", "GB18030", "CP936", "GB2312"}) {
    if (SameLetters(charset, gbk)) return StdoutEncoding::kGbk;
  }
  return StdoutEncoding::kUtf8;
}

bool ParseStdoutEncoding(std::string_view name, StdoutEncoding* encoding) {
  if (SameLetters(name, "gbk")) {
    *encoding = StdoutEncoding::kGbk;
    return true;
  }
  if (SameLetters(name, "utf-8") || SameLetters(name, "utf8")) {
    *encoding = StdoutEncoding::kUtf8;
    return true;
  }
  return false;
}

void SetStdoutEncoding(StdoutEncoding encoding) { gEncoding = static_cast<int>(encoding); }

StdoutEncoding CurrentStdoutEncoding() {
  int encoding = gEncoding.load();
  if (encoding == kUnset) {
    // Two threads may both look the locale up; they find the same answer, and an override set
    // meanwhile is kept.
    int unset = kUnset;
    gEncoding.compare_exchange_strong(
        unset, static_cast<int>(EncodingForCharset(platform::LocaleCharset())));
    encoding = gEncoding.load();
  }
  return static_cast<StdoutEncoding>(encoding);
}

void PrintToStdout(std::string_view gbk) {
  if (CurrentStdoutEncoding() == StdoutEncoding::kUtf8) {
    const std::string utf8 = GbkToUtf8(gbk);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  } else {
    std::fwrite(gbk.data(), 1, gbk.size(), stdout);
  }
  std::fflush(stdout);
}

}  // namespace fw
