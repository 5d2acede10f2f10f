#include "board/si5351_config.h"

#include <algorithm>
#include <cmath>

#include "platform/num_convert.h"
#include "platform/number_text.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {

constexpr const char* kSection = "CDlgOptions";
const char* const kOutKeys[Si5351Config::kOutputs] = {"m_Si5351_Out1Hz", "m_Si5351_Out2Hz",
                                                      "m_Si5351_Out3Hz"};
const char* const kMaxKeys[Si5351Config::kOutputs] = {
    "m_Si5351_MaxFOuts_0", "m_Si5351_MaxFOuts_1", "m_Si5351_MaxFOuts_2"};

}  // namespace

void Si5351Config::CheckAndDerive() {
  if (!std::isfinite(FrefHz) || FrefHz < 21'000'000.0 || FrefHz >= 70'000'000.0) {
    if (FrefHz != 0.0) FrefHzRefused = FrefHz;  // 0 is "not fitted", asked for, not refused
    FrefHz = 0.0;
  }
  if (!std::isfinite(PPM) || PPM < -250'000.0 || PPM > 250'000.0) PPM = 0.0;
  for (int32_t& m : MaxFOutsMHz) m = std::clamp<int32_t>(m, 20, 350);

  Fx = FrefHz / (1.0 + PPM * 1e-6);  // PPM is within +-25 %, the divisor stays positive
  KMax = 0;
  if (Fx > 0.0) {
    // floor((1e9 / Fx + 1) / 2) is at most 24 for any accepted crystal: the conversion holds.
    KMax = 2 * ToInt32Or(std::floor((1e9 / Fx + 1.0) / 2.0), 0);
  }
  FOut4Min = KMax * Fx / 8.0;
  FOutMax = 2.0 * FOut4Min;

  for (double& f : OutHz) {
    if (!std::isfinite(f) || f > 350'000'000.0) f = 0.0;
    if (f < 0.0) f = -1'000'000.0;
    if (f > FOutMax) f = FOutMax;
  }
}

std::string Si5351Config::CrystalProblem() const {
  if (Fitted()) return "";
  if (FrefHzRefused != 0.0) {
    return "настройка m_Si5351_FrefHz = " + FormatG(FrefHzRefused, 10) +
           " Гц вне 21 … 70 МГц: кварц Si5351 не задан, его выходы не генераторы";
  }
  return "настройка m_Si5351_FrefHz = 0: Si5351 не установлен, его выходы не генераторы";
}

void Si5351Config::LogLimits() const {
  Log() << "Настроено m_Si5351_FOut4Min = " << FOut4Min / 1e6 << " max=" << FOutMax / 1e6
        << " KMax=" << KMax << "\n";
}

Si5351Config Si5351Config::Load() {
  Si5351Config c;
  SettingsStore& s = Settings();
  c.FrefHz = s.GetProfileDouble(kSection, "m_Si5351_FrefHz", 25'000'000.0);
  c.PPM = s.GetProfileDouble(kSection, "m_Si5351_PPM", 0.0);
  for (int k = 0; k < kOutputs; ++k) {
    c.OutHz[static_cast<size_t>(k)] = s.GetProfileDouble(kSection, kOutKeys[k], 0.0);
    c.MaxFOutsMHz[static_cast<size_t>(k)] = s.GetProfileInt(kSection, kMaxKeys[k], 250);
  }
  c.CheckAndDerive();
  if (c.FrefHzRefused != 0.0) LogRed(c.CrystalProblem() + "\n");
  c.LogLimits();
  return c;
}

void Si5351Config::Save() const {
  SettingsStore& s = Settings();
  s.WriteProfileDouble(kSection, "m_Si5351_FrefHz", FrefHz);
  s.WriteProfileDouble(kSection, "m_Si5351_PPM", PPM);
  for (int k = 0; k < kOutputs; ++k) {
    s.WriteProfileDouble(kSection, kOutKeys[k], OutHz[static_cast<size_t>(k)]);
    s.WriteProfileInt(kSection, kMaxKeys[k], MaxFOutsMHz[static_cast<size_t>(k)]);
  }
}

}  // namespace kavu
