#include "scan/scan_plan.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"
#include "dsp/sample_rate_plan.h"
#include "scan/range_text.h"

namespace kavu {
namespace {

std::vector<double> AllFrequencies(OScanPlan& plan) {
  std::vector<double> out;
  for (int guard = 0; guard < 100000; ++guard) {
    double f[kMaxGroupFrequencies];
    const int n = plan.NextFrequencies(f, 7);
    if (n == 0) break;
    // Measure the whole group: the position becomes the last frequency.
    out.insert(out.end(), f, f + n);
    plan.SetCurrentFrequency(f[n - 1]);
    if (!plan.AdvanceAfterBatch()) break;
  }
  return out;
}

TEST(RangeText, RangeExamples) {
  {
    const auto p = ParseRanges("140-150 0.5; 425-440 1");
    ASSERT_EQ(p.ranges.size(), 2u);
    EXPECT_EQ(p.ranges[0].start, 140e6);
    EXPECT_EQ(p.ranges[0].end, 150e6);
    EXPECT_EQ(p.ranges[0].step, 0.5e6);
    EXPECT_EQ(p.ranges[1].start, 425e6);
    EXPECT_EQ(p.ranges[1].kind, RangeKind::kPlain);
  }
  {
    OScanPlan plan;
    ASSERT_TRUE(plan.StartPlan("140-150 0.5"));
    const auto f = AllFrequencies(plan);
    ASSERT_EQ(f.size(), 21u);
    EXPECT_EQ(f.front(), 140e6);
    EXPECT_EQ(f.back(), 150e6);
  }
  {
    OScanPlan plan;
    ASSERT_TRUE(plan.StartPlan("1,8-2 N11"));
    EXPECT_EQ(plan.Range(0).kind, RangeKind::kCount);
    const auto f = AllFrequencies(plan);
    ASSERT_EQ(f.size(), 11u);
    EXPECT_NEAR(f[1], 1.82e6, 1e-3);
    EXPECT_NEAR(f.back(), 2.0e6, 1e-3);
  }
  {
    OScanPlan plan;
    ASSERT_TRUE(plan.StartPlan("1-30 L5"));
    EXPECT_EQ(plan.Range(0).isLog, 1);
    const auto f = AllFrequencies(plan);
    ASSERT_EQ(f.size(), 5u);
    EXPECT_NEAR(f[1] / f[0], std::pow(30.0, 0.25), 1e-12);
    EXPECT_NEAR(f.back(), 30e6, 1e-3);
  }
  {
    OScanPlan plan;
    ASSERT_TRUE(plan.StartPlan("150-140 1"));
    const auto f = AllFrequencies(plan);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0], 150e6);
  }
  {
    OScanPlan plan;
    ASSERT_TRUE(plan.StartPlan("140-150 N1"));
    EXPECT_EQ(plan.Range(0).step, 10e6);
    EXPECT_EQ(plan.Range(0).end, 155e6);
    const auto f = AllFrequencies(plan);
    EXPECT_EQ(f, (std::vector<double>{140e6, 150e6}));
  }
  EXPECT_TRUE(ParseRanges("0-10 1").ranges.empty());
  EXPECT_TRUE(ParseRanges("10-20 0").ranges.empty());
  EXPECT_EQ(ParseRanges("10-20 0,5").ranges.at(0).step, 0.5e6);
  // An invalid group silently drops itself and everything after it.
  EXPECT_EQ(ParseRanges("1-2 1; 5-3 N4; 7-8 1").ranges.size(), 1u);
}

TEST(RangeText, MendsEveryScanEnds) {
  // Equal ends of a count or logarithmic range: exactly one frequency.
  for (const char* t : {"10-10 N5", "10-10 L5", "10-10 NL5"}) {
    OScanPlan plan;
    ASSERT_TRUE(plan.StartPlan(t)) << t;
    EXPECT_EQ(AllFrequencies(plan), (std::vector<double>{10e6})) << t;
  }
  // ("-" separates the ends, so an exponent cannot be negative: "1e-20" reads as "1e 20".)
  // A plain step too small to change the frequency, and non-finite numbers, are refused with one
  // red line naming the group; the ranges before it stay.
  for (const char* t : {"1-2 1; 100-200 0.000000000000000001", "1-2 1; nan-3 1", "1-2 1; 3-inf 1", "1-2 1; 3-4 1e999"}) {
    const auto p = ParseRanges(t);
    ASSERT_EQ(p.ranges.size(), 1u) << t;
    ASSERT_EQ(p.refusals.size(), 1u) << t;
    EXPECT_NE(p.refusals[0].find("не принят"), std::string::npos) << t;
  }
  EXPECT_NE(ParseRanges("3-4 inf").refusals.at(0).find("3-4 inf"), std::string::npos);
  // Finite in MHz but not in Hz: refused the same way, never an infinite frequency to scan.
  for (const char* t : {"1-2 1; 1e303-1e304 1", "1-2 1; 3-1e305 1", "1-2 1; 1-2 1e305", "1-2 1; 1e300-1e305 N3",
                        "1-2 1; 0.00000000001-1e300 L3"}) {
    const auto p = ParseRanges(t);
    ASSERT_EQ(p.ranges.size(), 1u) << t;
    ASSERT_EQ(p.refusals.size(), 1u) << t;
    EXPECT_NE(p.refusals[0].find("не конечно"), std::string::npos) << t;
  }
  // More than 32 ranges: the first 32 are used, the rest named in one line.
  std::string text;
  for (int i = 1; i <= 35; ++i) text += std::to_string(i) + "-" + std::to_string(i) + ".5 0.1; ";
  const auto p = ParseRanges(text);
  ASSERT_EQ(p.ranges.size(), 32u);
  EXPECT_EQ(p.ranges.back().start, 32e6);
  ASSERT_EQ(p.refusals.size(), 1u);
  EXPECT_NE(p.refusals[0].find("33-33.5 0.1 34-34.5 0.1 35-35.5 0.1"), std::string::npos);
}

TEST(ScanPlan, GroupsAndTuningsAtBothRates) {
  // The filter's first null of the default plan: bin 427 at 2.048 MS/s, bin 380 at 2.4 MS/s.
  struct Case {
    double rate, firstNull;
    std::vector<double> tunings;
  };
  const Case cases[] = {
      {2048000, 427 * 2048000.0 / 65536, {141018672, 143518672, 146018672, 148518672, 150518672}},
      {2400000, 380 * 2400000.0 / 65536, {141106958, 143606958, 146106958, 148606958, 150606958}},
  };
  for (const Case& c : cases) {
    // The sample-rate plan at that rate with default options gives the same first null.
    RatePlanInputs ri;
    ri.sampleRate = c.rate;
    const auto rate = RecomputePlan(test::HostFft(), ri);
    ASSERT_TRUE(rate);
    EXPECT_EQ(rate->FirstNullHz(), c.firstNull);
    OScanPlan plan;
    ASSERT_TRUE(plan.StartPlan("140-150 0.5"));
    GroupPlanInputs in;
    in.slotSec = rate->Slot();
    in.sampleRateHz = rate->SampleRateUsed();
    in.firstNullHz = rate->FirstNullHz();
    EXPECT_EQ(GroupSizeLimit(in), 14);
    std::vector<int> sizes;
    std::vector<double> tunings;
    for (;;) {
      const GroupPlan g = plan.PlanBatch(in);
      if (g.status != GroupPlan::Status::kOk) break;
      EXPECT_TRUE(g.inconsistencies.empty());
      sizes.push_back(g.count);
      tunings.push_back(std::floor(g.tuningHz + 0.5));
      plan.SetCurrentFrequency(g.freqs[static_cast<size_t>(g.count - 1)]);
      if (!plan.AdvanceAfterBatch()) break;
    }
    EXPECT_EQ(sizes, (std::vector<int>{5, 5, 5, 5, 1}));
    EXPECT_EQ(tunings, c.tunings);
    EXPECT_EQ(plan.CurrentRange(), -1);
  }
}

TEST(ScanPlan, RefusesGroupsThatCannotBePlaced) {
  OScanPlan plan;
  ASSERT_TRUE(plan.StartPlan("140-150 0.5"));
  GroupPlanInputs in;
  in.sampleRateHz = 2.4e6;
  in.multyPolosaUsed = 40;
  in.polosaFM = 2.0e6;  // half of it (1 MHz) exceeds the usable half-span (0.48 MHz)
  const GroupPlan g = plan.PlanBatch(in);
  EXPECT_EQ(g.status, GroupPlan::Status::kConflict);
  EXPECT_NE(g.error.find("m_MultyPolosaUsed"), std::string::npos);
  EXPECT_NE(g.error.find("m_PolosaFM"), std::string::npos);
  // Frequencies spaced wider than the half-span: one per group, each placed correctly.
  OScanPlan wide;
  ASSERT_TRUE(wide.StartPlan("100-110 5"));
  in.polosaFM = 20000;
  in.multyPolosaUsed = 100;
  const GroupPlan w = wide.PlanBatch(in);
  ASSERT_EQ(w.status, GroupPlan::Status::kOk);
  EXPECT_EQ(w.count, 1);
  EXPECT_TRUE(w.inconsistencies.empty());
  EXPECT_GE(w.tuningHz - 100e6, 10000.0);
}

TEST(ScanPlan, SummaryBandsAndLine) {
  OScanPlan plan;
  ASSERT_TRUE(plan.StartPlan("10-14 1"));
  // SWR 3, 1.2, 1.1, 1.8, 2.5 at 10 … 14 MHz.
  const double swr[] = {3, 1.2, 1.1, 1.8, 2.5};
  for (int k = 0; k < 5; ++k) plan.AddPointToSummary(0, 10e6 + k * 1e6, swr[k]);
  const auto& m = plan.Range(0).summary;
  EXPECT_EQ(m.minSwr, 1.1);
  EXPECT_EQ(m.fAtMin, 12e6);
  // 1.5: down at 10 + (1.5-3)/(1.2-3) = 10.8333 MHz, up at 12 + (1.5-1.1)/(1.8-1.1) = 12.5714 MHz.
  EXPECT_NEAR(m.band[0], (12e6 + 0.4 / 0.7 * 1e6) - (10e6 + 1.5 / 1.8 * 1e6), 1e-6);
  // 2: down at 10 + 1/1.8 MHz, up at 13 + 0.2/0.7 MHz.
  EXPECT_NEAR(m.band[1], (13e6 + 0.2 / 0.7 * 1e6) - (10e6 + 1 / 1.8 * 1e6), 1e-6);
  EXPECT_EQ(m.band[2], 0);  // 3 is still open: closed only by the sentinel
  plan.SetCurrentFrequency(14e6);
  EXPECT_FALSE(plan.AdvanceAfterBatch());
  const auto v = plan.View();
  EXPECT_GT(v.ranges[0].summary.band[2], 0);
  EXPECT_EQ(v.current, -1);
  EXPECT_EQ(RangeSummaryLine(v.ranges[0]),
            "Диа 10 - 14 МГц, шаг 1 МГц. Мин. КСВ 1.1 на 12 МГц. Полоса 1.738095 МГц по КСВ<1.5"
            ". Полоса 2.730159 МГц по КСВ<2");
  OScanPlan lg;
  ASSERT_TRUE(lg.StartPlan("1-30 L5"));
  EXPECT_EQ(RangeSummaryLine(lg.Range(0)).rfind("Диа 1 - 45.894581 МГц, шаг 2.340347 раз", 0), 0u);
}

TEST(ScanPlan, RewindForgetsADroppedGroup) {
  // Two plans of "10-14 1": one measures 12 and 13 MHz, drops them and measures them again; the
  // other measures them once. Position, summary and what follows must not differ.
  OScanPlan dropped, straight;
  for (OScanPlan* p : {&dropped, &straight}) {
    ASSERT_TRUE(p->StartPlan("10-14 1"));
    p->AddPointToSummary(0, 10e6, 3.0);
    p->AddPointToSummary(0, 11e6, 1.8);
    p->SetCurrentFrequency(11e6);
    ASSERT_TRUE(p->AdvanceAfterBatch());
  }
  const OScanPlan::Mark mark = dropped.MarkGroupStart();
  EXPECT_EQ(mark.frequency, 12e6);
  // The dropped group saw a deep dip that is not there.
  dropped.AddPointToSummary(0, 12e6, 1.0);
  dropped.AddPointToSummary(0, 13e6, 1.05);
  dropped.SetCurrentFrequency(13e6);
  EXPECT_EQ(dropped.Range(0).summary.minSwr, 1.0);
  dropped.RewindToMark(mark);
  EXPECT_EQ(dropped.CurrentFrequency(), 12e6);
  EXPECT_EQ(dropped.View().ranges[0].summary.minSwr, 1.8);
  const double swr[] = {1.4, 1.6, 2.2};
  for (OScanPlan* p : {&dropped, &straight}) {
    double f[kMaxGroupFrequencies];
    ASSERT_EQ(p->NextFrequencies(f, 7), 3);
    EXPECT_EQ(f[0], 12e6);
    for (int k = 0; k < 3; ++k) p->AddPointToSummary(0, f[k], swr[k]);
    p->SetCurrentFrequency(f[2]);
    EXPECT_FALSE(p->AdvanceAfterBatch());
  }
  EXPECT_EQ(RangeSummaryLine(dropped.View().ranges[0]), RangeSummaryLine(straight.View().ranges[0]));
  EXPECT_EQ(dropped.View().ranges[0].summary.fAtMin, 12e6);
}

// A scan ended before its plan: the summaries name the part measured, in the same words.
TEST(ScanPlan, AnEarlyEndCutsThePlanToWhatWasMeasured) {
  // Stopped in the middle of the first of two ranges, after 10, 11 and 12 MHz at SWR 1.8, 1.2, 1.3.
  OScanPlan plan;
  ASSERT_TRUE(plan.StartPlan("10-20 1; 30-40 1"));
  const double swr[] = {1.8, 1.2, 1.3};
  for (int k = 0; k < 3; ++k) plan.AddPointToSummary(0, 10e6 + k * 1e6, swr[k]);
  plan.SetCurrentFrequency(12e6);
  ASSERT_TRUE(plan.AdvanceAfterBatch());
  plan.CutToMeasured();
  ScanPlanView v = plan.View();
  ASSERT_EQ(v.count, 1);
  EXPECT_EQ(v.current, -1);
  // The band below 1.5 is still open at 12 MHz: it is closed there, as at a range's end.
  EXPECT_EQ(RangeSummaryLine(v.ranges[0]).rfind("Диа 10 - 12 МГц, шаг 1 МГц. Мин. КСВ 1.2 на 11 МГц. Полоса ", 0), 0u)
      << RangeSummaryLine(v.ranges[0]);
  EXPECT_NEAR(v.ranges[0].summary.band[0], 12e6 - (10e6 + 0.3 / 0.6 * 1e6), 1);
  EXPECT_EQ(v.ranges[1].start, 0);  // the range not reached is gone
  EXPECT_EQ(v.ranges[1].summary.prevF, 0);
  // A new scan of the same text plans both ranges again, whole.
  ASSERT_TRUE(plan.StartPlan("10-20 1; 30-40 1"));
  EXPECT_EQ(plan.View().count, 2);
  EXPECT_EQ(plan.Range(0).end, 20e6);

  // The first range done, the second not begun: the first stays as it was, the second goes.
  ASSERT_TRUE(plan.StartPlan("10-11 1; 30-40 1"));
  plan.AddPointToSummary(0, 10e6, 2.5);
  plan.AddPointToSummary(0, 11e6, 1.4);
  plan.SetCurrentFrequency(11e6);
  ASSERT_TRUE(plan.AdvanceAfterBatch());
  const std::string whole = RangeSummaryLine(plan.Range(0));
  plan.CutToMeasured();
  v = plan.View();
  ASSERT_EQ(v.count, 1);
  EXPECT_EQ(RangeSummaryLine(v.ranges[0]), whole);
  EXPECT_EQ(whole.rfind("Диа 10 - 11 МГц", 0), 0u) << whole;

  // Nothing measured (stopped while starting): no range is left to summarise.
  ASSERT_TRUE(plan.StartPlan("10-20 1"));
  plan.CutToMeasured();
  EXPECT_EQ(plan.View().count, 0);
  EXPECT_EQ(plan.View().current, -1);

  // A plan run to its end, and a single measurement, keep their tables.
  ASSERT_TRUE(plan.StartPlan("10-11 1"));
  EXPECT_EQ(AllFrequencies(plan).size(), 2u);
  plan.CutToMeasured();
  EXPECT_EQ(plan.View().count, 1);
  EXPECT_EQ(plan.Range(0).end, 11e6);
  plan.StartSingle();
  plan.AddPointToSummary(0, 5e6, 1.1);
  plan.CutToMeasured();
  EXPECT_EQ(plan.View().count, 0);
  EXPECT_EQ(plan.View().current, 0);
}

TEST(ScanPlan, WindowReadsConsistentCopiesWhileTheSampleThreadUpdates) {
  OScanPlan plan;
  ASSERT_TRUE(plan.StartPlan("10-20 1; 30-40 1"));
  std::atomic<bool> done{false};
  std::thread sample([&] {
    for (int k = 1; k <= 20000; ++k) {
      plan.AddPointToSummary(0, 1e6 * k, 1.0 + k);
      plan.AddPointToSummary(1, 1e6 * k, 1.0 + k);
    }
    done = true;
  });
  int reads = 0;
  bool consistent = true;
  while (!done || reads < 10) {
    const ScanPlanView v = plan.View();
    const auto& a = v.ranges[0].summary;
    const auto& b = v.ranges[1].summary;
    // Each update writes prevF and prevSwr together; range 1 is never ahead of range 0.
    if (a.prevF != 0 && a.prevSwr != 1.0 + a.prevF / 1e6) consistent = false;
    if (b.prevF > a.prevF) consistent = false;
    ++reads;
  }
  sample.join();
  EXPECT_TRUE(consistent);
  EXPECT_EQ(plan.View().ranges[1].summary.prevF, 2e10);
}

}  // namespace
}  // namespace kavu
