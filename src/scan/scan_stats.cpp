#include "scan/scan_stats.h"

#include <cstdio>

#include "platform/number_text.h"

namespace kavu {

void ScanStats::Reset(int64_t nowNs) {
  startNs = endNs = nowNs;
  points = 0;
  groups = 0;
  syncFailures = 0;
  waitSec = sdrSetupSec = filterSec = pointsPerSec = 0;
  ppsMarkNs = nowNs;
  ppsMarkPoints = 0;
}

std::string ScanStats::TotalLine() const {
  const double s = Seconds();
  const double pps = s > 0 ? points.load() / s : 0;
  return "ОБЩЕЕ ВРЕМЯ СКАН " + FormatG(s, 6) + " сек, измерений " + std::to_string(points.load()) + ", скорость " +
         FormatG(pps, 6) + " изм/сек \n";
}

std::string ScanStats::WaitLine() const {
  return "Ожидание данных " + FormatG(waitSec, 6) + " сек, блоков " + std::to_string(groups.load()) +
         " ИниSdr=" + FormatG(sdrSetupSec, 6) + " сек" + "\n";
}

std::string ScanStats::CostLine(double processingSec, const std::array<double, 3>& stages) const {
  char buf[256];
  const double d = processingSec > 0 ? 100.0 / processingSec : 0;
  std::snprintf(buf, sizeof buf, "Затраты на анализ компом: фильтр %0.3f + %0.3f сек обр (%0.0f, %0.0f, %0.0f %%)\n",
                filterSec, processingSec, stages[0] * d, stages[1] * d, stages[2] * d);
  return buf;
}

}  // namespace kavu
