#include "sim/batch_player.h"

#include "sim/firmware_assumptions.h"

namespace kavu::sim {
namespace {

// Builds the segment list while the batch is played.
class TimelineRecorder {
 public:
  TimelineRecorder(BatchTimeline& t, IBatchDevices& d) : t_(t), devices_(d) {}

  TimelineState Now() const {
    TimelineState s;
    s.sources = devices_.Sources();
    s.bridge = bridge_;
    return s;
  }
  void SetBridge(BridgeState b) { bridge_ = b; }
  BridgeState Bridge() const { return bridge_; }

  // The current state lasts `ticks` more ticks as a segment of `kind`.
  void Advance(uint64_t ticks, SegmentKind kind, int probe) {
    if (ticks == 0) return;
    const TimelineState s = Now();
    if (!t_.segments.empty()) {
      TimelineSegment& last = t_.segments.back();
      if (last.kind == kind && last.probe_index == probe && last.state == s &&
          kind != SegmentKind::kAntennaSlot && kind != SegmentKind::kReferenceSlot) {
        last.end_ticks += ticks;
        now_ += ticks;
        return;
      }
    }
    TimelineSegment seg;
    seg.start_ticks = now_;
    seg.end_ticks = now_ + ticks;
    seg.kind = kind;
    seg.probe_index = probe;
    seg.state = s;
    t_.segments.push_back(seg);
    now_ += ticks;
  }
  uint64_t NowTicks() const { return now_; }

 private:
  BatchTimeline& t_;
  IBatchDevices& devices_;
  BridgeState bridge_ = BridgeState::kReference;
  uint64_t now_ = 0;
};

uint32_t DelayTicks(uint8_t hi, uint8_t lo) { return (hi & 0x7Fu) << 8 | lo; }

}  // namespace

uint8_t OutputsWithBridge(uint8_t outputs, BridgeState bridge, bool off_high) {
  const uint8_t both = kLineBridgeRef | kLineBridgeAnt;
  outputs = static_cast<uint8_t>(outputs & ~both);
  switch (bridge) {
    case BridgeState::kReference: return outputs | kLineBridgeRef;
    case BridgeState::kAntenna: return outputs | kLineBridgeAnt;
    case BridgeState::kOff: return off_high ? (outputs | both) : outputs;
  }
  return outputs;
}

BridgeState BridgeFromOutputs(uint8_t outputs) {
  const bool ref = outputs & kLineBridgeRef, ant = outputs & kLineBridgeAnt;
  if (ref && !ant) return BridgeState::kReference;
  if (ant && !ref) return BridgeState::kAntenna;
  return BridgeState::kOff;
}

BatchTimeline PlayBatchElements(std::span<const uint8_t> batch, const BatchRunContext& ctx,
                                IBatchDevices& devices) {
  BatchTimeline t;
  t.anchor_ns = ctx.arrival_ns;
  t.ticks_per_second = ctx.timer.TicksPerSecond();
  TimelineRecorder rec(t, devices);
  rec.SetBridge(BridgeFromOutputs(ctx.outputs));
  t.before = rec.Now();

  bool in_pause = false;
  bool off_high = (ctx.outputs & (kLineBridgeRef | kLineBridgeAnt)) == (kLineBridgeRef | kLineBridgeAnt);
  int probes = 0;
  const SegmentKind plain = SegmentKind::kDelay;
  const uint8_t spi_outputs = static_cast<uint8_t>((ctx.outputs & ~ctx.target.cs_mask) |
                                                   (ctx.target.cs_level & ctx.target.cs_mask));
  size_t i = 0;
  const auto stop = [&](size_t at) {
    t.complete = false;
    t.stopped_at = at;
  };
  while (true) {
    if (i >= batch.size()) {  // the data ended without FF
      stop(i);
      break;
    }
    const uint8_t code = batch[i];
    const size_t left = batch.size() - i;
    if (code < 0x80) {
      if (left < 2) { stop(i); break; }
      rec.Advance(DelayTicks(code, batch[i + 1]), in_pause ? SegmentKind::kSyncPause : plain, -1);
      i += 2;
    } else if (code == kElemMarkerBridgeOff00 || code == kElemMarkerBridgeOff11) {
      rec.SetBridge(BridgeState::kOff);
      off_high = code == kElemMarkerBridgeOff11;
      in_pause = true;
      ++i;
    } else if (code == kElemMarkerPauseStart) {
      in_pause = true;
      ++i;
    } else if (code == kElemMarkerPauseEnd) {
      ++i;
    } else if (code == kElemMarkerReference) {
      rec.SetBridge(BridgeState::kReference);
      in_pause = false;
      ++i;
    } else if (code == kElemProbe) {
      if (left < 5 || batch[i + 1] != kElemProbeSubcode) { stop(i); break; }
      const uint32_t d = DelayTicks(batch[i + 2], batch[i + 3]);
      in_pause = false;
      for (int z = 0; z < batch[i + 4]; ++z) {
        rec.SetBridge(BridgeState::kAntenna);
        rec.Advance(d, SegmentKind::kAntennaSlot, probes);
        rec.SetBridge(BridgeState::kReference);
        rec.Advance(d, SegmentKind::kReferenceSlot, probes);
      }
      rec.SetBridge(BridgeState::kReference);
      ++probes;
      i += 5;
    } else if (code > kElemSpiBase && code <= kElemSpiBase + 15) {
      const size_t n = code - kElemSpiBase;
      if (left < 1 + n) { stop(i); break; }
      devices.SpiTransaction(spi_outputs, batch.subspan(i + 1, n));
      i += 1 + n;
    } else if (code > kElemI2cBase && code <= kElemI2cBase + 15) {
      const size_t n = code - kElemI2cBase;
      if (left < 1 + n) { stop(i); break; }
      const uint8_t err = devices.I2cWriteTransaction(ctx.target.i2c_address,
                                                      batch.subspan(i + 1, n));
      if (t.i2c_error == kI2cOk) t.i2c_error = err;
      i += 1 + n;
    } else if (code == kElemWaitCts) {
      ++i;
    } else if (code == kElemEnd) {
      break;
    } else {
      stop(i);
      break;
    }
  }
  t.duration_ticks = rec.NowTicks();
  t.after = rec.Now();
  t.outputs_after = OutputsWithBridge(ctx.outputs, t.after.bridge, off_high);
  return t;
}

}  // namespace kavu::sim
