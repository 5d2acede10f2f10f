#include "scan/scan_plan.h"

#include <algorithm>

#include "platform/number_text.h"
#include "shell/log_console.h"

namespace kavu {

bool OScanPlan::ParseRanges(std::string_view text) {
  ParsedRanges parsed = kavu::ParseRanges(text);
  refusals_ = std::move(parsed.refusals);
  count_ = static_cast<int32_t>(parsed.ranges.size());
  for (int32_t i = 0; i < count_; ++i) ranges_[static_cast<size_t>(i)] = parsed.ranges[static_cast<size_t>(i)];
  for (size_t i = static_cast<size_t>(count_); i < ranges_.size(); ++i) ranges_[i] = ScanRange{};
  Publish();
  return count_ > 0;
}

bool OScanPlan::StartPlan(std::string_view text) {
  if (!ParseRanges(text)) {
    current_ = -1;
    Publish();
    return false;
  }
  current_ = 0;
  currentF_ = ranges_[0].start;
  Publish();
  return true;
}

void OScanPlan::StartSingle() {
  count_ = 0;
  ranges_.fill(ScanRange{});
  current_ = 0;
  Publish();
}

void OScanPlan::StopPlan() {
  current_ = -1;
  Publish();
}

int OScanPlan::NextFrequencies(double* list, int maxCount) const {
  if (current_ < 0 || current_ >= count_ || maxCount < 1) return 0;
  const ScanRange& r = ranges_[static_cast<size_t>(current_)];
  double v = currentF_;
  int n = 0;
  list[n++] = v;
  while (n < maxCount && r.Next(v, &v)) list[n++] = v;
  return n;
}

bool OScanPlan::AdvanceAfterBatch() {
  if (current_ < 0 || current_ >= count_) {
    StopPlan();
    return false;
  }
  ScanRange& r = ranges_[static_cast<size_t>(current_)];
  double v = 0;
  if (r.Next(currentF_, &v)) {
    currentF_ = v;
    Publish();
    return true;
  }
  r.summary.Add(kSummarySentinelHz, kSummarySentinelSwr);
  if (++current_ >= count_) {
    StopPlan();
    return false;
  }
  currentF_ = ranges_[static_cast<size_t>(current_)].start;
  Publish();
  return true;
}

void OScanPlan::SetCurrentFrequency(double f) {
  currentF_ = f;
  Publish();
}

void OScanPlan::AddPointToSummary(int range, double f, double swr) {
  if (range < 0 || range >= kMaxScanRanges) return;
  ranges_[static_cast<size_t>(range)].summary.Add(f, swr);
  Publish();
}

OScanPlan::Mark OScanPlan::MarkGroupStart() const {
  Mark m;
  m.range = current_;
  m.frequency = currentF_;
  if (current_ >= 0 && current_ < kMaxScanRanges) m.summary = ranges_[static_cast<size_t>(current_)].summary;
  return m;
}

void OScanPlan::RewindToMark(const Mark& mark) {
  if (mark.range < 0 || mark.range >= count_) return;
  current_ = mark.range;
  currentF_ = mark.frequency;
  ranges_[static_cast<size_t>(mark.range)].summary = mark.summary;
  Publish();
}

void OScanPlan::CutToMeasured() {
  if (current_ < 0 || current_ >= count_) return;
  ScanRange& r = ranges_[static_cast<size_t>(current_)];
  // A range's summary holds its points in order: prevF is the last one's frequency (no point
  // yet: 0; the sentinel is added only to ranges already passed).
  const bool measured = r.summary.prevF > 0;
  if (measured) {
    r.end = r.summary.prevF;
    r.summary.Add(kSummarySentinelHz, kSummarySentinelSwr);
  }
  const int32_t kept = current_ + (measured ? 1 : 0);
  for (int32_t i = kept; i < count_; ++i) ranges_[static_cast<size_t>(i)] = ScanRange{};
  count_ = kept;
  current_ = -1;
  Publish();
}

void OScanPlan::CopyToPrevious() {
  previous_ = ranges_;
  previousCount_ = count_;
  Publish();
}

GroupPlan OScanPlan::PlanBatch(const GroupPlanInputs& in) const {
  std::array<double, kMaxGroupFrequencies> list{};
  const int n = NextFrequencies(list.data(), GroupSizeLimit(in));
  if (n == 0) {
    Log() << LogColour(kColourError)
          << "ODlgSpektr::SetScanF(), список оставшихся частот для сканирования пуст \n"
          << LogColour(kColourNormal);
    return GroupPlan{};
  }
  return PlanGroupTuning(list.data(), n, in);
}

void OScanPlan::Publish() {
  ScanPlanView v;
  v.ranges = ranges_;
  v.count = count_;
  v.previous = previous_;
  v.previousCount = previousCount_;
  v.current = current_;
  v.currentF = currentF_;
  view_.Write(v);
}

std::string RangeSummaryLine(const ScanRange& r) {
  std::string s = "Диа " + FormatTrimmed(r.start / 1e6, 6) + " - " + FormatTrimmed(r.end / 1e6, 6) +
                  " МГц, шаг " + FormatTrimmed(r.isLog ? r.step : r.step / 1e6, 6) +
                  (r.isLog ? " раз" : " МГц");
  const ScanRangeSummary& m = r.summary;
  if (m.minSwr < 100) {
    s += ". Мин. КСВ " + FormatTrimmed(m.minSwr, 2) + " на " + FormatTrimmed(m.fAtMin / 1e6, 6) + " МГц";
    if (m.band[0] > 0) s += ". Полоса " + FormatTrimmed(m.band[0] / 1e6, 6) + " МГц по КСВ<1.5";
    if (m.band[1] > 0) s += ". Полоса " + FormatTrimmed(m.band[1] / 1e6, 6) + " МГц по КСВ<2";
  }
  return s;
}

}  // namespace kavu
