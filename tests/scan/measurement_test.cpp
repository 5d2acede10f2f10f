#include "scan/measurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board_timeline_fixture.h"
#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"
#include "measure/bridge_model.h"
#include "scan/measure_windows.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

class FakeLevels : public IReceiverLevels {
 public:
  ReceiverLevels Levels() const override { return {12.5, 7.5, 3, 4, false}; }
};

class MeasurementTest : public ::testing::Test {
 protected:
  std::shared_ptr<const SampleRatePlan> Plan(double rate, int tZond10 = 20) {
    RatePlanInputs in;
    in.sampleRate = rate;
    in.tZond10 = tZond10;
    return RecomputePlan(test::HostFft(), in);
  }

  // One group of two frequencies around 14 MHz with a 50 Ω load, at the plan's rate.
  test::Timeline Group(const SampleRatePlan& plan, const std::vector<double>& f) {
    test::TimelineSpec s;
    s.plan = &plan;
    s.tuningHz = kTuning;
    s.freqs = f;
    for (double x : f) s.rho.push_back(ExpectedRatio(BridgeSettings{}, {50, 0}, x));
    return test::MakeGroupTimeline(s);
  }

  static void Feed(OSignalChain& chain, OMeasurement& m, const test::Timeline& t) {
    for (size_t b = 0; b + 1024 <= t.a.size(); b += 1024) {
      chain.ProcessBlock(&t.a[b], nullptr);
      m.AfterBlock();
    }
  }

  static constexpr double kTuning = 14100000;
  const std::vector<double> freqs_{14000000, 14020000};
};

TEST_F(MeasurementTest, WindowsEndingAtTheLastStoredSampleAreMeasuredOneFewerIsIncomplete) {
  const auto plan = Plan(250000);  // D = 1: the decimated store stops exactly at its capacity
  ASSERT_EQ(plan->Decimation(), 1);
  const test::Timeline t = Group(*plan, freqs_);
  auto big = OSignalChain::Create(test::HostFft(), 1 << 20);
  AntIzms set(16);
  OMeasurement probe(*big, set);
  probe.StartGroup(*plan, freqs_.data(), 2, freqs_[0], kTuning);
  Feed(*big, probe, t);
  ASSERT_TRUE(probe.SyncFound());
  const int64_t end = ComputeWindows(probe.E(), plan->SlotLen(), plan->PauseLen(), plan->GuardLen(), 1, 0).lastEnd;
  for (const int64_t capacity : {end, end - 1}) {
    auto chain = OSignalChain::Create(test::HostFft(), capacity);
    AntIzms s(16);
    OMeasurement m(*chain, s);
    m.StartGroup(*plan, freqs_.data(), 2, freqs_[0], kTuning);
    Feed(*chain, m, t);
    ASSERT_EQ(m.E(), probe.E());
    ASSERT_EQ(chain->DecimatedCount(), capacity);
    Log().SetCapture(true);
    const bool made = m.GetDataN(0) == OMeasurement::Outcome::kPoint;
    const std::string log = Log().TakeCaptured();
    Log().SetCapture(false);
    EXPECT_EQ(made, capacity == end);
    EXPECT_EQ(s.Count(), capacity == end ? 1 : 0);
    EXPECT_EQ(log.find("некомплект данных") != std::string::npos, capacity != end) << log;
  }
}

TEST_F(MeasurementTest, EarlyFalseSyncAndSilenceGiveNoPointAndNoOutOfBoundsRead) {
  // A 0.5 ms slot: the window is nearly as long as the reference, and a burst that ends after a
  // few decimated samples makes the detector fire so early that W1 would start before sample 0.
  const auto plan = Plan(2400000, 5);
  auto chain = OSignalChain::Create(test::HostFft(), 1 << 16);
  AntIzms set(16);
  OMeasurement m(*chain, set);
  m.StartGroup(*plan, freqs_.data(), 1, freqs_[0], kTuning);
  const double g = OMeasurement::MixerStep(freqs_[0], kTuning, plan->SampleRateUsed());
  std::vector<FftComplex> x(40 * 1024, FftComplex(0, 0));
  for (int n = 0; n < 760; ++n) x[static_cast<size_t>(n)] = std::polar(100.0, g * n);
  Feed(*chain, m, test::Timeline{x, {}, 0});
  ASSERT_TRUE(m.SyncFound());
  const auto w = ComputeWindows(m.E(), plan->SlotLen(), plan->PauseLen(), plan->GuardLen(), 1, 0);
  ASSERT_LT(w.firstBegin, 0);
  Log().SetCapture(true);
  EXPECT_EQ(m.GetDataN(0), OMeasurement::Outcome::kIncomplete);
  EXPECT_NE(Log().TakeCaptured().find("некомплект данных"), std::string::npos);
  Log().SetCapture(false);
  EXPECT_EQ(set.Count(), 0);

  // A silent receiver: threshold 0, nothing falls below it, no sync, no point.
  OMeasurement quiet(*chain, set);
  quiet.StartGroup(*plan, freqs_.data(), 1, freqs_[0], kTuning);
  Feed(*chain, quiet, test::Timeline{std::vector<FftComplex>(40 * 1024, FftComplex(0, 0)), {}, 0});
  EXPECT_FALSE(quiet.SyncFound());
  EXPECT_FALSE(quiet.Ready(0));
  EXPECT_EQ(quiet.GetDataN(0), OMeasurement::Outcome::kIncomplete);
  EXPECT_EQ(set.Count(), 0);
}

TEST_F(MeasurementTest, RecordCarriesLevelsAndStopsWhenTheSetIsFull) {
  const auto plan = Plan(2400000);
  const test::Timeline t = Group(*plan, freqs_);
  auto chain = OSignalChain::Create(test::HostFft(), 1 << 20);
  AntIzms set(1);
  FakeLevels levels;
  const ImpedanceComputer imp(BridgeSettings{}, nullptr);
  OMeasurement m(*chain, set);
  m.SetLevels(&levels);
  m.SetImpedance(&imp);
  m.StartGroup(*plan, freqs_.data(), 2, freqs_[0], kTuning);
  m.NotePeaks(90.f, 0.f);
  m.NotePeaks(80.f, 5.f);
  Feed(*chain, m, t);
  ASSERT_TRUE(m.Ready(1));
  EXPECT_EQ(m.GetDataN(0), OMeasurement::Outcome::kPoint);
  const AntIzm& p = set.At(0);
  EXPECT_EQ(p.maxA, 90.f);
  EXPECT_EQ(p.maxO, 90.f);
  EXPECT_EQ(p.maxADuo, 5.f);
  EXPECT_EQ(p.gain, 12.5);
  EXPECT_EQ(p.gainDuo, 7.5);
  EXPECT_EQ(p.overloadsDuo, 4);
  EXPECT_EQ(p.overloads, 7);  // one input: both counts
  EXPECT_EQ(p.reserved96, 0);
  EXPECT_EQ(p.aDuo, 0.0);     // no second input: dB(0) = 0
  EXPECT_NEAR(m.LastPoint().r, 50, 0.5);
  EXPECT_EQ(m.LastPoint().f, freqs_[0]);
  EXPECT_GT(m.StageSeconds()[0] + m.StageSeconds()[1] + m.StageSeconds()[2], 0);
  // The one-signal view turns the reference slot back to a steady phasor with the model.
  const RepetitionWindows rep = ComputeWindows(m.E(), plan->SlotLen(), plan->PauseLen(), plan->GuardLen(), 1, 0).reps[0];
  const FftComplex v0 = m.ViewDecimated(rep.w3.begin), v1 = m.ViewDecimated(rep.w3.end - 1);
  EXPECT_NEAR(std::abs(v0 - v1), 0, 0.5);
  EXPECT_NEAR(std::abs(v0), 100, 1);
  const int64_t raw = 511 + (rep.w3.begin + 1) * plan->Decimation();
  EXPECT_NEAR(std::arg(m.ViewRaw(raw) / v0), 0, 0.05);
  EXPECT_EQ(m.ViewDecimated(-5), FftComplex(0, 0));
  // The set holds one point: the next frequency is measured but not stored.
  EXPECT_EQ(m.GetDataN(1), OMeasurement::Outcome::kSetFull);
  EXPECT_EQ(set.Count(), 1);
  EXPECT_EQ(m.LastPoint().f, freqs_[0]);
}

TEST_F(MeasurementTest, SamplesThatDoNotShowTheBoardsTimelineGiveNoPoint) {
  // Each recording below makes the detector find a "pause", yet its samples are not the board's
  // timeline: no point may be made of them (the group is then measured again).
  const auto plan = Plan(2400000);
  const int64_t D = plan->Decimation();
  const auto slotRaw = static_cast<int64_t>(plan->SlotLen() * static_cast<double>(D));
  const auto pauseRaw = static_cast<int64_t>(plan->PauseLen() * static_cast<double>(D));
  struct Case {
    const char* what;
    std::function<void(test::Timeline&)> spoil;
    const char* reason;  // part of the rejection's text (null: any)
  };
  const std::vector<Case> cases = {
      {"the pause holds a third of the reference's power",
       [&](test::Timeline& t) {
         // The tone itself, from the reference burst before the pause, at 0.35 of its power.
         for (int64_t n = t.pauseStart; n < t.pauseStart + pauseRaw; ++n) {
           t.a[static_cast<size_t>(n)] += std::sqrt(0.35) * t.a[static_cast<size_t>((n - t.pauseStart) % t.pauseStart)];
         }
       },
       "синхропауза"},
      {"a slot's worth of samples lost inside the first antenna slot",
       [&](test::Timeline& t) {
         // The reference slot after it then lies where the settling pause at the next frequency
         // was: that window holds no tone at this frequency.
         const int64_t at = t.pauseStart + pauseRaw + slotRaw / 4;
         t.a.erase(t.a.begin() + at, t.a.begin() + at + slotRaw);
         t.a.resize(t.a.size() + static_cast<size_t>(slotRaw), t.a.back());
       },
       nullptr},
      {"no tone: noise with a quiet stretch where no pause was played",
       [&](test::Timeline& t) {
         std::mt19937 gen(7);
         std::normal_distribution<double> nd(0, 30);
         for (auto& x : t.a) x = {nd(gen), nd(gen)};
         for (int64_t n = t.pauseStart; n < t.pauseStart + pauseRaw; ++n) t.a[static_cast<size_t>(n)] *= 0.1;
       },
       "нет тона"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::Timeline t = Group(*plan, freqs_);
    c.spoil(t);
    auto chain = OSignalChain::Create(test::HostFft(), 1 << 20);
    AntIzms set(16);
    OMeasurement m(*chain, set);
    m.StartGroup(*plan, freqs_.data(), 2, freqs_[0], kTuning);
    Feed(*chain, m, t);
    ASSERT_TRUE(m.SyncFound());
    ASSERT_TRUE(m.Ready(0));
    Log().SetCapture(true);
    const OMeasurement::Outcome made = m.GetDataN(0);
    const std::string log = Log().TakeCaptured();
    Log().SetCapture(false);
    EXPECT_EQ(made, OMeasurement::Outcome::kImplausible);
    EXPECT_EQ(set.Count(), 0);
    EXPECT_FALSE(m.Rejection().empty());
    if (c.reason) {
      EXPECT_NE(m.Rejection().find(c.reason), std::string::npos) << m.Rejection();
    }
    EXPECT_NE(log.find("точка не принята"), std::string::npos) << log;
  }
  // The same recording unspoiled gives both points.
  const test::Timeline t = Group(*plan, freqs_);
  auto chain = OSignalChain::Create(test::HostFft(), 1 << 20);
  AntIzms set(16);
  OMeasurement m(*chain, set);
  m.StartGroup(*plan, freqs_.data(), 2, freqs_[0], kTuning);
  Feed(*chain, m, t);
  ASSERT_TRUE(m.Ready(1));
  EXPECT_EQ(m.GetDataN(0), OMeasurement::Outcome::kPoint);
  EXPECT_EQ(m.GetDataN(1), OMeasurement::Outcome::kPoint);
  EXPECT_TRUE(m.Rejection().empty());
  EXPECT_EQ(set.Count(), 2);
}

TEST(MeasureWindows, LayoutOfTheTimeline) {
  // E = 1000, q = 400.64, p = 199.68, G = 100, N = 2.
  const auto w0 = ComputeWindows(1000, 400.64, 199.68, 100, 2, 0);
  EXPECT_EQ(w0.pause.begin, 1050);  // ⌈1000 + 49.92⌉
  EXPECT_EQ(w0.pause.end, 1149);    // ⌊1000 + 149.76⌋
  EXPECT_EQ(w0.reps[0].w1.begin, 600 + 100);  // ⌈1000 − 400.64⌉ + G
  EXPECT_EQ(w0.reps[0].w1.end, 1000 - 100);
  EXPECT_EQ(w0.reps[0].w2.begin, 1199 + 100);  // ⌊1199.68⌋
  EXPECT_EQ(w0.reps[0].w2.end, 1599 - 100);    // ⌊1199 + 400.64⌋
  EXPECT_EQ(w0.reps[0].w3.begin, 1599 + 100);
  EXPECT_EQ(w0.reps[0].w3.end, 1999 - 100);
  EXPECT_EQ(w0.reps[1].w1.begin, 1601 + 100);  // ⌈1000 + 199.68 + 400.64⌉
  EXPECT_EQ(w0.lastEnd, w0.reps[1].w3.end);
  // Frequency 1 starts (2N+1)·q + p later; its first W1 is moved by ⌊p⌋ into the settling pause.
  const auto w1 = ComputeWindows(1000, 400.64, 199.68, 100, 2, 1);
  EXPECT_EQ(w1.blockStart, 3202);  // ⌊1000 + 5 · 400.64 + 199.68⌋
  EXPECT_EQ(w1.reps[0].w1.begin, 2802 + 199 + 100);
  EXPECT_EQ(w1.reps[0].w1.end, 3202 + 199 - 100);
  // The oscillator changes between frequency 0's last O slot and frequency 1's first W1.
  const double mid = SettlingMiddle(1000, 400.64, 199.68, 2, 1);
  EXPECT_GT(mid, w0.lastEnd + 100);
  EXPECT_LT(mid, w1.reps[0].w1.begin - 100);
}

}  // namespace
}  // namespace kavu
