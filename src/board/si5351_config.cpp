#include "board/si5351_config.h"

#include <algorithm>
#include <cmath>

#include "platform/num_convert.h"
#include "platform/number_text.h"
#include "shell/log_console.h"
#include "shell/settings_fields.h"

namespace kavu {
namespace {

constexpr const char* kSection = "CDlgOptions";
using C = Si5351Config;

// The crystal and the outputs' roles are checked by CheckAndDerive, which needs them together.
constexpr SettingBinding<Si5351Config> kSiFields[] = {
    Bind<&C::FrefHz>("m_Si5351_FrefHz", 25'000'000.0),
    Bind<&C::PPM>("m_Si5351_PPM", 0.0, DefaultOutside(-250'000.0, 250'000.0)),
    BindElement<&C::OutHz, 0>("m_Si5351_Out1Hz", 0.0),
    BindElement<&C::MaxFOutsMHz, 0>("m_Si5351_MaxFOuts_0", 250, ClampTo(20, 350)),
    BindElement<&C::OutHz, 1>("m_Si5351_Out2Hz", 0.0),
    BindElement<&C::MaxFOutsMHz, 1>("m_Si5351_MaxFOuts_1", 250, ClampTo(20, 350)),
    BindElement<&C::OutHz, 2>("m_Si5351_Out3Hz", 0.0),
    BindElement<&C::MaxFOutsMHz, 2>("m_Si5351_MaxFOuts_2", 250, ClampTo(20, 350)),
};

}  // namespace

void Si5351Config::CheckAndDerive() {
  if (!std::isfinite(FrefHz) || FrefHz < 21'000'000.0 || FrefHz >= 70'000'000.0) {
    if (FrefHz != 0.0) FrefHzRefused = FrefHz;  // 0 is "not fitted", asked for, not refused
    FrefHz = 0.0;
  }
  CheckSettings(Bindings(), *this);  // the crystal error and the highest fundamentals

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

std::span<const SettingBinding<Si5351Config>> Si5351Config::Bindings() { return kSiFields; }

Si5351Config Si5351Config::Load() {
  Si5351Config c;
  LoadSettings(Settings(), kSection, Bindings(), c);
  c.CheckAndDerive();
  if (c.FrefHzRefused != 0.0) LogRed(c.CrystalProblem() + "\n");
  c.LogLimits();
  return c;
}

void Si5351Config::Save() const { SaveSettings(Settings(), kSection, Bindings(), *this); }

}  // namespace kavu
