#pragma once
// The timeline of one batch run on the emulated board: what the generators and the bridge did,
// tick by tick. This is the contract between the emulated board and the virtual bench's sample
// source, which turns it into receiver samples.
//
// Time: board timer ticks counted from the anchor, the moment the run command's last byte
// arrived (anchor_ns on the board clock: steady_clock on a pseudo-terminal, the bench's sample
// clock on the virtual bench). One tick lasts 1 / ticks_per_second seconds, so tick t happens at
//   anchor_ns + t * 1e9 / ticks_per_second.
// Elements other than delays and probing elements (I2C and SPI writes, markers) take no time:
// their effect holds from the tick at which the run reached them.
//
// Segments are contiguous and ordered: segments[0].start_ticks == 0, each segment's end is the
// next one's start, and the last one ends at duration_ticks. Every segment has a length of at
// least one tick. Within a segment nothing changes: the generator outputs and the bridge stand
// as given. Before the anchor and after duration_ticks the state is that of `before` and
// `after` (the batch's last state persists until the next command changes it).
//
// The bridge: a probing element "86 12 <delay high> <delay low> <Z>" gives Z pairs of an
// antenna slot then a reference slot, each lasting the delay; between probing elements the
// bridge rests in the reference position, except during a synchronisation pause in which a
// marker switched it off (0x80: both bridge lines low, 0x83: both high).
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kavu::sim {

enum class BridgeState : uint8_t {
  kOff,        // neither position: no signal from the bridge
  kReference,  // reference ("O") position
  kAntenna,    // antenna ("Ант") position
};

// What a segment belongs to in the batch's pattern.
enum class SegmentKind : uint8_t {
  kDelay,      // a plain delay (the first delay, settling after a frequency change)
  kSyncPause,  // between a synchronisation marker (0x80, 0x83, 0x84) and the end of the pause
  kAntennaSlot,
  kReferenceSlot,
};

// One signal source: Si5351 outputs CLK0..CLK2 are sources 0..2; the SPI generators on chip
// selects CS0..CS2 are sources 3..5 (off with 0 Hz until their chip models exist).
inline constexpr int kTimelineSources = 6;
inline constexpr int kTimelineFirstSpiSource = 3;

struct SourceState {
  double hz = 0.0;   // frequency generated at the output pin, Hz (fundamental; harmonics are the
                     // bench's business)
  bool on = false;   // the output toggles
  bool operator==(const SourceState&) const = default;
};

struct TimelineState {
  std::array<SourceState, kTimelineSources> sources{};
  BridgeState bridge = BridgeState::kReference;
  bool operator==(const TimelineState&) const = default;
};

struct TimelineSegment {
  uint64_t start_ticks = 0;  // inclusive, ticks from the anchor
  uint64_t end_ticks = 0;    // exclusive
  SegmentKind kind = SegmentKind::kDelay;
  // Number of the probing element (0 = the first in the batch) for slots, -1 otherwise.
  int probe_index = -1;
  TimelineState state;
};

struct BatchTimeline {
  int64_t anchor_ns = 0;
  double ticks_per_second = 0.0;
  uint64_t duration_ticks = 0;
  TimelineState before;  // the state when the run started
  TimelineState after;   // the state the run left behind
  std::vector<TimelineSegment> segments;
  uint8_t i2c_error = 0;        // first I2C error of the run, 0 when none
  uint8_t outputs_after = 0;    // the board's output byte (bridge lines) the run leaves behind
  bool complete = true;         // false when the run stopped at an unknown element
  size_t stopped_at = 0;        // offset of that element (when !complete)

  // The segment covering tick t, or nullptr when t >= duration_ticks.
  const TimelineSegment* At(uint64_t tick) const;
  // The state at tick t (before the anchor use `before`; from duration_ticks on, `after`).
  const TimelineState& StateAt(uint64_t tick) const;
  // Time of tick t on the board clock, ns.
  int64_t TickToNs(uint64_t tick) const;
};

}  // namespace kavu::sim
