#include "dsp/sample_rate_plan.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/num_convert.h"
#include "platform/number_text.h"

namespace kavu {
namespace {

constexpr double kPi = std::numbers::pi;

int FloorInt(double v, int fallback) { return ToInt32Or(std::floor(v), fallback); }

// Numbers in notes read as the log console writes them.
std::string G(double v) { return FormatG(v, 9); }

std::string CheckInputs(const RatePlanInputs& in) {
  if (!std::isfinite(in.sampleRate)) return "частота дискретизации не число";
  if (!(std::isfinite(in.polosaFM) && in.polosaFM > 0)) return "полоса фильтра m_PolosaFM не положительна";
  if (!(std::isfinite(in.timerClockHz) && in.timerClockHz > 0 && std::isfinite(in.timerPrescaler) &&
        in.timerPrescaler > 0)) {
    return "параметры таймера МК не положительны";
  }
  if (in.tZond10 < 1) return "длительность зондирования m_TZond10 меньше 1";
  if (in.zondN < 1) return "число повторов m_ZondN меньше 1";
  if (in.multyPPS <= -1000000) return "поправка m_MultyPPS не допустима";
  return {};
}

}  // namespace

std::shared_ptr<const SampleRatePlan> RecomputePlan(const FftSetupPtr& fft, const RatePlanInputs& in,
                                                    std::string* error) {
  std::shared_ptr<SampleRatePlan> plan(new SampleRatePlan());
  plan->in_ = in;
  std::string why;
  if (!plan->Compute(fft, &why)) {
    if (error) *error = why;
    return nullptr;
  }
  return plan;
}

bool SampleRatePlan::Compute(const FftSetupPtr& fft, std::string* error) {
  if (std::string why = CheckInputs(in_); !why.empty()) {
    *error = why;
    return false;
  }
  r_ = in_.sampleRate;
  if (in_.sampleRate < 8000) {
    r_ = 8000;
    notes_.push_back({PlanNoteKind::kWarning, "Частота дискретизации слишком низкая, не поддерживается, SamplingF=" +
                                                  G(in_.sampleRate) + " исп m_SampleRateUsed=" + G(r_) + "\n"});
  }
  notes_.push_back({PlanNoteKind::kNotice,
                    "Перерасчеты при смене частоты дискретизации Sdr до m_SampleRateUsed = " + G(r_ / 1e6) + " МГц \n"});
  settleBlocks_ = std::max(1, ToInt32Or(std::ceil(in_.delay1Ms * 0.001 * r_ / 2048 * 2 + 1), 1));
  graphBlocks_ = std::max(2, FloorInt(in_.upTimeGraphikMs * r_ * 0.001 / 1024, 2));
  waterfallBlocks_ = std::max(2, FloorInt(in_.upTimeVodopadMs * r_ * 0.001 / 1024, 2));
  tick_ = in_.timerClockHz / in_.timerPrescaler;
  // Whole board ticks, at least one: a duration of zero ticks cannot be played.
  pause_ = std::max(1, FloorInt(0.001 * tick_ + 0.5, 1)) / tick_;
  slot_ = std::max(1, FloorInt(in_.tZond10 * 0.0001 * tick_ + 0.5, 1)) / tick_;
  guard_ = std::min(slot_ / 4, 0.0005);
  fc_ = std::min(in_.polosaFM / 2, r_ / 2);
  // At least 1: with B = 0 the response is all zeros and its normalisation by H[0] gives NaN.
  halfLength_ = std::clamp(FloorInt(r_ * guard_ * 0.75, 1), 1, 512);
  DesignFilter(fft);
  AnalyseResponse(fft);
  const double K = std::max(2 * in_.polosaFM, 2.0 * fl_ * r_ / kResponseBins);
  d_ = std::clamp(FloorInt(r_ / std::max(K, 200000.0), 1), 1, 100);
  notes_.push_back({PlanNoteKind::kPlain,
                    " Децимация " + std::to_string(d_) + " раз, до частоты выборок " + G(r_ / d_ / 1e3) + " кГц \n"});
  v_ = r_ / d_ / (1 + in_.multyPPS * 0.000001);
  q_ = slot_ * v_;
  qRounded_ = std::max(1, FloorInt(q_ + 0.5, 1));
  g_ = FloorInt(v_ * guard_ + 0.5, 0);
  p_ = pause_ * v_;
  return true;
}

void SampleRatePlan::DesignFilter(const FftSetupPtr& fft) {
  H_.assign(kFilterBins, FftComplex(0, 0));
  const double B = halfLength_;
  const double T = 1.0 / r_;
  for (int i = -512; i < 1536; ++i) {
    if (std::abs(i) >= halfLength_) continue;
    const double w = (1 + std::cos(kPi * i / B)) / 2;
    const double x = 2 * kPi * fc_ * T * i;
    const double s = i == 0 ? 1.0 : std::sin(x) / x;
    H_[static_cast<size_t>(i + 512)] = FftComplex(s * w, 0);
  }
  OMBPF2 transform(fft, kFilterBins);
  transform.BPF2(H_.data(), kFilterBins);
  const double h0 = H_[0].real();
  for (auto& h : H_) h = FftComplex(h.real() / h0, h.imag() / h0);
}

void SampleRatePlan::AnalyseResponse(const FftSetupPtr& fft) {
  FftVector R(kResponseBins, FftComplex(0, 0));
  std::copy(H_.begin(), H_.end(), R.begin());
  OMBPF2 small(fft, kFilterBins);
  small.OBPF2(R.data(), kFilterBins);
  for (int k = 0; k < kFilterBins; ++k) R[static_cast<size_t>(k)] *= 32.0;
  OMBPF2 big(fft, kResponseBins);
  big.BPF2(R.data(), kResponseBins);
  const auto pw = [&](int k) { return std::norm(R[static_cast<size_t>(k)]); };
  const double p0 = pw(0);
  f3_ = kResponseBins / 2;
  for (int k = 1; k <= kResponseBins / 2; ++k) {
    if (pw(k) < 0.5 * p0) {
      f3_ = k;
      break;
    }
  }
  i0_ = FloorInt(fc_ * kResponseBins / r_ + 0.5, kResponseBins / 2);
  if (i0_ > kResponseBins / 2 - 1) i0_ = kResponseBins / 2;
  fl_ = kResponseBins - 1;
  for (int k = i0_; k + 1 < kResponseBins; ++k) {
    if (pw(k) <= pw(k + 1)) {
      fl_ = k;
      break;
    }
  }
  power_.resize(kResponseBins / 2 + 1);
  for (int k = 0; k <= kResponseBins / 2; ++k) power_[static_cast<size_t>(k)] = p0 > 0 ? pw(k) / p0 : 0;
  notes_.push_back({PlanNoteKind::kPlain, " Задана f_среза=" + G(fc_ / 1e3) + " кГц" + ", реально срез (по -3дБ) на " +
                                              G(f3_ * r_ / kResponseBins / 1e3) + " кГц, лепесток до " +
                                              G(fl_ * r_ / kResponseBins / 1e3) + " кГц\n"});
}

int64_t SampleRatePlan::GroupLength(int count) const {
  const double N = in_.zondN;
  double len = 2 * N * q_ + p_;
  if (count > 1) len += ((2 * N + 1) * q_ + p_) * (count - 1);
  return std::max<int64_t>(1, RoundToInt64(len).value_or(1));
}

}  // namespace kavu
