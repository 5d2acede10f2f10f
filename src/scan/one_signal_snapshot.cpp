#include "scan/one_signal_snapshot.h"

#include <algorithm>
#include <cmath>

#include "dsp/signal_chain.h"
#include "scan/measure_windows.h"
#include "scan/measurement.h"

namespace kavu {
namespace {

// The raw store's samples sit 511 input samples plus one decimation period before the decimated
// sample they end up in (the block filter's delay).
constexpr double kFilterDelay = 511;

std::complex<float> Turned(FftComplex s, double phi) {
  const FftComplex t = s * FftComplex(std::cos(phi), -std::sin(phi));
  return {static_cast<float>(t.real()), static_cast<float>(t.imag())};
}

}  // namespace

void OneSignalSnapshot::Take(const OMeasurement& meas, const OSignalChain& chain) {
  *this = OneSignalSnapshot{};
  const OPhaseModel& model = meas.Model();
  decimation = std::max(chain.Decimation(), 1);
  hasB = chain.HasB();
  syncIndex = meas.SyncFound() ? meas.E() : 0;
  const double rD = meas.DecimatedRate();
  decimatedMs = rD > 0 ? 1000.0 / rD : 0;
  const double e = static_cast<double>(syncIndex);

  const int64_t nDec = std::min(chain.DecimatedCount(), kMaxSamples);
  const int64_t nRaw = std::min(chain.RawCount(), kMaxSamples);
  truncated = nDec < chain.DecimatedCount() || nRaw < chain.RawCount();

  for (auto* s : {&decA, &decB}) s->t0 = -e * decimatedMs, s->dt = decimatedMs;
  wholeBand.t0 = decA.t0, wholeBand.dt = decimatedMs;
  decA.v.resize(static_cast<size_t>(nDec));
  wholeBand.v.resize(static_cast<size_t>(nDec));
  if (hasB) decB.v.resize(static_cast<size_t>(nDec));
  for (int64_t k = 0; k < nDec; ++k) {
    const double phi = model.Phase(k);
    decA.v[static_cast<size_t>(k)] = Turned(chain.X()[k], phi);
    if (hasB) decB.v[static_cast<size_t>(k)] = Turned(chain.Y()[k], phi);
    wholeBand.v[static_cast<size_t>(k)] = static_cast<float>(std::sqrt(std::max(0.0, chain.P()[k])));
  }

  // Raw sample k at decimated position (k − 511) / D − 1.
  const double rawMs = decimatedMs / decimation;
  for (auto* s : {&rawA, &rawB}) {
    s->t0 = (-kFilterDelay / decimation - 1 - e) * decimatedMs;
    s->dt = rawMs;
  }
  rawA.v.resize(static_cast<size_t>(nRaw));
  if (hasB) rawB.v.resize(static_cast<size_t>(nRaw));
  for (int64_t k = 0; k < nRaw; ++k) {
    const double phi = model.PhaseAt((static_cast<double>(k) - kFilterDelay) / decimation - 1);
    rawA.v[static_cast<size_t>(k)] = Turned(chain.RawA()[k], phi);
    if (hasB) rawB.v[static_cast<size_t>(k)] = Turned(chain.RawB()[k], phi);
  }

  // The detector wrote a window mean for the samples it examined: from the end of the reference
  // on, up to the window that found the pause (or to the end when none did).
  const OSyncDetector& sync = meas.Sync();
  const int64_t detFirst = std::min(sync.ReferenceLength(), nDec);
  const int64_t detEnd = meas.SyncFound() ? std::min(nDec, meas.E() + sync.Window() / 2 + 1) : nDec;
  filteredAmplitude.t0 = decA.TimeOf(detFirst);
  filteredAmplitude.dt = decimatedMs;
  for (int64_t k = detFirst; k < detEnd; ++k) {
    filteredAmplitude.v.push_back(static_cast<float>(chain.DetectorSample(k)));
  }

  if (nDec == 0) return;
  auto ms = [&](double k) { return (k - e) * decimatedMs; };
  bands.push_back({ms(0), ms(meas.SlotLen()), kReferenceRgb});
  if (!meas.SyncFound() || meas.GroupCount() < 1) return;
  const FrequencyWindows w = ComputeWindows(meas.E(), meas.SlotLen(), meas.PauseLen(), meas.GuardLen(),
                                            meas.Repetitions(), meas.GroupCount() - 1);
  for (int j = 0; j < w.n; ++j) {
    const RepetitionWindows& r = w.reps[static_cast<size_t>(j)];
    for (const auto& [win, rgb] : {std::pair{r.w1, kOSlotRgb}, {r.w2, kASlotRgb}, {r.w3, kOSlotRgb}}) {
      if (win.Size() > 0) {
        bands.push_back({ms(static_cast<double>(win.begin)), ms(static_cast<double>(win.end)), rgb});
      }
    }
  }
}

}  // namespace kavu
