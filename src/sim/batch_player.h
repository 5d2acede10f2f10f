#pragma once
// The emulated board's batch interpreter: plays a stored batch element by element and records
// what the hardware did as a BatchTimeline (sim/batch_timeline.h).
//
// The element codes and what the markers do are the firmware assumptions B5..B9 of
// sim/firmware_assumptions.h. In short: delays advance the time; 80 / 83 switch the bridge off
// (lines 00b / 11b) and 84 starts a pause without a line change, each until 87 or the next
// probing element; a probing element "86 12 hi lo Z" gives Z pairs of an antenna slot then a
// reference slot, each lasting the delay, and leaves the bridge in the reference position; SPI
// and I2C elements take no time; an unknown code or an element cut off by the end of the data
// ends the run (the timeline then has complete = false and stopped_at = its offset).
#include <array>
#include <cstdint>
#include <span>

#include "sim/batch_timeline.h"
#include "sim/board_hardware.h"

namespace kavu::sim {

// The devices a batch drives.
class IBatchDevices {
 public:
  virtual ~IBatchDevices() = default;
  // One I2C write transaction to `address` (write address, read bit clear); returns the board's
  // I2C error code (kI2cOk when every byte was acknowledged).
  virtual uint8_t I2cWriteTransaction(uint8_t address, std::span<const uint8_t> bytes) = 0;
  // One SPI transfer with the output byte `outputs` on the chip-select lines.
  virtual void SpiTransaction(uint8_t outputs, std::span<const uint8_t> bytes) = 0;
  // What the signal sources generate now (see kTimelineSources).
  virtual std::array<SourceState, kTimelineSources> Sources() const = 0;
};

// Plays `batch` and returns its timeline; ctx gives the timer, the batch target, the output byte
// at the start and the anchor. Never throws; a malformed batch gives an incomplete timeline.
BatchTimeline PlayBatchElements(std::span<const uint8_t> batch, const BatchRunContext& ctx,
                                IBatchDevices& devices);

// The output byte for a bridge state, keeping the other lines of `outputs`. `off_high` chooses
// the 11b code for kOff.
uint8_t OutputsWithBridge(uint8_t outputs, BridgeState bridge, bool off_high);
// The bridge state the output byte shows.
BridgeState BridgeFromOutputs(uint8_t outputs);

}  // namespace kavu::sim
