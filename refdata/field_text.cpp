#include "refdata/field_text.h"

namespace fw::refdata {

int64_t TruncateToInt64(double value) {
  // 2^63 is exact in a double; the int64 range is [-2^63, 2^63).
  constexpr double kLimit = 9223372036854775808.0;
  if (!(value > -kLimit && value < kLimit)) return 0;
  return static_cast<int64_t>(value);
}

}  // namespace fw::refdata
