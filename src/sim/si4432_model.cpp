#include "sim/si4432_model.h"

namespace kavu::sim {

void Si4432Model::Reset() {
  regs_.fill(0);
  regs_[0x00] = 0x08;
  regs_[0x01] = 0x06;
  regs_[0x07] = 0x01;
  regs_[0x09] = 0x7F;
  regs_[0x0B] = 0x00;
  regs_[0x0C] = 0x00;
  regs_[0x0D] = 0x00;
  regs_[0x6D] = 0x18;
  regs_[0x75] = 0x75;
  regs_[0x76] = 0xBB;
  regs_[0x77] = 0x80;
}

void Si4432Model::WriteReg(uint8_t reg, uint8_t v) {
  if (reg <= 0x02) return;  // read-only
  if (reg == 0x07 && (v & 0x80)) {
    Reset();
    return;
  }
  if (fault_ == SpiChipFault::kReadBack && reg >= 0x0B && reg <= 0x0D) return;
  regs_[reg] = v;
}

uint8_t Si4432Model::ReadReg(uint8_t reg) const {
  if (reg == 0x00) return fault_ == SpiChipFault::kWrongType ? 0x1F : regs_[0];
  if (reg == 0x02) {
    const uint8_t r7 = regs_[0x07];
    return (r7 & 0x08) && (r7 & 0x02) ? 0x02 : 0x00;
  }
  return regs_[reg];
}

double Si4432Model::CarrierHz() const {
  const int hbsel = (regs_[0x75] >> 5) & 1;
  const int fb = regs_[0x75] & 0x1F;
  const int fc = regs_[0x76] << 8 | regs_[0x77];
  return 10e6 * (hbsel + 1) * (fb + 24 + fc / 64000.0);
}

SourceState Si4432Model::Output() const {
  const uint8_t r7 = regs_[0x07];
  const bool on = (r7 & 0x08) && (r7 & 0x02);
  return SourceState{CarrierHz(), on};
}

}  // namespace kavu::sim
