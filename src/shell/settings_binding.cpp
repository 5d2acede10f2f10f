#include "shell/settings_binding.h"

#include <algorithm>
#include <cmath>

#include "platform/number_text.h"
#include "shell/settings_store.h"

namespace kavu {

bool LoadCheck(std::string_view section, std::string_view key, bool def) {
  return Settings().GetProfileInt(section, key, def ? 1 : 0) != 0;
}

void SaveCheck(std::string_view section, std::string_view key, bool checked) {
  Settings().WriteProfileInt(section, key, checked ? 1 : 0);
}

int LoadListIndex(std::string_view section, std::string_view key, int def, int count) {
  const int v = Settings().GetProfileInt(section, key, def);
  return (v < 0 || v >= count) ? 0 : v;
}

int32_t SaveIntEditText(std::string_view section, std::string_view key, std::string_view text) {
  const int32_t v = ParseInt(text).value_or(0);
  Settings().WriteProfileInt(section, key, v);
  return v;
}

double LoadRealEdit(std::string_view section, std::string_view key, double d, double lo,
                    double hi) {
  double v = Settings().GetProfileDouble(section, key, d);
  if (!(v >= lo && v <= hi)) v = d;
  return std::clamp(v, lo, hi);
}

double SaveRealEditText(std::string_view section, std::string_view key, std::string_view text,
                        double d, double lo, double hi) {
  const double v = std::clamp(ParseReal(text).value_or(d), lo, hi);
  Settings().WriteProfileDouble(section, key, v);
  return v;
}

std::string FormatEditReal(double v) { return FormatTrimmed(v, 6); }

double ParseMHzEditText(std::string_view text) {
  std::string t(text);
  std::replace(t.begin(), t.end(), ',', '.');
  return ParseReal(t).value_or(144.123) * 1e6;
}

double SaveMHzEditText(std::string_view section, std::string_view key, std::string_view text) {
  const double hz = ParseMHzEditText(text);
  Settings().WriteProfileDouble(section, key, hz);
  return hz;
}

}  // namespace kavu
