#include "scan/scan_group_state.h"

#include <cmath>

#include "shell/log_console.h"

namespace kavu {

uint64_t ScanGroupState::Open(const GroupPlan& g, double tuning, std::shared_ptr<const SampleRatePlan> plan,
                              const OScanPlan::Mark& mark) {
  std::lock_guard lock(mutex_);
  group_ = g;
  tuning_ = tuning;
  plan_ = std::move(plan);
  firstPoint_ = p_.store.Set(0).Count();
  mark_ = mark;
  blocks_ = 0;
  open_ = true;
  return ++id_;
}

void ScanGroupState::Close() {
  std::lock_guard lock(mutex_);
  open_ = false;
  p_.counters.SdrLoopSkipN = LoopCounters::kIdle;
  p_.rings.m_SkipBlocks = 0;
}

bool ScanGroupState::CloseRefused(uint64_t id, GroupEnd* end) {
  std::lock_guard lock(mutex_);
  if (id != id_ || !open_) return false;
  p_.counters.SdrLoopSkipN = LoopCounters::kSkipAll;
  p_.rings.m_SkipBlocks = LoopCounters::kSkipAll;
  open_ = false;
  *end = GroupEnd{id, true, false, false, index_, "плата не подтвердила прогон"};
  p_.stats.groups++;
  return true;
}

MeasuredPoint ScanGroupState::LastPoint() const {
  std::lock_guard lock(lastMutex_);
  return last_;
}

void ScanGroupState::ClearLastPoint() {
  std::lock_guard lock(lastMutex_);
  last_ = MeasuredPoint{};
}

void ScanGroupState::StartLocked() {
  p_.events.GroupStarted(id_);
  p_.chain.UsePlan(*plan_);
  p_.meas.StartGroup(*plan_, group_.freqs.data(), group_.count, group_.freqs[0], tuning_);
  index_ = 0;
  startNs_ = SteadyNowNs();
  // A pause not found within three group lengths and one second is not coming.
  syncDeadline_ = 3 * plan_->GroupLength(group_.count) + static_cast<int64_t>(std::ceil(plan_->DecimatedRate()));
}

void ScanGroupState::ScanBlock(const float* a, const float* b, float peakA, float peakB) {
  std::lock_guard lock(mutex_);
  if (!open_ || p_.counters.SdrLoopSkipN.load() != 0) return;
  if (++blocks_ == 1) StartLocked();
  const int64_t t0 = SteadyNowNs();
  p_.chain.ProcessBlockIq(a, b);
  p_.stats.filterSec += static_cast<double>(SteadyNowNs() - t0) * 1e-9;
  p_.meas.AfterBlock();
  p_.meas.NotePeaks(peakA, peakB);

  for (;;) {
    const bool full = p_.chain.IsFull();
    const bool noSync = !p_.meas.SyncFound();
    if (!full) {
      if (noSync && p_.chain.DecimatedCount() <= syncDeadline_) return;
      if (!noSync && !p_.meas.Ready(index_)) return;
    }
    const bool ends = full || noSync || index_ == group_.count - 1;
    if (noSync) {
      Log() << LogColour(12) << "Не найдена синхропауза, куча времени потрачена напрасно !!! \n";
      EndLocked(true, false, "не найдена синхропауза");
      return;
    }
    const OMeasurement::Outcome made = p_.meas.GetDataN(index_);
    if (made == OMeasurement::Outcome::kIncomplete || made == OMeasurement::Outcome::kImplausible) {
      // No point can be made of this frequency's samples: the group fails here and is measured
      // again from this frequency on (the points before it stand).
      EndLocked(true, false, made == OMeasurement::Outcome::kImplausible ? p_.meas.Rejection() : "некомплект данных");
      return;
    }
    if (made == OMeasurement::Outcome::kPoint) {
      p_.stats.points++;
      std::lock_guard lastLock(lastMutex_);
      last_ = p_.meas.LastPoint();
    }
    ++index_;
    if (p_.store.Set(0).Count() >= p_.store.Set(0).Capacity()) {
      EndLocked(false, false);
      return;
    }
    if (ends) {
      // A full store ends the group early; the unmeasured frequencies are planned again.
      EndLocked(full && index_ < group_.count, false);
      return;
    }
  }
}

void ScanGroupState::ScanOverrun() {
  std::lock_guard lock(mutex_);
  if (!open_ || blocks_ == 0) return;
  Log() << LogColour(12) << "Потеряны отсчёты приёмника (переполнение кольца), группа будет измерена заново \n";
  EndLocked(true, true, "потеряны отсчёты приёмника");
}

void ScanGroupState::EndLocked(bool failed, bool overrun, std::string why) {
  p_.counters.SdrLoopSkipN = LoopCounters::kSkipAll;
  p_.rings.m_SkipBlocks = LoopCounters::kSkipAll;
  open_ = false;
  p_.stats.waitSec += static_cast<double>(SteadyNowNs() - startNs_) * 1e-9;
  p_.stats.groups++;
  GroupEnd end;
  end.id = id_;
  end.failed = failed;
  end.overrun = overrun;
  end.setFull = p_.store.Set(0).Count() >= p_.store.Set(0).Capacity();
  end.measured = index_;
  end.why = std::move(why);
  p_.events.GroupFinished(end);
}

}  // namespace kavu
