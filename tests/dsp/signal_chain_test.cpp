#include "dsp/signal_chain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "dsp/fast_atan.h"
#include "dsp/fft_setup.h"
#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"
#include "dsp/sample_rate_plan.h"

namespace kavu {
namespace {

constexpr int kBlock = OSignalChain::kBlock;
constexpr double kPi = std::numbers::pi;

class SignalChainTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RatePlanInputs in;
    in.sampleRate = 2400000;
    plan_ = RecomputePlan(test::HostFft(), in);
  }
  static std::shared_ptr<const SampleRatePlan> plan_;
};
std::shared_ptr<const SampleRatePlan> SignalChainTest::plan_;

std::vector<FftComplex> Noise(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> nd;
  std::vector<FftComplex> v(n);
  for (auto& s : v) s = {nd(gen), nd(gen)};
  return v;
}

TEST_F(SignalChainTest, BadConfigurationsRejected) {
  std::string why;
  EXPECT_EQ(OSignalChain::Create(test::HostFft(), 1023, &why), nullptr);
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(OSignalChain::Create(test::HostFft(), int64_t{1} << 32), nullptr);
  auto c = OSignalChain::Create(test::HostFft(), 4096);
  ASSERT_TRUE(c);
  std::vector<FftComplex> H(OSignalChain::kFilterSize, FftComplex(1, 0));
  EXPECT_FALSE(c->SetFilter(H.data(), 0));
  EXPECT_FALSE(c->SetFilter(H.data(), 101));
  H[7] = {std::nan(""), 0};
  EXPECT_FALSE(c->SetFilter(H.data(), 4));
  EXPECT_EQ(c->Decimation(), 5);  // nothing changed
}

// A station set up with the portable kernel and one with this processor's fastest kernel, in one
// process: their plans and filtered samples are the same to the bit.
TEST_F(SignalChainTest, PortableAndFastestSetupsGiveTheSameSamples) {
  const FftSetupPtr portable = FftSetup::Portable(65536);
  const FftSetupPtr fast = test::HostFft();
  RatePlanInputs in;
  in.sampleRate = 2400000;
  const auto slowPlan = RecomputePlan(portable, in);
  ASSERT_TRUE(slowPlan);
  ASSERT_EQ(slowPlan->F3Bin(), plan_->F3Bin());
  ASSERT_EQ(slowPlan->FirstNullBin(), plan_->FirstNullBin());
  ASSERT_EQ(0, std::memcmp(slowPlan->Response(), plan_->Response(),
                           sizeof(FftComplex) * SampleRatePlan::kFilterBins));
  auto slow = OSignalChain::Create(portable, 1 << 14);
  auto quick = OSignalChain::Create(fast, 1 << 14);
  slow->UsePlan(*slowPlan);
  quick->UsePlan(*plan_);
  for (OSignalChain* c : {slow.get(), quick.get()}) c->SetMixer(0.0123);
  const std::vector<FftComplex> a = Noise(21 * kBlock, 5), b = Noise(21 * kBlock, 6);
  const auto at = [](const std::vector<FftComplex>& v, int blk) { return &v[static_cast<size_t>(blk) * kBlock]; };
  for (int blk = 0; blk < 20; ++blk) {
    slow->ProcessBlock(at(a, blk), at(b, blk));
    quick->ProcessBlock(at(a, blk), at(b, blk));
  }
  // A copy goes on with its original's setup.
  OSignalChain copy(*slow);
  copy.ProcessBlock(at(a, 20), at(b, 20));
  quick->ProcessBlock(at(a, 20), at(b, 20));
  const auto n = static_cast<size_t>(quick->DecimatedCount());
  ASSERT_GT(n, 0u);
  ASSERT_EQ(static_cast<size_t>(copy.DecimatedCount()), n);
  EXPECT_EQ(0, std::memcmp(copy.X(), quick->X(), sizeof(FftComplex) * n));
  EXPECT_EQ(0, std::memcmp(copy.Y(), quick->Y(), sizeof(FftComplex) * n));
  EXPECT_EQ(0, std::memcmp(copy.P(), quick->P(), sizeof(double) * n));
}

TEST_F(SignalChainTest, ToneAtTheOscillatorIsAConstantWithUnitGain) {
  auto c = OSignalChain::Create(test::HostFft(), 1 << 16);
  c->UsePlan(*plan_);
  const double r = plan_->SampleRateUsed();
  const double f = 123456.0;
  const double g = 2 * kPi * f / r;
  c->SetMixer(g);
  c->ResetBatch();
  std::vector<FftComplex> blk(kBlock);
  const FftComplex amp = std::polar(0.7, 0.3);
  for (int b = 0; b < 8; ++b) {
    for (int k = 0; k < kBlock; ++k) blk[static_cast<size_t>(k)] = amp * std::polar(1.0, g * (b * kBlock + k));
    c->ProcessBlock(blk.data(), nullptr);
  }
  ASSERT_EQ(c->DecimatedCount(), 7 * kBlock / 12);
  // Past the filter's start-up (its half-length, 512 input samples) every output equals amp.
  for (int64_t k = 512 / 12 + 1; k < c->DecimatedCount(); ++k) {
    EXPECT_NEAR(std::abs(c->X()[k] - amp), 0, 1e-6) << k;
    EXPECT_NEAR(c->P()[k], 0.49, 1e-9);
  }
}

// The chain against a direct time-domain computation: per-sample oscillator with a step change
// in the middle of a block, convolution with the windowed sinc, decimation, power means.
TEST_F(SignalChainTest, BlockwiseEqualsSamplewise) {
  const int blocks = 6;
  const auto inA = Noise(static_cast<size_t>(blocks * kBlock), 1);
  const auto inB = Noise(static_cast<size_t>(blocks * kBlock), 2);
  const double g1 = 0.0123, g2 = -0.0456;
  const int64_t switchPos = 2 * kBlock + 300;
  auto c = OSignalChain::Create(test::HostFft(), 1 << 16);
  c->UsePlan(*plan_);
  c->SetMixer(g1);
  c->ResetBatch();
  c->ScheduleMixer(g2, switchPos);
  for (int b = 0; b < blocks; ++b) c->ProcessBlock(&inA[static_cast<size_t>(b * kBlock)], &inB[static_cast<size_t>(b * kBlock)]);
  // Reference.
  std::vector<FftComplex> mixA(inA.size()), mixB(inB.size());
  double phase = 0;
  for (size_t n = 0; n < inA.size(); ++n) {
    mixA[n] = inA[n] * std::polar(1.0, -phase);
    mixB[n] = inB[n] * std::polar(1.0, -phase);
    phase += static_cast<int64_t>(n) < switchPos ? g1 : g2;
  }
  const int B = plan_->HalfLength();
  const double fcT = plan_->CutOff() / plan_->SampleRateUsed();
  std::vector<double> h(static_cast<size_t>(2 * B - 1));
  double sum = 0;
  for (int i = -B + 1; i < B; ++i) {
    const double x = 2 * kPi * fcT * i;
    const double v = (i == 0 ? 1.0 : std::sin(x) / x) * (1 + std::cos(kPi * i / B)) / 2;
    h[static_cast<size_t>(i + B - 1)] = v;
    sum += v;
  }
  const int D = plan_->Decimation();
  ASSERT_EQ(c->DecimatedCount(), (blocks - 1) * kBlock / D);
  ASSERT_EQ(c->RawCount(), blocks * kBlock);
  for (int64_t k = 0; k < c->DecimatedCount(); ++k) {
    const int64_t t = 511 + (k + 1) * D;
    FftComplex ya = 0, yb = 0;
    for (int i = -B + 1; i < B; ++i) {
      ya += mixA[static_cast<size_t>(t - i)] * h[static_cast<size_t>(i + B - 1)];
      yb += mixB[static_cast<size_t>(t - i)] * h[static_cast<size_t>(i + B - 1)];
    }
    EXPECT_NEAR(std::abs(c->X()[k] - ya / sum), 0, 1e-9) << k;
    EXPECT_NEAR(std::abs(c->Y()[k] - yb / sum), 0, 1e-9) << k;
    double pw = 0;
    for (int64_t n = t - D + 1; n <= t; ++n) pw += std::norm(mixA[static_cast<size_t>(n)]);
    EXPECT_NEAR(c->P()[k], pw / D, 1e-9) << k;
  }
  for (int64_t n = 0; n < c->RawCount(); n += 97) EXPECT_NEAR(std::abs(c->RawA()[n] - mixA[static_cast<size_t>(n)]), 0, 1e-9);
  // The explicit in-block switch gives the same bits as the scheduled one.
  auto e = OSignalChain::Create(test::HostFft(), 1 << 16);
  e->UsePlan(*plan_);
  e->SetMixer(g1);
  e->ResetBatch();
  for (int b = 0; b < blocks; ++b) {
    const int at = b == switchPos / kBlock ? static_cast<int>(switchPos % kBlock) : OSignalChain::kNoSwitch;
    e->ProcessBlock(&inA[static_cast<size_t>(b * kBlock)], &inB[static_cast<size_t>(b * kBlock)], at, g2);
  }
  for (int64_t k = 0; k < c->DecimatedCount(); ++k) EXPECT_EQ(e->X()[k], c->X()[k]);
}

TEST_F(SignalChainTest, DecimationOneAndFloatInput) {
  auto c = OSignalChain::Create(test::HostFft(), 1 << 14);
  std::vector<FftComplex> H(plan_->Response(), plan_->Response() + OSignalChain::kFilterSize);
  ASSERT_TRUE(c->SetFilter(H.data(), 1));
  auto f = OSignalChain::Create(test::HostFft(), 1 << 14);
  ASSERT_TRUE(f->SetFilter(H.data(), 1));
  c->SetMixer(0.3);
  f->SetMixer(0.3);
  const auto in = Noise(3 * kBlock, 5);
  std::vector<float> iq(in.size() * 2);
  std::vector<FftComplex> asFloat(in.size());
  for (size_t n = 0; n < in.size(); ++n) {
    iq[2 * n] = static_cast<float>(in[n].real());
    iq[2 * n + 1] = static_cast<float>(in[n].imag());
    asFloat[n] = {iq[2 * n], iq[2 * n + 1]};
  }
  for (int b = 0; b < 3; ++b) {
    c->ProcessBlock(&asFloat[static_cast<size_t>(b * kBlock)], nullptr);
    f->ProcessBlockIq(&iq[static_cast<size_t>(2 * b * kBlock)], nullptr);
  }
  ASSERT_EQ(c->DecimatedCount(), 2 * kBlock);
  for (int64_t k = 0; k < c->DecimatedCount(); ++k) {
    EXPECT_EQ(c->X()[k], f->X()[k]);
    EXPECT_EQ(c->P()[k], std::norm(c->RawA()[512 + k]));  // D = 1: P is |aligned sample|²
  }
}

TEST_F(SignalChainTest, CopyBehavesLikeTheOriginalAndStoresStopWhenFull) {
  auto c = OSignalChain::Create(test::HostFft(), 4096);
  c->UsePlan(*plan_);
  c->SetMixer(0.01);
  const auto in = Noise(60 * kBlock, 9);
  for (int b = 0; b < 3; ++b) c->ProcessBlock(&in[static_cast<size_t>(b * kBlock)], nullptr);
  c->ScheduleMixer(0.02, 4000);
  EXPECT_TRUE(c->MixerPending());
  OSignalChain copy(*c);
  for (int b = 3; b < 60; ++b) {
    c->ProcessBlock(&in[static_cast<size_t>(b * kBlock)], nullptr);
    copy.ProcessBlock(&in[static_cast<size_t>(b * kBlock)], nullptr);
  }
  ASSERT_EQ(c->DecimatedCount(), copy.DecimatedCount());
  EXPECT_EQ(c->DecimatedCount(), 4096);  // full: nothing beyond the capacity
  EXPECT_TRUE(c->IsFull());
  EXPECT_EQ(c->RawCount(), 4096);
  for (int64_t k = 0; k < c->DecimatedCount(); ++k) {
    EXPECT_EQ(c->X()[k], copy.X()[k]);
    EXPECT_EQ(c->P()[k], copy.P()[k]);
  }
  EXPECT_EQ(c->Phasor(), copy.Phasor());
  EXPECT_EQ(c->DecimatedSample(5000), FftComplex(0, 0));
  // A change still pending when a new group starts belongs to the old group: it is dropped.
  c->ScheduleMixer(0.05, 1 << 30);
  c->ResetBatch();
  EXPECT_FALSE(c->MixerPending());
  c->Clear();
  EXPECT_EQ(c->DecimatedCount(), 0);
  EXPECT_EQ(c->Decimation(), 5);
  EXPECT_EQ(c->Phasor(), FftComplex(1, 0));
}

TEST(FastAtan, ExamplesAccuracyAndNonFiniteInput) {
  EXPECT_NEAR(FastAtan2(0, -1), kPi, 1e-15);
  EXPECT_NEAR(FastAtan2(-0.5, -1), -kPi + 0.4636476, 1e-6);
  EXPECT_NEAR(FastAtan2(1, 1), kPi / 4, 1e-15);
  EXPECT_EQ(FastAtan2(0, 0), 0);
  double worst = 0;
  for (int i = 0; i < 20000; ++i) {
    const double a = -kPi + 2 * kPi * i / 20000;
    worst = std::max(worst, std::fabs(FastAtan2(std::sin(a), std::cos(a)) - std::atan2(std::sin(a), std::cos(a))));
  }
  EXPECT_LT(worst, 2e-6);
  EXPECT_TRUE(std::isnan(FastAtan(std::nan(""))));
  EXPECT_NEAR(FastAtan(INFINITY), kPi / 2, 1e-15);
  EXPECT_NEAR(FastAtan(-3.0), std::atan(-3.0), 2e-6);
  EXPECT_TRUE(std::isnan(FastAtan2(std::nan(""), 1)));
  EXPECT_TRUE(std::isnan(FastAtan2(1, std::nan(""))));
  EXPECT_TRUE(std::isnan(FastAtan2(INFINITY, INFINITY)));
}

}  // namespace
}  // namespace kavu
