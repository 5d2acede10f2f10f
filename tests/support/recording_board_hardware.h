#pragma once
// The simplest hardware behind the emulated board: it records every call, acknowledges every
// I2C byte, answers SPI with a fixed byte and plays a batch as a fixed number of ticks. Used by
// tests and benchmarks that want no register model (protocol tests, the serial-wait benchmark).
// Thread-safe: the board's thread calls it, tests read it.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/board_hardware.h"

namespace kavu::sim {

class RecordingBoardHardware : public IBoardHardware {
 public:
  // One call as text: "outputs 28", "spi C1>FF", "spimode 2", "pwm 40/20", "i2c start",
  // "i2c stop", "i2c w C0>00", "i2c r>5A", "i2c endread", "batch 7 FF" (length, last byte).
  std::vector<std::string> Calls() const;
  void ClearCalls();
  // The last batch played, as stored.
  std::vector<uint8_t> LastBatch() const;
  uint8_t Outputs() const;

  // Behaviour knobs.
  void SetSpiReply(uint8_t b);
  void SetI2cReadByte(uint8_t b);
  void SetI2cWriteResult(uint8_t code);   // kI2cOk unless set
  void SetBatchDurationTicks(uint64_t ticks);
  void SetBatchI2cError(uint8_t code);

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

 private:
  void Record(std::string call);

  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::vector<uint8_t> last_batch_;
  uint8_t outputs_ = kPowerOnOutputs;
  uint8_t spi_reply_ = 0xFF;
  uint8_t i2c_read_ = 0x00;
  uint8_t i2c_write_result_ = kI2cOk;
  uint64_t batch_ticks_ = 0;
  uint8_t batch_i2c_error_ = kI2cOk;
};

}  // namespace kavu::sim
