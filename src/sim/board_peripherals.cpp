#include "sim/board_peripherals.h"

#include <algorithm>
#include <chrono>

namespace kavu::sim {

BoardPeripherals::BoardPeripherals(double si5351_crystal_hz) : si5351_(si5351_crystal_hz) {}

void BoardPeripherals::ChipSelectEdges(uint8_t before, uint8_t after) {
  for (int cs = 0; cs < 3; ++cs) {
    ISpiChipModel* chip = spi_[static_cast<size_t>(cs)].get();
    const uint8_t line = static_cast<uint8_t>(1u << cs);
    if (!chip || (before & line) == (after & line)) continue;
    if (after & line) {
      chip->Deselect();
    } else {
      chip->Select();
    }
  }
}

void BoardPeripherals::SetOutputs(uint8_t outputs) {
  std::lock_guard lock(mutex_);
  ChipSelectEdges(outputs_, outputs);
  outputs_ = outputs;
}

uint8_t BoardPeripherals::SpiTransfer(uint8_t out) {
  std::lock_guard lock(mutex_);
  uint8_t in = 0xFF;
  for (int cs = 0; cs < 3; ++cs) {
    ISpiChipModel* chip = spi_[static_cast<size_t>(cs)].get();
    if (!chip || (outputs_ & (1u << cs))) continue;
    const uint8_t r = chip->Mode() == spi_mode_ ? chip->Transfer(out) : 0xFF;
    in &= r;  // several selected chips fight over MISO: a low wins
  }
  return in;
}

void BoardPeripherals::FitSpiChip(int cs, std::unique_ptr<ISpiChipModel> chip) {
  std::lock_guard lock(mutex_);
  if (cs < 0 || cs > 2) return;
  spi_[static_cast<size_t>(cs)] = std::move(chip);
}

bool BoardPeripherals::SetSpiChipFault(int cs, SpiChipFault fault) {
  std::lock_guard lock(mutex_);
  if (cs < 0 || cs > 2 || !spi_[static_cast<size_t>(cs)]) return false;
  spi_[static_cast<size_t>(cs)]->SetFault(fault);
  return true;
}

void BoardPeripherals::InspectSpiChip(int cs,
                                      const std::function<void(const ISpiChipModel*)>& look) const {
  std::lock_guard lock(mutex_);
  look(cs >= 0 && cs <= 2 ? spi_[static_cast<size_t>(cs)].get() : nullptr);
}

std::array<SourceState, kTimelineSources> BoardPeripherals::AllSources() const {
  std::lock_guard lock(mutex_);
  return Sources();
}

void BoardPeripherals::SetSpiMode(uint8_t mode) {
  std::lock_guard lock(mutex_);
  spi_mode_ = mode & 3;
}

void BoardPeripherals::SetMinusGenPwm(uint8_t period, uint8_t duty) {
  std::lock_guard lock(mutex_);
  pwm_period_ = period;
  pwm_duty_ = duty;
}

void BoardPeripherals::I2cStart() {
  std::lock_guard lock(mutex_);
  si5351_.Start();
  i2c_addressed_ = false;
}

void BoardPeripherals::I2cStop() {
  std::lock_guard lock(mutex_);
  si5351_.Stop();
  i2c_addressed_ = false;
}

uint8_t BoardPeripherals::I2cWrite(uint8_t byte) {
  std::lock_guard lock(mutex_);
  const bool first = !i2c_addressed_;
  i2c_addressed_ = true;
  if (si5351_.Write(byte)) return kI2cOk;
  return first ? kI2cAddressNack : kI2cDataNack;
}

uint8_t BoardPeripherals::I2cRead() {
  std::lock_guard lock(mutex_);
  return si5351_.Read();
}

void BoardPeripherals::I2cEndRead() {}

uint8_t BoardPeripherals::I2cWriteTransaction(uint8_t address, std::span<const uint8_t> bytes) {
  si5351_.Start();
  uint8_t err = si5351_.Write(address) ? kI2cOk : kI2cAddressNack;
  for (size_t i = 0; i < bytes.size() && err == kI2cOk; ++i) {
    if (!si5351_.Write(bytes[i])) err = kI2cDataNack;
  }
  si5351_.Stop();
  return err;
}

void BoardPeripherals::SpiTransaction(uint8_t outputs, std::span<const uint8_t> bytes) {
  const uint8_t before = outputs_;
  ChipSelectEdges(before, outputs);
  for (int cs = 0; cs < 3; ++cs) {
    ISpiChipModel* chip = spi_[static_cast<size_t>(cs)].get();
    if (!chip || (outputs & (1u << cs)) || chip->Mode() != spi_mode_) continue;
    for (uint8_t b : bytes) chip->Transfer(b);
  }
  ChipSelectEdges(outputs, static_cast<uint8_t>(outputs | 0x07));  // every chip select high again
  outputs_ = static_cast<uint8_t>(before | 0x07);
}

std::array<SourceState, kTimelineSources> BoardPeripherals::Sources() const {
  std::array<SourceState, kTimelineSources> s{};
  for (int k = 0; k < Si5351Model::kOutputs; ++k) {
    const Si5351Output o = si5351_.Output(k);
    s[static_cast<size_t>(k)] = SourceState{o.hz, o.on};
  }
  for (int cs = 0; cs < 3; ++cs) {
    if (const ISpiChipModel* chip = spi_[static_cast<size_t>(cs)].get()) {
      s[static_cast<size_t>(kTimelineFirstSpiSource + cs)] = chip->Output();
    }
  }
  return s;
}

BatchRunResult BoardPeripherals::PlayBatch(std::span<const uint8_t> batch,
                                           const BatchRunContext& ctx) {
  std::lock_guard lock(mutex_);
  BatchTimeline t = PlayBatchElements(batch, ctx, *this);
  // Read under the lock the sample source looks through: a look that misses this run was
  // taken before the run starts.
  if (ctx.clock) t.anchor_ns = std::max(t.anchor_ns, ctx.clock->NowNs());
  BatchRunResult r;
  r.anchor_ns = t.anchor_ns;
  r.duration_ticks = t.duration_ticks;
  r.i2c_error = t.i2c_error;
  r.outputs = t.outputs_after;
  outputs_ = t.outputs_after;
  if (listener_) listener_(t);
  timelines_.push_back(std::move(t));
  if (timelines_.size() > kKeptTimelines) timelines_.pop_front();
  ++runs_;
  runs_changed_.notify_all();
  return r;
}

Si5351Output BoardPeripherals::Si5351Out(int k) const {
  std::lock_guard lock(mutex_);
  return si5351_.Output(k);
}

uint8_t BoardPeripherals::Si5351Reg(uint8_t reg) const {
  std::lock_guard lock(mutex_);
  return si5351_.Reg(reg);
}

void BoardPeripherals::SetSi5351Present(bool present) {
  std::lock_guard lock(mutex_);
  si5351_.SetPresent(present);
}

uint8_t BoardPeripherals::Outputs() const {
  std::lock_guard lock(mutex_);
  return outputs_;
}

BridgeState BoardPeripherals::Bridge() const { return BridgeFromOutputs(Outputs()); }

int BoardPeripherals::SpiMode() const {
  std::lock_guard lock(mutex_);
  return spi_mode_;
}

std::vector<BatchTimeline> BoardPeripherals::Timelines() const {
  std::lock_guard lock(mutex_);
  return {timelines_.begin(), timelines_.end()};
}

size_t BoardPeripherals::RunCount() const {
  std::lock_guard lock(mutex_);
  return runs_;
}

BoardPeripherals::View BoardPeripherals::ViewSince(size_t seen) const {
  std::lock_guard lock(mutex_);
  View v;
  v.runs = runs_;
  if (runs_ > seen && !timelines_.empty()) v.newest = timelines_.back();
  v.live.sources = Sources();
  v.live.bridge = BridgeFromOutputs(outputs_);
  return v;
}

void BoardPeripherals::SetRunListener(std::function<void(const BatchTimeline&)> listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

std::optional<BatchTimeline> BoardPeripherals::LastTimeline() const {
  std::lock_guard lock(mutex_);
  if (timelines_.empty()) return std::nullopt;
  return timelines_.back();
}

bool BoardPeripherals::WaitForRuns(size_t count, int timeout_ms) const {
  std::unique_lock lock(mutex_);
  return runs_changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                [&] { return runs_ >= count; });
}

}  // namespace kavu::sim
