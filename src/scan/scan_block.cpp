// ScanEngine, sample-thread side: the blocks of a scan group, its points and its end.
#include <cmath>

#include "scan/scan_engine.h"
#include "shell/log_console.h"

namespace kavu {

void ScanEngine::ScanBlock(const float* a, const float* b, float peakA, float peakB) {
  std::lock_guard lock(groupMutex_);
  if (!groupOpen_ || counters_.SdrLoopSkipN.load() != 0) return;
  if (++blockCounter_ == 1) {
    const uint64_t id = groupId_;
    PostToWindow([this, id] { OnExec(id); });
    chain_->UsePlan(*groupPlan_);
    meas_->StartGroup(*groupPlan_, group_.freqs.data(), group_.count, f0_, tuning_);
    index_ = 0;
    groupStartNs_ = SteadyNowNs();
    // A pause not found within three group lengths and one second is not coming.
    syncDeadline_ = 3 * groupPlan_->GroupLength(group_.count) +
                    static_cast<int64_t>(std::ceil(groupPlan_->DecimatedRate()));
  }
  const int64_t t0 = SteadyNowNs();
  chain_->ProcessBlockIq(a, b);
  stats_.filterSec += static_cast<double>(SteadyNowNs() - t0) * 1e-9;
  meas_->AfterBlock();
  meas_->NotePeaks(peakA, peakB);

  for (;;) {
    const bool full = chain_->IsFull();
    const bool noSync = !meas_->SyncFound();
    if (!full) {
      if (noSync && chain_->DecimatedCount() <= syncDeadline_) return;
      if (!noSync && !meas_->Ready(index_)) return;
    }
    const bool ends = full || noSync || index_ == group_.count - 1;
    if (noSync) {
      Log() << LogColour(12) << "Не найдена синхропауза, куча времени потрачена напрасно !!! \n";
      EndGroupLocked(true, false);
      return;
    }
    if (meas_->GetDataN(index_)) {
      stats_.points++;
      std::lock_guard lastLock(lastMutex_);
      last_ = meas_->LastPoint();
    }
    ++index_;
    if (meas_ && p_.store.Set(0).Count() >= p_.store.Set(0).Capacity()) {
      EndGroupLocked(false, false);
      return;
    }
    if (ends) {
      // A full store ends the group early; the unmeasured frequencies are planned again.
      EndGroupLocked(full && index_ < group_.count, false);
      return;
    }
  }
}

void ScanEngine::ScanOverrun() {
  std::lock_guard lock(groupMutex_);
  if (!groupOpen_ || blockCounter_ == 0) return;
  Log() << LogColour(12) << "Потеряны отсчёты приёмника (переполнение кольца), группа будет измерена заново \n";
  EndGroupLocked(true, true);
}

void ScanEngine::EndGroupLocked(bool failed, bool overrun) {
  counters_.SdrLoopSkipN = LoopCounters::kSkipAll;
  p_.rings.m_SkipBlocks = LoopCounters::kSkipAll;
  groupOpen_ = false;
  stats_.waitSec += static_cast<double>(SteadyNowNs() - groupStartNs_) * 1e-9;
  stats_.groups++;
  GroupEnd end;
  end.id = groupId_;
  end.failed = failed;
  end.overrun = overrun;
  end.setFull = p_.store.Set(0).Count() >= p_.store.Set(0).Capacity();
  end.measured = index_;
  PostToWindow([this, end] { OnGroupEnded(end); });
}

void ScanEngine::PostToWindow(std::function<void()> task) {
  p_.window.Post([alive = std::weak_ptr<const int>(alive_), task = std::move(task)] {
    if (!alive.expired()) task();
  });
}

}  // namespace kavu
