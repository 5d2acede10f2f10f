#pragma once
// Si4432 / Si4431 (Rfm22b / Rfm23b) register model, SPI mode 0. A transaction is an address
// byte (bit 7 set = write) followed by data bytes for consecutive registers (burst). Modelled:
// device type 00 (08), version 01 (06), device status 02 (chip power state in bits 1..0: 00
// idle, 10 transmit), operating mode 07 (bit 7 software reset, bit 3 txon, bits 1..0 xton and
// pllon), carrier registers 75..77. The output is on while txon is set with the PLL on.
#include <array>

#include "sim/spi_chip_model.h"

namespace kavu::sim {

class Si4432Model : public BurstRegisterModel {
 public:
  explicit Si4432Model(const char* name = "rfm22") : name_(name) { Reset(); }
  const char* Name() const override { return name_; }
  int Mode() const override { return 0; }
  SourceState Output() const override;

  uint8_t Reg(uint8_t r) const { return regs_[r & 0x7F]; }
  // Carrier of registers 75..77, Hz.
  double CarrierHz() const;

 private:
  void Reset();
  uint8_t ReadReg(uint8_t reg) const override;
  void WriteReg(uint8_t reg, uint8_t v) override;

  const char* name_;
  std::array<uint8_t, 128> regs_{};
};

}  // namespace kavu::sim
