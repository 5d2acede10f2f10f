// The phase model between the O slots: a constant frequency error is followed exactly, and the
// noise of the O samples reaches the A slot no worse than their plain mean would carry it.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "scan/phase_model.h"

namespace kavu {
namespace {

// Windows as at 2.4 MS/s: slots of 400 decimated samples, guard 100.
constexpr SampleWindow kW1{100, 300}, kW2{500, 700}, kW3{900, 1100};

double MeanPhase(const OPhaseModel& m, SampleWindow w) {
  double s = 0;
  for (int64_t k = w.begin; k < w.end; ++k) s += m.Phase(k);
  return s / static_cast<double>(w.Size());
}

TEST(PhaseModel, FollowsAFrequencyErrorAcrossTheAntennaSlot) {
  for (const double omega : {0.0, 2e-4, -0.05, 1.5}) {  // radians per decimated sample
    std::vector<FftComplex> x(1200);
    const double phi0 = 2.5;
    for (size_t k = 0; k < x.size(); ++k) x[k] = std::polar(37.0, phi0 + omega * static_cast<double>(k));
    OPhaseModel m;
    m.FitReference(x.data(), kW1);
    m.FitResidual(x.data(), kW1, kW3);
    ASSERT_TRUE(m.Finite());
    EXPECT_NEAR(m.Rate(600), omega, 1e-6) << omega;
    for (int64_t k : {kW2.begin, int64_t{600}, kW2.end - 1}) {
      const double truth = phi0 + omega * static_cast<double>(k);
      EXPECT_NEAR(std::remainder(m.Phase(k) - truth, 2 * std::numbers::pi), 0.0, 2e-4) << omega << " at " << k;
      EXPECT_NEAR(m.PhaseAt(static_cast<double>(k)), m.Phase(k), 1e-12);
    }
  }
}

TEST(PhaseModel, NoiseAtTheAntennaSlotIsThatOfTheReferenceMean) {
  // White noise of σ per component on a unit tone: each sample's phase has σ rad of noise, the
  // mean phase of the n O samples σ/√n. The model's mean phase over W2 must not carry much more
  // (a parabola through the two clusters would carry √13 ≈ 3.6 times as much).
  const double sigma = 0.05;
  const int trials = 300;
  std::mt19937_64 gen(5);
  std::normal_distribution<double> nd(0.0, sigma);
  std::vector<FftComplex> x(1200);
  double sum2 = 0;
  for (int t = 0; t < trials; ++t) {
    for (auto& v : x) v = FftComplex(1.0 + nd(gen), nd(gen));
    OPhaseModel m;
    m.FitReference(x.data(), kW1);
    m.FitResidual(x.data(), kW1, kW3);
    const double e = MeanPhase(m, kW2);
    sum2 += e * e;
  }
  const double rms = std::sqrt(sum2 / trials);
  const double meanLevel = sigma / std::sqrt(static_cast<double>(kW1.Size() + kW3.Size()));
  EXPECT_GT(rms, 0.7 * meanLevel);
  EXPECT_LT(rms, 1.3 * meanLevel);
}

}  // namespace
}  // namespace kavu
