#include "sim/sx1231_model.h"

namespace kavu::sim {

void Sx1231Model::Reset() {
  regs_.fill(0);
  regs_[0x01] = 0x04;
  regs_[0x02] = 0x00;
  regs_[0x07] = 0xE4;
  regs_[0x08] = 0xC0;
  regs_[0x09] = 0x00;
  regs_[0x10] = 0x24;
  regs_[0x11] = 0x9F;
  frf_ = 0xE4C000;
}

uint8_t Sx1231Model::ReadReg(uint8_t reg) const {
  if (reg == 0x10 && fault_ == SpiChipFault::kWrongType) return 0x00;
  if (reg == 0x27) {
    const int mode = (regs_[0x01] >> 2) & 7;
    return static_cast<uint8_t>(0x80 | (mode == 3 ? 0x20 : 0) | (mode >= 2 ? 0x10 : 0));
  }
  return regs_[reg];
}

void Sx1231Model::WriteReg(uint8_t reg, uint8_t v) {
  if (reg == 0x10 || reg == 0x27) return;  // read-only
  if (fault_ == SpiChipFault::kReadBack && reg == 0x01) return;
  regs_[reg] = v;
  if (reg == 0x09) frf_ = static_cast<uint32_t>(regs_[0x07]) << 16 | regs_[0x08] << 8 | regs_[0x09];
}

SourceState Sx1231Model::Output() const {
  const bool tx = ((regs_[0x01] >> 2) & 7) == 3;
  return SourceState{CarrierHz(), tx};
}

}  // namespace kavu::sim
