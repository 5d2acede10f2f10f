#pragma once
// SX1231 (Rfm69) register model, SPI mode 0. A transaction is an address byte (bit 7 set =
// write) followed by data for consecutive registers. Modelled: RegOpMode 01 (mode in bits 4..2:
// 000 sleep, 001 standby, 010 synthesiser, 011 transmit, 100 receive; read back as written),
// Frf in 07..09 (a new value takes effect when its last byte, 09, is written), RegVersion 10
// (0x24), PaLevel 11, RegIrqFlags1 27 (mode ready, TX ready in transmit, PLL lock). The output is
// on in transmit mode.
#include <array>

#include "sim/spi_chip_model.h"

namespace kavu::sim {

class Sx1231Model : public BurstRegisterModel {
 public:
  Sx1231Model() { Reset(); }
  const char* Name() const override { return "rfm69"; }
  int Mode() const override { return 0; }
  SourceState Output() const override;

  uint8_t Reg(uint8_t r) const { return regs_[r & 0x7F]; }
  // The Frf in effect (the last complete write of register 09).
  uint32_t Frf() const { return frf_; }
  double CarrierHz() const { return frf_ * 61.03515625; }

 private:
  void Reset();
  uint8_t ReadReg(uint8_t reg) const override;
  void WriteReg(uint8_t reg, uint8_t v) override;
  uint8_t IdleByte() const override { return 0x00; }

  std::array<uint8_t, 128> regs_{};
  uint32_t frf_ = 0xE4C000;
};

}  // namespace kavu::sim
