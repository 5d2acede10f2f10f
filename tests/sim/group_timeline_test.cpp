// A scan group's batch, built by the program's batch builder, played by the emulated board.
#include <gtest/gtest.h>

#include <cmath>

#include "board/gen_batch.h"
#include "board/si5351_batch.h"
#include "sim/board_peripherals.h"

namespace kavu::sim {
namespace {

BatchRunContext Context() {
  BatchRunContext ctx;
  ctx.outputs = 0x2F;  // chip selects high, bridge in reference, line 5 set
  return ctx;
}

TEST(GroupTimeline, FourteenFrequencyGroupDecodesIntoTheExpectedTimeline) {
  Si5351State si;
  si.cfg.CheckAndDerive();
  const int out = 1;
  std::vector<double> f;
  for (int k = 0; k < 14; ++k) f.push_back(7.0e6 + k * 25e3);

  BoardPeripherals hw;
  // As SetGenFManual(F[0]) and GenOn(true) leave the chip.
  std::string err;
  ASSERT_TRUE(Si5351_CalcF(si.cfg, f[0], out, si.last, err));
  hw.PlayBatch(Si5351FullBatch(si.last, out), Context());
  hw.PlayBatch(std::vector<uint8_t>{0xA2, 0x03, 0xFD, 0xFF}, Context());
  ASSERT_TRUE(hw.Si5351Out(out).on);

  BatchTimingInputs in;
  in.SynType = 1;
  in.ZondN = 3;
  in.TZond10 = 20;
  in.sample_period_sec = 1.0 / 2e6;
  Si5351BatchSteps steps(si, out);
  FrequencyBatch b;
  ASSERT_TRUE(MyBigCmdCreate(in, f, steps, b, err)) << err;
  ASSERT_EQ(b.count, 14);

  const BatchRunResult r = hw.PlayBatch(b.bytes, Context());
  const BatchTimeline t = *hw.LastTimeline();
  ASSERT_TRUE(t.complete);
  EXPECT_EQ(r.duration_ticks, b.duration_ticks);
  EXPECT_EQ(t.i2c_error, 0);

  const uint64_t tz = 313, t1 = 156;
  // First delay: max(2 ms, 2048 samples = 1.024 ms) -> 313 ticks; then the pause with the
  // bridge off; then 14 probing elements of 3 antenna/reference pairs, separated by the settling
  // delay T1 + Tz while the generator is already on the next frequency.
  size_t i = 0;
  const auto& s = t.segments;
  ASSERT_GE(s.size(), 2u + 14 * 6 + 13);
  EXPECT_EQ(s[i].kind, SegmentKind::kDelay);
  EXPECT_EQ(s[i].end_ticks - s[i].start_ticks, tz);
  ++i;
  EXPECT_EQ(s[i].kind, SegmentKind::kSyncPause);
  EXPECT_EQ(s[i].state.bridge, BridgeState::kOff);
  EXPECT_EQ(s[i].end_ticks - s[i].start_ticks, t1);
  ++i;
  for (int k = 0; k < 14; ++k) {
    if (k > 0) {
      EXPECT_EQ(s[i].kind, SegmentKind::kDelay) << k;
      EXPECT_EQ(s[i].state.bridge, BridgeState::kReference);
      EXPECT_EQ(s[i].end_ticks - s[i].start_ticks, t1 + tz) << k;
      ++i;
    }
    for (int z = 0; z < 3; ++z) {
      for (SegmentKind kind : {SegmentKind::kAntennaSlot, SegmentKind::kReferenceSlot}) {
        const TimelineSegment& seg = s[i++];
        EXPECT_EQ(seg.kind, kind) << k;
        EXPECT_EQ(seg.probe_index, k);
        EXPECT_EQ(seg.end_ticks - seg.start_ticks, tz);
        EXPECT_EQ(seg.state.bridge, kind == SegmentKind::kAntennaSlot ? BridgeState::kAntenna
                                                                       : BridgeState::kReference);
        const SourceState& src = seg.state.sources[static_cast<size_t>(out)];
        EXPECT_TRUE(src.on);
        EXPECT_NEAR(src.hz, f[static_cast<size_t>(k)], 0.1) << k;
        EXPECT_FALSE(seg.state.sources[0].on);
      }
    }
  }
  EXPECT_EQ(i, s.size());
  EXPECT_EQ(s.back().end_ticks, t.duration_ticks);
  EXPECT_EQ(t.duration_ticks, tz + t1 + 14 * 6 * tz + 13 * (t1 + tz));
  EXPECT_EQ(BridgeFromOutputs(r.outputs), BridgeState::kReference);
}

TEST(GroupTimeline, GeneratorOffPauseSwitchesTheSi5351OutputOff) {
  Si5351State si;
  si.cfg.CheckAndDerive();
  std::string err;
  ASSERT_TRUE(Si5351_CalcF(si.cfg, 30e6, 0, si.last, err));
  BoardPeripherals hw;
  hw.PlayBatch(Si5351FullBatch(si.last, 0), Context());
  BatchTimingInputs in;
  in.SynType = 0;
  Si5351BatchSteps steps(si, 0);
  FrequencyBatch b;
  ASSERT_TRUE(MyBigCmdCreate(in, std::vector<double>{30e6, 31e6}, steps, b, err));
  hw.PlayBatch(b.bytes, Context());
  const BatchTimeline t = *hw.LastTimeline();
  ASSERT_GE(t.segments.size(), 3u);
  EXPECT_EQ(t.segments[1].kind, SegmentKind::kSyncPause);
  EXPECT_FALSE(t.segments[1].state.sources[0].on);
  EXPECT_EQ(t.segments[1].state.bridge, BridgeState::kReference);
  EXPECT_TRUE(t.segments[2].state.sources[0].on);
  EXPECT_NEAR(t.segments.back().state.sources[0].hz, 31e6, 1.0);
  EXPECT_EQ(hw.Si5351Reg(3), 0xFE);
}

}  // namespace
}  // namespace kavu::sim
