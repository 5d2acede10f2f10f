#include "sim/adf4351_model.h"

namespace kavu::sim {

uint8_t Adf4351Model::Transfer(uint8_t mosi) {
  word_ = word_ << 8 | mosi;
  ++bytes_;
  return 0xFF;  // MUXOUT is not on the SPI bus
}

void Adf4351Model::Deselect() {
  if (bytes_ != 4) {  // a cut word is not latched
    bytes_ = 0;
    return;
  }
  bytes_ = 0;
  const int r = static_cast<int>(word_ & 7);
  if (r > 5) return;
  regs_[static_cast<size_t>(r)] = word_;
  ++writes_;
  const bool double_buffered = regs_[2] & (1u << 13);
  if (r == 4 && !double_buffered) divider_sel_ = static_cast<int>((word_ >> 20) & 7);
  if (r == 0) divider_sel_ = static_cast<int>((regs_[4] >> 20) & 7);
}

double Adf4351Model::PfdHz() const {
  const uint32_t r2 = regs_[2];
  const int r = static_cast<int>((r2 >> 14) & 0x3FF);
  if (r == 0) return 0.0;
  const int d = (r2 >> 25) & 1, t = (r2 >> 24) & 1;
  return ref_hz_ * (1 + d) / (r * (1 + t));
}

double Adf4351Model::VcoHz() const {
  const uint32_t r0 = regs_[0];
  const double integer = (r0 >> 15) & 0xFFFF;
  const double frac = (r0 >> 3) & 0xFFF;
  const double mod = (regs_[1] >> 3) & 0xFFF;
  if (mod == 0.0) return 0.0;
  return (integer + frac / mod) * PfdHz();
}

bool Adf4351Model::VcoOutOfRange() const {
  const double v = VcoHz();
  return v < 2.2e9 - 1.0 || v > 4.4e9 + 1.0;
}

SourceState Adf4351Model::Output() const {
  const double hz = VcoHz() / Divider();
  const bool on = (regs_[4] & 0x20) && !VcoOutOfRange() && !PfdOutOfRange();
  return SourceState{hz, on};
}

}  // namespace kavu::sim
