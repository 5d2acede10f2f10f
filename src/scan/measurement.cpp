#include "scan/measurement.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "dsp/fast_atan.h"
#include "platform/num_convert.h"
#include "platform/number_text.h"
#include "scan/scan_plan.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

constexpr double kPi = std::numbers::pi;

double Db(double v) { return v > 0 ? 10 * std::log10(v) : 0.0; }

double Mean(double sum, double n) { return sum / (n > 0 ? n : 1); }
FftComplex Mean(FftComplex sum, double n) { return sum / (n > 0 ? n : 1.0); }

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

}  // namespace

OMeasurement::OMeasurement(OSignalChain& chain, AntIzms& set) : chain_(&chain), set_(&set) {}

double OMeasurement::MixerStep(double f, double tuningHz, double r) {
  const double d = f - tuningHz;
  const double folded = d - std::floor(d / r + 0.5) * r;
  return 2 * kPi * folded / r;
}

void OMeasurement::StartGroup(const SampleRatePlan& plan, const double* freqs, int count, double f0,
                              double tuningHz) {
  count_ = std::clamp(count, 0, kMaxGroupFrequencies);
  std::copy(freqs, freqs + count_, freqs_.begin());
  f0_ = f0;
  tuning_ = tuningHz;
  r_ = plan.SampleRateUsed();
  rD_ = plan.DecimatedRate();
  q_ = plan.SlotLen();
  p_ = plan.PauseLen();
  G_ = plan.GuardLen();
  N_ = std::clamp(plan.ZondN(), 1, kMaxZondN);
  D_ = plan.Decimation();
  nextSwitch_ = 1;
  peakA_ = peakB_ = 0;
  chain_->UsePlan(plan);
  chain_->ResetBatch();
  chain_->SetMixer(MixerStep(f0, tuningHz, r_));
  sync_.Start(q_, p_ / 2);
}

int64_t OMeasurement::SwitchInput(int m) const {
  const double c = SettlingMiddle(sync_.E(), q_, p_, N_, m);
  return 511 + (ToInt64(std::floor(c)).value_or(0) + 1) * D_;
}

void OMeasurement::AfterBlock() {
  sync_.Step(*chain_);
  if (sync_.Found() && nextSwitch_ < count_ && !chain_->MixerPending()) {
    const int m = nextSwitch_++;
    chain_->ScheduleMixer(MixerStep(freqs_[static_cast<size_t>(m)], tuning_, r_), SwitchInput(m));
  }
}

void OMeasurement::NotePeaks(float peakA, float peakB) {
  peakA_ = std::max(peakA_, peakA);
  peakB_ = std::max(peakB_, peakB);
}

bool OMeasurement::Ready(int index) const {
  if (!sync_.Found()) return false;
  const double need = static_cast<double>(sync_.E()) + ((2.0 * N_ + 1) * q_ + p_) * (index + 1) - q_;
  return need <= static_cast<double>(chain_->DecimatedCount());
}

void OMeasurement::ResetTimers() {
  stages_ = {0, 0, 0};
  processing_ = 0;
}

bool OMeasurement::Complete(int index, const FrequencyWindows& w) const {
  const int64_t stored = chain_->DecimatedCount();
  bool ok = sync_.Found() && w.firstBegin >= 0 && w.lastEnd <= stored;
  for (int j = 0; ok && j < w.n; ++j) {
    const RepetitionWindows& r = w.reps[static_cast<size_t>(j)];
    ok = r.w1.Size() >= 2 && r.w2.Size() >= 1 && r.w3.Size() >= 2 && r.w1.end <= stored;
  }
  if (!ok) {
    Log() << LogColour(kColourError) << "!!! nf=" << index << " некомплект данных, GetDataN()="
          << static_cast<long long>(stored) << ", а r.I5=" << static_cast<long long>(w.lastEnd) << "\n"
          << LogColour(kColourNormal);
  }
  return ok;
}

void OMeasurement::Accumulate(SampleWindow w, Acc& x, Acc* y, FftComplex* cross) const {
  const FftComplex* X = chain_->X();
  const FftComplex* Y = chain_->Y();
  const double* P = chain_->P();
  for (int64_t k = w.begin; k < w.end; ++k) {
    const double phi = model_.Phase(k);
    const FftComplex e(std::cos(phi), -std::sin(phi));
    x.pw += std::norm(X[k]);
    x.s += X[k] * e;
    x.P += P[k];
    x.n += 1;
    if (y) {
      y->pw += std::norm(Y[k]);
      y->s += Y[k] * e;
      y->n += 1;
      *cross += X[k] * std::conj(Y[k]);
    }
  }
}

void OMeasurement::AccumulateO(SampleWindow w, Sums& s, Acc* y) const {
  const Acc before = s.o;
  Accumulate(w, s.o, y, &s.crossO);
  const double n = s.o.n - before.n;
  if (n <= 0) return;
  const double m = std::norm((s.o.s - before.s) / n);
  s.oWindowMin = std::min(s.oWindowMin, m);
  s.oWindowMax = std::max(s.oWindowMax, m);
}

std::string OMeasurement::Implausible(const Sums& s, double pausePower) const {
  const double o = std::norm(Mean(s.o.s, s.o.n));
  const double oPower = Mean(s.o.pw, s.o.n);
  char buf[160];
  if (!(o > 0) || !(o >= kMinReferenceCoherence * oPower)) {
    std::snprintf(buf, sizeof buf, "нет тона генератора в опорных слотах (когерентность %.3f < %.2f)",
                  oPower > 0 ? o / oPower : 0.0, kMinReferenceCoherence);
    return buf;
  }
  if (!(s.oWindowMax <= kMaxWindowSpread * o) || !(s.oWindowMin * kMaxWindowSpread >= o)) {
    std::snprintf(buf, sizeof buf, "опорные слоты не совпадают с графиком платы (уровни окон %.1f … %.1f дБ от среднего)",
                  10 * std::log10(std::max(s.oWindowMin / o, 1e-30)), 10 * std::log10(std::max(s.oWindowMax / o, 1e-30)));
    return buf;
  }
  if (pausePower >= 0 && !(pausePower <= kMaxPauseToReference * oPower)) {
    std::snprintf(buf, sizeof buf, "синхропауза не тихая (%.1f дБ от опорного уровня)",
                  10 * std::log10(std::max(pausePower / oPower, 1e-30)));
    return buf;
  }
  return {};
}

void OMeasurement::Repetitions(int index, const FrequencyWindows& w, Sums& s) {
  using Clock = std::chrono::steady_clock;
  const FftComplex* X = chain_->X();
  const bool duo = chain_->HasB();
  const int first = (index == 0 && w.n >= 4) ? 1 : 0;
  for (int j = first; j < w.n; ++j) {
    const RepetitionWindows& r = w.reps[static_cast<size_t>(j)];
    const auto t0 = Clock::now();
    model_.FitReference(X, r.w1);
    const auto t1 = Clock::now();
    model_.FitResidual(X, r.w1, r.w3);
    const auto t2 = Clock::now();
    if (j == 0) {
      Acc pauseB;
      FftComplex unused{0, 0};
      Accumulate(w.pause, s.pause, duo ? &pauseB : nullptr, &unused);
      AccumulateO(r.w1, s, duo ? &s.oB : nullptr);
    }
    AccumulateO(r.w3, s, duo ? &s.oB : nullptr);
    s.rate = model_.Rate(static_cast<double>(r.w2.begin + r.w2.end) / 2);
    Accumulate(r.w2, s.a, duo ? &s.aB : nullptr, &s.crossA);
    const auto t3 = Clock::now();
    stages_[0] += Seconds(t0, t1);
    stages_[1] += Seconds(t1, t2);
    stages_[2] += Seconds(t2, t3);
  }
}

AntIzm OMeasurement::Record(int index, double f, const Sums& s) {
  AntIzm p = EmptyAntIzm();
  const FftComplex O = Mean(s.o.s, s.o.n), A = Mean(s.a.s, s.a.n);
  const FftComplex OB = Mean(s.oB.s, s.oB.n), AB = Mean(s.aB.s, s.aB.n);
  const FftComplex ao = A * std::conj(O);
  const FftComplex cr = s.crossA * std::conj(s.crossO);
  const double phase = FastAtan2(ao.imag(), ao.real());
  const double phaseB = chain_->HasB() ? FastAtan2(cr.imag(), cr.real()) : 0.0;
  const double eps = (rD_ * s.rate / (2 * kPi)) / f;
  const ReceiverLevels lv = levels_ ? levels_->Levels() : ReceiverLevels{};
  p.freqHz = f;
  p.aDuo = Db(std::norm(AB));
  p.a = Db(std::norm(A));
  p.maxADuo = p.maxODuo = peakB_;
  p.maxA = p.maxO = peakA_;
  p.oDuo = Db(std::norm(OB));
  p.o = Db(std::norm(O));
  if (index == 0) {
    p.pause = static_cast<float>(Db(std::norm(Mean(s.pause.s, s.pause.n))));
    p.pauseBpf = static_cast<float>(Db(Mean(s.pause.pw, s.pause.n)));
    p.pauseAll = static_cast<float>(Db(Mean(s.pause.P, s.pause.n)));
  } else {
    p.pause = p.pauseBpf = p.pauseAll = PauseNotMeasured();
  }
  p.phase = -phase;
  p.gainDuo = lv.gain_duo_db;
  p.gain = lv.gain_db;
  p.reserved96 = 0;
  p.overloadsDuo = lv.overloads_duo;
  p.overloads = chain_->HasB() ? lv.overloads : lv.overloads + lv.overloads_duo;
  p.phaseDuo = static_cast<float>(-phaseB);
  p.delay = static_cast<float>((static_cast<double>(sync_.E()) - q_) * D_ / r_);
  p.ppm = static_cast<float>(eps * 1e6);
  p.aDuoBpf = p.aDuoAll = Db(Mean(s.aB.pw, s.aB.n));
  p.aBpf = Db(Mean(s.a.pw, s.a.n));
  p.oDuoBpf = p.oDuoAll = Db(Mean(s.oB.pw, s.oB.n));
  p.oBpf = Db(Mean(s.o.pw, s.o.n));
  p.aAll = Db(Mean(s.a.P, s.a.n));
  p.oAll = Db(Mean(s.o.P, s.o.n));
  return p;
}

OMeasurement::Outcome OMeasurement::GetDataN(int index) {
  rejection_.clear();
  if (index < 0 || index >= count_) return Outcome::kIncomplete;
  const auto start = std::chrono::steady_clock::now();
  const FrequencyWindows w = ComputeWindows(sync_.E(), q_, p_, G_, N_, index);
  if (!Complete(index, w)) return Outcome::kIncomplete;
  const double f = index > 0 ? freqs_[static_cast<size_t>(index)] : f0_;
  Sums s;
  Repetitions(index, w, s);
  processing_ += Seconds(start, std::chrono::steady_clock::now());
  double pausePower = -1;
  if (index == 0 && s.pause.n > 0) {
    pausePower = Mean(s.pause.pw, s.pause.n);
  } else if (index == 0 && w.pause.end > w.pause.begin) {
    // The record leaves the pause out (the first repetition skipped): measured here for the check.
    const FftComplex* X = chain_->X();
    double sum = 0;
    for (int64_t k = w.pause.begin; k < w.pause.end; ++k) sum += std::norm(X[k]);
    pausePower = sum / static_cast<double>(w.pause.end - w.pause.begin);
  }
  rejection_ = Implausible(s, pausePower);
  if (!rejection_.empty()) {
    Log() << LogColour(kColourError) << "!!! nf=" << index << " " << FormatFixed(f / 1e6, 3) << " МГц: " << rejection_
          << ", точка не принята \n" << LogColour(kColourNormal);
    return Outcome::kImplausible;
  }
  if (index > 0 && scanPlan_) scanPlan_->SetCurrentFrequency(f);
  const AntIzm point = Record(index, f, s);
  peakA_ = peakB_ = 0;
  if (!set_->Append(point)) return Outcome::kSetFull;
  Publish(f);
  return Outcome::kPoint;
}

FftComplex OMeasurement::ViewDecimated(int64_t k) const {
  const double phi = model_.Phase(k);
  return chain_->DecimatedSample(k) * FftComplex(std::cos(phi), -std::sin(phi));
}

FftComplex OMeasurement::ViewRaw(int64_t k) const {
  const double phi = model_.PhaseAt((static_cast<double>(k) - 511) / D_ - 1);
  return chain_->RawSample(k) * FftComplex(std::cos(phi), -std::sin(phi));
}

void OMeasurement::Publish(double f) {
  if (!impedance_) return;
  const Complex z = impedance_->ComputeZ(*set_, set_->Count() - 1, -1);
  const Complex zr(std::max(0.0, z.real()), z.imag());
  const double swr = impedance_->SwrOf(zr);
  if (!(swr >= 1)) return;
  if (scanPlan_) scanPlan_->AddPointToSummary(scanPlan_->CurrentRange(), f, swr);
  last_ = {f, zr.real(), zr.imag(), swr, impedance_->GammaOf(zr)};
}

}  // namespace kavu
