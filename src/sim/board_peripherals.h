#pragma once
// The hardware behind the emulated board's microcontroller, with chip models: the Si5351 register
// model on the I2C bus (address 0xC0), the bridge lines and chip selects of the output byte, the
// SPI bus, the -5 V PWM, and the batch interpreter whose timelines it keeps.
//
// SPI generator models (sim/spi_chip_model.h) may be fitted on chip selects CS0..CS2: a chip
// sees its chip select fall and rise (SetCS, and around each SPI element of a batch) and the
// bytes exchanged meanwhile; its output is timeline source 3 + chip select. SPI bytes with no
// chip selected, or to an empty chip select, are answered with 0xFF.
//
// Thread-safe: the emulated board's thread calls it; tests and the virtual bench read the models
// and timelines from other threads.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/batch_player.h"
#include "sim/batch_timeline.h"
#include "sim/board_hardware.h"
#include "sim/si5351_model.h"
#include "sim/spi_chip_model.h"

namespace kavu::sim {

class BoardPeripherals : public IBoardHardware, private IBatchDevices {
 public:
  explicit BoardPeripherals(double si5351_crystal_hz = 25'000'000.0);

  // IBoardHardware (called by the emulated board's core).
  void SetOutputs(uint8_t outputs) override;
  uint8_t SpiTransfer(uint8_t out) override;
  void SetSpiMode(uint8_t mode) override;
  void SetMinusGenPwm(uint8_t period, uint8_t duty) override;
  void I2cStart() override;
  void I2cStop() override;
  uint8_t I2cWrite(uint8_t byte) override;
  uint8_t I2cRead() override;
  void I2cEndRead() override;
  BatchRunResult PlayBatch(std::span<const uint8_t> batch, const BatchRunContext& ctx) override;

  // Readers (any thread).
  Si5351Output Si5351Out(int k) const;
  uint8_t Si5351Reg(uint8_t reg) const;
  // The Si5351 does not acknowledge anything while absent (fault injection, or no chip fitted).
  void SetSi5351Present(bool present);
  uint8_t Outputs() const;
  // Fits `chip` on chip select cs (0..2), replacing what was there (nullptr: empty).
  void FitSpiChip(int cs, std::unique_ptr<ISpiChipModel> chip);
  // Injects a fault into the chip on cs; false when none is fitted there.
  bool SetSpiChipFault(int cs, SpiChipFault fault);
  // Runs `look` with the chip on cs (nullptr when empty) under the lock; keep it short.
  void InspectSpiChip(int cs, const std::function<void(const ISpiChipModel*)>& look) const;
  // What every source generates now (Si5351 CLK0..2, then the SPI chips on CS0..2).
  std::array<SourceState, kTimelineSources> AllSources() const;
  BridgeState Bridge() const;
  int SpiMode() const;
  // Timelines of the latest runs (at most kKeptTimelines), oldest first.
  static constexpr size_t kKeptTimelines = 256;
  std::vector<BatchTimeline> Timelines() const;
  std::optional<BatchTimeline> LastTimeline() const;
  // Runs played since construction.
  size_t RunCount() const;
  // What the bench's sample source needs, read under one lock: the runs played so far, the
  // newest run's timeline when more than `seen` have been played, and what every source and the
  // bridge do now. Read apart, a run played between the reads would lend its end state to
  // samples from before it started, or be missed altogether.
  struct View {
    size_t runs = 0;
    std::optional<BatchTimeline> newest;
    TimelineState live;
  };
  View ViewSince(size_t seen) const;
  // Waits up to timeout_ms until at least `count` runs have been played in all.
  bool WaitForRuns(size_t count, int timeout_ms) const;
  // Called on the board's thread with each run's timeline as soon as it is played (before the
  // run's time has passed): the virtual bench's sample source follows the board this way. Keep
  // it short; it must not call back into this object. An empty function removes it.
  void SetRunListener(std::function<void(const BatchTimeline&)> listener);

 private:
  // IBatchDevices (called by the interpreter with mutex_ held).
  uint8_t I2cWriteTransaction(uint8_t address, std::span<const uint8_t> bytes) override;
  void SpiTransaction(uint8_t outputs, std::span<const uint8_t> bytes) override;
  std::array<SourceState, kTimelineSources> Sources() const override;

  mutable std::mutex mutex_;
  mutable std::condition_variable runs_changed_;
  Si5351Model si5351_;
  uint8_t outputs_ = kPowerOnOutputs;
  int spi_mode_ = 0;
  uint8_t pwm_period_ = 0, pwm_duty_ = 0;
  bool i2c_addressed_ = false;
  std::array<std::unique_ptr<ISpiChipModel>, 3> spi_;
  void ChipSelectEdges(uint8_t before, uint8_t after);  // the current transaction's address byte was sent
  std::deque<BatchTimeline> timelines_;
  size_t runs_ = 0;
  std::function<void(const BatchTimeline&)> listener_;
};

}  // namespace kavu::sim
