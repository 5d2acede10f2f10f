#pragma once
// The scan options of section "CDlgOptions" that the scan run, the sample loop and saving use,
// loaded with the checks the options window applies, and the rate-plan and group-plan inputs
// made from them. Read on the window thread; handed by value to whoever needs them.
#include <cstdint>
#include <span>

#include "dsp/sample_rate_plan.h"
#include "scan/scan_group.h"
#include "shell/settings_fields.h"

namespace kavu {

struct ScanOptions {
  int32_t m_Delay1_ms = 100;         // settling after retuning, ms (0 … 1000)
  int32_t m_Delay1_CB = 2;           // receiver blocks dropped by the back end after a group is sent (2 … 100)
  int32_t m_MultyImpsTMax = 100;     // longest group, ms (7 … 8000)
  int32_t m_MultyPolosaUsed = 100;   // usable share of the band, % (40 … 999)
  int32_t m_MultyPPS = 0;            // board duration correction, ppm (±100,000)
  int32_t m_MultyPolosaRsp = 1;      // 0/1
  double m_PolosaFM = 20000;         // filter bandwidth, Hz (2,000 … 10,000,000)
  int32_t m_UpTimeGraphik_ms = 50;   // 10 … 1000
  int32_t m_UpTimeVodopad_ms = 20;   // 10 … 1000
  int32_t m_TZond10 = 20;            // slot, 0.1 ms (1 … 630)
  int32_t m_ZondN = 1;               // repetitions (1 … 255)
  int32_t m_SaveName_IsDate = 0;
  int32_t m_SaveName_IsSdrMode = 1;
  int32_t m_SaveName_IsGenMode = 1;
  int32_t m_SaveName_IsKsvMin = 0;
  int32_t m_SaveName_IsKsvMinFM = 0;

  // The stored keys with their defaults and ranges (a value outside its range is clamped).
  static std::span<const SettingBinding<ScanOptions>> Bindings();
  // Applies the options window's checks (a value outside its range is replaced).
  void Check();
  static ScanOptions Load();
  // Writes every key; false when a write failed.
  bool Save() const;

  bool operator==(const ScanOptions&) const = default;

  // Rate-plan inputs for a receiver rate `rate_hz` and the board's timer.
  RatePlanInputs PlanInputs(double rate_hz, double timer_clock_hz, double timer_prescaler) const;
  // Group-plan inputs for the plan in use (analogue bandwidth 0: none known).
  GroupPlanInputs GroupInputs(const SampleRatePlan& plan, double analog_bandwidth_hz) const;
};

}  // namespace kavu
