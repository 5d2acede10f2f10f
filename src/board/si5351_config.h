#pragma once
// Settings of the Si5351 clock generator (section "CDlgOptions") and the limits derived from them.
//
// Each of the outputs CLK0..CLK2 has a role: 0 = swept output (stepped by scans, from PLL A),
// positive = fixed output at that frequency in Hz (set once at initialisation, from PLL B),
// negative = off. A crystal frequency of 0 means no Si5351 is fitted: every derived limit is then 0
// (no NaN, no undefined conversion) and no output is offered as a generator.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "shell/settings_fields.h"

namespace kavu {

struct Si5351Config {
  static constexpr int kOutputs = 3;

  double FrefHz = 25'000'000.0;  // crystal, Hz; 0 = not fitted
  double PPM = 0.0;              // crystal error, parts per million
  std::array<double, kOutputs> OutHz{0.0, 0.0, 0.0};  // role of CLK0..2, see above
  std::array<int32_t, kOutputs> MaxFOutsMHz{250, 250, 250};  // highest fundamental, MHz

  // The stored crystal frequency CheckAndDerive refused (outside 21 … 70 MHz, not finite), Hz;
  // 0 when none was refused.
  double FrefHzRefused = 0.0;

  // Derived by Derive(); never NaN.
  double Fx = 0.0;          // true crystal frequency, Hz
  int32_t KMax = 0;         // even integer nearest to 1e9 / Fx; VCO of integer mode = KMax * Fx
  double FOut4Min = 0.0;    // KMax * Fx / 8, Hz: lowest frequency of the fractional-PLL mode
  double FOutMax = 0.0;     // KMax * Fx / 4, Hz: highest fundamental the chip is asked for

  // Applies the load checks to the stored values, then derives the limits and clamps fixed
  // frequencies to FOutMax. Idempotent.
  void CheckAndDerive();
  // Logs "Настроено m_Si5351_FOut4Min = ..." with the derived limits.
  void LogLimits() const;
  bool Fitted() const { return Fx > 0.0; }
  // Why no Si5351 output can be a generator, naming the setting m_Si5351_FrefHz; empty when fitted.
  std::string CrystalProblem() const;
  // True when output k is the swept output (role exactly 0).
  bool IsSwept(int k) const { return OutHz[static_cast<size_t>(k)] == 0.0; }

  // The stored keys of section "CDlgOptions" (crystal, crystal error, each output's role and
  // highest fundamental) with their defaults.
  static std::span<const SettingBinding<Si5351Config>> Bindings();
  // Reads the keys from the settings store and checks them.
  static Si5351Config Load();
  // Writes the current values back (after an options change).
  void Save() const;

  bool operator==(const Si5351Config&) const = default;
};

}  // namespace kavu
