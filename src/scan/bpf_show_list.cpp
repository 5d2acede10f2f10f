#include "scan/bpf_show_list.h"

#include <algorithm>
#include <cmath>

#include "platform/number_text.h"

namespace kavu {
namespace {

constexpr int kBins = SampleRatePlan::kResponseBins;

double Db(double power) { return power > 0 ? 10 * std::log10(power) : 0; }

double PowerAt(const SampleRatePlan& plan, int k) {
  const std::vector<double>& p = plan.ResponsePower();
  k = std::clamp(k, 0, kBins - 1);
  if (k > kBins / 2) k = kBins - k;
  return static_cast<size_t>(k) < p.size() ? p[static_cast<size_t>(k)] : 0;
}

}  // namespace

double BpfBinDb(const SampleRatePlan& plan, int k) { return Db(PowerAt(plan, k)); }

std::string BpfShowText(const SampleRatePlan& plan) {
  const double r = plan.SampleRateUsed();
  const double binKhz = r / kBins / 1000;
  const int d = plan.Decimation();
  return "Ном. срез ФНЧ " + FormatFixed(plan.Inputs().polosaFM / 2 / 1000, 2) + " КГц (там " +
         FormatFixed(BpfBinDb(plan, plan.CutOffBin()), 1) + " дБ), реально " +
         FormatFixed(plan.F3Bin() * binKhz, 2) + " (по ур -3дБ), лепесток " +
         FormatFixed(plan.FirstNullBin() * binKhz, 2) + " КГц с " +
         FormatFixed(BpfBinDb(plan, plan.FirstNullBin()), 1) + " дБ, дискр " + FormatFixed(r / 1e6, 3) +
         " МГц, децим " + std::to_string(d) + " раз до " + FormatFixed(r / d / 1000, 1) + " КГц";
}

BpfResponseLine::BpfResponseLine(std::shared_ptr<const SampleRatePlan> plan) : plan_(std::move(plan)) {}

void BpfResponseLine::GetFunctionXRange(double& x0, double& x1) const {
  if (!plan_) {
    OGrListItem::GetFunctionXRange(x0, x1);
    return;
  }
  const double half = std::min(plan_->SampleRateUsed() / 2,
                               std::max(plan_->DecimatedRate(), 4 * plan_->FirstNullHz())) / 1000;
  x0 = -half, x1 = half;
}

double BpfResponseLine::Level(int k) const {
  const double p = PowerAt(*plan_, k);
  return p > 0 ? 10 * std::log10(p) : kFloorDb;
}

double BpfResponseLine::GetFunctionValue(double x) const {
  if (!plan_ || !std::isfinite(x)) return kFloorDb;
  const double bin = std::fabs(x) * 1000 * kBins / plan_->SampleRateUsed();
  if (bin >= kBins / 2) return Level(kBins / 2);
  const int k = static_cast<int>(bin);
  const double f = bin - k;
  return std::max(kFloorDb, Level(k) * (1 - f) + Level(k + 1) * f);
}

BpfShowList::BpfShowList(std::shared_ptr<const SampleRatePlan> plan)
    : line_(plan), half_khz_(plan ? plan->Inputs().polosaFM / 2 / 1000 : 0) {
  axis_.ResetForGraph(0);
}

}  // namespace kavu
