#pragma once
// Checked conversions from floating point to integers. NaN and infinities never reach a cast:
// every conversion of a computed value to an integer goes through one of these.
#include <cstdint>
#include <optional>

namespace kavu {

// Truncates toward zero, like a cast; empty when v is not finite or the result does not fit.
std::optional<int64_t> ToInt64(double v);
std::optional<int32_t> ToInt32(double v);
std::optional<uint32_t> ToUInt32(double v);

// Rounds half away from zero; empty when v is not finite or the result does not fit.
std::optional<int64_t> RoundToInt64(double v);

// Truncating conversion that gives `fallback` when v is not finite or does not fit.
int32_t ToInt32Or(double v, int32_t fallback);

}  // namespace kavu
