#pragma once
// OScanPlan: the scan's ranges, its position, the groups it hands out and the range summaries.
//
// Threads: the window thread starts, plans groups and stops; while a group is measured the
// sample thread sets the current frequency, adds points to the summaries, advances after the
// group and copies the table for the next cycle. The two never change the plan at the same time
// (the scan hands over by posted messages). The window may read View() at any moment: it gets a
// consistent copy, never a table half updated.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "scan/range_text.h"
#include "scan/scan_group.h"
#include "scan/scan_range.h"
#include "scan/seqlock_snapshot.h"

namespace kavu {

// What the window shows of the plan.
struct ScanPlanView {
  std::array<ScanRange, kMaxScanRanges> ranges{};
  int32_t count = 0;
  std::array<ScanRange, kMaxScanRanges> previous{};  // the previous cycle's table
  int32_t previousCount = 0;
  int32_t current = -1;  // range being scanned, -1 when no scan is planned
  double currentF = 0;   // Hz
};

class OScanPlan {
 public:
  OScanPlan() = default;
  OScanPlan(const OScanPlan&) = delete;
  OScanPlan& operator=(const OScanPlan&) = delete;

  // Parses the range text into the table; false (table emptied) when it holds no valid range.
  bool ParseRanges(std::string_view text);
  // Parses; on success the position is the first range's start.
  bool StartPlan(std::string_view text);
  // A single measurement: empty table, range 0 with a fresh summary.
  void StartSingle();
  void StopPlan();

  // Fills `list` with up to maxCount frequencies (Hz) of the current range from the current
  // position; 0 when no scan is planned. A group never spans two ranges.
  int NextFrequencies(double* list, int maxCount) const;
  // Moves past the current frequency; false when the scan has passed its last range (the plan
  // is stopped then). Closes each finished range's summary with the 15 GHz sentinel.
  bool AdvanceAfterBatch();
  // The measurement of a group's later points sets the position to each point's frequency.
  void SetCurrentFrequency(double f);
  void AddPointToSummary(int range, double f, double swr);

  // Where the scan stands before a group: its range, frequency and that range's summary.
  struct Mark {
    int32_t range = -1;
    double frequency = 0;
    ScanRangeSummary summary;
  };
  Mark MarkGroupStart() const;
  // A group's points were dropped: back to where it started, its summary as it was then.
  void RewindToMark(const Mark& mark);
  // A scan that ends before its plan does (stopped, failed, a full result set): the table keeps
  // only what was measured, so every summary names the range actually scanned. The ranges not
  // reached are dropped; the range being scanned ends at its last point in the summary, which
  // the sentinel closes as at a range's end, or is dropped when it has none. Then no scan is
  // planned. Window thread, with no group open. Does nothing when no scan is planned (a plan run
  // to its end, a single measurement).
  void CutToMeasured();
  // Cyclic scanning: the finished table becomes the previous-cycle table.
  void CopyToPrevious();

  // Chooses the next group and its receiver tuning (see scan_group.h).
  GroupPlan PlanBatch(const GroupPlanInputs& in) const;

  int CurrentRange() const { return current_; }
  double CurrentFrequency() const { return currentF_; }
  int Count() const { return count_; }
  const ScanRange& Range(int i) const { return ranges_[static_cast<size_t>(i)]; }
  // Red lines the last parse wrote for refused parts of the text.
  const std::vector<std::string>& Refusals() const { return refusals_; }

  ScanPlanView View() const { return view_.Read(); }

 private:
  void Publish();

  std::array<ScanRange, kMaxScanRanges> ranges_{};
  int32_t count_ = 0;
  std::array<ScanRange, kMaxScanRanges> previous_{};
  int32_t previousCount_ = 0;
  int32_t current_ = -1;
  double currentF_ = 0;
  std::vector<std::string> refusals_;
  SeqlockSnapshot<ScanPlanView> view_;
};

// "Диа 140 - 150 МГц, шаг 0.5 МГц. Мин. КСВ 1.2 на 145.5 МГц. Полоса 2.25 МГц по КСВ<1.5"
std::string RangeSummaryLine(const ScanRange& r);

}  // namespace kavu
