#pragma once
// A scan group: up to 128 frequencies measured with one receiver tuning, and the rule that
// places that tuning so every frequency falls into the usable band but not too near the tuning
// frequency itself (where the receiver's DC spike and the filter's own band lie).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kavu {

inline constexpr int kMaxGroupFrequencies = 128;

struct GroupPlanInputs {
  int zondN = 1;                   // A–O repetitions per frequency (m_ZondN)
  double slotSec = 0.002;          // measurement slot, s (plan, whole board ticks)
  double sampleRateHz = 2.4e6;     // m_SampleRateUsed
  double firstNullHz = 0;          // the filter's first null, Hz (plan FL × r / 65536)
  double polosaFM = 20000;         // m_PolosaFM, Hz
  int multyImpsTMax = 100;         // m_MultyImpsTMax, ms
  int multyPolosaUsed = 100;       // m_MultyPolosaUsed, % of the band
  bool multyPolosaRsp = true;      // m_MultyPolosaRsp
  double analogBandwidthHz = 0;    // the receiver's real analogue bandwidth, Hz (0: none known)
};

struct GroupPlan {
  enum class Status { kOk, kNothingLeft, kConflict };
  Status status = Status::kNothingLeft;
  std::array<double, kMaxGroupFrequencies> freqs{};  // Hz
  int count = 0;
  double tuningHz = 0;   // receiver tuning (not yet rounded to whole hertz)
  std::string error;     // kConflict: names the options in conflict
  // Internal consistency failures (a frequency outside the half-span or too near the tuning);
  // each is also logged in red. Empty in every sound plan.
  std::vector<std::string> inconsistencies;
};

// Group size limit ⌊m_MultyImpsTMax / ((2N+1)·slot in ms + 1)⌋, clamped to 1 … 128.
int GroupSizeLimit(const GroupPlanInputs& in);

// Places the tuning for the group `freqs[0 … count)` (ascending, count ≥ 1), possibly cutting
// the group; logs "n1=" and the centring line. Refuses (kConflict) when the usable half-span is
// below the minimum distance from the tuning frequency: no group could be placed then.
GroupPlan PlanGroupTuning(const double* freqs, int count, const GroupPlanInputs& in);

}  // namespace kavu
