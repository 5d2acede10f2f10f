#pragma once
// The statistics of one scan: what the end-of-scan log lines, the status line and the saved
// note report. Times in seconds.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/steady_clock.h"

namespace kavu {

struct ScanStats {
  int64_t startNs = 0, endNs = 0;
  std::atomic<int32_t> points{0};     // points measured in this scan
  std::atomic<int32_t> groups{0};     // groups played
  int32_t syncFailures = 0;
  double waitSec = 0;                 // group start to group end, summed (sample thread)
  double sdrSetupSec = 0;             // receiver set-up and group preparation (window thread)
  double filterSec = 0;               // block filter and decimator
  double pointsPerSec = 0;            // of the last second
  int64_t ppsMarkNs = 0;
  int32_t ppsMarkPoints = 0;

  void Reset(int64_t nowNs);
  double Seconds() const { return static_cast<double>(endNs - startNs) * 1e-9; }
  // "ОБЩЕЕ ВРЕМЯ СКАН …", "Ожидание данных …", "Затраты на анализ компом: …".
  std::string TotalLine() const;
  std::string WaitLine() const;
  std::string CostLine(double processingSec, const std::array<double, 3>& stages) const;
};

}  // namespace kavu
