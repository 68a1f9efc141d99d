// Address parsing shared by both socket implementations: no OS call is needed to read a dotted
// IPv4 address, and doing it here keeps the accepted forms identical on every OS.
#include "foundation/platform/socket.h"

namespace fw::platform {

bool ParseDottedIPv4(const char* text, uint32_t* address) {
  if (text == nullptr) return false;
  uint32_t value = 0;
  const char* p = text;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (*p != '.') return false;
      ++p;
    }
    // One to three digits, so that "0000001" cannot pass as 1 and no part can overflow.
    uint32_t number = 0;
    int digits = 0;
    while (*p >= '0' && *p <= '9') {
      if (++digits > 3) return false;
      number = number * 10 + static_cast<uint32_t>(*p - '0');
      ++p;
    }
    if (digits == 0 || number > 255) return false;
    value = (value << 8) | number;
  }
  if (*p != '\0') return false;
  *address = value;
  return true;
}

}  // namespace fw::platform
