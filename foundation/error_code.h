// Layer foundation/, the lowest: platform, text and code page, clocks, locks, run log, byte ring,
// threads, the ini and XML readers, numbers and error codes. It includes no other folder.
//
// Result codes of the whole system and their texts.
//
// Every operation answers a signed 32-bit status: a value that is not negative means success, a
// negative one a failure. A system error number e travels as 0x80000000 + e, an error of the
// foundation library as 0xA0000000 + n; MErrorCode turns any of them into a GBK text for the run
// log. Thread-safe; no state.
#pragma once

#include <cstdint>
#include <string>

namespace fw {

constexpr int32_t SystemErrorCode(uint32_t systemError) {
  return static_cast<int32_t>(0x80000000u + systemError);
}
constexpr int32_t FoundationErrorCode(uint32_t n) { return static_cast<int32_t>(0xA0000000u + n); }

constexpr int32_t kErrNoMemory = FoundationErrorCode(1);           // Public
constexpr int32_t kErrBadArgument = FoundationErrorCode(2);        // Public
constexpr int32_t kErrNotInitialized = FoundationErrorCode(3);     // Public
constexpr int32_t kErrNoMatch = FoundationErrorCode(4);            // MString
constexpr int32_t kErrBadDateTime = FoundationErrorCode(5);        // MDateTime
constexpr int32_t kErrFileShortRead = FoundationErrorCode(6);      // MFile
constexpr int32_t kErrFileShortWrite = FoundationErrorCode(7);     // MFile
constexpr int32_t kErrFileStringTooLong = FoundationErrorCode(8);  // MFile
constexpr int32_t kErrFileExists = FoundationErrorCode(10);        // MFile
constexpr int32_t kErrFileFindArgument = FoundationErrorCode(11);  // MFile
constexpr int32_t kErrSocketTimeout = FoundationErrorCode(13);     // MSocket, 0xA000000D
constexpr int32_t kLoopBufferFull = FoundationErrorCode(20);       // MLoopbuf, 0xA0000014
constexpr int32_t kLoopBufferEmpty = FoundationErrorCode(21);      // MLoopbuf, 0xA0000015
constexpr int32_t kArrayFull = FoundationErrorCode(32);            // MSelfRiseArry, 0xA0000020
constexpr int32_t kErrBufferTooSmall = FoundationErrorCode(55);    // Public
constexpr int32_t kErrNoSuchFunction = FoundationErrorCode(56);    // Public

constexpr bool IsSystemErrorCode(int32_t code) {
  return (static_cast<uint32_t>(code) & 0xF0000000u) == 0x80000000u;
}
constexpr bool IsFoundationErrorCode(int32_t code) {
  return (static_cast<uint32_t>(code) & 0xF0000000u) == 0xA0000000u;
}

// The code of the calling thread's last system error (errno, or GetLastError on Windows).
int32_t LastSystemErrorCode();

class MErrorCode {
 public:
  // The text of a result code, GBK:
  //   not negative        "<MErrorCode>成功返回，没有错误。"
  //   foundation error    "<module>message" from the table, or the "不能匹配的错误号" text
  //   system error        "<Windows>" + the system's own message without its line end
  static std::string Text(int32_t code);
};

}  // namespace fw
