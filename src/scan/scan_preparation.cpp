#include "scan/scan_preparation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/number_text.h"
#include "scan/bridge_settings.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

std::string Mhz3(double hz) { return FormatFixed(hz / 1e6, 3); }

}  // namespace

void ScanPreparation::LoadScanSettings() {
  impedance_ = std::make_unique<ImpedanceComputer>(LoadBridgeSettings(), p_.calibration.ReloadFromSettings());
}

PreparedGroup ScanPreparation::Failed(std::string error) {
  PreparedGroup g;
  g.status = PreparedGroup::Status::kFailed;
  g.error = std::move(error);
  return g;
}

bool ScanPreparation::BuildBatch(PreparedGroup& g) {
  return p_.gen.MyBigCmdCreate(std::span<const double>(g.group.freqs.data(), static_cast<size_t>(g.group.count)),
                               g.batch);
}

PreparedGroup ScanPreparation::NextGroup() {
  PreparedGroup out;
  out.plan = p_.keeper.Published();
  out.group = p_.plan.PlanBatch(options_.GroupInputs(*out.plan, 0));
  GroupPlan& g = out.group;
  if (g.status == GroupPlan::Status::kNothingLeft) {
    out.status = PreparedGroup::Status::kNothingLeft;
    return out;
  }
  if (g.status == GroupPlan::Status::kConflict) return Failed(g.error);
  if (g.count < 1) return Failed("ODlgSpektr::SetScanF() - список частот оказался пустым");
  const double f0 = g.freqs[0];
  if (!p_.gen.SetGenFManual(f0)) {
    Log() << LogColour(kColourError) << "ODlgSpektr::SetScanF(), SetGenFM err !!! \n";
    return Failed("SetScanF(), не удалось установить частоту генератора в " + Mhz3(f0) + " МГц\n" +
                  p_.gen.State().error_text);
  }
  out.tuning = std::floor(g.tuningHz + 0.5);
  if (!p_.receivers.Tune(out.tuning, g.freqs.data(), g.count)) {
    return Failed("SetScanF(), не удалось настроить приёмник на " + Mhz3(out.tuning) + " МГц");
  }
  if (!BuildBatch(out)) return Failed("ODlgSpektr::SetScanF() - ошибку вернула MyBigCmdCreate !!!");
  g.count = std::clamp(out.batch.count, 1, g.count);
  out.status = PreparedGroup::Status::kOk;
  return out;
}

PreparedGroup ScanPreparation::SingleGroup() {
  PreparedGroup out;
  out.plan = p_.keeper.Published();
  GroupPlan& g = out.group;
  g.status = GroupPlan::Status::kOk;
  g.count = 1;
  g.freqs[0] = p_.gen.State().current_hz;
  const double tuned = p_.receivers.TunedFrequency();
  if (!std::isfinite(tuned)) return Failed("OnButtonScanOne(), Sdr-приёмник не выбран или не открыт");
  g.tuningHz = tuned;
  out.tuning = std::floor(tuned + 0.5);
  if (!p_.gen.SetGenFManual(g.freqs[0])) {
    return Failed("OnButtonScanOne(), не удалось установить частоту генератора\n" + p_.gen.State().error_text);
  }
  if (!BuildBatch(out)) return Failed("OnButtonScanOne() - ошибка MyBigCmdCreate() !!!");
  out.status = PreparedGroup::Status::kOk;
  return out;
}

}  // namespace kavu
