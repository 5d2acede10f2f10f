#include "scan/scan_preparation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/number_text.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

std::string MhzText(double hz) { return FormatFixed(hz / 1e6, 3); }

}  // namespace

void ScanPreparation::LoadScanSettings() {
  snapshot_ = p_.measure.ReloadFromSettings();
}

PreparedGroup ScanPreparation::Failed(std::string error) {
  PreparedGroup g;
  Fail(g, std::move(error));
  return g;
}

void ScanPreparation::Fail(PreparedGroup& g, std::string error) {
  g.status = PreparedGroup::Status::kFailed;
  g.error = std::move(error);
}

bool ScanPreparation::BuildBatch(PreparedGroup& g) {
  return p_.gen.MyBigCmdCreate(std::span<const double>(g.group.freqs.data(), static_cast<size_t>(g.group.count)),
                               g.batch_options, g.batch);
}

void ScanPreparation::TakeOptions(PreparedGroup& g) {
  // The station changes the plan, the set-up's batch options and ours together on this thread,
  // so the three taken here always belong together.
  g.plan = p_.keeper.Published();
  g.batch_options = p_.gen.CurrentBatchOptions();
  g.delay1_cb = options_.m_Delay1_CB;
}

PreparedGroup ScanPreparation::PlanNextGroup() {
  PreparedGroup out;
  TakeOptions(out);
  out.group = p_.plan.PlanBatch(options_.GroupInputs(*out.plan, 0));
  GroupPlan& g = out.group;
  if (g.status == GroupPlan::Status::kNothingLeft) {
    out.status = PreparedGroup::Status::kNothingLeft;
    return out;
  }
  if (g.status == GroupPlan::Status::kConflict) return Failed(g.error);
  if (g.count < 1) return Failed("ODlgSpektr::SetScanF() - список частот оказался пустым");
  out.tuning = std::floor(g.tuningHz + 0.5);
  out.status = PreparedGroup::Status::kOk;
  return out;
}

PreparedGroup ScanPreparation::PlanSingleGroup() {
  PreparedGroup out;
  out.single = true;
  TakeOptions(out);
  GroupPlan& g = out.group;
  g.status = GroupPlan::Status::kOk;
  g.count = 1;
  g.freqs[0] = p_.gen.State().current_hz;
  const double tuned = p_.receivers.TunedFrequency();
  if (!std::isfinite(tuned)) return Failed("OnButtonScanOne(), Sdr-приёмник не выбран или не открыт");
  g.tuningHz = tuned;
  out.tuning = std::floor(tuned + 0.5);
  out.status = PreparedGroup::Status::kOk;
  return out;
}

void ScanPreparation::CompleteGroup(PreparedGroup& out, bool genOk) {
  GroupPlan& g = out.group;
  if (out.single) {
    if (!genOk) {
      Fail(out, "OnButtonScanOne(), не удалось установить частоту генератора\n" + p_.gen.State().error_text);
    } else if (!BuildBatch(out)) {
      Fail(out, "OnButtonScanOne() - ошибка MyBigCmdCreate() !!!");
    }
    return;
  }
  if (!genOk) {
    Log() << LogColour(kColourError) << "ODlgSpektr::SetScanF(), SetGenFM err !!! \n";
    Fail(out, "SetScanF(), не удалось установить частоту генератора в " + MhzText(out.GenHz()) + " МГц\n" +
                  p_.gen.State().error_text);
    return;
  }
  if (!p_.receivers.Tune(out.tuning, g.freqs.data(), g.count)) {
    Fail(out, "SetScanF(), не удалось настроить приёмник на " + MhzText(out.tuning) + " МГц");
    return;
  }
  if (!BuildBatch(out)) {
    Fail(out, "ODlgSpektr::SetScanF() - ошибку вернула MyBigCmdCreate !!!");
    return;
  }
  g.count = std::clamp(out.batch.count, 1, g.count);
}

}  // namespace kavu
