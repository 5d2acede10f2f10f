#pragma once
// ScanGroupState: the group the sample thread measures, handed over between the threads under
// one mutex, so a new group or new result sets are never set up under a block being processed.
//
// Window thread: Open() hands a planned group over (it is measured from the first block that
// reaches ScanBlock), Close()/CloseRefused() take it back, Lock() guards set rotation and the
// statistics. Sample thread: ScanBlock / ScanOverrun. The sample thread reports to IGroupEvents,
// whose implementation must only post to the window thread.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "dsp/sample_rate_plan.h"
#include "dsp/signal_chain.h"
#include "receivers/sample_rings.h"
#include "results/results_store.h"
#include "scan/loop_counters.h"
#include "scan/measurement.h"
#include "scan/scan_group.h"
#include "scan/scan_plan.h"
#include "scan/scan_stats.h"

namespace kavu {

// How a group ended, as the sample thread saw it.
struct GroupEnd {
  uint64_t id = 0;
  bool failed = false;   // no sync pause, samples lost or implausible, or the run not confirmed
  bool overrun = false;  // samples lost to a ring overrun
  bool setFull = false;  // the result set is full
  int measured = 0;      // frequencies measured
  std::string why;       // failed on the sample thread: what was wrong
};

class IGroupEvents {
 public:
  virtual ~IGroupEvents() = default;
  // Sample thread: the first block of group `id` arrived (time to start the board's run).
  virtual void GroupStarted(uint64_t id) = 0;
  // Sample thread: group `end.id` ended; the counters skip everything from now on.
  virtual void GroupFinished(const GroupEnd& end) = 0;
};

class ScanGroupState {
 public:
  struct Parts {
    OSignalChain& chain;
    OMeasurement& meas;
    ResultsStore& store;
    LoopCounters& counters;
    SampleRings& rings;
    ScanStats& stats;
    IGroupEvents& events;
  };
  explicit ScanGroupState(const Parts& parts) : p_(parts) {}

  // Window thread. Hands group `g` over, measured with `plan`, the receiver at `tuning` Hz;
  // `mark` is the plan's position before it. Returns the group's id.
  uint64_t Open(const GroupPlan& g, double tuning, std::shared_ptr<const SampleRatePlan> plan,
                const OScanPlan::Mark& mark);
  // Takes any group back and sets the counters idle (SdrLoopSkipN −1, m_SkipBlocks 0).
  void Close();
  // The run of group `id` was not confirmed: when it is still being measured, it is closed (the
  // counters skip everything) and its end returned; false when it had ended already.
  bool CloseRefused(uint64_t id, GroupEnd* end);
  uint64_t Id() const { return id_; }
  int32_t FirstPoint() const { return firstPoint_; }
  const OScanPlan::Mark& Mark() const { return mark_; }
  std::unique_lock<std::mutex> Lock() { return std::unique_lock(mutex_); }

  // The last point measured (any thread).
  MeasuredPoint LastPoint() const;
  void ClearLastPoint();

  // Sample thread.
  void ScanBlock(const float* a, const float* b, float peakA, float peakB);
  void ScanOverrun();

 private:
  void StartLocked();
  void EndLocked(bool failed, bool overrun, std::string why = {});

  Parts p_;
  std::mutex mutex_;
  // Written by the window thread under mutex_ while no group is open.
  GroupPlan group_;
  double tuning_ = 0;
  std::shared_ptr<const SampleRatePlan> plan_;
  uint64_t id_ = 0;
  int32_t firstPoint_ = 0;  // points in set 0 when the group was handed over
  OScanPlan::Mark mark_;    // the plan's position and summary then
  // Sample thread, under mutex_.
  bool open_ = false;
  int64_t blocks_ = 0;
  int index_ = 0;
  int64_t startNs_ = 0;
  int64_t syncDeadline_ = 0;  // decimated samples after which a missing pause is declared
  mutable std::mutex lastMutex_;
  MeasuredPoint last_;
};

}  // namespace kavu
