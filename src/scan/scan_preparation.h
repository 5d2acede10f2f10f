#pragma once
// ScanPreparation: what the window thread does before the sample thread can measure: per scan,
// the options, the calibration in force and the bridge; per group, the plan's next group, the
// generator at its first frequency, the receiver tuned and the frequency batch built. No board
// command here: the owner has the generator set on the board's thread between PlanNextGroup
// (or PlanSingleGroup) and CompleteGroup; the batch is uploaded by GroupHandover.
#include <memory>
#include <string>

#include "board/gen_setup.h"
#include "measure/measure_keeper.h"
#include "receivers/receiver_set.h"
#include "scan/rate_plan_keeper.h"
#include "scan/scan_options.h"
#include "scan/scan_plan.h"

namespace kavu {

struct PreparedGroup {
  enum class Status { kOk, kNothingLeft, kFailed };
  Status status = Status::kFailed;
  GroupPlan group;
  double tuning = 0;  // receiver tuning before the converter shift, whole Hz
  FrequencyBatch batch;
  std::shared_ptr<const SampleRatePlan> plan;
  // The options the group is played and received with, taken with `plan` when it was planned:
  // an options change meanwhile reaches the next group, never this one.
  BatchOptions batch_options;
  int32_t delay1_cb = 2;  // receiver blocks dropped after the batch is sent (m_Delay1_CB)
  std::string error;  // kFailed: the error box's text
  bool single = false;  // a single measurement's group
  // The frequency the generator is set to before the batch (the group's first), Hz.
  double GenHz() const { return group.freqs[0]; }
};

class ScanPreparation {
 public:
  struct Parts {
    GenSetup& gen;
    ReceiverSet& receivers;
    ORatePlanKeeper& keeper;
    OScanPlan& plan;
    MeasureKeeper& measure;
  };
  // Reads the options from the settings once; later changes arrive through ApplyOptions.
  explicit ScanPreparation(const Parts& parts) : p_(parts), options_(ScanOptions::Load()) {}

  // The options every scan uses from its next group on. The owner applies a change here
  // together with the generator set-up and the rate plan, so all three work from one set.
  void ApplyOptions(const ScanOptions& options) { options_ = options; }

  // Per scan: reloads the bridge settings and the calibration into a new measuring snapshot,
  // published for every reader; the scan computes with that snapshot to its end.
  void LoadScanSettings();
  const ScanOptions& Options() const { return options_; }
  const ImpedanceComputer* Impedance() const { return snapshot_ ? &snapshot_->Impedance() : nullptr; }

  // The next group of the plan, nothing sent yet: kOk when planned (the generator is then set to
  // GenHz() and CompleteGroup called), kNothingLeft when the plan is done, kFailed with the error
  // box's text (a plan conflict, an empty group).
  PreparedGroup PlanNextGroup();
  // A single measurement's group: the generator's current frequency alone (set again before the
  // batch: a scan's batch leaves the generator elsewhere), mixed against the frequency the
  // receiver was tuned to through the receiver set (before any converter shift); the receiver is
  // not retuned. kFailed when no receiver is open.
  PreparedGroup PlanSingleGroup();
  // The rest of a planned group once the generator's setting to GenHz() ended with `genOk`: on a
  // failure `g` becomes kFailed (a scan's group logs "SetGenFM err" in red first); otherwise the
  // receiver is tuned (a scan's group) and the batch built, whose count may cut the group.
  void CompleteGroup(PreparedGroup& g, bool genOk);

 private:
  static PreparedGroup Failed(std::string error);
  static void Fail(PreparedGroup& g, std::string error);
  bool BuildBatch(PreparedGroup& g);
  // Takes the rate plan and the options in force now into `g`.
  void TakeOptions(PreparedGroup& g);

  Parts p_;
  ScanOptions options_;
  std::shared_ptr<const MeasureSnapshot> snapshot_;
};

}  // namespace kavu
