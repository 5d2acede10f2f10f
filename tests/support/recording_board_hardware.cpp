#include "support/recording_board_hardware.h"

#include <cstdio>

namespace kavu::sim {
namespace {

std::string Hex2(uint8_t b) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", b);
  return text;
}

}  // namespace

std::vector<std::string> RecordingBoardHardware::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void RecordingBoardHardware::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

std::vector<uint8_t> RecordingBoardHardware::LastBatch() const {
  std::lock_guard lock(mutex_);
  return last_batch_;
}

uint8_t RecordingBoardHardware::Outputs() const {
  std::lock_guard lock(mutex_);
  return outputs_;
}

void RecordingBoardHardware::SetSpiReply(uint8_t b) {
  std::lock_guard lock(mutex_);
  spi_reply_ = b;
}

void RecordingBoardHardware::SetI2cReadByte(uint8_t b) {
  std::lock_guard lock(mutex_);
  i2c_read_ = b;
}

void RecordingBoardHardware::SetI2cWriteResult(uint8_t code) {
  std::lock_guard lock(mutex_);
  i2c_write_result_ = code;
}

void RecordingBoardHardware::SetBatchDurationTicks(uint64_t ticks) {
  std::lock_guard lock(mutex_);
  batch_ticks_ = ticks;
}

void RecordingBoardHardware::SetBatchI2cError(uint8_t code) {
  std::lock_guard lock(mutex_);
  batch_i2c_error_ = code;
}

void RecordingBoardHardware::Record(std::string call) { calls_.push_back(std::move(call)); }

void RecordingBoardHardware::SetOutputs(uint8_t outputs) {
  std::lock_guard lock(mutex_);
  outputs_ = outputs;
  Record("outputs " + Hex2(outputs));
}

uint8_t RecordingBoardHardware::SpiTransfer(uint8_t out) {
  std::lock_guard lock(mutex_);
  Record("spi " + Hex2(out) + ">" + Hex2(spi_reply_));
  return spi_reply_;
}

void RecordingBoardHardware::SetSpiMode(uint8_t mode) {
  std::lock_guard lock(mutex_);
  Record("spimode " + std::to_string(mode));
}

void RecordingBoardHardware::SetMinusGenPwm(uint8_t period, uint8_t duty) {
  std::lock_guard lock(mutex_);
  Record("pwm " + std::to_string(period) + "/" + std::to_string(duty));
}

void RecordingBoardHardware::I2cStart() {
  std::lock_guard lock(mutex_);
  Record("i2c start");
}

void RecordingBoardHardware::I2cStop() {
  std::lock_guard lock(mutex_);
  Record("i2c stop");
}

uint8_t RecordingBoardHardware::I2cWrite(uint8_t byte) {
  std::lock_guard lock(mutex_);
  Record("i2c w " + Hex2(byte) + ">" + Hex2(i2c_write_result_));
  return i2c_write_result_;
}

uint8_t RecordingBoardHardware::I2cRead() {
  std::lock_guard lock(mutex_);
  Record("i2c r>" + Hex2(i2c_read_));
  return i2c_read_;
}

void RecordingBoardHardware::I2cEndRead() {
  std::lock_guard lock(mutex_);
  Record("i2c endread");
}

BatchRunResult RecordingBoardHardware::PlayBatch(std::span<const uint8_t> batch,
                                                 const BatchRunContext& ctx) {
  std::lock_guard lock(mutex_);
  last_batch_.assign(batch.begin(), batch.end());
  Record("batch " + std::to_string(batch.size()) + " " + (batch.empty() ? "-" : Hex2(batch.back())));
  BatchRunResult result;
  result.duration_ticks = batch_ticks_;
  result.i2c_error = batch_i2c_error_;
  result.outputs = ctx.outputs;
  return result;
}

}  // namespace kavu::sim
