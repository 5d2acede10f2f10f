#pragma once
// ScanEngine: one scan from "Сканировать!" to the last point, without any window.
//
// Window thread (the IWindowThread the engine posts to): StartScan, OnButtonScanOne,
// PauseOrContinue, StopScan and the decisions between groups. Sample thread: ScanBlock /
// ScanOverrun, called by the SampleLoop while SdrLoopSkipN = 0. The sample thread reaches the
// window thread only by posting tasks. The pieces: ScanPreparation (settings, generator,
// receiver, batch), GroupHandover (upload, run and the group's end, never blocking the window
// thread), ScanGroupState (the group on the sample thread).
//
// Failures never leave the counters skipping: every path ends idle (SdrLoopSkipN = −1,
// m_SkipBlocks = 0). A group without a sync pause, or with samples lost to a ring overrun, is
// planned again from its first unmeasured frequency. A group whose run the board did not confirm
// (an error in, or no, reply to the run command) has its points dropped, whenever the reply
// comes, and is planned again from its first frequency: its generator steps cannot be trusted.
// Three failed groups in a row end the scan with an error. A receiver that delivers nothing for
// kStallMs, a board that vanished and a full result set also end it with an error. Whatever ends
// a scan, the points measured so far are kept and saved (not after a single measurement, nor
// after StopScan), and the plan's view shows no scan in progress; a scan that ended before its
// plan leaves in the view only the ranges it measured, the last one ending at its last point.
//
// The front end learns what happens through IScanEvents (window thread); the live spectrum's
// frames through ISpectrumListener (live_spectrum.h).
//
// Lifetime: destroy the engine on the window thread after its sample loop has stopped. Tasks it
// posted to the window thread and not yet run are dropped when they come up (they hold only a
// weak liveness token), so the owner need not drain the window thread's queue first.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "board/board_protocol.h"
#include "board/gen_setup.h"
#include "dsp/signal_chain.h"
#include "measure/measure_keeper.h"
#include "platform/event_loop.h"
#include "receivers/receiver_set.h"
#include "results/results_store.h"
#include "scan/group_handover.h"
#include "scan/loop_counters.h"
#include "scan/measurement.h"
#include "scan/rate_plan_keeper.h"
#include "scan/sample_loop.h"
#include "scan/scan_group_state.h"
#include "scan/scan_plan.h"
#include "scan/scan_preparation.h"
#include "scan/scan_saver.h"
#include "scan/scan_saving.h"
#include "scan/scan_stats.h"
#include "shell/liveness.h"

namespace kavu {

enum class ScanState { kIdle, kScanning, kPaused };

struct ScanEndReport {
  bool ok = true;             // false: ended by a failure (error holds the text)
  std::string error;
  bool single = false;        // a single measurement (nothing saved)
  bool stopped = false;       // ended by StopScan (nothing saved)
  bool saved = false;
  SaveOutcome save;           // when a save was attempted
  bool started = true;        // false: the generators' initialisation failed, nothing was measured
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

class ScanEngine : public IScanBlockSink, private IGroupEvents, private IHandoverOwner {
 public:
  static constexpr int kWatchdogTimer = 17801;
  static constexpr int kStallMs = 3000;
  static constexpr int kMaxFailedGroups = 3;

  // `chain_capacity`: decimated samples per group store (the program: 5,000,000). Gives the
  // board protocol the window thread for its replies.
  ScanEngine(const ScanEngineParts& parts, int64_t chain_capacity = OSignalChain::kProgramCapacity);
  ~ScanEngine() override;

  // The sample loop feeding this engine (for peaks and the stall watchdog); may be null.
  void SetLoop(SampleLoop* loop) { loop_ = loop; }
  // The receiver delivers a second input (window thread): the next scans record it (hasDuo).
  void SetHasB(bool b) { hasB_ = b; }
  bool HasB() const { return hasB_; }
  LoopCounters& Counters() { return counters_; }
  OScanPlan& Plan() { return plan_; }
  const ScanStats& Stats() const { return stats_; }
  ScanState State() const { return state_; }
  bool Running() const { return state_ == ScanState::kScanning; }
  MeasuredPoint LastPoint() const { return group_.LastPoint(); }
  // The measuring snapshot in force (bridge and calibration): each scan reloads it from the
  // settings when it starts, a recalibration or an options change publishes a new one, and
  // every reader of the station (results window, web page, the command-line tool) takes it here.
  MeasureKeeper& Measure() { return measure_; }

  // The range text StartScan plans ("140-150 0.5; 425-440 1").
  void SetRangeText(std::string text) { rangeText_ = std::move(text); }
  void SetCyclic(bool on) { cyclic_ = on; }
  bool Cyclic() const { return cyclic_; }
  // Shift held / one-signal view open: the next StartScan measures one group and stops (the
  // flag is cleared when that scan ends).
  void SetSingleNextScan(bool on) { singleNext_ = on; }
  bool SingleNextScan() const { return singleNext_; }
  // The one-signal view is open while the object `view` watches lives: every scan started then
  // measures one group, and no scan that ends then is saved. An expired watch: scans as usual.
  void SetSignalView(LivenessWatch view) { signalView_ = std::move(view); }
  bool SignalViewOpen() const { return !signalView_.Expired(); }
  // Scans ended so far (finished or stopped), window thread: a view compares it to take the
  // stores once per scan. The stores below are stable while State() is kIdle.
  uint64_t ScansEnded() const { return scansEnded_; }
  const OMeasurement& Measurement() const { return *meas_; }
  const OSignalChain& Chain() const { return *chain_; }

  // The options every scan uses from its next group on (window thread). The engine reads them
  // from the settings once, when made; the owner applies a change here together with the
  // generator set-up and the rate plan, so all three always work from the same values.
  void ApplyOptions(const ScanOptions& options) { prep_.ApplyOptions(options); }
  const ScanOptions& Options() const { return prep_.Options(); }

  // Window thread. None of these waits for the board: a group's generator setting, upload and
  // run go out without blocking and their replies come back as window-thread tasks. When an
  // earlier exchange still holds the port, StartScan and OnButtonScanOne start once it is free
  // (they return true then).
  // StartScan's generator initialisation also runs as such an exchange: the scan begins when it
  // succeeded; when it failed (its error boxes shown) ScanEnded reports ok and started false.
  // False: the scan did not start (the reason went to the error box).
  bool StartScan();
  // StartScan waits for the generators' initialisation (State() is still kIdle then).
  bool Starting() const { return startPending_; }
  // A scan is starting, running or paused, or an ended scan's save is not reported yet: its
  // ScanEnded is still to come.
  bool Busy() const { return state_ != ScanState::kIdle || startPending_ || saver_.Pending() > 0; }
  // Waits until the files of every ended scan are written and reports those ends now (program
  // exit, a front end that must see the files). The destructor writes them too, unreported.
  void FlushSaves();
  // The name and note a save of set 0 carries: `view` (the plan's ranges, read while the scan
  // still runs when it is being stopped), the options and bridge of the scan, its receiver and
  // generator texts and `seconds` of scanning. Window thread.
  ScanSaveTexts SaveTexts(const ScanPlanView& view, double seconds) const;
  bool OnButtonScanOne();
  void PauseOrContinue();
  // Ends a running or paused scan at once (no save) and reports it through ScanEnded with
  // `stopped` set; idle afterwards. A start waiting for the generators is called off the same
  // way. Does nothing while idle.
  void StopScan();

  // IScanBlockSink (sample thread).
  void ScanBlock(const float* a, const float* b, float peakA, float peakB) override;
  void ScanOverrun() override;

 private:
  // IGroupEvents (sample thread): post to the window thread.
  void GroupStarted(uint64_t id) override;
  void GroupFinished(const GroupEnd& end) override;
  // IHandoverOwner (window thread).
  bool Current(uint64_t id) const override;
  void UploadFailed() override;
  void BoardClosed() override;
  void GroupDecided(const GroupEnd& end, bool refused) override;

  // Window thread.
  void BeginScan(bool single);
  bool SetScanF();
  // Sets the generator to the planned group's first frequency without waiting for the board,
  // then (GeneratorSet, unless the scan ended meanwhile) tunes, builds and sends the group.
  // `t0`: when the group's preparation began (receiver set-up time).
  void SetGenerator(PreparedGroup g, int64_t t0);
  void GeneratorSet(PreparedGroup& g, int64_t t0, uint64_t token, bool ok);
  void SendGroup(const PreparedGroup& g);
  void GoIdle();
  void NextGroupOrPause();
  void FinishScan(bool ok, const std::string& error);
  void Watchdog();
  void UpdateStatus(double f0, int count, double span);
  // Composes the file name and note and queues the save; the end is reported when it is written
  // (then the next cyclic scan is started when `again`).
  void SaveAntRes(const ScanEndReport& report, bool again);
  // Set 0 holds no point, or one whose R + jX is finite.
  bool AnyFinitePoint() const;
    // ScanEnded, then the next cyclic scan when `again`.
  void ReportEnd(const ScanEndReport& report, bool again);
  // Continues StartScan once the generators' initialisation `token` ended.
  void GeneratorsReady(uint64_t token, bool ok);
  // Any thread: runs `task` on the window thread, unless the engine is gone by then.
  void PostToWindow(std::function<void()> task);

  ScanEngineParts p_;
  Liveness alive_;
  SampleLoop* loop_ = nullptr;
  LoopCounters counters_;
  OScanPlan plan_;
  MeasureKeeper measure_;
  std::unique_ptr<OSignalChain> chain_;
  std::unique_ptr<OMeasurement> meas_;
  ScanStats stats_;
  ScanPreparation prep_;
  ScanGroupState group_;
  GroupHandover handover_;

  // Window-thread scan state.
  ScanState state_ = ScanState::kIdle;
  std::string rangeText_ = "140-150 0.5";
  bool cyclic_ = false, singleNext_ = false, single_ = false;
  bool pauseRequested_ = false;
  int failedInRow_ = 0;
  int64_t lastBlocks_ = -1;
  int64_t lastBlocksNs_ = 0;
  int32_t lastOverloadA_ = 0, lastOverloadB_ = 0;
  bool hasB_ = false;
  LivenessWatch signalView_;
  uint64_t scansEnded_ = 0;
  bool startPending_ = false;  // StartScan waits for the generators' initialisation
  uint64_t startToken_ = 0;
  uint64_t genToken_ = 0;  // the group whose generator setting is awaited
  ScanSaver saver_;  // last: written out before the rest goes
};

}  // namespace kavu
