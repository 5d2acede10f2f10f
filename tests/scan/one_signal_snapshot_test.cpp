#include "scan/one_signal_snapshot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "board_timeline_fixture.h"
#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"
#include "measure/bridge_model.h"
#include "scan/measure_windows.h"
#include "scan/measurement.h"
#include "scan/one_signal_gr_list.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

constexpr double kTuning = 14100000;
constexpr double kF = 14000000;

// One measured group of one frequency with a 25 − 40j Ω load, recorded as the board plays it.
class OneSignalSnapshotTest : public ::testing::Test {
 protected:
  void Measure(double rate) {
    RatePlanInputs in;
    in.sampleRate = rate;
    plan_ = RecomputePlan(test::HostFft(), in);
    ASSERT_TRUE(plan_);
    test::TimelineSpec s;
    s.plan = plan_.get();
    s.tuningHz = kTuning;
    s.freqs = {kF};
    rho_ = ExpectedRatio(BridgeSettings{}, {25, -40}, kF);
    s.rho = {rho_};
    s.wanderRad = 0.3;
    timeline_ = test::MakeGroupTimeline(s);
    m_.StartGroup(*plan_, s.freqs.data(), 1, kF, kTuning);
    for (size_t b = 0; b + 1024 <= timeline_.a.size(); b += 1024) {
      chain_->ProcessBlock(&timeline_.a[b], nullptr);
      m_.AfterBlock();
    }
    ASSERT_TRUE(m_.SyncFound());
    ASSERT_EQ(m_.GetDataN(0), OMeasurement::Outcome::kPoint);
    snap_.Take(m_, *chain_);
  }

  std::shared_ptr<const SampleRatePlan> plan_;
  std::unique_ptr<OSignalChain> chain_ = OSignalChain::Create(test::HostFft(), 1 << 18);
  AntIzms set_{16};
  OMeasurement m_{*chain_, set_};
  test::Timeline timeline_;
  std::complex<double> rho_;
  OneSignalSnapshot snap_;
};

TEST_F(OneSignalSnapshotTest, TimeAxisFollowsTheStoredSamplesAndTheSyncIndex) {
  Measure(2000000);
  const int D = plan_->Decimation();
  const double td = 1000.0 / plan_->DecimatedRate();
  ASSERT_GT(D, 1);
  ASSERT_EQ(snap_.decA.v.size(), static_cast<size_t>(chain_->DecimatedCount()));
  ASSERT_EQ(snap_.rawA.v.size(), static_cast<size_t>(chain_->RawCount()));
  EXPECT_TRUE(snap_.rawB.Empty());
  EXPECT_FALSE(snap_.hasB);
  const int64_t e = m_.E();
  EXPECT_EQ(snap_.syncIndex, e);
  EXPECT_NEAR(snap_.decA.TimeOf(e), 0.0, 1e-12);
  EXPECT_NEAR(snap_.decA.TimeOf(e + 100) - snap_.decA.TimeOf(e), 100 * td, 1e-9);
  EXPECT_NEAR(snap_.rawA.dt * D, td, 1e-12);
  // Every sample is the stored one turned back by the phase model.
  for (int64_t k : {int64_t{0}, e / 2, e, e + 37, chain_->DecimatedCount() - 1}) {
    EXPECT_NEAR(std::abs(snap_.decA.v[static_cast<size_t>(k)] - std::complex<float>(m_.ViewDecimated(k))), 0,
                1e-3 * std::abs(m_.ViewDecimated(k)) + 1e-6)
        << k;
  }
  for (int64_t k : {int64_t{1000}, int64_t{54321}, chain_->RawCount() - 1}) {
    EXPECT_NEAR(std::abs(snap_.rawA.v[static_cast<size_t>(k)] - std::complex<float>(m_.ViewRaw(k))), 0,
                1e-3 * std::abs(m_.ViewRaw(k)) + 1e-6)
        << k;
  }
  // Raw and decimated series line up: the raw samples fall silent where the sync pause starts in
  // the recording, and that is time 0 within the detector's half window.
  const double pauseMs = snap_.rawA.TimeOf(timeline_.pauseStart);
  EXPECT_NEAR(pauseMs, 0.0, (m_.Sync().Window() / 2.0 + 2) * td);
  double before = 0, after = 0;
  for (int i = 1; i <= 50; ++i) {
    before += std::abs(snap_.rawA.v[static_cast<size_t>(timeline_.pauseStart - 20 - i)]);
    after += std::abs(snap_.rawA.v[static_cast<size_t>(timeline_.pauseStart + 20 + i)]);
  }
  EXPECT_GT(before, 20 * after);
}

TEST_F(OneSignalSnapshotTest, TurnedBackSlotsShowTheReferenceStillAndTheAntennaAtItsRatio) {
  Measure(2000000);
  const FrequencyWindows w = ComputeWindows(m_.E(), m_.SlotLen(), m_.PauseLen(), m_.GuardLen(), 1, 0);
  const RepetitionWindows& r = w.reps[0];
  auto mean = [&](SampleWindow win) {
    std::complex<double> s{0, 0};
    for (int64_t k = win.begin; k < win.end; ++k) s += std::complex<double>(snap_.decA.v[static_cast<size_t>(k)]);
    return s / static_cast<double>(win.Size());
  };
  const std::complex<double> o1 = mean(r.w1), a = mean(r.w2), o3 = mean(r.w3);
  // The model follows the O slots' phase, so they stand still near phase 0 and the A slot shows
  // the antenna's ratio.
  EXPECT_LT(std::fabs(std::arg(o1)), 0.02);
  EXPECT_LT(std::fabs(std::arg(o3)), 0.02);
  const std::complex<double> ratio = a / ((o1 + o3) / 2.0);
  EXPECT_NEAR(std::abs(ratio), std::abs(rho_), 0.01 * std::abs(rho_));
  EXPECT_NEAR(std::arg(ratio / rho_), 0, 0.01);

  // Bands: the reference, then W1, W2, W3 of the one repetition.
  ASSERT_EQ(snap_.bands.size(), 4u);
  const double td = snap_.decimatedMs;
  EXPECT_EQ(snap_.bands[0].rgb, 0xC8C8FFu);
  EXPECT_NEAR(snap_.bands[0].from, -static_cast<double>(m_.E()) * td, 1e-9);
  EXPECT_NEAR(snap_.bands[0].to, (m_.SlotLen() - static_cast<double>(m_.E())) * td, 1e-9);
  EXPECT_EQ(snap_.bands[1].rgb, 0xC8FFC8u);
  EXPECT_EQ(snap_.bands[2].rgb, 0xFFFFC8u);
  EXPECT_EQ(snap_.bands[3].rgb, 0xC8FFC8u);
  EXPECT_NEAR(snap_.bands[2].from, snap_.decA.TimeOf(r.w2.begin), 1e-9);
  EXPECT_NEAR(snap_.bands[2].to, snap_.decA.TimeOf(r.w2.end), 1e-9);

  // The detector's output covers the samples it examined: from the reference's end to E + L/2.
  EXPECT_NEAR(snap_.filteredAmplitude.t0, snap_.decA.TimeOf(m_.Sync().ReferenceLength()), 1e-9);
  EXPECT_EQ(static_cast<int64_t>(snap_.filteredAmplitude.v.size()),
            m_.E() + m_.Sync().Window() / 2 + 1 - m_.Sync().ReferenceLength());
  EXPECT_NEAR(snap_.filteredAmplitude.v.back(), chain_->DetectorSample(m_.E() + m_.Sync().Window() / 2), 1e-3);
  // The whole-band series is the square root of P.
  EXPECT_NEAR(snap_.wholeBand.v[100], std::sqrt(chain_->P()[100]), 1e-3 * std::sqrt(chain_->P()[100]));
}

TEST(OneSignalSnapshot, EmptyStoresGiveEmptySeriesAndNoBands) {
  auto chain = OSignalChain::Create(test::HostFft(), 4096);
  AntIzms set(4);
  OMeasurement m(*chain, set);
  OneSignalSnapshot snap;
  snap.Take(m, *chain);
  EXPECT_TRUE(snap.rawA.Empty());
  EXPECT_TRUE(snap.decA.Empty());
  EXPECT_TRUE(snap.filteredAmplitude.Empty());
  EXPECT_TRUE(snap.wholeBand.Empty());
  EXPECT_TRUE(snap.bands.empty());
  EXPECT_EQ(snap.syncIndex, 0);

  OneSignalGrList list;
  OneSignalChoice c;
  list.Build(snap, c);
  ASSERT_EQ(list.GetGraphCount(), 2);
  ASSERT_EQ(list.GetLineCount(0), 2);
  EXPECT_EQ(list.GetLine(0, 0).GetCount(), 0);
}

TEST_F(OneSignalSnapshotTest, CheckBoxesChooseTheLinesAndLinesReadTheSnapshot) {
  Measure(2000000);
  OneSignalGrList list;
  OneSignalChoice c;  // defaults: A, filtered amplitude, B, filtered, phases
  list.Build(snap_, c);
  auto names = [&](int g) {
    std::vector<std::string> out;
    for (int l = 0; l < list.GetLineCount(g); ++l) {
      std::string n;
      list.GetLine(g, l).GetName(n);
      out.push_back(n);
    }
    return out;
  };
  ASSERT_EQ(list.GetGraphCount(), 2);
  EXPECT_EQ(names(0), (std::vector<std::string>{"A фильтр", "A фильтр ампл"}));  // no input B here
  EXPECT_EQ(names(1), (std::vector<std::string>{"фаза A"}));
  EXPECT_EQ(list.GetAxis(1).m_GraphType, 2);  // the phase pane shows degrees

  c.m_IsIn = 1, c.m_IsFaza = 0;
  list.Build(snap_, c);
  EXPECT_EQ(list.GetGraphCount(), 1);
  EXPECT_EQ(names(0), (std::vector<std::string>{"A исх", "A фильтр", "A фильтр ампл"}));

  // With "Фильтрованный" and "Исх как есть" off only the decimated whole-band series remains.
  c.m_IsIn = 0, c.m_IsPf = 0, c.m_IsIn2 = 1, c.m_IsFaza = 1;
  list.Build(snap_, c);
  EXPECT_EQ(list.GetGraphCount(), 1);
  EXPECT_EQ(names(0), (std::vector<std::string>{"исх с децим"}));

  // Points: x in ms on the snapshot's axis, y its amplitude or phase.
  c = OneSignalChoice{};
  list.Build(snap_, c);
  double x, y;
  const int64_t k = m_.E() + 10;
  EXPECT_EQ(list.GetLine(0, 0).GetPoint(static_cast<int32_t>(k), x, y), kGrNoMarker);
  EXPECT_NEAR(x, 10 * snap_.decimatedMs, 1e-9);
  EXPECT_NEAR(y, std::abs(snap_.decA.v[static_cast<size_t>(k)]), 1e-6);
  list.GetLine(1, 0).GetPoint(static_cast<int32_t>(k), x, y);
  EXPECT_NEAR(y, std::arg(snap_.decA.v[static_cast<size_t>(k)]), 1e-6);
  EXPECT_EQ(list.GetLine(0, 0).GetPoint(-1, x, y), kGrInvalid);
  // The index range follows the visible time range.
  int32_t first, end, step;
  list.GetLine(0, 0).GetIndexRange(0, 10 * snap_.decimatedMs, 500, first, end, step);
  EXPECT_LE(first, m_.E());
  EXPECT_GE(first, m_.E() - 2);
  EXPECT_GE(end, m_.E() + 10);
  EXPECT_LE(end, m_.E() + 13);
  EXPECT_EQ(step, 1);
}

TEST(OneSignalChoice, BoxesRoundTripThroughTheSettingsAndBadValuesFallBack) {
  test::ScopedSettings settings;
  OneSignalChoice c;
  c.m_IsA = 0, c.m_IsIn = 1, c.m_IsFaza = 0;
  c.Save();
  OneSignalChoice back;
  back.Load();
  EXPECT_EQ(back.m_IsA, 0);
  EXPECT_EQ(back.m_IsIn, 1);
  EXPECT_EQ(back.m_IsFaza, 0);
  EXPECT_EQ(back.m_IsPf, 1);
  Settings().WriteProfileInt(OneSignalChoice::kSection, "m_IsPf", 7);
  OneSignalChoice bad;
  bad.Load();
  EXPECT_EQ(bad.m_IsPf, 1);
}

}  // namespace
}  // namespace kavu
