#include "shell/settings_fields.h"

namespace kavu {

int32_t InRange(int32_t v, int32_t def, const SettingRange& range) {
  if (range.rule == RangeRule::kKeep) return v;
  if (range.rule == RangeRule::kOne) return v != 0 ? 1 : 0;
  if (v >= range.lo && v <= range.hi) return v;
  switch (range.rule) {
    case RangeRule::kClamp: return static_cast<int32_t>(v < range.lo ? range.lo : range.hi);
    case RangeRule::kLow: return static_cast<int32_t>(range.lo);
    case RangeRule::kDefaultBelowClampAbove: return v < range.lo ? def : static_cast<int32_t>(range.hi);
    default: return def;
  }
}

double InRange(double v, double def, const SettingRange& range) {
  if (range.rule == RangeRule::kKeep) return v;
  if (!std::isfinite(v)) return def;
  if (range.rule == RangeRule::kOne) return v != 0 ? 1 : 0;
  if (v >= range.lo && v <= range.hi) return v;
  switch (range.rule) {
    case RangeRule::kClamp: return v < range.lo ? range.lo : range.hi;
    case RangeRule::kLow: return range.lo;
    case RangeRule::kDefaultBelowClampAbove: return v < range.lo ? def : range.hi;
    default: return def;
  }
}

}  // namespace kavu
