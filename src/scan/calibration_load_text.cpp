#include "scan/calibration_load_text.h"

#include <algorithm>
#include <array>

#include "measure/calibration_setup.h"
#include "platform/number_text.h"

namespace kavu {
namespace {

constexpr std::string_view kShortName = "КЗ";
constexpr std::string_view kOpenName = "ХХ";

size_t FileIndex(int file) { return static_cast<size_t>(std::clamp(file, 0, 2)); }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

// The text without a trailing unit name, if it has one.
std::string_view WithoutUnit(std::string_view s) {
  for (std::string_view unit : {"Ом", "ом", "ОМ", "Ohm", "ohm"}) {
    if (s.size() > unit.size() && s.substr(s.size() - unit.size()) == unit) {
      return Trim(s.substr(0, s.size() - unit.size()));
    }
  }
  return s;
}

}  // namespace

const std::vector<std::string>& CalibrationLoadChoices(int file) {
  static const std::array<std::vector<std::string>, 3> choices = {
      std::vector<std::string>{"50 Ом", "51 Ом", "75 Ом"},
      std::vector<std::string>{std::string(kShortName), "10 Ом", "24 Ом"},
      std::vector<std::string>{std::string(kOpenName), "200 Ом", "100 Ом"},
  };
  return choices[FileIndex(file)];
}

double ParseCalibrationLoad(int file, std::string_view text) {
  const size_t i = FileIndex(file);
  const double def = CalibrationSetup::kLoadDefault[i];
  const std::string_view t = Trim(text);
  double v = def;
  if (t == kShortName) {
    v = 0;
  } else if (t == kOpenName) {
    v = CalibrationSetup::kOpenOhm;
  } else if (const auto parsed = ParseRealWhole(WithoutUnit(t))) {
    v = *parsed;
  }
  return std::clamp(v, CalibrationSetup::kLoadMin[i], CalibrationSetup::kLoadMax[i]);
}

std::string FormatCalibrationLoad(double ohm) {
  if (ohm == 0) return std::string(kShortName);
  if (ohm == CalibrationSetup::kOpenOhm) return std::string(kOpenName);
  return FormatTrimmed(ohm, 6) + " Ом";
}

}  // namespace kavu
