#include "scan/scan_group.h"

#include <algorithm>
#include <cmath>

#include "platform/num_convert.h"
#include "platform/number_text.h"
#include "shell/log_console.h"

namespace kavu {

int GroupSizeLimit(const GroupPlanInputs& in) {
  const double t = (2.0 * in.zondN + 1) * in.slotSec * 1000 + 1;
  const int d = ToInt32Or(std::floor(in.multyImpsTMax / t), 1);
  return std::clamp(d, 1, kMaxGroupFrequencies);
}

namespace {

double HalfSpan(const GroupPlanInputs& in) {
  double base = in.sampleRateHz;
  if (in.multyPolosaRsp && in.analogBandwidthHz > 0) base = in.analogBandwidthHz;
  return std::fabs(in.multyPolosaUsed * 0.01 * base) / 2;
}

void CheckPlacement(GroupPlan& g, double H, double dMin) {
  for (int j = 0; j < g.count; ++j) {
    const double f = g.freqs[static_cast<size_t>(j)];
    const double dF = f - g.tuningHz;
    std::string line = "nf=" + std::to_string(j) + " F=" + FormatTrimmed(f / 1e6, 6) +
                       " FSdr=" + FormatTrimmed(g.tuningHz / 1e6, 6) + " dF=" + FormatTrimmed(dF / 1e6, 6);
    if (std::fabs(dF) > H) {
      line += " Polosa2=" + FormatTrimmed(H / 1e6, 6) + "\n";
      g.inconsistencies.push_back("Ошибка в расчете, частота оказалась вне полосы ");
    } else if (std::fabs(dF) < dMin) {
      line += " Fnch_f_real=" + FormatTrimmed(dMin / 1e6, 6) + "\n";
      g.inconsistencies.push_back("Ошибка в расчете, частота оказалась близка к центральной");
    } else {
      continue;
    }
    LogRed(line);
  }
}

}  // namespace

GroupPlan PlanGroupTuning(const double* freqs, int count, const GroupPlanInputs& in) {
  GroupPlan g;
  const double dMin = std::max(in.firstNullHz, in.polosaFM / 2);
  const double H = HalfSpan(in);
  if (!(H >= dMin)) {
    g.status = GroupPlan::Status::kConflict;
    g.error = "Полоса приёма (m_MultyPolosaUsed=" + std::to_string(in.multyPolosaUsed) +
              "%, половина " + FormatTrimmed(H / 1e3, 3) + " кГц) уже минимального отступа от частоты " +
              "настройки (m_PolosaFM/2 и первый ноль фильтра, " + FormatTrimmed(dMin / 1e3, 3) +
              " кГц): группу разместить нельзя";
    return g;
  }
  g.status = GroupPlan::Status::kOk;
  count = std::clamp(count, 1, kMaxGroupFrequencies);
  std::copy(freqs, freqs + count, g.freqs.begin());
  const auto f = [&](int k) { return g.freqs[static_cast<size_t>(k)]; };
  double Fc = f(0) + H;
  int i = 0;
  while (i < count && f(i) - Fc <= -dMin) ++i;
  Log() << "n1=" << i << "\n";
  // H ≥ dMin places f0 at least dMin below Fc, so the lower part is never empty here.
  double shift = 0;
  if (i < count && H >= std::fabs(f(i) - Fc) && std::fabs(f(i) - f(i - 1)) >= 2 * dMin) {
    if (dMin > f(i) - Fc) Fc = f(i) - dMin;
    const double lastLower = f(i - 1);
    while (i < count && H >= std::fabs(f(i) - Fc)) ++i;
    shift = std::min(Fc - dMin - lastLower, H - (f(i - 1) - Fc));
    Log() << "центровка по левой и правой частям, Sh=" << shift / 1e6 << "\n";
  } else {
    shift = Fc - dMin - f(i - 1);
    Log() << "центровка по левой части, Sh=" << shift / 1e6 << "\n";
  }
  g.count = i;
  g.tuningHz = Fc - shift / 2;
  CheckPlacement(g, H, dMin);
  return g;
}

}  // namespace kavu
