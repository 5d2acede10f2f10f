#pragma once
// ScanEngine: one scan from "Сканировать!" to the last point, without any window.
//
// Window thread (the IWindowThread the engine posts to): StartScan, OnButtonScanOne,
// PauseOrContinue, StopScan and the group hand-over (SetScanF, OnGroupEnded). Sample thread:
// ScanBlock / ScanOverrun, called by the SampleLoop while SdrLoopSkipN = 0. The sample thread
// reaches the window thread only by posting tasks; the group it measures is handed over under a
// mutex, so a new group or new result sets are never set up under a block being processed.
//
// Failures never leave the counters skipping: every path ends idle (SdrLoopSkipN = −1,
// m_SkipBlocks = 0). A group without a sync pause, or with samples lost to a ring overrun, is
// planned again from its first unmeasured frequency. A group whose run the board did not confirm
// (an error in, or no, reply to the run command) has its points dropped, whenever the reply
// comes, and is planned again from its first frequency: its generator steps cannot be trusted.
// Three failed groups in a row end the scan with an error. A receiver that delivers nothing for
// kStallMs, a board that vanished and a full result set also end it with an error. Whatever ends a scan, the points measured so far
// are kept and saved (not after a single measurement).
//
// The front end learns what happens through IScanEvents (window thread).
//
// Lifetime: destroy the engine on the window thread after its sample loop has stopped. Tasks it
// posted to the window thread and not yet run are dropped when they come up (they hold only a
// weak liveness token), so the owner need not drain the window thread's queue first.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "board/board_protocol.h"
#include "board/gen_setup.h"
#include "dsp/signal_chain.h"
#include "platform/event_loop.h"
#include "receivers/receiver_set.h"
#include "results/results_store.h"
#include "scan/calibration.h"
#include "scan/impedance_computer.h"
#include "scan/loop_counters.h"
#include "scan/measurement.h"
#include "scan/rate_plan_keeper.h"
#include "scan/sample_loop.h"
#include "scan/scan_options.h"
#include "scan/scan_plan.h"
#include "scan/scan_stats.h"

namespace kavu {

enum class ScanState { kIdle, kScanning, kPaused };

struct ScanEndReport {
  bool ok = true;             // false: ended by a failure (error holds the text)
  std::string error;
  bool single = false;        // a single measurement (nothing saved)
  bool saved = false;
  SaveOutcome save;           // when a save was attempted
  int32_t points = 0;
};

class IScanEvents {
 public:
  virtual ~IScanEvents() = default;
  virtual void StatusLine(const std::string& /*text*/, bool /*overload*/) {}
  virtual void Title(const std::string& /*text*/) {}
  virtual void PauseButtonText(const std::string& /*text*/) {}
  // A group ended (after its points were appended).
  virtual void GroupEnded(int32_t /*points*/, int32_t /*groups*/) {}
  // Single measurement done: show the measured signal.
  virtual void ShowSignal() {}
  virtual void ScanEnded(const ScanEndReport& /*report*/) {}
};

// Describes the receiver and generator for the saved file's name and note.
class ISaveDescription {
 public:
  virtual ~ISaveDescription() = default;
  virtual std::string ReceiverText(bool detailed) const = 0;
  virtual std::string RateText() const = 0;
  virtual std::string ExtraText() const = 0;
  virtual std::string GeneratorText(bool with_power) const = 0;
};

struct ScanEngineParts {
  IWindowThread& window;
  ErrorBox& box;
  OBoardProtocol& board;
  GenSetup& gen;
  ReceiverSet& receivers;
  SampleRings& rings;
  ORatePlanKeeper& keeper;
  ResultsStore& store;
  IScanEvents& events;
  const ISaveDescription* description = nullptr;  // null: no receiver or generator texts
};

class ScanEngine : public IScanBlockSink {
 public:
  static constexpr int kWatchdogTimer = 17801;
  static constexpr int kStallMs = 3000;
  static constexpr int kMaxFailedGroups = 3;

  // `chain_capacity`: decimated samples per group store (the program: 5,000,000).
  ScanEngine(const ScanEngineParts& parts, int64_t chain_capacity = OSignalChain::kProgramCapacity);
  ~ScanEngine() override;

  // The sample loop feeding this engine (for peaks and the stall watchdog); may be null.
  void SetLoop(SampleLoop* loop) { loop_ = loop; }
  LoopCounters& Counters() { return counters_; }
  OScanPlan& Plan() { return plan_; }
  const ScanStats& Stats() const { return stats_; }
  ScanState State() const { return state_; }
  bool Running() const { return state_ == ScanState::kScanning; }
  MeasuredPoint LastPoint() const;

  // The range text StartScan plans ("140-150 0.5; 425-440 1").
  void SetRangeText(std::string text) { rangeText_ = std::move(text); }
  void SetCyclic(bool on) { cyclic_ = on; }
  bool Cyclic() const { return cyclic_; }
  // Shift held / one-signal view open: the next StartScan measures one group and stops.
  void SetSingleNextScan(bool on) { singleNext_ = on; }

  // The options every scan uses from its next group on (window thread). The engine reads them
  // from the settings once, when made; the owner applies a change here together with the
  // generator set-up and the rate plan, so all three always work from the same values.
  void ApplyOptions(const ScanOptions& options) { options_ = options; }
  const ScanOptions& Options() const { return options_; }

  // Window thread.
  bool StartScan();
  bool OnButtonScanOne();
  void PauseOrContinue();
  // Ends a running or paused scan at once (no save); idle afterwards.
  void StopScan();

  // IScanBlockSink (sample thread).
  void ScanBlock(const float* a, const float* b, float peakA, float peakB) override;
  void ScanOverrun() override;

 private:
  struct GroupEnd {
    uint64_t id = 0;
    bool failed = false;
    bool overrun = false;
    bool setFull = false;
    int measured = 0;
  };
  // Window thread.
  bool SetScanF();
  void SendGroup(bool keepGenerator);
  void GoIdle();
  void OnExec(uint64_t id);
  void OnGroupEnded(const GroupEnd& end);
  void NextGroupOrPause();
  void FinishScan(bool ok, const std::string& error);
  void FailScan(const std::string& text);
  void Watchdog();
  void UpdateStatus(double f0, int count, double span);
  void SaveAntRes(ScanEndReport& report);
  // Sample thread.
  void EndGroupLocked(bool failed, bool overrun);
  // Any thread: runs `task` on the window thread, unless the engine is gone by then.
  void PostToWindow(std::function<void()> task);

  ScanEngineParts p_;
  std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
  SampleLoop* loop_ = nullptr;
  LoopCounters counters_;
  OScanPlan plan_;
  ScanOptions options_;
  std::unique_ptr<Calibration> calibration_;
  std::unique_ptr<ImpedanceComputer> impedance_;
  std::unique_ptr<OSignalChain> chain_;
  std::unique_ptr<OMeasurement> meas_;
  ScanStats stats_;

  // Window-thread scan state.
  ScanState state_ = ScanState::kIdle;
  std::string rangeText_ = "140-150 0.5";
  bool cyclic_ = false, singleNext_ = false, single_ = false;
  bool pauseRequested_ = false;
  int failedInRow_ = 0;
  uint64_t refusedId_ = 0;  // the last group whose run the board did not confirm
  int64_t lastBlocks_ = -1;
  int64_t lastBlocksNs_ = 0;
  int32_t lastOverloadA_ = 0, lastOverloadB_ = 0;

  // The group handed to the sample thread (written under groupMutex_ while it is not measuring).
  std::mutex groupMutex_;
  GroupPlan group_;
  double f0_ = 0, tuning_ = 0;
  uint64_t groupId_ = 0;
  int32_t groupFirstPoint_ = 0;  // points in set 0 when the group was handed over
  OScanPlan::Mark groupMark_;    // the plan's position and summary then
  bool hasB_ = false;
  // Sample-thread group state (under groupMutex_).
  std::shared_ptr<const SampleRatePlan> groupPlan_;
  int64_t blockCounter_ = 0;
  int index_ = 0;
  int64_t groupStartNs_ = 0;
  int64_t syncDeadline_ = 0;  // decimated samples after which a missing pause is declared
  bool groupOpen_ = false;
  mutable std::mutex lastMutex_;
  MeasuredPoint last_;
};

}  // namespace kavu
