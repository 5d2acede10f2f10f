#include "sim/batch_player.h"

#include <gtest/gtest.h>

#include <vector>

#include "sim/board_peripherals.h"

namespace kavu::sim {
namespace {

BatchRunContext Context() {
  BatchRunContext ctx;
  ctx.outputs = 0x28 | 0x07;  // reference position, as the generator initialisation leaves it
  ctx.arrival_ns = 1'000'000;
  return ctx;
}

struct Expect {
  uint64_t start, end;
  SegmentKind kind;
  BridgeState bridge;
  int probe;
};

void ExpectSegments(const BatchTimeline& t, const std::vector<Expect>& want) {
  ASSERT_EQ(t.segments.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    const TimelineSegment& s = t.segments[i];
    EXPECT_EQ(s.start_ticks, want[i].start) << i;
    EXPECT_EQ(s.end_ticks, want[i].end) << i;
    EXPECT_EQ(s.kind, want[i].kind) << i;
    EXPECT_EQ(s.state.bridge, want[i].bridge) << i;
    EXPECT_EQ(s.probe_index, want[i].probe) << i;
  }
}

// A run starts when its command arrived, unless the board's clock says the board got to it
// later (a late board thread): then it starts then, and the reply is due from then.
TEST(BatchPlayer, ALateBoardStartsItsRunWhenItGetsToIt) {
  struct FixedClock : IBoardClock {
    int64_t now = 0;
    int64_t NowNs() override { return now; }
  } clock;
  const std::vector<uint8_t> batch{0x01, 0x39, 0x80, 0x00, 0x9C, 0xFF};
  BoardPeripherals hw;
  BatchRunContext ctx = Context();
  EXPECT_EQ(hw.PlayBatch(batch, ctx).anchor_ns, 1'000'000);  // no clock: at arrival
  ctx.clock = &clock;
  clock.now = 400'000;  // the board got to it before the command's last byte was in
  EXPECT_EQ(hw.PlayBatch(batch, ctx).anchor_ns, 1'000'000);
  clock.now = 3'500'000;  // 2.5 ms late
  const BatchRunResult late = hw.PlayBatch(batch, ctx);
  EXPECT_EQ(late.anchor_ns, 3'500'000);
  EXPECT_EQ(hw.LastTimeline()->anchor_ns, 3'500'000);
  EXPECT_EQ(late.duration_ticks, 313u + 156);
}

TEST(BatchPlayer, SingleFrequencyBatchWithBridgeOffPause) {
  BoardPeripherals hw;
  const std::vector<uint8_t> batch{0x01, 0x39, 0x80, 0x00, 0x9C, 0x86, 0x12, 0x01, 0x39, 0x01, 0xFF};
  const BatchRunResult r = hw.PlayBatch(batch, Context());
  EXPECT_EQ(r.duration_ticks, 313u + 156 + 2 * 313);
  EXPECT_EQ(r.i2c_error, kI2cOk);
  const BatchTimeline t = *hw.LastTimeline();
  EXPECT_TRUE(t.complete);
  EXPECT_DOUBLE_EQ(t.ticks_per_second, 156250.0);
  ExpectSegments(t, {{0, 313, SegmentKind::kDelay, BridgeState::kReference, -1},
                     {313, 469, SegmentKind::kSyncPause, BridgeState::kOff, -1},
                     {469, 782, SegmentKind::kAntennaSlot, BridgeState::kAntenna, 0},
                     {782, 1095, SegmentKind::kReferenceSlot, BridgeState::kReference, 0}});
  EXPECT_EQ(t.TickToNs(156250), 1'001'000'000);
  EXPECT_EQ(t.At(470)->kind, SegmentKind::kAntennaSlot);
  EXPECT_EQ(t.At(1095), nullptr);
  EXPECT_EQ(r.outputs & 0x18, 0x08);  // the bridge rests in reference
}

TEST(BatchPlayer, ProbingPairsMarkersAndI2cElements) {
  BoardPeripherals hw;
  // 0x83 pause (11b), then three probing pairs of 10 ticks; an I2C write to register 3 in between;
  // then 84 .. 85 .. 87 pause with a delay; a zero delay takes no time.
  const std::vector<uint8_t> batch{0x00, 0x05, 0x83, 0x00, 0x07, 0x86, 0x12, 0x00, 0x0A, 0x03,
                                   0xA2, 0x03, 0xFE, 0x84, 0x00, 0x04, 0x85, 0x00, 0x00, 0x87,
                                   0x86, 0x12, 0x00, 0x02, 0x00, 0xFF};
  const BatchRunResult r = hw.PlayBatch(batch, Context());
  const BatchTimeline t = *hw.LastTimeline();
  ASSERT_TRUE(t.complete);
  EXPECT_EQ(r.duration_ticks, 5u + 7 + 60 + 4);
  EXPECT_EQ(hw.Si5351Reg(3), 0xFE);
  ExpectSegments(t, {{0, 5, SegmentKind::kDelay, BridgeState::kReference, -1},
                     {5, 12, SegmentKind::kSyncPause, BridgeState::kOff, -1},
                     {12, 22, SegmentKind::kAntennaSlot, BridgeState::kAntenna, 0},
                     {22, 32, SegmentKind::kReferenceSlot, BridgeState::kReference, 0},
                     {32, 42, SegmentKind::kAntennaSlot, BridgeState::kAntenna, 0},
                     {42, 52, SegmentKind::kReferenceSlot, BridgeState::kReference, 0},
                     {52, 62, SegmentKind::kAntennaSlot, BridgeState::kAntenna, 0},
                     {62, 72, SegmentKind::kReferenceSlot, BridgeState::kReference, 0},
                     {72, 76, SegmentKind::kSyncPause, BridgeState::kReference, -1}});
}

TEST(BatchPlayer, MalformedBatchesStopAndI2cErrorsAreKept) {
  BoardPeripherals hw;
  hw.PlayBatch(std::vector<uint8_t>{0x00, 0x05, 0x81, 0x00, 0x05, 0xFF}, Context());
  BatchTimeline t = *hw.LastTimeline();
  EXPECT_FALSE(t.complete);
  EXPECT_EQ(t.stopped_at, 2u);
  EXPECT_EQ(t.duration_ticks, 5u);
  hw.PlayBatch(std::vector<uint8_t>{0x86, 0x12, 0x00}, Context());
  EXPECT_FALSE(hw.LastTimeline()->complete);
  hw.PlayBatch(std::vector<uint8_t>{0x00, 0x03}, Context());  // no FF
  t = *hw.LastTimeline();
  EXPECT_FALSE(t.complete);
  EXPECT_EQ(t.duration_ticks, 3u);

  hw.SetSi5351Present(false);
  BatchRunResult r = hw.PlayBatch(std::vector<uint8_t>{0xA2, 0x03, 0x00, 0x00, 0x02, 0xFF}, Context());
  EXPECT_EQ(r.i2c_error, kI2cAddressNack);
  EXPECT_EQ(r.duration_ticks, 2u);  // the run goes on after the failed write
  hw.SetSi5351Present(true);
  BatchRunContext other = Context();
  other.target.i2c_address = 0xC4;
  r = hw.PlayBatch(std::vector<uint8_t>{0xA2, 0x03, 0x00, 0xFF}, other);
  EXPECT_EQ(r.i2c_error, kI2cAddressNack);
  EXPECT_TRUE(hw.WaitForRuns(5, 10));
  EXPECT_FALSE(hw.WaitForRuns(6, 1));
}

TEST(BatchPlayer, ListenerSeesEveryRunAndOnlyTheLatestAreKept) {
  BoardPeripherals hw;
  std::vector<uint64_t> seen;
  hw.SetRunListener([&](const BatchTimeline& t) { seen.push_back(t.duration_ticks); });
  for (size_t k = 1; k <= BoardPeripherals::kKeptTimelines + 4; ++k) {
    hw.PlayBatch(std::vector<uint8_t>{static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k), 0xFF},
                 Context());
  }
  EXPECT_EQ(seen.size(), BoardPeripherals::kKeptTimelines + 4);
  EXPECT_EQ(seen[3], 4u);
  EXPECT_EQ(hw.RunCount(), BoardPeripherals::kKeptTimelines + 4);
  const auto kept = hw.Timelines();
  ASSERT_EQ(kept.size(), BoardPeripherals::kKeptTimelines);
  EXPECT_EQ(kept.front().duration_ticks, 5u);
}

}  // namespace
}  // namespace kavu::sim
