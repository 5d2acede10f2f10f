#include "platform/num_convert.h"

#include <cmath>

namespace kavu {

std::optional<int64_t> ToInt64(double v) {
  // 2^63 is exactly representable; every double below it converts without overflow.
  if (!std::isfinite(v) || v >= 9223372036854775808.0 || v < -9223372036854775808.0) return {};
  return static_cast<int64_t>(v);
}

std::optional<int32_t> ToInt32(double v) {
  if (!std::isfinite(v) || v >= 2147483648.0 || v <= -2147483649.0) return {};
  return static_cast<int32_t>(v);
}

std::optional<uint32_t> ToUInt32(double v) {
  if (!std::isfinite(v) || v >= 4294967296.0 || v <= -1.0) return {};
  return static_cast<uint32_t>(v);
}

std::optional<int64_t> RoundToInt64(double v) {
  if (!std::isfinite(v)) return {};
  return ToInt64(std::round(v));
}

int32_t ToInt32Or(double v, int32_t fallback) { return ToInt32(v).value_or(fallback); }

}  // namespace kavu
